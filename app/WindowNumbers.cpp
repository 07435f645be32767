#include "app/WindowNumbers.h"

#include <QLocale>
#include <QString>
#include <cmath>

#include "platform/NumberText.h"

std::string LocaleNumber(std::string text) {
  const QString point = QLocale().decimalPoint();
  if (point != QLatin1String(".")) {
    const std::string sep = point.toStdString();
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
