// SPDX-License-Identifier: GPL-3.0-or-later
// Output naming, folder creation, free space, size texts and the status value texts.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "recording/OutputFiles.h"
#include "recording/OutputNaming.h"
#include "recording/StatusTexts.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

TEST(OutputNaming, OnlyAThreeCharacterExtensionIsReplaced) {
    const std::string folder = "/rec/";
    EXPECT_EQ(MakeOutputName("take.wav", OutputFormat::Mp3, nullptr, folder).entry, "take.mp3");
    EXPECT_EQ(MakeOutputName("take.final", OutputFormat::Mp3, nullptr, folder).entry, "take.final.mp3");
    EXPECT_EQ(MakeOutputName("take.mp3", OutputFormat::Wav, nullptr, folder).entry, "take.wav");
    EXPECT_EQ(MakeOutputName("take.mp3", OutputFormat::Raw, nullptr, folder).path, "/rec/take.raw");
    EXPECT_EQ(MakeOutputName("  take.wav \t", OutputFormat::Mp3, nullptr, folder).entry, "take.mp3");
    EXPECT_EQ(MakeOutputName("a.b", OutputFormat::Mp3, nullptr, folder).entry, "a.b.mp3");
}

TEST(OutputNaming, TheExtensionRuleLooksOnlyAtTheFileName) {
    EXPECT_EQ(MakeOutputName("/srv/rec.d/x", OutputFormat::Mp3, nullptr, "/srv/rec.d/").path, "/srv/rec.d/x.mp3");
    EXPECT_EQ(MakeOutputName("/srv/rec.d/x", OutputFormat::Mp3, nullptr, "/srv/rec.d/").entry, "/srv/rec.d/x.mp3");
    EXPECT_EQ(MakeOutputName("/srv/rec.d/x.wav", OutputFormat::Mp3, nullptr, "/srv/rec.d/").path, "/srv/rec.d/x.mp3");
    EXPECT_EQ(MakeOutputName("/srv/a.b/c.d", OutputFormat::Wav, nullptr, "/srv/a.b/").path, "/srv/a.b/c.d.wav");
    // Nothing left of the file name: "out" in that folder.
    EXPECT_EQ(MakeOutputName("/srv/rec/.mp3", OutputFormat::Wav, nullptr, "/srv/rec/").path, "/srv/rec/out.wav");
}

TEST(OutputNaming, EmptyEntriesRecordToOut) {
    EXPECT_EQ(MakeOutputName("", OutputFormat::Mp3, nullptr, "/rec/").entry, "out.mp3");
    EXPECT_EQ(MakeOutputName(".mp3", OutputFormat::Wav, nullptr, "/rec/").entry, "out.wav");
    EXPECT_EQ(MakeOutputName("   ", OutputFormat::Raw, nullptr, "/rec/").path, "/rec/out.raw");
}

TEST(OutputNaming, TimeStampGoesIntoThePathButNotTheEntry) {
    std::tm t{};
    t.tm_year = 103;
    t.tm_mon = 1;
    t.tm_mday = 19;
    t.tm_hour = 17;
    t.tm_min = 45;
    t.tm_sec = 1;
    const OutputName n = MakeOutputName("out", OutputFormat::Mp3, &t, "/rec/");
    EXPECT_EQ(n.entry, "out.mp3");
    EXPECT_EQ(n.path, "/rec/out_20030219-174501.mp3");
}

TEST(OutputNaming, AFullPathEntryIsNotPrefixedAgain) {
    EXPECT_EQ(MakeOutputName("/prog/take.wav", OutputFormat::Wav, nullptr, "/prog/").path, "/prog/take.wav");
    EXPECT_EQ(MakeOutputName("/music/x", OutputFormat::Mp3, nullptr, "/prog/").path, "/music/x.mp3");
}

TEST(FileSizes, TextsAtTheUnitBoundaries) {
    EXPECT_EQ(FileSizeText(0), "0 B");
    EXPECT_EQ(FileSizeText(1023), "1023 B");
    EXPECT_EQ(FileSizeText(1024), "1.00 KB");
    EXPECT_EQ(FileSizeText(1048575), "1024.00 KB");
    EXPECT_EQ(FileSizeText(1048576), "1.00 MB");
    EXPECT_EQ(FileSizeText(1073741824), "1.00 GB");
    EXPECT_EQ(FileSizeText(uint64_t{5} << 32), "20.00 GB");
}

TEST(FileSizes, MeasuresAFileAndGivesNothingForAMissingOne) {
    test::TempDir dir;
    test::WriteFile(dir / "f", std::vector<char>(1023, 'x'));
    uint64_t size = 7;
    EXPECT_EQ(FormatFileSize(dir / "f", &size), "1023 B");
    EXPECT_EQ(size, 1023u);
    EXPECT_EQ(FormatFileSize(dir / "missing", &size), "");
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(FormatFileSize("", &size), "");
}

TEST(Folders, CreatesEveryMissingLevelAndReportsFailure) {
    test::TempDir dir;
    const std::string deep = dir.Path() + "a/b/c/";
    EXPECT_FALSE(FolderExists(deep));
    EXPECT_TRUE(CreateFolderPath(deep));
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_TRUE(CreateFolderPath(deep));  // already there
    EXPECT_TRUE(CreateFolderPath(dir.Path() + "x/y"));  // without the trailing "/"
    test::WriteFile(dir / "file", {'x'});
    EXPECT_FALSE(CreateFolderPath(dir.Path() + "file/sub/"));
}

TEST(Folders, FreeSpaceOfAFolderNotYetMadeIsThatOfItsVolume) {
    test::TempDir dir;
    const auto here = FreeSpaceBytes(dir.Path());
    ASSERT_TRUE(here.has_value());
    const auto later = FreeSpaceBytes(dir.Path() + "not/yet/made/");
    ASSERT_TRUE(later.has_value());
    // Same volume; other processes may write meanwhile.
    EXPECT_NEAR(static_cast<double>(*later), static_cast<double>(*here), 64.0 * 1048576);
}

TEST(StatusTexts, LevelsAndOffsetsInDecibelsWithTheFloor) {
    EXPECT_EQ(LevelText(0.5, 0.5, 16), "-6.0/-6.0 db");
    EXPECT_EQ(LevelText(0.0, 0.0, 16), "-inf/-inf db");
    EXPECT_EQ(LevelText(1.0, 0.43, 16), "0.0/-7.3 db");
    EXPECT_EQ(DcText(0, 32768, 16), "0 (-inf db)");
    // An offset of 1 lies exactly at the floor and is still a number.
    EXPECT_EQ(DcText(1, 32768, 16), "1 (-90.3 db)");
    EXPECT_EQ(DcText(1, 128, 8), "1 (-42.1 db)");
    EXPECT_EQ(DcText(-3, 128, 8), "-3 (-32.6 db)");
    // Below the floor: a peak of one 16-bit step in 8-bit terms.
    EXPECT_EQ(LevelText(1.0 / 32768, 0.5, 8), "-inf/-6.0 db");
}

TEST(StatusTexts, TimeAndLoss) {
    EXPECT_EQ(WriteTimeText(0.0), "00:00:00");
    EXPECT_EQ(WriteTimeText(3725.9), "01:02:05");
    EXPECT_EQ(DataLostText(0.4), "0.40 sec");
}

}  // namespace
}  // namespace pelmora
