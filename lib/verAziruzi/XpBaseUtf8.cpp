// UTF-8 and wide text, both ways.

#include "lib/verAziruzi/XpBase.h"

std::string XpWideToUtf8(std::u16string_view text) {
  std::string out;
  XpAppendWideAsUtf8(text, out);
  return out;
}

void XpAppendWideAsUtf8(std::u16string_view text, std::string& out) {
  // Most texts are ASCII all through: those go in pieces through a buffer on
  // the stack, with no fill of the string before the copy.
  std::size_t ascii = 0;
  char piece[128];
  while (ascii < text.size()) {
    std::size_t n = 0;
    while (n < sizeof(piece) && ascii + n < text.size() && text[ascii + n] < 0x80) {
      piece[n] = static_cast<char>(text[ascii + n]);
      ++n;
    }
    out.append(piece, n);
    ascii += n;
    if (n < sizeof(piece)) break;
  }
  if (ascii == text.size()) return;
  out.reserve(out.size() + (text.size() - ascii) * 3 / 2);
  for (std::size_t i = ascii; i < text.size(); ++i) {
    TXpUcs4Char c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + (((c & 0x3FF) << 10) | (text[i + 1] & 0x3FF));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    TXpUtf8Char seq{};
    XpUcs4ToUtf8Seq(c, seq);
    out.append(reinterpret_cast<const char*>(&seq[1]), seq[0]);
  }
}

TXpUtf8Decoded XpDecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  const int length = XpUtf8SeqLength(lead);
  if (length < 1 || length > 4 || at + static_cast<std::size_t>(length) > text.size()) return {};
  TXpUtf8Char seq{};
  seq[0] = static_cast<std::uint8_t>(length);
  for (int k = 0; k < length; ++k)
    seq[static_cast<std::size_t>(k) + 1] = static_cast<std::uint8_t>(text[at + static_cast<std::size_t>(k)]);
  TXpUcs4Char code = 0;
  static constexpr TXpUcs4Char kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (!XpUtf8SeqToUcs4(seq, length, code) || code < kShortest[length] || code > 0x10FFFF ||
      (code >= 0xD800 && code <= 0xDFFF))
    return {};
  return {static_cast<std::size_t>(length), code};
}

WideString XpUtf8ToWide(std::string_view text) {
  WideString out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    // Strict here, unlike the filters.
    const TXpUtf8Decoded decoded = XpDecodeUtf8(text, i);
    const TXpUcs4Char c = decoded.Length ? decoded.Code : 0xFFFD;
    const std::size_t consumed = decoded.Length ? decoded.Length : 1;
    char16_t first = 0, second = 0;
    XpUcs4ToUtf16Pair(c, first, second);
    out.push_back(first);
    if (second) out.push_back(second);
    i += consumed;
  }
  return out;
}
