// Hostile and huge inputs: every one ends with an error line or a clean parse,
// never a hang, a stack overflow or exhausted memory; and no network location
// is opened unless the parser is told to.

#include <fstream>
#include <map>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lib/verAziruzi/XpParser.h"
#include "tests/support/LoopbackServers.h"
#include "tests/support/SmallStack.h"
#include "tests/support/TempFolder.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

std::string U8(const WideString& s) { return XpWideToUtf8(s); }
std::string Num(int n) { return U8(XpFormat(u"%d", {n})); }

// The one error line of a failed parse, or "" when the parse succeeded.
std::string ParseError(const std::string& text, std::string* data = nullptr) {
  TXpParser parser;
  parser.OnAttribute = [](TXpComponent*, const WideString&, const WideString&, bool) {};
  if (data) parser.OnCharData = [data](TXpComponent*, const WideString& v) { *data += U8(v); };
  if (parser.ParseMemory(text.data(), static_cast<int>(text.size()))) return "";
  EXPECT_EQ(parser.ErrorCount(), 1);
  return U8(parser.GetErrorMsg(0));
}

std::string Repeat(const std::string& piece, int count) {
  std::string text;
  text.reserve(piece.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(XpParserLimits, BillionLaughsAreBounded) {
  std::string laughs = "<!DOCTYPE a [<!ENTITY l0 '" + Repeat("lol", 300) + "'>";
  for (int i = 1; i <= 9; ++i)
    laughs += "<!ENTITY l" + Num(i) + " '" + Repeat("&l" + Num(i - 1) + ";", 10) + "'>";
  laughs += "]><a>&l9;</a>";
  EXPECT_THAT(ParseError(laughs), HasSubstr("Error: Entity expansion limit exceeded at: l"));
}

TEST(XpParserLimits, QuadraticBlowUpIsBounded) {
  std::string quadratic = "<!DOCTYPE a [<!ENTITY big '" + std::string(100000, 'x') + "'>]><a>" +
                          Repeat("&big;", 200) + "</a>";
  EXPECT_THAT(ParseError(quadratic), EndsWith("Error: Entity expansion limit exceeded at: big"));
  // The same in an attribute value.
  std::string inAttribute = "<!DOCTYPE a [<!ENTITY big '" + std::string(100000, 'x') + "'>]><a v='" +
                            Repeat("&big;", 200) + "'/>";
  EXPECT_THAT(ParseError(inAttribute), EndsWith("Error: Entity expansion limit exceeded at: big"));
}

TEST(XpParserLimits, PredefinedEntitiesDoNotCount) {
  // 16 000 000 characters of replacement text, just below the bound, and 200 000
  // predefined references whose texts would take it a million beyond.
  std::string document = "<!DOCTYPE a [<!ENTITY big '" + std::string(800000, 'x') + "'>]><a>" +
                         Repeat("&big;", 20) + Repeat("&lt;&#65;", 200000) + "</a>";
  EXPECT_EQ(ParseError(document), "");
  EXPECT_THAT(ParseError("<!DOCTYPE a [<!ENTITY big '" + std::string(800000, 'x') + "'>]><a>" + Repeat("&big;", 21) +
                         "</a>"),
              EndsWith("Error: Entity expansion limit exceeded at: big"));
}

TEST(XpParserLimits, DefaultAttributesCountAsExpansion) {
  // Each "<x/>" of four bytes gets a thousand attributes.
  std::string declarations;
  for (int i = 0; i < 1000; ++i) declarations += "<!ATTLIST x d" + Num(i) + " CDATA 'v'>";
  EXPECT_THAT(ParseError("<!DOCTYPE a [" + declarations + "]><a>" + Repeat("<x/>", 9000) + "</a>"),
              EndsWith("Error: Default attribute expansion limit exceeded at: x"));
  EXPECT_EQ(ParseError("<!DOCTYPE a [" + declarations + "]><a>" + Repeat("<x/>", 10) + "</a>"), "");
}

TEST(XpParserLimits, ExpansionGrowsWithTheDocument) {
  // 2 000 000 characters of replacement text are too much for a file of 6 KB,
  // and fine in one of 300 KB, as a big file may well hold that much text itself.
  const std::string declaration = "<!DOCTYPE a [<!ENTITY e '" + std::string(1000, 'x') + "'>]>";
  const std::string references = Repeat("&e;", 2000);
  EXPECT_THAT(ParseError(declaration + "<a>" + references + "</a>"),
              EndsWith("Error: Entity expansion limit exceeded at: e"));
  EXPECT_EQ(ParseError(declaration + "<a>" + references + std::string(300000, 'y') + "</a>"), "");
}

TEST(XpParserLimits, TagsLookOnlyAtTheDefinitionsWithADefault) {
  // 20 000 definitions without a default would cost each of 20 000 tags a look.
  std::string declarations;
  for (int i = 0; i < 20000; ++i) declarations += "<!ATTLIST x d" + Num(100000 + i) + " CDATA #IMPLIED>";
  declarations += "<!ATTLIST x given CDATA 'default' d CDATA 'dee'>";
  TXpParser parser;
  std::map<std::string, int> attributes;
  parser.OnAttribute = [&](TXpComponent*, const WideString& name, const WideString& value, bool specified) {
    ++attributes[U8(name) + "=" + U8(value) + (specified ? "" : " (default)")];
  };
  const std::string document = "<!DOCTYPE a [" + declarations + "]><a><x given='yes' d100007='7'/>" +
                               Repeat("<x/>", 20000) + "</a>";
  ASSERT_TRUE(parser.ParseMemory(document.data(), static_cast<int>(document.size()))) << U8(parser.GetErrorMsg(0));
  EXPECT_EQ(attributes, (std::map<std::string, int>{{"given=yes", 1},
                                                    {"d100007=7", 1},
                                                    {"given=default (default)", 20000},
                                                    {"d=dee (default)", 20001}}));
}

TEST(XpParserLimits, DeclarationsInReverseOrderAreNoBurden) {
  // Each declaration would go in before all the earlier ones, were the tables
  // kept in order as they grow.
  std::string declarations;
  for (int i = 30000; i > 0; --i)
    declarations += "<!ELEMENT e" + Num(i) + " ANY><!ATTLIST x d" + Num(i) + " CDATA #IMPLIED>";
  for (int i = 10000; i > 0; --i) declarations += "<!NOTATION n" + Num(i) + " SYSTEM 'n'>";
  EXPECT_EQ(ParseError("<!DOCTYPE a [" + declarations + "]><a/>"), "");

  // Defaults still come in the order of their folded names.
  TXpParser parser;
  std::string names;
  parser.OnAttribute = [&](TXpComponent*, const WideString& name, const WideString&, bool) { names += U8(name) + ";"; };
  const std::string document = "<!DOCTYPE a [<!ATTLIST a b CDATA 'v' C CDATA 'v' a CDATA 'v'>]><a/>";
  ASSERT_TRUE(parser.ParseMemory(document.data(), static_cast<int>(document.size())));
  EXPECT_EQ(names, "a;b;C;");
}

TEST(XpParserLimits, EntityNestingIsBounded) {
  std::string chain = "<!DOCTYPE a [";
  for (int i = 0; i < 70; ++i) chain += "<!ENTITY e" + Num(i) + " 'x&e" + Num(i + 1) + ";'>";
  chain += "<!ENTITY e70 'end'>]><a>&e0;</a>";
  EXPECT_THAT(ParseError(chain), EndsWith("Error: Entity nesting deeper than 64 levels at: e64"));
  // A chain of references in tail position nests as well.
  std::string tail = "<!DOCTYPE a [";
  for (int i = 0; i < 70; ++i) tail += "<!ENTITY e" + Num(i) + " '&e" + Num(i + 1) + ";'>";
  tail += "<!ENTITY e70 'end'>]><a>&e0;</a>";
  EXPECT_THAT(ParseError(tail), EndsWith("Error: Entity nesting deeper than 64 levels at: e64"));
}

TEST(XpParserLimits, CircularReferencesFail) {
  struct Case {
    const char* name;
    std::string document;
    std::string error;  // "" for a clean parse
  };
  const Case cases[] = {
      {"after markup", "<!DOCTYPE a [<!ENTITY a '<x/>&a;'>]><r>&a;</r>", "Circular reference to: a"},
      {"after a predefined entity", "<!DOCTYPE a [<!ENTITY a '&lt;&a;'>]><r>&a;</r>", "Circular reference to: a"},
      {"after a character reference", "<!DOCTYPE a [<!ENTITY a '&#65;&a;'>]><r>&a;</r>", "Circular reference to: a"},
      {"three in a ring", "<!DOCTYPE a [<!ENTITY a '&b;'><!ENTITY b '&c;'><!ENTITY c '&a;'>]><r>&a;</r>",
       "Circular reference to: a"},
      {"in an attribute", "<!DOCTYPE a [<!ENTITY a 'x&a;'>]><r v='&a;'/>", "Circular reference to: a"},
      {"in a default", "<!DOCTYPE a [<!ENTITY a '&a;'><!ATTLIST r v CDATA '&a;'>]><r/>", "Circular reference to: a"},
      {"parameter entity", "<!DOCTYPE a [<!ENTITY % p '%p;'>%p;]><r/>", "Circular reference to: p"},
      {"names differ in case", "<!DOCTYPE a [<!ENTITY a '&A;'><!ENTITY A 'x'>]><r>&a;</r>", ""},
      {"used twice", "<!DOCTYPE a [<!ENTITY a 'x'>]><r v='&a;&a;'>&a;&a;</r>", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error = ParseError(c.document);
    if (c.error.empty())
      EXPECT_EQ(error, "");
    else
      EXPECT_THAT(error, EndsWith("Error: " + c.error));
  }
}

TEST(XpParserLimits, CircularExternalEntityFails) {
  TTempFolder folder("xplimits");
  std::ofstream(folder.Path("e.ent")) << "x&e;";
  std::ofstream(folder.Path("p.ent")) << "%p;";
  std::ofstream(folder.Path("doc.xml")) << "<!DOCTYPE r [<!ENTITY e SYSTEM 'e.ent'>]><r>&e;</r>";
  std::ofstream(folder.Path("pe.xml")) << "<!DOCTYPE r SYSTEM 'pe.dtd'><r/>";
  std::ofstream(folder.Path("pe.dtd")) << "<!ENTITY % p SYSTEM 'p.ent'>\n%p;\n";
  for (const char* name : {"doc.xml", "pe.xml"}) {
    SCOPED_TRACE(name);
    TXpParser parser;
    EXPECT_FALSE(parser.ParseDataSource(XpUtf8ToWide(folder.Path(name))));
    ASSERT_EQ(parser.ErrorCount(), 1);
    EXPECT_THAT(U8(parser.GetErrorMsg(0)), HasSubstr("Error: Circular reference to: "));
  }
}

TEST(XpParserLimits, DeepNestingEndsWithAnErrorLine) {
  std::string elements = Repeat("<e>", 100000) + Repeat("</e>", 100000);
  EXPECT_EQ(ParseError(elements), "File: . Line: 1 Col: " + Num(2049 * 3) +
                                      " Error: Element nesting deeper than 2048 levels at: e");
  EXPECT_EQ(ParseError(Repeat("<e>", 2048) + Repeat("</e>", 2048)), "");

  std::string groups = "<!DOCTYPE a [<!ELEMENT a " + Repeat("(", 100000) + "b" + Repeat(")", 100000) + ">]><a/>";
  EXPECT_THAT(ParseError(groups), EndsWith("Error: Content model nesting deeper than 256 levels in: a"));
  EXPECT_EQ(ParseError("<!DOCTYPE a [<!ELEMENT a " + Repeat("(", 256) + "b" + Repeat(")", 256) + ">]><a/>"), "");
}

TEST(XpParserLimits, AHugeValueEndsWithAnErrorLine) {
  EXPECT_THAT(ParseError("<a v='" + std::string(kXpMaxLiteralLength + 1, 'v') + "'/>"),
              EndsWith("Error: Value longer than " + Num(static_cast<int>(kXpMaxLiteralLength)) + " characters"));
}

TEST(XpParserLimits, ManyAttributesInOneTag) {
  std::string tag = "<a";
  for (int i = 0; i < 100000; ++i) tag += " n" + Num(i) + "='v'";
  EXPECT_EQ(ParseError(tag + "/>"), "");
  EXPECT_THAT(ParseError(tag + " N7='w'/>"), EndsWith("Error: Attributes cannot be redefined in a start tag"));
}

// ---------------------------------------------------------------------------
// Documents with files beside them, parsed on a small stack

// A document "doc.xml" and the files it names, each with its name and text.
struct TFilesCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;
  std::string error;  // the end of the one error line; "" for a clean parse
};

void RunFilesCases(const std::vector<TFilesCase>& cases) {
  for (const TFilesCase& c : cases) {
    SCOPED_TRACE(c.name);
    TTempFolder folder("xplimits");
    for (const auto& [name, text] : c.files) std::ofstream(folder.Path(name), std::ios::binary) << text;
    std::string error;
    RunOnSmallStack([&] {
      TXpParser parser;
      if (!parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml")))) error = U8(parser.Errors().back());
    });
    if (c.error.empty())
      EXPECT_EQ(error, "");
    else
      EXPECT_THAT(error, EndsWith("Error: " + c.error));
  }
}

std::string ParameterEntityChain(int links, const std::string& tail = "") {
  std::string text;
  for (int i = 0; i < links; ++i) text += "<!ENTITY % e" + Num(i) + " '%e" + Num(i + 1) + ";" + tail + "'>";
  return text + "<!ENTITY % e" + Num(links) + " ''>%e0;";
}

// Each entity's text declaration takes its encoding from the next entity.
std::vector<std::pair<std::string, std::string>> TextDeclarationChain(int links) {
  std::vector<std::pair<std::string, std::string>> files{{"doc.xml", "<!DOCTYPE a [<!ENTITY e0 SYSTEM 'e0.ent'>"}};
  for (int i = 1; i <= links; ++i) files[0].second += "<!ENTITY e" + Num(i) + " SYSTEM 'e" + Num(i) + ".ent'>";
  files[0].second += "]><a>&e0;</a>";
  for (int i = 0; i < links; ++i)
    files.emplace_back("e" + Num(i) + ".ent", "<?xml version='1.0' encoding='&e" + Num(i + 1) + ";'?>");
  files.emplace_back("e" + Num(links) + ".ent", "UTF-8");
  return files;
}

const std::string kWithDtd = "<!DOCTYPE a SYSTEM 'doc.dtd'><a>&e;</a>";

// An entity value in the external subset naming the first of a chain of
// external parameter entities, each file naming the next.
std::vector<std::pair<std::string, std::string>> EntityValueFileChain(int links) {
  std::vector<std::pair<std::string, std::string>> files{{"doc.xml", kWithDtd}, {"doc.dtd", ""}};
  for (int i = 0; i <= links; ++i) {
    files[1].second += "<!ENTITY % e" + Num(i) + " SYSTEM 'e" + Num(i) + ".ent'>";
    files.emplace_back("e" + Num(i) + ".ent", i < links ? "%e" + Num(i + 1) + ";" : "v");
  }
  files[1].second += "<!ENTITY e '%e0;'>";
  return files;
}

TEST(XpParserLimits, NestingInTheInputIsNoRecursion) {
  const std::string declares = "<!ENTITY e 'v'>";
  RunFilesCases({
      {"ring in the internal subset",
       {{"doc.xml", "<!DOCTYPE a [<!ENTITY % a '%b;'><!ENTITY % b '%a;'> %a;]><a/>"}},
       "Circular reference to: a"},
      // Outside the internal subset an entity value takes the text of the
      // parameter entities it names when it is declared: no ring can form.
      {"ring in the external subset",
       {{"doc.xml", kWithDtd}, {"doc.dtd", "<!ENTITY % a '%b;'><!ENTITY % b '%a;'>%a;"}},
       "Reference to undeclared entity: b"},
      {"ring of files in an entity value",
       {{"doc.xml", kWithDtd},
        {"doc.dtd", "<!ENTITY % a SYSTEM 'a.ent'><!ENTITY % b SYSTEM 'b.ent'><!ENTITY e '%a;'>"},
        {"a.ent", "%b;"},
        {"b.ent", "%a;"}},
       "Circular reference to: a"},
      {"ring of files",
       {{"doc.xml", kWithDtd},
        {"doc.dtd", "<!ENTITY % a SYSTEM 'a.ent'><!ENTITY % b SYSTEM 'b.ent'>%a;"},
        {"a.ent", "%b;"},
        {"b.ent", "%a;"}},
       "Circular reference to: a"},
      {"ring of files from the internal subset",
       {{"doc.xml", "<!DOCTYPE a [<!ENTITY % a SYSTEM 'a.ent'><!ENTITY % b SYSTEM 'b.ent'>%a;]><a/>"},
        {"a.ent", "%b;"},
        {"b.ent", "%a;"}},
       "Circular reference to: a"},
      {"chain in tail position", {{"doc.xml", "<!DOCTYPE a [" + ParameterEntityChain(100000) + "]><a/>"}},
       "Entity nesting deeper than 64 levels at: e64"},
      {"chain with text after each reference",
       {{"doc.xml", "<!DOCTYPE a [" + ParameterEntityChain(100000, " ") + "]><a/>"}},
       "Entity nesting deeper than 64 levels at: e64"},
      {"chain of files in an entity value", EntityValueFileChain(1000),
       "Entity nesting deeper than 64 levels at: e64"},
      {"chain of files within the bound", EntityValueFileChain(60), ""},
      {"references in a name position",
       {{"doc.xml", "<!DOCTYPE a [<!ELEMENT " + Repeat("%", 100000) + "x; ANY>]><a/>"}},
       "Reference to undeclared entity: x"},
      {"a million nested sections",
       {{"doc.xml", kWithDtd}, {"doc.dtd", Repeat("<![INCLUDE[", 1000000) + Repeat("]]>", 1000000)}},
       "Conditional section nesting deeper than 2048 levels"},
      {"sections to the bound",
       {{"doc.xml", kWithDtd},
        {"doc.dtd", Repeat("<![INCLUDE[", 2048) + declares + Repeat("]]>", 2048)}},
       ""},
      {"sections beyond it",
       {{"doc.xml", kWithDtd},
        {"doc.dtd", Repeat("<![INCLUDE[", 2049) + declares + Repeat("]]>", 2049)}},
       "Conditional section nesting deeper than 2048 levels"},
      {"ignored sections inside included ones",
       {{"doc.xml", kWithDtd},
        {"doc.dtd", Repeat("<![INCLUDE[<![IGNORE[<![INCLUDE[ ]]>]]>", 2000) + declares + Repeat("]]>", 2000)}},
       ""},
      {"keyword from an entity",
       {{"doc.xml", kWithDtd}, {"doc.dtd", "<!ENTITY % k 'INCLUDE'><![%k;[" + declares + "]]>"}}, ""},
      {"section holding an entity's declarations",
       {{"doc.xml", kWithDtd}, {"doc.dtd", "<![INCLUDE[<!ENTITY % d \"" + declares + "\">%d;]]>"}}, ""},
      {"section left open by the entity it began in",
       {{"doc.xml", kWithDtd}, {"doc.dtd", "<!ENTITY % s \"<![INCLUDE[ " + declares + "\">%s; ]]>"}},
       "Expected String: ']]>'"},
      {"section left open at the end of the subset",
       {{"doc.xml", kWithDtd}, {"doc.dtd", "<![INCLUDE[" + declares}}, "Expected String: ']]>'"},
      {"entities named in the text declarations of entities", TextDeclarationChain(100),
       "Entity nesting deeper than 64 levels at: e64"},
      {"content model to the bound",
       {{"doc.xml", "<!DOCTYPE a [<!ELEMENT a " + Repeat("(", 256) + "b" + Repeat(")", 256) + ">]><a><b/></a>"}},
       ""},
  });
}

TEST(XpParserLimits, EveryCharacterEntitiesAddCounts) {
  const std::string text(600000, 'x');
  const std::string blanks(600000, ' ');
  const std::string local = "<!DOCTYPE a [<!ENTITY e SYSTEM 'e.ent'>]>";
  const std::string parameter = "<!DOCTYPE a [<!ENTITY % p SYSTEM 'p.ent'>";
  RunFilesCases({
      {"a file read once", {{"doc.xml", local + "<a>&e;</a>"}, {"e.ent", text}}, ""},
      {"a file read twice", {{"doc.xml", local + "<a>&e;&e;</a>"}, {"e.ent", text}},
       "Entity expansion limit exceeded at: e"},
      {"a file read twice in an attribute", {{"doc.xml", local + "<a v='&e;&e;'/>"}, {"e.ent", text}},
       "Entity expansion limit exceeded at: e"},
      {"a parameter entity's file read once", {{"doc.xml", parameter + "%p;]><a/>"}, {"p.ent", blanks}}, ""},
      {"a parameter entity's file read twice", {{"doc.xml", parameter + "%p;%p;]><a/>"}, {"p.ent", blanks}},
       "Entity expansion limit exceeded at: p"},
      {"an empty file opened a hundred times",
       {{"doc.xml", local + "<a>" + Repeat("&e;", 100) + "</a>"}, {"e.ent", ""}}, ""},
      {"an empty file opened ten thousand times",
       {{"doc.xml", local + "<a>" + Repeat("&e;", 10000) + "</a>"}, {"e.ent", ""}},
       "Entity expansion limit exceeded at: e"},
      {"comments of the DTD itself", {{"doc.xml", "<!DOCTYPE a [" + Repeat("<!---->", 200000) + "]><a/>"}}, ""},
      {"a few comments of an entity's text",
       {{"doc.xml", "<!DOCTYPE a [<!ENTITY % c '<!---->'>" + Repeat("%c;", 1000) + "]><a/>"}}, ""},
      {"many comments of an entity's text",
       {{"doc.xml", "<!DOCTYPE a [<!ENTITY % c '<!---->'>" + Repeat("%c;", 200000) + "]><a/>"}},
       "Entity expansion limit exceeded at: c"},
      {"many instructions of an entity's text",
       {{"doc.xml", "<!DOCTYPE a [<!ENTITY % i '<?p?>'>" + Repeat("%i;", 200000) + "]><a/>"}},
       "Entity expansion limit exceeded at: i"},
  });
}

// ---------------------------------------------------------------------------
// Remote sources

TEST(XpParserRemote, OffByDefault) {
  TQuietListener listener;
  TTempFolder folder("xpremote");
  const std::string address = "127.0.0.1:" + Num(listener.Port()) + "/doc.dtd";
  std::ofstream(folder.Path("doc.xml")) << "<!DOCTYPE a SYSTEM 'http://" << address << "'><a/>";
  std::ofstream(folder.Path("ent.xml")) << "<!DOCTYPE a [<!ENTITY e SYSTEM 'ftp://" << address << "'>]><a>&e;</a>";

  TXpParser parser;
  EXPECT_FALSE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml"))));
  ASSERT_EQ(parser.ErrorCount(), 1);
  EXPECT_EQ(U8(parser.GetErrorMsg(0)), "File: http://" + address + ". Line: 0 Col: 0 Error: Network access is off: " + address);
  EXPECT_FALSE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("ent.xml"))));
  EXPECT_THAT(U8(parser.GetErrorMsg(0)), EndsWith("Network access is off: " + address));

  WideString document = XpUtf8ToWide("http://" + address);
  EXPECT_THROW(parser.ParseDataSource(document), EXpParserError);
  ASSERT_EQ(parser.ErrorCount(), 1);
  EXPECT_THAT(U8(parser.GetErrorMsg(0)), EndsWith("Network access is off: " + address));
  EXPECT_FALSE(listener.SomeoneConnected());
}

TEST(XpParserRemote, SwitchedOnLoadsTheDtd) {
  TLoopbackServers servers;
  std::ofstream(servers.Root() / "doc.dtd") << "<!ENTITY e 'from the server'>";
  TTempFolder folder("xpremote");
  std::ofstream(folder.Path("doc.xml")) << "<!DOCTYPE a SYSTEM 'http://" << servers.HttpHost() << "/doc.dtd'><a>&e;</a>";
  TXpParser parser;
  parser.AllowRemoteSources = true;
  std::string text;
  parser.OnCharData = [&](TXpComponent*, const WideString& v) { text += U8(v); };
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml"))))
      << (parser.ErrorCount() ? U8(parser.GetErrorMsg(0)) : "");
  EXPECT_EQ(text, "from the server");
}

}  // namespace
