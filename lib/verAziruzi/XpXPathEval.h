#pragma once

// The evaluator's own vocabulary: the working value the routines pass between
// them, the evaluation they share, and one routine per precedence level. Only
// the XPath units include this.

#include <cstdint>
#include <memory>
#include <optional>

#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpXPath.h"

// The working value: a kind, a text (numbers and Booleans travel as text) and a
// node list, which also carries the context list inward to position() and
// last(). Lists are shared until one is changed, so that handing a context list
// to an operand or a predicate costs no copy.
struct TXpWork {
  TXpExpressionType kind = xpetNodeSet;
  WideString text;
  // Fresh values share one empty list, so that an operand costs no allocation
  // until it selects something.
  std::shared_ptr<TXpNodeList> list = SharedEmptyList();

  // Fresh variables for an operand: kind node-set, empty text, and either an
  // empty list or the given one as context list.
  static TXpWork Fresh() { return {}; }
  static TXpWork FreshWith(const std::shared_ptr<TXpNodeList>& context) { return {xpetNodeSet, {}, context}; }

  void SetList(std::shared_ptr<TXpNodeList> nodes) { list = std::move(nodes); }
  // The list, to be changed: copied first when another holder shares it.
  TXpNodeList& OwnList();
  void SetText(TXpExpressionType newKind, WideString newText) {
    kind = newKind;
    text = std::move(newText);
  }
  void SetBoolean(bool value) { SetText(xpetBoolean, value ? u"true" : u"false"); }

  // Never changed: every writer goes through SetList or OwnList.
  static const std::shared_ptr<TXpNodeList>& SharedEmptyList();
};

// A list to fill and hand to SetList, in one allocation with its count.
inline std::shared_ptr<TXpNodeList> XpNewList() { return std::make_shared<TXpNodeList>(); }

inline constexpr int kXpMaxNesting = 256;
// The work an evaluation may do: a base, and per token of the expression a
// multiple of the widest walk seen, which stands for the document's size. An
// expression that only walks the document a few times per token stays far
// below; nested predicates and paths over repeated nodes multiply their work
// and would otherwise run for hours or exhaust the memory.
inline constexpr std::uint64_t kXpWorkBase = 1 << 15;
inline constexpr std::uint64_t kXpWorkPerTokenAndNode = 16;

// One evaluation: the node whose Select started it, the tokens and the index of
// the last token consumed.
class TXpEvaluation {
public:
  TXpEvaluation(TXpNode* node, const TXpTokens& tokens) : node(node), tokens(tokens) {}

  TXpNode* const node;
  const TXpTokens& tokens;
  int index = -1;
  // Set while the predicates of an ancestor step run: position() counts from
  // the node nearest the context node.
  bool reverseAxis = false;
  // The candidate a predicate is testing and its place in the context list.
  const TXpNodeList* candidateList = nullptr;
  const TXpNode* candidate = nullptr;
  int candidatePosition = 0;

  // The next token, null at the end.
  const TXpToken* Peek() const {
    return index + 1 < static_cast<int>(tokens.size()) ? &tokens[index + 1] : nullptr;
  }
  bool NextIs(int id) const {
    const TXpToken* next = Peek();
    return next && next->id == id;
  }
  const TXpToken& Consume() { return tokens[++index]; }
  bool Accept(int id) { return XpAcceptToken(id, tokens, index); }
  void Expect(int id) { XpExpectToken(id, tokens, index); }
  TXpDocument* Document() const { return node->OwnerDocument(); }

  // Counts work: nodes copied or compared, candidates tested. Raises
  // TXpXPathException past the budget (see kXpWorkBase).
  void Charge(std::uint64_t units) {
    fWork += units;
    if (fWork > kXpWorkBase) CheckBudget();
  }
  // Counts the nodes one walk along an axis visited; the widest walk sets the
  // budget.
  void ChargeWalk(std::uint64_t visited) {
    if (visited > fWidestWalk) fWidestWalk = visited;
    Charge(visited);
  }

  // Counts one level of nesting for as long as it lives.
  class Nesting {
  public:
    explicit Nesting(TXpEvaluation& evaluation);
    ~Nesting() { --fEvaluation.fDepth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

  private:
    TXpEvaluation& fEvaluation;
  };

private:
  void CheckBudget() const;

  int fDepth = 0;
  std::uint64_t fWork = 0;
  std::uint64_t fWidestWalk = 0;
};

// Raises the nesting error before an evaluation whose parentheses and brackets
// alone nest deeper than the evaluator may go: found at once, without first
// descending the whole depth and unwinding it again.
void XpCheckBracketNesting(const TXpTokens& tokens);

// Precedence levels, from or down to the primary expressions.
void XpEvalExpr(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalAnd(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalEquality(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalRelational(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalAdditive(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalMultiplicative(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalUnary(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalUnion(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalPrimary(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);

// Passes over the rest of the current operand list: up to, not including, the
// ')', ']' or ',' that closes the level, or the end.
void XpSkipRestOfLevel(TXpEvaluation& ev);

// Location paths.
void XpEvalLocationPath(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
TXpNode* XpPathStartNode(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalStep(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalPathContinuation(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);
void XpEvalPredicates(TXpEvaluation& ev, TXpWork& w, bool doubleSlash, bool reverse, TXpNode* contextNode);

// The functions, variable references and unknown functions: the token at the
// index is the function's.
void XpEvalFunction(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode);

// Conversions of a working value.
bool XpToBoolean(const TXpWork& w);
int XpToInteger(const TXpWork& w);
double XpToNumber(const TXpWork& w);
// XpToNumber, charging the evaluation for the text a node-set's first node
// yields: that string value can be the whole document, read again at each operator.
double XpChargedNumber(TXpEvaluation& ev, const TXpWork& w);
WideString XpToString(const TXpWork& w, bool all = false);
// An attribute's value, any other node's StringValue.
WideString XpNodeStringValue(const TXpNode* node);
// XpXPathStrToNumber without its exception: nothing where it would refuse. The
// evaluator meets far more words than numbers, and an exception is costly.
std::optional<double> XpReadNumber(const WideString& text);
// The whole-number reading of a text; 0 for anything else.
int XpTextToInteger(const WideString& text);
