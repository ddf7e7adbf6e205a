// SPDX-License-Identifier: GPL-3.0-or-later
// Hardware values to slider positions and back.

#include <gtest/gtest.h>

#include "input/MixerRules.h"

namespace pelmora {
namespace {

TEST(MixerReading, LouderLeftShowsLeftAndANegativeBalance) {
    const SliderReading r = ReadSliders(40000, 20000, 0, 65535);
    EXPECT_EQ(r.volumePosition, 61);  // 40000 x 100 / 65535
    EXPECT_DOUBLE_EQ(r.balance, -0.5);
    EXPECT_EQ(r.balancePosition, -50);
}

TEST(MixerReading, LouderRightGivesAPositiveBalanceMeasuredFromTheMinimum) {
    const SliderReading r = ReadSliders(300, 700, 100, 1100);
    EXPECT_EQ(r.volumePosition, 60);  // (700 - 100) x 100 / 1000
    EXPECT_DOUBLE_EQ(r.balance, 400.0 / 600.0);
    EXPECT_EQ(r.balancePosition, 66);  // truncated, not rounded
}

TEST(MixerReading, EqualValuesCentreTheBalanceUnlessBothSitAtTheMinimumAndItIsKept) {
    EXPECT_EQ(ReadSliders(500, 500, 0, 1000).balancePosition, 0);
    EXPECT_EQ(ReadSliders(500, 500, 0, 1000).volumePosition, 50);
    EXPECT_EQ(ReadSliders(0, 0, 0, 1000).balancePosition, 0);
    const SliderReading kept = ReadSliders(0, 0, 0, 1000, true, -0.37);
    EXPECT_DOUBLE_EQ(kept.balance, -0.37);
    EXPECT_EQ(kept.balancePosition, -37);
    EXPECT_EQ(kept.volumePosition, 0);
    // Kept only at the minimum.
    EXPECT_EQ(ReadSliders(10, 10, 0, 1000, true, -0.37).balancePosition, 0);
}

TEST(MixerReading, BoundsThatCannotBeDividedByOrValuesOutsideThemGiveSanePositions) {
    EXPECT_EQ(ReadSliders(5, 5, 5, 5).volumePosition, 0);
    EXPECT_EQ(ReadSliders(3, 3, 5, 100).volumePosition, 0);
    EXPECT_EQ(ReadSliders(200, 200, 0, 100).volumePosition, 100);
}

TEST(MixerWriting, VolumeAndBalanceGiveTheQuieterChannelPulledTowardsTheMinimum) {
    const ChannelValues c = WriteSliders(61, -50, 0, 65535);
    EXPECT_EQ(c.left, 39976u);
    EXPECT_EQ(c.right, 19988u);
    EXPECT_FALSE(c.balanceSnapped);

    const ChannelValues right = WriteSliders(50, 50, 100, 1100);  // g = 600
    EXPECT_EQ(right.right, 600u);
    EXPECT_EQ(right.left, 350u);  // 600 - 0.5 x (600 - 100)

    const ChannelValues silenced = WriteSliders(80, -100, 100, 1100);
    EXPECT_EQ(silenced.left, 900u);
    EXPECT_EQ(silenced.right, 100u);
    EXPECT_EQ(WriteSliders(80, 100, 100, 1100).left, 100u);
}

TEST(MixerWriting, ABalanceWithinTenOfTheCentreSnapsToIt) {
    for (int b : {-10, -1, 1, 10}) {
        const ChannelValues c = WriteSliders(61, b, 0, 65535);
        EXPECT_TRUE(c.balanceSnapped) << b;
        EXPECT_EQ(c.left, 39976u) << b;
        EXPECT_EQ(c.right, 39976u) << b;
        EXPECT_EQ(c.balance, 0.0) << b;
    }
    EXPECT_FALSE(WriteSliders(61, 0, 0, 65535).balanceSnapped);
    const ChannelValues outside = WriteSliders(61, -11, 0, 65535);
    EXPECT_FALSE(outside.balanceSnapped);
    EXPECT_LT(outside.right, outside.left);
}

TEST(MixerWriting, StepsAreTruncatedAtEveryStage) {
    // 255 x 33 / 100 = 84.15 -> 84; then 84 x (1 - 0.33) = 56.28 -> 56.
    const ChannelValues c = WriteSliders(33, -33, 0, 255);
    EXPECT_EQ(c.left, 84u);
    EXPECT_EQ(c.right, 56u);
    EXPECT_EQ(WriteSliders(100, 0, 0, 65536).left, 65536u);
    EXPECT_EQ(WriteSliders(0, 0, 7, 65536).left, 7u);
}

}  // namespace
}  // namespace pelmora
