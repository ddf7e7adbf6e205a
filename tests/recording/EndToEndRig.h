// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole recording engine on the simulated device, without any window: capture threads,
// writer, record control, supervision and, for MP3, the real encoder.

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RecordingRig.h"
#include "capture/CaptureDevice.h"
#include "capture/DcFilter.h"
#include "capture/PreprocessThread.h"
#include "capture/SimulatedWaveIn.h"
#include "capture/WaveThread.h"
#include "encoder/EncoderCommand.h"
#include "encoder/EncoderProcess.h"
#include "recording/ProcessEncoder.h"

namespace pelmora::test {

constexpr std::chrono::milliseconds kGuard{30000};  // only a guard against a hang

class RigCaptureView : public CaptureView {
public:
    RigCaptureView(RecordingView& view, SupervisionState& s) : view_(view), s_(s) {}
    void EnableRecordButton(bool enable) override { view_.EnableRecord(enable); }
    void ShowDeviceReady() override { view_.SetState(kStateReady); }
    void ShowDeviceFailure() override { view_.SetState(kStateInitFailed); }
    void BlankMeters() override {}
    void ResetClipTrackers() override { s_.ResetClipTrackers(); }
    void ReleaseMixer() override {}

private:
    RecordingView& view_;
    SupervisionState& s_;
};

/// 16-bit stereo frames of a source, as interleaved little-endian bytes.
inline std::vector<uint8_t> FramesToBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

/// A pseudo-random source whose period (a prime number of frames) never lines up with a
/// block, so a lost, repeated or reordered block always shows.
inline std::vector<int16_t> NoiseSource(int frames) {
    std::vector<int16_t> s(static_cast<std::size_t>(frames) * 2);
    uint32_t x = 12345;
    for (auto& v : s) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<int16_t>(static_cast<int>(x >> 16) / 3 - 10922);  // well inside full scale
    }
    return s;
}

/// A tone mix repeating every 2205 frames (1/20 s at 44.1 kHz).
inline std::vector<int16_t> ToneSource() {
    const int frames = 2205;
    std::vector<int16_t> s(static_cast<std::size_t>(frames) * 2);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < frames; ++i) {
        const double t = i / 44100.0;
        s[2 * i] = static_cast<int16_t>(32767 * (0.4 * std::sin(2 * pi * 440 * t) + 0.3 * std::sin(2 * pi * 1000 * t)));
        s[2 * i + 1] = static_cast<int16_t>(32767 * 0.5 * std::sin(2 * pi * 660 * t));
    }
    return s;
}

class EndToEndRig {
public:
    EndToEndRig(const std::vector<int16_t>& source, SimulatedPace pace)
        : backend(Config(source, pace)),
          rigView(view, supervisionState),
          wave(state, device, settings, backend, log),
          preprocess(state, settings, dc),
          capture(state, device, settings, backend, wave, preprocess, log, rigView,
                  [](int, int) -> std::optional<WaveFormat> { return MakePcmFormat(44100, 16, 2); }),
          encoderProcess(dir.Path()),
          encoder(encoderProcess, settings, log, [this] { return EncoderArgs(); }),
          control(RecordingDeps{settings, state, log, view, output, supervisionState, &encoder}),
          supervision(settings, state, log, view, control, supervisionState, [this] {
              const MeterSnapshot m = preprocess.Meters();
              return LevelReadings{m.processedPeakLeft, m.processedPeakRight, m.dcOffsetLeft, m.dcOffsetRight};
          }) {
        SetDefaultSettings(settings, dir.Path());
        settings.writeUncompressed = 1;
        SetTextField(settings.encoderPath, "/usr/bin/lame");
        state.format.captureBits = 16;
        state.format.captureChannels = 2;
        state.format.fullScale = 32768;
        state.buffersPerSecond = BuffersPerSecond(settings.meterRateIndex);
        dc.BuildWeights(settings.dcAveragePeriod, state.buffersPerSecond.load());
        writer.Start();
        preprocess.Start();
        wave.Start();
    }
    ~EndToEndRig() {
        if (control.IsRecording()) control.OnRecord();
        capture.CloseCaptureDevice();
        writer.Quit();
        preprocess.Quit();
        wave.Quit();
    }

    static SimulatedWaveInConfig Config(const std::vector<int16_t>& source, SimulatedPace pace) {
        SimulatedWaveInConfig c;
        c.source = SimulatedSource::kSupplied;
        c.supplied = FramesToBytes(source);
        c.pace = pace;
        return c;
    }

    std::string EncoderArgs() const {
        EncoderInputFormat f;
        f.sampleRate = 44100;
        f.bits = 16;
        f.channels = 2;
        return ComposeEncoderCommand(settings, f, ChooseBitrateTable(settings.resampleIndex, 44100)).encoderArgs;
    }

    /// Lets `blocks` more blocks through the preprocessing thread.
    bool Process(uint64_t blocks) {
        const uint64_t target = preprocess.ProcessedBlocks() + blocks;
        return preprocess.WaitProcessed(target, kGuard);
    }

    std::vector<std::string> Texts() const { return WithoutStamps(log.Lines()); }
    bool Logged(const std::string& text) const { return HasText(log.Lines(), text); }

    TempDir dir;
    RecSettings settings{};
    PipelineState state;
    DeviceObjects device;
    SimulatedWaveInBackend backend;
    EventLog log{settings, dir.Path()};
    FakeView view;
    SupervisionState supervisionState;
    RigCaptureView rigView;
    DcFilter dc;
    CWaveThread wave;
    PreprocessThread preprocess;
    CaptureDevice capture;
    WriterOutput output;
    WriterThread writer{state, output};
    EncoderProcess encoderProcess;
    ProcessEncoder encoder;
    RecordingControl control;
    Supervision supervision;
};

}  // namespace pelmora::test
