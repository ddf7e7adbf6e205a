// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/WaveIn.h"

namespace pelmora {

WaveFormat MakePcmFormat(uint32_t rate, uint16_t bits, uint16_t channels) {
    WaveFormat f;
    f.formatTag = 1;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.avgBytesPerSec = rate * bits * channels / 8;
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.bitsPerSample = bits;
    f.extraSize = 0;
    return f;
}

void ReportWaveError(WaveInBackend& backend, LogSink& log, WaveResult code) {
    const std::string text = backend.ErrorText(code);
    log.AddLogLine(text.empty() ? "ERROR:   Unpredictable error occured" : text);
}

}  // namespace pelmora
