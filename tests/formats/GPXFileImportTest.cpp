#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "formats/GPXFile.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "model/GPX.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TrackBuilder.h"
#include "tests/support/XmlOracle.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// 1 June 2012 as a day count.
constexpr double kJune1st2012 = 41061.0;
constexpr double kSecond = 1.0 / 86400.0;

class GPXRead : public ::testing::Test {
protected:
  // Reads the bytes as a file into doc, after what doc already holds.
  TGPXFile& Read(const std::string& bytes, const std::string& name = "t.gpx") {
    const std::string path = folder.Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    file = std::make_unique<TGPXFile>();
    file->GPXd = &doc;
    result = file->ImportGPXFile(path);
    return *file;
  }
  std::string LastLog() const { return file->mLog.empty() ? "" : file->mLog.back(); }

  TTempFolder folder{"gpxread"};
  TGPX doc;
  std::unique_ptr<TGPXFile> file;
  TReadResult result;  // of the last Read
};

TEST_F(GPXRead, OurOwnFilesReadBackWhole) {
  TGPX source;
  auto& point = AddTrackPoint(source, 47.5, 9.25, 123.4);
  point.DateTime = kJune1st2012 + 0.5;
  point.Altitude = 395.5;
  AddTrackPoint(source, 47.6, 9.3, 0);
  source.trk.GetTrack(0)->name = "Survey <1> & more";
  source.trk.GetTrack(0)->LineStyle.SetColorStr("00FF00");
  source.trk.GetTrack(0)->LineStyle.SetOpacity(0.5);
  source.trk.GetTrack(0)->Add(MakeSegment({{47.7, 9.4, 1234.5}, {47.8, 9.5, 12.5}}));
  auto waypoint = std::make_unique<TGPXwpt>();
  waypoint->Latitude = -33.5;
  waypoint->Longitude = -70.25;
  waypoint->name = "Z\xc3\xbcrich";
  waypoint->sat = 7;
  source.wpt.Add(std::move(waypoint));
  auto route = std::make_unique<TGPXrte>();
  route->desc = "along the shore";
  route->Add(MakePoint<TGPXwpt>(47.1, 9.1));
  source.rte.Add(std::move(route));

  TGPXFile writer;
  writer.GPXd = &source;
  writer.GPXOptions.GPX_Style = true;
  const std::string path = folder.Path("ours.gpx");
  writer.ExportGPX(path);

  file = std::make_unique<TGPXFile>();
  file->GPXd = &doc;
  file->ImportGPXFile(path);
  ASSERT_TRUE(file->Loaded) << ::testing::PrintToString(file->mLog);
  EXPECT_THAT(file->mLog, ElementsAre("1 waypoints", "1 routes (1 points))", "1 tracks (4 points in 2 track segments)"));
  ASSERT_EQ(doc.trk.Count(), 1);
  const TGPXtrk& track = *doc.trk.GetTrack(0);
  EXPECT_EQ(track.name, "Survey <1> & more");
  EXPECT_EQ(track.LineStyle.ColorStr(), "00FF00");
  EXPECT_DOUBLE_EQ(track.LineStyle.Opacity(), 0.5);
  EXPECT_EQ(track.extensions, "");
  ASSERT_EQ(track.Count(), 2);
  const TGPXwpt& first = *track.GetTrkSeg(0)->GetTrkPoint(0);
  EXPECT_DOUBLE_EQ(first.Latitude, 47.5);
  EXPECT_DOUBLE_EQ(first.HBdepth, 123.4);
  EXPECT_DOUBLE_EQ(first.Altitude, 395.5);
  EXPECT_NEAR(first.DateTime, kJune1st2012 + 0.5, kSecond / 10);
  EXPECT_DOUBLE_EQ(track.GetTrkSeg(1)->GetTrkPoint(0)->HBdepth, 1234.5);
  EXPECT_EQ(doc.wpt.GetWaypoint(0)->name, "Z\xc3\xbcrich");
  EXPECT_EQ(doc.wpt.GetWaypoint(0)->sat, 7);
  EXPECT_EQ(doc.rte.GetRoute(0)->name, "along the shore");  // named by its description
  EXPECT_TRUE(doc.trk.filled && doc.rte.filled && doc.wpt.filled);

  // Saved again, read and saved once more, the file keeps its exact form: the
  // h: dialect that stored files and the device rely on gains nothing.
  const auto contents = [](const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  TGPXFile again;
  again.GPXd = &doc;
  again.GPXOptions.GPX_Style = true;
  const std::string second = folder.Path("second.gpx");
  again.ExportGPX(second);
  { const TGPXUnlinked unlinked = doc.Clear(); }
  file = std::make_unique<TGPXFile>();
  file->GPXd = &doc;
  file->ImportGPXFile(second);
  ASSERT_TRUE(file->Loaded) << ::testing::PrintToString(file->mLog);
  const std::string third = folder.Path("third.gpx");
  again.ExportGPX(third);
  EXPECT_EQ(contents(third), contents(second));
  EXPECT_THAT(contents(third), HasSubstr("<extensions><h:depth>123.4</h:depth><h:id>1</h:id>"));
}

const char kDialect[] =
    "<?xml version=\"1.0\"?>\n"
    "<GPX version=\"1.1\">\n"
    " <metadata><name>Lake</name><author>Ann Angler</author>"
    "  <copyright author=\"Ann\"><year>2012</year><license>free</license></copyright>"
    "  <link>http://example.invalid/</link><bounds minlat=\"47\" maxlon=\"9.5\"/>"
    "  <time>2012-06-01T10:20:30Z</time></metadata>\n"
    " <wpt lat=\" 47.5 \" lon=\"9.25\"><ele>1</ele><ele>2</ele><sat>300</sat><fix>DGPS</fix>"
    "  <hdop>1.5</hdop><dgpsid>x</dgpsid><time>2012-13-01T00:00:00Z</time></wpt>\n"
    " <trk><desc>from the boat</desc><extensions><line><color>00ff00</color><opacity>0.25</opacity></line>"
    "  <Line><color>FF0000</color></Line><other a=\"1\">x</other></extensions>\n"
    "  <trkseg><trkpt lat=\"47.1\" lon=\"9.1\"><extensions><h:depth>1.23E3</h:depth></extensions></trkpt>"
    "   <trkpt lat=\"47.2\" lon=\"9.2\"><extensions><gpxtpx:TrackPointExtension><gpxtpx:depth>5.5</gpxtpx:depth>"
    "</gpxtpx:TrackPointExtension></extensions></trkpt></trkseg>\n"
    " </trk>\n"
    " <extensions><extensions/></extensions>\n"
    "</GPX>\n";

TEST_F(GPXRead, TheDialectOfOtherProgramsAndTheLastChildWins) {
  Read(kDialect);
  ASSERT_TRUE(file->Loaded) << ::testing::PrintToString(file->mLog);
  EXPECT_THAT(file->mLog.front(), HasSubstr("wpt 1: time \"2012-13-01T00:00:00Z\" read as no time"));
  const TGPXwpt& w = *doc.wpt.GetWaypoint(0);
  EXPECT_DOUBLE_EQ(w.Latitude, 47.5);
  EXPECT_DOUBLE_EQ(w.Altitude, 2);
  EXPECT_EQ(w.sat, 300 & 0xFF);
  EXPECT_EQ(w.fix, "dgps");
  EXPECT_DOUBLE_EQ(w.hdop, 1.5);
  EXPECT_DOUBLE_EQ(w.vdop, -1);
  EXPECT_EQ(w.dgpsid, -1);
  EXPECT_EQ(w.DateTime, 0);
  const TGPXtrk& t = *doc.trk.GetTrack(0);
  EXPECT_EQ(t.name, "from the boat");
  EXPECT_EQ(t.LineStyle.ColorStr(), "00FF00");  // "Line" is not the style
  EXPECT_DOUBLE_EQ(t.LineStyle.Opacity(), 0.25);
  EXPECT_EQ(t.extensions, "<Line><color>FF0000</color></Line>\r\n<other a=\"1\">x</other>");
  EXPECT_DOUBLE_EQ(t.GetTrkSeg(0)->GetTrkPoint(0)->HBdepth, 1230);
  const TGPXwpt& other = *t.GetTrkSeg(0)->GetTrkPoint(1);
  EXPECT_DOUBLE_EQ(other.HBdepth, 0);  // another program's depth is not ours
  EXPECT_THAT(other.extensions, HasSubstr("<gpxtpx:depth>5.5</gpxtpx:depth>"));
  EXPECT_EQ(doc.metadata.name, "Lake");
  EXPECT_EQ(doc.metadata.author.name, "Ann Angler");
  EXPECT_EQ(doc.metadata.copyright.author, "Ann");
  EXPECT_EQ(doc.metadata.copyright.year, 2012);
  EXPECT_EQ(doc.metadata.link.href, "http://example.invalid/");
  EXPECT_TRUE(doc.metadata.bounds.filled);
  EXPECT_DOUBLE_EQ(doc.metadata.bounds.minlat, 47);
  EXPECT_DOUBLE_EQ(doc.metadata.bounds.maxlon, 9.5);
  EXPECT_NEAR(doc.metadata.mtime, kJune1st2012 + (10 * 3600 + 20 * 60 + 30) * kSecond, kSecond / 100);
  EXPECT_EQ(doc.extension.Text, "");
}

TEST_F(GPXRead, Gpx10DefaultNamespacesAndPrefixes) {
  Read("<gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\"><time>2012-06-01T00:00:00Z</time>"
       "<bounds minlat=\"1\"/><trk><name>old</name><trkseg><trkpt lat=\"1\" lon=\"2\"><course>3</course>"
       "<speed>4</speed><ele>5</ele><url>u</url></trkpt></trkseg></trk></gpx>");
  ASSERT_TRUE(file->Loaded);
  ASSERT_EQ(doc.trk.Count(), 1);
  EXPECT_EQ(doc.trk.GetTrack(0)->name, "old");
  EXPECT_DOUBLE_EQ(doc.trk.GetTrack(0)->GetTrkSeg(0)->GetTrkPoint(0)->Altitude, 5);
  EXPECT_FALSE(doc.metadata.filled);

  Read("<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\" xmlns:h=\"urn:x\"><g:trk><g:name>pre</g:name>"
       "<g:trkseg><g:trkpt lat=\"1\" lon=\"2\"><g:ele>7</g:ele><g:extensions><h:depth>250</h:depth></g:extensions>"
       "</g:trkpt></g:trkseg></g:trk><trk><name>not ours</name></trk></g:gpx>");
  ASSERT_TRUE(file->Loaded);
  ASSERT_EQ(doc.trk.Count(), 2);  // after the first file's track
  const TGPXtrk& t = *doc.trk.GetTrack(1);
  EXPECT_EQ(t.name, "pre");
  EXPECT_DOUBLE_EQ(t.GetTrkSeg(0)->GetTrkPoint(0)->Altitude, 7);
  EXPECT_DOUBLE_EQ(t.GetTrkSeg(0)->GetTrkPoint(0)->HBdepth, 250);
}

// A flight logger's file: every number with its sign, as its number syntax allows.
TEST_F(GPXRead, NumbersWithAPlusSignAreRead) {
  Read("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<gpx version=\"1.1\" creator=\"FlightLog\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
       "<metadata><bounds minlat=\"+47.5\" minlon=\"+008.5\" maxlat=\"+47.6\" maxlon=\"+008.6\"/></metadata>\n"
       "<wpt lat=\"+47.5\" lon=\"-008.25\"><ele>+395.5</ele><sat>+7</sat><dgpsid>+12</dgpsid></wpt>\n"
       "<trk><number>+3</number><trkseg><trkpt lat=\"+47.5203\" lon=\"+008.5155383\"><ele>+1.2E+2</ele>"
       "<hdop>+1.5</hdop><time>2012-06-01T12:20:30+02:00</time><extensions><h:depth>+250</h:depth></extensions>"
       "</trkpt></trkseg></trk>\n</gpx>\n");
  ASSERT_TRUE(file->Loaded) << ::testing::PrintToString(file->mLog);
  const TGPXwpt& w = *doc.wpt.GetWaypoint(0);
  EXPECT_DOUBLE_EQ(w.Latitude, 47.5);
  EXPECT_DOUBLE_EQ(w.Longitude, -8.25);
  EXPECT_DOUBLE_EQ(w.Altitude, 395.5);
  EXPECT_EQ(w.sat, 7);
  EXPECT_EQ(w.dgpsid, 12);
  const TGPXtrk& t = *doc.trk.GetTrack(0);
  EXPECT_EQ(t.number, 3);
  const TGPXwpt& p = *t.GetTrkSeg(0)->GetTrkPoint(0);
  EXPECT_DOUBLE_EQ(p.Latitude, 47.5203);
  EXPECT_DOUBLE_EQ(p.Longitude, 8.5155383);
  EXPECT_DOUBLE_EQ(p.Altitude, 120);
  EXPECT_DOUBLE_EQ(p.hdop, 1.5);
  EXPECT_DOUBLE_EQ(p.HBdepth, 250);
  EXPECT_NEAR(p.DateTime, kJune1st2012 + (10 * 3600 + 20 * 60 + 30) * kSecond, kSecond / 100);
  EXPECT_DOUBLE_EQ(doc.metadata.bounds.minlat, 47.5);
  EXPECT_DOUBLE_EQ(doc.metadata.bounds.maxlon, 8.6);
}

// The GPX elements are those in the root's namespace, whatever prefix
// (or none) names it.
TEST_F(GPXRead, ChildrenMatchTheRootsNamespaceNotItsPrefix) {
  const std::string G = "\"http://www.topografix.com/GPX/1/1\"";
  const auto track = [](const std::string& p, const std::string& q) {
    return "<" + p + "trk><" + q + "name>T</" + q + "name><" + q + "trkseg><" + q + "trkpt lat=\"1\" lon=\"2\"><" + q +
           "ele>7</" + q + "ele></" + q + "trkpt></" + q + "trkseg></" + p + "trk>";
  };
  struct Case {
    std::string bytes;
    bool read;  // the track with its name, segment and point
  };
  const Case cases[] = {
      {"<gpx:gpx xmlns:gpx=" + G + " xmlns=" + G + ">" + track("", "") + "</gpx:gpx>", true},
      {"<gpx:gpx xmlns:gpx=" + G + " xmlns=" + G + ">" + track("gpx:", "") + "</gpx:gpx>", true},
      {"<gpx xmlns=" + G + " xmlns:g=" + G + ">" + track("g:", "") + "</gpx>", true},
      {"<gpx xmlns=" + G + ">" + track("g:", "g:") + "</gpx>", false},  // g is no namespace
      {"<gpx xmlns=" + G + "><g:trk xmlns:g=" + G + "><name>T</name><trkseg><g:trkpt lat=\"1\" lon=\"2\">"
       "<ele>7</ele></g:trkpt></trkseg></g:trk></gpx>", true},
      {"<g:gpx xmlns:g=" + G + " xmlns=\"urn:other\">" + track("", "") + "</g:gpx>", false},
      {"<gpx xmlns=" + G + "><trk xmlns=\"urn:other\"><name>T</name></trk></gpx>", false},
      // A segment of another namespace beside the track's own, either side.
      {"<gpx xmlns=" + G + "><trk><name>T</name><trkseg><trkpt lat=\"1\" lon=\"2\"><ele>7</ele></trkpt></trkseg>"
       "<trkseg xmlns=\"urn:other\"><trkpt lat=\"1\" lon=\"2\"><ele>8</ele></trkpt></trkseg></trk></gpx>", true},
      {"<gpx xmlns=" + G + "><trk><name>T</name><trkseg xmlns=\"urn:other\"><trkpt lat=\"1\" lon=\"2\"><ele>8</ele>"
       "</trkpt></trkseg><trkseg><trkpt lat=\"1\" lon=\"2\"><ele>7</ele></trkpt></trkseg></trk></gpx>", true},
      // A point's field of another namespace before the GPX one.
      {"<gpx xmlns=" + G + "><trk><name>T</name><trkseg><trkpt lat=\"1\" lon=\"2\"><ele xmlns=\"urn:other\">8</ele>"
       "<ele>7</ele></trkpt></trkseg></trk></gpx>", true},
      {"<g:gpx>" + track("g:", "g:") + "</g:gpx>", true},  // the same undeclared prefix
      {"<g:gpx>" + track("", "") + "</g:gpx>", false},
      {"<gpx>" + track("", "") + "</gpx>", true},
  };
  for (const Case& c : cases) {
    { const TGPXUnlinked unlinked = doc.Clear(); }
    Read(c.bytes);
    ASSERT_TRUE(file->Loaded) << c.bytes;
    if (!c.read) {
      EXPECT_EQ(doc.trk.Count(), 0) << c.bytes;
      continue;
    }
    ASSERT_EQ(doc.trk.Count(), 1) << c.bytes;
    EXPECT_EQ(doc.trk.GetTrack(0)->name, "T") << c.bytes;
    ASSERT_EQ(doc.trk.GetTrack(0)->Count(), 1) << c.bytes;
    ASSERT_EQ(doc.trk.GetTrack(0)->GetTrkSeg(0)->Count(), 1) << c.bytes;
    EXPECT_DOUBLE_EQ(doc.trk.GetTrack(0)->GetTrkSeg(0)->GetTrkPoint(0)->Altitude, 7) << c.bytes;
  }
}

// A handheld's file with its extensions, declared on the root and on the
// element, one prefix declared nowhere and one name no namespace reader takes.
const char kForeignExtensions[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:gpxx=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\""
    " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\" creator=\"eTrex 30\" version=\"1.1\">\n"
    " <metadata><time>2012-06-01T10:20:30Z</time><extensions><gpxx:Meta>m</gpxx:Meta></extensions></metadata>\n"
    " <rte><name>R</name><extensions><gpxx:RouteExtension><gpxx:IsAutoNamed>false</gpxx:IsAutoNamed>"
    "</gpxx:RouteExtension></extensions><rtept lat=\"47.1\" lon=\"9.1\"/></rte>\n"
    " <trk><name>T</name><extensions><gpxx:TrackExtension><gpxx:DisplayColor>Cyan</gpxx:DisplayColor>"
    "</gpxx:TrackExtension><foreign:note xmlns:foreign=\"urn:example:foreign\" foreign:by=\"me\">hi</foreign:note>"
    "<stray:tag stray:a=\"1\">kept</stray:tag><odd:name:x>v</odd:name:x></extensions>\n"
    "  <trkseg><trkpt lat=\"47.2\" lon=\"9.2\"><extensions><gpxtpx:TrackPointExtension><gpxtpx:depth>5"
    "</gpxtpx:depth></gpxtpx:TrackPointExtension></extensions></trkpt>"
    "<extensions><gpxtpx:Seg xmlns:other=\"urn:other\"><other:x gpxx:a=\"2\"/></gpxtpx:Seg></extensions></trkseg></trk>\n"
    " <extensions><gpxx:Top>t</gpxx:Top></extensions>\n"
    "</gpx>\n";

TEST_F(GPXRead, KeptExtensionsCarryTheirNamespacesIntoTheSavedFile) {
  Read(kForeignExtensions);
  ASSERT_TRUE(file->Loaded) << ::testing::PrintToString(file->mLog);
  TGPXFile writer;
  writer.GPXd = &doc;
  const std::string saved = folder.Path("saved.gpx");
  writer.ExportGPX(saved);

  const TXmlOracleResult check = TXmlOracle::WellFormed(saved);
  EXPECT_TRUE(check.Ok()) << check.errors;
  const auto xpath = [&](const std::string& expression) {
    std::string value = TXmlOracle::Run({"--xpath", expression}, saved).output;
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  };
  const std::string garmin = "http://www.garmin.com/xmlschemas/GpxExtensions/v3";
  // Meta, RouteExtension, IsAutoNamed, TrackExtension, DisplayColor, Top; and gpxx:a.
  EXPECT_EQ(xpath("count(//*[namespace-uri()='" + garmin + "'])"), "6");
  EXPECT_EQ(xpath("count(//@*[namespace-uri()='" + garmin + "'])"), "1");
  EXPECT_EQ(xpath("namespace-uri(//*[local-name()='Seg'])"), "http://www.garmin.com/xmlschemas/TrackPointExtension/v1");
  EXPECT_EQ(xpath("namespace-uri(//*[local-name()='x'])"), "urn:other");
  EXPECT_EQ(xpath("string(//*[local-name()='note']/@*[local-name()='by'])"), "me");
  EXPECT_EQ(xpath("namespace-uri(//*[local-name()='tag'])"), "urn:shoalwright:undeclared-prefix:stray");
  EXPECT_EQ(xpath("string(//*[local-name()='tag'])"), "kept");
  // The name no declaration can mend stays as text.
  EXPECT_THAT(xpath("string(//*[local-name()='trk']/*[local-name()='extensions'])"), HasSubstr("<odd:name:x>v</odd:name:x>"));

  // Read again and saved again, the file stays as it is: declarations do not pile up.
  const TGPXUnlinked unlinked = doc.Clear();
  file = std::make_unique<TGPXFile>();
  file->GPXd = &doc;
  file->ImportGPXFile(saved);
  ASSERT_TRUE(file->Loaded) << ::testing::PrintToString(file->mLog);
  const std::string again = folder.Path("again.gpx");
  writer.ExportGPX(again);
  const auto contents = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(contents(again), contents(saved));
}

// An unprefixed element keeps the default namespace it had at its source when
// that was another program's; under GPX's own, or none, it is written as it came.
TEST_F(GPXRead, KeptExtensionsKeepAForeignDefaultNamespace) {
  const std::string G = "\"http://www.topografix.com/GPX/1/1\"";
  struct Case {
    std::string root;        // the start tag of the root, up to the track
    std::string extensions;  // inside the track's extensions
    const char* namespaceOfNote;
    const char* written;     // as the saved file holds it
  };
  const Case cases[] = {
      {"<g:gpx xmlns:g=" + G + " xmlns=\"urn:example:foreign\">", "<note>hi</note>", "urn:example:foreign",
       "<note xmlns=\"urn:example:foreign\">hi</note>"},
      {"<gpx xmlns=" + G + ">", "<note>hi</note>", "http://www.topografix.com/GPX/1/1", "<note>hi</note>"},
      {"<gpx>", "<note>hi</note>", "http://www.topografix.com/GPX/1/1", "<note>hi</note>"},
      {"<gpx xmlns=" + G + ">", "<f:a xmlns:f=\"urn:f\" xmlns=\"urn:d\"><note>hi</note></f:a>", "urn:d",
       "<f:a xmlns:f=\"urn:f\" xmlns=\"urn:d\"><note>hi</note></f:a>"},
  };
  for (const Case& c : cases) {
    const bool prefixed = c.root.rfind("<g:", 0) == 0;
    const std::string p = prefixed ? "g:" : "";
    { const TGPXUnlinked unlinked = doc.Clear(); }
    Read(c.root + "<" + p + "trk><" + p + "extensions>" + c.extensions + "</" + p + "extensions></" + p + "trk></" +
         p + "gpx>");
    ASSERT_TRUE(file->Loaded) << c.root;
    ASSERT_EQ(doc.trk.Count(), 1) << c.root;
    TGPXFile writer;
    writer.GPXd = &doc;
    const std::string saved = folder.Path("saved.gpx");
    writer.ExportGPX(saved);
    const TXmlOracleResult check = TXmlOracle::WellFormed(saved);
    EXPECT_TRUE(check.Ok()) << c.root << "\n" << check.errors;
    EXPECT_EQ(TXmlOracle::Run({"--xpath", "namespace-uri(//*[local-name()='note'])"}, saved).output,
              std::string(c.namespaceOfNote) + "\n")
        << c.root;
    EXPECT_EQ(doc.trk.GetTrack(0)->extensions, c.written) << c.root;
  }
}

TEST_F(GPXRead, EncodingsComeThroughTheLibrary) {
  Read("\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx>\r\n<wpt lat=\"1\" lon=\"2\"><name>a\r\nb</name>"
       "</wpt>\r\n</gpx>\r\n");
  ASSERT_TRUE(file->Loaded);
  EXPECT_EQ(doc.wpt.GetWaypoint(0)->name, "a b");
  Read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx><wpt lat=\"1\" lon=\"2\"><name>Z\xfcrich</name></wpt></gpx>");
  ASSERT_TRUE(file->Loaded);
  EXPECT_EQ(doc.wpt.GetWaypoint(1)->name, "Z\xc3\xbcrich");
}

TEST_F(GPXRead, BadInputAddsNothingAndSaysWhy) {
  AddTrackPoint(doc, 1, 2, 3);
  struct Case {
    const char* bytes;
    const char* line;  // in the log before "File not loaded"
  };
  const Case cases[] = {
      {"not xml at all", "File: "},
      {"<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\">", "File: "},
      // a segment read while loading goes with the rest of a broken file
      {"<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk><trk>", "File: "},
      {"<kml><Document/></kml>", ""},
      {"<gpx><trk><trkseg><trkpt lon=\"2\"/></trkseg></trk></gpx>", "trkpt 1: lat is missing"},
      {"<gpx><wpt lat=\"1\" lon=\"2\"/><wpt lat=\"1\" lon=\"abc\"/></gpx>", "wpt 2: lon \"abc\" is not a number"},
      {"<gpx><rte><rtept lat=\"91\" lon=\"2\"/></rte></gpx>", "rtept 1: lat 91 is out of range"},
      {"<gpx><wpt lat=\"1\" lon=\"-180.5\"/></gpx>", "wpt 1: lon -180.5 is out of range"},
      {"<gpx><wpt lat=\"NaN\" lon=\"1\"/></gpx>", "wpt 1: lat \"NaN\" is not a number"},
      {"<gpx><wpt lat=\"+-1\" lon=\"1\"/></gpx>", "wpt 1: lat \"+-1\" is not a number"},
      {"<gpx><wpt lat=\"1\" lon=\"++1\"/></gpx>", "wpt 1: lon \"++1\" is not a number"},
  };
  for (const Case& c : cases) {
    Read(c.bytes);
    EXPECT_FALSE(file->Loaded) << c.bytes;
    EXPECT_FALSE(result.Loaded) << c.bytes;
    EXPECT_EQ(result.Lines, file->mLog) << c.bytes;
    ASSERT_GE(file->mLog.size(), 2u) << c.bytes;
    EXPECT_EQ(LastLog(), "File not loaded");
    EXPECT_THAT(file->mLog[file->mLog.size() - 2], HasSubstr(c.line)) << c.bytes;
    EXPECT_EQ(doc.trk.Count(), 1) << c.bytes;
    EXPECT_EQ(doc.wpt.Count(), 0) << c.bytes;
    EXPECT_EQ(doc.rte.Count(), 0) << c.bytes;
  }
  file->ImportGPXFile(folder.Path("missing.gpx"));
  EXPECT_EQ(LastLog(), "File not loaded");
}

// The reader names the first depth of another program in a segment without
// ours; a waypoint's is none of its business.
TEST_F(GPXRead, AForeignDepthIsAFindingOfTheRead) {
  const auto point = [](const std::string& inside) { return "<trkpt lat=\"47\" lon=\"8\">" + inside + "</trkpt>"; };
  const std::string tpx = "<extensions><gpxtpx:TrackPointExtension><gpxtpx:depth>4.5</gpxtpx:depth>"
                          "</gpxtpx:TrackPointExtension></extensions>";
  const std::string ours = "<extensions><h:depth>120</h:depth></extensions>";
  const std::string other = "<extensions><x:Depth>3</x:Depth></extensions>";
  struct Case {
    std::string segments;
    std::string found;
  };
  const Case cases[] = {
      {"<trkseg>" + point("") + point(tpx) + "</trkseg>", "gpxtpx:depth"},
      {"<trkseg>" + point(tpx) + point(ours) + "</trkseg><trkseg>" + point(other) + "</trkseg>", "x:Depth"},
      {"<trkseg>" + point("<ele>-3.5</ele>") + point("<ele>-4</ele>") + "</trkseg>", "ele"},
      {"<trkseg>" + point("<ele>-3.5</ele>") + point("<ele>0</ele>") + "</trkseg>", ""},
      {"<trkseg>" + point("<ele>-3.5</ele>" + ours) + "</trkseg>", ""},
      {"<trkseg></trkseg><trkseg>" + point(ours) + "</trkseg>", ""},
      {"<trkseg>" + point(other) + "</trkseg><trkseg>" + point(tpx) + "</trkseg>", "x:Depth"},
  };
  for (const Case& c : cases) {
    const std::string bytes = "<gpx><wpt lat=\"1\" lon=\"1\">" + other + "</wpt><trk>" + c.segments + "</trk></gpx>";
    Read(bytes);
    ASSERT_TRUE(result.Loaded) << bytes;
    EXPECT_EQ(result.Findings.ForeignDepth, c.found) << bytes;
    EXPECT_EQ(result.Lines, file->mLog);
  }
  TGPXFile fromText;
  EXPECT_EQ(fromText.ImportGPXString("<gpx><trk>" + cases[0].segments + "</trk></gpx>").Findings.ForeignDepth,
            "gpxtpx:depth");
}

// Track segments are read while the file loads; errors and log lines still
// come in document order, and a load that fails says only why.
TEST_F(GPXRead, SegmentsReadWhileLoadingKeepTheDocumentOrder) {
  const std::string badTime = "<time>2012-13-01T00:00:00Z</time>";
  const auto point = [](const char* lat, const std::string& inside = "") {
    return std::string("<trkpt lat=\"") + lat + "\" lon=\"2\">" + inside + "</trkpt>";
  };
  struct Case {
    std::string bytes;
    std::vector<std::string> log;  // the start of each line
    int points;                   // -1: not loaded
  };
  const Case cases[] = {
      {"<gpx><metadata>" + badTime + "</metadata><trk><trkseg>" + point("1", badTime) + "</trkseg></trk></gpx>",
       {"metadata: time", "trkpt 1: time", "0 waypoints", "0 routes", "1 tracks (1 points in 1"}, 1},
      {"<gpx><trk><trkseg>" + point("1", badTime) + "</trkseg><trkseg>" + point("1") + point("x") +
           "</trkseg></trk></gpx>",
       {"trkpt 1: time", "trkpt 3: lat \"x\" is not a number", "File not loaded"}, -1},
      {"<gpx><trk><trkseg>" + point("1") + point("1") + "</trkseg></trk><trk><trkseg>" + point("") +
           "</trkseg></trk><wpt lat=\"y\" lon=\"1\"/></gpx>",
       {"trkpt 3: lat is missing", "File not loaded"}, -1},
      {"<gpx><wpt lat=\"y\" lon=\"1\"/><trk><trkseg>" + point("1", badTime) + "</trkseg></trk></gpx>",
       {"wpt 1: lat \"y\" is not a number", "File not loaded"}, -1},
      {"<gpx><trk><trkseg>" + point("1", badTime) + "</trkseg><trkseg>", {"File: ", "File not loaded"}, -1},
      {"<gpx><trk><name>late</name><trkseg>" + point("1") + "</trkseg><trkseg/><trkseg>" + point("2") +
           point("3") + "</trkseg><name>later</name></trk></gpx>",
       {"0 waypoints", "0 routes", "1 tracks (3 points in 3"}, 3},
  };
  for (const Case& c : cases) {
    { const TGPXUnlinked unlinked = doc.Clear(); }
    Read(c.bytes);
    ASSERT_EQ(file->mLog.size(), c.log.size()) << c.bytes << "\n" << ::testing::PrintToString(file->mLog);
    for (std::size_t i = 0; i < c.log.size(); ++i) EXPECT_THAT(file->mLog[i], ::testing::StartsWith(c.log[i])) << c.bytes;
    EXPECT_EQ(file->Loaded, c.points >= 0) << c.bytes;
    if (c.points < 0) {
      EXPECT_EQ(doc.trk.Count(), 0) << c.bytes;
      continue;
    }
    ASSERT_EQ(doc.trk.Count(), 1) << c.bytes;
    int points = 0;
    for (const TGPXtrkseg& segment : *doc.trk.Items(0)) points += segment.Count();
    EXPECT_EQ(points, c.points) << c.bytes;
  }
  // The last name wins, whether before or after the segments.
  EXPECT_EQ(doc.trk.Items(0)->name, "later");
  EXPECT_EQ(doc.trk.Items(0)->Items(2)->GetWaypoint(1)->Latitude, 3);
}

// The one pass over a point's children gives what one query per field gives.
TEST_F(GPXRead, OnePassPointsEqualPointsReadByQueries) {
  for (const std::string& text : {std::string(kDialect), std::string("<gpx><wpt lat=\"3\" lon=\"4\"><name>a</name>"
                                                                      "<NAME>b</NAME><cmt>c</cmt><sym>s</sym><type>t</type>"
                                                                      "<src>q</src><desc>d</desc><magvar>1</magvar>"
                                                                      "<geoidheight>2</geoidheight><pdop>3</pdop>"
                                                                      "<vdop>4</vdop><ageofdgpsdata>5</ageofdgpsdata>"
                                                                      "<dgpsid>6</dgpsid><link href=\"h\"><text>x</text>"
                                                                      "</link><extensions><h:depth>1</h:depth>"
                                                                      "</extensions><extensions><h:depth>2</h:depth>"
                                                                      "</extensions></wpt></gpx>")}) {
    TGPX read;
    TGPXFile reader;
    reader.GPXd = &read;
    reader.ImportGPXString(text);
    ASSERT_TRUE(reader.Loaded);
    TXpObjModel model;
    model.SetIgnoreCase(true);
    ASSERT_TRUE(model.LoadMemory(text.data(), static_cast<int>(text.size())));
    std::vector<const TGPXwpt*> points;
    for (const TGPXwpt& p : read.wpt.Waypoints()) points.push_back(&p);
    for (const TGPXtrk& t : read.trk)
      for (const TGPXtrkseg& s : t)
        for (const TGPXwpt& p : s.Waypoints()) points.push_back(&p);
    const std::unique_ptr<TXpNodeList> nodes = model.Document()->SelectNodes(u"//wpt | //trkpt");
    ASSERT_EQ(nodes->Length(), static_cast<int>(points.size()));
    for (int i = 0; i < nodes->Length(); ++i) {
      const TXpNode* node = nodes->Item(i);
      const TGPXwpt& p = *points[static_cast<std::size_t>(i)];
      const auto q = [&](const char16_t* path) { return TGPXFile::GetLastNodeText(node, path); };
      EXPECT_EQ(p.name, q(u"name"));
      EXPECT_EQ(p.cmt, q(u"cmt"));
      EXPECT_EQ(p.desc, q(u"desc"));
      EXPECT_EQ(p.src, q(u"src"));
      EXPECT_EQ(p.sym, q(u"sym"));
      EXPECT_EQ(p.wtype, q(u"type"));
      EXPECT_EQ(p.link.text, q(u"link/text"));
      for (auto [value, path] : {std::pair{p.Altitude, u"ele"}, {p.magvar, u"magvar"}, {p.geoidheight, u"geoidheight"},
                                 {p.HBdepth, u"extensions/h:depth"}}) {
        const std::string text = q(path);
        EXPECT_DOUBLE_EQ(value, text.empty() ? 0 : std::stod(text)) << XpWideToUtf8(path);
      }
      for (auto [value, path] : {std::pair{p.hdop, u"hdop"}, {p.vdop, u"vdop"}, {p.pdop, u"pdop"},
                                 {p.ageofdgpsdata, u"ageofdgpsdata"}}) {
        const std::string text = q(path);
        EXPECT_DOUBLE_EQ(value, text.empty() ? -1 : std::stod(text)) << XpWideToUtf8(path);
      }
      EXPECT_EQ(p.extensions, TGPXFile::GetExtensionNodeContent(node, u"extensions"));
    }
  }
}

TEST(GPXTime, ISO8601Forms) {
  const double t102030 = kJune1st2012 + (10 * 3600 + 20 * 60 + 30) * kSecond;
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"2012-06-01T10:20:30Z", t102030},
      {"20120601T102030Z", t102030},
      {"2012-06-01 10:20:30", t102030},
      {"2012-06-01T12:20:30+02:00", t102030},
      {"2012-06-01T08:20:30-0200", t102030},
      {"2012-153T10:20:30Z", t102030},
      {"2012-W22-5T10:20:30Z", t102030},
      {"2012-06-01T10.5Z", kJune1st2012 + 10.5 / 24},
      {"2012-06-01T10:20,5Z", t102030},
      {"2012-06-01T10:20:30.25Z", t102030 + 0.25 * kSecond},
      {"2012-06-01", kJune1st2012},
      {"2012-06-01T10:20Z", t102030 - 30 * kSecond},
      {"2012-06", 0},  // fewer than 8 characters
      {"  2012-06-01  ", kJune1st2012},
  };
  for (const Case& c : cases) EXPECT_NEAR(TGPXFile::ISO8601ToDateTime(c.text), c.expected, 1e-9) << c.text;
  for (const char* bad : {"2012-13-01T00:00:00Z", "2012-06-31", "2012-06-01T24:00:00Z", "2012-06-01T10:60Z",
                          "2011-366T00:00Z", "2012-W54-1", "2012-06-01T10:00+24:00"})
    EXPECT_THROW(TGPXFile::ISO8601ToDateTime(bad), EConvertError) << bad;
  try {
    TGPXFile::ISO8601ToDateTime("2011-366");
  } catch (const EConvertError& e) {
    EXPECT_EQ(XpWideToUtf8(e.Message()), "(2011, 366) is not a valid DateDay pair");
  }
}

// A point's usual time is read by a shortcut; a blank around it takes the
// general rules, which must give the same number and the same errors.
TEST(GPXTime, TheUsualFormsReadAsTheGeneralRulesReadThem) {
  for (const char* text : {"2023-03-15T00:00:00Z", "2024-02-29T23:59:59Z", "0001-01-01T00:00:00Z",
                           "2023-03-15T12:34:56.789Z", "2023-03-15T12:34:56.001Z", "9999-12-31T23:59:59.999Z",
                           "2023-03-15T12:34:56.0x0Z", "2023-03-15T12:34:5xZ", "2023-03-15t12:34:56Z"}) {
    const std::string general = std::string(" ") + text;
    double expected = 0;
    try {
      expected = TGPXFile::ISO8601ToDateTime(general);
    } catch (const EConvertError&) {
      EXPECT_THROW(TGPXFile::ISO8601ToDateTime(text), EConvertError) << text;
      continue;
    }
    EXPECT_EQ(TGPXFile::ISO8601ToDateTime(text), expected) << text;
  }
  for (const char* bad : {"2023-02-29T00:00:00Z", "2023-13-01T00:00:00Z", "2023-03-15T24:00:00Z",
                          "2023-03-15T23:60:00.000Z", "0000-01-01T00:00:00Z"}) {
    std::string fast, general;
    try {
      TGPXFile::ISO8601ToDateTime(bad);
    } catch (const EConvertError& e) {
      fast = XpWideToUtf8(e.Message());
    }
    try {
      TGPXFile::ISO8601ToDateTime(std::string(" ") + bad);
    } catch (const EConvertError& e) {
      general = XpWideToUtf8(e.Message());
    }
    EXPECT_FALSE(fast.empty()) << bad;
    EXPECT_EQ(fast, general) << bad;
  }
}

}  // namespace
