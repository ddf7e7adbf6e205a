// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the tuning dialogs (sound buffers, priorities, DC filter) need from the program
// (no window toolkit here).

#include <vector>

#include "capture/DcFilter.h"
#include "settings/RecSettings.h"

namespace pelmora {

class TuningHost {
public:
    virtual ~TuningHost() = default;
    virtual RecSettings& Settings() = 0;
    /// Average bytes per second and block align of the selected capture format; 0 without one.
    virtual int CaptureBytesPerSecond() const = 0;
    virtual int CaptureBlockAlign() const = 0;
    /// The buffer settings changed: buffersPerSecond from meterRateIndex, then the device is
    /// closed and opened again with them, and its mixer set up when it opened.
    virtual void ApplyBufferSettings() = 0;
    /// The seven priority settings take effect on the running process, threads and encoder.
    virtual void ApplyPriorities() = 0;
    /// The DC filter's weights are rebuilt from dcAveragePeriod and the buffer rate in force.
    virtual void RebuildDcWeights() = 0;
    /// Buffers per second in force.
    virtual double BuffersPerSecond() const = 0;
    /// The DC filter's history, newest record first.
    virtual std::vector<DcRecord> DcHistory() const = 0;
};

}  // namespace pelmora
