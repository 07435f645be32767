// The character classes of XML 1.0 and the check of XML names. The range tables
// are turned once into one byte of class flags per BMP character, so every test
// is a single lookup.

#include "lib/verAziruzi/XpBase.h"

#include <array>

namespace {

struct CharRange {
  std::uint32_t lo, hi;
};

#include "lib/verAziruzi/XpCharClasses.inc"

enum : std::uint8_t {
  kFlagBase = 1,
  kFlagIdeographic = 2,
  kFlagCombining = 4,
  kFlagDigit = 8,
  kFlagExtender = 16,
  kFlagPubid = 32,
};

using ClassTable = std::array<std::uint8_t, 0x10000>;

template <std::size_t N>
void Mark(ClassTable& table, const CharRange (&ranges)[N], std::uint8_t flag) {
  for (const CharRange& r : ranges)
    for (std::uint32_t c = r.lo; c <= r.hi; ++c) table[c] |= flag;
}

const ClassTable& Classes() {
  static const ClassTable table = [] {
    ClassTable t{};
    Mark(t, kBaseChar, kFlagBase);
    Mark(t, kIdeographic, kFlagIdeographic);
    Mark(t, kCombiningChar, kFlagCombining);
    Mark(t, kDigit, kFlagDigit);
    Mark(t, kExtender, kFlagExtender);
    // [13] PubidChar ::= #x20 | #xD | #xA | [a-zA-Z0-9] | [-'()+,./:=?;!*#@$_%]
    for (char16_t c : std::u16string_view(u" \r\nabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                          u"-'()+,./:=?;!*#@$_%"))
      t[c] |= kFlagPubid;
    return t;
  }();
  return table;
}

bool Has(TXpUcs4Char c, std::uint8_t flags) { return c < 0x10000 && (Classes()[c] & flags) != 0; }

}  // namespace

bool XpIsXmlChar(TXpUcs4Char c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

bool XpIsBaseChar(TXpUcs4Char c) { return Has(c, kFlagBase); }
bool XpIsIdeographicChar(TXpUcs4Char c) { return Has(c, kFlagIdeographic); }
bool XpIsLetterChar(TXpUcs4Char c) { return Has(c, kFlagBase | kFlagIdeographic); }
bool XpIsCombiningChar(TXpUcs4Char c) { return Has(c, kFlagCombining); }
bool XpIsDigitChar(TXpUcs4Char c) { return Has(c, kFlagDigit); }
bool XpIsExtenderChar(TXpUcs4Char c) { return Has(c, kFlagExtender); }
bool XpIsPubidChar(TXpUcs4Char c) { return Has(c, kFlagPubid); }

bool XpIsNameChar(TXpUcs4Char c) {
  return c == '.' || c == '-' || c == '_' || c == ':' ||
         Has(c, kFlagBase | kFlagIdeographic | kFlagDigit | kFlagCombining | kFlagExtender);
}

bool XpIsNameStartChar(TXpUcs4Char c) { return c == '_' || c == ':' || XpIsLetterChar(c); }

bool XpIsSurrogateUnit(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

bool XpIsValidNameUnit(bool first, char16_t unit) {
  if (XpIsSurrogateUnit(unit)) return false;
  return first ? XpIsNameStartChar(unit) : XpIsNameChar(unit);
}

bool XpIsValidXmlName(const WideString& name) {
  for (std::size_t i = 0; i < name.size(); ++i)
    if (!XpIsValidNameUnit(i == 0, name[i])) return false;
  return true;
}
