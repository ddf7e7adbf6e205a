// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: the "Sound buffers" and "Priority setup (you know what you do...)" dialogs.

#include <wx/window.h>

#include "settings/TuningHost.h"

namespace pelmora {

/// Modal; returns when closed.
void ShowBuffersDialog(wxWindow* parent, TuningHost& host);
void ShowPriorityDialog(wxWindow* parent, TuningHost& host);

}  // namespace pelmora
