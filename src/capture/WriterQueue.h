// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// writerQueue: copies of preprocessed blocks waiting for the writer, oldest first.
// Every call except Bytes() must be made while holding the "ListAccess" event.

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace pelmora {

class WriterQueue {
public:
    void SetLimit(int64_t limitBytes) { limit_.store(limitBytes, std::memory_order_relaxed); }
    int64_t Limit() const { return limit_.load(std::memory_order_relaxed); }
    /// Queued bytes; readable from any thread without the lock.
    int64_t Bytes() const { return bytes_.load(std::memory_order_relaxed); }

    // For the preprocessing thread only:
    /// Appends a copy while the queue holds less than its limit; false when it is full.
    bool Append(const uint8_t* data, std::size_t size);

    // For the writer only:
    std::optional<std::vector<uint8_t>> PopOldest();

    // For record start and window close:
    void Clear();
    std::size_t Count() const { return blocks_.size(); }

private:
    std::deque<std::vector<uint8_t>> blocks_;
    std::atomic<int64_t> bytes_{0};
    std::atomic<int64_t> limit_{0};
};

}  // namespace pelmora
