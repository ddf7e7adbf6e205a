// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/BitrateTable.h"

namespace pelmora {

namespace {

// MPEG-2.5 rates (8, 11.025, 12 kHz) top out at 64 kbit: index 7 of the LSF table.
constexpr int kMpeg25Top = 7;
constexpr int kMpeg25MaxRate = 12000;

}  // namespace

BitrateTable ChooseBitrateTable(int32_t resampleIndex, int captureSampleRate) {
    const bool resampled = resampleIndex >= 1 && resampleIndex <= 9;
    const int outputRate = resampled ? kResampleRates[static_cast<std::size_t>(resampleIndex)] : captureSampleRate;
    BitrateTable table;
    if (resampled) table = resampleIndex <= 6 ? BitrateTable::Lsf : BitrateTable::Mpeg1;
    else table = captureSampleRate * 0.001 < 30.0 ? BitrateTable::Lsf : BitrateTable::Mpeg1;
    if (table == BitrateTable::Lsf && outputRate <= kMpeg25MaxRate) table = BitrateTable::Mpeg25;
    return table;
}

void ApplyBitrateTable(BitrateState& state, BitrateTable table, RecSettings& s) {
    state.activeBitrateTable = table;
    if (table != BitrateTable::Mpeg1) {
        state.lsfMode = 2;
        if (s.abrBitrate > 160) s.abrBitrate = 160;
    } else {
        state.lsfMode = 1;
        if (s.abrBitrate < 80) s.abrBitrate = 80;
    }
}

AbrRange AbrRangeOf(const BitrateState& state) {
    return state.lsfMode == 2 ? AbrRange{8, 160} : AbrRange{80, 310};
}

const std::array<int, kBitrateCount>& TableOf(BitrateTable table) {
    return table == BitrateTable::Mpeg1 ? Mpeg1Bitrates : LsfBitrates;
}

int TopBitrateIndex(BitrateTable table) { return table == BitrateTable::Mpeg25 ? kMpeg25Top : kBitrateCount - 1; }

int BitrateAt(BitrateTable table, int32_t index) {
    return TableOf(table)[static_cast<std::size_t>(ClampIndex(index, TopBitrateIndex(table) + 1))];
}

}  // namespace pelmora
