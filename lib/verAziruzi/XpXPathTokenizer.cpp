// The XPath tokenizer, its name tables and the token node.

#include <cstdint>

#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpXPath.h"

namespace {

TXpStrHash* gFunctionNames = nullptr;
TXpStrHash* gAxisNames = nullptr;

struct NameEntry {
  const char16_t* name;
  int id;
};

constexpr NameEntry kFunctions[] = {
    {u"boolean", 201},        {u"ceiling", 205},       {u"concat", 222},
    {u"contains", 209},       {u"count", 80},          {u"current", 82},
    {u"document", 193},       {u"element-available", 199}, {u"false", 73},
    {u"floor", 204},          {u"format-number", 216}, {u"position", 191},
    {u"function-available", 217}, {u"generate-id", 200}, {u"id", 71},
    {u"key", 192},            {u"lang", 202},          {u"last", 190},
    {u"local-name", 195},     {u"name", 197},          {u"namespace-uri", 198},
    {u"normalize-space", 214}, {u"not", 43},           {u"number", 220},
    {u"round", 206},          {u"starts-with", 208},   {u"string", 207},
    {u"string-length", 210},  {u"substring", 211},     {u"substring-after", 213},
    {u"substring-before", 212}, {u"sum", 221},         {u"system-property", 223},
    {u"translate", 215},      {u"true", 72},           {u"unparsed-entity-uri", 189},
};

constexpr NameEntry kAxes[] = {
    {u"ancestor::", 170},  {u"ancestor-or-self::", 171}, {u"attribute::", 172},  {u"child::", 173},
    {u"descendant::", 174}, {u"descendant-or-self::", 175}, {u"following::", 176},
    {u"following-sibling::", 177}, {u"namespace::", 178}, {u"parent::", 179}, {u"preceding::", 180},
    {u"preceding-sibling::", 181}, {u"self::", 182},
};

// The XQL word operators between dollar signs.
constexpr NameEntry kWordOperators[] = {
    {u"eq", 44},  {u"ne", 45},     {u"lt", 46},     {u"le", 47},        {u"gt", 48},   {u"ge", 49},
    {u"and", 41}, {u"or", 42},     {u"not", 43},    {u"sum", 5},        {u"diff", 6},  {u"mul", 7},
    {u"div", 8},  {u"concat", 9},  {u"mod", 10},    {u"to", 40},        {u"union", 50}, {u"intersect", 51},
    {u"ieq", 52}, {u"ine", 53},    {u"ilt", 54},    {u"ile", 55},       {u"igt", 56},  {u"ige", 57},
};

constexpr NameEntry kNameOperators[] = {{u"and", 41}, {u"or", 42}, {u"div", 8}, {u"mod", 10}, {u"quo", 203}};

int Lookup(const NameEntry* begin, const NameEntry* end, std::u16string_view name) {
  for (const NameEntry* entry = begin; entry != end; ++entry)
    if (name == entry->name) return entry->id;
  return 0;
}

// The id a table keeps for the key, 0 when absent.
int TableId(TXpStrHash* const& table, const WideString& key) {
  if (!table) XpDOMInitialize();
  return static_cast<int>(reinterpret_cast<std::intptr_t>(table->Get(key)));
}

void Fill(TXpStrHash& table, const NameEntry* begin, const NameEntry* end) {
  for (const NameEntry* entry = begin; entry != end; ++entry)
    table.Add(entry->name, reinterpret_cast<void*>(static_cast<std::intptr_t>(entry->id)));
}

// One pass over an expression.
class Scanner {
public:
  explicit Scanner(const WideString& expr) : fExpr(expr) {}

  TXpTokens Run() {
    while (fPos < fExpr.size()) Step();
    return std::move(fTokens);
  }

private:
  bool At(char16_t c, std::size_t offset = 0) const {
    return fPos + offset < fExpr.size() && fExpr[fPos + offset] == c;
  }
  void Add(int id, WideString text = {}) { fTokens.push_back({id, std::move(text)}); }

  void Step() {
    const char16_t c = fExpr[fPos];
    if (c == u'"' || c == u'\'' || c == u'~') return Literal(c);
    if (c >= u'0' && c <= u'9') {
      const std::size_t start = fPos;
      while (fPos < fExpr.size() && XpIsNumberChar(fExpr[fPos])) ++fPos;
      return Add(xptok::Number, fExpr.substr(start, fPos - start));
    }
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || (c >= 0x80 && c <= 0xFF)) return Name();
    if (c == u'$') return Dollar();
    ++fPos;
    switch (c) {
      case u'(':
        if (!fTokens.empty() && fTokens.back().id == xptok::Name) fTokens.back().id = xptok::UnknownFunction;
        return Add(xptok::OpenParen);
      case u')': return Add(xptok::CloseParen);
      case u',': return Add(xptok::Comma);
      case u'*': return Add(xptok::Star, u"*");
      case u'+': return Add(xptok::Plus);
      case u'-': return Add(xptok::Minus);
      case u'|': return Add(xptok::Union);
      case u'[': return Add(xptok::OpenBracket);
      case u']': return Add(xptok::CloseBracket);
      case u'{': return Add(xptok::OpenBrace);
      case u'}': return Add(xptok::CloseBrace);
      case u'@': return Add(xptok::At);
      case u'=': return Add(xptok::Equal);
      case u'.': return Add(Follows(u'.') ? xptok::DotDot : xptok::Dot);
      case u'/': return Add(Follows(u'/') ? xptok::DoubleSlash : xptok::Slash);
      case u'<':
        if (Follows(u'=')) return Add(xptok::LessEqual);
        return Add(Follows(u'>') ? xptok::NotEqual : xptok::Less);
      case u'>': return Add(Follows(u'=') ? xptok::GreaterEqual : xptok::Greater);
      case u'!': return Add(Follows(u'=') ? xptok::NotEqual : xptok::Slash);
      default: return;  // blanks, control characters and the rest carry no token
    }
  }

  // Steps over c when it stands at the position.
  bool Follows(char16_t c) {
    if (!At(c)) return false;
    ++fPos;
    return true;
  }

  void Literal(char16_t delimiter) {
    const std::size_t close = fExpr.find(delimiter, fPos + 1);
    if (close == WideString::npos) throw TXpXPathException(u"Unterminated string literal");
    Add(xptok::String, fExpr.substr(fPos + 1, close - fPos - 1));
    fPos = close + 1;
  }

  void Name() {
    const std::size_t start = fPos;
    while (fPos < fExpr.size() && XpIsNameCharUnit(fExpr[fPos])) {
      ++fPos;
      if (XpEndsWithAxisMark(std::u16string_view(fExpr).substr(start, fPos - start), static_cast<int>(fPos - start)))
        break;
    }
    if (fPos == start) throw TXpXPathException(u"Invalid character in expression: " + WideString(1, fExpr[start]));
    WideString name = fExpr.substr(start, fPos - start);
    if (fPos >= fExpr.size()) return Add(xptok::Name, std::move(name));
    if (name.back() == u':') {
      const int axis = TableId(gAxisNames, name);
      if (!axis) throw TXpXPathException(XpFormatMessage(xpmUnknownAxis, {XpQuotedText(name)}));
      return Add(axis, std::move(name));
    }
    if (At(u'(')) {
      int id = TableId(gFunctionNames, name);
      if (!id) {
        if (name == u"pi" || name == u"processing-instruction") id = xptok::PiTest;
        else if (name == u"comment") id = xptok::CommentTest;
        else if (name == u"text") id = xptok::TextTest;
        else if (name == u"node") id = xptok::NodeTest;
        else id = xptok::Name;
      }
      return Add(id, std::move(name));
    }
    const int op = Lookup(std::begin(kNameOperators), std::end(kNameOperators), name);
    Add(op ? op : xptok::Name, std::move(name));
  }

  void Dollar() {
    ++fPos;
    const std::size_t start = fPos;
    while (fPos < fExpr.size() && XpIsNameCharUnit(fExpr[fPos])) ++fPos;
    WideString name = fExpr.substr(start, fPos - start);
    if (!Follows(u'$')) return Add(xptok::Variable, std::move(name));
    if (const int op = Lookup(std::begin(kWordOperators), std::end(kWordOperators), name)) Add(op);
  }

  const WideString& fExpr;
  std::size_t fPos = 0;
  TXpTokens fTokens;
};

}  // namespace

TXpStrHash* XpFunctionNames() { return gFunctionNames; }
TXpStrHash* XpAxisNames() { return gAxisNames; }

void XpXPathCreateNameTables() {
  if (gFunctionNames) return;
  auto functions = std::make_unique<TXpStrHash>(0);
  auto axes = std::make_unique<TXpStrHash>(0);
  Fill(*functions, std::begin(kFunctions), std::end(kFunctions));
  Fill(*axes, std::begin(kAxes), std::end(kAxes));
  gFunctionNames = functions.release();
  gAxisNames = axes.release();
}

void XpXPathFreeNameTables() {
  delete gFunctionNames;
  delete gAxisNames;
  gFunctionNames = nullptr;
  gAxisNames = nullptr;
}

bool XpIsNameCharUnit(char16_t c) { return XpIsValidNameUnit(false, c); }

bool XpEndsWithAxisMark(std::u16string_view text, int n) {
  if (n < 2 || static_cast<std::size_t>(n) > text.size()) return false;
  return text[n - 2] == u':' && text[n - 1] == u':';
}

// ---------------------------------------------------------------------------
// TXpXqlToken

TXpRef<TXpXqlToken> TXpXqlToken::CreateToken(int tokenId) {
  TXpRef<TXpXqlToken> token = Create();
  token->SetTokenId(tokenId);
  return token;
}

TXpRef<TXpXqlToken> TXpXqlToken::CreateTokenValue(int tokenId, const WideString& value) {
  TXpRef<TXpXqlToken> token = CreateToken(tokenId);
  token->SetNodeName(value);
  return token;
}

TXpRef<TXpNode> TXpXqlToken::CloneSelf(bool) const {
  auto checkOwner = [this] {
    if (OwnerDocument() && OwnerDocument()->NodeType() != DOCUMENT_NODE) XpAssertFailed("lib\\verAziruzi\\XpDOM");
  };
  checkOwner();
  TXpRef<TXpXqlToken> copy = Create();
  CopyCommonTo(*copy);
  copy->SetOutputEscaping(OutputEscaping());
  copy->SetTokenId(fTokenId);
  checkOwner();
  return copy;
}

// ---------------------------------------------------------------------------
// TXpXPathParser

TXpXPathParser::TXpXPathParser() { XpDOMInitialize(); }

TXpTokens TXpXPathParser::Scan(const WideString& expr) { return Scanner(expr).Run(); }

std::shared_ptr<const TXpTokens> TXpXPathParser::Tokens(const WideString& expr) {
  auto it = fCache.find(expr);
  if (it != fCache.end()) return it->second;
  auto tokens = std::make_shared<const TXpTokens>(Scan(expr));
  // The readers pass a few dozen fixed texts; a program that builds its
  // expressions freely only restarts the cache now and then.
  if (fCache.size() >= kCacheLimit) fCache.clear();
  fCache.emplace(expr, tokens);
  return tokens;
}

std::unique_ptr<TXpNodeList> TXpXPathParser::Tokenize(const WideString& expr) {
  auto list = std::make_unique<TXpNodeList>();
  for (const TXpToken& token : *Tokens(expr)) list->Add(TXpXqlToken::CreateTokenValue(token.id, token.text));
  return list;
}

// ---------------------------------------------------------------------------
// Token checks

namespace {

bool HasNext(const TXpTokens& tokens, int index) { return index + 1 < static_cast<int>(tokens.size()); }

// Moves to the token that closes the current level of open/close.
void SkipToClose(const TXpTokens& tokens, int& index, int open, int close) {
  int depth = 0;
  while (HasNext(tokens, index)) {
    const int id = tokens[++index].id;
    if (id == open) {
      ++depth;
    } else if (id == close) {
      if (depth == 0) return;
      --depth;
    }
  }
  throw TXpDOMException::CreateValue(ecExpectedToken, close);
}

}  // namespace

void XpExpectToken(int id, const TXpTokens& tokens, int& index) {
  if (!HasNext(tokens, index) || tokens[index + 1].id != id) throw TXpDOMException::CreateValue(ecExpectedToken, id);
  ++index;
}

bool XpAcceptToken(int id, const TXpTokens& tokens, int& index) {
  if (!HasNext(tokens, index) || tokens[index + 1].id != id) return false;
  ++index;
  return true;
}

void XpSkipToCloseBracket(const TXpTokens& tokens, int& index) {
  SkipToClose(tokens, index, xptok::OpenBracket, xptok::CloseBracket);
}

void XpSkipToCloseParen(const TXpTokens& tokens, int& index) {
  SkipToClose(tokens, index, xptok::OpenParen, xptok::CloseParen);
}

void XpSkipToNextCloseParen(const TXpTokens& tokens, int& index) {
  while (HasNext(tokens, index))
    if (tokens[++index].id == xptok::CloseParen) return;
  throw TXpDOMException::CreateValue(ecExpectedToken, xptok::CloseParen);
}
