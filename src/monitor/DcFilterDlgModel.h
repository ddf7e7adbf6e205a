// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "DC  filter configuration" dialog: the averaging period and responsivity of
// the DC filter, and the live DC profile of the last seconds for both channels.

#include <vector>

#include "capture/DcFilter.h"
#include "settings/DialogModel.h"

namespace pelmora {

struct ProfilePoint {
    int x = 0;
    int y = 0;
};

/// One channel's graph: its scale and its two lines, newest sound at the right edge.
struct ChannelProfile {
    int top = 0;
    int bottom = 0;
    std::vector<ProfilePoint> localAverage;  // black
    std::vector<ProfilePoint> resultingDc;   // red
};

struct DcProfile {
    int records = 0;  // n: display range x 12
    ChannelProfile left;
    ChannelProfile right;
};

/// The profile of the `records` newest of `history` (newest first) in a graph of width x
/// height pixels.
DcProfile ComputeDcProfile(const std::vector<DcRecord>& history, int records, int width, int height);

class DcFilterDlgModel : public DialogModel {
public:
    enum Id {
        kPeriodSlider = 1088,
        kPeriodLabel = 1093,
        kResponsivitySlider = 1089,
        kResponsivityLabel = 1094,
        kRangeSlider = 1103,
        kRangeLabel = 1096,
        kLeftGraph = 1091,
        kRightGraph = 1092,
        kLeftTop = 1097,
        kLeftDc = 1100,
        kLeftBottom = 1098,
        kRightTop = 1099,
        kRightDc = 1102,
        kRightBottom = 1101,
        kApply = 1090,
    };

    using DialogModel::DialogModel;

    void OnInitDialog() override;
    void OnScroll(int id) override;
    void OnClicked(int id) override;

    /// The 500 ms tick: the profile for graphs of width x height pixels, and its labels set.
    DcProfile DrawDcProfile(int width, int height);

private:
    void ApplyDcSettings();
};

}  // namespace pelmora
