// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderCommand.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

EncoderInputFormat Format(unsigned rate, int bits, int channels) {
    EncoderInputFormat f;
    f.sampleRate = rate;
    f.bits = bits;
    f.channels = channels;
    f.formatText = "44.1 kHz, 16 bit, stereo";
    return f;
}

class EncoderCommandTest : public ::testing::Test {
protected:
    void SetUp() override { SetDefaultSettings(s, "/opt/pelmora/"); }

    EncoderCommand Compose(unsigned rate = 44100, int bits = 16, int channels = 2) {
        return ComposeEncoderCommand(s, Format(rate, bits, channels), ChooseBitrateTable(s.resampleIndex, int(rate)));
    }

    RecSettings s{};
};

class FakeView : public EncoderCommandView {
public:
    void SetCompressionOptions(const std::string& text) override {
        options = text;
        ++calls;
    }
    void SetDescription(const std::string& text) override {
        description = text;
        ++calls;
    }
    std::string options;
    std::string description;
    int calls = 0;
};

TEST_F(EncoderCommandTest, DefaultsOnCdFormatBuildEveryOutput) {
    CaptureFormat capture;
    capture.captureBits = 0;
    capture.captureChannels = 0;
    capture.fullScale = 0;
    FakeView view;
    EncoderCommand c = BuildEncoderCommand(s, Format(44100, 16, 2), BitrateTable::Mpeg1, capture, view);

    // No byte swapping: samples already arrive little-endian.
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 128  ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => quality CBR 128 ");
    EXPECT_EQ(c.compressionOptions, "lame  -r -s 44.1 --bitwidth 16 -h -b 128  ");
    EXPECT_EQ(view.options, c.compressionOptions);
    EXPECT_EQ(view.description, c.description);
    EXPECT_EQ(view.calls, 2);
    EXPECT_EQ(capture.captureBits.load(), 16);
    EXPECT_EQ(capture.captureChannels.load(), 2);
    EXPECT_EQ(capture.fullScale.load(), 32768);
    EXPECT_DOUBLE_EQ(c.captureRateKhz, 44.1);

    c = BuildEncoderCommand(s, Format(8000, 8, 1), BitrateTable::Lsf, capture, view);
    EXPECT_EQ(capture.captureBits.load(), 8);
    EXPECT_EQ(capture.captureChannels.load(), 1);
    EXPECT_EQ(capture.fullScale.load(), 128);
    EXPECT_EQ(c.encoderArgs, " -r -s 8 --bitwidth 8 -m m -h -b 80  ");
    EXPECT_EQ(c.description, "8kHz / 8 / Mono => quality CBR 80 ");
}

TEST_F(EncoderCommandTest, RatesPrintWithFiveDigitsAndTruncateInTheDescription) {
    EXPECT_EQ(Compose(48000).encoderArgs, " -r -s 48 --bitwidth 16 -h -b 128  ");
    EXPECT_EQ(Compose(11025).encoderArgs, " -r -s 11.025 --bitwidth 16 -h -b 64  ");
    EXPECT_EQ(Compose(11025).description, "11kHz / 16 / Stereo => quality CBR 64 ");
    EXPECT_EQ(Compose(22050).description.substr(0, 13), "22kHz / 16 / ");
}

TEST_F(EncoderCommandTest, StereoModes) {
    // Mono input always gets " -m m"; the summary still names the stored stereo mode.
    const char* tails[] = {" quality CBR 128 ", " quality CBR 128 , Stereo ", " quality CBR 128 , J-Stereo ",
                           " quality CBR 128 , J-Stereo ", " quality CBR 128 "};
    for (int mode = 0; mode <= 4; ++mode) {
        s.stereoMode = mode;
        EncoderCommand c = Compose(44100, 16, 1);
        EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -m m -h -b 128  ") << mode;
        EXPECT_EQ(c.description, std::string("44kHz / 16 / Mono =>") + tails[mode]) << mode;
    }

    const char* stereoArgs[] = {"", " -m s", " -m j", " -m f"};
    for (int mode = 0; mode <= 3; ++mode) {
        s.stereoMode = mode;
        EXPECT_EQ(Compose().encoderArgs, std::string(" -r -s 44.1 --bitwidth 16") + stereoArgs[mode] + " -h -b 128  ");
    }

    s.stereoMode = 4;  // "Downmix to Mono"
    EncoderCommand c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -m s -a -h -b 128  ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Mono, quality CBR 128 ");
}

TEST_F(EncoderCommandTest, BitrateModes) {
    s.encodingMode = 1;  // VBR, max 320
    s.vbrQuality = -1;
    EXPECT_EQ(Compose().encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 128 -V 4 -B 320  ");
    EXPECT_EQ(Compose().description, "44kHz / 16 / Stereo => quality VBR 128-320 ");
    s.vbrQuality = 2;
    EXPECT_EQ(Compose().encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 128 -V 2 -B 320  ");
    EXPECT_EQ(Compose().description, "44kHz / 16 / Stereo => quality VBR 128-320 (quality 2) ");
    s.enforceMinBitrate = 1;
    s.disableVbrTag = 1;
    EXPECT_EQ(Compose().encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 128 -V 2 -B 320 -F -t  ");

    s.enforceMinBitrate = 0;
    s.disableVbrTag = 0;
    s.encodingMode = 2;  // ABR: arguments unclamped, description clamped
    s.abrBitrate = 300;
    s.maxBitrateIndex = 12;
    EXPECT_EQ(Compose().encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 128 --abr 300 -B 256  ");
    EXPECT_EQ(Compose().description, "44kHz / 16 / Stereo => quality ABR 256 (128-256) ");
    s.abrBitrate = 96;
    EXPECT_EQ(Compose().description, "44kHz / 16 / Stereo => quality ABR 128 (128-256) ");

    s.encodingMode = 0;  // CBR never carries -F or -t, but they still count as tuning
    s.enforceMinBitrate = 1;
    EncoderCommand c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 128  ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => quality CBR 128 + Advanced flags");
}

TEST_F(EncoderCommandTest, SwitchesFiltersAndTuningNotes) {
    s.markCopy = s.markCopyright = s.crcProtection = 1;
    s.allowDiffBlockTypes = s.enforceIso = s.disableFiltering = s.disableBitReservoir = s.disableShortBlocks = 1;
    s.athMode = 3;
    s.qLevel = 3;
    s.resampleIndex = 9;
    s.highpassEnabled = 1;
    s.highpassFreq = 5.0;
    s.highpassWidthEnabled = 1;
    s.highpassWidth = 0.25;
    s.lowpassEnabled = 1;
    s.lowpassFreq = 16.5;
    s.lowpassWidthEnabled = 1;
    s.lowpassWidth = 1.23456;
    s.optimization = 1;
    SetTextField(s.customOptions, "--tt \"a b\"");
    EncoderCommand c = Compose();
    EXPECT_EQ(c.encoderArgs,
              " -r -s 44.1 --bitwidth 16 -f -b 128 -o -c -p -d --strictly-enforce-ISO -k --nores --noshort"
              " --athshort -q 2 --resample 48 --highpass 5 --highpass-width 0.25 --lowpass 16.5"
              " --lowpass-width 1.235 --tt \"a b\" ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => LP/HP, 48kHz, fast CBR 128 + Advanced & Expert tuning");

    // Each width switch follows only its own flag.
    SetDefaultSettings(s, "/opt/pelmora/");
    s.lowpassWidthEnabled = 1;
    s.lowpassWidth = 2.0;
    s.lowpassEnabled = 0;
    s.highpassEnabled = 1;
    s.highpassFreq = 0.05;
    s.optimization = 0;
    s.removeDc = 1;
    SetTextField(s.customOptions, "--foo");
    c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -b 128 --highpass 0.05 --lowpass-width 2 --foo ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => -DC => HP, CBR 128 + Expert tuning");

    s.highpassEnabled = 0;
    s.lowpassEnabled = 1;
    s.lowpassFreq = 12.0;
    SetTextField(s.customOptions, "");
    EXPECT_EQ(Compose().description, "44kHz / 16 / Stereo => -DC => LP, CBR 128 ");

    SetDefaultSettings(s, "/opt/pelmora/");
    s.resampleIndex = 2;  // 11.025 kHz: MPEG-2.5, at most 64 kbit
    c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 64 --resample 11.025  ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => 11kHz, quality CBR 64 ");
}

TEST_F(EncoderCommandTest, CustomOptionsOnly) {
    s.onlyCustomOptions = 1;
    EncoderCommand c = Compose();
    EXPECT_EQ(c.encoderArgs, "  ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Lame - user options (Expert->Custom options)");
    SetTextField(s.customOptions, "-V 0 --tt \"x\"");
    s.markCopy = 1;  // no tuning note with custom options only
    c = Compose();
    EXPECT_EQ(c.encoderArgs, " -V 0 --tt \"x\" ");
    EXPECT_EQ(c.compressionOptions, "lame  -V 0 --tt \"x\" ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Lame - user options (Expert->Custom options)");
}

TEST_F(EncoderCommandTest, BuiltInPresets) {
    s.useBuiltInPreset = 1;
    s.presetFamily = 1;
    s.altPresetIndex = 6;  // average bitrate
    EncoderCommand c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 --alt-preset 128");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Built-in lame preset abr 128");
    s.altPresetIndex = 7;
    c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 --alt-preset cbr 128");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Built-in lame preset cbr 128");
    s.altPresetIndex = 0;
    c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 --preset r3mix");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Built-in lame preset r3mix");
    s.altPresetIndex = 2;
    s.markCopy = 1;  // no tuning note with a preset
    c = Compose();
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 --alt-preset fast standard");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Built-in lame preset fast standard");

    s.presetFamily = 0;
    s.generalPresetIndex = 11;  // "cd": mono input is still declared mono, or it reads as stereo
    c = Compose(22050, 16, 1);
    EXPECT_EQ(c.encoderArgs, " -r -s 22.05 --bitwidth 16 -m m --preset cd");
    EXPECT_EQ(c.description, "22kHz / 16 / Mono => Built-in lame preset cd");
}

TEST_F(EncoderCommandTest, UncompressedOutputStillRebuildsTheArguments) {
    s.writeUncompressed = 1;
    EncoderCommand c = Compose();
    EXPECT_EQ(c.compressionOptions, "Uncompessed wav 44.1 kHz, 16 bit, stereo");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Wave file");
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -h -b 128  ");
    s.rawPcm = 1;
    s.onlyCustomOptions = 1;
    c = Compose();
    EXPECT_EQ(c.compressionOptions, "Uncompessed raw pcm 44.1 kHz, 16 bit, stereo");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => Raw pcm file");
    EXPECT_EQ(c.encoderArgs, "  ");
}

TEST_F(EncoderCommandTest, IndicesOutsideTheirTablesAddNothing) {
    s.optimization = 7;
    s.athMode = -1;
    s.resampleIndex = 42;
    s.stereoMode = 9;
    s.encodingMode = 5;
    s.minBitrateIndex = 99;  // nearest entry
    EncoderCommand c = ComposeEncoderCommand(s, Format(44100, 16, 2), BitrateTable::Mpeg1);
    EXPECT_EQ(c.encoderArgs, " -r -s 44.1 --bitwidth 16 -b 320  ");
    EXPECT_EQ(c.description, "44kHz / 16 / Stereo => ");
}

}  // namespace
}  // namespace pelmora
