#include "app/logic/WindowNumbers.h"

#include <cmath>
#include <mutex>

#include "platform/NumberText.h"

namespace {
std::mutex sourceMutex;
std::function<std::string()> separatorSource;
}  // namespace

void SetDecimalSeparatorSource(std::function<std::string()> source) {
  std::lock_guard lock(sourceMutex);
  separatorSource = std::move(source);
}

std::string UserDecimalSeparator() {
  std::lock_guard lock(sourceMutex);
  return separatorSource ? separatorSource() : std::string(".");
}

std::string WithDecimalSeparator(std::string text, std::string_view separator) {
  if (separator.empty() || separator == ".") return text;
  for (std::size_t i = text.find('.'); i != std::string::npos; i = text.find('.', i + separator.size()))
    text.replace(i, 1, separator);
  return text;
}

std::string FixedNumber(double value, int decimals, int precision, std::string_view separator) {
  const std::string general = numtext::FormatGeneral(value, precision);
  const auto parsed = numtext::ParseDouble(general);
  if (!parsed) return WithDecimalSeparator(general, separator);  // NAN, INF
  const double rounded = *parsed;
  int integerDigits = 1;
  for (double limit = 10.0; std::fabs(rounded) >= limit && integerDigits <= precision; limit *= 10.0)
    ++integerDigits;
  if (integerDigits > precision) return WithDecimalSeparator(general, separator);
  // Fewer decimals than asked fit the precision: the value rounded to the
  // precision, padded with zeros.
  if (precision - integerDigits < decimals)
    return WithDecimalSeparator(numtext::FormatFixed(rounded, decimals), separator);
  return WithDecimalSeparator(numtext::FormatFixed(value, decimals), separator);
}

std::string LocaleNumber(std::string text) { return WithDecimalSeparator(std::move(text), UserDecimalSeparator()); }

std::string LocaleFixed(double value, int decimals, int precision) {
  return FixedNumber(value, decimals, precision, UserDecimalSeparator());
}

std::string LocaleGeneral(double value) { return LocaleNumber(numtext::FormatGeneral(value, 15)); }
