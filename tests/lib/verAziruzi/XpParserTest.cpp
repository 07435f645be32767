#include "lib/verAziruzi/XpParser.h"

#include <algorithm>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/NumberText.h"
#include "tests/lib/verAziruzi/XpParserRecorder.h"
#include "tests/support/TempFolder.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

std::string U8(const WideString& s) { return XpWideToUtf8(s); }

struct TParsed {
  bool ok;
  std::vector<std::string> lines;  // events, or the error lines when the parse failed
};

TParsed Parse(const std::string& text, const std::function<void(TXpParser&)>& setUp = {}) {
  TXpParser parser;
  TXpParserRecorder recorder(parser);
  if (setUp) setUp(parser);
  bool ok = parser.ParseMemory(text.data(), static_cast<int>(text.size()));
  if (ok) return {true, recorder.Lines};
  std::vector<std::string> errors;
  for (const WideString& line : parser.Errors()) errors.push_back(U8(line));
  return {false, errors};
}

// One document and what it gives: its events, or its one error line.
struct TCase {
  const char* name;
  std::string document;
  std::vector<std::string> expected;
};

void RunCases(const std::vector<TCase>& cases) {
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TParsed parsed = Parse(c.document);
    EXPECT_THAT(parsed.lines, ElementsAreArray(c.expected));
  }
}

std::string Error(int line, int column, const std::string& message) {
  return "File: . Line: " + U8(XpFormat(u"%d", {line})) + " Col: " + U8(XpFormat(u"%d", {column})) +
         " Error: " + message;
}

// ---------------------------------------------------------------------------
// Content

TEST(XpParserContent, EventsOfContent) {
  RunCases({
      {"empty element", "<a/>", {"Start a", "End a"}},
      {"attributes in order", "<a x='1' y=\"2\"></a>", {"Attr x=[1]", "Attr y=[2]", "Start a", "End a"}},
      {"normalised text", "<a>  x   y  </a>", {"Start a", "Text [x y]", "End a"}},
      {"whitespace only", "<a> </a>", {"Start a", "End a"}},
      {"preserve", "<a xml:space='preserve'>  x  </a>",
       {"Attr xml:space=[preserve]", "Preserve a", "Start a", "Text [  x  ]", "End a"}},
      {"default restores normalising",
       "<a xml:space='preserve'><b xml:space='default'> x </b> y </a>",
       {"Attr xml:space=[preserve]", "Preserve a", "Start a", "Attr xml:space=[default]", "Start b", "Text [x]",
        "End b", "Text [ y ]", "End a"}},
      {"CDATA in mixed content", "<a><![CDATA[ a  b ]]></a>", {"Start a", "CDATA [ a  b ]", "End a"}},
      {"predefined entity inside text", "<a>x &lt; y</a>", {"Start a", "Text [x < y]", "End a"}},
      {"amp", "<a>a&amp;b</a>", {"Start a", "Text [a&b]", "End a"}},
      {"character references", "<a>&#x41;&#65;</a>", {"Start a", "Text [AA]", "End a"}},
      {"astral reference as a pair", "<a>&#128512;</a>", {"Start a", "Text [\xF0\x9F\x98\x80]", "End a"}},
      {"astral character as a pair", "<a>\xF0\x9F\x98\x80</a>", {"Start a", "Text [\xF0\x9F\x98\x80]", "End a"}},
      {"line feed kept by reference", "<a x='1&#10;2\n3'/>", {"Attr x=[1\n2 3]", "Start a", "End a"}},
      {"PI", "<a><?xml-stylesheet href='s'?><?t?></a>",
       {"Start a", "PI xml-stylesheet [href='s']", "PI t []", "End a"}},
      {"comment", "<a><!-- c --></a>", {"Start a", "Comment [ c ]", "End a"}},
      {"tilde delimiter", "<a x=~v~/>", {"Attr x=[v]", "Start a", "End a"}},
      {"entity twice", "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;&e;</a>",
       {"DTDStart a [] []", "EntityInternal e [x]", "DTDEnd", "DocType a [] []", "Start a", "Text [xx]", "End a"}},
      {"entity twice in an attribute", "<!DOCTYPE a [<!ENTITY e 'x'>]><a v='&e;&e;'/>",
       {"DTDStart a [] []", "EntityInternal e [x]", "DTDEnd", "DocType a [] []", "Attr v=[xx]", "Start a",
        "End a"}},
      {"quote from an entity is data", "<!DOCTYPE a [<!ENTITY q '\"'>]><a v=\"&q;\"/>",
       {"DTDStart a [] []", "EntityInternal q [\"]", "DTDEnd", "DocType a [] []", "Attr v=[\"]", "Start a",
        "End a"}},
      {"NMTOKEN normalised, undeclared kept",
       "<!DOCTYPE a [<!ATTLIST a t NMTOKENS #IMPLIED>]><a t='  a   b ' u='  a   b '/>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef t 8 2 []", "AttlistEnd", "DTDEnd", "DocType a [] []",
        "Attr t=[a b]", "Attr u=[  a   b ]", "Start a", "End a"}},
      {"defaults after the given attributes, a CDATA default not collapsed",
       "<!DOCTYPE a [<!ATTLIST a d CDATA ' x  y ' g CDATA #IMPLIED>]><a g='1'/>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef d 1 1 [ x  y ]", "AttDef g 1 2 []", "AttlistEnd", "DTDEnd",
        "DocType a [] []", "Attr g=[1]", "Attr d=[ x  y ] default", "Start a", "End a"}},
      {"element content whitespace and CDATA",
       "<!DOCTYPE a [<!ELEMENT a (b)*>]><a> <b/> <![CDATA[x]]></a>",
       {"DTDStart a [] []", "ElementStart(a, 4)", "GroupStart", "Content(b, 0, 1)", "GroupEnd(2, 1)",
        "ElementEnd(a)", "DTDEnd", "DocType a [] []", "Start a", "Start b", "End b", "Whitespace 1",
        "End a"}},
      {"EMPTY takes a child", "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a><b/></a>",
       {"DTDStart a [] []", "ElementStart(a, 2)", "ElementEnd(a)", "DTDEnd", "DocType a [] []", "Start a",
        "Start b", "End b", "End a"}},
      {"unparsed entity reference",
       "<!DOCTYPE a [<!NOTATION n SYSTEM 'v'><!ENTITY u SYSTEM 'f' NDATA n>]><a>&u;</a>",
       {"DTDStart a [] []", "Notation n [] [v]", "EntityExternal u [] [f] n", "DTDEnd", "DocType a [] []",
        "Start a", "NonXML u [] [f] n", "End a"}},
  });
}

TEST(XpParserContent, DefaultsEndingInAReferenceAreReadWhole) {
  struct TDefault {
    const char* declared;  // the default as the declaration writes it
    const char* value;     // what an element without the attribute gets
  };
  const TDefault defaults[] = {
      {"&amp;", "&"},          {"&lt;", "<"},         {"v &e;", "v end"},       {"&f;", "end"},
      {"&#38;", "&"},          {"&#38;amp;", "&amp;"}, {"&#60;", "<"},           {"x&amp;&amp;", "x&&"},
      {"&e;&#38;", "end&"},    {"&#x26;&e;", "&end"},
  };
  for (const TDefault& d : defaults) {
    SCOPED_TRACE(d.declared);
    const std::string document = std::string("<!DOCTYPE r [<!ENTITY e 'end'><!ENTITY f '&e;'><!ATTLIST a d CDATA \"") +
                                 d.declared + "\">]><r><a/><a d='given'/>tail</r>";
    TParsed parsed = Parse(document);
    ASSERT_TRUE(parsed.ok) << parsed.lines[0];
    std::vector<std::string> content(std::find(parsed.lines.begin(), parsed.lines.end(), "Start r"),
                                     parsed.lines.end());
    EXPECT_THAT(content, ElementsAre("Start r", "Attr d=[" + std::string(d.value) + "] default", "Start a", "End a",
                                     "Attr d=[given]", "Start a", "End a", "Text [tail]", "End r"));
  }
}

// Line ends, tabs and references in literals, as XML reads them: entity
// values keep their whitespace, attribute values make a space of every raw
// one, of those an entity's text holds too, but not of character references.
TEST(XpParserContent, LiteralsKeepOrNormaliseWhitespaceAsXmlSays) {
  struct TLiteralCase {
    const char* name;
    std::string document;
    std::vector<std::string> values;  // the entity and attribute events, in order
  };
  const TLiteralCase cases[] = {
      {"entity value keeps line ends and tabs", "<!DOCTYPE r [<!ENTITY e 'a\nb\r\nc\td'>]><r a='&e;'/>",
       {"EntityInternal e [a\nb\nc\td]", "Attr a=[a b c d]"}},
      {"raw whitespace in a value", "<r a='x\ty\nz\r\nw'/>", {"Attr a=[x y z w]"}},
      {"character references stay", "<r a='&#9;&#10;&#13;'/>", {"Attr a=[\t\n\r]"}},
      {"CR LF from an entity's text is two spaces", "<!DOCTYPE r [<!ENTITY e '&#13;&#10;'>]><r a='x&e;y'/>",
       {"EntityInternal e [\r\n]", "Attr a=[x  y]"}},
      {"a non-CDATA value collapses spaces only",
       "<!DOCTYPE r [<!ATTLIST r t NMTOKENS #IMPLIED>]><r t=' a&#10; &#9;b\t '/>", {"Attr t=[a\n \tb]"}},
      {"defaults are normalised by their type, references expanded once",
       "<!DOCTYPE r [<!ATTLIST r d CDATA ' x\ty&#9;z&#38;#60; ' n NMTOKENS ' a\t b&#10;'>]><r/>",
       {"Attr d=[ x y\tz&#60; ] default", "Attr n=[a b\n] default"}},
  };
  for (const TLiteralCase& c : cases) {
    SCOPED_TRACE(c.name);
    TParsed parsed = Parse(c.document);
    ASSERT_TRUE(parsed.ok) << parsed.lines[0];
    std::vector<std::string> values;
    for (const std::string& line : parsed.lines)
      if (line.rfind("Attr ", 0) == 0 || line.rfind("EntityInternal ", 0) == 0) values.push_back(line);
    EXPECT_THAT(values, ElementsAreArray(c.values));
  }
}

TEST(XpParserContent, ErrorsOfContent) {
  RunCases({
      {"mismatched end tag", "<a></b>", {Error(1, 7, "Mismatched end tag: Start tag = \"a\" End tag = \"b\"")}},
      {"duplicate attribute in any case", "<a a='1' A='2'/>",
       {Error(1, 15, "Attributes cannot be redefined in a start tag")}},
      {"]]> after the start tag", "<a>]]></a>", {Error(1, 7, "Invalid characters in element's character data: ']]>'")}},
      {"]]> after a child", "<a><b/>x]]></a>",
       {Error(1, 12, "Invalid characters in element's character data: ']]>'")}},
      {"]]&gt; is fine", "<a>]]&gt;</a>x", {Error(1, 14, "There is invalid data after valid XML document")}},
      {"circular entity", "<!DOCTYPE a [<!ENTITY e '&e;'>]><a>&e;</a>", {Error(1, 4, "Circular reference to: e")}},
      {"undeclared entity", "<a>&x;</a>", {Error(1, 7, "Reference to undeclared entity: 'x'")}},
      {"bad hex digit", "<a>&#x4G;</a>", {Error(1, 9, "Illegal character in reference: G (71)")}},
      {"reference out of range", "<a>&#x110000;</a>", {Error(1, 13, "Character reference out of range: 110000")}},
      {"decimal out of range", "<a>&#99999999999;</a>", {Error(1, 13, "Character reference out of range: 9999999")}},
      {"comment ending in a dash", "<a><!-- a ---></a>", {Error(1, 15, "Invalid comment text")}},
      {"comment with two dashes", "<a><!-- a -- b --></a>", {Error(1, 19, "Invalid comment text")}},
      {"text in EMPTY", "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a> </a>", {Error(1, 37, "Expected start of new element.")}},
      {"end of file", "<a>", {Error(1, 4, "Unexpected end of file ")}},
      {"empty document", "", {Error(1, 1, "Expected String: '<'")}},
      {"second root", "<a/><b/>", {Error(1, 5, "There is invalid data after valid XML document")}},
      {"< in a value", "<a x='<'/>", {Error(1, 9, "Invalid character in attribute value: '<'")}},
      {"unclosed CDATA", "<a><![CDATA[x", {Error(1, 14, "End of input while looking for delimiter: ']]>'")}},
      {"bad UTF-8", "<a>\x80</a>", {"File: <unknown>. Line: 1 Col: 4 Error: Badly formed UTF-8 character in stream"}},
  });
}

// ---------------------------------------------------------------------------
// Prolog and DTD

TEST(XpParserProlog, EventsOfDeclarations) {
  RunCases({
      {"XML declaration", "<?xml version='1.0' encoding='UTF-8' standalone='yes'?><a/>",
       {"PI xml [version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"]", "Start a", "End a"}},
      {"leading whitespace", "  <?xml version='1.0'?><a/>", {"PI xml [version=\"1.0\"]", "Start a", "End a"}},
      {"children model", "<!DOCTYPE a [<!ELEMENT a (b,(c|d)*,e?)>]><a/>",
       {"DTDStart a [] []", "ElementStart(a, 4)", "GroupStart", "Content(b, 0, 1)", "GroupStart",
        "Content(c, 0, 0)", "Content(d, 0, 1)", "GroupEnd(2, 1)", "Content(e, 1, 1)", "GroupEnd(0, 1)",
        "ElementEnd(a)", "DTDEnd", "DocType a [] []", "Start a", "End a"}},
      {"mixed model", "<!DOCTYPE p [<!ELEMENT p (#PCDATA|b|i)*>]><p/>",
       {"DTDStart p [] []", "ElementStart(p, 3)", "GroupStart", "Content(#PCDATA, 0, 0)", "Content(b, 0, 0)",
        "Content(i, 0, 0)", "GroupEnd(2, 1)", "ElementEnd(p)", "DTDEnd", "DocType p [] []", "Start p", "End p"}},
      {"enumeration and fixed",
       "<!DOCTYPE a [<!ATTLIST a e (x|y) 'x' f CDATA #FIXED 'v' n NOTATION (m) #REQUIRED>]><a/>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef e 9 1 [x] x y", "AttDef f 1 4 [v]", "AttDef n 10 3 [] m",
        "AttlistEnd", "DTDEnd", "DocType a [] []", "Attr e=[x] default", "Attr f=[v] default", "Start a",
        "End a"}},
      {"first entity declaration binds", "<!DOCTYPE a [<!ENTITY e '1'><!ENTITY e '2'><!ENTITY lt 'x'>]><a>&e;&lt;</a>",
       {"DTDStart a [] []", "EntityInternal e [1]", "EntityInternal e [2]", "EntityInternal lt [x]", "DTDEnd",
        "DocType a [] []", "Start a", "Text [1<]", "End a"}},
      {"char reference in entity value", "<!DOCTYPE a [<!ENTITY e '&#37;'>]><a>&e;</a>",
       {"DTDStart a [] []", "EntityInternal e [%]", "DTDEnd", "DocType a [] []", "Start a", "Text [%]", "End a"}},
      {"parameter entity in the internal subset",
       "<!DOCTYPE a [<!ENTITY % d '<!ELEMENT a ANY>'>%d;]><a/>",
       {"DTDStart a [] []", "EntityInternal %d [<!ELEMENT a ANY>]", "ElementStart(a, 1)", "ElementEnd(a)", "DTDEnd",
        "DocType a [] []", "Start a", "End a"}},
      {"notation once", "<!DOCTYPE a [<!NOTATION n PUBLIC 'p'><!NOTATION N SYSTEM 's'>]><a/>",
       {"DTDStart a [] []", "Notation n [p] []", "DTDEnd", "DocType a [] []", "Start a", "End a"}},
      {"two blanks before NDATA", "<!DOCTYPE a [<!ENTITY u SYSTEM 'f'  NDATA n>]><a/>",
       {"DTDStart a [] []", "EntityExternal u [] [f] n", "DTDEnd", "DocType a [] []", "Start a", "End a"}},
      {"a reference whose name a reference gives",
       "<!DOCTYPE a [<!ENTITY % q 'n'><!ENTITY % n 'a'><!ELEMENT %%q;; ANY>]><a/>",
       {"DTDStart a [] []", "EntityInternal %q [n]", "EntityInternal %n [a]", "ElementStart(a, 1)", "ElementEnd(a)",
        "DTDEnd", "DocType a [] []", "Start a", "End a"}},
      {"a default naming an entity declared later, where a parameter entity may declare it",
       "<!DOCTYPE a [<!ATTLIST a d CDATA '&e;'><!ENTITY % p ''>%p;<!ENTITY e 'v'>]><a/>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef d 1 1 [&e;]", "AttlistEnd", "EntityInternal %p []",
        "EntityInternal e [v]", "DTDEnd", "DocType a [] []", "Attr d=[v] default", "Start a", "End a"}},
  });
}

TEST(XpParserProlog, ErrorsOfDeclarations) {
  RunCases({
      {"version 1.1", "<?xml version='1.1'?><a/>",
       {Error(1, 20, "VERAziruzi does not support XML specification greater than 1.0")}},
      {"bad version", "<?xml version='1,0'?><a/>", {Error(1, 20, "Invalid XML version number: '1,0'")}},
      {"comment before declaration", "<!-- c --><?xml version='1.0'?><a/>",
       {Error(1, 16, "The XML declaration must appear before the first element")}},
      {"bad encoding", "<?xml version='1.0' encoding='1abc'?><a/>",
       {Error(1, 36, "Invalid encoding declaration: '1abc'")}},
      {"bad standalone", "<?xml version='1.0' standalone='YES'?><a/>",
       {Error(1, 37, "Standalone value must equal 'yes' or 'no'")}},
      {"ATTLIST without definitions", "<!DOCTYPE a [<!ATTLIST a>]><a/>",
       {Error(1, 25, "Whitespace expected at Line: 1 Position: 25")}},
      {"unknown attribute type", "<!DOCTYPE a [<!ATTLIST a b FOO #IMPLIED>]><a/>",
       {Error(1, 31, "Illegal attribute type: (FOO) in element a")}},
      {"NDATA in a parameter entity", "<!DOCTYPE a [<!ENTITY % p SYSTEM 'x.dtd' NDATA n>]><a/>",
       {Error(1, 47, "NDATA not allowed in parameter entity declaration")}},
      {"percent in entity value", "<!DOCTYPE a [<!ENTITY e 'a%b'>]><a/>",
       {Error(1, 30, "Invalid character in entity value: '%'")}},
      {"conditional section inside", "<!DOCTYPE a [<![INCLUDE[]]>]><a/>",
       {Error(1, 17, "Conditional sections not allowed in internal subset of document type declaration")}},
      {"notation without identifier", "<!DOCTYPE a [<!NOTATION n >]><a/>", {Error(1, 27, "External modifier missing: n")}},
      {"notation without blank", "<!DOCTYPE a [<!NOTATION n>]><a/>",
       {Error(1, 26, "Whitespace expected at Line: 1 Position: 26")}},
      {"bad separator", "<!DOCTYPE a [<!ELEMENT a (b c)>]><a/>", {Error(1, 29, "Bad separator in content model: c")}},
      {"no markup declaration", "<!DOCTYPE a [<!FOO>]><a/>", {Error(1, 14, "Expected markup declaration, but found: ")}},
      {"a default naming an entity declared after it",
       "<!DOCTYPE a [<!ATTLIST a d CDATA 'x&e;'><!ENTITY e 'v'>]><a/>",
       {Error(1, 57, "Reference to undeclared entity: 'e'")}},
  });
}

// ---------------------------------------------------------------------------
// Declaration tables

TEST(XpParserTables, WhichDeclarationCounts) {
  RunCases({
      {"later element declaration wins, names without case",
       "<!DOCTYPE a [<!ELEMENT A ANY><!ELEMENT a EMPTY>]><a> </a>",
       {Error(1, 53, "Expected start of new element.")}},
      {"first attribute definition binds, later ones and case variants dropped",
       "<!DOCTYPE a [<!ATTLIST a x CDATA '1'><!ATTLIST a x CDATA '2'><!ATTLIST a X CDATA '3'>]><a/>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef x 1 1 [1]", "AttlistEnd", "AttlistStart a", "AttDef x 1 1 [2]",
        "AttlistEnd", "AttlistStart a", "AttDef X 1 1 [3]", "AttlistEnd", "DTDEnd", "DocType a [] []",
        "Attr x=[1] default", "Start a", "End a"}},
      {"first definition also gives the type: a later NMTOKEN does not normalise",
       "<!DOCTYPE a [<!ATTLIST a x CDATA #IMPLIED x NMTOKEN #IMPLIED>]><a x=' b '/>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef x 1 2 []", "AttDef x 7 2 []", "AttlistEnd", "DTDEnd",
        "DocType a [] []", "Attr x=[ b ]", "Start a", "End a"}},
      {"within one list too, the first default binds",
       "<!DOCTYPE a [<!ATTLIST a x CDATA 'first' x CDATA 'second'>]><a/>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef x 1 1 [first]", "AttDef x 1 1 [second]", "AttlistEnd",
        "DTDEnd", "DocType a [] []", "Attr x=[first] default", "Start a", "End a"}},
      {"parameter entity after a general one of that name is ignored: the reference finds the general one",
       "<!DOCTYPE a [<!ENTITY e 'g'><!ENTITY % e '<!ELEMENT a EMPTY>'>%e;]><a/>",
       {Error(1, 2, "Expected markup declaration, but found: g")}},
      {"general entity after a parameter one of that name counts",
       "<!DOCTYPE a [<!ENTITY % e ''><!ENTITY e 'g'>]><a>&e;</a>",
       {"DTDStart a [] []", "EntityInternal %e []", "EntityInternal e [g]", "DTDEnd", "DocType a [] []", "Start a",
        "Text [g]", "End a"}},
      {"attribute list alone leaves the element ANY", "<!DOCTYPE a [<!ATTLIST a x CDATA #IMPLIED>]><a>t</a>",
       {"DTDStart a [] []", "AttlistStart a", "AttDef x 1 2 []", "AttlistEnd", "DTDEnd", "DocType a [] []",
        "Start a", "Text [t]", "End a"}},
  });
}

TEST(XpParserTables, FirstDeclarationBindsInLargeEntityTables) {
  // Enough entities that lookups leave the short table's linear search, each
  // rule checked once with its entity declared early and once late.
  for (int before : {0, 40}) {
    SCOPED_TRACE(before);
    std::string dtd;
    for (int i = 0; i < before; ++i) dtd += "<!ENTITY f" + numtext::FormatInt(i) + " 'x'>";
    dtd += "<!ENTITY e 'first'><!ENTITY % p 'pe'><!ENTITY % e 'pe'><!ENTITY p 'general'>";
    for (int i = 0; i < 40; ++i) dtd += "<!ENTITY g" + numtext::FormatInt(i) + " 'y'>";
    dtd += "<!ENTITY e 'second'><!ENTITY lt 'redeclared'>";
    TXpParser parser;
    std::string text;
    parser.OnCharData = [&](TXpComponent*, const WideString& v) { text += U8(v); };
    const std::string doc = "<!DOCTYPE a [" + dtd + "]><a>&e;|&p;|&lt;|&g39;</a>";
    ASSERT_TRUE(parser.ParseMemory(doc.data(), static_cast<int>(doc.size()))) << U8(parser.GetErrorMsg(0));
    EXPECT_EQ(text, "first|general|<|y");
  }
}

TEST(XpParserTables, ResolverMayStopAnExternalEntity) {
  TTempFolder folder("xpparser");
  std::ofstream(folder.Path("e.ent")) << "<?xml version='1.0' encoding='UTF-8'?>loaded";
  std::ofstream(folder.Path("doc.xml")) << "<!DOCTYPE a [<!ENTITY e SYSTEM 'e.ent'>]><a>[&e;]</a>";
  for (bool stop : {false, true}) {
    TXpParser parser;
    std::string text;
    parser.OnCharData = [&](TXpComponent*, const WideString& v) { text += U8(v); };
    parser.OnResolveEntity = [&](TXpComponent*, const WideString& name, const WideString&, const WideString& system,
                                 WideString& value) {
      EXPECT_EQ(U8(name), "e");
      EXPECT_EQ(value, system);
      if (stop) value.clear();
    };
    ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml")))) << U8(parser.GetErrorMsg(0));
    EXPECT_TRUE(parser.HasExternals());
    EXPECT_EQ(text, stop ? "[]" : "[loaded]");
  }
}

// ---------------------------------------------------------------------------
// Frame

TEST(XpParserFrame, ExternalSubsetTakesInternalParameterEntitiesAndRelativeNamesInEntityText) {
  TTempFolder folder("xpparser");
  std::filesystem::create_directory(folder.Path("sub"));
  std::ofstream(folder.Path("sub/doc.dtd")) << "<!ENTITY % decl '<!ELEMENT a ANY>'>\n%decl;\n";
  std::ofstream(folder.Path("sub/x.ent")) << "external";
  std::ofstream(folder.Path("sub/doc.xml"))
      << "<!DOCTYPE a SYSTEM 'doc.dtd' [<!ENTITY x SYSTEM 'x.ent'><!ENTITY e '&x;'>]><a>&e;</a>";
  TXpParser parser;
  TXpParserRecorder recorder(parser);
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("sub/doc.xml")))) << U8(parser.GetErrorMsg(0));
  EXPECT_THAT(recorder.Lines, ::testing::Contains("ElementStart(a, 1)"));
  EXPECT_THAT(recorder.Lines, ::testing::Contains("Text [external]"));
}

// Outside the internal subset a parameter-entity reference in an entity value
// is replaced by the entity's text as it stands, an external one's after its
// text declaration; inside it the '%' is an ordinary character.
TEST(XpParserFrame, ParameterEntitiesInEntityValuesOfTheExternalSubset) {
  TTempFolder folder("xpparser");
  std::ofstream(folder.Path("doc.dtd"))
      << "<!ENTITY % p 'P&#38;#60;'>\n<!ENTITY % x SYSTEM 'x.ent'>\n<!ENTITY e '[%p;|%x;]'>\n";
  std::ofstream(folder.Path("x.ent")) << "<?xml encoding='UTF-8'?>ext&#33;";
  std::ofstream(folder.Path("doc.xml")) << "<!DOCTYPE a SYSTEM 'doc.dtd' [<!ENTITY % i 'a%b;'>]><a>&e;</a>";
  TXpParser parser;
  TXpParserRecorder recorder(parser);
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml")))) << U8(parser.GetErrorMsg(0));
  EXPECT_THAT(recorder.Lines, ::testing::Contains("EntityInternal e [[P&#60;|ext!]]"));
  EXPECT_THAT(recorder.Lines, ::testing::Contains("EntityInternal %i [a%b;]"));
  EXPECT_THAT(recorder.Lines, ::testing::Contains("Text [[P<|ext!]]"));

  // So also in an external parameter entity that the internal subset names.
  std::ofstream(folder.Path("decl.ent")) << "<!ENTITY e2 '(%i;)'>";
  std::ofstream(folder.Path("both.xml"))
      << "<!DOCTYPE a [<!ENTITY % i 'in'><!ENTITY % decl SYSTEM 'decl.ent'>%decl;]><a>&e2;</a>";
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("both.xml")))) << U8(parser.GetErrorMsg(0));
  EXPECT_THAT(recorder.Lines, ::testing::Contains("Text [(in)]"));

  std::ofstream(folder.Path("doc.dtd"), std::ios::trunc) << "<!ENTITY e '%none;'>";
  EXPECT_FALSE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml"))));
  EXPECT_THAT(U8(parser.Errors().back()), ::testing::EndsWith("Error: Reference to undeclared entity: none"));
}

TEST(XpParserFrame, SettingsAndErrorIndex) {
  TXpParser parser;
  EXPECT_EQ(parser.BufferSize, 8192);
  EXPECT_TRUE(parser.NormalizeData);
  EXPECT_FALSE(parser.RaiseErrors);
  EXPECT_FALSE(parser.AllowRemoteSources);
  EXPECT_EQ(U8(parser.UserName), "anonymous");
  EXPECT_EQ(parser.Password.size(), 25u);
  EXPECT_EQ(U8(parser.GetErrorMsg(-1)), "ERROR INDEX OUT OF BOUNDS");
  EXPECT_EQ(U8(parser.GetErrorMsg(0)), "ERROR INDEX OUT OF BOUNDS");
  EXPECT_THROW(parser.ParseMemory("", -1), EAssertionFailed);
}

TEST(XpParserFrame, RaiseErrorsStillEndsTheDocument) {
  for (bool raise : {false, true}) {
    TXpParser parser;
    parser.RaiseErrors = raise;
    int starts = 0, ends = 0;
    parser.OnStartDocument = [&](TXpComponent*) { ++starts; };
    parser.OnEndDocument = [&](TXpComponent*) { ++ends; };
    std::string text = "<a>";
    if (raise)
      EXPECT_THROW(parser.ParseMemory(text.data(), 3), EXpParserError);
    else
      EXPECT_FALSE(parser.ParseMemory(text.data(), 3));
    EXPECT_EQ(parser.ErrorCount(), 1);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
    // The parser is idle again.
    std::string good = "<b/>";
    EXPECT_TRUE(parser.ParseMemory(good.data(), 4));
  }
}

TEST(XpParserFrame, EncodingsOfTheDocument) {
  TXpParser parser;
  std::string latin = "<?xml version='1.0' encoding='iso-8859-1'?><a>\xE9</a>";
  std::vector<std::string> texts;
  parser.OnCharData = [&](TXpComponent*, const WideString& v) { texts.push_back(U8(v)); };
  ASSERT_TRUE(parser.ParseMemory(latin.data(), static_cast<int>(latin.size())));
  EXPECT_EQ(parser.InCharSet(), ceISO88591);
  std::string utf16 = std::string("\xFF\xFE<\0a\0/\0>\0", 10);
  ASSERT_TRUE(parser.ParseMemory(utf16.data(), static_cast<int>(utf16.size())));
  EXPECT_EQ(parser.InCharSet(), ceUTF16LE);
  std::string other = "<?xml version='1.0' encoding='windows-1252'?><a>\xC3\xA9</a>";
  ASSERT_TRUE(parser.ParseMemory(other.data(), static_cast<int>(other.size())));
  EXPECT_THAT(texts, ElementsAre("\xC3\xA9", "\xC3\xA9"));
}

TEST(XpParserFrame, MissingFilesAndFolders) {
  TTempFolder folder("xpparser");
  std::filesystem::create_directory(folder.Path("dir.xml"));
  for (const std::string& name : {folder.Path("none.xml"), folder.Path("dir.xml")}) {
    TXpParser parser;
    WideString source = XpUtf8ToWide(name);
    EXPECT_THROW(parser.ParseDataSource(source), EXpParserError);
    ASSERT_EQ(parser.ErrorCount(), 1);
    EXPECT_EQ(U8(parser.GetErrorMsg(0)), "File " + name + " could not be found");
  }
}

TEST(XpParserFrame, EachParseStartsAfresh) {
  TTempFolder folder("xpparser");
  std::ofstream(folder.Path("latin.xml")) << "<?xml version='1.0' encoding='iso-8859-1'?><a/>";
  std::ofstream(folder.Path("text.xml")) << "<a>  x  </a>";
  TXpParser parser;
  std::vector<std::string> texts;
  parser.OnCharData = [&](TXpComponent*, const WideString& v) { texts.push_back(U8(v)); };
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("latin.xml"))));
  EXPECT_EQ(parser.InCharSet(), ceISO88591);
  // A file that cannot be read leaves nothing of the one before.
  EXPECT_THROW(parser.ParseDataSource(XpUtf8ToWide(folder.Path("none.xml"))), EXpParserError);
  EXPECT_EQ(parser.InCharSet(), ceUnknown);
  EXPECT_EQ(U8(parser.DocLocation()), "");
  EXPECT_EQ(U8(parser.DocName()), "");
  // A parse that fails inside preserved whitespace leaves the next one
  // normalising, whichever entry point it takes.
  const std::string broken = "<a xml:space='preserve'><b>";
  EXPECT_FALSE(parser.ParseMemory(broken.data(), static_cast<int>(broken.size())));
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("text.xml"))));
  EXPECT_FALSE(parser.ParseMemory(broken.data(), static_cast<int>(broken.size())));
  const std::string text = "<a>  x  </a>";
  ASSERT_TRUE(parser.ParseMemory(text.data(), static_cast<int>(text.size())));
  EXPECT_THAT(texts, ElementsAre("x", "x"));
}

TEST(XpParserFrame, AnEntityHoldingOnlyItsTextDeclaration) {
  TTempFolder folder("xpparser");
  std::ofstream(folder.Path("d.ent")) << "<?xml version='1.0' encoding='UTF-8'?>";
  std::ofstream(folder.Path("doc.xml")) << "<!DOCTYPE a [<!ENTITY d SYSTEM 'd.ent'>]><a>x&d;y</a>";
  TXpParser parser;
  std::string text;
  parser.OnCharData = [&](TXpComponent*, const WideString& v) { text += U8(v); };
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml")))) << U8(parser.GetErrorMsg(0));
  EXPECT_EQ(text, "xy");
}

TEST(XpParserFrame, BothSubsetsInOrderAndErrorsNameTheDtd) {
  TTempFolder folder("xpparser");
  std::ofstream(folder.Path("doc.dtd")) << "<!ELEMENT a ANY>\n<!ENTITY e 'ext'>\n";
  std::ofstream(folder.Path("doc.xml")) << "<!DOCTYPE a SYSTEM 'doc.dtd' [<!ENTITY e 'int'>]><a>&e;</a>";
  std::ofstream(folder.Path("bad.dtd")) << "<!ELEMENT a ANY>\n<!BAD>";
  std::ofstream(folder.Path("bad.xml")) << "<!DOCTYPE a SYSTEM 'bad.dtd'><a/>";
  TXpParser parser;
  TXpParserRecorder recorder(parser);
  ASSERT_TRUE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("doc.xml"))));
  EXPECT_THAT(recorder.Lines,
              ElementsAre("DTDStart a [] [doc.dtd]", "EntityInternal e [int]", "ExternalStart doc.dtd",
                          "ExternalLoaded", "ElementStart(a, 1)", "ElementEnd(a)", "EntityInternal e [ext]",
                          "ExternalEnd", "DTDEnd", "DocType a [] [doc.dtd]", "Start a", "Text [int]", "End a"));
  EXPECT_EQ(U8(parser.DocName()), "doc.xml");
  EXPECT_FALSE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("bad.xml"))));
  EXPECT_THAT(U8(parser.GetErrorMsg(0)),
              "File: " + folder.Path("bad.dtd") + ". Line: 2 Col: 1 Error: Expected markup declaration, but found: ");
  std::ofstream(folder.Path("lost.xml")) << "<!DOCTYPE a SYSTEM 'lost.dtd'><a/>";
  EXPECT_FALSE(parser.ParseDataSource(XpUtf8ToWide(folder.Path("lost.xml"))));
  ASSERT_EQ(parser.ErrorCount(), 2);
  EXPECT_EQ(U8(parser.GetErrorMsg(0)), "File lost.dtd could not be found");
  EXPECT_THAT(U8(parser.GetErrorMsg(1)), HasSubstr("Line: 0 Col: 0 Error: File '"));
}

}  // namespace
