#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace numtext {
namespace {

// A finite value as decimal digits with the position of the point:
// value = sign * 0.d1d2d3... * 10^pointPos. `digits` holds no leading zeros
// (or is "0" for zero).
struct DecimalDigits {
  bool negative = false;
  std::string digits;
  int pointPos = 0;
};

// More digits than the exact decimal expansion of any double has (767).
constexpr int kMostDigits = 800;

// Lowers a string of decimal digits by one unit in its last place; the digits
// stand for a number above zero.
void DecrementLastDigit(std::string& digits) {
  std::size_t i = digits.size();
  while (digits[--i] == '0') digits[i] = '9';
  --digits[i];
}

// Rounds correctly to `significant` digits (to_chars' scientific form), except
// next to the largest double, where rounding up would write a number beyond the
// double range that reads back as none: there the digits round towards zero.
DecimalDigits ToDigits(double value, int significant) {
  significant = std::clamp(significant, 1, kMostDigits);
  DecimalDigits d;
  d.negative = std::signbit(value);
  std::string buf(static_cast<std::size_t>(significant) + 16, '\0');  // d.ddd...e+308
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value), std::chars_format::scientific,
                           significant - 1);
  if (res.ec != std::errc()) throw std::logic_error("number text buffer too small");
  std::string_view text(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
  double readBack = 0;
  const bool beyondRange = std::fabs(value) > 1 && std::from_chars(text.data(), text.data() + text.size(),
                                                                  readBack).ec == std::errc::result_out_of_range;
  const std::size_t e = text.find('e');
  for (std::size_t i = 0; i < e; ++i)
    if (text[i] != '.') d.digits.push_back(text[i]);
  if (beyondRange) DecrementLastDigit(d.digits);
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), exponent);
  d.pointPos = exponent + 1;
  if (value == 0) d.pointPos = 1;
  return d;
}

void StripTrailingZeros(std::string& digits) {
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

}  // namespace

std::string FormatGeneral(double value, int significantDigits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (significantDigits < 1) significantDigits = 1;
  if (value == 0) return "0";

  DecimalDigits d = ToDigits(value, significantDigits);
  StripTrailingZeros(d.digits);
  const int exponent = d.pointPos - 1;
  std::string out = d.negative ? "-" : "";
  if (exponent >= -4 && exponent < significantDigits) {
    if (d.pointPos <= 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-d.pointPos), '0');
      out += d.digits;
    } else if (static_cast<std::size_t>(d.pointPos) >= d.digits.size()) {
      out += d.digits;
      out.append(static_cast<std::size_t>(d.pointPos) - d.digits.size(), '0');
    } else {
      out.append(d.digits, 0, static_cast<std::size_t>(d.pointPos));
      out += '.';
      out.append(d.digits, static_cast<std::size_t>(d.pointPos));
    }
    return out;
  }
  out += d.digits[0];
  if (d.digits.size() > 1) {
    out += '.';
    out.append(d.digits, 1);
  }
  out += 'E';
  out += FormatInt(exponent);
  return out;
}

std::string FormatFixed(double value, int decimals) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (decimals < 0) decimals = 0;

  DecimalDigits d = ToDigits(value, 15);
  if (value == 0) d.digits.assign(1, '0');
  // Digits of the whole number |value| * 10^decimals, rounded half away from zero.
  const int keep = d.pointPos + decimals;  // how many of the digits stand before the cut
  std::string scaled;
  if (keep <= 0) {
    // Everything lies beyond the cut; only a first digit >= 5 right at it rounds up.
    const bool roundUp = keep == 0 && d.digits[0] >= '5';
    scaled.assign(1, roundUp ? '1' : '0');
  } else {
    std::string digits = d.digits;
    if (static_cast<int>(digits.size()) < keep) digits.append(static_cast<std::size_t>(keep) - digits.size(), '0');
    const bool roundUp = static_cast<int>(digits.size()) > keep && digits[static_cast<std::size_t>(keep)] >= '5';
    scaled = digits.substr(0, static_cast<std::size_t>(keep));
    if (roundUp) {
      int i = static_cast<int>(scaled.size()) - 1;
      while (i >= 0 && scaled[static_cast<std::size_t>(i)] == '9') scaled[static_cast<std::size_t>(i--)] = '0';
      if (i < 0) scaled.insert(scaled.begin(), '1');
      else ++scaled[static_cast<std::size_t>(i)];
    }
  }
  if (static_cast<int>(scaled.size()) <= decimals)
    scaled.insert(0, static_cast<std::size_t>(decimals) + 1 - scaled.size(), '0');

  const bool isZero = scaled.find_first_not_of('0') == std::string::npos;
  std::string out = (d.negative && !isZero) ? "-" : "";
  const std::size_t intLen = scaled.size() - static_cast<std::size_t>(decimals);
  out.append(scaled, 0, intLen);
  if (decimals > 0) {
    out += '.';
    out.append(scaled, intLen);
  }
  return out;
}

std::string FormatInt(std::int64_t value) {
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

namespace {

// from_chars takes a '-' but no '+'; other programs' files write "+008.5155383"
// and lat="+47.5". One '+' in front of an unsigned number is its sign.
std::string_view WithoutPlusSign(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
  return text;
}

}  // namespace

std::optional<double> ParseDouble(std::string_view text) {
  text = WithoutPlusSign(text);
  if (text.empty() || text.front() == '+') return std::nullopt;
  // from_chars also takes "inf" and "nan"; numbers in files never spell those.
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return std::nullopt;
  double value = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> ParseInt(std::string_view text) {
  text = WithoutPlusSign(text);
  if (text.empty() || text.front() == '+') return std::nullopt;
  std::int64_t value = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace numtext
