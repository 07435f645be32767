#pragma once

#include <string>

// Numbers shown in the windows (radii, depth readouts, log values) use the
// user's decimal separator; numbers in files never do (platform/NumberText.h).

// The decimal separator of the user's locale.
std::string UserDecimalSeparator();

// `text`, a number written with '.', with the user's decimal separator.
std::string LocaleNumber(std::string text);

// General format with up to 15 significant digits.
std::string LocaleGeneral(double value);

// FixedNumber (app/logic/DisplayNumbers.h) with the user's decimal separator.
std::string LocaleFixed(double value, int decimals, int precision = 4);
