// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/MeterLevel.h"

#include <cmath>
#include <cstdio>

namespace pelmora {

double DbRangeForBits(int captureBits) {
    return captureBits <= 8 ? 42.1441994 : 90.3089987;
}

double MeterLevel(double peak, double dbRange) {
    if (!(peak > 0.0)) return 0.0;
    double level = 1.0 + 20.0 * std::log10(peak) / dbRange;
    if (level < 0.0) level = 0.0;
    if (level > 1.0) level = 1.0;
    return level;
}

std::string HoldLine(double hold, double dbRange) {
    if (!(hold > 0.0)) return "-inf";
    double db = (hold - 1.0) * dbRange;
    if (db > 0.0) db = 0.0;
    char text[32];
    std::snprintf(text, sizeof text, "%.1fdb", db);
    return text;
}

std::string HoldText(double leftHold, double rightHold, double dbRange) {
    return HoldLine(leftHold, dbRange) + "\n" + HoldLine(rightHold, dbRange);
}

bool PeakHolds::Raise(Meter meter, int side, double level) {
    std::atomic<double>& hold = holds_[Index(meter, side)];
    if (!(level > hold.load(std::memory_order_relaxed))) return false;
    hold.store(level, std::memory_order_relaxed);
    return true;
}

int PeakHolds::Update(const MeterLevels& levels, double dbRange) {
    int rewritten = 0;
    const auto raise = [&](Meter meter, int side, double level) {
        if (!Raise(meter, side, level)) return;
        texts_[meter] = HoldText(Left(meter), Right(meter), dbRange);
        rewritten |= 1 << meter;
    };
    raise(kInput, 0, levels.inputLeft);
    raise(kProcessed, 0, levels.processedLeft);
    raise(kInput, 1, levels.inputRight);
    raise(kProcessed, 1, levels.processedRight);
    return rewritten;
}

void PeakHolds::Clear(Meter meter) {
    holds_[Index(meter, 0)].store(-1.0, std::memory_order_relaxed);
    holds_[Index(meter, 1)].store(-1.0, std::memory_order_relaxed);
}

void PeakHolds::ClearAll() {
    Clear(kInput);
    Clear(kProcessed);
}

}  // namespace pelmora
