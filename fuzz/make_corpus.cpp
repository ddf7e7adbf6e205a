// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the checked-in seed corpus of fuzz_load_settings: settings files made by the
// program's own writer, valid and damaged. Each input starts with the fuzzer's mode byte
// (0: a preset, 1: a record that gets a correct digest, 2: a preset that is also pelmora.ini).
//   fuzz_make_corpus FOLDER

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "settings/RecSettings.h"
#include "settings/SettingsFile.h"

namespace {

using pelmora::RecSettings;

std::string FileOf(const RecSettings& s, const std::string& scratch) {
    if (!pelmora::WriteSettingsFile(scratch, s)) return std::string();
    std::ifstream in(scratch, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Record(const RecSettings& s) { return std::string(reinterpret_cast<const char*>(&s), sizeof s); }

RecSettings Defaults() {
    RecSettings s;
    std::memset(&s, 0, sizeof s);
    pelmora::SetDefaultSettings(s, "/home/user/Music/");
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const std::string scratch = folder + "scratch.ini";
    bool ok = true;
    const auto put = [&](const std::string& name, char mode, const std::string& bytes) {
        std::ofstream out(folder + name, std::ios::binary);
        out << mode << bytes;
        ok = ok && out.good();
    };

    const RecSettings defaults = Defaults();
    const std::string valid = FileOf(defaults, scratch);
    RecSettings mp3 = Defaults();
    mp3.writeUncompressed = 0;
    mp3.encodingMode = 1;
    mp3.vbrQuality = 2;
    pelmora::SetTextField(mp3.customOptions, "--noreplaygain -q 2");
    pelmora::SetTextField(mp3.presetName, "Voice VBR");
    const std::string vbr = FileOf(mp3, scratch);
    std::remove(scratch.c_str());
    if (valid.size() != pelmora::kSettingsFileSize || vbr.size() != pelmora::kSettingsFileSize) {
        std::fprintf(stderr, "cannot write settings files in %s\n", folder.c_str());
        return 1;
    }

    put("valid-preset", 0, valid);
    put("valid-ini", 2, vbr);
    put("truncated", 0, valid.substr(0, valid.size() / 2));
    put("trailing-bytes", 2, valid + "extra");
    std::string badDigest = valid;
    badDigest[pelmora::kRecSettingsSize + 3] ^= 0x01;
    put("bad-digest", 0, badDigest);
    std::string flipped = vbr;
    flipped[100] ^= 0x40;
    put("flipped-byte", 2, flipped);
    std::string noTerminator = valid;
    noTerminator.back() = 'x';
    put("digest-unterminated", 0, noTerminator);

    // Records with a correct digest whose values no writer would produce.
    RecSettings r = defaults;
    r.settingsVersion = 129;
    put("old-version", 1, Record(r));
    r = defaults;
    r.minBitrateIndex = 99;
    r.maxBitrateIndex = -1;
    r.resampleIndex = 1000;
    r.processPriorityClass = -7;
    r.writerThreadPriority = 42;
    put("indices-out-of-range", 1, Record(r));
    r = defaults;
    std::memset(r.presetName, 'A', sizeof r.presetName);
    std::memset(r.customOptions, 'B', sizeof r.customOptions);
    std::memset(r.outputFolder, 'C', sizeof r.outputFolder);
    put("texts-unterminated", 1, Record(r));
    r = defaults;
    r.highpassFreq = -std::numeric_limits<double>::infinity();
    r.lowpassFreq = std::numeric_limits<double>::quiet_NaN();
    r.dcAveragePeriod = 1e300;
    r.deviceQueueSeconds = 0x7fffffff;
    put("numbers-extreme", 1, Record(r));
    return ok ? 0 : 1;
}
