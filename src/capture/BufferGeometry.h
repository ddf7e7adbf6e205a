// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sizes of the sound buffers and of the three storages, derived from the capture format.

#include <cstdint>

namespace pelmora {

struct BufferGeometry {
    int bufferBytes = 0;
    double bufferSeconds = 0.0;
    int deviceBufferCount = 0;
    int receivedBlockCount = 0;
    int64_t writerQueueLimit = 0;
};

/// 2, 5, 10 or 20 for meterRateIndex 0..3; an index outside the list reads as 10.
double BuffersPerSecond(int32_t meterRateIndex);

/// All conversions truncate toward zero. Every count is at least what keeps the pipeline
/// working (one block, two ring nodes), whatever the inputs.
BufferGeometry ComputeGeometry(int averageBytesPerSecond, int frameBytes, double buffersPerSecond,
                               int deviceQueueSeconds, int receivedStoreSeconds, int outputStoreSeconds);

}  // namespace pelmora
