// SPDX-License-Identifier: GPL-3.0-or-later
// The program's device changes on a private PulseAudio server: the capture device and its
// mixer are the server's default source.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/AppCore.h"
#include "app/MixerAppView.h"
#include "capture/ThreadPriority.h"
#include "input/MixerControl.h"
#include "support/LogTexts.h"
#include "settings/SettingsFile.h"
#include "support/PrivatePulse.h"
#include "support/TaskSchedule.h"
#include "support/TempDir.h"
#include "support/UnderCi.h"

namespace pelmora {
namespace {

using test::g_pulse;
using test::g_pulseRunning;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new test::PulseEnvironment);

int CountText(const std::vector<std::string>& lines, const std::string& text) {
    int n = 0;
    for (const std::string& line : test::WithoutStamps(lines)) n += line == text ? 1 : 0;
    return n;
}

// Start-up beside a PipeWire socket on which no JACK client finds a server: alsa-lib's
// configuration names cards that are absent, and the JACK plugin's library would print on
// the terminal. Neither reaches the terminal or the log.
TEST(AppAlsaStart, StartingBesideAPipeWireSocketPrintsNothingAndLogsNoProbingNoise) {
    if (!g_pulseRunning) {
        if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
        GTEST_SKIP() << "no PulseAudio server could be started";
    }
    const std::string socketPath = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/pipewire-0";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);  // the socket file stays; nobody answers on it

    test::TempDir dir;
    test::MixerAppView view;
    AppCore core(dir.Path());
    testing::internal::CaptureStderr();
    core.Start(view);
    core.OnTimer();  // takes the libraries' messages into the log
    const std::string printed = testing::internal::GetCapturedStderr();
    ::unlink(socketPath.c_str());

    EXPECT_EQ(printed, "");
    EXPECT_TRUE(core.Pipeline().pipelineReady.load());
    for (const std::string& line : test::WithoutStamps(core.Log().Lines())) {
        EXPECT_NE(line.rfind("ALSA: ", 0), 0u) << line;
        EXPECT_NE(line.rfind("JACK: ", 0), 0u) << line;
    }
    core.Close();
}

TEST(AppAlsaMixer, ReopeningTheDeviceSetsTheMixerUpAgainAndLeaksNoDescriptors) {
    if (!g_pulseRunning) {
        if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
        GTEST_SKIP() << "no PulseAudio server could be started";
    }
    ASSERT_TRUE(test::PrivatePulse::SetSourceMuted(false));
    test::TempDir dir;
    test::MixerAppView view;
    AppCore core(dir.Path());
    core.Start(view);
    ASSERT_TRUE(core.Pipeline().pipelineReady.load());
    ASSERT_TRUE(core.Mixer().MixerOpen());
    EXPECT_EQ(view.page.sourceLines, std::vector<std::string>{"Monitor of Null Output"});
    EXPECT_TRUE(core.Mixer().VolumeReady());

    const auto other = [&core] { return core.Settings().formatIndex == 0 ? 1 : 0; };
    core.OnFormatSelected(other());  // the first reopening may settle what stays open
    const int before = test::OpenDescriptors();
    for (int i = 0; i < 10; ++i) {
        // Muted while the window is active: the set-up selects the line (unmutes) again.
        ASSERT_TRUE(test::PrivatePulse::SetSourceMuted(true));
        core.OnFormatSelected(other());
        ASSERT_TRUE(core.Pipeline().pipelineReady.load()) << i;
        EXPECT_TRUE(core.Mixer().MixerOpen()) << i;
        EXPECT_TRUE(test::WaitUntil([] { return !test::PrivatePulse::SourceMuted(); })) << i;
    }
    // Messages the released mixers posted are ignored.
    for (uint64_t handle : view.messages.Take()) core.OnMixerChange(handle);
    EXPECT_EQ(test::OpenDescriptors(), before);
    EXPECT_EQ(CountText(core.Log().Lines(), "SUCCESS: Mixer open"), 12);
    core.Close();
    EXPECT_FALSE(core.Mixer().MixerOpen());
}

pid_t ThreadNamed(const std::string& name) {
    for (pid_t tid : test::ThreadIds())
        if (test::ThreadSchedule(tid).name == name) return tid;
    return 0;
}

TEST(AppAlsaPriorities, TheSoundServersClientThreadsServeTheirThreadsNotTheInterface) {
    if (!g_pulseRunning) {
        if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
        GTEST_SKIP() << "no PulseAudio server could be started";
    }
    test::TempDir dir;
    {
        RecSettings s{};
        SetDefaultSettings(s, dir.Path());
        s.uiThreadPriority = 0;       // Idle: nice 19
        s.receiveThreadPriority = 2;  // Below Normal: nice 5
        ASSERT_TRUE(WriteSettingsFile(dir / "pelmora.ini", s));
    }
    // The interface thread is a thread of its own: the test's main thread keeps its level.
    std::thread interface([&] {
        const pid_t self = CurrentThreadId();
        const std::vector<pid_t> before = test::ThreadIds();
        test::MixerAppView view;
        AppCore core(dir.Path());
        core.Start(view);  // opens the device and the mixer after the priorities are set
        ASSERT_TRUE(core.Pipeline().pipelineReady.load());
        ASSERT_TRUE(core.Mixer().MixerOpen());
        int receiving = 0;
        for (pid_t tid : test::ThreadIds()) {
            if (tid == self || std::find(before.begin(), before.end(), tid) != before.end()) continue;
            const test::TaskSchedule t = test::ThreadSchedule(tid);
            EXPECT_NE(t.nice, 19) << t.name << " took the interface thread's level";
            receiving += t.nice == 5 ? 1 : 0;
        }
        // The receiving thread and the sound server's client thread that feeds it.
        EXPECT_GE(receiving, 2);
        ASSERT_GT(ThreadNamed("pelmora-pulse"), 0);
        EXPECT_EQ(test::ThreadSchedule(ThreadNamed("pelmora-pulse")).nice, 5);
        if (const pid_t mixer = ThreadNamed("pelmora-mixer")) {
            EXPECT_EQ(test::ThreadSchedule(mixer).nice, 0);
        }
        core.Close();
    });
    interface.join();
}

// The main window's message loop: mixer messages as they come, the timer once a second.
class MainLoop {
public:
    MainLoop(AppCore& core, test::MixerAppView& view) : core_(core), view_(view) {}

    template <typename Done>
    bool RunUntil(Done done, int seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            Turn();
        }
        return true;
    }
    void RunTicks(int ticks) {
        const int until = ticks_ + ticks;
        while (ticks_ < until) Turn();
    }
    int Messages() const { return messages_; }

private:
    void Turn() {
        if (view_.messages.WaitUntil(nextTick_))
            for (uint64_t handle : view_.messages.Take()) {
                ++messages_;
                core_.OnMixerChange(handle);
            }
        if (std::chrono::steady_clock::now() >= nextTick_) {
            core_.OnTimer();
            ++ticks_;
            nextTick_ += std::chrono::seconds(1);
        }
    }

    AppCore& core_;
    test::MixerAppView& view_;
    std::chrono::steady_clock::time_point nextTick_ = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    int ticks_ = 0;
    int messages_ = 0;
};

TEST(AppAlsaMixer, AKilledServerIsLoggedOnceLeftAloneWhileAwayAndRecordedFromAgainWhenBack) {
    if (!g_pulseRunning) {
        if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
        GTEST_SKIP() << "no PulseAudio server could be started";
    }
    test::TempDir dir;
    test::MixerAppView view;
    AppCore core(dir.Path());
    core.Start(view);
    core.Settings().writeUncompressed = 1;
    core.Settings().addTimestamp = 0;
    ASSERT_TRUE(core.Pipeline().pipelineReady.load());
    ASSERT_TRUE(core.Mixer().VolumeReady());
    MainLoop loop(core, view);
    core.OnRecord();
    ASSERT_TRUE(core.IsRecording());

    g_pulse->Kill();
    // The capture device fails and its mixer goes, whichever notices first.
    ASSERT_TRUE(loop.RunUntil(
        [&] { return !core.Mixer().MixerOpen() && core.Pipeline().deviceFailureReported.load(); }, 20));
    EXPECT_FALSE(core.IsRecording());
    EXPECT_FALSE(view.page.AnyEnabled());
    // While the server is away nothing is announced or logged again, however often the
    // device is tried (alsa-lib's own texts of the first attempts come once each).
    loop.RunTicks(2);
    const std::size_t linesAway = core.Log().Lines().size();
    const int messagesAway = loop.Messages();
    loop.RunTicks(3);
    EXPECT_EQ(loop.Messages(), messagesAway);
    EXPECT_LE(loop.Messages(), 1);
    EXPECT_EQ(core.Log().Lines().size(), linesAway);
    EXPECT_EQ(CountText(core.Log().Lines(), "ERROR:   waveIn device error occurred, try restart or reboot to recover"), 1);
    EXPECT_FALSE(core.Pipeline().pipelineReady.load());

    // Back: the device and its mixer within a second or two, and a recording takes sound.
    ASSERT_TRUE(g_pulse->Restart());
    ASSERT_TRUE(loop.RunUntil([&] { return core.Pipeline().pipelineReady.load() && core.Mixer().MixerOpen(); }, 20));
    EXPECT_TRUE(core.Mixer().VolumeReady());
    EXPECT_TRUE(view.page.Enabled(MixerItem::kVolumeSlider));
    EXPECT_EQ(CountText(core.Log().Lines(), "SUCCESS: waveIn device open"), 2);
    core.OnRecord();
    ASSERT_TRUE(core.IsRecording());
    EXPECT_TRUE(loop.RunUntil([&] { return core.Pipeline().writtenBytes.load() > 0; }, 20));
    core.OnRecord();
    core.Close();
}

}  // namespace
}  // namespace pelmora
