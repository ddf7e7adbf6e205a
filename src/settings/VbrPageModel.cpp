// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/VbrPageModel.h"

#include <algorithm>
#include <cstdio>

#include "settings/GenPageModel.h"

namespace pelmora {

std::string VbrPageModel::MaxBitrateText(int position) const {
    char text[64];
    std::snprintf(text, sizeof text, "Maximum bitrate: %d kbit", BitrateAt(host_.ActiveBitrateTable(), position));
    return text;
}

void VbrPageModel::DoDataExchange(DataExchange& dx) {
    dx.Check(kDisableTag, disableTag_);
    dx.Check(kEnforceMin, enforceMin_);
    const AbrRange range = AbrRangeOf(host_.Bitrate());
    dx.Int(kAbr, abr_, range.minimum, range.maximum);
    dx.Text(kMaxBitrateText, maxText_);
}

void VbrPageModel::OnInitDialog() {
    UpdateData(false);
    // Filling the box is the box's first change.
    if (abrFirstChange_) OnTextChanged(kAbr);
    SetAbrRange(AbrMinimum(), AbrMaximum());
    const RecSettings& s = host_.Settings();
    controls_->SetPosition(kMode, s.encodingMode);
    FitMaxSlider();
    controls_->SetPosition(kQuality, s.vbrQuality + 1);
    maxText_ = MaxBitrateText(controls_->Position(kMaxSlider));
    controls_->SetText(kMaxBitrateText, maxText_);
}

void VbrPageModel::FitMaxSlider() {
    // The slider ends where the table in force ends; a stored index above shows as its top.
    const int top = TopBitrateIndex(host_.ActiveBitrateTable());
    controls_->SetRange(kMaxSlider, 0, top);
    controls_->SetPosition(kMaxSlider, std::min(ClampIndex(host_.Settings().maxBitrateIndex, kBitrateCount), top));
}

void VbrPageModel::OnSetActive() {
    FrameworkActivate();
    FitMaxSlider();
    maxText_ = MaxBitrateText(controls_->Position(kMaxSlider));
    UpdateData(false);
    EnablePageControls(ActivationMode());
}

void VbrPageModel::ShowSettings() {
    const RecSettings& s = host_.Settings();
    disableTag_ = s.disableVbrTag;
    enforceMin_ = s.enforceMinBitrate;
    abr_ = s.abrBitrate;
    maxText_ = MaxBitrateText(s.maxBitrateIndex);
    if (!Created()) return;
    controls_->SetPosition(kMode, s.encodingMode);
    controls_->SetPosition(kMaxSlider, ClampIndex(s.maxBitrateIndex, kBitrateCount));
    controls_->SetPosition(kQuality, s.vbrQuality + 1);
    UpdateData(false);
}

void VbrPageModel::EnablePageControls(int mode) {
    if (mode != 1 && mode != 2) return;
    const std::initializer_list<int> rest = {kMaxLabel, kMaxSlider, kMaxBitrateText, kDisableTag, kEnforceMin, kQualityLabel, kQuality,
                       kAbrLabel, kAbr, kAbrSpin, kMinNote, kRangeNote};
    if (mode == 1) {
        EnableAll({kModeLabel, kMode}, false);
        EnableAll(rest, false);
        return;
    }
    EnableAll({kModeLabel, kMode}, true);
    switch (host_.Settings().encodingMode) {
    case 1:  // VBR
        EnableAll({kMaxLabel, kMaxSlider, kMaxBitrateText, kDisableTag, kEnforceMin, kQualityLabel, kQuality, kMinNote},
                  true);
        EnableAll({kAbrLabel, kAbr, kAbrSpin, kRangeNote}, false);
        break;
    case 2:  // ABR
        EnableAll({kMaxLabel, kMaxSlider, kMaxBitrateText, kDisableTag, kEnforceMin, kAbrLabel, kAbr, kAbrSpin,
                   kMinNote, kRangeNote},
                  true);
        EnableAll({kQualityLabel, kQuality}, false);
        break;
    default:  // CBR
        EnableAll(rest, false);
        break;
    }
}

void VbrPageModel::OnSelChange(int id) {
    RecSettings& s = host_.Settings();
    if (id == kMode) {
        s.encodingMode = controls_->Position(kMode);
        EnablePageControls(2);
        Rebuild();
    } else if (id == kQuality) {
        s.vbrQuality = controls_->Position(kQuality) - 1;
        Rebuild();
    }
}

void VbrPageModel::OnClicked(int id) {
    if (id != kDisableTag && id != kEnforceMin) return;
    UpdateData(true);
    RecSettings& s = host_.Settings();
    if (id == kDisableTag) s.disableVbrTag = disableTag_;
    else s.enforceMinBitrate = enforceMin_;
    Rebuild();
}

void VbrPageModel::OnScroll(int id) {
    if (id != kMaxSlider) return;
    const int position = controls_->Position(kMaxSlider);
    maxText_ = MaxBitrateText(position);
    UpdateData(false);
    RecSettings& s = host_.Settings();
    s.maxBitrateIndex = position;
    if (s.maxBitrateIndex < s.minBitrateIndex) {
        s.minBitrateIndex = s.maxBitrateIndex;
        if (general_) general_->MoveBitrateSlider(s.minBitrateIndex);
    }
    Rebuild();
}

void VbrPageModel::OnTextChanged(int id) {
    if (id != kAbr) return;
    RecSettings& s = host_.Settings();
    int32_t candidate = abrFirstChange_ ? s.abrBitrate : LeadingNumber(controls_->Text(kAbr));
    s.abrBitrate = std::clamp<int32_t>(candidate, AbrMinimum(), AbrMaximum());
    Rebuild();
    abrFirstChange_ = false;
}

void VbrPageModel::OnKillFocus(int id) {
    if (id != kAbr) return;
    abr_ = host_.Settings().abrBitrate;
    UpdateData(false);
}

void VbrPageModel::OnSpin(int id, int delta) {
    if (id != kAbrSpin || !controls_) return;
    int32_t value = std::clamp<int32_t>(LeadingNumber(controls_->Text(kAbr)), AbrMinimum(), AbrMaximum());
    value = std::clamp<int32_t>(value + delta, AbrMinimum(), AbrMaximum());
    controls_->SetText(kAbr, std::to_string(value));
    OnTextChanged(kAbr);
}

void VbrPageModel::MoveMaxSlider(int index) {
    if (Created()) controls_->SetPosition(kMaxSlider, index);
}

void VbrPageModel::SetAbrRange(int minimum, int maximum) {
    if (Created()) controls_->SetRange(kAbrSpin, minimum, maximum);
}

void VbrPageModel::SetAbrValue(int value) { abr_ = value; }

}  // namespace pelmora
