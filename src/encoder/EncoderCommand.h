// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns the settings into the encoder's arguments, the compression-options text and the
// one-line process description shown in the main window.

#include <string>

#include "capture/PipelineState.h"
#include "settings/BitrateTable.h"
#include "settings/RecSettings.h"

namespace pelmora {

/// The capture format selected by deviceIndex/formatIndex, as the General page lists it.
struct EncoderInputFormat {
    int channels = 2;
    unsigned sampleRate = 44100;  // Hz
    int bits = 16;
    std::string formatText;       // the Format entry's text, e.g. "44.1 kHz, 16 bit, stereo"
};

/// Everything one build produces.
struct EncoderCommand {
    std::string encoderArgs;         // always begins with a blank
    std::string compressionOptions;  // text of the compression-options box
    std::string description;         // the single line of "Brief Process Description"
    double captureRateKhz = 0.0;     // sampling rate in Hz * 0.001
    int captureChannels = 0;
    int captureBits = 0;
    int fullScale = 0;               // 2^(captureBits - 1)
};

/// Where the window shows the texts; the window implements it, tests fake it.
class EncoderCommandView {
public:
    virtual ~EncoderCommandView() = default;
    virtual void SetCompressionOptions(const std::string& text) = 0;
    /// Replaces every line of the description list by this one.
    virtual void SetDescription(const std::string& text) = 0;
};

/// Computes every text from the record alone; `table` is the bitrate table in force.
EncoderCommand ComposeEncoderCommand(const RecSettings& s, const EncoderInputFormat& format, BitrateTable table);

/// Composes the command, rewrites the shared capture-format values and hands the texts to
/// the view. The caller keeps the returned encoderArgs for the next encoder start.
/// Main thread only; the format controls are locked while a recording runs.
EncoderCommand BuildEncoderCommand(const RecSettings& s, const EncoderInputFormat& format, BitrateTable table,
                                   CaptureFormat& capture, EncoderCommandView& view);

}  // namespace pelmora
