// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program for the tuning dialogs that records what they ask of it, and a user's moves.

#include <vector>

#include "settings/DialogModel.h"
#include "settings/TuningHost.h"
#include "support/PageFakes.h"

namespace pelmora::test {

class FakeTuningHost : public TuningHost {
public:
    FakeTuningHost() { SetDefaultSettings(settings, "/prog/"); }

    RecSettings& Settings() override { return settings; }
    int CaptureBytesPerSecond() const override { return bytesPerSecond; }
    int CaptureBlockAlign() const override { return blockAlign; }
    void ApplyBufferSettings() override {
        ++reopens;
        reopenedWith = settings;
    }
    void ApplyPriorities() override {
        ++priorityApplies;
        appliedWith = settings;
    }
    void RebuildDcWeights() override {
        ++weightRebuilds;
        rebuiltWith = settings;
    }
    double BuffersPerSecond() const override { return buffersPerSecond; }
    std::vector<DcRecord> DcHistory() const override { return history; }

    RecSettings settings{};
    int bytesPerSecond = 176400;
    int blockAlign = 4;
    double buffersPerSecond = 10;
    std::vector<DcRecord> history = std::vector<DcRecord>(kDcHistorySize);
    int reopens = 0, priorityApplies = 0, weightRebuilds = 0;
    RecSettings reopenedWith{}, appliedWith{}, rebuiltWith{};
};

inline void Slide(FakeControls& c, DialogModel& dialog, int id, int position) {
    c.controls[id].position = position;
    dialog.OnScroll(id);
}

inline void Press(DialogModel& dialog, int id) { dialog.OnClicked(id); }

}  // namespace pelmora::test
