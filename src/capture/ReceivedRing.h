// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// receivedRing: a ring of equal blocks between the receiving thread (deposits) and the
// preprocessing thread (takes). No lock: each side writes only its own cursor.
// The write cursor is the node filled next; the read cursor the node consumed last, so at
// most count - 1 blocks wait and the block being processed is never overwritten.

#include <atomic>
#include <cstdint>
#include <vector>

namespace pelmora {

class ReceivedRing {
public:
    /// Frees the old blocks and makes `count` (at least 2) fresh ones of `blockBytes`.
    /// Only while neither thread uses the ring.
    void Rebuild(int count, int blockBytes);
    void Release();

    int BlockCount() const { return static_cast<int>(blocks_.size()); }
    int BlockBytes() const { return blockBytes_; }
    int FreeBlocks() const { return freeBlocks_.load(std::memory_order_relaxed); }
    /// Blocks deposited and not taken yet, from the two cursors.
    int WaitingBlocks() const;

    // For the receiving thread only:
    /// Copies one block in; false when the ring is full (the block is lost).
    bool Deposit(const uint8_t* data);

    // For the preprocessing thread only:
    /// Advances to the next waiting block and returns it for in-place processing, or null.
    uint8_t* Take();
    /// Marks the taken block done; true when more blocks are waiting.
    bool FinishTake();

private:
    int Next(int i) const { return i + 1 == static_cast<int>(blocks_.size()) ? 0 : i + 1; }

    std::vector<std::vector<uint8_t>> blocks_;
    int blockBytes_ = 0;
    std::atomic<int> writeCursor_{0};
    std::atomic<int> readCursor_{0};
    std::atomic<int> freeBlocks_{0};
};

}  // namespace pelmora
