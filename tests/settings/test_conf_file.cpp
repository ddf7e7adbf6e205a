// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "recording/LogSink.h"
#include "settings/ConfFile.h"
#include "support/TempDir.h"

using namespace pelmora;

namespace {

struct Lines : LogSink {
    std::vector<std::string> lines;
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
};

std::string Contents(const std::string& path) {
    const std::vector<char> bytes = test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void Write(const std::string& path, const std::string& text) {
    test::WriteFile(path, std::vector<char>(text.begin(), text.end()));
}

constexpr ConfKey kSource{"input", "source"};
constexpr ConfKey kCount{"input", "count"};

}  // namespace

TEST(ConfFile, FirstStartGivesDefaultsAndWritesWhatWasSet) {
    test::TempDir dir;
    Lines log;
    {
        ConfFile conf(dir / "pelmora.conf", log);
        EXPECT_EQ(conf.Text(kSource, "none"), "none");
        EXPECT_EQ(conf.Number(kCount, 7, 0, 10), 7);
        conf.SetText(kSource, "alsa_input.usb Mic; \"quoted\" = x");
        conf.SetNumber(kCount, 3);
        ASSERT_TRUE(conf.Save());
    }
    EXPECT_TRUE(log.lines.empty());
    ConfFile again(dir / "pelmora.conf", log);
    EXPECT_EQ(again.Text(kSource, ""), "alsa_input.usb Mic; \"quoted\" = x");
    EXPECT_EQ(again.Number(kCount, 7, 0, 10), 3);
    EXPECT_TRUE(log.lines.empty());
}

TEST(ConfFile, UnknownGroupsKeysAndCommentsSurviveASave) {
    test::TempDir dir;
    Lines log;
    Write(dir / "pelmora.conf",
          "# written by a later version\n[future]\nshiny=yes\n\n[input]\n# the source\nsource=old\nother=1\n");
    ConfFile conf(dir / "pelmora.conf", log);
    conf.SetText(kSource, "new");
    ASSERT_TRUE(conf.Save());
    const std::string text = Contents(dir / "pelmora.conf");
    EXPECT_NE(text.find("# written by a later version"), std::string::npos);
    EXPECT_NE(text.find("[future]\nshiny=yes"), std::string::npos);
    EXPECT_NE(text.find("# the source\nsource=new"), std::string::npos);
    EXPECT_NE(text.find("other=1"), std::string::npos);
    EXPECT_TRUE(log.lines.empty());
}

TEST(ConfFile, BadNumbersAreReportedOnceAndReplacedByTheDefault) {
    test::TempDir dir;
    Lines log;
    Write(dir / "pelmora.conf", "[input]\ncount=twelve\nlevel=99\n");
    ConfFile conf(dir / "pelmora.conf", log);
    EXPECT_EQ(conf.Number(kCount, 4, 0, 10), 4);
    EXPECT_EQ(conf.Number({"input", "level"}, 5, 0, 10), 5);
    EXPECT_EQ(conf.Number(kCount, 4, 0, 10), 4);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "WARNING: pelmora.conf: [input] count=twelve is not a whole number, using 4");
    EXPECT_EQ(log.lines[1], "WARNING: pelmora.conf: [input] level=99 is out of range 0..10, using 5");
    ASSERT_TRUE(conf.Save());
    const std::string text = Contents(dir / "pelmora.conf");
    EXPECT_NE(text.find("count=4"), std::string::npos);
    EXPECT_NE(text.find("level=5"), std::string::npos);
}

TEST(ConfFile, AFileThatIsNoKeyFileIsKeptAsideAndReported) {
    test::TempDir dir;
    Lines log;
    Write(dir / "pelmora.conf", "this is not\n[a key file\n");
    ConfFile conf(dir / "pelmora.conf", log);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].rfind("WARNING: pelmora.conf cannot be read (", 0), 0u) << log.lines[0];
    EXPECT_NE(log.lines[0].find("kept as pelmora.conf.bad"), std::string::npos);
    EXPECT_EQ(Contents(dir / "pelmora.conf.bad"), "this is not\n[a key file\n");
    EXPECT_EQ(conf.Text(kSource, "d"), "d");
    conf.SetText(kSource, "s");
    ASSERT_TRUE(conf.Save());
    EXPECT_EQ(Contents(dir / "pelmora.conf.bad"), "this is not\n[a key file\n");
}

TEST(ConfFile, AFailedSaveLeavesTheOldFileAndSaysWhy) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into a read-only folder";
    test::TempDir dir;
    Lines log;
    Write(dir / "pelmora.conf", "[input]\nsource=kept\n");
    ConfFile conf(dir / "pelmora.conf", log);
    conf.SetText(kSource, "lost");
    ::chmod(dir.Path().c_str(), 0555);
    std::string error;
    EXPECT_FALSE(conf.Save(&error));
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Contents(dir / "pelmora.conf"), "[input]\nsource=kept\n");
}
