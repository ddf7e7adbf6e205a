// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/Supervision.h"

#include <cstdio>

#include "recording/OutputFiles.h"
#include "recording/StatusTexts.h"

namespace pelmora {

namespace {

constexpr const char* kClipLasts = "Clip lasts for approximately";

std::string Printf(const char* format, long long value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

Supervision::Supervision(const RecSettings& settings, PipelineState& state, EventLog& log, RecordingView& view,
                         RecordingControl& control, SupervisionState& supervision, LevelSource levels)
    : settings_(settings),
      state_(state),
      log_(log),
      view_(view),
      control_(control),
      s_(supervision),
      levels_(std::move(levels)) {}

void Supervision::OnTimer() {
    CheckFailures();
    PerformanceWarning();
    ComputeBufferFill();
    uint64_t fileSize = 0;
    ComputeStatusTexts(&fileSize);
    SuperviseClips();
    view_.CpuTick();
    CheckStopConditions(fileSize);
    view_.ShowValues();
    if (state_.isRecording.load()) view_.BlinkState(s_.tickCount % 2);
}

void Supervision::CheckFailures() {
    if (state_.deviceFailed.load() && !state_.deviceFailureReported.load()) {
        state_.deviceFailureReported.store(true);
        if (state_.isRecording.load()) control_.OnRecord();
        log_.AddLogLine("ERROR:   waveIn device error occurred, try restart or reboot to recover");
        view_.SetState(kStateInitFailed);  // not ready while the device is dead
    }
    if (!settings_.writeUncompressed && state_.pipeFailed.load() && state_.isRecording.load()) {
        control_.ReportOutputFailure();
        control_.OnRecord();
        state_.pipeFailed.store(false);
    }
    // A failed file write (disk full, I/O error) ends the recording like a broken pipe; the
    // file keeps the whole blocks written before and is completed by the stop.
    if (state_.fileFailed.load() && state_.isRecording.load()) {
        control_.ReportOutputFailure();
        control_.OnRecord();
        state_.fileFailed.store(false);
    }
}

void Supervision::PerformanceWarning() {
    if (!state_.pipelineReady.load()) return;
    if (state_.deviceFreePercent.load() >= 5 && state_.receivedFreePercent.load() >= 5 &&
        state_.outputFreePercent.load() >= 5)
        return;
    // An empty log box (cleared by the user) differs from any earlier warning.
    const std::optional<std::string> last = log_.LastLine();
    if (last && *last == s_.lastWarningLine) return;
    log_.AddLogLine("WARNING: Performance lack! Data may be lost!");
    s_.lastWarningLine = log_.LastLine().value_or(std::string());
}

void Supervision::ComputeBufferFill() {
    if (!state_.pipelineReady.load()) return;
    const double perSecond = state_.buffersPerSecond.load();
    const int bytes = state_.bufferBytes.load();
    fill_.devicePercent = state_.deviceFreePercent.load();
    fill_.receivedPercent = state_.receivedFreePercent.load();
    fill_.outputPercent = state_.outputFreePercent.load();
    if (perSecond > 0) {
        fill_.deviceSeconds = state_.deviceBufferCount.load() * fill_.devicePercent * 0.01 / perSecond;
        fill_.receivedSeconds = state_.receivedBlockCount.load() * fill_.receivedPercent * 0.01 / perSecond;
        fill_.outputSeconds = bytes > 0 ? static_cast<double>(state_.writerQueue.Limit()) * fill_.outputPercent *
                                              0.01 / bytes / perSecond
                                        : 0.0;
    }
    view_.ShowBufferFill(fill_);
}

void Supervision::ComputeStatusTexts(uint64_t* fileSize) {
    s_.writeTimeSnapshot = state_.writeTime.Load();
    const std::string writeTime = WriteTimeText(s_.writeTimeSnapshot);
    const std::string size = FormatFileSize(control_.OutputPath(), fileSize);
    ++s_.tickCount;
    const LevelReadings r = levels_ ? levels_() : LevelReadings{};
    const int bits = state_.format.captureBits.load();
    const int fullScale = state_.format.fullScale.load();
    if (!state_.pipelineReady.load()) return;
    values_.writeTime = writeTime;
    values_.fileSize = size;
    values_.level = LevelText(r.peakLeft, r.peakRight, bits);
    values_.dcLeft = DcText(r.dcLeft, fullScale, bits);
    values_.dcRight = DcText(r.dcRight, fullScale, bits);
    values_.dataLost = DataLostText(state_.lostSeconds.Load());
    view_.SetStatusValues(values_);
}

void Supervision::SuperviseClips() {
    if (state_.clipSeen.load()) {
        state_.clipSeen.store(false);
        if (s_.manyClipsMode) {
            ++s_.clipRunSeconds;
            s_.secondsSinceClip = 0;
        } else if (s_.clipRunSeconds > 0) {
            // The clip goes on: its "lasts" line follows its "Clip occured" line, replaced in
            // one step of the log so that no line from another thread is lost.
            const std::string lasts =
                Printf((std::string("WARNING: ") + kClipLasts + " %lld sec").c_str(), s_.clipRunSeconds + 1);
            if (log_.AddOrReplaceAfter(s_.lastClipLine, kClipLasts, lasts)) {
                ++s_.clipRunSeconds;
            } else {
                // Other messages came in between: report the clip afresh next second.
                state_.clipSeen.store(true);
                s_.clipRunSeconds = 0;
            }
        } else {
            s_.clipRunSeconds = 1;
            // A clip long after the previous one starts a new count, or one burst would
            // silence single warnings for good.
            if (s_.secondsSinceClip >= 10) s_.clipCount = 0;
            if (s_.clipCount >= 10) {
                log_.AddLogLine("WARNING: A lot of clips occured! Check input volume!");
                s_.manyClipsMode = true;
                s_.secondsSinceClip = 0;  // the mode ends ten clean seconds after this clip
            } else {
                if (s_.secondsSinceClip < 10) ++s_.clipCount;
                s_.secondsSinceClip = 0;
                log_.AddLogLine("WARNING: Clip occured!");
                s_.lastClipLine = log_.LastLine().value_or(std::string());
            }
        }
        return;
    }
    if (s_.secondsSinceClip < 1000) ++s_.secondsSinceClip;
    if (!s_.manyClipsMode) {
        s_.clipRunSeconds = 0;
        return;
    }
    ++s_.clipRunSeconds;
    if (s_.secondsSinceClip >= 10) {
        s_.manyClipsMode = false;
        s_.clipCount = 0;
        log_.AddLogLine(Printf("WARNING: A lot of clips occured during last %lld sec", s_.clipRunSeconds));
        s_.clipRunSeconds = 0;
    }
}

void Supervision::CheckStopConditions(uint64_t fileSize) {
    if (!state_.isRecording.load()) return;
    // The writer holds the output at a limit and says which one it met.
    const WriteLimit held = state_.writeLimitReached.load();
    if (settings_.stopOnWriteTime &&
        (held == WriteLimit::WriteTime ||
         s_.writeTimeSnapshot > static_cast<double>(static_cast<uint32_t>(settings_.writeTimeLimit)))) {
        log_.AddLogLine(Printf("Maximum duration reached (%lld sec)", settings_.writeTimeLimit));
        control_.OnRecord();
        return;
    }
    if (settings_.stopOnDataLoss && state_.lostSeconds.Load() >= settings_.dataLossLimit) {
        log_.AddLogLine(Printf("Allowed level of data loss reached (%lld sec)", settings_.dataLossLimit));
        control_.OnRecord();
        return;
    }
    if (settings_.stopOnFileSize &&
        (held == WriteLimit::FileSize ||
         static_cast<int64_t>(fileSize) > static_cast<int64_t>(settings_.fileSizeLimit) * 1048576)) {
        log_.AddLogLine(Printf("Maximum file size reached (%lld MB)", settings_.fileSizeLimit));
        control_.OnRecord();
        return;
    }
    if (settings_.stopOnFreeSpace) {
        const auto freeSpace = control_.FreeSpace();
        const std::optional<uint64_t> free = freeSpace ? freeSpace(TextField(settings_.outputFolder)) : std::nullopt;
        if (free && static_cast<int64_t>(*free) < static_cast<int64_t>(settings_.freeSpaceLimit) * 1048576) {
            log_.AddLogLine(Printf("Minimum disk free space reached (%lld MB)", settings_.freeSpaceLimit));
            control_.OnRecord();
        }
    }
}

}  // namespace pelmora
