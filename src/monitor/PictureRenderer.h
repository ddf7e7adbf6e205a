#pragma once
// Window code: keeps the bitmap of a composed picture (pixels plus text commands) and brings
// it up to a new picture by redrawing only the parts that differ: the changed pixels and
// the cells of the texts that changed, came or went, each part on its own.

#include <wx/bitmap.h>
#include <wx/gdicmn.h>

#include <vector>

#include "monitor/PixelImage.h"
#include "monitor/TextCommand.h"

namespace pelmora {

class PictureRenderer {
public:
    /// Returns the parts of Bitmap() that changed, none overlapping; none when nothing did.
    std::vector<wxRect> Update(const PixelImage& pixels, const TextCommands& texts);
    const wxBitmap& Bitmap() const { return bitmap_; }
    /// Forgets the picture: the next Update draws all of it.
    void Reset();

private:
    std::vector<wxRect> RenderAll(const PixelImage& pixels, const TextCommands& texts);

    wxBitmap bitmap_;
    PixelImage pixels_;
    TextCommands texts_;
    std::vector<wxRect> boxes_;  // the cell each of texts_ covers; empty for empty texts
};

}  // namespace pelmora
