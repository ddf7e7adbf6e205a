// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The running DC estimate of the preprocessing thread: a decaying weighted average of the
// per-block local averages, moved toward only as far as the spread of those averages makes
// the move credible. Keeps the last 1200 blocks in dcHistory for the DC filter dialog.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace pelmora {

/// Local average left and right of one block, and the DC then in force (dcOffsetLeft/Right).
struct DcRecord {
    double localLeft = 0.0;
    double localRight = 0.0;
    double dcLeft = 0.0;
    double dcRight = 0.0;
};

constexpr int kDcHistorySize = 1200;

/// A set of weights of the decaying average, newest first, and their sum.
struct DcWeights {
    std::vector<double> w;
    double sum = 0.0;
};

/// w[i] = exp(-i / T / B) for i < trunc(B x T x 3) (at most the 1200 records of the history),
/// from the averaging period T in seconds and B buffers per second; sum from 0.
DcWeights MakeDcWeights(double dcAveragePeriod, double buffersPerSecond);

class DcFilter {
public:
    DcFilter();
    ~DcFilter();
    DcFilter(const DcFilter&) = delete;
    DcFilter& operator=(const DcFilter&) = delete;

    /// MakeDcWeights(T, B), published in one step: the preprocessing thread takes the whole
    /// set at its next block without waiting, and frees the set it walked before. Start-up,
    /// the DC dialog's apply and a loaded preset; main thread.
    void BuildWeights(double dcAveragePeriod, double buffersPerSecond);
    /// Number of weights of the set built last (main thread).
    int BuiltWeightCount() const { return builtCount_.load(std::memory_order_relaxed); }
    /// 1200 all-zero records. Only while the preprocessing thread is not running.
    void ClearHistory();

    /// The history from dcHistoryCursor onward: newest first, 1200 records. Any thread; a
    /// record being rewritten meanwhile may read half old, half new.
    std::vector<DcRecord> History() const;

    // For the preprocessing thread only:
    /// First block after the device opened: every record and the estimates take its averages.
    void Initialise(double avgLeft, double avgRight);
    /// One block's averages: estimate update, offsets, and the new history record, which
    /// becomes the newest only once it is complete.
    void Update(double avgLeft, double avgRight, int dcResponsivity);
    double EstimateLeft() const { return estimateLeft_; }
    double EstimateRight() const { return estimateRight_; }
    int OffsetLeft() const { return offsetLeft_; }
    int OffsetRight() const { return offsetRight_; }
    int WeightCount() const { return weights_ ? static_cast<int>(weights_->w.size()) : 0; }
    double WeightSum() const { return weights_ ? weights_->sum : 0.0; }

private:
    struct AtomicRecord {
        std::atomic<double> v[4];
    };

    void TakePendingWeights();
    void Write(int index, double a, double b, double c, double d);

    std::array<AtomicRecord, kDcHistorySize> history_;
    std::atomic<int> cursor_{0};  // dcHistoryCursor: the newest record

    // Weights in use (preprocessing thread).
    std::unique_ptr<DcWeights> weights_;

    // Weights handed over by the main thread and not taken yet: whoever exchanges a set out
    // of this slot owns it.
    std::atomic<DcWeights*> pending_{nullptr};
    std::atomic<int> builtCount_{0};

    double estimateLeft_ = 0.0;
    double estimateRight_ = 0.0;
    int offsetLeft_ = 0;
    int offsetRight_ = 0;
};

}  // namespace pelmora
