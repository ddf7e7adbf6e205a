// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "monitor/CInpane.h"
#include "monitor/CpuGraph.h"

using namespace pelmora;

namespace {

constexpr int kW = 40;  // 10 bars
constexpr int kH = 30;

// Height of the bar in the column at x: cyan pixels counted upwards from row H - 2.
int BarHeight(const PixelImage& img, int x) {
    int h = 0;
    for (int y = kH - 2; y >= 0 && img.At(x, y) == kCpuBarColour; --y) ++h;
    return h;
}

class CpuGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel_.BuildBackground(166, 200, InpaneColours());
        graph_.SetupCpuGraph(kW, kH, panel_);
    }
    void Tick(int32_t sample) {
        graph_.StoreSample(sample);
        graph_.DrawCpuGraph(panel_);
        graph_.AdvanceCursor();
    }
    CInpane panel_;
    CpuGraph graph_;
};

}  // namespace

TEST_F(CpuGraphTest, GridAndEmptyStart) {
    const PixelImage& img = graph_.Image();
    ASSERT_EQ(img.Width(), kW);
    ASSERT_EQ(img.Height(), kH);
    EXPECT_EQ(graph_.Samples().size(), 10u);
    EXPECT_EQ(img.At(kW - 1, 1), kCpuGridColour);      // rightmost vertical line
    EXPECT_EQ(img.At(kW - 5, 1), kCpuGridColour);
    EXPECT_EQ(img.At(kW - 1, kH - 1), kCpuGraphBackground);  // line end point unpainted
    EXPECT_EQ(img.At(1, 8), kCpuGridColour);           // horizontal line at y = 8
    EXPECT_EQ(img.At(kW - 1, 8), kCpuGridColour);      // a vertical line crosses it
    EXPECT_EQ(img.At(kW - 2, 8), kCpuGridColour);
    EXPECT_EQ(img.At(1, 1), kCpuGraphBackground);
    EXPECT_EQ(panel_.Value(PanelValue::CpuLast), "0%");
    EXPECT_EQ(panel_.Value(PanelValue::CpuMaximum), "0%");
}

TEST_F(CpuGraphTest, BarHeights) {
    Tick(1);
    // 29 * 1 / 100 truncates to 0, yet a positive sample shows one pixel, in row H - 2.
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 2), 1);
    EXPECT_EQ(graph_.Image().At(kW - 2, kH - 2), kCpuBarColour);
    EXPECT_NE(graph_.Image().At(kW - 2, kH - 1), kCpuBarColour);
    Tick(100);  // fills its column from the top row down to row H - 2
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 2), kH - 1);
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 6), 1);  // the older sample moved one bar left
    Tick(50);
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 2), 29 * 50 / 100);
    // Each bar is four pixels wide.
    for (int x = kW - 4; x < kW; ++x) EXPECT_EQ(BarHeight(graph_.Image(), x), 14) << x;
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 5), kH - 1);
    Tick(0);
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 2), 0);
    Tick(-1);
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 2), 0);
    EXPECT_EQ(panel_.Value(PanelValue::CpuLast), "0%");  // negative shows as 0
    Tick(250);  // out of range: the column is full, nothing outside it changes
    EXPECT_EQ(BarHeight(graph_.Image(), kW - 2), kH - 1);
}

TEST_F(CpuGraphTest, RingHoldsWidthOverFourSamplesAndMaximumFollowsIt) {
    Tick(90);
    EXPECT_EQ(panel_.Value(PanelValue::CpuLast), "90%");
    EXPECT_EQ(panel_.Value(PanelValue::CpuMaximum), "90%");
    for (int i = 0; i < 9; ++i) Tick(10);
    EXPECT_EQ(panel_.Value(PanelValue::CpuMaximum), "90%");  // still the leftmost bar
    EXPECT_EQ(BarHeight(graph_.Image(), 1), 29 * 90 / 100);
    Tick(20);  // overwrites the 90
    EXPECT_EQ(panel_.Value(PanelValue::CpuLast), "20%");
    EXPECT_EQ(panel_.Value(PanelValue::CpuMaximum), "20%");
    EXPECT_EQ(BarHeight(graph_.Image(), 1), 2);
}

TEST(CpuGraph, NarrowGraphHasNoBarsAndShowsZero) {
    CInpane panel;
    CpuGraph graph;
    graph.SetupCpuGraph(3, 10, panel);
    graph.StoreSample(50);
    graph.DrawCpuGraph(panel);
    graph.AdvanceCursor();
    EXPECT_TRUE(graph.Samples().empty());
    EXPECT_EQ(panel.Value(PanelValue::CpuLast), "0%");
}
