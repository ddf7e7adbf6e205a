// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CaptureDevice.h"

#include "capture/BufferGeometry.h"
#include "capture/ThreadRoles.h"
#include "capture/PreprocessThread.h"
#include "capture/WaveThread.h"

namespace pelmora {

CaptureDevice::CaptureDevice(PipelineState& state, DeviceObjects& device, const RecSettings& settings,
                             WaveInBackend& backend, CWaveThread& waveThread, PreprocessThread& preprocess,
                             LogSink& log, CaptureView& view, CaptureFormatLookup formats)
    : state_(state), device_(device), settings_(settings), backend_(backend), waveThread_(waveThread),
      preprocess_(preprocess), log_(log), view_(view), formats_(std::move(formats)) {}

CaptureDevice::~CaptureDevice() {
    if (state_.pipelineReady.load()) CloseCaptureDevice();
    FreeBuffers();
}

namespace {

class NoLog : public LogSink {
public:
    void AddLogLine(const std::string&) override {}
};

}  // namespace

LogSink& CaptureDevice::FailureLog() {
    static NoLog none;
    return quietFailures_ ? static_cast<LogSink&>(none) : log_;
}

void CaptureDevice::ReportWaveError(WaveResult code) {
    pelmora::ReportWaveError(backend_, FailureLog(), code);
}

bool CaptureDevice::ReopenFailedDevice() {
    PipelineState& s = state_;
    if (!reopening_ && !(s.deviceFailed.load() && s.deviceFailureReported.load())) return false;
    reopening_ = true;
    if (s.isRecording.load()) return false;
    CloseCaptureDevice();
    quietFailures_ = true;
    const bool opened = OpenCaptureDevice();
    quietFailures_ = false;
    reopening_ = !opened;
    return opened;
}

std::chrono::milliseconds CaptureDevice::ReturnWaitLimit() const {
    const double seconds = state_.bufferSeconds.load();
    return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0) + 100);
}

void CaptureDevice::FreeBuffers() {
    device_.waveIn.reset();
    device_.deviceHeaders.clear();
    device_.buffers.clear();
    device_.liveHeaderCount.store(0);
    device_.currentHeaderIndex.store(0);
}

bool CaptureDevice::OpenCaptureDevice() {
    PipelineState& s = state_;
    reopening_ = false;  // any open ends the waiting for a failed device
    view_.ResetClipTrackers();
    const std::optional<WaveFormat> format =
        formats_ ? formats_(settings_.deviceIndex, settings_.formatIndex) : std::nullopt;
    if (!format) return false;
    if (s.pipelineReady.load()) CloseCaptureDevice();

    s.inFlightBytes.store(0);
    s.startSkipBytes.store(0);
    s.stopDrainBytes.store(0);
    s.pipelineReady.store(false);
    s.deviceFailed.store(false);

    std::unique_ptr<WaveInDevice> opened;
    WaveResult r = 0;
    // Threads the device starts, a sound server library's among them, serve the receiving
    // thread; none may inherit the calling thread's level.
    ThreadRoles::Instance().RunStarting(ThreadRole::Receive, [&] {
        r = backend_.Open(settings_.deviceIndex, *format, &waveThread_, &opened);
    });
    if (r != 0 || !opened) {
        ReportWaveError(r);
        FailureLog().AddLogLine("ERROR:   Cannot open waveIn device");
        return FailureTail(false);
    }
    device_.waveIn = std::move(opened);
    WaveInDevice& dev = *device_.waveIn;

    const BufferGeometry g =
        ComputeGeometry(static_cast<int>(format->avgBytesPerSec), format->blockAlign, s.buffersPerSecond.load(),
                        settings_.deviceQueueSeconds, settings_.receivedStoreSeconds, settings_.outputStoreSeconds);

    device_.buffers.clear();
    device_.deviceHeaders.assign(static_cast<std::size_t>(g.deviceBufferCount), nullptr);
    device_.liveHeaderCount.store(0);
    for (std::size_t i = 0; i < device_.deviceHeaders.size(); ++i) {
        auto buffer = std::make_unique<DeviceBuffer>(g.bufferBytes);
        WaveHeader* header = &buffer->header;
        r = dev.Prepare(header);
        if (r != 0) {
            ReportWaveError(r);
            FailureLog().AddLogLine("ERROR:   Can not prepare buffer");
            s.deviceFailed.store(true);
            return FailureTail(true);
        }
        r = dev.Add(header);
        if (r != 0) {
            ReportWaveError(r);
            FailureLog().AddLogLine("ERROR:   Can not add buffer");
            s.deviceFailed.store(true);
            dev.Unprepare(header);
            return FailureTail(true);
        }
        device_.deviceHeaders[i] = header;
        device_.buffers.push_back(std::move(buffer));
        device_.liveHeaderCount.fetch_add(1);
    }

    device_.currentHeaderIndex.store(0);
    preprocess_.Holds().ClearAll();
    s.resetRequest.store(false);
    {
        // The preprocessing thread may still be finishing a block of the previous ring; the
        // geometry changes with the ring, never while a block of the old one is in hand.
        auto quiet = preprocess_.HoldOffBlocks();
        s.ApplyGeometry(g);
        s.format.averageBytesPerSecond.store(static_cast<int>(format->avgBytesPerSec));
        s.format.frameBytes.store(format->blockAlign);
        s.format.sampleRate.store(static_cast<int>(format->samplesPerSec));
        s.receivedRing.Rebuild(g.receivedBlockCount, g.bufferBytes);
    }

    // Everything the receiving thread reads is in place before capture starts: a device
    // may return its first buffer at once, and one returned while pipelineReady is clear
    // would be ignored and never queued again.
    uint64_t position = 0;
    uint64_t discarded = 0;
    if (dev.Counters(&position, &discarded) != 0) position = discarded = 0;
    s.lastDevicePosition.store(position);
    s.lastDiscardedBytes.store(discarded);
    s.deviceFreeBytes.store(static_cast<int64_t>(g.deviceBufferCount) * g.bufferBytes);
    s.lostSeconds.Store(0.0);
    s.firstBufferPending.store(true);
    s.pipelineReady.store(true);

    r = dev.Start();
    if (r != 0) {
        s.pipelineReady.store(false);
        ReportWaveError(r);
        FailureLog().AddLogLine("ERROR:   Cannot start recording");
        s.deviceFailed.store(true);
        return FailureTail(true);
    }

    preprocess_.Holds().ClearAll();
    waveThread_.PostDeviceStarted();
    s.deviceFailureReported.store(false);
    view_.EnableRecordButton(true);
    view_.ShowDeviceReady();
    log_.AddLogLine("SUCCESS: waveIn device open");
    return true;
}

bool CaptureDevice::FailureTail(bool opened) {
    if (opened && device_.waveIn) {
        WaveInDevice& dev = *device_.waveIn;
        dev.Reset();  // the receiving thread ignores what comes back: pipelineReady is clear
        for (WaveHeader* header : device_.deviceHeaders)
            if (header) dev.Unprepare(header);
        dev.Close();
    }
    // Returned buffers may still wait in the receiving thread's queue; let it pass them by
    // before their memory goes.
    waveThread_.Flush();
    FreeBuffers();
    view_.BlankMeters();
    view_.ShowDeviceFailure();
    return false;
}

void CaptureDevice::CloseCaptureDevice() {
    PipelineState& s = state_;
    if (s.pipelineReady.load() && device_.waveIn) {
        PipelineEvents& ev = s.events;
        view_.ReleaseMixer();

        ev.nextWim.Reset();
        ev.buffReset.Reset();
        ev.devReset.Reset();
        // Park the receiving thread at its next message; the wake-up guarantees one even
        // when the device has stalled or failed and returns nothing. Until it is parked it
        // may be inside a device call with a header in hand, however long that call takes,
        // so the headers and the device are touched only after it signalled.
        const bool parked = waveThread_.Running();
        if (parked) {
            s.resetRequest.store(true);
            waveThread_.PostWake();
            ev.nextWim.Wait();
        }
        // Not running: nothing handles buffers, nothing needs to be parked.

        for (WaveHeader*& header : device_.deviceHeaders) header = nullptr;  // all retired
        WaveInDevice& dev = *device_.waveIn;
        WaveResult r = dev.Reset();
        if (r != 0) {
            ReportWaveError(r);
            FailureLog().AddLogLine("ERROR:   waveInReset failed");
        }
        // Buffers the device still holds come back now; those it no longer held (not
        // queued again after a failure) are not waited for.
        const bool buffersOut = device_.liveHeaderCount.load() > 0;
        if (parked) {
            ev.buffReset.Set();
            if (buffersOut) ev.devReset.WaitFor(ReturnWaitLimit());
        }

        r = dev.Close();
        if (r != 0) {
            ReportWaveError(r);
            FailureLog().AddLogLine("ERROR:   waveInClose failed");
        }
        s.pipelineReady.store(false);
        // From here the receiving thread ignores buffers; after the flush it holds none.
        waveThread_.Flush();
        FreeBuffers();
        // And the preprocessing thread takes no block of this device any more: once the block
        // in progress is done, format values may change for the next open.
        auto quiet = preprocess_.HoldOffBlocks();
    }
    view_.EnableRecordButton(false);
}

}  // namespace pelmora
