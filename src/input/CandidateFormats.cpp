// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/CandidateFormats.h"

namespace pelmora {

const std::array<WaveFormat, kCandidateFormatCount>& CandidateFormats() {
    static const std::array<WaveFormat, kCandidateFormatCount> formats = [] {
        static const uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
        static const uint16_t kBits[] = {8, 16};
        static const uint16_t kChannels[] = {1, 2};
        std::array<WaveFormat, kCandidateFormatCount> list{};
        std::size_t n = 0;
        for (uint32_t rate : kRates)
            for (uint16_t bits : kBits)
                for (uint16_t channels : kChannels) list[n++] = MakePcmFormat(rate, bits, channels);
        return list;
    }();
    return formats;
}

}  // namespace pelmora
