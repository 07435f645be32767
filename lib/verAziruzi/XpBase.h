#pragma once

// The foundation of the XML library: wide-string routines with 1-based positions,
// growable text buffers, XPath number texts, conversions between UCS-4 codes and
// ISO-8859-1, UTF-16 and UTF-8, the XML 1.0 character classes, name checks, and the
// small stream and component classes the parser and the object model stand on.

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Text inside the library: UTF-16 code units. Positions count from 1.
using WideString = std::u16string;

using TXpUcs4Char = std::uint32_t;
// Byte 0 holds the number of bytes used (1 to 6), bytes 1 to 6 the encoded bytes.
using TXpUtf8Char = std::array<std::uint8_t, 7>;

enum TXpCharEncoding { ceUnknown, ceUTF8, ceUTF16LE, ceUTF16BE, ceISO88591 };

// XML's white space: tab, line feed, carriage return or space; for a code
// unit of any width (a UTF-8 byte of a longer character, negative as a char,
// is none).
constexpr bool XpIsXmlWhitespace(TXpUcs4Char c) { return c == 9 || c == 10 || c == 13 || c == 32; }
// The text without the white space at either end.
constexpr std::string_view XpTrimXmlWhitespace(std::string_view text) {
  while (!text.empty() && XpIsXmlWhitespace(text.front())) text.remove_prefix(1);
  while (!text.empty() && XpIsXmlWhitespace(text.back())) text.remove_suffix(1);
  return text;
}

// The library's version times 10000.
inline constexpr int XpVersionNumber = 25700;

// ---------------------------------------------------------------------------
// Errors of the layer beneath the library (what the host platform would raise).
// Each keeps its message as wide text as well, because the library collects
// messages in that form.

// A text that is not a number, or a number that has no text or integer form.
class EConvertError : public std::runtime_error {
public:
  explicit EConvertError(const WideString& message);
  const WideString& Message() const noexcept { return fMessage; }

private:
  WideString fMessage;
};

// A broken internal contract: a bug in the caller, never a fault of the data.
class EAssertionFailed : public std::logic_error {
public:
  explicit EAssertionFailed(const std::string& message) : std::logic_error(message) {}
};

// A file that cannot be opened, or a stream that cannot be read or written.
class EInOutError : public std::runtime_error {
public:
  explicit EInOutError(const WideString& message);
  const WideString& Message() const noexcept { return fMessage; }

private:
  WideString fMessage;
};

// ---------------------------------------------------------------------------
// Conversion between the library's wide text and the UTF-8 of the rest of the
// program. Unpaired surrogates and malformed bytes become U+FFFD.
std::string XpWideToUtf8(std::u16string_view text);
// The same text appended to out, for a caller that reuses its buffer.
void XpAppendWideAsUtf8(std::u16string_view text, std::string& out);
WideString XpUtf8ToWide(std::string_view text);

// The well-formed UTF-8 sequence that starts at text[at], as RFC 3629 has it (at
// most four bytes, no overlong form, no surrogate, nothing above U+10FFFF): its
// length and code point. Length 0 where the bytes there are no such sequence.
struct TXpUtf8Decoded {
  std::size_t Length = 0;
  TXpUcs4Char Code = 0;
};
TXpUtf8Decoded XpDecodeUtf8(std::string_view text, std::size_t at);

// ---------------------------------------------------------------------------
// String and buffer routines.

// The Count characters from Index on, clipped at the end; empty when Index < 1,
// Count < 1 or Index lies beyond the end.
WideString XpCopyWide(const WideString& text, int index, int count);
// Position of the first / the start of the last occurrence of Sub; 0 when Sub is
// absent or empty.
int XpPosWide(const WideString& sub, const WideString& text);
int XpLastPosWide(const WideString& sub, const WideString& text);
// True when the first Count characters are equal (True when Count < 1, False when
// either text is shorter than Count). The Text variant upper-cases both first.
bool XpSameLeft(const WideString& a, const WideString& b, int count);
bool XpSameLeftText(const WideString& a, const WideString& b, int count);
// Every occurrence of Old replaced by New, left to right; replaced text is never
// scanned again.
WideString XpReplaceAll(const WideString& text, const WideString& oldText, const WideString& newText);

// Upper-casing in the user's locale, one character at a time so that the result
// has exactly the length of the input (a character whose upper case would be
// longer, such as the German sharp s, stays as it is).
WideString XpLocaleUpperCase(const WideString& text);

// A buffer is a wide string whose first Used characters are valid; its length is
// its capacity. Append grows a full buffer to 2 x capacity + length(Text), Insert
// to Trunc(1.2 x capacity) + length(Text). Insert positions outside 1..Used+1 are
// clamped into that range.
void XpBufferAppend(const WideString& text, WideString& buffer, int& used);
void XpBufferInsert(const WideString& text, WideString& buffer, int position, int& used);

// True for "." paths and paths whose first separator stands at position 2 or
// later; False for anything with ':' (drives, URLs), rooted paths and bare file
// names. Both '\' and '/' count as separators.
bool XpIsRelativeLocalPath(const WideString& path);

// ---------------------------------------------------------------------------
// Numbers.

// Ceiling and floor to a 32-bit integer. NaN, the infinities and results outside
// the 32-bit range raise EConvertError.
std::int32_t XpCeilToInt(double value);
std::int32_t XpFloorToInt(double value);

// Digits and '.' only, with an optional leading '-'. The empty text passes.
bool XpLooksNumeric(const WideString& text);
// Raises EConvertError "<text> can't be converted to a valid XML number.". A
// fraction too small for a double gives zero.
double XpXPathStrToNumber(const WideString& text);
// 15 significant digits with '.', whatever the locale. Raises EConvertError
// "<text> isn't a valid number for XPath." for what only has an exponent form
// (magnitudes below 0.0001 or from 10^15 up) and for NaN and the infinities.
WideString XpXPathNumberToStr(double value);

// ---------------------------------------------------------------------------
// Code conversions. Each answers whether it succeeded; a failure leaves 0 in the
// result.

bool XpLatin1ToUcs4(std::uint8_t in, TXpUcs4Char& out);
bool XpUcs4ToLatin1(TXpUcs4Char in, std::uint8_t& out);
bool XpUcs4ToUcs2(TXpUcs4Char in, char16_t& out);
// The second unit is 0 when one unit suffices.
bool XpUcs4ToUtf16Pair(TXpUcs4Char in, char16_t& first, char16_t& second);
bool XpUtf16PairToUcs4(char16_t first, char16_t second, TXpUcs4Char& out, bool& usedSecond);
// UTF-8 as in RFC 2279, up to six bytes (31-bit codes; anything above fails).
bool XpUcs4ToUtf8Seq(TXpUcs4Char in, TXpUtf8Char& out);
// Fails unless the count in byte 0 equals `length` (1 to 6) and every following
// byte has the form 10xxxxxx. Overlong forms and surrogates decode as they stand.
bool XpUtf8SeqToUcs4(const TXpUtf8Char& seq, int length, TXpUcs4Char& out);
// Length of the sequence that starts with this byte, 0 when it cannot start one.
int XpUtf8SeqLength(std::uint8_t firstByte);

// ---------------------------------------------------------------------------
// XML 1.0 character classes (first to fourth edition, Appendix B). No character
// above U+FFFF belongs to a name class.

bool XpIsXmlChar(TXpUcs4Char c);        // [2] Char
bool XpIsBaseChar(TXpUcs4Char c);       // [85] BaseChar
bool XpIsIdeographicChar(TXpUcs4Char c);  // [86] Ideographic
bool XpIsLetterChar(TXpUcs4Char c);     // [84] Letter
bool XpIsCombiningChar(TXpUcs4Char c);  // [87] CombiningChar
bool XpIsDigitChar(TXpUcs4Char c);      // [88] Digit
bool XpIsExtenderChar(TXpUcs4Char c);   // [89] Extender
bool XpIsNameChar(TXpUcs4Char c);       // [4] NameChar
bool XpIsNameStartChar(TXpUcs4Char c);  // Letter, '_' or ':'
bool XpIsPubidChar(TXpUcs4Char c);      // [13] PubidChar
bool XpIsSurrogateUnit(char16_t unit);

// One UTF-16 unit as a name character; surrogate units always fail.
bool XpIsValidNameUnit(bool first, char16_t unit);
// Every unit passes XpIsValidNameUnit, the first as a start. The empty text passes.
bool XpIsValidXmlName(const WideString& name);

// ---------------------------------------------------------------------------
// Byte streams: the interface the character filters read from and write to.

enum class TXpSeekOrigin { soBeginning, soCurrent, soEnd };

class TXpStream {
public:
  TXpStream() = default;
  TXpStream(const TXpStream&) = delete;
  TXpStream& operator=(const TXpStream&) = delete;
  virtual ~TXpStream() = default;

  // Transfer up to `count` bytes; answer how many were transferred.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  // Answers the new position.
  virtual std::int64_t Seek(std::int64_t offset, TXpSeekOrigin origin) = 0;
  virtual std::int64_t Size() = 0;

  std::int64_t Position() { return Seek(0, TXpSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TXpSeekOrigin::soBeginning); }
  // All or nothing: a short transfer raises EInOutError.
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
};

// A growable in-memory stream that can also be pointed at memory it does not own;
// such borrowed memory is only read.
class TXpMemoryStream : public TXpStream {
public:
  TXpMemoryStream() = default;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TXpSeekOrigin origin) override;
  std::int64_t Size() override { return fSize; }

  // Grows with zeros or cuts the stream's own memory; the position stays within.
  // Size 0 frees the memory, as Clear does.
  void SetSize(std::int64_t size);
  // Frees the own memory, forgets borrowed memory; size and position 0.
  void Clear();
  const std::uint8_t* Memory() const { return fBorrowed ? fBorrowed : fOwned.data(); }

  // Reads the `size` bytes at `memory` in place. Only while the stream holds no
  // memory of its own; otherwise EAssertionFailed.
  void SetPointer(const void* memory, std::int64_t size);

private:
  std::vector<std::uint8_t> fOwned;
  const std::uint8_t* fBorrowed = nullptr;
  std::int64_t fSize = 0;
  std::int64_t fPosition = 0;
};

// Open modes of TXpFileStream: one access mode, optionally or-ed with a share
// mode. Share modes are accepted for the callers' sake; this platform has no
// mandatory file locks, so they change nothing.
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint16_t fmShareExclusive = 0x0010;
inline constexpr std::uint16_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint16_t fmShareDenyNone = 0x0040;
inline constexpr std::uint16_t fmCreate = 0xFF00;  // create or truncate, read and write; takes a share mode too

class TXpFileStream : public TXpStream {
public:
  // Raises EInOutError when the file cannot be opened or created.
  TXpFileStream(std::uint16_t mode, const WideString& fileName);
  ~TXpFileStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TXpSeekOrigin origin) override;
  std::int64_t Size() override;

  const WideString& Filename() const { return fFilename; }

private:
  int fHandle = -1;
  WideString fFilename;
};

// ---------------------------------------------------------------------------
// The component base of the parser and the object model: a component can own
// other components, which it frees when it is destroyed (the last one first).
class TXpComponent {
public:
  TXpComponent() = default;
  TXpComponent(const TXpComponent&) = delete;
  TXpComponent& operator=(const TXpComponent&) = delete;
  virtual ~TXpComponent();

  // Takes ownership; answers the component for further use.
  template <class T>
  T* InsertComponent(std::unique_ptr<T> component) {
    T* raw = component.get();
    Adopt(std::unique_ptr<TXpComponent>(std::move(component)));
    return raw;
  }
  // Hands an owned component back; nothing when this component does not own it.
  std::unique_ptr<TXpComponent> RemoveComponent(TXpComponent* component);

  TXpComponent* Owner() const { return fOwner; }
  int ComponentCount() const { return static_cast<int>(fComponents.size()); }
  TXpComponent* Components(int index) const;

  // The library's version as "2.5700", with the user's decimal separator.
  WideString Version() const;
  // Accepted and ignored: the version is the library's, not the component's.
  void SetVersion(const WideString&) {}

private:
  void Adopt(std::unique_ptr<TXpComponent> component);

  TXpComponent* fOwner = nullptr;
  std::vector<std::unique_ptr<TXpComponent>> fComponents;
};
