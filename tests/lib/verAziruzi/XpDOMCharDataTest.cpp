#include <gtest/gtest.h>

#include <climits>

#include "DomFixture.h"

namespace {

class CharDataTest : public DomTest {
protected:
  TXpElement* root = Elem(doc, u"r");

  // The text after an operation on a text node holding `start`.
  std::string After(const WideString& start, const std::function<void(TXpText&)>& operation) {
    TXpRef<TXpText> text = doc->CreateTextNode(start);
    operation(*text);
    return U8(text->Data());
  }
};

TEST_F(CharDataTest, DataOperationsClipOffsetsInsteadOfFailing) {
  struct Case {
    const char* what;
    std::function<void(TXpText&)> operation;
    const char* start;
    const char* result;
  };
  const Case cases[] = {
      {"delete clipped", [](TXpText& t) { t.DeleteData(2, 100); }, "abcdef", "ab"},
      {"delete at end", [](TXpText& t) { t.DeleteData(6, 1); }, "abcdef", "abcdef"},
      {"delete negative", [](TXpText& t) { t.DeleteData(-1, 2); }, "abcdef", "abcdef"},
      {"delete none", [](TXpText& t) { t.DeleteData(1, 0); }, "abcdef", "abcdef"},
      {"delete near limit", [](TXpText& t) { t.DeleteData(1, INT_MAX); }, "abcdef", "a"},
      {"insert before start", [](TXpText& t) { t.InsertData(-5, u"x"); }, "ab", "xab"},
      {"insert beyond end", [](TXpText& t) { t.InsertData(9, u"x"); }, "ab", "abx"},
      {"insert at limit", [](TXpText& t) { t.InsertData(INT_MAX, u"x"); }, "ab", "abx"},
      {"replace", [](TXpText& t) { t.ReplaceData(1, 2, u"XY"); }, "abcd", "aXYd"},
      {"append", [](TXpText& t) { t.AppendData(u"cd"); }, "ab", "abcd"},
  };
  for (const Case& test : cases)
    EXPECT_EQ(After(XpUtf8ToWide(test.start), test.operation), test.result) << test.what;

  TXpRef<TXpText> text = doc->CreateTextNode(u"abcdef");
  EXPECT_EQ(U8(text->SubStringData(1, 3)), "bcd");
  EXPECT_EQ(U8(text->SubStringData(4, 10)), "ef");
  EXPECT_EQ(U8(text->SubStringData(4, INT_MAX)), "ef");
  EXPECT_EQ(U8(text->SubStringData(6, 1)), "");
  EXPECT_EQ(U8(text->SubStringData(-1, 2)), "");
  EXPECT_EQ(text->Length(), 6);
}

TEST_F(CharDataTest, SplitTextPutsTheRestRightAfter) {
  Elem(root, u"e1");
  TXpText* text = Txt(root, u"abc");
  Elem(root, u"e2");
  TXpRef<TXpText> rest = text->SplitText(1);
  EXPECT_EQ(Children(root), "e1,a,bc,e2");
  EXPECT_EQ(rest->RefCount(), 2);  // the tree's and the caller's
  TXpRef<TXpText> all = text->SplitText(0);
  EXPECT_EQ(Children(root), "e1,,a,bc,e2");
  EXPECT_EQ(DomCode([&] { text->SplitText(0); }), ecIndexSizeErr);
  EXPECT_EQ(DomCode([&] { rest->SplitText(2); }), ecIndexSizeErr);
  EXPECT_EQ(Children(root), "e1,,a,bc,e2");

  TXpRef<TXpCDataSection> cdata = doc->CreateCDATASection(u"xy");
  root->AppendChild(cdata);
  TXpRef<TXpText> second = cdata->SplitText(1);
  EXPECT_EQ(second->NodeType(), TEXT_NODE);
  EXPECT_EQ(cdata->Data(), u"x");

  TXpRef<TXpText> loose = doc->CreateTextNode(u"pq");
  TXpRef<TXpText> tail = loose->SplitText(1);
  EXPECT_EQ(tail->ParentNode(), nullptr);
  EXPECT_EQ(tail->RefCount(), 1);
  EXPECT_EQ(tail->Data(), u"q");
}

TEST_F(CharDataTest, WhitespaceNodesAndClones) {
  EXPECT_TRUE(doc->CreateTextNode(u"\t\n\r ")->IsWhitespaceNode());
  EXPECT_TRUE(doc->CreateTextNode(u"")->IsWhitespaceNode());
  EXPECT_FALSE(doc->CreateTextNode(u"\u00a0")->IsWhitespaceNode());

  TXpRef<TXpText> text = doc->CreateTextNode(u"t");
  text->SetOutputEscaping(false);
  TXpRef<TXpNode> textCopy = text->CloneNode(true);
  EXPECT_FALSE(textCopy->OutputEscaping());
  TXpRef<TXpCDataSection> cdata = doc->CreateCDATASection(u"c");
  cdata->SetOutputEscaping(false);
  TXpRef<TXpNode> cdataCopy = cdata->CloneNode(true);
  EXPECT_EQ(cdataCopy->NodeType(), CDATA_SECTION_NODE);
  EXPECT_TRUE(cdataCopy->OutputEscaping());

  TXpRef<TXpProcessingInstruction> pi = doc->CreateProcessingInstruction(u"target", u"data");
  pi->SetNodeId(4);
  TXpRef<TXpNode> piCopy = pi->CloneNode(false);
  EXPECT_EQ(piCopy->NodeName(), u"target");
  EXPECT_EQ(piCopy->NodeValue(), u"data");
  EXPECT_EQ(piCopy->NodeId(), 4);
  EXPECT_EQ(U8(pi->StringValue()), "data");
  EXPECT_EQ(U8(doc->CreateComment(u"c")->StringValue()), "c");

  TXpRef<TXpDocumentFragment> fragment = doc->CreateDocumentFragment();
  Txt(fragment, u"a");
  EXPECT_EQ(fragment->CloneNode(true)->ChildNodes()->Length(), 1);
  EXPECT_EQ(fragment->CloneNode(false)->ChildNodes()->Length(), 0);
  EXPECT_EQ(doc->CreateEntityReference(u"amp")->CloneNode(false)->NodeType(), ENTITY_REFERENCE_NODE);
}

}  // namespace
