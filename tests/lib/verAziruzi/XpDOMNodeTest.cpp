#include <gtest/gtest.h>

#include "DomFixture.h"

namespace {

class NodeTest : public DomTest {
protected:
  // doc > gpx > (a > (x, y), b, c)
  TXpElement* gpx = Elem(doc, u"gpx");
  TXpElement* a = Elem(gpx, u"a");
  TXpElement* x = Elem(a, u"x");
  TXpElement* y = Elem(a, u"y");
  TXpElement* b = Elem(gpx, u"b");
  TXpElement* c = Elem(gpx, u"c");

  std::string Shape() { return Children(gpx) + "|" + Children(a); }
};

TEST_F(NodeTest, FailedTreeOperationsRaiseTheirCodeAndChangeNothing) {
  TXpRef<TXpDocument> other = TXpDocument::Create();
  TXpRef<TXpElement> foreign = other->CreateElement(u"f");
  TXpText* text = Txt(c, u"t");
  const std::string before = Shape();
  struct Case {
    const char* what;
    std::function<void()> action;
    EXpExceptionCode code;
  };
  const Case cases[] = {
      {"append null", [&] { gpx->AppendChild(nullptr); }, ecInvalidParamErr},
      {"append foreign", [&] { gpx->AppendChild(foreign); }, ecWrongDocumentErr},
      {"append to text", [&] { text->AppendChild(b); }, ecHierarchyRequestErr},
      {"append self", [&] { a->AppendChild(a); }, ecHierarchyRequestErr},
      {"append parent", [&] { x->AppendChild(a); }, ecHierarchyRequestErr},
      {"append grandparent", [&] { x->AppendChild(gpx); }, ecHierarchyRequestErr},
      {"insert ancestor", [&] { a->InsertBefore(gpx, x); }, ecHierarchyRequestErr},
      {"insert before stranger", [&] { a->InsertBefore(b, c); }, ecNotFoundErr},
      {"insert null", [&] { a->InsertBefore(nullptr, x); }, ecInvalidParamErr},
      {"replace with ancestor", [&] { a->ReplaceChild(gpx, x); }, ecHierarchyRequestErr},
      {"replace stranger", [&] { a->ReplaceChild(b, c); }, ecNotFoundErr},
      {"replace with foreign", [&] { a->ReplaceChild(foreign, x); }, ecWrongDocumentErr},
      {"remove stranger", [&] { a->RemoveChild(b); }, ecNotFoundErr},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(DomCode(test.action), test.code) << test.what;
    EXPECT_EQ(Shape(), before) << test.what;
  }
  EXPECT_EQ(x->ParentNode(), a);
  EXPECT_EQ(b->RefCount(), 1);
  EXPECT_EQ(foreign->RefCount(), 1);
}

TEST_F(NodeTest, MovingANodeTakesItFromItsOldParentFirst) {
  a->AppendChild(c);  // from gpx into a
  EXPECT_EQ(Shape(), "a,b|x,y,c");
  EXPECT_EQ(c->ParentNode(), a);
  EXPECT_EQ(c->RefCount(), 1);

  a->InsertBefore(y, x);  // within the same list
  EXPECT_EQ(Children(a), "y,x,c");
  a->InsertBefore(x, x);  // before itself: nothing
  EXPECT_EQ(Children(a), "y,x,c");
  gpx->InsertBefore(y, a);
  EXPECT_EQ(Shape(), "y,a,b|x,c");

  TXpRef<TXpNode> old = gpx->ReplaceChild(x, b);  // x leaves a and takes b's place
  EXPECT_EQ(Shape(), "y,a,x|c");
  EXPECT_EQ(old.get(), b);
  EXPECT_EQ(b->ParentNode(), nullptr);
  EXPECT_EQ(b->RefCount(), 1);
  EXPECT_EQ(x->RefCount(), 1);

  TXpRef<TXpNode> same = gpx->ReplaceChild(x, x);
  EXPECT_EQ(Shape(), "y,a,x|c");
  EXPECT_EQ(x->RefCount(), 2);  // the tree's and the answer's
}

TEST_F(NodeTest, ReferenceCountsFollowTheHolders) {
  TXpRef<TXpElement> fresh = doc->CreateElement(u"n");
  EXPECT_EQ(fresh->RefCount(), 1);
  gpx->AppendChild(fresh);
  EXPECT_EQ(fresh->RefCount(), 2);
  {
    TXpNodeList list;
    list.Add(fresh);
    EXPECT_EQ(fresh->RefCount(), 3);
    TXpRef<TXpNode> removed = gpx->RemoveChild(fresh);
    EXPECT_EQ(fresh->RefCount(), 3);  // the list's went to the caller
    EXPECT_EQ(fresh->ParentNode(), nullptr);
  }
  EXPECT_EQ(fresh->RefCount(), 1);

  TXpRef<TXpDocumentFragment> fragment = doc->CreateDocumentFragment();
  TXpElement* p = Elem(fragment, u"p");
  Txt(fragment, u"q");
  b->AppendChild(fragment);
  EXPECT_EQ(Children(b), "p,q");
  EXPECT_EQ(Children(fragment), "p,q");
  EXPECT_NE(b->FirstChild(), p);
  EXPECT_EQ(p->RefCount(), 1);
  EXPECT_EQ(b->FirstChild()->RefCount(), 1);
  c->InsertBefore(fragment, nullptr);
  b->InsertBefore(fragment, b->LastChild());
  EXPECT_EQ(Children(b), "p,p,q,q");
}

TEST_F(NodeTest, SurvivorsOfADestroyedNodeNoLongerNameIt) {
  TXpRef<TXpNode> keptChild = TXpRef<TXpNode>::Share(x);
  a->SetNodeName(u"a");
  static_cast<TXpElement*>(a)->SetAttribute(u"k", u"v");
  TXpRef<TXpNode> keptAttribute = TXpRef<TXpNode>::Share(a->Attributes()->Item(0));
  TXpRef<TXpNode> removed = gpx->RemoveChild(a);
  removed.Reset();  // a dies
  EXPECT_EQ(keptChild->ParentNode(), nullptr);
  EXPECT_EQ(keptAttribute->ParentNode(), nullptr);
  EXPECT_EQ(keptChild->RefCount(), 1);

  TXpRef<TXpNode> keptB = TXpRef<TXpNode>::Share(b);
  gpx->RemoveAll();
  EXPECT_EQ(keptB->ParentNode(), nullptr);
  EXPECT_FALSE(gpx->HasChildNodes());
}

TEST_F(NodeTest, NavigationStaysRightWhileSiblingsComeAndGo) {
  EXPECT_EQ(a->NextSibling(), b);
  EXPECT_EQ(c->PreviousSibling(), b);
  EXPECT_EQ(c->NextSibling(), nullptr);
  EXPECT_EQ(a->PreviousSibling(), nullptr);
  gpx->InsertBefore(Elem(doc->DocumentElement()->LastChild(), u"tmp"), a);  // moves tmp to the front
  EXPECT_EQ(b->PreviousSibling(), a);
  EXPECT_EQ(a->PreviousSibling()->NodeName(), u"tmp");
  gpx->RemoveChild(gpx->FirstChild());
  gpx->RemoveChild(a);
  EXPECT_EQ(b->PreviousSibling(), nullptr);
  EXPECT_EQ(b->NextSibling(), c);
  EXPECT_EQ(b->IndexInParent(), 0);

  EXPECT_EQ(gpx->LastDescendantOrSelf(), c);
  EXPECT_EQ(b->LastDescendantOrSelf(), b);
  EXPECT_EQ(b->FirstChild(), nullptr);
  EXPECT_EQ(b->NextInDocument(), c);
  EXPECT_EQ(c->NextInDocument(), nullptr);
  EXPECT_EQ(c->PreviousInDocument(), b);
  EXPECT_EQ(b->PreviousInDocument(), gpx);
}

TEST_F(NodeTest, LevelCodesPathsAndDocumentOrder) {
  EXPECT_EQ(U8(doc->LevelCode()), "");
  EXPECT_EQ(U8(gpx->LevelCode()), "1");
  EXPECT_EQ(U8(y->LevelCode()), "1.1.2");
  EXPECT_EQ(U8(gpx->LocationPath()), "//gpx[1]");
  EXPECT_EQ(U8(c->LocationPath()), "//gpx[1]/c[3]");
  EXPECT_EQ(U8(doc->LocationPath()), "/");
  EXPECT_FALSE(gpx->IsAfter(doc));
  EXPECT_TRUE(b->IsAfter(a));
  EXPECT_FALSE(a->IsAfter(b));
  EXPECT_TRUE(y->IsAfter(a));   // a descendant comes after its ancestor
  EXPECT_FALSE(a->IsAfter(y));
  EXPECT_TRUE(b->IsAfter(y));
  EXPECT_FALSE(b->IsAfter(b));
}

TEST_F(NodeTest, TextGathersPiecesWithOrWithoutSpaces) {
  Txt(b, u"a");
  TXpElement* inner = Elem(b, u"i");
  Txt(inner, u"b");
  Txt(inner, u"");
  Comment(b, u"not text");
  TXpRef<TXpCDataSection> cdata = doc->CreateCDATASection(u"c");
  b->AppendChild(cdata);
  EXPECT_EQ(U8(b->Text()), "a b c");
  EXPECT_EQ(U8(b->StringValue()), "abc");
  EXPECT_EQ(U8(c->Text()), "");
  EXPECT_EQ(U8(b->FirstChild()->Text()), "a");
  EXPECT_EQ(U8(b->LastChild()->StringValue()), "c");
}

TEST_F(NodeTest, NormalizeMergesRunsOfTextNodes) {
  for (bool addSpace : {false, true}) {
    TXpElement* e = Elem(b, u"e");
    Txt(e, u"a");
    Txt(e, u"b");
    Comment(e, u"c");
    Txt(e, u"c");
    TXpElement* deeper = Elem(e, u"d");
    Txt(deeper, u"1");
    Txt(deeper, u"2");
    b->Normalize(addSpace);
    EXPECT_EQ(Children(e), addSpace ? "a b,,c,d" : "ab,,c,d");
    EXPECT_EQ(Children(deeper), addSpace ? "1 2" : "12");
    EXPECT_EQ(e->LastChild()->PreviousSibling()->NodeValue(), u"c");
    b->RemoveAll();
  }
}

TEST_F(NodeTest, NameMatchingFollowsTheDocumentsCaseRule) {
  EXPECT_TRUE(gpx->NameMatches(u"gpx"));
  EXPECT_FALSE(gpx->NameMatches(u"GPX"));
  doc->SetIgnoreCase(true);
  EXPECT_TRUE(gpx->NameMatches(u"GPX"));
  EXPECT_FALSE(gpx->NameMatches(u"GPXX"));
  TXpElement* accented = Elem(b, u"\u00e9t\u00e9");
  EXPECT_TRUE(accented->NameMatches(u"\u00e9T\u00e9"));
  EXPECT_FALSE(accented->NameMatches(u"\u00c9T\u00c9"));  // only a to z fold
}

TEST_F(NodeTest, GatheringByTypeAndName) {
  x->SetAttribute(u"k", u"1");
  b->SetAttribute(u"k", u"2");
  b->SetAttribute(u"m", u"3");
  Txt(b, u"t");
  EXPECT_EQ(gpx->GetChildNodesByNodeType(0)->Length(), 3);
  EXPECT_EQ(gpx->GetChildNodesByNodeType(2)->Length(), 2);  // b's attributes
  EXPECT_EQ(gpx->GetNodesByNodeType(1)->Length(), 5);
  EXPECT_EQ(gpx->GetNodesByNodeType(2)->Length(), 3);
  EXPECT_EQ(gpx->GetNodesByNodeType(3)->Length(), 1);
  EXPECT_EQ(gpx->GetChildrenByName(1, u"b")->Item(0), b);
  EXPECT_EQ(gpx->GetChildrenByName(2, u"k")->Length(), 1);
  const auto ks = gpx->GetDescendantsByType(2, u"k");
  ASSERT_EQ(ks->Length(), 2);
  EXPECT_EQ(ks->Item(0)->NodeValue(), u"1");
  EXPECT_EQ(doc->GetDescendantsByType(1, u"y")->Item(0), y);
  EXPECT_EQ(doc->GetDescendantsByType(0, u"nothing")->Length(), 0);
}

TEST_F(NodeTest, ClonesAreDeepOrShallowCopies) {
  x->SetAttribute(u"k", u"v");
  Txt(x, u"t");
  a->SetNodeId(7);
  TXpRef<TXpNode> shallow = a->CloneNode(false);
  EXPECT_FALSE(shallow->HasChildNodes());
  EXPECT_EQ(shallow->NodeId(), 7);
  EXPECT_EQ(shallow->ParentNode(), nullptr);
  TXpRef<TXpNode> deep = a->CloneNode(true);
  EXPECT_EQ(U8(deep->XmlDocument()), "<a><x k=\"v\">t</x><y/></a>");
  EXPECT_EQ(deep->FirstChild()->ParentNode(), deep.get());
  EXPECT_NE(deep->FirstChild(), x);
  EXPECT_EQ(doc->CloneNode(true).get(), nullptr);
}

TEST_F(NodeTest, NamespacePrefixesResolveThroughAncestors) {
  gpx->SetAttribute(u"xmlns", u"urn:gpx");
  gpx->SetAttribute(u"xmlns:h", u"urn:h");
  TXpElement* depth = Elem(x, u"h:depth");
  EXPECT_EQ(U8(depth->NamespaceURI()), "urn:h");
  EXPECT_EQ(U8(depth->Prefix()), "h");
  EXPECT_EQ(U8(depth->LocalName()), "depth");
  EXPECT_EQ(U8(x->NamespaceURI()), "urn:gpx");
  EXPECT_EQ(U8(depth->ResolveNSPrefix(u"q")), "");
  EXPECT_EQ(gpx->NodeStringType(), u"ELEMENT_NODE");
  EXPECT_TRUE(gpx->IsSupported(u"xml", u"2.0"));
  EXPECT_FALSE(gpx->IsSupported(u"core", u"2.0"));
}

}  // namespace
