// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cmath>
#include <chrono>
#include <thread>

#include "CaptureRig.h"
#include "capture/BufferGeometry.h"
#include "capture/SyncEvent.h"

namespace pelmora {
namespace {

using test::CaptureRig;
using test::kWait;

// Makes every block take a little longer on the preprocessing thread, so that a reopen or
// a weight change meets a block in progress.
class SlowBlocks : public MeterBlockHook {
public:
    void OnMeterBlock(const MeterSnapshot&) override {
        blocks.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    std::atomic<uint64_t> blocks{0};
};

SimulatedWaveInConfig OffsetSource() {
    SimulatedWaveInConfig config;
    config.source = SimulatedSource::kConstant;
    config.constantOffset = 300;
    config.pace = SimulatedPace::kFlatOut;
    return config;
}

// The receiving thread and the preprocessing thread must agree with the ring at rest.
void ExpectRingAtRest(const PipelineState& s) {
    const ReceivedRing& ring = s.receivedRing;
    EXPECT_EQ(ring.FreeBlocks() + ring.WaitingBlocks(), ring.BlockCount());
    EXPECT_GE(ring.FreeBlocks(), 1);
    EXPECT_EQ(ring.BlockCount(), s.receivedBlockCount.load());
    EXPECT_EQ(ring.BlockBytes(), s.bufferBytes.load());
}

TEST(TuningStress, ReopeningWithOtherBufferRatesAndNewWeightsNeverMixesBlockSizes) {
    RecSettings settings = test::DefaultSettings();
    settings.removeDc = 1;
    settings.deviceQueueSeconds = 1;
    settings.receivedStoreSeconds = 1;
    settings.outputStoreSeconds = 1;
    CaptureRig rig(OffsetSource(), MakePcmFormat(44100, 16, 2), settings);
    SlowBlocks slow;
    rig.preprocess.SetMeterHook(&slow);
    rig.StartThreads();
    // Recording, with no writer: the queue fills to its limit and then counts losses.
    rig.state.events.listAccess.Set();
    rig.state.isRecording.store(true);

    const int small = ComputeGeometry(176400, 4, 20, 1, 1, 1).bufferBytes;
    const int large = ComputeGeometry(176400, 4, 2, 1, 1, 1).bufferBytes;
    ASSERT_EQ(small, 8820);
    ASSERT_EQ(large, 88200);

    constexpr int kReopens = 200;
    for (int i = 0; i < kReopens; ++i) {
        rig.settings.meterRateIndex = i % 2 == 0 ? 3 : 0;  // 20 and 2 buffers per second
        rig.state.buffersPerSecond.store(BuffersPerSecond(rig.settings.meterRateIndex));
        rig.dc.BuildWeights(1 + i % 20, rig.state.buffersPerSecond.load());
        // Reopen while blocks of the old geometry are waiting or in progress.
        const uint64_t before = rig.preprocess.ProcessedBlocks();
        ASSERT_TRUE(rig.capture.OpenCaptureDevice()) << "reopen " << i;
        rig.dc.BuildWeights(20 - i % 20, rig.state.buffersPerSecond.load());
        // At least one block of the new geometry goes through before the next reopen.
        ASSERT_TRUE(rig.preprocess.WaitProcessed(before + 2, kWait));
    }
    rig.capture.CloseCaptureDevice();
    rig.state.isRecording.store(false);

    // Closed: nothing moves any more.
    ExpectRingAtRest(rig.state);
    EXPECT_EQ(rig.state.bufferBytes.load(), large);

    ListAccessLock lock(rig.state.events.listAccess);
    const int64_t queued = rig.state.writerQueue.Bytes();
    EXPECT_GT(queued, 0);
    int64_t sum = 0;
    while (auto block = rig.state.writerQueue.PopOldest()) {
        const auto size = static_cast<int64_t>(block->size());
        EXPECT_TRUE(size == small || size == large) << size;
        sum += size;
    }
    EXPECT_EQ(sum, queued);
    EXPECT_EQ(rig.state.writerQueue.Bytes(), 0);
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

TEST(DcWeights, CountFollowsPeriodAndBufferRateUpToTheWholeHistory) {
    const DcWeights five = MakeDcWeights(5, 10);
    ASSERT_EQ(five.w.size(), 150u);
    EXPECT_DOUBLE_EQ(five.w[0], 1.0);
    EXPECT_DOUBLE_EQ(five.w[50], std::exp(-1.0));
    double sum = 0.0;
    for (double w : five.w) sum += w;
    EXPECT_DOUBLE_EQ(five.sum, sum);
    EXPECT_EQ(MakeDcWeights(20, 20).w.size(), 1200u);
    EXPECT_EQ(MakeDcWeights(1, 2).w.size(), 6u);
}

TEST(DcWeights, TheFilterWalksTheNewSetFromItsNextBlock) {
    DcFilter dc;
    dc.BuildWeights(5, 10);
    dc.Initialise(0, 0);
    EXPECT_EQ(dc.WeightCount(), 150);
    dc.BuildWeights(20, 20);
    dc.BuildWeights(2, 5);  // replaces the set not taken yet
    EXPECT_EQ(dc.BuiltWeightCount(), 30);
    EXPECT_EQ(dc.WeightCount(), 150);
    dc.Update(0, 0, 50);
    EXPECT_EQ(dc.WeightCount(), 30);
    EXPECT_DOUBLE_EQ(dc.WeightSum(), MakeDcWeights(2, 5).sum);
}

// The DC dialog reads the history while the filter writes it: the newest record it finds
// must already hold its block's DC, never the block's local average in that place. A signal
// holds the filter's thread wherever its update has got to, the walk of the weights
// included, while another thread reads the history. Each block's averages end in .5 and its
// DC is whole, so a record caught before its DC was written shows.
std::atomic<bool> g_held{false};
std::atomic<bool> g_letGo{false};
std::atomic<bool> g_abandoned{false};

void HoldHere(int) {
    g_held.store(true);
    while (!g_letGo.load() && !g_abandoned.load()) {
    }
    g_letGo.store(false);
    g_held.store(false);
}

TEST(DcHistory, TheNewestRecordIsPublishedWithItsDc) {
    DcFilter dc;
    dc.BuildWeights(20, 20);  // the longest walk
    dc.Initialise(0.5, -0.5);
    dc.Update(1.5, -1.5, 100);
    g_held = false;
    g_letGo = false;
    g_abandoned = false;
    struct sigaction action {}, previous {};
    action.sa_handler = HoldHere;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGRTMIN, &action, &previous), 0);

    constexpr int kLooks = 200;
    const pthread_t filterThread = ::pthread_self();
    std::atomic<bool> done{false};
    int looks = 0, halfMade = 0;
    std::thread reader([&] {
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        const auto until = [&](auto condition) {
            while (!condition())
                if (std::chrono::steady_clock::now() > deadline) return false;
            return true;
        };
        for (; looks < kLooks; ++looks) {
            ::pthread_kill(filterThread, SIGRTMIN);
            if (!until([] { return g_held.load(); })) break;
            const DcRecord newest = dc.History().front();
            if (newest.dcLeft != std::trunc(newest.dcLeft) || newest.dcRight != std::trunc(newest.dcRight))
                ++halfMade;
            g_letGo.store(true);
            if (!until([] { return !g_held.load(); })) break;
        }
        g_abandoned.store(true);
        done.store(true);
    });
    for (int k = 2; !done.load(); ++k) dc.Update(k + 0.5, -(k + 0.5), 100);
    reader.join();
    ::sigaction(SIGRTMIN, &previous, nullptr);

    EXPECT_EQ(looks, kLooks);
    EXPECT_EQ(halfMade, 0) << "of " << looks << " looks, these found the newest record without its DC";
}

}  // namespace
}  // namespace pelmora
