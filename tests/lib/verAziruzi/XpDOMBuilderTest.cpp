#include <gtest/gtest.h>

#include <string>

#include "DomFixture.h"
#include "lib/verAziruzi/XpDOMBuilder.h"

namespace {

// One line per node, in document order, with everything a tree holds: a
// structural fingerprint two trees can be compared by.
std::string Dump(const TXpNode* root) {
  std::string text;
  auto line = [&](const TXpNode* node, int depth) {
    text += std::string(static_cast<std::size_t>(depth), ' ') + std::to_string(node->NodeType()) + " " +
            U8(node->NodeName()) + " [" + U8(node->NodeValue()) + "]";
    if (const TXpNamedNodeMap* attributes = node->Attributes())
      for (const TXpNode* attribute : attributes->Nodes())
        text += " @" + U8(attribute->NodeName()) + "=[" + U8(attribute->NodeValue()) + "]";
    if (node->NodeType() == DOCUMENT_TYPE_NODE) {
      const auto* type = static_cast<const TXpDocumentType*>(node);
      text += " pub=" + U8(type->PublicID()) + " sys=" + U8(type->SystemID());
    }
    text += "\n";
  };
  std::vector<std::pair<const TXpNode*, int>> pending{{root, 0}};
  while (!pending.empty()) {
    auto [node, depth] = pending.back();
    pending.pop_back();
    line(node, depth);
    const auto& children = node->ChildNodes()->Nodes();
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.emplace_back(*it, depth + 1);
  }
  return text;
}

// The document's text as the object model saves it: its top-level children.
WideString SaveText(const TXpDocument* document) { return document->ChildNodes()->XmlDocument(); }

class BuilderTest : public ::testing::Test {
protected:
  TXpParser parser;
  TXpRef<TXpDocument> doc = TXpDocument::Create();
  TXpDOMBuilder builder{parser, doc};

  bool Load(const std::string& utf8) { return builder.LoadMemory(utf8.data(), static_cast<int>(utf8.size())); }
};

const char kSample[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE gpx [\n"
    "  <!ELEMENT gpx (trk | wpt)*>\n"
    "  <!ELEMENT name (#PCDATA)>\n"
    "  <!ATTLIST gpx version CDATA #REQUIRED creator CDATA \"me\" kind (a|b) 'a'>\n"
    "  <!ENTITY boat \"Boaty\">\n"
    "  <!NOTATION gif SYSTEM \"viewer\">\n"
    "]>\n"
    "<?style type=\"x\"?>\n"
    "<!-- survey -->\n"
    "<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:h=\"urn:h\">\n"
    "  <trk><name>Lake &amp; &boat; &lt;north&gt; \xf0\x9f\x98\x80 \xc3\xa9</name>\n"
    "    <trkseg>\n"
    "      <trkpt lat=\"52.5\" lon=\"13.4\" note=\"a &quot;b&quot; &amp; 'c' &#10;d\"><ele>3.5</ele>"
    "<extensions><h:depth>123</h:depth></extensions></trkpt>\n"
    "      <trkpt lat=\"52.6\" lon=\"13.5\"><desc><![CDATA[<raw> & ]]]]><![CDATA[> kept]]></desc></trkpt>\n"
    "    </trkseg>\n"
    "  </trk>\n"
    "  <wpt lat=\"1\" lon=\"2\"/><!--c2--><wpt lat=\"3\" lon=\"4\">\ttab</wpt>\n"
    "</gpx>\n";

TEST_F(BuilderTest, RoundTripGivesTheSameTree) {
  ASSERT_TRUE(Load(kSample)) << U8(parser.GetErrorMsg(0));
  const std::string first = Dump(doc);
  EXPECT_NE(first.find("@note=[a \"b\" & 'c' \nd]"), std::string::npos) << first;
  EXPECT_NE(first.find("Lake & Boaty <north> \xf0\x9f\x98\x80 \xc3\xa9"), std::string::npos) << first;
  EXPECT_NE(first.find("4  [<raw> & ]]]"), std::string::npos) << first;
  const WideString text = SaveText(doc);
  EXPECT_NE(text.find(u"&#128512;"), WideString::npos);

  ASSERT_TRUE(Load(XpWideToUtf8(text))) << U8(parser.GetErrorMsg(0)) << "\n" << U8(text);
  EXPECT_EQ(Dump(doc), first);
  EXPECT_EQ(SaveText(doc), text);
}

TEST_F(BuilderTest, TheTreeFollowsTheEvents) {
  ASSERT_TRUE(Load(kSample));
  TXpElement* gpx = doc->DocumentElement();
  ASSERT_NE(gpx, nullptr);
  EXPECT_EQ(U8(gpx->GetAttribute(u"version")), "1.1");
  EXPECT_EQ(U8(gpx->GetAttribute(u"creator")), "me");  // defaulted
  EXPECT_FALSE(gpx->GetAttributeNode(u"creator")->Specified());
  EXPECT_TRUE(gpx->GetAttributeNode(u"version")->Specified());
  EXPECT_EQ(U8(gpx->Defaultnamespace()), "http://www.topografix.com/GPX/1/1");
  const auto depths = gpx->GetElementsByTagName(u"depth");
  ASSERT_EQ(depths->Length(), 1);
  EXPECT_EQ(U8(depths->Item(0)->NamespaceURI()), "urn:h");
  EXPECT_EQ(U8(depths->Item(0)->XmlDocument()), "<h:depth>123</h:depth>");
  ASSERT_NE(doc->DocType(), nullptr);
  EXPECT_EQ(doc->DocType()->ChildNodes()->Length(), 5);
  EXPECT_EQ(gpx->RefCount(), 1);  // the builder keeps nothing after the load
  EXPECT_EQ(doc->RefCount(), 2);  // the test's and the builder's
}

TEST_F(BuilderTest, AFailedLoadLeavesAnEmptyDocument) {
  ASSERT_TRUE(Load("<a><b/></a>"));
  EXPECT_FALSE(Load("<a><b></a>"));
  EXPECT_GE(parser.ErrorCount(), 1);
  EXPECT_EQ(doc->ChildNodes()->Length(), 0);
  ASSERT_TRUE(Load("<c/>"));
  EXPECT_EQ(U8(SaveText(doc)), "<c/>");
}

}  // namespace
