#include <gtest/gtest.h>

#include "DomFixture.h"

namespace {

// A chain of elements far deeper than any call stack would survive if a walk
// recursed.
class DeepTreeTest : public DomTest {
protected:
  static constexpr int kDepth = 100000;
  TXpElement* top = nullptr;
  TXpElement* bottom = nullptr;

  void SetUp() override {
    top = Elem(doc, u"d");
    bottom = top;
    for (int i = 1; i < kDepth; ++i) bottom = Elem(bottom, i % 2 ? u"e" : u"d");
    Txt(bottom, u"x");
    Txt(bottom, u"y");
  }
};

TEST_F(DeepTreeTest, IsSearchedCopiedWrittenAndFreedWithoutRecursion) {
  EXPECT_EQ(top->FindElement(u"nothing"), nullptr);
  EXPECT_EQ(top->GetElementsByTagName(u"e")->Length(), kDepth / 2);
  EXPECT_EQ(doc->GetElementsByTagName(u"d")->Length(), kDepth / 2);
  EXPECT_EQ(top->GetDescendantsByType(3, u"")->Length(), 2);  // text nodes bear the empty name
  EXPECT_EQ(top->GetNodesByNodeType(3)->Length(), 2);
  EXPECT_EQ(U8(top->Text()), "x y");
  top->Normalize(false);
  EXPECT_EQ(U8(top->StringValue()), "xy");
  EXPECT_EQ(top->LastDescendantOrSelf()->NodeValue(), u"xy");

  const WideString xml = top->XmlDocument();
  EXPECT_EQ(xml.size(), static_cast<std::size_t>(kDepth) * 7 + 2);  // "<d>" + "</d>" per level, and "xy"
  EXPECT_EQ(xml.substr(0, 6), u"<d><e>");

  TXpRef<TXpNode> copy = top->CloneNode(true);
  EXPECT_EQ(copy->LastDescendantOrSelf()->NodeValue(), u"xy");

  // Sorting a long list by attribute has no recursion either.
  TXpNodeList list;
  list.CopyList(top->GetElementsByTagName(u"*").get());
  list.Sort(u"k", 1);
  EXPECT_EQ(list.Length(), kDepth - 1);

  // A detached deep chain, a copy and the document all go without recursion.
  TXpRef<TXpNode> detached = doc->RemoveChild(top);
  copy.Reset();
  detached.Reset();
  EXPECT_EQ(doc->DocumentElement(), nullptr);
}

TEST(DocumentOrder, LongSiblingRunsAreWalkedInOrderAfterEdits) {
  TXpRef<TXpDocument> doc = TXpDocument::Create();
  TXpRef<TXpElement> segment = doc->CreateElement(u"trkseg");
  doc->AppendChild(segment);
  constexpr int kPoints = 20000;
  for (int i = 0; i < kPoints; ++i) segment->CreateChildElement(u"trkpt");
  segment->RemoveChild(segment->FirstChild());
  TXpRef<TXpElement> front = doc->CreateElement(u"first");
  segment->InsertBefore(front, segment->FirstChild());
  segment->InsertBefore(doc->CreateElement(u"middle"), segment->ChildNodes()->Item(kPoints / 2));
  int count = 0;
  const TXpNode* last = nullptr;
  for (const TXpNode* node = segment->FirstChild(); node; node = node->NextSibling()) {
    EXPECT_EQ(node->PreviousSibling(), last);
    last = node;
    ++count;
  }
  EXPECT_EQ(count, kPoints + 1);
  EXPECT_EQ(segment->ChildNodes()->Item(kPoints / 2)->NodeName(), u"middle");
  count = 0;
  for (const TXpNode* node = doc; node; node = node->NextInDocument()) ++count;
  EXPECT_EQ(count, kPoints + 3);
}

}  // namespace
