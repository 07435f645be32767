// Conversions between UCS-4 codes and ISO-8859-1, UTF-16 and UTF-8.

#include "lib/verAziruzi/XpBase.h"

bool XpLatin1ToUcs4(std::uint8_t in, TXpUcs4Char& out) {
  out = in;
  return true;
}

bool XpUcs4ToLatin1(TXpUcs4Char in, std::uint8_t& out) {
  if (in > 0xFF) {
    out = 0;
    return false;
  }
  out = static_cast<std::uint8_t>(in);
  return true;
}

bool XpUcs4ToUcs2(TXpUcs4Char in, char16_t& out) {
  if (in >= 0x10000) {
    out = 0;
    return false;
  }
  out = static_cast<char16_t>(in);
  return true;
}

bool XpUcs4ToUtf16Pair(TXpUcs4Char in, char16_t& first, char16_t& second) {
  if (in < 0x10000) {
    first = static_cast<char16_t>(in);
    second = 0;
    return true;
  }
  if (in > 0x10FFFF) {
    first = second = 0;
    return false;
  }
  first = static_cast<char16_t>(0xD800 + ((in - 0x10000) >> 10));
  second = static_cast<char16_t>(0xDC00 + (in & 0x3FF));
  return true;
}

bool XpUtf16PairToUcs4(char16_t first, char16_t second, TXpUcs4Char& out, bool& usedSecond) {
  usedSecond = false;
  if (first < 0xD800 || first > 0xDFFF) {
    out = first;
    return true;
  }
  if (first <= 0xDBFF && second >= 0xDC00 && second <= 0xDFFF) {
    out = 0x10000 + (((first & 0x3FFu) << 10) | (second & 0x3FFu));
    usedSecond = true;
    return true;
  }
  out = 0;
  return false;
}

bool XpUcs4ToUtf8Seq(TXpUcs4Char in, TXpUtf8Char& out) {
  out.fill(0);
  // Six bytes carry 31 bits; a larger code would need a lead byte that no
  // decoder accepts.
  if (in > 0x7FFFFFFF) return false;
  int length;
  std::uint8_t lead;
  if (in < 0x80) {
    out[0] = 1;
    out[1] = static_cast<std::uint8_t>(in);
    return true;
  } else if (in < 0x800) {
    length = 2, lead = 0xC0;
  } else if (in < 0x10000) {
    length = 3, lead = 0xE0;
  } else if (in < 0x200000) {
    length = 4, lead = 0xF0;
  } else if (in < 0x4000000) {
    length = 5, lead = 0xF8;
  } else {
    length = 6, lead = 0xFC;
  }
  out[0] = static_cast<std::uint8_t>(length);
  for (int i = length; i >= 2; --i) {
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x80 | (in & 0x3F));
    in >>= 6;
  }
  out[1] = static_cast<std::uint8_t>(lead | in);
  return true;
}

bool XpUtf8SeqToUcs4(const TXpUtf8Char& seq, int length, TXpUcs4Char& out) {
  out = 0;
  // A count beyond 6 would read past the sequence.
  if (seq[0] == 0 || seq[0] != length || length > 6) return false;
  const std::uint8_t lead = seq[1];
  TXpUcs4Char c;
  if (lead <= 0x7F) c = lead;
  else if (lead <= 0xDF) c = lead & 0x1Fu;
  else if (lead <= 0xEF) c = lead & 0x0Fu;
  else if (lead <= 0xF7) c = lead & 0x07u;
  else if (lead <= 0xFB) c = lead & 0x03u;
  else c = lead & 0x01u;
  for (int i = 2; i <= length; ++i) {
    const std::uint8_t b = seq[static_cast<std::size_t>(i)];
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3Fu);
  }
  out = c;
  return true;
}

int XpUtf8SeqLength(std::uint8_t firstByte) {
  if (firstByte <= 0x7F) return 1;
  if (firstByte <= 0xBF) return 0;
  if (firstByte <= 0xDF) return 2;
  if (firstByte <= 0xEF) return 3;
  if (firstByte <= 0xF7) return 4;
  if (firstByte <= 0xFB) return 5;
  if (firstByte <= 0xFD) return 6;
  return 0;
}
