// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AupPageModel.h"

#include "settings/VbrPageModel.h"

namespace pelmora {

void AupPageModel::DoDataExchange(DataExchange& dx) {
    dx.Check(kWriteWav, writeWav_);
    dx.Check(kRawPcm, rawPcm_);
    dx.Check(kHighpass, highpass_);
    dx.Check(kHighpassWidthOn, highpassWidthOn_);
    dx.Check(kLowpass, lowpass_);
    dx.Check(kLowpassWidthOn, lowpassWidthOn_);
    dx.Check(kRemoveDc, removeDc_);
    dx.Number(kHighpassFreq, highpassFreq_, 0, 22);
    dx.Number(kHighpassWidth, highpassWidth_, 0, 22);
    dx.Number(kLowpassFreq, lowpassFreq_, 0, 22);
    dx.Number(kLowpassWidth, lowpassWidth_, 0, 22);
}

void AupPageModel::OnInitDialog() {
    UpdateData(false);
    controls_->SetPosition(kFrequency, host_.Settings().resampleIndex);
    controls_->Enable(kRawPcm, host_.Settings().writeUncompressed != 0);
    controls_->Enable(kHighpassFreq, highpass_ != 0);
    controls_->Enable(kHighpassWidthOn, highpass_ != 0);
    controls_->Enable(kHighpassWidth, highpassWidthOn_ != 0);
    controls_->Enable(kLowpassFreq, lowpass_ != 0);
    controls_->Enable(kLowpassWidthOn, lowpass_ != 0);
    controls_->Enable(kLowpassWidth, lowpassWidthOn_ != 0);
}

void AupPageModel::OnSetActive() {
    EnablePageControls(ActivationMode());
    FrameworkActivate();
}

void AupPageModel::ShowSettings() {
    const RecSettings& s = host_.Settings();
    writeWav_ = s.writeUncompressed;
    rawPcm_ = s.rawPcm;
    removeDc_ = s.removeDc;
    highpass_ = s.highpassEnabled;
    highpassWidthOn_ = s.highpassWidthEnabled;
    lowpass_ = s.lowpassEnabled;
    lowpassWidthOn_ = s.lowpassWidthEnabled;
    highpassFreq_ = s.highpassFreq;
    highpassWidth_ = s.highpassWidth;
    lowpassFreq_ = s.lowpassFreq;
    lowpassWidth_ = s.lowpassWidth;
    if (!Created()) return;
    controls_->SetPosition(kFrequency, s.resampleIndex);
    UpdateData(false);
}

void AupPageModel::ApplyFilterGroup(int32_t enabled, int32_t& widthEnabled, int32_t& pageWidthOn, int freqBox,
                                    int widthOn, int widthBox) {
    if (enabled) {
        EnableAll({freqBox, widthOn}, true);
    } else {
        EnableAll({freqBox, widthBox, widthOn}, false);
        pageWidthOn = 0;
        widthEnabled = 0;
        UpdateData(false);
    }
    controls_->Enable(widthBox, widthEnabled != 0);
}

void AupPageModel::EnablePageControls(int mode) {
    if (mode != 1 && mode != 2) return;
    if (mode == 1) {
        EnableAll({kFrequency, kWriteWav, kRawPcm, kHighpass, kHighpassFreq, kHighpassWidthOn, kHighpassWidth, kLowpass,
                   kLowpassFreq, kLowpassWidthOn, kLowpassWidth, kRemoveDc, kDcSetup},
                  false);
        return;
    }
    RecSettings& s = host_.Settings();
    EnableAll({kFrequency, kWriteWav, kRawPcm, kHighpass, kLowpass, kRemoveDc}, true);
    controls_->Enable(kRawPcm, s.writeUncompressed != 0);
    controls_->Enable(kDcSetup, host_.PipelineReady());
    ApplyFilterGroup(s.highpassEnabled, s.highpassWidthEnabled, highpassWidthOn_, kHighpassFreq, kHighpassWidthOn,
                     kHighpassWidth);
    ApplyFilterGroup(s.lowpassEnabled, s.lowpassWidthEnabled, lowpassWidthOn_, kLowpassFreq, kLowpassWidthOn,
                     kLowpassWidth);
}

void AupPageModel::SwitchBitrateTable() {
    RecSettings& s = host_.Settings();
    const int32_t abrBefore = s.abrBitrate;
    const BitrateTable table = ChooseBitrateTable(s.resampleIndex, host_.CaptureSampleRate());
    ApplyBitrateTable(host_.Bitrate(), table, s);
    if (!xbr_) return;
    const AbrRange range = AbrRangeOf(host_.Bitrate());
    xbr_->SetAbrRange(range.minimum, range.maximum);
    if (s.abrBitrate != abrBefore) xbr_->SetAbrValue(s.abrBitrate);
}

void AupPageModel::OnSelChange(int id) {
    if (id != kFrequency) return;
    host_.Settings().resampleIndex = controls_->Position(kFrequency);
    SwitchBitrateTable();
    host_.BuildEncoderCommand();
}

void AupPageModel::OnClicked(int id) {
    RecSettings& s = host_.Settings();
    switch (id) {
    case kHighpass:
    case kHighpassWidthOn:
    case kLowpass:
    case kLowpassWidthOn:
        UpdateData(true);
        if (id == kHighpass) s.highpassEnabled = highpass_;
        else if (id == kHighpassWidthOn) s.highpassWidthEnabled = highpassWidthOn_;
        else if (id == kLowpass) s.lowpassEnabled = lowpass_;
        else s.lowpassWidthEnabled = lowpassWidthOn_;
        EnablePageControls(2);
        host_.BuildEncoderCommand();
        break;
    case kRemoveDc:
        UpdateData(true);
        s.removeDc = removeDc_;
        host_.BuildEncoderCommand();
        break;
    case kWriteWav:
        UpdateData(true);
        s.writeUncompressed = writeWav_;
        controls_->Enable(kRawPcm, s.writeUncompressed != 0);
        host_.BuildEncoderCommand();
        break;
    case kRawPcm:
        UpdateData(true);
        s.rawPcm = rawPcm_;
        host_.BuildEncoderCommand();
        break;
    case kDcSetup:
        host_.ShowDcFilterDialog();
        break;
    default:
        break;
    }
}

// An earlier box that fails stops the page's reading; the box typed in is stored all the same.
void AupPageModel::OnTextChanged(int id) {
    RecSettings& s = host_.Settings();
    switch (id) {
    case kHighpassFreq: ReadPageFor(id); s.highpassFreq = highpassFreq_; break;
    case kHighpassWidth: ReadPageFor(id); s.highpassWidth = highpassWidth_; break;
    case kLowpassFreq: ReadPageFor(id); s.lowpassFreq = lowpassFreq_; break;
    case kLowpassWidth: ReadPageFor(id); s.lowpassWidth = lowpassWidth_; break;
    default: return;
    }
    host_.BuildEncoderCommand();
}

}  // namespace pelmora
