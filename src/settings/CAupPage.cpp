// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsPageWindows.h"

namespace pelmora {

namespace {

using C = ControlEntry;
using M = AupPageModel;

std::vector<ControlEntry> PageLayout() {
    return {
        {M::kFrequencyGroup, C::Group, "Output sampling frequency", 5, 0, 118, 34},
        {M::kFrequency, C::List, "", 11, 14, 100, 14,
         {"default", "8 kHz", "11.025 kHz", "12 kHz", "16 kHz", "22.05 kHz", "24 kHz", "32 kHz", "44.1 kHz",
          "48 kHz"}},
        {M::kFormatGroup, C::Group, "Output format options", 128, 0, 130, 34},
        {M::kWriteWav, C::Check, "Write uncompressed wav", 134, 11, 118, 10},
        {M::kRawPcm, C::Check, "raw pcm", 134, 22, 118, 10},
        {M::kHighpassGroup, C::Group, "Highpass filter", 5, 36, 253, 40},
        {M::kHighpass, C::Check, "Highpass filtering frequency (kHz):", 11, 47, 160, 10},
        {M::kHighpassFreq, C::Edit, "", 176, 45, 44, 13, {}, C::Right},
        {M::kHighpassWidthOn, C::Check, "Filter width (kHz):", 11, 61, 160, 10},
        {M::kHighpassWidth, C::Edit, "", 176, 59, 44, 13, {}, C::Right},
        {M::kLowpassGroup, C::Group, "Lowpass filter", 5, 78, 253, 40},
        {M::kLowpass, C::Check, "Lowpass filtering frequency (kHz):", 11, 89, 160, 10},
        {M::kLowpassFreq, C::Edit, "", 176, 87, 44, 13, {}, C::Right},
        {M::kLowpassWidthOn, C::Check, "Filter width (kHz):", 11, 103, 160, 10},
        {M::kLowpassWidth, C::Edit, "", 176, 101, 44, 13, {}, C::Right},
        {M::kPreprocessGroup, C::Group, "Input data preprocessing", 5, 120, 253, 42},
        {M::kRemoveDc, C::Check, "Remove DC", 11, 137, 80, 10},
        {M::kDcSetup, C::Button, "DC Filter Setup", 176, 134, 74, 14},
    };
}

}  // namespace

CAupPage::CAupPage(wxWindow* parent, AupPageModel& model)
    : CSettingsPage(parent, "Audio Processing", model, PageLayout()) {}

}  // namespace pelmora
