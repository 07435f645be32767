#include "model/GPX_Style.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/NumberText.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// Blanks and control characters at both ends go.
std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

// The text split into characters, so that padding and pairing count characters
// and not the bytes of a multi-byte one. Only ASCII characters matter for their
// value; anything else just has to stay one character.
std::vector<char32_t> Characters(std::string_view text) {
  std::vector<char32_t> chars;
  for (unsigned char byte : text) {
    const bool continuation = (byte & 0xC0) == 0x80;
    if (continuation && !chars.empty() && chars.back() >= 0x80)
      continue;  // part of the character before
    chars.push_back(byte);
  }
  return chars;
}

}  // namespace

std::string ColorToHex(TColor Color) {
  std::string text;
  for (std::uint8_t channel : {GetRValue(Color), GetGValue(Color), GetBValue(Color)}) {
    text += kHexDigits[channel >> 4];
    text += kHexDigits[channel & 0xF];
  }
  return text;
}

TColor HexToColor(std::string_view Text) {
  std::vector<char32_t> chars = Characters(Trim(Text));
  if (chars.size() < 6) chars.insert(chars.begin(), 6 - chars.size(), U'0');
  int channel[3];
  for (int i = 0; i < 3; ++i) {
    const int high = HexValue(chars[2 * i]);
    const int low = HexValue(chars[2 * i + 1]);
    channel[i] = (high < 0 || low < 0) ? 0 : high * 16 + low;
  }
  return RGB(static_cast<std::uint8_t>(channel[0]), static_cast<std::uint8_t>(channel[1]),
             static_cast<std::uint8_t>(channel[2]));
}

void TGPX_StyleLine::CopyFrom(const TGPX_StyleLine& GPX_StyleLine) { *this = GPX_StyleLine; }

std::string TGPX_StyleLine::OpacityStr() const {
  std::string text = numtext::FormatGeneral(std::fabs(fOpacity));
  // The style's own format stays fixed down to 0.00001, one decade further than
  // the shared general format: "1.5E-5" reads "0.000015" here.
  const std::size_t exponent = text.find('E');
  if (exponent == std::string::npos || text.compare(exponent, std::string::npos, "E-5") != 0) return text;
  std::string digits = text.substr(0, exponent);
  digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
  return "0.0000" + digits;
}

void TGPX_StyleLine::SetOpacityStr(std::string_view text) {
  // Surrounding blanks and a leading '+' are read as a number reader would.
  text = Trim(text);
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  const std::optional<double> value = numtext::ParseDouble(text);
  fOpacity = value ? std::fabs(*value) : 1.0;
}
