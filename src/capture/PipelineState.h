// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// State shared by the pipeline threads. Each item names who writes it and who reads it.
// Worker threads read settings fields directly; everything written by one thread and read
// by another is atomic.

#include <atomic>
#include <cstdint>

#include "capture/BufferGeometry.h"
#include "capture/PipelineEvents.h"
#include "capture/ReceivedRing.h"
#include "capture/WriterQueue.h"

namespace pelmora {

/// A double that two threads may add to.
class AtomicSeconds {
public:
    double Load() const { return value_.load(std::memory_order_relaxed); }
    void Store(double v) { value_.store(v, std::memory_order_relaxed); }
    void Add(double delta) {
        double old = value_.load(std::memory_order_relaxed);
        while (!value_.compare_exchange_weak(old, old + delta, std::memory_order_relaxed)) {
        }
    }

private:
    std::atomic<double> value_{0.0};
};

/// Values of the capture format in use. Set on the main thread while the pipeline is idle.
struct CaptureFormat {
    std::atomic<int> captureBits{16};      // BuildEncoderCommand
    std::atomic<int> captureChannels{2};   // BuildEncoderCommand
    std::atomic<int> fullScale{32768};     // BuildEncoderCommand: 2^(bits-1)
    std::atomic<int> averageBytesPerSecond{0};  // device open
    std::atomic<int> frameBytes{0};             // device open
    std::atomic<int> sampleRate{0};             // device open
};

/// Which recording limit the writer stopped at.
enum class WriteLimit : int { None = 0, WriteTime = 1, FileSize = 2 };

struct PipelineState {
    PipelineEvents events;
    CaptureFormat format;

    // Geometry: written by the device open while pipelineReady is clear, read by all.
    std::atomic<int> bufferBytes{0};
    std::atomic<double> bufferSeconds{0.0};
    std::atomic<double> buffersPerSecond{10.0};  // ShowSettings, Sound buffers dialog
    std::atomic<int> deviceBufferCount{0};
    std::atomic<int> receivedBlockCount{0};

    ReceivedRing receivedRing;  // receiving thread deposits, preprocessing thread takes
    WriterQueue writerQueue;    // preprocessing thread appends, writer removes; under ListAccess

    std::atomic<bool> pipelineReady{false};      // device open: set; device close: clear
    std::atomic<bool> isRecording{false};        // record control
    std::atomic<bool> isPaused{false};           // record control
    std::atomic<bool> deviceFailed{false};       // receiving thread; cleared by device open
    std::atomic<bool> deviceFailureReported{false};  // supervision
    std::atomic<bool> pipeFailed{false};         // writer; cleared at record start and by supervision
    std::atomic<int> pipeError{0};               // writer: errno of the failed write
    std::atomic<bool> fileFailed{false};         // writer: an output file write failed
    std::atomic<int> fileError{0};               // writer: errno of the failed file write
    std::atomic<bool> clipSeen{false};           // preprocessing thread; supervision clears
    std::atomic<bool> writerStopRequest{false};  // stop sets; writer clears when drained
    std::atomic<bool> writerQuit{false};         // window close
    std::atomic<bool> preprocQuit{false};        // window close
    std::atomic<bool> resetRequest{false};       // device close sets; receiving thread clears
    std::atomic<bool> firstBufferPending{false}; // device open sets; preprocessing thread clears

    AtomicSeconds writeTime;    // writer adds; zeroed at record start
    std::atomic<int64_t> writtenBytes{0};  // writer adds; zeroed at record start: the exact count

    // Limits of one recording, in sound bytes (-1: none): set at record start; the writer
    // writes no block that would pass one, and names the one it met.
    std::atomic<int64_t> writeTimeLimitBytes{-1};
    std::atomic<int64_t> fileSizeLimitBytes{-1};
    std::atomic<WriteLimit> writeLimitReached{WriteLimit::None};
    AtomicSeconds lostSeconds;  // receiving and preprocessing threads add

    std::atomic<int64_t> startSkipBytes{0};   // record start sets; preprocessing thread lowers
    std::atomic<int64_t> stopDrainBytes{0};   // stop sets; preprocessing thread lowers
    std::atomic<int> drainClaims{0};          // preprocessing thread: drain blocks on their way to the queue
    // Set by the preprocessing thread each time it settled a drain block: the stop sleeps on
    // it instead of polling the two counts.
    EventHub drainHub;
    SyncEvent drainProgress{drainHub, "DrainProgress", false, false};
    std::atomic<int64_t> inFlightBytes{0};    // receiving thread

    // Device accounting: owned by the receiving thread, set by the device open.
    std::atomic<int64_t> deviceFreeBytes{0};
    std::atomic<uint64_t> lastDevicePosition{0};
    std::atomic<uint64_t> lastDiscardedBytes{0};  // device's count of bytes that reached no buffer

    // Fill states in percent: receiving thread writes, supervision reads.
    std::atomic<int> deviceFreePercent{100};
    std::atomic<int> receivedFreePercent{100};
    std::atomic<int> outputFreePercent{100};

    /// Puts a freshly computed geometry in place (device open, pipeline idle).
    void ApplyGeometry(const BufferGeometry& g);
};

/// The receiving thread's accounting for one returned buffer, at device position `position`
/// (bytes captured since start) of which `discarded` never reached a buffer: overrun loss,
/// fill states and bytes in flight.
void ApplyDeviceAccounting(PipelineState& state, uint64_t position, uint64_t discarded = 0);

}  // namespace pelmora
