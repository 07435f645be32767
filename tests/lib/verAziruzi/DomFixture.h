#pragma once

// Small helpers for the document-tree tests: a fresh document and one-line
// builders of children.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "lib/verAziruzi/XpDOM.h"

class DomTest : public ::testing::Test {
protected:
  TXpRef<TXpDocument> doc = TXpDocument::Create();

  TXpElement* Elem(TXpNode* parent, const WideString& name) {
    TXpRef<TXpElement> element = doc->CreateElement(name);
    parent->AppendChild(element);
    return element;
  }
  TXpText* Txt(TXpNode* parent, const WideString& text) {
    TXpRef<TXpText> node = doc->CreateTextNode(text);
    parent->AppendChild(node);
    return node;
  }
  TXpComment* Comment(TXpNode* parent, const WideString& text) {
    TXpRef<TXpComment> node = doc->CreateComment(text);
    parent->AppendChild(node);
    return node;
  }
  // The names (or, for text, the values) of the children, joined by ",".
  static std::string Children(const TXpNode* parent) {
    std::string text;
    for (const TXpNode* child : parent->ChildNodes()->Nodes()) {
      if (!text.empty()) text += ',';
      text += XpWideToUtf8(child->NodeType() == TEXT_NODE ? child->NodeValue() : child->NodeName());
    }
    return text;
  }
};

inline std::string U8(const WideString& text) { return XpWideToUtf8(text); }

// The DOM error code an action raises; ecNone when it raises nothing.
inline EXpExceptionCode DomCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const TXpDOMException& error) {
    return error.Code();
  }
  return ecNone;
}
