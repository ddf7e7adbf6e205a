// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "settings/BitrateTable.h"
#include "settings/RecSettings.h"

namespace pelmora {
namespace {

RecSettings Defaults(const std::string& folder = "/opt/pelmora/") {
    RecSettings s;
    std::memset(&s, 0, sizeof s);
    SetDefaultSettings(s, folder);
    return s;
}

TEST(RecSettings, DefaultsMatchTheDocumentedValues) {
    RecSettings s = Defaults();
    EXPECT_STREQ(s.presetName, "default");
    EXPECT_STREQ(s.outputFileName, "out");
    EXPECT_STREQ(s.outputFolder, "/opt/pelmora/");
    EXPECT_STREQ(s.customOptions, "");
    EXPECT_STREQ(s.encoderPath, "");
    EXPECT_EQ(s.dcAveragePeriod, 5.0);
    EXPECT_EQ(s.maxLogSize, 300);
    EXPECT_EQ(s.freeSpaceLimit, 100);
    EXPECT_EQ(s.writeTimeLimit, 60);
    EXPECT_EQ(s.settingsVersion, 130);
    EXPECT_EQ(s.processPriorityClass, 1);
    EXPECT_EQ(s.uiThreadPriority, 3);
    EXPECT_EQ(s.receiveThreadPriority, 3);
    EXPECT_EQ(s.preprocessThreadPriority, 3);
    EXPECT_EQ(s.writerThreadPriority, 3);
    EXPECT_EQ(s.encoderPriorityClass, 1);
    EXPECT_EQ(s.encoderThreadPriority, 3);
    EXPECT_EQ(s.minBitrateIndex, 8);
    EXPECT_EQ(s.maxBitrateIndex, 13);
    EXPECT_EQ(s.abrBitrate, 160);
    EXPECT_EQ(s.optimization, 2);
    EXPECT_EQ(s.vbrQuality, -1);
    EXPECT_EQ(s.meterRateIndex, 2);
    EXPECT_EQ(s.deviceQueueSeconds, 3);
    EXPECT_EQ(s.receivedStoreSeconds, 3);
    EXPECT_EQ(s.outputStoreSeconds, 3);
    EXPECT_EQ(s.confirmOverwrite, 1);
    EXPECT_EQ(s.dcResponsivity, 50);
    EXPECT_EQ(s.logFileMode, 1);
    EXPECT_EQ(s.fileSizeLimit, 1);
    EXPECT_EQ(s.dataLossLimit, 1);
    // Everything else is zero.
    EXPECT_EQ(s.deviceIndex | s.formatIndex | s.sourceLineIndex | s.encodingMode | s.stereoMode | s.qLevel |
                  s.presetFamily | s.removeDc | s.writeUncompressed | s.rawPcm | s.stopOnWriteTime | s.stopOnDataLoss |
                  s.logDuringRecording | s.resampleIndex | s.athMode,
              0);
    EXPECT_EQ(s.highpassFreq + s.highpassWidth + s.lowpassFreq + s.lowpassWidth, 0.0);
}

TEST(RecSettings, ImageIsLittleEndianAtFixedOffsets) {
    RecSettings s = Defaults();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&s);
    EXPECT_EQ(bytes[1580], 130);  // settingsVersion
    EXPECT_EQ(bytes[1581], 0);
    EXPECT_EQ(std::memcmp(bytes + 40, "default", 8), 0);   // presetName
    EXPECT_EQ(std::memcmp(bytes + 752, "out", 4), 0);      // outputFileName
    double period;
    std::memcpy(&period, bytes + 728, 8);
    EXPECT_EQ(period, 5.0);
    EXPECT_EQ(bytes[320], 0xFF);  // vbrQuality -1
}

TEST(RecSettings, TextFieldsStayInsideTheirArrays) {
    RecSettings s = Defaults();
    SetTextField(s.presetName, std::string(250, 'p'));
    EXPECT_EQ(TextField(s.presetName).size(), 250u);
    SetTextField(s.presetName, std::string(400, 'q'));
    EXPECT_EQ(TextField(s.presetName).size(), 255u);

    std::memset(s.encoderPath, 'x', sizeof s.encoderPath);  // no terminator at all
    EXPECT_EQ(TextField(s.encoderPath).size(), sizeof s.encoderPath);
    TerminateTextFields(s);
    EXPECT_EQ(TextField(s.encoderPath).size(), sizeof s.encoderPath - 1);
}

TEST(RecSettings, TextIsCutAtACharacterBoundary) {
    RecSettings s = Defaults();
    std::string twoByte;
    for (int i = 0; i < 200; ++i) twoByte += "\xC3\xA9";  // 400 bytes of "é"
    SetTextField(s.presetName, twoByte);
    EXPECT_EQ(TextField(s.presetName), twoByte.substr(0, 254));  // not 255: that splits an "é"

    std::string fourByte = std::string(257, 'a') + "\xF0\x9F\x8E\xA4";  // a microphone after 257 bytes
    SetTextField(s.outputFolder, fourByte);
    EXPECT_EQ(TextField(s.outputFolder), std::string(257, 'a'));
    SetTextField(s.outputFolder, std::string(255, 'a') + "\xF0\x9F\x8E\xA4");  // exactly 259 bytes fit
    EXPECT_EQ(TextField(s.outputFolder).size(), 259u);
}

TEST(RecSettings, UnterminatedTextFieldsAreCutAtACharacterBoundaryAndNamed) {
    RecSettings s = Defaults();
    EXPECT_EQ(TerminateTextFields(s), "");
    for (std::size_t i = 0; i + 1 < sizeof s.presetName; i += 2) {
        s.presetName[i] = '\xC3';
        s.presetName[i + 1] = '\xA9';
    }
    std::memset(s.encoderPath, 'x', sizeof s.encoderPath);
    EXPECT_EQ(TerminateTextFields(s), "presetName, encoderPath");
    EXPECT_EQ(TextField(s.presetName).size(), 254u);
    EXPECT_EQ(TextField(s.encoderPath).size(), sizeof s.encoderPath - 1);
}

TEST(RecSettings, DefaultsLeaveBytesAfterTheTerminator) {
    RecSettings s;
    std::memset(&s, 0x55, sizeof s);
    SetDefaultSettings(s, "/p/");
    EXPECT_EQ(s.presetName[7], '\0');
    EXPECT_EQ(static_cast<unsigned char>(s.presetName[8]), 0x55);
}

TEST(RecSettings, OutOfRangeNumbersFallBackToDefaults) {
    RecSettings s = Defaults();
    EXPECT_EQ(ClampToValueLists(s), "");

    s.minBitrateIndex = 14;
    s.maxBitrateIndex = -1;
    s.meterRateIndex = 7;
    s.deviceQueueSeconds = 0;
    s.processPriorityClass = 99;
    s.dcAveragePeriod = std::numeric_limits<double>::quiet_NaN();
    s.lowpassFreq = 1e300;
    s.removeDc = 2;
    s.deviceIndex = 5;  // machine-dependent, kept
    std::string names = ClampToValueLists(s);
    EXPECT_EQ(s.minBitrateIndex, 8);
    EXPECT_EQ(s.maxBitrateIndex, 13);
    EXPECT_EQ(s.meterRateIndex, 2);
    EXPECT_EQ(s.deviceQueueSeconds, 3);
    EXPECT_EQ(s.processPriorityClass, 1);
    EXPECT_EQ(s.dcAveragePeriod, 5.0);
    EXPECT_EQ(s.lowpassFreq, 0.0);
    EXPECT_EQ(s.removeDc, 0);
    EXPECT_EQ(s.deviceIndex, 5);
    EXPECT_NE(names.find("minBitrateIndex"), std::string::npos);
    EXPECT_NE(names.find("dcAveragePeriod"), std::string::npos);
    EXPECT_EQ(names.find("deviceIndex"), std::string::npos);
}

TEST(RecSettings, MaximumBitrateNeverBelowMinimumAfterClamp) {
    RecSettings s = Defaults();
    s.minBitrateIndex = 10;
    s.maxBitrateIndex = 4;
    ClampToValueLists(s);
    EXPECT_GE(s.maxBitrateIndex, s.minBitrateIndex);
}

TEST(RecSettings, SafeLookupNeverLeavesTheTable) {
    EXPECT_STREQ(SafeLookup(kThreadPriorityNames, 3, "?"), "Normal");
    EXPECT_STREQ(SafeLookup(kThreadPriorityNames, 7, "?"), "?");
    EXPECT_STREQ(SafeLookup(kThreadPriorityNames, -1, "?"), "?");
    EXPECT_EQ(BitrateAt(BitrateTable::Mpeg1, 99), 320);
    EXPECT_EQ(BitrateAt(BitrateTable::Lsf, -5), 8);
}

TEST(BitrateTable, ChoiceFollowsRateAndResampling) {
    EXPECT_EQ(ChooseBitrateTable(0, 44100), BitrateTable::Mpeg1);
    EXPECT_EQ(ChooseBitrateTable(0, 32000), BitrateTable::Mpeg1);
    EXPECT_EQ(ChooseBitrateTable(0, 24000), BitrateTable::Lsf);
    EXPECT_EQ(ChooseBitrateTable(0, 22050), BitrateTable::Lsf);
    for (int i = 4; i <= 6; ++i) EXPECT_EQ(ChooseBitrateTable(i, 48000), BitrateTable::Lsf) << i;
    for (int i = 7; i <= 9; ++i) EXPECT_EQ(ChooseBitrateTable(i, 8000), BitrateTable::Mpeg1) << i;
}

TEST(BitrateTable, OutputRatesOf12KhzAndBelowStopAt64Kbit) {
    // The encoder makes MPEG-2.5 at these rates and writes at most 64 kbit whatever it is asked.
    for (int rate : {8000, 11025, 12000}) EXPECT_EQ(ChooseBitrateTable(0, rate), BitrateTable::Mpeg25) << rate;
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(ChooseBitrateTable(i, 48000), BitrateTable::Mpeg25) << i;
    EXPECT_EQ(ChooseBitrateTable(0, 16000), BitrateTable::Lsf);
    EXPECT_EQ(TopBitrateIndex(BitrateTable::Mpeg25), 7);
    EXPECT_EQ(TopBitrateIndex(BitrateTable::Lsf), kBitrateCount - 1);
    EXPECT_EQ(BitrateAt(BitrateTable::Mpeg25, 7), 64);
    EXPECT_EQ(BitrateAt(BitrateTable::Mpeg25, 8), 64);  // stored CBR 80: shown and used as 64
    EXPECT_EQ(BitrateAt(BitrateTable::Mpeg25, 13), 64);
    EXPECT_EQ(BitrateAt(BitrateTable::Mpeg25, 2), 24);
    EXPECT_EQ(BitrateAt(BitrateTable::Lsf, 8), 80);
    RecSettings s = Defaults();
    BitrateState state;
    s.abrBitrate = 192;
    ApplyBitrateTable(state, BitrateTable::Mpeg25, s);
    EXPECT_EQ(state.lsfMode, 2);
    EXPECT_EQ(s.abrBitrate, 160);
}

TEST(BitrateTable, DefaultIndicesGiveDocumentedBitrates) {
    RecSettings s = Defaults();
    EXPECT_EQ(BitrateAt(ChooseBitrateTable(0, 44100), s.minBitrateIndex), 128);
    EXPECT_EQ(BitrateAt(ChooseBitrateTable(0, 22050), s.minBitrateIndex), 80);
    EXPECT_EQ(BitrateAt(ChooseBitrateTable(0, 44100), s.maxBitrateIndex), 320);
    EXPECT_EQ(BitrateAt(ChooseBitrateTable(0, 22050), s.maxBitrateIndex), 160);
}

TEST(BitrateTable, SwitchAdjustsAbrBitrateAndLsfMode) {
    RecSettings s = Defaults();
    BitrateState state;
    EXPECT_EQ(state.lsfMode, 0);
    s.abrBitrate = 192;
    ApplyBitrateTable(state, ChooseBitrateTable(6, 44100), s);  // 24 kHz
    EXPECT_EQ(s.abrBitrate, 160);
    EXPECT_EQ(state.lsfMode, 2);
    ApplyBitrateTable(state, ChooseBitrateTable(9, 44100), s);  // 48 kHz
    EXPECT_EQ(s.abrBitrate, 160);
    EXPECT_EQ(state.lsfMode, 1);
    s.abrBitrate = 64;
    ApplyBitrateTable(state, BitrateTable::Mpeg1, s);
    EXPECT_EQ(s.abrBitrate, 80);
    EXPECT_EQ(s.minBitrateIndex, 8);  // indices untouched
}

}  // namespace
}  // namespace pelmora
