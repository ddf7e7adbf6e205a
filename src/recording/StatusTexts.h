// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The value texts the supervision hands to the status panel once a second.

#include <string>

namespace pelmora {

/// The capture format's dynamic range in dB: 42.1441994 for 8-bit, 90.3089987 for 16-bit.
double DbFloor(int captureBits);

/// 20·log10(p) for a peak fraction p > 0, otherwise -1000.
double LevelDb(double peakFraction);
/// 20·log10(|d| / fullScale) for d ≠ 0, otherwise -1000.
double DcDb(int offset, int fullScale);

/// "left/right db", each "%.1f" or "-inf" below -floor (a value equal to -floor is a number).
std::string LevelText(double peakLeft, double peakRight, int captureBits);
/// "%d (%.1f db)", or "%d (-inf db)" below -floor.
std::string DcText(int offset, int fullScale, int captureBits);
/// "%02d:%02d:%02d", seconds truncated.
std::string WriteTimeText(double seconds);
/// "%.2f sec".
std::string DataLostText(double seconds);

}  // namespace pelmora
