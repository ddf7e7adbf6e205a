// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/DcFilter.h"

#include <cmath>

namespace pelmora {

DcWeights MakeDcWeights(double dcAveragePeriod, double buffersPerSecond) {
    DcWeights built;
    double count = buffersPerSecond * dcAveragePeriod * 3.0;
    if (!(count > 0.0)) count = 0.0;
    if (count > kDcHistorySize) count = kDcHistorySize;
    const int m = static_cast<int>(count);
    built.w.resize(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) {
        built.w[static_cast<std::size_t>(i)] = std::exp(-i / dcAveragePeriod / buffersPerSecond);
        built.sum += built.w[static_cast<std::size_t>(i)];
    }
    return built;
}

DcFilter::DcFilter() {
    ClearHistory();
}

DcFilter::~DcFilter() {
    delete pending_.exchange(nullptr);
}

void DcFilter::BuildWeights(double dcAveragePeriod, double buffersPerSecond) {
    auto built = std::make_unique<DcWeights>(MakeDcWeights(dcAveragePeriod, buffersPerSecond));
    builtCount_.store(static_cast<int>(built->w.size()), std::memory_order_relaxed);
    // A set still waiting was never walked: it goes at once.
    delete pending_.exchange(built.release(), std::memory_order_acq_rel);
}

void DcFilter::TakePendingWeights() {
    if (pending_.load(std::memory_order_relaxed) == nullptr) return;
    if (DcWeights* fresh = pending_.exchange(nullptr, std::memory_order_acq_rel)) weights_.reset(fresh);
}

void DcFilter::Write(int index, double a, double b, double c, double d) {
    AtomicRecord& r = history_[static_cast<std::size_t>(index)];
    r.v[0].store(a, std::memory_order_relaxed);
    r.v[1].store(b, std::memory_order_relaxed);
    r.v[2].store(c, std::memory_order_relaxed);
    r.v[3].store(d, std::memory_order_relaxed);
}

void DcFilter::ClearHistory() {
    for (int i = 0; i < kDcHistorySize; ++i) Write(i, 0.0, 0.0, 0.0, 0.0);
    cursor_.store(0, std::memory_order_relaxed);
}

std::vector<DcRecord> DcFilter::History() const {
    std::vector<DcRecord> out(kDcHistorySize);
    // Acquire: the newest record is complete before its index is published.
    int index = cursor_.load(std::memory_order_acquire);
    for (DcRecord& rec : out) {
        const AtomicRecord& r = history_[static_cast<std::size_t>(index)];
        rec = {r.v[0].load(std::memory_order_relaxed), r.v[1].load(std::memory_order_relaxed),
               r.v[2].load(std::memory_order_relaxed), r.v[3].load(std::memory_order_relaxed)};
        index = index + 1 == kDcHistorySize ? 0 : index + 1;
    }
    return out;
}

void DcFilter::Initialise(double avgLeft, double avgRight) {
    TakePendingWeights();
    for (int i = 0; i < kDcHistorySize; ++i) Write(i, avgLeft, avgRight, avgLeft, avgRight);
    cursor_.store(0, std::memory_order_release);
    estimateLeft_ = avgLeft;
    estimateRight_ = avgRight;
}

void DcFilter::Update(double avgLeft, double avgRight, int dcResponsivity) {
    TakePendingWeights();
    // The new record goes into the slot before the newest, which holds the oldest record. It
    // is published only once it holds its DC values too: until then the walk takes this
    // block's averages directly and the published records after them.
    const int published = cursor_.load(std::memory_order_relaxed);
    const int newest = published == 0 ? kDcHistorySize - 1 : published - 1;

    const int m = WeightCount();
    const double weightSum = WeightSum();
    if (m > 0 && weightSum > 0.0) {
        double sumL = 0.0, sumR = 0.0;
        double minL = 40000.0, maxL = -40000.0, minR = 40000.0, maxR = -40000.0;
        int index = published;
        for (int i = 0; i < m; ++i) {
            double l = avgLeft, rr = avgRight;
            if (i > 0) {
                const AtomicRecord& r = history_[static_cast<std::size_t>(index)];
                l = r.v[0].load(std::memory_order_relaxed);
                rr = r.v[1].load(std::memory_order_relaxed);
                index = index + 1 == kDcHistorySize ? 0 : index + 1;
            }
            const double w = weights_->w[static_cast<std::size_t>(i)];
            sumL += w * (l - estimateLeft_);
            sumR += w * (rr - estimateRight_);
            if (l < minL) minL = l;
            if (l > maxL) maxL = l;
            if (rr < minR) minR = rr;
            if (rr > maxR) maxR = rr;
        }
        const double k = -std::log(0.009999999999 * dcResponsivity + 1e-10);
        const double rootM = std::sqrt(static_cast<double>(m));
        const auto follow = [&](double& estimate, double deviation, double lo, double hi) {
            // Weighted mean minus estimate, summed as deviations so that a history equal to
            // the estimate gives exactly 0 instead of rounding noise that truncation would
            // turn into an offset one unit short.
            const double d = deviation / weightSum;
            const double z = k * (hi - lo) / rootM / std::fabs(d);
            // z not below 20, or not a number (d = 0): the estimate stays.
            if (z < 20.0) estimate += std::exp(-z) * d;
        };
        follow(estimateLeft_, sumL, minL, maxL);
        follow(estimateRight_, sumR, minR, maxR);
    }
    offsetLeft_ = static_cast<int>(estimateLeft_);
    offsetRight_ = static_cast<int>(estimateRight_);
    Write(newest, avgLeft, avgRight, offsetLeft_, offsetRight_);
    cursor_.store(newest, std::memory_order_release);
}

}  // namespace pelmora
