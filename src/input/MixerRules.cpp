// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/MixerRules.h"

#include <cmath>
#include <cstdlib>

namespace pelmora {

SliderReading ReadSliders(uint32_t left, uint32_t right, uint32_t minimum, uint32_t maximum,
                          bool keepBalanceAtMinimum, double previousBalance) {
    SliderReading r;
    const double l = left, rr = right, mn = minimum;
    uint32_t louder = left;
    if (left < right) {
        r.balance = (rr - l) / (rr - mn);
        louder = right;
    } else if (left > right) {
        r.balance = (rr - l) / (l - mn);
    } else if (keepBalanceAtMinimum && left == minimum) {
        r.balance = previousBalance;
    }
    // A value outside the bounds or empty bounds must not wrap into a nonsense position.
    if (maximum > minimum && louder >= minimum) {
        const uint64_t position = static_cast<uint64_t>(louder - minimum) * 100u / (maximum - minimum);
        r.volumePosition = static_cast<int>(position > 100 ? 100 : position);
    }
    r.balancePosition = static_cast<int>(r.balance * 100.0);
    return r;
}

ChannelValues WriteSliders(int volumePosition, int balancePosition, uint32_t minimum, uint32_t maximum) {
    ChannelValues c;
    int b = balancePosition;
    if (std::abs(b) <= 10) {
        c.balanceSnapped = b != 0;
        b = 0;
    }
    c.balance = b * 0.01;
    // Steps as signed 32-bit numbers; the product is formed in 64 bits so that a wide range
    // cannot overflow.
    const int64_t range = static_cast<int32_t>(maximum - minimum);
    const int64_t g = static_cast<int64_t>(minimum) + range * volumePosition / 100;
    const double gd = static_cast<double>(g), mn = minimum;
    c.left = c.right = static_cast<uint32_t>(g);
    if (c.balance < 0) c.right = static_cast<uint32_t>(std::fabs((1.0 + c.balance) * gd - c.balance * mn));
    if (c.balance > 0) c.left = static_cast<uint32_t>(std::fabs((1.0 - c.balance) * gd + c.balance * mn));
    return c;
}

}  // namespace pelmora
