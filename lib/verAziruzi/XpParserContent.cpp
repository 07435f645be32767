// The content grammar: elements on an explicit stack, attributes with their
// declared defaults, character data and its whitespace handling, CDATA
// sections, comments, processing instructions, references, names and literals.

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "lib/verAziruzi/XpParser.h"

namespace {

bool IsPredefinedEntity(const WideString& name) {
  return name == u"lt" || name == u"gt" || name == u"amp" || name == u"apos" || name == u"quot";
}

// What an ASCII unit is to a name, looked up instead of classified each time.
enum : std::uint8_t { kNameDelimiter = 1, kNameStart = 2, kNameChar = 4 };

const std::array<std::uint8_t, 128>& AsciiNameClasses() {
  static const std::array<std::uint8_t, 128> classes = [] {
    std::array<std::uint8_t, 128> t{};
    for (char16_t c : std::u16string_view(u"%<>&,|*+?)=[;/'\" \t\n\r", 20)) t[c] |= kNameDelimiter;
    t[0] |= kNameDelimiter;
    t[1] |= kNameDelimiter;
    for (char16_t c = 0; c < 128; ++c) {
      if (XpIsValidNameUnit(true, c)) t[c] |= kNameStart;
      if (XpIsValidNameUnit(false, c)) t[c] |= kNameChar;
    }
    return t;
  }();
  return classes;
}

// Names of attributes compared as the folded-name table compares them, without
// building the folded texts.
bool EqualFolded(const WideString& a, const WideString& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && XpFoldUnit(a[i]) != XpFoldUnit(b[i])) return false;
  return true;
}

// Beyond this many attributes in one start tag, repeats are found by hashing.
constexpr std::size_t kLinearAttributeCheck = 8;

}  // namespace

// Saved state of an element whose child is being read.
struct TXpParser::TXpElementFrame {
  WideString Name;
  int ContentType = xpctUndeclared;
  bool Preserve = false;
};

// ---------------------------------------------------------------------------
// Elements

void TXpParser::ParseElement() {
  FFilter->Settle();
  // The enclosing elements' saved state. Frames stay allocated when an element
  // ends and names are swapped in and out, so a name's buffer is reused by the
  // next element at that depth.
  std::vector<TXpElementFrame> frames;
  std::size_t open = 0;
  auto enter = [&] {
    if (open == frames.size()) frames.emplace_back();
    TXpElementFrame& frame = frames[open++];
    std::swap(frame.Name, FCurrentElement);
    frame.ContentType = FCurrentElementContent;
    frame.Preserve = FPreserve;
  };
  auto leave = [&] {
    TXpElementFrame& frame = frames[--open];
    std::swap(FCurrentElement, frame.Name);
    FCurrentElementContent = frame.ContentType;
    FPreserve = frame.Preserve;
  };
  enter();
  if (!ParseStartTag(1)) {
    leave();
    return;
  }
  for (;;) {
    switch (FCurrentElementContent) {
      case xpctChildren:
        ParseWhitespaceOnly();
        break;
      case xpctEmpty:
        break;
      default:
        ParseCharData();
    }
    if (IsEndOfInput()) Fail(xpmUnexpectedEndOfFile);
    char16_t c = ReadInputChar(false);
    if (c == u'&') {
      SkipInputChar();
      if (FFilter->ReadChar() == u'#') {
        SkipInputChar();
        std::size_t used = FDataBuffer.size();
        ParseCharRef();
        if (FCurrentElementContent == xpctChildren || FCurrentElementContent == xpctEmpty) {
          // Read again as markup: whitespace passes, anything else fails as text.
          WideString character = FDataBuffer.substr(used);
          FDataBuffer.resize(used);
          PushString(character);
        }
      } else {
        WideString name;
        ParseEntityRef(name);
      }
      continue;
    }
    if (c != u'<') Fail(xpmExpectedElementStart);
    SkipInputChar();
    switch (FFilter->ReadChar()) {
      case u'!':
        SkipInputChar();
        FlushCharData();
        c = ReadInputChar(true);
        if (c == u'-') {
          Require(u"-");
          ParseComment();
        } else if (c == u'[') {
          Require(u"CDATA[");
          FCDATA = true;
          ParseUntil(u"]]>");
          FlushCharData();
          FCDATA = false;
        } else {
          Fail(xpmExpectedCommentOrCData, u"(" + WideString(1, c) + u")");
        }
        break;
      case u'?':
        SkipInputChar();
        FlushCharData();
        ParsePI();
        break;
      case u'/':
        SkipInputChar();
        FlushCharData();
        ParseEndTag();
        leave();
        if (open == 0) return;
        break;
      default:
        FlushCharData();
        enter();
        if (!ParseStartTag(static_cast<int>(open))) leave();
    }
  }
}

bool TXpParser::ParseStartTag(int depth) {
  fTagAttributeCount = 0;
  fTagFoldedNames.clear();
  WideString& name = FCurrentElement;
  ReadName(true, name);
  if (name.empty()) Fail(xpmInvalidElementName, u"''");
  if (depth > kXpMaxElementNesting)
    FailText(u"Element nesting deeper than " + XpFormat(u"%d", {kXpMaxElementNesting}) + u" levels at: " + name);
  int element = IndexOfElement(name);
  int contentType = GetElementContentType(element);
  FCurrentElementContent = contentType == xpctUndeclared ? xpctAny : contentType;

  SkipWhitespace(true);
  WideString xmlSpace;
  bool xmlSpaceGiven = false;
  char16_t c = ReadInputChar(false);
  while (c != u'/' && c != u'>') {
    if (ParseAttribute(name, element, xmlSpace)) xmlSpaceGiven = true;
    SkipWhitespace(true);
    CheckAttributeRepeat();
    c = ReadInputChar(false);
  }

  if (OnAttribute && element >= 0) {
    const std::vector<int>& defaulted = FElementInfo[element].Record->Defaulted();
    if (!defaulted.empty()) {
      const auto& definitions = *GetElementAttributes(element);
      const auto given = FTagAttributes.begin(), givenEnd = given + static_cast<std::ptrdiff_t>(fTagAttributeCount);
      const std::unordered_set<std::u16string_view> givenNames(given, givenEnd);
      for (int i : defaulted) {
        const WideString& attribute = definitions[i].Name;
        if (givenNames.count(attribute)) continue;
        WideString value;
        if (!GetAttributeDefault(name, attribute, element, value)) continue;
        // Defaults are text the declarations add, as entities are, and a tag of
        // four bytes may get thousands: they count, each with its node's weight.
        fExpansion.Used += static_cast<std::int64_t>(attribute.size() + value.size()) + kXpNodeCharge;
        if (fExpansion.Exceeded()) FailText(u"Default attribute expansion limit exceeded at: " + name);
        OnAttribute(this, attribute, value, false);
      }
    }
  }
  if (!xmlSpaceGiven && element >= 0) {
    static const WideString kXmlSpace = u"xml:space";
    GetAttributeDefault(name, kXmlSpace, element, xmlSpace);
  }
  if (xmlSpace == u"preserve")
    FPreserve = true;
  else if (xmlSpace == u"default")
    FPreserve = !NormalizeData;
  if (OnPreserveSpace) OnPreserveSpace(this, name, FPreserve);

  if (ReadInputChar(true) == u'>') {
    if (OnStartElement) OnStartElement(this, name);
    return true;
  }
  Require(u">");
  if (OnStartElement) OnStartElement(this, name);
  if (OnEndElement) OnEndElement(this, name);
  return false;
}

// Fails when the last attribute of the start tag repeats an earlier one, names
// compared without regard to letter case.
void TXpParser::CheckAttributeRepeat() {
  const std::size_t last = fTagAttributeCount - 1;
  const WideString& name = FTagAttributes[last];
  if (fTagAttributeCount <= kLinearAttributeCheck) {
    for (std::size_t i = 0; i < last; ++i)
      if (EqualFolded(FTagAttributes[i], name)) Fail(xpmAttributeRedefined);
    return;
  }
  if (fTagFoldedNames.empty())
    for (std::size_t i = 0; i < last; ++i) fTagFoldedNames.insert(XpFoldCase(FTagAttributes[i]));
  if (!fTagFoldedNames.insert(XpFoldCase(name)).second) Fail(xpmAttributeRedefined);
}

void TXpParser::ParseEndTag() {
  WideString& name = fEndTagName;
  ReadName(true, name);
  if (name != FCurrentElement)
    Fail(xpmMismatchedEndTag, u"Start tag = \"" + FCurrentElement + u"\" End tag = \"" + name + u"\"");
  SkipWhitespace(true);
  Require(u">");
  if (OnEndElement) OnEndElement(this, name);
}

bool TXpParser::ParseAttribute(const WideString& sElemName, int iElement, WideString& sXmlSpace) {
  // The names of a start tag live in reused strings, one a position.
  if (fTagAttributeCount == FTagAttributes.size()) FTagAttributes.emplace_back();
  WideString& name = FTagAttributes[fTagAttributeCount];
  ReadName(true, name);
  int type = GetAttributeType(sElemName, iElement, name);
  ParseEq();
  // The value is read into the pending text and handed on from there.
  bool reference = false;
  ReadLiteral(type == xpatUndeclared || type == xpatCDATA ? 3 : 11, reference);
  const WideString& value = FDataBuffer;
  if (!reference && value.find(u'<') != WideString::npos) Fail(xpmInvalidAttributeChar, u"'<'");
  if (OnAttribute) OnAttribute(this, name, value, true);
  ++fTagAttributeCount;
  const bool xmlSpace = name == u"xml:space";
  if (xmlSpace) sXmlSpace = value;
  ResetDataBuffer();
  return xmlSpace;
}

void TXpParser::ParseEq() {
  SkipWhitespace(true);
  Require(u"=");
  SkipWhitespace(true);
}

bool TXpParser::GetAttributeDefault(const WideString& /*sElemName*/, const WideString& sAttrName, int iElement,
                                    WideString& sValue) {
  sValue.clear();
  auto* definitions = GetElementAttributes(iElement);
  if (!definitions) return false;
  int index = definitions->IndexOf(sAttrName);
  if (index < 0) return false;
  TXpAttributeInfo& info = *(*definitions)[index].Record;
  if (!info.LookupDone && !info.Value.empty()) {
    // The stored default is read as the content of one literal, with general
    // entities expanded and normalised as a value of its type; it ends with its own text,
    // also when that ends in a reference.
    info.LookupDone = true;
    WideString pending = TakeDataBuffer(true);
    PushString(info.Literal.empty() ? info.Value : info.Literal);
    bool reference = false;
    const bool cdata = info.AttrType == xpatUndeclared || info.AttrType == xpatCDATA;
    ParseLiteralBody(cdata ? 3 : 11, reference, 0, FFilter.get());
    info.Lookup = TakeDataBuffer(true);
    FDataBuffer = std::move(pending);
  }
  sValue = info.Lookup;
  return !sValue.empty();
}

// ---------------------------------------------------------------------------
// Text

void TXpParser::ParseCharData() {
  for (;;) {
    if (FFilter->ScanCharData(FDataBuffer)) Fail(xpmInvalidCharData, u"']]>'");
    if (FFilter->ReadChar() != kXpEndOfInput || FDocStack.empty()) return;
    PopDocument();
  }
}

void TXpParser::ParseWhitespaceOnly() {
  for (;;) {
    char16_t c = FFilter->ReadChar();
    if (XpIsXmlWhitespace(c)) {
      AppendChar(c);
      FFilter->SkipChar();
    } else if (c == kXpEndOfInput && !FDocStack.empty()) {
      PopDocument();
    } else {
      return;
    }
  }
}

void TXpParser::FlushCharData() {
  if (FDataBuffer.empty()) return;
  if (NormalizeData && !FCDATA && !FPreserve) NormalizeWhitespace();
  if (!FDataBuffer.empty()) {
    switch (FCurrentElementContent) {
      case xpctAny:
      case xpctMixed:
        if (FCDATA) {
          if (OnCDATASection) OnCDATASection(this, FDataBuffer);
        } else if (OnCharData) {
          OnCharData(this, FDataBuffer);
        }
        break;
      case xpctChildren:
        if (OnIgnorableWhitespace) OnIgnorableWhitespace(this, FDataBuffer);
        break;
      default:
        break;
    }
  }
  FDataBuffer.clear();
}

void TXpParser::ParseComment(bool bDeclaration) {
  ParseUntil(u"-->");
  WideString text = TakeDataBuffer(true);
  if (!text.empty() && (text.find(u"--") != WideString::npos || text.back() == u'-')) Fail(xpmInvalidComment);
  if (bDeclaration)
    if (const WideString* entity = InnermostEntity())
      ChargeExpansion(static_cast<std::int64_t>(text.size()) + kXpNodeCharge, *entity);
  if (OnComment) OnComment(this, text);
}

bool TXpParser::ParsePI(bool bDeclaration) {
  WideString target;
  ReadName(true, target);
  bool declaration = target == u"xml";
  if (declaration) {
    ParseXMLDecl();
  } else {
    FXMLDecParsed = true;
    if (!FFilter->TryRead(u"?>")) {
      RequireWhitespace();
      ParseUntil(u"?>");
    }
  }
  WideString data = TakeDataBuffer(true);
  if (bDeclaration)
    if (const WideString* entity = InnermostEntity())
      ChargeExpansion(static_cast<std::int64_t>(target.size() + data.size()) + kXpNodeCharge, *entity);
  if (OnProcessingInstruction) OnProcessingInstruction(this, target, data);
  return declaration;
}

void TXpParser::ParseUntil(std::u16string_view delimiter) {
  if (FFilter->TryRead(delimiter)) return;
  char16_t first = delimiter[0];
  for (;;) {
    FFilter->ScanUntil(FDataBuffer, [first](char16_t c) { return c == first; });
    if (FFilter->isEOF()) Fail(xpmDelimiterMissing, u"'" + WideString(delimiter) + u"'");
    if (FFilter->TryRead(delimiter)) return;
    AppendChar(first);
    FFilter->SkipChar();
  }
}

// ---------------------------------------------------------------------------
// References

TXpUcs4Char TXpParser::ParseCharRef() {
  bool hex = FFilter->TryRead(u"x");
  WideString digits;
  TXpUcs4Char value = 0;
  for (;;) {
    char16_t c = ReadInputChar(true);
    if (c == u';') break;
    int digit = -1;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (hex && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (hex && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    if (digit < 0)
      FailText(XpFormatMessage(xpmIllegalReferenceChar, {WideString(1, c), static_cast<int>(c)}));
    digits.push_back(c);
    value = value * (hex ? 16 : 10) + static_cast<TXpUcs4Char>(digit);
    if (value > 0x10FFFF) FailText(u"Character reference out of range: " + digits);
  }
  char16_t first = 0, second = 0;
  XpUcs4ToUtf16Pair(value, first, second);
  AppendChar(first);
  if (second) AppendChar(second);
  return value;
}

void TXpParser::ParseEntityRef(WideString& sName) {
  ReadName(true, sName);
  // Taken before the ';' is matched.
  bool open = IsEntityOpen(sName);
  RequireReferenceEnd();
  switch (GetEntityClass(sName, false)) {
    case xpecUndeclared:
      Fail(xpmUndeclaredEntity, u"'" + sName + u"'");
    case xpecInternal:
      if (IsPredefinedEntity(sName)) {
        PushString(GetEntityValue(sName, false));
      } else {
        CheckEntityReference(sName, open);
        PushEntityText(sName, GetEntityValue(sName, false), true);
      }
      break;
    case xpecUnparsed:
      FHasExternals = true;
      if (OnNonXMLEntity)
        OnNonXMLEntity(this, sName, GetEntityPublicId(sName), GetEntitySystemId(sName), GetEntityNotation(sName));
      break;
    default: {
      CheckEntityReference(sName, open);
      const std::size_t depth = FDocStack.size();
      WideString value;
      ResolveExternalEntity(sName, GetEntityPublicId(sName), GetEntitySystemId(sName), value);
      if (FDocStack.size() > depth) SkipTextDeclaration();
    }
  }
}

// The ';' of a reference. An entity input used up by it stays on the stack
// until the referenced text has been read, so a chain of references in tail
// position still finds its own names open.
void TXpParser::RequireReferenceEnd() {
  if (!FFilter->TryRead(u";")) Require(u";");
}

// An external parsed entity may start with a text declaration; it only sets the
// entity's encoding and is not reported. The entity's input is the floor while
// the declaration is read, so that an entity holding nothing else is still
// there to be settled.
void TXpParser::SkipTextDeclaration() {
  const std::size_t floor = std::exchange(fInputFloor, FDocStack.size());
  TXpParserInput& input = *FFilter;
  if (FFilter->TryRead(u"<?xml ") || FFilter->TryRead(u"<?xml\n") || FFilter->TryRead(u"<?xml\t")) {
    WideString pending = TakeDataBuffer(true);
    const bool mark = FXMLDecParsed;
    FXMLDecParsed = false;
    ParseXMLDecl();
    FXMLDecParsed = mark;
    FDataBuffer = std::move(pending);
  }
  input.Settle();
  fInputFloor = floor;
}

// ---------------------------------------------------------------------------
// Names and literals

void TXpParser::ReadName(bool bFirstCharRule, WideString& sName) {
  // A name may start with a parameter-entity reference, whose own name may
  // start with one, and so on: "%%p;;" names the entity whose name p holds.
  // The references still waiting for their names are counted, not nested.
  std::size_t waiting = 0;
  while (FFilter->ReadChar() == u'%' && TryReadString(u"%")) ++waiting;
  ScanName(waiting > 0 || bFirstCharRule, sName);
  while (waiting > 0) {
    --waiting;
    const bool open = IsEntityOpen(sName);
    WideString value;
    ExpandPEReference(sName, open, true, false, value);
    SkipWhitespace(true);
    ScanName(waiting > 0 || bFirstCharRule, sName);
  }
}

void TXpParser::ScanName(bool bFirstCharRule, WideString& sName) {
  sName.clear();
  const auto& classes = AsciiNameClasses();
  // Nearly every name is ASCII name characters, read in one step.
  const bool asciiNameChars = FFilter->ScanAsciiRun(sName, classes, kNameChar, kNameDelimiter);
  if (!asciiNameChars)
    FFilter->ScanUntil(sName, [&classes](char16_t c) { return c < 128 && (classes[c] & kNameDelimiter) != 0; });
  if (asciiNameChars && (!bFirstCharRule || sName.empty() || (classes[sName[0]] & kNameStart) != 0)) return;
  for (std::size_t i = 0; i < sName.size(); ++i) {
    const char16_t c = sName[i];
    const bool first = bFirstCharRule && i == 0;
    const bool valid =
        c < 128 ? (classes[c] & (first ? kNameStart : kNameChar)) != 0 : XpIsValidNameUnit(first, c);
    if (!valid) Fail(xpmInvalidXmlName, u"'" + WideString(1, c) + u"'");
  }
}

void TXpParser::ParseLiteral(int wMode, bool& bReference, WideString& sValue) {
  ReadLiteral(wMode, bReference);
  sValue = TakeDataBuffer(true);
}

void TXpParser::ReadLiteral(int wMode, bool& bReference) {
  char16_t delimiter = ReadInputChar(true);
  if (delimiter != u'"' && delimiter != u'\'' && delimiter != u'~') Fail(xpmExpectedQuote);
  TXpParserInput* home = FFilter.get();
  if (!ParseLiteralBody(wMode, bReference, delimiter, home))
    FailText(u"Expected: " + WideString(1, delimiter));
  FFilter->SkipChar();
  if (wMode & 8) CollapseSpaces();
}

bool TXpParser::ParseLiteralBody(int wMode, bool& bReference, char16_t delimiter, TXpParserInput* home) {
  // Nothing read inside the literal leaves its own input: the entity texts it
  // expands end on it, and its end ends the literal.
  struct TFloor {
    std::size_t& floor;
    std::size_t saved;
    ~TFloor() { floor = saved; }
  } restore{fInputFloor, std::exchange(fInputFloor, FDocStack.size())};
  struct TFlag {
    bool& flag;
    bool saved;
    ~TFlag() { flag = saved; }
  } inAttribute{fInAttributeValue, std::exchange(fInAttributeValue, fInAttributeValue || (wMode & 2) != 0)};
  const bool keepWhitespace = (wMode & kXpLiteralRawWhitespace) != 0;
  const bool expandParameters = (wMode & kXpLiteralParameterRefs) != 0;
  for (;;) {
    TXpParserInput* input = FFilter.get();
    if (input->ReadChar() == kXpEndOfInput) {
      if (input != home) {
        // An entity's text ended: reading goes on where its reference stood.
        if (!CanLeaveInput()) return false;
        PopDocument();
        continue;
      }
      if (delimiter != 0) return false;
      PopDocument();
      if (wMode & 8) CollapseSpaces();
      return true;
    }
    input->ScanUntil(
        FDataBuffer,
        [delimiter, keepWhitespace, expandParameters](char16_t c) {
          return c == delimiter || c == u'&' || c == kXpEndOfInput || (!keepWhitespace && (c == 9 || c == 10 || c == 13)) ||
                 (expandParameters && c == u'%');
        },
        kXpMaxLiteralLength);
    CheckLiteralLength();
    char16_t c = input->ReadChar();
    if (c == kXpEndOfInput) continue;
    if (c == delimiter && input == home) return true;
    input->SkipChar();
    if (!keepWhitespace && (c == 9 || c == 10 || c == 13)) {
      AppendChar(u' ');
    } else if (c == u'%' && expandParameters) {
      // An entity value outside the internal subset: the parameter entity's
      // replacement text is final, so it is taken as it stands, not read again.
      bReference = true;
      WideString name, value;
      ReadName(true, name);
      const std::size_t depth = FDocStack.size();
      // Opening an external entity reports the pending text, which here is the
      // value read so far.
      WideString pending = TakeDataBuffer(true);
      ExpandPEReference(name, IsEntityOpen(name), true, true, value);
      pending += FDataBuffer;
      FDataBuffer = std::move(pending);
      if (FDocStack.size() > depth) SkipTextDeclaration();
      CheckLiteralLength();
    } else if (c == u'&' && (wMode & 1)) {
      bReference = true;
      if (input->ReadChar() == u'#') {
        input->SkipChar();
        const std::size_t at = FDataBuffer.size();
        const TXpUcs4Char code = ParseCharRef();
        if (fCharRefMarks && (code == u'&' || code == 9 || code == 10 || code == 13)) fCharRefMarks->push_back(at);
      } else if (wMode & 2) {
        WideString name;
        ParseEntityRef(name);
      } else {
        AppendChar(u'&');
        char16_t next = input->ReadChar();
        if (next != kXpEndOfInput) {
          AppendChar(next);
          input->SkipChar();
        }
      }
    } else {
      AppendChar(c);
    }
  }
}

void TXpParser::CheckLiteralLength() {
  if (FDataBuffer.size() > kXpMaxLiteralLength)
    FailText(u"Value longer than " + XpFormat(u"%d", {static_cast<int>(kXpMaxLiteralLength)}) + u" characters");
}
