// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chosen input device by name, in pelmora.conf: device positions change when a
// microphone is plugged in or out and sources come and go, names do not.

#include <string>
#include <vector>

#include "capture/WaveIn.h"
#include "settings/ConfFile.h"

namespace pelmora {

class LogSink;

inline constexpr ConfKey kInputDeviceKey{"input", "device"};

/// Where the remembered device stands in `devices`: its position; -1 when nothing is
/// remembered. A remembered device that is not there is reported on `log` and replaced by
/// the first entry ("Default source" on a sound server), whose position (0) is returned;
/// `absent` tells that case.
int RememberedDevicePosition(const ConfFile& conf, const std::vector<WaveInDeviceInfo>& devices, LogSink& log,
                             bool* absent);

/// The position of `name` in `devices`; -1 when it is not there.
int DevicePosition(const std::vector<WaveInDeviceInfo>& devices, const std::string& name);

}  // namespace pelmora
