// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "monitor/MeterDrawer.h"
#include "monitor/MeterDrawing.h"

using namespace pelmora;

namespace {

constexpr double kRange16 = 90.3089987;
constexpr int kW = 200;
constexpr int kH = 20;  // bar halves: rows [0, 10) and [9, 19)

class MeterComposition : public ::testing::Test {
protected:
    void SetUp() override { PaintMeterGradients(kW, kH, kRange16, g_); }

    // Counts the columns of row y that match the bright gradient.
    int LitColumns(const PixelImage& img, int y) const {
        int lit = 0;
        for (int x = 0; x < kW; ++x) lit += img.At(x, y) == g_.bright.At(x, y) ? 1 : 0;
        return lit;
    }

    MeterGradients g_;
};

}  // namespace

TEST(MeterGradients, ColourScaleAndStripes) {
    MeterGradients g;
    PaintMeterGradients(kW, kH, kRange16, g);
    const int peakRow = (kH - 1) / 4;  // top of the first hump
    // Full scale (rightmost column): red, hardly any green; low levels: green, no red.
    const Rgb top = g.bright.At(kW - 1, peakRow);
    EXPECT_GT(RedOf(top), 240);
    EXPECT_LT(GreenOf(top), 10);
    const Rgb low = g.bright.At(2, peakRow);  // a full-strength stripe
    EXPECT_EQ(RedOf(low), 0);
    EXPECT_GT(GreenOf(low), 80);
    EXPECT_EQ(BlueOf(low), 0);
    // Columns W-3 and W-4 are drawn at half strength, W-5 at full again.
    EXPECT_NEAR(RedOf(g.bright.At(kW - 3, peakRow)), RedOf(g.bright.At(kW - 2, peakRow)) / 2, 2);
    EXPECT_GT(RedOf(g.bright.At(kW - 5, peakRow)), RedOf(g.bright.At(kW - 4, peakRow)));
    // The rows between the humps are black; the dim image is darker than the bright one.
    EXPECT_EQ(g.bright.At(kW - 1, 0), 0u);
    EXPECT_LT(RedOf(g.dim.At(kW - 1, peakRow)), RedOf(top));
    EXPECT_GT(RedOf(g.dim.At(kW - 1, peakRow)), 0);
}

TEST_F(MeterComposition, LevelsLightTheirShareOfEachBar) {
    PixelImage out;
    ComposeMeter(g_, MeterReading{0.5, 0.25, -1.0, -1.0}, out);
    ASSERT_EQ(out.Width(), kW);
    ASSERT_EQ(out.Height(), kH);
    const int peakRow = (kH - 1) / 4;
    EXPECT_EQ(LitColumns(out, peakRow), kW / 2);
    EXPECT_EQ(out.At(kW / 2 - 1, peakRow), g_.bright.At(kW / 2 - 1, peakRow));
    EXPECT_EQ(out.At(kW / 2, peakRow), g_.dim.At(kW / 2, peakRow));
    // The bottom bar is the same top-left strip of the bright image, placed at H - h - 1.
    const int bottomTop = kH - kH / 2 - 1;
    EXPECT_EQ(out.At(kW / 4 - 1, bottomTop + peakRow), g_.bright.At(kW / 4 - 1, peakRow));
    EXPECT_EQ(out.At(kW / 4, bottomTop + peakRow), g_.dim.At(kW / 4, bottomTop + peakRow));
}

TEST_F(MeterComposition, EmptyAndOverflowingLevels) {
    PixelImage out;
    ComposeMeter(g_, MeterReading{0.0, 2.0, -1.0, -1.0}, out);
    // Rows above the bottom bar, which starts at H - h - 1 and so shares row h - 1.
    for (int y = 0; y < kH - kH / 2 - 1; ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(out.At(x, y), g_.dim.At(x, y));
    // A level above full scale lights the whole bar and no more.
    EXPECT_EQ(out.At(kW - 1, kH - kH / 2 - 1 + 4), g_.bright.At(kW - 1, 4));
}

TEST_F(MeterComposition, HoldMarks) {
    PixelImage out;
    ComposeMeter(g_, MeterReading{0.1, 0.1, 0.75, 1.0}, out);
    // White mark, two pixels ending at trunc(W * hold - 1), over the top half only.
    const int x = static_cast<int>(kW * 0.75 - 1);
    for (int y = 0; y < kH / 2; ++y) {
        EXPECT_EQ(out.At(x, y), kHoldColour) << y;
        EXPECT_EQ(out.At(x - 1, y), kHoldColour) << y;
    }
    EXPECT_NE(out.At(x + 1, 2), kHoldColour);
    EXPECT_NE(out.At(x - 2, 2), kHoldColour);
    EXPECT_NE(out.At(x, kH / 2), kHoldColour);
    // Full scale: red, at the right edge, over rows H - h .. H - 1.
    for (int y = kH - kH / 2; y < kH; ++y) {
        EXPECT_EQ(out.At(kW - 1, y), kFullScaleHoldColour) << y;
        EXPECT_EQ(out.At(kW - 2, y), kFullScaleHoldColour) << y;
    }
}

TEST_F(MeterComposition, ClearedOrZeroHoldShowsNothing) {
    PixelImage withHolds, without;
    ComposeMeter(g_, MeterReading{0.3, 0.3, 0.0, -1.0}, withHolds);
    ComposeMeter(g_, MeterReading{0.3, 0.3, -1.0, -1.0}, without);
    EXPECT_EQ(withHolds.Pixels(), without.Pixels());
}

TEST(MeterDrawer, PublishesBothMetersAndRepaintsOnRangeChange) {
    int published = 0;
    MeterDrawer drawer(kW, kH, kRange16);
    drawer.SetOnPublished([&published] { ++published; });
    ASSERT_FALSE(drawer.TakeNewest());
    EXPECT_EQ(drawer.Newest().input.At(kW - 1, 4), 0u);  // black until the first block

    drawer.DrawMeters(kRange16, MeterReading{1.0, 1.0, -1, -1}, MeterReading{0.0, 0.0, -1, -1});
    ASSERT_TRUE(drawer.TakeNewest());
    EXPECT_EQ(published, 1);
    MeterGradients g16;
    PaintMeterGradients(kW, kH, kRange16, g16);
    EXPECT_EQ(drawer.Newest().input.At(kW / 2, 4), g16.bright.At(kW / 2, 4));
    EXPECT_EQ(drawer.Newest().processed.At(kW / 2, 4), g16.dim.At(kW / 2, 4));
    EXPECT_FALSE(drawer.TakeNewest());

    // An 8-bit format has a shorter range: the colour scale follows it.
    MeterGradients g8;
    PaintMeterGradients(kW, kH, 42.1441994, g8);
    drawer.DrawMeters(42.1441994, MeterReading{1.0, 1.0, -1, -1}, MeterReading{});
    ASSERT_TRUE(drawer.TakeNewest());
    EXPECT_EQ(drawer.Newest().input.At(kW / 2, 4), g8.bright.At(kW / 2, 4));
    EXPECT_NE(g8.bright.At(kW / 2, 4), g16.bright.At(kW / 2, 4));
}

TEST(MeterDrawer, ASteadyLevelIsPublishedOnceUntilAFrameIsRequested) {
    int published = 0;
    MeterDrawer drawer(kW, kH, kRange16);
    drawer.SetOnPublished([&published] { ++published; });
    const MeterReading steady{0.5, 0.4, 0.6, -1};
    EXPECT_TRUE(drawer.DrawMeters(kRange16, steady, steady));
    ASSERT_TRUE(drawer.TakeNewest());
    const PixelImage first = drawer.Newest().input;

    // Level values that land on the same pixels wake nobody.
    EXPECT_FALSE(drawer.DrawMeters(kRange16, MeterReading{0.5000001, 0.4, 0.6, -1}, steady));
    EXPECT_FALSE(drawer.TakeNewest());
    EXPECT_EQ(published, 1);

    // The window blanked the meters: the same picture must come again to light them.
    drawer.RequestFrame();
    EXPECT_TRUE(drawer.DrawMeters(kRange16, steady, steady));
    ASSERT_TRUE(drawer.TakeNewest());
    EXPECT_EQ(drawer.Newest().input.Pixels(), first.Pixels());
    EXPECT_FALSE(drawer.DrawMeters(kRange16, steady, steady));

    // Any change in either meter is published.
    EXPECT_TRUE(drawer.DrawMeters(kRange16, steady, MeterReading{0.9, 0.4, 0.6, -1}));
    EXPECT_EQ(published, 3);
}
