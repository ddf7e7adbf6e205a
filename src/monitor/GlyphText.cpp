// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/GlyphText.h"

#include <wx/dcmemory.h>
#include <wx/image.h>

#include <algorithm>
#include <vector>

#include "monitor/PictureRender.h"

namespace pelmora {

namespace {

// The UTF-8 sequences of a text, one per character (a broken byte stands alone).
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t n = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
        n = std::min(n, text.size() - i);
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

const GlyphText::Glyph& GlyphText::GlyphFor(Face& face, const FaceKey& key, const std::string& character) {
    auto it = face.glyphs.find(character);
    if (it != face.glyphs.end()) return it->second;
    const Rgb foreground = std::get<3>(key);
    const Rgb background = std::get<4>(key);
    FontSpec font;
    font.face = std::get<0>(key);
    font.height = std::get<1>(key);
    font.weight = std::get<2>(key);

    Glyph glyph;
    const wxFont wxfont = FontForSpec(font);
    wxBitmap scratch(1, 1);
    wxMemoryDC dc(scratch);
    dc.SetFont(wxfont);
    const wxString text = wxString::FromUTF8(character.c_str());
    const wxSize extent = dc.GetTextExtent(text);
    dc.SelectObject(wxNullBitmap);
    if (extent.x > 0 && extent.y > 0) {
        wxBitmap bitmap(extent.x, extent.y, 24);
        dc.SelectObject(bitmap);
        dc.SetBackground(wxBrush(wxColour(RedOf(background), GreenOf(background), BlueOf(background))));
        dc.Clear();
        dc.SetFont(wxfont);
        dc.SetTextForeground(wxColour(RedOf(foreground), GreenOf(foreground), BlueOf(foreground)));
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        dc.DrawText(text, 0, 0);
        dc.SelectObject(wxNullBitmap);
        const wxImage image = bitmap.ConvertToImage();
        glyph.pixels.Resize(extent.x, extent.y);
        const unsigned char* rgb = image.GetData();
        for (int y = 0; y < extent.y; ++y)
            for (int x = 0; x < extent.x; ++x, rgb += 3) glyph.pixels.Set(x, y, MakeRgb(rgb[0], rgb[1], rgb[2]));
    }
    return face.glyphs.emplace(character, std::move(glyph)).first->second;
}

void GlyphText::Write(const TextCommand& t, PixelImage& into) {
    if (t.text.empty()) return;
    Rgb background = t.background;
    if (!t.opaque) {
        const int ax = std::clamp(t.x, 0, std::max(0, into.Width() - 1));
        const int ay = std::clamp(t.y, 0, std::max(0, into.Height() - 1));
        background = into.Width() > 0 && into.Height() > 0 ? into.At(ax, ay) : 0;
    }
    const FaceKey key(t.font.face, t.font.height, t.font.weight, t.colour, background);
    Face& face = faces_[key];

    std::vector<const Glyph*> glyphs;
    int width = 0;
    for (const std::string& c : Characters(t.text)) {
        glyphs.push_back(&GlyphFor(face, key, c));
        width += glyphs.back()->pixels.Width();
    }
    int x = t.x;
    if (t.align == TextAlign::Centre) x -= width / 2;
    if (t.align == TextAlign::Right) x -= width;
    for (const Glyph* g : glyphs) {
        into.CopyFrom(g->pixels, 0, 0, g->pixels.Width(), g->pixels.Height(), x, t.y);
        x += g->pixels.Width();
    }
}

}  // namespace pelmora
