// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pictures of a stereo peak meter: two horizontal bars (left on top, right below) lit
// from a colour gradient, each with a peak-hold mark. Levels and holds are meter levels in
// 0..1 (0 dBFS = 1.0); a cleared hold is -1.

#include "monitor/PixelImage.h"

namespace pelmora {

constexpr Rgb kHoldColour = MakeRgb(255, 255, 255);          // hold below full scale
constexpr Rgb kFullScaleHoldColour = MakeRgb(255, 0, 0);     // hold at full scale

/// One meter's values for one block.
struct MeterReading {
    double leftLevel = 0.0;
    double rightLevel = 0.0;
    double leftHold = -1.0;
    double rightHold = -1.0;
};

/// The shared gradients, both width × height: `bright` is the lit part of a bar, `dim` the
/// unlit background. Green at low levels, yellow then red in the top few dB of `dbRange`.
struct MeterGradients {
    PixelImage bright;
    PixelImage dim;
};

/// Repaints both gradients at the given size for the dynamic range (in dB) of the format.
void PaintMeterGradients(int width, int height, double dbRange, MeterGradients& out);

/// Composes one meter into `out`, which takes the size of the gradients: dim background,
/// the two bars, then the two 2-pixel hold marks ending at x = trunc(width * hold - 1).
void ComposeMeter(const MeterGradients& gradients, const MeterReading& reading, PixelImage& out);

}  // namespace pelmora
