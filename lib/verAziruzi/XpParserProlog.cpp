// The document's outer frame: prolog, XML and text declarations, the document
// type declaration with both subsets, markup declarations, conditional
// sections and parameter-entity references.

#include "lib/verAziruzi/XpParser.h"

namespace {

bool IsVersionChar(char16_t c) {
  return (c >= u'A' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u':' || c == u'-';
}

bool IsEncodingChar(char16_t c, bool first) {
  if (c >= u'A' && c <= u'z') return true;
  return !first && ((c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-' || c == u'=');
}

WideString Quoted(const WideString& text) { return u"'" + text + u"'"; }

}  // namespace

void TXpParser::ParseDocument() {
  FXMLDecParsed = false;
  ParseProlog();
  Require(u"<");
  ParseElement();
  ParseMisc();
  SkipWhitespace(true);
  if (!IsEndOfInput()) Fail(xpmDataAfterDocument);
}

void TXpParser::ParseProlog() {
  ParseMisc();
  if (TryReadString(u"<!DOCTYPE")) {
    FXMLDecParsed = true;
    ParseDocTypeDecl();
    ParseMisc();
  }
}

void TXpParser::ParseMisc() {
  for (;;) {
    SkipWhitespace(true);
    if (TryReadString(u"<?")) {
      ParsePI();
      FXMLDecParsed = true;
    } else if (TryReadString(u"<!--")) {
      FXMLDecParsed = true;
      ParseComment();
    } else {
      return;
    }
  }
}

void TXpParser::ParseXMLDecl() {
  if (FXMLDecParsed) Fail(xpmXmlDeclNotFirst);
  // A text declaration (of an external subset or entity) may leave out the version.
  bool textDeclaration = !FDocStack.empty();
  SkipWhitespace(true);
  bool reference = false;
  WideString version, encoding, standalone;
  bool hasVersion = !textDeclaration || FFilter->ReadChar() == u'v';
  if (hasVersion) {
    Require(u"version");
    ParseEq();
    ParseLiteral(0, reference, version);
    for (char16_t c : version)
      if (!IsVersionChar(c)) Fail(xpmInvalidVersion, Quoted(version));
    if (version != u"1.0") FailText(XpFormatMessage(xpmUnsupportedVersion, {u"1.0"}));
    if (FFilter->ReadChar() == u'?')
      SkipWhitespace(true);
    else
      RequireWhitespace();
  }
  if (TryReadString(u"encoding")) {
    ParseEq();
    ParseLiteral(3, reference, encoding);
    for (std::size_t i = 0; i < encoding.size(); ++i)
      if (!IsEncodingChar(encoding[i], i == 0)) Fail(xpmInvalidEncodingDecl, Quoted(encoding));
    if (XpFoldCase(encoding) == u"iso-8859-1") FFilter->SetFormat(ceISO88591);
    SkipWhitespace(true);
  }
  bool hasStandalone = TryReadString(u"standalone");
  if (hasStandalone) {
    ParseEq();
    ParseLiteral(3, reference, standalone);
    if (standalone != u"yes" && standalone != u"no") Fail(xpmBadStandalone);
    FIsStandAlone = standalone == u"yes";
    SkipWhitespace(true);
  }
  Require(u"?>");
  FFilter->Settle();
  ResetDataBuffer();
  WideString text;
  if (hasVersion) text = u"version=\"" + version + u"\"";
  if (!encoding.empty()) text += (text.empty() ? u"" : u" ") + (u"encoding=\"" + encoding + u"\"");
  if (hasStandalone) text += u" standalone=\"" + standalone + u"\"";
  AppendData(text);
}

// ---------------------------------------------------------------------------
// Document type declaration

void TXpParser::ParseDocTypeDecl() {
  RequireWhitespace();
  WideString root, publicId, systemId;
  ReadName(true, root);
  SkipWhitespace(true);
  ParseExternalID(false, publicId, systemId);
  SkipWhitespace(true);
  if (OnDTDStart) OnDTDStart(this, root, publicId, systemId);

  if (TryReadString(u"[")) {
    fInternalSubset = true;
    // A parameter entity between declarations is read on as input: its text,
    // or the file an external one names. Its input stays until that has been
    // read, so a reference in it to an entity still open is found.
    for (;;) {
      SkipWhitespace(true);
      if (FFilter->ReadChar() == u'%') {
        SkipInputChar();
        WideString value;
        ParsePEReference(true, false, value);
        continue;
      }
      if (TryReadString(u"]")) break;
      ParseMarkupDecl(true);
    }
    fInternalSubset = false;
    // Where the internal subset is all the DTD, an entity a default refers to
    // must be declared before that default.
    if (systemId.empty() && !fInternalSubsetHasPEs && !fUndeclaredInDefault.empty())
      Fail(xpmUndeclaredEntity, u"'" + fUndeclaredInDefault + u"'");
  }

  if (!systemId.empty()) {
    if (OnDTDExternalStart) OnDTDExternalStart(this, systemId);
    FXMLDecParsed = false;
    PushExternalInput(systemId);
    if (OnDTDExternalLoaded) OnDTDExternalLoaded(this);
    ReadDeclarations(true);
    FXMLDecParsed = true;
    if (OnDTDExternalEnd) OnDTDExternalEnd(this);
    ReadDeclarations(false);
  }
  SkipWhitespace(true);
  Require(u">");
  if (OnDTDEnd) OnDTDEnd(this);
  if (OnDocTypeDecl) OnDocTypeDecl(this, root, publicId, systemId);
}

// One loop for the declarations of the external subset and of everything it
// opens: parameter entities and INCLUDE sections nest on fDeclarationFrames,
// never on the call stack.
void TXpParser::ReadDeclarations(bool bToInputEnd) {
  const std::size_t frames = fDeclarationFrames.size();
  const std::size_t depth = FDocStack.size();
  const std::uint64_t serial = MarkInput();
  auto endEntity = [this] {
    fDeclarationFrames.pop_back();
    if (OnDTDExternalEnd) OnDTDExternalEnd(this);
    FXMLDecParsed = true;
  };
  for (;;) {
    SkipWhitespace(false);
    // A declaration read beyond the end of the entity that held it ends that
    // entity too; a section cannot end where it did not begin.
    while (fDeclarationFrames.size() > frames &&
           !IsInputOpen(fDeclarationFrames.back().Depth, fDeclarationFrames.back().Serial)) {
      if (fDeclarationFrames.back().Include) Fail(xpmExpectedString, u"']]>'");
      endEntity();
    }
    if (!IsInputOpen(depth, serial)) return;  // nor the subset
    if (FFilter->isEOF()) {
      if (fDeclarationFrames.size() > frames && fDeclarationFrames.back().Serial == FFilter->Serial) {
        if (fDeclarationFrames.back().Include) Fail(xpmExpectedString, u"']]>'");
        PopDocument();
        endEntity();
      } else if (FFilter->Serial == serial) {
        if (bToInputEnd) PopDocument();
        return;
      } else {
        PopDocument();  // the text of a reference
      }
      continue;
    }
    if (fDeclarationFrames.size() > frames) {
      const TXpDeclarationFrame& top = fDeclarationFrames.back();
      if (top.Include && top.Serial == FFilter->Serial && FFilter->TryRead(u"]]>")) {
        fDeclarationFrames.pop_back();
        if (OnDTDConditionalEnd) OnDTDConditionalEnd(this);
        continue;
      }
    } else if (!bToInputEnd && FFilter->Serial == serial && FFilter->ReadChar() == u'>') {
      return;
    }
    ParseMarkupDecl(false);
  }
}

void TXpParser::ParseExternalID(bool bOptionalSystem, WideString& sPublicId, WideString& sSystemId) {
  bool reference = false;
  if (TryReadString(u"PUBLIC")) {
    RequireWhitespace();
    ParseLiteral(8, reference, sPublicId);
    for (char16_t c : sPublicId)
      if (!XpIsPubidChar(c)) Fail(xpmInvalidPublicIdChar, Quoted(WideString(1, c)));
    if (bOptionalSystem) {
      SkipWhitespace(true);
      char16_t c = FFilter->ReadChar();
      if (c == u'"' || c == u'\'') ParseLiteral(0, reference, sSystemId);
    } else {
      RequireWhitespace();
      ParseLiteral(0, reference, sSystemId);
    }
  } else if (TryReadString(u"SYSTEM")) {
    RequireWhitespace();
    ParseLiteral(0, reference, sSystemId);
  }
}

void TXpParser::ParseMarkupDecl(bool bInternalSubset) {
  if (TryReadString(u"<!ELEMENT")) {
    ParseElementDecl(bInternalSubset);
  } else if (TryReadString(u"<!ATTLIST")) {
    ParseAttlistDecl();
  } else if (TryReadString(u"<!ENTITY")) {
    ParseEntityDecl();
  } else if (TryReadString(u"<!NOTATION")) {
    ParseNotationDecl();
  } else if (TryReadString(u"<?")) {
    ParsePI(true);
  } else if (TryReadString(u"<!--")) {
    ParseComment(true);
  } else if (TryReadString(u"<![")) {
    if (bInternalSubset) Fail(xpmConditionalInInternalSubset);
    ParseConditionalSection();
  } else if (TryReadString(u"%")) {
    ParseParameterEntityBetweenDeclarations(bInternalSubset);
  } else {
    WideString token;
    FFilter->ScanUntil(token, [](char16_t c) { return !XpIsValidNameUnit(false, c); });
    Fail(xpmExpectedMarkupDecl, token);
  }
}

// A parameter entity standing between declarations brings declarations: its
// text or file becomes the input, which the declaration loop reads on. The
// input the reference used up stays below it until then, so a ring of entities
// finds its names open.
void TXpParser::ParseParameterEntityBetweenDeclarations(bool bInternalSubset) {
  WideString name;
  ReadName(true, name);
  const bool open = IsEntityOpen(name);
  if (bInternalSubset) {
    WideString value;
    ExpandPEReference(name, open, true, false, value);
    return;
  }
  RequireReferenceEnd();
  const int entityClass = GetEntityClass(name, true);
  if (entityClass == xpecInternal) {
    CheckEntityReference(name, open);
    PushEntityText(name, GetEntityValue(name, true), true);
    return;
  }
  if (entityClass != xpecExternal) Fail(xpmUndeclaredEntity, name);
  WideString identifier = GetEntitySystemId(name);
  if (identifier.empty()) return;
  if (OnDTDExternalStart) {
    fExternalIsPE = true;
    try {
      OnDTDExternalStart(this, identifier);
    } catch (...) {
      fExternalIsPE = false;
      throw;
    }
    fExternalIsPE = false;
  }
  FXMLDecParsed = false;
  CheckEntityReference(name, open);
  const std::size_t depth = FDocStack.size();
  WideString value;
  ResolveExternalEntity(name, GetEntityPublicId(name), identifier, value);
  if (FDocStack.size() > depth) {
    fDeclarationFrames.push_back({false, FDocStack.size(), MarkInput()});
    return;
  }
  if (OnDTDExternalEnd) OnDTDExternalEnd(this);
  FXMLDecParsed = true;
}

// ---------------------------------------------------------------------------
// Element declarations

void TXpParser::ParseElementDecl(bool bInternalSubset) {
  RequireWhitespace();
  WideString name;
  ReadName(true, name);
  RequireWhitespace();
  ParseContentSpec(name, bInternalSubset);
  SkipWhitespaceAndPEs();
  Require(u">");
}

void TXpParser::ParseContentSpec(const WideString& sName, bool bInternalSubset) {
  while (FFilter->ReadChar() == u'%') {
    SkipInputChar();
    WideString value;
    ParsePEReference(true, false, value);
    CheckPENesting(value);
    SkipWhitespace(true);
  }
  if (TryReadString(u"EMPTY")) {
    if (OnDTDElementStart) OnDTDElementStart(this, sName, xpctEmpty);
    SetElementInfo(sName, xpctEmpty, {});
  } else if (TryReadString(u"ANY")) {
    if (OnDTDElementStart) OnDTDElementStart(this, sName, xpctAny);
    SetElementInfo(sName, xpctAny, {});
  } else {
    Require(u"(");
    ResetDataBuffer();
    AppendChar(u'(');
    SkipWhitespace(true);
    while (FFilter->ReadChar() == u'%') {
      if (bInternalSubset) Fail(xpmParameterEntityInInternalSubset);
      SkipInputChar();
      WideString value;
      ParsePEReference(true, false, value);
      SkipWhitespace(true);
    }
    if (TryReadString(u"#PCDATA")) {
      if (OnDTDElementStart) OnDTDElementStart(this, sName, xpctMixed);
      AppendData(u"#PCDATA");
      if (OnDTDElementGroupStart) OnDTDElementGroupStart(this);
      if (OnDTDElementContent) OnDTDElementContent(this, u"#PCDATA", xpoOnce, xprChoice);
      int occurrence = xpoOnce;
      ParseMixedContent(occurrence);
      if (OnDTDElementGroupEnd) OnDTDElementGroupEnd(this, occurrence, xprSequence);
      SetElementInfo(sName, xpctMixed, TakeDataBuffer(true));
    } else {
      if (OnDTDElementStart) OnDTDElementStart(this, sName, xpctChildren);
      if (OnDTDElementGroupStart) OnDTDElementGroupStart(this);
      ParseChildrenGroup(sName, 1);
      SetElementInfo(sName, xpctChildren, TakeDataBuffer(true));
    }
  }
  if (OnDTDElementEnd) OnDTDElementEnd(this, sName);
}

void TXpParser::SkipWhitespaceAndPEs() {
  for (;;) {
    SkipWhitespace(true);
    if (FFilter->ReadChar() != u'%') return;
    SkipInputChar();
    WideString value;
    ParsePEReference(true, false, value);
  }
}

void TXpParser::ParseMixedContent(int& wOccurrence) {
  SkipWhitespace(true);
  while (ReadInputChar(false) != u')') {
    Require(u"|");
    AppendChar(u'|');
    SkipWhitespaceAndPEs();
    WideString name;
    ReadName(true, name);
    if (OnDTDElementContent) OnDTDElementContent(this, name, xpoOnce, xprChoice);
    AppendData(name);
    SkipWhitespaceAndPEs();
  }
  SkipInputChar();
  AppendChar(u')');
  wOccurrence = xpoOnce;
  if (FFilter->TryRead(u"*")) {
    AppendChar(u'*');
    wOccurrence = xpoZeroOrMore;
  }
}

namespace {
// The occurrence indicator that follows, consumed; xpoOnce when none does.
int ReadOccurrence(TXpParserInput& input, WideString& model) {
  switch (input.ReadChar()) {
    case u'?':
      model.push_back(u'?');
      input.SkipChar();
      return xpoOptional;
    case u'*':
      model.push_back(u'*');
      input.SkipChar();
      return xpoZeroOrMore;
    case u'+':
      model.push_back(u'+');
      input.SkipChar();
      return xpoOneOrMore;
    default:
      return xpoOnce;
  }
}
}  // namespace

void TXpParser::ParseChildrenGroup(const WideString& sElement, int depth) {
  if (depth > kXpMaxContentModelNesting)
    FailText(u"Content model nesting deeper than " + XpFormat(u"%d", {kXpMaxContentModelNesting}) +
             u" levels in: " + sElement);
  do {
    SkipWhitespace(true);
    ParseContentParticle(sElement, depth);
    SkipWhitespace(true);
  } while (ReadInputChar(false) != u')');
  SkipInputChar();
  AppendChar(u')');
  SkipWhitespace(true);
  int occurrence = ReadOccurrence(*FFilter, FDataBuffer);
  SkipWhitespace(true);
  int relation = xprSequence;
  if (FFilter->TryRead(u",")) {
    AppendChar(u',');
  } else if (FFilter->TryRead(u"|")) {
    AppendChar(u'|');
    relation = xprChoice;
  }
  if (OnDTDElementGroupEnd) OnDTDElementGroupEnd(this, occurrence, relation);
}

void TXpParser::ParseContentParticle(const WideString& sElement, int depth) {
  WideString value;
  if (FFilter->ReadChar() == u'%') {
    SkipInputChar();
    ParsePEReference(true, false, value);
  }
  if (TryReadString(u"(")) {
    AppendChar(u'(');
    if (OnDTDElementGroupStart) OnDTDElementGroupStart(this);
    ParseChildrenGroup(sElement, depth + 1);
    return;
  }
  WideString name;
  ReadName(true, name);
  AppendData(name);
  int occurrence = ReadOccurrence(*FFilter, FDataBuffer);
  SkipWhitespaceAndPEs();
  int relation = xprSequence;
  char16_t c = ReadInputChar(false);
  if (c == u',') {
    SkipInputChar();
    AppendChar(u',');
  } else if (c == u'|') {
    SkipInputChar();
    AppendChar(u'|');
    relation = xprChoice;
  } else if (c != u')') {
    Fail(xpmBadContentSeparator, WideString(1, c));
  }
  if (OnDTDElementContent) OnDTDElementContent(this, name, occurrence, relation);
}

// ---------------------------------------------------------------------------
// Attribute-list declarations

void TXpParser::ParseAttlistDecl() {
  RequireWhitespace();
  WideString element;
  ReadName(true, element);
  RequireWhitespace();
  if (OnDTDAttlistStart) OnDTDAttlistStart(this, element);
  while (FFilter->ReadChar() != u'>' && !FFilter->isEOF()) {
    FAttrEnum.clear();
    ParseAttDef(element);
    SkipWhitespaceAndPEs();
  }
  Require(u">");
  SkipWhitespace(false);
  if (OnDTDAttlistEnd) OnDTDAttlistEnd(this);
}

void TXpParser::ParseAttDef(const WideString& sElemName) {
  SkipWhitespaceAndPEs();
  WideString name;
  ReadName(true, name);
  RequireWhitespace();
  int type = ParseAttType(sElemName);
  WideString enumeration;
  if (type == xpatEnumeration || type == xpatNOTATION) enumeration = TakeDataBuffer(true);
  RequireWhitespace();
  ParseAttDefault(sElemName, name, type, enumeration);
}

int TXpParser::ParseAttType(const WideString& sElemName) {
  if (FFilter->ReadChar() == u'%') {
    SkipInputChar();
    WideString value;
    ParsePEReference(true, false, value);
  }
  if (TryReadString(u"(")) {
    ParseEnumeration();
    return xpatEnumeration;
  }
  WideString keyword;
  ReadName(true, keyword);
  if (keyword == u"NOTATION") ParseNotationType();
  WideString folded = XpFoldCase(keyword);
  for (const auto& [text, code] : FAttributeType)
    if (XpFoldCase(WideString(text)) == folded) return code;
  Fail(xpmIllegalAttributeType, u"(" + keyword + u") in element " + sElemName);
}

void TXpParser::ParseNotationType() {
  RequireWhitespace();
  Require(u"(");
  ParseEnumeration();
}

void TXpParser::ParseEnumeration() {
  ResetDataBuffer();
  AppendChar(u'(');
  auto nextToken = [this] {
    SkipWhitespace(true);
    if (FFilter->ReadChar() == u'%') {
      SkipInputChar();
      WideString value;
      ParsePEReference(true, false, value);
    }
    WideString token;
    ReadName(false, token);
    FAttrEnum.push_back(token);
    AppendData(token);
    SkipWhitespaceAndPEs();
  };
  nextToken();
  while (ReadInputChar(false) != u')') {
    Require(u"|");
    AppendChar(u'|');
    nextToken();
  }
  SkipInputChar();
  AppendChar(u')');
}

void TXpParser::ParseAttDefault(const WideString& sElemName, const WideString& sAttrName, int wType,
                                const WideString& sEnum) {
  if (FFilter->ReadChar() == u'%') {
    SkipInputChar();
    WideString value;
    ParsePEReference(true, false, value);
    RequireWhitespace();
  }
  int kind = xpdkValue;
  WideString value;
  bool reference = false;
  // What character references gave as '&', tab or line end is written as a
  // reference again where the default is later read, so that it is read as
  // the character once more, neither markup nor whitespace to normalise.
  std::vector<std::size_t> marks;
  auto readValue = [&] {
    fCharRefMarks = &marks;
    try {
      ParseLiteral(1, reference, value);
    } catch (...) {
      fCharRefMarks = nullptr;
      throw;
    }
    fCharRefMarks = nullptr;
  };
  if (TryReadString(u"#")) {
    if (TryReadString(u"FIXED")) {
      kind = xpdkFixed;
      RequireWhitespace();
      readValue();
    } else if (TryReadString(u"REQUIRED")) {
      kind = xpdkRequired;
    } else if (TryReadString(u"IMPLIED")) {
      kind = xpdkImplied;
    } else {
      WideString word;
      ReadName(false, word);
      Fail(xpmIllegalDefaultKeyword, word);
    }
  } else {
    readValue();
  }
  if (fInternalSubset && fUndeclaredInDefault.empty()) {
    // The references kept as written: every '&' but those character
    // references gave.
    std::size_t next = 0;
    for (std::size_t at = value.find(u'&'); at != WideString::npos; at = value.find(u'&', at + 1)) {
      while (next < marks.size() && marks[next] < at) ++next;
      if (next < marks.size() && marks[next] == at) continue;
      const std::size_t end = value.find(u';', at);
      if (end == WideString::npos) break;
      const WideString name = value.substr(at + 1, end - at - 1);
      if (GetEntityClass(name, false) == xpecUndeclared) {
        fUndeclaredInDefault = name;
        break;
      }
    }
  }
  WideString literal;
  if (!marks.empty()) {
    std::size_t from = 0;
    for (std::size_t at : marks) {
      literal.append(value, from, at - from);
      literal += u"&#" + XpFormat(u"%d", {static_cast<int>(value[at])}) + u";";
      from = at + 1;
    }
    literal.append(value, from, WideString::npos);
  }
  AddAttributeInfo(sElemName, sAttrName, wType, sEnum, value, kind, literal);
  if (OnDTDAttDefinition) OnDTDAttDefinition(this, sAttrName, wType, FAttrEnum, kind, value);
}

// ---------------------------------------------------------------------------
// Entity and notation declarations

void TXpParser::ParseEntityDecl() {
  RequireWhitespace();
  bool parameter = false;
  if (TryReadString(u"%")) {
    parameter = true;
    RequireWhitespace();
  }
  WideString name;
  ReadName(true, name);
  RequireWhitespace();
  char16_t quote = FFilter->ReadChar();
  if (quote == u'"' || quote == u'\'') {
    bool reference = false;
    WideString value;
    ParseLiteral(1 | kXpLiteralRawWhitespace | (fInternalSubset && !InExternalEntity() ? 0 : kXpLiteralParameterRefs), reference, value);
    if (!reference && !parameter)
      for (char16_t c : value)
        if (c == u'%' || c == u'&' || c == quote) Fail(xpmInvalidEntityValueChar, Quoted(WideString(1, c)));
    AddInternalEntity(name, value, parameter);
    if (OnDTDEntityInternal) OnDTDEntityInternal(this, parameter, name, value);
  } else {
    WideString publicId, systemId, notation;
    ParseExternalID(false, publicId, systemId);
    if (systemId.empty()) Fail(xpmSystemIdMissing, Quoted(name));
    if (IsWhitespace(FFilter->ReadChar())) {
      SkipWhitespace(true);
      if (TryReadString(u"NDATA")) {
        if (parameter) Fail(xpmNDataInParameterEntity);
        RequireWhitespace();
        ReadName(true, notation);
      }
    }
    if (notation.empty())
      AddExternalEntity(name, publicId, systemId);
    else
      AddUnparsedEntity(name, publicId, systemId, notation);
    if (OnDTDEntityExternal) OnDTDEntityExternal(this, parameter, name, publicId, systemId, notation);
  }
  SkipWhitespace(true);
  Require(u">");
}

void TXpParser::ParseNotationDecl() {
  RequireWhitespace();
  WideString name, publicId, systemId;
  ReadName(true, name);
  RequireWhitespace();
  ParseExternalID(true, publicId, systemId);
  if (publicId.empty() && systemId.empty()) Fail(xpmExternalModifierMissing, name);
  AddNotation(name, publicId, systemId);
  SkipWhitespace(true);
  Require(u">");
}

// ---------------------------------------------------------------------------
// Conditional sections and parameter entities

void TXpParser::ParseConditionalSection() {
  SkipWhitespace(true);
  if (FFilter->ReadChar() == u'%') {
    SkipInputChar();
    WideString value;
    ParsePEReference(true, false, value);
  }
  if (TryReadString(u"INCLUDE")) {
    SkipWhitespace(true);
    Require(u"[");
    // Its declarations are read by the declaration loop, up to the "]]>" in
    // this input.
    int open = 0;
    for (const TXpDeclarationFrame& frame : fDeclarationFrames) open += frame.Include ? 1 : 0;
    if (open >= kXpMaxConditionalNesting)
      FailText(u"Conditional section nesting deeper than " + XpFormat(u"%d", {kXpMaxConditionalNesting}) + u" levels");
    fDeclarationFrames.push_back({true, FDocStack.size(), MarkInput()});
    if (OnDTDConditionalStart) OnDTDConditionalStart(this, xpcsInclude);
  } else if (TryReadString(u"IGNORE")) {
    SkipWhitespace(true);
    Require(u"[");
    SkipWhitespace(true);
    if (OnDTDConditionalStart) OnDTDConditionalStart(this, xpcsIgnore);
    ParseIgnoreSection();
    if (OnDTDConditionalEnd) OnDTDConditionalEnd(this);
  } else {
    Fail(xpmBadConditionalKeyword);
  }
}

void TXpParser::ParseIgnoreSection() {
  const bool preserve = FPreserve;
  const int contentType = FCurrentElementContent;
  FPreserve = true;
  FCurrentElementContent = xpctMixed;
  const int line = FFilter->Line();
  const int column = FFilter->LinePos();
  WideString text;
  for (int depth = 1; depth > 0;) {
    if (FFilter->isEOF()) throw EXpParserError(line, column, FFilter->URL(), WideString(XpMessageText(xpmMalformedIgnoreSection)));
    if (FFilter->TryRead(u"<![")) {
      text += u"<![";
      ++depth;
    } else if (FFilter->TryRead(u"]]>")) {
      text += u"]]>";
      --depth;
    } else {
      text.push_back(FFilter->ReadAndSkipChar());
    }
  }
  AppendData(text);
  FlushCharData();
  FPreserve = preserve;
  FCurrentElementContent = contentType;
}

void TXpParser::ParsePEReference(bool bAnyKind, bool bAppend, WideString& sValue) {
  WideString name;
  ReadName(true, name);
  ExpandPEReference(name, IsEntityOpen(name), bAnyKind, bAppend, sValue);
}

void TXpParser::ExpandPEReference(const WideString& name, bool open, bool bAnyKind, bool bAppend,
                                  WideString& sValue) {
  if (fInternalSubset) fInternalSubsetHasPEs = true;
  RequireReferenceEnd();
  switch (GetEntityClass(name, bAnyKind)) {
    case xpecUndeclared:
      throw EXpParserError(FFilter->Line(), FFilter->LinePos() - 3, FFilter->URL(),
                           WideString(XpMessageText(xpmUndeclaredEntity)) + name);
    case xpecInternal:
      sValue = GetEntityValue(name, bAnyKind);
      CheckEntityReference(name, open);
      if (bAppend) {
        ChargeExpansion(static_cast<std::int64_t>(sValue.size()), name);
        AppendData(sValue);
      } else {
        PushEntityText(name, sValue, true);
      }
      break;
    case xpecExternal: {
      CheckEntityReference(name, open);
      WideString value;
      ResolveExternalEntity(name, GetEntityPublicId(name), GetEntitySystemId(name), value);
      break;
    }
    default:
      FHasExternals = true;
      if (OnNonXMLEntity)
        OnNonXMLEntity(this, name, GetEntityPublicId(name), GetEntitySystemId(name), GetEntityNotation(name));
  }
}

void TXpParser::CheckPENesting(const WideString& sText) {
  bool opens = sText.find(u'(') != WideString::npos;
  bool closes = sText.find(u')') != WideString::npos;
  if (opens != closes) Fail(xpmParameterEntityNesting, sText);
}
