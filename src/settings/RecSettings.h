// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings record: one fixed 1584-byte image that is also the file format
// of pelmora.ini and *.pmr presets (little-endian, no gaps).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pelmora {

struct RecSettings {
    int32_t deviceIndex;
    int32_t formatIndex;
    int32_t sourceLineIndex;
    int32_t processPriorityClass;
    int32_t uiThreadPriority;
    int32_t receiveThreadPriority;
    int32_t preprocessThreadPriority;
    int32_t writerThreadPriority;
    int32_t encoderPriorityClass;
    int32_t encoderThreadPriority;
    char presetName[256];
    int32_t minBitrateIndex;
    int32_t maxBitrateIndex;
    int32_t abrBitrate;
    int32_t encodingMode;
    int32_t stereoMode;
    int32_t optimization;
    int32_t vbrQuality;
    int32_t qLevel;
    int32_t meterRateIndex;
    int32_t deviceQueueSeconds;
    int32_t receivedStoreSeconds;
    int32_t outputStoreSeconds;
    int32_t presetFamily;
    int32_t generalPresetIndex;
    int32_t altPresetIndex;
    int32_t markCopy;
    int32_t markCopyright;
    int32_t crcProtection;
    int32_t disableVbrTag;
    int32_t enforceMinBitrate;
    int32_t allowDiffBlockTypes;
    int32_t disableFiltering;
    int32_t disableBitReservoir;
    int32_t disableShortBlocks;
    int32_t enforceIso;
    int32_t confirmOverwrite;
    int32_t showEncoderConsole;
    int32_t addTimestamp;
    int32_t useBuiltInPreset;
    int32_t athMode;
    char customOptions[256];
    int32_t onlyCustomOptions;
    int32_t resampleIndex;
    int32_t highpassEnabled;
    int32_t highpassWidthEnabled;
    int32_t lowpassEnabled;
    int32_t lowpassWidthEnabled;
    double highpassFreq;
    double highpassWidth;
    double lowpassFreq;
    double lowpassWidth;
    double dcAveragePeriod;
    int32_t dcResponsivity;
    int32_t writeUncompressed;
    int32_t rawPcm;
    int32_t removeDc;
    char outputFileName[260];
    char outputFolder[260];
    char encoderPath[260];
    int32_t stopOnWriteTime;
    int32_t stopOnFileSize;
    int32_t stopOnFreeSpace;
    int32_t writeTimeLimit;
    int32_t fileSizeLimit;
    int32_t freeSpaceLimit;
    int32_t logDuringRecording;
    int32_t logFileMode;
    int32_t maxLogSize;
    int32_t customEncoderNames;
    int32_t stopOnDataLoss;
    int32_t dataLossLimit;
    int32_t settingsVersion;
};

constexpr std::size_t kRecSettingsSize = 1584;
constexpr int32_t kSettingsVersion = 130;
static_assert(sizeof(RecSettings) == kRecSettingsSize, "settings image must be 1584 bytes");

/// Assigns every field its default; bytes after each new terminator stay as they were.
void SetDefaultSettings(RecSettings& s, const std::string& programFolder);

/// How many bytes of `text` fit into `maxBytes` without splitting a UTF-8 character (text
/// that is not UTF-8 is cut at `maxBytes`).
std::size_t Utf8CutLength(const char* text, std::size_t length, std::size_t maxBytes);

/// Copies text into a fixed field, cut at a character boundary so that the terminator fits.
template <std::size_t N>
void SetTextField(char (&field)[N], const std::string& text) {
    const std::size_t n = Utf8CutLength(text.data(), text.size(), N - 1);
    text.copy(field, n);
    field[n] = '\0';
}

/// A field's text up to its terminator, never past the array.
template <std::size_t N>
std::string TextField(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0') ++n;
    return std::string(field, n);
}

/// Makes every text field terminated inside its array, cutting one without a terminator at
/// a character boundary. Returns the names of the fields that were cut.
std::string TerminateTextFields(RecSettings& s);

/// Replaces every number outside its documented range by its default.
/// Returns the names of the fields that were replaced.
std::string ClampToValueLists(RecSettings& s);

// Value lists.
extern const std::array<const char*, 4> kProcessClassNames;
extern const std::array<const char*, 7> kThreadPriorityNames;
extern const std::array<const char*, 13> kGeneralPresetNames;
extern const std::array<const char*, 8> kAltPresetNames;

// Bitrate tables (kbit/s).
constexpr int kBitrateCount = 14;
extern const std::array<int, kBitrateCount> Mpeg1Bitrates;
extern const std::array<int, kBitrateCount> LsfBitrates;

/// Resampling targets in Hz for resampleIndex 1..9 (index 0: none).
extern const std::array<int, 10> kResampleRates;

/// A value-list lookup that is safe for any stored index: out of range gives the fallback.
template <typename T, std::size_t N>
T SafeLookup(const std::array<T, N>& table, int32_t index, T fallback) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? table[static_cast<std::size_t>(index)] : fallback;
}

/// Index clamped into 0..count-1.
inline int32_t ClampIndex(int32_t index, int32_t count) {
    return index < 0 ? 0 : (index >= count ? count - 1 : index);
}

}  // namespace pelmora
