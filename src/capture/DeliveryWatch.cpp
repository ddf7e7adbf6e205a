// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/DeliveryWatch.h"

#include <algorithm>

namespace pelmora {

void DeliveryWatch::Start(Clock::time_point now, uint64_t delivered, uint64_t position, double bufferSeconds,
                          int bufferBytes) {
    const double seconds = std::max(2.0 * bufferSeconds, 0.5);
    limit_ = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    interval_ = limit_ / 4;
    minimumAdvance_ = static_cast<uint64_t>(std::max(bufferBytes, 1));
    lastDelivered_ = delivered;
    silent_ = false;
    silentPosition_ = position;
    lastPosition_ = position;
    nextCheck_ = now + interval_;
    active_ = true;
}

bool DeliveryWatch::Check(Clock::time_point now, uint64_t delivered, uint64_t position) {
    if (!active_) return false;
    nextCheck_ = now + interval_;
    if (delivered != lastDelivered_) {
        lastDelivered_ = delivered;
        lastPosition_ = position;
        silent_ = false;
        return false;
    }
    // The silence is timed from the first check that saw the position move without sound, so
    // that a stall (the position standing still: our own thread held up) and the overrun that
    // ends it never count: a stalled device is timed afresh once it runs again.
    if (!silent_ || position == lastPosition_) {
        lastPosition_ = position;
        silent_ = true;
        silentSince_ = now;
        silentPosition_ = position;
        return false;
    }
    if (now - silentSince_ < limit_ || position - silentPosition_ < minimumAdvance_) return false;
    active_ = false;
    return true;
}

}  // namespace pelmora
