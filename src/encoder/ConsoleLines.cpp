// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/ConsoleLines.h"

namespace pelmora {

namespace {
constexpr std::size_t kMaxLineBytes = 4096;  // a line without an end is cut into lines of this length
}

void ConsoleLines::EndLine() {
    if (keepBlank_ || current_.find_first_not_of(" \t") != std::string::npos) lines_.push_back(std::move(current_));
    current_.clear();
    returned_ = false;
    while (lines_.size() > maxLines_) lines_.pop_front();
}

void ConsoleLines::Append(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            EndLine();
        } else if (c == '\r') {
            returned_ = true;  // "\r\n" ends the line as it stands
        } else {
            if (returned_) {
                current_.clear();
                returned_ = false;
            }
            // Other control characters (a terminal's bell, colours) show as nothing.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') current_ += c;
            if (current_.size() >= kMaxLineBytes) EndLine();
        }
    }
}

std::vector<std::string> ConsoleLines::Lines() const {
    // The line being written counts among the newest.
    const bool withCurrent = !current_.empty();
    auto from = lines_.begin();
    if (withCurrent && lines_.size() >= maxLines_ && from != lines_.end()) ++from;
    std::vector<std::string> out(from, lines_.end());
    if (withCurrent) out.push_back(current_);
    return out;
}

std::string ConsoleLines::Text() const {
    const std::vector<std::string> lines = Lines();
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    return text;
}

void ConsoleLines::Clear() {
    lines_.clear();
    current_.clear();
    returned_ = false;
}

}  // namespace pelmora
