// SPDX-License-Identifier: GPL-3.0-or-later
// Placing controls at their natural sizes: growth about the middle, narrowed labels, rows
// that move down under a control that grew, frames that follow.

#include <gtest/gtest.h>

#include "settings/LayoutFit.h"

namespace pelmora {
namespace {

FitItem Control(int x, int y, int w, int h, int naturalHeight, int naturalWidth = 0) {
    FitItem item;
    item.place = {x, y, w, h};
    item.naturalHeight = naturalHeight;
    item.naturalWidth = naturalWidth;
    return item;
}

FitItem Group(int x, int y, int w, int h) {
    FitItem item;
    item.place = {x, y, w, h};
    item.group = true;
    return item;
}

TEST(LayoutFit, TallerControlsGrowAboutTheirMiddleAndPushWhatLiesBelow) {
    // Two check boxes stacked 18 pixels apart that need 20 each, a box beside them, a frame.
    std::vector<FitItem> items = {Group(0, 0, 200, 60), Control(10, 10, 80, 18, 20), Control(10, 28, 80, 18, 20),
                                  Control(120, 10, 60, 18, 18), Control(10, 70, 80, 18, 14)};
    const std::vector<FitRect> r = FitLayout(items, 4, 1000, 1000);
    EXPECT_EQ(r[1].y, 9);  // one pixel up, one down
    EXPECT_EQ(r[1].h, 20);
    EXPECT_EQ(r[2].y, r[1].Bottom());  // moved down just enough
    EXPECT_EQ(r[3].y, 10);  // beside, not below: stays
    EXPECT_EQ(r[4].y, 70 + (r[2].y - 27));  // everything lower follows
    EXPECT_EQ(r[4].h, 18);  // never smaller than its place
    EXPECT_EQ(r[0].y, 0);
    EXPECT_EQ(r[0].Bottom(), 60 + (r[2].y - 27));  // its bottom moves with the rows inside
    for (std::size_t i = 1; i < r.size(); ++i)
        for (std::size_t j = i + 1; j < r.size(); ++j) {
            const bool apart = r[i].Right() <= r[j].x || r[j].Right() <= r[i].x || r[i].Bottom() <= r[j].y ||
                               r[j].Bottom() <= r[i].y;
            EXPECT_TRUE(apart) << i << " and " << j;
        }
}

TEST(LayoutFit, LabelsAndWidenedControlsStopAtTheirNeighbour) {
    FitItem label = Control(0, 0, 60, 15, 15, 40);
    label.label = true;
    FitItem slider = Control(54, 0, 100, 15, 0);
    FitItem longLabel = Control(0, 30, 60, 15, 15, 70);  // its text needs more than the room
    longLabel.label = true;
    FitItem besideLong = Control(54, 30, 50, 15, 0);
    FitItem check = Control(0, 60, 50, 15, 15, 90);
    check.growWidth = true;
    FitItem besideCheck = Control(70, 60, 50, 15, 0);
    const std::vector<FitRect> r = FitLayout({label, slider, longLabel, besideLong, check, besideCheck}, 4, 1000, 1000);
    EXPECT_EQ(r[0].w, 54);
    EXPECT_EQ(r[2].w, 60);  // kept: cutting it would cut its text
    EXPECT_EQ(r[4].w, 70);  // grown up to its neighbour only
    EXPECT_EQ(r[5].x, 70);
}

TEST(LayoutFit, ControlsSideBySideNeverPushEachOther) {
    // A tall note beside a box lower down: laid out side by side, not stacked.
    FitItem note = Control(100, 0, 80, 50, 50);
    FitItem box = Control(20, 30, 90, 18, 30);
    const std::vector<FitRect> r = FitLayout({note, box}, 4, 1000, 1000);
    EXPECT_EQ(r[1].y, 30 - 6);
}

TEST(LayoutFit, FramesWidenAroundGrownControlsWithinTheRoom) {
    // Two frames side by side; a check box in the left one needs more than its frame.
    FitItem left = Group(0, 0, 100, 40);
    FitItem right = Group(110, 0, 60, 40);
    FitItem check = Control(10, 10, 80, 15, 15, 110);
    check.growWidth = true;
    FitItem inRight = Control(120, 10, 40, 15, 15);
    std::vector<FitRect> r = FitLayout({left, right, check, inRight}, 4, 200, 1000);
    EXPECT_EQ(r[0].Right(), 124);  // around the check box and its padding
    EXPECT_EQ(r[1].x, 134);         // the neighbour moved over with its contents
    EXPECT_EQ(r[3].x, 144);
    EXPECT_EQ(r[2].w, 110);
    // Without the room: the frame widens only as far as it can, the control stays inside.
    r = FitLayout({left, right, check, inRight}, 4, 180, 1000);
    EXPECT_EQ(r[1].Right(), 180);
    EXPECT_LE(r[2].Right(), r[0].Right() - 4);
    EXPECT_GE(r[2].w, 80);
}

TEST(LayoutFit, AFrameAtTheBottomEdgeGivesUpItsPaddingFirst) {
    const std::vector<FitItem> items = {Group(0, 0, 100, 40), Control(10, 20, 80, 16, 24)};
    EXPECT_EQ(FitLayout(items, 4, 1000, 1000)[0].Bottom(), 44);
    EXPECT_EQ(FitLayout(items, 4, 1000, 41)[0].Bottom(), 41);
    EXPECT_EQ(FitLayout(items, 4, 1000, 30)[0].Bottom(), 41);  // never above its lowest control
}

}  // namespace
}  // namespace pelmora
