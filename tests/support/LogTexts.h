// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Log lines without their "hh:mm:ss.cc - " stamps, for comparing with the texts logged.

#include <algorithm>
#include <string>
#include <vector>

namespace pelmora::test {

inline std::vector<std::string> WithoutStamps(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines)
        out.push_back(line.size() > 14 && line.compare(11, 3, " - ") == 0 ? line.substr(14) : line);
    return out;
}

inline bool HasText(const std::vector<std::string>& lines, const std::string& text) {
    const auto texts = WithoutStamps(lines);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace pelmora::test
