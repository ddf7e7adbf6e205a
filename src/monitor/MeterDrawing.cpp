// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/MeterDrawing.h"

#include <algorithm>
#include <cmath>

namespace pelmora {

namespace {

constexpr double kPi = 3.14159265358979;

// Truncates toward zero; out-of-range and NaN values land far left of any image.
int TruncToInt(double v) {
    if (!(v > -1e9 && v < 1e9)) return v > 0 ? 1000000000 : -1000000000;
    return static_cast<int>(v);
}

uint8_t Channel(double v) { return static_cast<uint8_t>(std::clamp(TruncToInt(v), 0, 255)); }

int BarWidth(int width, double level) {
    if (!(level > 0.0)) return 0;
    return TruncToInt(width * std::min(level, 1.0));
}

void DrawHold(PixelImage& out, int width, double hold, int y0, int y1) {
    if (!std::isfinite(hold)) return;
    const int x = TruncToInt(width * hold - 1);
    const Rgb colour = hold < 1.0 ? kHoldColour : kFullScaleHoldColour;
    out.FillRect(x - 1, y0, x + 1, y1, colour);
}

}  // namespace

void PaintMeterGradients(int width, int height, double dbRange, MeterGradients& out) {
    out.bright.Resize(width, height);
    out.dim.Resize(width, height);
    for (int x = width - 1; x >= 0; --x) {
        const double fromTop = static_cast<double>(width - x) / width;
        const double q = dbRange * fromTop;  // dB below full scale
        const int red = TruncToInt(255.0 * std::exp(-0.0025 * q * q));
        const int green2 = TruncToInt(255.0 * std::exp(-0.05 * q * q));
        const int green =
            std::max(TruncToInt(255.0 * std::exp(-fromTop * fromTop) - green2), 0);
        // Segment stripes: pairs of columns from the right edge alternate full and half.
        const int k = ((width - 1 - x) / 2) % 2 == 0 ? 1 : 2;
        for (int y = 0; y < height; ++y) {
            // Two arched humps, one per bar; a one-row image has no arch to draw.
            const double v =
                height > 1 ? std::pow(std::fabs(std::sin(2 * kPi * y / (height - 1))), 0.25)
                           : 1.0;
            out.bright.Set(x, y, MakeRgb(Channel((red / k) * v), Channel((green / k) * v), 0));
            const double v3 = v * v * v;
            out.dim.Set(x, y, MakeRgb(Channel(0.5 * red * v3), Channel(0.5 * green * v3), 0));
        }
    }
}

void ComposeMeter(const MeterGradients& gradients, const MeterReading& reading, PixelImage& out) {
    const int width = gradients.dim.Width();
    const int height = gradients.dim.Height();
    const int h = TruncToInt(height * 0.5);
    if (out.Width() != width || out.Height() != height) out.Resize(width, height);

    out.CopyFrom(gradients.dim, 0, 0, width, height, 0, 0);
    out.CopyFrom(gradients.bright, 0, 0, BarWidth(width, reading.leftLevel), h, 0, 0);
    out.CopyFrom(gradients.bright, 0, 0, BarWidth(width, reading.rightLevel), h, 0,
                 height - h - 1);
    DrawHold(out, width, reading.leftHold, 0, h);
    DrawHold(out, width, reading.rightHold, height - h, height);
}

}  // namespace pelmora
