// SPDX-License-Identifier: GPL-3.0-or-later
// The sound-server backend against a private PipeWire stack through its pulse service: a
// null sink "tone" into which pacat plays a 1 kHz tone, recorded from its monitor.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "pulse/PulseWaveIn.h"
#include "pulse/StreamRig.h"
#include "support/UnderCi.h"
#include "support/PrivatePipeWire.h"

namespace pelmora {
namespace {

using test::Find;
using test::Frequency;
using test::kRate;
using test::Recording;

class PipeWireTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::PrivatePipeWire::Installed()) return;
        stack_ = new test::PrivatePipeWire;
        running_ = stack_->Start();
    }
    static void TearDownTestSuite() {
        StopTone();
        if (stack_) stack_->Stop();
        delete stack_;
        stack_ = nullptr;
    }
    void SetUp() override {
        if (!test::PrivatePipeWire::Installed()) {
            if (test::UnderCi()) FAIL() << "PipeWire is not installed (scripts/install-deps.sh installs it)";
            GTEST_SKIP() << "PipeWire is not installed";
        }
        ASSERT_TRUE(running_) << "the PipeWire stack did not start";
    }

    // pacat plays a file of the tone into the sink, over and over, until StopTone.
    static void PlayTone() {
        const std::string file = std::string(std::getenv("HOME")) + "/tone.raw";
        {
            std::ofstream out(file, std::ios::binary);
            for (uint32_t i = 0; i < kRate * 5; ++i) {
                const int16_t v = static_cast<int16_t>(16000 * std::sin(2 * M_PI * 1000.0 * i / kRate));
                out.write(reinterpret_cast<const char*>(&v), 2);
                out.write(reinterpret_cast<const char*>(&v), 2);
            }
        }
        // In a process group of its own, so that the loop and its pacat end together.
        const std::string loop = "while pacat --playback --raw --format=s16le --rate=44100 --channels=2 -d tone " +
                                 file + "; do :; done";
        tone_ = ::fork();
        if (tone_ == 0) {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = ::open("/dev/null", O_RDWR);
            for (int fd = 0; fd < 3; ++fd) ::dup2(null, fd);
            ::execl("/bin/sh", "sh", "-c", loop.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (tone_ > 0) ::setpgid(tone_, tone_);
    }
    static void StopTone() {
        if (tone_ <= 0) return;
        ::kill(-tone_, SIGTERM);
        ::waitpid(tone_, nullptr, 0);
        tone_ = 0;
    }

    static test::PrivatePipeWire* stack_;
    static bool running_;
    static pid_t tone_;
};

test::PrivatePipeWire* PipeWireTest::stack_ = nullptr;
bool PipeWireTest::running_ = false;
pid_t PipeWireTest::tone_ = 0;

// The monitor of the "tone" sink in the list; -1 when it is not there.
int MonitorOf(const std::vector<WaveInDeviceInfo>& list) { return Find(list, "tone.monitor"); }

TEST_F(PipeWireTest, ListsTheMonitorByDescriptionRecordsTheToneAndComesBackAfterTheServiceRestarts) {
    auto connection = PulseConnection::Start();
    ASSERT_TRUE(connection && connection->Ready());
    PlayTone();
    PulseWaveIn backend(connection);
    ASSERT_TRUE(test::WaitUntil([&] { return MonitorOf(backend.Devices()) > 0; }));
    auto list = backend.Devices();
    EXPECT_EQ(list[0].description, "Default source");
    const int monitor = MonitorOf(list);
    EXPECT_EQ(list[static_cast<std::size_t>(monitor)].description.rfind("Monitor of tone", 0), 0u)
        << list[static_cast<std::size_t>(monitor)].description;
    {
        Recording r(backend, monitor);
        ASSERT_EQ(r.started, 0);
        std::vector<int16_t> left;
        ASSERT_EQ(r.Collect(kRate, &left), 0);
        EXPECT_NEAR(Frequency(left), 1000.0, 20.0);

        stack_->KillPulseService();
        int result = 0;
        while (result == 0) {
            WaveHeader* h = r.target.Take();
            ASSERT_NE(h, nullptr);
            result = r.device->Add(h);
        }
        EXPECT_NE(result, 0);
    }
    ASSERT_TRUE(test::WaitUntil([&] { return !connection->Ready(); }));
    ASSERT_TRUE(stack_->StartPulseService());
    // The sink was the service's module: it went with it.
    ASSERT_TRUE(test::CommandSucceeds("pactl load-module module-null-sink sink_name=tone"));
    StopTone();
    PlayTone();
    ASSERT_TRUE(test::WaitUntil([&] { return connection->Ready() && MonitorOf(backend.Devices()) > 0; }));
    list = backend.Devices();
    Recording again(backend, MonitorOf(list));
    ASSERT_EQ(again.started, 0);
    std::vector<int16_t> left;
    ASSERT_EQ(again.Collect(kRate, &left), 0);
    EXPECT_NEAR(Frequency(left), 1000.0, 20.0);
}

}  // namespace
}  // namespace pelmora
