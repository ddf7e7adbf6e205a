// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and closing the simulated device: sizes, log lines, failures, the close handshake.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "CaptureRig.h"

namespace pelmora::test {
namespace {

/// Index of `line` in the log, or -1.
int LineIndex(const RecordingLog& log, const std::string& line) {
    const auto lines = log.Lines();
    const auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

TEST(OpenCaptureDevice, SizesAllStorageQueuesEveryBufferAndReportsSuccess) {
    // The device returns nothing until the test lets it, so the values read right after
    // the open are the open's own, however slowly the test runs.
    SimulatedWaveInConfig config;
    config.pace = SimulatedPace::kRealTime;
    config.startStalled = true;
    CaptureRig rig(config);
    rig.settings.deviceQueueSeconds = 2;
    rig.StartThreads();

    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    EXPECT_TRUE(rig.state.pipelineReady.load());
    EXPECT_EQ(rig.state.bufferBytes.load(), 17640);
    EXPECT_EQ(rig.state.deviceBufferCount.load(), 20);
    EXPECT_EQ(rig.device.deviceHeaders.size(), 20u);
    EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 20);
    EXPECT_EQ(rig.state.receivedRing.BlockCount(), 30);
    EXPECT_EQ(rig.state.deviceFreeBytes.load(), 20 * 17640);
    EXPECT_TRUE(rig.state.firstBufferPending.load());
    EXPECT_EQ(rig.log.Lines().back(), "SUCCESS: waveIn device open");
    EXPECT_TRUE(rig.view.Saw("record on"));
    EXPECT_TRUE(rig.view.Saw("ready"));
    EXPECT_EQ(rig.view.Calls().front(), "clip reset");

    // The first block that comes back starts the DC filter afresh.
    rig.backend.Probe().ReturnMore(1);
    ASSERT_TRUE(rig.preprocess.WaitProcessed(1, kWait));
    EXPECT_FALSE(rig.state.firstBufferPending.load());

    // Reopening at another rate resizes every storage.
    rig.capture.CloseCaptureDevice();
    rig.state.buffersPerSecond.store(BuffersPerSecond(3));
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    EXPECT_EQ(rig.state.bufferBytes.load(), 8820);
    EXPECT_EQ(rig.state.deviceBufferCount.load(), 40);
    EXPECT_EQ(rig.state.receivedRing.BlockCount(), 60);
    EXPECT_EQ(rig.state.receivedRing.BlockBytes(), 8820);
    EXPECT_EQ(rig.backend.Probe().OpenDevices(), 1);
}

TEST(OpenCaptureDevice, WithoutAFormatListNothingHappens) {
    CaptureRig rig({});
    rig.formatListReady = false;
    rig.StartThreads();
    EXPECT_FALSE(rig.capture.OpenCaptureDevice());
    EXPECT_EQ(rig.backend.Probe().OpenCalls(), 0);
    EXPECT_TRUE(rig.log.Lines().empty());
    EXPECT_FALSE(rig.view.Saw("failure"));
}

TEST(OpenCaptureDevice, FailuresLogTheDeviceTextThenTheirLineAndLeaveNothingBehind) {
    {
        // Device refuses the format.
        SimulatedWaveInConfig config;
        config.acceptsFormat = [](const WaveFormat&) { return false; };
        CaptureRig rig(config);
        rig.StartThreads();
        EXPECT_FALSE(rig.capture.OpenCaptureDevice());
        const int line = LineIndex(rig.log, "ERROR:   Cannot open waveIn device");
        ASSERT_EQ(line, 1);
        EXPECT_EQ(rig.log.Lines()[0], "Invalid argument");
        EXPECT_TRUE(rig.view.Saw("failure"));
        EXPECT_TRUE(rig.view.Saw("blank"));
        EXPECT_FALSE(rig.view.Saw("record on"));
        EXPECT_EQ(rig.state.receivedRing.BlockCount(), 0);  // no storage allocated
        EXPECT_FALSE(rig.state.pipelineReady.load());
    }
    {
        // Busy device without an error text.
        SimulatedWaveInConfig config;
        config.deviceBusy = true;
        config.noErrorText = true;
        CaptureRig rig(config);
        rig.StartThreads();
        EXPECT_FALSE(rig.capture.OpenCaptureDevice());
        EXPECT_EQ(rig.log.Lines(), (std::vector<std::string>{"ERROR:   Unpredictable error occured",
                                                              "ERROR:   Cannot open waveIn device"}));
    }
    {
        // The second buffer cannot be added: the device is closed with nothing queued.
        SimulatedWaveInConfig config;
        config.failAddCall = 2;
        CaptureRig rig(config);
        rig.StartThreads();
        EXPECT_FALSE(rig.capture.OpenCaptureDevice());
        const int line = LineIndex(rig.log, "ERROR:   Can not add buffer");
        ASSERT_EQ(line, 1);
        EXPECT_EQ(rig.log.Lines()[0], "Input/output error");
        EXPECT_TRUE(rig.state.deviceFailed.load());
        EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 0);
        EXPECT_EQ(rig.backend.Probe().PreparedBuffers(), 0);
        EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
        EXPECT_TRUE(rig.device.deviceHeaders.empty());
        EXPECT_TRUE(rig.view.Saw("failure"));
        EXPECT_FALSE(rig.state.pipelineReady.load());
    }
    {
        // The first buffer cannot be prepared.
        SimulatedWaveInConfig config;
        config.failPrepareCall = 1;
        CaptureRig rig(config);
        rig.StartThreads();
        EXPECT_FALSE(rig.capture.OpenCaptureDevice());
        EXPECT_EQ(LineIndex(rig.log, "ERROR:   Can not prepare buffer"), 1);
        EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
    }
    {
        // Capture does not start; buffers queued so far are all taken back.
        SimulatedWaveInConfig config;
        config.failStart = true;
        CaptureRig rig(config);
        rig.StartThreads();
        EXPECT_FALSE(rig.capture.OpenCaptureDevice());
        EXPECT_EQ(LineIndex(rig.log, "ERROR:   Cannot start recording"), 1);
        EXPECT_TRUE(rig.state.deviceFailed.load());
        EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 0);
        EXPECT_EQ(rig.backend.Probe().PreparedBuffers(), 0);
        EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
        EXPECT_FALSE(rig.state.pipelineReady.load());
    }
}

TEST(CloseCaptureDevice, CompletesWhateverTheDeviceDoes) {
    {
        // Right after open, before any buffer came back (half-second buffers).
        SimulatedWaveInConfig config;
        config.pace = SimulatedPace::kRealTime;
        CaptureRig rig(config);
        rig.settings.meterRateIndex = 0;
        rig.state.buffersPerSecond.store(2.0);
        rig.StartThreads();
        ASSERT_TRUE(rig.capture.OpenCaptureDevice());
        rig.capture.CloseCaptureDevice();
        EXPECT_FALSE(rig.state.pipelineReady.load());
        EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
        EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 0);
        EXPECT_EQ(rig.backend.Probe().PreparedBuffers(), 0);
        EXPECT_TRUE(rig.device.buffers.empty());
        EXPECT_EQ(rig.view.Calls().back(), "record off");
        EXPECT_TRUE(rig.view.Saw("mixer released"));
        EXPECT_EQ(rig.log.Lines().size(), 1u);  // only the success line
    }
    {
        // A device that stalled after five buffers.
        SimulatedWaveInConfig config;
        config.stallAfterBuffers = 5;
        CaptureRig rig(config);
        rig.StartThreads();
        ASSERT_TRUE(rig.capture.OpenCaptureDevice());
        ASSERT_TRUE(rig.Handled(5));
        rig.capture.CloseCaptureDevice();
        EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
        EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 0);
        EXPECT_EQ(rig.backend.Probe().PreparedBuffers(), 0);
        EXPECT_EQ(rig.log.Lines().size(), 1u);
    }
    {
        // A device whose re-add failed: buffers stop circulating, none waits at the device.
        SimulatedWaveInConfig config;
        config.failAddCall = 31;  // the first re-add after the 30 initial buffers
        CaptureRig rig(config);
        rig.StartThreads();
        ASSERT_TRUE(rig.capture.OpenCaptureDevice());
        ASSERT_TRUE(rig.Handled(29));  // flat out keeps the newest buffer back
        EXPECT_TRUE(rig.state.deviceFailed.load());
        ASSERT_TRUE(rig.preprocess.WaitProcessed(29, kWait));  // all still reached the ring
        rig.capture.CloseCaptureDevice();
        EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
        const auto lines = rig.log.Lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "ERROR:   failed to add sound buffer"), 1);
    }
    {
        // Reset and close both fail: each is logged with the device's text, and the close
        // still gets every buffer back and frees them.
        SimulatedWaveInConfig config;
        config.failReset = true;
        config.failClose = true;
        config.stallAfterBuffers = 2;
        CaptureRig rig(config);
        rig.StartThreads();
        ASSERT_TRUE(rig.capture.OpenCaptureDevice());
        ASSERT_TRUE(rig.Handled(2));
        rig.capture.CloseCaptureDevice();
        EXPECT_EQ(rig.log.Lines(), (std::vector<std::string>{"SUCCESS: waveIn device open", "Input/output error",
                                                             "ERROR:   waveInReset failed", "Input/output error",
                                                             "ERROR:   waveInClose failed"}));
        EXPECT_FALSE(rig.state.pipelineReady.load());
        EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 0);
        EXPECT_TRUE(rig.device.buffers.empty());
    }
    {
        // Never opened: nothing to wait for.
        CaptureRig rig({});
        rig.StartThreads();
        rig.capture.CloseCaptureDevice();
        EXPECT_EQ(rig.view.Calls(), (std::vector<std::string>{"record off"}));
    }
}

/// Polls `done` until it holds; false after kWait.
template <typename Condition>
bool Eventually(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(CaptureDeviceFailure, SoundThatWasNeverCapturedIsCountedLostNotPassedOn) {
    // 8-bit silence is byte 128; a buffer that the dying device filled only half would
    // carry zero bytes after that, which are full-scale negative samples.
    SimulatedWaveInConfig config;
    config.source = SimulatedSource::kSilence;
    config.dieAfterBuffers = 3;
    CaptureRig rig(config, MakePcmFormat(22050, 8, 1));
    rig.StartThreads();
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(rig.Handled(4));
    ASSERT_TRUE(Eventually([&] { return rig.state.deviceFailed.load(); }));
    ASSERT_TRUE(rig.preprocess.WaitProcessed(3, kWait));
    rig.capture.CloseCaptureDevice();  // after it, no block is in progress

    EXPECT_EQ(rig.preprocess.ProcessedBlocks(), 3u);  // the three whole buffers only
    EXPECT_FALSE(rig.state.clipSeen.load());
    EXPECT_EQ(rig.preprocess.Meters().inputPeakLeft, 0.0);
    EXPECT_DOUBLE_EQ(rig.state.lostSeconds.Load(), rig.state.bufferSeconds.load());
    const auto lines = rig.log.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ERROR:   failed to prepare data block"), 1);
}

TEST(CloseCaptureDevice, IsRaceFreeWhenADeviceCallStallsLongerThanTheWaitLimit) {
    // The receiving thread is inside a device call (the first re-add) for four times the
    // close's wait limit. The close must not retire the headers, reset or close the device
    // under it.
    SimulatedWaveInConfig config;
    config.stallAddCall = 31;  // after the 30 initial buffers
    config.addStall = std::chrono::milliseconds(800);
    CaptureRig rig(config);
    rig.StartThreads();
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_GE(config.addStall, 4 * rig.capture.ReturnWaitLimit());
    ASSERT_TRUE(rig.backend.Probe().WaitAddStalling(kWait));
    rig.capture.CloseCaptureDevice();

    EXPECT_EQ(rig.log.Lines(), (std::vector<std::string>{"SUCCESS: waveIn device open"}));
    EXPECT_FALSE(rig.state.deviceFailed.load());
    EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
    EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 0);
    EXPECT_EQ(rig.backend.Probe().PreparedBuffers(), 0);
    EXPECT_TRUE(rig.device.buffers.empty());
}

}  // namespace
}  // namespace pelmora::test
