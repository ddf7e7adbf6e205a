// SPDX-License-Identifier: GPL-3.0-or-later
// The sound-server backend against a private PulseAudio: a null sink "tone" whose monitor is
// the default source, sine players and sources loaded per test.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "pulse/PulseWaveIn.h"
#include "pulse/StreamRig.h"
#include "support/UnderCi.h"
#include "support/PrivatePulse.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;
using test::Find;
using test::Frequency;
using test::kRate;
using test::Recording;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new test::PulseEnvironment);

// A module loaded for one test and unloaded after it.
class Module {
public:
    explicit Module(const std::string& args) {
        const std::string out = test::CommandOutput("pactl load-module " + args);
        id_ = std::atoi(out.c_str());
    }
    ~Module() { Unload(); }
    void Unload() {
        if (id_ > 0) test::CommandSucceeds("pactl unload-module " + std::to_string(id_));
        id_ = 0;
    }
    bool Loaded() const { return id_ > 0; }

private:
    int id_ = 0;
};

// Everything written to the standard error while it lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        char pattern[] = "/tmp/pelmora-stderr-XXXXXX";
        file_ = ::mkstemp(pattern);
        path_ = pattern;
        ::dup2(file_, 2);
    }
    ~StderrCapture() { Restore(); }
    std::string Text() {
        Restore();
        std::ifstream in(path_);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        ::close(file_);
        saved_ = -1;
    }
    int saved_ = -1;
    int file_ = -1;
    std::string path_;
};

bool WaitForSource(PulseConnection& c, const std::string& name, bool present) {
    return test::WaitUntil([&] {
        const auto list = c.Sources();
        const bool there = std::any_of(list.begin(), list.end(), [&](const ServerSource& s) { return s.name == name; });
        return c.Ready() && there == present;
    });
}

class PulseWaveInTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::g_pulseRunning) {
            if (test::UnderCi()) FAIL() << "no PulseAudio server could be started";
            GTEST_SKIP() << "no PulseAudio server could be started";
        }
        connection = PulseConnection::Start();
        ASSERT_TRUE(connection);
        ASSERT_TRUE(connection->Ready());
    }
    std::shared_ptr<PulseConnection> connection;
};

TEST_F(PulseWaveInTest, ListsTheDefaultFirstThenEverySourceByDescriptionAndRecordsEachOneItsOwnSignal) {
    StderrCapture stderrText;
    Module tone("module-sine sink=tone frequency=1000");
    Module second("module-sine-source source_name=second rate=44100 frequency=440 "
                  "source_properties=device.description=Second");
    ASSERT_TRUE(tone.Loaded() && second.Loaded());
    ASSERT_TRUE(WaitForSource(*connection, "second", true));

    PulseWaveIn backend(connection);
    const auto list = backend.Devices();
    ASSERT_GE(list.size(), 3u);
    EXPECT_EQ(list[0].description, "Default source");
    const int monitor = Find(list, "tone.monitor");
    const int other = Find(list, "second");
    ASSERT_GT(monitor, 0);
    ASSERT_GT(other, 0);
    EXPECT_EQ(list[static_cast<std::size_t>(monitor)].description, "Monitor of Null Output");
    EXPECT_EQ(list[static_cast<std::size_t>(other)].description, "Second");
    // No ALSA route into the server, and nothing twice.
    for (const auto& d : list) {
        EXPECT_NE(d.name, "default");
        EXPECT_NE(d.name, "pulse");
        EXPECT_EQ(std::count_if(list.begin(), list.end(), [&](const WaveInDeviceInfo& e) { return e.name == d.name; }), 1)
            << d.name;
    }
    // Every candidate format without a stream: the server converts.
    const std::vector<WaveFormat> candidates = {MakePcmFormat(8000, 8, 1), MakePcmFormat(48000, 16, 2)};
    WaveResult openError = 1;
    EXPECT_EQ(backend.QueryFormats(other, candidates, &openError), std::vector<WaveResult>(2, 0));
    EXPECT_EQ(openError, 0);

    for (const auto& [id, hz] : std::vector<std::pair<int, double>>{{0, 1000.0}, {monitor, 1000.0}, {other, 440.0}}) {
        Recording r(backend, id);
        ASSERT_EQ(r.opened, 0);
        ASSERT_EQ(r.started, 0);
        std::vector<int16_t> left;
        ASSERT_EQ(r.Collect(kRate, &left), 0);
        EXPECT_NEAR(Frequency(left), hz, hz * 0.02) << list[static_cast<std::size_t>(id)].description;
        uint64_t position = 0, discarded = 0;
        r.device->Counters(&position, &discarded);
        EXPECT_GE(position, left.size() * 4);
    }
    EXPECT_EQ(stderrText.Text(), "");
}

TEST_F(PulseWaveInTest, DefaultSourceFollowsTheDesktopsChoiceWhileItRecords) {
    Module tone("module-sine sink=tone frequency=1000");
    Module second("module-sine-source source_name=second rate=44100 frequency=440");
    ASSERT_TRUE(WaitForSource(*connection, "second", true));
    PulseWaveIn backend(connection);
    backend.Devices();
    Recording r(backend, 0);
    ASSERT_EQ(r.started, 0);
    std::vector<int16_t> left;
    ASSERT_EQ(r.Collect(kRate / 2, &left), 0);
    EXPECT_NEAR(Frequency(left), 1000.0, 20.0);
    ASSERT_TRUE(test::CommandSucceeds("pactl set-default-source second"));
    // The stream moves: the 440 Hz tone arrives, with no failure on the way.
    bool moved = false;
    for (int i = 0; i < 20 && !moved; ++i) {
        left.clear();
        ASSERT_EQ(r.Collect(kRate / 4, &left), 0);
        moved = std::abs(Frequency(left) - 440.0) < 10.0;
    }
    EXPECT_TRUE(moved);
    ASSERT_TRUE(test::CommandSucceeds("pactl set-default-source tone.monitor"));
}

TEST_F(PulseWaveInTest, BuffersComeBackFullAndInOrderAtTheirSize) {
    Module tone("module-sine sink=tone frequency=1000");
    PulseWaveIn backend(connection);
    const auto list = backend.Devices();
    // Odd sizes: 0.05 s buffers of 2205 frames, four of them.
    Recording r(backend, Find(list, "tone.monitor"), 4, 2205 * 4);
    ASSERT_EQ(r.started, 0);
    std::vector<WaveHeader*> order;
    for (int i = 0; i < 12; ++i) {
        WaveHeader* h = r.target.Take();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->bytesRecorded, 2205u * 4);
        EXPECT_TRUE(h->flags & kWaveHeaderDone);
        order.push_back(h);
        ASSERT_EQ(r.device->Add(h), 0);
    }
    for (int i = 0; i < 12; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], &r.storage[static_cast<std::size_t>(i % 4)].header);
    // Reset returns the rest at once.
    EXPECT_EQ(r.device->Reset(), 0);
    std::size_t back = 0;
    while (r.target.Take(100ms) != nullptr) ++back;
    EXPECT_EQ(back, 4u);
}

TEST_F(PulseWaveInTest, SoundThatFindsNoBufferCountsAsDiscardedAndEveryByteIsCountedOnce) {
    Module tone("module-sine sink=tone frequency=1000");
    PulseWaveIn backend(connection);
    const auto list = backend.Devices();
    Recording r(backend, Find(list, "tone.monitor"), 4, kRate * 4 / 10);
    ASSERT_EQ(r.started, 0);
    uint64_t received = 0;
    std::vector<WaveHeader*> held;
    // All four back and none queued again: what comes now reaches no buffer.
    for (int i = 0; i < 4; ++i) {
        WaveHeader* h = r.target.Take();
        ASSERT_NE(h, nullptr);
        received += h->bytesRecorded;
        held.push_back(h);
    }
    uint64_t position = 0, discarded = 0;
    ASSERT_TRUE(test::WaitUntil([&] {
        r.device->Counters(&position, &discarded);
        return discarded >= kRate * 4 / 2;
    }));
    for (WaveHeader* h : held) ASSERT_EQ(r.device->Add(h), 0);
    for (int i = 0; i < 6; ++i) {
        WaveHeader* h = r.target.Take();
        ASSERT_NE(h, nullptr);
        received += h->bytesRecorded;
        ASSERT_EQ(r.device->Add(h), 0);
    }
    ASSERT_EQ(r.device->Reset(), 0);
    while (WaveHeader* h = r.target.Take(100ms)) received += h->bytesRecorded;
    r.device->Counters(&position, &discarded);
    EXPECT_EQ(position - discarded, received);
}

TEST_F(PulseWaveInTest, ASourceUnloadedWhileRecordingFailsTheDeviceAndOpensAgainByNameWhenItReturns) {
    StderrCapture stderrText;
    const std::string args = "module-sine-source source_name=second rate=44100 frequency=440";
    auto second = std::make_unique<Module>(args);
    ASSERT_TRUE(WaitForSource(*connection, "second", true));
    PulseWaveIn backend(connection);
    auto list = backend.Devices();
    const int id = Find(list, "second");
    ASSERT_GT(id, 0);
    {
        Recording r(backend, id);
        ASSERT_EQ(r.started, 0);
        ASSERT_EQ(r.Collect(kRate / 5), 0);
        second->Unload();
        // The buffer being filled comes back, and the next Add reports the failure.
        int result = 0;
        while (result == 0) {
            WaveHeader* h = r.target.Take();
            ASSERT_NE(h, nullptr);
            result = r.device->Add(h);
        }
        EXPECT_EQ(result, -ENODEV);
        EXPECT_EQ(backend.ErrorText(result), std::strerror(ENODEV));
    }
    ASSERT_TRUE(WaitForSource(*connection, "second", false));
    {
        // Still listed where it was until the list is asked again: opening it fails.
        Recording r(backend, id);
        EXPECT_EQ(r.opened, -ENODEV);
    }
    EXPECT_EQ(Find(backend.Devices(), "second"), -1);
    second = std::make_unique<Module>(args);
    ASSERT_TRUE(WaitForSource(*connection, "second", true));
    list = backend.Devices();
    Recording again(backend, Find(list, "second"));
    ASSERT_EQ(again.started, 0);
    std::vector<int16_t> left;
    ASSERT_EQ(again.Collect(kRate / 2, &left), 0);
    EXPECT_NEAR(Frequency(left), 440.0, 10.0);
    EXPECT_EQ(stderrText.Text(), "");
}

long ThreadCpuTicks(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < text.size()) {
        const std::size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    // utime and stime are fields 14 and 15 of the line; 12 and 13 after the name.
    return fields.size() > 12 ? std::atol(fields[11].c_str()) + std::atol(fields[12].c_str()) : -1;
}

TEST_F(PulseWaveInTest, TheServerKilledDuringARecordingFailsTheDeviceWithoutSpinningAndIsBackWhenItRestarts) {
    StderrCapture stderrText;
    PulseWaveIn backend(connection);
    auto list = backend.Devices();
    {
        Recording r(backend, Find(list, "tone.monitor"));
        ASSERT_EQ(r.started, 0);
        ASSERT_EQ(r.Collect(kRate / 5), 0);
        test::g_pulse->Kill();
        int result = 0;
        while (result == 0) {
            WaveHeader* h = r.target.Take();
            ASSERT_NE(h, nullptr);
            result = r.device->Add(h);
        }
        EXPECT_EQ(result, -ECONNRESET);
        ASSERT_TRUE(test::WaitUntil([&] { return !connection->Ready(); }));
        EXPECT_TRUE(backend.Devices().empty() || backend.Devices()[0].description != "Default source");
        Recording down(backend, 0);
        EXPECT_NE(down.opened == 0 ? down.started : down.opened, 0);
    }
    // Three seconds without a server: a try a second, not a loop.
    const pid_t tid = connection->ThreadId();
    ASSERT_GT(tid, 0);
    const long before = ThreadCpuTicks(tid);
    const auto from = std::chrono::steady_clock::now();
    test::WaitUntil([&] { return std::chrono::steady_clock::now() - from > 3s; });
    EXPECT_LE(ThreadCpuTicks(tid) - before, 5) << "clock ticks of the client thread in 3 s";

    ASSERT_TRUE(test::g_pulse->Restart());
    ASSERT_TRUE(test::WaitUntil([&] { return connection->Ready(); }));
    list = backend.Devices();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].description, "Default source");
    Module tone("module-sine sink=tone frequency=1000");
    Recording again(backend, Find(list, "tone.monitor"));
    ASSERT_EQ(again.started, 0);
    std::vector<int16_t> left;
    ASSERT_EQ(again.Collect(kRate / 2, &left), 0);
    EXPECT_NEAR(Frequency(left), 1000.0, 20.0);
    EXPECT_EQ(stderrText.Text(), "");
}

}  // namespace
}  // namespace pelmora
