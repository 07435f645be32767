#pragma once

#include <functional>
#include <string>
#include <string_view>

// Numbers shown in the windows (radii, depth readouts, log values) use the
// user's decimal separator; numbers in files never do (platform/NumberText.h).

// Where the user's decimal separator comes from; asked anew for every number, so
// a change of the user's settings shows at once. Without a source it is '.'.
void SetDecimalSeparatorSource(std::function<std::string()> source);
std::string UserDecimalSeparator();

// `text`, a number written with '.', with `separator` in place of the '.'.
std::string WithDecimalSeparator(std::string text, std::string_view separator);

// Fixed-point with `decimals` decimals at a precision of `precision` significant
// digits, as the platform's fixed format: the value is rounded once, at whichever
// of the two limits comes first (1234.56 at precision 4 shows "1235.0"), and a
// value with more integer digits than the precision shows in exponent form.
std::string FixedNumber(double value, int decimals, int precision, std::string_view separator);

// The same with the user's decimal separator.
std::string LocaleNumber(std::string text);
std::string LocaleFixed(double value, int decimals, int precision = 4);

// General format with up to 15 significant digits.
std::string LocaleGeneral(double value);
