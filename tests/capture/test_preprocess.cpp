// SPDX-License-Identifier: GPL-3.0-or-later
// The preprocessing steps on single blocks, the DC filter, and the whole chain into writerQueue.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "CaptureRig.h"
#include "capture/BufferGeometry.h"

namespace pelmora::test {
namespace {

std::vector<uint8_t> Block16(int frames, int channels, int left, int right) {
    std::vector<uint8_t> b(static_cast<std::size_t>(frames * channels * 2));
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const auto v = static_cast<uint16_t>(static_cast<int16_t>(c == 0 ? left : right));
            b[static_cast<std::size_t>((f * channels + c) * 2)] = static_cast<uint8_t>(v & 0xff);
            b[static_cast<std::size_t>((f * channels + c) * 2 + 1)] = static_cast<uint8_t>(v >> 8);
        }
    return b;
}

int SampleAt(const std::vector<uint8_t>& b, std::size_t index) {
    return static_cast<int16_t>(static_cast<uint16_t>(b[index * 2] | (b[index * 2 + 1] << 8)));
}

/// One preprocessing stage without its thread, at 44.1 kHz and 10 blocks per second.
struct Stage {
    explicit Stage(int channels = 2, int bits = 16) {
        settings = DefaultSettings();
        const int frame = channels * bits / 8;
        state.ApplyGeometry(ComputeGeometry(44100 * frame, frame, 10.0, 3, 3, 3));
        state.format.captureBits.store(bits);
        state.format.captureChannels.store(channels);
        state.format.fullScale.store(1 << (bits - 1));
        dc.BuildWeights(settings.dcAveragePeriod, 10.0);
        frames = state.bufferBytes.load() / frame;
    }
    void Run(std::vector<uint8_t>& block) {
        pre.MeasureAndFilter(block.data());
        pre.ShowLevelsAndForward(block.data());
    }
    RecSettings settings;
    PipelineState state;
    DcFilter dc;
    PreprocessThread pre{state, settings, dc};
    int frames = 0;
};

TEST(PreprocessBlock, ConstantOffsetIsEstimatedFromTheSecondBlockAndRemoved) {
    Stage st;
    st.settings.removeDc = 1;
    st.state.firstBufferPending.store(true);

    auto first = Block16(st.frames, 2, 100, 100);
    st.Run(first);
    // The first block sets the estimate but is corrected with the offsets in force (0).
    EXPECT_DOUBLE_EQ(st.pre.Meters().dcEstimateLeft, 100.0);
    EXPECT_EQ(st.pre.Meters().dcOffsetLeft, 0);
    EXPECT_EQ(SampleAt(first, 0), 100);

    for (int n = 0; n < 3; ++n) {
        auto block = Block16(st.frames, 2, 100, 100);
        st.Run(block);
        const MeterSnapshot m = st.pre.Meters();
        EXPECT_EQ(m.dcOffsetLeft, 100);
        EXPECT_EQ(m.dcOffsetRight, 100);
        EXPECT_EQ(SampleAt(block, 0), 0);
        EXPECT_EQ(SampleAt(block, 1), 0);
        EXPECT_EQ(SampleAt(block, static_cast<std::size_t>(2 * st.frames - 1)), 0);
        EXPECT_DOUBLE_EQ(m.processedPeakLeft, 0.0);
        EXPECT_NEAR(m.inputPeakLeft, 100.0 / 32768.0, 1e-12);
    }
    // History newest first: local averages 100 and the DC in force.
    const auto history = st.dc.History();
    EXPECT_EQ(history[0].localLeft, 100.0);
    EXPECT_EQ(history[0].dcRight, 100.0);
}

TEST(PreprocessBlock, WithoutRemoveDcTheBlockStaysAndPeaksAgree) {
    Stage st;
    st.state.firstBufferPending.store(true);
    for (int n = 0; n < 2; ++n) {
        auto block = Block16(st.frames, 2, 100, -200);
        st.Run(block);
        EXPECT_EQ(SampleAt(block, 0), 100);
        EXPECT_EQ(SampleAt(block, 1), -200);
        const MeterSnapshot m = st.pre.Meters();
        EXPECT_EQ(m.processedPeakLeft, m.inputPeakLeft);
        EXPECT_EQ(m.processedPeakRight, m.inputPeakRight);
        EXPECT_NEAR(m.inputPeakRight, 200.0 / 32768.0, 1e-12);
    }
}

TEST(PreprocessBlock, OnlyTheMostNegativeSampleClips) {
    Stage st(1);
    auto block = Block16(st.frames, 1, 0, 0);
    const auto put = [&](int v) {
        const auto u = static_cast<uint16_t>(static_cast<int16_t>(v));
        block[10] = static_cast<uint8_t>(u & 0xff);
        block[11] = static_cast<uint8_t>(u >> 8);
    };
    put(32767);
    st.Run(block);
    EXPECT_FALSE(st.state.clipSeen.load());
    EXPECT_EQ(st.pre.Meters().inputPeakRight, st.pre.Meters().inputPeakLeft) << "mono shows on both bars";

    put(-32768);
    st.Run(block);
    EXPECT_TRUE(st.state.clipSeen.load());
    EXPECT_DOUBLE_EQ(st.pre.Meters().inputLevelLeft, 1.0);
}

TEST(PreprocessBlock, CorrectionPastFullScaleSaturatesAndCountsAsClip) {
    Stage st;
    st.settings.removeDc = 1;
    st.state.firstBufferPending.store(true);
    auto offset = Block16(st.frames, 2, 100, 100);
    st.Run(offset);
    st.Run(offset = Block16(st.frames, 2, 100, 100));  // offsets now 100
    st.state.clipSeen.store(false);
    auto block = Block16(st.frames, 2, 100, 100);
    block[0] = 0x00;  // left sample 0 = -32768
    block[1] = 0x80;
    st.Run(block);
    EXPECT_EQ(SampleAt(block, 0), -32768) << "limited, not wrapped round to a positive peak";
    EXPECT_TRUE(st.state.clipSeen.load());
}

TEST(PreprocessBlock, EightBitSamplesAreCentredOn128) {
    Stage st(1, 8);
    st.settings.removeDc = 1;
    st.state.firstBufferPending.store(true);
    std::vector<uint8_t> block(static_cast<std::size_t>(st.frames), 128 + 10);
    st.Run(block);
    block.assign(block.size(), 128 + 10);
    st.Run(block);
    EXPECT_EQ(st.pre.Meters().dcOffsetLeft, 10);
    EXPECT_EQ(block[0], 128);
    block.assign(block.size(), 0);  // full-scale negative
    st.Run(block);
    EXPECT_TRUE(st.state.clipSeen.load());
    EXPECT_DOUBLE_EQ(st.pre.Meters().inputLevelLeft, 1.0);
    EXPECT_STREQ(st.pre.Meters().inputText, "0.0db\n0.0db");
}

TEST(PreprocessBlock, EightBitCorrectionSaturatesAtZeroAnd255) {
    for (const int offset : {10, -10}) {
        Stage st(2, 8);
        st.settings.removeDc = 1;
        st.state.firstBufferPending.store(true);
        std::vector<uint8_t> block(static_cast<std::size_t>(2 * st.frames));
        for (int n = 0; n < 2; ++n) {
            block.assign(block.size(), static_cast<uint8_t>(128 + offset));
            st.Run(block);
        }
        ASSERT_EQ(st.pre.Meters().dcOffsetLeft, offset);
        ASSERT_EQ(st.pre.Meters().dcOffsetRight, offset);
        block.assign(block.size(), static_cast<uint8_t>(128 + offset));
        // Both extremes on both channels: the correction pushes one of them past the range.
        block[0] = 0;
        block[1] = 255;
        block[2] = 255;
        block[3] = 0;
        st.Run(block);
        // The extremes move this block's estimate a little; the offset in force stays near.
        const int inForce = st.pre.Meters().dcOffsetLeft;
        ASSERT_EQ(st.pre.Meters().dcOffsetRight, inForce);
        ASSERT_GE(inForce * offset, 64) << inForce;
        if (offset > 0) {
            EXPECT_EQ(block[0], 0) << "limited, not wrapped round to a loud positive sample";
            EXPECT_EQ(block[3], 0);
            EXPECT_EQ(block[1], 255 - inForce);
        } else {
            EXPECT_EQ(block[1], 255) << "limited, not wrapped round to a loud negative sample";
            EXPECT_EQ(block[2], 255);
            EXPECT_EQ(block[0], -inForce);
        }
        EXPECT_EQ(block[4], 128 + offset - inForce);
    }
}

TEST(ForwardToWriter, StartSkipPauseDrainAndFullQueue) {
    {
        // 2.5 blocks to skip: two dropped, the third forwarded.
        Stage st;
        const int64_t bytes = st.state.bufferBytes.load();
        st.state.isRecording.store(true);
        st.state.startSkipBytes.store(bytes * 5 / 2);
        auto block = Block16(st.frames, 2, 1, 1);
        st.Run(block);
        st.Run(block);
        EXPECT_EQ(st.state.writerQueue.Count(), 0u);
        st.Run(block);
        EXPECT_EQ(st.state.writerQueue.Count(), 1u);
        EXPECT_EQ(st.state.writerQueue.Bytes(), bytes);
        EXPECT_EQ(st.state.startSkipBytes.load(), bytes / 2);
        EXPECT_TRUE(st.state.events.newData.IsSet());
        EXPECT_TRUE(st.state.events.listAccess.IsSet()) << "lock released";
    }
    {
        // Paused: nothing forwarded, nothing lost, skip and drain untouched.
        Stage st;
        const int64_t bytes = st.state.bufferBytes.load();
        st.state.isRecording.store(true);
        st.state.isPaused.store(true);
        st.state.startSkipBytes.store(bytes);
        st.state.stopDrainBytes.store(bytes * 2);
        st.state.writerQueue.SetLimit(bytes);
        auto block = Block16(st.frames, 2, 1, 1);
        for (int n = 0; n < 4; ++n) st.Run(block);
        EXPECT_EQ(st.state.writerQueue.Count(), 0u);
        EXPECT_DOUBLE_EQ(st.state.lostSeconds.Load(), 0.0);
        EXPECT_EQ(st.state.startSkipBytes.load(), bytes);
        EXPECT_EQ(st.state.stopDrainBytes.load(), bytes * 2);
    }
    {
        // After Stop: the blocks captured before the click are forwarded, then nothing.
        Stage st;
        const int64_t bytes = st.state.bufferBytes.load();
        st.state.stopDrainBytes.store(bytes * 2);
        auto block = Block16(st.frames, 2, 1, 1);
        for (int n = 0; n < 2; ++n) {
            st.state.drainProgress.Reset();
            st.Run(block);
            EXPECT_TRUE(st.state.drainProgress.IsSet()) << "the waiting stop is woken for every block";
        }
        for (int n = 0; n < 2; ++n) st.Run(block);
        EXPECT_EQ(st.state.writerQueue.Count(), 2u);
        EXPECT_EQ(st.state.stopDrainBytes.load(), 0);
    }
    {
        // A full queue drops the block and counts it lost.
        Stage st;
        const int64_t bytes = st.state.bufferBytes.load();
        st.state.isRecording.store(true);
        st.state.writerQueue.SetLimit(bytes * 2);
        auto block = Block16(st.frames, 2, 1, 1);
        for (int n = 0; n < 3; ++n) st.Run(block);
        EXPECT_EQ(st.state.writerQueue.Count(), 2u);
        EXPECT_DOUBLE_EQ(st.state.lostSeconds.Load(), st.state.bufferSeconds.load());
    }
}

TEST(ForwardToWriter, DrainCountFallsOnlyOnceTheBlockIsQueued) {
    // Stop ends its wait when the count reaches zero; the block must be in the queue by then,
    // or the writer's flush misses it.
    Stage st;
    const int64_t bytes = st.state.bufferBytes.load();
    st.state.stopDrainBytes.store(bytes);
    auto block = Block16(st.frames, 2, 1, 1);
    std::thread forwarding;
    {
        ListAccessLock held(st.state.events.listAccess);
        forwarding = std::thread([&] { st.Run(block); });
        // While the queue is locked the block cannot be queued: once its share is taken off
        // the count, its claim must keep the stop's wait on.
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        while (st.state.stopDrainBytes.load() == bytes && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_EQ(st.state.stopDrainBytes.load(), 0) << "the block never came to the queue";
        EXPECT_EQ(st.state.drainClaims.load(), 1);
        EXPECT_EQ(st.state.writerQueue.Count(), 0u);
    }
    forwarding.join();
    EXPECT_EQ(st.state.stopDrainBytes.load(), 0);
    EXPECT_EQ(st.state.drainClaims.load(), 0);
    EXPECT_EQ(st.state.writerQueue.Count(), 1u);
}

TEST(DcFilter, WeightsAndResponsivity) {
    DcFilter dc;
    dc.BuildWeights(5.0, 10.0);
    dc.Initialise(0.0, 0.0);  // takes the weights
    EXPECT_EQ(dc.WeightCount(), 150);
    double sum = 0.0;
    for (int i = 0; i < 150; ++i) sum += std::exp(-i / 50.0);
    EXPECT_NEAR(dc.WeightSum(), sum, 1e-9);

    // Silence: d = 0, the estimate stays.
    dc.Update(0.0, 0.0, 50);
    EXPECT_EQ(dc.EstimateLeft(), 0.0);

    // A sudden offset against a flat history: insensitive at 0, follows the mean at 100.
    DcFilter deaf;
    deaf.BuildWeights(5.0, 10.0);
    deaf.Initialise(0.0, 0.0);
    deaf.Update(1000.0, 1000.0, 0);
    EXPECT_EQ(deaf.EstimateLeft(), 0.0);

    DcFilter keen;
    keen.BuildWeights(5.0, 10.0);
    keen.Initialise(0.0, 0.0);
    keen.Update(1000.0, -1000.0, 100);
    EXPECT_NEAR(keen.EstimateLeft(), 1000.0 / sum, 0.01);
    EXPECT_NEAR(keen.EstimateRight(), -1000.0 / sum, 0.01);
    EXPECT_EQ(keen.OffsetRight(), static_cast<int>(-1000.0 / sum + 0.0)) << "truncated toward zero";

    // Longest history: 3 x 20 s x 20 per second is the whole ring.
    DcFilter longest;
    longest.BuildWeights(20.0, 20.0);
    longest.Initialise(0.0, 0.0);
    EXPECT_EQ(longest.WeightCount(), kDcHistorySize);
}

class CountingHook : public MeterBlockHook {
public:
    void OnMeterBlock(const MeterSnapshot& m) override {
        last.store(m.dcOffsetLeft);
        count.fetch_add(1);
    }
    std::atomic<int> count{0};
    std::atomic<int> last{0};
};

TEST(PreprocessingThread, ConstantOffsetThroughTheWholeChain) {
    SimulatedWaveInConfig config;
    config.source = SimulatedSource::kConstant;
    config.constantOffset = 100;
    config.stallAfterBuffers = 4;
    CaptureRig rig(config);
    rig.settings.removeDc = 1;
    CountingHook hook;
    rig.preprocess.SetMeterHook(&hook);
    rig.state.writerQueue.SetLimit(1 << 30);
    rig.state.isRecording.store(true);
    rig.StartThreads();
    ASSERT_TRUE(rig.capture.OpenCaptureDevice());
    ASSERT_TRUE(rig.Handled(4));
    ASSERT_TRUE(rig.preprocess.WaitProcessed(4, kWait));

    EXPECT_EQ(hook.count.load(), 4);
    EXPECT_EQ(hook.last.load(), 100);
    EXPECT_EQ(rig.preprocess.Meters().block, 4u);
    EXPECT_FALSE(rig.state.clipSeen.load());
    std::vector<std::vector<uint8_t>> written;
    {
        ListAccessLock lock(rig.state.events.listAccess);
        while (auto b = rig.state.writerQueue.PopOldest()) written.push_back(std::move(*b));
    }
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(SampleAt(written[0], 0), 100);
    for (std::size_t n = 1; n < 4; ++n) {
        EXPECT_EQ(SampleAt(written[n], 0), 0);
        EXPECT_EQ(SampleAt(written[n], written[n].size() / 2 - 1), 0);
    }
}

}  // namespace
}  // namespace pelmora::test
