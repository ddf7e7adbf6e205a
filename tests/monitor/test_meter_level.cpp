// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

// Peak to meter level, the peak holds and their dB texts.

#include <gtest/gtest.h>

#include "monitor/MeterLevel.h"

namespace pelmora {
namespace {

const double k16 = DbRangeForBits(16);
const double k8 = DbRangeForBits(8);

TEST(MeterLevel, MapsDecibelsBelowFullScaleOntoTheBar) {
    // The bar spans from one step of the sample width up to full scale.
    EXPECT_NEAR(MeterLevel(1.0 / 32768, k16), 0.0, 1e-6);
    EXPECT_NEAR(MeterLevel(1.0 / 128, k8), 0.0, 1e-6);
    EXPECT_GT(MeterLevel(2.0 / 32768, k16), 0.06);  // 6 dB of 90
    EXPECT_NEAR(MeterLevel(0.5, k16), 1.0 - 6.0206 / 90.3089987, 1e-5);  // about 0.9333
    EXPECT_EQ(HoldLine(MeterLevel(0.5, k16), k16), "-6.0db");
    EXPECT_DOUBLE_EQ(MeterLevel(1.0, k8), 1.0);
    EXPECT_EQ(HoldLine(1.0, k8), "0.0db");
    EXPECT_DOUBLE_EQ(MeterLevel(1.5, k16), 1.0);
    EXPECT_DOUBLE_EQ(MeterLevel(0.0, k16), 0.0);
    EXPECT_DOUBLE_EQ(MeterLevel(-0.1, k16), 0.0);
    EXPECT_DOUBLE_EQ(MeterLevel(std::pow(10.0, -91.0 / 20.0), k16), 0.0);  // below the range
    EXPECT_EQ(HoldLine(0.0, k16), "-inf");
    EXPECT_EQ(HoldLine(-1.0, k16), "-inf");
}

TEST(PeakHolds, RiseOnlyRewriteTheirMeterAndClearToMinusOne) {
    PeakHolds holds;
    EXPECT_EQ(holds.Left(PeakHolds::kInput), -1.0);
    EXPECT_EQ(holds.Text(PeakHolds::kInput), "-inf\n-inf");

    MeterLevels levels;
    levels.inputLeft = MeterLevel(0.5, k16);
    levels.inputRight = 0.0;  // silence: the hold rises from -1 to 0 and reads -inf
    levels.processedLeft = 0.0;
    levels.processedRight = 1.0;
    EXPECT_EQ(holds.Update(levels, k16), 3);
    EXPECT_EQ(holds.Text(PeakHolds::kInput), "-6.0db\n-inf");
    EXPECT_EQ(holds.Text(PeakHolds::kProcessed), "-inf\n0.0db");

    // Lower levels leave holds and texts alone.
    MeterLevels lower;
    EXPECT_EQ(holds.Update(lower, k16), 0);
    EXPECT_DOUBLE_EQ(holds.Left(PeakHolds::kInput), MeterLevel(0.5, k16));

    // Clearing one meter leaves the other.
    holds.Clear(PeakHolds::kInput);
    EXPECT_EQ(holds.Left(PeakHolds::kInput), -1.0);
    EXPECT_EQ(holds.Right(PeakHolds::kProcessed), 1.0);
    EXPECT_EQ(holds.Update(lower, k16), 1 << PeakHolds::kInput);
    EXPECT_EQ(holds.Text(PeakHolds::kInput), "-inf\n-inf");

    // Mono: both lines the same.
    MeterLevels mono;
    mono.inputLeft = mono.inputRight = MeterLevel(0.25, k16);
    holds.ClearAll();
    holds.Update(mono, k16);
    EXPECT_EQ(holds.Text(PeakHolds::kInput), "-12.0db\n-12.0db");
}

}  // namespace
}  // namespace pelmora
