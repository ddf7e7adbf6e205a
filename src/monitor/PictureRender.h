// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code, main thread: composed pixels as toolkit bitmaps, and the fonts of text commands.

#include <wx/bitmap.h>
#include <wx/font.h>

#include "monitor/PixelImage.h"
#include "monitor/TextCommand.h"

namespace pelmora {

wxBitmap ToBitmap(const PixelImage& pixels);
/// The part [x, x + w) × [y, y + h) of the picture, which must lie inside it.
wxBitmap ToBitmap(const PixelImage& pixels, int x, int y, int w, int h);
/// The toolkit font for a font description, made once and kept for the run.
const wxFont& FontForSpec(const FontSpec& font);

}  // namespace pelmora
