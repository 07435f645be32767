#pragma once

// The XML library's exceptions and its one table of numbered messages, with a
// small formatter for their %s and %d placeholders.

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string_view>
#include <type_traits>

#include "lib/verAziruzi/XpBase.h"

// Root of the library's own failures. The message is kept as wide text; what()
// gives it as UTF-8.
class EXpException : public std::runtime_error {
public:
  explicit EXpException(const WideString& message);
  const WideString& Message() const noexcept { return fMessage; }

private:
  WideString fMessage;
};

// A failure while reading or writing a stream; FilePos is 0 when not known.
class EXpStreamError : public EXpException {
public:
  EXpStreamError(int filePos, const WideString& reason);
  int FilePos() const noexcept { return fFilePos; }

private:
  int fFilePos;
};

// A failure of a character filter, with the line and column it was found at.
class EXpFilterError : public EXpStreamError {
public:
  EXpFilterError(int filePos, int line, int linePos, const WideString& reason);
  const WideString& Reason() const noexcept { return fReason; }
  int Line() const noexcept { return fLine; }
  int LinePos() const noexcept { return fLinePos; }

private:
  WideString fReason;
  int fLine;
  int fLinePos;
};

// A failure of the parser: its position is in Line and LinePos (FilePos is 0),
// URL names the document.
class EXpParserError : public EXpFilterError {
public:
  EXpParserError(int line, int linePos, const WideString& url, const WideString& reason);
  const WideString& URL() const noexcept { return fURL; }

private:
  WideString fURL;
};

// The message numbers. A text that ends in ": " or in a blank takes a detail
// appended by its raiser.
enum TXpMessageNumber : int {
  xpmUcs4ToUtf8 = 65104,
  xpmMalformedIgnoreSection = 65120,
  xpmExpectedElementStart = 65121,
  xpmMixedLocalInternetPath = 65122,
  xpmStringNotNumber = 65123,
  xpmNoFunctionHandler = 65124,
  xpmNodeSetExpected = 65125,
  xpmDocumentSecondParameter = 65126,
  xpmNotUnparsedEntity = 65127,
  xpmMultipleEntityDeclarations = 65128,
  xpmNoDtdForUnparsedEntity = 65129,
  xpmInvalidXmlChar = 65130,
  xpmInvalidUtf16BE = 65131,
  xpmInvalidUtf16LE = 65132,
  xpmBadUtf8 = 65133,
  xpmUcs4ToLatin1 = 65134,
  xpmUcs4ToUtf16 = 65135,
  xpmInvalidAttributeChar = 65136,
  xpmInvalidCharData = 65137,
  xpmDataAfterDocument = 65138,
  xpmConditionalInInternalSubset = 65139,
  xpmInvalidPublicIdChar = 65140,
  xpmNDataInParameterEntity = 65141,
  xpmBadStandalone = 65142,
  xpmInvalidEncodingDecl = 65143,
  xpmInvalidVersion = 65144,
  xpmInvalidEntityValueChar = 65145,
  xpmParameterEntityInInternalSubset = 65146,
  xpmXmlDeclNotFirst = 65147,
  xpmInvalidElementName = 65148,
  xpmParameterEntityNesting = 65149,
  xpmAttributeNotInteger = 65150,
  xpmUnknownAxis = 65151,
  xpmExpectedCommentOrCData = 65152,
  xpmUnexpectedEndOfFile = 65153,
  xpmMismatchedEndTag = 65154,
  xpmIllegalReferenceChar = 65155,
  xpmUndeclaredEntity = 65156,
  xpmExpectedString = 65157,
  xpmWhitespaceExpected = 65158,
  xpmDelimiterMissing = 65159,
  xpmExpectedQuote = 65160,
  xpmUnsupportedVersion = 65161,
  xpmInvalidXmlName = 65162,
  xpmInvalidComment = 65163,
  xpmCommentBeforeXmlDecl = 65164,
  xpmInvalidCDataChars = 65165,
  xpmAttributeRedefined = 65166,
  xpmCircularReference = 65167,
  xpmNoInternetConnection = 65168,
  xpmCannotOpenInternet = 65169,
  xpmInvalidFtpLocation = 65170,
  xpmInvalidFtpDirectory = 65171,
  xpmCannotOpenFtpFile = 65172,
  xpmFtpSaveFailed = 65173,
  xpmCannotLoadSource = 65174,
  xpmErrorLine = 65175,
  xpmErrorIndexOutOfBounds = 65176,
  xpmExpectedMarkupDecl = 65177,
  xpmIllegalAttributeType = 65178,
  xpmIllegalDefaultKeyword = 65179,
  xpmSystemIdMissing = 65180,
  xpmExternalModifierMissing = 65181,
  xpmBadConditionalKeyword = 65182,
  xpmBadContentSeparator = 65183,
  xpmNoInternetLibrary = 65195,
  xpmFileNotFound = 65196,
  xpmHttpDataNotAvailable = 65197,
  xpmCannotSendHttpRequest = 65198,
  xpmCannotOpenHttpRequest = 65199,
};

// The fixed text of a message; empty for a number that has none.
std::u16string_view XpMessageText(int number);

// One argument of XpFormat: a text or an integer.
class TXpFormatArg {
public:
  TXpFormatArg(const WideString& text) : fIsText(true), fText(text) {}
  TXpFormatArg(std::u16string_view text) : fIsText(true), fText(text) {}
  TXpFormatArg(const char16_t* text) : fIsText(true), fText(text ? text : u"") {}
  template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
             !std::is_same_v<T, char16_t> && !std::is_same_v<T, char32_t>)
  TXpFormatArg(T number) : fIsText(false), fNumber(static_cast<std::int64_t>(number)) {}

  // The argument as it is written into the text, whichever placeholder takes it.
  WideString Text() const;

private:
  bool fIsText;
  WideString fText;
  std::int64_t fNumber = 0;
};

// Replaces each %s and %d by the next argument (a text written as it is, an
// integer in decimal) and %% by %. Arguments are inserted, never read as format.
// A placeholder without an argument, and a % before anything else, stay as they
// stand, so a faulty call still yields a readable message.
WideString XpFormat(std::u16string_view format, std::initializer_list<TXpFormatArg> args);
// XpFormat of a message's text.
WideString XpFormatMessage(int number, std::initializer_list<TXpFormatArg> args = {});
// A text in single quotes, inner single quotes doubled: how messages name it.
inline WideString XpQuotedText(const WideString& text) { return u"'" + XpReplaceAll(text, u"'", u"''") + u"'"; }
