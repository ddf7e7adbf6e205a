// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/RecordingControl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <chrono>

#include "capture/WavHeader.h"
#include "recording/OutputFiles.h"

namespace pelmora {

namespace {

std::tm SystemLocalTm() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

std::string Printf(const char* format, int value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string DurationText(int64_t bytes, int bytesPerSecond, double fallbackSeconds) {
    // Whole hundredths from the byte count: a sum of block durations drifts off the value
    // ("00:00:60.00" for a minute), a count of bytes does not.
    int64_t hundredths = 0;
    if (bytesPerSecond > 0)
        hundredths = bytes * 100 / bytesPerSecond;
    else if (fallbackSeconds > 0)
        hundredths = static_cast<int64_t>(std::llround(fallbackSeconds * 100));
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%02lld", static_cast<long long>(hundredths / 360000),
                  static_cast<long long>(hundredths / 6000 % 60), static_cast<long long>(hundredths / 100 % 60),
                  static_cast<long long>(hundredths % 100));
    return text;
}

RecordingControl::RecordingControl(RecordingDeps d)
    : settings_(d.settings),
      state_(d.state),
      log_(d.log),
      view_(d.view),
      output_(d.output),
      supervision_(d.supervision),
      encoder_(d.encoder),
      localTime_(SystemLocalTm),
      freeSpace_(FreeSpaceBytes) {}

WaveFormat RecordingControl::CaptureFormat() const {
    if (formatSource_) return formatSource_();
    const pelmora::CaptureFormat& f = state_.format;
    WaveFormat w;
    w.formatTag = 1;
    w.channels = static_cast<uint16_t>(f.captureChannels.load());
    w.samplesPerSec = static_cast<uint32_t>(f.sampleRate.load());
    w.avgBytesPerSec = static_cast<uint32_t>(f.averageBytesPerSecond.load());
    w.blockAlign = static_cast<uint16_t>(f.frameBytes.load());
    w.bitsPerSample = static_cast<uint16_t>(f.captureBits.load());
    return w;
}

void RecordingControl::OnRecord() {
    if (state_.isRecording.load())
        StopSequence();
    else
        StartSequence();
}

void RecordingControl::StartSequence() {
    supervision_.ResetClipTrackers();
    const std::string folder = TextField(settings_.outputFolder);

    // Stop conditions that could never let a recording run.
    if (settings_.stopOnWriteTime && settings_.writeTimeLimit == 0) {
        log_.AddLogLine("Zero maximum duration specified :)");
        return;
    }
    if (settings_.stopOnFileSize && settings_.fileSizeLimit == 0) {
        log_.AddLogLine("Zero maximum file size specified :)");
        return;
    }
    if (settings_.stopOnFreeSpace) {
        const std::optional<uint64_t> free = freeSpace_(folder);
        const int64_t limit = static_cast<int64_t>(settings_.freeSpaceLimit) * 1048576;
        if (free && static_cast<int64_t>(*free) < limit) {
            log_.AddLogLine(Printf("Minimum disk free space already reached (%d MB)", settings_.freeSpaceLimit));
            return;
        }
    }

    if (!FolderExists(folder) && !CreateFolderPath(folder)) {
        view_.ShowMessage("Can not create directory");
        return;
    }

    state_.pipeFailed.store(false);
    state_.fileFailed.store(false);
    failureReported_ = false;
    view_.SetRecordingControls(1);

    // Blocks left over from the previous recording. Nobody appends now (isRecording and
    // stopDrainBytes are clear); the lock is taken anyway, but never waited on for long.
    {
        const bool locked = state_.events.listAccess.WaitFor(std::chrono::milliseconds(1000));
        state_.writerQueue.Clear();
        if (locked) state_.events.listAccess.Set();
    }

    const OutputFormat format = OutputFormatFor(settings_.writeUncompressed != 0, settings_.rawPcm != 0);
    recordingKind_ = format == OutputFormat::Mp3 ? OutputKind::EncoderPipe
                     : format == OutputFormat::Wav ? OutputKind::WavFile
                                                   : OutputKind::RawFile;
    std::tm stamp{};
    if (settings_.addTimestamp) stamp = localTime_();
    // A name the page refused is never swapped for an earlier one: nothing is recorded.
    const std::optional<std::string> entry = view_.OutputFileEntry();
    if (!entry) {
        view_.SetRecordingControls(2);
        return;
    }
    const OutputName name = MakeOutputName(*entry, format, settings_.addTimestamp ? &stamp : nullptr, folder);
    if (name.entry.size() > kMaxOutputEntry) {
        // With its extension the name no longer fits the record; the box keeps the text.
        view_.ShowMessage(OutputNameTooLongMessage(name.entry.size() - kMaxOutputEntry));
        view_.SetRecordingControls(2);
        return;
    }
    SetTextField(settings_.outputFileName, name.entry);
    view_.ShowOutputFileEntry(name.entry);
    outputPath_ = name.path;

    if (settings_.confirmOverwrite) {
        struct stat st {};
        if (::stat(outputPath_.c_str(), &st) == 0) {
            if (!view_.AskYesNo("File already exists.\nRewrite?")) {
                view_.SetRecordingControls(2);
                return;
            }
            if (::unlink(outputPath_.c_str()) != 0) log_.AddLogLine("ERROR:   Can not remove file");
        }
    }

    if (!PrepareOutput(format)) {
        view_.SetRecordingControls(2);
        return;
    }

    view_.SetRecordCaption("Stop");
    view_.SetState(kStateRecording);
    view_.ShowValues();

    // The order matters: isRecording is set only once the output is ready and the counters
    // are reset, so the preprocessing thread never forwards into a half-prepared recording.
    // The queue is empty (above), so its byte count is 0.
    state_.writeTime.Store(0.0);
    state_.writtenBytes.store(0);
    SetWriteLimits(format);
    state_.events.newData.Reset();
    state_.events.listAccess.Set();
    state_.writerStopRequest.store(false);
    state_.lostSeconds.Store(0.0);
    state_.startSkipBytes.store(state_.inFlightBytes.load());
    state_.stopDrainBytes.store(0);
    state_.isRecording.store(true);
    supervision_.writeTimeSnapshot = 0.0;

    view_.EnablePause(true);
    if (settings_.logDuringRecording) log_.OpenLogFile(outputPath_);
    log_.AddLogLine("Recording started to " + outputPath_);
}

bool RecordingControl::PrepareOutput(OutputFormat format) {
    if (format == OutputFormat::Mp3) {
        if (!encoder_) return false;
        // The encoder would only fail on its first write, reported as a broken pipe: check
        // first that the file can be made, as for a file the program writes itself.
        struct stat st {};
        const bool existed = ::stat(outputPath_.c_str(), &st) == 0;
        const int probe = ::open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (probe < 0) {
            log_.LogSystemError(errno);
            log_.AddLogLine("ERROR:   Can not create output file " + outputPath_);
            return false;
        }
        ::close(probe);
        int fd = -1;
        if (!encoder_->Start(outputPath_, &fd)) {
            if (!existed) ::unlink(outputPath_.c_str());
            return false;
        }
        output_.AttachPipe(fd);
        return true;
    }
    // The writer waits for "WavHeader" before each file write, so no sound precedes the header.
    state_.events.wavHeader.Reset();
    int error = 0;
    const OutputKind kind = format == OutputFormat::Wav ? OutputKind::WavFile : OutputKind::RawFile;
    const bool opened = output_.OpenFile(outputPath_, kind, CaptureFormat(), &error);
    state_.events.wavHeader.Set();
    if (!opened) {
        // Recording into a file that does not exist would only look like success.
        log_.LogSystemError(error);
        log_.AddLogLine("ERROR:   Can not create output file " + outputPath_);
    }
    return opened;
}

void RecordingControl::StopSequence() {
    supervision_.ResetClipTrackers();
    // The drain count goes first: a block that is seen as not recording must find it set, or
    // sound from before the click would be dropped.
    state_.stopDrainBytes.store(state_.inFlightBytes.load());
    state_.isRecording.store(false);
    log_.AddLogLine("Recording is being stoped. Waiting for buffers to be flushed...");

    WaitForStopDrain();
    state_.events.recStopped.Reset();
    state_.writerStopRequest.store(true);
    state_.events.newData.Set();

    const OutputKind kind = output_.Kind();
    // The encoder may take a while for what is queued: the button shows disabled meanwhile.
    // A file's flush is over before a redraw could show anything, so the button stays.
    if (kind == OutputKind::EncoderPipe) {
        view_.EnableRecord(false);
        view_.ShowPendingChanges();
    }
    WaitForFlush(kind);
    // A failed write shortly before the click has not met a supervision tick yet.
    ReportOutputFailure();

    state_.startSkipBytes.store(0);
    state_.stopDrainBytes.store(0);
    // The output is complete before it is measured.
    FinishOutput(kind);
    LogSummary();
    if (settings_.logDuringRecording && log_.LogFileOpen()) log_.CloseLogFile();

    view_.SetRecordCaption("Record");
    view_.EnableRecord(true);
    state_.isPaused.store(false);
    view_.SetPauseCaption("Pause");
    view_.SetState(kStateReady);
    view_.ShowValues();
    view_.EnablePause(false);
    view_.SetRecordingControls(2);
}

void RecordingControl::WaitForStopDrain() {
    // The writer's flush covers only what has reached its queue: give the preprocessing thread
    // the time to forward the sound captured before the click. Nothing comes while paused or
    // from a failed or closed device.
    if (state_.isPaused.load() || !state_.pipelineReady.load() || state_.deviceFailed.load()) return;
    const int bytesPerSecond = state_.format.averageBytesPerSecond.load();
    const double inFlightSeconds =
        bytesPerSecond > 0 ? static_cast<double>(state_.stopDrainBytes.load()) / bytesPerSecond : 0.0;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(1000 + static_cast<int64_t>(2000 * inFlightSeconds));
    // The count first: a block claims its share before it is queued, and only then is its claim settled.
    auto pending = [this] { return state_.stopDrainBytes.load() > 0 || state_.drainClaims.load() > 0; };
    // A block settled between the check and the wait leaves the event set: no wake-up is lost.
    auto waitUntil = [this](Clock::time_point until) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() > 0) state_.drainProgress.WaitFor(left);
    };
    while (pending() && Clock::now() < deadline) waitUntil(deadline);

    // Sound that has not come by now is lost to this recording: take it back and count it.
    const int64_t missing = state_.stopDrainBytes.exchange(0);
    if (missing > 0 && bytesPerSecond > 0)
        state_.lostSeconds.Add(static_cast<double>(missing) / bytesPerSecond);
    // A block already claimed is on its way into the queue, which takes no time to speak of.
    const auto claimDeadline = Clock::now() + std::chrono::milliseconds(1000);
    while (state_.drainClaims.load() > 0 && Clock::now() < claimDeadline) waitUntil(claimDeadline);
}

void RecordingControl::WaitForFlush(OutputKind kind) {
    SyncEvent& stopped = state_.events.recStopped;
    if (kind == OutputKind::EncoderPipe && encoder_) {
        // A slow encoder may take long for a full queue; only one that takes nothing for a
        // whole period is given up on.
        double written = state_.writeTime.Load();
        for (;;) {
            if (stopped.WaitFor(flushLimit_)) return;
            const double now = state_.writeTime.Load();
            if (now > written) {
                written = now;
                continue;
            }
            // It keeps the writer in its write: ending the process makes that write fail,
            // and the writer drains the rest.
            encoder_->Kill();
            log_.AddLogLine("ERROR:   The encoder stopped reading its input and was ended");
            break;
        }
    }
    stopped.Wait();
}

void RecordingControl::LogSummary() {
    const std::string line = "Recording stoped. Output file size " + FormatFileSize(outputPath_) + ". Final duration " +
                             DurationText(state_.writtenBytes.load(), state_.format.averageBytesPerSecond.load(),
                                          state_.writeTime.Load()) +
                             " ";
    const double lost = state_.lostSeconds.Load();
    if (lost > 0) {
        char text[64];
        std::snprintf(text, sizeof text, "(%.2f sec lost).", lost);
        log_.AddLogLine(line + text);
    } else {
        log_.AddLogLine(line);
    }
}

void RecordingControl::ReportOutputFailure() {
    if (failureReported_) return;
    const bool pipe = recordingKind_ == OutputKind::EncoderPipe;
    if (!(pipe ? state_.pipeFailed.load() : state_.fileFailed.load())) return;
    failureReported_ = true;
    log_.LogSystemError(pipe ? state_.pipeError.load() : state_.fileError.load());
}

void RecordingControl::SetWriteLimits(OutputFormat format) {
    const int64_t bytesPerSecond = state_.format.averageBytesPerSecond.load();
    int64_t timeLimit = -1, sizeLimit = -1;
    if (settings_.stopOnWriteTime && settings_.writeTimeLimit > 0 && bytesPerSecond > 0)
        timeLimit = static_cast<int64_t>(static_cast<uint32_t>(settings_.writeTimeLimit)) * bytesPerSecond;
    // The encoder's file size follows from its own choices; only the program's files are held.
    if (settings_.stopOnFileSize && settings_.fileSizeLimit > 0 && format != OutputFormat::Mp3) {
        const int64_t header = format == OutputFormat::Wav ? kWavHeaderBytes : 0;
        sizeLimit = std::max<int64_t>(0, static_cast<int64_t>(settings_.fileSizeLimit) * 1048576 - header);
    }
    state_.writeTimeLimitBytes.store(timeLimit);
    state_.fileSizeLimitBytes.store(sizeLimit);
    state_.writeLimitReached.store(WriteLimit::None);
}

void RecordingControl::FinishOutput(OutputKind kind) {
    int error = 0;
    const bool finished = output_.Finish(&error);
    if (kind == OutputKind::EncoderPipe) {
        // An encoder that runs out of room says only that it could not write: the volume
        // tells why, as a failed write of the program's own file does.
        if (encoder_) encoder_->Stop(state_.pipeFailed.load(), [this] { return OutputVolumeFull() ? ENOSPC : 0; });
        return;
    }
    if (!finished) {
        log_.LogSystemError(error);
        log_.AddLogLine("ERROR:   Can not complete output file " + outputPath_);
    }
}

bool RecordingControl::OutputVolumeFull() const {
    const std::size_t slash = outputPath_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : outputPath_.substr(0, slash + 1);
    const std::optional<uint64_t> free = freeSpace_(folder);
    return free && *free < kFullVolumeBytes;
}

void RecordingControl::OnPause() {
    supervision_.ResetClipTrackers();
    if (!state_.isRecording.load()) return;  // the button is disabled then
    if (!state_.isPaused.load()) {
        state_.isPaused.store(true);
        log_.AddLogLine("Recording paused");
        view_.SetPauseCaption("Continue");
        view_.SetState(kStatePaused);
    } else {
        state_.isPaused.store(false);
        log_.AddLogLine("Recording resumed");
        view_.SetPauseCaption("Pause");
        view_.SetState(kStateRecording);
    }
    view_.ShowValues();
}

}  // namespace pelmora
