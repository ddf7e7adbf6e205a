// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace pelmora {

/// Splits the encoder argument text into words at blanks, tabs and line breaks.
/// Double quotes group words and are removed ("a b"c gives one word a bc; "" gives an
/// empty word); an unclosed quote runs to the end. Nothing else is special: no
/// backslashes, variables or globbing, since no shell ever sees the text.
std::vector<std::string> SplitEncoderWords(const std::string& args);

}  // namespace pelmora
