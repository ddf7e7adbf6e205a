// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsPageWindows.h"

#include "settings/RecSettings.h"

namespace pelmora {

namespace {

using C = ControlEntry;
using M = AdvPageModel;

std::vector<ControlEntry> PageLayout() {
    std::vector<std::string> general(kGeneralPresetNames.begin(), kGeneralPresetNames.end());
    std::vector<std::string> alt(kAltPresetNames.begin(), kAltPresetNames.end());
    return {
        {M::kOptimizationGroup, C::Group, "Optimization", 5, 0, 72, 34},
        {M::kOptimization, C::List, "", 11, 14, 60, 14, {"None", "Speed", "Quality"}},
        {M::kOptionsGroup, C::Group, "Options", 81, 0, 96, 34},
        {M::kCrc, C::Check, "Include CRC-Checksums", 87, 16, 88, 10},
        {M::kFlagsGroup, C::Group, "Flags", 181, 0, 77, 34},
        {M::kCopy, C::Check, "Copy", 187, 11, 60, 10},
        {M::kCopyright, C::Check, "Copyright", 187, 22, 60, 10},
        {M::kLameGroup, C::Group, "Lame path / console view mode", 5, 36, 253, 56},
        {M::kPath, C::ReadOnlyEdit, "", 11, 47, 222, 13},
        {M::kBrowse, C::BrowseButton, "...", 236, 47, 15, 13},
        {M::kShowConsole, C::Check, "Show lame console", 11, 64, 120, 10},
        {M::kCustomNames, C::Check, "Enable custom names (e.g. \"mylame-xxx\")", 11, 77, 240, 10},
        {M::kPresetsGroup, C::Group, "Lame presets", 5, 94, 253, 69},
        {M::kUsePreset, C::Check, "Use built-in pseset", 11, 106, 92, 10},
        {M::kPresetNote, C::Label, "Check input format settings\nto correspond the preset quality!", 120, 104, 134, 18},
        {M::kGeneralRadio, C::RadioFirst, "General", 11, 125, 50, 10},
        {M::kGeneralList, C::List, "", 64, 122, 100, 14, general},
        {M::kAltRadio, C::Radio, "Alt", 11, 143, 50, 10},
        {M::kAltList, C::List, "", 64, 140, 100, 14, alt},
    };
}

}  // namespace

CAdvPage::CAdvPage(wxWindow* parent, AdvPageModel& model) : CSettingsPage(parent, "Advanced", model, PageLayout()) {}

}  // namespace pelmora
