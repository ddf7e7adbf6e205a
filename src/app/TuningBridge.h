// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tuning dialogs' view of the program.

#include "app/AppCore.h"
#include "settings/TuningHost.h"

namespace pelmora {

class TuningBridge : public TuningHost {
public:
    explicit TuningBridge(AppCore& core) : core_(core) {}

    RecSettings& Settings() override { return core_.Settings(); }
    int CaptureBytesPerSecond() const override {
        const WaveFormat* format = core_.SelectedFormat();
        return format ? static_cast<int>(format->avgBytesPerSec) : 0;
    }
    int CaptureBlockAlign() const override {
        const WaveFormat* format = core_.SelectedFormat();
        return format ? format->blockAlign : 0;
    }
    void ApplyBufferSettings() override { core_.ApplyBufferSettings(); }
    void ApplyPriorities() override { core_.ApplyPriorities(); }
    void RebuildDcWeights() override { core_.RebuildDcWeights(); }
    double BuffersPerSecond() const override { return core_.Pipeline().buffersPerSecond.load(); }
    std::vector<DcRecord> DcHistory() const override { return core_.Dc().History(); }

private:
    AppCore& core_;
};

}  // namespace pelmora
