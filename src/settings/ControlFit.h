// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: check boxes, radio buttons and spin buttons laid out in dialog units may be
// smaller than the toolkit's own indicator and caption; GTK then warns on every size
// request. They get at least their natural size: wider to the right, taller about the
// middle of the rectangle the layout gave them.

#include <wx/gdicmn.h>
#include <wx/window.h>

namespace pelmora {

inline wxRect AtLeastNaturalSize(wxWindow* control, wxRect rect) {
    const wxSize natural = control->GetBestSize();
    if (rect.width < natural.x) rect.width = natural.x;
    if (rect.height < natural.y) {
        rect.y -= (natural.y - rect.height) / 2;
        rect.height = natural.y;
    }
    return rect;
}

}  // namespace pelmora
