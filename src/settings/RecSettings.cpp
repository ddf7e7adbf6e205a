// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/RecSettings.h"

#include <cmath>
#include <cstring>
#include <cstddef>
#include <type_traits>

namespace pelmora {

static_assert(std::is_standard_layout_v<RecSettings> && std::is_trivially_copyable_v<RecSettings>);

#define PELMORA_AT(field, offset) static_assert(offsetof(RecSettings, field) == (offset), #field)
PELMORA_AT(deviceIndex, 0);
PELMORA_AT(formatIndex, 4);
PELMORA_AT(sourceLineIndex, 8);
PELMORA_AT(processPriorityClass, 12);
PELMORA_AT(uiThreadPriority, 16);
PELMORA_AT(receiveThreadPriority, 20);
PELMORA_AT(preprocessThreadPriority, 24);
PELMORA_AT(writerThreadPriority, 28);
PELMORA_AT(encoderPriorityClass, 32);
PELMORA_AT(encoderThreadPriority, 36);
PELMORA_AT(presetName, 40);
PELMORA_AT(minBitrateIndex, 296);
PELMORA_AT(maxBitrateIndex, 300);
PELMORA_AT(abrBitrate, 304);
PELMORA_AT(encodingMode, 308);
PELMORA_AT(stereoMode, 312);
PELMORA_AT(optimization, 316);
PELMORA_AT(vbrQuality, 320);
PELMORA_AT(qLevel, 324);
PELMORA_AT(meterRateIndex, 328);
PELMORA_AT(deviceQueueSeconds, 332);
PELMORA_AT(receivedStoreSeconds, 336);
PELMORA_AT(outputStoreSeconds, 340);
PELMORA_AT(presetFamily, 344);
PELMORA_AT(generalPresetIndex, 348);
PELMORA_AT(altPresetIndex, 352);
PELMORA_AT(markCopy, 356);
PELMORA_AT(markCopyright, 360);
PELMORA_AT(crcProtection, 364);
PELMORA_AT(disableVbrTag, 368);
PELMORA_AT(enforceMinBitrate, 372);
PELMORA_AT(allowDiffBlockTypes, 376);
PELMORA_AT(disableFiltering, 380);
PELMORA_AT(disableBitReservoir, 384);
PELMORA_AT(disableShortBlocks, 388);
PELMORA_AT(enforceIso, 392);
PELMORA_AT(confirmOverwrite, 396);
PELMORA_AT(showEncoderConsole, 400);
PELMORA_AT(addTimestamp, 404);
PELMORA_AT(useBuiltInPreset, 408);
PELMORA_AT(athMode, 412);
PELMORA_AT(customOptions, 416);
PELMORA_AT(onlyCustomOptions, 672);
PELMORA_AT(resampleIndex, 676);
PELMORA_AT(highpassEnabled, 680);
PELMORA_AT(highpassWidthEnabled, 684);
PELMORA_AT(lowpassEnabled, 688);
PELMORA_AT(lowpassWidthEnabled, 692);
PELMORA_AT(highpassFreq, 696);
PELMORA_AT(highpassWidth, 704);
PELMORA_AT(lowpassFreq, 712);
PELMORA_AT(lowpassWidth, 720);
PELMORA_AT(dcAveragePeriod, 728);
PELMORA_AT(dcResponsivity, 736);
PELMORA_AT(writeUncompressed, 740);
PELMORA_AT(rawPcm, 744);
PELMORA_AT(removeDc, 748);
PELMORA_AT(outputFileName, 752);
PELMORA_AT(outputFolder, 1012);
PELMORA_AT(encoderPath, 1272);
PELMORA_AT(stopOnWriteTime, 1532);
PELMORA_AT(stopOnFileSize, 1536);
PELMORA_AT(stopOnFreeSpace, 1540);
PELMORA_AT(writeTimeLimit, 1544);
PELMORA_AT(fileSizeLimit, 1548);
PELMORA_AT(freeSpaceLimit, 1552);
PELMORA_AT(logDuringRecording, 1556);
PELMORA_AT(logFileMode, 1560);
PELMORA_AT(maxLogSize, 1564);
PELMORA_AT(customEncoderNames, 1568);
PELMORA_AT(stopOnDataLoss, 1572);
PELMORA_AT(dataLossLimit, 1576);
PELMORA_AT(settingsVersion, 1580);
#undef PELMORA_AT

const std::array<const char*, 4> kProcessClassNames = {"Idle", "Normal", "High", "Realtime"};
const std::array<const char*, 7> kThreadPriorityNames = {
    "Idle", "Lowest", "Below Normal", "Normal", "Above Normal", "Highest", "Time Critical"};
const std::array<const char*, 13> kGeneralPresetNames = {"phone", "phon+", "lw",    "mw-eu", "mw-us",
                                                         "sw",    "fm",    "voice", "radio", "tape",
                                                         "hifi",  "cd",    "studio"};
const std::array<const char*, 8> kAltPresetNames = {"r3mix",        "standard", "fast standard",   "extreme",
                                                    "fast extreme", "insane",   "average bitrate", "constant bitrate"};

const std::array<int, kBitrateCount> Mpeg1Bitrates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const std::array<int, kBitrateCount> LsfBitrates = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const std::array<int, 10> kResampleRates = {0, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

void SetDefaultSettings(RecSettings& s, const std::string& programFolder) {
    s.deviceIndex = 0;
    s.formatIndex = 0;
    s.sourceLineIndex = 0;
    s.processPriorityClass = 1;
    s.uiThreadPriority = 3;
    s.receiveThreadPriority = 3;
    s.preprocessThreadPriority = 3;
    s.writerThreadPriority = 3;
    s.encoderPriorityClass = 1;
    s.encoderThreadPriority = 3;
    SetTextField(s.presetName, "default");
    s.minBitrateIndex = 8;
    s.maxBitrateIndex = 13;
    s.abrBitrate = 160;
    s.encodingMode = 0;
    s.stereoMode = 0;
    s.optimization = 2;
    s.vbrQuality = -1;
    s.qLevel = 0;
    s.meterRateIndex = 2;
    s.deviceQueueSeconds = 3;
    s.receivedStoreSeconds = 3;
    s.outputStoreSeconds = 3;
    s.presetFamily = 0;
    s.generalPresetIndex = 0;
    s.altPresetIndex = 0;
    s.markCopy = 0;
    s.markCopyright = 0;
    s.crcProtection = 0;
    s.disableVbrTag = 0;
    s.enforceMinBitrate = 0;
    s.allowDiffBlockTypes = 0;
    s.disableFiltering = 0;
    s.disableBitReservoir = 0;
    s.disableShortBlocks = 0;
    s.enforceIso = 0;
    s.confirmOverwrite = 1;
    s.showEncoderConsole = 0;
    s.addTimestamp = 0;
    s.useBuiltInPreset = 0;
    s.athMode = 0;
    SetTextField(s.customOptions, "");
    s.onlyCustomOptions = 0;
    s.resampleIndex = 0;
    s.highpassEnabled = 0;
    s.highpassWidthEnabled = 0;
    s.lowpassEnabled = 0;
    s.lowpassWidthEnabled = 0;
    s.highpassFreq = 0.0;
    s.highpassWidth = 0.0;
    s.lowpassFreq = 0.0;
    s.lowpassWidth = 0.0;
    s.dcAveragePeriod = 5.0;
    s.dcResponsivity = 50;
    s.writeUncompressed = 0;
    s.rawPcm = 0;
    s.removeDc = 0;
    SetTextField(s.outputFileName, "out");
    SetTextField(s.outputFolder, programFolder);
    SetTextField(s.encoderPath, "");
    s.stopOnWriteTime = 0;
    s.stopOnFileSize = 0;
    s.stopOnFreeSpace = 0;
    s.writeTimeLimit = 60;
    s.fileSizeLimit = 1;
    s.freeSpaceLimit = 100;
    s.logDuringRecording = 0;
    s.logFileMode = 1;
    s.maxLogSize = 300;
    s.customEncoderNames = 0;
    s.stopOnDataLoss = 0;
    s.dataLossLimit = 1;
    s.settingsVersion = kSettingsVersion;
}

std::size_t Utf8CutLength(const char* text, std::size_t length, std::size_t maxBytes) {
    if (length <= maxBytes) return length;
    auto continuation = [&](std::size_t i) { return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; };
    // A character has at most three continuation bytes; more of them is not UTF-8.
    std::size_t cut = maxBytes;
    while (cut > 0 && maxBytes - cut < 3 && continuation(cut)) --cut;
    return continuation(cut) ? maxBytes : cut;
}

namespace {

template <std::size_t N>
void TerminateField(char (&field)[N], const char* name, std::string& names) {
    if (std::memchr(field, '\0', N)) return;
    field[Utf8CutLength(field, N, N - 1)] = '\0';
    if (!names.empty()) names += ", ";
    names += name;
}

}  // namespace

std::string TerminateTextFields(RecSettings& s) {
    std::string names;
    TerminateField(s.presetName, "presetName", names);
    TerminateField(s.customOptions, "customOptions", names);
    TerminateField(s.outputFileName, "outputFileName", names);
    TerminateField(s.outputFolder, "outputFolder", names);
    TerminateField(s.encoderPath, "encoderPath", names);
    return names;
}

namespace {

class RangeFixer {
public:
    explicit RangeFixer(std::string& names) : names_(names) {}

    void Int(int32_t& v, int32_t lo, int32_t hi, int32_t def, const char* name) {
        if (v < lo || v > hi) Replace(v, def, name);
    }
    void Flag(int32_t& v, const char* name) { Int(v, 0, 1, 0, name); }
    void Real(double& v, double lo, double hi, double def, const char* name) {
        if (!std::isfinite(v) || v < lo || v > hi) Replace(v, def, name);
    }

private:
    template <typename T>
    void Replace(T& v, T def, const char* name) {
        v = def;
        if (!names_.empty()) names_ += ", ";
        names_ += name;
    }
    std::string& names_;
};

}  // namespace

std::string ClampToValueLists(RecSettings& s) {
    std::string names;
    RangeFixer f(names);
    // Device, format and source indices depend on the machine; their readers treat
    // an index that does not exist as 0, so a negative one is the only impossible value.
    f.Int(s.deviceIndex, 0, INT32_MAX, 0, "deviceIndex");
    f.Int(s.formatIndex, 0, INT32_MAX, 0, "formatIndex");
    f.Int(s.sourceLineIndex, 0, INT32_MAX, 0, "sourceLineIndex");
    f.Int(s.processPriorityClass, 0, 3, 1, "processPriorityClass");
    f.Int(s.uiThreadPriority, 0, 6, 3, "uiThreadPriority");
    f.Int(s.receiveThreadPriority, 0, 6, 3, "receiveThreadPriority");
    f.Int(s.preprocessThreadPriority, 0, 6, 3, "preprocessThreadPriority");
    f.Int(s.writerThreadPriority, 0, 6, 3, "writerThreadPriority");
    f.Int(s.encoderPriorityClass, 0, 3, 1, "encoderPriorityClass");
    f.Int(s.encoderThreadPriority, 0, 6, 3, "encoderThreadPriority");
    f.Int(s.minBitrateIndex, 0, kBitrateCount - 1, 8, "minBitrateIndex");
    f.Int(s.maxBitrateIndex, 0, kBitrateCount - 1, 13, "maxBitrateIndex");
    if (s.maxBitrateIndex < s.minBitrateIndex) f.Int(s.maxBitrateIndex, s.minBitrateIndex, kBitrateCount - 1, s.minBitrateIndex, "maxBitrateIndex");
    f.Int(s.abrBitrate, 8, 310, 160, "abrBitrate");
    f.Int(s.encodingMode, 0, 2, 0, "encodingMode");
    f.Int(s.stereoMode, 0, 4, 0, "stereoMode");
    f.Int(s.optimization, 0, 2, 2, "optimization");
    f.Int(s.vbrQuality, -1, 9, -1, "vbrQuality");
    f.Int(s.qLevel, 0, 10, 0, "qLevel");
    f.Int(s.meterRateIndex, 0, 3, 2, "meterRateIndex");
    f.Int(s.deviceQueueSeconds, 1, 10, 3, "deviceQueueSeconds");
    f.Int(s.receivedStoreSeconds, 1, 10, 3, "receivedStoreSeconds");
    f.Int(s.outputStoreSeconds, 1, 10, 3, "outputStoreSeconds");
    f.Int(s.presetFamily, 0, 1, 0, "presetFamily");
    f.Int(s.generalPresetIndex, 0, 12, 0, "generalPresetIndex");
    f.Int(s.altPresetIndex, 0, 7, 0, "altPresetIndex");
    f.Flag(s.markCopy, "markCopy");
    f.Flag(s.markCopyright, "markCopyright");
    f.Flag(s.crcProtection, "crcProtection");
    f.Flag(s.disableVbrTag, "disableVbrTag");
    f.Flag(s.enforceMinBitrate, "enforceMinBitrate");
    f.Flag(s.allowDiffBlockTypes, "allowDiffBlockTypes");
    f.Flag(s.disableFiltering, "disableFiltering");
    f.Flag(s.disableBitReservoir, "disableBitReservoir");
    f.Flag(s.disableShortBlocks, "disableShortBlocks");
    f.Flag(s.enforceIso, "enforceIso");
    f.Int(s.confirmOverwrite, 0, 1, 1, "confirmOverwrite");
    f.Flag(s.showEncoderConsole, "showEncoderConsole");
    f.Flag(s.addTimestamp, "addTimestamp");
    f.Flag(s.useBuiltInPreset, "useBuiltInPreset");
    f.Int(s.athMode, 0, 6, 0, "athMode");
    f.Flag(s.onlyCustomOptions, "onlyCustomOptions");
    f.Int(s.resampleIndex, 0, 9, 0, "resampleIndex");
    f.Flag(s.highpassEnabled, "highpassEnabled");
    f.Flag(s.highpassWidthEnabled, "highpassWidthEnabled");
    f.Flag(s.lowpassEnabled, "lowpassEnabled");
    f.Flag(s.lowpassWidthEnabled, "lowpassWidthEnabled");
    f.Real(s.highpassFreq, 0.0, 22.0, 0.0, "highpassFreq");
    f.Real(s.highpassWidth, 0.0, 22.0, 0.0, "highpassWidth");
    f.Real(s.lowpassFreq, 0.0, 22.0, 0.0, "lowpassFreq");
    f.Real(s.lowpassWidth, 0.0, 22.0, 0.0, "lowpassWidth");
    f.Real(s.dcAveragePeriod, 1.0, 20.0, 5.0, "dcAveragePeriod");
    f.Int(s.dcResponsivity, 0, 100, 50, "dcResponsivity");
    f.Flag(s.writeUncompressed, "writeUncompressed");
    f.Flag(s.rawPcm, "rawPcm");
    f.Flag(s.removeDc, "removeDc");
    f.Flag(s.stopOnWriteTime, "stopOnWriteTime");
    f.Flag(s.stopOnFileSize, "stopOnFileSize");
    f.Flag(s.stopOnFreeSpace, "stopOnFreeSpace");
    f.Int(s.writeTimeLimit, 0, 100000 * 3600 + 59 * 60 + 59, 60, "writeTimeLimit");
    f.Int(s.fileSizeLimit, 1, 100000, 1, "fileSizeLimit");
    f.Int(s.freeSpaceLimit, 1, 100000, 100, "freeSpaceLimit");
    f.Flag(s.logDuringRecording, "logDuringRecording");
    f.Int(s.logFileMode, 0, 1, 1, "logFileMode");
    f.Int(s.maxLogSize, 1, 100000, 300, "maxLogSize");
    f.Flag(s.customEncoderNames, "customEncoderNames");
    f.Flag(s.stopOnDataLoss, "stopOnDataLoss");
    f.Int(s.dataLossLimit, 0, 1000, 1, "dataLossLimit");
    return names;
}

}  // namespace pelmora
