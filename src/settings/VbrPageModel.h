// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rules of the "XBR" page: encoding mode, maximum bitrate, VBR quality, ABR target and the
// two bitrate flags.

#include <string>

#include "settings/PageModel.h"

namespace pelmora {

class GenPageModel;

class VbrPageModel : public PageModel {
public:
    enum Id {
        kModeLabel = 2001,
        kMode,
        kMaxLabel,
        kMaxSlider,
        kMaxBitrateText,
        kMinNote,
        kQualityLabel,
        kQuality,
        kAbrLabel,
        kAbr,
        kAbrSpin,
        kRangeNote,
        kDisableTag,
        kEnforceMin,
    };

    explicit VbrPageModel(PageHost& host) : PageModel(host) {}
    void LinkGeneralPage(GenPageModel& general) { general_ = &general; }

    void EnablePageControls(int mode) override;
    void ShowSettings() override;
    void OnClicked(int id) override;
    void OnTextChanged(int id) override;
    void OnSelChange(int id) override;
    void OnScroll(int id) override;
    void OnKillFocus(int id) override;
    void OnSpin(int id, int delta) override;

    // Called by the other pages.
    /// Moves the maximum-bitrate slider (the General page raised the minimum above it).
    void MoveMaxSlider(int index);
    /// The active bitrate table switched: new limits of the ABR arrows (the box and the
    /// arrows themselves follow lsfMode).
    void SetAbrRange(int minimum, int maximum);
    /// abrBitrate was brought into a new range: the box's value follows.
    void SetAbrValue(int value);
    /// The "Maximum bitrate" text of the slider's position in the active table.
    std::string MaxBitrateText(int position) const;

    int AbrMinimum() const { return AbrRangeOf(host_.Bitrate()).minimum; }
    int AbrMaximum() const { return AbrRangeOf(host_.Bitrate()).maximum; }

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void DoDataExchange(DataExchange& dx) override;

private:
    void Rebuild() { host_.BuildEncoderCommand(); }
    void UseCurrentRange();
    void FitMaxSlider();

    GenPageModel* general_ = nullptr;
    // Page values.
    int32_t disableTag_ = 0;
    int32_t enforceMin_ = 0;
    int32_t abr_ = 0;
    std::string maxText_;
    bool abrFirstChange_ = true;  // the first change is the box being filled
};

}  // namespace pelmora
