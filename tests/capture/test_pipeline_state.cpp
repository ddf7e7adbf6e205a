// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>

#include "capture/PipelineState.h"

namespace pelmora {
namespace {

TEST(BufferGeometry, DocumentedExamples) {
    BufferGeometry g = ComputeGeometry(176400, 4, 10.0, 2, 3, 3);
    EXPECT_EQ(g.bufferBytes, 17640);
    EXPECT_DOUBLE_EQ(g.bufferSeconds, 0.1);
    EXPECT_EQ(g.deviceBufferCount, 20);
    EXPECT_EQ(g.receivedBlockCount, 30);
    EXPECT_EQ(g.writerQueueLimit, 529200);

    // 11 025 Hz 16-bit stereo at 20 per second: rounded down to whole frames.
    g = ComputeGeometry(44100, 4, 20.0, 3, 3, 3);
    EXPECT_EQ(g.bufferBytes, 2204);
    EXPECT_LT(g.bufferSeconds, 0.05);
    EXPECT_EQ(g.writerQueueLimit % 2204, 0);
    EXPECT_LE(g.writerQueueLimit, 3 * 44100);

    // 8 kHz 8-bit mono at 2 per second: 4000-byte buffers, 10 s hold 20 of them.
    g = ComputeGeometry(8000, 1, 2.0, 10, 10, 10);
    EXPECT_EQ(g.bufferBytes, 4000);
    EXPECT_DOUBLE_EQ(g.bufferSeconds, 0.5);
    EXPECT_EQ(g.receivedBlockCount, 20);
    EXPECT_EQ(g.writerQueueLimit, 80000);
}

TEST(BufferGeometry, DegenerateInputsStillGiveAWorkingPipeline) {
    BufferGeometry g = ComputeGeometry(0, 0, 20.0, 0, 0, 0);
    EXPECT_GE(g.bufferBytes, 1);
    EXPECT_GE(g.deviceBufferCount, 1);
    EXPECT_GE(g.receivedBlockCount, 2);
    EXPECT_GE(g.writerQueueLimit, g.bufferBytes);
    EXPECT_EQ(BuffersPerSecond(3), 20.0);
    EXPECT_EQ(BuffersPerSecond(42), 10.0);
}

TEST(ReceivedRing, HoldsAtMostCountMinusOneBlocks) {
    ReceivedRing ring;
    ring.Rebuild(4, 8);
    std::vector<uint8_t> block(8);
    EXPECT_EQ(ring.Take(), nullptr);
    for (int i = 0; i < 3; ++i) {
        block[0] = static_cast<uint8_t>(i);
        EXPECT_TRUE(ring.Deposit(block.data())) << i;
    }
    EXPECT_EQ(ring.FreeBlocks(), 1);
    EXPECT_FALSE(ring.Deposit(block.data())) << "full ring loses the block";

    uint8_t* taken = ring.Take();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken[0], 0);
    block[0] = 9;
    EXPECT_TRUE(ring.Deposit(block.data())) << "the node consumed before is free again";
    // The block being processed is never overwritten.
    EXPECT_FALSE(ring.Deposit(block.data()));
    EXPECT_EQ(taken[0], 0);
    EXPECT_TRUE(ring.FinishTake()) << "three more waiting";
    EXPECT_EQ(ring.FreeBlocks(), 1);
    for (int expected : {1, 2, 9}) {
        taken = ring.Take();
        ASSERT_NE(taken, nullptr);
        EXPECT_EQ(taken[0], expected);
        ring.FinishTake();
    }
    EXPECT_EQ(ring.Take(), nullptr);
    EXPECT_EQ(ring.FreeBlocks(), 4);
}

TEST(ReceivedRing, ConcurrentDepositsArriveInOrder) {
    ReceivedRing ring;
    ring.Rebuild(5, 4);
    constexpr uint32_t kBlocks = 20000;
    std::thread producer([&] {
        std::mt19937 rng(1);
        for (uint32_t i = 0; i < kBlocks;) {
            if (ring.Deposit(reinterpret_cast<const uint8_t*>(&i))) ++i;
            if (rng() % 8 == 0) std::this_thread::yield();
        }
    });
    uint32_t next = 0;
    while (next < kBlocks) {
        uint8_t* b = ring.Take();
        if (!b) {
            std::this_thread::yield();
            continue;
        }
        uint32_t v;
        std::memcpy(&v, b, 4);
        ASSERT_EQ(v, next);
        ++next;
        ring.FinishTake();
    }
    producer.join();
}

TEST(WriterQueue, AppendsOnlyBelowItsLimit) {
    WriterQueue q;
    q.SetLimit(20);
    std::vector<uint8_t> block(10, 7);
    EXPECT_TRUE(q.Append(block.data(), block.size()));
    EXPECT_TRUE(q.Append(block.data(), block.size()));
    EXPECT_FALSE(q.Append(block.data(), block.size()));
    EXPECT_EQ(q.Bytes(), 20);
    auto first = q.PopOldest();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), 10u);
    EXPECT_EQ(q.Bytes(), 10);
    q.Clear();
    EXPECT_EQ(q.Bytes(), 0);
    EXPECT_FALSE(q.PopOldest());
}

class AccountingTest : public ::testing::Test {
protected:
    AccountingTest() {
        s.ApplyGeometry(ComputeGeometry(176400, 4, 10.0, 2, 3, 3));  // 17640 bytes, 20 device buffers
        s.receivedRing.Rebuild(s.receivedBlockCount, s.bufferBytes);
        s.deviceFreeBytes = int64_t{20} * 17640;
        s.lastDevicePosition = 0;
    }
    PipelineState s;
};

TEST_F(AccountingTest, SteadyStateKeepsTheQueueFull) {
    // One buffer came back and is re-queued: the device filled exactly one buffer.
    ApplyDeviceAccounting(s, 17640);
    EXPECT_EQ(s.deviceFreePercent, 95);
    EXPECT_EQ(s.deviceFreeBytes, 20 * 17640);
    EXPECT_EQ(s.receivedFreePercent, 100);
    EXPECT_EQ(s.outputFreePercent, 100);
    EXPECT_EQ(s.lostSeconds.Load(), 0.0);
    EXPECT_EQ(s.inFlightBytes, 0);
}

TEST_F(AccountingTest, PositionJumpBeyondTheQueueIsLost) {
    // 25 buffers' worth of progress with only 20 queued: 5 are lost.
    ApplyDeviceAccounting(s, 25 * 17640);
    EXPECT_NEAR(s.lostSeconds.Load(), 0.5, 1e-9);
    EXPECT_EQ(s.deviceFreePercent, 0);
    EXPECT_EQ(s.deviceFreeBytes, 17640);
}

TEST_F(AccountingTest, BytesThatReachedNoBufferAreLostWithoutFillingTheQueue) {
    // A 0.3 s gap while every queued buffer was still empty, plus the buffer just returned.
    ApplyDeviceAccounting(s, 4 * 17640, 3 * 17640);
    EXPECT_NEAR(s.lostSeconds.Load(), 0.3, 1e-9);
    EXPECT_EQ(s.deviceFreeBytes, 20 * 17640) << "the queue is as empty as before";
    EXPECT_EQ(s.inFlightBytes, 0) << "nothing waits at the device, so a record start skips nothing";
    // Afterwards the steady state is undisturbed.
    ApplyDeviceAccounting(s, 5 * 17640, 3 * 17640);
    EXPECT_NEAR(s.lostSeconds.Load(), 0.3, 1e-9);
    EXPECT_EQ(s.deviceFreePercent, 95);
}

TEST_F(AccountingTest, InFlightCountsRingAndDevice) {
    std::vector<uint8_t> block(17640);
    s.receivedRing.Deposit(block.data());
    s.receivedRing.Deposit(block.data());
    // Three buffers' worth delivered, one of them just returned and queued again: two are
    // filled at the device and not yet returned, two wait in the ring.
    ApplyDeviceAccounting(s, 3 * 17640);
    EXPECT_EQ(s.inFlightBytes, 4 * 17640);
    EXPECT_EQ(s.receivedFreePercent, 28 * 100 / 30);
}

TEST(AtomicSeconds, AdditionsFromTwoThreadsAreNotLost) {
    AtomicSeconds lost;
    std::thread a([&] {
        for (int i = 0; i < 100000; ++i) lost.Add(0.5);
    });
    for (int i = 0; i < 100000; ++i) lost.Add(0.25);
    a.join();
    EXPECT_DOUBLE_EQ(lost.Load(), 75000.0);
}

}  // namespace
}  // namespace pelmora
