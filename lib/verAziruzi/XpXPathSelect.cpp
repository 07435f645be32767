// The Select family of the node: each tokenizes with the owner document's
// parser, evaluates from the node and reads the result as it needs it.

#include <cstdint>
#include <new>
#include <optional>

#include "lib/verAziruzi/XpXPathEval.h"

namespace {

// One query from a node: the tokens (shared with the document's cache) and the
// working value, the context list copied in when given.
class Query {
public:
  Query(TXpNode* node, const WideString& expr, const TXpNodeList* context) : fNode(node) {
    if (TXpDocument* document = node->OwnerDocument()) {
      fTokens = document->XPathParser().Tokens(expr);
      fBudget = document->XPathParser().WorkBudget();
    } else {
      fTokens = std::make_shared<const TXpTokens>(TXpXPathParser::Scan(expr));
    }
    if (context) work.OwnList().CopyList(context);
  }

  void Evaluate() {
    XpCheckBracketNesting(*fTokens);
    TXpEvaluation evaluation(fNode, *fTokens, fBudget);
    // The caller's context list is what position() and last() read at the top.
    const std::shared_ptr<TXpNodeList> context = work.list;
    evaluation.contextList = context.get();
    evaluation.candidate = fNode;
    evaluation.candidatePosition = context->IndexOf(fNode) + 1;
    XpEvalExpr(evaluation, work, fNode);
  }

  const TXpTokens& Tokens() const { return *fTokens; }

  TXpWork work;

private:
  TXpNode* fNode;
  std::shared_ptr<const TXpTokens> fTokens;
  std::uint64_t fBudget = TXpXPathParser::kDefaultWorkBudget;
};

// Runs the query and reads its result; any failure but a lack of memory and a
// refusal for the work it would take gives the neutral value.
template <class Result, class Read>
Result Guarded(TXpNode* node, const WideString& expr, const TXpNodeList* context, Result neutral, Read read) {
  std::optional<Query> query;
  try {
    query.emplace(node, expr, context);
    query->Evaluate();
    return read(query->work);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const TXpXPathWorkExceeded&) {
    throw;
  } catch (...) {
    return neutral;
  }
}

}  // namespace

std::unique_ptr<TXpValue> TXpNode::Select(const WideString& query, const TXpNodeList* context) {
  Query evaluation(this, query, context);
  evaluation.Evaluate();
  const TXpWork& w = evaluation.work;
  auto value = std::make_unique<TXpValue>();
  switch (w.kind) {
    case xpetNodeSet: value->SetAsNodeSet(w.list.get()); break;
    case xpetBoolean: value->SetAsBoolean(XpToBoolean(w)); break;
    case xpetNumber: value->SetAsNumber(XpToNumber(w)); break;
    case xpetString: value->SetAsString(XpToString(w)); break;
    default: break;
  }
  return value;
}

std::unique_ptr<TXpNodeList> TXpNode::SelectNodes(const WideString& query) {
  std::optional<Query> evaluation;
  try {
    evaluation.emplace(this, query, nullptr);
    // A lone name and a lone '/' answer without an evaluation.
    const TXpTokens& tokens = evaluation->Tokens();
    if (tokens.size() == 1 && tokens[0].id == xptok::Name) return GetChildrenByName(ELEMENT_NODE, tokens[0].text);
    if (tokens.size() == 1 && tokens[0].id == xptok::Slash) {
      auto list = std::make_unique<TXpNodeList>();
      if (OwnerDocument()) list->Add(OwnerDocument());
      return list;
    }
    evaluation->Evaluate();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const TXpXPathWorkExceeded&) {
    throw;
  } catch (...) {
    // The list as far as it was filled.
  }
  auto list = std::make_unique<TXpNodeList>();
  if (evaluation) list->CopyList(evaluation->work.list.get());
  return list;
}

TXpNode* TXpNode::SelectSingleNode(const WideString& query) { return SelectNodes(query)->Item(0); }

bool TXpNode::SelectBoolean(const WideString& query) { return SelectBooleanContext(query, nullptr); }

bool TXpNode::SelectBooleanContext(const WideString& query, const TXpNodeList* context) {
  return Guarded(this, query, context, false, [](const TXpWork& w) { return XpToBoolean(w); });
}

int TXpNode::SelectInteger(const WideString& query) {
  return Guarded(this, query, nullptr, 0, [](const TXpWork& w) { return XpToInteger(w); });
}

double TXpNode::SelectNumber(const WideString& query) { return SelectNumberContext(query, nullptr); }

double TXpNode::SelectNumberContext(const WideString& query, const TXpNodeList* context) {
  return Guarded(this, query, context, 0.0, [](const TXpWork& w) { return XpToNumber(w); });
}

WideString TXpNode::SelectString(const WideString& query) { return SelectStringContext(query, nullptr); }

WideString TXpNode::SelectStringContext(const WideString& query, const TXpNodeList* context) {
  return Guarded(this, query, context, WideString(), [](const TXpWork& w) { return XpToString(w); });
}
