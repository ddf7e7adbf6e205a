// SPDX-License-Identifier: GPL-3.0-or-later
// Whole recordings through real alsa-lib from a test plugin that runs on the real clock and
// numbers its frames: a reader held back past the device's buffer (an overrun) and a
// suspended device. The frame numbers in the file show exactly what was lost.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "EndToEndRig.h"
#include "capture/AlsaWaveIn.h"
#include "recording/StatusTexts.h"

namespace pelmora {
namespace {

constexpr uint32_t kRate = 44100;

test::TempDir* g_home = nullptr;

// alsa-lib reads ~/.asoundrc through its default configuration: the plugin's devices, each
// with its fault, before the first use of the library in this program.
class ClockPluginEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        g_home = new test::TempDir;
        std::ofstream rc(*g_home / ".asoundrc");
        rc << "pcm_type.pelmoraclock { lib \"" PELMORA_CLOCK_PCM "\" }\n"
              // Held back for 1.5 s, one second into the stream: three buffers' worth.
              "pcm.pelmoraheld { type pelmoraclock hold_at " << kRate << " hold_ms 1500 "
              "hint { show on description \"Held back\" } }\n"
              "pcm.pelmoraheldinread { type pelmoraclock hold_at " << kRate << " hold_ms 1500 hold_in_transfer 1 "
              "hint { show on description \"Held back in a read\" } }\n"
              "pcm.pelmorasuspend { type pelmoraclock suspend_at " << kRate << " "
              "hint { show on description \"Suspended\" } }\n";
        rc.close();
        setenv("HOME", g_home->Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (*g_home / ".config").c_str(), 1);
    }
    void TearDown() override { delete g_home; }
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ClockPluginEnvironment);

// The recording engine of the program on the ALSA backend, 44.1 kHz 16-bit stereo, WAV.
struct AlsaRig {
    explicit AlsaRig(const std::string& deviceName)
        : rigView(view, supervisionState),
          wave(state, device, settings, backend, log),
          preprocess(state, settings, dc),
          capture(state, device, settings, backend, wave, preprocess, log, rigView,
                  [](int, int) -> std::optional<WaveFormat> { return MakePcmFormat(kRate, 16, 2); }),
          control(RecordingDeps{settings, state, log, view, output, supervisionState, nullptr}),
          supervision(settings, state, log, view, control, supervisionState, [] { return LevelReadings{}; }) {
        SetDefaultSettings(settings, dir.Path());
        settings.writeUncompressed = 1;
        const auto devices = backend.Devices();
        for (std::size_t i = 0; i < devices.size(); ++i)
            if (devices[i].name == deviceName) settings.deviceIndex = static_cast<int>(i);
        state.format.captureBits = 16;
        state.format.captureChannels = 2;
        state.format.fullScale = 32768;
        state.buffersPerSecond = BuffersPerSecond(settings.meterRateIndex);
        dc.BuildWeights(settings.dcAveragePeriod, state.buffersPerSecond.load());
        writer.Start();
        preprocess.Start();
        wave.Start();
    }
    ~AlsaRig() {
        if (control.IsRecording()) control.OnRecord();
        capture.CloseCaptureDevice();
        writer.Quit();
        preprocess.Quit();
        wave.Quit();
    }

    /// The program's one-second timer, run until `done` or a guard against a hang runs out.
    template <typename Condition>
    bool TickUntil(Condition done) {
        const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!done()) {
            if (std::chrono::steady_clock::now() > guard) return false;
            supervision.OnTimer();
            preprocess.WaitProcessed(preprocess.ProcessedBlocks() + 1, std::chrono::milliseconds(200));
        }
        supervision.OnTimer();
        return true;
    }

    /// The file's frame numbers, in file order.
    std::vector<uint32_t> FrameNumbers() const {
        const std::vector<char> bytes = test::ReadFile(dir / "out.wav");
        std::vector<uint32_t> numbers(bytes.size() > 44 ? (bytes.size() - 44) / 4 : 0);
        if (!numbers.empty()) std::memcpy(numbers.data(), bytes.data() + 44, numbers.size() * 4);
        return numbers;
    }

    std::vector<std::string> Texts() const { return test::WithoutStamps(log.Lines()); }

    test::TempDir dir;
    RecSettings settings{};
    PipelineState state;
    DeviceObjects device;
    AlsaWaveIn backend;
    EventLog log{settings, dir.Path()};
    test::FakeView view;
    SupervisionState supervisionState;
    test::RigCaptureView rigView;
    DcFilter dc;
    CWaveThread wave;
    PreprocessThread preprocess;
    CaptureDevice capture;
    WriterOutput output;
    WriterThread writer{state, output};
    RecordingControl control;
    Supervision supervision;
};

// Where the numbers jump: (index of the first frame after the gap, frames missing).
std::vector<std::pair<std::size_t, uint32_t>> Gaps(const std::vector<uint32_t>& numbers) {
    std::vector<std::pair<std::size_t, uint32_t>> gaps;
    for (std::size_t i = 1; i < numbers.size(); ++i)
        if (numbers[i] != numbers[i - 1] + 1) gaps.emplace_back(i, numbers[i] - numbers[i - 1] - 1);
    return gaps;
}

std::string SummaryLine(const std::vector<std::string>& texts) {
    for (const std::string& t : texts)
        if (t.rfind("Recording stoped.", 0) == 0) return t;
    return {};
}

TEST(AlsaRecording, AnOverrunIsCountedShownAndLoggedAsTheSoundItLost) {
    AlsaRig rig("pelmoraheld");
    ASSERT_TRUE(rig.capture.OpenCaptureDevice()) << rig.backend.LastErrorDetail();
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    // Well past the stall: a second of sound before it, 1.5 s lost, then more.
    ASSERT_TRUE(rig.TickUntil([&] { return rig.state.writeTime.Load() >= 2.0; }));
    rig.control.OnRecord();
    ASSERT_FALSE(rig.control.IsRecording());

    const std::vector<uint32_t> numbers = rig.FrameNumbers();
    const auto gaps = Gaps(numbers);
    ASSERT_EQ(gaps.size(), 1u) << "one overrun, the rest of the file unbroken";
    const double missing = static_cast<double>(gaps[0].second) / kRate;
    EXPECT_GT(missing, 1.0) << "the device buffer does not cover a 1.5 s stall";
    const double lost = rig.state.lostSeconds.Load();
    EXPECT_NEAR(lost, missing, 0.15) << "the lost time is the sound missing from the file";
    EXPECT_FALSE(rig.state.deviceFailed.load()) << "an overrun is recovered, not a device failure";

    // Shown in the status panel and logged in the summary.
    rig.supervision.OnTimer();
    EXPECT_EQ(rig.view.values.dataLost, DataLostText(lost));
    char expected[64];
    std::snprintf(expected, sizeof expected, "(%.2f sec lost).", lost);
    const std::string summary = SummaryLine(rig.Texts());
    EXPECT_NE(summary.find(expected), std::string::npos) << summary;
}

// The reader stalls while a read copies its frames, after it emptied the device: the time
// from then on is lost all the same.
TEST(AlsaRecording, AnOverrunAfterAStallInsideAReadIsCountedInFull) {
    AlsaRig rig("pelmoraheldinread");
    ASSERT_TRUE(rig.capture.OpenCaptureDevice()) << rig.backend.LastErrorDetail();
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    ASSERT_TRUE(rig.TickUntil([&] { return rig.state.writeTime.Load() >= 2.0; }));
    rig.control.OnRecord();
    const auto gaps = Gaps(rig.FrameNumbers());
    ASSERT_EQ(gaps.size(), 1u);
    const double missing = static_cast<double>(gaps[0].second) / kRate;
    EXPECT_GT(missing, 1.0);
    EXPECT_NEAR(rig.state.lostSeconds.Load(), missing, 0.15);
}

TEST(AlsaRecording, AnOverrunPastTheLimitStopsTheRecording) {
    AlsaRig rig("pelmoraheld");
    rig.settings.stopOnDataLoss = 1;
    rig.settings.dataLossLimit = 1;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice()) << rig.backend.LastErrorDetail();
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    ASSERT_TRUE(rig.TickUntil([&] { return !rig.control.IsRecording(); })) << "never stopped by itself";
    const std::vector<std::string> texts = rig.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Allowed level of data loss reached (1 sec)"), texts.end());
    EXPECT_GE(rig.state.lostSeconds.Load(), 1.0);
    EXPECT_NE(SummaryLine(texts).find(" sec lost)."), std::string::npos);
    // The buffer being filled at the overrun holds sound from both sides of the gap.
    EXPECT_LE(Gaps(rig.FrameNumbers()).size(), 1u);
}

TEST(AlsaRecording, ASuspendedDeviceIsResumedAndTheGapCounted) {
    AlsaRig rig("pelmorasuspend");
    ASSERT_TRUE(rig.capture.OpenCaptureDevice()) << rig.backend.LastErrorDetail();
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    ASSERT_TRUE(rig.TickUntil([&] { return rig.state.writeTime.Load() >= 2.0; }));
    rig.control.OnRecord();

    EXPECT_FALSE(rig.state.deviceFailed.load());
    const std::vector<uint32_t> numbers = rig.FrameNumbers();
    ASSERT_GE(numbers.size(), 2 * kRate) << "the recording went on after the suspend";
    const auto gaps = Gaps(numbers);
    ASSERT_LE(gaps.size(), 1u);
    const double missing = gaps.empty() ? 0.0 : static_cast<double>(gaps[0].second) / kRate;
    // The device's buffer may go with the suspend; the count never falls short of the gap.
    EXPECT_GT(rig.state.lostSeconds.Load(), 0.0);
    EXPECT_GE(rig.state.lostSeconds.Load() + 1e-3, missing);
    const std::vector<std::string> texts = rig.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "SUCCESS: waveIn device open"), 1);
    EXPECT_NE(SummaryLine(texts).find(" sec lost)."), std::string::npos);
}

}  // namespace
}  // namespace pelmora
