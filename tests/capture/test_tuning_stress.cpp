#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

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
// must already hold its block's DC, never the block's local average in that place. The
// reader here is a timer signal on the filter's own thread, so it looks at every stage of
// an update, the walk of the weights included. Each block's averages end in .5 and its DC
// is whole, so a record caught before its DC was written shows.
DcFilter* g_sampled = nullptr;
std::atomic<int> g_samples{0};
std::atomic<int> g_halfMade{0};

void SampleNewestRecord(int) {
    const DcRecord newest = g_sampled->History().front();
    if (newest.dcLeft != std::trunc(newest.dcLeft) || newest.dcRight != std::trunc(newest.dcRight))
        g_halfMade.fetch_add(1);
    g_samples.fetch_add(1);
}

TEST(DcHistory, TheNewestRecordIsPublishedWithItsDc) {
    DcFilter dc;
    dc.BuildWeights(20, 20);  // the longest walk
    dc.Initialise(0.5, -0.5);
    dc.Update(1.5, -1.5, 100);
    g_sampled = &dc;
    g_samples = 0;
    g_halfMade = 0;

    struct sigaction action {}, previous {};
    action.sa_handler = SampleNewestRecord;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGRTMIN, &action, &previous), 0);
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGRTMIN;
    event._sigev_un._tid = static_cast<pid_t>(::syscall(SYS_gettid));
    timer_t timer{};
    ASSERT_EQ(::timer_create(CLOCK_MONOTONIC, &event, &timer), 0);
    itimerspec every{};
    every.it_interval.tv_nsec = 20000;
    every.it_value.tv_nsec = 20000;
    ASSERT_EQ(::timer_settime(timer, 0, &every, nullptr), 0);

    constexpr int kSamples = 2000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int k = 2; g_samples.load() < kSamples && std::chrono::steady_clock::now() < deadline; ++k)
        dc.Update(k + 0.5, -(k + 0.5), 100);
    ::timer_delete(timer);
    ::sigaction(SIGRTMIN, &previous, nullptr);

    EXPECT_GE(g_samples.load(), 100);
    EXPECT_EQ(g_halfMade.load(), 0) << "of " << g_samples.load()
                                    << " looks, these found the newest record without its DC";
}

}  // namespace
}  // namespace pelmora
