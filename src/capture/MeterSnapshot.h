// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the preprocessing thread measured in its latest block, for the window and the
// supervision to pick up without a lock, and the hook that composes meter pictures.

#include <cstdint>

namespace pelmora {

struct MeterSnapshot {
    uint64_t block = 0;  // blocks measured since the thread started; 0 = none yet

    // Peaks, |sample| / fullScale.
    double inputPeakLeft = 0.0;
    double inputPeakRight = 0.0;
    double processedPeakLeft = 0.0;
    double processedPeakRight = 0.0;

    // Meter levels 0..1 and peak holds (-1 = cleared).
    double inputLevelLeft = 0.0;
    double inputLevelRight = 0.0;
    double processedLevelLeft = 0.0;
    double processedLevelRight = 0.0;
    double inputHoldLeft = -1.0;
    double inputHoldRight = -1.0;
    double processedHoldLeft = -1.0;
    double processedHoldRight = -1.0;
    double dbRange = 0.0;

    // DC, in sample units.
    double dcEstimateLeft = 0.0;
    double dcEstimateRight = 0.0;
    int32_t dcOffsetLeft = 0;
    int32_t dcOffsetRight = 0;

    // Hold texts (two lines), for controls 1069 (initial input) and 1068 (preprocessed).
    char inputText[24] = "-inf\n-inf";
    char processedText[24] = "-inf\n-inf";
};

/// Called on the preprocessing thread after every block. It must not block: compose the
/// pictures, hand them over without a lock and post to the window.
class MeterBlockHook {
public:
    virtual ~MeterBlockHook() = default;
    virtual void OnMeterBlock(const MeterSnapshot& meters) = 0;
};

}  // namespace pelmora
