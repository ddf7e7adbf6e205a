// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which bitrate table is in force, derived from the capture rate and resampling.

#include <array>
#include <cstdint>

#include "settings/RecSettings.h"

namespace pelmora {

// Mpeg25: the LSF table at output rates of 12 kHz and below, where the encoder makes at most 64 kbit.
enum class BitrateTable { Mpeg1, Lsf, Mpeg25 };

struct BitrateState {
    BitrateTable activeBitrateTable = BitrateTable::Mpeg1;
    int lsfMode = 0;  // 0 until the first device, format or resampling change; 1 MPEG-1; 2 LSF
};

/// The table the settings and capture rate call for.
BitrateTable ChooseBitrateTable(int32_t resampleIndex, int captureSampleRate);

/// Puts a table in force: sets lsfMode and brings abrBitrate into the table's range.
void ApplyBitrateTable(BitrateState& state, BitrateTable table, RecSettings& s);

/// Range of the ABR target: 8..160 with lsfMode 2, else 80..310.
struct AbrRange {
    int minimum;
    int maximum;
};
AbrRange AbrRangeOf(const BitrateState& state);

const std::array<int, kBitrateCount>& TableOf(BitrateTable table);

/// Highest index the table can use; a stored index above it reads as this one.
int TopBitrateIndex(BitrateTable table);

/// Bitrate of a stored index in the active table; an out-of-range index reads as the nearest entry.
int BitrateAt(BitrateTable table, int32_t index);

}  // namespace pelmora
