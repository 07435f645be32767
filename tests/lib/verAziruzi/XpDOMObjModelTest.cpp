#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include "DomFixture.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "tests/support/LoopbackServers.h"
#include "tests/support/TempFolder.h"

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

class ObjModelTest : public ::testing::Test {
protected:
  TXpObjModel model;
  TXpDocument* doc = model.Document();
  TTempFolder folder{"objmodel"};

  bool Load(const std::string& utf8) { return model.LoadMemory(utf8.data(), static_cast<int>(utf8.size())); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder.Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Errors() const {
    std::string text;
    for (const WideString& line : model.Errors()) text += U8(line) + "\n";
    return text;
  }
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

TEST_F(ObjModelTest, RoundTripGivesTheSameTree) {
  ASSERT_TRUE(Load(kSample)) << U8(model.GetErrorMsg(0));
  const std::string first = Dump(doc);
  EXPECT_NE(first.find("@note=[a \"b\" & 'c' \nd]"), std::string::npos) << first;
  EXPECT_NE(first.find("Lake & Boaty <north> \xf0\x9f\x98\x80 \xc3\xa9"), std::string::npos) << first;
  EXPECT_NE(first.find("4  [<raw> & ]]]"), std::string::npos) << first;
  const WideString text = SaveText(doc);
  EXPECT_NE(text.find(u"&#128512;"), WideString::npos);

  ASSERT_TRUE(Load(XpWideToUtf8(text))) << U8(model.GetErrorMsg(0)) << "\n" << U8(text);
  EXPECT_EQ(Dump(doc), first);
  EXPECT_EQ(SaveText(doc), text);
}

TEST_F(ObjModelTest, TheTreeFollowsTheEvents) {
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
  EXPECT_EQ(gpx->RefCount(), 1);  // the object model keeps nothing after the load
  EXPECT_EQ(doc->RefCount(), 1);
}

// Each element is told once its subtree is whole; one it empties stays in the
// tree, empty, and the load goes on around it.
TEST_F(ObjModelTest, ElementsAreToldWhenCompleteAndMayBeEmptied) {
  std::string seen;
  model.OnElementLoaded = [&](TXpElement* element) {
    seen += U8(element->NodeName()) + "(" + U8(element->Text()) + ") ";
    if (element->NodeName() == u"trkseg") element->RemoveAll();
  };
  ASSERT_TRUE(Load("<gpx><trk><trkseg><trkpt><ele>1</ele></trkpt><trkpt/></trkseg><name>n</name>"
                   "<trkseg><trkpt><ele>2</ele></trkpt></trkseg></trk></gpx>"));
  EXPECT_EQ(seen, "ele(1) trkpt(1) trkpt() trkseg(1) name(n) ele(2) trkpt(2) trkseg(2) trk(n) gpx(n) ");
  EXPECT_EQ(U8(SaveText(doc)), "<gpx><trk><trkseg/><name>n</name><trkseg/></trk></gpx>");
  EXPECT_EQ(doc->DocumentElement()->RefCount(), 1);
}

TEST_F(ObjModelTest, AFailedLoadLeavesAnEmptyDocument) {
  ASSERT_TRUE(Load("<a><b/></a>"));
  EXPECT_FALSE(Load("<a><b></a>"));
  EXPECT_GE(model.ErrorCount(), 1);
  EXPECT_EQ(doc->ChildNodes()->Length(), 0);
  ASSERT_TRUE(Load("<c/>"));
  EXPECT_EQ(U8(SaveText(doc)), "<c/>");
}

TEST_F(ObjModelTest, AFailedLoadKeepsTheParsersLinesAndTheNextLoadWorks) {
  const std::string bad = Write("bad.xml", "<a>\n<b></a>");
  const std::string good = Write("good.xml", "<?xml-stylesheet href=\"s.xsl\"?><r><q/></r>");
  model.TrackElements = true;
  ASSERT_TRUE(model.LoadDataSource(WideString(good.begin(), good.end())));
  EXPECT_EQ(model.ErrorCount(), 0);
  EXPECT_FALSE(model.LoadDataSource(WideString(bad.begin(), bad.end())));
  ASSERT_EQ(model.ErrorCount(), 1);
  EXPECT_NE(Errors().find("File: "), std::string::npos) << Errors();
  EXPECT_NE(Errors().find("Line: 2"), std::string::npos) << Errors();
  EXPECT_EQ(model.DocumentElement(), nullptr);
  EXPECT_EQ(U8(model.GetErrorMsg(-1)), "ERROR INDEX OUT OF BOUNDS");
  EXPECT_EQ(U8(model.GetErrorMsg(model.ErrorCount())), "ERROR INDEX OUT OF BOUNDS");
  ASSERT_TRUE(model.LoadDataSource(WideString(good.begin(), good.end())));
  EXPECT_EQ(U8(model.XmlDocument()), "<?xml-stylesheet href=\"s.xsl\"?>\r\n<r><q/></r>");
  // A load clears neither the stylesheet list nor the tracked names.
  EXPECT_EQ(model.StylePIs().Length(), 2);
  EXPECT_EQ(model.TrackedElements(), (std::set<WideString>{u"a", u"b", u"q", u"r"}));
  EXPECT_TRUE(model.TrackedAttributes().empty());
}

TEST_F(ObjModelTest, AFailedLoadKeepsTheEncodingAndBaseOfTheDocumentBefore) {
  const std::string latin = Write("latin.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><c/>");
  std::filesystem::create_directory(folder.Path("other"));
  const std::string bad = Write("other/bad.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a><b></a>");
  ASSERT_TRUE(model.LoadDataSource(XpUtf8ToWide(latin)));
  const std::string base = U8(model.DocLocation());
  ASSERT_NE(base, "");
  const std::function<bool()> failures[] = {
      [&] { return model.LoadDataSource(XpUtf8ToWide(bad)); },
      [&] { return model.LoadDataSource(XpUtf8ToWide(folder.Path("other/none.xml"))); },
      [&] { return Load("<a><b></a>"); },
  };
  for (const auto& fail : failures) {
    EXPECT_FALSE(fail());
    EXPECT_EQ(model.OutCharSet, ceISO88591);
    EXPECT_EQ(U8(model.DocLocation()), base);
  }
  ASSERT_TRUE(Load("<c/>"));
  EXPECT_EQ(U8(model.DocLocation()), "");
}

TEST_F(ObjModelTest, AMissingFileAndAForeignExceptionStillLeaveALine) {
  EXPECT_FALSE(model.LoadDataSource(u"/no/such/file.xml"));
  EXPECT_GE(model.ErrorCount(), 1);
  // An error outside the library's own family gets a line of its own.
  model.OnPreserveSpace = [](TXpComponent*, const WideString&, bool&) { throw std::runtime_error("boom"); };
  EXPECT_FALSE(Load("<a> <b/> </a>"));
  ASSERT_EQ(model.ErrorCount(), 1);
  EXPECT_EQ(U8(model.GetErrorMsg(0)), "File: . Line: 0 Col: 0 Error: boom");
  EXPECT_EQ(doc->ChildNodes()->Length(), 0);
  model.RaiseErrors = true;
  EXPECT_THROW(Load("<a> <b/> </a>"), std::runtime_error);
  EXPECT_EQ(doc->ChildNodes()->Length(), 0);
}

TEST_F(ObjModelTest, XslTextKeepsItsBlanks) {
  model.NormalizeData = true;
  ASSERT_TRUE(Load("<x><xsl:text>  a  </xsl:text><p>  b  </p></x>"));
  EXPECT_EQ(U8(model.XmlDocument()), "<x><xsl:text>  a  </xsl:text><p>b</p></x>");
}

TEST_F(ObjModelTest, DocumentWriteTakesOneReference) {
  TXpRef<TXpDocument> other = TXpDocument::Create();
  model.SetDocument(doc);  // the same one: nothing changes
  EXPECT_EQ(doc->RefCount(), 1);
  model.SetDocument(nullptr);
  EXPECT_EQ(model.Document(), doc);
  model.SetDocument(other);
  EXPECT_EQ(other->RefCount(), 2);
  ASSERT_TRUE(Load("<z/>"));
  EXPECT_EQ(U8(other->ChildNodes()->XmlDocument()), "<z/>");
}

TEST_F(ObjModelTest, SavesTheEncodingReadAndReplacesFilesSafely) {
  const std::string latin = Write("latin.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><c>Z\xfcrich</c>");
  ASSERT_TRUE(model.LoadDataSource(WideString(latin.begin(), latin.end()))) << Errors();
  EXPECT_EQ(model.OutCharSet, ceISO88591);
  const std::string out = folder.Path("out.xml");
  ASSERT_TRUE(model.SaveToFile(u"FiLe://" + WideString(out.begin(), out.end())));
  EXPECT_EQ(Read(out), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<c>Z&#252;rich</c>");  // no signature

  const std::string utf8 = Write("utf8.xml", "<c>Z\xc3\xbcrich \xe2\x82\xac</c>");
  ASSERT_TRUE(model.LoadDataSource(WideString(utf8.begin(), utf8.end())));
  EXPECT_EQ(model.OutCharSet, ceUTF8);
  ASSERT_TRUE(model.SaveToFile(WideString(out.begin(), out.end())));
  EXPECT_EQ(Read(out), "\xef\xbb\xbf<c>Z&#252;rich &#8364;</c>");
  model.WriteUTF8Signature = false;
  ASSERT_TRUE(model.SaveToFile(WideString(out.begin(), out.end())));
  EXPECT_EQ(Read(out), "<c>Z&#252;rich &#8364;</c>");

  // A save that cannot finish leaves no partial file behind.
  EXPECT_FALSE(model.SaveToFile(u"/no/such/folder/x.xml"));
  EXPECT_GE(model.ErrorCount(), 1);
}

// A stream that takes no byte, as a full disk or a closed pipe does.
class TRefusingStream : public TXpStream {
public:
  std::int64_t Read(void*, std::int64_t) override { return 0; }
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t, TXpSeekOrigin) override { return 0; }
  std::int64_t Size() override { return 0; }
};

TEST_F(ObjModelTest, ASaveThatCannotWriteTheWholeTextFailsAndKeepsTheOldFile) {
  ASSERT_TRUE(Load("<z>text</z>"));
  TRefusingStream refusing;
  EXPECT_FALSE(model.SaveToStream(refusing));
  EXPECT_EQ(model.ErrorCount(), 1) << Errors();

  // No encoding can write a lone surrogate: the text would end before it.
  const std::string out = Write("old.xml", "<old/>");
  doc->DocumentElement()->AppendChild(doc->CreateComment(u"before \xD800 after"));
  EXPECT_FALSE(model.SaveToFile(WideString(out.begin(), out.end())));
  EXPECT_NE(Errors().find("unpaired surrogate"), std::string::npos) << Errors();
  EXPECT_EQ(Read(out), "<old/>");
  TXpMemoryStream stream;
  EXPECT_FALSE(model.SaveToStream(stream));
  EXPECT_EQ(stream.Size(), 0);
}

TEST_F(ObjModelTest, OnlyALeadingFtpSchemeUploadsAndNeverWithNetworkOff) {
  ASSERT_TRUE(Load("<z/>"));
  EXPECT_FALSE(model.SaveToFile(u"FTP://127.0.0.1:9/x.xml"));
  ASSERT_EQ(model.ErrorCount(), 1);
  EXPECT_NE(Errors().find("Network access is off: 127.0.0.1:9/x.xml"), std::string::npos) << Errors();
  // A name that merely contains the scheme is a local name.
  const std::string dir = folder.Path("aftp:");
  std::filesystem::create_directories(dir + "/127.0.0.1");
  EXPECT_TRUE(model.SaveToFile(WideString(dir.begin(), dir.end()) + u"//127.0.0.1/x.xml"));
  EXPECT_EQ(Read(dir + "/127.0.0.1/x.xml"), "<z/>");
}

TEST_F(ObjModelTest, NetworkOffContactsNoHttpDtdButLocalDtdsLoad) {
  TQuietListener listener;
  const std::string port = std::to_string(listener.Port());
  const std::string remote = Write("remote.xml", "<!DOCTYPE r SYSTEM \"http://127.0.0.1:" + port + "/r.dtd\"><r/>");
  EXPECT_FALSE(model.LoadDataSource(WideString(remote.begin(), remote.end())));
  EXPECT_NE(Errors().find("Network access is off: 127.0.0.1:" + port + "/r.dtd"), std::string::npos)
      << Errors();
  EXPECT_FALSE(listener.SomeoneConnected());
  EXPECT_FALSE(model.LoadDataSource(WideString(u"http://127.0.0.1:") + XpUtf8ToWide(port) + u"/doc.xml"));
  EXPECT_FALSE(listener.SomeoneConnected());

  Write("local.dtd", "<!ENTITY who \"local\">");
  const std::string local = Write("local.xml", "<!DOCTYPE r SYSTEM \"local.dtd\"><r>&who;</r>");
  ASSERT_TRUE(model.LoadDataSource(WideString(local.begin(), local.end()))) << Errors();
  EXPECT_EQ(U8(model.DocumentElement()->Text()), "local");
}

TEST_F(ObjModelTest, OnlyTheExternalSubsetBecomesTheExternalDtd) {
  Write("more.ent", "<!ELEMENT extra EMPTY>");
  Write("subset.dtd", "<!ELEMENT s EMPTY>\n<!ENTITY % more SYSTEM \"more.ent\">\n%more;\n<!ELEMENT last EMPTY>");
  const std::string path = Write("pe.xml", "<!DOCTYPE r SYSTEM \"subset.dtd\" [<!ELEMENT r ANY>]><r/>");
  ASSERT_TRUE(model.LoadDataSource(WideString(path.begin(), path.end()))) << Errors();
  TXpDocumentType* type = doc->DocType();
  ASSERT_NE(type, nullptr);
  ASSERT_NE(type->ExternalDTD(), nullptr);
  EXPECT_EQ(U8(type->ExternalDTD()->NodeName()), "subset.dtd");
  std::string names;
  for (const TXpNode* node : type->ExternalDTD()->ChildNodes()->Nodes()) {
    names += U8(node->NodeName()) + (node->HasChildNodes() ? "(" + U8(node->FirstChild()->NodeName()) + ")" : "") +
             ";";
  }
  // The entity's declarations stay where it was referenced, after those before.
  EXPECT_EQ(names, "s;more;more.ent(extra);last;") << names;
  EXPECT_FALSE(U8(type->ExternalDTD()->BaseURI()).empty());
}

TEST_F(ObjModelTest, AResolveHandlerSetAfterCreationRedirectsEntities) {
  const std::string right = Write("right.ent", "redirected");
  model.SetOnResolveEntity([&](TXpComponent*, const WideString&, const WideString&, const WideString&,
                               WideString& identifier) { identifier = XpUtf8ToWide(right); });
  const std::string path = Write("e.xml", "<!DOCTYPE r [<!ENTITY e SYSTEM \"wrong.ent\">]><r>&e;</r>");
  ASSERT_TRUE(model.LoadDataSource(WideString(path.begin(), path.end()))) << Errors();
  EXPECT_EQ(U8(model.DocumentElement()->Text()), "redirected");
}

}  // namespace
