// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the encoder pages and the links between pages, driven without a window.

#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "support/PageFakes.h"
#include "support/TempDir.h"
#include "settings/SettingsPages.h"

namespace pelmora {
namespace {

using test::FakeControls;
using test::FakeHost;

// All pages with their controls, every page shown once (the sheet's first display).
struct Sheet {
    Sheet() {
        host.bitrate.lsfMode = 1;
        for (int tab = SettingsPages::kAdvanced; tab < SettingsPages::kTabCount; ++tab)
            pages.At(tab)->Attach(controls[tab]);
        pages.general.Attach(general);
        pages.ShowSettings(SettingsPages::kGeneral);
    }
    PageModel& Show(int tab) {
        pages.At(tab)->Activate();
        return *pages.At(tab);
    }
    struct General : GenBitrateView {
        int BitrateSlider() const override { return slider; }
        void SetBitrateSlider(int position) override { slider = position; }
        void SetBitrateLabel(const std::string& text) override { label = text; }
        int slider = 8;
        std::string label;
    };

    FakeHost host;
    SettingsPages pages{host};
    FakeControls controls[SettingsPages::kTabCount];
    General general;
};

using Xbr = VbrPageModel;

TEST(XbrPage, ModeDecidesWhichControlsAreUsable) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kXbr];
    PageModel& page = sheet.Show(SettingsPages::kXbr);
    EXPECT_TRUE(c.Enabled(Xbr::kMode));
    for (int id : {Xbr::kMaxSlider, Xbr::kQuality, Xbr::kAbr, Xbr::kAbrSpin, Xbr::kDisableTag, Xbr::kMinNote})
        EXPECT_FALSE(c.Enabled(id)) << id;

    c.Choose(page, Xbr::kMode, 2);
    EXPECT_EQ(sheet.host.settings.encodingMode, 2);
    EXPECT_TRUE(c.Enabled(Xbr::kAbr));
    EXPECT_TRUE(c.Enabled(Xbr::kRangeNote));
    EXPECT_FALSE(c.Enabled(Xbr::kQuality));

    c.Choose(page, Xbr::kMode, 1);
    EXPECT_TRUE(c.Enabled(Xbr::kQuality));
    EXPECT_TRUE(c.Enabled(Xbr::kMinNote));
    EXPECT_FALSE(c.Enabled(Xbr::kAbr));
    EXPECT_FALSE(c.Enabled(Xbr::kRangeNote));
}

TEST(XbrPage, AbrBoxClampsWhileTypingAndShowsTheValueWhenLeft) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kXbr];
    PageModel& page = sheet.Show(SettingsPages::kXbr);
    EXPECT_EQ(c.Text(Xbr::kAbr), "160");  // filling the box is not read back

    c.Type(page, Xbr::kAbr, "500");
    EXPECT_EQ(sheet.host.settings.abrBitrate, 310);
    EXPECT_EQ(c.Text(Xbr::kAbr), "500");
    page.OnKillFocus(Xbr::kAbr);
    EXPECT_EQ(c.Text(Xbr::kAbr), "310");

    c.Type(page, Xbr::kAbr, "abc");
    EXPECT_EQ(sheet.host.settings.abrBitrate, 80);
    // A check box clicked before the box is left runs the validation on the box's text.
    c.Click(page, Xbr::kDisableTag);
    EXPECT_EQ(c.LastMessage(), "Please enter an integer.");
    EXPECT_EQ(sheet.host.settings.disableVbrTag, 1);
}

TEST(XbrPage, LsfRangeAndArrows) {
    Sheet sheet;
    sheet.host.bitrate.lsfMode = 2;
    sheet.host.bitrate.activeBitrateTable = BitrateTable::Lsf;
    FakeControls& c = sheet.controls[SettingsPages::kXbr];
    PageModel& page = sheet.Show(SettingsPages::kXbr);
    EXPECT_EQ(c.controls[Xbr::kAbrSpin].minimum, 8);
    EXPECT_EQ(c.controls[Xbr::kAbrSpin].maximum, 160);
    c.Type(page, Xbr::kAbr, "5");
    EXPECT_EQ(sheet.host.settings.abrBitrate, 8);
    page.OnSpin(Xbr::kAbrSpin, +1);
    EXPECT_EQ(c.Text(Xbr::kAbr), "9");
    EXPECT_EQ(sheet.host.settings.abrBitrate, 9);
    c.controls[Xbr::kAbr].text = "160";
    page.OnSpin(Xbr::kAbrSpin, +1);
    EXPECT_EQ(c.Text(Xbr::kAbr), "160");
}

TEST(XbrPage, QualityListStoresPositionMinusOne) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kXbr];
    PageModel& page = sheet.Show(SettingsPages::kXbr);
    EXPECT_EQ(c.Position(Xbr::kQuality), 0);  // "Default"
    c.Choose(page, Xbr::kQuality, 1);
    EXPECT_EQ(sheet.host.settings.vbrQuality, 0);
    c.Choose(page, Xbr::kQuality, 0);
    EXPECT_EQ(sheet.host.settings.vbrQuality, -1);
}

TEST(PageLinks, MaximumBelowMinimumDragsTheGeneralSliderDownAndBack) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kXbr];
    PageModel& page = sheet.Show(SettingsPages::kXbr);
    int rebuilds = sheet.host.rebuilds;
    c.Slide(page, Xbr::kMaxSlider, 3);
    EXPECT_EQ(c.Text(Xbr::kMaxBitrateText), "Maximum bitrate: 56 kbit");
    EXPECT_EQ(sheet.host.settings.maxBitrateIndex, 3);
    EXPECT_EQ(sheet.host.settings.minBitrateIndex, 3);
    EXPECT_EQ(sheet.general.slider, 3);
    EXPECT_GT(sheet.host.rebuilds, rebuilds);

    // Raising the minimum above the maximum drags the maximum up; lowering it leaves it.
    sheet.general.slider = 10;
    sheet.pages.general.OnBitrateScroll();
    EXPECT_EQ(sheet.general.label, "Current bitrate: 192 kbit");
    EXPECT_EQ(sheet.host.settings.maxBitrateIndex, 10);
    EXPECT_EQ(c.Position(Xbr::kMaxSlider), 10);
    sheet.general.slider = 2;
    sheet.pages.general.OnBitrateScroll();
    EXPECT_EQ(sheet.host.settings.maxBitrateIndex, 10);
    EXPECT_EQ(sheet.host.settings.minBitrateIndex, 2);
}

TEST(PageLinks, ResamplingSwitchesTheTableAndTheAbrRange) {
    Sheet sheet;
    sheet.host.settings.abrBitrate = 192;
    FakeControls& xc = sheet.controls[SettingsPages::kXbr];
    sheet.Show(SettingsPages::kXbr);
    FakeControls& c = sheet.controls[SettingsPages::kAudioProcessing];
    PageModel& page = sheet.Show(SettingsPages::kAudioProcessing);

    c.Choose(page, AupPageModel::kFrequency, 5);  // "22.05 kHz"
    EXPECT_EQ(sheet.host.settings.resampleIndex, 5);
    EXPECT_EQ(sheet.host.bitrate.lsfMode, 2);
    EXPECT_EQ(sheet.host.bitrate.activeBitrateTable, BitrateTable::Lsf);
    EXPECT_EQ(sheet.host.settings.abrBitrate, 160);
    EXPECT_EQ(xc.controls[Xbr::kAbrSpin].maximum, 160);
    sheet.pages.general.UpdateBitrateLabel();  // the General page shown again
    EXPECT_EQ(sheet.general.label, "Current bitrate: 80 kbit");
    sheet.Show(SettingsPages::kXbr);
    EXPECT_EQ(xc.Text(Xbr::kAbr), "160");

    // "default" follows the capture rate.
    c.Choose(page, AupPageModel::kFrequency, 0);
    EXPECT_EQ(sheet.host.bitrate.activeBitrateTable, BitrateTable::Mpeg1);
    sheet.host.captureRate = 22050;
    c.Choose(page, AupPageModel::kFrequency, 0);
    EXPECT_EQ(sheet.host.bitrate.activeBitrateTable, BitrateTable::Lsf);
}

using Aup = AupPageModel;

TEST(AudioProcessingPage, NumberBoxesStoreWhatWasTypedEvenOutOfRange) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kAudioProcessing];
    PageModel& page = sheet.Show(SettingsPages::kAudioProcessing);
    EXPECT_EQ(c.Text(Aup::kLowpassFreq), "0");
    c.Type(page, Aup::kLowpassFreq, "25");
    EXPECT_EQ(c.LastMessage(), "Please enter a number between 0 and 22.");
    EXPECT_DOUBLE_EQ(sheet.host.settings.lowpassFreq, 25);
    c.Type(page, Aup::kLowpassFreq, "16.5");
    EXPECT_DOUBLE_EQ(sheet.host.settings.lowpassFreq, 16.5);
    c.Type(page, Aup::kHighpassFreq, "");
    EXPECT_EQ(c.LastMessage(), "Please enter a number.");
}

TEST(AudioProcessingPage, ABoxTypedInIsStoredWhileAnEarlierOneIsEmpty) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kAudioProcessing];
    PageModel& page = sheet.Show(SettingsPages::kAudioProcessing);
    c.Type(page, Aup::kHighpassFreq, "");  // read before the lowpass box
    c.Type(page, Aup::kLowpassFreq, "16");
    EXPECT_DOUBLE_EQ(sheet.host.settings.lowpassFreq, 16);
    EXPECT_EQ(c.messages, std::vector<std::string>(2, "Please enter a number."));
}

TEST(AudioProcessingPage, FilterWidthSwitchNeverOutlivesItsFilter) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kAudioProcessing];
    PageModel& page = sheet.Show(SettingsPages::kAudioProcessing);
    EXPECT_FALSE(c.Enabled(Aup::kHighpassWidthOn));
    c.Click(page, Aup::kHighpass);
    EXPECT_TRUE(c.Enabled(Aup::kHighpassFreq));
    EXPECT_TRUE(c.Enabled(Aup::kHighpassWidthOn));
    EXPECT_FALSE(c.Enabled(Aup::kHighpassWidth));
    c.Click(page, Aup::kHighpassWidthOn);
    EXPECT_EQ(sheet.host.settings.highpassWidthEnabled, 1);
    EXPECT_TRUE(c.Enabled(Aup::kHighpassWidth));

    c.Click(page, Aup::kHighpass);
    EXPECT_EQ(sheet.host.settings.highpassEnabled, 0);
    EXPECT_EQ(sheet.host.settings.highpassWidthEnabled, 0);
    EXPECT_FALSE(c.Checked(Aup::kHighpassWidthOn));
    EXPECT_FALSE(c.Enabled(Aup::kHighpassFreq));
    EXPECT_FALSE(c.Enabled(Aup::kHighpassWidth));
}

TEST(AudioProcessingPage, RawPcmFollowsUncompressedAndDcSetupTheDevice) {
    Sheet sheet;
    sheet.host.pipelineReady = false;
    FakeControls& c = sheet.controls[SettingsPages::kAudioProcessing];
    PageModel& page = sheet.Show(SettingsPages::kAudioProcessing);
    EXPECT_FALSE(c.Enabled(Aup::kRawPcm));
    EXPECT_FALSE(c.Enabled(Aup::kDcSetup));
    c.Click(page, Aup::kWriteWav);
    EXPECT_TRUE(c.Enabled(Aup::kRawPcm));
    c.Click(page, Aup::kRawPcm);
    EXPECT_EQ(sheet.host.settings.rawPcm, 1);
    c.Click(page, Aup::kWriteWav);
    EXPECT_FALSE(c.Enabled(Aup::kRawPcm));
    EXPECT_EQ(sheet.host.settings.rawPcm, 1);  // kept, only unusable
    EXPECT_EQ(sheet.host.settings.writeUncompressed, 0);

    sheet.host.pipelineReady = true;
    sheet.Show(SettingsPages::kAudioProcessing);
    EXPECT_TRUE(c.Enabled(Aup::kDcSetup));
    page.OnClicked(Aup::kDcSetup);
    EXPECT_EQ(sheet.host.dcDialogs, 1);
}

using Adv = AdvPageModel;

TEST(AdvancedPage, PresetControlsFollowTheSwitchAndTheFamily) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kAdvanced];
    PageModel& page = sheet.Show(SettingsPages::kAdvanced);
    for (int id : {Adv::kGeneralRadio, Adv::kAltRadio, Adv::kGeneralList, Adv::kAltList}) EXPECT_FALSE(c.Enabled(id));
    c.Click(page, Adv::kUsePreset);
    EXPECT_TRUE(c.Enabled(Adv::kGeneralList));
    EXPECT_FALSE(c.Enabled(Adv::kAltList));
    c.ClickRadio(page, {Adv::kGeneralRadio, Adv::kAltRadio}, Adv::kAltRadio);
    EXPECT_EQ(sheet.host.settings.presetFamily, 1);
    EXPECT_FALSE(c.Enabled(Adv::kGeneralList));
    EXPECT_TRUE(c.Enabled(Adv::kAltList));
    int rebuilds = sheet.host.rebuilds;
    c.Click(page, Adv::kShowConsole);
    c.Click(page, Adv::kCustomNames);
    EXPECT_EQ(sheet.host.rebuilds, rebuilds);
    EXPECT_EQ(sheet.host.settings.showEncoderConsole, 1);
    EXPECT_EQ(sheet.host.settings.customEncoderNames, 1);
}

TEST(AdvancedPage, EncoderBrowseTakesOnlyAnEncoder) {
    test::TempDir dir;
    auto make = [&](const std::string& name, bool executable) {
        std::string path = dir.Path() + name;
        std::ofstream(path) << "#!/bin/sh\n";
        ::chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    };
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kAdvanced];
    PageModel& page = sheet.Show(SettingsPages::kAdvanced);

    sheet.host.chosenFile = make("sox", true);
    page.OnClicked(Adv::kBrowse);
    EXPECT_EQ(sheet.host.lastChoice.title, "Lame location");
    EXPECT_EQ(sheet.host.lastChoice.startFolder, "/prog/");
    EXPECT_EQ(sheet.host.lastChoice.filters.front().second, "lame");
    EXPECT_EQ(TextField(sheet.host.settings.encoderPath), "");

    sheet.host.chosenFile = make("lame", true);
    page.OnClicked(Adv::kBrowse);
    EXPECT_EQ(TextField(sheet.host.settings.encoderPath), sheet.host.chosenFile);
    EXPECT_EQ(c.Text(Adv::kPath), sheet.host.chosenFile);

    c.Click(page, Adv::kCustomNames);
    sheet.host.chosenFile = make("mylame-3.100", false);
    page.OnClicked(Adv::kBrowse);
    EXPECT_EQ(sheet.host.lastChoice.filters.front().second, "*lame*");
    EXPECT_EQ(sheet.host.lastChoice.startFolder, dir.Path());
    EXPECT_NE(TextField(sheet.host.settings.encoderPath), sheet.host.chosenFile);  // not executable
    sheet.host.chosenFile = dir.Path();
    page.OnClicked(Adv::kBrowse);
    EXPECT_NE(TextField(sheet.host.settings.encoderPath), sheet.host.chosenFile);  // a folder
    // With custom names any executable serves, whatever its name.
    sheet.host.chosenFile = make("mp3enc", true);
    page.OnClicked(Adv::kBrowse);
    EXPECT_EQ(TextField(sheet.host.settings.encoderPath), sheet.host.chosenFile);
    sheet.host.chosenFile = make("MyLame-3.100", true);
    page.OnClicked(Adv::kBrowse);
    EXPECT_EQ(TextField(sheet.host.settings.encoderPath), sheet.host.chosenFile);

    // Without them only a file named lame, and one that runs.
    c.Click(page, Adv::kCustomNames);
    const std::string before = TextField(sheet.host.settings.encoderPath);
    ::chmod((dir.Path() + "lame").c_str(), 0644);
    sheet.host.chosenFile = dir.Path() + "lame";
    page.OnClicked(Adv::kBrowse);
    sheet.host.chosenFile = make("mp3enc", true);
    page.OnClicked(Adv::kBrowse);
    EXPECT_EQ(TextField(sheet.host.settings.encoderPath), before);
}

using Exp = ExpPageModel;

TEST(ExpertPage, CustomOptionsAreStoredAsTypedAndBounded) {
    Sheet sheet;
    FakeControls& c = sheet.controls[SettingsPages::kExpert];
    PageModel& page = sheet.Show(SettingsPages::kExpert);
    c.Type(page, Exp::kCustom, "--preset 100%");
    EXPECT_EQ(TextField(sheet.host.settings.customOptions), "--preset 100%");
    c.Type(page, Exp::kCustom, std::string(400, 'x'));
    EXPECT_EQ(TextField(sheet.host.settings.customOptions).size(), 255u);
    EXPECT_EQ(c.Text(Exp::kCustom), TextField(sheet.host.settings.customOptions));
    // The field holds bytes: 200 two-byte characters are cut to 127 whole ones, in the box too.
    std::string accented;
    for (int i = 0; i < 200; ++i) accented += "\xc3\xa9";  // e acute
    c.Type(page, Exp::kCustom, accented);
    EXPECT_EQ(TextField(sheet.host.settings.customOptions), accented.substr(0, 254));
    EXPECT_EQ(c.Text(Exp::kCustom), accented.substr(0, 254));
    c.Choose(page, Exp::kQ, 10);
    EXPECT_EQ(sheet.host.settings.qLevel, 10);
    c.Click(page, Exp::kEnforceIso);
    EXPECT_EQ(sheet.host.settings.enforceIso, 1);
}

TEST(SettingsSheet, PagesLockedWhileRecordingAlsoWhenShownAgain) {
    Sheet sheet;
    sheet.host.recording = true;
    const std::pair<int, int> probes[] = {{SettingsPages::kAdvanced, Adv::kOptimization},
                                          {SettingsPages::kXbr, Xbr::kMode},
                                          {SettingsPages::kExpert, Exp::kCustom},
                                          {SettingsPages::kAudioProcessing, Aup::kFrequency},
                                          {SettingsPages::kOperations, OperPageModel::kWriteTime},
                                          {SettingsPages::kPerformance, PerfPageModel::kBuffersSetup}};
    for (auto [tab, id] : probes) {
        sheet.Show(tab);
        EXPECT_FALSE(sheet.controls[tab].Enabled(id)) << tab;
        sheet.Show(tab);
        EXPECT_FALSE(sheet.controls[tab].Enabled(id)) << tab;
    }
    EXPECT_TRUE(sheet.controls[SettingsPages::kPerformance].Enabled(PerfPageModel::kChangePriorities));
    sheet.host.recording = false;
    for (auto [tab, id] : probes) {
        sheet.Show(tab);
        EXPECT_TRUE(sheet.controls[tab].Enabled(id)) << tab;
    }
}

TEST(SettingsSheet, LoadingReappliesTheEnablingRulesOfThePageOnView) {
    Sheet sheet;
    FakeControls& xc = sheet.controls[SettingsPages::kXbr];
    sheet.Show(SettingsPages::kXbr);
    ASSERT_FALSE(xc.Enabled(Xbr::kMaxSlider));  // CBR
    sheet.host.settings.encodingMode = 1;       // a VBR preset
    sheet.pages.ShowSettings(SettingsPages::kXbr);
    for (int id : {Xbr::kMaxSlider, Xbr::kQuality, Xbr::kDisableTag, Xbr::kEnforceMin}) EXPECT_TRUE(xc.Enabled(id)) << id;
    EXPECT_FALSE(xc.Enabled(Xbr::kAbr));

    sheet.Show(SettingsPages::kExpert);
    sheet.host.settings.encodingMode = 2;
    sheet.pages.ShowSettings(SettingsPages::kExpert);
    EXPECT_FALSE(xc.Enabled(Xbr::kAbr));  // not on view: its rules apply when it is shown
    sheet.Show(SettingsPages::kXbr);
    EXPECT_TRUE(xc.Enabled(Xbr::kAbr));
}

TEST(SettingsSheet, LoadedSettingsReachShownPagesAtOnceAndOthersWhenFirstShown) {
    Sheet sheet;
    FakeControls& xc = sheet.controls[SettingsPages::kXbr];
    sheet.Show(SettingsPages::kXbr);
    RecSettings& s = sheet.host.settings;
    s.encodingMode = 1;
    s.maxBitrateIndex = 5;
    s.vbrQuality = 2;
    s.disableVbrTag = 1;
    s.lowpassFreq = 12.5;
    sheet.pages.ShowSettings(SettingsPages::kXbr);
    EXPECT_EQ(xc.Position(Xbr::kMode), 1);
    EXPECT_EQ(xc.Position(Xbr::kMaxSlider), 5);
    EXPECT_EQ(xc.Position(Xbr::kQuality), 3);
    EXPECT_TRUE(xc.Checked(Xbr::kDisableTag));
    FakeControls& ac = sheet.controls[SettingsPages::kAudioProcessing];
    EXPECT_EQ(ac.Text(Aup::kLowpassFreq), "");  // not created yet
    sheet.Show(SettingsPages::kAudioProcessing);
    EXPECT_EQ(ac.Text(Aup::kLowpassFreq), "12.5");
}

}  // namespace
}  // namespace pelmora
