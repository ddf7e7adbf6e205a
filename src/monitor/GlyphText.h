// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window code, main thread: writes text commands into pixels from glyph images that the
// toolkit draws once per character, font and colours. A changing value then costs a few
// pixel copies instead of a text layout, a measure and a toolkit drawing context.
// Characters are placed at their own advances (no kerning between pairs).

#include <map>
#include <string>
#include <tuple>
#include <unordered_map>

#include "monitor/PixelImage.h"
#include "monitor/TextCommand.h"

namespace pelmora {

class GlyphText {
public:
    /// Writes `t` into `into` and returns its cell (x, y, width, height); nothing for an
    /// empty text. An opaque command fills its cell with its background; any other is
    /// written over the colour found at its anchor, so it belongs on a flat fill.
    void Write(const TextCommand& t, PixelImage& into);

private:
    struct Glyph {
        PixelImage pixels;  // advance × line height, on the face's background
    };
    struct Face {
        std::unordered_map<std::string, Glyph> glyphs;
    };
    using FaceKey = std::tuple<std::string, int, int, Rgb, Rgb>;

    const Glyph& GlyphFor(Face& face, const FaceKey& key, const std::string& character);

    std::map<FaceKey, Face> faces_;
};

}  // namespace pelmora
