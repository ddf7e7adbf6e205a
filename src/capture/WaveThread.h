// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CWaveThread: the receiving thread. The device posts every returned buffer to its message
// queue; OnWaveData copies the sound into receivedRing, gives the buffer back to the device
// and keeps the device accounting. It takes part in the device-close handshake.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "capture/DeliveryWatch.h"
#include "capture/DeviceObjects.h"
#include "capture/PipelineState.h"
#include "capture/WaveIn.h"
#include "recording/LogSink.h"
#include "settings/RecSettings.h"

namespace pelmora {

class CWaveThread : public WaveMessageTarget {
public:
    /// Reads stopOnDataLoss and dataLossLimit from `settings` for every buffer.
    CWaveThread(PipelineState& state, DeviceObjects& device, const RecSettings& settings, WaveInBackend& backend,
                LogSink& log);
    ~CWaveThread() override;  // Quit()
    CWaveThread(const CWaveThread&) = delete;
    CWaveThread& operator=(const CWaveThread&) = delete;

    /// Starts the message loop at the receiving thread's priority.
    void Start();
    /// Ends the loop after the messages already posted. Not needed at window close.
    void Quit();
    bool Running() const { return thread_.joinable(); }
    pid_t Tid() const { return tid_.load(); }

    /// The buffer-done message; called on the device's thread, never blocks for long.
    void PostWaveData(WaveHeader* header) override;

    // For the device control:
    /// A message without a buffer: the thread meets a pending resetRequest at it, so the
    /// close handshake never depends on the device returning anything.
    void PostWake();
    /// Returns once every message posted before the call has been handled.
    void Flush();
    /// The device captures: from now on, one that runs but delivers nothing has failed.
    void PostDeviceStarted();

    /// Buffer-done messages handled since Start().
    uint64_t HandledBuffers() const;
    /// Waits until `count` buffer-done messages have been handled; false on timeout.
    bool WaitHandled(uint64_t count, std::chrono::milliseconds timeout) const;

    /// The handler of one buffer-done message (null: a wake-up).
    void OnWaveData(WaveHeader* header);

private:
    struct Message {
        enum Kind { kBuffer, kWake, kBarrier, kStarted, kQuit } kind;
        WaveHeader* header;
        uint64_t barrier;
    };

    void Post(const Message& m);
    void Run();
    void Fail(WaveResult code, const char* line);
    void WatchDelivery(bool start);

    PipelineState& state_;
    DeviceObjects& device_;
    const RecSettings& settings_;
    WaveInBackend& backend_;
    LogSink& log_;

    mutable std::mutex mutex_;  // guards everything below
    mutable std::condition_variable changed_;
    std::deque<Message> queue_;
    uint64_t barriersPosted_ = 0;
    uint64_t barriersDone_ = 0;
    uint64_t handled_ = 0;

    DeliveryWatch watch_;  // receiving thread only
    std::thread thread_;
    std::atomic<pid_t> tid_{0};
};

}  // namespace pelmora
