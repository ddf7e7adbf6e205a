// SPDX-License-Identifier: GPL-3.0-or-later
// Helper of the GUI tests: writes settings files, makes the test tone and checks recordings.
//   gui_helper write-ini PATH PROGRAM_FOLDER wav|mp3|mp3-console [FORMAT_INDEX]
//                                                      defaults, with the given output kind
//                                                      (mp3-console: with "Show lame console")
//   gui_helper ini-version PATH                        prints settingsVersion of a valid file
//   gui_helper tone PATH SECONDS HZ                    raw s16le, 44.1 kHz stereo, half scale
//   gui_helper check-wav PATH                          header sizes, then duration and pitch

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "settings/RecSettings.h"
#include "settings/SettingsFile.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

int WriteIni(const std::string& path, const std::string& folder, const std::string& kind, int formatIndex) {
    pelmora::RecSettings s{};
    pelmora::SetDefaultSettings(s, folder);
    s.writeUncompressed = kind == "wav" ? 1 : 0;
    s.rawPcm = 0;
    s.showEncoderConsole = kind == "mp3-console" ? 1 : 0;
    if (formatIndex >= 0) s.formatIndex = formatIndex;
    std::string error;
    if (!pelmora::WriteSettingsFile(path, s, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

int IniVersion(const std::string& path) {
    std::vector<uint8_t> bytes = ReadAll(path);
    if (bytes.size() != pelmora::kSettingsFileSize) {
        std::fprintf(stderr, "size %zu\n", bytes.size());
        return 1;
    }
    pelmora::RecSettings s;
    std::memcpy(&s, bytes.data(), sizeof s);
    std::string digest(reinterpret_cast<const char*>(bytes.data()) + pelmora::kRecSettingsSize);
    if (digest != pelmora::SettingsDigest(s)) {
        std::fprintf(stderr, "digest mismatch\n");
        return 1;
    }
    std::printf("%d\n", s.settingsVersion);
    return 0;
}

int Tone(const std::string& path, double seconds, double hz) {
    const int rate = 44100;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const long frames = static_cast<long>(seconds * rate);
    for (long i = 0; i < frames; ++i) {
        int16_t v = static_cast<int16_t>(16384.0 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
        uint8_t frame[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v),
                            static_cast<uint8_t>(v >> 8)};
        out.write(reinterpret_cast<const char*>(frame), 4);
    }
    return out ? 0 : 1;
}

// Prints "seconds=S hz=F rms=R" of the left channel; the header sizes must match the file.
int CheckWav(const std::string& path) {
    std::vector<uint8_t> b = ReadAll(path);
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        std::fprintf(stderr, "not a WAV file (%zu bytes)\n", b.size());
        return 1;
    }
    // Walk the chunks: the program writes fmt and data only, lame --decode may differ.
    std::size_t pos = 12, dataPos = 0, dataSize = 0;
    int channels = 0, rate = 0, bits = 0;
    while (pos + 8 <= b.size()) {
        uint32_t size = Le32(&b[pos + 4]);
        if (std::memcmp(&b[pos], "fmt ", 4) == 0 && pos + 24 <= b.size()) {
            channels = Le16(&b[pos + 10]);
            rate = static_cast<int>(Le32(&b[pos + 12]));
            bits = Le16(&b[pos + 22]);
        } else if (std::memcmp(&b[pos], "data", 4) == 0) {
            dataPos = pos + 8;
            dataSize = size;
            break;
        }
        pos += 8 + size + (size & 1);
    }
    const bool riffOk = Le32(&b[4]) == b.size() - 8;
    const bool dataOk = dataPos != 0 && dataPos + dataSize == b.size();
    std::printf("riff_size_ok=%d data_size_ok=%d ", riffOk ? 1 : 0, dataOk ? 1 : 0);
    if (dataPos == 0 || (bits != 16 && bits != 8) || channels < 1 || rate <= 0) {
        std::printf("\n");
        std::fprintf(stderr, "unexpected format: %d ch, %d Hz, %d bit\n", channels, rate, bits);
        return 1;
    }
    if (dataPos + dataSize > b.size()) dataSize = b.size() - dataPos;
    const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8);
    const std::size_t frameBytes = sampleBytes * static_cast<std::size_t>(channels);
    const std::size_t frames = dataSize / frameBytes;
    // Pitch and level over the middle, away from encoder start and end transients.
    std::size_t from = frames / 10, to = frames - frames / 10;
    long crossings = 0;
    double sumSquares = 0.0;
    int16_t prev = 0;
    for (std::size_t i = from; i < to; ++i) {
        const uint8_t* p = &b[dataPos + i * frameBytes];
        // 8-bit PCM is unsigned around 128.
        int16_t v = bits == 16 ? static_cast<int16_t>(Le16(p)) : static_cast<int16_t>((p[0] - 128) * 256);
        if (i > from && ((prev < 0) != (v < 0))) ++crossings;
        prev = v;
        sumSquares += static_cast<double>(v) * v;
    }
    const double span = static_cast<double>(to - from) / rate;
    const double hz = span > 0 ? crossings / 2.0 / span : 0.0;
    const double rms = to > from ? std::sqrt(sumSquares / static_cast<double>(to - from)) / 32768.0 : 0.0;
    std::printf("seconds=%.3f hz=%.1f rms=%.3f\n", static_cast<double>(frames) / rate, hz, rms);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "write-ini" && (argc == 5 || argc == 6))
        return WriteIni(argv[2], argv[3], argv[4], argc == 6 ? std::atoi(argv[5]) : -1);
    if (cmd == "ini-version" && argc == 3) return IniVersion(argv[2]);
    if (cmd == "tone" && argc == 5) return Tone(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (cmd == "check-wav" && argc == 3) return CheckWav(argv[2]);
    std::fprintf(stderr, "usage: gui_helper write-ini|ini-version|tone|check-wav ...\n");
    return 2;
}
