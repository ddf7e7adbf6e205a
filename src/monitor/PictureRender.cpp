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
const wxFont& FontFor(const FontSpec& spec) {
    static std::map<std::tuple<std::string, int, int>, wxFont> fonts;
    auto key = std::make_tuple(spec.face, spec.height, spec.weight);
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        wxFontInfo info(wxSize(0, spec.height > 0 ? spec.height : 1));
        info.FaceName(spec.face).Family(wxFONTFAMILY_SWISS).Weight(spec.weight);
        it = fonts.emplace(key, wxFont(info)).first;
    }
    return it->second;
}

}  // namespace

wxBitmap ToBitmap(const PixelImage& pixels) {
    const int w = pixels.Width(), h = pixels.Height();
    if (w <= 0 || h <= 0) return wxBitmap();
    wxImage image(w, h, false);
    unsigned char* rgb = image.GetData();
    const std::vector<Rgb>& src = pixels.Pixels();
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    for (std::size_t i = 0; i < count; ++i) {
        rgb[3 * i] = RedOf(src[i]);
        rgb[3 * i + 1] = GreenOf(src[i]);
        rgb[3 * i + 2] = BlueOf(src[i]);
    }
    return wxBitmap(image);
}

wxBitmap RenderPicture(const PixelImage& pixels, const TextCommands& texts) {
    wxBitmap bitmap = ToBitmap(pixels);
    if (!bitmap.IsOk() || texts.empty()) return bitmap;
    wxMemoryDC dc(bitmap);
    for (const TextCommand& t : texts) {
        if (t.text.empty()) continue;
        wxString text = wxString::FromUTF8(t.text.c_str());
        dc.SetFont(FontFor(t.font));
        wxSize extent = dc.GetTextExtent(text);
        int x = t.x;
        if (t.align == TextAlign::Centre) x -= extent.x / 2;
        if (t.align == TextAlign::Right) x -= extent.x;
        if (t.opaque) {
            dc.SetPen(*wxTRANSPARENT_PEN);
            dc.SetBrush(wxBrush(ColourOf(t.background)));
            dc.DrawRectangle(x, t.y, extent.x, extent.y);
        }
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        dc.SetTextForeground(ColourOf(t.colour));
        dc.DrawText(text, x, t.y);
    }
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

}  // namespace pelmora
