#include <gtest/gtest.h>

#include "DomFixture.h"

namespace {

class DocumentTest : public DomTest {};

TEST_F(DocumentTest, NewDocumentsStartWithTheirDefaults) {
  EXPECT_EQ(U8(doc->IdAttribute()), "id");
  EXPECT_EQ(doc->LineBreakMode(), lbmDefault);
  EXPECT_EQ(doc->DocType(), nullptr);
  EXPECT_EQ(doc->DocumentElement(), nullptr);
  EXPECT_EQ(U8(doc->XmlDTD()), "");
  EXPECT_EQ(doc->OwnerDocument(), doc.get());
  EXPECT_FALSE(doc->IgnoreCase());
  EXPECT_EQ(U8(doc->LineBreakText()), "\r\n");
  EXPECT_TRUE(doc->NeedsLineBreakReplace());
  doc->SetLineBreakMode(lbmLF);
  EXPECT_FALSE(doc->NeedsLineBreakReplace());
  EXPECT_EQ(U8(doc->LineBreakText()), "\n");
  doc->SetLineBreakMode(lbmCR);
  EXPECT_EQ(U8(doc->LineBreakText()), "\r");
}

TEST_F(DocumentTest, FactoriesCheckNames) {
  EXPECT_EQ(DomCode([&] { doc->CreateElement(u""); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { doc->CreateElement(u"1a"); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { doc->CreateAttribute(u"a b"); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { doc->CreateElementNS(u"u", u""); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { doc->CreateEntityReference(u"&"); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { doc->CreateProcessingInstruction(u"", u"d"); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { doc->CreateProcessingInstruction(u"1a", u""); }), ecNone);
  TXpRef<TXpElement> element = doc->CreateElementNS(u"urn:g", u"g:x");
  EXPECT_EQ(U8(element->Defaultnamespace()), "urn:g");
  EXPECT_EQ(element->OwnerDocument(), doc.get());
  TXpRef<TXpAttribute> attribute = doc->CreateAttributeNS(u"urn:a", u"a");
  EXPECT_EQ(U8(attribute->Defaultnamespace()), "urn:a");
  // Names are shared by the document's nodes.
  TXpRef<TXpElement> twin = doc->CreateElement(u"g:x");
  EXPECT_EQ(&twin->NodeName(), &element->NodeName());
}

TEST_F(DocumentTest, DocumentWideTagNameSearches) {
  TXpRef<TXpComment> comment = doc->CreateComment(u"c");
  doc->AppendChild(comment);
  TXpElement* gpx = Elem(doc, u"gpx");
  Elem(Elem(gpx, u"trk"), u"h:depth");
  Elem(gpx, u"h:x");
  const auto all = doc->GetElementsByTagName(u"*");
  ASSERT_EQ(all->Length(), 4);
  EXPECT_EQ(all->Item(0), gpx);
  EXPECT_EQ(doc->GetElementsByTagName(u"h:*")->Length(), 2);
  EXPECT_EQ(doc->GetElementsByTagName(u"h:depth")->Length(), 1);  // full names here
  EXPECT_EQ(doc->GetElementsByTagName(u"TRK")->Length(), 0);
  doc->SetIgnoreCase(true);
  EXPECT_EQ(doc->GetElementsByTagName(u"TRK")->Length(), 1);
  gpx->SetAttribute(u"xmlns:h", u"urn:h");
  EXPECT_EQ(doc->GetElementsByTagNameNS(u"urn:h", u"*")->Length(), 2);
  EXPECT_EQ(doc->GetElementsByTagNameNS(u"*", u"x")->Length(), 1);
  TXpRef<TXpDocument> empty = TXpDocument::Create();
  EXPECT_EQ(empty->GetElementsByTagName(u"*")->Length(), 0);
}

TEST_F(DocumentTest, ImportedNodesBelongToTheirNewDocument) {
  TXpRef<TXpDocument> other = TXpDocument::Create();
  TXpRef<TXpElement> source = other->CreateElement(u"e");
  source->SetAttribute(u"a", u"1");
  source->CreateChildText(u"t");
  EXPECT_EQ(DomCode([&] { doc->AppendChild(source); }), ecWrongDocumentErr);
  TXpRef<TXpNode> copy = doc->ImportNode(source, true);
  EXPECT_EQ(copy->OwnerDocument(), doc.get());
  EXPECT_EQ(copy->FirstChild()->OwnerDocument(), doc.get());
  EXPECT_EQ(copy->Attributes()->Item(0)->OwnerDocument(), doc.get());
  EXPECT_EQ(DomCode([&] { doc->AppendChild(copy); }), ecNone);
  other.Reset();
  source.Reset();
  EXPECT_EQ(U8(doc->DocumentElement()->XmlDocument()), "<e a=\"1\">t</e>");
  EXPECT_EQ(doc->ImportNode(doc, true).get(), nullptr);
}

TEST_F(DocumentTest, ImportedElementsKeepTheirNamespaces) {
  TXpRef<TXpDocument> other = TXpDocument::Create();
  doc->SetDefaultnamespace(u"urn:here");
  TXpRef<TXpElement> gpx = other->CreateElement(u"gpx");
  other->AppendChild(gpx);
  gpx->SetAttribute(u"xmlns", u"urn:gpx");
  gpx->SetAttribute(u"xmlns:x", u"urn:x");
  TXpElement* extensions = gpx->CreateChildElement(u"extensions");
  extensions->SetAttribute(u"xmlns:x", u"urn:near");  // the nearest declaration is the one in force
  TXpElement* foreign = extensions->CreateChildElement(u"x:depth");
  TXpElement* plain = foreign->CreateChildElement(u"unit");
  TXpElement* own = foreign->CreateChildElement(u"own");
  own->SetAttribute(u"xmlns", u"urn:own");

  TXpElement* root = Elem(doc, u"root");
  struct Case {
    TXpElement* source;
    const char* namespaceURI;
  };
  for (const Case& test : {Case{extensions, "urn:gpx"}, Case{foreign, "urn:near"}, Case{plain, "urn:gpx"},
                           Case{own, "urn:own"}}) {
    ASSERT_EQ(U8(test.source->NamespaceURI()), test.namespaceURI);
    TXpRef<TXpNode> copy = doc->ImportNode(test.source, true);
    EXPECT_EQ(U8(copy->NamespaceURI()), test.namespaceURI) << U8(test.source->NodeName());
    TXpElement* holder = Elem(root, u"h");
    holder->SetAttribute(u"xmlns:x", u"urn:elsewhere");
    holder->AppendChild(copy);
    EXPECT_EQ(U8(copy->NamespaceURI()), test.namespaceURI) << "inserted below other declarations";
  }
  TXpRef<TXpNode> deep = doc->ImportNode(foreign, true);
  EXPECT_EQ(U8(deep->FirstChild()->NamespaceURI()), "urn:gpx");
  TXpRef<TXpNode> attribute = doc->ImportNode(gpx->GetAttributeNode(u"xmlns"), false);
  EXPECT_EQ(U8(attribute->Defaultnamespace()), "");  // an attribute's namespace is its own
}

TEST_F(DocumentTest, Implementation) {
  TXpDomImplementation& implementation = doc->DomImplementation();
  EXPECT_TRUE(implementation.HasFeature(u"xml", u"1.0"));
  EXPECT_TRUE(implementation.HasFeature(u"core", u"2.0"));
  EXPECT_FALSE(implementation.HasFeature(u"CORE", u"1.0"));
  TXpRef<TXpDocument> made = implementation.CreateDocument(u"", u"gpx", nullptr);
  ASSERT_NE(made->DocumentElement(), nullptr);
  EXPECT_EQ(U8(made->DocumentElement()->NodeName()), "gpx");
  EXPECT_EQ(implementation.CreateDocument(u"", u"", nullptr)->ChildNodes()->Length(), 0);
  TXpRef<TXpDocumentType> type = implementation.CreateDocumentType(u"gpx", u"pub", u"sys");
  EXPECT_EQ(type->OwnerDocument(), nullptr);
  TXpRef<TXpDocument> typed = implementation.CreateDocument(u"urn", u"gpx", type);
  EXPECT_EQ(typed->DocType(), type.get());
  EXPECT_EQ(type->OwnerDocument(), typed.get());
  EXPECT_EQ(U8(typed->Defaultnamespace()), "urn");
}

class OwnFactory : public TXpElementFactory {
public:
  TXpRef<TXpElement> CreateElement(const WideString& name) override {
    ++made;
    return TXpElementFactory::CreateElement(name);
  }
  void Initialize() override { initialized = true; }
  static inline int made = 0;
  bool initialized = false;
};

TEST_F(DocumentTest, ElementFactoryRegistry) {
  TXpElementFactory* library = TXpElementFactory::FindFactory(u"default");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(TXpElementFactory::FindFactory(u"Default"), nullptr);
  TXpElementFactory::Register<OwnFactory>(u"default");
  EXPECT_EQ(TXpElementFactory::FindFactory(u"default"), library);  // the first registered
  TXpElementFactory::Register<OwnFactory>(WideString(XpComponentFactoryID));
  auto* own = static_cast<OwnFactory*>(TXpElementFactory::FindFactory(WideString(XpComponentFactoryID)));
  ASSERT_NE(own, nullptr);
  EXPECT_TRUE(own->initialized);
  {
    TXpRef<TXpDocument> document = TXpDocument::Create();
    EXPECT_EQ(document->ElementFactory(), own);
    TXpRef<TXpElement> element = document->CreateElement(u"e");
    TXpRef<TXpNode> copy = element->CloneNode(true);
    EXPECT_EQ(OwnFactory::made, 2);
    EXPECT_EQ(element->OwnerDocument(), document.get());
  }
  TXpElementFactory::Unregister<OwnFactory>();
  EXPECT_EQ(TXpElementFactory::FindFactory(WideString(XpComponentFactoryID)), nullptr);
  EXPECT_EQ(TXpElementFactory::FindFactory(u"default"), library);
  EXPECT_EQ(XpElementFactoryList()->Count(), 1);
}

class AxisTest : public DomTest {
protected:
  // doc > R > (E > (C1 > (d1, d2), C2 > c2child), F)
  TXpElement* R = Elem(doc, u"R");
  TXpElement* E = Elem(R, u"E");
  TXpElement* C1 = Elem(E, u"C1");
  TXpElement* d1 = Elem(C1, u"d1");
  TXpElement* d2 = Elem(C1, u"d2");
  TXpElement* C2 = Elem(E, u"C2");
  TXpElement* c2child = Elem(C2, u"trkpt");
  TXpElement* F = Elem(R, u"trkpt");

  static std::string Names(const TXpNodeList& list) {
    std::string text;
    for (const TXpNode* node : list.Nodes()) text += U8(node->NodeName()) + ",";
    return text;
  }
};

TEST_F(AxisTest, PrecedingAndFollowingAxes) {
  TXpNodeList list;
  TXpPrecedingAxis preceding(C2);
  TXpTreeWalker::Gather(&preceding, {}, nullptr, &list);
  EXPECT_EQ(Names(list), "d2,d1,C1,");
  list.Empty();
  TXpFollowingAxis following(C1);
  TXpTreeWalker::Gather(&following, {}, nullptr, &list);
  EXPECT_EQ(Names(list), "C2,trkpt,trkpt,");
  list.Empty();
  TXpFollowingAxis filtered(d1);
  TXpTreeWalker::Gather(&filtered, {u"trkpt"}, TXpNode::NameFilter, &list);
  EXPECT_EQ(list.Length(), 2);
  list.Empty();
  TXpFollowingAxis last(F);
  TXpTreeWalker::Gather(&last, {}, nullptr, &list);
  EXPECT_EQ(list.Length(), 0);
  TXpTreeWalker::Gather(nullptr, {}, nullptr, &list);
  EXPECT_THROW(TXpNode::NameFilter(F, {}), std::out_of_range);
}

TEST_F(AxisTest, NthOfName) {
  TXpElement* second = Elem(E, u"C1");
  EXPECT_TRUE(C1->IsNthOfName(1));
  EXPECT_TRUE(second->IsNthOfName(2));
  EXPECT_FALSE(second->IsNthOfName(1));
  EXPECT_FALSE(C2->IsNthOfName(2));
  EXPECT_FALSE(C1->IsNthOfName(0));
  EXPECT_FALSE(doc->IsNthOfName(1));
}

TEST(XPathStrings, NormalizeSpaceAndTranslate) {
  EXPECT_EQ(U8(XpNormalizeSpace(u"  a \t\n b  ")), "a b");
  EXPECT_EQ(U8(XpNormalizeSpace(u"   ")), "");
  EXPECT_EQ(U8(XpTranslate(u"bar", u"abc", u"ABC")), "BAr");
  EXPECT_EQ(U8(XpTranslate(u"--aaa--", u"abc-", u"ABC")), "AAA");
  EXPECT_TRUE(XpIsXmlWhitespace(13));
  EXPECT_FALSE(XpIsXmlWhitespace(0xA0));
}

TEST(DomException, CodesInOrderAndEmptyMessage) {
  EXPECT_EQ(static_cast<int>(ecInuseAttributeErr), 10);
  EXPECT_EQ(static_cast<int>(ecExpectedToken), 12);
  const TXpDOMException error = TXpDOMException::CreateValue(ecExpectedToken, 23);
  EXPECT_EQ(error.Code(), ecExpectedToken);
  EXPECT_EQ(error.Value(), 23);
  EXPECT_TRUE(error.Message().empty());
  EXPECT_EQ(TXpDOMException::CreateCode(ecNotFoundErr).Value(), 0);
}

}  // namespace
