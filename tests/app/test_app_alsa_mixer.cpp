// The program's device changes on a private PulseAudio server: the capture device and its
// mixer are the server's default source.

#include <gtest/gtest.h>

#include <memory>

#include "app/AppCore.h"
#include "app/MixerAppView.h"
#include "input/MixerControl.h"
#include "support/LogTexts.h"
#include "support/PrivatePulse.h"
#include "support/TempDir.h"

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

TEST(AppAlsaMixer, ReopeningTheDeviceSetsTheMixerUpAgainAndLeaksNoDescriptors) {
    if (!g_pulseRunning) GTEST_SKIP() << "no PulseAudio server could be started";
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

}  // namespace
}  // namespace pelmora
