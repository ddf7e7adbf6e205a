// SPDX-License-Identifier: GPL-3.0-or-later
// Whole recordings on the simulated device: WAV, raw and MP3 through the real encoder, a
// killed encoder, a failing file write and a recorder killed in the middle of a recording.

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "EndToEndRig.h"
#include "recording/OutputFiles.h"
#include "support/UnderCi.h"
#include "support/UnderTsan.h"

namespace pelmora {
namespace {

using test::EndToEndRig;

constexpr int kNoiseFrames = 100003;  // prime: never a whole number of blocks
constexpr double kBytesPerSecond = 176400.0;

uint32_t Le32(const std::vector<char>& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::vector<int16_t> Samples(const std::vector<char>& bytes, std::size_t from, std::size_t count) {
    std::vector<int16_t> s(count / 2);
    std::memcpy(s.data(), bytes.data() + from, s.size() * 2);
    return s;
}

/// Whether `got` (stereo frames) is one unbroken stretch of the periodic `source`.
::testing::AssertionResult UnbrokenStretchOf(const std::vector<int16_t>& source, const std::vector<int16_t>& got) {
    const std::size_t period = source.size() / 2, frames = got.size() / 2;
    if (frames < 4) return ::testing::AssertionFailure() << "only " << frames << " frames";
    std::size_t offset = period;
    for (std::size_t o = 0; o < period && offset == period; ++o) {
        bool match = true;
        for (std::size_t k = 0; k < 4 && match; ++k)
            match = std::memcmp(&source[2 * ((o + k) % period)], &got[2 * k], 4) == 0;
        if (match) offset = o;
    }
    if (offset == period) return ::testing::AssertionFailure() << "the start is not in the source";
    for (std::size_t k = 0; k < frames; ++k)
        if (std::memcmp(&source[2 * ((offset + k) % period)], &got[2 * k], 4) != 0)
            return ::testing::AssertionFailure() << "frame " << k << " of " << frames << " breaks the stretch";
    return ::testing::AssertionSuccess();
}

/// Records at least `seconds` of sound, waiting on the preprocessing thread, then stops.
void RecordFor(EndToEndRig& rig, double seconds) {
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    for (int guard = 0; rig.state.writeTime.Load() < seconds; ++guard) {
        ASSERT_LT(guard, 100000);
        ASSERT_TRUE(rig.Process(1));
    }
    rig.control.OnRecord();
    ASSERT_FALSE(rig.control.IsRecording());
}

TEST(EndToEnd, WavRecordingHoldsExactlyTheCapturedSound) {
    const auto source = test::NoiseSource(kNoiseFrames);
    EndToEndRig rig(source, SimulatedPace::kRealTime);
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(rig.Process(5));
    RecordFor(rig, 3.0);

    EXPECT_EQ(rig.state.lostSeconds.Load(), 0.0);
    const auto bytes = test::ReadFile(rig.dir / "out.wav");
    const double written = rig.state.writeTime.Load();
    EXPECT_GE(written, 3.0);
    ASSERT_EQ(static_cast<double>(bytes.size()), 44 + std::round(written * 10) * test::kRigBlock);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(Le32(bytes, 24), 44100u);
    EXPECT_TRUE(UnbrokenStretchOf(source, Samples(bytes, 44, bytes.size() - 44)));
}

TEST(EndToEnd, RawRecordingHoldsExactlyTheCapturedSound) {
    const auto source = test::NoiseSource(kNoiseFrames);
    EndToEndRig rig(source, SimulatedPace::kRealTime);
    rig.settings.rawPcm = 1;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    RecordFor(rig, 3.0);
    EXPECT_EQ(rig.state.lostSeconds.Load(), 0.0);
    const auto bytes = test::ReadFile(rig.dir / "out.raw");
    EXPECT_EQ(static_cast<double>(bytes.size()), std::round(rig.state.writeTime.Load() * 10) * test::kRigBlock);
    EXPECT_TRUE(UnbrokenStretchOf(source, Samples(bytes, 0, bytes.size())));
}

// Frames of 16-bit stereo, each holding its index + 1 as a little-endian 32-bit value.
std::vector<int16_t> NumberedSource(uint32_t frames) {
    std::vector<int16_t> s(static_cast<std::size_t>(frames) * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t number = i + 1;
        std::memcpy(&s[2 * i], &number, sizeof number);
    }
    return s;
}

std::vector<uint32_t> Numbers(const std::vector<char>& bytes, std::size_t from) {
    std::vector<uint32_t> n((bytes.size() - from) / 4);
    std::memcpy(n.data(), bytes.data() + from, n.size() * 4);
    return n;
}

// Clicks Pause right after one block and Continue right after the third block that follows,
// on the preprocessing thread itself, so that the clicks fall exactly between blocks.
// It outlives the rig: the thread may call it until the rig is gone.
class PauseBetweenBlocks : public MeterBlockHook {
public:
    void Arm(RecordingControl* control, uint64_t afterBlock) {
        control_.store(control);
        pauseAfter_.store(afterBlock);
    }
    void Disarm() { pauseAfter_.store(0); }
    void OnMeterBlock(const MeterSnapshot& m) override {
        const uint64_t at = pauseAfter_.load();
        if (at != 0 && (m.block == at || m.block == at + 3)) control_.load()->OnPause();
    }

private:
    std::atomic<RecordingControl*> control_{nullptr};
    std::atomic<uint64_t> pauseAfter_{0};
};

TEST(EndToEnd, PauseAndContinueKeepExactlyTheSoundOutsideThePause) {
    constexpr uint32_t kBlockFrames = 4410;
    PauseBetweenBlocks clicks;
    EndToEndRig rig(NumberedSource(100 * kBlockFrames), SimulatedPace::kRealTime);
    rig.preprocess.SetMeterHook(&clicks);  // before the device opens: no block has come yet
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(rig.Process(1));
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    const uint64_t recordedFrom = rig.preprocess.ProcessedBlocks();
    clicks.Arm(&rig.control, recordedFrom + 5);
    ASSERT_TRUE(rig.preprocess.WaitProcessed(recordedFrom + 11, test::kGuard));
    rig.control.OnRecord();
    ASSERT_FALSE(rig.control.IsRecording());
    clicks.Disarm();

    const std::vector<std::string> texts = rig.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Recording paused"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Recording resumed"), 1);
    const std::vector<uint32_t> got = Numbers(test::ReadFile(rig.dir / "out.wav"), 44);
    ASSERT_FALSE(got.empty());
    std::vector<std::size_t> breaks;
    for (std::size_t i = 1; i < got.size(); ++i)
        if (got[i] != got[i - 1] + 1) breaks.push_back(i);
    ASSERT_EQ(breaks.size(), 1u) << "the pause is the only break";
    const std::size_t at = breaks[0];
    // The last frame before the pause ends a block, and exactly the three blocks that came
    // during the pause are missing.
    EXPECT_EQ(got[at - 1] % kBlockFrames, 0u) << got[at - 1];
    EXPECT_EQ(got[at] - got[at - 1] - 1, 3 * kBlockFrames);
    // (The start and the stop may each move by a block: they follow what the device reports.)
    EXPECT_GE(at, 3 * kBlockFrames) << "the blocks before the pause were written";
    EXPECT_GE(got.size() - at, 3 * kBlockFrames) << "the blocks after it were written";
    EXPECT_EQ(rig.state.lostSeconds.Load(), 0.0);
}

struct Decoded {
    int channels = 0;
    std::vector<int16_t> samples;
    std::size_t Frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

bool Decode(const std::string& mp3, Decoded* out) {
    const std::string wav = mp3 + ".decoded.wav";
    const std::string cmd = "/usr/bin/lame --quiet --decode '" + mp3 + "' '" + wav + "'";
    if (std::system(cmd.c_str()) != 0) return false;
    const auto b = test::ReadFile(wav);
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string id(b.data() + at, 4);
        const uint32_t size = Le32(b, at + 4);
        if (id == "fmt ") out->channels = static_cast<uint8_t>(b[at + 10]);
        if (id == "data") {
            out->samples = Samples(b, at + 8, std::min<std::size_t>(size, b.size() - at - 8));
            return out->channels > 0;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

/// Pearson correlation of the decoded sound with the periodic source, at the best lag.
double CorrelationWithSource(const std::vector<int16_t>& source, const Decoded& d) {
    const std::size_t period = source.size() / 2, frames = d.Frames();
    const std::size_t skip = 2304;  // the encoder's first frames settle
    auto correlate = [&](std::size_t lag, std::size_t end) {
        double sxy = 0, sxx = 0, syy = 0;
        for (std::size_t k = skip; k < end; ++k)
            for (int c = 0; c < 2; ++c) {
                const double x = source[2 * ((k + lag) % period) + static_cast<std::size_t>(c)];
                const double y = d.samples[2 * k + static_cast<std::size_t>(c)];
                sxy += x * y;
                sxx += x * x;
                syy += y * y;
            }
        return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
    };
    std::size_t best = 0;
    double bestValue = -2;
    const std::size_t probe = std::min(frames, skip + period);
    for (std::size_t lag = 0; lag < period; ++lag) {
        const double v = correlate(lag, probe);
        if (v > bestValue) bestValue = v, best = lag;
    }
    return correlate(best, frames);
}

TEST(EndToEnd, Mp3RecordingThroughTheEncoderDecodesToTheSound) {
    const auto source = test::ToneSource();
    EndToEndRig rig(source, SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    RecordFor(rig, 3.0);
    EXPECT_EQ(rig.state.lostSeconds.Load(), 0.0);
    EXPECT_TRUE(rig.Logged("              (using /usr/bin/lame)"));
    // The disabled button shows while the encoder finishes; it is usable again afterwards.
    EXPECT_EQ(rig.view.recordDisabledCount, 1);
    EXPECT_EQ(rig.view.pendingShownCount, 1);
    EXPECT_TRUE(rig.view.recordEnabled);

    Decoded d;
    ASSERT_TRUE(Decode(rig.dir / "out.mp3", &d));
    ASSERT_EQ(d.channels, 2);
    EXPECT_NEAR(static_cast<double>(d.Frames()), rig.state.writeTime.Load() * 44100, 1152);
    EXPECT_GT(CorrelationWithSource(source, d), 0.99);
}

TEST(EndToEnd, KilledEncoderIsReportedAndStopsTheRecordingWithinTwoTicks) {
    const auto source = test::ToneSource();
    EndToEndRig rig(source, SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    rig.control.OnRecord();
    ASSERT_TRUE(rig.control.IsRecording());
    while (rig.state.writeTime.Load() < 1.5) ASSERT_TRUE(rig.Process(1));
    ASSERT_GT(rig.encoderProcess.Pid(), 0);
    ASSERT_EQ(::kill(rig.encoderProcess.Pid(), SIGKILL), 0);

    int ticks = 0;
    while (rig.control.IsRecording() && ticks < 2) {
        ASSERT_TRUE(rig.Process(10));  // one second of sound between ticks
        rig.supervision.OnTimer();
        ++ticks;
    }
    EXPECT_FALSE(rig.control.IsRecording());
    const auto t = rig.Texts();
    const auto at = std::find(t.begin(), t.end(), "ERROR:   Broken pipe");
    ASSERT_NE(at, t.end());
    EXPECT_EQ(*(at + 1), "Recording is being stoped. Waiting for buffers to be flushed...");
    EXPECT_TRUE(rig.Logged("ERROR:   lame ended on signal 9 (Killed)"));
    EXPECT_EQ(rig.view.state, kStateReady);

    Decoded d;
    ASSERT_TRUE(Decode(rig.dir / "out.mp3", &d));
    EXPECT_GT(d.Frames(), 44100u / 2);
}

// In a child process: the file size limit applies to the whole process.
int RecordIntoTooSmallALimit(const std::string& folder) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 44 + 176400 + 1000;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    EndToEndRig rig(test::NoiseSource(kNoiseFrames), SimulatedPace::kRealTime);
    SetTextField(rig.settings.outputFolder, folder);
    if (!rig.capture.OpenCaptureDevice()) return 11;
    rig.control.OnRecord();
    if (!rig.control.IsRecording()) return 12;
    for (int i = 0; !rig.state.fileFailed.load(); ++i)
        if (i > 1000 || !rig.Process(1)) return 13;
    rig.supervision.OnTimer();
    if (rig.control.IsRecording()) return 14;
    const auto t = rig.Texts();
    const auto at = std::find(t.begin(), t.end(), "ERROR:   File too large");
    if (at == t.end()) return 15;
    if (t.back().find("Recording stoped.") != 0) return 16;
    if (t.back().find("sec lost).") == std::string::npos) return 17;
    return 0;
}

TEST(EndToEnd, FailingFileWriteStopsTheRecordingAndLeavesAValidWav) {
    test::TempDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(RecordIntoTooSmallALimit(dir.Path()));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    const auto bytes = test::ReadFile(dir / "out.wav");
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ((bytes.size() - 44) % test::kRigBlock, 0u);  // whole blocks only
    EXPECT_EQ(bytes.size() - 44, 10u * test::kRigBlock);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 40), bytes.size() - 44);
}

[[noreturn]] void RecordUntilKilled(const std::string& folder, int readyFd) {
    EndToEndRig rig(test::NoiseSource(kNoiseFrames), SimulatedPace::kRealTime);
    SetTextField(rig.settings.outputFolder, folder);
    if (!rig.capture.OpenCaptureDevice()) ::_exit(11);
    rig.control.OnRecord();
    while (rig.state.writeTime.Load() < 3.0)
        if (!rig.Process(1)) ::_exit(12);
    if (::write(readyFd, "x", 1) != 1) ::_exit(13);
    for (int i = 0; i < 600; ++i) rig.Process(1);
    ::_exit(14);
}

TEST(EndToEnd, RecorderKilledMidRecordingLeavesAWavValidToWithinASecond) {
    test::TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        RecordUntilKilled(dir.Path(), ready[1]);
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    const auto bytes = test::ReadFile(dir / "out.wav");
    ASSERT_GE(bytes.size(), 44u + 2 * 176400u);
    const double dataBytes = static_cast<double>(bytes.size() - 44);
    const uint32_t dataSize = Le32(bytes, 40);
    EXPECT_GT(dataSize, 0u);
    EXPECT_LE(dataSize, dataBytes);
    EXPECT_LE(dataBytes - dataSize, kBytesPerSecond);
    EXPECT_EQ(Le32(bytes, 4), dataSize + 36);
}


/// Records MP3 until the writer finds the encoder gone; false after the guard.
bool RecordUntilThePipeFails(EndToEndRig& rig) {
    rig.control.OnRecord();
    if (!rig.control.IsRecording()) return false;
    for (int i = 0; !rig.state.pipeFailed.load(); ++i)
        if (i > 200 || !rig.Process(1)) return false;
    return true;
}

/// The texts from `first` on, up to the summary line, which must follow them.
std::vector<std::string> From(const std::vector<std::string>& t, const std::string& first) {
    const auto at = std::find(t.begin(), t.end(), first);
    return at == t.end() ? std::vector<std::string>{} : std::vector<std::string>(at, t.end());
}

TEST(EndToEndEncoderFailure, RejectedOptionIsLoggedWithTheEncodersWordsAndExitStatus) {
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    rig.settings.useBuiltInPreset = 1;  // the alternative preset "r3mix", which lame 3.100 refuses
    rig.settings.presetFamily = 1;
    rig.settings.altPresetIndex = 0;
    ASSERT_NE(rig.EncoderArgs().find("--preset r3mix"), std::string::npos);
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(RecordUntilThePipeFails(rig));
    rig.supervision.OnTimer();
    EXPECT_FALSE(rig.control.IsRecording());

    const auto t = From(rig.Texts(), "ERROR:   Broken pipe");
    ASSERT_GE(t.size(), 5u);
    EXPECT_EQ(t[1], "Recording is being stoped. Waiting for buffers to be flushed...");
    EXPECT_EQ(t[2], "ERROR:   lame: Error: You did not enter a valid profile and/or options with --preset");
    EXPECT_EQ(t[3], "ERROR:   lame ended with exit status 1");
    EXPECT_EQ(t[4].substr(0, 17), "Recording stoped.");
}

// An encoder that runs out of room says only that it could not write; the log says why first.
TEST(EndToEndEncoderFailure, FullDiskIsLoggedWithTheSystemsTextThenTheEncodersWords) {
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    rig.settings.confirmOverwrite = 0;
    // Every write into the output file fails with "No space left on device", and the
    // output's volume reports what a full one does.
    ASSERT_EQ(::symlink("/dev/full", (rig.dir / "out.mp3").c_str()), 0);
    std::string measured;
    rig.control.SetFreeSpaceSource([&](const std::string& folder) {
        measured = folder;
        return std::optional<uint64_t>(4096);
    });
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(RecordUntilThePipeFails(rig));
    rig.supervision.OnTimer();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(measured, rig.dir.Path());
    const auto t = From(rig.Texts(), "ERROR:   Broken pipe");
    ASSERT_GE(t.size(), 6u);
    EXPECT_EQ(t[2], "ERROR:   No space left on device");
    EXPECT_EQ(t[3], "ERROR:   lame: Error writing mp3 output");
    EXPECT_EQ(t[4], "ERROR:   lame ended with exit status 1");
    EXPECT_EQ(t[5].substr(0, 17), "Recording stoped.");
}

/// A tmpfs of a few pages, mounted in the mount namespace of a child that waits until the
/// object goes; this process reaches it through /proc/<child>/root. An ordinary user mounts
/// it in a user namespace of the child's own.
class TinyVolume {
public:
    TinyVolume() {
        const std::string uidMap = "0 " + std::to_string(::getuid()) + " 1";
        const std::string gidMap = "0 " + std::to_string(::getgid()) + " 1";
        const std::string at = WithoutSlash(dir_.Path());
        const bool root = ::geteuid() == 0;
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        child_ = ::fork();
        if (child_ == 0) {
            // Only system calls from here: the parent has threads.
            ::close(ready[0]);
            ::close(release[1]);
            const bool mounted =
                ::unshare(root ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
                (root || (Put("/proc/self/setgroups", "deny") && Put("/proc/self/uid_map", uidMap.c_str()) &&
                          Put("/proc/self/gid_map", gidMap.c_str()))) &&
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                ::mount("pelmora-tiny", at.c_str(), "tmpfs", 0, "size=8k,mode=0777") == 0;
            const char answer = mounted ? 'y' : 'n';
            (void)!::write(ready[1], &answer, 1);
            char none;
            (void)!::read(release[0], &none, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char answer = 'n';
        if (child_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y')
            path_ = "/proc/" + std::to_string(child_) + "/root" + at + "/";
        ::close(ready[0]);
    }
    ~TinyVolume() {
        if (release_ >= 0) ::close(release_);
        if (child_ > 0) ::waitpid(child_, nullptr, 0);
    }
    /// The volume's folder, with a trailing "/"; empty when this user may not mount one.
    const std::string& Path() const { return path_; }

private:
    static std::string WithoutSlash(std::string path) {
        path.pop_back();
        return path;
    }
    static bool Put(const char* file, const char* text) {
        const int fd = ::open(file, O_WRONLY);
        if (fd < 0) return false;
        const bool written = ::write(fd, text, std::strlen(text)) == static_cast<ssize_t>(std::strlen(text));
        ::close(fd);
        return written;
    }

    test::TempDir dir_;
    pid_t child_ = -1;
    int release_ = -1;
    std::string path_;
};

// The volume is mounted by a forked child, which ThreadSanitizer's runtime does not let make a
// namespace of its own.
#ifndef PELMORA_UNDER_TSAN
TEST(EndToEndEncoderFailure, AnMp3RecordingThatFillsARealVolumeSaysTheVolumeIsFull) {
    TinyVolume volume;
    if (volume.Path().empty()) {
        if (test::UnderCi()) FAIL() << "this user may not mount a file system, not even in a namespace";
        GTEST_SKIP() << "this user may not mount a file system, not even in a namespace";
    }
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    SetTextField(rig.settings.outputFolder, volume.Path());
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(RecordUntilThePipeFails(rig));
    rig.supervision.OnTimer();
    EXPECT_FALSE(rig.control.IsRecording());
    ASSERT_LT(FreeSpaceBytes(volume.Path()).value_or(0), kFullVolumeBytes);
    const auto t = From(rig.Texts(), "ERROR:   Broken pipe");
    ASSERT_GE(t.size(), 6u);
    EXPECT_EQ(t[2], "ERROR:   No space left on device");
    EXPECT_EQ(t[3], "ERROR:   lame: Error writing mp3 output");
    EXPECT_EQ(t[4], "ERROR:   lame ended with exit status 1");
}
#endif

TEST(EndToEndEncoderFailure, AnMp3FileThatCannotBeCreatedIsRefusedBeforeTheEncoderStarts) {
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    rig.view.entry = std::string(252, 'n');  // fits the settings, but with ".mp3" no file system takes it
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(rig.encoderProcess.Pid(), 0);
    const auto t = rig.Texts();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[t.size() - 2], "ERROR:   File name too long");
    EXPECT_EQ(t.back(), "ERROR:   Can not create output file " + rig.dir.Path() + std::string(252, 'n') + ".mp3");
    EXPECT_EQ(rig.view.controlStates, (std::vector<int>{1, 2}));

    // Permissions do not bind root; CI runs the tests as an ordinary user.
    if (::geteuid() == 0) {
        EXPECT_FALSE(test::UnderCi()) << "a read-only folder cannot be tested as root";
        return;
    }
    ASSERT_EQ(::mkdir((rig.dir / "ro").c_str(), 0555), 0);
    SetTextField(rig.settings.outputFolder, rig.dir / "ro/");
    rig.view.entry = "take";
    rig.control.OnRecord();
    EXPECT_FALSE(rig.control.IsRecording());
    EXPECT_EQ(rig.Texts().back(), "ERROR:   Can not create output file " + rig.dir.Path() + "ro/take.mp3");
}

TEST(EndToEndEncoderFailure, AnEncoderEndedAtTheStopIsLogged) {
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    // Reads its input, then does not end: the stop has to end it.
    const std::string fake = rig.dir / "lame";
    {
        std::ofstream out(fake);
        out << "#!/bin/sh\necho 'still busy'\ncat > /dev/null\nexec sleep 30\n";
    }
    ASSERT_EQ(::chmod(fake.c_str(), 0755), 0);
    SetTextField(rig.settings.encoderPath, fake);
    rig.encoder.SetExitBound(std::chrono::milliseconds(200));
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    RecordFor(rig, 0.5);
    const auto t = From(rig.Texts(), "ERROR:   lame: still busy");
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[1], "ERROR:   lame did not end after its input and was terminated (SIGTERM)");
    EXPECT_EQ(t[2].substr(0, 17), "Recording stoped.");
}

TEST(EndToEndEncoderFailure, PipeFailureJustBeforeAManualStopIsReported) {
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    rig.control.OnRecord();
    while (rig.state.writeTime.Load() < 0.5) ASSERT_TRUE(rig.Process(1));
    ASSERT_EQ(::kill(rig.encoderProcess.Pid(), SIGKILL), 0);
    for (int i = 0; !rig.state.pipeFailed.load(); ++i) {
        ASSERT_LT(i, 200);
        ASSERT_TRUE(rig.Process(1));
    }
    rig.control.OnRecord();  // the user's Stop, before any tick
    const auto t = From(rig.Texts(), "Recording is being stoped. Waiting for buffers to be flushed...");
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[1], "ERROR:   Broken pipe");
    EXPECT_EQ(t.back().substr(0, 17), "Recording stoped.");
    EXPECT_TRUE(rig.Logged("ERROR:   lame ended on signal 9 (Killed)"));
}

TEST(EndToEnd, Mp3SummaryAndLogFileGiveTheFinishedFileSize) {
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    rig.settings.logDuringRecording = 1;
    rig.settings.logFileMode = 0;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    RecordFor(rig, 2.0);
    const std::string size = FileSizeText(test::ReadFile(rig.dir / "out.mp3").size());
    const std::string summary = "Recording stoped. Output file size " + size + ". Final duration ";
    EXPECT_EQ(rig.Texts().back().substr(0, summary.size()), summary);
    const auto log = test::ReadFile(rig.dir / "out.mp3.log");
    EXPECT_NE(std::string(log.begin(), log.end()).find(summary), std::string::npos);
}

TEST(EndToEnd, Mp3HoldsExactlyTheWriteTimeLimit) {
    EndToEndRig rig(test::ToneSource(), SimulatedPace::kRealTime);
    rig.settings.writeUncompressed = 0;
    rig.settings.stopOnWriteTime = 1;
    rig.settings.writeTimeLimit = 2;
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    rig.control.OnRecord();
    ASSERT_TRUE(rig.Process(28));  // the next tick comes late
    for (int i = 0; rig.control.IsRecording(); ++i) {
        ASSERT_LT(i, 100);
        rig.supervision.OnTimer();
        if (rig.control.IsRecording()) {
            ASSERT_TRUE(rig.Process(1));
        }
    }
    EXPECT_TRUE(rig.Logged("Maximum duration reached (2 sec)"));
    Decoded d;
    ASSERT_TRUE(Decode(rig.dir / "out.mp3", &d));
    EXPECT_NEAR(static_cast<double>(d.Frames()), 2.0 * 44100, 1152);
}

TEST(EncoderFailureLines, ErrorLinesFirstElseTheLastThree) {
    EXPECT_EQ(FailureLines({"LAME 3.100", "", "Error: bad option", "usage", "  more", "end"}),
              (std::vector<std::string>{"Error: bad option"}));
    EXPECT_EQ(FailureLines({"a", "b", " ", "c", "d"}), (std::vector<std::string>{"b", "c", "d"}));
    EXPECT_EQ(FailureLines({}), (std::vector<std::string>{}));
}

}  // namespace
}  // namespace pelmora
