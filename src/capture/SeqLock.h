// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One writer publishes a small value; any number of readers copy it without ever making the
// writer wait. Readers retry while a write is under way. The words are atomics, so a torn
// copy is detected instead of being a data race.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <type_traits>

namespace pelmora {

template <typename T>
class SeqLock {
    static_assert(std::is_trivially_copyable_v<T>, "SeqLock holds plain values only");
    static constexpr std::size_t kWords = (sizeof(T) + sizeof(uint64_t) - 1) / sizeof(uint64_t);

public:
    explicit SeqLock(const T& initial = T()) { Store(initial); }
    SeqLock(const SeqLock&) = delete;
    SeqLock& operator=(const SeqLock&) = delete;

    /// For the one writer only.
    void Store(const T& value) {
        uint64_t words[kWords] = {};
        std::memcpy(words, &value, sizeof(T));
        const uint64_t seq = sequence_.load(std::memory_order_relaxed);
        sequence_.store(seq + 1, std::memory_order_relaxed);
        // Release stores keep the odd sequence ahead of every word: a reader that sees a new
        // word also sees the write under way.
        for (std::size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_release);
        sequence_.store(seq + 2, std::memory_order_release);
    }

    T Load() const {
        uint64_t words[kWords];
        for (;;) {
            const uint64_t before = sequence_.load(std::memory_order_acquire);
            if ((before & 1) == 0) {
                for (std::size_t i = 0; i < kWords; ++i) words[i] = words_[i].load(std::memory_order_acquire);
                if (sequence_.load(std::memory_order_relaxed) == before) break;
            }
            std::this_thread::yield();
        }
        T value;
        std::memcpy(&value, words, sizeof(T));
        return value;
    }

private:
    std::atomic<uint64_t> sequence_{0};
    std::atomic<uint64_t> words_[kWords] = {};
};

}  // namespace pelmora
