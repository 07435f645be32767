#include <fstream>
#include <string>

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
    file->ImportKML(path);
    return *file;
  }
  static std::string Kml(const std::string& body) {
    return "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\">" + body + "</kml>";
  }

  TTempFolder folder{"kmlread"};
  TGPX doc;
  std::unique_ptr<TKMLFile> file;
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
  EXPECT_EQ(file->SkippedPlacemarks, 1);
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
