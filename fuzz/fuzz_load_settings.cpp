// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary settings files to LoadSettings, as a preset and as pelmora.ini.
// The first input byte picks the mode; mode 1 stamps a correct digest onto the record,
// so crafted values get past the check and reach every reader.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "recording/LogSink.h"
#include "settings/BitrateTable.h"
#include "settings/SettingsFile.h"

namespace {

class NullLog : public pelmora::LogSink {
public:
    void AddLogLine(const std::string& text) override { total += text.size(); }
    std::size_t total = 0;
};

// A scratch folder for the whole run, removed at exit.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pelmora-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror(pattern.c_str());
            std::abort();
        }
        path_ = pattern + "/";
    }
    ~ScratchFolder() { std::filesystem::remove_all(path_); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

const std::string& Folder() {
    static ScratchFolder folder;
    return folder.Path();
}

void Put(const std::string& path, const uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    const std::string folder = Folder();
    const std::string ini = folder + "pelmora.ini";
    const std::string preset = folder + "fuzz.pmr";

    std::string file(reinterpret_cast<const char*>(data), size);
    if (mode == 1) {
        file.resize(pelmora::kRecSettingsSize, '\0');
        pelmora::RecSettings r;
        std::memcpy(&r, file.data(), sizeof r);
        file += pelmora::SettingsDigest(r);
        file += '\0';
    }
    Put(preset, reinterpret_cast<const uint8_t*>(file.data()), file.size());
    Put(ini, reinterpret_cast<const uint8_t*>(file.data()), mode == 2 ? file.size() : 0);

    pelmora::RecSettings s;
    std::memset(&s, 0xA5, sizeof s);
    NullLog log;
    pelmora::LoadSettings(s, preset, folder, log);

    // Everything a reader may do with the loaded record.
    std::size_t sum = pelmora::TextField(s.presetName).size() + pelmora::TextField(s.customOptions).size() +
                      pelmora::TextField(s.outputFileName).size() + pelmora::TextField(s.outputFolder).size() +
                      pelmora::TextField(s.encoderPath).size() + std::strlen(s.presetName) +
                      std::strlen(s.encoderPath) + std::strlen(s.outputFolder);
    sum += static_cast<std::size_t>(pelmora::Mpeg1Bitrates[static_cast<std::size_t>(s.minBitrateIndex)]);
    sum += static_cast<std::size_t>(pelmora::LsfBitrates[static_cast<std::size_t>(s.maxBitrateIndex)]);
    sum += std::strlen(pelmora::kProcessClassNames[static_cast<std::size_t>(s.processPriorityClass)]);
    sum += std::strlen(pelmora::kThreadPriorityNames[static_cast<std::size_t>(s.writerThreadPriority)]);
    sum += std::strlen(pelmora::kGeneralPresetNames[static_cast<std::size_t>(s.generalPresetIndex)]);
    sum += std::strlen(pelmora::kAltPresetNames[static_cast<std::size_t>(s.altPresetIndex)]);
    sum += static_cast<std::size_t>(pelmora::kResampleRates[static_cast<std::size_t>(s.resampleIndex)]);
    if (s.settingsVersion != pelmora::kSettingsVersion) __builtin_trap();
    if (s.maxBitrateIndex < s.minBitrateIndex) __builtin_trap();
    return sum == 0xFFFFFFFF ? 1 : 0;
}
