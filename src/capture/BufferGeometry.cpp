// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/BufferGeometry.h"

#include <algorithm>

namespace pelmora {

double BuffersPerSecond(int32_t meterRateIndex) {
    static const double rates[] = {2.0, 5.0, 10.0, 20.0};
    return meterRateIndex >= 0 && meterRateIndex < 4 ? rates[meterRateIndex] : 10.0;
}

BufferGeometry ComputeGeometry(int averageBytesPerSecond, int frameBytes, double buffersPerSecond,
                               int deviceQueueSeconds, int receivedStoreSeconds, int outputStoreSeconds) {
    BufferGeometry g;
    frameBytes = std::max(frameBytes, 1);
    averageBytesPerSecond = std::max(averageBytesPerSecond, frameBytes);
    g.bufferBytes = frameBytes * static_cast<int>(averageBytesPerSecond / buffersPerSecond / frameBytes);
    g.bufferBytes = std::max(g.bufferBytes, frameBytes);
    g.bufferSeconds = static_cast<double>(g.bufferBytes) / averageBytesPerSecond;
    g.deviceBufferCount = std::max(1, static_cast<int>(1.0 / g.bufferSeconds) * deviceQueueSeconds);
    g.receivedBlockCount = std::max(
        2, static_cast<int>(static_cast<double>(receivedStoreSeconds) * averageBytesPerSecond / g.bufferBytes));
    int64_t limit = static_cast<int64_t>(outputStoreSeconds) * averageBytesPerSecond;
    g.writerQueueLimit = std::max<int64_t>(g.bufferBytes, limit - limit % g.bufferBytes);
    return g;
}

}  // namespace pelmora
