// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "Audio Processing" page: output sampling frequency, the encoder's highpass
// and lowpass filters, uncompressed output and DC removal.

#include "settings/PageModel.h"

namespace pelmora {

class VbrPageModel;

class AupPageModel : public PageModel {
public:
    enum Id {
        kFrequencyGroup = 2301,
        kFrequency,
        kFormatGroup,
        kWriteWav,
        kRawPcm,
        kHighpassGroup,
        kHighpass,
        kHighpassFreq,
        kHighpassWidthOn,
        kHighpassWidth,
        kLowpassGroup,
        kLowpass,
        kLowpassFreq,
        kLowpassWidthOn,
        kLowpassWidth,
        kPreprocessGroup,
        kRemoveDc,
        kDcSetup,
    };

    explicit AupPageModel(PageHost& host) : PageModel(host) {}
    void LinkXbrPage(VbrPageModel& xbr) { xbr_ = &xbr; }

    void EnablePageControls(int mode) override;
    void ShowSettings() override;
    void OnClicked(int id) override;
    void OnSelChange(int id) override;
    void OnTextChanged(int id) override;

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void DoDataExchange(DataExchange& dx) override;

private:
    void SwitchBitrateTable();
    /// One filter group's dependent states; clears the width switch when the filter is off.
    void ApplyFilterGroup(int32_t enabled, int32_t& widthEnabled, int32_t& pageWidthOn, int freqBox, int widthOn,
                          int widthBox);

    VbrPageModel* xbr_ = nullptr;
    int32_t writeWav_ = 1, rawPcm_ = 0, removeDc_ = 0;
    int32_t highpass_ = 0, highpassWidthOn_ = 0, lowpass_ = 0, lowpassWidthOn_ = 0;
    double highpassFreq_ = 0, highpassWidth_ = 0, lowpassFreq_ = 0, lowpassWidth_ = 0;
};

}  // namespace pelmora
