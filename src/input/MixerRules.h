// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The arithmetic between a volume control's values and the Volume and Balance sliders.

#include <cstdint>

namespace pelmora {

struct SliderReading {
    int volumePosition = 0;   // 0..100: the louder channel
    int balancePosition = 0;  // -100..100
    double balance = 0.0;     // -1.0..1.0; negative: left louder
};

/// Hardware values to slider positions. `left` and `right` are the first and last value
/// (equal for a one-channel line). With `keepBalanceAtMinimum`, L = R = minimum keeps
/// `previousBalance` instead of centring.
SliderReading ReadSliders(uint32_t left, uint32_t right, uint32_t minimum, uint32_t maximum,
                          bool keepBalanceAtMinimum = false, double previousBalance = 0.0);

struct ChannelValues {
    uint32_t left = 0;
    uint32_t right = 0;
    double balance = 0.0;
    bool balanceSnapped = false;  // the balance position fell in the dead zone and became 0
};

/// Slider positions to hardware values. A balance position within +-10 counts as 0.
ChannelValues WriteSliders(int volumePosition, int balancePosition, uint32_t minimum, uint32_t maximum);

}  // namespace pelmora
