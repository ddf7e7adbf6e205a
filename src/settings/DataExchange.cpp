// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/DataExchange.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace pelmora {

namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The text between leading and trailing blanks.
std::string Trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

enum class IntText { Bad, Fits, TooLarge };

// A whole integer; one beyond 32 bits is still a number, saturated at the nearer bound.
IntText ReadInt(const std::string& text, bool allowSign, int64_t& value) {
    std::string t = Trimmed(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '-' && !allowSign) return IntText::Bad;
        negative = t[i] == '-';
        ++i;
    }
    if (i == t.size()) return IntText::Bad;
    const int64_t beyond = std::numeric_limits<int32_t>::max() + int64_t{2};
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return IntText::Bad;
        v = std::min(v * 10 + (t[i] - '0'), beyond);
    }
    v = negative ? -v : v;
    value = std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    return value == v ? IntText::Fits : IntText::TooLarge;
}

}  // namespace

bool ParseInt(const std::string& text, bool allowSign, int64_t& value) {
    int64_t v = 0;
    if (ReadInt(text, allowSign, v) != IntText::Fits) return false;
    value = v;
    return true;
}

bool ParseNumber(const std::string& text, double& value) {
    std::string t = Trimmed(text);
    std::size_t start = (!t.empty() && t[0] == '+') ? 1 : 0;
    if (start == t.size()) return false;
    // Only plain decimal notation: no "inf", "nan" or hexadecimal forms.
    for (std::size_t i = start; i < t.size(); ++i) {
        char c = t[i];
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
            return false;
    }
    double v = 0.0;
    const char* first = t.data() + start;
    const char* last = t.data() + t.size();
    auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec != std::errc() || end != last || !std::isfinite(v)) return false;
    value = v;
    return true;
}

std::string FormatNumber(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

int32_t LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > std::numeric_limits<int32_t>::max()) v = std::numeric_limits<int32_t>::max() + int64_t{1};
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

std::string IntegerRangeMessage(int64_t minimum, int64_t maximum) {
    return "Please enter an integer between " + std::to_string(minimum) + " and " + std::to_string(maximum) + ".";
}

std::string NumberRangeMessage(double minimum, double maximum) {
    return "Please enter a number between " + FormatNumber(minimum) + " and " + FormatNumber(maximum) + ".";
}

DataExchange DataExchange::ReadingOne(PageControls& controls, int id) {
    DataExchange dx(controls, true);
    dx.only_ = id;
    return dx;
}

bool DataExchange::Skipped(int id) const { return failed_ || (only_ != 0 && id != only_); }

void DataExchange::Fail(const std::string& message) {
    failed_ = true;
    if (only_ == 0) controls_.ShowMessage(message);
}

void DataExchange::Check(int id, int32_t& state) {
    if (Skipped(id)) return;
    if (save_) state = controls_.Checked(id) ? 1 : 0;
    else controls_.SetChecked(id, state != 0);
}

void DataExchange::Radio(std::initializer_list<int> ids, int32_t& index) {
    if (failed_ || (only_ != 0 && std::find(ids.begin(), ids.end(), only_) == ids.end())) return;
    int32_t i = 0;
    if (save_) {
        index = -1;
        for (int id : ids) {
            if (controls_.Checked(id)) {
                index = i;
                break;
            }
            ++i;
        }
    } else {
        for (int id : ids) controls_.SetChecked(id, i++ == index);
    }
}

void DataExchange::Text(int id, std::string& text) {
    if (Skipped(id)) return;
    if (save_) text = controls_.Text(id);
    else controls_.SetText(id, text);
}

void DataExchange::Int(int id, int32_t& value, int32_t minimum, int32_t maximum) {
    Integer(id, value, minimum, maximum, true, "Please enter an integer.");
}

void DataExchange::UInt(int id, int32_t& value, int32_t minimum, int32_t maximum) {
    Integer(id, value, minimum, maximum, false, "Please enter a positive integer.");
}

void DataExchange::Integer(int id, int32_t& value, int32_t minimum, int32_t maximum, bool allowSign,
                           const char* notANumber) {
    if (Skipped(id)) return;
    if (!save_) {
        controls_.SetText(id, std::to_string(value));
        return;
    }
    int64_t v = 0;
    const IntText read = ReadInt(controls_.Text(id), allowSign, v);
    if (read == IntText::Bad) return Fail(notANumber);
    // A number too large for the value is still a number: it gets the range message.
    value = static_cast<int32_t>(v);
    if (read == IntText::TooLarge || v < minimum || v > maximum) Fail(IntegerRangeMessage(minimum, maximum));
}

void DataExchange::Number(int id, double& value, double minimum, double maximum) {
    if (Skipped(id)) return;
    if (!save_) {
        controls_.SetText(id, FormatNumber(value));
        return;
    }
    double v = 0.0;
    if (!ParseNumber(controls_.Text(id), v)) return Fail("Please enter a number.");
    value = v;
    if (v < minimum || v > maximum) Fail(NumberRangeMessage(minimum, maximum));
}

}  // namespace pelmora
