// SPDX-License-Identifier: GPL-3.0-or-later
// Record, Stop and Pause on the windowless engine: refusals, naming, overwrite question,
// output preparation and completion, the log lines and the window's states.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "RecordingRig.h"

namespace pelmora {
namespace {

using test::RecordingRig;

uint32_t Le32(const std::vector<char>& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

TEST(RecordRefusals, ImpossibleStopConditionsChangeNothing) {
    RecordingRig rig;
    rig.settings.stopOnWriteTime = 1;
    rig.settings.writeTimeLimit = 0;
    rig.control.OnRecord();
    EXPECT_EQ(rig.LastText(), "Zero maximum duration specified :)");

    rig.settings.stopOnWriteTime = 0;
    rig.settings.stopOnFileSize = 1;
    rig.settings.fileSizeLimit = 0;
    rig.control.OnRecord();
    EXPECT_EQ(rig.LastText(), "Zero maximum file size specified :)");

    rig.settings.stopOnFileSize = 0;
    rig.settings.stopOnFreeSpace = 1;
    rig.settings.freeSpaceLimit = 5000;
    rig.control.SetFreeSpaceSource([](const std::string&) { return std::optional<uint64_t>(4500ull * 1048576); });
    rig.control.OnRecord();
    EXPECT_EQ(rig.LastText(), "Minimum disk free space already reached (5000 MB)");

    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.view.controlStates.empty());
    EXPECT_EQ(rig.view.recordCaption, "Record");
    EXPECT_FALSE(test::FileExists(rig.dir / "out.wav"));
}

TEST(RecordRefusals, FolderThatCannotBeMadeShowsAMessage) {
    RecordingRig rig;
    test::WriteFile(rig.dir / "blocker", {'x'});
    SetTextField(rig.settings.outputFolder, rig.dir.Path() + "blocker/sub/");
    rig.control.OnRecord();
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0], "Can not create directory");
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.view.controlStates.empty());
}

TEST(RecordRefusals, DecliningTheOverwriteLeavesTheFileAndUnlocks) {
    RecordingRig rig;
    test::WriteFile(rig.dir / "take.wav", {'k', 'e', 'e', 'p'});
    rig.view.entry = "take.wav";
    rig.view.answerYes = false;
    rig.control.OnRecord();
    ASSERT_EQ(rig.view.questions.size(), 1u);
    EXPECT_EQ(rig.view.questions[0], "File already exists.\nRewrite?");
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2}));
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(test::ReadFile(rig.dir / "take.wav").size(), 4u);
}

TEST(RecordRefusals, AnOutputFileThatCannotBeCreatedIsReported) {
    RecordingRig rig;
    ASSERT_EQ(::mkdir((rig.dir / "take.wav").c_str(), 0755), 0);  // a folder in the file's place
    rig.view.entry = "take.wav";
    rig.settings.confirmOverwrite = 0;
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(rig.Texts().back(), "ERROR:   Can not create output file " + rig.dir.Path() + "take.wav");
    EXPECT_EQ(rig.Texts()[rig.Texts().size() - 2], "ERROR:   Is a directory");
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2}));
}

TEST(RecordRefusals, AnOldFileThatCannotBeRemovedIsReportedAndNothingIsRecorded) {
    RecordingRig rig;
    ASSERT_EQ(::mkdir((rig.dir / "take.wav").c_str(), 0755), 0);  // exists, but unlink refuses a folder
    rig.view.entry = "take.wav";
    rig.control.OnRecord();
    ASSERT_EQ(rig.view.questions, (std::vector<std::string>{"File already exists.\nRewrite?"}));
    EXPECT_FALSE(rig.control.IsRecording());
    const auto t = rig.Texts();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(t.end() - 3, t.end()),
              (std::vector<std::string>{"ERROR:   Can not remove file", "ERROR:   Is a directory",
                                        "ERROR:   Can not create output file " + rig.dir.Path() + "take.wav"}));
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2}));
}

TEST(RecordRefusals, ARefusedNameNeverRecordsToTheEarlierOne) {
    RecordingRig rig;
    rig.settings.confirmOverwrite = 0;
    rig.view.entry = "take.wav";
    rig.control.OnRecord();
    rig.Feed(2);
    rig.control.OnRecord();
    const auto before = test::ReadFile(rig.dir / "take.wav");
    ASSERT_GT(before.size(), 44u);

    rig.view.entryRefused = true;  // the page refused a name too long for the record
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(test::ReadFile(rig.dir / "take.wav"), before);
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2, 1, 2}));
    EXPECT_EQ(rig.view.recordCaption, "Record");
}

TEST(RecordRefusals, ANameThatOutgrowsTheRecordWithItsExtensionIsRefused) {
    RecordingRig rig;
    const std::string typed(257, 'n');
    rig.view.entry = typed;
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0], "Output file name is too long by 2 bytes.\nAt most 259 bytes fit, extension included.");
    EXPECT_EQ(rig.view.entry, typed);  // the box keeps what was typed
    EXPECT_EQ(TextField(rig.settings.outputFileName), "out");
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2}));
}

TEST(RecordRefusals, ANameTheFileSystemRefusesIsReported) {
    for (std::size_t length : {252u, 255u}) {
        RecordingRig rig;
        const std::string name(length, 'f');
        rig.view.entry = name;
        rig.control.OnRecord();
        EXPECT_FALSE(rig.control.IsRecording());
        const auto t = rig.Texts();
        ASSERT_GE(t.size(), 2u);
        EXPECT_EQ(t[t.size() - 2], "ERROR:   File name too long");
        EXPECT_EQ(t.back(), "ERROR:   Can not create output file " + rig.dir.Path() + name + ".wav");
        // The box shows the name that was tried.
        EXPECT_EQ(rig.view.entry, name + ".wav");
    }
}

TEST(RecordRefusals, MissingEncoderRefusesAnMp3Recording) {
    RecordingRig rig;  // no encoder
    rig.settings.writeUncompressed = 0;
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2}));
}

TEST(RecordAndStop, WavRecordingWithItsLogLinesStatesAndCompletedHeader) {
    RecordingRig rig;
    rig.view.entry = "  take.mp3 ";
    rig.state.inFlightBytes = 3 * test::kRigBlock;
    rig.state.lostSeconds.Store(5.0);  // from before the recording
    rig.control.OnRecord();

    ASSERT_TRUE(rig.control.IsRecording());
    const std::string path = rig.dir.Path() + "take.wav";
    EXPECT_EQ(rig.control.OutputPath(), path);
    EXPECT_EQ(rig.view.entry, "take.wav");
    EXPECT_EQ(TextField(rig.settings.outputFileName), "take.wav");
    EXPECT_EQ(rig.view.recordCaption, "Stop");
    EXPECT_TRUE(rig.view.pauseEnabled);
    EXPECT_EQ(rig.view.state, kStateRecording);
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1}));
    EXPECT_EQ(rig.state.startSkipBytes.load(), 3 * test::kRigBlock);
    EXPECT_EQ(rig.state.lostSeconds.Load(), 0.0);
    EXPECT_EQ(rig.LastText().substr(0, 4), "    ");  // description lines follow
    EXPECT_TRUE(rig.Logged("Recording started to " + path));

    rig.Feed(10);
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    // A file's flush is not shown: the button is not disabled for a moment nobody would see.
    EXPECT_EQ(rig.view.recordDisabledCount, 0);
    EXPECT_EQ(rig.view.pendingShownCount, 0);
    EXPECT_TRUE(rig.view.recordEnabled);
    EXPECT_EQ(rig.view.recordCaption, "Record");
    EXPECT_FALSE(rig.view.pauseEnabled);
    EXPECT_EQ(rig.view.state, kStateReady);
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2}));

    const auto texts = rig.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "Recording is being stoped. Waiting for buffers to be flushed...");
    EXPECT_EQ(texts.back(), "Recording stoped. Output file size 172.31 KB. Final duration 00:00:01.00 ");

    const auto bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.size(), 176444u);
    EXPECT_EQ(Le32(bytes, 4), 176436u);
    EXPECT_EQ(Le32(bytes, 40), 176400u);
    EXPECT_EQ(rig.state.startSkipBytes.load(), 0);
    EXPECT_EQ(rig.state.stopDrainBytes.load(), 0);
}

TEST(RecordAndStop, RawFileAndTheLostSecondsInTheSummary) {
    RecordingRig rig;
    rig.settings.rawPcm = 1;
    rig.control.OnRecord();
    rig.Feed(4);
    rig.state.lostSeconds.Add(0.4);
    rig.control.OnRecord();
    EXPECT_EQ(rig.LastText(), "Recording stoped. Output file size 68.91 KB. Final duration 00:00:00.40 (0.40 sec lost).");
    EXPECT_EQ(test::ReadFile(rig.dir / "out.raw").size(), 4u * test::kRigBlock);
}

TEST(RecordAndStop, OverwriteConfirmedReplacesTheFileAndTimeStampNamesIt) {
    RecordingRig rig;
    rig.settings.addTimestamp = 1;
    rig.control.SetLocalTimeSource([] { return RecordingRig::FixedTime().tm; });
    const std::string path = rig.dir.Path() + "out_20030219-174501.wav";
    test::WriteFile(path, std::vector<char>(100000, 'x'));
    rig.control.OnRecord();
    EXPECT_EQ(rig.view.questions.size(), 1u);
    EXPECT_EQ(rig.control.OutputPath(), path);
    EXPECT_EQ(rig.view.entry, "out.wav");
    rig.control.OnRecord();
    EXPECT_EQ(test::ReadFile(path).size(), 44u);
}

TEST(RecordAndStop, OutputFolderIsCreated) {
    RecordingRig rig;
    SetTextField(rig.settings.outputFolder, rig.dir.Path() + "new/deeper/");
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    rig.control.OnRecord();
    EXPECT_TRUE(test::FileExists(rig.dir.Path() + "new/deeper/out.wav"));
}

TEST(Pause, TogglesCaptionsAndStatesAndStopWhilePausedReturnsToReady) {
    RecordingRig rig;
    rig.control.OnRecord();
    rig.supervisionState.clipCount = 4;
    rig.control.OnPause();
    EXPECT_EQ(rig.supervisionState.clipCount, 0u);
    EXPECT_TRUE(rig.control.IsPaused());
    EXPECT_EQ(rig.view.pauseCaption, "Continue");
    EXPECT_EQ(rig.view.state, kStatePaused);
    EXPECT_EQ(rig.LastText(), "Recording paused");
    rig.control.OnPause();
    EXPECT_FALSE(rig.control.IsPaused());
    EXPECT_EQ(rig.view.pauseCaption, "Pause");
    EXPECT_EQ(rig.view.state, kStateRecording);
    EXPECT_EQ(rig.LastText(), "Recording resumed");

    rig.control.OnPause();
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsPaused());
    EXPECT_EQ(rig.view.pauseCaption, "Pause");
    EXPECT_FALSE(rig.view.pauseEnabled);
    EXPECT_EQ(rig.view.state, kStateReady);
}

TEST(RecordAndStop, LeftoverBlocksAreFreedAtTheNextStart) {
    RecordingRig rig;
    rig.settings.rawPcm = 1;
    rig.control.OnRecord();
    rig.control.OnRecord();
    // Blocks that arrive after a finished recording are dropped, never written anywhere.
    rig.Feed(3);
    rig.control.OnRecord();
    rig.Feed(2);
    rig.control.OnRecord();
    EXPECT_EQ(test::ReadFile(rig.dir / "out.raw").size(), 2u * test::kRigBlock);
}


/// Waits until the writer has taken every queued block.
void AwaitWriterIdle(RecordingRig& rig) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (rig.state.writerQueue.Bytes() > 0 && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
}

/// Feeds `count` blocks in portions the queue takes whole.
void FeedAll(RecordingRig& rig, int count) {
    for (int left = count; left > 0; left -= 20) {
        rig.Feed(std::min(left, 20));
        AwaitWriterIdle(rig);
    }
}

TEST(RecordAndStop, SummaryDurationIsExactAfterWholeMinutes) {
    RecordingRig rig;
    rig.settings.rawPcm = 1;
    rig.control.OnRecord();
    FeedAll(rig, 1200);  // 0.1 s blocks: their sum falls just short of 120 s
    rig.control.OnRecord();
    EXPECT_EQ(rig.LastText(), "Recording stoped. Output file size 20.19 MB. Final duration 00:02:00.00 ");

    EXPECT_EQ(DurationText(int64_t{176400} * 3600, 176400, 0.0), "01:00:00.00");
    EXPECT_EQ(DurationText(176399, 176400, 0.0), "00:00:00.99");  // truncated
    EXPECT_EQ(DurationText(int64_t{176400} * 119 + 176400 - 1, 176400, 0.0), "00:01:59.99");
    EXPECT_EQ(DurationText(0, 0, 59.999999), "00:01:00.00");  // no rate: the seconds, rounded
}

TEST(RecordAndStop, SoundThatMissesTheDrainIsCountedAsLost) {
    RecordingRig rig;
    rig.state.pipelineReady = true;  // the device runs, but nothing delivers the last blocks
    rig.control.OnRecord();
    rig.Feed(5);
    rig.state.inFlightBytes = 3 * test::kRigBlock;
    rig.control.OnRecord();
    EXPECT_EQ(rig.LastText(), "Recording stoped. Output file size 86.18 KB. Final duration 00:00:00.50 (0.30 sec lost).");
    EXPECT_EQ(rig.state.stopDrainBytes.load(), 0);
}

TEST(RecordAndStop, SoundThatArrivesWhileTheStopWaitsIsWritten) {
    RecordingRig rig;
    rig.state.pipelineReady = true;
    rig.control.OnRecord();
    rig.Feed(5);
    rig.state.inFlightBytes = 2 * test::kRigBlock;
    // The two blocks captured before the click reach the queue only once the stop waits for
    // them, as the preprocessing thread delivers them.
    std::thread late([&rig] {
        PipelineState& s = rig.state;
        while (s.stopDrainBytes.load() == 0) std::this_thread::yield();
        for (int n = 0; n < 2; ++n) {
            s.drainClaims.fetch_add(1);
            s.stopDrainBytes.fetch_sub(test::kRigBlock);
            rig.Feed(1);
            s.drainClaims.fetch_sub(1);
            s.drainProgress.Set();
        }
    });
    rig.control.OnRecord();
    late.join();
    EXPECT_EQ(rig.LastText(), "Recording stoped. Output file size 120.63 KB. Final duration 00:00:00.70 ");
    EXPECT_EQ(test::ReadFile(rig.control.OutputPath()).size(), 44u + 7 * test::kRigBlock);
}

TEST(RecordAndStop, FailedWriteJustBeforeAManualStopIsReported) {
    RecordingRig rig;
    rig.control.OnRecord();
    rig.Feed(3);
    rig.state.fileError = ENOSPC;  // no supervision tick came since
    rig.state.fileFailed = true;
    rig.control.OnRecord();
    const auto t = rig.Texts();
    const auto stopping = std::find(t.begin(), t.end(), "Recording is being stoped. Waiting for buffers to be flushed...");
    ASSERT_NE(stopping, t.end());
    ASSERT_LT(stopping + 2, t.end());
    EXPECT_EQ(*(stopping + 1), "ERROR:   No space left on device");
    EXPECT_EQ((stopping + 2)->substr(0, 17), "Recording stoped.");
}

// The output is a named pipe: the blocks go through, but the header's sizes cannot be put
// back at the start. The stop says so before its summary, in the window's log and the file's.
TEST(RecordAndStop, AnOutputFileThatCannotBeCompletedIsReportedBeforeTheSummary) {
    RecordingRig rig;
    rig.settings.confirmOverwrite = 0;
    rig.settings.logDuringRecording = 1;
    rig.settings.logFileMode = 0;  // a log file beside the output
    const std::string path = rig.dir / "out.wav";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    rig.Feed(2);  // within the pipe's own buffer: nobody needs to read
    rig.control.OnRecord();
    ASSERT_FALSE(rig.control.IsRecording());

    const std::vector<std::string> expected = {"ERROR:   Illegal seek", "ERROR:   Can not complete output file " + path};
    const auto t = rig.Texts();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(t.end() - 3, t.end() - 1), expected);
    EXPECT_EQ(t.back().substr(0, 18), "Recording stoped. ");
    const std::vector<char> file = test::ReadFile(path + ".log");
    const std::string logFile(file.begin(), file.end());
    for (const std::string& line : expected) EXPECT_NE(logFile.find(line + "\r\n"), std::string::npos) << line;
    EXPECT_NE(logFile.find(t.back()), std::string::npos);
}

TEST(RecordAndStop, FailureReportedByTheSupervisionIsNotRepeatedByTheStop) {
    RecordingRig rig;
    rig.control.OnRecord();
    rig.state.fileError = ENOSPC;
    rig.state.fileFailed = true;
    rig.supervision.OnTimer();
    EXPECT_FALSE(rig.control.IsRecording());
    int count = 0;
    for (const auto& t : rig.Texts()) count += t == "ERROR:   No space left on device";
    EXPECT_EQ(count, 1);
}


TEST(RecordLimits, TheFileHoldsExactlyTheWriteTimeLimit) {
    RecordingRig rig;
    rig.settings.stopOnWriteTime = 1;
    rig.settings.writeTimeLimit = 5;
    rig.control.OnRecord();
    FeedAll(rig, 58);  // what comes in before the next tick
    rig.supervision.OnTimer();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.Logged("Maximum duration reached (5 sec)"));
    EXPECT_EQ(rig.LastText(), "Recording stoped. Output file size 861.37 KB. Final duration 00:00:05.00 ");
    const auto bytes = test::ReadFile(rig.dir / "out.wav");
    EXPECT_EQ(bytes.size(), 44u + 50u * test::kRigBlock);
    EXPECT_EQ(Le32(bytes, 40), 50u * test::kRigBlock);
}

TEST(RecordLimits, TheFileNeverPassesTheFileSizeLimit) {
    RecordingRig rig;
    rig.settings.stopOnFileSize = 1;
    rig.settings.fileSizeLimit = 1;
    rig.control.OnRecord();
    FeedAll(rig, 70);
    rig.supervision.OnTimer();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_TRUE(rig.Logged("Maximum file size reached (1 MB)"));
    // 59 blocks fit into 1 MB with the header; a 60th would pass it.
    EXPECT_EQ(test::ReadFile(rig.dir / "out.wav").size(), 44u + 59u * test::kRigBlock);
    EXPECT_EQ(rig.state.lostSeconds.Load(), 0.0);

    // A raw file has no header: the same limit holds as many blocks.
    rig.settings.rawPcm = 1;
    rig.control.OnRecord();
    FeedAll(rig, 70);
    rig.supervision.OnTimer();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(test::ReadFile(rig.dir / "out.raw").size(), 59u * test::kRigBlock);
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

/// An encoder whose input nobody reads until it is killed.
class StuckEncoder : public RecordingEncoder {
public:
    bool Start(const std::string&, int* writeFd) override {
        if (::pipe(fds_) != 0) return false;
        capacity = ::fcntl(fds_[1], F_SETPIPE_SZ, 4096);  // smaller than one block
        *writeFd = fds_[1];
        return true;
    }
    /// True once the pipe is full, so the writer is inside a write that cannot finish.
    bool Full() const {
        int queued = 0;
        return ::ioctl(fds_[0], FIONREAD, &queued) == 0 && capacity > 0 && queued >= capacity;
    }
    void Stop(bool, const std::function<int()>&) override {
        ++stops;
        ::close(fds_[1]);
        if (fds_[0] >= 0) ::close(fds_[0]);
    }
    void Kill() override {
        ++kills;
        ::close(fds_[0]);  // as the process's end of the pipe goes with it
        fds_[0] = -1;
    }
    int stops = 0, kills = 0, capacity = 0;

private:
    int fds_[2] = {-1, -1};
};

TEST(RecordAndStop, StopEndsAnEncoderThatNoLongerReadsInsteadOfWaitingForever) {
    StuckEncoder encoder;
    RecordingRig rig(&encoder);
    rig.settings.writeUncompressed = 0;
    rig.control.SetFlushLimit(std::chrono::milliseconds(100));
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    rig.Feed(3);
    // Stop only once the writer is stuck in its write, which must not hold the stop up.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!encoder.Full() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
    ASSERT_TRUE(encoder.Full());
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(encoder.kills, 1);
    EXPECT_EQ(encoder.stops, 1);
    EXPECT_TRUE(rig.Logged("ERROR:   The encoder stopped reading its input and was ended"));
    EXPECT_EQ(rig.LastText().substr(0, 17), "Recording stoped.");
    EXPECT_EQ(rig.view.state, kStateReady);
}

TEST(RecordAndStop, LogFileBesideTheOutputHoldsTheRecordingsLines) {
    RecordingRig rig;
    rig.settings.logDuringRecording = 1;
    rig.settings.logFileMode = 0;
    rig.control.OnRecord();
    rig.Feed(2);
    rig.control.OnRecord();
    EXPECT_FALSE(rig.log.LogFileOpen());
    const auto bytes = test::ReadFile(rig.dir / "out.wav.log");
    const std::string text(bytes.begin(), bytes.end());
    const std::string stamp = "17:45:01.23 - ";
    EXPECT_NE(text.find("\r\n\r\n" + stamp + "Recording started to " + rig.dir.Path() + "out.wav\r\n"), std::string::npos);
    EXPECT_NE(text.find(stamp + "Recording stoped. Output file size 34.50 KB. Final duration 00:00:00.20 \r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

}  // namespace
}  // namespace pelmora
