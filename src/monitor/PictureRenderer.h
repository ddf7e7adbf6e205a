#pragma once
// Window code: keeps the bitmap of a composed picture (pixels plus text commands) and brings
// it up to a new picture by redrawing only the part that differs: the changed pixels and
// the cells of the texts that changed, came or went.

#include <wx/bitmap.h>
#include <wx/gdicmn.h>

#include <vector>

#include "monitor/PixelImage.h"
#include "monitor/TextCommand.h"

namespace pelmora {

class PictureRenderer {
public:
    /// Returns the part of Bitmap() that changed; empty when nothing did.
    wxRect Update(const PixelImage& pixels, const TextCommands& texts);
    const wxBitmap& Bitmap() const { return bitmap_; }
    /// Forgets the picture: the next Update draws all of it.
    void Reset();

private:
    wxRect RenderAll(const PixelImage& pixels, const TextCommands& texts);

    wxBitmap bitmap_;
    PixelImage pixels_;
    TextCommands texts_;
    std::vector<wxRect> boxes_;  // the cell each of texts_ covers; empty for empty texts
};

}  // namespace pelmora
