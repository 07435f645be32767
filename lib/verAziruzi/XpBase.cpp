#include "lib/verAziruzi/XpBase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include "platform/NumberText.h"

// ---------------------------------------------------------------------------
// Errors

EConvertError::EConvertError(const WideString& message)
    : std::runtime_error(XpWideToUtf8(message)), fMessage(message) {}

EInOutError::EInOutError(const WideString& message)
    : std::runtime_error(XpWideToUtf8(message)), fMessage(message) {}

// ---------------------------------------------------------------------------
// UTF-8 <-> wide

std::string XpWideToUtf8(std::u16string_view text) {
  // Most texts are ASCII all through: those are copied unit by unit.
  std::size_t ascii = 0;
  while (ascii < text.size() && text[ascii] < 0x80) ++ascii;
  std::string out(ascii, '\0');
  for (std::size_t i = 0; i < ascii; ++i) out[i] = static_cast<char>(text[i]);
  if (ascii == text.size()) return out;
  out.reserve(text.size() + text.size() / 2);
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
  return out;
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

// ---------------------------------------------------------------------------
// Strings and buffers

WideString XpCopyWide(const WideString& text, int index, int count) {
  const int length = static_cast<int>(text.size());
  if (index < 1 || count < 1 || index > length) return {};
  return text.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

int XpPosWide(const WideString& sub, const WideString& text) {
  if (sub.empty()) return 0;
  const std::size_t at = text.find(sub);
  return at == WideString::npos ? 0 : static_cast<int>(at) + 1;
}

int XpLastPosWide(const WideString& sub, const WideString& text) {
  if (sub.empty()) return 0;
  const std::size_t at = text.rfind(sub);
  return at == WideString::npos ? 0 : static_cast<int>(at) + 1;
}

bool XpSameLeft(const WideString& a, const WideString& b, int count) {
  if (count < 1) return true;
  const auto n = static_cast<std::size_t>(count);
  if (a.size() < n || b.size() < n) return false;
  return a.compare(0, n, b, 0, n) == 0;
}

bool XpSameLeftText(const WideString& a, const WideString& b, int count) {
  if (count < 1) return true;
  return XpSameLeft(XpLocaleUpperCase(a), XpLocaleUpperCase(b), count);
}

WideString XpReplaceAll(const WideString& text, const WideString& oldText, const WideString& newText) {
  if (text.empty() || oldText.empty()) return text;
  std::size_t at = text.find(oldText);
  if (at == WideString::npos) return text;
  WideString out;
  std::size_t from = 0;
  while (at != WideString::npos) {
    out.append(text, from, at - from);
    out += newText;
    from = at + oldText.size();
    at = text.find(oldText, from);
  }
  out.append(text, from, WideString::npos);
  return out;
}

WideString XpLocaleUpperCase(const WideString& text) {
  WideString out(text);
  std::size_t i = 0;
  while (i < out.size()) {
    const std::size_t unitLength = (U16_IS_LEAD(out[i]) && i + 1 < out.size() && U16_IS_TRAIL(out[i + 1])) ? 2 : 1;
    if (unitLength == 1 && out[i] < 0x80) {
      // ASCII needs no library call, except for locales (Turkish) that map 'i'
      // elsewhere; those go through ICU below.
      if (out[i] != u'i') {
        if (out[i] >= u'a' && out[i] <= u'z') out[i] = static_cast<char16_t>(out[i] - u'a' + u'A');
        ++i;
        continue;
      }
    }
    UChar upper[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strToUpper(upper, 8, reinterpret_cast<const UChar*>(out.data() + i),
                                   static_cast<int32_t>(unitLength), nullptr, &status);
    if (U_SUCCESS(status) && static_cast<std::size_t>(n) == unitLength)
      std::copy(upper, upper + n, out.begin() + static_cast<std::ptrdiff_t>(i));
    i += unitLength;
  }
  return out;
}

namespace {

// A caller's Used outside 0..capacity would place the text outside the buffer.
int ClampUsed(int used, const WideString& buffer) {
  return std::clamp(used, 0, static_cast<int>(buffer.size()));
}

}  // namespace

void XpBufferAppend(const WideString& text, WideString& buffer, int& used) {
  if (text.empty()) return;
  used = ClampUsed(used, buffer);
  const int length = static_cast<int>(text.size());
  const int capacity = static_cast<int>(buffer.size());
  if (capacity < used + length) buffer.resize(static_cast<std::size_t>(2 * capacity + length));
  std::copy(text.begin(), text.end(), buffer.begin() + used);
  used += length;
}

void XpBufferInsert(const WideString& text, WideString& buffer, int position, int& used) {
  if (text.empty()) return;
  used = ClampUsed(used, buffer);
  position = std::clamp(position, 1, used + 1);
  const int length = static_cast<int>(text.size());
  const int capacity = static_cast<int>(buffer.size());
  // Trunc(1.2 x capacity), in integers so that no rounding creeps in.
  if (capacity < used + length) buffer.resize(static_cast<std::size_t>(capacity * 6 / 5 + length));
  if (used != 0 && position <= used)
    std::copy_backward(buffer.begin() + (position - 1), buffer.begin() + used, buffer.begin() + used + length);
  std::copy(text.begin(), text.end(), buffer.begin() + (position - 1));
  used += length;
}

bool XpIsRelativeLocalPath(const WideString& path) {
  if (!path.empty() && path[0] == u'.') return true;
  if (path.find(u':') != WideString::npos) return false;
  const std::size_t separator = path.find_first_of(u"\\/");
  return separator != WideString::npos && separator >= 1;
}

// ---------------------------------------------------------------------------
// Numbers

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

// ---------------------------------------------------------------------------
// Code conversions

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

// ---------------------------------------------------------------------------
// Character classes: the range tables are turned once into one byte of class
// flags per BMP character, so every test is a single lookup.

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

// ---------------------------------------------------------------------------
// Streams

void TXpStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EInOutError(u"Stream read error");
}

void TXpStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EInOutError(u"Stream write error");
}

std::int64_t TXpMemoryStream::Read(void* buffer, std::int64_t count) {
  const std::int64_t available = std::max<std::int64_t>(0, fSize - fPosition);
  const std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, Memory() + fPosition, static_cast<std::size_t>(n));
  fPosition += n;
  return n;
}

std::int64_t TXpMemoryStream::Write(const void* buffer, std::int64_t count) {
  // Borrowed memory belongs to someone else: never grow, move or overwrite it.
  if (fBorrowed) throw EInOutError(u"Stream write error");
  if (count <= 0) return 0;
  std::int64_t end;
  if (__builtin_add_overflow(fPosition, count, &end)) throw EInOutError(u"Stream write error");
  if (end > fSize) SetSize(end);
  std::memcpy(fOwned.data() + fPosition, buffer, static_cast<std::size_t>(count));
  fPosition = end;
  return count;
}

std::int64_t TXpMemoryStream::Seek(std::int64_t offset, TXpSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TXpSeekOrigin::soCurrent) base = fPosition;
  if (origin == TXpSeekOrigin::soEnd) base = fSize;
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? 0 : std::numeric_limits<std::int64_t>::max();
  fPosition = std::max<std::int64_t>(0, target);
  return fPosition;
}

void TXpMemoryStream::SetSize(std::int64_t size) {
  if (fBorrowed) throw EInOutError(u"Stream write error");
  size = std::max<std::int64_t>(0, size);
  // An empty stream holds no memory, so it may be pointed at borrowed memory.
  if (size == 0) std::vector<std::uint8_t>().swap(fOwned);
  else fOwned.resize(static_cast<std::size_t>(size));
  fSize = size;
  fPosition = std::min(fPosition, fSize);
}

void TXpMemoryStream::Clear() {
  std::vector<std::uint8_t>().swap(fOwned);
  fBorrowed = nullptr;
  fSize = 0;
  fPosition = 0;
}

void TXpMemoryStream::SetPointer(const void* memory, std::int64_t size) {
  if (fOwned.capacity() != 0)
    throw EAssertionFailed("Assertion failed: memory stream already holds memory (lib/verAziruzi/XpBase)");
  fBorrowed = static_cast<const std::uint8_t*>(memory);
  fSize = fBorrowed ? std::max<std::int64_t>(0, size) : 0;
  fPosition = 0;
}

TXpFileStream::TXpFileStream(std::uint16_t mode, const WideString& fileName) : fFilename(fileName) {
  const std::string path = XpWideToUtf8(fileName);
  int flags;
  // fmCreate may come or-ed with a share mode (the downloads create their
  // temporary file with fmCreate | fmShareExclusive).
  const bool create = (mode & fmCreate) == fmCreate;
  if (create) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 0x0003) {
      case fmOpenWrite: flags = O_WRONLY; break;
      case fmOpenReadWrite: flags = O_RDWR; break;
      default: flags = O_RDONLY; break;
    }
  }
  fHandle = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  int error = fHandle < 0 ? errno : 0;
  // A directory opens for reading here but has no bytes to give.
  struct stat info {};
  if (fHandle >= 0 && ::fstat(fHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fHandle);
    fHandle = -1;
    error = EISDIR;
  }
  if (fHandle < 0) {
    const WideString reason = XpUtf8ToWide(std::generic_category().message(error));
    throw EInOutError((create ? u"Cannot create file \"" : u"Cannot open file \"") + fileName + u"\". " + reason);
  }
}

TXpFileStream::~TXpFileStream() {
  if (fHandle >= 0) ::close(fHandle);
}

std::int64_t TXpFileStream::Read(void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(fHandle, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TXpFileStream::Write(const void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::write(fHandle, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TXpFileStream::Seek(std::int64_t offset, TXpSeekOrigin origin) {
  const int whence = origin == TXpSeekOrigin::soBeginning ? SEEK_SET : origin == TXpSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  off_t at = ::lseek(fHandle, static_cast<off_t>(offset), whence);
  if (at < 0) at = ::lseek(fHandle, 0, SEEK_CUR);  // a refused seek leaves the position
  return at < 0 ? 0 : static_cast<std::int64_t>(at);
}

std::int64_t TXpFileStream::Size() {
  struct stat info {};
  return ::fstat(fHandle, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

// ---------------------------------------------------------------------------
// Components

TXpComponent::~TXpComponent() {
  // Each one leaves the list before it is destroyed, so its destructor sees
  // neither itself among the owner's components nor the owner.
  while (!fComponents.empty()) {
    std::unique_ptr<TXpComponent> last = std::move(fComponents.back());
    fComponents.pop_back();
    last->fOwner = nullptr;
  }
}

void TXpComponent::Adopt(std::unique_ptr<TXpComponent> component) {
  if (!component) return;
  component->fOwner = this;
  fComponents.push_back(std::move(component));
}

std::unique_ptr<TXpComponent> TXpComponent::RemoveComponent(TXpComponent* component) {
  const auto it = std::find_if(fComponents.begin(), fComponents.end(),
                               [component](const std::unique_ptr<TXpComponent>& c) { return c.get() == component; });
  if (it == fComponents.end()) return nullptr;
  std::unique_ptr<TXpComponent> released = std::move(*it);
  fComponents.erase(it);
  released->fOwner = nullptr;
  return released;
}

TXpComponent* TXpComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) return nullptr;
  return fComponents[static_cast<std::size_t>(index)].get();
}

WideString TXpComponent::Version() const {
  // "%5.4f" in the user's locale: the digits from numtext, the separator from the C locale.
  std::string text = numtext::FormatFixed(XpVersionNumber / 10000.0, 4);
  const char* point = std::localeconv()->decimal_point;
  if (point && *point && std::strcmp(point, ".") != 0) {
    const std::size_t at = text.find('.');
    if (at != std::string::npos) text.replace(at, 1, point);
  }
  return XpUtf8ToWide(text);
}
