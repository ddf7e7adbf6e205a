// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA mixer backend on a real control device: ALSA's pulse control plugin on a private
// PulseAudio server, whose "Capture" element is the default source's stereo volume and mute.

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "input/AlsaMixer.h"
#include "input/MixerControl.h"
#include "input/MixerTestSupport.h"
#include "support/PrivatePulse.h"
#include "support/UnderCi.h"

namespace pelmora {
namespace {

using Lines = std::vector<std::string>;

using test::g_pulse;
using test::g_pulseRunning;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new test::PulseEnvironment);

// The test control plugin, named "pelmora_removable" in the private HOME's .asoundrc.
class RemovableControls : public ::testing::Environment {
public:
    void SetUp() override {
        const char* home = std::getenv("HOME");
        if (!home) return;
        std::ofstream(std::string(home) + "/.asoundrc", std::ios::app)
            << "ctl.pelmora_removable { type pelmora_removable }\n"
               "ctl_type.pelmora_removable { lib \"" PELMORA_REMOVABLE_CTL "\" }\n";
        snd_config_update_free_global();  // read again at the next use
        library_ = ::dlopen(PELMORA_REMOVABLE_CTL, RTLD_NOW);
        if (!library_) return;
        remove_ = reinterpret_cast<int (*)(const char*)>(::dlsym(library_, "pelmora_removable_remove"));
        hangUp_ = reinterpret_cast<int (*)()>(::dlsym(library_, "pelmora_removable_hang_up"));
    }
    void TearDown() override {
        if (library_) ::dlclose(library_);
    }
    static bool Ready() { return remove_ && hangUp_; }
    static int Remove(const char* element) { return remove_(element); }
    static int HangUp() { return hangUp_(); }

private:
    void* library_ = nullptr;
    static inline int (*remove_)(const char*) = nullptr;
    static inline int (*hangUp_)() = nullptr;
};

const auto* const g_removable = ::testing::AddGlobalTestEnvironment(new RemovableControls);

TEST(AlsaControlDevice, CardDevicesUseTheCardsControlDeviceAndPluginsTheirOwnName) {
    EXPECT_EQ(ControlDeviceFor("hw:0,0"), "hw:0");
    EXPECT_EQ(ControlDeviceFor("hw:1"), "hw:1");
    EXPECT_EQ(ControlDeviceFor("plughw:CARD=PCH,DEV=0"), "hw:CARD=PCH");
    EXPECT_EQ(ControlDeviceFor("sysdefault:CARD=PCH"), "hw:CARD=PCH");
    EXPECT_EQ(ControlDeviceFor("dsnoop:CARD=\"USB\",DEV=0"), "hw:CARD=USB");
    EXPECT_EQ(ControlDeviceFor("plughw:2,0"), "hw:2");
    EXPECT_EQ(ControlDeviceFor("default"), "default");
    EXPECT_EQ(ControlDeviceFor("pulse"), "pulse");
    EXPECT_EQ(ControlDeviceFor("pipewire"), "pipewire");
    EXPECT_EQ(ControlDeviceFor("sysdefault"), "sysdefault");
}

class AlsaMixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!g_pulseRunning) {
            if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
            GTEST_SKIP() << "no PulseAudio server could be started";
        }
        ASSERT_TRUE(test::PrivatePulse::SetSourceVolume(40000, 20000));
        ASSERT_TRUE(test::PrivatePulse::SetSourceMuted(false));
        control_ = std::make_unique<MixerControl>(alsa_, settings_, log_, [] { return false; });
        control_->AttachView(&view_);
        control_->SetMessageTarget(&messages_);
        control_->InitPadlock();
    }
    void TearDown() override {
        if (control_) control_->ReleaseMixer();
    }
    // Handles the mixer's messages as the main window does, until `done` or 10 s.
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

    AlsaMixer alsa_;
    RecSettings settings_{};
    test::LinesLog log_;
    test::PageView view_;
    test::MixerMessages messages_;
    std::unique_ptr<MixerControl> control_;
};

TEST_F(AlsaMixerTest, TheDefaultDevicesMixerIsItsControlDevice) {
    std::string id;
    EXPECT_EQ(alsa_.GetMixerId("default", &id), 0);
    EXPECT_EQ(id, "default");
    EXPECT_LT(alsa_.GetMixerId("pelmora_no_such_device", &id), 0);
    control_->SetupMixer("pelmora_no_such_device");
    const Lines lines = log_.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].empty());
    EXPECT_EQ(lines[0].find("ERROR:"), std::string::npos);  // alsa-lib's own text first
    EXPECT_EQ(lines[1], "ERROR:   Can not obtain mixer ID. Mixer will be disabled");
}

TEST_F(AlsaMixerTest, TheCaptureElementIsTheLineWithTheSourcesStereoVolume) {
    control_->SetupMixer("default");
    EXPECT_EQ(log_.Lines(), Lines{"SUCCESS: Mixer open"});
    EXPECT_EQ(view_.sourceLines, Lines{"Capture"});
    EXPECT_EQ(view_.selection, 0);
    EXPECT_TRUE(view_.Enabled(MixerItem::kVolumeSlider));
    EXPECT_TRUE(view_.Enabled(MixerItem::kBalanceSlider));
    EXPECT_EQ(control_->SelectedLineChannels(), 2u);
    // 40000 / 20000 on 0..65536.
    EXPECT_EQ(view_.volume, 61);
    EXPECT_EQ(view_.balance, -50);
}

TEST_F(AlsaMixerTest, SlidersSetTheSourceVolumeByTheWritingRule) {
    control_->SetupMixer("default");
    control_->OnVolumeBalanceScroll(61, -50);
    // 65536 x 61 / 100 = 39976; the right channel pulled halfway to 0.
    EXPECT_TRUE(test::WaitUntil([] { return test::PrivatePulse::SourceVolume() == std::make_pair(39976L, 19988L); }))
        << test::PrivatePulse::SourceVolume().first << " " << test::PrivatePulse::SourceVolume().second;
    control_->OnVolumeBalanceScroll(50, 5);
    EXPECT_EQ(view_.balance, 0);
    EXPECT_TRUE(test::WaitUntil([] { return test::PrivatePulse::SourceVolume() == std::make_pair(32768L, 32768L); }));
}

TEST_F(AlsaMixerTest, OutsideChangesMoveTheSlidersOnlyWhileTheProgramIsInTheBackground) {
    control_->SetupMixer("default");
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

TEST_F(AlsaMixerTest, TheProgramsOwnWritesDoNotComeBack) {
    control_->SetupMixer("default");
    view_.volumeHistory.clear();
    control_->OnVolumeBalanceScroll(33, -47);  // read back it would show as 32
    // The control device wakes up for the program's own change too.
    ASSERT_TRUE(messages_.Wait(10));
    for (uint64_t handle : messages_.Take()) control_->OnMixerEvents(handle);
    EXPECT_TRUE(view_.volumeHistory.empty());
    // A later outside change orders after the write's own notification.
    ASSERT_TRUE(test::PrivatePulse::SetSourceVolume(10000, 10000));
    EXPECT_TRUE(PumpUntil([&] { return view_.volume == 15; }));
    EXPECT_EQ(view_.volumeHistory, std::vector<int>{15});
}

TEST_F(AlsaMixerTest, ReleasingAndSettingUpAgainReappliesTheLineAndLeaksNoDescriptors) {
    control_->SetupMixer("default");
    control_->ReleaseMixer();
    const int before = test::OpenDescriptors();
    for (int i = 0; i < 10; ++i) {
        // Muted in between, the line is selected (unmuted) again by the set-up.
        ASSERT_TRUE(test::PrivatePulse::SetSourceMuted(true));
        control_->SetupMixer("default");
        EXPECT_TRUE(test::WaitUntil([] { return !test::PrivatePulse::SourceMuted(); })) << i;
        EXPECT_TRUE(control_->VolumeReady());
        control_->ReleaseMixer();
    }
    EXPECT_EQ(test::OpenDescriptors(), before);
}


TEST_F(AlsaMixerTest, AServerThatDiesEndsTheWatchWithOneLineAndTheMixerComesBackWithIt) {
    control_->SetupMixer("default");
    ASSERT_TRUE(control_->VolumeReady());
    log_.Clear();
    g_pulse->Kill();
    // The dead server's control device stays readable and fails every read: once handled,
    // the mixer is released and nothing more is announced.
    EXPECT_TRUE(PumpUntil([&] { return !control_->MixerOpen(); }));
    EXPECT_TRUE(messages_.Take().empty());
    const Lines lines = log_.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("ERROR:   Mixer device lost (", 0), 0u) << lines[0];
    EXPECT_FALSE(view_.AnyEnabled());

    ASSERT_TRUE(g_pulse->Restart());
    ASSERT_TRUE(test::PrivatePulse::SetSourceVolume(40000, 20000));
    control_->SetupMixer("default");
    EXPECT_TRUE(control_->VolumeReady());
    EXPECT_TRUE(view_.Enabled(MixerItem::kVolumeSlider));
    EXPECT_EQ(view_.volume, 61);
}


class RemovableMixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RemovableControls::Ready()) << dlerror();
        control_ = std::make_unique<MixerControl>(alsa_, settings_, log_, [] { return false; });
        control_->AttachView(&view_);
        control_->SetMessageTarget(&messages_);
        control_->InitPadlock();
        control_->SetupMixer("pelmora_removable");
        ASSERT_EQ(log_.Lines(), Lines{"SUCCESS: Mixer open"});
        ASSERT_EQ(view_.sourceLines, (Lines{"Mic", "Line"}));
        ASSERT_TRUE(control_->VolumeReady());
        log_.Clear();
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

    AlsaMixer alsa_;
    RecSettings settings_{};
    test::LinesLog log_;
    test::PageView view_;
    test::MixerMessages messages_;
    std::unique_ptr<MixerControl> control_;
};

TEST_F(RemovableMixerTest, RemovedElementsAreNeverUsedAgain) {
    // Another line's volume: what is shown stays usable.
    ASSERT_EQ(RemovableControls::Remove("Line Capture Volume"), 0);
    ASSERT_TRUE(messages_.Wait(10));
    for (uint64_t handle : messages_.Take()) control_->OnMixerEvents(handle);
    control_->OnVolumeBalanceScroll(50, 0);
    EXPECT_TRUE(control_->VolumeReady());
    EXPECT_TRUE(view_.Enabled(MixerItem::kVolumeSlider));

    // The shown line's volume: Volume and Balance go; moving them touches nothing.
    ASSERT_EQ(RemovableControls::Remove("Mic Capture Volume"), 0);
    EXPECT_TRUE(PumpUntil([&] { return !control_->VolumeReady(); }));
    EXPECT_FALSE(view_.Enabled(MixerItem::kVolumeSlider));
    EXPECT_FALSE(view_.Enabled(MixerItem::kBalanceSlider));
    EXPECT_TRUE(view_.Enabled(MixerItem::kSourceList));
    control_->OnVolumeBalanceScroll(20, 30);
    control_->OnSourceSelected(0);

    // The source selection itself.
    ASSERT_EQ(RemovableControls::Remove("Input Source"), 0);
    EXPECT_TRUE(PumpUntil([&] { return !control_->SourceListReady(); }));
    EXPECT_FALSE(view_.AnyEnabled());
    control_->OnSourceSelected(1);
    control_->OnVolumeBalanceScroll(20, 30);
    EXPECT_TRUE(control_->MixerOpen());
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(RemovableMixerTest, AControlDeviceThatHangsUpAloneEndsTheWatchWithOneLine) {
    ASSERT_EQ(RemovableControls::HangUp(), 0);
    EXPECT_TRUE(PumpUntil([&] { return !control_->MixerOpen(); }));
    EXPECT_TRUE(messages_.Take().empty());
    EXPECT_EQ(log_.Lines(), Lines{"ERROR:   Mixer device lost (No such device). Mixer will be disabled"});
    EXPECT_FALSE(view_.AnyEnabled());
}

}  // namespace
}  // namespace pelmora
