#pragma once

// The evaluator's own vocabulary: the working value the routines pass between
// them, the evaluation they share, and one routine per precedence level. Only
// the XPath units include this.

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

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

// How deep groups, predicates, arguments and negations may nest. Each level
// takes about 2 KiB of stack in an optimised build and four times that under
// the sanitizers, so the deepest expression fits a thread with a small stack;
// queries people write nest a few levels.
inline constexpr int kXpMaxNesting = 32;
// The work units a node copied into a result list costs, against one for a
// node visited: the copy takes a reference and grows the list, often into
// fresh memory, as the long lists of repeated nodes do.
inline constexpr std::uint64_t kXpCopyCost = 8;

// One evaluation: the node whose Select started it, the tokens and the index of
// the last token consumed.
class TXpEvaluation {
public:
  TXpEvaluation(TXpNode* node, const TXpTokens& tokens, std::uint64_t budget)
      : node(node), tokens(tokens), fBudget(budget) {}

  TXpNode* const node;
  const TXpTokens& tokens;
  int index = -1;

  // The context that position() and last() read: the list a predicate tests,
  // the candidate and its place there; at the top the caller's context list.
  // Operands and arguments evaluated from the candidate read it, whatever list
  // another operand left in their working value.
  const TXpNodeList* contextList = nullptr;
  const TXpNode* candidate = nullptr;
  int candidatePosition = 0;
  // Set while the predicates of an ancestor step run: position() counts from
  // the node nearest the context node.
  bool reverseAxis = false;
  // Set while the predicates of a '//' step run: a position test and last()
  // count the candidate among its parent's children of its name.
  bool siblingCounting = false;

  // The candidate's place among its parent's children of its own name (as
  // IsNthOfName counts them) and their number; 0 and 0 without a parent.
  std::pair<int, int> RankAmongNamesakes(const TXpNode* node);

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

  // Counts work: nodes visited, copied or compared, candidates tested. Raises
  // TXpXPathWorkExceeded past the budget.
  void Charge(std::uint64_t units) {
    fWork += units;
    if (fWork > fBudget) throw TXpXPathWorkExceeded();
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
  // Per parent: each child's place among its namesakes, and their number by
  // name, counted once in one pass.
  struct TNamesakes {
    std::unordered_map<const TXpNode*, int> rank;
    std::unordered_map<WideString, int> count;
  };

  const std::uint64_t fBudget;
  int fDepth = 0;
  std::uint64_t fWork = 0;
  std::unordered_map<const TXpNode*, TNamesakes> fNamesakes;
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
