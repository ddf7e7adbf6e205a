// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/UnderCi.h"

namespace pelmora {
namespace {

using test::TempDir;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeFolder(const std::string& path) { ASSERT_EQ(::system(("mkdir -p '" + path + "'").c_str()), 0); }

// A temporary home and a program copy somewhere below `root`.
class ProgramPathsTest : public ::testing::Test {
protected:
    PathEnvironment Env(const std::string& exeFolder) {
        PathEnvironment env;
        env.executablePath = exeFolder + "pelmora";
        env.home = root / "home";
        env.userMusicDir = [this] { return musicTool; };
        return env;
    }
    void SetUp() override { MakeFolder(root / "home"); }

    TempDir root;
    std::string musicTool;  // what xdg-user-dir would print
};

TEST_F(ProgramPathsTest, WritableCopyKeepsEverythingBesideTheExecutable) {
    const std::string exe = root / "portable/";
    MakeFolder(exe + "share/pelmora");
    ProgramPaths p = DecideProgramPaths(Env(exe));
    EXPECT_FALSE(p.perUser);
    EXPECT_EQ(p.programFolder, exe);
    EXPECT_EQ(p.outputFolder, exe);
    EXPECT_EQ(p.executableFolder, exe);
    EXPECT_EQ(p.dataFolder, exe + "share/pelmora/");
    EXPECT_TRUE(p.problem.empty());
    EXPECT_FALSE(IsFolder(root / "home/.config")) << "a portable copy leaves the home alone";
}

TEST_F(ProgramPathsTest, InstalledProgramUsesTheUsersFoldersEvenWhereItMayWrite) {
    const std::string bin = root / "usr/bin/";
    MakeFolder(bin);
    MakeFolder(root / "usr/share/pelmora");
    musicTool = root / "home/Musik";
    ProgramPaths p = DecideProgramPaths(Env(bin));
    EXPECT_TRUE(p.perUser);
    EXPECT_EQ(p.executableFolder, bin);
    EXPECT_EQ(p.programFolder, root / "home/.config/pelmora/");
    EXPECT_EQ(p.outputFolder, root / "home/Musik/");
    EXPECT_EQ(p.dataFolder, bin + "../share/pelmora/");
    EXPECT_TRUE(p.problem.empty()) << p.problem;
    ASSERT_TRUE(IsFolder(p.programFolder)) << "created on first start";
    struct stat st {};
    ASSERT_EQ(::stat(p.programFolder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(p.EncoderFolders(), (std::vector<std::string>{bin, p.programFolder}));
}

TEST_F(ProgramPathsTest, FolderTheUserMayNotWriteUsesTheUsersFolders) {
    const std::string exe = root / "opt/pelmora/";
    MakeFolder(exe);
    PathEnvironment env = Env(exe);
    env.xdgConfigHome = root / "config";
    env.mayWrite = [&](const std::string& folder) {
        EXPECT_EQ(folder, exe);
        return false;
    };
    ProgramPaths p = DecideProgramPaths(env);
    EXPECT_TRUE(p.perUser);
    EXPECT_EQ(p.programFolder, root / "config/pelmora/");
    EXPECT_TRUE(IsFolder(p.programFolder));
    EXPECT_EQ(p.dataFolder, "");
}

TEST_F(ProgramPathsTest, ReadOnlyFolderOnDisk) {
    if (::geteuid() == 0) {
        if (test::UnderCi()) FAIL() << "root may write into any folder: CI runs the tests as an ordinary user";
        GTEST_SKIP() << "root may write into any folder";
    }
    const std::string exe = root / "ro/";
    MakeFolder(exe);
    ASSERT_EQ(::chmod(exe.c_str(), 0555), 0);
    ProgramPaths p = DecideProgramPaths(Env(exe));
    ::chmod(exe.c_str(), 0755);
    EXPECT_TRUE(p.perUser);
    EXPECT_EQ(p.programFolder, root / "home/.config/pelmora/");
}

TEST_F(ProgramPathsTest, MusicFolderFallsBackToTheVariableThenHome) {
    const std::string bin = root / "usr/bin/";
    MakeFolder(bin);
    MakeFolder(root / "usr/share/pelmora");
    PathEnvironment env = Env(bin);
    env.xdgConfigHome = "relative/config";  // not absolute: ignored
    env.xdgMusicDir = root / "music-var";
    musicTool = "";                         // the tool is missing or said nothing
    EXPECT_EQ(DecideProgramPaths(env).outputFolder, root / "music-var/");
    EXPECT_EQ(DecideProgramPaths(env).programFolder, root / "home/.config/pelmora/");

    musicTool = "not/absolute";
    env.xdgMusicDir = "";
    EXPECT_EQ(DecideProgramPaths(env).outputFolder, root / "home/");

    env.userMusicDir = nullptr;
    env.xdgMusicDir = "Music";  // not absolute either
    EXPECT_EQ(DecideProgramPaths(env).outputFolder, root / "home/");
}

TEST_F(ProgramPathsTest, FolderThatCannotBeMadeIsReported) {
    const std::string bin = root / "usr/bin/";
    MakeFolder(bin);
    MakeFolder(root / "usr/share/pelmora");
    std::ofstream(root / "blocker") << "a file, not a folder";
    PathEnvironment env = Env(bin);
    env.xdgConfigHome = root / "blocker";
    ProgramPaths p = DecideProgramPaths(env);
    EXPECT_EQ(p.programFolder, root / "blocker/pelmora/");
    EXPECT_EQ(p.problem, "Can not create directory " + p.programFolder + ": Not a directory");
}

TEST_F(ProgramPathsTest, InstalledDataWinsOverACopyBesideTheExecutable) {
    const std::string bin = root / "prefix/bin/";
    MakeFolder(bin + "share/pelmora");
    EXPECT_EQ(DataFolderFor(bin), bin + "share/pelmora/");
    MakeFolder(root / "prefix/share/pelmora");
    EXPECT_EQ(DataFolderFor(bin), bin + "../share/pelmora/");
    EXPECT_EQ(DataFolderFor(root / "nowhere/"), "");
}

TEST(ProgramPaths, OneFolderForAllRolesSearchesItOnceForTheEncoder) {
    ProgramPaths p = ProgramPaths::InFolder("/x/");
    EXPECT_EQ(p.programFolder, "/x/");
    EXPECT_EQ(p.outputFolder, "/x/");
    EXPECT_EQ(p.EncoderFolders(), (std::vector<std::string>{"/x/"}));
}

// The real tool reads the user's user-dirs.dirs.
TEST(ProgramPaths, XdgUserDirNamesTheMusicFolder) {
    if (::access("/usr/bin/xdg-user-dir", X_OK) != 0) {
        if (test::UnderCi()) FAIL() << "xdg-user-dir is not installed";
        GTEST_SKIP() << "xdg-user-dir is not installed";
    }
    TempDir home;
    MakeFolder(home / ".config");
    std::ofstream(home / ".config/user-dirs.dirs") << "XDG_MUSIC_DIR=\"$HOME/Sounds\"\n";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    ::setenv("HOME", home.Path().substr(0, home.Path().size() - 1).c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    PathEnvironment env = PathEnvironment::FromProcess();
    const std::string named = env.userMusicDir();
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
    if (oldConfig) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    EXPECT_EQ(named, home / "Sounds");
}

}  // namespace
}  // namespace pelmora
