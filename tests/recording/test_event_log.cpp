// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "recording/EventLog.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class FixedDescription : public DescriptionSource {
public:
    std::string DeviceText() const override { return "USB Mic"; }
    std::string SourceText() const override { return "Capture"; }
    std::string FormatText() const override { return "44100 Hz, 16 bit, Stereo"; }
    std::string CompressionOptionsText() const override { return "MP3 128 kbit/s"; }
};

class EventLogTest : public ::testing::Test {
protected:
    EventLogTest() : log(settings, dir.Path(), [this] { return now; }) {
        std::memset(&settings, 0, sizeof settings);
        SetDefaultSettings(settings, dir.Path());
        now.tm.tm_year = 103;  // 2003-02-19, a Wednesday
        now.tm.tm_mon = 1;
        now.tm.tm_mday = 19;
        now.tm.tm_wday = 3;
        At(17, 45, 1, 230);
        log.SetDescriptionSource(&description);
    }

    void At(int h, int m, int s, int ms) {
        now.tm.tm_hour = h;
        now.tm.tm_min = m;
        now.tm.tm_sec = s;
        now.millisecond = ms;
    }

    std::string FileText(const std::string& path) {
        auto bytes = ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    TempDir dir;
    RecSettings settings;
    LocalTime now;
    FixedDescription description;
    EventLog log;
};

TEST_F(EventLogTest, LinesAreStampedAndShownAsTyped) {
    At(9, 5, 3, 7);
    log.AddLogLine("Recording paused");
    log.AddLogLine("100% of %s %n done");
    auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "09:05:03.00 - Recording paused");
    EXPECT_EQ(lines[1], "09:05:03.00 - 100% of %s %n done");
    EXPECT_EQ(log.SelectedIndex(), 1);
}

TEST_F(EventLogTest, StartedAtIndexTenAddsTheDescription) {
    settings.removeDc = 1;
    SetTextField(settings.encoderPath, "/usr/bin/lame");
    log.AddLogLine("Recording started to /home/u/out.mp3");
    auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1],
              "              Input: Device - USB Mic, Line - Capture, Format - 44100 Hz, 16 bit, Stereo, "
              "Processing - DC filter");
    EXPECT_EQ(lines[2], "              Output: MP3 128 kbit/s");
    EXPECT_EQ(lines[3], "              (using /usr/bin/lame)");
    EXPECT_EQ(log.SelectedIndex(), 0);

    settings.writeUncompressed = 1;
    settings.removeDc = 0;
    log.Clear();
    log.AddLogLine("Something started here");  // "started" at 10 whatever follows
    lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find(", Processing - none"), std::string::npos);

    log.Clear();
    for (const char* other : {"started", "Recording  started", "Recordingstarted", "Recording starte"})
        log.AddLogLine(other);
    EXPECT_EQ(log.LineCount(), 4u);
}

TEST_F(EventLogTest, ModelOperations) {
    EXPECT_FALSE(log.LastLine().has_value());
    EXPECT_EQ(log.FindPrefix(0, "x"), -1);
    log.AddLogLine("WARNING: Clip occured!");
    log.AddLogLine("WARNING: Clip lasts for approximately 2 sec");
    log.AddLogLine("other");
    EXPECT_EQ(log.FindPrefix(1, "17:45:01.23 - warning: clip occured"), 0);  // wraps around, no case
    EXPECT_EQ(log.FindPrefix(0, "17:45:01.23 - other"), 2);
    log.DeleteLastLine();
    EXPECT_EQ(*log.LastLine(), "17:45:01.23 - WARNING: Clip lasts for approximately 2 sec");
    EXPECT_EQ(log.SelectedIndex(), 1);
    int notified = 0;
    log.SetObserver([&] { ++notified; });
    log.Clear();
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(log.LineCount(), 0u);
    EXPECT_EQ(log.ProposedSaveName(), "log_2003.02.19-17.45.01");
}

TEST_F(EventLogTest, SaveWritesEveryLineWithCrLf) {
    std::string empty = dir / "empty.txt";
    ASSERT_TRUE(log.SaveTo(empty));
    EXPECT_EQ(FileText(empty), "");
    log.AddLogLine("a");
    log.AddLogLine("b");
    std::string path = dir / "log.txt";
    ASSERT_TRUE(log.SaveTo(path));
    EXPECT_EQ(FileText(path), "17:45:01.23 - a\r\n17:45:01.23 - b\r\n");
    std::string error;
    EXPECT_FALSE(log.SaveTo(dir / "missing/x.txt", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(EventLogTest, PerRecordingLogFileLayout) {
    settings.logDuringRecording = 1;
    settings.logFileMode = 0;
    settings.writeUncompressed = 1;
    log.AddLogLine("before");  // not in the file
    log.OpenLogFile(dir / "out.wav");
    ASSERT_TRUE(log.LogFileOpen());
    log.AddLogLine("Recording started to out.wav");
    log.AddLogLine("Recording stopped");
    log.CloseLogFile();
    EXPECT_FALSE(log.LogFileOpen());
    log.AddLogLine("after");
    EXPECT_EQ(FileText(dir / "out.wav.log"),
              "Wednesday, February 19, 2003\r\n\r\n"
              "17:45:01.23 - Recording started to out.wav\r\n"
              "              Input: Device - USB Mic, Line - Capture, Format - 44100 Hz, 16 bit, Stereo, "
              "Processing - none\r\n"
              "              Output: MP3 128 kbit/s\r\n"
              "17:45:01.23 - Recording stopped\r\n"
              "\r\n");
}

TEST_F(EventLogTest, ClearDuringRecordingKeepsTheFile) {
    settings.logDuringRecording = 1;
    settings.logFileMode = 0;
    log.OpenLogFile(dir / "x.mp3");
    log.AddLogLine("one");
    log.Clear();
    log.AddLogLine("two");
    log.CloseLogFile();
    std::string text = FileText(dir / "x.mp3.log");
    EXPECT_NE(text.find("one"), std::string::npos);
    EXPECT_NE(text.find("two"), std::string::npos);
}

TEST_F(EventLogTest, NoLogFileWhenLoggingIsOffOrItCannotOpen) {
    settings.logDuringRecording = 0;
    log.OpenLogFile(dir / "a.wav");
    EXPECT_FALSE(log.LogFileOpen());
    EXPECT_FALSE(test::FileExists(dir / "a.wav.log"));
    settings.logDuringRecording = 1;
    settings.logFileMode = 0;
    log.OpenLogFile(dir / "missing/a.wav");
    EXPECT_FALSE(log.LogFileOpen());
    log.AddLogLine("still fine");
}

TEST_F(EventLogTest, ClipLinesAreHeldBackFromTheFile) {
    settings.logDuringRecording = 1;
    settings.logFileMode = 0;
    log.OpenLogFile(dir / "c.wav");
    At(10, 0, 0, 0);
    log.AddLogLine("WARNING: Clip occured!");
    // Five ticks: the supervision replaces the "lasts" line each second.
    for (int n = 2; n <= 5; ++n) {
        At(10, 0, n - 1, 0);
        if (n > 2) log.DeleteLastLine();
        log.AddLogLine("WARNING: Clip lasts for approximately " + std::to_string(n) + " sec");
    }
    At(10, 0, 9, 0);
    log.AddLogLine("Recording stopped");
    log.CloseLogFile();
    EXPECT_EQ(FileText(dir / "c.wav.log"),
              "Wednesday, February 19, 2003\r\n\r\n"
              "10:00:00.00 - WARNING: Clip occured!\r\n"
              "10:00:04.00 - WARNING: Clip lasts for approximately 5 sec\r\n"
              "10:00:09.00 - Recording stopped\r\n"
              "\r\n");
    auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "10:00:04.00 - WARNING: Clip lasts for approximately 5 sec");
}

TEST_F(EventLogTest, AddOrReplaceAfterKeepsEveryOtherLine) {
    const std::string clip = "17:45:01.23 - WARNING: Clip occured!";
    EXPECT_FALSE(log.AddOrReplaceAfter(clip, "lasts", "WARNING: Clip lasts for approximately 2 sec"));
    EXPECT_EQ(log.LineCount(), 0u);
    log.AddLogLine("WARNING: Clip occured!");
    EXPECT_TRUE(log.AddOrReplaceAfter("17:45:01.23 - warning: CLIP", "lasts", "lasts 2"));
    EXPECT_TRUE(log.AddOrReplaceAfter(clip, "lasts", "lasts 3"));
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{clip, "17:45:01.23 - lasts 3"}));
    EXPECT_EQ(log.SelectedIndex(), 1);
    log.AddLogLine("from the receiving thread");
    EXPECT_FALSE(log.AddOrReplaceAfter(clip, "lasts", "lasts 4"));
    EXPECT_EQ(log.Lines().back(), "17:45:01.23 - from the receiving thread");

    // Against a thread that logs all the while, not one of its lines goes.
    log.Clear();
    log.AddLogLine("WARNING: Clip occured!");
    std::thread other([&] {
        for (int i = 0; i < 2000; ++i) log.AddLogLine("worker");
    });
    int replaced = 0;
    for (int i = 0; i < 2000; ++i) {
        if (!log.AddOrReplaceAfter(clip, "lasts", "lasts")) log.AddLogLine("WARNING: Clip occured!");
        else ++replaced;
    }
    other.join();
    int workers = 0;
    for (const auto& line : log.Lines()) workers += line == "17:45:01.23 - worker";
    EXPECT_EQ(workers, 2000);
    EXPECT_GT(replaced, 0);
}

TEST_F(EventLogTest, SharedLogFileIsTrimmedWhenTooLong) {
    settings.logDuringRecording = 1;
    settings.logFileMode = 1;
    settings.maxLogSize = 300;
    std::string shared = dir / "pelmora.log";

    std::vector<char> big(400000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    WriteFile(shared, big);
    log.OpenLogFile(dir / "ignored.mp3");
    log.CloseLogFile();
    auto after = ReadFile(shared);
    const std::string date = "Wednesday, February 19, 2003\r\n\r\n";
    ASSERT_EQ(after.size(), 199999u + date.size() + 2);
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 199999, big.end() - 199999));
    EXPECT_EQ(std::string(after.begin() + 199999, after.end()), date + "\r\n");

    std::vector<char> exact(307200, 'k');
    WriteFile(shared, exact);
    log.OpenLogFile(dir / "ignored.mp3");
    log.CloseLogFile();
    EXPECT_EQ(ReadFile(shared).size(), 307200u + date.size() + 2);
}

TEST_F(EventLogTest, SystemErrorTextHasNoLineEnds) {
    log.LogSystemError(ENOSPC);
    EXPECT_EQ(*log.LastLine(), "17:45:01.23 - ERROR:   No space left on device");
    errno = EPIPE;
    log.LogSystemError(0);
    EXPECT_EQ(*log.LastLine(), "17:45:01.23 - ERROR:   Broken pipe");
}

TEST_F(EventLogTest, LinesFromTwoThreadsAllArrive) {
    settings.logDuringRecording = 1;
    settings.logFileMode = 0;
    log.OpenLogFile(dir / "t.wav");
    std::thread other([&] {
        for (int i = 0; i < 500; ++i) log.AddLogLine("worker");
    });
    for (int i = 0; i < 500; ++i) log.AddLogLine("main");
    other.join();
    log.CloseLogFile();
    EXPECT_EQ(log.LineCount(), 1000u);
    std::string text = FileText(dir / "t.wav.log");
    std::size_t count = 0;
    for (std::size_t p = text.find(" - "); p != std::string::npos; p = text.find(" - ", p + 1)) ++count;
    EXPECT_EQ(count, 1000u);
}

}  // namespace
}  // namespace pelmora
