// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells a capture device that runs but delivers nothing from one that is merely late. Some
// devices never report a failure: with a dead sound server every read overruns and every
// recovery succeeds, so the device's position moves on while no sound reaches a buffer. Such
// a device has failed once, for about two buffers' time (at least half a second, so that a
// server's own delivery rhythm is never taken for it), no sound has reached a buffer while
// its position moved on by a buffer or more. A device whose position stands still is stalled,
// not running, and is left alone. Receiving thread only.

#include <chrono>
#include <cstdint>

namespace pelmora {

class DeliveryWatch {
public:
    using Clock = std::chrono::steady_clock;

    /// The device started: `delivered` bytes of its `position` have reached buffers so far.
    void Start(Clock::time_point now, uint64_t delivered, uint64_t position, double bufferSeconds, int bufferBytes);
    void Stop() { active_ = false; }
    bool Active() const { return active_; }
    /// When Check wants to be called next.
    Clock::time_point NextCheck() const { return nextCheck_; }
    /// True once the device counts as failed; the watch then stops.
    bool Check(Clock::time_point now, uint64_t delivered, uint64_t position);

private:
    bool active_ = false;
    Clock::duration limit_{};
    Clock::duration interval_{};
    uint64_t minimumAdvance_ = 0;
    uint64_t lastDelivered_ = 0;
    bool silent_ = false;  // the last check saw no new sound
    Clock::time_point silentSince_{};
    uint64_t silentPosition_ = 0;
    uint64_t lastPosition_ = 0;  // the position at the last check
    Clock::time_point nextCheck_{};
};

}  // namespace pelmora
