#pragma once
// Window code: check boxes and radio buttons laid out in dialog units may be lower than the
// toolkit's own indicator; GTK then warns on every size request. They get at least their
// natural height, centred on the rectangle the layout gave them.

#include <wx/gdicmn.h>
#include <wx/window.h>

namespace pelmora {

inline wxRect AtLeastNaturalHeight(wxWindow* control, wxRect rect) {
    const int natural = control->GetBestSize().y;
    if (rect.height < natural) {
        rect.y -= (natural - rect.height) / 2;
        rect.height = natural;
    }
    return rect;
}

}  // namespace pelmora
