// SPDX-License-Identifier: GPL-3.0-or-later
// The server's mixer of a source on a private PulseAudio: the null sink's monitor, whose
// stereo volume is set and read with pactl.

#include <gtest/gtest.h>

#include <memory>

#include "input/MixerControl.h"
#include "input/MixerTestSupport.h"
#include "pulse/PulseMixer.h"
#include "pulse/PulseWaveIn.h"
#include "support/UnderCi.h"
#include "support/PrivatePulse.h"

namespace pelmora {
namespace {

using Lines = std::vector<std::string>;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new test::PulseEnvironment);

class PulseMixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::g_pulseRunning) {
            if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
            GTEST_SKIP() << "no PulseAudio server could be started";
        }
        ASSERT_TRUE(test::PrivatePulse::SetSourceVolume(40000, 20000));
        ASSERT_TRUE(test::PrivatePulse::SetSourceMuted(false));
        connection_ = PulseConnection::Start();
        ASSERT_TRUE(connection_ && connection_->Ready());
        backend_ = std::make_unique<PulseMixerBackend>(connection_, nullptr);
        control_ = std::make_unique<MixerControl>(*backend_, settings_, log_, [] { return false; });
        control_->AttachView(&view_);
        control_->SetMessageTarget(&messages_);
        control_->InitPadlock();
    }
    void TearDown() override {
        if (control_) control_->ReleaseMixer();
    }
    template <typename Done>
    bool PumpUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            if (messages_.Wait(1))
                for (uint64_t handle : messages_.Take()) control_->OnMixerEvents(handle);
        }
        return true;
    }

    std::shared_ptr<PulseConnection> connection_;
    std::unique_ptr<PulseMixerBackend> backend_;
    RecSettings settings_{};
    test::LinesLog log_;
    test::PageView view_;
    test::MixerMessages messages_;
    std::unique_ptr<MixerControl> control_;
};

TEST_F(PulseMixerTest, ASourceWithoutPortsIsOneLineNamedAfterItWithItsStereoVolume) {
    for (const char* device : {"tone.monitor", kDefaultSourceName}) {
        control_->SetupMixer(device);
        EXPECT_EQ(log_.Lines().back(), "SUCCESS: Mixer open") << device;
        EXPECT_EQ(view_.sourceLines, Lines{"Monitor of Null Output"});
        EXPECT_EQ(view_.selection, 0);
        EXPECT_TRUE(view_.Enabled(MixerItem::kVolumeSlider));
        EXPECT_TRUE(view_.Enabled(MixerItem::kBalanceSlider));
        // 40000 / 20000 with the normal volume (65536) as the maximum.
        EXPECT_EQ(view_.volume, 61);
        EXPECT_EQ(view_.balance, -50);
        control_->ReleaseMixer();
    }
    std::string id;
    EXPECT_LT(backend_->GetMixerId("no.such.source", &id), 0);
}

TEST_F(PulseMixerTest, SlidersSetTheSourceVolumeByTheWritingRule) {
    control_->SetupMixer("tone.monitor");
    control_->OnVolumeBalanceScroll(61, -50);
    // 65536 x 61 / 100 = 39976; the right channel pulled halfway to 0.
    EXPECT_TRUE(test::WaitUntil([] { return test::PrivatePulse::SourceVolume() == std::make_pair(39976L, 19988L); }))
        << test::PrivatePulse::SourceVolume().first << " " << test::PrivatePulse::SourceVolume().second;
    control_->OnVolumeBalanceScroll(50, 5);
    EXPECT_EQ(view_.balance, 0);
    EXPECT_TRUE(test::WaitUntil([] { return test::PrivatePulse::SourceVolume() == std::make_pair(32768L, 32768L); }));
}

TEST_F(PulseMixerTest, OutsideChangesMoveTheSlidersOnlyWhileTheProgramIsInTheBackground) {
    control_->SetupMixer("tone.monitor");
    view_.active = true;
    ASSERT_TRUE(test::PrivatePulse::SetSourceVolume(30000, 30000));
    ASSERT_TRUE(messages_.Wait(10));
    for (uint64_t handle : messages_.Take()) control_->OnMixerEvents(handle);
    EXPECT_EQ(view_.volume, 61);
    EXPECT_EQ(view_.balance, -50);

    view_.active = false;
    ASSERT_TRUE(test::PrivatePulse::SetSourceVolume(20000, 40000));
    EXPECT_TRUE(PumpUntil([&] { return view_.balance == 50; }));
    EXPECT_EQ(view_.volume, 61);
}

TEST_F(PulseMixerTest, SettingUpAMutedSourceTurnsItOnAsSelectingALineDoes) {
    ASSERT_TRUE(test::PrivatePulse::SetSourceMuted(true));
    control_->SetupMixer("tone.monitor");
    EXPECT_TRUE(test::WaitUntil([] { return !test::PrivatePulse::SourceMuted(); }));
}

TEST_F(PulseMixerTest, WithTheServerGoneTheFailureIsReportedAndNothingHangs) {
    control_->SetupMixer("tone.monitor");
    ASSERT_TRUE(control_->MixerOpen());
    test::g_pulse->Kill();
    ASSERT_TRUE(test::WaitUntil([&] { return !connection_->Ready(); }));
    control_->OnVolumeBalanceScroll(20, 0);  // answered at once, not after a wait
    control_->ReleaseMixer();
    control_->SetupMixer("tone.monitor");
    EXPECT_FALSE(control_->MixerOpen());
    ASSERT_TRUE(test::g_pulse->Restart());
    ASSERT_TRUE(test::WaitUntil([&] { return connection_->Ready(); }));
    control_->SetupMixer("tone.monitor");
    EXPECT_TRUE(control_->MixerOpen());
}

}  // namespace
}  // namespace pelmora
