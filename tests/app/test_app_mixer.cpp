// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer in the program's start-up, device changes, settings loading and close, on the
// simulated wave input and the simulated mixer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "capture/SimulatedWaveIn.h"
#include "input/MixerControl.h"
#include "app/MixerAppView.h"
#include "input/SimulatedMixer.h"
#include "settings/SettingsFile.h"
#include "support/LogTexts.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

class AppMixerTest : public ::testing::Test {
protected:
    void Start(SimulatedWaveInConfig wave = {}) {
        auto mixer = std::make_unique<SimulatedMixerBackend>();
        mixer_ = mixer.get();
        core_ = std::make_unique<AppCore>(dir_.Path(), std::make_unique<SimulatedWaveInBackend>(wave), std::move(mixer));
        core_->Start(view_);
    }
    void Pump() {
        for (uint64_t handle : view_.messages.Take()) core_->OnMixerChange(handle);
    }
    std::vector<std::string> Log() { return test::WithoutStamps(core_->Log().Lines()); }
    std::size_t IndexOf(const std::string& text) {
        const auto lines = Log();
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == text) return i;
        return lines.size();
    }
    void TearDown() override { core_.reset(); }

    test::TempDir dir_;
    test::MixerAppView view_;
    SimulatedMixerBackend* mixer_ = nullptr;
    std::unique_ptr<AppCore> core_;
};

TEST_F(AppMixerTest, StartUpSetsUpTheMixerOnceTheDeviceIsOpenWithThePadlockOpen) {
    Start();
    EXPECT_LT(IndexOf("SUCCESS: waveIn device open"), IndexOf("SUCCESS: Mixer open"));
    EXPECT_LT(IndexOf("SUCCESS: Mixer open"), Log().size());
    EXPECT_EQ(mixer_->OpenMixers(), 1);
    EXPECT_FALSE(view_.page.locked);
    EXPECT_EQ(view_.page.focusMoves, 1);
    EXPECT_EQ(view_.page.sourceLines, (std::vector<std::string>{"Line In", "Microphone"}));
    EXPECT_TRUE(view_.page.Enabled(MixerItem::kVolumeSlider));
    EXPECT_FALSE(mixer_->LastCaptureDevice().empty());
}

TEST_F(AppMixerTest, WithoutAnOpenDeviceNoMixerIsSetUp) {
    SimulatedWaveInConfig busy;
    busy.deviceBusy = true;
    Start(busy);
    EXPECT_EQ(mixer_->OpenCalls(), 0);
    EXPECT_FALSE(view_.page.AnyEnabled());
    EXPECT_FALSE(view_.page.locked);  // the padlock still starts open
}

TEST_F(AppMixerTest, ANewFormatReleasesTheMixerAndSetsItUpAgainWithTheStoredLine) {
    Start();
    core_->Mixer().OnSourceSelected(1);
    EXPECT_EQ(mixer_->ListValues(), (std::vector<uint32_t>{0, 0, 1, 1}));
    // Someone switches the mixer back while the program is the active window: not followed.
    view_.page.active = true;
    mixer_->ChangeListFromOutside({1, 1, 0, 0});
    Pump();
    EXPECT_EQ(core_->Settings().sourceLineIndex, 1);
    for (int i = 0; i < 10; ++i) {
        core_->OnFormatSelected((core_->Settings().formatIndex + 1) % 2);
        EXPECT_EQ(mixer_->OpenMixers(), 1);
        EXPECT_EQ(mixer_->ListValues(), (std::vector<uint32_t>{0, 0, 1, 1})) << i;
        EXPECT_EQ(view_.page.selection, 1);
    }
    EXPECT_EQ(mixer_->OpenCalls(), 11);
}

TEST_F(AppMixerTest, LoadingSettingsSetsTheMixerUpAgain) {
    Start();
    RecSettings preset = core_->Settings();
    preset.sourceLineIndex = 1;
    std::string error;
    ASSERT_TRUE(WriteSettingsFile(dir_ / "preset.pmr", preset, &error)) << error;
    core_->LoadPreset(dir_ / "preset.pmr");
    EXPECT_EQ(mixer_->OpenCalls(), 2);
    EXPECT_EQ(mixer_->OpenMixers(), 1);
    EXPECT_EQ(mixer_->ListValues(), (std::vector<uint32_t>{0, 0, 1, 1}));
}

TEST_F(AppMixerTest, CloseReleasesTheMixerAndLaterMessagesAreIgnored) {
    Start();
    view_.page.active = false;
    mixer_->ChangeVolumeFromOutside(0, {1, 1});
    core_->Close();
    EXPECT_EQ(mixer_->OpenMixers(), 0);
    Pump();
    EXPECT_EQ(view_.page.volume, 61);
}

TEST_F(AppMixerTest, ALineChangeDuringARecordingIsAWarningAndTheMixerStaysUsable) {
    Start();
    core_->Settings().writeUncompressed = 1;
    core_->OnRecord();
    ASSERT_TRUE(core_->IsRecording());
    core_->Mixer().OnSourceSelected(1);
    EXPECT_LT(IndexOf("WARNING: Line changed to - Microphone"), Log().size());
    core_->Mixer().OnVolumeBalanceScroll(61, -50);
    EXPECT_EQ(mixer_->LineVolume(1), (std::vector<uint32_t>{39976, 19988}));
    core_->OnRecord();
}

}  // namespace
}  // namespace pelmora
