// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange between page values and controls: parsing, messages, stop at the first failure.

#include <gtest/gtest.h>

#include "support/PageFakes.h"
#include "settings/DataExchange.h"

namespace pelmora {
namespace {

using test::FakeControls;

TEST(PageParsing, IntegersAcceptBlanksAroundAndRejectEverythingElse) {
    int64_t v = 0;
    EXPECT_TRUE(ParseInt(" 42 ", true, v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(ParseInt("-7", true, v));
    EXPECT_EQ(v, -7);
    EXPECT_FALSE(ParseInt("-7", false, v));
    EXPECT_TRUE(ParseInt("+7", false, v));
    for (const char* bad : {"", " ", "4 2", "12abc", "abc", "1.5", "-", "99999999999"})
        EXPECT_FALSE(ParseInt(bad, true, v)) << bad;
}

TEST(PageParsing, NumbersArePlainDecimalsShownInTheirShortestForm) {
    double v = 0;
    EXPECT_TRUE(ParseNumber(" 16.5", v));
    EXPECT_DOUBLE_EQ(v, 16.5);
    EXPECT_TRUE(ParseNumber("1e1", v));
    EXPECT_DOUBLE_EQ(v, 10);
    for (const char* bad : {"", "abc", "1,5", "inf", "nan", "0x10", "1.5kHz"}) EXPECT_FALSE(ParseNumber(bad, v)) << bad;
    EXPECT_EQ(FormatNumber(16.5), "16.5");
    EXPECT_EQ(FormatNumber(0), "0");
    EXPECT_EQ(FormatNumber(0.1), "0.1");
}

TEST(PageParsing, LeadingNumberReadsWhatATextStartsWith) {
    EXPECT_EQ(LeadingNumber("500"), 500);
    EXPECT_EQ(LeadingNumber(" 128kbit"), 128);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber("-5"), -5);
    EXPECT_EQ(LeadingNumber("99999999999"), 2147483647);
}

TEST(PageExchange, SavingStopsAtTheFirstFailureAndKeepsAnOutOfRangeNumber) {
    FakeControls c;
    c.controls[1].text = "70";
    c.controls[2].text = "x";
    c.controls[3].text = "5";
    int32_t a = 1, b = 2, d = 3;
    DataExchange dx(c, true);
    dx.UInt(1, a, 0, 59);
    dx.UInt(2, b, 0, 59);
    dx.UInt(3, d, 0, 59);
    EXPECT_TRUE(dx.Failed());
    EXPECT_EQ(a, 70);  // taken, then refused
    EXPECT_EQ(b, 2);
    EXPECT_EQ(d, 3);
    ASSERT_EQ(c.messages.size(), 1u);
    EXPECT_EQ(c.messages[0], "Please enter an integer between 0 and 59.");
}

TEST(PageExchange, EachKindHasItsOwnMessageForText) {
    FakeControls c;
    c.controls[1].text = "-1";
    int32_t v = 0;
    double d = 0;
    DataExchange(c, true).UInt(1, v, 0, 10);
    DataExchange(c, true).Int(1, v, 0, 10);
    c.controls[1].text = "abc";
    DataExchange(c, true).Int(1, v, 0, 10);
    DataExchange(c, true).Number(1, d, 0, 22);
    c.controls[1].text = "25";
    DataExchange(c, true).Number(1, d, 0, 22);
    EXPECT_EQ(c.messages, (std::vector<std::string>{"Please enter a positive integer.",
                                                    "Please enter an integer between 0 and 10.",
                                                    "Please enter an integer.", "Please enter a number.",
                                                    "Please enter a number between 0 and 22."}));
    EXPECT_EQ(d, 25);
}

TEST(PageExchange, ShowingWritesEveryValueAndARadioGroupChecksOneButton) {
    FakeControls c;
    int32_t n = 12, flag = 1, radio = 1;
    double x = 0.5;
    std::string s = "text";
    DataExchange dx(c, false);
    dx.Int(1, n, 0, 100);
    dx.Check(2, flag);
    dx.Number(3, x, 0, 1);
    dx.Text(4, s);
    dx.Radio({5, 6}, radio);
    EXPECT_EQ(c.controls[1].text, "12");
    EXPECT_TRUE(c.controls[2].checked);
    EXPECT_EQ(c.controls[3].text, "0.5");
    EXPECT_EQ(c.controls[4].text, "text");
    EXPECT_FALSE(c.controls[5].checked);
    EXPECT_TRUE(c.controls[6].checked);
    int32_t back = -1;
    DataExchange(c, true).Radio({5, 6}, back);
    EXPECT_EQ(back, 1);
}

}  // namespace
}  // namespace pelmora
