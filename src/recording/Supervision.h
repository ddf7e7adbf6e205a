// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The once-a-second supervision: device, pipe and file failures, the performance warning,
// the status texts, the clip warnings and the four stop conditions. Runs on the main thread.

#include <cstdint>
#include <functional>

#include "capture/PipelineState.h"
#include "recording/EventLog.h"
#include "recording/RecordingControl.h"
#include "recording/RecordingView.h"
#include "recording/SupervisionState.h"
#include "settings/RecSettings.h"

namespace pelmora {

/// Peaks (fractions of full scale, after DC removal) and DC offsets of the latest block,
/// as the preprocessing thread left them.
struct LevelReadings {
    double peakLeft = 0.0;
    double peakRight = 0.0;
    int dcLeft = 0;
    int dcRight = 0;
};

class Supervision {
public:
    using LevelSource = std::function<LevelReadings()>;

    Supervision(const RecSettings& settings, PipelineState& state, EventLog& log, RecordingView& view,
                RecordingControl& control, SupervisionState& supervision, LevelSource levels = {});

    /// One tick of the 1000 ms window timer.
    void OnTimer();

    /// The Performance page's values of the last tick on which the pipeline ran.
    const BufferFill& LastBufferFill() const { return fill_; }
    /// The status texts of the last tick.
    const StatusValues& LastStatusValues() const { return values_; }

private:
    void CheckFailures();
    void PerformanceWarning();
    void ComputeBufferFill();
    void ComputeStatusTexts(uint64_t* fileSize);
    void SuperviseClips();
    void CheckStopConditions(uint64_t fileSize);

    const RecSettings& settings_;
    PipelineState& state_;
    EventLog& log_;
    RecordingView& view_;
    RecordingControl& control_;
    SupervisionState& s_;
    LevelSource levels_;
    BufferFill fill_;
    StatusValues values_;
};

}  // namespace pelmora
