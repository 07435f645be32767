#pragma once

// XPath on the document tree: the tokens of an expression (XPath 1.0 with the
// older XQL spellings), the tokenizer a document owns, the value a selection
// answers, and the token checks the evaluator stands on.

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lib/verAziruzi/XpDOMNode.h"
#include "lib/verAziruzi/XpHash.h"

// ---------------------------------------------------------------------------
// Token ids: the public vocabulary between the tokenizer and the evaluator.

namespace xptok {
inline constexpr int Number = 1;
inline constexpr int String = 2;
inline constexpr int Name = 3;
inline constexpr int At = 4;
inline constexpr int Plus = 5;
inline constexpr int Minus = 6;
inline constexpr int Multiply = 7;
inline constexpr int Divide = 8;
inline constexpr int Concat = 9;
inline constexpr int Mod = 10;
inline constexpr int Star = 20;
inline constexpr int Comma = 21;
inline constexpr int OpenParen = 22;
inline constexpr int CloseParen = 23;
inline constexpr int Slash = 25;
inline constexpr int DoubleSlash = 26;
inline constexpr int Dot = 27;
inline constexpr int DotDot = 28;
inline constexpr int OpenBracket = 29;
inline constexpr int CloseBracket = 30;
inline constexpr int OpenBrace = 31;
inline constexpr int CloseBrace = 32;
inline constexpr int Range = 40;
inline constexpr int And = 41;
inline constexpr int Or = 42;
inline constexpr int Not = 43;
inline constexpr int Equal = 44;
inline constexpr int NotEqual = 45;
inline constexpr int Less = 46;
inline constexpr int LessEqual = 47;
inline constexpr int Greater = 48;
inline constexpr int GreaterEqual = 49;
inline constexpr int Union = 50;
inline constexpr int Intersect = 51;
inline constexpr int IEqual = 52;  // to 57: the case-blind comparisons
inline constexpr int IGreaterEqual = 57;
inline constexpr int TextTest = 100;
inline constexpr int CommentTest = 101;
inline constexpr int PiTest = 102;
inline constexpr int NodeTest = 105;
// Axes
inline constexpr int Ancestor = 170;
inline constexpr int AncestorOrSelf = 171;
inline constexpr int AttributeAxis = 172;
inline constexpr int Child = 173;
inline constexpr int Descendant = 174;
inline constexpr int DescendantOrSelf = 175;
inline constexpr int Following = 176;
inline constexpr int FollowingSibling = 177;
inline constexpr int NamespaceAxis = 178;
inline constexpr int Parent = 179;
inline constexpr int Preceding = 180;
inline constexpr int PrecedingSibling = 181;
inline constexpr int Self = 182;
// Core and host functions (and Not above)
inline constexpr int FnId = 71;
inline constexpr int FnTrue = 72;
inline constexpr int FnFalse = 73;
inline constexpr int FnCount = 80;
inline constexpr int FnCurrent = 82;
inline constexpr int FnUnparsedEntityUri = 189;
inline constexpr int FnLast = 190;
inline constexpr int FnPosition = 191;
inline constexpr int FnKey = 192;
inline constexpr int FnDocument = 193;
inline constexpr int FnLocalName = 195;
inline constexpr int FnName = 197;
inline constexpr int FnNamespaceUri = 198;
inline constexpr int FnElementAvailable = 199;
inline constexpr int FnGenerateId = 200;
inline constexpr int FnBoolean = 201;
inline constexpr int FnLang = 202;
inline constexpr int Quo = 203;
inline constexpr int FnFloor = 204;
inline constexpr int FnCeiling = 205;
inline constexpr int FnRound = 206;
inline constexpr int FnString = 207;
inline constexpr int FnStartsWith = 208;
inline constexpr int FnContains = 209;
inline constexpr int FnStringLength = 210;
inline constexpr int FnSubstring = 211;
inline constexpr int FnSubstringBefore = 212;
inline constexpr int FnSubstringAfter = 213;
inline constexpr int FnNormalizeSpace = 214;
inline constexpr int FnTranslate = 215;
inline constexpr int FnFormatNumber = 216;
inline constexpr int FnFunctionAvailable = 217;
inline constexpr int Variable = 219;
inline constexpr int FnNumber = 220;
inline constexpr int FnSum = 221;
inline constexpr int FnConcat = 222;
inline constexpr int FnSystemProperty = 223;
inline constexpr int UnknownFunction = 224;
}  // namespace xptok

// A failure of an XPath expression: a tokenizer rejection, a function without
// its handler, a nesting too deep.
class TXpXPathException : public EXpException {
public:
  using EXpException::EXpException;
};

// An evaluation refused because it would do more work than its budget allows.
// The typed selections pass it on: an answer cut short is no answer.
class TXpXPathWorkExceeded : public TXpXPathException {
public:
  TXpXPathWorkExceeded() : TXpXPathException(u"Expression too costly to evaluate") {}
};

// The name tables of the tokenizer; null outside XpDOMInitialize..XpDOMFinalize.
// Values are the token ids.
TXpStrHash* XpFunctionNames();
TXpStrHash* XpAxisNames();
// Called by XpDOMInitialize and XpDOMFinalize.
void XpXPathCreateNameTables();
void XpXPathFreeNameTables();

// Character tests of the scan.
inline bool XpIsNumberChar(char16_t c) { return (c >= u'0' && c <= u'9') || c == u'-' || c == u'.'; }
bool XpIsNameCharUnit(char16_t c);
// Characters n-1 and n (from 1) of the text are both ':'; False when n < 2.
bool XpEndsWithAxisMark(std::u16string_view text, int n);

// One token as the evaluator reads it.
struct TXpToken {
  int id;
  WideString text;
};
using TXpTokens = std::vector<TXpToken>;

// A token as a node of its own, so that a token list is an ordinary node list.
class TXpXqlToken : public TXpNode {
public:
  static TXpRef<TXpXqlToken> Create() { return TXpRef<TXpXqlToken>::Adopt(new TXpXqlToken()); }
  static TXpRef<TXpXqlToken> CreateToken(int tokenId);
  static TXpRef<TXpXqlToken> CreateTokenValue(int tokenId, const WideString& value);

  int TokenId() const { return fTokenId; }
  void SetTokenId(int id) { fTokenId = id; }

  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpXqlToken() : TXpNode(XPATH_TOKEN_NODE) { SetOutputEscaping(false); }
  int fTokenId = 0;
};

// Cuts expressions into tokens. A document keeps one; since the readers pass a
// few fixed expressions millions of times, the scans are kept by expression
// text (scanning is pure, so a kept scan is always the right one).
class TXpXPathParser {
public:
  TXpXPathParser();

  // The tokens of the expression in order, as nodes; the caller owns the list.
  // Raises TXpXPathException for an unknown axis, a character that cannot start
  // a name, and an unterminated string literal.
  std::unique_ptr<TXpNodeList> Tokenize(const WideString& expr);
  // The same tokens as the evaluator reads them, shared with the cache.
  std::shared_ptr<const TXpTokens> Tokens(const WideString& expr);

  // The scan itself, without the cache.
  static TXpTokens Scan(const WideString& expr);
  // Forgets every kept scan.
  void ClearCache() { fCache.clear(); }

  // The work one evaluation of this document's queries may do, in nodes
  // visited, compared or collected: about a second's worth by default, enough
  // for queries that walk a large track thousands of times, while a hostile
  // query that would run for hours is refused with TXpXPathWorkExceeded.
  static constexpr std::uint64_t kDefaultWorkBudget = 100'000'000;
  std::uint64_t WorkBudget() const { return fWorkBudget; }
  void SetWorkBudget(std::uint64_t units) { fWorkBudget = units; }

private:
  static constexpr std::size_t kCacheLimit = 512;
  std::unordered_map<WideString, std::shared_ptr<const TXpTokens>> fCache;
  std::uint64_t fWorkBudget = kDefaultWorkBudget;
};

// Token checks: each raises TXpDOMException ecExpectedToken with the id expected
// (23 for ")", 30 for "]") and leaves the index where the search stopped.
void XpExpectToken(int id, const TXpTokens& tokens, int& index);
bool XpAcceptToken(int id, const TXpTokens& tokens, int& index);
void XpSkipToCloseBracket(const TXpTokens& tokens, int& index);
void XpSkipToCloseParen(const TXpTokens& tokens, int& index);
void XpSkipToNextCloseParen(const TXpTokens& tokens, int& index);

// ---------------------------------------------------------------------------
// Values

enum TXpExpressionType { xpetUnknown, xpetNodeSet, xpetBoolean, xpetNumber, xpetString };

// The result of TXpNode::Select. A node-set value owns its list; its nodes are
// the tree's own, each with one reference held by the list.
class TXpValue {
public:
  TXpValue() = default;
  TXpValue(const TXpValue&) = delete;
  TXpValue& operator=(const TXpValue&) = delete;
  ~TXpValue() { FreeNodeSet(); }

  TXpExpressionType ValueType() const { return fValueType; }

  bool AsBoolean() const;
  // The value's own list for a node-set, null otherwise.
  TXpNodeList* AsNodeSet() const { return fValueType == xpetNodeSet ? fValueNodeSet.get() : nullptr; }
  // A string that is no number raises EXpException 65123.
  double AsNumber() const;
  // A number that has no plain decimal form raises EConvertError.
  WideString AsString() const;

  // Each writer frees a list the value holds, then stores and sets the kind.
  void SetAsBoolean(bool value);
  // A new list holding the given list's nodes; the given list stays the caller's.
  void SetAsNodeSet(const TXpNodeList* list);
  void SetAsNumber(double value);
  void SetAsString(const WideString& value);

  std::unique_ptr<TXpValue> Clone() const;
  // Evaluates the expression as oNode->Select does and keeps the result here.
  void SelectValue(const WideString& expr, TXpNode* node, const TXpNodeList* context);

private:
  friend class TXpNode;
  void FreeNodeSet();

  TXpExpressionType fValueType = xpetUnknown;
  bool fValueBoolean = false;
  std::unique_ptr<TXpNodeList> fValueNodeSet;
  double fValueNumber = 0;
  WideString fValueString;
};
