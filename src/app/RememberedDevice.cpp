// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RememberedDevice.h"

#include "recording/LogSink.h"

namespace pelmora {

int DevicePosition(const std::vector<WaveInDeviceInfo>& devices, const std::string& name) {
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == name) return static_cast<int>(i);
    return -1;
}

int RememberedDevicePosition(const ConfFile& conf, const std::vector<WaveInDeviceInfo>& devices, LogSink& log,
                             bool* absent) {
    *absent = false;
    const std::string name = conf.Text(kInputDeviceKey, "");
    if (name.empty() || devices.empty()) return -1;
    const int position = DevicePosition(devices, name);
    if (position >= 0) return position;
    *absent = true;
    log.AddLogLine("WARNING: Input device \"" + name + "\" is not present, using \"" + devices.front().description +
                   "\" instead");
    return 0;
}

}  // namespace pelmora
