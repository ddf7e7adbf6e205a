// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA backend against a test-made configuration: a capture PCM of the file plugin over a
// null slave, which runs faster than real time and reads its sound from a file we write.
// No sound card is needed.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <alsa/asoundlib.h>

#include "capture/AlsaMessages.h"
#include "capture/AlsaWaveIn.h"
#include "capture/StderrCapture.h"

namespace pelmora {
namespace {

// Frames of 16-bit stereo, each holding its own index + 1 as a little-endian 32-bit value,
// so that every buffer shows where in the stream it came from. Zero never occurs.
constexpr uint32_t kFileFrames = 16u << 20;  // 64 MB: the device outruns us, give it room
constexpr uint32_t kFrameBytes = 4;

std::string g_dir;

class AlsaConfigEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/pelmora-alsa-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        g_dir = pattern;
        {
            std::ofstream raw(g_dir + "/in.raw", std::ios::binary);
            std::vector<uint32_t> chunk(1u << 16);
            for (uint32_t base = 0; base < kFileFrames; base += static_cast<uint32_t>(chunk.size())) {
                for (uint32_t i = 0; i < chunk.size(); ++i) chunk[i] = base + i + 1;
                raw.write(reinterpret_cast<const char*>(chunk.data()),
                          static_cast<std::streamsize>(chunk.size() * sizeof(uint32_t)));
            }
        }
        std::ofstream rc(g_dir + "/.asoundrc");
        rc << "pcm.pelmoratest {\n"
              "  type file\n"
              "  slave.pcm { type null }\n"
              "  infile \""
           << g_dir
           << "/in.raw\"\n"
              "  file \"/dev/null\"\n"
              "  format \"raw\"\n"
              "  hint { show on description \"Pelmora test input\nFile capture\" }\n"
              "}\n"
              "pcm.pelmorabroken {\n"
              "  type file\n"
              "  slave.pcm { type null }\n"
              "  infile \""
           << g_dir
           << "/missing.raw\"\n"
              "  file \"/dev/null\"\n"
              "}\n"
              "pcm.pelmoratwin1 { type null hint { show on description \"Twin\" } }\n"
              "pcm.pelmoratwin2 { type null hint { show on description \"Twin\nOther\" } }\n"
              "pcm.!default {\n"
              "  type plug\n"
              "  slave.pcm \"pelmoratest\"\n"
              "}\n";
        rc.close();
        // alsa-lib reads ~/.asoundrc through its default configuration.
        setenv("HOME", g_dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (g_dir + "/.config").c_str(), 1);
    }
    // Sound-server clients that alsa-lib loads may leave files under the home folder too.
    void TearDown() override { std::filesystem::remove_all(g_dir); }
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new AlsaConfigEnvironment);

// The receiving thread's side: collects posted buffers in arrival order.
class CollectingTarget : public WaveMessageTarget {
public:
    void PostWaveData(WaveHeader* header) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(header);
        arrived_.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return posted_.size() >= count; });
    }
    std::vector<WaveHeader*> Posted() {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<WaveHeader*> posted_;
};

struct Buffer {
    explicit Buffer(uint32_t bytes) : storage(bytes, 0) {
        header.data = storage.data();
        header.bufferLength = bytes;
    }
    std::vector<uint8_t> storage;
    WaveHeader header;
};

uint32_t FrameValue(const WaveHeader& h, uint32_t frame) {
    uint32_t v = 0;
    std::memcpy(&v, h.data + frame * kFrameBytes, sizeof v);
    return v;
}

int DeviceId(const std::vector<WaveInDeviceInfo>& devices, const std::string& name) {
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == name) return static_cast<int>(i);
    return -1;
}

std::vector<WaveFormat> AllCandidates() {
    std::vector<WaveFormat> list;
    for (uint32_t rate : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
        for (uint16_t bits : {8, 16})
            for (uint16_t channels : {1, 2}) list.push_back(MakePcmFormat(rate, bits, channels));
    return list;
}

TEST(AlsaWaveIn, ListsCaptureDevicesWithDefaultFirst) {
    AlsaWaveIn alsa;
    const std::vector<WaveInDeviceInfo> devices = alsa.Devices();
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices[0].name, "default");
    const int id = DeviceId(devices, "pelmoratest");
    ASSERT_GE(id, 0);
    EXPECT_EQ(devices[static_cast<std::size_t>(id)].description, "Pelmora test input");  // first line only
    const int broken = DeviceId(devices, "pelmorabroken");
    ASSERT_GE(broken, 0);
    EXPECT_EQ(devices[static_cast<std::size_t>(broken)].description, "pelmorabroken");  // no description
    EXPECT_EQ(DeviceId(devices, "null"), -1);
    // Entries whose descriptions would read alike carry their names.
    EXPECT_EQ(devices[static_cast<std::size_t>(DeviceId(devices, "pelmoratwin1"))].description, "Twin (pelmoratwin1)");
    EXPECT_EQ(devices[static_cast<std::size_t>(DeviceId(devices, "pelmoratwin2"))].description, "Twin (pelmoratwin2)");
}

// Probing them would only wait for an absent server; the list leaves out the JACK plugin
// without a server socket and OSS without /dev/dsp.
// Both come with libasound2-plugins, which names them as capture devices.
TEST(AlsaWaveIn, LeavesOutJackAndOssWhoseServerOrDeviceFileIsAbsent) {
    const std::string runtime = g_dir + "/run";
    std::filesystem::create_directories(runtime);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    AlsaWaveIn alsa;
    const auto devices = alsa.Devices();
    if (::access("/dev/dsp", F_OK) != 0) {
        EXPECT_EQ(DeviceId(devices, "oss"), -1);
    }
    const std::string uid = std::to_string(::getuid());
    bool jackServer = false;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("jack_", 0) == 0 && file.size() > uid.size() + 3 &&
            file.compare(file.size() - uid.size() - 3, std::string::npos, "_" + uid + "_0") == 0)
            jackServer = true;
    }
    jackServer = jackServer || std::filesystem::exists("/tmp/jack-" + uid) ||
                 std::filesystem::exists("/dev/shm/jack-" + uid) ||
                 std::filesystem::exists("/run/user/" + uid + "/pipewire-0");
    if (!jackServer) {
        EXPECT_EQ(DeviceId(devices, "jack"), -1);
    }
    // The test's own devices stay.
    EXPECT_GE(DeviceId(devices, "pelmoratest"), 0);
}

// True when a JACK server of this user's (jack1 or jack2) may be running, or a real PipeWire.
bool JackServerMayRun() {
    const std::string uid = std::to_string(::getuid());
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("jack_", 0) == 0 && file.size() > uid.size() + 3 &&
            file.compare(file.size() - uid.size() - 3, std::string::npos, "_" + uid + "_0") == 0)
            return true;
    }
    return std::filesystem::exists("/tmp/jack-" + uid) || std::filesystem::exists("/dev/shm/jack-" + uid) ||
           std::filesystem::exists("/run/user/" + uid + "/pipewire-0");
}

// A PipeWire desktop without PipeWire's JACK library: the socket is there, but libjack (of
// jack2, as libasound2-plugins' jack plugin brings it) finds no server. Listing and probing
// every device then prints nothing, logs nothing, and leaves out the JACK device.
TEST(AlsaWaveIn, ProbingOnAPipeWireDesktopPrintsAndLogsNothing) {
    const std::string runtime = g_dir + "/pipewire-run";
    std::filesystem::create_directories(runtime);
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = runtime + "/pipewire-0";
        ASSERT_LT(path.size(), sizeof address.sun_path);
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);  // the socket file stays; nobody listens on it
    }
    const char* before = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = before ? before : "";
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    TakeAlsaMessages();

    testing::internal::CaptureStderr();
    AlsaWaveIn alsa;
    const auto devices = alsa.Devices();
    for (std::size_t i = 0; i < devices.size(); ++i) alsa.QueryFormats(static_cast<int>(i), AllCandidates());
    const std::string printed = testing::internal::GetCapturedStderr();
    if (before) setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");

    EXPECT_EQ(printed, "");
    const std::vector<std::string> logged = TakeAlsaMessages();
    EXPECT_TRUE(logged.empty()) << logged.size() << " messages, the first: " << logged.front();
    if (!JackServerMayRun()) {
        EXPECT_EQ(DeviceId(devices, "jack"), -1);
    }
    EXPECT_GE(DeviceId(devices, "pelmoratest"), 0);
}

TEST(AlsaWaveIn, QueriesFormatsWithoutCapturing) {
    AlsaWaveIn alsa;
    const auto devices = alsa.Devices();
    const std::vector<WaveFormat> candidates = AllCandidates();
    const std::vector<WaveResult> accepted = alsa.QueryFormats(DeviceId(devices, "pelmoratest"), candidates);
    EXPECT_EQ(accepted, std::vector<WaveResult>(candidates.size(), 0));

    // A device that will not open gives every candidate that error, with its text.
    const std::vector<WaveResult> refused = alsa.QueryFormats(DeviceId(devices, "pelmorabroken"), candidates);
    ASSERT_EQ(refused.size(), candidates.size());
    EXPECT_LT(refused[0], 0);
    EXPECT_EQ(refused, std::vector<WaveResult>(candidates.size(), refused[0]));
    EXPECT_FALSE(alsa.ErrorText(refused[0]).empty());
    EXPECT_NE(alsa.LastErrorDetail().find("pelmorabroken"), std::string::npos);
    EXPECT_EQ(alsa.ErrorText(0), "");

    // Widths other than 8 and 16 bit are not offered.
    EXPECT_EQ(alsa.QueryFormats(DeviceId(devices, "pelmoratest"), {MakePcmFormat(44100, 24, 2)}),
              std::vector<WaveResult>{-EINVAL});
    EXPECT_EQ(alsa.QueryFormats(static_cast<int>(devices.size()), candidates).front(), -ENODEV);
}

// alsa-lib's own complaints are kept for the event log, each text once, and never printed.
TEST(AlsaWaveIn, LibraryMessagesAreKeptOnceAndNotPrinted) {
    AlsaWaveIn alsa;
    alsa.Devices();  // the backend routes the library's messages from its first listing on
    TakeAlsaMessages();
    const std::string name = "pelmora_unknown_" + std::to_string(::getpid());
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i) {
        snd_pcm_t* pcm = nullptr;
        EXPECT_LT(snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK), 0);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::vector<std::string> messages = TakeAlsaMessages();
    const auto naming = std::count_if(messages.begin(), messages.end(), [&](const std::string& m) {
        return m.rfind("ALSA: ", 0) == 0 && m.find(name) != std::string::npos;
    });
    EXPECT_EQ(naming, 1) << (messages.empty() ? std::string("no messages") : messages.front());
    EXPECT_TRUE(TakeAlsaMessages().empty());
}

// What goes wrong while the chosen device opens is worth the log, once, even when probing
// met the same complaint before and kept quiet about it.
TEST(AlsaWaveIn, OpeningTheChosenDeviceReportsTheLibrarysMessagesOnce) {
    AlsaWaveIn alsa;
    const auto devices = alsa.Devices();
    const int broken = DeviceId(devices, "pelmorabroken");
    ASSERT_GE(broken, 0);
    TakeAlsaMessages();
    alsa.QueryFormats(broken, AllCandidates());
    EXPECT_TRUE(TakeAlsaMessages().empty());

    CollectingTarget target;
    std::unique_ptr<WaveInDevice> device;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i)
        EXPECT_LT(alsa.Open(broken, MakePcmFormat(44100, 16, 2), &target, &device), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::vector<std::string> messages = TakeAlsaMessages();
    const auto naming = std::count_if(messages.begin(), messages.end(), [](const std::string& m) {
        return m.rfind("ALSA: ", 0) == 0 && m.find("missing.raw") != std::string::npos;
    });
    EXPECT_EQ(naming, 1) << (messages.empty() ? std::string("no messages") : messages.front());
}

// Sound-server libraries print on standard error themselves; while the device opens, that
// goes into the log instead, and the terminal is back afterwards.
TEST(StderrCapture, TakesWhatIsPrintedAndGivesTheTerminalBack) {
    testing::internal::CaptureStderr();
    std::vector<std::string> lines;
    {
        StderrCapture printed;
        std::fprintf(stderr, "Cannot connect to server socket\n\n  \nlast line without end");
        ASSERT_EQ(::write(STDERR_FILENO, "\nwritten directly\n", 18), 18);
        lines = printed.Finish();
        EXPECT_TRUE(printed.Finish().empty());
    }
    std::fprintf(stderr, "after");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after");
    EXPECT_EQ(lines, (std::vector<std::string>{"Cannot connect to server socket", "last line without end",
                                               "written directly"}));
}

TEST(AlsaWaveIn, OpenFailuresAreResultCodes) {
    AlsaWaveIn alsa;
    const auto devices = alsa.Devices();
    CollectingTarget target;
    std::unique_ptr<WaveInDevice> device;
    EXPECT_LT(alsa.Open(DeviceId(devices, "pelmorabroken"), MakePcmFormat(44100, 16, 2), &target, &device), 0);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(alsa.Open(DeviceId(devices, "pelmoratest"), MakePcmFormat(44100, 24, 2), &target, &device), -EINVAL);
    EXPECT_EQ(alsa.Open(-1, MakePcmFormat(44100, 16, 2), &target, &device), -ENODEV);
    EXPECT_EQ(device, nullptr);
}

class AlsaCaptureTest : public ::testing::Test {
protected:
    static constexpr uint32_t kBufferFrames = 4410;  // 0.1 s at 44.1 kHz
    static constexpr uint32_t kBufferBytes = kBufferFrames * kFrameBytes;

    void SetUp() override {
        const auto devices = alsa.Devices();
        ASSERT_EQ(alsa.Open(DeviceId(devices, "pelmoratest"), MakePcmFormat(44100, 16, 2), &target, &device), 0)
            << alsa.LastErrorDetail();
        for (int i = 0; i < 8; ++i) buffers.emplace_back(std::make_unique<Buffer>(kBufferBytes));
    }
    void Queue(Buffer& b) {
        std::fill(b.storage.begin(), b.storage.end(), 0);
        ASSERT_EQ(device->Prepare(&b.header), 0);
        ASSERT_EQ(device->Add(&b.header), 0);
    }
    uint64_t Position() {
        uint64_t p = 0;
        EXPECT_EQ(device->Position(&p), 0);
        return p;
    }
    // No event tells when the device has delivered a given amount; poll the counter, bounded.
    bool WaitForPosition(uint64_t bytes) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Position() < bytes)
            if (std::chrono::steady_clock::now() > deadline) return false;
            else std::this_thread::yield();
        return true;
    }

    AlsaWaveIn alsa;
    CollectingTarget target;
    std::unique_ptr<WaveInDevice> device;
    std::vector<std::unique_ptr<Buffer>> buffers;
};

TEST_F(AlsaCaptureTest, FillsQueuedBuffersInOrderWithTheDevicesBytes) {
    for (auto& b : buffers) Queue(*b);
    ASSERT_EQ(device->Start(), 0);
    ASSERT_TRUE(target.WaitFor(buffers.size()));
    const std::vector<WaveHeader*> posted = target.Posted();
    ASSERT_EQ(posted.size(), buffers.size());  // nothing beyond what was queued
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        ASSERT_EQ(posted[i], &buffers[i]->header) << "posted out of queueing order at " << i;
        const WaveHeader& h = *posted[i];
        EXPECT_EQ(h.bytesRecorded, kBufferBytes);
        EXPECT_TRUE(h.flags & kWaveHeaderDone);
        EXPECT_FALSE(h.flags & kWaveHeaderInQueue);
        // The file's frames, contiguous across buffers: nothing skipped while buffers were queued.
        for (uint32_t f = 0; f < kBufferFrames; ++f)
            ASSERT_EQ(FrameValue(h, f), i * kBufferFrames + f + 1) << "buffer " << i << " frame " << f;
    }
    EXPECT_GE(Position(), uint64_t{buffers.size()} * kBufferBytes);
    EXPECT_EQ(device->Close(), 0);
}

TEST_F(AlsaCaptureTest, PositionCountsWhatArrivesWhileNothingIsQueued) {
    Queue(*buffers[0]);
    ASSERT_EQ(device->Start(), 0);
    ASSERT_TRUE(target.WaitFor(1));

    // With the queue empty the device keeps delivering; the position runs ahead of the buffers.
    ASSERT_TRUE(WaitForPosition(20 * kBufferBytes));
    const uint64_t beforeAdd = Position();
    Queue(*buffers[1]);
    ASSERT_TRUE(target.WaitFor(2));
    const uint64_t afterFill = Position();
    const WaveHeader& h = buffers[1]->header;
    ASSERT_EQ(h.bytesRecorded, kBufferBytes);
    const uint32_t first = FrameValue(h, 0);
    if (first != 0) {
        // The buffer's first frame says how many bytes came before it: all of them were
        // counted, and no more than that.
        const uint64_t deliveredBefore = uint64_t{first - 1} * kFrameBytes;
        EXPECT_LE(beforeAdd, deliveredBefore);
        EXPECT_GE(afterFill, deliveredBefore + kBufferBytes);
        for (uint32_t f = 0; f < kBufferFrames && FrameValue(h, f) != 0; ++f) ASSERT_EQ(FrameValue(h, f), first + f);
    } else {
        // The device ran past the end of its file before the buffer was queued.
        EXPECT_GE(afterFill, uint64_t{kFileFrames} * kFrameBytes + kBufferBytes);
    }
    EXPECT_EQ(device->Close(), 0);
}

TEST_F(AlsaCaptureTest, ResetReturnsEveryQueuedBufferInOrderAndStops) {
    ASSERT_EQ(device->Start(), 0);
    for (auto& b : buffers) Queue(*b);
    ASSERT_EQ(device->Reset(), 0);
    // Filled or returned by the reset: every buffer came back, in queueing order, and the
    // device is quiet afterwards.
    const std::vector<WaveHeader*> posted = target.Posted();
    ASSERT_EQ(posted.size(), buffers.size());
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        EXPECT_EQ(posted[i], &buffers[i]->header);
        EXPECT_FALSE(posted[i]->flags & kWaveHeaderInQueue);
        EXPECT_EQ(posted[i]->bytesRecorded % kFrameBytes, 0u);
    }
    const uint64_t stopped = Position();
    EXPECT_EQ(stopped % kFrameBytes, 0u);
    EXPECT_EQ(Position(), stopped);

    // A reset device starts again from position 0 and fills new buffers.
    EXPECT_EQ(device->Unprepare(&buffers[0]->header), 0);
    Queue(*buffers[0]);
    ASSERT_EQ(device->Start(), 0);
    ASSERT_TRUE(target.WaitFor(buffers.size() + 1));
    EXPECT_EQ(buffers[0]->header.bytesRecorded, kBufferBytes);
    EXPECT_EQ(device->Close(), 0);
}

TEST_F(AlsaCaptureTest, ResetAndCloseBeforeStartReturnBuffersUnfilled) {
    for (int i = 0; i < 3; ++i) Queue(*buffers[static_cast<std::size_t>(i)]);
    // A queued buffer is the device's: it cannot be unprepared or queued twice.
    EXPECT_EQ(device->Unprepare(&buffers[0]->header), -EBUSY);
    EXPECT_EQ(device->Add(&buffers[0]->header), -EBUSY);
    EXPECT_EQ(device->Reset(), 0);
    const std::vector<WaveHeader*> posted = target.Posted();
    ASSERT_EQ(posted.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(posted[i], &buffers[i]->header);
        EXPECT_EQ(posted[i]->bytesRecorded, 0u);
    }
    Queue(*buffers[3]);
    EXPECT_EQ(device->Close(), 0);  // returns what is still queued
    ASSERT_EQ(target.Posted().size(), 4u);
    EXPECT_EQ(target.Posted()[3], &buffers[3]->header);
    EXPECT_EQ(device->Add(&buffers[4]->header), -EINVAL);  // never prepared
    ASSERT_EQ(device->Prepare(&buffers[4]->header), 0);
    EXPECT_EQ(device->Add(&buffers[4]->header), -EBADFD);  // closed
    EXPECT_EQ(device->Close(), 0);
}

TEST(AlsaWaveIn, CapturesEightBitMono) {
    AlsaWaveIn alsa;
    const auto devices = alsa.Devices();
    CollectingTarget target;
    std::unique_ptr<WaveInDevice> device;
    ASSERT_EQ(alsa.Open(DeviceId(devices, "pelmoratest"), MakePcmFormat(8000, 8, 1), &target, &device), 0)
        << alsa.LastErrorDetail();
    Buffer b(801);  // not a multiple of anything in particular
    ASSERT_EQ(device->Prepare(&b.header), 0);
    ASSERT_EQ(device->Add(&b.header), 0);
    ASSERT_EQ(device->Start(), 0);
    ASSERT_TRUE(target.WaitFor(1));
    ASSERT_EQ(b.header.bytesRecorded, 801u);
    std::ifstream raw(g_dir + "/in.raw", std::ios::binary);
    std::vector<uint8_t> expected(801);
    raw.read(reinterpret_cast<char*>(expected.data()), 801);
    EXPECT_EQ(b.storage, expected);
    EXPECT_EQ(device->Close(), 0);
}

}  // namespace
}  // namespace pelmora
