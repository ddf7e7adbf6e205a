// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code: composed pixels put straight on an X11 screen, without a drawing context.

#include <gdk/gdk.h>

#include "monitor/PixelImage.h"

namespace pelmora {

/// Puts the part (x, y, width, height) of pixels into the toolkit window `window` at the same
/// place, as a client drawing context would, but as a single image transfer to the display.
/// False, with nothing drawn, where that is not possible: not an X11 window, a scaled
/// display, or a visual other than 24-bit 0x00RRGGBB.
bool PutScreenPixels(GdkWindow* window, const PixelImage& pixels, int x, int y, int width, int height);

}  // namespace pelmora
