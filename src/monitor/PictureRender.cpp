#include "monitor/PictureRender.h"

#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/graphics.h>
#include <wx/image.h>

#include <map>
#include <string>
#include <tuple>
#include <unordered_map>

namespace pelmora {

namespace {

wxColour ColourOf(Rgb c) { return wxColour(RedOf(c), GreenOf(c), BlueOf(c)); }

// Fonts are made once per description and kept for the run.
const wxFont& FontFor(const FontSpec& font) {
    static std::map<std::tuple<std::string, int, int>, wxFont> fonts;
    auto key = std::make_tuple(font.face, font.height, font.weight);
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        wxFontInfo info(wxSize(0, font.height > 0 ? font.height : 1));
        info.FaceName(font.face).Family(wxFONTFAMILY_SWISS).Weight(font.weight);
        it = fonts.emplace(key, wxFont(info)).first;
    }
    return it->second;
}

// Each font or colour set on a graphics DC makes a new toolkit font: only changes are set.
void UseFont(wxDC& dc, const FontSpec& spec) {
    const wxFont& font = FontFor(spec);
    if (!dc.GetFont().IsSameAs(font)) dc.SetFont(font);
}

// Toolkit fonts for drawing, made once per font and colour.
const wxGraphicsFont& GraphicsFontFor(wxGraphicsContext& gc, const FontSpec& font, Rgb colour) {
    static std::map<std::tuple<std::string, int, int, Rgb>, wxGraphicsFont> fonts;
    auto key = std::make_tuple(font.face, font.height, font.weight, colour);
    auto it = fonts.find(key);
    if (it == fonts.end()) it = fonts.emplace(key, gc.CreateFont(FontFor(font), ColourOf(colour))).first;
    return it->second;
}

// Extents by font and text: each measure lays the text out afresh, and captions, states
// and many values come back again and again.
wxSize TextExtent(wxDC& dc, const TextCommand& t) {
    static std::unordered_map<std::string, wxSize> extents;
    std::string key = t.font.face;
    key += '\x1f' + std::to_string(t.font.height) + '\x1f' + std::to_string(t.font.weight) + '\x1f' + t.text;
    auto it = extents.find(key);
    if (it != extents.end()) return it->second;
    if (extents.size() >= 1024) extents.clear();
    UseFont(dc, t.font);
    const wxSize extent = dc.GetTextExtent(wxString::FromUTF8(t.text.c_str()));
    extents.emplace(std::move(key), extent);
    return extent;
}

}  // namespace

wxBitmap ToBitmap(const PixelImage& pixels) { return ToBitmap(pixels, 0, 0, pixels.Width(), pixels.Height()); }

wxBitmap ToBitmap(const PixelImage& pixels, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return wxBitmap();
    wxImage image(w, h, false);
    unsigned char* rgb = image.GetData();
    const Rgb* src = pixels.Pixels().data();
    const std::size_t stride = static_cast<std::size_t>(pixels.Width());
    for (int row = 0; row < h; ++row) {
        const Rgb* line = src + static_cast<std::size_t>(y + row) * stride + static_cast<std::size_t>(x);
        for (int i = 0; i < w; ++i, rgb += 3) {
            rgb[0] = RedOf(line[i]);
            rgb[1] = GreenOf(line[i]);
            rgb[2] = BlueOf(line[i]);
        }
    }
    return wxBitmap(image);
}

wxRect TextCell(wxDC& dc, const TextCommand& t) {
    if (t.text.empty()) return wxRect();
    const wxSize extent = TextExtent(dc, t);
    int x = t.x;
    if (t.align == TextAlign::Centre) x -= extent.x / 2;
    if (t.align == TextAlign::Right) x -= extent.x;
    return wxRect(x, t.y, extent.x, extent.y);
}

void DrawTextCommand(wxDC& dc, const TextCommand& t, const wxRect& cell) {
    if (t.text.empty()) return;
    if (t.opaque) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(ColourOf(t.background)));
        dc.DrawRectangle(cell);
    }
    // Straight to the graphics context: the DC's own DrawText measures the text twice more.
    if (wxGraphicsContext* gc = dc.GetGraphicsContext()) {
        gc->SetFont(GraphicsFontFor(*gc, t.font, t.colour));
        gc->DrawText(wxString::FromUTF8(t.text.c_str()), cell.x, cell.y);
        return;
    }
    UseFont(dc, t.font);
    if (dc.GetBackgroundMode() != wxBRUSHSTYLE_TRANSPARENT) dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const wxColour colour = ColourOf(t.colour);
    if (dc.GetTextForeground() != colour) dc.SetTextForeground(colour);
    dc.DrawText(wxString::FromUTF8(t.text.c_str()), cell.x, cell.y);
}

wxBitmap RenderPicture(const PixelImage& pixels, const TextCommands& texts, std::vector<wxRect>* boxes) {
    if (boxes) boxes->clear();
    wxBitmap bitmap = ToBitmap(pixels);
    if (!bitmap.IsOk() || texts.empty()) return bitmap;
    wxMemoryDC dc(bitmap);
    for (const TextCommand& t : texts) {
        const wxRect cell = TextCell(dc, t);
        DrawTextCommand(dc, t, cell);
        if (boxes) boxes->push_back(cell);
    }
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

}  // namespace pelmora
