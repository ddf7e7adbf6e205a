// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer line control on the simulated mixer: set-up, line selection, volume and balance,
// the padlock, release, outside changes and every failure line.

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "input/MixerControl.h"
#include "input/MixerRules.h"
#include "input/SimulatedMixer.h"
#include "input/MixerTestSupport.h"

namespace pelmora {
namespace {

using Lines = std::vector<std::string>;
using Values = std::vector<uint32_t>;

SimulatedMixerLine Line(const std::string& name, uint32_t channels, Values volume) {
    SimulatedMixerLine l;
    l.name = name;
    l.channels = channels;
    l.volume = std::move(volume);
    return l;
}

class MixerControlTest : public ::testing::Test {
protected:
    void Build(SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig(), int sourceLineIndex = 0) {
        control_.reset();
        view_ = test::PageView{};
        log_.Clear();
        messages_.Take();
        settings_ = RecSettings{};
        settings_.sourceLineIndex = sourceLineIndex;
        mixer_ = std::make_unique<SimulatedMixerBackend>(std::move(config));
        control_ = std::make_unique<MixerControl>(*mixer_, settings_, log_, [this] { return recording_; });
        control_->AttachView(&view_);
        control_->SetMessageTarget(&messages_);
        control_->InitPadlock();
    }
    void SetUpMixer() { control_->SetupMixer("sim0"); }
    // The main window handles its queued mixer messages.
    void Pump() {
        for (uint64_t handle : messages_.Take()) control_->OnMixerEvents(handle);
    }
    bool Enabled(MixerItem item) const { return view_.Enabled(item); }

    RecSettings settings_{};
    test::LinesLog log_;
    test::PageView view_;
    test::MixerMessages messages_;
    bool recording_ = false;
    std::unique_ptr<SimulatedMixerBackend> mixer_;
    std::unique_ptr<MixerControl> control_;
};

TEST_F(MixerControlTest, SetupFillsTheSourceListAndShowsTheStoredLinesLevels) {
    Build();
    SetUpMixer();
    EXPECT_EQ(log_.Lines(), Lines{"SUCCESS: Mixer open"});
    EXPECT_EQ(mixer_->LastCaptureDevice(), "sim0");
    EXPECT_EQ(view_.sourceLines, (Lines{"Line In", "Microphone"}));
    EXPECT_EQ(view_.selection, 0);
    // L 40000 / R 20000 on 0..65535.
    EXPECT_EQ(view_.volume, 61);
    EXPECT_EQ(view_.balance, -50);
    for (MixerItem item : {MixerItem::kSourceList, MixerItem::kVolumeSlider, MixerItem::kBalanceSlider,
                           MixerItem::kSourceLabel, MixerItem::kVolumeLabel, MixerItem::kBalanceLabel})
        EXPECT_TRUE(Enabled(item)) << static_cast<int>(item);
    EXPECT_EQ(mixer_->ListValues(), (Values{1, 1, 0, 0}));
    EXPECT_EQ(mixer_->LineVolume(0), (Values{40000, 20000}));  // reading writes nothing
    EXPECT_EQ(settings_.sourceLineIndex, 0);
}

TEST_F(MixerControlTest, SlidersWriteTheLevelsByTheWritingRule) {
    Build();
    SetUpMixer();
    control_->OnVolumeBalanceScroll(61, -50);
    EXPECT_EQ(mixer_->LineVolume(0), (Values{39976, 19988}));
    control_->OnVolumeBalanceScroll(61, 8);
    EXPECT_EQ(view_.balance, 0);
    EXPECT_EQ(control_->BalancePosition(), 0);
    EXPECT_EQ(mixer_->LineVolume(0), (Values{39976, 39976}));
    control_->OnVolumeBalanceScroll(61, -10);
    EXPECT_EQ(view_.balance, 0);
    EXPECT_EQ(mixer_->LineVolume(0), (Values{39976, 39976}));
    control_->OnVolumeBalanceScroll(100, 60);
    EXPECT_EQ(view_.balance, 0);  // not moved: outside the dead zone
    EXPECT_EQ(mixer_->LineVolume(0), (Values{26214, 65535}));
}

TEST_F(MixerControlTest, AOneChannelLineKeepsBalanceDisabledAndGetsOneValue) {
    SimulatedMixerConfig config;
    config.lines = {Line("Mic", 1, {30000}), Line("Line", 2, {0, 0})};
    config.selected = {0};
    Build(config);
    SetUpMixer();
    EXPECT_TRUE(Enabled(MixerItem::kVolumeSlider));
    EXPECT_TRUE(Enabled(MixerItem::kVolumeLabel));
    EXPECT_FALSE(Enabled(MixerItem::kBalanceSlider));
    EXPECT_FALSE(Enabled(MixerItem::kBalanceLabel));
    EXPECT_EQ(view_.volume, 45);
    EXPECT_EQ(view_.balance, 0);
    control_->OnVolumeBalanceScroll(50, view_.balance);
    EXPECT_EQ(mixer_->LineVolume(0), (Values{32767}));
    // Unlocking after a lock does not enable Balance either.
    control_->ToggleMixerControls();
    control_->ToggleMixerControls();
    EXPECT_FALSE(Enabled(MixerItem::kBalanceSlider));
    EXPECT_FALSE(Enabled(MixerItem::kBalanceLabel));
    // A stereo line enables it.
    control_->OnSourceSelected(1);
    EXPECT_TRUE(Enabled(MixerItem::kBalanceSlider));
    EXPECT_TRUE(Enabled(MixerItem::kBalanceLabel));
}

TEST_F(MixerControlTest, SingleSelectChoosesOneLineAndMultipleSelectAddsToTheMix) {
    Build();
    SetUpMixer();
    control_->OnSourceSelected(1);
    EXPECT_EQ(mixer_->ListValues(), (Values{0, 0, 1, 1}));
    EXPECT_EQ(settings_.sourceLineIndex, 1);
    EXPECT_EQ(view_.volume, 45);  // the Microphone's 30000 / 30000
    EXPECT_EQ(view_.balance, 0);

    SimulatedMixerConfig multi;
    multi.singleSelect = false;
    multi.lines = {Line("CD", 2, {0, 0}), Line("Mic", 2, {0, 0}), Line("Line", 2, {0, 0})};
    multi.selected = {0};
    Build(multi);
    SetUpMixer();
    EXPECT_EQ(mixer_->ListValues(), (Values{1, 1, 0, 0, 0, 0}));
    // Another program adds the Mic; the program's choice of Line keeps both.
    view_.active = true;
    mixer_->ChangeListFromOutside({1, 1, 1, 1, 0, 0});
    Pump();
    view_.active = false;
    control_->OnSourceSelected(2);
    EXPECT_EQ(mixer_->ListValues(), (Values{1, 1, 1, 1, 1, 1}));
}

TEST_F(MixerControlTest, AUniformListHasOneValuePerLine) {
    SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig();
    config.uniformList = true;
    Build(config, 1);
    SetUpMixer();
    EXPECT_EQ(view_.sourceLines, (Lines{"Line In", "Microphone"}));
    EXPECT_EQ(mixer_->ListValues(), (Values{0, 1}));
}

TEST_F(MixerControlTest, LinesArePairedByNameAndOtherwiseByPosition) {
    SimulatedMixerConfig config;
    config.lines = {Line("A", 2, {10000, 10000}), Line("B", 2, {50000, 50000})};
    config.lines[0].listName = "B";  // the list's first item names the second line
    config.lines[1].listName = "Z";  // and its second item names no line
    Build(config, 0);
    SetUpMixer();
    EXPECT_EQ(view_.sourceLines, (Lines{"B", "Z"}));
    EXPECT_EQ(view_.volume, 50000 * 100 / 65535);
    control_->OnSourceSelected(1);
    EXPECT_EQ(view_.volume, 50000 * 100 / 65535);  // by position: the second line
    control_->OnVolumeBalanceScroll(10, 0);
    EXPECT_EQ(mixer_->LineVolume(1), (Values{6553, 6553}));
    EXPECT_EQ(mixer_->LineVolume(0), (Values{10000, 10000}));
}

TEST_F(MixerControlTest, ALineWithoutVolumeIsReportedAndLeavesBothSlidersDisabled) {
    SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig();
    config.lines[1].hasVolume = false;
    Build(config, 1);
    SetUpMixer();
    EXPECT_EQ(log_.Lines(),
              (Lines{"SUCCESS: Mixer open", "No such file or directory", "Can not find line volume control. Will be disabled"}));
    EXPECT_TRUE(Enabled(MixerItem::kSourceList));
    EXPECT_TRUE(Enabled(MixerItem::kSourceLabel));
    for (MixerItem item : {MixerItem::kVolumeSlider, MixerItem::kBalanceSlider, MixerItem::kVolumeLabel,
                           MixerItem::kBalanceLabel})
        EXPECT_FALSE(Enabled(item));
    control_->OnVolumeBalanceScroll(50, 0);
    EXPECT_EQ(mixer_->VolumeWrites(), 0);
}

TEST_F(MixerControlTest, ALineWithNoControlsOrMoreThanTwoChannelsSilentlyGetsNoVolume) {
    SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig();
    config.lines[0].controls = 0;
    config.lines[1].channels = 4;
    config.lines[1].volume = {1, 2, 3, 4};
    Build(config, 0);
    SetUpMixer();
    control_->OnSourceSelected(1);
    EXPECT_EQ(log_.Lines(), Lines{"SUCCESS: Mixer open"});
    EXPECT_EQ(mixer_->VolumeLookups(), 0);
    EXPECT_FALSE(Enabled(MixerItem::kVolumeSlider));
    EXPECT_FALSE(Enabled(MixerItem::kVolumeLabel));
}

struct FailureCase {
    SimulatedMixerStep step;
    Lines log;
    bool mixerOpen;
    bool listFilled;
};

class MixerFailureTest : public MixerControlTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(MixerFailureTest, EachFailingStepLogsTheSystemTextThenItsLine) {
    const FailureCase& c = GetParam();
    SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig();
    config.failAt = c.step;
    Build(config);
    SetUpMixer();
    EXPECT_EQ(log_.Lines(), c.log);
    EXPECT_EQ(control_->MixerOpen(), c.mixerOpen);
    EXPECT_EQ(mixer_->OpenMixers(), c.mixerOpen ? 1 : 0);
    EXPECT_EQ(!view_.sourceLines.empty(), c.listFilled);
    if (!c.listFilled) {
        EXPECT_FALSE(view_.AnyEnabled());
        EXPECT_FALSE(control_->SourceListReady());
    }
    EXPECT_FALSE(Enabled(MixerItem::kVolumeSlider));
    EXPECT_FALSE(control_->VolumeReady());
    // A release afterwards leaves nothing open.
    control_->ReleaseMixer();
    EXPECT_EQ(mixer_->OpenMixers(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    FailureTable, MixerFailureTest,
    ::testing::Values(
        FailureCase{SimulatedMixerStep::kGetMixerId,
                    {"No such device", "ERROR:   Can not obtain mixer ID. Mixer will be disabled"}, false, false},
        FailureCase{SimulatedMixerStep::kOpen,
                    {"Device or resource busy", "ERROR:   Can not open mixer. Mixer will be disabled"}, false, false},
        FailureCase{SimulatedMixerStep::kDestinationLine,
                    {"No such device", "ERROR:   Can not obtain mixer line info. Mixer will be disabled"}, true, false},
        FailureCase{SimulatedMixerStep::kLineControls,
                    {"Input/output error", "ERROR:   Can not obtain mixer line controls. Mixer will be disabled"}, true,
                    false},
        FailureCase{SimulatedMixerStep::kListTexts,
                    {"Input/output error", "ERROR:   Can not obtain mixer control details. Mixer will be disabled"},
                    true, false},
        // Writing the selection: the system text only, and the volume is not looked up.
        FailureCase{SimulatedMixerStep::kWriteList, {"SUCCESS: Mixer open", "Input/output error"}, true, true},
        FailureCase{SimulatedMixerStep::kVolumeControl,
                    {"SUCCESS: Mixer open", "Input/output error", "Can not find line volume control. Will be disabled"},
                    true, true},
        FailureCase{SimulatedMixerStep::kSourceLine, {"SUCCESS: Mixer open", "Input/output error"}, true, true}));

TEST_F(MixerControlTest, FailuresOfTheListStepsLeaveTheSourceListAsTheTableSays) {
    SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig();
    config.failAt = SimulatedMixerStep::kLineControls;
    Build(config);
    SetUpMixer();
    ASSERT_TRUE(view_.enabled.count(MixerItem::kSourceList));
    EXPECT_FALSE(view_.enabled[MixerItem::kSourceList]);
    EXPECT_FALSE(Enabled(MixerItem::kSourceLabel));

    config.failAt = SimulatedMixerStep::kWriteList;
    Build(config);
    SetUpMixer();
    EXPECT_EQ(mixer_->VolumeLookups(), 0);
    EXPECT_TRUE(Enabled(MixerItem::kSourceList));
    EXPECT_TRUE(Enabled(MixerItem::kSourceLabel));
}

TEST_F(MixerControlTest, WithoutErrorTextTheUnpredictableErrorLineStandsIn) {
    SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig();
    config.failAt = SimulatedMixerStep::kOpen;
    config.noErrorText = true;
    Build(config);
    SetUpMixer();
    EXPECT_EQ(log_.Lines(),
              (Lines{"ERROR:   Unpredictable error occured", "ERROR:   Can not open mixer. Mixer will be disabled"}));
}

TEST_F(MixerControlTest, WithoutASourceControlTheListIsDisabledWithoutAMessage) {
    SimulatedMixerConfig config = SimulatedMixerBackend::DefaultConfig();
    config.hasListControl = false;
    Build(config);
    SetUpMixer();
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_TRUE(control_->MixerOpen());
    EXPECT_FALSE(view_.AnyEnabled());
    EXPECT_TRUE(view_.enabled.count(MixerItem::kSourceList));
}

TEST_F(MixerControlTest, TheWriteOfALevelThatFailsIsReportedOncePerRunOfFailures) {
    Build();
    SetUpMixer();
    mixer_->SetFailAt(SimulatedMixerStep::kWriteVolume);
    control_->OnVolumeBalanceScroll(50, 0);
    control_->OnVolumeBalanceScroll(51, 0);
    EXPECT_EQ(log_.Lines(), (Lines{"SUCCESS: Mixer open", "Input/output error"}));
    mixer_->SetFailAt(SimulatedMixerStep::kNone);
    control_->OnVolumeBalanceScroll(52, 0);
    mixer_->SetFailAt(SimulatedMixerStep::kWriteVolume);
    control_->OnVolumeBalanceScroll(53, 0);
    EXPECT_EQ(log_.Lines().size(), 3u);
}

TEST_F(MixerControlTest, AStoredLineTheMixerDoesNotHaveLeavesTheMixersOwnChoice) {
    Build(SimulatedMixerBackend::DefaultConfig(), 7);
    SetUpMixer();
    EXPECT_EQ(mixer_->ListWrites(), 0);
    EXPECT_EQ(view_.selection, 0);
    EXPECT_EQ(settings_.sourceLineIndex, 0);
    EXPECT_EQ(view_.volume, 61);

    SimulatedMixerConfig none = SimulatedMixerBackend::DefaultConfig();
    none.selected.clear();
    Build(none, -1);
    SetUpMixer();
    EXPECT_EQ(mixer_->ListWrites(), 0);
    EXPECT_EQ(view_.selection, -1);
    EXPECT_FALSE(Enabled(MixerItem::kVolumeSlider));
    EXPECT_TRUE(Enabled(MixerItem::kSourceList));
}

TEST_F(MixerControlTest, ThePadlockStartsOpenLocksEverythingAndChangesNothingInTheMixer) {
    Build();
    EXPECT_FALSE(view_.locked);
    EXPECT_FALSE(control_->MixerLocked());
    EXPECT_EQ(view_.focusMoves, 1);
    EXPECT_FALSE(view_.AnyEnabled());  // no mixer yet

    SetUpMixer();
    const int listWrites = mixer_->ListWrites();
    control_->ToggleMixerControls();
    EXPECT_TRUE(view_.locked);
    EXPECT_EQ(view_.focusMoves, 2);
    EXPECT_FALSE(view_.AnyEnabled());
    // A new set-up while locked enables nothing.
    control_->ReleaseMixer();
    SetUpMixer();
    EXPECT_FALSE(view_.AnyEnabled());
    EXPECT_EQ(view_.sourceLines.size(), 2u);
    control_->ToggleMixerControls();
    EXPECT_FALSE(view_.locked);
    EXPECT_EQ(view_.focusMoves, 3);
    for (MixerItem item : {MixerItem::kSourceList, MixerItem::kVolumeSlider, MixerItem::kBalanceSlider,
                           MixerItem::kSourceLabel, MixerItem::kVolumeLabel, MixerItem::kBalanceLabel})
        EXPECT_TRUE(Enabled(item)) << static_cast<int>(item);
    EXPECT_EQ(mixer_->ListWrites(), listWrites + 1);  // the new set-up's, none by the padlock
    EXPECT_EQ(mixer_->VolumeWrites(), 0);
    EXPECT_EQ(mixer_->LineVolume(0), (Values{40000, 20000}));
}

TEST_F(MixerControlTest, ReleaseClosesTheMixerAndDisablesEverything) {
    Build();
    SetUpMixer();
    const uint64_t handle = control_->MixerHandle();
    view_.active = false;
    mixer_->ChangeVolumeFromOutside(0, {100, 100});  // queued, not yet handled
    control_->ReleaseMixer();
    EXPECT_EQ(mixer_->OpenMixers(), 0);
    EXPECT_FALSE(view_.AnyEnabled());
    EXPECT_FALSE(control_->MixerOpen());
    EXPECT_FALSE(control_->VolumeReady());
    control_->OnMixerEvents(handle);  // the closed mixer's message
    Pump();
    EXPECT_EQ(view_.volume, 61);
    control_->OnVolumeBalanceScroll(10, 0);
    EXPECT_EQ(mixer_->VolumeWrites(), 0);
    // Set up again: the stored line is written again.
    SetUpMixer();
    EXPECT_EQ(mixer_->OpenMixers(), 1);
    EXPECT_EQ(mixer_->OpenCalls(), 2);
    EXPECT_EQ(view_.volume, 0);
}

TEST_F(MixerControlTest, ASecondSetupWithoutReleaseClosesTheFirstMixer) {
    Build();
    SetUpMixer();
    SetUpMixer();
    EXPECT_EQ(mixer_->OpenMixers(), 1);
}

TEST_F(MixerControlTest, OutsideVolumeChangesAreFollowedOnlyWhileTheProgramIsInTheBackground) {
    Build();
    SetUpMixer();
    Pump();  // the set-up's own write comes back and is recognised

    view_.active = true;
    mixer_->ChangeVolumeFromOutside(0, {20000, 40000});
    Pump();
    EXPECT_EQ(view_.volume, 61);
    EXPECT_EQ(view_.balance, -50);

    view_.active = false;
    mixer_->ChangeVolumeFromOutside(0, {20000, 40000});
    Pump();
    EXPECT_EQ(view_.volume, 61);
    EXPECT_EQ(view_.balance, 50);

    // Both at the minimum: the balance stays.
    mixer_->ChangeVolumeFromOutside(0, {0, 0});
    Pump();
    EXPECT_EQ(view_.volume, 0);
    EXPECT_EQ(view_.balance, 50);
    mixer_->ChangeVolumeFromOutside(0, {5000, 5000});
    Pump();
    EXPECT_EQ(view_.balance, 0);
}

TEST_F(MixerControlTest, TheProgramsOwnWritesDoNotComeBackAsOutsideChanges) {
    Build();
    SetUpMixer();
    view_.active = true;  // the user moves the sliders
    control_->OnVolumeBalanceScroll(33, -47);
    // Read back, 33 / -47 would show as 32 / -47.
    const SliderReading echo = ReadSliders(mixer_->LineVolume(0)[0], mixer_->LineVolume(0)[1], 0, 65535);
    ASSERT_EQ(echo.volumePosition, 32);
    view_.active = false;  // and leaves before the mixer's message is handled
    Pump();
    EXPECT_EQ(view_.volume, 61);  // untouched by the control: the view shows what the user set
    EXPECT_EQ(control_->VolumePosition(), 33);
    EXPECT_EQ(control_->BalancePosition(), -47);
    control_->OnSourceSelected(1);
    Pump();
    EXPECT_EQ(view_.selection, 0);  // the test's view is not moved by the user's own choice
    EXPECT_EQ(settings_.sourceLineIndex, 1);
}

TEST_F(MixerControlTest, AnOutsideChangeOfTheLineMovesTheListAndRereadsTheVolume) {
    Build();
    SetUpMixer();
    Pump();
    recording_ = true;
    mixer_->ChangeListFromOutside({0, 0, 1, 1});
    Pump();
    EXPECT_EQ(view_.selection, 1);
    EXPECT_EQ(settings_.sourceLineIndex, 1);
    EXPECT_EQ(view_.volume, 45);
    EXPECT_EQ(view_.balance, 0);
    EXPECT_EQ(log_.Lines().back(), "WARNING: Line changed to - Microphone");
    // No line selected at all: nothing follows.
    mixer_->ChangeListFromOutside({0, 0, 0, 0});
    Pump();
    EXPECT_EQ(view_.selection, 1);
    // While the program is active the same change is ignored.
    view_.active = true;
    mixer_->ChangeListFromOutside({1, 1, 0, 0});
    Pump();
    EXPECT_EQ(view_.selection, 1);
    EXPECT_EQ(settings_.sourceLineIndex, 1);
}

TEST_F(MixerControlTest, ALineChangeIsLoggedOnlyDuringARecording) {
    Build();
    SetUpMixer();
    control_->OnSourceSelected(1);
    EXPECT_EQ(log_.Lines(), Lines{"SUCCESS: Mixer open"});
    recording_ = true;
    control_->OnSourceSelected(0);
    EXPECT_EQ(log_.Lines().back(), "WARNING: Line changed to - Line In");
    control_->OnSourceSelected(0);  // the same line again
    EXPECT_EQ(log_.Lines().size(), 2u);
    // Outside, to the line already chosen: no warning.
    mixer_->ChangeListFromOutside({1, 1, 1, 1});
    Pump();
    EXPECT_EQ(log_.Lines().size(), 2u);
}

TEST_F(MixerControlTest, ShowSettingsSelectsTheStoredLineOrTheFirst) {
    Build();
    SetUpMixer();
    settings_.sourceLineIndex = 1;
    control_->ShowSettings();
    EXPECT_EQ(view_.selection, 1);
    settings_.sourceLineIndex = 9;
    control_->ShowSettings();
    EXPECT_EQ(view_.selection, 0);
}


TEST_F(MixerControlTest, AMixerWhoseDeviceWentAwayIsReleasedWithOneLineAndSetUpAgainLater) {
    Build();
    SetUpMixer();
    log_.Clear();
    mixer_->FailDevice(-ENODEV);
    // A few turns of the main window's message loop: the failure ends the messages.
    for (int turn = 0; turn < 5; ++turn) Pump();
    EXPECT_TRUE(messages_.Take().empty());
    EXPECT_FALSE(control_->MixerOpen());
    EXPECT_EQ(mixer_->OpenMixers(), 0);
    EXPECT_EQ(log_.Lines(), Lines{"ERROR:   Mixer device lost (No such device). Mixer will be disabled"});
    EXPECT_FALSE(view_.AnyEnabled());
    control_->OnVolumeBalanceScroll(10, 0);
    EXPECT_EQ(mixer_->VolumeWrites(), 0);

    // The device is back with the next opening of the capture device.
    mixer_->FailDevice(0);
    SetUpMixer();
    EXPECT_TRUE(control_->MixerOpen());
    EXPECT_TRUE(control_->VolumeReady());
    EXPECT_TRUE(Enabled(MixerItem::kVolumeSlider));
}

TEST_F(MixerControlTest, RemovedControlsAreForgottenAndTheShownOnesDisabled) {
    Build();
    SetUpMixer();
    log_.Clear();
    // Another line's volume: nothing shown changes.
    mixer_->RemoveControl(SimulatedVolumeControlId(1));
    Pump();
    EXPECT_TRUE(control_->VolumeReady());
    EXPECT_TRUE(Enabled(MixerItem::kVolumeSlider));
    EXPECT_TRUE(Enabled(MixerItem::kSourceList));

    // The shown line's volume: Volume and Balance go, the Source list stays.
    mixer_->RemoveControl(SimulatedVolumeControlId(0));
    Pump();
    EXPECT_FALSE(control_->VolumeReady());
    for (MixerItem item :
         {MixerItem::kVolumeSlider, MixerItem::kBalanceSlider, MixerItem::kVolumeLabel, MixerItem::kBalanceLabel})
        EXPECT_FALSE(Enabled(item)) << static_cast<int>(item);
    EXPECT_TRUE(Enabled(MixerItem::kSourceList));
    EXPECT_TRUE(Enabled(MixerItem::kSourceLabel));
    control_->OnVolumeBalanceScroll(10, 0);
    EXPECT_EQ(mixer_->VolumeWrites(), 0);
    // The padlock brings back only what still exists.
    control_->ToggleMixerControls();
    control_->ToggleMixerControls();
    EXPECT_FALSE(Enabled(MixerItem::kVolumeSlider));
    EXPECT_TRUE(Enabled(MixerItem::kSourceList));

    // The source-selection control itself.
    mixer_->RemoveControl(kSimulatedListControlId);
    Pump();
    EXPECT_FALSE(control_->SourceListReady());
    EXPECT_FALSE(view_.AnyEnabled());
    control_->OnSourceSelected(1);
    EXPECT_EQ(mixer_->ListWrites(), 1);  // the set-up's only
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_TRUE(control_->MixerOpen());
}

}  // namespace
}  // namespace pelmora
