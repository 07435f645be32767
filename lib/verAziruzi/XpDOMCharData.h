#pragma once

// The nodes that carry text or stand for themselves: character data (text,
// CDATA sections, comments), processing instructions, entity references and
// document fragments.

#include "lib/verAziruzi/XpDOMNode.h"

class TXpCharacterData : public TXpNode {
public:
  const WideString& Data() const { return NodeValue(); }
  void SetData(WideString data) { SetNodeValue(std::move(data)); }
  int Length() const { return static_cast<int>(NodeValue().size()); }

  // Offsets count UTF-16 units from 0; none of these raises (see the header of
  // each for how offsets outside the text are taken).
  void AppendData(const WideString& data);
  // Nothing unless 0 <= offset < Length and count >= 1; clipped at the end.
  void DeleteData(int offset, int count);
  // A negative offset inserts at the start, one beyond the end appends.
  void InsertData(int offset, const WideString& data);
  void ReplaceData(int offset, int count, const WideString& data);
  // Empty when offset < 0, count < 1 or offset >= Length; clipped at the end.
  WideString SubStringData(int offset, int count) const;

protected:
  explicit TXpCharacterData(int nodeType) : TXpNode(nodeType) {}
};

class TXpText : public TXpCharacterData {
public:
  static TXpRef<TXpText> Create() { return TXpRef<TXpText>::Adopt(new TXpText(TEXT_NODE)); }

  // Empty, or tab, line feed, carriage return and space only.
  bool IsWhitespaceNode() const;
  // Keeps the first `offset` units and puts the rest in a new text node right
  // after this one; 0 <= offset < Length, else ecIndexSizeErr.
  TXpRef<TXpText> SplitText(int offset);

  TXpRef<TXpNode> CloneSelf(bool deep) const override;
  void WriteXml(WideString& out, int level) const override;

protected:
  explicit TXpText(int nodeType) : TXpCharacterData(nodeType) {}
};

class TXpCDataSection : public TXpText {
public:
  static TXpRef<TXpCDataSection> Create() {
    return TXpRef<TXpCDataSection>::Adopt(new TXpCDataSection());
  }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;
  void WriteXml(WideString& out, int level) const override;

private:
  TXpCDataSection() : TXpText(CDATA_SECTION_NODE) {}
};

class TXpComment : public TXpCharacterData {
public:
  static TXpRef<TXpComment> Create() { return TXpRef<TXpComment>::Adopt(new TXpComment()); }
  WideString StringValue() const override { return NodeValue(); }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;
  void WriteXml(WideString& out, int level) const override;

private:
  TXpComment() : TXpCharacterData(COMMENT_NODE) {}
};

class TXpProcessingInstruction : public TXpNode {
public:
  static TXpRef<TXpProcessingInstruction> Create() {
    return TXpRef<TXpProcessingInstruction>::Adopt(new TXpProcessingInstruction());
  }
  const WideString& Target() const { return NodeName(); }
  void SetTarget(const WideString& target) { SetNodeName(target); }
  const WideString& Data() const { return NodeValue(); }
  void SetData(WideString data) { SetNodeValue(std::move(data)); }
  WideString StringValue() const override { return NodeValue(); }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpProcessingInstruction() : TXpNode(PROCESSING_INSTRUCTION_NODE) {}
};

class TXpEntityReference : public TXpNode {
public:
  static TXpRef<TXpEntityReference> Create() {
    return TXpRef<TXpEntityReference>::Adopt(new TXpEntityReference());
  }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpEntityReference() : TXpNode(ENTITY_REFERENCE_NODE) {}
};

class TXpDocumentFragment : public TXpNode {
public:
  static TXpRef<TXpDocumentFragment> Create() {
    return TXpRef<TXpDocumentFragment>::Adopt(new TXpDocumentFragment());
  }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDocumentFragment() : TXpNode(DOCUMENT_FRAGMENT_NODE) {}
};
