// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Level arithmetic of the input meters: peak to meter level, and the four peak holds with
// their dB texts. No drawing here.

#include <array>
#include <atomic>
#include <string>

namespace pelmora {

/// Dynamic range in dB of a capture width: 8-bit or narrower, otherwise 16-bit's.
double DbRangeForBits(int captureBits);

/// 0 when peak <= 0; else 1 + 20 * log10(peak) / dbRange, limited to 0..1.
double MeterLevel(double peak, double dbRange);

/// One text line of a hold: "%.1fdb" of (hold - 1) * dbRange (never above 0) when the hold
/// is above 0, "-inf" otherwise.
std::string HoldLine(double hold, double dbRange);

/// Two lines, left then right.
std::string HoldText(double leftHold, double rightHold, double dbRange);

/// The four levels of one block, in meter units 0..1.
struct MeterLevels {
    double inputLeft = 0.0;
    double inputRight = 0.0;
    double processedLeft = 0.0;
    double processedRight = 0.0;
};

/// The four peak holds. Only the preprocessing thread updates; any thread may clear
/// (a racing update may survive a clear; the next clear removes it). -1 = cleared.
class PeakHolds {
public:
    enum Meter { kInput = 0, kProcessed = 1 };

    /// Raises the holds in the order initial left, preprocessed left, initial right,
    /// preprocessed right; a meter's text is rewritten when one of its holds rose.
    /// Returns a bit per meter whose text was rewritten (1 << kInput, 1 << kProcessed).
    int Update(const MeterLevels& levels, double dbRange);

    void Clear(Meter meter);
    void ClearAll();

    double Left(Meter meter) const { return holds_[Index(meter, 0)].load(std::memory_order_relaxed); }
    double Right(Meter meter) const { return holds_[Index(meter, 1)].load(std::memory_order_relaxed); }

    // For the updating thread only: the text last written for a meter.
    const std::string& Text(Meter meter) const { return texts_[meter]; }

private:
    static int Index(Meter meter, int side) { return meter * 2 + side; }
    bool Raise(Meter meter, int side, double level);

    std::array<std::atomic<double>, 4> holds_{{{-1.0}, {-1.0}, {-1.0}, {-1.0}}};
    std::array<std::string, 2> texts_{{"-inf\n-inf", "-inf\n-inf"}};
};

}  // namespace pelmora
