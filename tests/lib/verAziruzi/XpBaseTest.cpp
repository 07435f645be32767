#include "lib/verAziruzi/XpBase.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/CommaLocale.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string U8(const WideString& s) { return XpWideToUtf8(s); }

// ---------------------------------------------------------------------------
// Strings

TEST(XpStrings, CopyWideClipsAndRejectsOutsideIndexes) {
  struct Case {
    const char16_t* text;
    int index, count;
    const char16_t* expected;
  } cases[] = {
      {u"abc", 2, 10, u"bc"}, {u"abc", 0, 3, u""}, {u"abc", 4, 1, u""}, {u"abc", 1, 0, u""},
      {u"abc", 1, -1, u""},   {u"abc", 3, 1, u"c"}, {u"abc", -5, 9, u""}, {u"", 1, 1, u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(XpCopyWide(c.text, c.index, c.count), c.expected) << U8(c.text) << " " << c.index << " " << c.count;
}

TEST(XpStrings, PositionsCountFromOneAndZeroMeansAbsent) {
  EXPECT_EQ(XpPosWide(u"b", u"abcb"), 2);
  EXPECT_EQ(XpLastPosWide(u"b", u"abcb"), 4);
  EXPECT_EQ(XpLastPosWide(u"bc", u"abcbc"), 4);
  EXPECT_EQ(XpLastPosWide(u"aa", u"aaa"), 2);
  EXPECT_EQ(XpPosWide(u"x", u"abc"), 0);
  EXPECT_EQ(XpLastPosWide(u"x", u"abc"), 0);
  EXPECT_EQ(XpLastPosWide(u"abcd", u"abc"), 0);
  EXPECT_EQ(XpPosWide(u"", u"abc"), 0);
  EXPECT_EQ(XpLastPosWide(u"", u"abc"), 0);
}

TEST(XpStrings, SameLeftComparesPrefixesExactlyOrUpperCased) {
  EXPECT_TRUE(XpSameLeft(u"", u"x", 0));
  EXPECT_TRUE(XpSameLeft(u"abc", u"abd", 2));
  EXPECT_FALSE(XpSameLeft(u"abc", u"abd", 3));
  EXPECT_FALSE(XpSameLeft(u"ab", u"abc", 3));  // a text shorter than Count
  EXPECT_FALSE(XpSameLeft(u"EN", u"en", 2));

  EXPECT_TRUE(XpSameLeftText(u"EN-gb", u"en", 2));
  EXPECT_TRUE(XpSameLeftText(u"english", u"en", 2));
  EXPECT_TRUE(XpSameLeftText(u"\u00e9t\u00e9", u"\u00c9T\u00c9", 3));
  EXPECT_FALSE(XpSameLeftText(u"e", u"en", 2));
  EXPECT_TRUE(XpSameLeftText(u"", u"", -1));
}

TEST(XpStrings, ReplaceAllNeverRescansReplacedText) {
  EXPECT_EQ(XpReplaceAll(u"aaa", u"aa", u"b"), u"ba");
  EXPECT_EQ(XpReplaceAll(u"aXa", u"a", u"aa"), u"aaXaa");
  EXPECT_EQ(XpReplaceAll(u"a-b-c", u"-", u""), u"abc");
  EXPECT_EQ(XpReplaceAll(u"abc", u"", u"x"), u"abc");
  EXPECT_EQ(XpReplaceAll(u"abc", u"z", u"x"), u"abc");
  EXPECT_EQ(XpReplaceAll(u"", u"a", u"x"), u"");
}

TEST(XpStrings, LocaleUpperCaseKeepsTheLength) {
  EXPECT_EQ(XpLocaleUpperCase(u"gpx-1.1"), u"GPX-1.1");
  EXPECT_EQ(XpLocaleUpperCase(u"\u00e9t\u00e9"), u"\u00c9T\u00c9");
  // Sharp s would become "SS": it stays, so positions keep their meaning.
  EXPECT_EQ(XpLocaleUpperCase(u"stra\u00dfe"), u"STRA\u00dfE");
  // A letter outside the BMP (Deseret) as its surrogate pair.
  EXPECT_EQ(XpLocaleUpperCase(u"\U00010428"), u"\U00010400");
  // A lone surrogate passes unchanged.
  const WideString lone(1, char16_t(0xD800));
  EXPECT_EQ(XpLocaleUpperCase(lone + u"a"), lone + u"A");
}

TEST(XpStrings, Utf8ConversionRoundTripsAndReplacesWhatCannotBeCarried) {
  const WideString text = u"h:depth \u00e9\u4e2d\U0001F41F";
  EXPECT_EQ(XpUtf8ToWide(XpWideToUtf8(text)), text);
  EXPECT_EQ(XpWideToUtf8(WideString(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
  EXPECT_EQ(XpWideToUtf8(WideString(u"a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(XpWideToUtf8(u"12.5\u00e9x\U0001F41Fy"), "12.5\xC3\xA9x\xF0\x9F\x90\x9Fy");
  EXPECT_EQ(XpUtf8ToWide("a\xC3"), u"a\uFFFD");            // cut-off sequence
  EXPECT_EQ(XpUtf8ToWide("\xC0\x80z"), u"\uFFFD\uFFFDz");  // no "modified UTF-8" nulls
  EXPECT_EQ(XpUtf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
}

// ---------------------------------------------------------------------------
// Buffers

TEST(XpStrings, TrimTakesOnlyXmlWhitespaceFromTheEnds) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {" \t\r\n 4.5 m \n", "4.5 m"},
      {"", ""},
      {" \t\r\n", ""},
      {"\xC2\xA0" "7\xC2\xA0", "\xC2\xA0" "7\xC2\xA0"},  // a no-break space is text
      {"\v7\f", "\v7\f"},
  };
  for (const auto& [text, trimmed] : cases) EXPECT_EQ(XpTrimXmlWhitespace(text), trimmed) << text;
  EXPECT_TRUE(XpIsXmlWhitespace(u'\r'));
  EXPECT_FALSE(XpIsXmlWhitespace('\xA0'));
  EXPECT_FALSE(XpIsXmlWhitespace(u'\u3000'));
}

TEST(XpBuffers, AppendGrowsToTwiceTheCapacityPlusTheText) {
  WideString buffer = u"abc_";  // capacity 4, 3 used
  int used = 3;
  XpBufferAppend(u"xyz", buffer, used);
  EXPECT_EQ(buffer.size(), 11u);
  EXPECT_EQ(used, 6);
  EXPECT_EQ(buffer.substr(0, 6), u"abcxyz");

  XpBufferAppend(u"12345", buffer, used);  // fits: capacity stays
  EXPECT_EQ(buffer.size(), 11u);
  EXPECT_EQ(buffer.substr(0, 11), u"abcxyz12345");

  XpBufferAppend(u"", buffer, used);
  EXPECT_EQ(used, 11);
}

TEST(XpBuffers, InsertGrowsByAFifthAndMovesTheTail) {
  WideString buffer = u"abc_";
  int used = 3;
  XpBufferInsert(u"xyz", buffer, 2, used);
  EXPECT_EQ(buffer.size(), 7u);
  EXPECT_EQ(used, 6);
  EXPECT_EQ(buffer.substr(0, 6), u"axyzbc");

  XpBufferInsert(u"!", buffer, 7, used);  // at Used + 1: appends
  EXPECT_EQ(buffer.substr(0, 7), u"axyzbc!");
  EXPECT_EQ(buffer.size(), 7u);

  WideString empty;
  int none = 0;
  XpBufferInsert(u"ab", empty, 1, none);
  EXPECT_EQ(empty, u"ab");
  EXPECT_EQ(none, 2);
}

TEST(XpBuffers, PositionsAndCountsOutsideTheBufferAreClamped) {
  struct Case {
    int position;
    const char16_t* expected;
  } cases[] = {{0, u"XYabc"}, {-7, u"XYabc"}, {4, u"abcXY"}, {100, u"abcXY"}};
  for (const Case& c : cases) {
    WideString buffer = u"abc";
    int used = 3;
    XpBufferInsert(u"XY", buffer, c.position, used);
    EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(used)), c.expected) << c.position;
  }
  // A Used beyond the capacity is taken as the capacity.
  WideString buffer = u"ab";
  int used = 50;
  XpBufferAppend(u"c", buffer, used);
  EXPECT_EQ(used, 3);
  EXPECT_EQ(buffer.substr(0, 3), u"abc");
}

TEST(XpPaths, RelativeLocalPaths) {
  struct Case {
    const char16_t* path;
    bool relative;
  } cases[] = {
      {u".\\a.xml", true},  {u"sub\\a.xml", true}, {u"../a.xml", true}, {u"sub/a.xml", true},
      {u"C:\\a.xml", false}, {u"http://host/a.xml", false}, {u"\\a.xml", false}, {u"/a.xml", false},
      {u"a.xml", false},
  };
  for (const Case& c : cases) EXPECT_EQ(XpIsRelativeLocalPath(c.path), c.relative) << U8(c.path);
}

// ---------------------------------------------------------------------------
// Numbers

TEST(XpNumbers, CeilingAndFloorToInt) {
  struct Case {
    double value;
    int ceil, floor;
  } cases[] = {
      {1.2, 2, 1},   {-1.5, -1, -2}, {2.0, 2, 2},           {-0.0, 0, 0},
      {0.5, 1, 0},   {-0.5, 0, -1},  {2147483647.0, 2147483647, 2147483647},
      {-2147483648.0, -2147483648, -2147483648},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XpCeilToInt(c.value), c.ceil) << c.value;
    EXPECT_EQ(XpFloorToInt(c.value), c.floor) << c.value;
  }
}

TEST(XpNumbers, CeilingAndFloorWithoutA32BitResultRaise) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {std::nan(""), inf, -inf, 3e9, -3e9, 1e300})
    EXPECT_THROW((void)XpCeilToInt(v), EConvertError) << v;
  for (double v : {std::nan(""), inf, -inf, 3e9, -3e9, 1e300})
    EXPECT_THROW((void)XpFloorToInt(v), EConvertError) << v;
  EXPECT_THROW((void)XpCeilToInt(2147483647.5), EConvertError);
  EXPECT_EQ(XpFloorToInt(2147483647.5), 2147483647);
  EXPECT_THROW((void)XpFloorToInt(-2147483648.5), EConvertError);
  EXPECT_EQ(XpCeilToInt(-2147483648.5), -2147483647 - 1);
}

TEST(XpNumbers, LooksNumeric) {
  struct Case {
    const char16_t* text;
    bool numeric;
  } cases[] = {
      {u"", true},   {u"12", true},    {u"-12.5", true}, {u"1.2.3", true}, {u"-", true},
      {u"..", true}, {u" 1", false},   {u"+1", false},   {u"1e3", false},  {u"1-", false},
      {u"1,5", false}, {u"NAN", false}, {u"\u0661", false},  // Arabic-Indic digit one
  };
  for (const Case& c : cases) EXPECT_EQ(XpLooksNumeric(c.text), c.numeric) << U8(c.text);
}

TEST(XpNumbers, StrToNumber) {
  EXPECT_EQ(XpXPathStrToNumber(u"-12.5"), -12.5);
  EXPECT_EQ(XpXPathStrToNumber(u"12"), 12.0);
  EXPECT_EQ(XpXPathStrToNumber(u".5"), 0.5);
  EXPECT_EQ(XpXPathStrToNumber(u"0.1"), 0.1);

  for (const char16_t* text : {u" 1", u"+1", u"1e3", u"", u"-", u"1.2.3", u"..", u"abc"}) {
    try {
      (void)XpXPathStrToNumber(text);
      ADD_FAILURE() << "no error for \"" << U8(text) << "\"";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), WideString(text) + u" can't be converted to a valid XML number.");
      EXPECT_THAT(e.what(), StartsWith(U8(text)));
    }
  }
}

TEST(XpNumbers, StrToNumberOfFractionsBelowTheSmallestDoubleIsZero) {
  const WideString zeros(400, u'0');
  EXPECT_EQ(XpXPathStrToNumber(u"0." + zeros + u"1"), 0.0);
  const double negative = XpXPathStrToNumber(u"-." + zeros + u"25");
  EXPECT_EQ(negative, 0.0);
  EXPECT_TRUE(std::signbit(negative));
  EXPECT_EQ(XpXPathStrToNumber(u"0.000000000000000000001"), 1e-21);  // small but a double

  // Too large for a double stays an error, and so does a point without digits.
  for (const WideString& text : {u"1" + zeros, u"-7" + zeros + u".5", WideString(u"."), WideString(u"-.")}) {
    try {
      (void)XpXPathStrToNumber(text);
      ADD_FAILURE() << "no error for " << U8(text).substr(0, 20);
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), text + u" can't be converted to a valid XML number.");
    }
  }
}

TEST(XpNumbers, NumberToStrWritesPlainDecimalsOnly) {
  struct Case {
    double value;
    const char16_t* text;
  } cases[] = {
      {2, u"2"},
      {-0.5, u"-0.5"},
      {0.0001, u"0.0001"},
      {0, u"0"},
      {0.1 + 0.2, u"0.3"},
      {1.0 / 3, u"0.333333333333333"},
      {123456789012345, u"123456789012345"},
      {999999999999999.4, u"999999999999999"},
      {-2147483648.0, u"-2147483648"},
  };
  for (const Case& c : cases) EXPECT_EQ(XpXPathNumberToStr(c.value), c.text) << c.value;

  struct Failure {
    double value;
    const char16_t* message;
  } failures[] = {
      {0.00001, u"1E-5 isn't a valid number for XPath."},
      {1e15, u"1E15 isn't a valid number for XPath."},
      {-1.5e20, u"-1.5E20 isn't a valid number for XPath."},
      {std::nan(""), u"NAN isn't a valid number for XPath."},
      {std::numeric_limits<double>::infinity(), u"INF isn't a valid number for XPath."},
      {-std::numeric_limits<double>::infinity(), u"-INF isn't a valid number for XPath."},
  };
  for (const Failure& f : failures) {
    try {
      (void)XpXPathNumberToStr(f.value);
      ADD_FAILURE() << "no error for " << f.value;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), f.message);
    }
  }
}

TEST(XpNumbers, NumberTextsIgnoreACommaLocale) {
  REQUIRE_COMMA_LOCALE(guard);
  EXPECT_EQ(XpXPathNumberToStr(12.5), u"12.5");
  EXPECT_EQ(XpXPathNumberToStr(-0.25), u"-0.25");
  EXPECT_EQ(XpXPathStrToNumber(u"12.5"), 12.5);
  EXPECT_THROW((void)XpXPathStrToNumber(u"12,5"), EConvertError);
}

// ---------------------------------------------------------------------------
// Code conversions

TEST(XpConversions, Latin1AndUcs2) {
  TXpUcs4Char c = 1;
  EXPECT_TRUE(XpLatin1ToUcs4(0xE9, c));
  EXPECT_EQ(c, 0xE9u);

  std::uint8_t b = 1;
  EXPECT_TRUE(XpUcs4ToLatin1(0xFF, b));
  EXPECT_EQ(b, 0xFF);
  EXPECT_FALSE(XpUcs4ToLatin1(0x100, b));
  EXPECT_EQ(b, 0);

  char16_t w = 1;
  EXPECT_TRUE(XpUcs4ToUcs2(0xFFFF, w));
  EXPECT_EQ(w, 0xFFFF);
  EXPECT_FALSE(XpUcs4ToUcs2(0x10000, w));
  EXPECT_EQ(w, 0);
}

TEST(XpConversions, Utf16Pairs) {
  struct Case {
    TXpUcs4Char code;
    char16_t first, second;
  } cases[] = {{0x41, 0x41, 0}, {0xFFFF, 0xFFFF, 0}, {0x10000, 0xD800, 0xDC00}, {0x1F41F, 0xD83D, 0xDC1F},
               {0x10FFFF, 0xDBFF, 0xDFFF}};
  for (const Case& c : cases) {
    char16_t first = 1, second = 1;
    EXPECT_TRUE(XpUcs4ToUtf16Pair(c.code, first, second));
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);

    TXpUcs4Char back = 0;
    bool usedSecond = false;
    EXPECT_TRUE(XpUtf16PairToUcs4(first, second == 0 ? char16_t(u'x') : second, back, usedSecond));
    EXPECT_EQ(back, c.code);
    EXPECT_EQ(usedSecond, c.second != 0);
  }

  char16_t first = 1, second = 1;
  EXPECT_FALSE(XpUcs4ToUtf16Pair(0x110000, first, second));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 0);

  // A low surrogate first, or a high one without a low one, fails.
  for (auto [w1, w2] : {std::pair<char16_t, char16_t>{0xDC00, 0xDC00}, {0xDC00, u'a'}, {0xDFFF, 0xD800},
                        {0xD800, u'a'}, {0xDBFF, 0xD800}}) {
    TXpUcs4Char c = 1;
    bool usedSecond = true;
    EXPECT_FALSE(XpUtf16PairToUcs4(w1, w2, c, usedSecond)) << std::hex << int(w1) << " " << int(w2);
    EXPECT_EQ(c, 0u);
    EXPECT_FALSE(usedSecond);
  }
  EXPECT_TRUE(XpIsSurrogateUnit(0xD800));
  EXPECT_TRUE(XpIsSurrogateUnit(0xDFFF));
  EXPECT_FALSE(XpIsSurrogateUnit(0xD7FF));
  EXPECT_FALSE(XpIsSurrogateUnit(0xE000));
}

TEST(XpConversions, StrictUtf8DecodingTakesWellFormedSequencesOnly) {
  struct Case {
    std::string_view bytes;
    std::size_t length;
    TXpUcs4Char code;
  };
  const Case cases[] = {
      {"A", 1, 0x41},
      {"\xC3\xA4x", 2, 0xE4},
      {"\xE2\x82\xAC", 3, 0x20AC},
      {"\xF0\x9F\x90\x9F", 4, 0x1F41F},
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
      {"\xC0\x80", 0, 0},              // overlong
      {"\xE0\x80\xAF", 0, 0},         // overlong
      {"\xED\xA0\x80", 0, 0},         // surrogate
      {"\xF4\x90\x80\x80", 0, 0},    // beyond U+10FFFF
      {"\xF8\x88\x80\x80\x80", 0, 0},  // five bytes
      {"\xC3", 0, 0},                  // cut off
      {"\xC3(", 0, 0},                 // no continuation byte
      {"\x80", 0, 0},                  // continuation byte first
  };
  for (const Case& c : cases) {
    const TXpUtf8Decoded d = XpDecodeUtf8(c.bytes, 0);
    EXPECT_EQ(d.Length, c.length) << testing::PrintToString(std::string(c.bytes));
    if (c.length) {
      EXPECT_EQ(d.Code, c.code);
    }
  }
  EXPECT_EQ(XpDecodeUtf8("ab\xC3\xA4", 2).Code, 0xE4u);
}

TEST(XpConversions, Utf8SequencesUpToSixBytes) {
  struct Case {
    TXpUcs4Char code;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {0x00, {0x00}},
      {0x7F, {0x7F}},
      {0x80, {0xC2, 0x80}},
      {0x7FF, {0xDF, 0xBF}},
      {0x800, {0xE0, 0xA0, 0x80}},
      {0xFFFF, {0xEF, 0xBF, 0xBF}},
      {0x10000, {0xF0, 0x90, 0x80, 0x80}},
      {0x1FFFFF, {0xF7, 0xBF, 0xBF, 0xBF}},
      {0x200000, {0xF8, 0x88, 0x80, 0x80, 0x80}},
      {0x3FFFFFF, {0xFB, 0xBF, 0xBF, 0xBF, 0xBF}},
      {0x4000000, {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}},
      {0x7FFFFFFF, {0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}},
  };
  for (const Case& c : cases) {
    TXpUtf8Char seq{};
    ASSERT_TRUE(XpUcs4ToUtf8Seq(c.code, seq));
    ASSERT_EQ(seq[0], c.bytes.size()) << std::hex << c.code;
    EXPECT_EQ(std::vector<std::uint8_t>(seq.begin() + 1, seq.begin() + 1 + seq[0]), c.bytes) << std::hex << c.code;
    EXPECT_EQ(XpUtf8SeqLength(seq[1]), static_cast<int>(c.bytes.size())) << std::hex << c.code;

    TXpUcs4Char back = 1;
    EXPECT_TRUE(XpUtf8SeqToUcs4(seq, seq[0], back));
    EXPECT_EQ(back, c.code);
  }
  // 32-bit codes have no six-byte form: a lead byte 0xFF is no UTF-8.
  TXpUtf8Char seq{};
  EXPECT_FALSE(XpUcs4ToUtf8Seq(0x80000000u, seq));
  EXPECT_EQ(seq[0], 0);
}

TEST(XpConversions, Utf8SequenceLengthByLeadByte) {
  struct Case {
    std::uint8_t lead;
    int length;
  } cases[] = {{0x00, 1}, {0x7F, 1}, {0x80, 0}, {0xBF, 0}, {0xC0, 2}, {0xDF, 2}, {0xE0, 3}, {0xEF, 3},
               {0xF0, 4}, {0xF7, 4}, {0xF8, 5}, {0xFB, 5}, {0xFC, 6}, {0xFD, 6}, {0xFE, 0}, {0xFF, 0}};
  for (const Case& c : cases) EXPECT_EQ(XpUtf8SeqLength(c.lead), c.length) << std::hex << int(c.lead);
}

TEST(XpConversions, Utf8DecodingFailuresAndTolerances) {
  auto seqOf = [](std::initializer_list<std::uint8_t> bytes) {
    TXpUtf8Char seq{};
    seq[0] = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), seq.begin() + 1);
    return seq;
  };
  TXpUcs4Char c = 1;
  EXPECT_FALSE(XpUtf8SeqToUcs4(TXpUtf8Char{}, 0, c));  // count 0
  EXPECT_EQ(c, 0u);
  EXPECT_FALSE(XpUtf8SeqToUcs4(seqOf({0xC3, 0xA9}), 3, c));  // count differs
  EXPECT_FALSE(XpUtf8SeqToUcs4(seqOf({0xC3, 0x29}), 2, c));  // not 10xxxxxx
  EXPECT_FALSE(XpUtf8SeqToUcs4(seqOf({0xE2, 0x82, 0xC0}), 3, c));
  TXpUtf8Char tooLong{};
  tooLong[0] = 7;
  EXPECT_FALSE(XpUtf8SeqToUcs4(tooLong, 7, c));  // would read past the sequence

  EXPECT_TRUE(XpUtf8SeqToUcs4(seqOf({0xC3, 0xA9}), 2, c));
  EXPECT_EQ(c, 0xE9u);
  EXPECT_TRUE(XpUtf8SeqToUcs4(seqOf({0xC0, 0x80}), 2, c));  // overlong, decoded as it stands
  EXPECT_EQ(c, 0u);
  EXPECT_TRUE(XpUtf8SeqToUcs4(seqOf({0xED, 0xA0, 0x80}), 3, c));  // an encoded surrogate
  EXPECT_EQ(c, 0xD800u);
}

// ---------------------------------------------------------------------------
// Character classes

TEST(XpCharClasses, XmlCharBoundaries) {
  for (TXpUcs4Char c : {0x9u, 0xAu, 0xDu, 0x20u, 0xD7FFu, 0xE000u, 0xFFFDu, 0x10000u, 0x10FFFFu})
    EXPECT_TRUE(XpIsXmlChar(c)) << std::hex << c;
  for (TXpUcs4Char c : {0x0u, 0x8u, 0xBu, 0xCu, 0x1Fu, 0xD800u, 0xDFFFu, 0xFFFEu, 0xFFFFu, 0x110000u})
    EXPECT_FALSE(XpIsXmlChar(c)) << std::hex << c;
}

enum CharClass { None, Base, Ideographic, Combining, Digit, Extender };
struct ClassCase {
  TXpUcs4Char code;
  CharClass expected;
};

template <std::size_t N>
void ExpectClasses(const ClassCase (&cases)[N]) {
  for (const ClassCase& c : cases) {
    EXPECT_EQ(XpIsBaseChar(c.code), c.expected == Base) << std::hex << c.code;
    EXPECT_EQ(XpIsIdeographicChar(c.code), c.expected == Ideographic) << std::hex << c.code;
    EXPECT_EQ(XpIsLetterChar(c.code), c.expected == Base || c.expected == Ideographic) << std::hex << c.code;
    EXPECT_EQ(XpIsCombiningChar(c.code), c.expected == Combining) << std::hex << c.code;
    EXPECT_EQ(XpIsDigitChar(c.code), c.expected == Digit) << std::hex << c.code;
    EXPECT_EQ(XpIsExtenderChar(c.code), c.expected == Extender) << std::hex << c.code;
  }
}

// Boundaries of the Appendix B ranges: the first and last code of a range are
// in, their neighbours outside the range are not.
TEST(XpCharClasses, AppendixBRangeBoundaries) {
  const ClassCase cases[] = {
      {0x40, None},         {0x41, Base},         {0x5A, Base},        {0x5B, None},        {0x60, None},
      {0x61, Base},         {0x7A, Base},         {0x7B, None},        {0xBF, None},        {0xC0, Base},
      {0xD6, Base},         {0xD7, None},         {0xF7, None},        {0xFF, Base},        {0x131, Base},
      {0x132, None},        {0x133, None},        {0x134, Base},       {0x13F, None},       {0x140, None},
      {0x17F, None},        {0x1C4, None},        {0x1CC, None},       {0x1CD, Base},       {0x1F0, Base},
      {0x1F1, None},        {0x2A8, Base},        {0x2A9, None},       {0x2BA, None},       {0x2BB, Base},
      {0x2C1, Base},        {0x2C2, None},        {0x386, Base},       {0x387, Extender},   {0x3F3, Base},
      {0x3F4, None},        {0x559, Base},        {0x6E5, Base},       {0x6E6, Base},       {0x212E, Base},
      {0x3094, Base},       {0x3095, None},       {0xAC00, Base},      {0xD7A3, Base},      {0xD7A4, None},
      {0x3006, None},       {0x3007, Ideographic}, {0x3020, None},     {0x3021, Ideographic}, {0x3029, Ideographic},
      {0x302A, Combining},  {0x302F, Combining},  {0x3030, None},      {0x4DFF, None},      {0x4E00, Ideographic},
      {0x9FA5, Ideographic}, {0x9FA6, None},      {0x2FF, None},       {0x300, Combining},  {0x345, Combining},
      {0x346, None},        {0x361, Combining},   {0x362, None},       {0x6DD, Combining},  {0x6DF, Combining},
      {0x309A, Combining},  {0x20DC, Combining},  {0x20DD, None},      {0x20E1, Combining}, {0x2F, None},
      {0x30, Digit},        {0x39, Digit},        {0x3A, None},        {0x660, Digit},      {0x669, Digit},
      {0x66A, None},        {0xF29, Digit},       {0xF2A, None},       {0xB6, None},        {0xB7, Extender},
      {0xB8, None},         {0x2D0, Extender},    {0x2D1, Extender},   {0x2D2, None},       {0x3005, Extender},
      {0x3031, Extender},   {0x3035, Extender},   {0x3036, None},      {0x30FC, Extender},  {0x30FE, Extender},
      {0x30FF, None},       {0xFFFD, None},
  };
  ExpectClasses(cases);
}

// Where the scripts interleave letters, marks, digits and extenders, and where
// the ranges leave single gaps, a range typed one off shows at once.
TEST(XpCharClasses, AppendixBScriptBoundaries) {
  const ClassCase cases[] = {
      // Latin, Greek, Cyrillic, Armenian, Hebrew
      {0x1F4, Base}, {0x1F6, None}, {0x217, Base}, {0x218, None}, {0x24F, None}, {0x250, Base},
      {0x385, None}, {0x388, Base}, {0x38B, None}, {0x38C, Base}, {0x38D, None}, {0x3A2, None},
      {0x3CF, None}, {0x3D7, None}, {0x3DA, Base}, {0x3DB, None}, {0x3E1, None}, {0x3E2, Base},
      {0x400, None}, {0x401, Base}, {0x40D, None}, {0x450, None}, {0x45D, None}, {0x482, None},
      {0x483, Combining}, {0x487, None}, {0x490, Base}, {0x4C5, None}, {0x4C7, Base}, {0x4C9, None},
      {0x4CA, None}, {0x530, None}, {0x531, Base}, {0x557, None}, {0x55A, None}, {0x586, Base},
      {0x587, None}, {0x590, None}, {0x591, Combining}, {0x5A2, None}, {0x5BA, None}, {0x5BE, None},
      {0x5BF, Combining}, {0x5C0, None}, {0x5C3, None}, {0x5C4, Combining}, {0x5D0, Base}, {0x5EB, None},
      {0x5F2, Base}, {0x5F3, None},
      // Arabic
      {0x640, Extender}, {0x641, Base}, {0x64A, Base}, {0x64B, Combining}, {0x652, Combining}, {0x653, None},
      {0x670, Combining}, {0x671, Base}, {0x6B7, Base}, {0x6B8, None}, {0x6BA, Base}, {0x6BF, None},
      {0x6D5, Base}, {0x6D6, Combining}, {0x6E4, Combining}, {0x6E7, Combining}, {0x6E9, None},
      {0x6EA, Combining}, {0x6ED, Combining}, {0x6EE, None}, {0x6F0, Digit},
      // Indic
      {0x900, None}, {0x901, Combining}, {0x904, None}, {0x905, Base}, {0x93C, Combining}, {0x93D, Base},
      {0x93E, Combining}, {0x94D, Combining}, {0x94E, None}, {0x950, None}, {0x951, Combining},
      {0x958, Base}, {0x961, Base}, {0x962, Combining}, {0x966, Digit}, {0x9B2, Base}, {0x9B3, None},
      {0x9BC, Combining}, {0x9BD, None}, {0xA02, Combining}, {0xA03, None}, {0xA5E, Base}, {0xA5F, None},
      {0xA8D, Base}, {0xA8E, None}, {0xAE0, Base}, {0xAE1, None}, {0xBE6, None}, {0xBE7, Digit},
      {0xCDE, Base}, {0xCDF, None}, {0xD57, Combining}, {0xD58, None},
      // Thai and Lao
      {0xE2E, Base}, {0xE2F, None}, {0xE30, Base}, {0xE31, Combining}, {0xE32, Base}, {0xE33, Base},
      {0xE34, Combining}, {0xE3A, Combining}, {0xE3B, None}, {0xE40, Base}, {0xE45, Base},
      {0xE46, Extender}, {0xE47, Combining}, {0xE4E, Combining}, {0xE4F, None}, {0xE50, Digit},
      {0xE59, Digit}, {0xE5A, None}, {0xEB0, Base}, {0xEB1, Combining}, {0xEB2, Base}, {0xEB4, Combining},
      {0xEBA, None}, {0xEBB, Combining}, {0xEBD, Base}, {0xEC4, Base}, {0xEC5, None}, {0xEC6, Extender},
      {0xEC7, None}, {0xEC8, Combining},
      // Tibetan
      {0xF18, Combining}, {0xF20, Digit}, {0xF35, Combining}, {0xF36, None}, {0xF3E, Combining},
      {0xF40, Base}, {0xF47, Base}, {0xF48, None}, {0xF49, Base}, {0xF69, Base}, {0xF6A, None},
      {0xF85, None}, {0xF96, None}, {0xF97, Combining}, {0xF98, None}, {0xFB8, None}, {0xFB9, Combining},
      {0xFBA, None},
      // Georgian and Hangul Jamo
      {0x10A0, Base}, {0x10C5, Base}, {0x10C6, None}, {0x10F6, Base}, {0x10F7, None}, {0x1100, Base},
      {0x1101, None}, {0x1104, None}, {0x1108, None}, {0x110A, None}, {0x110D, None}, {0x1113, None},
      {0x113C, Base}, {0x113D, None}, {0x115F, Base}, {0x1161, Base}, {0x1162, None}, {0x11F9, Base},
      {0x11FA, None},
      // Greek Extended, letterlike symbols, kana, bopomofo
      {0x1E9C, None}, {0x1EA0, Base}, {0x1FBD, None}, {0x1FBE, Base}, {0x1FBF, None}, {0x1FC1, None},
      {0x1FC2, Base}, {0x1FFC, Base}, {0x1FFD, None}, {0x2125, None}, {0x2126, Base}, {0x2127, None},
      {0x212A, Base}, {0x212B, Base}, {0x212C, None}, {0x212F, None}, {0x217F, None}, {0x2180, Base},
      {0x2182, Base}, {0x2183, None}, {0x20E0, None}, {0x3008, None}, {0x3040, None}, {0x3041, Base},
      {0x3099, Combining}, {0x309B, None}, {0x309D, Extender}, {0x309F, None}, {0x30A0, None},
      {0x30A1, Base}, {0x30FA, Base}, {0x30FB, None}, {0x3104, None}, {0x3105, Base}, {0x312C, Base},
      {0x312D, None}, {0xABFF, None},
  };
  ExpectClasses(cases);
}

TEST(XpCharClasses, ClassesAreDisjointAndStayInsideTheBmp) {
  for (TXpUcs4Char c = 0; c < 0x10000; ++c) {
    const int classes = XpIsBaseChar(c) + XpIsIdeographicChar(c) + XpIsCombiningChar(c) + XpIsDigitChar(c) +
                        XpIsExtenderChar(c);
    ASSERT_LE(classes, 1) << std::hex << c;
    if (classes) {
      ASSERT_TRUE(XpIsXmlChar(c)) << std::hex << c;
    }
  }
  for (TXpUcs4Char c : {0x10000u, 0x10400u, 0x1D400u, 0x20000u, 0x10FFFFu, 0x110041u}) {
    EXPECT_FALSE(XpIsLetterChar(c)) << std::hex << c;
    EXPECT_FALSE(XpIsNameChar(c)) << std::hex << c;
    EXPECT_FALSE(XpIsNameStartChar(c)) << std::hex << c;
  }
}

TEST(XpCharClasses, NameAndPubidCharacters) {
  for (TXpUcs4Char c : std::initializer_list<TXpUcs4Char>{'.', '-', '_', ':', '7', 0x301u, 0xB7u, 'a', 0x4E00u}) EXPECT_TRUE(XpIsNameChar(c)) << c;
  for (TXpUcs4Char c : std::initializer_list<TXpUcs4Char>{' ', '/', '"', 0xD7u}) EXPECT_FALSE(XpIsNameChar(c)) << c;
  for (TXpUcs4Char c : std::initializer_list<TXpUcs4Char>{'_', ':', 'a', 0xE9u, 0x4E00u}) EXPECT_TRUE(XpIsNameStartChar(c)) << c;
  for (TXpUcs4Char c : std::initializer_list<TXpUcs4Char>{'.', '-', '7', 0x301u, 0xB7u}) EXPECT_FALSE(XpIsNameStartChar(c)) << c;

  for (char c : std::string(" \r\nazAZ09-'()+,./:=?;!*#@$_%")) EXPECT_TRUE(XpIsPubidChar(c)) << c;
  for (TXpUcs4Char c : std::initializer_list<TXpUcs4Char>{'\t', '"', '&', '<', '>', '[', '\\', '^', '`', '{', '~', 0xE9u})
    EXPECT_FALSE(XpIsPubidChar(c)) << c;
}

TEST(XpNames, ValidXmlNames) {
  for (const char16_t* name : {u"h:depth", u"_x", u"\u00e9-1", u"", u"trkseg", u":a", u"a.b-c_d\u00b7"})
    EXPECT_TRUE(XpIsValidXmlName(name)) << U8(name);
  for (const char16_t* name : {u"1a", u"-a", u".a", u"a b", u" a", u"a\t", u"a&b", u"\u00b7a"})
    EXPECT_FALSE(XpIsValidXmlName(name)) << U8(name);
  // Surrogate units fail even where the character they form would be a letter.
  EXPECT_FALSE(XpIsValidXmlName(u"a\U00010400"));
  EXPECT_FALSE(XpIsValidNameUnit(false, 0xD801));
  EXPECT_TRUE(XpIsValidNameUnit(false, u'-'));
  EXPECT_FALSE(XpIsValidNameUnit(true, u'-'));
}

// ---------------------------------------------------------------------------
// Streams and components

TEST(XpStreams, MemoryStreamReadsWritesAndSeeks) {
  TXpMemoryStream stream;
  stream.WriteBuffer("hello", 5);
  EXPECT_EQ(stream.Size(), 5);
  EXPECT_EQ(stream.Position(), 5);
  stream.SetPosition(1);
  char buf[8] = {};
  EXPECT_EQ(stream.Read(buf, 8), 4);
  EXPECT_EQ(std::string(buf, 4), "ello");
  EXPECT_EQ(stream.Read(buf, 8), 0);
  EXPECT_THROW(stream.ReadBuffer(buf, 1), EInOutError);

  stream.Seek(-2, TXpSeekOrigin::soEnd);
  stream.WriteBuffer("p!", 2);
  stream.Seek(10, TXpSeekOrigin::soBeginning);  // writing past the end fills with zeros
  stream.WriteBuffer("x", 1);
  EXPECT_EQ(stream.Size(), 11);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 11), std::string("help!\0\0\0\0\0x", 11));
}

TEST(XpStreams, MemoryStreamOverBorrowedMemory) {
  const char text[] = "<gpx/>";
  TXpMemoryStream stream;
  stream.SetPointer(text, 6);
  EXPECT_EQ(stream.Memory(), reinterpret_cast<const std::uint8_t*>(text));  // no copy
  char buf[6];
  stream.ReadBuffer(buf, 6);
  EXPECT_EQ(std::string(buf, 6), "<gpx/>");
  // The memory is someone else's: it is never written, grown or freed.
  EXPECT_THROW(stream.WriteBuffer("x", 1), EInOutError);
  EXPECT_THROW(stream.SetSize(100), EInOutError);
  EXPECT_EQ(std::string(text), "<gpx/>");

  TXpMemoryStream owning;
  owning.WriteBuffer("ab", 2);
  EXPECT_THROW(owning.SetPointer(text, 6), EAssertionFailed);
  owning.Clear();
  owning.SetPointer(text, 6);
  EXPECT_EQ(owning.Size(), 6);

  // A stream cut to size 0 holds no memory either.
  TXpMemoryStream cut;
  cut.WriteBuffer("abc", 3);
  cut.SetSize(0);
  cut.SetPointer(text, 6);
  EXPECT_EQ(cut.Memory(), reinterpret_cast<const std::uint8_t*>(text));
}

TEST(XpStreams, MemoryStreamPositionsNearTheLimitDoNotOverflow) {
  TXpMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  const std::int64_t max = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(stream.Seek(max, TXpSeekOrigin::soCurrent), max);
  char c;
  EXPECT_EQ(stream.Read(&c, 1), 0);
  EXPECT_THROW(stream.WriteBuffer("x", 1), EInOutError);
  EXPECT_EQ(stream.Size(), 3);
  EXPECT_EQ(stream.Seek(std::numeric_limits<std::int64_t>::min(), TXpSeekOrigin::soEnd), 0);
}

class XpFileStreamTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("xpbase-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  WideString Path(const std::string& name) const { return XpUtf8ToWide((dir_ / name).string()); }

  std::filesystem::path dir_;
};

TEST_F(XpFileStreamTest, CreatesReadsAndKeepsTheName) {
  const WideString name = Path("t\u00e4st.xml");
  {
    TXpFileStream out(fmCreate, name);
    EXPECT_EQ(out.Filename(), name);
    out.WriteBuffer("<a/>", 4);
  }
  TXpFileStream in(fmOpenRead | fmShareDenyWrite, name);
  EXPECT_EQ(in.Size(), 4);
  char buf[4];
  in.ReadBuffer(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "<a/>");
  EXPECT_THROW(in.WriteBuffer("x", 1), EInOutError);  // opened for reading only
}

TEST_F(XpFileStreamTest, CreateWithAShareModeCreatesTheFileAnew) {
  // As the downloads open their temporary file: it exists already, and may hold
  // bytes from before.
  const WideString name = Path("download.tmp");
  {
    TXpFileStream old(fmCreate, name);
    old.WriteBuffer("stale bytes", 11);
  }
  TXpFileStream stream(fmCreate | fmShareExclusive, name);
  EXPECT_EQ(stream.Size(), 0);
  stream.WriteBuffer("<a/>", 4);
  stream.SetPosition(0);
  char buf[4];
  stream.ReadBuffer(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "<a/>");

  const WideString fresh = Path("fresh.tmp");
  TXpFileStream created(fmCreate | fmShareDenyWrite, fresh);
  EXPECT_TRUE(std::filesystem::exists(U8(fresh)));
}

TEST_F(XpFileStreamTest, MissingFilesAndDirectoriesRaiseWithTheirName) {
  for (const WideString& name : {Path("missing.xml"), XpUtf8ToWide(dir_.string())}) {
    try {
      TXpFileStream in(fmOpenRead, name);
      ADD_FAILURE() << "opened " << U8(name);
    } catch (const EInOutError& e) {
      EXPECT_THAT(e.what(), HasSubstr("Cannot open file \"" + U8(name) + "\""));
    }
  }
}

class CountedComponent : public TXpComponent {
public:
  explicit CountedComponent(int& alive) : alive_(alive) { ++alive_; }
  ~CountedComponent() override { --alive_; }

private:
  int& alive_;
};

TEST(XpComponents, OwnerFreesWhatItOwnsAndHandsBackWhatIsRemoved) {
  int alive = 0;
  std::unique_ptr<TXpComponent> kept;
  {
    TXpComponent owner;
    auto* a = owner.InsertComponent(std::make_unique<CountedComponent>(alive));
    auto* b = owner.InsertComponent(std::make_unique<CountedComponent>(alive));
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(a->Owner(), &owner);
    EXPECT_EQ(owner.Components(1), b);
    EXPECT_EQ(owner.Components(2), nullptr);

    kept = owner.RemoveComponent(b);
    EXPECT_EQ(kept.get(), b);
    EXPECT_EQ(kept->Owner(), nullptr);
    EXPECT_EQ(owner.RemoveComponent(b), nullptr);
  }
  EXPECT_EQ(alive, 1);  // a went with its owner, b is ours now
  kept.reset();
  EXPECT_EQ(alive, 0);
}

// Records what it sees of its owner while it is destroyed.
class WatchingComponent : public TXpComponent {
public:
  WatchingComponent(const TXpComponent*& ownerSeen, int& siblingsSeen, const TXpComponent& owner)
      : ownerSeen_(ownerSeen), siblingsSeen_(siblingsSeen), owner_(owner) {}
  ~WatchingComponent() override {
    ownerSeen_ = Owner();
    siblingsSeen_ = owner_.ComponentCount();
    for (int i = 0; i < owner_.ComponentCount(); ++i)
      if (owner_.Components(i) == this) siblingsSeen_ = -1;
  }

private:
  const TXpComponent*& ownerSeen_;
  int& siblingsSeen_;
  const TXpComponent& owner_;
};

TEST(XpComponents, OwnedComponentsLeaveTheOwnerBeforeTheyAreDestroyed) {
  const TXpComponent* ownerSeen = reinterpret_cast<const TXpComponent*>(1);
  int siblingsSeen = -2;
  int alive = 0;
  {
    TXpComponent owner;
    owner.InsertComponent(std::make_unique<CountedComponent>(alive));
    owner.InsertComponent(std::make_unique<WatchingComponent>(ownerSeen, siblingsSeen, owner));
  }
  EXPECT_EQ(ownerSeen, nullptr);
  EXPECT_EQ(siblingsSeen, 1);  // the last one goes first; the other is still there
  EXPECT_EQ(alive, 0);
}

TEST(XpComponents, VersionIsTheLibrarysInTheUsersLocale) {
  TXpComponent component;
  EXPECT_EQ(component.Version(), u"2.5700");
  component.SetVersion(u"9.9");
  EXPECT_EQ(component.Version(), u"2.5700");
  REQUIRE_COMMA_LOCALE(guard);
  EXPECT_EQ(component.Version(), u"2,5700");
}

}  // namespace
