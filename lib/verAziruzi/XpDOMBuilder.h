#pragma once

// Builds a document tree from a parser's events, in document order: the small
// loader the tests and the benchmark share until the object model takes over.
// The top of its stack is the node that receives what comes next.

#include <vector>

#include "lib/verAziruzi/XpDOM.h"
#include "lib/verAziruzi/XpParser.h"

class TXpDOMBuilder {
public:
  // Connects the parser's events; the builder must outlive every parse it serves.
  TXpDOMBuilder(TXpParser& parser, TXpDocument* document);
  TXpDOMBuilder(const TXpDOMBuilder&) = delete;
  TXpDOMBuilder& operator=(const TXpDOMBuilder&) = delete;
  ~TXpDOMBuilder();

  // Each load starts from an empty document; a failed one leaves it empty and
  // answers False, the reasons in the parser's Errors.
  bool LoadDataSource(const WideString& source);
  bool LoadMemory(const void* buffer, int size);

  TXpDocument* Document() const { return fDocument; }

private:
  void Prepare();
  bool Finish(bool parsed);
  void Connect();
  TXpNode* Top() const { return fStack.back(); }
  // Appends a new node to the top; with `push` it also becomes the top.
  void Add(TXpNode* node, bool push = false);
  void Pop();

  TXpParser& fParser;
  TXpRef<TXpDocument> fDocument;
  std::vector<TXpRef<TXpNode>> fStack;
  std::vector<TXpRef<TXpAttribute>> fPendingAttributes;
};
