// Integer ceiling and floor, and XPath numbers as text.

#include "lib/verAziruzi/XpBase.h"

#include <cmath>
#include <limits>

#include "platform/NumberText.h"

namespace {

std::int32_t ToInt32(double rounded, double original, const char* what) {
  if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max())
    throw EConvertError(XpUtf8ToWide(numtext::FormatGeneral(original)) + u" has no " + XpUtf8ToWide(what) +
                        u" within the range of a 32-bit integer.");
  return static_cast<std::int32_t>(rounded);
}

// A text of digits with one point and no whole part but zeros: when the parse
// refuses such a fraction below 1, it can only have fallen below the smallest
// double.
bool IsUnderflowingFraction(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos || text.find('.', point + 1) != std::string_view::npos) return false;
  if (text.find_first_not_of('0') != point) return false;
  return text.find_first_not_of('0', point + 1) != std::string_view::npos;
}

}  // namespace

std::int32_t XpCeilToInt(double value) {
  const double whole = std::trunc(value);
  const double adjusted = std::isfinite(value) && value - whole > 0 ? whole + 1 : whole;
  return ToInt32(adjusted, value, "ceiling");
}

std::int32_t XpFloorToInt(double value) {
  const double whole = std::trunc(value);
  const double adjusted = std::isfinite(value) && value - whole < 0 ? whole - 1 : whole;
  return ToInt32(adjusted, value, "floor");
}

bool XpLooksNumeric(const WideString& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'.' || (c >= u'0' && c <= u'9')) continue;
    if (c == u'-' && i == 0) continue;
    return false;
  }
  return true;
}

double XpXPathStrToNumber(const WideString& text) {
  if (XpLooksNumeric(text)) {
    // The text is pure ASCII now.
    const std::string ascii(text.begin(), text.end());
    if (const auto value = numtext::ParseDouble(ascii)) return *value;
    // A number too small for a double is zero, as the platform's conversion
    // gives it; only numbers too large for one stay errors.
    if (IsUnderflowingFraction(ascii)) return ascii.front() == '-' ? -0.0 : 0.0;
  }
  throw EConvertError(text + u" can't be converted to a valid XML number.");
}

WideString XpXPathNumberToStr(double value) {
  // numtext reads no locale, so the process-wide separator is never touched.
  const WideString text = XpUtf8ToWide(numtext::FormatGeneral(value, 15));
  if (!XpLooksNumeric(text)) throw EConvertError(text + u" isn't a valid number for XPath.");
  return text;
}
