// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderWords.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

using Words = std::vector<std::string>;

TEST(EncoderWordsTest, BlanksSeparateAndRunsOfBlanksCountOnce) {
    EXPECT_EQ(SplitEncoderWords(" -r -s 44.1 --bitwidth 16 -h -b 128  "),
              (Words{"-r", "-s", "44.1", "--bitwidth", "16", "-h", "-b", "128"}));
    EXPECT_EQ(SplitEncoderWords("a\tb\nc\r\nd"), (Words{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitEncoderWords("  "), Words{});
    EXPECT_EQ(SplitEncoderWords(""), Words{});
}

TEST(EncoderWordsTest, DoubleQuotesGroupAndDisappear) {
    EXPECT_EQ(SplitEncoderWords(" --tt \"My  Song\" --ta a\"b c\"d "), (Words{"--tt", "My  Song", "--ta", "ab cd"}));
    EXPECT_EQ(SplitEncoderWords("--tc \"\" x"), (Words{"--tc", "", "x"}));
    EXPECT_EQ(SplitEncoderWords("--tc \"open end  "), (Words{"--tc", "open end  "}));
    EXPECT_EQ(SplitEncoderWords("\"\"\"\""), Words{""});
}

TEST(EncoderWordsTest, ShellCharactersAreOrdinaryText) {
    EXPECT_EQ(SplitEncoderWords("$(touch x) ; `id` | 'a b' \\\"c"),
              (Words{"$(touch", "x)", ";", "`id`", "|", "'a", "b'", "\\c"}));
}

}  // namespace
}  // namespace pelmora
