// SPDX-License-Identifier: GPL-3.0-or-later
// The receiving thread on the simulated device: ring deposits, loss accounting, failures.

#include <gtest/gtest.h>

#include <algorithm>

#include "CaptureRig.h"

namespace pelmora::test {
namespace {

std::vector<std::string> Without(std::vector<std::string> lines, const std::string& line) {
    lines.erase(std::remove(lines.begin(), lines.end(), line), lines.end());
    return lines;
}

TEST(ReceivingThread, RingHoldsAtMostCountMinusOneWaitingBlocks) {
    // No preprocessing: nothing leaves the ring. 1 s of ring = 10 blocks of 0.1 s.
    SimulatedWaveInConfig config;
    config.stallAfterBuffers = 9;
    CaptureRig rig(config);
    rig.settings.receivedStoreSeconds = 1;
    rig.StartThreads(false);
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_EQ(rig.state.receivedBlockCount.load(), 10);

    ASSERT_TRUE(rig.Handled(9));
    EXPECT_EQ(rig.state.receivedRing.FreeBlocks(), 1);
    EXPECT_DOUBLE_EQ(rig.state.lostSeconds.Load(), 0.0);

    rig.backend.Probe().ReturnMore(1);
    ASSERT_TRUE(rig.Handled(10));  // the tenth finds the ring full
    EXPECT_EQ(rig.state.receivedRing.FreeBlocks(), 1);
    EXPECT_DOUBLE_EQ(rig.state.lostSeconds.Load(), 0.1);
    EXPECT_EQ(rig.state.receivedFreePercent.load(), 10);
    EXPECT_FALSE(rig.state.deviceFailed.load());
}

TEST(ReceivingThread, PositionJumpBeyondTheQueueIsLost) {
    // 30 buffers of 17640 bytes queued; with the first one back the device reports 35
    // buffers more than it filled: 36 buffers of progress for room of 30, so 6 are lost.
    SimulatedWaveInConfig config;
    config.stallAfterBuffers = 1;
    config.jumpBeforeBuffer = 1;
    config.jumpBytes = 35 * 17640;
    CaptureRig rig(config);
    rig.StartThreads(false);
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(rig.Handled(1));

    EXPECT_NEAR(rig.state.lostSeconds.Load(), 0.6, 1e-9);
    EXPECT_EQ(rig.state.deviceFreePercent.load(), 0);
    EXPECT_EQ(rig.state.deviceFreeBytes.load(), 17640);  // restarted at zero, then this buffer
    EXPECT_EQ(rig.state.receivedRing.FreeBlocks() + 1, rig.state.receivedBlockCount.load())
        << "the sound itself still reached the ring";
}

TEST(ReceivingThread, AccountingWithoutLoss) {
    SimulatedWaveInConfig config;
    config.stallAfterBuffers = 3;
    CaptureRig rig(config);
    rig.StartThreads(false);
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(rig.Handled(3));
    EXPECT_DOUBLE_EQ(rig.state.lostSeconds.Load(), 0.0);
    EXPECT_EQ(rig.state.receivedFreePercent.load(), 90);  // 27 of 30
    EXPECT_EQ(rig.state.outputFreePercent.load(), 100);
    // Three blocks wait in the ring, 30 buffers are at the device and none is filled.
    EXPECT_EQ(rig.state.inFlightBytes.load(), 3 * 17640);
    EXPECT_EQ(rig.state.deviceFreeBytes.load(), 30 * 17640);
}

TEST(ReceivingThread, DataLossLimitDropsSoundUncountedWhileRecording) {
    SimulatedWaveInConfig config;
    config.stallAfterBuffers = 4;
    RecSettings settings = DefaultSettings();
    settings.stopOnDataLoss = 1;
    settings.dataLossLimit = 0;  // 0 <= lostSeconds holds from the first buffer
    CaptureRig rig(config, MakePcmFormat(44100, 16, 2), settings);
    rig.StartThreads(false);
    rig.state.isRecording.store(true);
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(rig.Handled(4));
    EXPECT_EQ(rig.state.receivedRing.FreeBlocks(), rig.state.receivedBlockCount.load());
    EXPECT_DOUBLE_EQ(rig.state.lostSeconds.Load(), 0.0);
    EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 30) << "the buffers keep circulating";
}

TEST(ReceivingThread, IgnoresBuffersWhileThePipelineIsNotReady) {
    // The start fails after every buffer was queued: the reset hands all of them back while
    // the ring and the buffer list are still in place. None may be deposited or queued again.
    SimulatedWaveInConfig config;
    config.failStart = true;
    CaptureRig rig(config);
    rig.StartThreads(false);
    ASSERT_FALSE(rig.capture.OpenCaptureDevice());
    EXPECT_EQ(rig.backend.Probe().ReturnedBuffers(), 30u);
    EXPECT_EQ(rig.wave.HandledBuffers(), 30u) << "the returned buffers did reach the thread";
    EXPECT_EQ(rig.state.receivedRing.FreeBlocks(), rig.state.receivedBlockCount.load());
    EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 0);
    EXPECT_EQ(rig.backend.Probe().PreparedBuffers(), 0);
    EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
    EXPECT_DOUBLE_EQ(rig.state.lostSeconds.Load(), 0.0);
    const auto lines = rig.log.Lines();
    EXPECT_EQ(lines, (std::vector<std::string>{"Input/output error", "ERROR:   Cannot start recording"}));
}

TEST(ReceivingThread, FailedBufferOperationsAreLoggedOnceAndStopRequeueing) {
    {
        // Unprepare of the third returned buffer fails (the open unprepares nothing).
        SimulatedWaveInConfig config;
        config.failUnprepareCall = 3;
        config.stallAfterBuffers = 6;
        CaptureRig rig(config);
        rig.StartThreads(false);
        ASSERT_TRUE(rig.capture.OpenCaptureDevice());
        ASSERT_TRUE(rig.Handled(6));
        // The first returned buffers may be handled before the open has logged its success.
        const auto lines = Without(rig.log.Lines(), "SUCCESS: waveIn device open");
        EXPECT_EQ(lines, (std::vector<std::string>{"Input/output error", "ERROR:   failed to unprepare data block"}));
        EXPECT_TRUE(rig.state.deviceFailed.load());
        // Buffers 1, 2 were deposited and queued again; 3 was not deposited; 4..6 were
        // deposited but not queued again.
        EXPECT_EQ(rig.state.receivedRing.FreeBlocks(), 30 - 5);
        EXPECT_EQ(rig.backend.Probe().QueuedBuffers(), 30 - 6 + 2);
        rig.capture.CloseCaptureDevice();
        EXPECT_EQ(rig.backend.Probe().OpenDevices(), 0);
    }
    {
        // Prepare of the first returned buffer fails (30 prepares at open come first).
        SimulatedWaveInConfig config;
        config.failPrepareCall = 31;
        config.stallAfterBuffers = 2;
        CaptureRig rig(config);
        rig.StartThreads(false);
        ASSERT_TRUE(rig.capture.OpenCaptureDevice());
        ASSERT_TRUE(rig.Handled(2));
        const auto lines = Without(rig.log.Lines(), "SUCCESS: waveIn device open");
        EXPECT_EQ(lines, (std::vector<std::string>{"Cannot allocate memory", "ERROR:   failed to prepare data block"}));
        EXPECT_EQ(rig.state.receivedRing.FreeBlocks(), 28);
    }
}

}  // namespace
}  // namespace pelmora::test
