#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Numbers as text for files and queries: always '.' as decimal separator and never
// a thousands separator, whatever locale the process runs in. Built on
// std::to_chars / std::from_chars, which read no locale and no global state.
namespace numtext {

// General format: the value rounded to `significantDigits` significant digits,
// trailing zeros and a trailing point dropped. Plain notation for 0 and for
// 0.0001 <= |v| < 10^15 (with 15 digits; 10^significantDigits in general);
// otherwise one digit, the other digits after '.', 'E', '-' for a negative
// exponent and the exponent without leading zeros: 5E-5, 1.23E3.
// NaN and the infinities give "NAN", "INF" and "-INF".
std::string FormatGeneral(double value, int significantDigits = 15);

// Fixed notation with exactly `decimals` decimals. The value is read at 15
// significant digits (as it shows anywhere else) and a half in the last decimal
// goes away from zero: 12.25 -> "12.3", -0.25 -> "-0.3" with one decimal.
// A result that rounds to zero keeps no minus sign.
std::string FormatFixed(double value, int decimals);

std::string FormatInt(std::int64_t value);

// Parses the whole text as a decimal number with '.' and an optional exponent
// ("12.5", "-3", "+8.5", "5E-5", "1.23e3"): one sign, '-' or '+', in front of
// the number and one in front of the exponent. No blanks, no hex; nothing else
// may follow. Returns nothing when the text is not such a number or is out of
// the range of a double.
std::optional<double> ParseDouble(std::string_view text);

// Parses the whole text as a decimal integer with an optional sign, '-' or '+'.
std::optional<std::int64_t> ParseInt(std::string_view text);

}  // namespace numtext
