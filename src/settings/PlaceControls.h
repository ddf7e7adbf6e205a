// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: puts controls made at dialog-unit rectangles where LayoutFit says, with the
// natural sizes the toolkit reports for the font they really use.

#include <wx/window.h>

#include <vector>

namespace pelmora {

struct PlacedControl {
    wxWindow* window;
    wxRect place;             // the layout's rectangle in pixels
    bool group = false;
    bool label = false;
    bool growWidth = false;
    bool naturalHeight = true;  // false: the rectangle's height is kept (pictures, sliders)
};

/// Places every control, none right of `maxRight`, frames above `maxBottom` where they fit;
/// returns the bottom edge of the lowest one.
int PlaceControls(const std::vector<PlacedControl>& controls, int framePadding, int maxRight, int maxBottom);

}  // namespace pelmora
