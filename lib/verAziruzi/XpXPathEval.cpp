// The expression levels of the evaluator, the conversions of a working value,
// and the value a selection answers.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "lib/verAziruzi/XpDOMElement.h"
#include "lib/verAziruzi/XpXPathEval.h"
#include "platform/NumberText.h"

const std::shared_ptr<TXpNodeList>& TXpWork::SharedEmptyList() {
  static const std::shared_ptr<TXpNodeList> empty = XpNewList();
  return empty;
}

TXpNodeList& TXpWork::OwnList() {
  if (list.use_count() > 1) {
    auto copy = XpNewList();
    copy->CopyList(list.get());
    list = std::move(copy);
  }
  return *list;
}

namespace {

[[noreturn]] void ThrowTooDeep() {
  throw TXpXPathException(u"Expression nesting deeper than " + XpFormat(u"%d", {kXpMaxNesting}) + u" levels");
}

}  // namespace

TXpEvaluation::Nesting::Nesting(TXpEvaluation& evaluation) : fEvaluation(evaluation) {
  if (++fEvaluation.fDepth > kXpMaxNesting) {
    --fEvaluation.fDepth;
    ThrowTooDeep();
  }
}

std::pair<int, int> TXpEvaluation::RankAmongNamesakes(const TXpNode* node) {
  const TXpNode* parent = node->ParentNode();
  if (!parent) return {0, 0};
  const TXpDocument* document = node->OwnerDocument();
  const bool ignoreCase = document && document->IgnoreCase();
  // Names that NameMatches takes for one another share a key.
  auto key = [ignoreCase](const TXpNode* child) {
    WideString name = child->NodeName();
    if (ignoreCase)
      for (char16_t& c : name)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return name;
  };
  auto [found, added] = fNamesakes.try_emplace(parent);
  TNamesakes& namesakes = found->second;
  if (added) {
    const auto& children = parent->ChildNodes()->Nodes();
    Charge(1 + children.size());
    for (const TXpNode* child : children) namesakes.rank[child] = ++namesakes.count[key(child)];
  }
  const auto rank = namesakes.rank.find(node);
  if (rank == namesakes.rank.end()) return {0, 0};
  return {rank->second, namesakes.count[key(node)]};
}

void XpCheckBracketNesting(const TXpTokens& tokens) {
  // The whole expression is one level, each '(' or '[' one more.
  int depth = 1;
  for (const TXpToken& token : tokens) {
    if (token.id == xptok::OpenParen || token.id == xptok::OpenBracket) {
      if (++depth > kXpMaxNesting) ThrowTooDeep();
    } else if ((token.id == xptok::CloseParen || token.id == xptok::CloseBracket) && depth > 1) {
      --depth;
    }
  }
}

// ---------------------------------------------------------------------------
// Conversions

WideString XpNodeStringValue(const TXpNode* node) {
  return node->NodeType() == ATTRIBUTE_NODE ? node->NodeValue() : node->StringValue();
}

std::optional<double> XpReadNumber(const WideString& text) {
  if (text.empty() || !XpLooksNumeric(text)) return std::nullopt;
  if (const auto value = numtext::ParseDouble(std::string(text.begin(), text.end()))) return value;
  // The rare numeric-looking rest: "-", "1.2.", fractions too small for a double.
  try {
    return XpXPathStrToNumber(text);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

int XpTextToInteger(const WideString& text) {
  int value = 0;
  return XpReadWholeNumber(text, value) ? value : 0;
}

namespace {

// XpXPathStrToNumber, with 0 for a text that is no number.
double NumberOrZero(const WideString& text) { return XpReadNumber(text).value_or(0); }

WideString FirstStringValue(const TXpWork& w) {
  const TXpNode* first = w.list->Item(0);
  return first ? XpNodeStringValue(first) : WideString();
}

}  // namespace

double XpChargedNumber(TXpEvaluation& ev, const TXpWork& w) {
  if (w.kind != xpetNodeSet) {
    ev.Charge(1);
    return XpToNumber(w);
  }
  const WideString text = FirstStringValue(w);
  ev.Charge(1 + text.size() / 4);
  return NumberOrZero(text);
}

bool XpToBoolean(const TXpWork& w) {
  switch (w.kind) {
    case xpetNodeSet: return w.list->Length() > 0;
    case xpetBoolean: return w.text == u"true";
    case xpetNumber: return XpTextToInteger(w.text) != 0;
    case xpetString: return !w.text.empty();
    default: return false;
  }
}

int XpToInteger(const TXpWork& w) {
  switch (w.kind) {
    case xpetNodeSet: return XpTextToInteger(FirstStringValue(w));
    case xpetBoolean: return w.text == u"true" ? 1 : 0;
    case xpetNumber:
    case xpetString: return XpTextToInteger(w.text);
    default: return 0;
  }
}

double XpToNumber(const TXpWork& w) {
  switch (w.kind) {
    case xpetNodeSet: return NumberOrZero(FirstStringValue(w));
    case xpetBoolean: return w.text == u"true" ? 1 : 0;
    case xpetNumber:
    case xpetString: return NumberOrZero(w.text);
    default: return 0;
  }
}

WideString XpToString(const TXpWork& w, bool all) {
  switch (w.kind) {
    case xpetNodeSet: {
      if (!all) return FirstStringValue(w);
      WideString text;
      for (const TXpNode* node : w.list->Nodes()) text += XpNodeStringValue(node);
      return text;
    }
    case xpetUnknown: return {};
    default: return w.text;
  }
}

// ---------------------------------------------------------------------------
// Levels

void XpSkipRestOfLevel(TXpEvaluation& ev) {
  int depth = 0;
  while (const TXpToken* next = ev.Peek()) {
    if (next->id == xptok::OpenParen || next->id == xptok::OpenBracket) {
      ++depth;
    } else if (next->id == xptok::CloseParen || next->id == xptok::CloseBracket) {
      if (depth == 0) return;
      --depth;
    } else if (next->id == xptok::Comma && depth == 0) {
      return;
    }
    ev.Consume();
  }
}

void XpEvalExpr(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  TXpEvaluation::Nesting nesting(ev);
  XpEvalAnd(ev, w, contextNode);
  while (ev.Accept(xptok::Or)) {
    if (XpToBoolean(w)) {
      w.SetBoolean(true);
      XpSkipRestOfLevel(ev);
      return;
    }
    TXpWork right = TXpWork::FreshWith(w.list);
    XpEvalAnd(ev, right, contextNode);
    w.SetBoolean(XpToBoolean(right));
  }
}

void XpEvalAnd(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  XpEvalEquality(ev, w, contextNode);
  while (ev.Accept(xptok::And)) {
    TXpWork right = TXpWork::FreshWith(w.list);
    XpEvalEquality(ev, right, contextNode);
    w.SetBoolean(XpToBoolean(w) && XpToBoolean(right));
  }
}

namespace {

bool Occurs(const WideString& sub, const WideString& text) { return XpPosWide(sub, text) > 0; }

// Lists of one length where every node of the left one stands in the right one.
bool SameNodes(const TXpNodeList& left, const TXpNodeList& right) {
  if (left.Length() == 0 || left.Length() != right.Length()) return false;
  if (&left == &right) return true;
  std::vector<const TXpNode*> inRight(right.Nodes().begin(), right.Nodes().end());
  std::sort(inRight.begin(), inRight.end());
  for (const TXpNode* node : left.Nodes())
    if (!std::binary_search(inRight.begin(), inRight.end(), node)) return false;
  return true;
}

// The texts of both values as the comparisons read them, charged by length:
// the string values of repeated nodes can be far longer than the document.
std::pair<WideString, WideString> ComparedTexts(TXpEvaluation& ev, const TXpWork& left, const TXpWork& right) {
  std::pair<WideString, WideString> texts{XpToString(left, true), XpToString(right, true)};
  ev.Charge((texts.first.size() + texts.second.size()) / 16);
  return texts;
}

bool Equal(TXpEvaluation& ev, const TXpWork& left, const TXpWork& right) {
  if (left.kind == xpetNodeSet && right.kind == xpetNodeSet && SameNodes(*left.list, *right.list)) return true;
  const auto [ls, rs] = ComparedTexts(ev, left, right);
  if (left.kind == xpetNodeSet && right.kind == xpetNodeSet) {
    if (ls.empty() && rs.empty()) return false;
    if (ls == rs) return true;
    if (left.list->Length() > 1) return Occurs(rs, ls);
    if (right.list->Length() > 1) return Occurs(ls, rs);
    return false;
  }
  if (ls == rs) return true;
  if (left.kind == xpetNodeSet && left.list->Length() > 1) {
    for (const TXpNode* node : left.list->Nodes())
      if (XpNodeStringValue(node) == rs) return true;
    return false;
  }
  if (right.kind == xpetNodeSet && right.list->Length() > 1) return Occurs(ls, rs);
  return false;
}

bool IsOneOf(const TXpToken* token, std::initializer_list<int> ids) {
  if (!token) return false;
  for (int id : ids)
    if (token->id == id) return true;
  return false;
}

}  // namespace

void XpEvalEquality(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  XpEvalRelational(ev, w, contextNode);
  while (IsOneOf(ev.Peek(), {xptok::Equal, xptok::NotEqual})) {
    const int op = ev.Consume().id;
    TXpWork right = TXpWork::FreshWith(w.list);
    XpEvalRelational(ev, right, contextNode);
    // Only node-sets are compared node by node; other values merely carry
    // their context list.
    ev.Charge(1 + (w.kind == xpetNodeSet ? w.list->Length() : 0) +
              (right.kind == xpetNodeSet ? right.list->Length() : 0));
    if (op == xptok::Equal) {
      w.SetBoolean(Equal(ev, w, right));
    } else {
      const auto [ls, rs] = ComparedTexts(ev, w, right);
      w.SetBoolean(ls != rs);
    }
  }
}

void XpEvalRelational(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  XpEvalAdditive(ev, w, contextNode);
  while (IsOneOf(ev.Peek(), {xptok::Less, xptok::LessEqual, xptok::Greater, xptok::GreaterEqual})) {
    const int op = ev.Consume().id;
    TXpWork right = TXpWork::FreshWith(w.list);
    XpEvalAdditive(ev, right, contextNode);
    const double a = XpChargedNumber(ev, w);
    const double b = XpChargedNumber(ev, right);
    switch (op) {
      case xptok::Less: w.SetBoolean(a < b); break;
      case xptok::LessEqual: w.SetBoolean(a <= b); break;
      case xptok::Greater: w.SetBoolean(a > b); break;
      default: w.SetBoolean(a >= b); break;
    }
  }
}

void XpEvalAdditive(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  XpEvalMultiplicative(ev, w, contextNode);
  while (IsOneOf(ev.Peek(), {xptok::Plus, xptok::Minus, xptok::Concat})) {
    const int op = ev.Consume().id;
    TXpWork right = TXpWork::FreshWith(w.list);
    XpEvalMultiplicative(ev, right, contextNode);
    if (op == xptok::Concat) {
      WideString text = XpToString(w) + XpToString(right);
      ev.Charge(1 + text.size() / 4);
      w.SetText(xpetString, std::move(text));
    } else {
      const double a = XpChargedNumber(ev, w);
      const double b = XpChargedNumber(ev, right);
      w.SetText(xpetNumber, XpXPathNumberToStr(op == xptok::Plus ? a + b : a - b));
    }
  }
}

namespace {

// "div": NaN as a string for a zero divisor and for whatever cannot be written.
void Divide(TXpWork& w, const TXpWork& right) {
  const std::optional<double> dividend = XpReadNumber(XpToString(w));
  if (!dividend) return w.SetText(xpetString, u"NaN");
  try {
    const double divisor = XpToNumber(right);
    if (divisor != 0) return w.SetText(xpetNumber, XpXPathNumberToStr(*dividend / divisor));
  } catch (const EConvertError&) {
  }
  w.SetText(xpetString, u"NaN");
}

// "quo" and "mod" on whole numbers; an empty number for a zero divisor.
void IntegerDivide(TXpWork& w, const TXpWork& right, bool remainder) {
  const std::int64_t a = XpToInteger(w);
  const std::int64_t b = XpToInteger(right);
  if (b == 0) return w.SetText(xpetNumber, {});
  const std::int64_t result = remainder ? a % b : a / b;
  w.SetText(xpetNumber, XpFormat(u"%d", {result}));
}

}  // namespace

void XpEvalMultiplicative(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  XpEvalUnary(ev, w, contextNode);
  while (IsOneOf(ev.Peek(), {xptok::Star, xptok::Multiply, xptok::Divide, xptok::Mod, xptok::Quo})) {
    const int op = ev.Consume().id;
    TXpWork right = TXpWork::FreshWith(w.list);
    XpEvalUnary(ev, right, contextNode);
    if (op == xptok::Divide || op == xptok::Mod || op == xptok::Quo) {
      // These read their operands themselves; charge what the reading gathers.
      XpChargedNumber(ev, w);
      XpChargedNumber(ev, right);
    }
    switch (op) {
      case xptok::Divide: Divide(w, right); break;
      case xptok::Mod: IntegerDivide(w, right, true); break;
      case xptok::Quo: IntegerDivide(w, right, false); break;
      default: {
        const double a = XpChargedNumber(ev, w);
        w.SetText(xpetNumber, XpXPathNumberToStr(a * XpChargedNumber(ev, right)));
        break;
      }
    }
  }
}

void XpEvalUnary(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  if (!ev.Peek()) return;
  if (!ev.Accept(xptok::Minus)) return XpEvalUnion(ev, w, contextNode);
  XpEvalUnion(ev, w, contextNode);
  // Adding 0 turns -0 into 0, so that -0 reads "0".
  w.SetText(xpetNumber, XpXPathNumberToStr(-XpChargedNumber(ev, w) + 0.0));
}

void XpEvalUnion(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  XpEvalPrimary(ev, w, contextNode);
  if (!ev.NextIs(xptok::Union)) return;
  // The nodes of the left list so far, kept across a long chain of '|'.
  std::unordered_set<const TXpNode*> present;
  bool presentFilled = false;
  while (ev.Accept(xptok::Union)) {
    std::shared_ptr<TXpNodeList> rightNodes;
    {
      TXpWork right = TXpWork::FreshWith(w.list);
      XpEvalPrimary(ev, right, contextNode);
      rightNodes = std::move(right.list);
    }
    // The operand no longer shares the left list, which grows in place.
    ev.Charge(1 + kXpCopyCost * rightNodes->Length());
    TXpNodeList& left = w.OwnList();
    if (!presentFilled) present.insert(left.Nodes().begin(), left.Nodes().end());
    presentFilled = true;
    for (TXpNode* node : rightNodes->Nodes())
      if (present.insert(node).second) left.Add(node);
    w.kind = xpetNodeSet;
  }
}

namespace {

// '@' as a primary: the named attribute of the context element, or all for '*';
// the name may stand in parentheses.
void AttributePrimary(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const bool parenthesised = ev.Accept(xptok::OpenParen);
  if (!ev.Peek()) throw TXpDOMException::CreateValue(ecExpectedToken, xptok::Name);
  const TXpToken& name = ev.Consume();
  if (parenthesised) ev.Expect(xptok::CloseParen);
  auto list = XpNewList();
  const TXpNamedNodeMap* attributes = contextNode->NodeType() == ELEMENT_NODE ? contextNode->Attributes() : nullptr;
  if (attributes) {
    if (name.id == xptok::Star) {
      for (TXpNode* attribute : attributes->Nodes()) list->Add(attribute);
    } else if (TXpNode* attribute = attributes->GetNamedItem(name.text)) {
      list->Add(attribute);
    }
  }
  ev.Charge(list->Length() + 1);
  w.SetList(std::move(list));
  w.kind = xpetNodeSet;
}

bool IsFunctionToken(int id) {
  return id == xptok::Variable || id == xptok::UnknownFunction || id == xptok::FnTrue || id == xptok::FnFalse ||
         id == xptok::FnCount || id == xptok::FnCurrent || (id >= 189 && id <= 223 && id != xptok::Quo);
}

}  // namespace

void XpEvalPrimary(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  w.text.clear();
  const TXpToken* next = ev.Peek();
  if (!next) return;
  switch (next->id) {
    case xptok::Number:
      w.SetText(xpetNumber, ev.Consume().text);
      return;
    case xptok::String:
      w.SetText(xpetString, ev.Consume().text);
      return;
    case xptok::Not: {
      const bool call = ev.Consume().text == u"not";
      if (call) ev.Expect(xptok::OpenParen);
      TXpWork operand = TXpWork::FreshWith(w.list);
      XpEvalExpr(ev, operand, contextNode);
      if (call) ev.Expect(xptok::CloseParen);
      w.SetBoolean(!XpToBoolean(operand));
      return;
    }
    case xptok::OpenParen:
      ev.Consume();
      XpEvalExpr(ev, w, contextNode);
      XpSkipToCloseParen(ev.tokens, ev.index);
      break;
    case xptok::At:
      ev.Consume();
      AttributePrimary(ev, w, contextNode);
      break;
    default:
      if (!IsFunctionToken(next->id)) return XpEvalLocationPath(ev, w, contextNode);
      ev.Consume();
      XpEvalFunction(ev, w, contextNode);
      break;
  }
  if (w.kind != xpetNodeSet || !ev.Peek() || ev.NextIs(xptok::CloseBracket)) return;
  if (ev.NextIs(xptok::OpenBracket)) XpEvalPredicates(ev, w, false, false, contextNode);
  XpEvalPathContinuation(ev, w, contextNode);
}

// ---------------------------------------------------------------------------
// TXpValue

void TXpValue::FreeNodeSet() {
  if (fValueType == xpetNodeSet) fValueNodeSet.reset();
}

bool TXpValue::AsBoolean() const {
  switch (fValueType) {
    case xpetNodeSet: return fValueNodeSet && fValueNodeSet->Length() > 0;
    case xpetBoolean: return fValueBoolean;
    case xpetNumber: return fValueNumber != 0 && !std::isnan(fValueNumber);
    case xpetString: return !fValueString.empty();
    default: return false;
  }
}

double TXpValue::AsNumber() const {
  switch (fValueType) {
    case xpetNodeSet: {
      TXpWork w;
      if (fValueNodeSet) w.OwnList().CopyList(fValueNodeSet.get());
      return XpToNumber(w);
    }
    case xpetBoolean: return fValueBoolean ? 1 : 0;
    case xpetNumber: return fValueNumber;
    case xpetString:
      try {
        return XpXPathStrToNumber(fValueString);
      } catch (const EConvertError&) {
        throw EXpException(XpFormatMessage(xpmStringNotNumber, {XpQuotedText(fValueString)}));
      }
    default: return 0;
  }
}

WideString TXpValue::AsString() const {
  switch (fValueType) {
    case xpetNodeSet: {
      WideString text;
      if (fValueNodeSet)
        for (const TXpNode* node : fValueNodeSet->Nodes()) text += XpNodeStringValue(node);
      return text;
    }
    case xpetBoolean: return fValueBoolean ? u"true" : u"false";
    case xpetNumber: return XpXPathNumberToStr(fValueNumber);
    case xpetString: return fValueString;
    default: return {};
  }
}

void TXpValue::SetAsBoolean(bool value) {
  FreeNodeSet();
  fValueBoolean = value;
  fValueType = xpetBoolean;
}

void TXpValue::SetAsNodeSet(const TXpNodeList* list) {
  auto copy = std::make_unique<TXpNodeList>();
  copy->CopyList(list);
  FreeNodeSet();
  fValueNodeSet = std::move(copy);
  fValueType = xpetNodeSet;
}

void TXpValue::SetAsNumber(double value) {
  FreeNodeSet();
  fValueNumber = value;
  fValueType = xpetNumber;
}

void TXpValue::SetAsString(const WideString& value) {
  FreeNodeSet();
  fValueString = value;
  fValueType = xpetString;
}

std::unique_ptr<TXpValue> TXpValue::Clone() const {
  auto copy = std::make_unique<TXpValue>();
  copy->fValueType = fValueType;
  copy->fValueBoolean = fValueBoolean;
  copy->fValueNumber = fValueNumber;
  copy->fValueString = fValueString;
  if (fValueType == xpetNodeSet) {
    copy->fValueNodeSet = std::make_unique<TXpNodeList>();
    copy->fValueNodeSet->CopyList(fValueNodeSet.get());
  }
  return copy;
}

void TXpValue::SelectValue(const WideString& expr, TXpNode* node, const TXpNodeList* context) {
  std::unique_ptr<TXpValue> result = node->Select(expr, context);
  FreeNodeSet();
  fValueType = xpetUnknown;
  if (!result) return;
  fValueBoolean = result->fValueBoolean;
  fValueNumber = result->fValueNumber;
  fValueString = std::move(result->fValueString);
  fValueNodeSet = std::move(result->fValueNodeSet);
  fValueType = result->fValueType;
  result->fValueType = xpetUnknown;
}
