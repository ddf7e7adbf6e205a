// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstring>

#include "settings/SettingsFile.h"
#include "support/RecordingLog.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

using test::ReadFile;
using test::RecordingLog;
using test::TempDir;
using test::WriteFile;

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() {
        std::memset(&s, 0, sizeof s);
        SetDefaultSettings(s, dir.Path());
    }

    std::string Ini() const { return dir / "pelmora.ini"; }

    // A valid file for a record, with optional edits after the digest was computed.
    std::vector<char> FileFor(const RecSettings& r) {
        std::string p = dir / "tmp.bin";
        EXPECT_TRUE(WriteSettingsFile(p, r));
        return ReadFile(p);
    }

    RecSettings Load(const std::string& path) {
        RecSettings out;
        std::memset(&out, 0, sizeof out);
        LoadSettings(out, path, dir.Path(), log);
        return out;
    }

    TempDir dir;
    RecSettings s;
    RecordingLog log;
};

TEST_F(SettingsFileTest, DigestIsLowercaseMd5OfTheWholeImage) {
    std::string d = SettingsDigest(s);
    ASSERT_EQ(d.size(), 32u);
    for (char c : d) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f'));
    RecSettings t = s;
    t.presetName[200] = 'x';  // after the terminator: still covered
    EXPECT_NE(SettingsDigest(t), d);

    RecSettings zero;
    std::memset(&zero, 0, sizeof zero);
    // MD5 of 1584 zero bytes, computed independently.
    EXPECT_EQ(SettingsDigest(zero), "c513d70cd188ecbb12bf18f31a1948a3");
}

TEST_F(SettingsFileTest, FirstStartWritesDefaultsThatLoadBack) {
    RecSettings loaded = Load(Ini());
    // No file yet is no failure.
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Default preset loaded"});
    auto bytes = ReadFile(Ini());
    ASSERT_EQ(bytes.size(), 1617u);
    EXPECT_EQ(bytes[1616], '\0');
    EXPECT_EQ(std::string(bytes.data() + 1584, 32), SettingsDigest(loaded));
    EXPECT_EQ(std::memcmp(&loaded, &s, sizeof s), 0);

    log.Clear();
    RecSettings again = Load(Ini());
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Preset \"default\" (pelmora.ini) loaded"});
    EXPECT_EQ(std::memcmp(&again, &s, sizeof s), 0);
}

TEST_F(SettingsFileTest, AnIniThatExistsButCannotBeReadIsAnError) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1616}}) {
        WriteFile(Ini(), std::vector<char>(size, 'x'));
        log.Clear();
        Load(Ini());
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{"ERROR:   ini load failed. Loading defaults...",
                                                         "Default preset loaded"}))
            << size;
        EXPECT_EQ(ReadFile(Ini()).size(), 1617u);
    }
    // A folder where the file should be cannot be read either.
    ::unlink(Ini().c_str());
    ASSERT_EQ(::mkdir(Ini().c_str(), 0755), 0);
    log.Clear();
    Load(Ini());
    EXPECT_EQ(log.Lines().at(0), "ERROR:   ini load failed. Loading defaults...");
    ::rmdir(Ini().c_str());
}

TEST_F(SettingsFileTest, AnyChangedRecordByteFailsTheDigest) {
    auto bytes = FileFor(s);
    for (std::size_t offset : {std::size_t{0}, std::size_t{41}, std::size_t{900}, std::size_t{1583}}) {
        auto bad = bytes;
        bad[offset] ^= 0x01;
        WriteFile(Ini(), bad);
        log.Clear();
        Load(Ini());
        EXPECT_EQ(log.Lines().front(), "ERROR:   ini file is corrupted or version mismatch. Loading defaults...")
            << offset;
        log.Clear();
        EXPECT_EQ(Load(Ini()).settingsVersion, 130);
        EXPECT_EQ(log.Lines(), std::vector<std::string>{"Preset \"default\" (pelmora.ini) loaded"})
            << "defaults written back";
    }
}

TEST_F(SettingsFileTest, DigestCaseDoesNotMatter) {
    SetTextField(s.presetName, "loud");
    auto bytes = FileFor(s);
    for (std::size_t i = 1584; i < 1616; ++i) bytes[i] = static_cast<char>(std::toupper(bytes[i]));
    std::string preset = dir / "upper.pmr";
    WriteFile(preset, bytes);
    RecSettings loaded = Load(preset);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Preset \"loud\" (upper.pmr) loaded"});
    EXPECT_STREQ(loaded.presetName, "loud");
}

TEST_F(SettingsFileTest, WrongLengthIsUnreadableWhateverItHolds) {
    WriteSettingsFile(Ini(), s);  // a good ini to fall back to
    auto bytes = FileFor(s);
    for (std::size_t size : {std::size_t{1616}, std::size_t{1618}, std::size_t{0}}) {
        auto other = bytes;
        other.resize(size, '\0');
        std::string preset = dir / "odd.pmr";
        WriteFile(preset, other);
        log.Clear();
        Load(preset);
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{"ERROR:   Preset (odd.pmr) load failed. Loading ini",
                                                         "Preset \"default\" (pelmora.ini) loaded"}))
            << size;
    }
}

TEST_F(SettingsFileTest, OtherVersionIsRejectedEvenWithAGoodDigest) {
    WriteSettingsFile(Ini(), s);
    RecSettings old = s;
    old.settingsVersion = 129;
    SetTextField(old.presetName, "old");
    std::string preset = dir / "old.pmr";
    WriteFile(preset, FileFor(old));
    RecSettings loaded = Load(preset);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "ERROR:   Preset file is corrupted or version mismatch. Loading ini...",
                               "Preset \"default\" (pelmora.ini) loaded"}));
    EXPECT_EQ(loaded.settingsVersion, 130);
    EXPECT_STREQ(loaded.presetName, "default");
}

TEST_F(SettingsFileTest, ReadOnlyPresetFallsBackToTheIni) {
    WriteSettingsFile(Ini(), s);
    RecSettings other = s;
    SetTextField(other.presetName, "locked");
    std::string preset = dir / "locked.pmr";
    WriteFile(preset, FileFor(other));
    ASSERT_EQ(::chmod(preset.c_str(), 0444), 0);
    RecSettings loaded = Load(preset);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"ERROR:   Preset (locked.pmr) load failed. Loading ini",
                                                     "Preset \"default\" (pelmora.ini) loaded"}));
    EXPECT_STREQ(loaded.presetName, "default");
}

TEST_F(SettingsFileTest, BadIniFallsBackToDefaults) {
    WriteFile(Ini(), std::vector<char>(1617, 'z'));
    std::string preset = dir / "missing.pmr";
    RecSettings loaded = Load(preset);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "ERROR:   Preset (missing.pmr) load failed. Loading ini",
                               "ERROR:   ini file is corrupted or version mismatch. Loading defaults...",
                               "Default preset loaded"}));
    // Bytes after the terminators keep what the bad file held; the values are the defaults.
    EXPECT_STREQ(loaded.presetName, "default");
    EXPECT_STREQ(loaded.outputFolder, dir.Path().c_str());
    EXPECT_EQ(std::memcmp(&loaded, &s, offsetof(RecSettings, presetName)), 0);
    EXPECT_EQ(loaded.maxLogSize, 300);
    EXPECT_EQ(ReadFile(Ini()).size(), 1617u);
}

TEST_F(SettingsFileTest, IniPathComparisonsDifferByCase) {
    // The program folder spelled in another case: the same file for a user on a
    // case-insensitive mount, another file here. Only the comparisons are tested.
    std::string upperDir = dir.Path();
    for (auto& c : upperDir) c = static_cast<char>(std::toupper(c));
    std::string otherCase = upperDir + "PELMORA.INI";

    // Unreadable: compared exactly, so it is a preset and the real ini is loaded next.
    RecSettings loaded = Load(otherCase);
    EXPECT_EQ(log.Lines().at(0), "ERROR:   Preset (PELMORA.INI) load failed. Loading ini");
    EXPECT_EQ(log.Lines().at(1), "Default preset loaded");

    // Failing its check: a file whose name differs from the ini's only in case is another
    // file here, a preset, and is never overwritten.
    std::string mixed = dir.Path() + "Pelmora.Ini";
    WriteFile(mixed, std::vector<char>(1617, 'z'));
    ASSERT_TRUE(WriteSettingsFile(Ini(), s));
    log.Clear();
    loaded = Load(mixed);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "ERROR:   Preset file is corrupted or version mismatch. Loading ini...",
                               "Preset \"default\" (pelmora.ini) loaded"}));
    EXPECT_EQ(ReadFile(mixed), std::vector<char>(1617, 'z'));
}

TEST_F(SettingsFileTest, TheIniUnderAnotherSpellingOfItsPathGetsDefaults) {
    // The same file, not merely the same letters: a corrupt ini reached through another
    // path is still replaced by the defaults.
    WriteFile(Ini(), std::vector<char>(1617, 'z'));
    ASSERT_EQ(::symlink(Ini().c_str(), (dir / "link.ini").c_str()), 0);
    for (const std::string& path : {dir.Path() + "./pelmora.ini", dir / "link.ini"}) {
        WriteFile(Ini(), std::vector<char>(1617, 'z'));
        log.Clear();
        RecSettings loaded = Load(path);
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                                   "ERROR:   ini file is corrupted or version mismatch. Loading defaults...",
                                   "Default preset loaded"}));
        EXPECT_EQ(ReadFile(Ini()), FileFor(s));
        EXPECT_STREQ(loaded.presetName, "default");
    }
}

TEST_F(SettingsFileTest, ACorruptPresetNeverReachesTheLiveRecord) {
    // Whoever reads the record while it loads sees the old values or the checked new ones.
    RecSettings ini = s;
    SetTextField(ini.presetName, "ini");
    ini.removeDc = 1;
    ASSERT_TRUE(WriteSettingsFile(Ini(), ini));
    RecSettings bad = s;
    SetTextField(bad.presetName, "corrupt");
    bad.dcResponsivity = 100000;
    bad.meterRateIndex = 77;
    std::vector<char> file = FileFor(bad);
    file[1584] ^= 1;  // digest no longer matches
    WriteFile(dir / "bad.pmr", file);

    class WatchingLog : public LogSink {
    public:
        explicit WatchingLog(const RecSettings& live) : live_(live) {}
        void AddLogLine(const std::string& text) override {
            lines.push_back(text);
            seen.push_back(TextField(live_.presetName));
            if (live_.dcResponsivity > 100 || live_.meterRateIndex > 3) unchecked = true;
        }
        std::vector<std::string> lines, seen;
        bool unchecked = false;

    private:
        const RecSettings& live_;
    };
    RecSettings live = s;
    WatchingLog watch(live);
    LoadSettings(live, dir / "bad.pmr", dir.Path(), watch);
    EXPECT_FALSE(watch.unchecked);
    EXPECT_EQ(watch.lines, (std::vector<std::string>{
                               "ERROR:   Preset file is corrupted or version mismatch. Loading ini...",
                               "Preset \"ini\" (pelmora.ini) loaded"}));
    EXPECT_EQ(watch.seen.at(0), "default");
    EXPECT_STREQ(live.presetName, "ini");
    EXPECT_EQ(live.removeDc, 1);

    // A crafted file with a good digest is published only once its values are made safe.
    WriteFile(dir / "bad.pmr", FileFor(bad));
    live = s;
    watch.unchecked = false;
    LoadSettings(live, dir / "bad.pmr", dir.Path(), watch);
    EXPECT_FALSE(watch.unchecked);
    EXPECT_STREQ(live.presetName, "corrupt");
    EXPECT_EQ(live.dcResponsivity, 50);
}

TEST_F(SettingsFileTest, CraftedFileWithGoodDigestIsMadeSafe) {
    RecSettings bad = s;
    std::memset(bad.presetName, 'A', sizeof bad.presetName);
    std::memset(bad.outputFolder, 'B', sizeof bad.outputFolder);
    std::memset(bad.encoderPath, 'C', sizeof bad.encoderPath);
    bad.minBitrateIndex = 1000000;
    bad.meterRateIndex = -3;
    bad.outputStoreSeconds = 0;
    bad.athMode = 77;
    std::string preset = dir / "crafted.pmr";
    WriteFile(preset, FileFor(bad));

    RecSettings loaded = Load(preset);
    ASSERT_EQ(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[0], "Preset \"" + std::string(255, 'A') + "\" (crafted.pmr) loaded");
    EXPECT_EQ(log.Lines()[1].rfind("WARNING: Out-of-range settings replaced by defaults: ", 0), 0u);
    // The text fields without a terminator are named like the numbers.
    EXPECT_EQ(log.Lines()[1], "WARNING: Out-of-range settings replaced by defaults: presetName, outputFolder, "
                              "encoderPath, minBitrateIndex, meterRateIndex, outputStoreSeconds, athMode");
    EXPECT_EQ(loaded.presetName[255], '\0');
    EXPECT_EQ(loaded.outputFolder[259], '\0');
    EXPECT_EQ(loaded.encoderPath[259], '\0');
    EXPECT_EQ(loaded.minBitrateIndex, 8);
    EXPECT_EQ(loaded.meterRateIndex, 2);
    EXPECT_EQ(loaded.outputStoreSeconds, 3);
    EXPECT_EQ(loaded.athMode, 0);
}

TEST_F(SettingsFileTest, PercentInNamesIsKeptAsTyped) {
    SetTextField(s.presetName, "50% louder %s%n");
    std::string preset = dir / "100%.pmr";
    WriteSettingsFile(preset, s);
    RecSettings loaded = Load(preset);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Preset \"50% louder %s%n\" (100%.pmr) loaded"});
    EXPECT_STREQ(loaded.presetName, "50% louder %s%n");
}

TEST_F(SettingsFileTest, SaveThenCloseLeavesIdenticalFiles) {
    std::string preset = dir / "mine.pmr";
    ASSERT_TRUE(WriteSettingsFile(preset, s));
    ASSERT_TRUE(WriteSettingsFile(Ini(), s));
    EXPECT_EQ(ReadFile(preset), ReadFile(Ini()));
}

TEST_F(SettingsFileTest, UnwritableTargetReportsFailure) {
    std::string error;
    EXPECT_FALSE(WriteSettingsFile(dir / "no/such/folder/x.pmr", s, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace pelmora
