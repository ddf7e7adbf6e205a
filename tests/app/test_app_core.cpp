// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/AppCore.h"
#include "capture/SimulatedWaveIn.h"
#include "capture/ThreadRoles.h"
#include "settings/ConfFile.h"
#include "settings/SettingsFile.h"
#include "support/TaskSchedule.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

// Records the window's steps, and what the program looked like at some of them.
class FakeView : public AppView {
public:
    explicit FakeView(AppCore& core) : core_(core) {}
    // The core makes its program folder the working folder; leave the test's folder.
    ~FakeView() override {
        if (::chdir("/") != 0) std::abort();
    }

    void CreateSettingsSheet() override { Step("sheet"); }
    void ShowSettings() override { Step("show"); }
    void BuildStatusPanel() override { Step("panel"); }
    void StartTimer() override { Step("timer"); }
    void SetupCpuGraph() override { Step("graph"); }
    void SetupMeters() override { Step("meters"); }
    void SetGeneralPageIdle() override { Step("idle"); }
    void ReleaseImages() override { Step("release"); }
    void DestroySettingsSheet() override { Step("destroy"); }
    void StopTimer() override { Step("killtimer"); }
    void ReportSettingsWriteFailure(const std::string&, const std::string&) override { Step("writefail"); }
    void SetCompressionOptions(const std::string& text) override {
        Step("options");
        options = text;
    }
    void SetDescription(const std::string&) override {}
    void SetDeviceList(const std::vector<std::string>& items) override {
        Step("devices");
        devices = items;
    }
    void SetFormatList(const std::vector<std::string>& items) override { formats = items; }
    void SelectFormat(int) override {}
    void SetBitrateLabel(const std::string&) override {}
    void SetAbrRange(int minimum, int maximum) override { abrRange = {minimum, maximum}; }
    void BlankMeters() override { Step("blank"); }

    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    void ShowMessage(const std::string&) override { Step("message"); }
    void SetRecordingControls(int) override {}
    void SetRecordCaption(const std::string&) override {}
    void EnableRecord(bool enabled) override { recordEnabled = enabled; }
    void SetPauseCaption(const std::string&) override {}
    void EnablePause(bool) override {}
    void SetState(int s) override {
        state = s;
        if (s == kStateReady && core_.Pipeline().isRecording.load() == false && stopping) Step("stopped");
    }
    void SetStatusValues(const StatusValues&) override {}
    void ShowValues() override {}
    void BlinkState(int) override {}
    std::optional<std::string> OutputFileEntry() override { return std::string("take"); }
    void ShowOutputFileEntry(const std::string&) override {}

    std::vector<std::string> steps;
    std::vector<std::string> devices, formats;
    std::vector<std::string> questions;
    bool answerYes = true;
    std::string options;
    std::pair<int, int> abrRange{0, 0};
    bool iniExistedAtSheet = false;
    bool recordEnabled = false;
    bool stopping = false;
    int state = -1;

private:
    void Step(const std::string& name) {
        if (name == "sheet") iniExistedAtSheet = test::FileExists(core_.IniPath());
        steps.push_back(name);
    }
    AppCore& core_;
};

std::unique_ptr<WaveInBackend> Simulated() {
    SimulatedWaveInConfig config;
    config.source = SimulatedSource::kSine;
    return std::make_unique<SimulatedWaveInBackend>(config);
}

std::size_t IndexOf(const std::vector<std::string>& v, const std::string& s) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] == s) return i;
    return v.size();
}

bool LogHas(AppCore& core, const std::string& suffix) {
    for (const auto& line : core.Log().Lines())
        if (line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            return true;
    return false;
}

TEST(AppCore, FirstStartLoadsDefaultsBeforeTheSheetExists) {
    test::TempDir dir;
    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    EXPECT_TRUE(view.iniExistedAtSheet);
    EXPECT_FALSE(LogHas(core, "ERROR:   ini load failed. Loading defaults..."));
    EXPECT_TRUE(LogHas(core, "Default preset loaded"));
    const auto& s = view.steps;
    EXPECT_LT(IndexOf(s, "sheet"), IndexOf(s, "show"));
    EXPECT_LT(IndexOf(s, "show"), IndexOf(s, "options"));
    EXPECT_LT(IndexOf(s, "options"), IndexOf(s, "panel"));
    EXPECT_LT(IndexOf(s, "panel"), IndexOf(s, "timer"));
    EXPECT_LT(IndexOf(s, "timer"), IndexOf(s, "graph"));
    EXPECT_LT(IndexOf(s, "graph"), IndexOf(s, "meters"));
    EXPECT_LT(IndexOf(s, "meters"), IndexOf(s, "idle"));
    EXPECT_EQ(s.back(), "idle");
    core.Close();
    EXPECT_FALSE(view.options.empty());
}

TEST(AppCore, FirstStartWithoutAConfFileWritesTheDefaultIniUnchangedAndCreatesTheConfFile) {
    test::TempDir dir;
    RecSettings defaults{};
    SetDefaultSettings(defaults, dir.Path());
    ASSERT_TRUE(WriteSettingsFile(dir / "expected.ini", defaults));
    const std::vector<char> expected = test::ReadFile(dir / "expected.ini");
    {
        AppCore core(dir.Path(), Simulated());
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(test::ReadFile(core.IniPath()), expected);
        EXPECT_FALSE(test::FileExists(core.ConfPath()));
        core.Close();
        EXPECT_EQ(test::ReadFile(core.IniPath()), expected);
        EXPECT_TRUE(test::FileExists(core.ConfPath()));
        EXPECT_EQ(IndexOf(view.steps, "writefail"), view.steps.size());
    }
    // A later start reads both without a word of complaint.
    AppCore again(dir.Path(), Simulated());
    FakeView view(again);
    again.Start(view);
    for (const auto& line : again.Log().Lines()) EXPECT_EQ(line.find("WARNING"), std::string::npos) << line;
    again.Close();
    EXPECT_EQ(test::ReadFile(again.IniPath()), expected);
}

// Several named devices, each a simulated one; the names and their order are the test's.
class NamedDevices : public WaveInBackend {
public:
    explicit NamedDevices(std::vector<std::string> names) : names_(std::move(names)) {}
    std::vector<WaveInDeviceInfo> Devices() override {
        std::vector<WaveInDeviceInfo> list;
        for (const std::string& n : names_) list.push_back({n, "Input " + n});
        return list;
    }
    std::vector<WaveResult> QueryFormats(int, const std::vector<WaveFormat>& candidates, WaveResult* openError) override {
        return simulated_.QueryFormats(0, candidates, openError);
    }
    WaveResult Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                    std::unique_ptr<WaveInDevice>* device) override {
        opened = deviceId >= 0 && deviceId < static_cast<int>(names_.size()) ? names_[static_cast<std::size_t>(deviceId)] : "";
        return simulated_.Open(0, format, target, device);
    }
    std::string ErrorText(WaveResult code) override { return simulated_.ErrorText(code); }
    std::string opened;

private:
    std::vector<std::string> names_;
    SimulatedWaveInBackend simulated_;
};

TEST(AppCore, TheChosenDeviceIsFoundByNameWhereverItStandsAndAnAbsentOneFallsBackWithAWarning) {
    test::TempDir dir;
    {
        auto backend = std::make_unique<NamedDevices>(std::vector<std::string>{"@DEFAULT_SOURCE@", "mic", "usb"});
        NamedDevices& devices = *backend;
        AppCore core(dir.Path(), std::move(backend));
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(devices.opened, "@DEFAULT_SOURCE@");
        core.OnDeviceSelected(2);
        EXPECT_EQ(devices.opened, "usb");
        core.Close();
    }
    {
        // Another device came first: the position moves, the choice stays.
        auto backend = std::make_unique<NamedDevices>(std::vector<std::string>{"@DEFAULT_SOURCE@", "new", "mic", "usb"});
        NamedDevices& devices = *backend;
        AppCore core(dir.Path(), std::move(backend));
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(devices.opened, "usb");
        EXPECT_EQ(core.Settings().deviceIndex, 3);
        core.Close();
    }
    {
        // Unplugged: the first entry records, and the choice is kept for the next start.
        auto backend = std::make_unique<NamedDevices>(std::vector<std::string>{"@DEFAULT_SOURCE@", "mic"});
        NamedDevices& devices = *backend;
        AppCore core(dir.Path(), std::move(backend));
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(devices.opened, "@DEFAULT_SOURCE@");
        EXPECT_TRUE(LogHas(core, "WARNING: Input device \"usb\" is not present, using \"Input @DEFAULT_SOURCE@\" instead"));
        core.Close();
    }
    {
        auto backend = std::make_unique<NamedDevices>(std::vector<std::string>{"@DEFAULT_SOURCE@", "usb", "mic"});
        NamedDevices& devices = *backend;
        AppCore core(dir.Path(), std::move(backend));
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(devices.opened, "usb");
        for (const auto& line : core.Log().Lines()) EXPECT_EQ(line.find("WARNING"), std::string::npos) << line;
        core.Close();
    }
    // The record's own deviceIndex is still written as it stands.
    std::vector<char> bytes = test::ReadFile(dir / "pelmora.ini");
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    RecSettings saved;
    std::memcpy(&saved, bytes.data(), sizeof saved);
    EXPECT_EQ(saved.deviceIndex, 1);
}

TEST(AppCore, StartOpensTheDeviceAfterEverythingElse) {
    test::TempDir dir;
    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    EXPECT_FALSE(view.devices.empty());
    EXPECT_FALSE(view.formats.empty());
    EXPECT_LT(IndexOf(view.steps, "devices"), IndexOf(view.steps, "show"));
    EXPECT_TRUE(core.Pipeline().pipelineReady.load());
    EXPECT_TRUE(view.recordEnabled);
    EXPECT_EQ(view.state, kStateReady);
    EXPECT_TRUE(LogHas(core, "CPU usage counter initialized"));
    core.Close();
    EXPECT_FALSE(core.Pipeline().pipelineReady.load());
}

TEST(AppCore, DeviceThatCannotOpenLeavesRecordDisabledAndCloseStillRuns) {
    test::TempDir dir;
    SimulatedWaveInConfig config;
    config.deviceBusy = true;
    AppCore core(dir.Path(), std::make_unique<SimulatedWaveInBackend>(config));
    FakeView view(core);
    core.Start(view);
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_EQ(view.state, kStateInitFailed);
    EXPECT_NE(IndexOf(view.steps, "blank"), view.steps.size());
    core.Close();
    EXPECT_EQ(test::ReadFile(core.IniPath()).size(), kSettingsFileSize);
}

TEST(AppCore, CloseWhileRecordingStopsAndCompletesTheFileThenSavesVersion130) {
    test::TempDir dir;
    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    core.Settings().writeUncompressed = 1;
    core.Settings().addTimestamp = 0;
    core.Settings().settingsVersion = 7;
    core.OnRecord();
    ASSERT_TRUE(core.IsRecording());
    view.steps.clear();
    view.stopping = true;
    core.Close();

    EXPECT_FALSE(core.IsRecording());
    ASSERT_FALSE(view.steps.empty());
    EXPECT_EQ(view.steps.front(), "stopped");
    EXPECT_LT(IndexOf(view.steps, "release"), IndexOf(view.steps, "destroy"));
    EXPECT_LT(IndexOf(view.steps, "destroy"), IndexOf(view.steps, "killtimer"));
    EXPECT_TRUE(LogHas(core, "Recording is being stoped. Waiting for buffers to be flushed..."));

    // The WAV file is complete: both header sizes agree with its length.
    std::vector<char> wav = test::ReadFile(dir / "take.wav");
    ASSERT_GE(wav.size(), 44u);
    uint32_t riff = 0, data = 0;
    std::memcpy(&riff, wav.data() + 4, 4);
    std::memcpy(&data, wav.data() + 40, 4);
    EXPECT_EQ(riff, wav.size() - 8);
    EXPECT_EQ(data, wav.size() - 44);

    std::vector<char> bytes = test::ReadFile(core.IniPath());
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    RecSettings saved;
    std::memcpy(&saved, bytes.data(), sizeof saved);
    EXPECT_EQ(saved.settingsVersion, 130);
    EXPECT_EQ(std::string(bytes.data() + kRecSettingsSize), SettingsDigest(saved));
}

TEST(AppCore, SavedSettingsLoadCleanlyOnTheNextStart) {
    test::TempDir dir;
    {
        AppCore core(dir.Path(), Simulated());
        FakeView view(core);
        core.Start(view);
        SetTextField(core.Settings().presetName, "50% louder");
        core.Close();
    }
    AppCore again(dir.Path(), Simulated());
    FakeView view(again);
    again.Start(view);
    EXPECT_TRUE(LogHas(again, "Preset \"50% louder\" (pelmora.ini) loaded"));
    again.Close();
}

TEST(AppCore, ACorruptPresetLoadedWhileCapturingNeverReachesTheThreads) {
    test::TempDir dir;
    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    ASSERT_TRUE(core.Pipeline().pipelineReady.load());
    RecSettings ini = core.Settings();
    SetTextField(ini.presetName, "ini");
    ini.removeDc = 1;
    ASSERT_TRUE(WriteSettingsFile(core.IniPath(), ini));
    RecSettings bad = ini;
    SetTextField(bad.presetName, "bad");
    bad.removeDc = 0;
    bad.dcResponsivity = 100000;
    const std::string preset = dir / "bad.pmr";
    ASSERT_TRUE(WriteSettingsFile(preset, bad));
    std::vector<char> bytes = test::ReadFile(preset);
    bytes[1584] ^= 1;
    test::WriteFile(preset, bytes);

    core.LoadPreset(preset);
    EXPECT_TRUE(LogHas(core, "ERROR:   Preset file is corrupted or version mismatch. Loading ini..."));
    EXPECT_TRUE(LogHas(core, "Preset \"ini\" (pelmora.ini) loaded"));
    EXPECT_STREQ(core.Settings().presetName, "ini");
    EXPECT_EQ(core.Settings().removeDc, 1);
    EXPECT_EQ(core.Settings().dcResponsivity, 50);
    EXPECT_TRUE(core.Pipeline().pipelineReady.load());
    core.Close();
}

TEST(AppCore, SaveAsksBeforeReplacingAFileTheDialogDidNotAskAbout) {
    test::TempDir dir;
    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    const std::vector<char> keep = {'k', 'e', 'e', 'p'};
    test::WriteFile(dir / "mine.pmr", keep);
    std::string path, error;

    // "mine" typed in the dialog, which found no file of that name; mine.pmr exists.
    view.answerYes = false;
    EXPECT_EQ(core.SavePreset(dir / "mine", "Mine", &path, &error), PresetSave::Declined);
    EXPECT_EQ(view.questions, (std::vector<std::string>{"mine.pmr already exists.\nDo you want to replace it?"}));
    EXPECT_EQ(test::ReadFile(dir / "mine.pmr"), keep);
    EXPECT_STREQ(core.Settings().presetName, "default");

    view.answerYes = true;
    EXPECT_EQ(core.SavePreset(dir / "mine", "Mine", &path, &error), PresetSave::Saved);
    EXPECT_EQ(path, dir / "mine.pmr");
    EXPECT_EQ(test::ReadFile(dir / "mine.pmr").size(), kSettingsFileSize);
    EXPECT_STREQ(core.Settings().presetName, "Mine");

    // The dialog itself asked about a name it returned as it is, and about new files nobody asks.
    view.questions.clear();
    EXPECT_EQ(core.SavePreset(dir / "mine.pmr", "Mine", &path, &error), PresetSave::Saved);
    EXPECT_EQ(core.SavePreset(dir / "other", "Other", &path, &error), PresetSave::Saved);
    EXPECT_EQ(path, dir / "other.pmr");
    EXPECT_TRUE(view.questions.empty());

    // A long name of two-byte characters is cut between characters, never inside one.
    std::string accents;
    for (int i = 0; i < 250; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(core.SavePreset(dir / "accents.pmr", accents, &path, &error), PresetSave::Saved);
    EXPECT_EQ(TextField(core.Settings().presetName), accents.substr(0, 254));

    EXPECT_EQ(core.SavePreset(dir / "missing/x.pmr", "x", &path, &error), PresetSave::Failed);
    EXPECT_FALSE(error.empty());
    core.Close();
}

TEST(AppCore, CloseRunsOnceAndNeverBeforeStart) {
    test::TempDir dir;
    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Close();
    EXPECT_TRUE(view.steps.empty());
    EXPECT_FALSE(test::FileExists(core.IniPath()));
    core.Start(view);
    core.Close();
    std::size_t after = view.steps.size();
    core.Close();
    EXPECT_EQ(view.steps.size(), after);
}

TEST(AppCore, UnwritableIniIsReportedAndTheCloseGoesOn) {
    test::TempDir dir;
    AppCore core(dir.Path() + "missing/", Simulated());
    FakeView view(core);
    core.Start(view);
    view.steps.clear();
    core.Close();
    EXPECT_LT(IndexOf(view.steps, "writefail"), IndexOf(view.steps, "killtimer"));
    EXPECT_EQ(std::count(view.steps.begin(), view.steps.end(), "writefail"), 1);
    EXPECT_NE(IndexOf(view.steps, "killtimer"), view.steps.size());
}

// An installed program: settings in the per-user folder, recordings in the music folder.
TEST(AppCore, PerUserFoldersHoldTheSettingsAndTheMusicFolderTheRecordings) {
    test::TempDir dir;
    ProgramPaths paths;
    paths.executableFolder = dir / "usr/bin/";
    paths.programFolder = dir.Path();
    paths.outputFolder = dir / "Music/";
    paths.perUser = true;
    {
        AppCore core(paths, Simulated());
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(core.IniPath(), dir / "pelmora.ini");
        EXPECT_EQ(core.DefaultOutputFolder(), dir / "Music/");
        EXPECT_EQ(TextField(core.Settings().outputFolder), dir / "Music/");
        core.Settings().writeUncompressed = 1;
        core.Settings().addTimestamp = 0;
        core.OnRecord();
        ASSERT_TRUE(core.IsRecording());
        view.stopping = true;
        core.OnRecord();
        core.Close();
    }
    EXPECT_GE(test::ReadFile(dir / "Music/take.wav").size(), 44u);
    EXPECT_FALSE(test::FileExists(dir / "take.wav"));
    std::vector<char> bytes = test::ReadFile(dir / "pelmora.ini");
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    RecSettings saved;
    std::memcpy(&saved, bytes.data(), sizeof saved);
    EXPECT_EQ(TextField(saved.outputFolder), dir / "Music/");

    // A settings file that must be replaced by the defaults gets the music folder too.
    bytes[0] ^= 1;
    test::WriteFile(dir / "pelmora.ini", bytes);
    paths.problem = "Can not create directory /x/: Permission denied";
    AppCore again(paths, Simulated());
    FakeView view(again);
    again.Start(view);
    EXPECT_TRUE(LogHas(again, "ERROR:   Can not create directory /x/: Permission denied"));
    EXPECT_TRUE(LogHas(again, "ERROR:   ini file is corrupted or version mismatch. Loading defaults..."));
    EXPECT_EQ(TextField(again.Settings().outputFolder), dir / "Music/");
    again.Close();
}

// Lines of the log without their time stamps.
std::vector<std::string> LogTexts(AppCore& core) {
    std::vector<std::string> texts;
    for (const auto& line : core.Log().Lines()) {
        const std::size_t dash = line.find(" - ");
        texts.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
    }
    return texts;
}

std::size_t CountLog(AppCore& core, const std::string& text) {
    const auto texts = LogTexts(core);
    return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
}

void WriteIni(const test::TempDir& dir, int deviceIndex, int formatIndex) {
    RecSettings s{};
    SetDefaultSettings(s, dir.Path());
    s.deviceIndex = deviceIndex;
    s.formatIndex = formatIndex;
    ASSERT_TRUE(WriteSettingsFile(dir / "pelmora.ini", s));
}

RecSettings ReadIni(const std::string& path) {
    const std::vector<char> bytes = test::ReadFile(path);
    RecSettings s{};
    if (bytes.size() >= sizeof s) std::memcpy(&s, bytes.data(), sizeof s);
    return s;
}

TEST(AppCore, StoredDeviceOrFormatOutsideTheListsOpensTheShownEntryWithAWarning) {
    {
        // A settings file from a machine with more devices.
        test::TempDir dir;
        WriteIni(dir, 3, 0);
        AppCore core(dir.Path(), Simulated());
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(CountLog(core, "WARNING: Stored input device 3 is not present, using \"Simulated input\" instead"), 1u);
        EXPECT_TRUE(core.Pipeline().pipelineReady.load());
        EXPECT_TRUE(view.recordEnabled);
        EXPECT_EQ(view.state, kStateReady);
        EXPECT_EQ(CountLog(core, "SUCCESS: waveIn device open"), 1u);
        core.Close();
        EXPECT_EQ(ReadIni(core.IniPath()).deviceIndex, 0);  // what the list showed and the device used
    }
    {
        // A format the device does not offer.
        test::TempDir dir;
        WriteIni(dir, 0, 50);
        AppCore core(dir.Path(), Simulated());
        FakeView view(core);
        core.Start(view);
        EXPECT_EQ(CountLog(core, "WARNING: Stored format 50 is not present, using \"8 kHz, 8 bit, mono\" instead"), 1u);
        EXPECT_TRUE(core.Pipeline().pipelineReady.load());
        ASSERT_NE(core.SelectedFormat(), nullptr);
        EXPECT_EQ(core.Pipeline().format.sampleRate.load(), 8000);
        core.Close();
        EXPECT_EQ(ReadIni(core.IniPath()).formatIndex, 0);
    }
}

TEST(AppCore, WithoutASoundServerTheOpenErrorIsLoggedAndTheBannerShowsTheFailure) {
    test::TempDir dir;
    SimulatedWaveInConfig config;
    config.serverDown = true;
    AppCore core(dir.Path(), std::make_unique<SimulatedWaveInBackend>(config));
    FakeView view(core);
    core.Start(view);
    const auto texts = LogTexts(core);
    const auto line = std::find(texts.begin(), texts.end(), "ERROR:   There is no PCM format supported");
    ASSERT_NE(line, texts.end());
    ASSERT_NE(line, texts.begin());
    EXPECT_EQ(*(line - 1), std::strerror(ECONNREFUSED));
    EXPECT_EQ(view.state, kStateInitFailed);
    EXPECT_NE(IndexOf(view.steps, "blank"), view.steps.size());
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_FALSE(core.Pipeline().pipelineReady.load());
    core.Close();
}

TEST(AppCore, DeviceDyingDuringARecordingIsNeverWrittenAsSoundAndIsReopenedEverySecond) {
    test::TempDir dir;
    SimulatedWaveInConfig config;
    config.source = SimulatedSource::kSine;
    config.startStalled = true;
    config.dieAfterBuffers = 3;
    auto owned = std::make_unique<SimulatedWaveInBackend>(config);
    SimulatedWaveInBackend& backend = *owned;
    AppCore core(dir.Path(), std::move(owned));
    FakeView view(core);
    core.Start(view);
    core.Settings().writeUncompressed = 1;
    core.Settings().addTimestamp = 0;
    core.OnRecord();
    ASSERT_TRUE(core.IsRecording());

    // Three whole buffers, then the sound server goes away in the middle of the fourth.
    const int bufferBytes = core.Pipeline().bufferBytes.load();
    backend.Probe().ReturnMore(10);
    // Until the receiving thread has dealt with the broken buffer (lost, or in the ring) and
    // the preprocessing thread has forwarded what came before it.
    const PipelineState& pipe = core.Pipeline();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(pipe.deviceFailed.load() && (pipe.lostSeconds.Load() > 0 || core.Meters().block >= 4) &&
             core.Meters().block >= 3) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(pipe.deviceFailed.load());
    EXPECT_DOUBLE_EQ(pipe.lostSeconds.Load(), pipe.bufferSeconds.load());
    EXPECT_EQ(core.Meters().block, 3u);
    SimulatedWaveInConfig down = config;
    down.serverDown = true;
    backend.SetConfig(down);

    const int opensBefore = backend.Probe().OpenCalls();
    core.OnTimer();
    EXPECT_FALSE(core.IsRecording());
    EXPECT_EQ(CountLog(core, "ERROR:   waveIn device error occurred, try restart or reboot to recover"), 1u);
    EXPECT_EQ(view.state, kStateInitFailed);
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_EQ(backend.Probe().OpenCalls(), opensBefore + 1);  // tried at once, quietly
    EXPECT_EQ(CountLog(core, "ERROR:   Cannot open waveIn device"), 0u);

    // The file holds the three whole buffers and nothing that was not captured.
    std::vector<char> wav = test::ReadFile(dir / "take.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.size() - 44, static_cast<std::size_t>(3 * bufferBytes));

    core.OnTimer();
    EXPECT_EQ(backend.Probe().OpenCalls(), opensBefore + 2);
    EXPECT_EQ(view.state, kStateInitFailed);
    EXPECT_EQ(CountLog(core, "SUCCESS: waveIn device open"), 1u);

    // The server is back: the next second's attempt opens the device.
    SimulatedWaveInConfig up;
    up.source = SimulatedSource::kSine;
    backend.SetConfig(up);
    core.OnTimer();
    EXPECT_EQ(CountLog(core, "SUCCESS: waveIn device open"), 2u);
    EXPECT_TRUE(core.Pipeline().pipelineReady.load());
    EXPECT_EQ(view.state, kStateReady);
    EXPECT_TRUE(view.recordEnabled);
    core.OnTimer();
    EXPECT_EQ(backend.Probe().OpenCalls(), opensBefore + 3);  // no more attempts once it runs
    core.Close();
}

TEST(AppCore, ADeviceThatRunsButDeliversNothingFailsAndIsReopenedEverySecond) {
    test::TempDir dir;
    SimulatedWaveInConfig config;
    config.source = SimulatedSource::kSine;
    config.startStalled = true;
    config.noDataAfterBuffers = 3;
    auto owned = std::make_unique<SimulatedWaveInBackend>(config);
    SimulatedWaveInBackend& backend = *owned;
    AppCore core(dir.Path(), std::move(owned));
    FakeView view(core);
    core.Start(view);
    core.Settings().writeUncompressed = 1;
    core.Settings().addTimestamp = 0;
    core.OnRecord();
    ASSERT_TRUE(core.IsRecording());

    // Three whole buffers, then every read overruns and every recovery succeeds.
    const int bufferBytes = core.Pipeline().bufferBytes.load();
    const double bufferSeconds = core.Pipeline().bufferSeconds.load();
    backend.Probe().ReturnMore(3);
    const PipelineState& pipe = core.Pipeline();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(pipe.deviceFailed.load() && core.Meters().block >= 3) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(pipe.deviceFailed.load());
    EXPECT_EQ(CountLog(core, "ERROR:   waveIn device delivers no sound"), 1u);
    // The time the device ran without delivering is lost: at least two buffers.
    EXPECT_GE(pipe.lostSeconds.Load(), 2 * bufferSeconds);

    // The supervision's rules: the recording stops, the failure is reported once, and the
    // device is opened again at once (the server is back by then).
    SimulatedWaveInConfig up;
    up.source = SimulatedSource::kSine;
    backend.SetConfig(up);
    const int opensBefore = backend.Probe().OpenCalls();
    core.OnTimer();
    EXPECT_FALSE(core.IsRecording());
    EXPECT_EQ(CountLog(core, "ERROR:   waveIn device error occurred, try restart or reboot to recover"), 1u);
    EXPECT_EQ(backend.Probe().OpenCalls(), opensBefore + 1);
    EXPECT_TRUE(pipe.pipelineReady.load());
    EXPECT_FALSE(pipe.deviceFailed.load());
    EXPECT_EQ(CountLog(core, "SUCCESS: waveIn device open"), 2u);
    // Nothing of the time without sound was written as sound.
    std::vector<char> wav = test::ReadFile(dir / "take.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.size() - 44, static_cast<std::size_t>(3 * bufferBytes));

    // And it records again.
    core.OnRecord();
    ASSERT_TRUE(core.IsRecording());
    const auto recorded = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (pipe.writtenBytes.load() < 4 * bufferBytes && std::chrono::steady_clock::now() < recorded)
        std::this_thread::yield();
    EXPECT_GE(pipe.writtenBytes.load(), 4 * bufferBytes);
    core.OnRecord();
    EXPECT_FALSE(pipe.deviceFailed.load());
    core.Close();
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

using test::ThreadSchedule;

// The interface thread of these tests is a thread of their own, started at the process's
// starting level: an ordinary user could not bring the test's main thread back once a test
// had lowered it.
template <typename F>
void OnInterfaceThread(F body) {
    ThreadRoles::Instance().StartLauncher();
    ThreadRoles::Instance().SetPlan(PriorityPlan{});
    std::thread interface = ThreadRoles::Instance().StartThread(ThreadRole::Interface, "test-interface", body);
    interface.join();
}

std::vector<std::string> Warnings(AppCore& core) {
    std::vector<std::string> found;
    for (const auto& line : core.Log().Lines())
        if (line.find("WARNING: ") != std::string::npos) found.push_back(line);
    return found;
}

// An encoder that notes its nice value as it starts and takes its input.
void WriteNiceNotingEncoder(const test::TempDir& dir) {
    const std::string lame = dir / "lame";
    FILE* f = std::fopen(lame.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("#!/bin/sh\nset -- $(cat /proc/$$/stat)\necho \"${19}\" > \"$0.nice\"\ncat > /dev/null\n", f);
    std::fclose(f);
    ASSERT_EQ(::chmod(lame.c_str(), 0755), 0);
}

// Waits for the encoder's note of its nice value at start.
std::string NiceAtStart(const test::TempDir& dir) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string text;
    while (std::chrono::steady_clock::now() < deadline) {
        text = test::ReadText(dir / "lame.nice");
        if (!text.empty() && text.back() == '\n') return text.substr(0, text.size() - 1);
        std::this_thread::yield();
    }
    return text;
}

pid_t ThreadNamed(const std::string& name) {
    for (pid_t tid : test::ThreadIds())
        if (ThreadSchedule(tid).name == name) return tid;
    return 0;
}

// The nice value a thread set to `want` has when this user may only lower priorities.
int Reachable(int want) { return test::RaisingPermitted() ? want : std::max(want, 0); }

TEST(AppCorePriorities, ThreadsAndTheEncoderStartedLaterDoNotTakeTheInterfaceThreadsLevel) {
    test::TempDir dir;
    {
        RecSettings s{};
        SetDefaultSettings(s, dir.Path());
        s.processPriorityClass = 1;    // Normal
        s.uiThreadPriority = 0;        // Idle: nice 19
        s.receiveThreadPriority = 5;   // Highest: nice -10 where permitted
        s.writeUncompressed = 0;
        s.addTimestamp = 0;
        ASSERT_TRUE(WriteSettingsFile(dir / "pelmora.ini", s));
    }
    WriteNiceNotingEncoder(dir);
    OnInterfaceThread([&] {
        const pid_t interface = CurrentThreadId();
        AppCore core(dir.Path(), Simulated());
        FakeView view(core);
        core.Start(view);  // opens the device after the priorities are set
        ASSERT_TRUE(core.Pipeline().pipelineReady.load());
        EXPECT_EQ(ThreadSchedule(interface).nice, 19);
        core.OnRecord();
        ASSERT_TRUE(core.IsRecording());
        const pid_t encoder = core.EncoderProcessId();
        ASSERT_GT(encoder, 0);
        EXPECT_EQ(NiceAtStart(dir), "0") << "the encoder started at the interface thread's level";
        EXPECT_EQ(test::ProcessSchedule(encoder).nice, 0);

        for (pid_t tid : test::ThreadIds()) {
            if (tid == interface || tid == ::getpid()) continue;  // the test's main thread: earlier tests
            const test::TaskSchedule t = ThreadSchedule(tid);
            EXPECT_NE(t.nice, 19) << t.name << " took the interface thread's level";
            EXPECT_EQ(t.policy, SCHED_OTHER) << t.name;
        }
        const test::TaskSchedule receiving = ThreadSchedule(core.ReceiveThreadId());
        EXPECT_EQ(receiving.nice, Reachable(-10));
        const pid_t device = ThreadNamed("pelmora-simdev");
        ASSERT_GT(device, 0);
        EXPECT_EQ(ThreadSchedule(device).nice, receiving.nice) << "the device thread serves the receiving thread";
        const pid_t console = ThreadNamed("pelmora-lameout");
        ASSERT_GT(console, 0);
        EXPECT_EQ(ThreadSchedule(console).nice, 0) << "the console reader serves the encoder";
        // What could not be raised is said once, though the start-up sets the level twice.
        int said = 0;
        for (const std::string& line : Warnings(core))
            said += line.find("Sound receiving thread nice -10, runs at nice 0") != std::string::npos ? 1 : 0;
        EXPECT_EQ(said, test::RaisingPermitted() ? 0 : 1);

        view.stopping = true;
        core.OnRecord();
        core.Close();
    });
}

TEST(AppCorePriorities, ApplySetsEachThreadOnceAndLogsWhatTheSystemRefused) {
    test::TempDir dir;
    {
        RecSettings s{};
        SetDefaultSettings(s, dir.Path());
        s.processPriorityClass = 0;      // Idle: nice 10 plus each level
        s.uiThreadPriority = 3;          // Normal: 10
        s.receiveThreadPriority = 2;     // Below Normal: 15
        s.preprocessThreadPriority = 5;  // Highest: 0
        s.writerThreadPriority = 4;      // Above Normal: 5
        ASSERT_TRUE(WriteSettingsFile(dir / "pelmora.ini", s));
    }
    WriteNiceNotingEncoder(dir);
    OnInterfaceThread([&] {
        const pid_t interface = CurrentThreadId();
        AppCore core(dir.Path(), Simulated());
        FakeView view(core);
        core.Start(view);
        // Every value is a lowering from where a thread starts: reached by anyone.
        EXPECT_EQ(ThreadSchedule(interface).nice, 10);
        EXPECT_EQ(ThreadSchedule(core.ReceiveThreadId()).nice, 15);
        EXPECT_EQ(ThreadSchedule(core.PreprocessThreadId()).nice, 0);
        EXPECT_EQ(ThreadSchedule(core.WriterThreadId()).nice, 5);
        // Only the test's main thread, which earlier tests lowered, may be out of reach.
        const std::size_t atStart = Warnings(core).size();
        for (const std::string& line : Warnings(core)) EXPECT_EQ(line.find(" thread "), std::string::npos) << line;

        // "Windows Default": an ordinary user cannot raise the lowered threads again.
        RecSettings& s = core.Settings();
        s.processPriorityClass = 1;
        s.uiThreadPriority = s.receiveThreadPriority = s.preprocessThreadPriority = s.writerThreadPriority = 3;
        core.ApplyPriorities();
        const bool raised = test::RaisingPermitted();
        EXPECT_EQ(ThreadSchedule(interface).nice, raised ? 0 : 10);
        EXPECT_EQ(ThreadSchedule(core.ReceiveThreadId()).nice, raised ? 0 : 15);
        EXPECT_EQ(ThreadSchedule(core.PreprocessThreadId()).nice, 0);
        EXPECT_EQ(ThreadSchedule(core.WriterThreadId()).nice, raised ? 0 : 5);
        const std::vector<std::string> warnings = Warnings(core);
        if (raised) {
            EXPECT_EQ(warnings.size(), atStart);
        } else {
            ASSERT_EQ(warnings.size(), atStart + 1) << "one line per Apply";
            const std::string& line = warnings.back();
            EXPECT_NE(line.find("Sound receiving thread nice 0, runs at nice 15"), std::string::npos) << line;
            EXPECT_NE(line.find("Interface thread nice 0, runs at nice 10"), std::string::npos) << line;
            EXPECT_EQ(line.find("Sound preprocessing thread"), std::string::npos) << line;
            EXPECT_NE(line.find(std::strerror(EACCES)), std::string::npos) << line;
        }

        // The running encoder at once, and in the same one line.
        core.Settings().writeUncompressed = 0;
        core.Settings().addTimestamp = 0;
        core.OnRecord();
        ASSERT_TRUE(core.IsRecording());
        const pid_t encoder = core.EncoderProcessId();
        ASSERT_GT(encoder, 0);
        EXPECT_EQ(NiceAtStart(dir), "0");
        s.encoderPriorityClass = 0;   // Idle
        s.encoderThreadPriority = 2;  // Below Normal
        core.ApplyPriorities();
        EXPECT_EQ(test::ProcessSchedule(encoder).nice, 15);
        EXPECT_EQ(ThreadSchedule(ThreadNamed("pelmora-lameout")).nice, 15);
        s.encoderThreadPriority = 3;
        core.ApplyPriorities();
        EXPECT_EQ(test::ProcessSchedule(encoder).nice, raised ? 10 : 15);
        if (!raised) {
            const std::vector<std::string> now = Warnings(core);
            ASSERT_EQ(now.size(), warnings.size() + 2);
            EXPECT_NE(now.back().find("Lame process"), std::string::npos) << now.back();
        }
        view.stopping = true;
        core.OnRecord();
        core.Close();
    });
}

TEST(AppCorePriorities, RealTimeThreadsDoNotPassTheirPolicyOn) {
    if (!test::RealTimeAllowed()) GTEST_SKIP() << "this user may not use real-time scheduling";
    test::TempDir dir;
    {
        RecSettings s{};
        SetDefaultSettings(s, dir.Path());
        s.uiThreadPriority = 6;       // Time Critical
        s.receiveThreadPriority = 6;  // Time Critical
        s.writeUncompressed = 0;
        s.addTimestamp = 0;
        ASSERT_TRUE(WriteSettingsFile(dir / "pelmora.ini", s));
    }
    WriteNiceNotingEncoder(dir);
    OnInterfaceThread([&] {
        const pid_t interface = CurrentThreadId();
        AppCore core(dir.Path(), Simulated());
        FakeView view(core);
        core.Start(view);
        for (pid_t tid : {interface, core.ReceiveThreadId(), ThreadNamed("pelmora-simdev")}) {
            ASSERT_GT(tid, 0);
            const int policy = ::sched_getscheduler(tid);
            EXPECT_EQ(policy & ~SCHED_RESET_ON_FORK, SCHED_FIFO) << ThreadSchedule(tid).name;
            EXPECT_TRUE(policy & SCHED_RESET_ON_FORK) << ThreadSchedule(tid).name;
        }
        // A thread the interface thread starts itself inherits nothing real-time.
        int childPolicy = -1;
        std::thread child([&] { childPolicy = ::sched_getscheduler(0); });
        child.join();
        EXPECT_EQ(childPolicy & ~SCHED_RESET_ON_FORK, SCHED_OTHER);
        core.OnRecord();
        ASSERT_GT(core.EncoderProcessId(), 0);
        EXPECT_EQ(NiceAtStart(dir), "0");
        EXPECT_EQ(test::ProcessSchedule(core.EncoderProcessId()).policy, SCHED_OTHER);
        view.stopping = true;
        core.OnRecord();
        core.Close();
    });
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

TEST(AppCoreTuning, LoadingAPresetRebuildsTheDcWeightsFromItsPeriodAndBufferRate) {
    test::TempDir dir;
    RecSettings preset{};
    SetDefaultSettings(preset, dir.Path());
    preset.dcAveragePeriod = 20.0;
    preset.meterRateIndex = 3;  // 20 buffers per second
    ASSERT_TRUE(WriteSettingsFile(dir / "tuned.pmr", preset));

    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    ASSERT_TRUE(core.Pipeline().pipelineReady.load());
    core.LoadPreset(dir / "tuned.pmr");
    EXPECT_EQ(core.Pipeline().buffersPerSecond.load(), 20.0);
    EXPECT_EQ(core.Dc().BuiltWeightCount(), 1200);
    core.Close();
}

TEST(AppCoreTuning, ANewBufferRateRebuildsTheDcWeightsForIt) {
    test::TempDir dir;
    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    ASSERT_EQ(core.Settings().dcAveragePeriod, 5.0);
    ASSERT_EQ(core.Dc().BuiltWeightCount(), 150);  // 5 s at 10 buffers per second, three times

    // "Sound buffers" applied with 2 buffers per second: the 5 s period stays 5 s.
    core.Settings().meterRateIndex = 0;
    core.ApplyBufferSettings();
    ASSERT_EQ(core.Pipeline().buffersPerSecond.load(), 2.0);
    EXPECT_EQ(core.Dc().BuiltWeightCount(), 30);
    EXPECT_TRUE(core.Pipeline().pipelineReady.load());
    core.Close();
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

TEST(AppCore, LoadingAPresetPutsItsBitrateTableInForceWithLsfModeAndTheAbrRange) {
    test::TempDir dir;
    RecSettings lsf{};
    SetDefaultSettings(lsf, dir.Path());
    lsf.resampleIndex = 5;  // 22.05 kHz: MPEG-2 bitrates
    lsf.abrBitrate = 64;
    ASSERT_TRUE(WriteSettingsFile(dir / "lsf.pmr", lsf));
    RecSettings mpeg1 = lsf;
    mpeg1.resampleIndex = 8;  // 44.1 kHz
    mpeg1.abrBitrate = 256;
    ASSERT_TRUE(WriteSettingsFile(dir / "mpeg1.pmr", mpeg1));

    AppCore core(dir.Path(), Simulated());
    FakeView view(core);
    core.Start(view);
    EXPECT_EQ(core.Bitrate().lsfMode, core.ActiveBitrateTable() == BitrateTable::Mpeg1 ? 1 : 2);
    core.LoadPreset(dir / "lsf.pmr");
    EXPECT_EQ(core.ActiveBitrateTable(), BitrateTable::Lsf);
    EXPECT_EQ(core.Bitrate().lsfMode, 2);
    EXPECT_EQ(view.abrRange, std::make_pair(8, 160));
    EXPECT_EQ(core.Settings().abrBitrate, 64);
    core.LoadPreset(dir / "mpeg1.pmr");
    EXPECT_EQ(core.ActiveBitrateTable(), BitrateTable::Mpeg1);
    EXPECT_EQ(core.Bitrate().lsfMode, 1);
    EXPECT_EQ(view.abrRange, std::make_pair(80, 310));
    EXPECT_EQ(core.Settings().abrBitrate, 256);
    core.Close();
}

}  // namespace
}  // namespace pelmora
