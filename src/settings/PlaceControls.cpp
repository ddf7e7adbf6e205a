// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/PlaceControls.h"

#include <wx/stattext.h>

#include <algorithm>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "settings/LayoutFit.h"

namespace pelmora {

namespace {

// A label's height for its width: the toolkit wraps long texts into several lines.
wxSize NaturalSize(const PlacedControl& c) {
    wxSize best = c.window->GetBestSize();
#ifdef __WXGTK__
    if (dynamic_cast<wxStaticText*>(c.window)) {
        gint minimum = 0, natural = 0;
        gtk_widget_get_preferred_height_for_width(c.window->GetHandle(), std::max(c.place.width, 1), &minimum,
                                                  &natural);
        best.y = natural;
    }
#endif
    return best;
}

}  // namespace

int PlaceControls(const std::vector<PlacedControl>& controls, int framePadding, int maxRight, int maxBottom) {
    std::vector<FitItem> items;
    items.reserve(controls.size());
    for (const PlacedControl& c : controls) {
        FitItem item;
        item.place = {c.place.x, c.place.y, c.place.width, c.place.height};
        item.group = c.group;
        item.label = c.label;
        item.growWidth = c.growWidth;
        if (!c.group) {
            const wxSize natural = NaturalSize(c);
            item.naturalWidth = natural.x;
            item.naturalHeight = c.naturalHeight ? natural.y : 0;
        }
        items.push_back(item);
    }
    const std::vector<FitRect> placed = FitLayout(items, framePadding, maxRight, maxBottom);
    int bottom = 0;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const FitRect& r = placed[i];
        controls[i].window->SetSize(r.x, r.y, r.w, r.h);
        bottom = std::max(bottom, r.Bottom());
    }
    return bottom;
}

}  // namespace pelmora
