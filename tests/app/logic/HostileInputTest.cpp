// "Add Files..." given files made to hurt. Each one ends in a single error dialog
// naming the file, or loads as it should; what was loaded before stays as it was,
// and the process lives on. Addresses in the files lead to a listener on
// 127.0.0.1 that must see nobody: no file may make the program go out.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/logic/Workspace.h"
#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/logic/LogicSupport.h"
#include "tests/support/LoopbackServers.h"
#include "tests/support/SmallStack.h"
#include "tests/support/TempFolder.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Repeat(const std::string& piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

// ---- XML pieces ------------------------------------------------------------------

// Nine levels of ten references each over 300 characters: &l9; would be
// 3 * 10^11 characters.
std::string LaughsDoctype(const std::string& root) {
  std::string text = "<!DOCTYPE " + root + " [\n<!ENTITY l0 \"" + Repeat("lol", 100) + "\">\n";
  for (int i = 1; i <= 9; ++i)
    text += "<!ENTITY l" + std::to_string(i) + " \"" + Repeat("&l" + std::to_string(i - 1) + ";", 10) + "\">\n";
  return text + "]>\n";
}

// One entity of 100 000 characters, to be referenced over and over.
std::string BigEntityDoctype(const std::string& root) {
  return "<!DOCTYPE " + root + " [<!ENTITY big \"" + std::string(100000, 'x') + "\">]>\n";
}

std::string Gpx(const std::string& prolog, const std::string& body, const std::string& rootAttributes = "") {
  return "<?xml version=\"1.0\"?>\n" + prolog + "<gpx version=\"1.1\" creator=\"hostile\"" + rootAttributes + ">\n" +
         body + "</gpx>\n";
}

// A point at 4.2 m; `extensions` follow the depth in its extensions.
std::string TrackPoint(const std::string& lat, const std::string& lon, const std::string& attributes = "",
                       const std::string& extensions = "") {
  return "<trkpt lat=\"" + lat + "\" lon=\"" + lon + "\"" + attributes + "><extensions><h:depth>420.0</h:depth>" +
         extensions + "</extensions></trkpt>\n";
}

// A track of one segment: the given point, then a plain second one.
std::string Track(const std::string& name, const std::string& firstPoint) {
  return "<trk><name>" + name + "</name><trkseg>\n" + firstPoint + TrackPoint("47.01", "8.01") + "</trkseg></trk>\n";
}

std::string Kml(const std::string& prolog, const std::string& placemarks) {
  return "<?xml version=\"1.0\"?>\n" + prolog + "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>" +
         placemarks + "</Document></kml>\n";
}

std::string ShoreLine(const std::string& name, const std::string& coordinates) {
  return "<Placemark><name>" + name + "</name><LineString><coordinates>" + coordinates +
         "</coordinates></LineString></Placemark>";
}

// A declaration of a parameter entity per link of a chain: each names the next,
// the last is empty; `first` references the first.
std::string ParameterEntityChain(int links, const std::string& first) {
  std::string text;
  for (int i = 0; i < links; ++i)
    text += "<!ENTITY % e" + std::to_string(i) + " '%e" + std::to_string(i + 1) + ";'>\n";
  return text + "<!ENTITY % e" + std::to_string(links) + " ''>\n" + first;
}

// A track whose link takes its address from a declared default.
std::string LinkedTrack() {
  return "<trk><name>linked</name><link><text>t</text></link><trkseg>\n" + TrackPoint("47", "8") +
         TrackPoint("47.01", "8.01") + "</trkseg></trk>\n";
}

// Four small files, pulled in 8^6 times by six levels of eight references.
std::string PullingDoctype() {
  std::string text = "<!DOCTYPE gpx [<!ENTITY a SYSTEM 'a'><!ENTITY b SYSTEM 'b'><!ENTITY c SYSTEM 'c'>"
                     "<!ENTITY d SYSTEM 'd'><!ENTITY l1 '&a;&b;&c;&d;&a;&b;&c;&d;'>";
  for (int i = 2; i <= 6; ++i)
    text += "<!ENTITY l" + std::to_string(i) + " '" + Repeat("&l" + std::to_string(i - 1) + ";", 8) + "'>";
  return text + "]>\n";
}

// ---- HT images ---------------------------------------------------------------------

// `size` bytes: the HT magic and a point count (when the header fits), records of
// small steps with a depth after it.
std::vector<std::uint8_t> HtImage(std::size_t size, std::uint16_t count) {
  std::vector<std::uint8_t> bytes(size, 0);
  if (size >= THTConvert::kHeaderSize) {
    bytes[0] = 0x01;
    bytes[1] = 0x03;
    bytes[8] = static_cast<std::uint8_t>(count >> 8);
    bytes[9] = static_cast<std::uint8_t>(count & 0xFF);
  }
  for (std::size_t at = THTConvert::kHeaderSize; at + THTConvert::kRecordSize <= size; at += THTConvert::kRecordSize) {
    bytes[at + 1] = 3;     // east 3 m
    bytes[at + 3] = 2;     // north 2 m
    bytes[at + 5] = 0x90;  // 400 cm
    bytes[at + 4] = 0x01;
  }
  return bytes;
}

// ---- the table -----------------------------------------------------------------------

// How a case's file is written: at `path`, with `host` ("127.0.0.1:<port>") for
// the addresses it names.
using TWriteFile = std::function<void(const std::string& path, const std::string& host)>;

TWriteFile Text(std::function<std::string(const std::string& host)> make) {
  return [make](const std::string& path, const std::string& host) {
    std::ofstream(path, std::ios::binary) << make(host);
  };
}

TWriteFile Bytes(std::vector<std::uint8_t> bytes) {
  return [bytes](const std::string& path, const std::string&) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
}

// The document with its one "@@" replaced by `count` times `fill`, written piece
// by piece: a value of 100 MB is not copied around to make it.
TWriteFile WithRun(const std::string& document, char fill, std::size_t count) {
  return [=](const std::string& path, const std::string&) {
    const std::size_t at = document.find("@@");
    std::ofstream out(path, std::ios::binary);
    out << document.substr(0, at);
    const std::string piece(1 << 20, fill);
    for (std::size_t left = count; left > 0; left -= std::min(left, piece.size()))
      out.write(piece.data(), static_cast<std::streamsize>(std::min(left, piece.size())));
    out << document.substr(at + 2);
  };
}

// The document and, beside it, the files it names, each with its name and text.
using TCompanions = std::vector<std::pair<std::string, std::string>>;

TWriteFile WithFiles(std::function<std::string(const std::string& host)> make,
                     std::function<TCompanions()> companions) {
  return [=](const std::string& path, const std::string& host) {
    std::ofstream(path, std::ios::binary) << make(host);
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (const auto& [name, text] : companions()) std::ofstream(folder / name, std::ios::binary) << text;
  };
}

struct THostileCase {
  const char* id;     // the test's name
  const char* file;   // its extension picks the reader
  TWriteFile write;
  std::string error;  // in the one error dialog; empty when the file loads
  int points = 0;     // the track points a file that loads adds
  // The XML library's own case: the object model alone gives the same outcome,
  // with `error` in its error lines.
  bool xml = false;
  std::string inTracks = {};  // what the loaded tracks hold, as our writer puts them
};

void PrintTo(const THostileCase& c, std::ostream* out) { *out << c.id; }

const THostileCase kCases[] = {
    // Entities that expand beyond reason.
    {"GpxBillionLaughs", "laughs.gpx",
     Text([](auto&) { return Gpx(LaughsDoctype("gpx"), Track("&l9;", TrackPoint("47", "8"))); }),
     "Entity expansion limit exceeded at: l"},
    {"GpxQuadraticBlowUp", "quadratic.gpx",
     Text([](auto&) { return Gpx(BigEntityDoctype("gpx"), Track(Repeat("&big;", 1000), TrackPoint("47", "8"))); }),
     "Entity expansion limit exceeded at: big"},
    {"GpxQuadraticBlowUpInAnAttribute", "quadratic-attribute.gpx",
     Text([](auto&) { return Gpx(BigEntityDoctype("gpx"), Track("q", TrackPoint("47", "8", " x=\"" + Repeat("&big;", 1000) + "\""))); }),
     "Entity expansion limit exceeded at: big"},
    {"KmlBillionLaughs", "laughs.kml",
     Text([](auto&) { return Kml(LaughsDoctype("kml"), ShoreLine("&l9;", "8,47 8.01,47.01")); }),
     "Entity expansion limit exceeded at: l"},
    {"GpxDefaultAttributesBlowUp", "defaults.gpx",
     Text([](auto&) {
       std::string declarations;
       for (int i = 0; i < 1000; ++i) declarations += "<!ATTLIST trkpt d" + std::to_string(i) + " CDATA 'v'>";
       return Gpx("<!DOCTYPE gpx [" + declarations + "]>\n",
                  "<trk><trkseg>" + Repeat("<trkpt lat=\"47\" lon=\"8\"/>", 9000) + "</trkseg></trk>");
     }),
     "Default attribute expansion limit exceeded at: trkpt"},

    // Shapes no real file has.
    {"GpxHundredThousandNestedElements", "nested.gpx",
     Text([](auto&) {
       return Gpx("", Track("deep", TrackPoint("47", "8", "", Repeat("<x>", 100000) + Repeat("</x>", 100000))));
     }),
     "Element nesting deeper than 2048 levels at: x"},
    {"GpxDeepExtensionsWithinTheBound", "deep.gpx",
     Text([](auto&) {
       return Gpx("", Track("deep", TrackPoint("47", "8", "", Repeat("<x>", 2000) + "1" + Repeat("</x>", 2000))));
     }),
     "", 2},
    {"GpxDeepForeignDepthWithinTheBound", "deep-foreign.gpx",
     Text([](auto&) {
       return Gpx("", "<trk><trkseg><trkpt lat=\"47\" lon=\"8\"><extensions>" + Repeat("<x>", 2000) +
                          "<depth>4</depth>" + Repeat("</x>", 2000) +
                          "</extensions></trkpt><trkpt lat=\"47.01\" lon=\"8.01\"/></trkseg></trk>");
     }),
     "", 2},
    {"KmlDeepFoldersWithinTheBound", "deep.kml",
     Text([](auto&) {
       return Kml("", Repeat("<Folder>", 2000) + ShoreLine("shore", "8,47 8.01,47.01 8.02,47") +
                          Repeat("</Folder>", 2000));
     }),
     "", 3},
    {"GpxHundredThousandAttributes", "attributes.gpx",
     Text([](auto&) {
       std::string attributes;
       for (int i = 0; i < 100000; ++i) attributes += " a" + std::to_string(i) + "=\"v\"";
       return Gpx("", Track("many", TrackPoint("47", "8", attributes)));
     }),
     "", 2},
    {"GpxHundredMegabyteAttribute", "huge-attribute.gpx",
     WithRun(Gpx("", Track("huge", TrackPoint("47", "8", " note=\"@@\""))), 'v', 100 << 20),
     "Value longer than 16777216 characters"},
    {"GpxTenMegabyteAttribute", "big-attribute.gpx",
     WithRun(Gpx("", Track("big", TrackPoint("47", "8", " note=\"@@\""))), 'v', 10 << 20), "", 2},
    // The reader quotes what it cannot read; the dialog shows the start of it.
    {"GpxMegabyteLatitude", "long-latitude.gpx", WithRun(Gpx("", Track("long", TrackPoint("4@@", "8"))), '0', 1 << 20),
     "trkpt 1: lat \"4000"},

    // Parameter entities, conditional sections and external entities, read on a
    // small stack: nesting in the input must not become recursion.
    {"GpxParameterEntityRing", "ring.gpx",
     Text([](auto&) {
       return Gpx("<!DOCTYPE gpx [<!ENTITY % a '%b;'><!ENTITY % b '%a;'> %a;]>\n", Track("t", TrackPoint("47", "8")));
     }),
     "Circular reference to: a", 0, true},
    {"GpxExternalParameterEntityRing", "external-ring.gpx",
     WithFiles([](auto&) { return Gpx("<!DOCTYPE gpx SYSTEM 'ring.dtd'>\n", Track("t", TrackPoint("47", "8"))); },
               [] {
                 return TCompanions{{"ring.dtd", "<!ENTITY % a SYSTEM 'a.ent'>\n<!ENTITY % b SYSTEM 'b.ent'>\n%a;\n"},
                                    {"a.ent", "%b;"},
                                    {"b.ent", "%a;"}};
               }),
     "Circular reference to: a", 0, true},
    {"GpxHundredThousandParameterEntities", "chain.gpx",
     Text([](auto&) {
       return Gpx("<!DOCTYPE gpx [" + ParameterEntityChain(100000, "%e0;") + "]>\n", Track("t", TrackPoint("47", "8")));
     }),
     "Entity nesting deeper than 64 levels at: e64", 0, true},
    {"GpxHundredThousandParameterEntitiesInTheDtd", "chain-dtd.gpx",
     WithFiles([](auto&) { return Gpx("<!DOCTYPE gpx SYSTEM 'chain.dtd'>\n", Track("t", TrackPoint("47", "8"))); },
               [] { return TCompanions{{"chain.dtd", ParameterEntityChain(100000, "%e0;")}}; }),
     // Outside the internal subset an entity value takes the named entity's
     // text when it is declared, so the first link finds the next undeclared.
     "Reference to undeclared entity: e1", 0, true},
    {"GpxChainOfExternalParameterEntities", "external-chain.gpx",
     WithFiles([](auto&) { return Gpx("<!DOCTYPE gpx SYSTEM 'files.dtd'>\n", Track("t", TrackPoint("47", "8"))); },
               [] {
                 TCompanions files;
                 std::string dtd;
                 for (int i = 0; i < 100; ++i) {
                   const std::string n = std::to_string(i), next = std::to_string(i + 1);
                   dtd += "<!ENTITY % p" + n + " SYSTEM 'p" + n + ".ent'>\n";
                   files.emplace_back("p" + n + ".ent", "%p" + next + ";\n");
                 }
                 files.emplace_back("p100.ent", "<!ENTITY end 'end'>");
                 files.emplace_back("files.dtd", dtd + "<!ENTITY % p100 SYSTEM 'p100.ent'>\n%p0;\n");
                 return files;
               }),
     "Entity nesting deeper than 64 levels at: p64", 0, true},
    {"GpxMillionNestedConditionalSections", "conditional.gpx",
     WithFiles([](auto&) { return Gpx("<!DOCTYPE gpx SYSTEM 'nested.dtd'>\n", Track("t", TrackPoint("47", "8"))); },
               [] {
                 return TCompanions{{"nested.dtd", Repeat("<![INCLUDE[", 1000000) + Repeat("]]>", 1000000)}};
               }),
     "Conditional section nesting deeper than 2048 levels", 0, true},
    {"GpxNestedConditionalSectionsWithinTheBound", "conditional-deep.gpx",
     WithFiles([](auto&) { return Gpx("<!DOCTYPE gpx SYSTEM 'deep.dtd'>\n", Track("&deep;", TrackPoint("47", "8"))); },
               [] {
                 return TCompanions{{"deep.dtd", Repeat("<![INCLUDE[ ", 2000) + "<!ENTITY deep 'from the inside'>" +
                                                     Repeat("]]> ", 2000)}};
               }),
     "", 2, true, "<name>from the inside</name>"},
    {"GpxHundredThousandPercentsInAName", "percents.gpx",
     Text([](auto&) {
       return Gpx("<!DOCTYPE gpx [<!ELEMENT " + Repeat("%", 100000) + "x; ANY>]>\n", Track("t", TrackPoint("47", "8")));
     }),
     "Reference to undeclared entity: x", 0, true},
    {"GpxLocalEntityTenThousandTimes", "local-entity.gpx",
     WithFiles([](auto&) {
                 return Gpx("<!DOCTYPE gpx [<!ENTITY e SYSTEM 'e.ent'>]>\n",
                            Track(Repeat("&e;", 10000), TrackPoint("47", "8")));
               },
               [] { return TCompanions{{"e.ent", "a short name "}}; }),
     "Entity expansion limit exceeded at: e", 0, true},
    {"GpxMegabyteFileTwoThousandTimes", "megabyte-entity.gpx",
     WithFiles([](auto&) {
                 return Gpx("<!DOCTYPE gpx [<!ENTITY big SYSTEM 'big.ent'>]>\n",
                            Track(Repeat("&big;", 2000), TrackPoint("47", "8")));
               },
               [] { return TCompanions{{"big.ent", std::string(1 << 20, 'x')}}; }),
     "Entity expansion limit exceeded at: big", 0, true},
    {"GpxSmallFilesPulledInOverAndOver", "pulling.gpx",
     WithFiles([](auto&) { return Gpx(PullingDoctype(), Track("&l6;", TrackPoint("47", "8"))); },
               [] { return TCompanions{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}; }),
     "Entity expansion limit exceeded at: ", 0, true},
    // Valid files: defaults that end in a reference are read whole.
    {"GpxDefaultEndingInAmp", "default-amp.gpx",
     Text([](auto&) { return Gpx("<!DOCTYPE gpx [<!ATTLIST link href CDATA 'a&amp;'>]>\n", LinkedTrack()); }), "", 2,
     true, "href=\"a&amp;\""},
    {"GpxDefaultEndingInLt", "default-lt.gpx",
     Text([](auto&) { return Gpx("<!DOCTYPE gpx [<!ATTLIST link href CDATA 'a&lt;'>]>\n", LinkedTrack()); }), "", 2,
     true, "href=\"a&lt;\""},
    {"GpxDefaultEndingInAnEntity", "default-entity.gpx",
     Text([](auto&) {
       return Gpx("<!DOCTYPE gpx [<!ENTITY e 'end'><!ATTLIST link href CDATA 'v &e;'>]>\n", LinkedTrack());
     }),
     "", 2, true, "href=\"v end\""},

    // Addresses on the network, never to be opened.
    {"GpxHttpDtd", "dtd.gpx",
     Text([](const std::string& host) {
       return Gpx("<!DOCTYPE gpx SYSTEM \"http://" + host + "/gpx.dtd\">\n", Track("t", TrackPoint("47", "8")));
     }),
     "Network access is off: "},
    {"GpxExternalEntity", "entity.gpx",
     Text([](const std::string& host) {
       return Gpx("<!DOCTYPE gpx [<!ENTITY remote SYSTEM \"http://" + host + "/name.txt\">]>\n",
                  Track("&remote;", TrackPoint("47", "8")));
     }),
     "Network access is off: "},
    {"GpxExternalParameterEntity", "parameter.gpx",
     Text([](const std::string& host) {
       return Gpx("<!DOCTYPE gpx [<!ENTITY % remote SYSTEM \"ftp://" + host + "/decl.dtd\"> %remote;]>\n",
                  Track("t", TrackPoint("47", "8")));
     }),
     "Network access is off: "},
    {"KmlHttpDtd", "dtd.kml",
     Text([](const std::string& host) {
       return Kml("<!DOCTYPE kml SYSTEM \"http://" + host + "/kml.dtd\">\n", ShoreLine("s", "8,47 8.01,47.01"));
     }),
     "Network access is off: "},

    // Positions that are none.
    {"GpxNaNLatitude", "nan.gpx", Text([](auto&) { return Gpx("", Track("t", TrackPoint("NaN", "8"))); }),
     "trkpt 1: lat \"NaN\" is not a number"},
    {"GpxHugeLongitude", "huge.gpx", Text([](auto&) { return Gpx("", Track("t", TrackPoint("47", "1e308"))); }),
     "trkpt 1: lon 1e308 is out of range"},
    {"GpxBeyondDoubleLatitude", "beyond.gpx", Text([](auto&) { return Gpx("", Track("t", TrackPoint("1e309", "8"))); }),
     "trkpt 1: lat \"1e309\" is not a number"},
    {"KmlNaNCoordinate", "nan.kml", Text([](auto&) { return Kml("", ShoreLine("s", "8,47 nan,47.01")); }),
     "Placemark 1, coordinate 2: longitude \"nan\" is not a number"},
    {"KmlHugeCoordinate", "huge.kml", Text([](auto&) { return Kml("", ShoreLine("s", "8,47 8.01,1e308")); }),
     "Placemark 1, coordinate 2: latitude 1e308 is out of range"},

    // HT files of every wrong size, and headers that claim too much.
    {"HtEmpty", "empty.ht", Bytes({}), "wrong file size."},
    {"HtShorterThanAHeader", "short.ht", Bytes(HtImage(20, 1)), "wrong file size."},
    {"HtHeaderOnly", "header.ht", Bytes(HtImage(THTConvert::kHeaderSize, 1)), "wrong file size."},
    {"HtPartOfARecord", "partial.ht", Bytes(HtImage(THTConvert::kHeaderSize + 100 * THTConvert::kRecordSize + 3, 101)),
     "wrong file size."},
    {"HtOneByteShort", "shortbyone.ht", Bytes(HtImage(THTConvert::kFileSize - 1, 10)), "wrong file size."},
    {"HtTrailingBytes", "trailing.ht", Bytes(HtImage(THTConvert::kFileSize + 1, 10)), "wrong file size."},
    {"HtFiveGigabytes", "huge.ht",
     [](const std::string& path, const std::string&) {
       std::ofstream(path, std::ios::binary).write("\x01\x03", 2);
       std::filesystem::resize_file(path, std::uintmax_t{5} << 30);  // sparse: no disk is used
     },
     "wrong file size."},
    {"HtMorePointsThanItsRoom", "toomany.ht", Bytes(HtImage(THTConvert::kFileSize, THTConvert::kMaxReadCount + 1)),
     "error in file header."},
    {"HtHugeCount", "hugecount.ht", Bytes(HtImage(THTConvert::kFileSize, 0xFFFF)), "error in file header."},
    {"HtNoMagic", "nomagic.ht",
     [](const std::string& path, const std::string& host) {
       std::vector<std::uint8_t> bytes = HtImage(THTConvert::kFileSize, 10);
       bytes[1] = 0x04;
       Bytes(bytes)(path, host);
     },
     "error in file header."},
    {"HtFullToItsRoom", "full.ht", Bytes(HtImage(THTConvert::kFileSize, THTConvert::kMaxReadCount)), "",
     THTConvert::kMaxReadCount - 1},  // the header's start position is no point
};

// ---- the fixture -------------------------------------------------------------------

class HostileInput : public ::testing::TestWithParam<THostileCase> {
protected:
  // The workspace holds an HT recording and a GPX recording, read through
  // "Add Files..." from files of our own writers.
  void SetUp() override {
    ASSERT_TRUE(WriteHTFile(folder.Path("before.ht"), {Line(0, 300, 500)}));
    TGPX doc;
    doc.trk.Add(MakeTrack({{{46.9, 7.9, 250}, {46.91, 7.91, 650}}}, "before"));
    TGPXFile writer;
    writer.GPXd = &doc;
    writer.ExportGPX(folder.Path("before.gpx"));
    ASSERT_TRUE(ws.AddFiles({folder.Path("before.ht"), folder.Path("before.gpx")}, {}));
    ws.BindView(picture, 160, 120);
    ASSERT_TRUE(dialogs.Errors().empty());
    ASSERT_EQ(ws.GPXdata().trk.Count(), 2);
    tracksBefore = Tracks();
    maxDepthBefore = ws.MaxDepth();
    dialogs.shown.clear();
  }

  // The loaded tracks as our writer puts them.
  std::string Tracks() const {
    TGPXFile writer;
    return writer.ExportGPXTRKList(ws.GPXdata().trk);
  }
  int TrackPoints() const {
    int count = 0;
    for (const TGPXtrkseg* segment : Segments(ws.GPXdata())) count += segment->Count();
    return count;
  }

  TTempFolder folder{"shoalwright-hostile"};
  TScriptedDialogs dialogs;
  TWorkspace ws{dialogs, [](const std::string&) {}};
  TBitmap picture;
  std::string tracksBefore;
  std::int32_t maxDepthBefore = 0;
};

TEST_P(HostileInput, GivesOneClearErrorOrALoadAndKeepsWhatWasLoaded) {
  const THostileCase& c = GetParam();
  TQuietListener listener;
  const std::string path = folder.Path(c.file);
  c.write(path, listener.Host());
  const int pointsBefore = TrackPoints();

  RunOnSmallStack([&] { ws.AddFiles({path}, {}); });

  EXPECT_FALSE(listener.SomeoneConnected());
  const std::vector<std::string> errors = dialogs.Errors();
  if (!c.error.empty()) {
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THAT(errors[0], StartsWith(path));
    EXPECT_THAT(errors[0], HasSubstr(c.error));
    EXPECT_LT(errors[0].size(), 5000u) << "a dialog shows a few lines, not what the file holds";
    EXPECT_EQ(Tracks(), tracksBefore);
    EXPECT_EQ(ws.MaxDepth(), maxDepthBefore);
  } else {
    EXPECT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ(ws.GPXdata().trk.Count(), 3);
    EXPECT_THAT(Tracks(), StartsWith(tracksBefore));
    EXPECT_EQ(TrackPoints(), pointsBefore + c.points);
    EXPECT_THAT(Tracks(), HasSubstr(c.inTracks));
  }
  EXPECT_EQ(ws.GPXView().GPXd, &ws.GPXdata());

  if (c.xml) {
    bool loaded = false;
    std::vector<WideString> lines;
    RunOnSmallStack([&] {
      TXpObjModel model;
      model.SetIgnoreCase(true);
      loaded = model.LoadDataSource(XpUtf8ToWide(path));
      lines = model.Errors();
    });
    EXPECT_EQ(loaded, c.error.empty());
    if (!c.error.empty()) {
      ASSERT_FALSE(lines.empty());
      EXPECT_THAT(XpWideToUtf8(lines.back()), HasSubstr(c.error));
    } else {
      EXPECT_TRUE(lines.empty()) << XpWideToUtf8(lines[0]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileInput, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<THostileCase>& info) { return info.param.id; });

}  // namespace
