// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/PreprocessThread.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "capture/ThreadRoles.h"

namespace pelmora {

namespace {

inline int Sample16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

inline void Put16(uint8_t* p, int v) {
    // Saturate: wrapping would turn a corrected peak into a full-scale jump of the other sign.
    v = std::clamp(v, -32768, 32767);
    const auto u = static_cast<uint16_t>(static_cast<int16_t>(v));
    p[0] = static_cast<uint8_t>(u & 0xff);
    p[1] = static_cast<uint8_t>(u >> 8);
}

inline int Sample8(const uint8_t* p) {
    return static_cast<int>(p[0]) - 128;
}

inline void Put8(uint8_t* p, int v) {
    p[0] = static_cast<uint8_t>(std::clamp(v, -128, 127) + 128);
}

struct Sums {
    int peakLeft = 0;
    int peakRight = 0;
    int64_t sumLeft = 0;
    int64_t sumRight = 0;
};

template <int (*Get)(const uint8_t*), int Width>
Sums Measure(const uint8_t* block, int samples, bool mono) {
    Sums s;
    if (mono) {
        for (int i = 0; i < samples; ++i) {
            const int v = Get(block + i * Width);
            s.peakLeft = std::max(s.peakLeft, v < 0 ? -v : v);
            s.sumLeft += v;
        }
        s.peakRight = s.peakLeft;
        s.sumRight = s.sumLeft;
        return s;
    }
    for (int i = 0; i + 1 < samples; i += 2) {
        const int l = Get(block + i * Width);
        const int r = Get(block + (i + 1) * Width);
        s.peakLeft = std::max(s.peakLeft, l < 0 ? -l : l);
        s.peakRight = std::max(s.peakRight, r < 0 ? -r : r);
        s.sumLeft += l;
        s.sumRight += r;
    }
    return s;
}

/// Subtracts the offsets in place; returns the peaks of the corrected values (before they
/// are limited to the sample range, so a correction beyond full scale still counts as clip).
template <int (*Get)(const uint8_t*), void (*Put)(uint8_t*, int), int Width>
Sums Correct(uint8_t* block, int samples, bool mono, int offsetLeft, int offsetRight) {
    Sums s;
    if (mono) {
        for (int i = 0; i < samples; ++i) {
            uint8_t* p = block + i * Width;
            const int v = Get(p) - offsetLeft;
            s.peakLeft = std::max(s.peakLeft, v < 0 ? -v : v);
            Put(p, v);
        }
        s.peakRight = s.peakLeft;
        return s;
    }
    for (int i = 0; i + 1 < samples; i += 2) {
        uint8_t* p = block + i * Width;
        const int l = Get(p) - offsetLeft;
        const int r = Get(p + Width) - offsetRight;
        s.peakLeft = std::max(s.peakLeft, l < 0 ? -l : l);
        s.peakRight = std::max(s.peakRight, r < 0 ? -r : r);
        Put(p, l);
        Put(p + Width, r);
    }
    return s;
}

void CopyText(char (&out)[24], const std::string& text) {
    std::snprintf(out, sizeof out, "%s", text.c_str());
}

}  // namespace

PreprocessThread::PreprocessThread(PipelineState& state, const RecSettings& settings, DcFilter& dcFilter)
    : state_(state), settings_(settings), dc_(dcFilter) {}

PreprocessThread::~PreprocessThread() {
    Quit();
}

void PreprocessThread::Start() {
    if (thread_.joinable()) return;
    state_.preprocQuit.store(false);
    pid_t tid = 0;
    thread_ = ThreadRoles::Instance().StartThread(ThreadRole::Preprocess, "pelmora-preproc", [this] { Run(); }, &tid);
    tid_.store(tid);
}

void PreprocessThread::Quit() {
    if (!thread_.joinable()) return;
    state_.preprocQuit.store(true);
    state_.events.newData0.Set();
    state_.events.procThreadClosed.Wait();
    thread_.join();
}

uint64_t PreprocessThread::ProcessedBlocks() const {
    std::lock_guard<std::mutex> lock(progressMutex_);
    return processed_;
}

bool PreprocessThread::WaitProcessed(uint64_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(progressMutex_);
    return progressChanged_.wait_for(lock, timeout, [&] { return processed_ >= count; });
}

int PreprocessThread::Run() {
    PipelineEvents& ev = state_.events;
    for (;;) {
        ev.newData0.Wait();
        if (state_.preprocQuit.load()) {
            ev.procThreadClosed.Set();
            return 0;
        }
        bool more = false;
        {
            // Busy: the device open is rebuilding the ring, whose old blocks are void anyway.
            std::unique_lock<std::mutex> guard(blockMutex_, std::try_to_lock);
            if (!guard.owns_lock() || !state_.pipelineReady.load()) continue;
            uint8_t* block = state_.receivedRing.Take();
            if (!block) continue;
            // The ring's own block size: it changes only with the ring, under this lock.
            const int bytes = state_.receivedRing.BlockBytes();
            MeasureAndFilter(block, bytes);
            ShowLevelsAndForward(block, bytes);
            more = state_.receivedRing.FinishTake();
        }
        {
            std::lock_guard<std::mutex> lock(progressMutex_);
            ++processed_;
        }
        progressChanged_.notify_all();
        if (more) ev.newData0.Set();
    }
}

void PreprocessThread::MeasureAndFilter(uint8_t* block, int bytes) {
    const int bits = state_.format.captureBits.load(std::memory_order_relaxed);
    const bool mono = state_.format.captureChannels.load(std::memory_order_relaxed) == 1;
    if ((bits != 8 && bits != 16) || bytes <= 0) {
        // Other widths are not measured; the block passes unchanged.
        inputPeakLeft_ = inputPeakRight_ = processedPeakLeft_ = processedPeakRight_ = 0.0;
        return;
    }
    const int samples = bytes / (bits / 8);
    const double fullScale = bits == 8 ? 128.0 : 32768.0;
    const Sums in = bits == 8 ? Measure<Sample8, 1>(block, samples, mono) : Measure<Sample16, 2>(block, samples, mono);
    inputPeakLeft_ = in.peakLeft / fullScale;
    inputPeakRight_ = in.peakRight / fullScale;

    const int frames = mono ? samples : samples / 2;
    // A true division: with the reciprocal, a constant offset of 10 over 4410 frames
    // averages to 9.999... and its DC would be taken as 9.
    const double avgLeft = frames > 0 ? static_cast<double>(in.sumLeft) / frames : 0.0;
    const double avgRight = frames > 0 ? static_cast<double>(in.sumRight) / frames : 0.0;
    if (state_.firstBufferPending.exchange(false))
        dc_.Initialise(avgLeft, avgRight);  // corrected below with the offsets still in force
    else
        dc_.Update(avgLeft, avgRight, settings_.dcResponsivity);

    processedPeakLeft_ = inputPeakLeft_;
    processedPeakRight_ = inputPeakRight_;
    if (settings_.removeDc) {
        const int offL = dc_.OffsetLeft();
        const int offR = dc_.OffsetRight();
        const Sums out = bits == 8 ? Correct<Sample8, Put8, 1>(block, samples, mono, offL, offR)
                                   : Correct<Sample16, Put16, 2>(block, samples, mono, offL, offR);
        processedPeakLeft_ = out.peakLeft / fullScale;
        processedPeakRight_ = out.peakRight / fullScale;
    }
    if (inputPeakLeft_ >= 1.0 || inputPeakRight_ >= 1.0 || processedPeakLeft_ >= 1.0 || processedPeakRight_ >= 1.0)
        state_.clipSeen.store(true);
}

void PreprocessThread::ShowLevelsAndForward(const uint8_t* block, int blockBytes) {
    dbRange_ = DbRangeForBits(state_.format.captureBits.load(std::memory_order_relaxed));
    levels_.inputLeft = MeterLevel(inputPeakLeft_, dbRange_);
    levels_.inputRight = MeterLevel(inputPeakRight_, dbRange_);
    levels_.processedLeft = MeterLevel(processedPeakLeft_, dbRange_);
    levels_.processedRight = MeterLevel(processedPeakRight_, dbRange_);
    holds_.Update(levels_, dbRange_);

    if (!state_.isPaused.load() && (state_.isRecording.load() || state_.stopDrainBytes.load() > 0))
        Forward(block, blockBytes);

    Publish();
}

void PreprocessThread::Forward(const uint8_t* block, int blockBytes) {
    PipelineState& s = state_;
    const int64_t bytes = blockBytes;
    if (s.startSkipBytes.load() >= bytes) {
        s.startSkipBytes.fetch_sub(bytes);  // captured before the Record click
        return;
    }
    const bool draining = !s.isRecording.load();  // captured before the Stop click
    if (draining) {
        // Claim the block's share of the drain count before queuing it: the stop waits for
        // the count and the claims to reach 0, and counts as lost whatever it takes back
        // when the wait ends, so each block is either delivered or counted, never both.
        s.drainClaims.fetch_add(1);
        int64_t left = s.stopDrainBytes.load();
        while (left > 0 && !s.stopDrainBytes.compare_exchange_weak(left, left - bytes)) {
        }
        if (left <= 0) {
            s.drainClaims.fetch_sub(1);
            s.drainProgress.Set();
            return;
        }
    }
    bool queued = false;
    if (s.writerQueue.Bytes() < s.writerQueue.Limit()) {
        ListAccessLock lock(s.events.listAccess);
        queued = s.writerQueue.Append(block, static_cast<std::size_t>(bytes));
    }
    if (queued)
        s.events.newData.Set();
    else
        s.lostSeconds.Add(s.bufferSeconds.load(std::memory_order_relaxed));
    // Only now: the stop's flush begins once the claims are settled, and must find the block.
    if (draining) {
        s.drainClaims.fetch_sub(1);
        s.drainProgress.Set();
    }
}

void PreprocessThread::Publish() {
    MeterSnapshot m;
    m.block = ++blockNumber_;
    m.inputPeakLeft = inputPeakLeft_;
    m.inputPeakRight = inputPeakRight_;
    m.processedPeakLeft = processedPeakLeft_;
    m.processedPeakRight = processedPeakRight_;
    m.inputLevelLeft = levels_.inputLeft;
    m.inputLevelRight = levels_.inputRight;
    m.processedLevelLeft = levels_.processedLeft;
    m.processedLevelRight = levels_.processedRight;
    m.inputHoldLeft = holds_.Left(PeakHolds::kInput);
    m.inputHoldRight = holds_.Right(PeakHolds::kInput);
    m.processedHoldLeft = holds_.Left(PeakHolds::kProcessed);
    m.processedHoldRight = holds_.Right(PeakHolds::kProcessed);
    m.dbRange = dbRange_;
    m.dcEstimateLeft = dc_.EstimateLeft();
    m.dcEstimateRight = dc_.EstimateRight();
    m.dcOffsetLeft = dc_.OffsetLeft();
    m.dcOffsetRight = dc_.OffsetRight();
    CopyText(m.inputText, holds_.Text(PeakHolds::kInput));
    CopyText(m.processedText, holds_.Text(PeakHolds::kProcessed));
    snapshot_.Store(m);
    if (hook_) hook_->OnMeterBlock(m);
}

}  // namespace pelmora
