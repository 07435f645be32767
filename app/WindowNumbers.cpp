#include "app/WindowNumbers.h"

#include <QLocale>
#include <QString>

#include "app/logic/DisplayNumbers.h"
#include "platform/NumberText.h"

std::string UserDecimalSeparator() { return QString(QLocale().decimalPoint()).toStdString(); }

std::string LocaleNumber(std::string text) { return WithDecimalSeparator(std::move(text), UserDecimalSeparator()); }

std::string LocaleGeneral(double value) { return LocaleNumber(numtext::FormatGeneral(value, 15)); }

std::string LocaleFixed(double value, int decimals, int precision) {
  return FixedNumber(value, decimals, precision, UserDecimalSeparator());
}
