#include "lib/verAziruzi/XpDOMCharData.h"

#include <algorithm>

#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpDOMWriter.h"

// Offsets and counts are widened before they are added, so values near the
// integer limit clip instead of overflowing.

void TXpCharacterData::AppendData(const WideString& data) {
  WideString value = NodeValue();
  value += data;
  SetNodeValue(std::move(value));
}

void TXpCharacterData::DeleteData(int offset, int count) {
  const std::int64_t length = Length();
  if (offset < 0 || offset >= length || count < 1) return;
  const std::int64_t end = std::min<std::int64_t>(length, std::int64_t{offset} + count);
  WideString value = NodeValue();
  value.erase(static_cast<std::size_t>(offset), static_cast<std::size_t>(end - offset));
  SetNodeValue(std::move(value));
}

void TXpCharacterData::InsertData(int offset, const WideString& data) {
  const std::int64_t at = std::clamp<std::int64_t>(offset, 0, Length());
  WideString value = NodeValue();
  value.insert(static_cast<std::size_t>(at), data);
  SetNodeValue(std::move(value));
}

void TXpCharacterData::ReplaceData(int offset, int count, const WideString& data) {
  DeleteData(offset, count);
  InsertData(offset, data);
}

WideString TXpCharacterData::SubStringData(int offset, int count) const {
  const std::int64_t length = Length();
  if (offset < 0 || count < 1 || offset >= length) return {};
  const std::int64_t end = std::min<std::int64_t>(length, std::int64_t{offset} + count);
  return NodeValue().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(end - offset));
}

bool TXpText::IsWhitespaceNode() const {
  return std::all_of(NodeValue().begin(), NodeValue().end(), [](char16_t unit) { return XpIsXmlWhitespace(unit); });
}

TXpRef<TXpText> TXpText::SplitText(int offset) {
  if (offset < 0 || offset >= Length()) XpRaiseDOM(ecIndexSizeErr);
  TXpRef<TXpText> rest = TXpText::Create();
  rest->SetOwnerDocument(OwnerDocument());
  rest->SetNodeValue(NodeValue().substr(static_cast<std::size_t>(offset)));
  WideString kept = NodeValue().substr(0, static_cast<std::size_t>(offset));
  // Without a parent the second part has no place to go: it stays detached and
  // the caller holds it alone.
  if (TXpNode* parent = ParentNode()) parent->InsertBefore(rest, NextSibling());
  SetNodeValue(std::move(kept));
  return rest;
}

TXpRef<TXpNode> TXpText::CloneSelf(bool) const {
  TXpRef<TXpText> copy = CloneCommon<TXpText>();
  copy->SetOutputEscaping(OutputEscaping());
  return copy;
}

TXpRef<TXpNode> TXpCDataSection::CloneSelf(bool) const { return CloneCommon<TXpCDataSection>(); }

TXpRef<TXpNode> TXpComment::CloneSelf(bool) const { return CloneCommon<TXpComment>(); }

TXpRef<TXpNode> TXpProcessingInstruction::CloneSelf(bool) const { return CloneCommon<TXpProcessingInstruction>(); }

TXpRef<TXpNode> TXpEntityReference::CloneSelf(bool) const { return CloneCommon<TXpEntityReference>(); }

TXpRef<TXpNode> TXpDocumentFragment::CloneSelf(bool) const { return CloneCommon<TXpDocumentFragment>(); }

void TXpText::WriteXml(WideString& out, int level) const { XpWriteTextNode(this, out, level); }

void TXpCDataSection::WriteXml(WideString& out, int level) const { XpWriteCDataNode(this, out, level); }

void TXpComment::WriteXml(WideString& out, int level) const { XpWriteCommentNode(this, out, level); }
