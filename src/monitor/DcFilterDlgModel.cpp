// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/DcFilterDlgModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace pelmora {

namespace {

std::string Format(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string FormatDouble(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

int Trunc(double v) { return static_cast<int>(std::trunc(v)); }

// Symmetric around the mean resulting DC: span is the larger distance to either extreme.
void Scale(double maximum, double minimum, double mean, ChannelProfile& out) {
    const int span = std::max(std::abs(Trunc(maximum - mean)), std::abs(Trunc(minimum - mean)));
    out.top = Trunc(mean + span);
    out.bottom = Trunc(mean - span);
}

}  // namespace

DcProfile ComputeDcProfile(const std::vector<DcRecord>& history, int records, int width, int height) {
    DcProfile p;
    const int n = std::min<int>(records, static_cast<int>(history.size()));
    p.records = n;
    if (n <= 0) return p;
    double maxL = -40000, minL = 40000, maxR = -40000, minR = 40000;
    double sumL = 0, sumR = 0;
    for (int i = 0; i < n; ++i) {
        const DcRecord& r = history[static_cast<std::size_t>(i)];
        maxL = std::max({maxL, r.localLeft, r.dcLeft});
        minL = std::min({minL, r.localLeft, r.dcLeft});
        maxR = std::max({maxR, r.localRight, r.dcRight});
        minR = std::min({minR, r.localRight, r.dcRight});
        sumL += r.dcLeft;
        sumR += r.dcRight;
    }
    maxL += 5, minL -= 5, maxR += 5, minR -= 5;
    Scale(maxL, minL, sumL / n, p.left);
    Scale(maxR, minR, sumR / n, p.right);

    const int left = 0;
    const int right = width - 1;
    const auto y = [height](double v, const ChannelProfile& c) {
        const int range = c.bottom - c.top;
        return range == 0 ? 0 : Trunc(height * (v - c.top) / range);
    };
    for (ChannelProfile* c : {&p.left, &p.right}) {
        c->localAverage.reserve(static_cast<std::size_t>(n));
        c->resultingDc.reserve(static_cast<std::size_t>(n));
    }
    for (int i = 0; i < n; ++i) {
        const DcRecord& r = history[static_cast<std::size_t>(i)];
        const int x = right - (right - left) * i / n;
        p.left.localAverage.push_back({x, y(Trunc(r.localLeft), p.left)});
        p.right.localAverage.push_back({x, y(Trunc(r.localRight), p.right)});
        p.left.resultingDc.push_back({x, y(r.dcLeft, p.left)});
        p.right.resultingDc.push_back({x, y(r.dcRight, p.right)});
    }
    return p;
}

void DcFilterDlgModel::OnInitDialog() {
    const RecSettings& s = host_.Settings();
    controls_->SetRange(kRangeSlider, 1, 100);
    controls_->SetPosition(kRangeSlider, 100);
    controls_->SetRange(kPeriodSlider, 1, 20);
    controls_->SetPosition(kPeriodSlider, std::clamp(Trunc(s.dcAveragePeriod), 1, 20));
    controls_->SetText(kPeriodLabel, Format("%d sec", controls_->Position(kPeriodSlider)));
    controls_->SetRange(kResponsivitySlider, 0, 100);
    controls_->SetPosition(kResponsivitySlider, std::clamp<int>(s.dcResponsivity, 0, 100));
    controls_->SetText(kResponsivityLabel, FormatDouble("Current = %.2f", controls_->Position(kResponsivitySlider) * 0.01));
    controls_->Enable(kApply, false);
}

void DcFilterDlgModel::OnScroll(int id) {
    if (id == kPeriodSlider) {
        controls_->SetText(kPeriodLabel, Format("%d sec", controls_->Position(kPeriodSlider)));
    } else if (id == kResponsivitySlider) {
        controls_->SetText(kResponsivityLabel,
                           FormatDouble("Current = %.2f", controls_->Position(kResponsivitySlider) * 0.01));
    } else {
        return;  // the display range shows with the next tick and stores nothing
    }
    controls_->Enable(kApply, true);
}

void DcFilterDlgModel::OnClicked(int id) {
    switch (id) {
    case kApply:
        ApplyDcSettings();
        controls_->Enable(kApply, false);
        break;
    case kOk:
        ApplyDcSettings();
        Close(true);
        break;
    case kCancel:
        Close(false);
        break;
    default:
        break;
    }
}

void DcFilterDlgModel::ApplyDcSettings() {
    RecSettings& s = host_.Settings();
    s.dcResponsivity = controls_->Position(kResponsivitySlider);
    s.dcAveragePeriod = controls_->Position(kPeriodSlider);
    host_.RebuildDcWeights();
}

DcProfile DcFilterDlgModel::DrawDcProfile(int width, int height) {
    const int n = controls_->Position(kRangeSlider) * 12;
    const std::vector<DcRecord> history = host_.DcHistory();
    DcProfile p = ComputeDcProfile(history, n, width, height);
    const double rate = host_.BuffersPerSecond();
    controls_->SetText(kRangeLabel, Format("%d sec", rate > 0 ? Trunc(p.records / rate) : 0));
    controls_->SetText(kLeftTop, Format("%d", p.left.top));
    controls_->SetText(kLeftBottom, Format("%d", p.left.bottom));
    controls_->SetText(kRightTop, Format("%d", p.right.top));
    controls_->SetText(kRightBottom, Format("%d", p.right.bottom));
    const DcRecord newest = history.empty() ? DcRecord{} : history.front();
    controls_->SetText(kLeftDc, Format("Left DC  = %d", Trunc(newest.dcLeft)));
    controls_->SetText(kRightDc, Format("Right DC = %d", Trunc(newest.dcRight)));
    return p;
}

}  // namespace pelmora
