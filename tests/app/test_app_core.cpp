#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "settings/SettingsFile.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

// Records the window's steps, and what the program looked like at each of them.
class FakeView : public AppView {
public:
    explicit FakeView(AppCore& core) : core_(core) {}

    void CreateSettingsSheet() override { Step("sheet"); }
    void ShowSettings() override { Step("show"); }
    void BuildStatusPanel() override { Step("panel"); }
    void StartTimer() override { Step("timer"); }
    void SetupCpuGraph() override { Step("graph"); }
    void SetupMeters() override { Step("meters"); }
    void SetGeneralPageIdle() override { Step("idle"); }
    void StopRecording() override {
        Step("stop");
        // What the stop leaves behind must reach the saved file.
        SetTextField(core_.Settings().presetName, "after stop");
        core_.Pipeline().isRecording = false;
    }
    void ReleaseImages() override { Step("release"); }
    void DestroySettingsSheet() override { Step("destroy"); }
    void StopTimer() override { Step("killtimer"); }
    void ReportSettingsWriteFailure(const std::string&, const std::string&) override { Step("writefail"); }
    void SetCompressionOptions(const std::string& text) override {
        Step("options");
        options = text;
    }
    void SetDescription(const std::string&) override { Step("description"); }

    std::vector<std::string> steps;
    std::string options;
    bool iniExistedAtSheet = false;

private:
    void Step(const std::string& name) {
        if (name == "sheet") iniExistedAtSheet = test::FileExists(core_.IniPath());
        steps.push_back(name);
    }
    AppCore& core_;
};

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
    AppCore core(dir.Path());
    FakeView view(core);
    core.Start(view);
    EXPECT_TRUE(view.iniExistedAtSheet);
    EXPECT_TRUE(LogHas(core, "ERROR:   ini load failed. Loading defaults..."));
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
    EXPECT_FALSE(view.options.empty());
}

TEST(AppCore, CloseWhileRecordingStopsFirstThenSavesVersion130) {
    test::TempDir dir;
    AppCore core(dir.Path());
    FakeView view(core);
    core.Start(view);
    core.Settings().settingsVersion = 7;
    core.Pipeline().isRecording = true;
    view.steps.clear();
    core.Close(view);

    ASSERT_FALSE(view.steps.empty());
    EXPECT_EQ(view.steps.front(), "stop");
    EXPECT_LT(IndexOf(view.steps, "release"), IndexOf(view.steps, "destroy"));
    EXPECT_LT(IndexOf(view.steps, "destroy"), IndexOf(view.steps, "killtimer"));

    std::vector<char> bytes = test::ReadFile(core.IniPath());
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    RecSettings saved;
    std::memcpy(&saved, bytes.data(), sizeof saved);
    EXPECT_EQ(saved.settingsVersion, 130);
    EXPECT_EQ(TextField(saved.presetName), "after stop");
    EXPECT_EQ(std::string(bytes.data() + kRecSettingsSize), SettingsDigest(saved));
}

TEST(AppCore, SavedSettingsLoadCleanlyOnTheNextStart) {
    test::TempDir dir;
    {
        AppCore core(dir.Path());
        FakeView view(core);
        core.Start(view);
        SetTextField(core.Settings().presetName, "50% louder");
        core.Close(view);
    }
    AppCore again(dir.Path());
    FakeView view(again);
    again.Start(view);
    EXPECT_TRUE(LogHas(again, "Preset \"50% louder\" (pelmora.ini) loaded"));
    again.Close(view);
}

TEST(AppCore, CloseRunsOnceAndNeverBeforeStart) {
    test::TempDir dir;
    AppCore core(dir.Path());
    FakeView view(core);
    core.Close(view);
    EXPECT_TRUE(view.steps.empty());
    EXPECT_FALSE(test::FileExists(core.IniPath()));
    core.Start(view);
    core.Close(view);
    std::size_t after = view.steps.size();
    core.Close(view);
    EXPECT_EQ(view.steps.size(), after);
}

TEST(AppCore, UnwritableIniIsReportedAndTheCloseGoesOn) {
    test::TempDir dir;
    AppCore core(dir.Path() + "missing/");
    FakeView view(core);
    core.Start(view);
    view.steps.clear();
    core.Close(view);
    EXPECT_LT(IndexOf(view.steps, "writefail"), IndexOf(view.steps, "killtimer"));
    EXPECT_NE(IndexOf(view.steps, "killtimer"), view.steps.size());
}

}  // namespace
}  // namespace pelmora
