// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Triple buffer between one drawing thread and the main thread. Neither side ever waits:
// the writer composes into a slot nobody reads and swaps it into the middle in one atomic
// exchange; the reader swaps the middle out only when it holds a newer frame. Frames may be
// skipped, never torn.

#include <atomic>
#include <cstdint>

namespace pelmora {

template <typename Frame>
class ImageHandoff {
public:
    /// All three slots start as copies of `initial`, so the reader always has a frame.
    explicit ImageHandoff(const Frame& initial = Frame())
        : slots_{initial, initial, initial} {}

    ImageHandoff(const ImageHandoff&) = delete;
    ImageHandoff& operator=(const ImageHandoff&) = delete;

    // For the writer only:
    /// The slot to compose into. It holds an older frame; overwrite all of it.
    Frame& Back() { return slots_[back_]; }
    /// Makes the composed slot the newest frame and takes a free slot as the next Back().
    void Publish() {
        const uint8_t old = middle_.exchange(static_cast<uint8_t>(back_ | kFresh),
                                             std::memory_order_acq_rel);
        back_ = old & kIndexMask;
    }

    // For the reader only:
    /// Takes the newest published frame as Front(); false (Front() unchanged) when nothing
    /// new was published since the last take.
    bool TakeNewest() {
        if ((middle_.load(std::memory_order_relaxed) & kFresh) == 0) return false;
        const uint8_t old = middle_.exchange(front_, std::memory_order_acq_rel);
        front_ = old & kIndexMask;
        return true;
    }
    /// The frame taken last; stays valid and unchanged until the next TakeNewest().
    const Frame& Front() const { return slots_[front_]; }

private:
    static constexpr uint8_t kFresh = 4;
    static constexpr uint8_t kIndexMask = 3;

    Frame slots_[3];
    uint8_t back_ = 0;                 // writer's slot
    std::atomic<uint8_t> middle_{1};   // slot index, plus kFresh when not yet taken
    uint8_t front_ = 2;                // reader's slot
};

}  // namespace pelmora
