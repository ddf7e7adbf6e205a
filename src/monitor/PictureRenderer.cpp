#include "monitor/PictureRenderer.h"

#include <wx/dcmemory.h>

#include <algorithm>

#include "monitor/PictureRender.h"

namespace pelmora {

namespace {

bool SameText(const TextCommand& a, const TextCommand& b) {
    return a.text == b.text && a.x == b.x && a.y == b.y && a.align == b.align && a.colour == b.colour &&
           a.opaque == b.opaque && a.background == b.background && a.font.face == b.font.face &&
           a.font.height == b.font.height && a.font.weight == b.font.weight;
}

// Adds a part to the list, merged with every part it overlaps, so no two overlap.
void Join(std::vector<wxRect>& parts, wxRect r) {
    if (r.IsEmpty()) return;
    for (std::size_t i = 0; i < parts.size();) {
        if (parts[i].Intersects(r)) {
            r.Union(parts[i]);
            parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(i));
            i = 0;
        } else {
            ++i;
        }
    }
    parts.push_back(r);
}

// Bounding box of the pixels that differ between two pictures of one size.
wxRect PixelChanges(const PixelImage& a, const PixelImage& b) {
    const int w = a.Width(), h = a.Height();
    int left = w, right = -1, top = h, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const Rgb* ra = a.Pixels().data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        const Rgb* rb = b.Pixels().data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        if (std::equal(ra, ra + w, rb)) continue;
        int x0 = 0;
        while (ra[x0] == rb[x0]) ++x0;
        int x1 = w - 1;
        while (ra[x1] == rb[x1]) --x1;
        left = std::min(left, x0);
        right = std::max(right, x1);
        top = std::min(top, y);
        bottom = y;
    }
    return right < 0 ? wxRect() : wxRect(left, top, right - left + 1, bottom - top + 1);
}

}  // namespace

void PictureRenderer::Reset() {
    bitmap_ = wxBitmap();
    texts_.clear();
    boxes_.clear();
}

std::vector<wxRect> PictureRenderer::RenderAll(const PixelImage& pixels, const TextCommands& texts) {
    bitmap_ = RenderPicture(pixels, texts, &boxes_);
    pixels_.Assign(pixels);
    texts_ = texts;
    return {wxRect(0, 0, pixels.Width(), pixels.Height())};
}

std::vector<wxRect> PictureRenderer::Update(const PixelImage& pixels, const TextCommands& texts) {
    const int w = pixels.Width(), h = pixels.Height();
    if (w <= 0 || h <= 0) {
        Reset();
        return {};
    }
    if (!bitmap_.IsOk() || pixels_.Width() != w || pixels_.Height() != h) return RenderAll(pixels, texts);

    std::vector<wxRect> dirty;
    Join(dirty, PixelChanges(pixels, pixels_));
    // Texts with an identical old one keep its cell; the others and the vanished ones are dirty.
    std::vector<bool> used(texts_.size(), false);
    std::vector<int> match(texts.size(), -1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i < texts_.size() && !used[i] && SameText(texts[i], texts_[i])) {
            match[i] = static_cast<int>(i);
        } else {
            for (std::size_t j = 0; j < texts_.size(); ++j)
                if (!used[j] && SameText(texts[i], texts_[j])) {
                    match[i] = static_cast<int>(j);
                    break;
                }
        }
        if (match[i] >= 0) used[static_cast<std::size_t>(match[i])] = true;
    }
    bool textsChanged = false;
    for (std::size_t j = 0; j < texts_.size(); ++j)
        if (!used[j]) {
            Join(dirty, boxes_[j]);
            textsChanged = true;
        }
    for (int m : match) textsChanged = textsChanged || m < 0;
    if (dirty.empty() && !textsChanged) return {};  // nothing to draw: no DC at all

    wxMemoryDC dc(bitmap_);
    std::vector<wxRect> boxes(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (match[i] >= 0) {
            boxes[i] = boxes_[static_cast<std::size_t>(match[i])];
        } else {
            boxes[i] = TextCell(dc, texts[i]);
            Join(dirty, boxes[i]);
        }
    }
    const wxRect whole(0, 0, w, h);
    for (wxRect& part : dirty) {
        part.Intersect(whole);
        if (part.IsEmpty()) continue;
        // The full drawing, limited to this part: pixels first, then every text over it in order.
        dc.DrawBitmap(ToBitmap(pixels, part.x, part.y, part.width, part.height), part.x, part.y, false);
        dc.SetClippingRegion(part);
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (boxes[i].Intersects(part)) DrawTextCommand(dc, texts[i], boxes[i]);
        dc.DestroyClippingRegion();
    }
    dirty.erase(std::remove_if(dirty.begin(), dirty.end(), [](const wxRect& r) { return r.IsEmpty(); }), dirty.end());
    dc.SelectObject(wxNullBitmap);
    pixels_.Assign(pixels);
    texts_ = texts;
    boxes_ = std::move(boxes);
    return dirty;
}

}  // namespace pelmora
