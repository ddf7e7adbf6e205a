#pragma once
// The running DC estimate of the preprocessing thread: a decaying weighted average of the
// per-block local averages, moved toward only as far as the spread of those averages makes
// the move credible. Keeps the last 1200 blocks in dcHistory for the DC filter dialog.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
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

class DcFilter {
public:
    DcFilter();
    DcFilter(const DcFilter&) = delete;
    DcFilter& operator=(const DcFilter&) = delete;

    /// Weights w[i] = exp(-i / (B x T)) for i < trunc(3 x T x B) (at most 1200), from the
    /// averaging period T in seconds and B buffers per second. Start-up and the DC dialog's
    /// apply; the preprocessing thread takes them at its next block, without waiting.
    void BuildWeights(double dcAveragePeriod, double buffersPerSecond);
    /// 1200 all-zero records. Only while the preprocessing thread is not running.
    void ClearHistory();

    /// The history from dcHistoryCursor onward: newest first, 1200 records. Any thread; a
    /// record being rewritten meanwhile may read half old, half new.
    std::vector<DcRecord> History() const;

    // For the preprocessing thread only:
    /// First block after the device opened: every record and the estimates take its averages.
    void Initialise(double avgLeft, double avgRight);
    /// One block's averages: new history record, estimate update, offsets.
    void Update(double avgLeft, double avgRight, int dcResponsivity);
    double EstimateLeft() const { return estimateLeft_; }
    double EstimateRight() const { return estimateRight_; }
    int OffsetLeft() const { return offsetLeft_; }
    int OffsetRight() const { return offsetRight_; }
    int WeightCount() const { return static_cast<int>(weights_.size()); }
    double WeightSum() const { return weightSum_; }

private:
    struct Weights {
        std::vector<double> w;
        double sum = 0.0;
    };
    struct AtomicRecord {
        std::atomic<double> v[4];
    };

    void TakePendingWeights();
    void Write(int index, double a, double b, double c, double d);

    std::array<AtomicRecord, kDcHistorySize> history_;
    std::atomic<int> cursor_{0};  // dcHistoryCursor: the newest record

    // Weights in use (preprocessing thread).
    std::vector<double> weights_;
    double weightSum_ = 0.0;

    // Weights handed over by the main thread.
    std::mutex pendingMutex_;
    Weights pending_;
    std::atomic<bool> pendingReady_{false};

    double estimateLeft_ = 0.0;
    double estimateRight_ = 0.0;
    int offsetLeft_ = 0;
    int offsetRight_ = 0;
};

}  // namespace pelmora
