// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Format list's line for a capture format.

#include <string>

#include "capture/WaveIn.h"

namespace pelmora {

/// "44.1 kHz, 16 bit, stereo", "8 kHz, 8 bit, mono": one channel is mono, any other count stereo.
std::string FormatListText(const WaveFormat& format);

}  // namespace pelmora
