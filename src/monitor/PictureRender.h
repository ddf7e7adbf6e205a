#pragma once
// Window code: turns a composed picture (pixels plus text commands) into a bitmap with the
// toolkit's drawing, on the main thread.

#include <wx/bitmap.h>

#include "monitor/PixelImage.h"
#include "monitor/TextCommand.h"

namespace pelmora {

wxBitmap ToBitmap(const PixelImage& pixels);
wxBitmap RenderPicture(const PixelImage& pixels, const TextCommands& texts);

}  // namespace pelmora
