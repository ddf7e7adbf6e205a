// SPDX-License-Identifier: GPL-3.0-or-later
// The DC filter dialog's rules and its profile graphs, without a window.

#include <gtest/gtest.h>

#include "monitor/DcFilterDlgModel.h"
#include "support/TuningFakes.h"

namespace pelmora {
namespace {

using D = DcFilterDlgModel;
using test::Press;
using test::Slide;

TEST(DcFilterDialog, DisplayRangeSpansTwelveRecordsPerStepAndShowsItsSeconds) {
    test::FakeTuningHost host;
    host.buffersPerSecond = 10;
    test::FakeControls c;
    D dialog(host);
    dialog.Attach(c);
    dialog.OnInitDialog();
    EXPECT_EQ(c.Position(D::kRangeSlider), 100);
    EXPECT_EQ(c.controls[D::kRangeSlider].minimum, 1);
    DcProfile p = dialog.DrawDcProfile(400, 80);
    EXPECT_EQ(p.records, 1200);
    EXPECT_EQ(p.left.localAverage.size(), 1200u);
    EXPECT_EQ(c.Text(D::kRangeLabel), "120 sec");

    Slide(c, dialog, D::kRangeSlider, 1);
    EXPECT_FALSE(c.Enabled(D::kApply)) << "the display range stores nothing";
    p = dialog.DrawDcProfile(400, 80);
    EXPECT_EQ(p.records, 12);
    EXPECT_EQ(c.Text(D::kRangeLabel), "1 sec");
    // Newest at the right edge, the oldest one step short of the left.
    EXPECT_EQ(p.right.resultingDc.front().x, 399);
    EXPECT_EQ(p.right.resultingDc.back().x, 399 - 399 * 11 / 12);
}

TEST(DcFilterDialog, ConstantInputCentresBothLinesOnAScaleFiveEitherSide) {
    test::FakeTuningHost host;
    for (DcRecord& r : host.history) r = {100, 100, 100, 100};
    test::FakeControls c;
    D dialog(host);
    dialog.Attach(c);
    dialog.OnInitDialog();
    const DcProfile p = dialog.DrawDcProfile(300, 60);
    EXPECT_EQ(p.left.top, 105);
    EXPECT_EQ(p.left.bottom, 95);
    EXPECT_EQ(p.right.top, 105);
    EXPECT_EQ(c.Text(D::kLeftTop), "105");
    EXPECT_EQ(c.Text(D::kLeftBottom), "95");
    EXPECT_EQ(c.Text(D::kRightTop), "105");
    EXPECT_EQ(c.Text(D::kRightBottom), "95");
    EXPECT_EQ(c.Text(D::kLeftDc), "Left DC  = 100");
    EXPECT_EQ(c.Text(D::kRightDc), "Right DC = 100");
    for (const auto* line : {&p.left.localAverage, &p.left.resultingDc, &p.right.localAverage, &p.right.resultingDc})
        for (const ProfilePoint& pt : *line) ASSERT_EQ(pt.y, 30);
}

TEST(DcFilterDialog, ScaleIsSymmetricAroundTheMeanDcAndLinesUseTheirOwnValues) {
    std::vector<DcRecord> history(24, DcRecord{0, -40, 10, -20});
    history[0] = {50.9, -40, 20, -20};  // newest
    // Left: extremes 50.9 and 0 widened to 55.9 and -5; mean DC (20 + 23 x 10) / 24 = 10.4.
    // Span max(|trunc(45.5)|, |trunc(-15.4)|) = 45: top trunc(55.4) = 55, bottom trunc(-34.6) = -34.
    const DcProfile p = ComputeDcProfile(history, 24, 100, 89);
    EXPECT_EQ(p.left.top, 55);
    EXPECT_EQ(p.left.bottom, -34);
    // The black line truncates the local average (50), the red one does not.
    EXPECT_EQ(p.left.localAverage[0].y, 5);   // 89 x (50 - 55) / -89
    EXPECT_EQ(p.left.resultingDc[0].y, 35);   // 89 x (20 - 55) / -89
    // Right: extremes -40 and -20 widened to -45 and -15; mean -20; span 25.
    EXPECT_EQ(p.right.top, 5);
    EXPECT_EQ(p.right.bottom, -45);
}

TEST(DcFilterDialog, PeriodAndResponsivityWaitForApplyWhichRebuildsTheWeights) {
    test::FakeTuningHost host;
    host.settings.dcAveragePeriod = 7.9;
    host.settings.dcResponsivity = 35;
    test::FakeControls c;
    D dialog(host);
    dialog.Attach(c);
    dialog.OnInitDialog();
    EXPECT_EQ(c.Position(D::kPeriodSlider), 7);
    EXPECT_EQ(c.Text(D::kPeriodLabel), "7 sec");
    EXPECT_EQ(c.Text(D::kResponsivityLabel), "Current = 0.35");
    EXPECT_FALSE(c.Enabled(D::kApply));

    Slide(c, dialog, D::kPeriodSlider, 20);
    Slide(c, dialog, D::kResponsivitySlider, 100);
    EXPECT_EQ(c.Text(D::kPeriodLabel), "20 sec");
    EXPECT_EQ(c.Text(D::kResponsivityLabel), "Current = 1.00");
    EXPECT_TRUE(c.Enabled(D::kApply));
    EXPECT_EQ(host.weightRebuilds, 0);
    EXPECT_EQ(host.settings.dcAveragePeriod, 7.9);

    Press(dialog, D::kApply);
    EXPECT_EQ(host.weightRebuilds, 1);
    EXPECT_EQ(host.rebuiltWith.dcAveragePeriod, 20.0);
    EXPECT_EQ(host.rebuiltWith.dcResponsivity, 100);
    EXPECT_FALSE(c.Enabled(D::kApply));

    // Cancel after an Apply keeps what was applied.
    Slide(c, dialog, D::kPeriodSlider, 3);
    Press(dialog, D::kCancel);
    EXPECT_TRUE(dialog.Closed());
    EXPECT_EQ(host.weightRebuilds, 1);
    EXPECT_EQ(host.settings.dcAveragePeriod, 20.0);
}

}  // namespace
}  // namespace pelmora
