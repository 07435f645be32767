#include <gtest/gtest.h>

#include <functional>

#include "DomFixture.h"
#include "lib/verAziruzi/XpDOMWriter.h"

namespace {

class WriterTest : public DomTest {
protected:
  TXpElement* root = Elem(doc, u"r");

  std::string TextOut(const WideString& value, bool attribute = false) {
    if (!attribute) return U8(Txt(root, value)->XmlDocument());
    TXpElement* element = Elem(root, u"a");
    element->SetAttribute(u"v", value);
    return U8(element->XmlDocument());
  }
};

TEST_F(WriterTest, EscapesOfTextAndAttributeValues) {
  struct Case {
    const char16_t* value;
    bool attribute;
    const char* written;
  };
  const Case cases[] = {
      {u"x < y & z > w", false, "x &lt; y &amp; z > w"},
      {u"\"q\" 'a'", false, "\"q\" 'a'"},
      {u"\"q\" 'a'", true, "<a v=\"&#34;q&#34; 'a'\"/>"},
      {u"\u00e9", false, "&#233;"},
      {u"a\nb", false, "a\nb"},
      {u"a\rb\r\n", false, "a&#13;b&#13;\n"},
      {u"a\nb", true, "<a v=\"a&#xA;b\"/>"},
      {u"a\rb", true, "<a v=\"a&#xD;b\"/>"},
      {u"a\tb", true, "<a v=\"a&#x9;b\"/>"},
      {u"\t\x01\x7f", false, "\t&#1;&#127;"},
      {u"\U0001F600", false, "&#128512;"},
      {u"\xd83d!", false, "&#55357;!"},
      {u"a]]>b", false, "a]]&gt;b"},
  };
  for (const Case& test : cases)
    EXPECT_EQ(TextOut(test.value, test.attribute), test.written) << test.written;
  const WideString withNul(u"a\0b", 3);
  EXPECT_EQ(Txt(root, withNul)->XmlDocument(), u"a&#0;b");  // the whole text, past the NUL

  doc->SetNoCharReplacement(true);
  EXPECT_EQ(TextOut(u"\u00e9\U0001F600"), "\u00e9\U0001F600");
  TXpText* raw = Txt(root, u"<&>");
  raw->SetOutputEscaping(false);
  EXPECT_EQ(U8(raw->XmlDocument()), "<&>");
}

TEST_F(WriterTest, TheWholeSaveIsAnsweredPastANul) {
  Txt(root, WideString(u"one\0two", 7));
  Elem(root, u"after");
  EXPECT_EQ(root->XmlDocument(), WideString(u"<r>one&#0;two<after/></r>"));
  TXpRef<TXpCDataSection> cdata = doc->CreateCDATASection(WideString(u"x\0y", 3));
  EXPECT_EQ(cdata->XmlDocument(), WideString(u"<![CDATA[x\0y]]>", 15));
}

TEST_F(WriterTest, LineBreakModes) {
  struct Case {
    TXpLineBreakMode mode;
    bool replace;
    const char* text;
    const char* cdata;
  };
  const Case cases[] = {
      // A CR that is no line break under the settings is a reference, outside
      // the section in CDATA; so is a break the settings make a reference.
      {lbmDefault, false, "a\nb&#13;\nc", "<![CDATA[a\nb]]>&#13;<![CDATA[\nc]]>"},
      {lbmDefault, true, "a\r\nb\r\nc", "<![CDATA[a\r\nb\r\nc]]>"},
      {lbmCRLF, true, "a\r\nb\r\nc", "<![CDATA[a\r\nb\r\nc]]>"},
      {lbmCR, true, "a&#13;b&#13;c", "<![CDATA[a]]>&#13;<![CDATA[b]]>&#13;<![CDATA[c]]>"},
      {lbmLF, true, "a&#10;b&#13;&#10;c", "<![CDATA[a\nb]]>&#13;<![CDATA[\nc]]>"},
  };
  const WideString value = u"a\nb\r\nc";
  for (const Case& test : cases) {
    doc->SetLineBreakMode(test.mode);
    doc->SetLineBreakCharReplace(test.replace);
    EXPECT_EQ(TextOut(value), test.text) << test.mode << test.replace;
    TXpElement* holder = Elem(root, u"h");
    TXpRef<TXpCDataSection> cdata = doc->CreateCDATASection(value);
    holder->AppendChild(cdata);
    EXPECT_EQ(U8(holder->XmlDocument()), std::string("<h>") + test.cdata + "</h>") << test.mode << test.replace;
  }
  doc->SetLineBreakMode(lbmDefault);
  doc->SetLineBreakCharReplace(true);
  EXPECT_EQ(TextOut(u"end\r"), "end\r\n");
  EXPECT_EQ(TextOut(u"a\r\tb", true), "<a v=\"a&#xD;&#x9;b\"/>");  // a value keeps its units whatever the mode
}

TEST_F(WriterTest, ElementsAndEndTags) {
  TXpElement* depth = Elem(root, u"h:depth");
  Txt(depth, u"123");
  EXPECT_EQ(U8(depth->XmlDocument()), "<h:depth>123</h:depth>");
  TXpElement* a = Elem(root, u"a");
  a->SetAttribute(u"k", u"v");
  EXPECT_EQ(U8(a->XmlDocument()), "<a k=\"v\"/>");
  a->SetFullEndTag(true);
  EXPECT_EQ(U8(a->XmlDocument()), "<a k=\"v\"></a>");
  a->SetIgnoreEndTag(true);
  EXPECT_EQ(U8(a->XmlDocument()), "<a k=\"v\">");
  EXPECT_EQ(U8(doc->XmlDocument()), "");
  EXPECT_EQ(U8(a->Attributes()->Item(0)->XmlDocument()), "");
  EXPECT_EQ(U8(doc->CreateProcessingInstruction(u"pi", u"x=1")->XmlDocument()), "<?pi x=1?>");
  EXPECT_EQ(U8(doc->CreateComment(u"c\nd")->XmlDocument()), "<!--c\nd-->");
  doc->SetActualCDATA(true);
  EXPECT_EQ(U8(doc->CreateCDATASection(u"<x>")->XmlDocument()), "<x>");
  doc->SetActualCDATA(false);
  EXPECT_EQ(U8(doc->CreateCDATASection(u"a]]>b")->XmlDocument()), "<![CDATA[a]]]]><![CDATA[>b]]>");
}

// The UTF-8 writer of plain subtrees writes what the general writer writes, or
// declines and leaves its output as it was.
TEST_F(WriterTest, PlainChildrenAsUtf8AreTheGeneralWritersTextOrNothing) {
  struct Case {
    std::function<void(TXpElement*)> build;
    bool plain;
  };
  const Case cases[] = {
      {[&](TXpElement* p) { Txt(Elem(p, u"h:depth"), u"30.0"); Txt(Elem(p, u"h:id"), u"1"); }, true},
      {[&](TXpElement* p) { Elem(p, u"a")->SetAttribute(u"k", u"v w"); Elem(p, u"b"); }, true},
      {[&](TXpElement* p) { Elem(p, u"a")->SetFullEndTag(true); Elem(p, u"b")->SetIgnoreEndTag(true); }, true},
      {[&](TXpElement* p) { Txt(Elem(Elem(p, u"n\u00e9"), u"m"), u"a\tb"); }, true},
      {[&](TXpElement* p) { Txt(p, u"x & y"); }, false},
      {[&](TXpElement* p) { Txt(p, u"a]]>b"); }, false},
      {[&](TXpElement* p) { Txt(p, u"\u00e9"); }, false},
      {[&](TXpElement* p) { Txt(p, u"a\nb"); }, false},
      {[&](TXpElement* p) { Txt(Elem(p, u"q"), u"\"q\""); }, false},
      {[&](TXpElement* p) { Elem(p, u"a")->SetAttribute(u"k", u"a\tb"); }, false},
      {[&](TXpElement* p) { Elem(p, u"ok"); Comment(p, u"c"); }, false},
      {[&](TXpElement* p) {
         TXpRef<TXpCDataSection> section = doc->CreateCDATASection(u"x");
         p->AppendChild(section);
       },
       false},
      {[&](TXpElement* p) { Txt(p, u"raw & <")->SetOutputEscaping(false); }, false},
  };
  for (const Case& test : cases) {
    TXpElement* parent = Elem(root, u"p");
    test.build(parent);
    WideString general;
    for (const TXpNode* child : parent->ChildNodes()->Nodes()) XpAppendNode(child, general);
    std::string out = "kept";
    EXPECT_EQ(XpAppendPlainChildrenUtf8(parent, out), test.plain) << U8(general);
    EXPECT_EQ(out, test.plain ? "kept" + U8(general) : "kept");
  }
  // Formatted output and output events are the general writer's.
  TXpElement* parent = Elem(root, u"p");
  Txt(Elem(parent, u"a"), u"1");
  std::string out;
  doc->SetFormattedOutput(true);
  EXPECT_FALSE(XpAppendPlainChildrenUtf8(parent, out));
  doc->SetFormattedOutput(false);
  doc->OnOutputElementStart = [](TXpNode*) {};
  EXPECT_FALSE(XpAppendPlainChildrenUtf8(parent, out));
  EXPECT_EQ(out, "");
}

TEST_F(WriterTest, FormattedOutputAndComments) {
  doc->SetFormattedOutput(true);
  Elem(root, u"a");
  TXpElement* b = Elem(root, u"b");
  Txt(b, u"t");
  EXPECT_EQ(U8(root->XmlDocument()), "<r>\r\n  <a/>\r\n  <b>t</b>\r\n</r>");
  TXpElement* nested = Elem(b, u"n");
  Elem(nested, u"m");
  EXPECT_EQ(U8(b->XmlDocument()), "<b>t\r\n  <n>\r\n    <m/>\r\n  </n>\r\n</b>");
  TXpElement* withComment = Elem(root, u"c");
  Comment(withComment, u"x\ny");
  Txt(withComment, u"after");
  TXpRef<TXpProcessingInstruction> pi = doc->CreateProcessingInstruction(u"p", u"d");
  withComment->AppendChild(pi);
  EXPECT_EQ(U8(withComment->XmlDocument()), "<c>\r\n  <!--x\r\ny-->after\r\n  <?p d?>\r\n</c>");

  doc->SetFormattedOutput(false);
  doc->SetLineBreakMode(lbmLF);
  EXPECT_EQ(U8(withComment->XmlDocument()), "<c><!--x\ny-->after<?p d?></c>");
}

TEST_F(WriterTest, CommentsAndInstructionsFromTheApiStayWellFormed) {
  struct Case {
    const char16_t* comment;
    const char* written;
  };
  const Case comments[] = {
      {u"a - b -> c", "<!--a - b -> c-->"},
      {u"a--b", "<!--a- -b-->"},
      {u"a---b", "<!--a- - -b-->"},
      {u"end-", "<!--end- -->"},
      {u"-", "<!--- -->"},
      {u"", "<!---->"},
  };
  for (const Case& test : comments) {
    TXpElement* holder = Elem(root, u"h");
    Comment(holder, test.comment);
    EXPECT_EQ(U8(holder->XmlDocument()), std::string("<h>") + test.written + "</h>") << test.written;
    EXPECT_EQ(U8(doc->CreateComment(test.comment)->XmlDocument()), test.written);
  }
  const Case instructions[] = {
      {u"a?b>c", "<?t a?b>c?>"},
      {u"a?>b", "<?t a? >b?>"},
      {u"?>", "<?t ? >?>"},
      {u"a?", "<?t a??>"},
  };
  for (const Case& test : instructions) {
    TXpElement* holder = Elem(root, u"h");
    TXpRef<TXpProcessingInstruction> pi = doc->CreateProcessingInstruction(u"t", test.comment);
    holder->AppendChild(pi);
    EXPECT_EQ(U8(holder->XmlDocument()), std::string("<h>") + test.written + "</h>") << test.written;
    EXPECT_EQ(U8(pi->XmlDocument()), test.written);
  }
}

TEST_F(WriterTest, OutputEventsWatchAndCancel) {
  root->SetAttribute(u"a", u"1");
  root->SetAttribute(u"secret", u"2");
  root->SetAttribute(u"b", u"3");
  Elem(root, u"child");
  std::string log;
  doc->OnOutputElementStart = [&](TXpNode* node) { log += "<" + U8(node->NodeName()); };
  doc->OnOutputElementEnd = [&](TXpNode* node) { log += ">" + U8(node->NodeName()); };
  doc->OnOutputAttribStart = [&](TXpNode*) { log += "["; };
  doc->OnOutputAttribEnd = [&](TXpNode*) { log += "]"; };
  doc->OnOutputAttrib = [&](TXpNode* node, bool& cancel) { cancel = node->NodeName() == u"secret"; };
  EXPECT_EQ(U8(root->XmlDocument()), "<r a=\"1\" b=\"3\"><child/></r>");
  EXPECT_EQ(log, "<r[]<child[]>child>r");
}

TEST_F(WriterTest, NodeListsRunTogether) {
  TXpNodeList list;
  list.Add(Elem(root, u"a"));
  list.Add(Elem(root, u"b"));
  EXPECT_EQ(U8(list.XmlDocument()), "<a/><b/>");
}

class DtdTest : public DomTest {
protected:
  TXpRef<TXpDocumentType> type = doc->CreateDocumentType(u"gpx", false);
  void SetUp() override { doc->AppendChild(type); }
};

TEST_F(DtdTest, FactoriesCheckNamesAndContentTypes) {
  EXPECT_EQ(DomCode([&] { type->CreateDTDElement(u"a", 5); }), ecInvalidParamErr);
  EXPECT_EQ(DomCode([&] { type->CreateDTDElement(u"", 1); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { type->CreateDTDAttlist(u""); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { type->CreateDTDEntity(u""); }), ecInvalidNameErr);
  EXPECT_EQ(DomCode([&] { type->CreateDTDNotation(u""); }), ecInvalidNameErr);
  TXpRef<TXpDTDElement> element = type->CreateDTDElement(u"a", 4);
  EXPECT_EQ(DomCode([&] { element->SetContentType(-1); }), ecInvalidParamErr);
  EXPECT_EQ(element->ContentType(), 4);
  EXPECT_EQ(element->OwnerDocument(), doc.get());
  EXPECT_EQ(type->ChildNodes()->Length(), 0);

  TXpRef<TXpDTDAttlist> list = type->CreateDTDAttlist(u"trk");
  const std::vector<WideString> names{u"a", u"b"};
  TXpRef<TXpDTDAttDefinition> none = list->CreateDTDAttDefinition(u"x", 9, nullptr, 2, u"");
  EXPECT_EQ(none->Enumeration(), nullptr);
  TXpRef<TXpDTDAttDefinition> some = list->CreateDTDAttDefinition(u"y", 9, &names, 2, u"");
  ASSERT_NE(some->Enumeration(), nullptr);
  EXPECT_NE(some->Enumeration(), &names);
  EXPECT_EQ(some->Enumeration()->size(), 2u);
  EXPECT_EQ(DomCode([&] { list->CreateDTDAttDefinition(u"", 1, nullptr, 2, u""); }), ecInvalidNameErr);
  EXPECT_EQ(none->CloneNode(false).get()->NodeName(), u"x");
}

TEST_F(DtdTest, IdAttributeFollowsTheDeclarationOfTypeId) {
  TXpRef<TXpDTDAttlist> list = type->CreateDTDAttlist(u"e");
  list->CreateDTDAttDefinition(u"name", 2, nullptr, 3, u"");
  list->CreateDTDAttDefinition(u"title", 1, nullptr, 2, u"");
  EXPECT_EQ(U8(doc->IdAttribute()), "name");
}

TEST_F(DtdTest, DeclarationsAreWrittenBack) {
  TXpRef<TXpDTDElement> gpx = type->CreateDTDElement(u"gpx", 4);
  TXpRef<TXpDTDElementGroup> outer = gpx->CreateDTDElementGroup();
  outer->AppendChild(outer->CreateDTDElementContent(u"a", 0, 1));
  TXpRef<TXpDTDElementGroup> inner = outer->CreateDTDElementGroup();
  inner->SetOccurs(2);
  inner->AppendChild(inner->CreateDTDElementContent(u"b", 0, 0));
  inner->AppendChild(inner->CreateDTDElementContent(u"c", 3, 0));
  outer->AppendChild(inner);
  gpx->AppendChild(outer);
  type->AppendChild(gpx);
  type->AppendChild(type->CreateDTDElement(u"p", 3));
  type->AppendChild(type->CreateDTDElement(u"e", 2));

  TXpRef<TXpDTDAttlist> list = type->CreateDTDAttlist(u"gpx");
  const std::vector<WideString> names{u"x", u"y"};
  list->AppendChild(list->CreateDTDAttDefinition(u"v", 9, &names, 1, u"x"));
  list->AppendChild(list->CreateDTDAttDefinition(u"q", 1, nullptr, 4, u"say \"hi\""));
  list->AppendChild(list->CreateDTDAttDefinition(u"n", 10, &names, 2, u""));
  type->AppendChild(list);

  TXpRef<TXpDTDEntity> internal = type->CreateDTDEntity(u"ent");
  internal->SetValue(u"a\"<");
  type->AppendChild(internal);
  TXpRef<TXpDTDEntity> external = type->CreateDTDEntity(u"pic");
  external->SetPublicID(u"-//P");
  external->SetSystemID(u"it's.gif");
  external->SetNotationName(u"gif");
  type->AppendChild(external);
  TXpRef<TXpDTDEntity> parameter = type->CreateDTDEntity(u"pe");
  parameter->SetIsPE(true);
  parameter->SetSystemID(u"p.ent");
  type->AppendChild(parameter);
  TXpRef<TXpDTDNotation> notation = type->CreateDTDNotation(u"gif");
  notation->SetSystemID(u"viewer");
  type->AppendChild(notation);
  TXpRef<TXpDTDConditional> section = type->CreateDTDConditional(1);
  section->AppendChild(type->CreateDTDElement(u"z", 1));
  type->AppendChild(section);

  EXPECT_EQ(U8(doc->XmlDTD()),
            "<!DOCTYPE gpx [<!ELEMENT gpx (a, (b | c+)*)><!ELEMENT p (#PCDATA)><!ELEMENT e EMPTY>"
            "<!ATTLIST gpx v (x | y) \"x\" q CDATA #FIXED \"say &#34;hi&#34;\" n NOTATION (x | y) #IMPLIED>"
            "<!ENTITY ent \"a&#34;&#60;\"><!ENTITY pic PUBLIC \"-//P\" \"it's.gif\" NDATA gif>"
            "<!ENTITY % pe SYSTEM \"p.ent\"><!NOTATION gif SYSTEM \"viewer\"><![IGNORE[<!ELEMENT z ANY>]]>]>");

  doc->SetFormattedOutput(true);
  EXPECT_EQ(U8(XpWriteNode(section)), "");  // declarations are written by their document type
  WideString out;
  XpWriteChildren(doc, out, section, 1);
  EXPECT_EQ(U8(out), "\r\n  <!ELEMENT z ANY>");
}

TEST_F(DtdTest, EntityValuesAndDefaultsGiveBackTheirText) {
  struct Case {
    const char16_t* value;
    const char* entity;   // the declaration of an internal entity with that replacement text
    const char* fixed;    // the declaration of a #FIXED default with that stored value
  };
  const Case cases[] = {
      {u"plain 'text'", "<!ENTITY e \"plain 'text'\">", "<!ATTLIST r a CDATA #FIXED \"plain 'text'\">"},
      {u"", "<!ENTITY e \"\">", "<!ATTLIST r a CDATA #FIXED \"\">"},
      {u"<b/>", "<!ENTITY e \"&#60;b/>\">", "<!ATTLIST r a CDATA #FIXED \"&#60;b/>\">"},
      // Entity references stay as written in both; a default applies them later.
      {u"x &amp; &e;", "<!ENTITY e \"x &#38;amp; &#38;e;\">", "<!ATTLIST r a CDATA #FIXED \"x &amp; &e;\">"},
      {u"& &#60; &;", "<!ENTITY e \"&#38; &#38;#60; &#38;;\">",
       "<!ATTLIST r a CDATA #FIXED \"&#38; &#38;#60; &#38;;\">"},
      {u"%p; \"q\"", "<!ENTITY e \"&#37;p; &#34;q&#34;\">", "<!ATTLIST r a CDATA #FIXED \"%p; &#34;q&#34;\">"},
      // A stored tab or line end came from a reference: raw ones read as spaces.
      {u"a\tb\nc\rd", "<!ENTITY e \"a&#9;b&#10;c&#13;d\">", "<!ATTLIST r a CDATA #FIXED \"a&#9;b&#10;c&#13;d\">"},
      {u"\u00e9", "<!ENTITY e \"&#233;\">", "<!ATTLIST r a CDATA #FIXED \"&#233;\">"},
  };
  for (const Case& test : cases) {
    TXpRef<TXpDTDEntity> entity = type->CreateDTDEntity(u"e");
    entity->SetValue(test.value);
    TXpRef<TXpDTDAttlist> list = type->CreateDTDAttlist(u"r");
    list->AppendChild(list->CreateDTDAttDefinition(u"a", 1, nullptr, 4, test.value));
    type->RemoveAll();
    type->AppendChild(entity);
    type->AppendChild(list);
    EXPECT_EQ(U8(type->XmlDocument()), std::string("<!DOCTYPE gpx [") + test.entity + test.fixed + "]>");
  }

  // An empty plain default still needs its quotes; #IMPLIED and #REQUIRED take
  // none, even when a value was given.
  type->RemoveAll();
  TXpRef<TXpDTDAttlist> list = type->CreateDTDAttlist(u"r");
  list->AppendChild(list->CreateDTDAttDefinition(u"d", 1, nullptr, 1, u""));
  list->AppendChild(list->CreateDTDAttDefinition(u"i", 1, nullptr, 2, u"x"));
  list->AppendChild(list->CreateDTDAttDefinition(u"q", 1, nullptr, 3, u""));
  type->AppendChild(list);
  EXPECT_EQ(U8(type->XmlDocument()), "<!DOCTYPE gpx [<!ATTLIST r d CDATA \"\" i CDATA #IMPLIED q CDATA #REQUIRED>]>");
}

TEST_F(DtdTest, DocumentTypeHeads) {
  TXpRef<TXpDocumentType> subset = doc->CreateDocumentType(u"x.dtd", true);
  type->SetExternalDTD(subset);
  EXPECT_EQ(U8(type->XmlDocument()), "<!DOCTYPE gpx SYSTEM \"x.dtd\" >");
  subset->AppendChild(subset->CreateDTDElement(u"a", 1));
  EXPECT_EQ(U8(subset->XmlDocument()), "<!ELEMENT a ANY>");
  // The identifiers the document gave win over the external subset's name, which
  // an OnDTDExternal handler may have changed.
  type->SetPublicID(u"-//G");
  type->SetSystemID(u"given.dtd");
  EXPECT_EQ(U8(type->XmlDocument()), "<!DOCTYPE gpx PUBLIC \"-//G\" \"given.dtd\" >");
  type->SetPublicID(u"");
  EXPECT_EQ(U8(type->XmlDocument()), "<!DOCTYPE gpx SYSTEM \"given.dtd\" >");
  type->SetExternalDTD(nullptr);
  type->SetPublicID(u"-//G");
  type->SetSystemID(u"g.dtd");
  EXPECT_EQ(U8(type->XmlDocument()), "<!DOCTYPE gpx PUBLIC \"-//G\" \"g.dtd\">");
  type->SetPublicID(u"");
  EXPECT_EQ(U8(type->XmlDocument()), "<!DOCTYPE gpx SYSTEM \"g.dtd\">");
}

TEST_F(DtdTest, ClonesOfDocumentTypes) {
  TXpRef<TXpDocumentType> subset = doc->CreateDocumentType(u"x.dtd", true);
  subset->AppendChild(subset->CreateDTDElement(u"a", 1));
  type->SetExternalDTD(subset);
  type->AppendChild(type->CreateDTDElement(u"b", 2));
  type->SetSystemID(u"s");
  TXpRef<TXpNode> shallow = type->CloneNode(false);
  auto* shallowType = static_cast<TXpDocumentType*>(shallow.get());
  EXPECT_EQ(shallowType->ExternalDTD(), nullptr);
  EXPECT_FALSE(shallowType->HasChildNodes());
  EXPECT_EQ(U8(shallowType->SystemID()), "s");
  TXpRef<TXpNode> deep = type->CloneNode(true);
  auto* deepType = static_cast<TXpDocumentType*>(deep.get());
  ASSERT_NE(deepType->ExternalDTD(), nullptr);
  EXPECT_NE(deepType->ExternalDTD(), subset.get());
  EXPECT_TRUE(deepType->ExternalDTD()->IsExternalDTD());
  EXPECT_EQ(deepType->ExternalDTD()->ChildNodes()->Length(), 1);
  EXPECT_EQ(deepType->ChildNodes()->Length(), 1);
  EXPECT_EQ(type->GetDescendantsByType(DTD_ELEMENT_NODE, u"a")->Length(), 1);
  EXPECT_EQ(type->GetDescendantsByType(0, u"b")->Length(), 1);
  TXpRef<TXpDTDConditional> section = type->CreateDTDConditional(0);
  EXPECT_EQ(static_cast<TXpDTDConditional*>(section->CloneNode(false).get())->NodeType(), DTD_CONDITIONAL_NODE);
}

}  // namespace
