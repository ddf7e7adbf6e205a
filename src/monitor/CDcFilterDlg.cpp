// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/CDcFilterDlg.h"

#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/pen.h>
#include <wx/timer.h>

#include <algorithm>

#include "monitor/DcFilterDlgModel.h"
#include "settings/CTuningDialog.h"

namespace pelmora {

namespace {

using C = DialogControl;
using M = DcFilterDlgModel;

std::vector<DialogControl> DcLayout() {
    return {
        {2801, C::Group, "Decaying average", 7, 7, 158, 73},
        {M::kPeriodSlider, C::Slider, "", 12, 28, 76, 22},
        {M::kPeriodLabel, C::Label, "", 12, 55, 49, 10},
        {2802, C::Label, "Period of decaying average. A value about 5 seconds seems to be good for many cases.", 94,
         17, 62, 59},
        {2803, C::Group, "DC filter responsivity", 172, 7, 182, 73},
        {2804, C::Label, "MIN", 177, 19, 20, 8},
        {2805, C::Label, "normal", 205, 19, 30, 8},
        {2806, C::Label, "MAX", 239, 19, 20, 8},
        {M::kResponsivitySlider, C::PlainSlider, "", 177, 30, 76, 22},
        {M::kResponsivityLabel, C::Label, "", 177, 55, 67, 10},
        {2807, C::Label,
         "MIN value stands for almost complete insensibility of the filter to any DC changes. At MAX value DC filter "
         "repeats the averaging errors almost closely.",
         260, 17, 83, 58},
        {2808, C::Group, "Current DC profile. Hit [Apply] to view changes.", 7, 81, 347, 183},
        {2809, C::Label, "Black - local average in every individual sound buffer.\nRed - resulting DC.", 167, 97, 180,
         17, C::Right},
        {2810, C::Label, "Display range:", 73, 119, 60, 15},
        {M::kRangeSlider, C::PlainSlider, "", 127, 115, 144, 22},  // the toolkit's slider needs the height
        {M::kRangeLabel, C::Label, "", 276, 119, 72, 15, C::Centre},
        {M::kLeftGraph, C::Frame, "", 71, 139, 281, 57},
        {M::kLeftTop, C::Label, "", 42, 139, 25, 13, C::Right},
        {M::kLeftDc, C::Label, "", 11, 161, 56, 12, C::Right},
        {M::kLeftBottom, C::Label, "", 42, 183, 25, 13, C::Right},
        {M::kRightGraph, C::Frame, "", 71, 201, 281, 57},
        {M::kRightTop, C::Label, "", 42, 201, 25, 13, C::Right},
        {M::kRightDc, C::Label, "", 11, 223, 56, 12, C::Right},
        {M::kRightBottom, C::Label, "", 42, 245, 25, 13, C::Right},
        {M::kOk, C::Button, "OK", 190, 270, 50, 14},
        {M::kCancel, C::Button, "Cancel", 247, 270, 50, 14},
        {M::kApply, C::Button, "Apply", 304, 270, 50, 14},
    };
}

class CDcFilterDlg : public CTuningDialog {
public:
    CDcFilterDlg(wxWindow* parent, DcFilterDlgModel& model)
        : CTuningDialog(parent, "DC  filter configuration", 361, 291, model, DcLayout()), model_(model), timer_(this) {
        left_ = Control(M::kLeftGraph);
        right_ = Control(M::kRightGraph);
        const wxSize size = left_->GetClientSize();
        width_ = std::max(1, size.x);
        height_ = std::max(1, size.y);
        // White until the first tick.
        for (wxBitmap* image : {&leftImage_, &rightImage_}) {
            image->Create(width_, height_);
            wxMemoryDC dc(*image);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
        }
        left_->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { Paint(left_, leftImage_); });
        right_->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { Paint(right_, rightImage_); });
        Bind(wxEVT_TIMER, [this](wxTimerEvent&) { DrawDcProfile(); });
        timer_.Start(500);
    }

protected:
    void OnClosing() override { timer_.Stop(); }

private:
    void Paint(wxWindow* graph, const wxBitmap& image) {
        wxPaintDC dc(graph);
        dc.DrawBitmap(image, 0, 0);
    }

    static void DrawLine(wxMemoryDC& dc, const std::vector<ProfilePoint>& line) {
        if (line.size() < 2) return;
        std::vector<wxPoint> points;
        points.reserve(line.size());
        for (const ProfilePoint& p : line) points.emplace_back(p.x, p.y);
        dc.DrawLines(static_cast<int>(points.size()), points.data());
    }

    static void Compose(wxBitmap& image, const ChannelProfile& channel) {
        wxMemoryDC dc(image);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetPen(wxPen(*wxBLACK, 1));
        DrawLine(dc, channel.localAverage);
        dc.SetPen(wxPen(wxColour(255, 0, 0), 1));
        DrawLine(dc, channel.resultingDc);
    }

    void DrawDcProfile() {
        const DcProfile p = model_.DrawDcProfile(width_, height_);
        Compose(leftImage_, p.left);
        Compose(rightImage_, p.right);
        left_->Refresh(false);
        right_->Refresh(false);
    }

    DcFilterDlgModel& model_;
    wxTimer timer_;
    wxWindow* left_ = nullptr;
    wxWindow* right_ = nullptr;
    int width_ = 1, height_ = 1;
    wxBitmap leftImage_, rightImage_;
};

}  // namespace

void ShowDcFilterDialog(wxWindow* parent, TuningHost& host) {
    DcFilterDlgModel model(host);
    CDcFilterDlg dialog(parent, model);
    dialog.RunModal();
}

}  // namespace pelmora
