// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/FormatText.h"

#include <cstdio>

namespace pelmora {

std::string FormatListText(const WaveFormat& format) {
    char text[64];
    std::snprintf(text, sizeof text, "%.5g kHz, %d bit, %s", format.samplesPerSec * 0.001,
                  static_cast<int>(format.bitsPerSample), format.channels == 1 ? "mono" : "stereo");
    return text;
}

}  // namespace pelmora
