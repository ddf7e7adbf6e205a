// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A whole capture pipeline on the simulated device: state, settings, receiving and
// preprocessing threads and the device control, with a fake window.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "capture/CaptureDevice.h"
#include "capture/DcFilter.h"
#include "capture/PipelineState.h"
#include "capture/PreprocessThread.h"
#include "capture/SimulatedWaveIn.h"
#include "capture/WaveThread.h"
#include "settings/RecSettings.h"
#include "support/RecordingLog.h"

namespace pelmora::test {

constexpr std::chrono::milliseconds kWait{20000};  // only a guard against a hang

class FakeCaptureView : public CaptureView {
public:
    void EnableRecordButton(bool enable) override { Note(enable ? "record on" : "record off"); }
    void ShowDeviceReady() override { Note("ready"); }
    void ShowDeviceFailure() override { Note("failure"); }
    void BlankMeters() override { Note("blank"); }
    void ResetClipTrackers() override { Note("clip reset"); }
    void ReleaseMixer() override { Note("mixer released"); }

    std::vector<std::string> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    bool Saw(const std::string& call) const {
        for (const auto& c : Calls())
            if (c == call) return true;
        return false;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }

private:
    void Note(const std::string& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

inline RecSettings DefaultSettings() {
    RecSettings s{};
    SetDefaultSettings(s, "/tmp/");
    return s;
}

struct CaptureRig {
    explicit CaptureRig(SimulatedWaveInConfig config, WaveFormat fmt = MakePcmFormat(44100, 16, 2),
                        RecSettings initial = DefaultSettings())
        : settings(initial), backend(std::move(config)), format(fmt),
          wave(state, device, settings, backend, log),
          preprocess(state, settings, dc),
          capture(state, device, settings, backend, wave, preprocess, log, view,
                  [this](int, int) -> std::optional<WaveFormat> {
                      if (!formatListReady) return std::nullopt;
                      return format;
                  }) {
        state.format.captureBits.store(format.bitsPerSample);
        state.format.captureChannels.store(format.channels);
        state.format.fullScale.store(1 << (format.bitsPerSample - 1));
        state.buffersPerSecond.store(BuffersPerSecond(settings.meterRateIndex));
        dc.BuildWeights(settings.dcAveragePeriod, state.buffersPerSecond.load());
    }

    /// Both workers, as at start-up.
    void StartThreads(bool withPreprocessing = true) {
        if (withPreprocessing) preprocess.Start();
        wave.Start();
    }

    /// Until the device has returned `count` buffers and the receiving thread has handled them.
    bool Handled(uint64_t count) {
        return backend.Probe().WaitReturned(count, kWait) && wave.WaitHandled(count, kWait);
    }

    RecSettings settings;
    PipelineState state;
    DeviceObjects device;
    SimulatedWaveInBackend backend;
    RecordingLog log;
    FakeCaptureView view;
    DcFilter dc;
    WaveFormat format;
    bool formatListReady = true;
    // Destroyed in reverse: the device control closes first, then the threads end.
    CWaveThread wave;
    PreprocessThread preprocess;
    CaptureDevice capture;
};

}  // namespace pelmora::test
