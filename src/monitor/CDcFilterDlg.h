// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the "DC  filter configuration" dialog with its two live DC profile graphs.

#include <wx/window.h>

#include "settings/TuningHost.h"

namespace pelmora {

/// Modal; returns when closed.
void ShowDcFilterDialog(wxWindow* parent, TuningHost& host);

}  // namespace pelmora
