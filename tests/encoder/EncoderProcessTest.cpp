// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <condition_variable>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "encoder/EncoderCommand.h"
#include "capture/ThreadRoles.h"
#include "encoder/EncoderTestSupport.h"
#include "settings/FileIo.h"
#include "support/TaskSchedule.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;

/// Writes into the encoder's pipe as the writer thread does: 0, or the errno of the failure
/// (EBADF when no encoder runs).
int Send(const EncoderProcess& encoder, const void* data, std::size_t size) {
    if (encoder.WriteEnd() < 0) return EBADF;
    int error = 0;
    return WriteAll(encoder.WriteEnd(), data, size, nullptr, &error) ? 0 : error;
}
using test::RecordingLog;
using test::TempDir;
using Words = std::vector<std::string>;

constexpr int kMp3FrameSamples = 1152;

struct Wav {
    int channels = 0;
    int bits = 0;
    std::vector<int16_t> samples;  // interleaved
    std::size_t Frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

uint32_t Le32(const std::string& b, std::size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t Le16(const std::string& b, std::size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

Wav ParseWav(const std::string& bytes) {
    Wav w;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return w;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        std::size_t size = Le32(bytes, at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt " && body + 16 <= bytes.size()) {
            w.channels = Le16(bytes, body + 2);
            w.bits = Le16(bytes, body + 14);
        } else if (id == "data") {
            size = std::min(size, bytes.size() - body);
            for (std::size_t i = 0; i + 1 < size; i += 2) w.samples.push_back(int16_t(Le16(bytes, body + i)));
            break;
        }
        at = body + size + (size & 1);
    }
    return w;
}

/// Runs a program from PATH with its output discarded; its exit code.
int RunQuiet(Words words) {
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ZeroCrossings(const Wav& w) {
    int count = 0;
    for (std::size_t i = 1; i < w.Frames(); ++i) {
        const std::size_t ch = static_cast<std::size_t>(w.channels);
        if ((w.samples[(i - 1) * ch] < 0) != (w.samples[i * ch] < 0)) ++count;
    }
    return count;
}

int Peak(const Wav& w) {
    int peak = 0;
    for (int16_t v : w.samples) peak = std::max(peak, std::abs(int(v)));
    return peak;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

/// Waits until the process has ended without reaping it, so its owner still can.
void AwaitDeath(pid_t pid) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
}

bool Reaped(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == -1 && errno == ECHILD;
}

class EncoderProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultSettings(s, dir.Folder());
        SetTextField(s.encoderPath, "/usr/bin/lame");
    }

    /// Encoder arguments the window would hold for this format.
    std::string ArgsFor(unsigned rate, int bits, int channels) {
        EncoderInputFormat f;
        f.sampleRate = rate;
        f.bits = bits;
        f.channels = channels;
        return ComposeEncoderCommand(s, f, ChooseBitrateTable(s.resampleIndex, int(rate))).encoderArgs;
    }

    /// Encodes `pcm` through the pipe with the real encoder and decodes the result.
    Wav EncodeAndDecode(const std::vector<uint8_t>& pcm, const std::string& args, const std::string& mp3) {
        EncoderProcess encoder(dir.Folder());
        EXPECT_TRUE(encoder.Start(mp3, args, s, log));
        const std::size_t chunk = 4096;
        for (std::size_t at = 0; at < pcm.size(); at += chunk)
            EXPECT_EQ(Send(encoder, pcm.data() + at, std::min(chunk, pcm.size() - at)), 0);
        EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
        EXPECT_TRUE(WIFEXITED(encoder.WaitStatus()) && WEXITSTATUS(encoder.WaitStatus()) == 0);
        const std::string wav = dir.Path("decoded.wav");
        EXPECT_EQ(RunQuiet({"lame", "--quiet", "--decode", mp3, wav}), 0);
        return ParseWav(test::ReadFile(wav));
    }

    TempDir dir;  // also the program folder
    RecSettings s{};
    RecordingLog log;
};

TEST_F(EncoderProcessTest, RealEncodeKeepsLengthAndWaveform) {
    // One second of a 1 kHz tone, 16-bit little-endian stereo, as the writer sends it.
    const int rate = 44100, frames = rate;
    std::vector<uint8_t> pcm;
    for (int i = 0; i < frames; ++i) {
        const int16_t v = int16_t(10000 * std::sin(2 * M_PI * 1000.0 * i / rate));
        for (int ch = 0; ch < 2; ++ch) {
            pcm.push_back(uint8_t(uint16_t(v) & 0xff));
            pcm.push_back(uint8_t(uint16_t(v) >> 8));
        }
    }
    Wav w = EncodeAndDecode(pcm, ArgsFor(44100, 16, 2), dir.Path("tone.mp3"));
    EXPECT_EQ(w.channels, 2);
    EXPECT_NEAR(double(w.Frames()), frames, kMp3FrameSamples);
    // A byte-swapped reading would be broadband noise at full scale.
    EXPECT_NEAR(ZeroCrossings(w), 2000, 60);
    EXPECT_NEAR(Peak(w), 10000, 1500);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(EncoderProcessTest, EightBitMonoIsReadAsUnsigned) {
    const int rate = 22050, frames = rate / 2;
    std::vector<uint8_t> pcm;
    for (int i = 0; i < frames; ++i) pcm.push_back(uint8_t(128 + std::lround(64 * std::sin(2 * M_PI * 500.0 * i / rate))));
    const std::string args = ArgsFor(22050, 8, 1);
    ASSERT_NE(args.find(" --bitwidth 8 -m m"), std::string::npos) << args;
    Wav w = EncodeAndDecode(pcm, args, dir.Path("voice.mp3"));
    EXPECT_EQ(w.channels, 1);
    EXPECT_NEAR(double(w.Frames()), frames, kMp3FrameSamples);
    EXPECT_NEAR(ZeroCrossings(w), 500, 30);
    // Half of full scale; read as signed, the offset of 128 would drive it to full scale.
    EXPECT_NEAR(Peak(w), 16384, 2500);
}

TEST_F(EncoderProcessTest, MonoInputWithAPresetStaysMono) {
    s.useBuiltInPreset = 1;
    s.generalPresetIndex = 11;  // "cd"
    const int rate = 22050, frames = rate / 2;
    std::vector<uint8_t> pcm;
    for (int i = 0; i < frames; ++i) {
        const int16_t v = int16_t(10000 * std::sin(2 * M_PI * 500.0 * i / rate));
        pcm.push_back(uint8_t(uint16_t(v) & 0xff));
        pcm.push_back(uint8_t(uint16_t(v) >> 8));
    }
    Wav w = EncodeAndDecode(pcm, ArgsFor(22050, 16, 1), dir.Path("preset.mp3"));
    EXPECT_EQ(w.channels, 1);
    EXPECT_NEAR(double(w.Frames()), frames, kMp3FrameSamples);
    EXPECT_NEAR(ZeroCrossings(w), 500, 30);
}

TEST_F(EncoderProcessTest, OutputPathIsOneArgumentAndNothingElseRuns) {
    // The "/tmp/x" inside the command substitution makes two folder levels of the name.
    const std::string level1 = dir.Path("a \"b\" 'c' $(touch ");
    const std::string level2 = level1 + "/tmp";
    ASSERT_EQ(::mkdir(level1.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(level2.c_str(), 0755), 0);
    const std::string output = level2 + "/x) ; echo hi\n`touch y` & z.mp3";
    ASSERT_NE(output.find("$(touch /tmp/x)"), std::string::npos);

    struct stat before {};
    const bool markerExisted = ::stat("/tmp/x", &before) == 0;

    std::vector<uint8_t> silence(44100 * 4 / 5, 0);
    EncoderProcess encoder(dir.Folder());
    ASSERT_TRUE(encoder.Start(output, ArgsFor(44100, 16, 2), s, log));
    EXPECT_EQ(Send(encoder, silence.data(), silence.size()), 0);
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
    EXPECT_EQ(WEXITSTATUS(encoder.WaitStatus()), 0);

    struct stat mp3 {};
    ASSERT_EQ(::stat(output.c_str(), &mp3), 0);
    EXPECT_GT(mp3.st_size, 0);
    std::set<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Folder())) found.insert(e.path().string());
    EXPECT_EQ(found, (std::set<std::string>{level1, level2, output}));
    struct stat after {};
    if (markerExisted)
        EXPECT_EQ(::stat("/tmp/x", &after) == 0 ? after.st_mtim.tv_nsec : -1, before.st_mtim.tv_nsec);
    else
        EXPECT_FALSE(Exists("/tmp/x"));
    EXPECT_FALSE(Exists("y"));
}

TEST_F(EncoderProcessTest, ArgumentVectorFolderAndEndOfInput) {
    const std::string fake = dir.Path("lame");
    test::WriteScript(fake, "for a in \"$0\" \"$@\"; do printf '%s\\0' \"$a\"; done > '" + dir.Path("args") +
                                "'\npwd > '" + dir.Path("cwd") + "'\ncat > '" + dir.Path("stdin") + "'");
    SetTextField(s.encoderPath, "");

    EncoderProcess encoder(dir.Folder());
    ASSERT_TRUE(encoder.Start("-odd name\n.mp3", " -r \"a b\" c\"\"d $(id)  ", s, log));
    EXPECT_EQ(TextField(s.encoderPath), fake);
    EXPECT_EQ(log.lines, (Words{"Path \"\" not found. Local path will be used."}));
    EXPECT_GT(encoder.Pid(), 0);
    EXPECT_EQ(Send(encoder, "pcm", 3), 0);
    // The encoder holds no copy of the write end: closing ours ends its input.
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
    EXPECT_EQ(encoder.Pid(), 0);

    const std::string args = test::ReadFile(dir.Path("args"));
    Words argv;
    for (std::size_t at = 0, end; (end = args.find('\0', at)) != std::string::npos; at = end + 1)
        argv.push_back(args.substr(at, end - at));
    EXPECT_EQ(argv, (Words{fake, "-r", "a b", "cd", "$(id)", "-", "./-odd name\n.mp3"}));
    EXPECT_EQ(test::ReadFile(dir.Path("cwd")), dir.Path("").substr(0, dir.Folder().size() - 1) + "\n");
    EXPECT_EQ(test::ReadFile(dir.Path("stdin")), "pcm");
}

TEST_F(EncoderProcessTest, DeadEncoderMakesTheNextWriteFailWithEpipe) {
    EncoderProcess encoder(dir.Folder());
    ASSERT_TRUE(encoder.Start(dir.Path("dead.mp3"), ArgsFor(44100, 16, 2), s, log));
    const pid_t pid = encoder.Pid();
    std::vector<uint8_t> block(65536, 0);
    EXPECT_EQ(Send(encoder, block.data(), 4096), 0);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    AwaitDeath(pid);
    EXPECT_FALSE(encoder.IsRunning());
    EXPECT_EQ(Send(encoder, block.data(), block.size()), EPIPE);
    EXPECT_EQ(Send(encoder, block.data(), 1), EPIPE);
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
    EXPECT_TRUE(WIFSIGNALED(encoder.WaitStatus()));
    EXPECT_TRUE(Reaped(pid));
    EXPECT_EQ(Send(encoder, block.data(), 1), EBADF);
}

TEST_F(EncoderProcessTest, FinishEndsAnEncoderThatIgnoresEndOfInputWithinTheBound) {
    const std::string ready = dir.Path("ready");
    ASSERT_EQ(::mkfifo(ready.c_str(), 0600), 0);
    struct Case {
        const char* body;
        EncoderEnd end;
    } cases[] = {
        {"exec sleep 30", EncoderEnd::Terminated},
        {"trap '' TERM\necho > '%s'\nexec sleep 30", EncoderEnd::Killed},
    };
    for (const Case& c : cases) {
        std::string body = c.body;
        const auto mark = body.find("%s");
        const bool handshake = mark != std::string::npos;
        if (handshake) body.replace(mark, 2, ready);
        test::WriteScript(dir.Path("lame"), body);
        SetTextField(s.encoderPath, dir.Path("lame"));

        EncoderProcess encoder(dir.Folder());
        ASSERT_TRUE(encoder.Start(dir.Path("never.mp3"), " -r", s, log));
        const pid_t pid = encoder.Pid();
        if (handshake) {
            // Blocks until the script has set its trap and opened the other end.
            char ch = 0;
            int fd = ::open(ready.c_str(), O_RDONLY);
            ASSERT_GE(fd, 0);
            EXPECT_EQ(::read(fd, &ch, 1), 1);
            ::close(fd);
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(encoder.Finish(300ms), c.end) << c.body;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, 300ms);
        EXPECT_LT(took, 3s);
        EXPECT_TRUE(Reaped(pid)) << "no zombie is left";
        EXPECT_EQ(encoder.Finish(300ms), EncoderEnd::None);
    }
}

TEST_F(EncoderProcessTest, StartFailuresAreLogged) {
    SetTextField(s.encoderPath, "/no/such/lame");
    EncoderProcess encoder(dir.Folder());
    encoder.SetSearchPath(dir.Path("empty"));
    EXPECT_FALSE(encoder.Start(dir.Path("out.mp3"), " -r", s, log));
    EXPECT_EQ(log.lines,
              (Words{"Path \"/no/such/lame\" not found. Local path will be used.", "ERROR:   Lame.exe not found!"}));
    EXPECT_EQ(TextField(s.encoderPath), "");
    EXPECT_EQ(encoder.Pid(), 0);
    EXPECT_EQ(encoder.WriteEnd(), -1);

    // Executable but not a program: the system's reason is logged.
    log.lines.clear();
    test::WriteFile(dir.Path("lame"), "not a program\n", 0755);
    EXPECT_FALSE(encoder.Start(dir.Path("out.mp3"), " -r", s, log));
    EXPECT_EQ(log.lines, (Words{"Path \"\" not found. Local path will be used.",
                                std::string("ERROR:   ") + std::strerror(ENOEXEC)}));
    EXPECT_EQ(encoder.Pid(), 0);
    EXPECT_EQ(Send(encoder, "x", 1), EBADF);
    EXPECT_EQ(encoder.Finish(), EncoderEnd::None);
    EXPECT_FALSE(encoder.IsRunning());
}

/// Names in the folders a console capture could be left in.
std::set<std::string> TemporaryNames() {
    std::set<std::string> names;
    std::vector<std::string> folders = {std::filesystem::temp_directory_path().string(), "/tmp"};
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) folders.push_back(runtime);
    for (const std::string& folder : folders) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.insert(e.path().string());
    }
    return names;
}

/// Collects what the console hands on, as a window would, and lets a test await a text.
class ConsoleWatcher {
public:
    explicit ConsoleWatcher(EncoderConsole& console) : console_(console) {
        console_.SetNotifier([this] {
            std::lock_guard<std::mutex> lock(mutex_);
            ++notifications_;
            changed_.notify_all();
        });
    }
    ~ConsoleWatcher() { console_.SetNotifier({}); }
    /// Takes text on every notification until `text` has arrived; false after the guard.
    bool Await(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            // Counted before taking: text that arrives after the take brings a later notification.
            const int seen = notifications_;
            lock.unlock();
            received += console_.TakePending();
            lock.lock();
            if (received.find(text) != std::string::npos) return true;
            if (!changed_.wait_for(lock, 30s, [&] { return notifications_ != seen; })) return false;
        }
    }
    int Notifications() {
        std::lock_guard<std::mutex> lock(mutex_);
        return notifications_;
    }
    std::string received;

private:
    EncoderConsole& console_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int notifications_ = 0;
};

TEST_F(EncoderProcessTest, ConsoleOutputArrivesLiveAndLeavesNothingBehind) {
    test::WriteScript(dir.Path("lame"), "echo out-line\necho err-line >&2\nprintf 'partial'\ncat > /dev/null");
    SetTextField(s.encoderPath, dir.Path("lame"));
    const std::set<std::string> before = TemporaryNames();

    s.showEncoderConsole = 1;
    EncoderProcess encoder(dir.Folder());
    ConsoleWatcher watcher(encoder.Console());
    ASSERT_TRUE(encoder.Start(dir.Path("out.mp3"), " -r", s, log));
    EXPECT_TRUE(encoder.Console().Forwarding());
    // While the encoder still runs (it waits for the end of its input).
    ASSERT_TRUE(watcher.Await("partial"));
    EXPECT_EQ(watcher.received, "out-line\nerr-line\npartial");
    EXPECT_TRUE(encoder.IsRunning());
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
    EXPECT_EQ(encoder.Console().Tail(), (Words{"out-line", "err-line", "partial"}));

    s.showEncoderConsole = 0;
    const int notified = watcher.Notifications();
    ASSERT_TRUE(encoder.Start(dir.Path("out.mp3"), " -r", s, log));
    EXPECT_FALSE(encoder.Console().Forwarding());
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
    EXPECT_EQ(encoder.Console().Tail(), (Words{"out-line", "err-line", "partial"})) << "kept for the failure log";
    EXPECT_EQ(encoder.Console().TakePending(), "");
    EXPECT_EQ(watcher.Notifications(), notified);

    std::set<std::string> added;
    for (const std::string& name : TemporaryNames())
        if (!before.count(name) && name.find("pelmora-lame") != std::string::npos) added.insert(name);
    EXPECT_TRUE(added.empty()) << *added.begin();
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(EncoderProcessTest, ConsoleNobodyReadsNeverHoldsTheEncoderUp) {
    // Far more output than any pipe holds, with the window's text never taken.
    test::WriteScript(dir.Path("lame"),
                      "i=0\nwhile [ $i -lt 20000 ]; do echo \"progress line $i of the encoder output\"; "
                      "echo \"error line $i\" >&2; i=$((i+1)); done\nprintf 'Frame\\r  1\\r  2'\nexec cat > /dev/null");
    SetTextField(s.encoderPath, dir.Path("lame"));
    s.showEncoderConsole = 1;
    EncoderProcess encoder(dir.Folder());
    ASSERT_TRUE(encoder.Start(dir.Path("out.mp3"), " -r", s, log));
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited) << "it never waited on its output";
    const Words tail = encoder.Console().Tail();
    ASSERT_EQ(tail.size(), EncoderConsole::kTailLines);
    EXPECT_EQ(tail[tail.size() - 2], "error line 19999");
    EXPECT_EQ(tail.back(), "  2") << "a line rewritten after a carriage return";
    const std::string pending = encoder.Console().TakePending();
    EXPECT_LE(pending.size(), EncoderConsole::kPendingLimit);
    const std::string end = "error line 19999\nFrame\r  1\r  2";
    ASSERT_GE(pending.size(), end.size());
    EXPECT_EQ(pending.substr(pending.size() - end.size()), end);
    EXPECT_TRUE(pending.rfind("progress line", 0) == 0 || pending.rfind("error line", 0) == 0) << "cut at a line start";
}

// An encoder that notes its nice value and policy as it starts, then takes its input.
void WriteNotingEncoder(const std::string& path) {
    test::WriteScript(path, "set -- $(cat /proc/$$/stat)\necho \"${19} ${41}\" > \"$0.seen\"\ncat > /dev/null");
}

std::string SeenAtStart(const std::string& encoderPath) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string text;
    while (std::chrono::steady_clock::now() < deadline) {
        text = test::ReadFile(encoderPath + ".seen");
        if (!text.empty() && text.back() == '\n') return text.substr(0, text.size() - 1);
        std::this_thread::yield();
    }
    return text;
}

pid_t ThreadNamed(const std::string& name) {
    for (pid_t tid : test::ThreadIds())
        if (test::ThreadSchedule(tid).name == name) return tid;
    return 0;
}

// Starts the encoder from a thread of its own at nice 19, as from an interface thread set to Idle.
bool StartFromIdleThread(EncoderProcess& encoder, const std::string& out, RecSettings& s, LogSink& log) {
    ThreadRoles::Instance().StartLauncher();  // before any thread is lowered
    bool started = false;
    std::thread starter([&] {
        EXPECT_EQ(::setpriority(PRIO_PROCESS, 0, 19), 0);
        started = encoder.Start(out, " -r", s, log);
    });
    starter.join();
    return started;
}

TEST_F(EncoderProcessTest, TheEncoderRunsAtItsOwnClassAndLevelFromItsStart) {
    WriteNotingEncoder(dir.Path("lame"));
    SetTextField(s.encoderPath, dir.Path("lame"));
    s.encoderPriorityClass = 0;  // Idle
    s.encoderThreadPriority = 3;  // Normal: nice 10
    EncoderProcess encoder(dir.Folder());
    ASSERT_TRUE(StartFromIdleThread(encoder, dir.Path("out.mp3"), s, log));
    EXPECT_EQ(SeenAtStart(dir.Path("lame")), "10 0");
    EXPECT_EQ(test::ThreadSchedule(ThreadNamed("pelmora-lameout")).nice, 10) << "the console reader serves the encoder";
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
}

TEST_F(EncoderProcessTest, ARefusedLevelGivesTheNearestAndAWarning) {
    if (test::RaisingPermitted()) GTEST_SKIP() << "this user may raise priorities";
    WriteNotingEncoder(dir.Path("lame"));
    SetTextField(s.encoderPath, dir.Path("lame"));
    s.encoderPriorityClass = 2;  // High: nice -10
    s.encoderThreadPriority = 3;
    ThreadRoles::Instance().SetLog(&log);
    EncoderProcess encoder(dir.Folder());
    const bool started = StartFromIdleThread(encoder, dir.Path("out.mp3"), s, log);
    ThreadRoles::Instance().SetLog(nullptr);
    ASSERT_TRUE(started);
    EXPECT_EQ(SeenAtStart(dir.Path("lame")), "0 0") << "the strongest value permitted";
    std::size_t warnings = 0;
    for (const std::string& line : log.lines) {
        if (line.rfind("WARNING: ", 0) != 0) continue;
        ++warnings;
        EXPECT_NE(line.find("Lame process nice -10"), std::string::npos) << line;
        EXPECT_NE(line.find(std::strerror(EACCES)), std::string::npos) << line;
    }
    EXPECT_EQ(warnings, 1u);
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
}

TEST_F(EncoderProcessTest, ARealTimeEncoderStartsRealTimeWithoutPassingItOnOrBeingBounded) {
    if (!test::RealTimeAllowed()) GTEST_SKIP() << "this user may not use real-time scheduling";
    WriteNotingEncoder(dir.Path("lame"));
    SetTextField(s.encoderPath, dir.Path("lame"));
    s.encoderPriorityClass = 3;  // Realtime
    s.encoderThreadPriority = 6;  // Time Critical: SCHED_FIFO 15
    EncoderProcess encoder(dir.Folder());
    ASSERT_TRUE(StartFromIdleThread(encoder, dir.Path("out.mp3"), s, log));
    EXPECT_EQ(SeenAtStart(dir.Path("lame")), "-20 1") << "SCHED_FIFO from its start";
    const int policy = ::sched_getscheduler(encoder.Pid());
    EXPECT_EQ(policy & ~SCHED_RESET_ON_FORK, SCHED_FIFO);
    EXPECT_TRUE(policy & SCHED_RESET_ON_FORK);
    rlimit rl{};
    ASSERT_EQ(::prlimit(encoder.Pid(), RLIMIT_RTTIME, nullptr, &rl), 0);
    EXPECT_EQ(rl.rlim_cur, rl.rlim_max) << "SIGXCPU would end it";
    const pid_t console = ThreadNamed("pelmora-lameout");
    EXPECT_TRUE(::sched_getscheduler(console) & SCHED_RESET_ON_FORK);
    EXPECT_EQ(encoder.Finish(), EncoderEnd::Exited);
}

unsigned long long CpuTicks(pid_t pid) {
    const std::string stat = test::ReadText("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string f;
    unsigned long long ticks = 0;
    for (int field = 3; field <= 15 && fields >> f; ++field)
        if (field >= 14) ticks += std::strtoull(f.c_str(), nullptr, 10);
    return ticks;
}

TEST_F(EncoderProcessTest, ARealTimeEncoderThatNeverBlocksFallsBackWithAWarning) {
    if (!test::RealTimeAllowed()) GTEST_SKIP() << "this user may not use real-time scheduling";
    test::WriteScript(dir.Path("lame"), "while :; do :; done");
    SetTextField(s.encoderPath, dir.Path("lame"));
    s.encoderPriorityClass = 3;   // Realtime
    s.encoderThreadPriority = 6;  // Time Critical: SCHED_FIFO 15, above other tests' real-time threads
    ThreadRoles& roles = ThreadRoles::Instance();
    roles.SetLog(&log);
    EncoderProcess encoder(dir.Folder());
    ASSERT_TRUE(encoder.Start(dir.Path("out.mp3"), " -r", s, log));
    const pid_t pid = encoder.Pid();
    roles.ReportRealTimeFallbacks(pid);  // the first look
    const unsigned long long bound = static_cast<unsigned long long>(::sysconf(_SC_CLK_TCK)) * 3 / 10;  // 300 ms
    const unsigned long long from = CpuTicks(pid);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (CpuTicks(pid) < from + bound && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_EQ(::sched_getscheduler(pid) & ~SCHED_RESET_ON_FORK, SCHED_FIFO);
    roles.ReportRealTimeFallbacks(pid);
    roles.SetLog(nullptr);
    EXPECT_EQ(::sched_getscheduler(pid) & ~SCHED_RESET_ON_FORK, SCHED_OTHER);
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.back(), "WARNING: Lame process ran 200 ms at real-time priority without blocking, and runs at "
                                "normal priority now");
    encoder.Finish(std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace pelmora
