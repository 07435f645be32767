#pragma once

#include <string>
#include <string_view>

// Numbers the windows show, with the decimal separator the caller takes from the
// user's locale. Numbers in files never go through here (platform/NumberText.h).

// `text`, a number written with '.', with `decimalSeparator` in place of the '.'.
std::string WithDecimalSeparator(std::string text, std::string_view decimalSeparator);

// Fixed-point with `decimals` decimals at a precision of `precision` significant
// digits, as the platform's fixed format: the value is rounded once, at whichever
// of the two limits comes first (1234.56 at precision 4 shows "1235.0"), and a
// value with more integer digits than the precision shows in exponent form.
std::string FixedNumber(double value, int decimals, int precision, std::string_view decimalSeparator);
