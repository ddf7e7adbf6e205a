// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: how the settings sheet's tabs look on the toolkit: tight enough that every
// tab fits the sheet at the default font, titles readable on the sheet's own colour.

#include <wx/colour.h>
#include <wx/notebook.h>

namespace pelmora {

/// Less padding around the tab titles of `sheet`.
void TightenTabs(wxNotebook* sheet);

/// The title of `page`'s tab drawn in `colour` in every state of the tab.
void SetTabTitleColour(wxNotebook* sheet, wxWindow* page, const wxColour& colour);

/// Spin arrows show no number of their own (the toolkit's spin button has an entry).
void HideSpinText(wxWindow* spin);

}  // namespace pelmora
