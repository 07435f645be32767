#include "lib/verAziruzi/XpExcept.h"

#include <algorithm>
#include <iterator>

#include <gtest/gtest.h>

namespace {

// Every message with its exact text, trailing blanks included.
TEST(XpMessages, EveryNumberHasItsExactText) {
  struct Entry {
    int number;
    const char16_t* text;
  } table[] = {
      {65104, u"Cannot convert UCS-4 character to UTF-8"},
      {65120, u"Encountered malformed IGNORE section."},
      {65121, u"Expected start of new element."},
      {65122, u"Cannot mix absolute local path %s with internet path %s"},
      {65123, u"String %s cannot be converted into a valid number."},
      {65124, u"No handler specified for %s() function."},
      {65125, u"Node set expected %s"},
      {65126, u"for 2nd parameter of document() function"},
      {65127, u"Entity %s is not an unparsed entity."},
      {65128, u"Multiple entity declarations found for name %s"},
      {65129, u"No DTD in document for unparsed-entity-uri(%s)"},
      {65130, u"Invalid XML Character found"},
      {65131, u"Invalid (big-endian) UTF-16 character encoding"},
      {65132, u"Invalid (little-endian) UTF-16 character encoding"},
      {65133, u"Badly formed UTF-8 character in stream"},
      {65134, u"Cannot convert UCS-4 character to ISO-8859-1"},
      {65135, u"Cannot convert UCS-4 character to UTF-16"},
      {65136, u"Invalid character in attribute value: "},
      {65137, u"Invalid characters in element's character data: "},
      {65138, u"There is invalid data after valid XML document"},
      {65139, u"Conditional sections not allowed in internal subset of document type declaration"},
      {65140, u"Invalid PublicID character: "},
      {65141, u"NDATA not allowed in parameter entity declaration"},
      {65142, u"Standalone value must equal 'yes' or 'no'"},
      {65143, u"Invalid encoding declaration: "},
      {65144, u"Invalid XML version number: "},
      {65145, u"Invalid character in entity value: "},
      {65146, u"Parameter entities not allowed in DTD internal subset"},
      {65147, u"The XML declaration must appear before the first element"},
      {65148, u"Invalid element name: "},
      {65149, u"Parameter-entity text must be properly nested: "},
      {65150, u"Attribute %s of element %s does not have an integer value."},
      {65151, u"Unknown axis specifier: %s"},
      {65152, u"Expected comment or CDATA section "},
      {65153, u"Unexpected end of file "},
      {65154, u"Mismatched end tag: "},
      {65155, u"Illegal character in reference: %s (%d)"},
      {65156, u"Reference to undeclared entity: "},
      {65157, u"Expected String: "},
      {65158, u"Whitespace expected at "},
      {65159, u"End of input while looking for delimiter: "},
      {65160, u"Expected \" or '"},
      {65161, u"VERAziruzi does not support XML specification greater than %s"},
      {65162, u"Invalid XML name: "},
      {65163, u"Invalid comment text"},
      {65164, u"Document cannot start with a comment if it also contains an XML declaration"},
      {65165, u"Invalid characters in CDATA section"},
      {65166, u"Attributes cannot be redefined in a start tag"},
      {65167, u"Circular reference to: "},
      {65168, u"Unable to make Internet connection"},
      {65169, u"Unable to open Internet"},
      {65170, u"Invalid ftp location"},
      {65171, u"Invalid ftp directory"},
      {65172, u"Unable to open ftp file"},
      {65173, u"Could not save file via ftp to %s"},
      {65174, u"Unable to load source "},
      {65175, u"File: %s. Line: %d Col: %d Error: %s"},
      {65176, u"ERROR INDEX OUT OF BOUNDS"},
      {65177, u"Expected markup declaration, but found: "},
      {65178, u"Illegal attribute type: "},
      {65179, u"Illegal keyword for attribute default value: "},
      {65180, u"System identifier missing "},
      {65181, u"External modifier missing: "},
      {65182, u"Conditional section must begin with INCLUDE or IGNORE"},
      {65183, u"Bad separator in content model: "},
      {65195, u"Cannot open WININET, Microsoft IE required"},
      {65196, u"File %s could not be found"},
      {65197, u"Http data not available"},
      {65198, u"Unable to send http request"},
      {65199, u"Unable to open http request"},
  };
  for (const Entry& e : table) EXPECT_EQ(XpMessageText(e.number), e.text) << e.number;
  // Every number from 65100 to 65210 that is not in the table has no text.
  for (int n = 65100; n <= 65210; ++n) {
    const bool inTable = std::any_of(std::begin(table), std::end(table), [n](const Entry& e) { return e.number == n; });
    if (!inTable) {
      EXPECT_TRUE(XpMessageText(n).empty()) << n;
    }
  }
  EXPECT_EQ(XpMessageText(xpmExpectedQuote), u"Expected \" or '");
  EXPECT_EQ(XpMessageText(xpmErrorLine), u"File: %s. Line: %d Col: %d Error: %s");
}

TEST(XpMessages, FormatFillsPlaceholdersInOrder) {
  EXPECT_EQ(XpFormatMessage(xpmErrorLine, {u"a.gpx", 3, 17, u"Mismatched end tag: trk"}),
            u"File: a.gpx. Line: 3 Col: 17 Error: Mismatched end tag: trk");
  EXPECT_EQ(XpFormatMessage(xpmIllegalReferenceChar, {u"&#1;", 1}), u"Illegal character in reference: &#1; (1)");
  EXPECT_EQ(XpFormatMessage(xpmFileNotFound, {WideString(u"'c:\\x.xml'")}), u"File 'c:\\x.xml' could not be found");
  EXPECT_EQ(XpFormatMessage(xpmInvalidComment), u"Invalid comment text");
  const std::int64_t big = -9000000000;
  EXPECT_EQ(XpFormat(u"%d|%s", {big, std::size_t{7}}), u"-9000000000|7");
}

TEST(XpMessages, ArgumentsAreDataNeverFormat) {
  // An argument that looks like a placeholder is written as it stands.
  EXPECT_EQ(XpFormat(u"%s and %s", {u"%s%d%%", u"b"}), u"%s%d%% and b");
  EXPECT_EQ(XpFormat(u"100%% of %s", {u"x"}), u"100% of x");
  // Placeholders without an argument, and unknown ones, stay visible.
  EXPECT_EQ(XpFormatMessage(xpmMixedLocalInternetPath, {u"/a"}),
            u"Cannot mix absolute local path /a with internet path %s");
  EXPECT_EQ(XpFormat(u"%x %5.4f %", {u"unused"}), u"%x %5.4f %");
  // A text for %d and a number for %s are written as they are.
  EXPECT_EQ(XpFormat(u"%d/%s", {u"n", 5}), u"n/5");
}

TEST(XpExceptions, EachClassCarriesItsPositionAndCatchesAsItsBases) {
  try {
    throw EXpParserError(12, 5, u"file:///lake.gpx", u"Invalid XML name: 1a");
  } catch (const EXpFilterError& e) {
    EXPECT_EQ(e.Message(), u"Invalid XML name: 1a");
    EXPECT_EQ(e.Reason(), u"Invalid XML name: 1a");
    EXPECT_EQ(e.Line(), 12);
    EXPECT_EQ(e.LinePos(), 5);
    EXPECT_EQ(e.FilePos(), 0);  // a parser error's position is its line and column
    ASSERT_NE(dynamic_cast<const EXpParserError*>(&e), nullptr);
    EXPECT_EQ(dynamic_cast<const EXpParserError&>(e).URL(), u"file:///lake.gpx");
  }

  const EXpFilterError filter(40, 2, 9, u"Badly formed UTF-8 character in stream");
  EXPECT_EQ(filter.FilePos(), 40);
  EXPECT_EQ(filter.Line(), 2);
  EXPECT_EQ(filter.LinePos(), 9);

  try {
    throw EXpStreamError(7, u"Cannot convert UCS-4 character to ISO-8859-1");
  } catch (const EXpException& e) {
    EXPECT_EQ(dynamic_cast<const EXpStreamError&>(e).FilePos(), 7);
  }

  // The message reaches callers that only know std::exception, as UTF-8.
  try {
    throw EXpException(u"Tief\u00e9 \u4e2d");
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Tief\xC3\xA9 \xE4\xB8\xAD");
  }
}

}  // namespace
