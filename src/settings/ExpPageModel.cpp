// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ExpPageModel.h"

namespace pelmora {

void ExpPageModel::DoDataExchange(DataExchange& dx) {
    dx.Check(kDiffBlockTypes, diff_);
    dx.Check(kDisableFiltering, noFilter_);
    dx.Check(kDisableReservoir, noReservoir_);
    dx.Check(kDisableShortBlocks, noShort_);
    dx.Check(kEnforceIso, iso_);
    dx.Check(kOnlyCustom, onlyCustom_);
    dx.Text(kCustom, custom_);
}

void ExpPageModel::OnInitDialog() {
    UpdateData(false);
    const RecSettings& s = host_.Settings();
    controls_->SetPosition(kQ, s.qLevel);
    controls_->SetPosition(kAth, s.athMode);
}

void ExpPageModel::OnSetActive() {
    EnablePageControls(ActivationMode());
    FrameworkActivate();
}

void ExpPageModel::ShowSettings() {
    const RecSettings& s = host_.Settings();
    diff_ = s.allowDiffBlockTypes;
    noFilter_ = s.disableFiltering;
    noReservoir_ = s.disableBitReservoir;
    noShort_ = s.disableShortBlocks;
    iso_ = s.enforceIso;
    onlyCustom_ = s.onlyCustomOptions;
    custom_ = TextField(s.customOptions);
    if (!Created()) return;
    controls_->SetPosition(kQ, s.qLevel);
    controls_->SetPosition(kAth, s.athMode);
    UpdateData(false);
}

void ExpPageModel::EnablePageControls(int mode) {
    if (mode != 1 && mode != 2) return;
    EnableAll({kDiffBlockTypes, kDisableFiltering, kDisableReservoir, kDisableShortBlocks, kEnforceIso, kAthLabel, kAth,
               kQLabel, kQ, kCustomLabel, kCustom, kOnlyCustom},
              mode == 2);
}

void ExpPageModel::OnClicked(int id) {
    RecSettings& s = host_.Settings();
    int32_t* field = nullptr;
    int32_t* value = nullptr;
    switch (id) {
    case kDiffBlockTypes: field = &s.allowDiffBlockTypes, value = &diff_; break;
    case kDisableFiltering: field = &s.disableFiltering, value = &noFilter_; break;
    case kDisableReservoir: field = &s.disableBitReservoir, value = &noReservoir_; break;
    case kDisableShortBlocks: field = &s.disableShortBlocks, value = &noShort_; break;
    case kEnforceIso: field = &s.enforceIso, value = &iso_; break;
    case kOnlyCustom: field = &s.onlyCustomOptions, value = &onlyCustom_; break;
    default: return;
    }
    UpdateData(true);
    *field = *value;
    host_.BuildEncoderCommand();
}

void ExpPageModel::OnSelChange(int id) {
    RecSettings& s = host_.Settings();
    if (id == kAth) s.athMode = controls_->Position(kAth);
    else if (id == kQ) s.qLevel = controls_->Position(kQ);
    else return;
    host_.BuildEncoderCommand();
}

void ExpPageModel::OnTextChanged(int id) {
    if (id != kCustom) return;
    UpdateData(true);
    // Copied as plain text. The field holds 255 bytes: the box keeps what it holds, so that
    // what it shows is what the encoder gets.
    RecSettings& s = host_.Settings();
    SetTextField(s.customOptions, custom_);
    const std::string kept = TextField(s.customOptions);
    if (kept != custom_) {
        custom_ = kept;
        controls_->SetText(kCustom, kept);
    }
    host_.BuildEncoderCommand();
}

}  // namespace pelmora
