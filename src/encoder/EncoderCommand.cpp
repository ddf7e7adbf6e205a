// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderCommand.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace pelmora {

namespace {

__attribute__((format(printf, 1, 2))) std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        text.assign(buffer.data(), static_cast<std::size_t>(n));
    }
    va_end(args);
    return text;
}

// Argument fragments by stored index; each starts with a blank.
const std::array<const char*, 3> kOptimizationArgs = {"", " -f", " -h"};
const std::array<const char*, 5> kStereoArgs = {"", " -m s", " -m j", " -m f", " -m m"};
const std::array<const char*, 7> kAthArgs = {"",           " --athonly",   " --noath",    " --athshort",
                                             " --athtype 0", " --athtype 1", " --athtype 2"};
const std::array<const char*, 10> kResampleArgs = {"",
                                                   " --resample 8",
                                                   " --resample 11.025",
                                                   " --resample 12",
                                                   " --resample 16",
                                                   " --resample 22.05",
                                                   " --resample 24",
                                                   " --resample 32",
                                                   " --resample 44.1",
                                                   " --resample 48"};
constexpr int kMonoStereoMode = 4;

struct PresetTexts {
    std::string args;
    std::string text;
};

PresetTexts BuiltInPreset(const RecSettings& s, int minRate) {
    PresetTexts p;
    if (!s.useBuiltInPreset || s.writeUncompressed) return p;
    if (s.presetFamily == 0) {
        const char* name = SafeLookup(kGeneralPresetNames, s.generalPresetIndex, "");
        p.args = Printf(" --preset %s", name);
        p.text = Printf(" Built-in lame preset %s", name);
    } else if (s.presetFamily == 1) {
        const int index = s.altPresetIndex;
        if (index == 6) {
            p.args = Printf(" --alt-preset %d", minRate);
            p.text = Printf(" Built-in lame preset abr %d", minRate);
        } else if (index == 7) {
            p.args = Printf(" --alt-preset cbr %d", minRate);
            p.text = Printf(" Built-in lame preset cbr %d", minRate);
        } else if (index >= 0 && index <= 5) {
            const char* name = kAltPresetNames[static_cast<std::size_t>(index)];
            p.args = index == 0 ? Printf(" --preset %s", name) : Printf(" --alt-preset %s", name);
            p.text = Printf(" Built-in lame preset %s", name);
        }
    }
    return p;
}

std::string Summary(const RecSettings& s, int channels, int effectiveStereo, int minRate, int maxRate) {
    std::string t = " ";
    if (channels == 2 && effectiveStereo == kMonoStereoMode) t += "Mono, ";
    if (s.lowpassEnabled && s.highpassEnabled)
        t += "LP/HP, ";
    else if (s.lowpassEnabled)
        t += "LP, ";
    else if (s.highpassEnabled)
        t += "HP, ";
    if (s.resampleIndex > 0 && s.resampleIndex < static_cast<int32_t>(kResampleRates.size()))
        t += Printf("%dkHz, ", kResampleRates[static_cast<std::size_t>(s.resampleIndex)] / 1000);
    if (s.optimization == 2)
        t += "quality ";
    else if (s.optimization == 1)
        t += "fast ";
    switch (s.encodingMode) {
        case 0:
            t += Printf("CBR %d ", minRate);
            break;
        case 1:
            t += s.vbrQuality >= 0 ? Printf("VBR %d-%d (quality %d) ", minRate, maxRate, s.vbrQuality)
                                   : Printf("VBR %d-%d ", minRate, maxRate);
            break;
        case 2: {
            int shown = s.abrBitrate;
            if (shown > maxRate) shown = maxRate;
            if (shown < minRate) shown = minRate;
            t += Printf("ABR %d (%d-%d) ", shown, minRate, maxRate);
            break;
        }
        default:
            break;
    }
    if (s.stereoMode == 1)
        t += ", Stereo ";
    else if (s.stereoMode == 2 || s.stereoMode == 3)
        t += ", J-Stereo ";
    return t;
}

}  // namespace

EncoderCommand ComposeEncoderCommand(const RecSettings& s, const EncoderInputFormat& format, BitrateTable table) {
    EncoderCommand c;
    const int minRate = BitrateAt(table, s.minBitrateIndex);
    const int maxRate = BitrateAt(table, s.maxBitrateIndex);
    const std::string customOptions = TextField(s.customOptions);

    // 1. Input format.
    c.captureChannels = format.channels;
    c.captureRateKhz = static_cast<double>(format.sampleRate) * 0.001;
    c.captureBits = format.bits;
    c.fullScale = format.bits >= 1 && format.bits <= 31 ? 1 << (format.bits - 1) : 0;

    // 2. Input part of the arguments. Samples are passed in the machine's own little-endian
    // order, which is what the encoder reads by default: no byte swapping.
    std::string formatArgs = Printf(" -s %.5g --bitwidth %d", c.captureRateKhz, c.captureBits);

    // 3. Description head.
    std::string description = Printf("%dkHz / %d / ", static_cast<int>(c.captureRateKhz), c.captureBits);
    int effectiveStereo = s.stereoMode;
    if (c.captureChannels == 1) {
        description += "Mono =>";
        effectiveStereo = kMonoStereoMode;
    } else {
        description += "Stereo =>";
    }
    if (s.removeDc) description += " -DC =>";

    // 4. Built-in preset.
    const PresetTexts preset = BuiltInPreset(s, minRate);

    // 5. Description body.
    if (s.onlyCustomOptions && !s.writeUncompressed)
        description += " Lame - user options (Expert->Custom options)";
    else if (s.useBuiltInPreset && !s.writeUncompressed)
        description += preset.text;
    else if (s.writeUncompressed)
        description += s.rawPcm ? " Raw pcm file" : " Wave file";
    else
        description += Summary(s, c.captureChannels, effectiveStereo, minRate, maxRate);

    // 6. Stereo switch. Presets choose their own stereo mode, but raw input counts as two
    // channels unless the mode is mono, so mono input still needs " -m m" to be read right.
    const std::string presetFormatArgs = formatArgs + (c.captureChannels == 1 ? " -m m" : "");
    if (!s.useBuiltInPreset) {
        if (c.captureChannels == 2 && effectiveStereo == kMonoStereoMode)
            formatArgs += " -m s -a";
        else
            formatArgs += SafeLookup(kStereoArgs, effectiveStereo, "");
    }

    // 7. Bitrate mode.
    std::string vbrFlags;
    if (s.enforceMinBitrate) vbrFlags += " -F";
    if (s.disableVbrTag) vbrFlags += " -t";
    std::string modeArgs;
    if (s.encodingMode == 2)
        modeArgs = Printf(" --abr %d -B %d%s", s.abrBitrate, maxRate, vbrFlags.c_str());
    else if (s.encodingMode == 1)
        modeArgs = s.vbrQuality >= 0 ? Printf(" -V %d -B %d%s", s.vbrQuality, maxRate, vbrFlags.c_str())
                                     : Printf(" -V 4 -B %d%s", maxRate, vbrFlags.c_str());

    // 8. Flag switches.
    std::string flagArgs;
    if (s.markCopy) flagArgs += " -o";
    if (s.markCopyright) flagArgs += " -c";
    if (s.crcProtection) flagArgs += " -p";
    if (s.allowDiffBlockTypes) flagArgs += " -d";
    if (s.enforceIso) flagArgs += " --strictly-enforce-ISO";
    if (s.disableFiltering) flagArgs += " -k";
    if (s.disableBitReservoir) flagArgs += " --nores";
    if (s.disableShortBlocks) flagArgs += " --noshort";
    const bool advancedUsed =
        s.markCopy || s.markCopyright || s.crcProtection || s.enforceMinBitrate || s.disableVbrTag;
    const bool expertUsed = s.allowDiffBlockTypes || s.enforceIso || s.disableFiltering || s.disableBitReservoir ||
                            s.disableShortBlocks || !customOptions.empty();

    // 9. Tuning note.
    if (!s.useBuiltInPreset && !s.onlyCustomOptions && !s.writeUncompressed) {
        if (advancedUsed && expertUsed)
            description += "+ Advanced & Expert tuning";
        else if (expertUsed)
            description += "+ Expert tuning";
        else if (advancedUsed)
            description += "+ Advanced flags";
    }

    // 10. Filters and q.
    const std::string highpass = s.highpassEnabled ? Printf(" --highpass %.4g", s.highpassFreq) : "";
    const std::string highpassWidth = s.highpassWidthEnabled ? Printf(" --highpass-width %.4g", s.highpassWidth) : "";
    const std::string lowpass = s.lowpassEnabled ? Printf(" --lowpass %.4g", s.lowpassFreq) : "";
    const std::string lowpassWidth = s.lowpassWidthEnabled ? Printf(" --lowpass-width %.4g", s.lowpassWidth) : "";
    const std::string qArgs = s.qLevel != 0 ? Printf(" -q %d", s.qLevel - 1) : "";

    // 11. The arguments.
    if (s.onlyCustomOptions) {
        c.encoderArgs = " " + customOptions + " ";
    } else if (s.useBuiltInPreset) {
        c.encoderArgs = " -r" + presetFormatArgs + preset.args;
    } else {
        c.encoderArgs = " -r" + formatArgs + SafeLookup(kOptimizationArgs, s.optimization, "") +
                        Printf(" -b %d", minRate) + modeArgs + flagArgs + SafeLookup(kAthArgs, s.athMode, "") +
                        qArgs + SafeLookup(kResampleArgs, s.resampleIndex, "") + highpass + highpassWidth + lowpass +
                        lowpassWidth + " " + customOptions + " ";
    }

    // 12. Compression-options box.
    if (s.writeUncompressed)
        c.compressionOptions = (s.rawPcm ? "Uncompessed raw pcm " : "Uncompessed wav ") + format.formatText;
    else
        c.compressionOptions = "lame " + c.encoderArgs;

    c.description = description;
    return c;
}

EncoderCommand BuildEncoderCommand(const RecSettings& s, const EncoderInputFormat& format, BitrateTable table,
                                   CaptureFormat& capture, EncoderCommandView& view) {
    EncoderCommand c = ComposeEncoderCommand(s, format, table);
    capture.captureChannels.store(c.captureChannels);
    capture.captureBits.store(c.captureBits);
    capture.fullScale.store(c.fullScale);
    view.SetCompressionOptions(c.compressionOptions);
    view.SetDescription(c.description);
    return c;
}

}  // namespace pelmora
