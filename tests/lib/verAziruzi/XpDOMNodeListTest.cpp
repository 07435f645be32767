#include <gtest/gtest.h>

#include "DomFixture.h"

namespace {

class NodeListTest : public DomTest {
protected:
  TXpElement* root = Elem(doc, u"root");

  TXpElement* Keyed(const WideString& text, const WideString& key = {}) {
    TXpElement* element = Elem(root, u"e");
    Txt(element, text);
    if (!key.empty()) element->SetAttribute(u"k", key);
    return element;
  }
  static std::string Texts(const TXpNodeList& list) {
    std::string joined;
    for (const TXpNode* node : list.Nodes()) joined += U8(node->Text()) + ";";
    return joined;
  }
};

TEST_F(NodeListTest, IndexesOutsideTheListAnswerNullOrNothing) {
  TXpNodeList list;
  EXPECT_EQ(list.Last(), nullptr);
  EXPECT_EQ(list.Item(0), nullptr);
  list.Add(root);
  EXPECT_EQ(list.Item(-1), nullptr);
  EXPECT_EQ(list.Item(1), nullptr);
  EXPECT_EQ(list.Last(), root);
  list.Delete(1);
  list.Replace(1, doc);
  EXPECT_FALSE(list.Exchange(0, 1));
  EXPECT_FALSE(list.Move(1, 0));
  EXPECT_EQ(list.Length(), 1);
  // Caller errors are refused before anything is touched.
  EXPECT_THROW(list.Delete(-1), EAssertionFailed);
  EXPECT_THROW(list.Insert(2, root), EAssertionFailed);
  EXPECT_THROW(list.Exchange(-1, 0), EAssertionFailed);
  TXpNamedNodeMap map;
  EXPECT_THROW(map.Replace(0, root), EAssertionFailed);
  EXPECT_EQ(map.Item(0), nullptr);
  EXPECT_EQ(map.GetNamedItem(u"*"), nullptr);
  EXPECT_EQ(root->RefCount(), 2);  // the tree's and the list's
}

TEST_F(NodeListTest, ListsCountTheirReferences) {
  TXpRef<TXpElement> node = doc->CreateElement(u"n");
  auto first = std::make_unique<TXpNodeList>();
  TXpNodeList second;
  first->Add(node);
  second.Add(node);
  EXPECT_EQ(node->RefCount(), 3);
  first.reset();
  EXPECT_EQ(node->RefCount(), 2);
  EXPECT_EQ(second.Item(0), node.get());
  second.Replace(0, node);  // with itself: still alive
  EXPECT_EQ(node->RefCount(), 2);
  TXpNamedNodeMap map;
  map.Add(node);
  map.Replace(0, node);
  EXPECT_EQ(node->RefCount(), 3);

  bool destroyed = false;
  {
    TXpNodeList only;
    TXpRef<TXpText> text = doc->CreateTextNode(u"x");
    only.Add(text);
    TXpText* raw = text.Detach();
    raw->Release();  // the list now holds the only reference
    EXPECT_EQ(raw->RefCount(), 1);
    only.Delete(0);
    destroyed = only.Length() == 0;
  }
  EXPECT_TRUE(destroyed);
}

TEST_F(NodeListTest, ExchangeMoveAndCopies) {
  TXpElement* a = Keyed(u"a");
  TXpElement* b = Keyed(u"b");
  TXpElement* c = Keyed(u"c");
  TXpNodeList list;
  list.CopyList(root->ChildNodes());
  list.CopyList(nullptr);
  EXPECT_TRUE(list.Exchange(0, 2));
  EXPECT_EQ(Texts(list), "c;b;a;");
  EXPECT_TRUE(list.Move(0, 2));
  EXPECT_EQ(Texts(list), "b;a;c;");
  list.CopyList(&list);
  EXPECT_EQ(list.Length(), 6);
  EXPECT_EQ(a->RefCount(), 3);
  a->SetAttribute(u"p", u"1");
  a->SetAttribute(u"q", u"2");
  TXpNodeList attributes;
  attributes.CopyNamedNodeMap(a->Attributes());
  EXPECT_EQ(attributes.Length(), 2);
  EXPECT_EQ(U8(attributes.XmlDocument()), "");
  TXpNodeList elements;
  elements.Add(b);
  elements.Add(c);
  EXPECT_EQ(U8(elements.XmlDocument()), "<e>b</e><e>c</e>");
}

TEST_F(NodeListTest, SortByTextOrAttributeComputesEachKeyOnce) {
  Keyed(u"b", u"2");
  Keyed(u"a");
  Keyed(u"C", u"1");
  TXpNodeList list;
  list.CopyList(root->ChildNodes());
  list.Sort(u"", 0);
  EXPECT_EQ(Texts(list), "C;a;b;");
  list.Sort(u"", 1);
  EXPECT_EQ(Texts(list), "b;a;C;");
  list.Sort(u"k", 0);
  EXPECT_EQ(Texts(list), "a;C;b;");  // without the attribute: key '' first
  list.Add(doc);                    // not an element: key ''
  list.Sort(u"k", 1);
  EXPECT_EQ(list.Item(0)->Text(), u"b");
  TXpNodeList empty;
  empty.Sort(u"", 0);
  EXPECT_EQ(empty.Length(), 0);
}

TEST_F(NodeListTest, NamedLookupsAndRemovals) {
  root->SetAttribute(u"lat", u"1");
  root->SetAttribute(u"lon", u"2");
  TXpNamedNodeMap* map = root->Attributes();
  EXPECT_EQ(map->GetNamedItem(u"*")->NodeName(), u"lat");
  EXPECT_EQ(map->GetNamedItem(u"LAT"), nullptr);
  doc->SetIgnoreCase(true);
  EXPECT_EQ(map->GetNamedItem(u"LAT")->NodeName(), u"lat");
  doc->SetIgnoreCase(false);

  EXPECT_EQ(map->RemoveNamedItemNS(u"", u"lat").get(), nullptr);
  TXpRef<TXpNode> removed = map->RemoveNamedItem(u"lat");
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->RefCount(), 1);
  EXPECT_EQ(map->Length(), 1);

  TXpRef<TXpAttribute> again = doc->CreateAttribute(u"lon");
  again->SetValue(u"3");
  TXpRef<TXpNode> old = map->SetNamedItem(again);
  EXPECT_EQ(old->NodeValue(), u"2");
  EXPECT_EQ(map->Item(map->Length() - 1), again.get());
  EXPECT_EQ(again->RefCount(), 2);
  TXpRef<TXpNode> same = map->SetNamedItem(again);  // itself: stays, answered
  EXPECT_EQ(same.get(), again.get());
  EXPECT_EQ(map->Length(), 1);

  root->SetAttribute(u"xmlns:x", u"urn:x");  // a prefix resolves through the declarations
  root->SetAttributeNS(u"urn:x", u"x:a", u"v");
  TXpRef<TXpNode> found = map->GetNamedItemNS(u"urn:x", u"a");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->RefCount(), 2);
  EXPECT_EQ(map->GetNamedItemNS(u"urn:y", u"a").get(), nullptr);
  EXPECT_EQ(map->RemoveNamedItemNS(u"urn:x", u"a").get(), found.get());
}

TEST_F(NodeListTest, MapClonesAndOwnerDocuments) {
  root->SetAttribute(u"a", u"1");
  root->SetAttribute(u"b", u"2");
  std::unique_ptr<TXpNamedNodeMap> copy = root->Attributes()->Clone();
  ASSERT_EQ(copy->Length(), 2);
  EXPECT_NE(copy->Item(0), root->Attributes()->Item(0));
  EXPECT_EQ(copy->Item(0)->RefCount(), 1);
  EXPECT_EQ(copy->Item(1)->NodeValue(), u"2");
  TXpRef<TXpDocument> other = TXpDocument::Create();
  copy->SetOwnerDocument(other);
  EXPECT_EQ(copy->Item(1)->OwnerDocument(), other.get());
}

}  // namespace
