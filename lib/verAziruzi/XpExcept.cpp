#include "lib/verAziruzi/XpExcept.h"

#include <algorithm>
#include <iterator>

#include "platform/NumberText.h"

EXpException::EXpException(const WideString& message)
    : std::runtime_error(XpWideToUtf8(message)), fMessage(message) {}

EXpStreamError::EXpStreamError(int filePos, const WideString& reason) : EXpException(reason), fFilePos(filePos) {}

EXpFilterError::EXpFilterError(int filePos, int line, int linePos, const WideString& reason)
    : EXpStreamError(filePos, reason), fReason(reason), fLine(line), fLinePos(linePos) {}

EXpParserError::EXpParserError(int line, int linePos, const WideString& url, const WideString& reason)
    : EXpFilterError(0, line, linePos, reason), fURL(url) {}

namespace {

struct MessageEntry {
  int number;
  std::u16string_view text;
};

// In number order, so a lookup is a binary search. Trailing blanks are part of
// the texts: the raisers append their detail after them.
constexpr MessageEntry kMessages[] = {
    {xpmUcs4ToUtf8, u"Cannot convert UCS-4 character to UTF-8"},
    {xpmMalformedIgnoreSection, u"Encountered malformed IGNORE section."},
    {xpmExpectedElementStart, u"Expected start of new element."},
    {xpmMixedLocalInternetPath, u"Cannot mix absolute local path %s with internet path %s"},
    {xpmStringNotNumber, u"String %s cannot be converted into a valid number."},
    {xpmNoFunctionHandler, u"No handler specified for %s() function."},
    {xpmNodeSetExpected, u"Node set expected %s"},
    {xpmDocumentSecondParameter, u"for 2nd parameter of document() function"},
    {xpmNotUnparsedEntity, u"Entity %s is not an unparsed entity."},
    {xpmMultipleEntityDeclarations, u"Multiple entity declarations found for name %s"},
    {xpmNoDtdForUnparsedEntity, u"No DTD in document for unparsed-entity-uri(%s)"},
    {xpmInvalidXmlChar, u"Invalid XML Character found"},
    {xpmInvalidUtf16BE, u"Invalid (big-endian) UTF-16 character encoding"},
    {xpmInvalidUtf16LE, u"Invalid (little-endian) UTF-16 character encoding"},
    {xpmBadUtf8, u"Badly formed UTF-8 character in stream"},
    {xpmUcs4ToLatin1, u"Cannot convert UCS-4 character to ISO-8859-1"},
    {xpmUcs4ToUtf16, u"Cannot convert UCS-4 character to UTF-16"},
    {xpmInvalidAttributeChar, u"Invalid character in attribute value: "},
    {xpmInvalidCharData, u"Invalid characters in element's character data: "},
    {xpmDataAfterDocument, u"There is invalid data after valid XML document"},
    {xpmConditionalInInternalSubset,
     u"Conditional sections not allowed in internal subset of document type declaration"},
    {xpmInvalidPublicIdChar, u"Invalid PublicID character: "},
    {xpmNDataInParameterEntity, u"NDATA not allowed in parameter entity declaration"},
    {xpmBadStandalone, u"Standalone value must equal 'yes' or 'no'"},
    {xpmInvalidEncodingDecl, u"Invalid encoding declaration: "},
    {xpmInvalidVersion, u"Invalid XML version number: "},
    {xpmInvalidEntityValueChar, u"Invalid character in entity value: "},
    {xpmParameterEntityInInternalSubset, u"Parameter entities not allowed in DTD internal subset"},
    {xpmXmlDeclNotFirst, u"The XML declaration must appear before the first element"},
    {xpmInvalidElementName, u"Invalid element name: "},
    {xpmParameterEntityNesting, u"Parameter-entity text must be properly nested: "},
    {xpmAttributeNotInteger, u"Attribute %s of element %s does not have an integer value."},
    {xpmUnknownAxis, u"Unknown axis specifier: %s"},
    {xpmExpectedCommentOrCData, u"Expected comment or CDATA section "},
    {xpmUnexpectedEndOfFile, u"Unexpected end of file "},
    {xpmMismatchedEndTag, u"Mismatched end tag: "},
    {xpmIllegalReferenceChar, u"Illegal character in reference: %s (%d)"},
    {xpmUndeclaredEntity, u"Reference to undeclared entity: "},
    {xpmExpectedString, u"Expected String: "},
    {xpmWhitespaceExpected, u"Whitespace expected at "},
    {xpmDelimiterMissing, u"End of input while looking for delimiter: "},
    {xpmExpectedQuote, u"Expected \" or '"},
    {xpmUnsupportedVersion, u"VERAziruzi does not support XML specification greater than %s"},
    {xpmInvalidXmlName, u"Invalid XML name: "},
    {xpmInvalidComment, u"Invalid comment text"},
    {xpmCommentBeforeXmlDecl, u"Document cannot start with a comment if it also contains an XML declaration"},
    {xpmInvalidCDataChars, u"Invalid characters in CDATA section"},
    {xpmAttributeRedefined, u"Attributes cannot be redefined in a start tag"},
    {xpmCircularReference, u"Circular reference to: "},
    {xpmNoInternetConnection, u"Unable to make Internet connection"},
    {xpmCannotOpenInternet, u"Unable to open Internet"},
    {xpmInvalidFtpLocation, u"Invalid ftp location"},
    {xpmInvalidFtpDirectory, u"Invalid ftp directory"},
    {xpmCannotOpenFtpFile, u"Unable to open ftp file"},
    {xpmFtpSaveFailed, u"Could not save file via ftp to %s"},
    {xpmCannotLoadSource, u"Unable to load source "},
    {xpmErrorLine, u"File: %s. Line: %d Col: %d Error: %s"},
    {xpmErrorIndexOutOfBounds, u"ERROR INDEX OUT OF BOUNDS"},
    {xpmExpectedMarkupDecl, u"Expected markup declaration, but found: "},
    {xpmIllegalAttributeType, u"Illegal attribute type: "},
    {xpmIllegalDefaultKeyword, u"Illegal keyword for attribute default value: "},
    {xpmSystemIdMissing, u"System identifier missing "},
    {xpmExternalModifierMissing, u"External modifier missing: "},
    {xpmBadConditionalKeyword, u"Conditional section must begin with INCLUDE or IGNORE"},
    {xpmBadContentSeparator, u"Bad separator in content model: "},
    {xpmNoInternetLibrary, u"Cannot open WININET, Microsoft IE required"},
    {xpmFileNotFound, u"File %s could not be found"},
    {xpmHttpDataNotAvailable, u"Http data not available"},
    {xpmCannotSendHttpRequest, u"Unable to send http request"},
    {xpmCannotOpenHttpRequest, u"Unable to open http request"},
};

}  // namespace

std::u16string_view XpMessageText(int number) {
  const auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), number,
                                   [](const MessageEntry& e, int n) { return e.number < n; });
  if (it == std::end(kMessages) || it->number != number) return {};
  return it->text;
}

WideString TXpFormatArg::Text() const {
  return fIsText ? fText : XpUtf8ToWide(numtext::FormatInt(fNumber));
}

WideString XpFormat(std::u16string_view format, std::initializer_list<TXpFormatArg> args) {
  WideString out;
  out.reserve(format.size());
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%' || i + 1 >= format.size()) {
      out.push_back(c);
      continue;
    }
    const char16_t kind = format[i + 1];
    if (kind == u'%') {
      out.push_back(u'%');
      ++i;
    } else if ((kind == u's' || kind == u'd') && next != args.end()) {
      out += next->Text();
      ++next;
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

WideString XpFormatMessage(int number, std::initializer_list<TXpFormatArg> args) {
  return XpFormat(XpMessageText(number), args);
}
