// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PCM formats every input device is asked about, in probing order.

#include <array>

#include "capture/WaveIn.h"

namespace pelmora {

constexpr int kCandidateFormatCount = 36;
/// Format slots kept per device; more than the candidates, so a table row never overflows.
constexpr int kFormatSlots = 90;

/// Rates (outer loop), then 8 and 16 bit, then mono and stereo (inner loop).
const std::array<WaveFormat, kCandidateFormatCount>& CandidateFormats();

}  // namespace pelmora
