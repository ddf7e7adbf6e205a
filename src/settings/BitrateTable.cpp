#include "settings/BitrateTable.h"

namespace pelmora {

BitrateTable ChooseBitrateTable(int32_t resampleIndex, int captureSampleRate) {
    if (resampleIndex >= 1 && resampleIndex <= 6) return BitrateTable::Lsf;
    if (resampleIndex >= 7 && resampleIndex <= 9) return BitrateTable::Mpeg1;
    return captureSampleRate * 0.001 < 30.0 ? BitrateTable::Lsf : BitrateTable::Mpeg1;
}

void ApplyBitrateTable(BitrateState& state, BitrateTable table, RecSettings& s) {
    state.activeBitrateTable = table;
    if (table == BitrateTable::Lsf) {
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
    return table == BitrateTable::Lsf ? LsfBitrates : Mpeg1Bitrates;
}

int BitrateAt(BitrateTable table, int32_t index) {
    return TableOf(table)[static_cast<std::size_t>(ClampIndex(index, kBitrateCount))];
}

}  // namespace pelmora
