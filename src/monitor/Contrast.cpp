// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/Contrast.h"

#include <algorithm>
#include <cmath>

namespace pelmora {

namespace {

double Linear(uint8_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb c) {
    return 0.2126 * Linear(RedOf(c)) + 0.7152 * Linear(GreenOf(c)) + 0.0722 * Linear(BlueOf(c));
}

struct Hsl {
    double h, s, l;
};

Hsl ToHsl(Rgb c) {
    const double r = RedOf(c) / 255.0, g = GreenOf(c) / 255.0, b = BlueOf(c) / 255.0;
    const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
    Hsl out{0.0, 0.0, (hi + lo) / 2};
    const double d = hi - lo;
    if (d <= 0.0) return out;
    out.s = d / (1.0 - std::fabs(2 * out.l - 1.0));
    if (hi == r) out.h = std::fmod((g - b) / d + 6.0, 6.0);
    else if (hi == g) out.h = (b - r) / d + 2.0;
    else out.h = (r - g) / d + 4.0;
    return out;
}

Rgb FromHsl(const Hsl& c) {
    const double chroma = (1.0 - std::fabs(2 * c.l - 1.0)) * c.s;
    const double x = chroma * (1.0 - std::fabs(std::fmod(c.h, 2.0) - 1.0));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(c.h)) {
        case 0: r = chroma; g = x; break;
        case 1: r = x; g = chroma; break;
        case 2: g = chroma; b = x; break;
        case 3: g = x; b = chroma; break;
        case 4: r = x; b = chroma; break;
        default: r = chroma; b = x; break;
    }
    const double m = c.l - chroma / 2;
    auto byte = [m](double v) {
        return static_cast<uint8_t>(std::lround(std::clamp(v + m, 0.0, 1.0) * 255.0));
    };
    return MakeRgb(byte(r), byte(g), byte(b));
}

}  // namespace

double ContrastRatio(Rgb a, Rgb b) {
    double la = Luminance(a), lb = Luminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

Rgb WithContrast(Rgb colour, Rgb against, double minimum) {
    if (ContrastRatio(colour, against) >= minimum) return colour;
    const Hsl start = ToHsl(colour);
    const bool darkBackground = Luminance(against) < 0.18;
    // Away from the background first; the other way only when that end cannot reach it.
    for (int direction : {darkBackground ? +1 : -1, darkBackground ? -1 : +1}) {
        Hsl c = start;
        for (int step = 0; step <= 200; ++step) {
            c.l = std::clamp(start.l + direction * step * 0.005, 0.0, 1.0);
            const Rgb moved = FromHsl(c);
            if (ContrastRatio(moved, against) >= minimum) return moved;
        }
    }
    return ContrastRatio(MakeRgb(0, 0, 0), against) >= ContrastRatio(MakeRgb(255, 255, 255), against)
               ? MakeRgb(0, 0, 0)
               : MakeRgb(255, 255, 255);
}

}  // namespace pelmora
