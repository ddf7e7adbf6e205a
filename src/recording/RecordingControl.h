// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Record, Stop and Pause: the recording state, the naming and preparation of the output and
// its completion at the stop. Runs on the main thread.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "capture/PipelineState.h"
#include "capture/WaveIn.h"
#include "capture/WriterOutput.h"
#include "recording/EventLog.h"
#include "recording/OutputNaming.h"
#include "recording/RecordingEncoder.h"
#include "recording/RecordingView.h"
#include "recording/SupervisionState.h"
#include "settings/RecSettings.h"

namespace pelmora {

/// A recording's duration as "%02d:%02d:%02d.%02d" (hours, minutes, seconds, hundredths,
/// truncated) from the bytes written; from `fallbackSeconds` when the rate is unknown.
std::string DurationText(int64_t bytes, int bytesPerSecond, double fallbackSeconds);

/// Less than this left for the user counts as a full volume: an encoder writes far smaller
/// pieces, so one that failed there was refused room.
constexpr uint64_t kFullVolumeBytes = 1048576;

struct RecordingDeps {
    RecSettings& settings;
    PipelineState& state;
    EventLog& log;
    RecordingView& view;
    WriterOutput& output;          // the writer thread's destination
    SupervisionState& supervision;
    RecordingEncoder* encoder = nullptr;  // MP3 recordings; none refuses them
};

class RecordingControl {
public:
    using FormatSource = std::function<WaveFormat()>;
    using LocalTimeSource = std::function<std::tm()>;
    using FreeSpaceSource = std::function<std::optional<uint64_t>(const std::string& folder)>;

    explicit RecordingControl(RecordingDeps deps);

    /// The Record/Stop button: the start sequence when no recording runs, else the stop sequence.
    void OnRecord();
    /// The Pause/Continue button.
    void OnPause();

    bool IsRecording() const { return state_.isRecording.load(); }
    bool IsPaused() const { return state_.isPaused.load(); }
    /// The current output file; keeps the last path after a stop.
    const std::string& OutputPath() const { return outputPath_; }

    /// The capture format a WAV header describes; by default built from PipelineState::format.
    void SetFormatSource(FormatSource source) { formatSource_ = std::move(source); }
    /// Local time for the file name's time stamp; by default the system clock.
    void SetLocalTimeSource(LocalTimeSource source) { localTime_ = std::move(source); }
    /// Free space of the output folder's volume; by default FreeSpaceBytes.
    void SetFreeSpaceSource(FreeSpaceSource source) { freeSpace_ = std::move(source); }
    FreeSpaceSource FreeSpace() const { return freeSpace_; }
    /// How long the stop's flush may go without the encoder taking any sound before the
    /// encoder is ended (a file output is always waited for).
    void SetFlushLimit(std::chrono::milliseconds limit) { flushLimit_ = limit; }

    /// Logs the system's text for a failed write into the output (pipe or file) of the
    /// current recording, once per recording; nothing when no write failed.
    void ReportOutputFailure();

private:
    void StartSequence();
    void StopSequence();
    bool PrepareOutput(OutputFormat format);
    void WaitForStopDrain();
    void WaitForFlush(OutputKind kind);
    void LogSummary();
    void SetWriteLimits(OutputFormat format);
    void FinishOutput(OutputKind kind);
    /// Whether the output file's volume has less than kFullVolumeBytes left for the user.
    bool OutputVolumeFull() const;
    WaveFormat CaptureFormat() const;

    RecSettings& settings_;
    PipelineState& state_;
    EventLog& log_;
    RecordingView& view_;
    WriterOutput& output_;
    SupervisionState& supervision_;
    RecordingEncoder* encoder_;

    FormatSource formatSource_;
    LocalTimeSource localTime_;
    FreeSpaceSource freeSpace_;
    std::chrono::milliseconds flushLimit_{10000};
    std::string outputPath_;
    OutputKind recordingKind_ = OutputKind::None;
    bool failureReported_ = false;
};

}  // namespace pelmora
