// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/PipelineState.h"

namespace pelmora {

void PipelineState::ApplyGeometry(const BufferGeometry& g) {
    bufferBytes.store(g.bufferBytes);
    bufferSeconds.store(g.bufferSeconds);
    deviceBufferCount.store(g.deviceBufferCount);
    receivedBlockCount.store(g.receivedBlockCount);
    writerQueue.SetLimit(g.writerQueueLimit);
}

void ApplyDeviceAccounting(PipelineState& s, uint64_t position, uint64_t discarded) {
    const int64_t bytes = s.bufferBytes.load(std::memory_order_relaxed);
    const int64_t deviceCount = s.deviceBufferCount.load(std::memory_order_relaxed);
    const int64_t ringCount = s.receivedBlockCount.load(std::memory_order_relaxed);
    if (bytes <= 0 || deviceCount <= 0 || ringCount <= 0) return;

    // Bytes the device reports as gone never filled a queued buffer: they are lost as such
    // and leave the free space of the queue alone.
    const int64_t gone = static_cast<int64_t>(discarded - s.lastDiscardedBytes.load(std::memory_order_relaxed));
    s.lastDiscardedBytes.store(discarded, std::memory_order_relaxed);
    if (gone > 0) s.lostSeconds.Add(static_cast<double>(gone) * s.bufferSeconds.load() / static_cast<double>(bytes));

    int64_t freeBytes = s.deviceFreeBytes.load(std::memory_order_relaxed);
    freeBytes -= static_cast<int64_t>(position - s.lastDevicePosition.load(std::memory_order_relaxed)) - gone;
    s.lastDevicePosition.store(position, std::memory_order_relaxed);
    if (freeBytes < 0) {
        // The device ran past its queue: what did not fit is lost.
        s.lostSeconds.Add(static_cast<double>(-freeBytes) * s.bufferSeconds.load() / static_cast<double>(bytes));
        freeBytes = 0;
    }
    s.deviceFreePercent.store(static_cast<int>(freeBytes * 100 / deviceCount / bytes));
    freeBytes += bytes;
    s.deviceFreeBytes.store(freeBytes, std::memory_order_relaxed);

    const int64_t ringFree = s.receivedRing.FreeBlocks();
    s.receivedFreePercent.store(static_cast<int>(ringFree * 100 / ringCount));
    const int64_t limit = s.writerQueue.Limit();
    if (limit > 0) s.outputFreePercent.store(static_cast<int>(100 - s.writerQueue.Bytes() * 100 / limit));
    s.inFlightBytes.store(bytes * (ringCount - ringFree + deviceCount) - freeBytes);
}

}  // namespace pelmora
