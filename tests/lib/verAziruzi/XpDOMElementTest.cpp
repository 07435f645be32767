#include <gtest/gtest.h>

#include "DomFixture.h"

namespace {

class ElementTest : public DomTest {
protected:
  TXpElement* trkpt = Elem(doc, u"trkpt");

  static std::string Attrs(const TXpElement* element) {
    std::string text;
    for (const TXpNode* attribute : element->Attributes()->Nodes())
      text += U8(attribute->NodeName()) + "=" + U8(attribute->NodeValue()) + ";";
    return text;
  }
};

TEST_F(ElementTest, SettingAnAttributeAgainMovesItToTheEnd) {
  EXPECT_EQ(U8(trkpt->GetAttribute(u"lat")), "");
  EXPECT_EQ(trkpt->GetAttributeNode(u"lat"), nullptr);
  EXPECT_FALSE(trkpt->HasAttribute(u"lat"));
  trkpt->SetAttribute(u"lat", u"1");
  trkpt->SetAttribute(u"lon", u"2");
  trkpt->SetAttribute(u"lat", u"3");
  EXPECT_EQ(Attrs(trkpt), "lon=2;lat=3;");
  EXPECT_EQ(trkpt->GetAttributeNode(u"*")->NodeName(), u"lon");
  EXPECT_EQ(trkpt->GetAttributeNode(u"lat")->OwnerElement(), trkpt);

  doc->SetIgnoreCase(true);
  trkpt->SetAttribute(u"LAT", u"4");
  EXPECT_EQ(Attrs(trkpt), "lon=2;LAT=4;");
  EXPECT_EQ(U8(trkpt->GetAttribute(u"Lat")), "4");
  trkpt->RemoveAttribute(u"lat");
  EXPECT_EQ(Attrs(trkpt), "lon=2;");
}

TEST_F(ElementTest, AStartTagsAttributesGoInAsIfSetOneByOne) {
  doc->SetIgnoreCase(true);
  for (std::size_t count : {3, 12}) {  // below and above the count where a set takes over from the search
    SCOPED_TRACE(count);
    TXpRef<TXpElement> oneByOne = doc->CreateElement(u"e"), together = doc->CreateElement(u"e");
    oneByOne->SetAttribute(u"held", u"0");
    together->SetAttribute(u"held", u"0");
    std::vector<TXpRef<TXpAttribute>> attributes;
    for (std::size_t i = 0; i < count; ++i) {
      // One name comes again in another case, one was held before.
      const WideString name = i == 0 ? u"a0" : i == count - 1 ? u"A0" : i == count - 2 ? u"HELD" : u"n" + WideString(i, u'x');
      const WideString value(1, static_cast<char16_t>(u'a' + i));
      TXpRef<TXpAttribute> attribute = doc->CreateAttribute(name);
      attribute->SetNodeValue(value);
      oneByOne->SetAttributeNode(attribute);
      attributes.push_back(doc->CreateAttribute(name));
      attributes.back()->SetNodeValue(value);
    }
    together->SetAttributeNodes(attributes);
    EXPECT_EQ(Attrs(together), Attrs(oneByOne));
    EXPECT_EQ(together->Attributes()->Length(), static_cast<int>(count) - 1);
    for (const TXpNode* attribute : together->Attributes()->Nodes())
      EXPECT_EQ(static_cast<const TXpAttribute*>(attribute)->OwnerElement(), together.get());
  }
}

TEST_F(ElementTest, NamespaceDeclarationsAreNoted) {
  trkpt->SetAttribute(u"xmlns", u"u");
  trkpt->SetAttribute(u"xmlns:h", u"v");
  EXPECT_EQ(U8(trkpt->Defaultnamespace()), "u");
  ASSERT_NE(trkpt->NamespaceList(), nullptr);
  EXPECT_EQ(U8(trkpt->NamespaceList()->GetNamedItem(u"h")->NodeValue()), "v");
  TXpElement* depth = Elem(trkpt, u"h:depth");
  EXPECT_EQ(U8(depth->NamespaceURI()), "v");
  trkpt->SetAttribute(u"xmlns:h", u"w");  // a second node; lookups find the first
  EXPECT_EQ(trkpt->NamespaceList()->Length(), 2);
  EXPECT_EQ(U8(depth->NamespaceURI()), "v");

  trkpt->SetAttributeNS(u"urn:q", u"q", u"1");
  EXPECT_EQ(U8(trkpt->GetAttributeNS(u"urn:q", u"q")), "1");
  const int before = trkpt->GetAttributeNode(u"q")->RefCount();
  TXpRef<TXpAttribute> node = trkpt->GetAttributeNodeNS(u"urn:q", u"q");
  EXPECT_EQ(node->RefCount(), before + 1);
  trkpt->SetAttributeNS(u"urn:q", u"q", u"2");
  EXPECT_EQ(U8(trkpt->GetAttribute(u"q")), "2");
  EXPECT_EQ(node->OwnerElement(), nullptr);  // the replaced one no longer names the element
  trkpt->RemoveAttributeNS(u"urn:q", u"q");
  EXPECT_FALSE(trkpt->HasAttribute(u"q"));

  // Without a namespace the attribute of that name is replaced, never doubled:
  // a second one would make the element ill-formed when written.
  trkpt->SetAttribute(u"lat", u"1");
  TXpRef<TXpAttribute> held = TXpRef<TXpAttribute>::Share(trkpt->GetAttributeNode(u"lat"));
  trkpt->SetAttributeNS(u"", u"lat", u"2");
  trkpt->SetAttributeNS(u"", u"lat", u"3");
  EXPECT_EQ(Attrs(trkpt), "xmlns=u;xmlns:h=w;lat=3;");
  EXPECT_EQ(held->OwnerElement(), nullptr);
}

TEST_F(ElementTest, AttributeNodesBelongToOneElementAtATime) {
  TXpElement* other = Elem(trkpt, u"other");
  TXpRef<TXpAttribute> lat = doc->CreateAttribute(u"lat");
  lat->SetValue(u"1");
  EXPECT_EQ(trkpt->SetAttributeNode(lat).get(), nullptr);
  EXPECT_EQ(lat->RefCount(), 2);
  EXPECT_EQ(DomCode([&] { other->SetAttributeNode(lat); }), ecInuseAttributeErr);
  EXPECT_EQ(DomCode([&] { other->SetAttributeNodeNS(lat); }), ecInuseAttributeErr);
  EXPECT_EQ(other->Attributes(), nullptr);

  TXpRef<TXpAttribute> removed = trkpt->RemoveAttributeNode(lat);
  EXPECT_EQ(removed.get(), lat.get());
  EXPECT_EQ(lat->OwnerElement(), nullptr);
  EXPECT_EQ(other->SetAttributeNode(lat).get(), nullptr);  // free again
  EXPECT_EQ(lat->OwnerElement(), other);

  TXpRef<TXpAttribute> second = doc->CreateAttribute(u"lat");
  TXpRef<TXpAttribute> replaced = other->SetAttributeNode(second);
  EXPECT_EQ(replaced.get(), lat.get());
  EXPECT_EQ(lat->OwnerElement(), nullptr);
}

TEST_F(ElementTest, GetAttributeIntReadsWholeNumbersOnly) {
  trkpt->SetAttribute(u"n", u"12");
  trkpt->SetAttribute(u"hex", u"$1F");
  trkpt->SetAttribute(u"neg", u" -7");
  trkpt->SetAttribute(u"f", u"1.5");
  trkpt->SetAttribute(u"big", u"2147483648");
  EXPECT_EQ(trkpt->GetAttributeInt(u"missing"), 0);
  EXPECT_EQ(trkpt->GetAttributeInt(u"n"), 12);
  EXPECT_EQ(trkpt->GetAttributeInt(u"hex"), 31);
  EXPECT_EQ(trkpt->GetAttributeInt(u"neg"), -7);
  for (const char16_t* bad : {u"f", u"big"}) {
    try {
      trkpt->GetAttributeInt(bad);
      ADD_FAILURE() << "no error";
    } catch (const EXpException& error) {
      EXPECT_EQ(U8(error.Message()),
                "Attribute " + U8(bad) + " of element trkpt does not have an integer value.");
    }
  }
  int value = 1;
  EXPECT_TRUE(XpReadWholeNumber(u"-2147483648", value));
  EXPECT_EQ(value, -2147483647 - 1);
  EXPECT_TRUE(XpReadWholeNumber(u"0x10", value));
  EXPECT_EQ(value, 16);
  for (const char16_t* bad : {u"", u"-", u"1 ", u"$", u"0x", u"1e3", u"abc"}) EXPECT_FALSE(XpReadWholeNumber(bad, value));
}

class SearchTest : public ElementTest {
protected:
  // trkpt > (ele, h:depth, extensions > (h:depth, ele))
  TXpElement* ele = Elem(trkpt, u"ele");
  TXpElement* depth1 = Elem(trkpt, u"h:depth");
  TXpElement* extensions = Elem(trkpt, u"extensions");
  TXpElement* depth2 = Elem(extensions, u"h:depth");
  TXpElement* ele2 = Elem(extensions, u"ele");
};

TEST_F(SearchTest, TagNameSearches) {
  EXPECT_EQ(trkpt->GetElementsByTagName(u"h:depth")->Length(), 0);
  const auto depths = trkpt->GetElementsByTagName(u"depth");
  ASSERT_EQ(depths->Length(), 2);
  EXPECT_EQ(depths->Item(0), depth1);
  EXPECT_EQ(trkpt->GetElementsByTagName(u"*")->Length(), 5);
  EXPECT_EQ(trkpt->GetElementsByTagName(u"h:*")->Length(), 2);
  EXPECT_EQ(trkpt->GetElementsByTagName(u"ELE")->Length(), 0);
  doc->SetIgnoreCase(true);
  EXPECT_EQ(trkpt->GetElementsByTagName(u"ELE")->Length(), 2);
  doc->SetIgnoreCase(false);

  trkpt->SetAttribute(u"xmlns:h", u"urn:h");
  EXPECT_EQ(trkpt->GetElementsByTagNameNS(u"urn:h", u"depth")->Length(), 2);
  EXPECT_EQ(trkpt->GetElementsByTagNameNS(u"urn:other", u"depth")->Length(), 0);

  const auto children = trkpt->GetChildElementsByTagName(u"ele");
  ASSERT_EQ(children->Length(), 1);
  EXPECT_EQ(children->Item(0), ele);
  EXPECT_EQ(trkpt->GetChildElementsByTagName(u"*")->Length(), 3);
  EXPECT_EQ(trkpt->GetChildElementsByTagName(u"h:*")->Item(0), depth1);

  EXPECT_EQ(trkpt->FindElement(u"ele"), ele);
  EXPECT_EQ(extensions->FindElement(u"ele"), ele2);
  EXPECT_EQ(trkpt->FindElement(u"trkpt"), nullptr);
}

TEST_F(SearchTest, AttributeAndIdSearches) {
  ele->SetAttribute(u"id", u"a");
  depth1->SetAttribute(u"id", u"B");
  depth2->SetAttribute(u"id", u"b");
  ele2->SetAttribute(u"id", u"a");
  const auto byAttribute = trkpt->GetElementsByTagNameWithAttribute(u"*", u"id", u"b");
  ASSERT_EQ(byAttribute->Length(), 1);
  EXPECT_EQ(byAttribute->Item(0), depth2);
  doc->SetIgnoreCase(true);
  EXPECT_EQ(trkpt->GetElementsByTagNameWithAttribute(u"H:DEPTH", u"id", u"b")->Length(), 2);
  doc->SetIgnoreCase(false);

  // Two IDs: the walk stops at the second match, case folded.
  const auto ids = trkpt->GetElementsWithIDs(u"id", u" a  b ");
  ASSERT_EQ(ids->Length(), 2);
  EXPECT_EQ(ids->Item(0), ele);
  EXPECT_EQ(ids->Item(1), depth1);
  EXPECT_EQ(trkpt->GetElementsWithIDs(u"id", u"a a")->Length(), 2);
  EXPECT_EQ(trkpt->GetElementsWithIDs(u"id", u" \t")->Length(), 0);
}

TEST_F(SearchTest, WhitespaceStrippingHonoursXmlSpace) {
  auto fill = [&](TXpElement* element) {
    Txt(element, u" \n\t");
    Txt(element, u"x");
  };
  fill(trkpt);
  fill(extensions);
  TXpRef<TXpCDataSection> cdata = doc->CreateCDATASection(u" ");
  extensions->AppendChild(cdata);
  TXpElement* xsl = Elem(extensions, u"xsl:text");
  fill(xsl);

  doc->DocumentElement()->SetAttribute(u"xml:space", u"preserve");
  extensions->StripWhitespaceNodes(true);
  EXPECT_EQ(extensions->ChildNodes()->Length(), 6);
  extensions->SetAttribute(u"xml:space", u"default");
  extensions->StripWhitespaceNodes(true);
  EXPECT_EQ(Children(extensions), "h:depth,ele,x,,xsl:text");
  EXPECT_EQ(xsl->ChildNodes()->Length(), 2);
  EXPECT_EQ(trkpt->ChildNodes()->Length(), 5);  // the preserved parent keeps its own
}

TEST_F(SearchTest, ChildFactoriesElementTextAndBaseURI) {
  TXpElement* name = trkpt->CreateChildElement(u"name");
  EXPECT_EQ(name->RefCount(), 1);
  name->CreateChildText(u"a");
  name->CreateChildText(u"");
  name->CreateChildCDataSection(u"b");
  Elem(name, u"sub")->CreateChildText(u"no");
  EXPECT_EQ(U8(name->ElementText()), "a  b");
  EXPECT_EQ(DomCode([&] { trkpt->CreateChildElement(u"1a"); }), ecInvalidNameErr);

  doc->SetBaseURI(u"file:///d/");
  EXPECT_EQ(U8(name->BaseURI()), "file:///d/");
  name->SetAttribute(u"xml:base", u"http://x/");
  EXPECT_EQ(U8(name->BaseURI()), "http://x/");
  EXPECT_EQ(U8(Elem(name, u"k")->BaseURI()), "file:///d/");  // ancestors are not consulted
}

TEST_F(SearchTest, ShallowClonesStillCopyAttributes) {
  ele->SetAttribute(u"a", u"1");
  ele->SetAttribute(u"xmlns:p", u"urn:p");
  ele->SetFullEndTag(true);
  Txt(ele, u"t");
  TXpRef<TXpNode> copy = ele->CloneNode(false);
  auto* element = static_cast<TXpElement*>(copy.get());
  EXPECT_FALSE(element->HasChildNodes());
  EXPECT_EQ(U8(element->GetAttribute(u"a")), "1");
  EXPECT_EQ(element->GetAttributeNode(u"a")->OwnerElement(), element);
  EXPECT_NE(element->GetAttributeNode(u"a"), ele->GetAttributeNode(u"a"));
  EXPECT_EQ(element->NamespaceList()->Length(), 1);
  EXPECT_TRUE(element->FullEndTag());
}

}  // namespace
