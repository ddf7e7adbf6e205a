#pragma once
// Window code: turns a composed picture (pixels plus text commands) into a bitmap with the
// toolkit's drawing, on the main thread.

#include <wx/bitmap.h>
#include <wx/dc.h>

#include <vector>

#include "monitor/PixelImage.h"
#include "monitor/TextCommand.h"

namespace pelmora {

wxBitmap ToBitmap(const PixelImage& pixels);
/// The part [x, x + w) × [y, y + h) of the picture, which must lie inside it.
wxBitmap ToBitmap(const PixelImage& pixels, int x, int y, int w, int h);
/// The pixels with the texts drawn over them in order; the cell of each text goes to `boxes`
/// when given (empty for an empty text).
wxBitmap RenderPicture(const PixelImage& pixels, const TextCommands& texts, std::vector<wxRect>* boxes = nullptr);
/// Where a text command's cell lies, with the command's font.
wxRect TextCell(wxDC& dc, const TextCommand& t);
/// Draws one text command into its cell (as TextCell gave it).
void DrawTextCommand(wxDC& dc, const TextCommand& t, const wxRect& cell);

}  // namespace pelmora
