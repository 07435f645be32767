#include "app/logic/DisplayNumbers.h"

#include <cmath>

#include "platform/NumberText.h"

std::string WithDecimalSeparator(std::string text, std::string_view decimalSeparator) {
  if (decimalSeparator == ".") return text;
  for (std::size_t i = text.find('.'); i != std::string::npos; i = text.find('.', i + decimalSeparator.size()))
    text.replace(i, 1, decimalSeparator);
  return text;
}

std::string FixedNumber(double value, int decimals, int precision, std::string_view decimalSeparator) {
  const std::string general = numtext::FormatGeneral(value, precision);
  const auto parsed = numtext::ParseDouble(general);
  if (!parsed) return WithDecimalSeparator(general, decimalSeparator);  // NAN, INF
  const double rounded = *parsed;
  int integerDigits = 1;
  for (double limit = 10.0; std::fabs(rounded) >= limit && integerDigits <= precision; limit *= 10.0)
    ++integerDigits;
  if (integerDigits > precision) return WithDecimalSeparator(general, decimalSeparator);
  // Fewer decimals than asked fit the precision: the value rounded to the
  // precision, padded with zeros.
  if (precision - integerDigits < decimals)
    return WithDecimalSeparator(numtext::FormatFixed(rounded, decimals), decimalSeparator);
  return WithDecimalSeparator(numtext::FormatFixed(value, decimals), decimalSeparator);
}
