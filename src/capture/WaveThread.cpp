// SPDX-License-Identifier: GPL-3.0-or-later
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

void CWaveThread::PostDeviceStarted() {
    Post({Message::kStarted, nullptr, 0});
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
            const auto waiting = [this] { return !queue_.empty(); };
            if (watch_.Active()) {
                if (!changed_.wait_until(lock, watch_.NextCheck(), waiting)) {
                    lock.unlock();
                    WatchDelivery(false);
                    continue;
                }
            } else {
                changed_.wait(lock, waiting);
            }
            m = queue_.front();
            queue_.pop_front();
        }
        if (watch_.Active() && DeliveryWatch::Clock::now() >= watch_.NextCheck()) WatchDelivery(false);
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
            case Message::kStarted:
                WatchDelivery(true);
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

// Starts the watch over the device's delivery, or looks whether it still delivers. A device
// that does not is failed as if a call had failed: the sound it discarded meanwhile is lost.
void CWaveThread::WatchDelivery(bool start) {
    PipelineState& s = state_;
    // While a close is under way the device is left alone: the next message parks the thread.
    if (!s.pipelineReady.load() || s.deviceFailed.load() || s.resetRequest.load() || !device_.waveIn) {
        watch_.Stop();
        return;
    }
    uint64_t position = 0;
    uint64_t discarded = 0;
    if (device_.waveIn->Counters(&position, &discarded) != 0) return;
    const auto now = DeliveryWatch::Clock::now();
    if (start) {
        watch_.Start(now, position - discarded, position, s.bufferSeconds.load(), s.bufferBytes.load());
        return;
    }
    if (!watch_.Check(now, position - discarded, position)) return;
    const uint64_t lastDiscarded = s.lastDiscardedBytes.load(std::memory_order_relaxed);
    const int bytes = s.bufferBytes.load(std::memory_order_relaxed);
    if (discarded > lastDiscarded && bytes > 0) {
        const uint64_t gone = discarded - lastDiscarded;
        s.lostSeconds.Add(static_cast<double>(gone) * s.bufferSeconds.load() / bytes);
        s.lastDiscardedBytes.store(discarded, std::memory_order_relaxed);
        s.lastDevicePosition.fetch_add(gone, std::memory_order_relaxed);
    }
    log_.AddLogLine("ERROR:   waveIn device delivers no sound");
    s.deviceFailed.store(true);
}

void CWaveThread::OnWaveData(WaveHeader* header) {
    PipelineState& s = state_;
    if (!s.pipelineReady.load()) return;

    if (s.resetRequest.exchange(false)) {
        // Parked at a message boundary while the close retires the buffers and resets the device.
        watch_.Stop();
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
