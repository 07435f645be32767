#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "formats/KMLFile.h"
#include "model/GPX.h"
#include "tests/support/TempFolder.h"

using ::testing::HasSubstr;

namespace {

class KMLRead : public ::testing::Test {
protected:
  TKMLFile& Read(const std::string& bytes) {
    const std::string path = folder.Path("t.kml");
    std::ofstream(path, std::ios::binary) << bytes;
    file = std::make_unique<TKMLFile>();
    file->GPXd = &doc;
    result = file->ImportKML(path);
    return *file;
  }
  static std::string Kml(const std::string& body) {
    return "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\">" + body + "</kml>";
  }

  TTempFolder folder{"kmlread"};
  TGPX doc;
  std::unique_ptr<TKMLFile> file;
  TReadResult result;  // of the last Read
};

TEST_F(KMLRead, PointPlacemarksBecomeWaypoints) {
  Read(Kml("<!-- made by hand --><Document><name>Doc</name>"
           "<Placemark><name>A</name><Point><coordinates>9.25,47.5,420</coordinates></Point>"
           "<TimeStamp><when>2012-06-01T00:00:00Z</when></TimeStamp>"
           "<Snippet>first line&lt;BR/&gt;second line</Snippet></Placemark>"
           "<Placemark><name>B</name><Point><coordinates> 9.25,47.5 </coordinates></Point></Placemark>"
           "<Placemark><name>C</name><Point><coordinates>9.25</coordinates></Point></Placemark>"
           "</Document>"));
  ASSERT_TRUE(file->Loaded);
  ASSERT_EQ(doc.wpt.Count(), 2);
  const TGPXwpt& a = *doc.wpt.GetWaypoint(0);
  EXPECT_EQ(a.name, "A");
  EXPECT_DOUBLE_EQ(a.Longitude, 9.25);
  EXPECT_DOUBLE_EQ(a.Latitude, 47.5);
  EXPECT_DOUBLE_EQ(a.Altitude, 420);
  EXPECT_DOUBLE_EQ(a.DateTime, 41061);
  EXPECT_EQ(a.desc, "first line\r\nsecond line");
  EXPECT_DOUBLE_EQ(doc.wpt.GetWaypoint(1)->Altitude, 0);
  EXPECT_TRUE(doc.wpt.filled);
  EXPECT_TRUE(file->mLog.empty());
}

TEST_F(KMLRead, LineStringsBecomeTracksNamedAfterTheirParent) {
  Read(Kml("<Placemark><name>top</name><LineString><coordinates>1,2 3,4</coordinates></LineString></Placemark>"
           "<Document><name>Lake</name><Folder><name>Shore</name><Folder><name>Inner</name>"
           "<Placemark><name>own name</name><LineString><coordinates>\n"
           "   9.1,47.1,0\n\t9.2,47.2,0 9.3, 47.3,0\n  </coordinates></LineString></Placemark>"
           "<Placemark><LineString><coordinates>9.5,47.5</coordinates></LineString></Placemark>"
           "<Placemark><LineString><coordinates>junk</coordinates></LineString></Placemark>"
           "</Folder></Folder>"
           "<Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>1,2 3,4 5,6 1,2</coordinates>"
           "</LinearRing></outerBoundaryIs></Polygon></Placemark>"
           "</Document>"));
  ASSERT_TRUE(file->Loaded);
  ASSERT_EQ(doc.trk.Count(), 2);
  EXPECT_EQ(doc.trk.GetTrack(0)->name, "");  // the kml root has no name
  const TGPXtrk& inner = *doc.trk.GetTrack(1);
  EXPECT_EQ(inner.name, "Inner");
  ASSERT_EQ(inner.Count(), 1);
  ASSERT_EQ(inner.GetTrkSeg(0)->Count(), 3);
  EXPECT_DOUBLE_EQ(inner.GetTrkSeg(0)->GetTrkPoint(2)->Longitude, 9.3);
  EXPECT_DOUBLE_EQ(inner.GetTrkSeg(0)->GetTrkPoint(2)->Latitude, 47.3);
  ASSERT_EQ(doc.wpt.Count(), 1);  // the one-point line
  EXPECT_EQ(doc.wpt.GetWaypoint(0)->name, "Inner");
  EXPECT_FALSE(doc.wpt.filled);
  EXPECT_EQ(result.Findings.SkippedPlacemarks, 1);
}

// Coordinates as globe viewers, GPS loggers and hand editors write them.
TEST_F(KMLRead, TuplesSplitAtWhiteSpaceAndAtCommentsWithBlanksAfterCommasInside) {
  struct Position {
    double lon, lat, alt;
  };
  struct Case {
    const char* coordinates;
    std::vector<Position> points;
  };
  const Case cases[] = {
      {"9.1,47.1,0 9.2,47.2,0 9.3,47.3,0", {{9.1, 47.1, 0}, {9.2, 47.2, 0}, {9.3, 47.3, 0}}},
      {"9.1,47.1,0, 9.2,47.2,0, 9.3,47.3,0", {{9.1, 47.1, 0}, {9.2, 47.2, 0}, {9.3, 47.3, 0}}},
      {"9.1,47.1,400, 9.2,47.2,410,", {{9.1, 47.1, 400}, {9.2, 47.2, 410}}},
      {"-121.99, 37.44 -121.98, 37.45", {{-121.99, 37.44, 0}, {-121.98, 37.45, 0}}},
      {"9.1, 47.1, 400 9.2, 47.2, 410", {{9.1, 47.1, 400}, {9.2, 47.2, 410}}},
      {"\n  9.1,47.1\n\t9.2,47.2\n", {{9.1, 47.1, 0}, {9.2, 47.2, 0}}},
      {"9.1,47.1,0 9.2,47.2,0<!-- gap -->9.3,47.3,0 9.4,47.4,0",
       {{9.1, 47.1, 0}, {9.2, 47.2, 0}, {9.3, 47.3, 0}, {9.4, 47.4, 0}}},
      {"9.1,47.1,0<![CDATA[9.2,47.2,0]]>9.3,47.3,0", {{9.1, 47.1, 0}, {9.2, 47.2, 0}, {9.3, 47.3, 0}}},
      {"+008.5155383,+47.1234,+400 +008.6,+47.2,-1.5E+1", {{8.5155383, 47.1234, 400}, {8.6, 47.2, -15}}},
  };
  for (const Case& c : cases) {
    { const TGPXUnlinked unlinked = doc.Clear(); }
    Read(Kml(std::string("<Folder><name>Shore</name><Placemark><LineString><coordinates>") + c.coordinates +
             "</coordinates></LineString></Placemark></Folder>"));
    ASSERT_TRUE(file->Loaded) << c.coordinates << "\n" << ::testing::PrintToString(file->mLog);
    ASSERT_EQ(doc.trk.Count(), 1) << c.coordinates;
    const TGPXtrkseg& segment = *doc.trk.GetTrack(0)->GetTrkSeg(0);
    ASSERT_EQ(segment.Count(), static_cast<int>(c.points.size())) << c.coordinates;
    for (int i = 0; i < segment.Count(); ++i) {
      const Position& expected = c.points[static_cast<std::size_t>(i)];
      EXPECT_DOUBLE_EQ(segment.GetTrkPoint(i)->Longitude, expected.lon) << c.coordinates << " #" << i;
      EXPECT_DOUBLE_EQ(segment.GetTrkPoint(i)->Latitude, expected.lat) << c.coordinates << " #" << i;
      EXPECT_DOUBLE_EQ(segment.GetTrkPoint(i)->Altitude, expected.alt) << c.coordinates << " #" << i;
    }
  }
  // A point's one tuple takes the same rules.
  for (const char* coordinates : {"+9.25,+47.5,+420", "9.25, 47.5, 420", "9.25,47.5,420,", "9.25,<!-- c -->47.5,420"}) {
    { const TGPXUnlinked unlinked = doc.Clear(); }
    Read(Kml(std::string("<Placemark><Point><coordinates>") + coordinates + "</coordinates></Point></Placemark>"));
    ASSERT_EQ(doc.wpt.Count(), 1) << coordinates << "\n" << ::testing::PrintToString(file->mLog);
    EXPECT_DOUBLE_EQ(doc.wpt.GetWaypoint(0)->Longitude, 9.25) << coordinates;
    EXPECT_DOUBLE_EQ(doc.wpt.GetWaypoint(0)->Latitude, 47.5) << coordinates;
    EXPECT_DOUBLE_EQ(doc.wpt.GetWaypoint(0)->Altitude, 420) << coordinates;
  }
}

// What the writer makes, the reader takes: waypoints with their names, times
// and altitudes, every segment a track named after its track, every route
// one named "Routes".
TEST_F(KMLRead, AFileTheProgramWroteReadsBack) {
  TGPX source;
  auto buoy = std::make_unique<TGPXwpt>();
  buoy->Longitude = 9.25;
  buoy->Latitude = 47.5;
  buoy->Altitude = 420;
  buoy->name = "Buoy & Z\xc3\xbcrich";
  buoy->DateTime = 45413.5;
  source.wpt.Add(std::move(buoy));
  auto route = std::make_unique<TGPXrte>();
  for (const auto& [lon, lat] : {std::pair{9.1, 47.1}, {9.2, 47.2}}) {
    auto point = std::make_unique<TGPXwpt>();
    point->Longitude = lon;
    point->Latitude = lat;
    route->Add(std::move(point));
  }
  source.rte.Add(std::move(route));
  auto track = std::make_unique<TGPXtrk>();
  track->name = "Shore";
  for (int s = 0; s < 2; ++s) {
    auto segment = std::make_unique<TGPXtrkseg>();
    for (int i = 0; i < 3; ++i) {
      auto point = std::make_unique<TGPXwpt>();
      point->Longitude = -121.5 + s + i * 0.125;
      point->Latitude = 37.25 + i * 1e-5;
      point->Altitude = i == 1 ? -2.5 : 0;
      segment->Add(std::move(point));
    }
    track->Add(std::move(segment));
  }
  source.trk.Add(std::move(track));
  for (const bool compress : {false, true}) {
    TKMLFile writer;
    writer.GPXd = &source;
    writer.GPXOptions.Compress = compress;
    const std::string path = folder.Path("written.kml");
    writer.ExportKML(path);
    { const TGPXUnlinked unlinked = doc.Clear(); }
    file = std::make_unique<TKMLFile>();
    file->GPXd = &doc;
    file->ImportKML(path);
    ASSERT_TRUE(file->Loaded) << ::testing::PrintToString(file->mLog);
    ASSERT_EQ(doc.wpt.Count(), 1);
    const TGPXwpt& w = *doc.wpt.GetWaypoint(0);
    EXPECT_EQ(w.name, "Buoy & Z\xc3\xbcrich");
    EXPECT_DOUBLE_EQ(w.Longitude, 9.25);
    EXPECT_DOUBLE_EQ(w.Latitude, 47.5);
    EXPECT_DOUBLE_EQ(w.Altitude, 420);
    EXPECT_DOUBLE_EQ(w.DateTime, 45413.5);
    ASSERT_EQ(doc.trk.Count(), 3);  // the route, then the track's two segments
    EXPECT_EQ(doc.trk.GetTrack(0)->name, "Routes");
    EXPECT_EQ(doc.trk.GetTrack(0)->GetTrkSeg(0)->Count(), 2);
    for (int s = 0; s < 2; ++s) {
      const TGPXtrk& read = *doc.trk.GetTrack(1 + s);
      EXPECT_EQ(read.name, "Shore");
      ASSERT_EQ(read.Count(), 1);
      const TGPXtrkseg& original = *source.trk.GetTrack(0)->GetTrkSeg(s);
      ASSERT_EQ(read.GetTrkSeg(0)->Count(), original.Count());
      for (int i = 0; i < original.Count(); ++i) {
        EXPECT_EQ(read.GetTrkSeg(0)->GetTrkPoint(i)->Longitude, original.GetTrkPoint(i)->Longitude);
        EXPECT_EQ(read.GetTrkSeg(0)->GetTrkPoint(i)->Latitude, original.GetTrkPoint(i)->Latitude);
        EXPECT_EQ(read.GetTrkSeg(0)->GetTrkPoint(i)->Altitude, original.GetTrkPoint(i)->Altitude);
      }
    }
  }
}

// KML elements are those in their placemark's namespace, whatever prefix (or
// none) names it.
TEST_F(KMLRead, ChildrenMatchTheirNamespaceNotTheirPrefix) {
  const std::string K = "\"http://www.opengis.net/kml/2.2\"";
  const auto body = [](const std::string& p, const std::string& q) {
    return "<" + p + "Document><" + p + "name>Lake</" + p + "name><" + p + "Placemark><" + q + "name>A</" + q +
           "name><" + q + "Point><" + q + "coordinates>9.25,47.5</" + q + "coordinates></" + q + "Point></" + p +
           "Placemark><" + p + "Placemark><" + q + "LineString><" + q + "coordinates>9.1,47.1 9.2,47.2</" + q +
           "coordinates></" + q + "LineString></" + p + "Placemark></" + p + "Document>";
  };
  struct Case {
    std::string bytes;
    bool read;  // the named waypoint and the track named after the document
  };
  const Case cases[] = {
      {"<k:kml xmlns:k=" + K + ">" + body("k:", "k:") + "</k:kml>", true},
      {"<kml xmlns=" + K + " xmlns:kml=" + K + ">" + body("kml:", "") + "</kml>", true},
      {"<kml xmlns=" + K + " xmlns:kml=" + K + ">" + body("", "kml:") + "</kml>", true},
      {"<k:kml>" + body("k:", "k:") + "</k:kml>", true},  // the same undeclared prefix
      {"<kml xmlns=" + K + " xmlns:x=\"urn:other\">" + body("", "x:") + "</kml>", false},
      {"<k:kml xmlns:k=" + K + ">" + body("k:", "") + "</k:kml>", false},  // no namespace below
  };
  for (const Case& c : cases) {
    { const TGPXUnlinked unlinked = doc.Clear(); }
    Read(c.bytes);
    ASSERT_TRUE(file->Loaded) << c.bytes;
    if (!c.read) {
      EXPECT_EQ(doc.wpt.Count() + doc.trk.Count(), 0) << c.bytes;
      EXPECT_EQ(result.Findings.SkippedPlacemarks, 2) << c.bytes;
      continue;
    }
    ASSERT_EQ(doc.wpt.Count(), 1) << c.bytes;
    EXPECT_EQ(doc.wpt.GetWaypoint(0)->name, "A") << c.bytes;
    EXPECT_DOUBLE_EQ(doc.wpt.GetWaypoint(0)->Longitude, 9.25) << c.bytes;
    ASSERT_EQ(doc.trk.Count(), 1) << c.bytes;
    EXPECT_EQ(doc.trk.GetTrack(0)->name, "Lake") << c.bytes;
    EXPECT_EQ(doc.trk.GetTrack(0)->GetTrkSeg(0)->Count(), 2) << c.bytes;
  }
}

TEST_F(KMLRead, BadFilesAddNothing) {
  struct Case {
    std::string bytes;
    const char* line;
  };
  const Case cases[] = {
      {"<kml><Placemark>", "File: "},
      {"<gpx/>", ""},
      {Kml("<Placemark><Point><coordinates>9,47</coordinates></Point></Placemark>"
           "<Placemark><LineString><coordinates>1,2 1,x</coordinates></LineString></Placemark>"),
       "Placemark 2, coordinate 3: latitude \"x\" is not a number"},
      {Kml("<Placemark><Point><coordinates>200,47</coordinates></Point></Placemark>"),
       "Placemark 1, coordinate 1: longitude 200 is out of range"},
      {Kml("<Placemark><LineString><coordinates>1,2 3,</coordinates></LineString></Placemark>"),
       "latitude is missing"},
  };
  for (const Case& c : cases) {
    Read(c.bytes);
    EXPECT_FALSE(file->Loaded) << c.bytes;
    ASSERT_GE(file->mLog.size(), 2u) << c.bytes;
    EXPECT_EQ(file->mLog.back(), "File not loaded");
    EXPECT_THAT(file->mLog[file->mLog.size() - 2], HasSubstr(c.line)) << c.bytes;
    EXPECT_EQ(doc.wpt.Count() + doc.trk.Count(), 0) << c.bytes;
  }
}

TEST_F(KMLRead, ACapitalRootAndABadTimeStillLoad) {
  Read("<KML><Placemark><Point><coordinates>1,2</coordinates></Point><TimeStamp><when>2012-13-01</when>"
       "</TimeStamp></Placemark></KML>");
  ASSERT_TRUE(file->Loaded);
  ASSERT_EQ(doc.wpt.Count(), 1);
  EXPECT_EQ(doc.wpt.GetWaypoint(0)->DateTime, 0);
  ASSERT_EQ(file->mLog.size(), 1u);
  EXPECT_THAT(file->mLog[0], HasSubstr("Placemark 1: when \"2012-13-01\" read as no time"));
}

}  // namespace
