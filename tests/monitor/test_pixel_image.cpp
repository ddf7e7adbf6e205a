// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "monitor/PixelImage.h"

using namespace pelmora;

TEST(PixelImage, DrawingClipsToTheImage) {
    PixelImage img(4, 3, 0);
    img.FillRect(-5, -5, 2, 2, 1);      // only the top-left 2 × 2 lands
    img.HLine(3, 10, 2, 2);             // one pixel of row 2
    img.VLine(-1, 0, 3, 3);             // wholly outside: nothing
    img.FillRect(3, 0, 1, 3, 4);        // empty rectangle: nothing
    const Rgb expected[3][4] = {{1, 1, 0, 0}, {1, 1, 0, 0}, {0, 0, 0, 2}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(img.At(x, y), expected[y][x]) << x << "," << y;
    EXPECT_EQ(img.At(4, 0), 0u);
}

TEST(PixelImage, CopyClipsAgainstSourceAndDestination) {
    PixelImage src(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) src.Set(x, y, static_cast<Rgb>(10 * y + x + 1));
    PixelImage dst(3, 3, 0);
    // Source starts off its left edge and the destination runs past its bottom.
    dst.CopyFrom(src, -1, 0, 3, 5, 0, 1);
    EXPECT_EQ(dst.At(0, 0), 0u);
    EXPECT_EQ(dst.At(1, 1), 1u);   // src (0,0) lands one right of the requested origin
    EXPECT_EQ(dst.At(2, 1), 2u);
    EXPECT_EQ(dst.At(1, 2), 11u);
    EXPECT_EQ(dst.At(0, 1), 0u);   // the part left of the source stays untouched
}

TEST(PixelImage, FrameRectOutlinesTheInside) {
    PixelImage img(4, 4, 0);
    img.FrameRect(0, 0, 4, 4, 7);
    EXPECT_EQ(img.At(3, 3), 7u);
    EXPECT_EQ(img.At(0, 3), 7u);
    EXPECT_EQ(img.At(1, 1), 0u);
    EXPECT_EQ(img.At(2, 2), 0u);
}
