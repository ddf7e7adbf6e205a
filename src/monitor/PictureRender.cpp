#include "monitor/PictureRender.h"

#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/image.h>

#include <map>
#include <tuple>

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
    UseFont(dc, t.font);
    const wxSize extent = dc.GetTextExtent(wxString::FromUTF8(t.text.c_str()));
    int x = t.x;
    if (t.align == TextAlign::Centre) x -= extent.x / 2;
    if (t.align == TextAlign::Right) x -= extent.x;
    return wxRect(x, t.y, extent.x, extent.y);
}

void DrawTextCommand(wxDC& dc, const TextCommand& t, const wxRect& cell) {
    if (t.text.empty()) return;
    UseFont(dc, t.font);
    if (t.opaque) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(ColourOf(t.background)));
        dc.DrawRectangle(cell);
    }
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
