// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsPageWindows.h"

#include <wx/textctrl.h>

namespace pelmora {

namespace {

using C = ControlEntry;
using M = ExpPageModel;

std::vector<ControlEntry> PageLayout() {
    return {
        {M::kDiffBlockTypes, C::Check, "allow block types to differ between channels", 12, 8, 240, 10},
        {M::kDisableFiltering, C::Check, "disable all filtering", 12, 22, 240, 10},
        {M::kDisableReservoir, C::Check, "disable bit reservoir", 12, 36, 240, 10},
        {M::kDisableShortBlocks, C::Check, "disable short blocks", 12, 50, 240, 10},
        {M::kEnforceIso, C::Check, "enforce ISO MPEG spec", 12, 64, 240, 10},
        {M::kAthLabel, C::Label, "ATH control:", 12, 87, 50, 8},
        {M::kAth, C::List, "", 64, 84, 100, 14,
         {"default", "only", "disabled", "only for short blocks", "shape 0", "shape 1", "shape 2"}},
        {M::kQLabel, C::Label, "q level:", 172, 87, 32, 8},
        {M::kQ, C::List, "", 206, 84, 48, 14, {"default", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {M::kCustomLabel, C::Label, "Custom options:", 12, 108, 80, 8},
        {M::kCustom, C::Edit, "", 12, 119, 242, 14},
        {M::kOnlyCustom, C::Check, "Only custom", 12, 142, 80, 10},
    };
}

}  // namespace

CExpPage::CExpPage(wxWindow* parent, ExpPageModel& model) : CSettingsPage(parent, "Expert", model, PageLayout()) {}

void CExpPage::OnControlsCreated() {
    if (auto* box = dynamic_cast<wxTextCtrl*>(Control(M::kCustom))) box->SetMaxLength(255);
}

}  // namespace pelmora
