// SPDX-License-Identifier: GPL-3.0-or-later
// The once-a-second supervision, tick by tick: failures, the performance warning, the
// status texts and fill values, the clip warnings and the four stop conditions.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "RecordingRig.h"

namespace pelmora {
namespace {

using test::RecordingRig;

class SupervisionTest : public ::testing::Test {
protected:
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) rig.supervision.OnTimer();
    }
    void ClipTick() {
        rig.state.clipSeen = true;
        Tick();
    }
    int Count(const std::string& text) {
        int n = 0;
        for (const auto& t : rig.Texts()) n += t == text;
        return n;
    }
    RecordingRig rig;
};

TEST_F(SupervisionTest, WriteTimeLimitStopsOnlyBeyondTheLimit) {
    rig.settings.stopOnWriteTime = 1;
    rig.settings.writeTimeLimit = 60;
    rig.control.OnRecord();
    // writeTime as the writer would leave it (0.1 s blocks do not add up to exactly 60.0).
    rig.state.writeTime.Store(60.0);
    Tick();
    EXPECT_TRUE(rig.control.IsRecording());
    EXPECT_EQ(rig.view.values.writeTime, "");  // the pipeline is not running: no texts
    rig.state.writeTime.Store(60.0 + 1e-9);
    Tick();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.Logged("Maximum duration reached (60 sec)"));
    EXPECT_EQ(rig.Texts().back().substr(0, 17), "Recording stoped.");
}

TEST_F(SupervisionTest, DataLossLimitZeroStopsAtTheFirstTick) {
    rig.settings.stopOnDataLoss = 1;
    rig.settings.dataLossLimit = 0;
    rig.control.OnRecord();
    Tick();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.Logged("Allowed level of data loss reached (0 sec)"));
}

TEST_F(SupervisionTest, DataLossStopsWhenTheLossReachesItsLimit) {
    rig.settings.stopOnDataLoss = 1;
    rig.settings.dataLossLimit = 2;
    rig.control.OnRecord();
    rig.state.lostSeconds.Add(1.9);
    Tick();
    EXPECT_TRUE(rig.control.IsRecording());
    rig.state.lostSeconds.Add(0.1);
    Tick();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(Count("Allowed level of data loss reached (2 sec)"), 1);
    EXPECT_EQ(rig.Texts().back().substr(0, 17), "Recording stoped.");
}

TEST_F(SupervisionTest, FileSizeLimitStopsOneByteBeyondIt) {
    rig.settings.rawPcm = 1;
    rig.settings.stopOnFileSize = 1;
    rig.settings.fileSizeLimit = 1;
    rig.control.OnRecord();
    const int fd = ::open(rig.control.OutputPath().c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1048576), 0);
    Tick();
    EXPECT_TRUE(rig.control.IsRecording());
    ASSERT_EQ(::ftruncate(fd, 1048577), 0);
    ::close(fd);
    Tick();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.Logged("Maximum file size reached (1 MB)"));
}

TEST_F(SupervisionTest, FreeSpaceLimitStopsBelowIt) {
    rig.settings.stopOnFreeSpace = 1;
    rig.settings.freeSpaceLimit = 5000;
    uint64_t free = 5242880000ull;
    rig.control.SetFreeSpaceSource([&](const std::string&) { return std::optional<uint64_t>(free); });
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    Tick();
    EXPECT_TRUE(rig.control.IsRecording());
    free -= 1;
    Tick();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.Logged("Minimum disk free space reached (5000 MB)"));
}

TEST_F(SupervisionTest, ThreeSecondClipLeavesOneClipLineAndOneLastsLine) {
    Tick(20);
    rig.log.AddLogLine("something else");
    ClipTick();
    ClipTick();
    ClipTick();
    Tick();
    const auto t = rig.Texts();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1], "WARNING: Clip occured!");
    EXPECT_EQ(t[2], "WARNING: Clip lasts for approximately 3 sec");
}

TEST_F(SupervisionTest, AClipInterruptedByOtherMessagesIsReportedAfresh) {
    ClipTick();
    rig.log.AddLogLine("Recording paused");
    ClipTick();  // other lines came in between: nothing now
    EXPECT_EQ(rig.LastText(), "Recording paused");
    EXPECT_TRUE(rig.state.clipSeen.load());
    Tick();  // the clip flag kept for this second
    EXPECT_EQ(rig.LastText(), "WARNING: Clip occured!");
    EXPECT_EQ(Count("WARNING: Clip occured!"), 2);
}

TEST_F(SupervisionTest, ABurstOfClipsGivesOneWarningAndItsLength) {
    Tick(20);  // a long clean period
    for (int k = 0; k <= 10; ++k) {  // a first clip and ten more, each soon after the last
        ClipTick();
        Tick();
    }
    EXPECT_EQ(Count("WARNING: Clip occured!"), 11);
    EXPECT_EQ(rig.supervisionState.clipCount, 10u);

    ClipTick();
    EXPECT_EQ(rig.LastText(), "WARNING: A lot of clips occured! Check input volume!");
    EXPECT_EQ(Count("WARNING: Clip occured!"), 11);
    ClipTick();  // more clips in the burst: nothing logged
    Tick(3);
    ClipTick();
    EXPECT_EQ(rig.LastText(), "WARNING: A lot of clips occured! Check input volume!");
    Tick(9);
    EXPECT_EQ(rig.LastText(), "WARNING: A lot of clips occured! Check input volume!");
    Tick();  // ten clean seconds
    EXPECT_EQ(rig.LastText(), "WARNING: A lot of clips occured during last 16 sec");
    EXPECT_FALSE(rig.supervisionState.manyClipsMode);
    ClipTick();
    EXPECT_EQ(rig.LastText(), "WARNING: Clip occured!");
}

TEST_F(SupervisionTest, AfterABurstAndALongCleanPeriodASingleClipIsWarnedAgain) {
    Tick(20);
    for (int k = 0; k <= 10; ++k) {
        ClipTick();
        Tick();
    }
    ASSERT_EQ(rig.supervisionState.clipCount, 10u);
    Tick(30);  // long after the burst
    ClipTick();
    EXPECT_EQ(rig.LastText(), "WARNING: Clip occured!");
    EXPECT_FALSE(rig.supervisionState.manyClipsMode);
    EXPECT_EQ(rig.supervisionState.clipCount, 0u);
    Tick(30);
    ClipTick();  // and the next one, long after, as well
    EXPECT_EQ(rig.LastText(), "WARNING: Clip occured!");
}

TEST_F(SupervisionTest, ManyClipsModeEndsTenCleanSecondsAfterItsLastClip) {
    Tick(20);
    for (int k = 0; k <= 10; ++k) {  // clips nine clean seconds apart still count as a burst
        ClipTick();
        Tick(9);
    }
    ASSERT_EQ(rig.supervisionState.clipCount, 10u);
    ClipTick();
    EXPECT_EQ(rig.LastText(), "WARNING: A lot of clips occured! Check input volume!");
    Tick(9);
    EXPECT_TRUE(rig.supervisionState.manyClipsMode);
    EXPECT_EQ(rig.LastText(), "WARNING: A lot of clips occured! Check input volume!");
    Tick();
    EXPECT_EQ(rig.LastText(), "WARNING: A lot of clips occured during last 11 sec");
    EXPECT_FALSE(rig.supervisionState.manyClipsMode);
}

TEST_F(SupervisionTest, TheLastsLineIsReplacedInOneStepOfTheLog) {
    // Between two separate steps (delete, then add) a line from the receiving thread could
    // come in and be deleted instead; the log must never be seen without the clip's line.
    std::vector<std::vector<std::string>> seen;
    rig.log.SetObserver([&] { seen.push_back(rig.Texts()); });
    ClipTick();
    ClipTick();
    seen.clear();
    ClipTick();
    ClipTick();
    rig.log.SetObserver(nullptr);
    const std::vector<std::string> last = {"WARNING: Clip occured!", "WARNING: Clip lasts for approximately 4 sec"};
    ASSERT_EQ(seen.size(), 2u);  // one change per second
    EXPECT_EQ(seen[0].back(), "WARNING: Clip lasts for approximately 3 sec");
    EXPECT_EQ(seen[1], last);
}

TEST_F(SupervisionTest, PerformanceWarningIsNotRepeatedWhileItIsTheNewestLine) {
    rig.state.pipelineReady = true;
    rig.state.outputFreePercent = 3;
    Tick(3);
    EXPECT_EQ(Count("WARNING: Performance lack! Data may be lost!"), 1);
    rig.log.AddLogLine("other");
    Tick();
    EXPECT_EQ(Count("WARNING: Performance lack! Data may be lost!"), 2);
    rig.log.Clear();  // an emptied log box differs from the last warning
    Tick();
    EXPECT_EQ(Count("WARNING: Performance lack! Data may be lost!"), 1);
    rig.state.outputFreePercent = 5;
    rig.log.AddLogLine("other");
    Tick();
    EXPECT_EQ(rig.LastText(), "other");
}

TEST_F(SupervisionTest, StatusTextsAndFillValuesWhileThePipelineRuns) {
    Tick();
    EXPECT_EQ(rig.view.valuesCount, 0);
    EXPECT_EQ(rig.view.fillCount, 0);

    rig.state.pipelineReady = true;
    rig.state.deviceFreePercent = 50;
    rig.state.receivedFreePercent = 100;
    rig.state.outputFreePercent = 20;
    rig.levels = {0.5, 0.5, 1, 0};
    rig.state.lostSeconds.Store(0.4);
    Tick();
    EXPECT_EQ(rig.view.values.writeTime, "00:00:00");
    EXPECT_EQ(rig.view.values.fileSize, "");  // no output file yet
    EXPECT_EQ(rig.view.values.level, "-6.0/-6.0 db");
    EXPECT_EQ(rig.view.values.dcLeft, "1 (-90.3 db)");
    EXPECT_EQ(rig.view.values.dcRight, "0 (-inf db)");
    EXPECT_EQ(rig.view.values.dataLost, "0.40 sec");
    const BufferFill& f = rig.supervision.LastBufferFill();
    EXPECT_EQ(f.devicePercent, 50);
    EXPECT_DOUBLE_EQ(f.deviceSeconds, 20 * 50 * 0.01 / 10);
    EXPECT_DOUBLE_EQ(f.receivedSeconds, 30 * 100 * 0.01 / 10);
    EXPECT_DOUBLE_EQ(f.outputSeconds, 30.0 * test::kRigBlock * 20 * 0.01 / test::kRigBlock / 10);
    EXPECT_EQ(rig.view.fill.outputPercent, 20);

    rig.control.OnRecord();
    rig.Feed(10);
    rig.control.OnRecord();
    Tick();  // after a stop the size of the last file is still shown
    EXPECT_EQ(rig.view.values.fileSize, "172.31 KB");
    EXPECT_EQ(rig.view.values.writeTime, "00:00:01");
}

TEST_F(SupervisionTest, BannerBlinksOnlyWhileRecording) {
    Tick(2);
    EXPECT_TRUE(rig.view.blinks.empty());
    rig.control.OnRecord();
    Tick(2);
    EXPECT_EQ(rig.view.blinks, (std::vector<int>{1, 0}));
}

TEST_F(SupervisionTest, DeviceFailureStopsFirstThenLogsOnce) {
    rig.control.OnRecord();
    rig.state.deviceFailed = true;
    Tick();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(rig.LastText(), "ERROR:   waveIn device error occurred, try restart or reboot to recover");
    Tick();
    EXPECT_EQ(Count("ERROR:   waveIn device error occurred, try restart or reboot to recover"), 1);
}

TEST_F(SupervisionTest, FailedFileWriteIsLoggedWithTheSystemTextAndStops) {
    rig.control.OnRecord();
    rig.Feed(3);
    rig.state.fileError = ENOSPC;
    rig.state.fileFailed = true;
    Tick();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_FALSE(rig.state.fileFailed.load());
    const auto t = rig.Texts();
    auto at = std::find(t.begin(), t.end(), "ERROR:   No space left on device");
    ASSERT_NE(at, t.end());
    EXPECT_EQ(*(at + 1), "Recording is being stoped. Waiting for buffers to be flushed...");
}

}  // namespace
}  // namespace pelmora
