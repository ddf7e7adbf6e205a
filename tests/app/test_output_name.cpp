// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "input/OutputName.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

const std::string kProgram = "/opt/pelmora/";
const std::string kHome = "/home/ann/";

OutputNameResult Validate(const std::string& box, const std::string& member = "out") {
    return ValidateOutputName(box, member, kProgram, kHome);
}

TEST(ValidateOutputName, BareNameStaysInProgramFolderAndBoxKeepsTyping) {
    OutputNameResult r = Validate("  take1.mp3 ");
    ASSERT_TRUE(r.changed);
    EXPECT_EQ(r.outputFolder, kProgram);
    EXPECT_EQ(r.outputFileName, "take1.mp3");
    EXPECT_EQ(r.memberText, "take1.mp3");
    EXPECT_EQ(r.boxText, "  take1.mp3 ");
}

TEST(ValidateOutputName, RelativePathGoesBelowProgramFolder) {
    OutputNameResult r = Validate("music/take1.mp3");
    EXPECT_EQ(r.outputFolder, kProgram + "music/");
    EXPECT_EQ(r.outputFileName, kProgram + "music/take1.mp3");
    EXPECT_EQ(r.boxText, kProgram + "music/take1.mp3");
}

TEST(ValidateOutputName, LeadingSlashIsAbsolute) {
    OutputNameResult r = Validate("/music/take1.mp3");
    EXPECT_EQ(r.outputFolder, "/music/");
    EXPECT_EQ(r.outputFileName, "/music/take1.mp3");
    EXPECT_EQ(r.boxText, "/music/take1.mp3");
}

TEST(ValidateOutputName, FolderOnlyGetsOutAppended) {
    OutputNameResult r = Validate("/rec/");
    EXPECT_EQ(r.outputFolder, "/rec/");
    EXPECT_EQ(r.outputFileName, "/rec/out");
}

TEST(ValidateOutputName, FullPathInProgramFolderStoresBareName) {
    OutputNameResult r = Validate(kProgram + "take.mp3");
    EXPECT_EQ(r.outputFolder, kProgram);
    EXPECT_EQ(r.outputFileName, "take.mp3");
    EXPECT_EQ(r.boxText, kProgram + "take.mp3");
}

TEST(ValidateOutputName, TildeMeansHomeFolder) {
    OutputNameResult r = Validate("~/rec/a.mp3");
    EXPECT_EQ(r.outputFolder, kHome + "rec/");
    EXPECT_EQ(r.outputFileName, kHome + "rec/a.mp3");
    EXPECT_EQ(ValidateOutputName("~/a.mp3", "out", kProgram, "/root").outputFileName, "/root/a.mp3");
}

TEST(ValidateOutputName, ClearedBoxMeansOutInProgramFolder) {
    OutputNameResult r = Validate("   ", "take1");
    ASSERT_TRUE(r.changed);
    EXPECT_EQ(r.outputFolder, kProgram);
    EXPECT_EQ(r.outputFileName, "out");
    EXPECT_EQ(r.boxText, "out");
}

TEST(ValidateOutputName, UnchangedTextChangesNothing) {
    OutputNameResult r = Validate(" take1 ", "take1");
    EXPECT_FALSE(r.changed);
    EXPECT_FALSE(r.refused);
}

TEST(ValidateOutputName, NamesTooLongForTheRecordAreRefused) {
    std::string longName(kMaxOutputText + 1, 'a');
    OutputNameResult bare = Validate(longName, "take1");
    EXPECT_TRUE(bare.refused);
    EXPECT_FALSE(bare.changed);
    // The typed text stays in the box for correction; the page's copy stays as it was.
    EXPECT_EQ(bare.boxText, longName);
    EXPECT_EQ(bare.memberText, "take1");
    EXPECT_EQ(bare.message, "Output file name is too long by 1 byte.\nAt most 259 bytes fit, extension included.");

    std::string longFolder = "/" + std::string(kMaxOutputText, 'f') + "/x.mp3";
    OutputNameResult folder = Validate(" " + longFolder, "take1");
    EXPECT_TRUE(folder.refused);
    EXPECT_EQ(folder.boxText, " " + longFolder);
    EXPECT_EQ(folder.message.substr(0, 38), "Output file name is too long by 7 byte");

    // Below the program folder the whole path counts.
    OutputNameResult relative = Validate("sub/" + std::string(kMaxOutputText - kProgram.size() - 3, 'r'), "take1");
    EXPECT_TRUE(relative.refused);
    EXPECT_EQ(relative.message.substr(0, 38), "Output file name is too long by 1 byte");

    std::string fits = "/" + std::string(kMaxOutputText - 7, 'f') + "/x.mp3";
    ASSERT_EQ(fits.size(), kMaxOutputText);
    EXPECT_TRUE(Validate(fits, "take1").changed);
}

TEST(BrowseOutputFile, ProposedNameDropsFolderAndExtension) {
    EXPECT_EQ(ProposedBrowseName("take1.mp3", kProgram, kProgram), "take1");
    EXPECT_EQ(ProposedBrowseName("/rec/a.b.wav", "/rec/", kProgram), "a.b");
    EXPECT_EQ(ProposedBrowseName("out", kProgram, kProgram), "out");
    // An entry that no longer starts with its folder still proposes only a file name.
    EXPECT_EQ(ProposedBrowseName("/elsewhere/x.mp3", "/rec/", kProgram), "x");
}

TEST(BrowseOutputFile, ChosenPathIsStoredLikeATypedOne) {
    OutputNameResult inside = ApplyBrowsedPath(kProgram + "take.mp3 ", "out", kProgram);
    EXPECT_EQ(inside.outputFolder, kProgram);
    EXPECT_EQ(inside.outputFileName, "take.mp3");
    EXPECT_EQ(inside.boxText, "take.mp3");
    OutputNameResult outside = ApplyBrowsedPath("/rec/take.mp3", "out", kProgram);
    EXPECT_EQ(outside.outputFolder, "/rec/");
    EXPECT_EQ(outside.outputFileName, "/rec/take.mp3");
    EXPECT_EQ(outside.boxText, "/rec/take.mp3");
}

TEST(BrowseOutputFile, AChosenPathTooLongIsShownAndRefused) {
    const std::string chosen = "/rec/" + std::string(kMaxOutputText, 'c') + ".mp3";
    OutputNameResult r = ApplyBrowsedPath(chosen, "take1", kProgram);
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(r.boxText, chosen);
    EXPECT_EQ(r.memberText, "take1");
    EXPECT_EQ(r.message.substr(0, 39), "Output file name is too long by 9 bytes");
}

TEST(BrowseOutputFile, KindFollowsOutputSettings) {
    RecSettings s{};
    EXPECT_EQ(OutputBrowseKind(s).extension, "mp3");
    s.writeUncompressed = 1;
    EXPECT_EQ(OutputBrowseKind(s).extension, "wav");
    s.rawPcm = 1;
    EXPECT_EQ(OutputBrowseKind(s).extension, "raw");
    EXPECT_EQ(OutputBrowseKind(s).filter, "raw pcm files (*.raw)|*.raw|All files (*.*)|*.*");
}

TEST(BrowseOutputFile, StartFolderFallsBackToProgramFolder) {
    test::TempDir dir;
    EXPECT_EQ(BrowseStartFolder(dir.Path(), kProgram), dir.Path().substr(0, dir.Path().size() - 1));
    EXPECT_EQ(BrowseStartFolder(dir.Path() + "missing/", kProgram), "/opt/pelmora");
}

}  // namespace
}  // namespace pelmora
