// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/ReceivedRing.h"

#include <algorithm>
#include <cstring>

namespace pelmora {

void ReceivedRing::Rebuild(int count, int blockBytes) {
    count = std::max(count, 2);
    blocks_.assign(static_cast<std::size_t>(count), std::vector<uint8_t>(static_cast<std::size_t>(blockBytes)));
    blockBytes_ = blockBytes;
    writeCursor_.store(0, std::memory_order_relaxed);
    readCursor_.store(count - 1, std::memory_order_relaxed);
    freeBlocks_.store(count, std::memory_order_release);
}

void ReceivedRing::Release() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    blockBytes_ = 0;
    writeCursor_.store(0, std::memory_order_relaxed);
    readCursor_.store(0, std::memory_order_relaxed);
    freeBlocks_.store(0, std::memory_order_relaxed);
}

int ReceivedRing::WaitingBlocks() const {
    const int count = static_cast<int>(blocks_.size());
    if (count == 0) return 0;
    const int w = writeCursor_.load(std::memory_order_acquire);
    const int r = readCursor_.load(std::memory_order_acquire);
    return ((w - r - 1) % count + count) % count;
}

bool ReceivedRing::Deposit(const uint8_t* data) {
    if (blocks_.empty()) return false;
    const int w = writeCursor_.load(std::memory_order_relaxed);
    if (w == readCursor_.load(std::memory_order_acquire)) return false;
    std::memcpy(blocks_[static_cast<std::size_t>(w)].data(), data, static_cast<std::size_t>(blockBytes_));
    freeBlocks_.fetch_sub(1, std::memory_order_relaxed);
    writeCursor_.store(Next(w), std::memory_order_release);
    return true;
}

uint8_t* ReceivedRing::Take() {
    if (blocks_.empty()) return nullptr;
    const int next = Next(readCursor_.load(std::memory_order_relaxed));
    if (next == writeCursor_.load(std::memory_order_acquire)) return nullptr;
    readCursor_.store(next, std::memory_order_release);
    return blocks_[static_cast<std::size_t>(next)].data();
}

bool ReceivedRing::FinishTake() {
    freeBlocks_.fetch_add(1, std::memory_order_relaxed);
    return Next(readCursor_.load(std::memory_order_relaxed)) != writeCursor_.load(std::memory_order_acquire);
}

}  // namespace pelmora
