// SPDX-License-Identifier: GPL-3.0-or-later
// Capture pipeline costs: one block through the preprocessing steps, and the whole chain
// from a flat-out simulated device into a drained writerQueue.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "capture/BufferGeometry.h"
#include "capture/CaptureDevice.h"
#include "capture/DcFilter.h"
#include "capture/PipelineState.h"
#include "capture/PreprocessThread.h"
#include "capture/SimulatedWaveIn.h"
#include "capture/WaveThread.h"
#include "settings/RecSettings.h"

namespace pelmora {
namespace {

constexpr int kRate = 48000;

/// 16-bit stereo: a 997 Hz tone at half scale on a +300 offset.
std::vector<uint8_t> TestSound(int frames) {
    std::vector<uint8_t> b(static_cast<std::size_t>(frames) * 4);
    for (int f = 0; f < frames; ++f) {
        const int v = 300 + static_cast<int>(16000 * std::sin(2 * 3.14159265358979 * 997.0 * f / kRate));
        const auto u = static_cast<uint16_t>(static_cast<int16_t>(v));
        for (int c = 0; c < 2; ++c) {
            b[static_cast<std::size_t>(f * 4 + c * 2)] = static_cast<uint8_t>(u & 0xff);
            b[static_cast<std::size_t>(f * 4 + c * 2 + 1)] = static_cast<uint8_t>(u >> 8);
        }
    }
    return b;
}

RecSettings BenchSettings() {
    RecSettings s{};
    SetDefaultSettings(s, "/tmp/");
    s.removeDc = 1;
    return s;
}

// One 0.1 s block of 48 kHz 16-bit stereo, Remove DC on, the filter walking all 1200
// history records; not recording, so nothing is forwarded.
void BM_PreprocessBlock(benchmark::State& st) {
    RecSettings settings = BenchSettings();
    PipelineState state;
    state.ApplyGeometry(ComputeGeometry(kRate * 4, 4, 10.0, 3, 3, 3));
    DcFilter dc;
    dc.BuildWeights(20.0, 20.0);
    PreprocessThread pre(state, settings, dc);
    const int bytes = state.bufferBytes.load();
    const std::vector<uint8_t> sound = TestSound(bytes / 4);
    std::vector<uint8_t> block = sound;
    state.firstBufferPending.store(true);
    pre.MeasureAndFilter(block.data());
    if (dc.WeightCount() != kDcHistorySize) st.SkipWithError("history not full");
    for (auto _ : st) {
        st.PauseTiming();
        block = sound;
        st.ResumeTiming();
        pre.MeasureAndFilter(block.data());
        pre.ShowLevelsAndForward(block.data());
        benchmark::DoNotOptimize(block.data());
    }
    // Share of the block's own 0.1 s duration, in percent: 1000 x seconds per block.
    st.counters["block_share_%"] = benchmark::Counter(static_cast<double>(st.iterations()) / 1000.0,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PreprocessBlock)->Unit(benchmark::kMicrosecond);

class NullView : public CaptureView {
public:
    void EnableRecordButton(bool) override {}
    void ShowDeviceReady() override {}
    void ShowDeviceFailure() override {}
    void BlankMeters() override {}
    void ResetClipTrackers() override {}
    void ReleaseMixer() override {}
};

class NullLog : public LogSink {
public:
    void AddLogLine(const std::string&) override {}
};

/// Takes everything out of writerQueue as the writer would, and counts it.
class Drain {
public:
    explicit Drain(PipelineState& s) : state_(s), thread_([this] { Run(); }) {}
    ~Drain() {
        quit_.store(true);
        state_.events.newData.Set();
        thread_.join();
    }
    void WaitEmpty() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return state_.writerQueue.Bytes() == 0; });
    }
    uint64_t Blocks() const { return blocks_.load(); }

private:
    void Run() {
        while (!quit_.load()) {
            WaitBoth(state_.events.newData, state_.events.listAccess);
            uint64_t n = 0;
            while (state_.writerQueue.PopOldest()) ++n;
            state_.events.listAccess.Set();
            blocks_.fetch_add(n);
            std::lock_guard<std::mutex> lock(mutex_);
            changed_.notify_all();
        }
    }
    PipelineState& state_;
    std::atomic<bool> quit_{false};
    std::atomic<uint64_t> blocks_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

// Device flat out -> receiving thread -> preprocessing thread -> writerQueue -> drain.
// The device is let go in bursts of one ring's worth (99 blocks), so a slower stage shows
// as a lower rate instead of as blocks dropped at a full storage.
void BM_PipelineFlatOut(benchmark::State& st) {
    const int bursts = static_cast<int>(st.range(0));
    const WaveFormat format = MakePcmFormat(kRate, 16, 2);
    RecSettings settings = BenchSettings();
    settings.receivedStoreSeconds = 10;  // 100 blocks of 0.1 s
    settings.outputStoreSeconds = 10;
    PipelineState state;
    state.format.captureBits.store(16);
    state.format.captureChannels.store(2);
    state.format.fullScale.store(32768);
    state.buffersPerSecond.store(10.0);
    DeviceObjects device;
    SimulatedWaveInConfig config;
    config.source = SimulatedSource::kSupplied;
    config.supplied = TestSound(kRate);  // one second, repeated
    const int burst = 99;
    config.stallAfterBuffers = burst;
    SimulatedWaveInBackend backend(config);
    NullLog log;
    NullView view;
    DcFilter dc;
    dc.BuildWeights(settings.dcAveragePeriod, 10.0);
    CWaveThread wave(state, device, settings, backend, log);
    PreprocessThread pre(state, settings, dc);
    CaptureDevice capture(state, device, settings, backend, wave, pre, log, view,
                          [&](int, int) { return std::optional<WaveFormat>(format); });
    Drain drain(state);
    pre.Start();
    wave.Start();

    double lostBlocks = 0.0;
    double seconds = 0.0;
    uint64_t total = 0;
    for (auto _ : st) {
        const uint64_t drainedBefore = drain.Blocks();
        uint64_t handled = wave.HandledBuffers();  // before the device starts returning
        state.isRecording.store(true);
        const auto start = std::chrono::steady_clock::now();
        if (!capture.OpenCaptureDevice()) {
            st.SkipWithError("device did not open");
            break;
        }
        for (int b = 0; b < bursts; ++b) {
            if (b > 0) backend.Probe().ReturnMore(burst);
            handled += burst;
            wave.WaitHandled(handled, std::chrono::minutes(1));
            // Every block in the ring is preprocessed, then the queue is drained.
            while (state.receivedRing.FreeBlocks() != state.receivedRing.BlockCount())
                pre.WaitProcessed(pre.ProcessedBlocks() + 1, std::chrono::seconds(5));
            drain.WaitEmpty();
        }
        const auto end = std::chrono::steady_clock::now();
        st.SetIterationTime(std::chrono::duration<double>(end - start).count());
        seconds += std::chrono::duration<double>(end - start).count();
        const uint64_t blocks = static_cast<uint64_t>(bursts) * burst;
        total += blocks;
        lostBlocks += static_cast<double>(blocks - (drain.Blocks() - drainedBefore));
        state.isRecording.store(false);
        capture.CloseCaptureDevice();
    }
    st.counters["x_realtime"] = static_cast<double>(total) * 0.1 / seconds;
    st.counters["lost_blocks"] = lostBlocks;
    st.counters["us_per_block"] = seconds * 1e6 / static_cast<double>(total);
}
BENCHMARK(BM_PipelineFlatOut)->Arg(30)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace pelmora

BENCHMARK_MAIN();
