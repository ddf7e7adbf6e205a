// SPDX-License-Identifier: GPL-3.0-or-later
// The program on a private PulseAudio: the device list follows sources and the server, and
// the device in use is found again by name.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "app/MixerAppView.h"
#include "settings/ConfFile.h"
#include "settings/SettingsFile.h"
#include "support/UnderCi.h"
#include "support/LogTexts.h"
#include "support/PrivatePulse.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new test::PulseEnvironment);

class ListView : public test::MixerAppView {
public:
    void SetDeviceList(const std::vector<std::string>& items) override { devices = items; }
    void SelectDevice(int position) override { selected = position; }
    std::vector<std::string> devices;
    int selected = -1;
};

int Count(AppCore& core, const std::string& text) {
    const auto lines = test::WithoutStamps(core.Log().Lines());
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

int Position(const std::vector<std::string>& list, const std::string& text) {
    const auto at = std::find(list.begin(), list.end(), text);
    return at == list.end() ? -1 : static_cast<int>(at - list.begin());
}

// Runs the window's once-a-second timer until `condition` holds (at most ten seconds).
template <typename Condition>
bool TimerUntil(AppCore& core, Condition condition) {
    return test::WaitUntil([&] {
        core.OnTimer();
        return condition();
    });
}

int LoadModule(const std::string& args) { return std::atoi(test::CommandOutput("pactl load-module " + args).c_str()); }
void UnloadModule(int id) { test::CommandSucceeds("pactl unload-module " + std::to_string(id)); }

TEST(AppOnServer, TheListFollowsTheServerAndTheDeviceInUseFailsAndComesBackByName) {
    if (!test::g_pulseRunning) {
        if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
        GTEST_SKIP() << "no PulseAudio server could be started";
    }
    test::TempDir dir;
    ListView view;
    AppCore core(dir.Path());
    core.Start(view);
    ASSERT_GE(view.devices.size(), 2u);
    EXPECT_EQ(view.devices[0], "Default source");
    EXPECT_NE(Position(view.devices, "Monitor of Null Output"), -1);
    ASSERT_TRUE(core.Pipeline().pipelineReady.load());

    // A source appears: listed within a timer tick, the capture untouched.
    int extra = LoadModule("module-null-source source_name=extra description=Extra");
    ASSERT_GT(extra, 0);
    ASSERT_TRUE(TimerUntil(core, [&] { return Position(view.devices, "Extra") >= 0; }));
    EXPECT_EQ(core.Settings().deviceIndex, 0);
    EXPECT_EQ(Count(core, "SUCCESS: waveIn device open"), 1);
    EXPECT_TRUE(core.Pipeline().pipelineReady.load());

    // Record from it; then it goes.
    core.OnDeviceSelected(Position(view.devices, "Extra"));
    ASSERT_TRUE(core.Pipeline().pipelineReady.load());
    EXPECT_EQ(Count(core, "SUCCESS: waveIn device open"), 2);
    UnloadModule(extra);
    ASSERT_TRUE(TimerUntil(core, [&] { return !core.Pipeline().pipelineReady.load(); }));
    // Still the selected entry, waiting for its source.
    EXPECT_EQ(view.devices[static_cast<std::size_t>(core.Settings().deviceIndex)], "Extra");
    extra = LoadModule("module-null-source source_name=extra description=Extra");
    ASSERT_TRUE(TimerUntil(core, [&] { return Count(core, "SUCCESS: waveIn device open") == 3; }));
    EXPECT_TRUE(core.Pipeline().pipelineReady.load());
    EXPECT_EQ(view.devices[static_cast<std::size_t>(core.Settings().deviceIndex)], "Extra");

    // The server dies and comes back.
    test::g_pulse->Kill();
    ASSERT_TRUE(TimerUntil(core, [&] { return !core.Pipeline().pipelineReady.load(); }));
    ASSERT_TRUE(TimerUntil(core, [&] { return Position(view.devices, "Default source") < 0; }));
    EXPECT_EQ(view.devices[static_cast<std::size_t>(core.Settings().deviceIndex)], "Extra");
    ASSERT_TRUE(test::g_pulse->Restart());
    extra = LoadModule("module-null-source source_name=extra description=Extra");
    ASSERT_TRUE(TimerUntil(core, [&] { return Count(core, "SUCCESS: waveIn device open") == 4; }));
    EXPECT_EQ(view.devices[0], "Default source");
    EXPECT_EQ(view.devices[static_cast<std::size_t>(core.Settings().deviceIndex)], "Extra");
    EXPECT_EQ(view.selected, core.Settings().deviceIndex);
    core.Close();
    UnloadModule(extra);

    // Remembered by its server name; absent at the next start, the default records instead.
    ConfFile conf(dir / "pelmora.conf", *static_cast<LogSink*>(&core.Log()));
    EXPECT_EQ(conf.Text({"input", "device"}, ""), "extra");
    ListView again;
    AppCore next(dir.Path());
    next.Start(again);
    EXPECT_EQ(Count(next, "WARNING: Input device \"extra\" is not present, using \"Default source\" instead"), 1);
    EXPECT_EQ(next.Settings().deviceIndex, 0);
    EXPECT_TRUE(next.Pipeline().pipelineReady.load());
    next.Close();
}

int NiceOf(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    // After the name: state is field 3; nice is field 19.
    for (int i = 3; i <= 19 && fields >> field; ++i) {
    }
    return std::atoi(field.c_str());
}

TEST(AppOnServer, TheServersClientThreadRunsAtTheReceivingThreadsLevel) {
    if (!test::g_pulseRunning) {
        if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
        GTEST_SKIP() << "no PulseAudio server could be started";
    }
    test::TempDir dir;
    RecSettings s{};
    SetDefaultSettings(s, dir.Path());
    s.processPriorityClass = 0;   // Idle: nice 10 plus each level
    s.receiveThreadPriority = 2;  // Below Normal: 5 more
    ASSERT_TRUE(WriteSettingsFile(dir / "pelmora.ini", s));
    ListView view;
    AppCore core(dir.Path());
    core.Start(view);
    ASSERT_GT(core.ServerThreadId(), 0);
    EXPECT_EQ(NiceOf(core.ServerThreadId()), NiceOf(core.ReceiveThreadId()));
    EXPECT_EQ(NiceOf(core.ServerThreadId()), 15);
    core.Close();
}

}  // namespace
}  // namespace pelmora
