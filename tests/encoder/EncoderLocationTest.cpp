// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderLocation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "encoder/EncoderTestSupport.h"

namespace pelmora {
namespace {

using test::RecordingLog;
using test::TempDir;
using Lines = std::vector<std::string>;

class EncoderLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir(program.Path("bin").c_str(), 0755);
        ::mkdir(other.Path("bin").c_str(), 0755);
    }
    TempDir program;  // programFolder
    TempDir other;    // a PATH entry
    RecordingLog log;
};

TEST_F(EncoderLocationTest, ConfiguredPathComesFirstAndLogsNothing) {
    test::WriteScript(other.Path("mylame"), "exit 0");
    test::WriteScript(program.Path("lame"), "exit 0");
    EXPECT_EQ(LocateEncoder(other.Path("mylame"), program.Folder(), other.Path("bin"), log), other.Path("mylame"));
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(EncoderLocationTest, ProgramFolderThenPath) {
    test::WriteScript(program.Path("lame"), "exit 0");
    test::WriteScript(other.Path("bin/lame"), "exit 0");

    EXPECT_EQ(LocateEncoder("", program.Folder(), other.Path("bin"), log), program.Path("lame"));
    EXPECT_EQ(log.lines, (Lines{"Path \"\" not found. Local path will be used."}));

    log.lines.clear();
    ::unlink(program.Path("lame").c_str());
    const std::string searchPath = "::relative/bin:" + program.Path("bin") + ":" + other.Path("bin") + "/";
    EXPECT_EQ(LocateEncoder("/no/such/lame", program.Folder(), searchPath, log), other.Path("bin/lame"));
    EXPECT_EQ(log.lines, (Lines{"Path \"/no/such/lame\" not found. Local path will be used."}));
}

TEST_F(EncoderLocationTest, NothingFoundLogsTwoLines) {
    EXPECT_EQ(LocateEncoder("/no/such/lame", program.Folder(), other.Path("bin"), log), "");
    EXPECT_EQ(log.lines,
              (Lines{"Path \"/no/such/lame\" not found. Local path will be used.", "ERROR:   Lame.exe not found!"}));
}

TEST_F(EncoderLocationTest, OnlyRegularExecutableFilesCount) {
    test::WriteFile(program.Path("lame"), "#!/bin/sh\n", 0644);  // not executable
    ::mkdir(other.Path("bin/lame").c_str(), 0755);                 // a folder
    EXPECT_FALSE(IsUsableEncoder(program.Path("lame")));
    EXPECT_FALSE(IsUsableEncoder(other.Path("bin/lame")));
    EXPECT_FALSE(IsUsableEncoder(""));
    EXPECT_TRUE(IsUsableEncoder("/usr/bin/lame"));
    EXPECT_EQ(LocateEncoder(other.Path("bin/lame"), program.Folder(), other.Path("bin"), log), "");
    EXPECT_EQ(log.lines.size(), 2u);
}

// An installed program: beside the executable, then the per-user program folder, then PATH.
TEST_F(EncoderLocationTest, LocalFoldersInTheirOrderBeforePath) {
    TempDir exe;
    const std::vector<std::string> local{exe.Folder(), program.Folder()};
    test::WriteScript(exe.Path("lame"), "exit 0");
    test::WriteScript(program.Path("lame"), "exit 0");
    test::WriteScript(other.Path("bin/lame"), "exit 0");
    EXPECT_EQ(LocateEncoder("", local, other.Path("bin"), log), exe.Path("lame"));
    ::unlink(exe.Path("lame").c_str());
    EXPECT_EQ(LocateEncoder("", local, other.Path("bin"), log), program.Path("lame"));
    ::unlink(program.Path("lame").c_str());
    EXPECT_EQ(LocateEncoder("", local, other.Path("bin"), log), other.Path("bin/lame"));
    EXPECT_EQ(log.lines, (Lines(3, "Path \"\" not found. Local path will be used.")));
}

}  // namespace
}  // namespace pelmora
