// Documents loaded, saved and loaded again, checked by an independent reader:
// xmllint must find the saved file well-formed and give it the canonical form
// of the original, and a second save must repeat the first byte for byte (a
// writer that adds to what it was given shows here as growth).

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "DomFixture.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XmlOracle.h"

namespace {

class RoundTripTest : public ::testing::Test {
protected:
  TTempFolder folder_{"shoalwright-roundtrip"};

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static std::string Errors(TXpObjModel& model) {
    std::string text;
    for (int i = 0; i < model.ErrorCount(); ++i) text += U8(model.GetErrorMsg(i)) + "\n";
    return text;
  }

  // Loads the file, saves it beside itself (so that relative system
  // identifiers still resolve) and checks the saved file; answers its path.
  std::string SaveAgain(const std::string& path, TXpObjModel& model) {
    model.NormalizeData = false;  // the content as given, whitespace and all
    EXPECT_TRUE(model.LoadDataSource(XpUtf8ToWide(path))) << Errors(model);
    const std::string saved = path + ".saved.xml";
    EXPECT_TRUE(model.SaveToFile(XpUtf8ToWide(saved))) << Errors(model);
    const TXmlOracleResult wellFormed = TXmlOracle::WellFormed(saved);
    EXPECT_TRUE(wellFormed.Ok()) << wellFormed.errors << Read(saved);
    return saved;
  }

  void ExpectRoundTrip(const std::string& name, const std::string& text) {
    SCOPED_TRACE(name);
    const std::string original = Write(name, text);
    const TXmlOracleResult expected = TXmlOracle::Canonical(original);
    ASSERT_TRUE(expected.Ok()) << "the fixture itself: " << expected.errors;
    TXpObjModel first;
    const std::string saved = SaveAgain(original, first);
    const TXmlOracleResult canonical = TXmlOracle::Canonical(saved);
    EXPECT_TRUE(canonical.Ok()) << canonical.errors;
    EXPECT_EQ(canonical.output, expected.output) << Read(saved);
    TXpObjModel second;
    const std::string savedTwice = SaveAgain(saved, second);
    EXPECT_EQ(Read(savedTwice), Read(saved));
  }
};

TEST_F(RoundTripTest, ContentComesBackAsItWas) {
  const struct {
    const char* name;
    const char* text;
  } documents[] = {
      {"comments-between-texts.xml",
       "<gpx xmlns:h=\"urn:h\"><trk>a<!--one-->b<!--two--><!--three-->c<e/><!--four-->\n  d</trk>"
       "<extensions><h:depth>1.5</h:depth><!-- kept -->\n</extensions></gpx>"},
      {"cr-and-tab.xml",
       "<r a=\"x&#13;y&#9;z&#10;w\" b=\"raw\r\nbreak\" c=\"&#13;&#10;\">"
       "a&#13;b&#13;&#10;c&#9;d\te\r\nf<i>&#13;</i></r>"},
      {"markup-characters.xml",
       "<r q='say \"hi\"' l=\"&lt;&amp;&gt;\">x &lt; y &amp; z &gt; w ]]&gt; \"'<![CDATA[<raw & ]]]]><![CDATA[>]]></r>"},
      {"beyond-ascii.xml", "<r a=\"\xC3\xA9\xF0\x9F\x98\x80\">\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</r>"},
      {"latin-1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xE9\">\xE9\xFF</r>"},
      {"top-level.xml",
       "<?xml version=\"1.0\"?>\n<!--before-->\n<?style href=\"a.css\"?>\n<r><?pi  data ?></r>\n<!--after-->\n"},
  };
  for (const auto& document : documents) ExpectRoundTrip(document.name, document.text);
}

TEST_F(RoundTripTest, DeclarationsComeBackAsTheyWere) {
  Write("r.dtd", "<!ELEMENT r ANY><!ATTLIST r fromdtd CDATA \"external\">");
  Write("pe.ent", "<!ENTITY fromfile \"read &#60;i>from&#60;/i> a file\">");
  const struct {
    const char* name;
    const char* text;
  } documents[] = {
      {"entity-values.xml",
       "<!DOCTYPE r [<!ENTITY elt '&#60;b>bold&#60;/b>'><!ENTITY eamp \"a &amp; b &#38;#38; c\">"
       "<!ENTITY pct \"100&#37;\"><!ENTITY equot '\"q\" &#34;'><!ENTITY empty \"\"><!ENTITY cr \"&#13;\"><!ENTITY nl \"one&#10;two&#9;three\">"
       "<!ENTITY % decl \"&#60;!ENTITY made 'by a parameter entity'>\">%decl;]>"
       "<r>&elt;|&eamp;|&pct;|&equot;|[&empty;]|&made;|&cr;|&nl;</r>"},
      {"defaults.xml",
       "<!DOCTYPE r [<!ENTITY e \"E\"><!ATTLIST r fixed CDATA #FIXED \"\" plain CDATA \"\""
       " ref CDATA \"a&amp;b&lt;c &e; d\" quote CDATA 'say \"hi\"' set CDATA \"unused\" req CDATA #REQUIRED"
       " kind (x|y) \"y\" opt NMTOKEN #IMPLIED tab CDATA \"a\tb\">]><r req=\"1\" set=\"given\"/>"},
      {"external-pe.xml", "<!DOCTYPE r [<!ENTITY % pe SYSTEM \"pe.ent\">%pe;]><r>&fromfile;</r>"},
      {"public.xml", "<!DOCTYPE r PUBLIC \"-//Shoalwright//Test//EN\" \"r.dtd\"><r/>"},
      {"system.xml", "<!DOCTYPE r SYSTEM \"r.dtd\" [<!ENTITY in \"inner\">]><r>&in;</r>"},
  };
  for (const auto& document : documents) ExpectRoundTrip(document.name, document.text);

  // The canonical form has no DOCTYPE: the identifiers are compared here.
  for (const char* name : {"public.xml", "system.xml"}) {
    TXpObjModel model;
    ASSERT_TRUE(model.LoadDataSource(XpUtf8ToWide(folder_.Path(name) + ".saved.xml"))) << Errors(model);
    const TXpDocumentType* type = model.Document()->DocType();
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(U8(type->PublicID()), name == std::string("public.xml") ? "-//Shoalwright//Test//EN" : "");
    EXPECT_EQ(U8(type->SystemID()), "r.dtd");
  }
}

// What the API can build that no parser makes: values holding the ends of
// their markup, CR in CDATA, attributes set by namespace.
TEST_F(RoundTripTest, DocumentsBuiltThroughTheApiAreReadAsBuilt) {
  TXpObjModel model;
  TXpDocument* doc = model.Document();
  TXpRef<TXpElement> root = doc->CreateElement(u"r");
  doc->AppendChild(root);
  root->SetAttribute(u"a", u"x\ty\nz\r");
  root->SetAttributeNS(u"", u"a", u"tab\there");
  root->CreateChildText(u"t\ru\r\nv");
  TXpRef<TXpComment> comment = doc->CreateComment(u"a--b-");
  root->AppendChild(comment);
  TXpRef<TXpProcessingInstruction> pi = doc->CreateProcessingInstruction(u"t", u"a?>b");
  root->AppendChild(pi);
  root->CreateChildCDataSection(u"x]]>y\rz\r");
  root->CreateChildText(u"after");
  const std::string saved = folder_.Path("built.xml");
  ASSERT_TRUE(model.SaveToFile(XpUtf8ToWide(saved))) << Errors(model);
  const TXmlOracleResult canonical = TXmlOracle::Canonical(saved);
  ASSERT_TRUE(canonical.Ok()) << canonical.errors << Read(saved);
  EXPECT_EQ(canonical.output,
            "<r a=\"tab&#x9;here\">t&#xD;u&#xD;\nv<!--a- -b- --><?t a? >b?>x]]&gt;y&#xD;z&#xD;after</r>");
}

}  // namespace
