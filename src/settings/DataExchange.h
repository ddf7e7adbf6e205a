// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Two-way exchange between a page's values and its controls, with the validation messages
// the pages show. Saving reads the controls in binding order and stops at the first value
// that fails; a number outside its range (or too large to hold, then at the nearer bound)
// is taken into the value before it fails.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "settings/PageControls.h"

namespace pelmora {

class DataExchange {
public:
    /// `save` true: controls to values (validating); false: values to controls.
    DataExchange(PageControls& controls, bool save) : controls_(controls), save_(save) {}

    /// Reads only the control `id` (a radio group when `id` is one of its buttons), without
    /// a message: for the control a user just changed after the page's reading stopped short.
    static DataExchange ReadingOne(PageControls& controls, int id);

    bool Saving() const { return save_; }
    bool Failed() const { return failed_; }

    void Check(int id, int32_t& state);
    /// A radio group: the index of the checked button among `ids`.
    void Radio(std::initializer_list<int> ids, int32_t& index);
    void Text(int id, std::string& text);
    /// Signed integer box ("Please enter an integer.").
    void Int(int id, int32_t& value, int32_t minimum, int32_t maximum);
    /// Unsigned integer box ("Please enter a positive integer.").
    void UInt(int id, int32_t& value, int32_t minimum, int32_t maximum);
    /// Real number box ("Please enter a number."), shown in its shortest form.
    void Number(int id, double& value, double minimum, double maximum);

private:
    void Integer(int id, int32_t& value, int32_t minimum, int32_t maximum, bool allowSign, const char* notANumber);
    bool Skipped(int id) const;
    void Fail(const std::string& message);

    PageControls& controls_;
    bool save_;
    bool failed_ = false;
    int only_ = 0;  // when not 0, the one control read
};

// The parsing and texts behind the exchange, for the pages' own handlers too.

/// A whole integer with optional blanks around it; false for anything else or overflow.
bool ParseInt(const std::string& text, bool allowSign, int64_t& value);
/// A whole real number with optional blanks around it; false for anything else.
bool ParseNumber(const std::string& text, double& value);
/// Shortest general form with up to 15 significant digits ("16.5", "0").
std::string FormatNumber(double value);
/// The leading decimal number of a text (after blanks), 0 when it starts with none.
int32_t LeadingNumber(const std::string& text);

std::string IntegerRangeMessage(int64_t minimum, int64_t maximum);
std::string NumberRangeMessage(double minimum, double maximum);

}  // namespace pelmora
