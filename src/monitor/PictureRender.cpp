// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/PictureRender.h"

#include <wx/font.h>
#include <wx/image.h>

#include <map>
#include <string>
#include <tuple>

namespace pelmora {

namespace {

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

const wxFont& FontForSpec(const FontSpec& font) { return FontFor(font); }

}  // namespace pelmora
