// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Contrast of two colours (WCAG 2 relative luminance) and a colour moved in lightness, its hue
// and saturation kept, until it reads on a given background.

#include "monitor/PixelImage.h"

namespace pelmora {

/// Contrast ratio of two colours, 1 .. 21.
double ContrastRatio(Rgb a, Rgb b);

/// `colour` if it reaches `minimum` against `against`; otherwise the same hue and saturation at
/// the nearest lightness that does, first away from the background's own lightness, then
/// towards the other end; black or white when no lightness of that hue reaches it.
Rgb WithContrast(Rgb colour, Rgb against, double minimum);

/// The minimum contrast for text.
constexpr double kTextContrast = 4.5;
/// What colours made for text aim at: the minimum with room for rounding and smoothed edges.
constexpr double kTextContrastAim = 5.0;

}  // namespace pelmora
