// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/button.h>

namespace pelmora {

/// Gives a text button a new caption. On GTK the button's label is changed in place: the
/// toolkit's own way replaces the label with a new one, which must be styled, measured and
/// laid out again. Nothing happens when the caption is already shown.
void SetButtonCaption(wxButton* button, const wxString& caption);

}  // namespace pelmora
