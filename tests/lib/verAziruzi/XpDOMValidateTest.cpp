#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "DomFixture.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "tests/support/TempFolder.h"

namespace {

// An object model whose handler writes down every finding as "code:node" (the
// node's name, "-" for none) and, when asked, stops at the first one.
class ValidateTest : public ::testing::Test {
protected:
  TXpObjModel model;
  std::string findings;
  bool stopAtFirst = false;

  void SetUp() override {
    model.OnInvalidDocument = [this](TXpComponent* owner, int code, TXpNode* node, bool& stop) {
      EXPECT_EQ(owner, &model);
      EXPECT_FALSE(stop);
      if (!findings.empty()) findings += ' ';
      findings += std::to_string(code) + ":" + (node ? U8(node->NodeName()) : "-");
      stop = stopAtFirst;
    };
  }
  void Load(const std::string& text) {
    ASSERT_TRUE(model.LoadMemory(text.data(), static_cast<int>(text.size()))) << U8(model.GetErrorMsg(0));
  }
  TXpDocument* Doc() { return model.Document(); }
  TXpElement* Root() { return model.DocumentElement(); }
  TXpDocumentType* Type() { return Doc()->DocType(); }
};

struct Case {
  const char* what;
  const char* document;
  const char* findings;  // empty for a valid document
  const char* stopText;  // what a handler that stops at the first finding gets from ValidateElement
};

const Case kCases[] = {
    {"no document type", "<r/>", "1:-", ""},
    {"root named unlike the type", "<!DOCTYPE x [<!ELEMENT r EMPTY>]><r/>", "4:-", ""},
    {"undeclared element", "<!DOCTYPE r [<!ELEMENT r ANY>]><r><b/></r>", "5:b", "Element not defined"},
    {"EMPTY holding a comment", "<!DOCTYPE r [<!ELEMENT r EMPTY>]><r><!--c--></r>", "6:r", "Element not empty"},
    {"sequence met", "<!DOCTYPE r [<!ELEMENT r (a,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><a/><b/></r>", "", ""},
    {"sequence with comments between",
     "<!DOCTYPE r [<!ELEMENT r (a,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><!--x--><a/><?p?><b/><!--y--></r>", "",
     ""},
    {"sequence with one left over",
     "<!DOCTYPE r [<!ELEMENT r (a,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY><!ELEMENT c EMPTY>]>"
     "<r><a/><b/><a/></r>",
     "9:r", "Element child not expected"},
    {"child outside the model, before the order",
     "<!DOCTYPE r [<!ELEMENT r (a,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY><!ELEMENT c EMPTY>]>"
     "<r><a/><b/><c/></r>",
     "7:c 9:r", "Element not allowed as content"},
    {"sequence missing its second", "<!DOCTYPE r [<!ELEMENT r (a,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><a/></r>",
     "8:r", "Required child missing"},
    {"pretty-printed", "<!DOCTYPE r [<!ELEMENT r (a,b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r>\n <a/>\n <b/>\n</r>", "",
     ""},
    {"choice met", "<!DOCTYPE r [<!ELEMENT r (a|b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><b/></r>", "", ""},
    {"choice not met",
     "<!DOCTYPE r [<!ELEMENT r (a|b)><!ELEMENT a EMPTY><!ELEMENT b EMPTY><!ELEMENT c EMPTY>]><r><c/></r>",
     "7:c 8:r", "Element not allowed as content"},
    {"optional and repeated", "<!DOCTYPE r [<!ELEMENT r (a?,b*)><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><b/><b/></r>",
     "", ""},
    {"one or more", "<!DOCTYPE r [<!ELEMENT r (a+)><!ELEMENT a EMPTY>]><r><a/><a/><a/></r>", "", ""},
    {"optional group absent", "<!DOCTYPE r [<!ELEMENT r (a,b)?><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r/>", "", ""},
    {"optional group half there", "<!DOCTYPE r [<!ELEMENT r (a,b)?><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><a/></r>",
     "9:r", "Element child not expected"},
    {"repeated group absent", "<!DOCTYPE r [<!ELEMENT r (a,b)*><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r/>", "", ""},
    {"repeated group ending short",
     "<!DOCTYPE r [<!ELEMENT r (a,b)*><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><a/><b/><a/></r>", "9:r",
     "Element child not expected"},
    {"one or more of none", "<!DOCTYPE r [<!ELEMENT r (a)+><!ELEMENT a EMPTY>]><r/>", "8:r",
     "Required child missing"},
    {"repeated group", "<!DOCTYPE r [<!ELEMENT r (a,b)*><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r><a/><b/><a/><b/></r>",
     "", ""},
    {"looping group ends at an undeclared child", "<!DOCTYPE r [<!ELEMENT r ((a)?)*><!ELEMENT a EMPTY>]><r><z/></r>",
     "7:z 9:r 5:z", "Element not allowed as content"},
    {"mixed content ignores order and number",
     "<!DOCTYPE r [<!ELEMENT r (#PCDATA|a|b)*><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r>x<b/>y<a/><b/></r>", "", ""},
    {"mixed content names its children",
     "<!DOCTYPE r [<!ELEMENT r (#PCDATA|a)*><!ELEMENT a EMPTY><!ELEMENT b EMPTY>]><r>x<b/></r>", "7:b",
     "Element not allowed as content"},
    {"ANY takes anything", "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a (#PCDATA)>]><r>t<a>u</a><!--c--></r>", "", ""},
    {"attributes without a list", "<!DOCTYPE r [<!ELEMENT r EMPTY>]><r v=\"1\"/>", "10:r",
     "Element attribute list not defined"},
    {"fixed attribute changed", "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r v CDATA #FIXED \"x\">]><r v=\"y\"/>",
     "11:v", "Cannot change fixed attribute"},
    {"fixed attribute defaulted", "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r v CDATA #FIXED \"x\">]><r/>", "", ""},
    {"value outside the enumeration", "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r v (p|q) #IMPLIED>]><r v=\"r\"/>",
     "12:v", "Attribute not defined in enumeration"},
    {"value in the enumeration", "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r v (p|q) #IMPLIED>]><r v=\"q\"/>", "", ""},
    {"required attribute missing", "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r v CDATA #REQUIRED>]><r/>", "13:r",
     "Required attribute missing"},
    {"undeclared attribute", "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r v CDATA #IMPLIED>]><r w=\"1\"/>", "15:w",
     "w attribute not defined in DTD"},
    {"findings in document order",
     "<!DOCTYPE r [<!ELEMENT r (a*)><!ELEMENT a EMPTY><!ATTLIST a v CDATA #REQUIRED>]>"
     "<r><a v=\"1\"/><a/><a><b/></a></r>",
     "13:a 13:a 6:a 5:b", "Required attribute missing"},
};

TEST_F(ValidateTest, ReportsEachFindingWithItsCodeAndNode) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Load(c.document);
    findings.clear();
    EXPECT_EQ(model.ValidateDocument(), std::string(c.findings).empty());
    EXPECT_EQ(findings, c.findings);
  }
}

TEST_F(ValidateTest, AHandlerThatStopsHaltsAtTheFirstFinding) {
  stopAtFirst = true;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    if (!*c.stopText) continue;
    Load(c.document);
    findings.clear();
    try {
      model.ValidateElement(Root(), Type());
      ADD_FAILURE() << "no halt";
    } catch (const TXpInvalidHalt& halt) {
      EXPECT_EQ(U8(halt.Message()), c.stopText);
    }
    EXPECT_EQ(findings.find(' '), std::string::npos) << findings;

    findings.clear();
    EXPECT_FALSE(model.ValidateDocument());
    EXPECT_EQ(findings.find(' '), std::string::npos) << findings;
  }
}

TEST_F(ValidateTest, ADocumentLevelFindingThatStopsEndsTheCheck) {
  stopAtFirst = true;
  Load("<!DOCTYPE x [<!ELEMENT r EMPTY>]><r><q/></r>");
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "4:-");
}

// Element content holds no text after a load; text put there through the DOM
// is never skipped, and a group that matches without taking anything stops
// repeating.
TEST_F(ValidateTest, TextInElementContent) {
  Load("<!DOCTYPE r [<!ELEMENT r ((a)?)*><!ELEMENT a EMPTY>]><r><a/></r>");
  EXPECT_TRUE(model.ValidateDocument());
  Root()->CreateChildText(u"t");
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "9:r");

  Load("<!DOCTYPE r [<!ELEMENT r (a)><!ELEMENT a EMPTY>]><r><a/></r>");
  Root()->InsertBefore(TXpRef<TXpText>(Doc()->CreateTextNode(u" ")), Root()->FirstChild());
  findings.clear();
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "8:r");
}

TEST_F(ValidateTest, WithoutAHandlerTheResultStillTells) {
  model.OnInvalidDocument = nullptr;
  Load("<!DOCTYPE r [<!ELEMENT r (a)><!ELEMENT a EMPTY>]><r><a/><a/></r>");
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_FALSE(model.ValidateElement(Root(), Type()));
  Load("<!DOCTYPE r [<!ELEMENT r (a)><!ELEMENT a EMPTY>]><r><a/></r>");
  EXPECT_TRUE(model.ValidateDocument());
  EXPECT_TRUE(model.ValidateElement(Root(), Type()));
}

TEST_F(ValidateTest, ElementWithoutADocumentTypeReportsOne) {
  Load("<r><a/></r>");
  EXPECT_FALSE(model.ValidateElement(Root(), nullptr));
  EXPECT_EQ(findings, "1:-");
}

TEST_F(ValidateTest, ValidatesOneElementAndWhatLiesBelowIt) {
  Load("<!DOCTYPE r [<!ELEMENT r (a,a)><!ELEMENT a (#PCDATA)>]><r><a>x</a><a><b/></a></r>");
  TXpNode* second = Root()->ChildNodes()->Item(1);
  EXPECT_TRUE(model.ValidateElement(static_cast<TXpElement*>(Root()->FirstChild()), Type()));
  EXPECT_EQ(findings, "");
  EXPECT_FALSE(model.ValidateElement(static_cast<TXpElement*>(second), Type()));
  EXPECT_EQ(findings, "7:b 5:b");
}

TEST_F(ValidateTest, NamesAndValuesCompareExactlyWhateverIgnoreCase) {
  model.SetIgnoreCase(true);
  Load("<!DOCTYPE r [<!ELEMENT r (a)><!ELEMENT a EMPTY><!ATTLIST a v (p|q) #IMPLIED>]><r><A v=\"P\"/></r>");
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "7:A 8:r 5:A 10:A");
}

// XML merges every attribute-list declaration of an element: an attribute of
// a later list is declared, and its #REQUIRED counts.
TEST_F(ValidateTest, EveryAttributeListOfTheElementCounts) {
  const std::string dtd =
      "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r a (x|y) #IMPLIED><!ATTLIST r b CDATA #REQUIRED>"
      "<!ATTLIST r a CDATA #IMPLIED c CDATA #IMPLIED>]>";
  const struct {
    const char* element;
    const char* findings;
  } cases[] = {
      {"<r b=\"1\"/>", ""},
      {"<r b=\"1\" a=\"y\" c=\"2\"/>", ""},  // the first list that defines "a" decides: an enumeration
      {"<r b=\"1\" a=\"z\"/>", "12:a"},
      {"<r a=\"x\"/>", "13:r"},
      {"<r b=\"1\" d=\"3\"/>", "15:d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.element);
    Load(dtd + c.element);
    findings.clear();
    EXPECT_EQ(model.ValidateDocument(), std::string(c.findings).empty());
    EXPECT_EQ(findings, c.findings);
  }
}

TEST_F(ValidateTest, MalformedDeclarationsRaiseWhateverTheHandlerSays) {
  Load("<!DOCTYPE r [<!ELEMENT r (#PCDATA)><!ATTLIST r v CDATA #IMPLIED>]><r v=\"1\"/>");
  TXpDTDElement* declaration = nullptr;
  TXpNode* attlist = nullptr;
  for (TXpNode* node : Type()->ChildNodes()->Nodes()) {
    if (node->NodeType() == DTD_ELEMENT_NODE) declaration = static_cast<TXpDTDElement*>(node);
    if (node->NodeType() == DTD_ATTLIST_NODE) attlist = node;
  }
  ASSERT_TRUE(declaration && attlist);
  EXPECT_TRUE(model.ValidateDocument());

  TXpRef<TXpComment> stray = Doc()->CreateComment(u"stray");
  attlist->AppendChild(stray);
  try {
    model.ValidateElement(Root(), Type());
    ADD_FAILURE() << "no halt";
  } catch (const TXpInvalidHalt& halt) {
    EXPECT_EQ(U8(halt.Message()), "Improperly formed DTD");
  }
  attlist->RemoveChild(stray);

  declaration->RemoveChild(declaration->FirstChild());
  findings.clear();
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "2:r");
  EXPECT_THROW(model.ValidateElement(Root(), Type()), TXpInvalidHalt);
}

// The external subset counts after the internal one, with what its INCLUDE
// sections and parameter entities hold; an IGNORE section does not.
TEST_F(ValidateTest, DeclarationsOfTheExternalSubset) {
  TTempFolder folder("validate");
  std::ofstream(folder.Path("part.ent")) << "<!ELEMENT p EMPTY>";
  std::ofstream(folder.Path("ext.dtd")) << "<!ELEMENT a ANY>\n"
                                           "<![INCLUDE[<!ELEMENT b EMPTY>]]>\n"
                                           "<![IGNORE[<!ELEMENT c EMPTY>]]>\n"
                                           "<!ENTITY % part SYSTEM \"part.ent\">%part;\n";
  const std::string body = "<!DOCTYPE r SYSTEM \"ext.dtd\" [<!ELEMENT r ANY><!ELEMENT a EMPTY>]><r><a><b/></a><p/><c/></r>";
  std::ofstream(folder.Path("doc.xml")) << body;
  const std::string path = folder.Path("doc.xml");
  ASSERT_TRUE(model.LoadDataSource(WideString(path.begin(), path.end()))) << U8(model.GetErrorMsg(0));
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "6:a 5:c");

  std::ofstream(folder.Path("doc.xml")) << "<?xml version=\"1.0\" standalone=\"yes\"?>" << body;
  ASSERT_TRUE(model.LoadDataSource(WideString(path.begin(), path.end()))) << U8(model.GetErrorMsg(0));
  findings.clear();
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "14:- 6:a 5:c");
}

TEST_F(ValidateTest, ATreeFarDeeperThanTheCallStack) {
  Load("<!DOCTYPE d [<!ELEMENT d (e)?><!ELEMENT e (d)?><!ATTLIST e k CDATA #REQUIRED>]><d/>");
  constexpr int kDepth = 100000;
  TXpElement* bottom = Root();
  for (int i = 1; i < kDepth; ++i) {
    bottom = bottom->CreateChildElement(i % 2 ? u"e" : u"d");
    if (i % 2) bottom->SetAttribute(u"k", u"1");
  }
  EXPECT_TRUE(model.ValidateDocument()) << findings;
  EXPECT_TRUE(model.ValidateElement(Root(), Type()));

  bottom->CreateChildElement(u"z");
  EXPECT_FALSE(model.ValidateDocument());
  EXPECT_EQ(findings, "7:z 9:e 5:z");
}

}  // namespace
