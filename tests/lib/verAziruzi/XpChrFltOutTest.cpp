#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/verAziruzi/XpChrFlt.h"
#include "lib/verAziruzi/XpExcept.h"

namespace {

std::string Bytes(TXpMemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

TEST(XpOutCharFilter, WritesTheExactBytesOfEachFormat) {
  struct Case {
    const char* label;
    std::vector<TXpStreamFormat> formats;  // set in this order before any text
    bool signature;
    int bufSize;
    WideString text;
    const char* hex;
    bool result = true;
  } cases[] = {
      {"nothing set", {}, true, 64, u"", ""},
      {"nothing set, text", {}, true, 64, u"a\u00e9", "61 C3 A9"},
      {"UTF-8 signature alone, buffer 0", {sfUTF8}, true, 0, u"", "EF BB BF"},
      {"UTF-8 without signature", {sfUTF8}, false, 64, u"a", "61"},
      {"UTF-8 with a buffer of 2", {sfUTF8}, true, 2, u"\u00e9\u20ac", "EF BB BF C3 A9 E2 82 AC"},
      {"UTF-8 pair", {sfUTF8}, true, 64, u"\U0001F600", "EF BB BF F0 9F 98 80"},
      {"UTF-16BE", {sfUTF16BE}, true, 64, u"A", "FE FF 00 41"},
      {"UTF-16LE", {sfUTF16LE}, true, 64, u"A\u20ac", "FF FE 41 00 AC 20"},
      {"UTF-16LE pair", {sfUTF16LE}, true, 64, u"\U0001F600", "FF FE 3D D8 00 DE"},
      {"ISO-8859-1", {sfISO88591}, true, 64, u"\u00e9", "E9"},
      {"same format twice", {sfUTF8, sfUTF8}, true, 64, u"", "EF BB BF"},
      {"signature replaced, buffer 2", {sfUTF8, sfUTF16LE}, true, 2, u"a", "FF FE 61 00"},
      {"signature replaced, buffer 0", {sfUTF16BE, sfUTF8}, true, 0, u"a", "EF BB BF 61"},
      {"to ISO-8859-1 after a signature", {sfUTF16LE, sfISO88591}, true, 64, u"\u00e9", "E9"},
      {"a chain of changes at the start", {sfUTF16BE, sfUTF8, sfUTF16LE}, true, 64, u"a", "FF FE 61 00"},
      {"UTF-8 without signature, then UTF-16", {sfUTF8, sfUTF16LE}, false, 64, u"a", "FF FE 61 00"},
      {"high surrogate at the end", {sfUTF8}, false, 64, u"ab\xD800", "61 62", false},
      {"lone low surrogate", {sfUTF8}, false, 64, u"a\xDC00" u"b", "61", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TXpMemoryStream stream;
    bool result;
    {
      TXpOutCharFilter filter(&stream, c.bufSize);
      filter.SetWriteUTF8Signature(c.signature);
      for (TXpStreamFormat f : c.formats) filter.SetFormat(f);
      result = filter.PutString(c.text);
    }
    EXPECT_EQ(Hex(Bytes(stream)), c.hex);
    EXPECT_EQ(result, c.result);
  }
}

TEST(XpOutCharFilter, FormatIsFixedOnceTextWasWritten) {
  TXpMemoryStream stream;
  {
    TXpOutCharFilter filter(&stream, 16);
    filter.SetFormat(sfUTF8);
    filter.PutString(u"a");
    filter.SetFormat(sfUTF16LE);
    EXPECT_EQ(filter.Format(), sfUTF8);
    filter.PutString(u"b");
    EXPECT_EQ(filter.Position(), 5);
    EXPECT_EQ(filter.Size(), 5);
  }
  EXPECT_EQ(Hex(Bytes(stream)), "EF BB BF 61 62");

  // A stream already beyond its third byte gets no signature at all.
  TXpMemoryStream later;
  later.Write("12345", 5);
  {
    TXpOutCharFilter filter(&later, 16);
    filter.SetFormat(sfUTF16BE);
    EXPECT_EQ(filter.Format(), sfUTF8);
    filter.PutString(u"x");
    EXPECT_EQ(filter.Position(), 6);
  }
  EXPECT_EQ(Bytes(later), "12345x");
}

TEST(XpOutCharFilter, AFlushedSignatureIsTheOnlyOne) {
  struct Case {
    const char* label;
    TXpStreamFormat first, second;
    const char* hex;
  } cases[] = {
      {"UTF-8, then UTF-16LE", sfUTF8, sfUTF16LE, "EF BB BF 61"},
      {"UTF-8 again", sfUTF8, sfUTF8, "EF BB BF 61"},
      {"UTF-16BE, then UTF-8", sfUTF16BE, sfUTF8, "FE FF 00 61"},
      {"UTF-16LE again", sfUTF16LE, sfUTF16LE, "FF FE 61 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TXpMemoryStream stream;
    {
      TXpOutCharFilter filter(&stream, 64);
      filter.SetFormat(c.first);
      filter.Flush();
      filter.SetFormat(c.second);
      EXPECT_EQ(filter.Format(), c.first);
      filter.PutString(u"a");
    }
    EXPECT_EQ(Hex(Bytes(stream)), c.hex);
  }
}

TEST(XpOutCharFilter, CodesTheFormatCannotHoldRaiseStreamErrors) {
  struct Case {
    TXpStreamFormat format;
    TXpUcs4Char code;
    int message;
  } cases[] = {
      {sfISO88591, 0x20AC, xpmUcs4ToLatin1},
      {sfUTF16LE, 0x110000, xpmUcs4ToUtf16},
      {sfUTF8, 0x80000000u, xpmUcs4ToUtf8},
  };
  for (const Case& c : cases) {
    TXpMemoryStream stream;
    TXpOutCharFilter filter(&stream, 0);
    filter.SetFormat(c.format);
    filter.PutUCS4Char('a');
    try {
      filter.PutUCS4Char(c.code);
      ADD_FAILURE() << c.code << " passed";
    } catch (const EXpStreamError& e) {
      EXPECT_EQ(e.Message(), XpMessageText(c.message));
      EXPECT_EQ(e.FilePos(), 0) << "nothing reached the stream yet";
    }
    filter.Flush();
    EXPECT_GE(stream.Size(), 1) << "what was put before stays";
  }
}

// Takes at most `room` bytes in all.
class TShortStream : public TXpMemoryStream {
public:
  explicit TShortStream(std::int64_t room) : fRoom(room) {}
  std::int64_t Write(const void* buffer, std::int64_t count) override {
    const std::int64_t n = std::min(count, fRoom);
    fRoom -= n;
    return TXpMemoryStream::Write(buffer, n);
  }

private:
  std::int64_t fRoom;
};

TEST(XpOutCharFilter, FlushRaisesWhenTheStreamTakesLess) {
  TShortStream stream(2);
  {
    TXpOutCharFilter filter(&stream, 0);
    filter.PutString(u"abc");
    EXPECT_THROW(filter.Flush(), EInOutError);
    filter.PutString(u"d");
    // The destructor's flush fails too, silently.
  }
  EXPECT_EQ(Bytes(stream), "ab");

  // A buffer running full on a failing stream raises from the put itself.
  TShortStream tiny(0);
  TXpOutCharFilter filter(&tiny, 0);
  EXPECT_THROW(filter.PutString(WideString(TXpBaseCharFilter::kMinBufSize + 1, u'x')), EInOutError);
}

TEST(XpOutCharFilter, LeavesTheStreamToItsCreatorUnlessTold) {
  TXpMemoryStream stream;
  { TXpOutCharFilter filter(&stream, 8); EXPECT_FALSE(filter.FreeStream()); }
  auto* owned = new TXpMemoryStream;
  TXpOutCharFilter filter(owned, 8);
  filter.SetFreeStream(true);  // freed with the filter: the sanitizer sees a leak otherwise
}

TEST(XpStreamFormats, MapToAndFromEncodings) {
  EXPECT_EQ(XpEncodingToStreamFormat(ceUTF8), sfUTF8);
  EXPECT_EQ(XpEncodingToStreamFormat(ceUTF16LE), sfUTF16LE);
  EXPECT_EQ(XpEncodingToStreamFormat(ceUTF16BE), sfUTF16BE);
  EXPECT_EQ(XpEncodingToStreamFormat(ceISO88591), sfISO88591);
  EXPECT_EQ(XpEncodingToStreamFormat(ceUnknown), sfISO88591);
  for (TXpStreamFormat f : {sfUTF8, sfUTF16LE, sfUTF16BE, sfISO88591})
    EXPECT_EQ(XpEncodingToStreamFormat(XpStreamFormatToEncoding(f)), f);
}

}  // namespace
