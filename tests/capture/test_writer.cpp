// SPDX-License-Identifier: GPL-3.0-or-later
// The writer thread and its outputs: WAV header and sizes, raw files, the encoder pipe,
// failed writes, the flush and the quit.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "capture/PipelineState.h"
#include "capture/WavHeader.h"
#include "capture/WriterOutput.h"
#include "capture/WriterThread.h"
#include "support/TempDir.h"
#include "support/UnderCi.h"

namespace pelmora {
namespace {

constexpr int kBlock = 17640;  // 44.1 kHz 16-bit stereo at 10 blocks per second

uint32_t Le32(const std::vector<char>& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

uint16_t Le16(const std::vector<char>& b, std::size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

std::vector<uint8_t> Block(int index) {
    std::vector<uint8_t> b(kBlock);
    for (int i = 0; i < kBlock; ++i) b[static_cast<std::size_t>(i)] = static_cast<uint8_t>(index * 31 + i * 7);
    return b;
}

class WriterTest : public ::testing::Test {
protected:
    WriterTest() {
        BufferGeometry g;
        g.bufferBytes = kBlock;
        g.bufferSeconds = 0.1;
        g.deviceBufferCount = 20;
        g.receivedBlockCount = 30;
        g.writerQueueLimit = int64_t{kBlock} * 100;
        state.ApplyGeometry(g);
        format = MakePcmFormat(44100, 16, 2);
    }
    ~WriterTest() override { writer.Quit(); }

    void Feed(int index) {
        const auto b = Block(index);
        {
            ListAccessLock lock(state.events.listAccess);
            ASSERT_TRUE(state.writerQueue.Append(b.data(), b.size()));
        }
        state.events.newData.Set();
    }
    void Flush() {
        state.writerStopRequest.store(true);
        state.events.newData.Set();
        state.events.recStopped.Wait();
    }
    void OpenFile(const std::string& path, OutputKind kind) {
        state.events.wavHeader.Reset();
        int error = 0;
        ASSERT_TRUE(output.OpenFile(path, kind, format, &error)) << std::strerror(error);
        state.events.wavHeader.Set();
    }

    test::TempDir dir;
    PipelineState state;
    WaveFormat format;
    WriterOutput output;
    WriterThread writer{state, output};
};

TEST_F(WriterTest, TenBlocksMakeACompleteWavFile) {
    const std::string path = dir / "take.wav";
    OpenFile(path, OutputKind::WavFile);
    writer.Start();
    for (int i = 0; i < 10; ++i) Feed(i);
    Flush();
    EXPECT_NEAR(state.writeTime.Load(), 1.0, 1e-9);
    int error = 0;
    ASSERT_TRUE(output.Finish(&error));

    const auto bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.size(), 176444u);
    EXPECT_EQ(std::string(bytes.data(), 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), 176436u);
    EXPECT_EQ(std::string(bytes.data() + 8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(bytes, 16), 16u);
    EXPECT_EQ(Le16(bytes, 20), 1);
    EXPECT_EQ(Le16(bytes, 22), 2);
    EXPECT_EQ(Le32(bytes, 24), 44100u);
    EXPECT_EQ(Le32(bytes, 28), 176400u);
    EXPECT_EQ(Le16(bytes, 32), 4);
    EXPECT_EQ(Le16(bytes, 34), 16);
    EXPECT_EQ(std::string(bytes.data() + 36, 4), "data");
    EXPECT_EQ(Le32(bytes, 40), 176400u);
    for (int i = 0; i < 10; ++i) {
        const auto b = Block(i);
        ASSERT_EQ(std::memcmp(bytes.data() + 44 + i * kBlock, b.data(), kBlock), 0) << "block " << i;
    }
}

TEST_F(WriterTest, RawFileHoldsExactlyTheBlocks) {
    const std::string path = dir / "take.raw";
    OpenFile(path, OutputKind::RawFile);
    writer.Start();
    for (int i = 0; i < 7; ++i) Feed(i);
    Flush();
    ASSERT_TRUE(output.Finish(nullptr));
    const auto bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.size(), 7u * kBlock);
    for (int i = 0; i < 7; ++i) {
        const auto b = Block(i);
        ASSERT_EQ(std::memcmp(bytes.data() + i * kBlock, b.data(), kBlock), 0) << "block " << i;
    }
}

TEST_F(WriterTest, HeaderSizesFollowEverySecondOfSoundWhileRecording) {
    const std::string path = dir / "take.wav";
    OpenFile(path, OutputKind::WavFile);
    writer.Start();
    for (int i = 0; i < 15; ++i) Feed(i);
    Flush();
    // 1.5 s written, the output still open: the sizes describe the first whole second.
    auto bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.size(), 44u + 15u * kBlock);
    EXPECT_EQ(Le32(bytes, 40), 176400u);
    EXPECT_EQ(Le32(bytes, 4), 176436u);
    // The positional refresh leaves the writer's position alone: blocks follow one another.
    for (int i = 0; i < 15; ++i) {
        const auto b = Block(i);
        ASSERT_EQ(std::memcmp(bytes.data() + 44 + i * kBlock, b.data(), kBlock), 0) << "block " << i;
    }
    for (int i = 15; i < 20; ++i) Feed(i);
    Flush();
    bytes = test::ReadFile(path);
    EXPECT_EQ(Le32(bytes, 40), 20u * kBlock);
    ASSERT_TRUE(output.Finish(nullptr));
}

TEST(WavSizes, FilesOf4GiBOrMoreGetTheLargestSizesInsteadOfWrappedOnes) {
    EXPECT_EQ(WavSizesFor(10044).riffSize, 10036u);
    EXPECT_EQ(WavSizesFor(10044).dataSize, 10000u);
    const uint64_t fourGiB = uint64_t{1} << 32;
    EXPECT_EQ(WavSizesFor(fourGiB - 1).riffSize, 0xFFFFFFFFu - 8);
    EXPECT_EQ(WavSizesFor(fourGiB - 1).dataSize, 0xFFFFFFFFu - 44);
    EXPECT_EQ(WavSizesFor(fourGiB).riffSize, 0xFFFFFFFFu);
    EXPECT_EQ(WavSizesFor(fourGiB).dataSize, 0xFFFFFFFFu);
    EXPECT_EQ(WavSizesFor(fourGiB + 100).dataSize, 0xFFFFFFFFu);

    // A sparse 5 GiB file completed from its length.
    test::TempDir dir;
    const std::string path = dir / "big.wav";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WriteWavHeader(fd, MakePcmFormat(44100, 16, 2), nullptr));
    if (::ftruncate(fd, static_cast<off_t>(5 * (fourGiB / 4))) != 0) {
        ::close(fd);
        if (test::UnderCi()) FAIL() << "no sparse 5 GiB file here";
        GTEST_SKIP() << "no sparse 5 GiB file here";
    }
    ASSERT_TRUE(CompleteWavHeader(fd, nullptr));
    uint8_t sizes[44];
    ASSERT_EQ(::pread(fd, sizes, sizeof sizes, 0), 44);
    ::close(fd);
    std::vector<char> b(sizes, sizes + 44);
    EXPECT_EQ(Le32(b, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le32(b, 40), 0xFFFFFFFFu);
}

TEST_F(WriterTest, BrokenPipeIsReportedOnceAndLaterBlocksAreDroppedAndCounted) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);  // the encoder has gone
    output.AttachPipe(fds[1]);
    writer.Start();
    for (int i = 0; i < 4; ++i) Feed(i);
    Flush();
    EXPECT_TRUE(state.pipeFailed.load());
    EXPECT_EQ(state.pipeError.load(), EPIPE);
    EXPECT_EQ(state.writeTime.Load(), 0.0);
    EXPECT_NEAR(state.lostSeconds.Load(), 0.4, 1e-9);
    output.Finish(nullptr);
    ::close(fds[1]);
}

TEST_F(WriterTest, PipeCarriesTheBlocksInOrder) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::fcntl(fds[1], F_SETPIPE_SZ, 4 * kBlock);
    output.AttachPipe(fds[1]);
    writer.Start();
    for (int i = 0; i < 3; ++i) Feed(i);
    std::vector<uint8_t> got(3 * kBlock);
    std::size_t done = 0;
    while (done < got.size()) {
        const ssize_t n = ::read(fds[0], got.data() + done, got.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<std::size_t>(n);
    }
    Flush();
    EXPECT_NEAR(state.writeTime.Load(), 0.3, 1e-9);
    EXPECT_FALSE(state.pipeFailed.load());
    for (int i = 0; i < 3; ++i) {
        const auto b = Block(i);
        ASSERT_EQ(std::memcmp(got.data() + i * kBlock, b.data(), kBlock), 0) << "block " << i;
    }
    output.Finish(nullptr);
    ::close(fds[0]);
    ::close(fds[1]);
}

// Runs in a child: the file size limit applies to the whole process.
int WriteBeyondFileSizeLimit(const std::string& path) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 44 + 2 * kBlock + kBlock / 2;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;

    PipelineState state;
    BufferGeometry g;
    g.bufferBytes = kBlock;
    g.bufferSeconds = 0.1;
    g.writerQueueLimit = int64_t{kBlock} * 100;
    state.ApplyGeometry(g);
    WriterOutput output;
    int error = 0;
    if (!output.OpenFile(path, OutputKind::WavFile, MakePcmFormat(44100, 16, 2), &error)) return 11;
    state.events.wavHeader.Set();
    WriterThread writer(state, output);
    writer.Start();
    for (int i = 0; i < 5; ++i) {
        const auto b = Block(i);
        {
            ListAccessLock lock(state.events.listAccess);
            state.writerQueue.Append(b.data(), b.size());
        }
        state.events.newData.Set();
    }
    state.writerStopRequest.store(true);
    state.events.newData.Set();
    state.events.recStopped.Wait();
    if (!state.fileFailed.load()) return 12;
    if (state.fileError.load() != EFBIG) return 13;
    // The failed block and the two after it are lost; two blocks are in the file.
    if (std::abs(state.lostSeconds.Load() - 0.3) > 1e-9) return 14;
    if (std::abs(state.writeTime.Load() - 0.2) > 1e-9) return 15;
    if (!output.Finish(&error)) return 16;
    return 0;
}

TEST(WriterFileFailure, FailedWriteIsCountedReportedAndLeavesWholeBlocksInAValidFile) {
    test::TempDir dir;
    const std::string path = dir / "full.wav";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(WriteBeyondFileSizeLimit(path));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    const auto bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.size(), 44u + 2u * kBlock);  // the part-written block was taken back
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 40), 2u * kBlock);
}

TEST_F(WriterTest, FlushWithAnEmptyQueueEndsAtOnce) {
    writer.Start();
    Flush();
    EXPECT_FALSE(state.writerStopRequest.load());
    EXPECT_FALSE(state.events.newData.IsSet());
}

TEST_F(WriterTest, QuitWritesWhatIsStillQueued) {
    const std::string path = dir / "quit.raw";
    OpenFile(path, OutputKind::RawFile);
    for (int i = 0; i < 5; ++i) Feed(i);  // queued before the thread runs
    writer.Start();
    writer.Quit();
    EXPECT_FALSE(writer.Running());
    output.Finish(nullptr);
    EXPECT_EQ(test::ReadFile(path).size(), 5u * kBlock);
}

TEST_F(WriterTest, BlocksAfterTheOutputIsFinishedAreDroppedWithoutWaiting) {
    const std::string path = dir / "late.raw";
    OpenFile(path, OutputKind::RawFile);
    writer.Start();
    Feed(0);
    Flush();
    ASSERT_TRUE(output.Finish(nullptr));
    // An encoder recording never sets "WavHeader"; a late block must not wait for it.
    state.events.wavHeader.Reset();
    Feed(1);
    Feed(2);
    Flush();
    EXPECT_EQ(test::ReadFile(path).size(), 1u * kBlock);
    EXPECT_EQ(state.writerQueue.Count(), 0u);
}

}  // namespace
}  // namespace pelmora
