// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text as a console shows it, kept as lines: "\n" ends a line, "\r" starts it afresh (a
// progress line rewritten in place). Only the newest lines are kept.

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace pelmora {

class ConsoleLines {
public:
    /// `keepBlank` false: lines of white space only are not kept.
    explicit ConsoleLines(std::size_t maxLines, bool keepBlank = true) : maxLines_(maxLines), keepBlank_(keepBlank) {}

    void Append(const char* data, std::size_t size);
    void Append(const std::string& text) { Append(text.data(), text.size()); }

    /// Completed lines, oldest first, followed by the line still being written when it is
    /// not empty.
    std::vector<std::string> Lines() const;
    /// The same lines joined by "\n".
    std::string Text() const;
    void Clear();

private:
    void EndLine();

    std::size_t maxLines_;
    bool keepBlank_;
    std::deque<std::string> lines_;
    std::string current_;
    bool returned_ = false;  // a "\r" came: the next text rewrites the current line
};

}  // namespace pelmora
