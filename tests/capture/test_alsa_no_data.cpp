// SPDX-License-Identifier: GPL-3.0-or-later
// The capture pipeline on an ALSA device that runs but never delivers: a test-made I/O plugin
// that behaves like a sound server's plugin whose server is gone (every read overruns, every
// recovery succeeds). No sound card or server is needed.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "CaptureRig.h"
#include "capture/AlsaWaveIn.h"

namespace pelmora::test {
namespace {

std::string g_home;
unsigned long (*g_prepares)() = nullptr;

class OverrunPluginEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/pelmora-overrun-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        g_home = pattern;
        std::ofstream(g_home + "/.asoundrc")
            << "pcm.pelmoraoverrun {\n"
               "  type pelmora_overrun\n"
               "  hint { show on description \"Pelmora overrun test input\" }\n"
               "}\n"
               "pcm_type.pelmora_overrun { lib \"" PELMORA_OVERRUN_PCM "\" }\n";
        // alsa-lib reads ~/.asoundrc through its default configuration.
        setenv("HOME", g_home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (g_home + "/.config").c_str(), 1);
        library_ = dlopen(PELMORA_OVERRUN_PCM, RTLD_NOW);
        if (library_) g_prepares = reinterpret_cast<unsigned long (*)()>(dlsym(library_, "pelmora_overrun_prepares"));
    }
    void TearDown() override {
        if (library_) dlclose(library_);
        std::filesystem::remove_all(g_home);
    }

private:
    void* library_ = nullptr;
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new OverrunPluginEnvironment);

TEST(AlsaNoData, ADeviceWhoseEveryReadOverrunsFailsWithoutSpinningAndItsTimeIsLost) {
    ASSERT_NE(g_prepares, nullptr) << dlerror();
    AlsaWaveIn backend;
    const auto devices = backend.Devices();
    int id = -1;
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == "pelmoraoverrun") id = static_cast<int>(i);
    ASSERT_GE(id, 0);

    RecSettings settings = DefaultSettings();
    settings.deviceIndex = id;
    settings.formatIndex = 0;
    PipelineState state;
    DeviceObjects device;
    RecordingLog log;
    FakeCaptureView view;
    DcFilter dc;
    state.buffersPerSecond.store(10.0);
    dc.BuildWeights(settings.dcAveragePeriod, 10.0);
    CWaveThread wave(state, device, settings, backend, log);
    PreprocessThread preprocess(state, settings, dc);
    CaptureDevice capture(state, device, settings, backend, wave, preprocess, log, view,
                          [](int, int) -> std::optional<WaveFormat> { return MakePcmFormat(44100, 16, 2); });
    preprocess.Start();
    wave.Start();

    const unsigned long preparesBefore = g_prepares();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(capture.OpenCaptureDevice()) << backend.LastErrorDetail();
    const auto deadline = start + std::chrono::seconds(20);
    while (!state.deviceFailed.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(state.deviceFailed.load());
    EXPECT_TRUE(log.Contains("ERROR:   waveIn device delivers no sound"));
    // Lost is the time that passed (the first overrun's device buffer included), not a
    // device buffer for every recovery.
    EXPECT_GE(state.lostSeconds.Load(), 2 * state.bufferSeconds.load());
    EXPECT_LE(state.lostSeconds.Load(), seconds + 1.0);
    // A recovery that brought nothing is tried again a period (0.1 s) later, not at once.
    const unsigned long recoveries = g_prepares() - preparesBefore;
    EXPECT_LE(recoveries, static_cast<unsigned long>(20 + 20 * seconds)) << "in " << seconds << " s";

    // The close does not wait for the pause to end.
    capture.CloseCaptureDevice();
    EXPECT_FALSE(state.pipelineReady.load());
}

}  // namespace
}  // namespace pelmora::test
