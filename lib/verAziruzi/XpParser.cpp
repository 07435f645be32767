// The parser's frame: settings, entry points, opening sources, the main parse
// with its error capture, the input stack, the reading primitives and the
// pending-text buffer.

#include "lib/verAziruzi/XpParser.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

namespace {

void Check(bool condition, const char* what) {
  if (!condition) throw EAssertionFailed(std::string("XpParser: ") + what);
}

bool IsRegularFile(const WideString& path) {
  struct stat info {};
  return stat(XpWideToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Restores the process's current folder when a parse through a file name ends.
class TCurrentFolderGuard {
public:
  TCurrentFolderGuard() { fFolder = std::filesystem::current_path(fError); }
  ~TCurrentFolderGuard() {
    if (!fError) std::filesystem::current_path(fFolder, fError);
  }
  TCurrentFolderGuard(const TCurrentFolderGuard&) = delete;
  TCurrentFolderGuard& operator=(const TCurrentFolderGuard&) = delete;

private:
  std::filesystem::path fFolder;
  std::error_code fError;
};

}  // namespace

const std::pair<std::u16string_view, int> TXpParser::FAttributeType[9] = {
    {u"CDATA", xpatCDATA},     {u"ID", xpatID},           {u"IDREF", xpatIDREF},
    {u"IDREFS", xpatIDREFS},   {u"ENTITY", xpatENTITY},   {u"ENTITIES", xpatENTITIES},
    {u"NMTOKEN", xpatNMTOKEN}, {u"NMTOKENS", xpatNMTOKENS}, {u"NOTATION", xpatNOTATION}};

TXpParser::TXpParser() = default;

TXpParser::~TXpParser() {
  ClearParseState();
  FFilter.reset();
  for (const WideString& name : FTempFiles) std::remove(XpWideToUtf8(name).c_str());
}

WideString TXpParser::GetErrorMsg(int index) const {
  if (index < 0 || index >= ErrorCount()) return WideString(XpMessageText(xpmErrorIndexOutOfBounds));
  return FErrors[static_cast<std::size_t>(index)];
}

WideString TXpParser::CurrentInputDir() const {
  const TXpBaseDirContext* context = FFilter ? FFilter->DirContext() : nullptr;
  return context ? context->Dir() : WideString();
}

TXpCharEncoding TXpParser::InCharSet() const { return FFilter ? FFilter->Format() : FInCharSet; }

// ---------------------------------------------------------------------------
// Entry points

bool TXpParser::ParseDataSource(const WideString& sSource) {
  TCurrentFolderGuard folder;
  FFilter.reset();
  ClearParseState();
  BeginParse();
  if (!OpenDataSource(nullptr, sSource)) {
    FErrors.push_back(WideString(XpMessageText(xpmCannotLoadSource)) + sSource);
    return false;
  }
  FDocLocation = FFilter->DirContext()->Dir();
  FDocName = FFilter->DirContext()->Filename();
  ParseMain();
  return FErrors.empty();
}

bool TXpParser::ParseMemory(const void* aBuffer, int aSize) {
  Check(aSize >= 0, "negative memory size");
  Check(aBuffer != nullptr || aSize == 0, "no memory to parse");
  TXpMemoryStream stream;
  stream.SetPointer(aBuffer, aSize);
  return ParseStream(stream);
}

bool TXpParser::ParseStream(TXpStream& oStream) {
  Check(!FFilter, "parse started while an input exists");
  BeginParse();
  fDocumentBytes = oStream.Size() - oStream.Position();
  auto filter = std::make_unique<TXpInCharFilter>(&oStream, BufferSize);
  filter->SetFreeStream(false);
  FFilter = std::make_unique<TXpFilterInput>(std::move(filter));
  ParseMain();
  return FErrors.empty();
}

// ---------------------------------------------------------------------------
// Opening sources

bool TXpParser::OpenDataSource(const TXpParserInput* oBase, const WideString& sSource) {
  std::unique_ptr<TXpDirContext> context = TXpDirContext::Make(oBase ? oBase->DirContext() : nullptr, sSource);
  const WideString url = context->URL();
  std::unique_ptr<TXpFileStream> stream;
  switch (context->ContextType()) {
    case xpdcLocal:
      // A folder of that name counts as missing.
      if (IsRegularFile(url)) stream = std::make_unique<TXpFileStream>(fmOpenRead | fmShareDenyWrite, url);
      break;
    case xpdcHTTP:
    case xpdcFTP: {
      if (!AllowRemoteSources) {
        // The program reads local files only; no network location is opened.
        WideString reason = u"Network access is off: " + url;
        if (!oBase) FErrors.push_back(XpFormatMessage(xpmErrorLine, {sSource, 0, 0, reason}));
        throw EXpParserError(0, 0, sSource, reason);
      }
      stream = context->ContextType() == xpdcHTTP ? XpHttpGetToTempFile(url, UserName, Password, FErrors)
                                                  : XpFtpGetToTempFile(url, UserName, Password, FErrors);
      if (stream) {
        AddTempFile(stream->Filename());
        if (stream->Size() <= 0) stream.reset();
      }
      break;
    }
    default:
      return false;
  }
  if (!stream) {
    FErrors.push_back(XpFormatMessage(xpmFileNotFound, {sSource}));
    throw EXpParserError(0, 0, sSource,
                         XpFormatMessage(xpmFileNotFound, {u"'" + XpReplaceAll(url, u"'", u"''") + u"'"}));
  }
  stream->SetPosition(0);
  if (!oBase) fDocumentBytes = stream->Size();
  auto filter = std::make_unique<TXpInCharFilter>(stream.release(), BufferSize);
  filter->SetDirContext(std::move(context));
  FFilter = std::make_unique<TXpFilterInput>(std::move(filter));
  return true;
}

// ---------------------------------------------------------------------------
// The main parse

void TXpParser::BeginParse() {
  FErrors.clear();
  FPreserve = false;
  FIsStandAlone = false;
  FHasExternals = false;
  FXMLDecParsed = false;
  fExternalIsPE = false;
  FInCharSet = ceUnknown;
  FDocLocation.clear();
  FDocName.clear();
  fDocumentBytes = 0;
  FDataBuffer.clear();
  FAttrEnum.clear();
  fTagAttributeCount = 0;
  fTagFoldedNames.clear();
  fInputFloor = 0;
  fDeclarationFrames.clear();
  fInternalSubset = false;
  fInternalSubsetHasPEs = false;
  fUndeclaredInDefault.clear();
}

void TXpParser::ParseMain() {
  fExpansion.Used = 0;
  fExpansion.Bound = std::min(kXpMaxEntityExpansion,
                              kXpExpansionFloor + kXpExpansionPerByte * std::max<std::int64_t>(fDocumentBytes, 0));
  try {
    try {
      InitPredefinedEntities();
      if (OnStartDocument) OnStartDocument(this);
      ParseDocument();
    } catch (const EXpFilterError& error) {
      auto parserError = dynamic_cast<const EXpParserError*>(&error);
      WideString url = parserError ? parserError->URL() : WideString(u"<unknown>");
      FErrors.push_back(XpFormatMessage(xpmErrorLine, {url, error.Line(), error.LinePos(), error.Message()}));
      if (RaiseErrors) {
        if (OnEndDocument) OnEndDocument(this);
        ClearParseState();
        throw;
      }
    }
    if (OnEndDocument) OnEndDocument(this);
    ClearParseState();
  } catch (...) {
    ClearParseState();
    FInCharSet = FFilter ? FFilter->Format() : ceUnknown;
    FFilter.reset();
    throw;
  }
  FInCharSet = FFilter ? FFilter->Format() : ceUnknown;
  FFilter.reset();
}

void TXpParser::ClearParseState() {
  // The document's own input is the first suspended one; it stays current so
  // that its encoding can be recorded.
  while (!FDocStack.empty()) {
    FFilter = std::move(FDocStack.back());
    FDocStack.pop_back();
  }
  FElementInfo.Clear();
  FEntityInfo.clear();
  fFirstEntity.clear();
  fFirstGeneralEntity.clear();
  FNotationInfo.Clear();
  FCurrentElement.clear();
  FCurrentElementContent = xpctUndeclared;
  FCDATA = false;
  FPreserve = false;
  fInputFloor = 0;
  fDeclarationFrames.clear();
}

void TXpParser::Fail(int message, const WideString& detail) { FailText(WideString(XpMessageText(message)) + detail); }

void TXpParser::FailText(const WideString& text) {
  if (!FFilter) throw EXpParserError(0, 0, WideString(), text);
  throw EXpParserError(FFilter->Line(), FFilter->LinePos(), FFilter->URL(), text);
}

// ---------------------------------------------------------------------------
// Input stack

void TXpParser::PushDocument() {
  Check(FFilter != nullptr, "PushDocument without a current input");
  FDocStack.push_back(std::move(FFilter));
}

void TXpParser::PopDocument() {
  Check(!FDocStack.empty(), "PopDocument with an empty input stack");
  FFilter = std::move(FDocStack.back());
  FDocStack.pop_back();
}

void TXpParser::PushString(const WideString& sText) {
  if (sText.empty()) return;
  PushDocument();
  FFilter = std::make_unique<TXpTextInput>(sText, WideString());
}

const TXpParserInput* TXpParser::SuspendedLocation() const {
  // An entity's replacement text has no location of its own: names in it are
  // relative to the file that holds it.
  for (auto it = FDocStack.rbegin(); it != FDocStack.rend(); ++it)
    if ((*it)->DirContext()) return it->get();
  return FDocStack.empty() ? nullptr : FDocStack.back().get();
}

void TXpParser::PushExternalInput(const WideString& sIdentifier) {
  PushDocument();
  try {
    OpenDataSource(SuspendedLocation(), sIdentifier);
  } catch (...) {
    PopDocument();
    throw;
  }
}

bool TXpParser::InExternalEntity() const {
  auto external = [](const TXpParserInput* input) {
    return !input->EntityName.empty() && dynamic_cast<const TXpFilterInput*>(input) != nullptr;
  };
  if (FFilter && external(FFilter.get())) return true;
  for (const auto& input : FDocStack)
    if (external(input.get())) return true;
  return false;
}

bool TXpParser::IsEntityOpen(const WideString& sName) const {
  if (FFilter && FFilter->EntityName == sName) return true;
  for (const auto& input : FDocStack)
    if (input->EntityName == sName) return true;
  return false;
}

void TXpParser::CheckEntityReference(const WideString& sName, bool bOpenBeforeMatch) {
  if (bOpenBeforeMatch) Fail(xpmCircularReference, sName);
  int depth = FFilter && !FFilter->EntityName.empty() ? 1 : 0;
  for (const auto& input : FDocStack)
    if (!input->EntityName.empty()) ++depth;
  if (depth >= kXpMaxEntityNesting)
    FailText(u"Entity nesting deeper than " + XpFormat(u"%d", {kXpMaxEntityNesting}) + u" levels at: " + sName);
}

void TXpParser::ChargeExpansion(std::int64_t amount, const WideString& sName) {
  fExpansion.Used += amount;
  if (fExpansion.Exceeded()) FailText(u"Entity expansion limit exceeded at: " + sName);
}

void TXpParser::PushEntityText(const WideString& sName, const WideString& sText, bool bCounted) {
  if (bCounted) ChargeExpansion(static_cast<std::int64_t>(sText.size()), sName);
  if (sText.empty()) return;
  PushDocument();
  FFilter = std::make_unique<TXpTextInput>(sText, sName, fInAttributeValue);
}

const WideString* TXpParser::InnermostEntity() const {
  if (FFilter && !FFilter->EntityName.empty()) return &FFilter->EntityName;
  for (auto it = FDocStack.rbegin(); it != FDocStack.rend(); ++it)
    if (!(*it)->EntityName.empty()) return &(*it)->EntityName;
  return nullptr;
}

std::uint64_t TXpParser::MarkInput() {
  if (FFilter->Serial == 0) FFilter->Serial = ++fInputSerial;
  return FFilter->Serial;
}

bool TXpParser::IsInputOpen(std::size_t depth, std::uint64_t serial) const {
  if (depth < FDocStack.size()) return FDocStack[depth]->Serial == serial;
  return depth == FDocStack.size() && FFilter && FFilter->Serial == serial;
}

bool TXpParser::LeaveEndedInputs() {
  while (CanLeaveInput() && FFilter->isEOF()) PopDocument();
  return false;
}

// ---------------------------------------------------------------------------
// Reading

char16_t TXpParser::ReadInputCharAtEnd(bool bConsume) {
  char16_t c = kXpEndOfInput;
  if (!IsEndOfInput()) c = FFilter->ReadChar();
  if (bConsume && c != kXpEndOfInput) FFilter->SkipChar();
  return c;
}

bool TXpParser::TryReadString(std::u16string_view keyword) {
  if (IsEndOfInput()) return false;
  bool matched = FFilter->TryRead(keyword);
  IsEndOfInput();
  return matched;
}

void TXpParser::SkipWhitespace(bool bCross) {
  for (;;) {
    while (XpIsXmlWhitespace(FFilter->ReadChar())) FFilter->SkipChar();
    if (!bCross || !CanLeaveInput() || !FFilter->isEOF()) return;
    IsEndOfInput();
  }
}

void TXpParser::RequireWhitespace() {
  IsEndOfInput();
  if (XpIsXmlWhitespace(FFilter->ReadChar())) {
    SkipWhitespace(true);
    return;
  }
  FailText(WideString(XpMessageText(xpmWhitespaceExpected)) + u"Line: " + XpFormat(u"%d", {FFilter->Line()}) + u" Position: " +
           XpFormat(u"%d", {FFilter->LinePos()}));
}

void TXpParser::Require(std::u16string_view keyword) {
  if (TryReadString(keyword)) return;
  if (FFilter->TryRead(u"&#")) {
    std::size_t used = FDataBuffer.size();
    char16_t c = ParseCharRef();
    FDataBuffer.resize(used);
    if (keyword.size() == 1 && c == keyword[0]) return;
  }
  Fail(xpmExpectedString, u"'" + XpReplaceAll(WideString(keyword), u"'", u"''") + u"'");
}

// ---------------------------------------------------------------------------
// Pending text

// The buffer keeps its capacity, grown as texts need it: a small document never
// pays for a large one.
void TXpParser::ResetDataBuffer() { FDataBuffer.clear(); }

void TXpParser::AppendData(std::u16string_view text) { FDataBuffer.append(text); }

WideString TXpParser::TakeDataBuffer(bool bReset) {
  WideString text = FDataBuffer;
  if (bReset) FDataBuffer.clear();
  return text;
}

namespace {

// Drops the runs of blanks at both ends and makes each inner run one space;
// what counts as a blank differs between the two normalisations.
template <class IsBlank>
void CollapseBlankRuns(WideString& text, IsBlank isBlank) {
  std::size_t out = 0;
  bool pendingSpace = false;
  for (char16_t c : text) {
    if (isBlank(c)) {
      pendingSpace = out > 0;
      continue;
    }
    if (pendingSpace) text[out++] = u' ';
    pendingSpace = false;
    text[out++] = c;
  }
  text.resize(out);
}

}  // namespace

void TXpParser::CollapseSpaces() {
  CollapseBlankRuns(FDataBuffer, [](char16_t c) { return c == u' '; });
}

void TXpParser::NormalizeWhitespace() {
  // Most texts need no change: no whitespace at either end, and every inner
  // run a single space.
  const std::size_t size = FDataBuffer.size();
  if (size > 0 && !XpIsXmlWhitespace(FDataBuffer[0]) && !XpIsXmlWhitespace(FDataBuffer[size - 1])) {
    std::size_t i = 1;
    while (i < size && !(XpIsXmlWhitespace(FDataBuffer[i]) && (FDataBuffer[i] != u' ' || XpIsXmlWhitespace(FDataBuffer[i - 1]))))
      ++i;
    if (i == size) return;
  }
  CollapseBlankRuns(FDataBuffer, [](char16_t c) { return XpIsXmlWhitespace(c); });
}
