// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/WriterQueue.h"

namespace pelmora {

bool WriterQueue::Append(const uint8_t* data, std::size_t size) {
    if (bytes_.load(std::memory_order_relaxed) >= limit_.load(std::memory_order_relaxed)) return false;
    blocks_.emplace_back(data, data + size);
    bytes_.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed);
    return true;
}

std::optional<std::vector<uint8_t>> WriterQueue::PopOldest() {
    if (blocks_.empty()) return std::nullopt;
    std::vector<uint8_t> block = std::move(blocks_.front());
    blocks_.pop_front();
    bytes_.fetch_sub(static_cast<int64_t>(block.size()), std::memory_order_relaxed);
    return block;
}

void WriterQueue::Clear() {
    blocks_.clear();
    bytes_.store(0, std::memory_order_relaxed);
}

}  // namespace pelmora
