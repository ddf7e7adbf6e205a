// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderWords.h"

namespace pelmora {

std::vector<std::string> SplitEncoderWords(const std::string& args) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // a quote pair alone makes a (possibly empty) word
    bool quoted = false;
    for (char ch : args) {
        if (ch == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += ch;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

}  // namespace pelmora
