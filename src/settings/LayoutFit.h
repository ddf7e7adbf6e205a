// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Places controls given at fixed rectangles (dialog units already in pixels) so that each
// gets its natural size: taller controls grow about the middle of their rectangle, a label
// gives up width its text does not need where it would cover its neighbour, a frame widens
// around a control that grew (its right-hand neighbours move over), and what lies below a
// control that grew moves down, with the frames around it. No window code.

#include <vector>

namespace pelmora {

struct FitRect {
    int x = 0, y = 0, w = 0, h = 0;
    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
};

struct FitItem {
    FitRect place;            // the layout's rectangle
    int naturalWidth = 0;     // what the control needs; 0: no need
    int naturalHeight = 0;
    bool group = false;       // a frame around the controls whose middle lies in it
    bool label = false;       // may be narrowed to its text
    bool growWidth = false;   // may be widened to its natural width
};

/// Final rectangles, in the order of `items`. `framePadding` is kept between a frame and the
/// controls it has to grow around, where it fits above `maxBottom`; nothing is moved right of
/// `maxRight`.
std::vector<FitRect> FitLayout(const std::vector<FitItem>& items, int framePadding, int maxRight, int maxBottom);

}  // namespace pelmora
