#include "capture/WaveThread.h"

#include "capture/CaptureDevice.h"
#include "capture/ThreadRoles.h"

namespace pelmora {

CWaveThread::CWaveThread(PipelineState& state, DeviceObjects& device, const RecSettings& settings,
                         WaveInBackend& backend, LogSink& log)
    : state_(state), device_(device), settings_(settings), backend_(backend), log_(log) {}

CWaveThread::~CWaveThread() {
    Quit();
}

void CWaveThread::Start() {
    if (thread_.joinable()) return;
    pid_t tid = 0;
    thread_ = ThreadRoles::Instance().StartThread(ThreadRole::Receive, "pelmora-wave", [this] { Run(); }, &tid);
    tid_.store(tid);
}

void CWaveThread::Quit() {
    if (!thread_.joinable()) return;
    Post({Message::kQuit, nullptr, 0});
    thread_.join();
}

void CWaveThread::Post(const Message& m) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(m);
    }
    changed_.notify_all();
}

void CWaveThread::PostWaveData(WaveHeader* header) {
    Post({Message::kBuffer, header, 0});
}

void CWaveThread::PostWake() {
    Post({Message::kWake, nullptr, 0});
}

void CWaveThread::Flush() {
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t barrier = ++barriersPosted_;
    queue_.push_back({Message::kBarrier, nullptr, barrier});
    changed_.notify_all();
    changed_.wait(lock, [&] { return barriersDone_ >= barrier; });
}

uint64_t CWaveThread::HandledBuffers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return handled_;
}

bool CWaveThread::WaitHandled(uint64_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return handled_ >= count; });
}

void CWaveThread::Run() {
    for (;;) {
        Message m;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty(); });
            m = queue_.front();
            queue_.pop_front();
        }
        switch (m.kind) {
            case Message::kQuit:
                return;
            case Message::kBarrier: {
                std::lock_guard<std::mutex> lock(mutex_);
                barriersDone_ = m.barrier;
                changed_.notify_all();
                break;
            }
            case Message::kWake:
                OnWaveData(nullptr);
                break;
            case Message::kBuffer: {
                OnWaveData(m.header);
                std::lock_guard<std::mutex> lock(mutex_);
                ++handled_;
                changed_.notify_all();
                break;
            }
        }
    }
}

void CWaveThread::Fail(WaveResult code, const char* line) {
    ReportWaveError(backend_, log_, code);
    log_.AddLogLine(line);
    state_.deviceFailed.store(true);
}

void CWaveThread::OnWaveData(WaveHeader* header) {
    PipelineState& s = state_;
    if (!s.pipelineReady.load()) return;

    if (s.resetRequest.exchange(false)) {
        // Parked at a message boundary while the close retires the buffers and resets the device.
        s.events.nextWim.Set();
        s.events.buffReset.Wait();
    }
    WaveInDevice* device = device_.waveIn.get();
    if (!header || !device) return;

    // Every returned buffer is back from the device, whatever becomes of it now.
    const int live = device_.liveHeaderCount.fetch_sub(1) - 1;
    const int count = static_cast<int>(device_.deviceHeaders.size());
    const int index = device_.currentHeaderIndex.load();

    if (index >= count || device_.deviceHeaders[static_cast<std::size_t>(index)] != header) {
        // Retired by a close. Its memory goes with the device's buffer storage.
        const WaveResult r = device->Unprepare(header);
        if (r != 0) {
            ReportWaveError(backend_, log_, r);
            log_.AddLogLine("ERROR:   failed to unprepare data block");
        }
        if (live <= 0) s.events.devReset.Set();
        return;
    }

    // Buffers come back in queueing order: the next one is expected next, even if this one
    // is not queued again, so that after a failure the rest still reach the ring.
    device_.currentHeaderIndex.store((index + 1) % count);

    WaveResult r = device->Unprepare(header);
    if (r != 0) {
        if (!s.deviceFailed.load()) Fail(r, "ERROR:   failed to unprepare data block");
        return;
    }

    const bool lossLimitReached = s.isRecording.load() && settings_.stopOnDataLoss &&
                                  settings_.dataLossLimit <= s.lostSeconds.Load();
    if (!lossLimitReached) {
        // The supervision stops a recording past its loss limit; until then the sound is dropped uncounted.
        // A buffer the device could not fill (it failed meanwhile) holds sound that was never
        // captured after its recorded part: it is lost, never passed on.
        if (header->bytesRecorded >= static_cast<uint32_t>(s.receivedRing.BlockBytes()) &&
            s.receivedRing.Deposit(header->data))
            s.events.newData0.Set();
        else
            s.lostSeconds.Add(s.bufferSeconds.load(std::memory_order_relaxed));
    }

    if (s.deviceFailed.load()) return;  // no longer queued: capture dries up

    header->bytesRecorded = 0;
    header->flags = 0;
    r = device->Prepare(header);
    if (r != 0) {
        if (!s.deviceFailed.load()) Fail(r, "ERROR:   failed to prepare data block");
        return;
    }
    const WaveResult added = device->Add(header);
    if (added == 0) device_.liveHeaderCount.fetch_add(1);
    uint64_t position = 0;
    uint64_t discarded = s.lastDiscardedBytes.load(std::memory_order_relaxed);
    if (device->Counters(&position, &discarded) != 0) {
        position = s.lastDevicePosition.load(std::memory_order_relaxed) + header->bufferLength;
        discarded = s.lastDiscardedBytes.load(std::memory_order_relaxed);
    }
    ApplyDeviceAccounting(s, position, discarded);
    if (added != 0 && !s.deviceFailed.load()) Fail(added, "ERROR:   failed to add sound buffer");
}

}  // namespace pelmora
