// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text that a composed picture carries beside its pixels. The engine never needs a font or a
// window: it says what to write where, and the window draws each command with its own
// toolkit on the main thread, after blitting the pixels, in list order.

#include <string>
#include <vector>

#include "monitor/PixelImage.h"

namespace pelmora {

/// A font by description: face, pixel height of the character cell, weight (400 normal,
/// 700 bold). Always upright, not underlined or struck out, sans-serif family.
struct FontSpec {
    std::string face = "Arial";
    int height = 0;
    int weight = 400;
};

/// How `x` of a TextCommand anchors the text horizontally.
enum class TextAlign { Left, Centre, Right };

struct TextCommand {
    std::string text;
    int x = 0;  // left edge, centre or right edge, after `align`
    int y = 0;  // top edge of the text cell
    TextAlign align = TextAlign::Left;
    Rgb colour = 0;
    bool opaque = false;  // fill the text cell with `background` first
    Rgb background = 0;
    FontSpec font;
};

using TextCommands = std::vector<TextCommand>;

}  // namespace pelmora
