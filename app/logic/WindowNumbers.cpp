#include "app/logic/WindowNumbers.h"

#include <cmath>
#include <mutex>

#include "platform/NumberText.h"

namespace {
std::mutex sourceMutex;
std::function<std::string()> separatorSource;

std::string DecimalSeparator() {
  std::lock_guard lock(sourceMutex);
  return separatorSource ? separatorSource() : std::string(".");
}
}  // namespace

void SetDecimalSeparatorSource(std::function<std::string()> source) {
  std::lock_guard lock(sourceMutex);
  separatorSource = std::move(source);
}

std::string LocaleNumber(std::string text) {
  const std::string sep = DecimalSeparator();
  if (!sep.empty() && sep != ".") {
    for (std::size_t i = text.find('.'); i != std::string::npos; i = text.find('.', i + sep.size()))
      text.replace(i, 1, sep);
  }
  return text;
}

std::string LocaleGeneral(double value) { return LocaleNumber(numtext::FormatGeneral(value, 15)); }

std::string LocaleFixed(double value, int decimals, int precision) {
  const std::string general = numtext::FormatGeneral(value, precision);
  const auto parsed = numtext::ParseDouble(general);
  if (!parsed) return LocaleNumber(general);  // NAN, INF
  const double rounded = *parsed;
  int integerDigits = 1;
  for (double limit = 10.0; std::fabs(rounded) >= limit && integerDigits <= precision; limit *= 10.0)
    ++integerDigits;
  if (integerDigits > precision) return LocaleNumber(general);
  // Fewer decimals than asked fit the precision: the value rounded to the
  // precision, padded with zeros.
  if (precision - integerDigits < decimals) return LocaleNumber(numtext::FormatFixed(rounded, decimals));
  return LocaleNumber(numtext::FormatFixed(value, decimals));
}
