// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preprocessing thread: takes every block the receiving thread leaves in receivedRing,
// measures its peaks, keeps the DC estimate, removes DC in place if asked, raises the clip
// flag, updates the meters and, while a recording runs and is not paused, hands a copy to
// the writer through writerQueue. It never waits for the main thread.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "capture/DcFilter.h"
#include "capture/MeterSnapshot.h"
#include "capture/PipelineState.h"
#include "capture/SeqLock.h"
#include "monitor/MeterLevel.h"
#include "settings/RecSettings.h"

namespace pelmora {

class PreprocessThread {
public:
    /// Reads removeDc and dcResponsivity from `settings` for every block.
    PreprocessThread(PipelineState& state, const RecSettings& settings, DcFilter& dcFilter);
    ~PreprocessThread();  // Quit()
    PreprocessThread(const PreprocessThread&) = delete;
    PreprocessThread& operator=(const PreprocessThread&) = delete;

    /// Set before Start(); null for none.
    void SetMeterHook(MeterBlockHook* hook) { hook_ = hook; }

    /// Starts the thread at the preprocessing thread's priority.
    void Start();
    /// Sets preprocQuit, signals "NewData0", waits for "ProcThreadClosed". No-op if not started.
    void Quit();
    bool Running() const { return thread_.joinable(); }
    /// Kernel thread id, for priority changes; 0 before Start().
    pid_t Tid() const { return tid_.load(); }

    // For the main thread:
    /// Values of the latest block; never makes the preprocessing thread wait.
    MeterSnapshot Meters() const { return snapshot_.Load(); }
    PeakHolds& Holds() { return holds_; }
    /// Keeps the thread away from receivedRing while held (device open rebuilds it); waits
    /// at most for the block in progress.
    std::unique_lock<std::mutex> HoldOffBlocks() { return std::unique_lock<std::mutex>(blockMutex_); }
    uint64_t ProcessedBlocks() const;
    /// Waits until `count` blocks have been processed since Start(); false on timeout.
    bool WaitProcessed(uint64_t count, std::chrono::milliseconds timeout) const;

    // One block's work, in place (the thread's own steps; public for measurement). `bytes` is
    // the size of the block's own storage; without it, bufferBytes.
    void MeasureAndFilter(uint8_t* block, int bytes);
    void ShowLevelsAndForward(const uint8_t* block, int bytes);
    void MeasureAndFilter(uint8_t* block) { MeasureAndFilter(block, state_.bufferBytes.load()); }
    void ShowLevelsAndForward(const uint8_t* block) { ShowLevelsAndForward(block, state_.bufferBytes.load()); }

private:
    int Run();
    void Forward(const uint8_t* block, int bytes);
    void Publish();

    PipelineState& state_;
    const RecSettings& settings_;
    DcFilter& dc_;
    MeterBlockHook* hook_ = nullptr;
    PeakHolds holds_;
    SeqLock<MeterSnapshot> snapshot_;

    // This block's measurements (preprocessing thread).
    double inputPeakLeft_ = 0.0, inputPeakRight_ = 0.0;
    double processedPeakLeft_ = 0.0, processedPeakRight_ = 0.0;
    MeterLevels levels_;
    double dbRange_ = 0.0;
    uint64_t blockNumber_ = 0;

    std::mutex blockMutex_;  // held by the thread while it works on a ring block
    std::thread thread_;
    std::atomic<pid_t> tid_{0};

    mutable std::mutex progressMutex_;
    mutable std::condition_variable progressChanged_;
    uint64_t processed_ = 0;  // under progressMutex_
};

}  // namespace pelmora
