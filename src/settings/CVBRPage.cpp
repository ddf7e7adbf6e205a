// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsPageWindows.h"

namespace pelmora {

namespace {

using C = ControlEntry;
using M = VbrPageModel;

std::vector<ControlEntry> PageLayout() {
    return {
        {M::kModeLabel, C::Label, "Encoding Mode", 12, 12, 60, 8},
        {M::kMode, C::List, "", 76, 9, 60, 14, {"CBR", "VBR", "ABR"}},
        {M::kMaxLabel, C::Group, "Maximum VBR Bitrate", 5, 28, 253, 52},
        {M::kMaxSlider, C::Slider, "", 10, 39, 140, 19},
        {M::kMaxBitrateText, C::Label, "", 12, 62, 136, 8, {}, C::Centre},
        {M::kMinNote, C::Label,
         "Bitrate slider on \"General\" page specifies minimum bitrate to be used for VBR/ABR modes", 158, 40, 94,
         34},
        {M::kQualityLabel, C::Label, "VBR Quality", 12, 89, 56, 8},
        {M::kQuality, C::List, "", 70, 86, 50, 14, {"Default", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {M::kAbrLabel, C::Label, "ABR Bitrate", 12, 109, 56, 8},
        {M::kAbr, C::Edit, "", 70, 106, 38, 14, {}, C::Right},
        {M::kAbrSpin, C::Spin, "", 109, 106, 36, 14},
        {M::kRangeNote, C::Label,
         "If out of min/max VBR range nearest value of the range will be actually  used instead", 150, 86, 106, 34},
        {M::kDisableTag, C::Check, "Disable writing of the VBR tag", 12, 130, 180, 10},
        {M::kEnforceMin, C::Check, "Strictly enforce minimum bitrate", 12, 146, 180, 10},
    };
}

}  // namespace

CVBRPage::CVBRPage(wxWindow* parent, VbrPageModel& model) : CSettingsPage(parent, "XBR", model, PageLayout()) {}

}  // namespace pelmora
