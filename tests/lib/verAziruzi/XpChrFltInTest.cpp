#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/verAziruzi/XpChrFlt.h"
#include "lib/verAziruzi/XpExcept.h"

namespace {

std::string U8(const WideString& s) { return XpWideToUtf8(s); }

// A filter over its own copy of `bytes`.
std::unique_ptr<TXpInCharFilter> FilterOn(const std::string& bytes, int bufSize = 8192, std::int64_t start = 0) {
  auto stream = std::make_unique<TXpMemoryStream>();
  stream->Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  stream->SetPosition(start);
  return std::make_unique<TXpInCharFilter>(stream.release(), bufSize);
}

std::vector<TXpUcs4Char> Codes(std::u32string_view text) { return {text.begin(), text.end()}; }

// Everything up to the end of input, consumed with ReadAndSkipChar.
WideString ReadAll(TXpInCharFilter& filter) {
  WideString out;
  for (char16_t c; (c = filter.ReadAndSkipChar()) != TXpInCharFilter::kEndOfInput;) out += c;
  return out;
}

struct DecodeCase {
  const char* label;
  std::string bytes;
  WideString units;  // delivered before the end or the error
  int line, linePos;
  int error = 0;     // the message number raised, 0 for none
  std::optional<TXpStreamFormat> setFormat = std::nullopt;
};

TEST(XpInCharFilter, DecodesFoldsAndChecksCharacters) {
  using namespace std::string_literals;
  const DecodeCase cases[] = {
      {"empty", "", u"", 1, 1},
      {"CR folds", "a\rb", u"a\nb", 2, 2},
      {"CR LF folds", "a\r\nb", u"a\nb", 2, 2},
      {"CR CR", "\r\r", u"\n\n", 3, 1},
      {"CR before a two-byte character", "\r\xC3\xA9", u"\n\u00e9", 2, 2},
      {"CR at the end", "a\r", u"a\n", 2, 1},
      {"UTF-8 signature skipped", "\xEF\xBB\xBF" "ab", u"ab", 1, 3},
      {"UTF-16LE by its mark", "\xFF\xFE" "a\0\r\0\n\0b\0"s, u"a\nb", 2, 2},
      {"UTF-16BE by its mark", "\xFE\xFF\0a\0\xE9"s, u"a\u00e9", 1, 3},
      {"UTF-16LE pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, u"\U0001F600", 1, 2},
      {"UTF-16LE lone low surrogate", "\xFF\xFE\x00\xDC"s, u"", 1, 1, xpmInvalidUtf16LE},
      {"UTF-16LE low surrogate first", "\xFF\xFE\x00\xDC\x00\xDC"s, u"", 1, 1, xpmInvalidUtf16LE},
      {"UTF-16BE pair cut off", "\xFE\xFF\0a\xD8\x3D\xDE"s, u"a", 1, 2},
      {"UTF-16BE high surrogate without low", "\xFE\xFF\xD8\x00\x00\x41"s, u"", 1, 1, xpmInvalidUtf16BE},
      {"UTF-16 cut in a unit", "\xFF\xFE" "a\0b"s, u"a", 1, 2},
      {"UTF-16 mark locks the format", "\xFF\xFE" "a\0"s, u"a", 1, 2, 0, sfISO88591},
      {"ISO-8859-1 when switched", "\xE9t\xE9", u"\u00e9t\u00e9", 1, 4, 0, sfISO88591},
      {"lone continuation byte", "\x80", u"", 1, 1, xpmBadUtf8},
      {"lead byte without continuation", "a\xE9t", u"a", 1, 2, xpmBadUtf8},
      {"lead byte without continuation before the end", "a\xE9t\x82", u"a", 1, 2, xpmBadUtf8},
      {"overlong '<'", "\xC0\xBC", u"", 1, 1, xpmBadUtf8},
      {"multi-byte cut off by the end", "ab\xE2\x82", u"ab", 1, 3},
      {"U+0002", "a\x02", u"a", 1, 2, xpmInvalidXmlChar},
      {"U+0001 is no end of input", "a\x01" "b", u"a", 1, 2, xpmInvalidXmlChar},
      {"UTF-8 surrogate", "\xED\xA0\x80", u"", 1, 1, xpmInvalidXmlChar},
      {"U+1F600 as a pair in one column", "\xF0\x9F\x98\x80" "b", u"\U0001F600b", 1, 3},
      {"U+FFFE", "\xEF\xBF\xBE", u"", 1, 1, xpmInvalidXmlChar},
      {"error on the second line", "ab\n\x02", u"ab\n", 2, 1, xpmInvalidXmlChar},
  };
  // One character at a time, and in runs of every length.
  for (const std::size_t run : {0, 1, 2, 3, 64}) {
    for (const DecodeCase& c : cases) {
      SCOPED_TRACE(c.label);
      SCOPED_TRACE(run);
      auto filter = FilterOn(c.bytes);
      if (c.setFormat) filter->SetFormat(*c.setFormat);
      WideString got;
      try {
        if (run == 0) {
          for (char16_t u; (u = filter->ReadAndSkipChar()) != TXpInCharFilter::kEndOfInput;) got += u;
        } else {
          while (filter->ReadUnits(got, run)) {
          }
        }
        EXPECT_EQ(c.error, 0) << "no error raised";
        EXPECT_TRUE(filter->isEOF());
      } catch (const EXpFilterError& e) {
        EXPECT_EQ(U8(e.Reason()), U8(WideString(XpMessageText(c.error))));
        EXPECT_EQ(e.Line(), c.line);
        EXPECT_EQ(e.LinePos(), c.linePos);
      }
      EXPECT_EQ(U8(got), U8(c.units));
      EXPECT_EQ(filter->Line(), c.line);
      EXPECT_EQ(filter->LinePos(), c.linePos);
    }
  }
}

TEST(XpInCharFilter, ErrorsCarryTheBytePositionOfTheFilter) {
  auto filter = FilterOn("\xEF\xBB\xBF" "ab\n\x02", 16);
  try {
    ReadAll(*filter);
    FAIL() << "no error";
  } catch (const EXpFilterError& e) {
    EXPECT_EQ(e.FilePos(), 7);  // just past the offending byte
    EXPECT_EQ(e.Line(), 2);
    EXPECT_EQ(e.LinePos(), 1);
    EXPECT_EQ(U8(e.Message()), "Invalid XML Character found");
  }
}

TEST(XpInCharFilter, PeeksAndConsumingReadsDeliverTheSame) {
  const std::string bytes = "x\r\xE2\x82\xAC\r\n\xF0\x9F\x98\x80y";
  auto consuming = FilterOn(bytes);
  const WideString expected = ReadAll(*consuming);
  EXPECT_EQ(U8(expected), "x\n\xE2\x82\xAC\n\xF0\x9F\x98\x80y");

  auto peeking = FilterOn(bytes);
  WideString got;
  std::vector<std::pair<int, int>> positions;
  while (true) {
    const char16_t c = peeking->ReadChar();
    EXPECT_EQ(peeking->ReadChar(), c) << "a repeated peek answers the same";
    if (c == TXpInCharFilter::kEndOfInput) break;
    peeking->SkipChar();
    got += c;
    positions.emplace_back(peeking->Line(), peeking->LinePos());
  }
  EXPECT_EQ(U8(got), U8(expected));
  // x | LF | euro | LF | high, low (one column) | y
  const std::vector<std::pair<int, int>> expectedPositions = {{1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}, {3, 2}, {3, 3}};
  EXPECT_EQ(positions, expectedPositions);
}

TEST(XpInCharFilter, PeekTakesTheColumnBackUntilSkipped) {
  auto filter = FilterOn("ab");
  EXPECT_EQ(filter->ReadChar(), u'a');
  EXPECT_EQ(filter->LinePos(), 1);
  filter->SkipChar();
  EXPECT_EQ(filter->LinePos(), 2);
  filter->SkipChar();  // nothing peeked: nothing to skip
  EXPECT_EQ(filter->LinePos(), 2);
  EXPECT_EQ(filter->ReadAndSkipChar(), u'b');
  EXPECT_EQ(filter->LinePos(), 3);
}

TEST(XpInCharFilter, EndOfInputTurnsTrueOnlyAtItsFixedPoints) {
  auto empty = FilterOn("");
  EXPECT_TRUE(empty->isEOF()) << "creation on an empty stream";
  EXPECT_EQ(empty->ReadChar(), TXpInCharFilter::kEndOfInput);

  auto skipping = FilterOn("ab");
  EXPECT_FALSE(skipping->isEOF());
  skipping->ReadChar();
  skipping->SkipChar();
  EXPECT_EQ(skipping->ReadChar(), u'b');
  skipping->SkipChar();
  EXPECT_FALSE(skipping->isEOF()) << "SkipChar never ends the input";
  EXPECT_EQ(skipping->ReadChar(), TXpInCharFilter::kEndOfInput);
  EXPECT_TRUE(skipping->isEOF()) << "a read meeting the end";

  auto consuming = FilterOn("ab");
  consuming->ReadAndSkipChar();
  EXPECT_FALSE(consuming->isEOF());
  consuming->ReadAndSkipChar();
  EXPECT_TRUE(consuming->isEOF()) << "ReadAndSkipChar using up the stream";

  auto waiting = FilterOn("a\rb");
  waiting->ReadAndSkipChar();
  EXPECT_EQ(waiting->ReadAndSkipChar(), u'\n');
  EXPECT_FALSE(waiting->isEOF()) << "b still waits behind the folded CR";
  EXPECT_EQ(waiting->ReadAndSkipChar(), u'b');
  EXPECT_TRUE(waiting->isEOF());

  auto matching = FilterOn("ab");
  EXPECT_TRUE(matching->TryRead(Codes(U"ab")));
  EXPECT_TRUE(matching->isEOF()) << "a full match using up the stream";

  auto pair = FilterOn("\xF0\x9F\x98\x80");
  EXPECT_EQ(pair->ReadAndSkipChar(), 0xD83D);
  EXPECT_FALSE(pair->isEOF()) << "the low unit is still to come";
  EXPECT_EQ(pair->ReadAndSkipChar(), 0xDE00);
  EXPECT_TRUE(pair->isEOF());
}

TEST(XpInCharFilter, TryReadConsumesAFullMatchOnly) {
  auto filter = FilterOn("<!DOCTYPE x>");
  EXPECT_FALSE(filter->TryRead(Codes(U"<!DOCTYPX")));
  EXPECT_EQ(filter->ReadChar(), u'<');
  EXPECT_FALSE(filter->TryRead(Codes(U"<?")));
  EXPECT_TRUE(filter->TryRead(Codes(U"<!DOCTYPE")));
  EXPECT_EQ(filter->LinePos(), 10);
  EXPECT_EQ(filter->ReadAndSkipChar(), u' ');
  EXPECT_TRUE(filter->TryRead({}));
  EXPECT_EQ(filter->ReadChar(), u'x');
}

TEST(XpInCharFilter, FailedTryReadRestoresEverythingAlsoAtTheEnd) {
  struct Probe {
    int line, linePos;
    bool eof;
  };
  auto probe = [](TXpInCharFilter& f) { return Probe{f.Line(), f.LinePos(), f.isEOF()}; };
  auto same = [](const Probe& a, const Probe& b) {
    return a.line == b.line && a.linePos == b.linePos && a.eof == b.eof;
  };

  // A partial match over a line end, starting with a peeked character.
  auto filter = FilterOn("a\r\nbc");
  EXPECT_EQ(filter->ReadChar(), u'a');
  Probe before = probe(*filter);
  EXPECT_FALSE(filter->TryRead(Codes(U"a\nbX")));
  EXPECT_TRUE(same(probe(*filter), before));
  EXPECT_EQ(U8(ReadAll(*filter)), "a\nbc");

  // A partial match that runs into the end of input.
  auto tail = FilterOn("ab");
  EXPECT_EQ(tail->ReadChar(), u'a');
  before = probe(*tail);
  EXPECT_FALSE(tail->TryRead(Codes(U"abc")));
  EXPECT_TRUE(same(probe(*tail), before));
  EXPECT_FALSE(tail->isEOF());
  EXPECT_EQ(U8(ReadAll(*tail)), "ab");

  // A CR waiting behind the peek, a pair half delivered.
  auto waiting = FilterOn("\r\xF0\x9F\x98\x80z");
  EXPECT_EQ(waiting->ReadAndSkipChar(), u'\n');
  EXPECT_EQ(waiting->ReadAndSkipChar(), 0xD83D);
  EXPECT_FALSE(waiting->TryRead(Codes(U"\xDE00q")));
  EXPECT_EQ(U8(ReadAll(*waiting)), U8(u"\xDE00z"));
}

TEST(XpInCharFilter, TryReadComparesCodePoints) {
  auto filter = FilterOn("\xF0\x9F\x98\x80x\xF0\x9F\x98\x80");
  EXPECT_TRUE(filter->TryRead(Codes(U"\U0001F600x")));
  EXPECT_EQ(filter->LinePos(), 3);
  EXPECT_EQ(filter->ReadChar(), 0xD83D);
  EXPECT_TRUE(filter->TryRead(Codes(U"\U0001F600")));
  EXPECT_TRUE(filter->isEOF());
}

TEST(XpInCharFilter, CreationRefusesANullStream) {
  try {
    TXpInCharFilter filter(nullptr, 8192);
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("XpChrFlt"), std::string::npos) << e.what();
  }
}

TEST(XpInCharFilter, ReadingStartsAtTheStreamPosition) {
  auto filter = FilterOn("skip\xEF\xBB\xBFok", 8192, 4);
  EXPECT_EQ(U8(ReadAll(*filter)), "ok");
}

TEST(XpInCharFilter, TinyBuffersStillSeeTheByteOrderMark) {
  for (int size : {0, 1, 2, 3, 16}) {
    auto filter = FilterOn(std::string("\xFF\xFE" "a\0b\0", 6), size);
    EXPECT_EQ(filter->Format(), sfUTF16LE) << size;
    EXPECT_GE(filter->BufSize(), TXpBaseCharFilter::kMinBufSize);
    EXPECT_EQ(U8(ReadAll(*filter)), "ab") << size;
  }
}

// A document much larger than any buffer, with characters of every length and
// line ends straddling the refills.
std::string LargeDocument() {
  std::string doc;
  const char* pieces[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\r\n", "\r", "<tag>"};
  for (unsigned i = 0; doc.size() < 20000; ++i) doc += pieces[(i * 7 + i / 3) % 7];
  return doc;
}

WideString Folded(const std::string& utf8) {
  WideString text = XpUtf8ToWide(utf8);
  WideString out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      out += u'\n';
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

TEST(XpInCharFilter, LargeDocumentReadsAlikeWithAnyBufferSize) {
  const std::string doc = LargeDocument();
  const WideString expected = Folded(doc);
  int expectedLines = 1;
  for (char16_t c : expected) expectedLines += c == u'\n';

  for (int size : {16, 8192}) {
    SCOPED_TRACE(size);
    auto filter = FilterOn(doc, size);
    WideString got;
    // Mix the four ways of reading, and a failing look-ahead before each tag.
    for (unsigned i = 0;; ++i) {
      if (i % 5 == 4) {
        if (!filter->ReadUnits(got, i % 23)) break;
        continue;
      }
      if (filter->ReadChar() == u'<') {
        EXPECT_FALSE(filter->TryRead(Codes(U"<tax")));
        ASSERT_TRUE(filter->TryRead(Codes(U"<tag>")));
        got += u"<tag>";
        continue;
      }
      const char16_t c = i % 2 ? filter->ReadAndSkipChar() : filter->ReadChar();
      if (i % 2 == 0) filter->SkipChar();
      if (c == TXpInCharFilter::kEndOfInput) break;
      got += c;
    }
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(filter->Line(), expectedLines);
  }
}

TEST(XpInCharFilter, LineEndAndLookAheadAcrossARefill) {
  const int fill = TXpBaseCharFilter::kMinBufSize;
  // The CR is the last byte of the first fill, its LF the first of the next.
  auto crlf = FilterOn(std::string(fill - 1, 'a') + "\r\nb", 16);
  const WideString text = ReadAll(*crlf);
  EXPECT_EQ(text.size(), static_cast<std::size_t>(fill + 1));
  EXPECT_EQ(text.substr(text.size() - 2), u"\nb");
  EXPECT_EQ(crlf->Line(), 2);
  EXPECT_EQ(crlf->LinePos(), 2);

  // A look-ahead that needs the next fill, failing and then succeeding.
  auto ahead = FilterOn(std::string(fill - 3, 'a') + "<!DOCTYPE>", 16);
  for (int i = 0; i < fill - 3; ++i) ahead->ReadAndSkipChar();
  EXPECT_FALSE(ahead->TryRead(Codes(U"<!DOCTYPX")));
  EXPECT_TRUE(ahead->TryRead(Codes(U"<!DOCTYPE")));
  EXPECT_EQ(ahead->ReadAndSkipChar(), u'>');
  EXPECT_TRUE(ahead->isEOF());
}

TEST(XpInCharFilter, LookAheadLongerThanTheBuffer) {
  const std::size_t length = 3 * TXpBaseCharFilter::kMinBufSize;
  const std::string run(length, 'a');
  auto filter = FilterOn("<" + run + "b>", 16);
  EXPECT_EQ(filter->ReadAndSkipChar(), u'<');
  std::vector<TXpUcs4Char> pattern(length, U'a');
  pattern.push_back(U'c');
  EXPECT_FALSE(filter->TryRead(pattern));
  EXPECT_EQ(filter->LinePos(), 2);
  pattern.back() = U'b';
  EXPECT_TRUE(filter->TryRead(pattern));
  EXPECT_EQ(filter->LinePos(), static_cast<int>(length) + 3);
  EXPECT_EQ(filter->ReadAndSkipChar(), u'>');
  EXPECT_EQ(filter->ReadAndSkipChar(), TXpInCharFilter::kEndOfInput);
  EXPECT_TRUE(filter->isEOF());
}

TEST(XpInCharFilter, RunsStopAtTheEndAndAtEveryFormatChange) {
  // A run never decodes past what the format of its bytes allows: after the
  // declaration's bytes are read the rest is ISO-8859-1.
  auto filter = FilterOn("ab\xE9\xE9");
  WideString got;
  EXPECT_TRUE(filter->ReadUnits(got, 2));
  filter->SetFormat(sfISO88591);
  EXPECT_FALSE(filter->ReadUnits(got, 10));
  EXPECT_EQ(U8(got), "ab\xC3\xA9\xC3\xA9");
  EXPECT_TRUE(filter->isEOF());
  EXPECT_EQ(filter->LinePos(), 5);

  // A run that uses the stream up exactly ends the input.
  auto exact = FilterOn("xyz");
  WideString three;
  EXPECT_TRUE(exact->ReadUnits(three, 3));
  EXPECT_TRUE(exact->isEOF());
  EXPECT_FALSE(exact->ReadUnits(three, 1));
  EXPECT_EQ(U8(three), "xyz");
}

TEST(XpInCharFilter, FreesWhatItOwns) {
  // The directory context and, unless told otherwise, the stream: under the
  // address sanitizer a leak or a double free fails the test.
  auto filter = FilterOn("x");
  filter->SetDirContext(TXpDirContext::Make(nullptr, u"/docs/lake.gpx"));
  EXPECT_EQ(U8(filter->URL()), "/docs/lake.gpx");
  EXPECT_TRUE(filter->FreeStream());

  TXpMemoryStream kept;
  {
    TXpInCharFilter borrowed(&kept, 64);
    borrowed.SetFreeStream(false);
    EXPECT_EQ(borrowed.Stream(), &kept);
    EXPECT_EQ(U8(borrowed.URL()), "");
  }
  EXPECT_EQ(kept.Size(), 0);
}

}  // namespace
