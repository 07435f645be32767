#include "formats/KMLFile.h"

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model/GPX.h"
#include "platform/Color.h"
#include "platform/MathErrors.h"
#include "platform/NumberText.h"
#include "platform/SafeFile.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/FileTest.h"
#include "tests/support/XmlOracle.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct Position {
  double lon, lat, alt = 0;
};

std::unique_ptr<TGPXwpt> Point(Position at, const char* name = "") {
  auto p = std::make_unique<TGPXwpt>();
  p->Longitude = at.lon;
  p->Latitude = at.lat;
  p->Altitude = at.alt;
  p->name = name;
  return p;
}

template <class List>
std::unique_ptr<List> Points(std::vector<Position> positions) {
  auto list = std::make_unique<List>();
  for (const Position& at : positions) list->Add(Point(at));
  return list;
}

// The lines joined with CR LF, each one ended by it.
std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

std::string Export(TGPX& gpx, bool style = false, bool compress = false) {
  TKMLFile file;
  file.GPXd = &gpx;
  file.GPXOptions.GPX_Style = style;
  file.GPXOptions.Compress = compress;
  TGPXStringSink out;
  file.ExportKML(out);
  return out.Text;
}

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\r\n"
    "\t<Document>\r\n";
const std::string kTail = "\t</Document>\r\n</kml>\r\n";

// The survey document of the golden text: metadata, two waypoints, a red
// route, a track of three segments and a track without any.
void FillSurvey(TGPX& gpx) {
  gpx.metadata.filled = true;
  gpx.metadata.name = "Lake survey";
  gpx.metadata.desc = "Spring & summer";
  gpx.metadata.author.filled = true;
  gpx.metadata.author.name = "Ann";
  gpx.metadata.link.filled = true;
  gpx.metadata.link.href = "http://example.org/lake";

  auto buoy = Point({9.25, 47.5, 420}, "Buoy");
  buoy->DateTime = 45413 + (12 * 60 + 30) / 1440.0;  // 2024-05-01 12:30
  buoy->link.filled = true;
  buoy->link.href = "http://example.org/buoy";
  gpx.wpt.Add(std::move(buoy));
  gpx.wpt.Add(Point({9.5, 47.75}, "Jetty"));

  auto route = Points<TGPXrte>({{9.25, 47.5}, {9.3, 47.6, 12.5}});
  route->name = "Crossing";
  route->desc = "By boat";
  route->LineStyle.SetColor(RGB(255, 0, 0));
  route->link.filled = true;
  route->link.href = "http://example.org/route";
  gpx.rte.Add(std::move(route));

  auto track = std::make_unique<TGPXtrk>();
  track->name = "Shore";
  track->desc = "West bank";
  track->Add(Points<TGPXtrkseg>({{9.1, 47.1}, {9.2, 47.2}}));
  track->Add(Points<TGPXtrkseg>({{9.3, 47.3, 1.5}}));
  track->Add(Points<TGPXtrkseg>({{9.4, 47.4}, {9.5, 47.5}}));
  gpx.trk.Add(std::move(track));
  auto nothing = std::make_unique<TGPXtrk>();
  nothing->name = "Nothing";
  gpx.trk.Add(std::move(nothing));
}

std::vector<std::string> SegmentPlacemark(int n, const std::string& coordinates) {
  return {"\t\t\t\t<Placemark>",
          "\t\t\t\t\t<name>Track Segment #" + numtext::FormatInt(n) + "</name>",
          "\t\t\t\t\t<Style>",
          "\t\t\t\t\t\t<LineStyle>",
          "\t\t\t\t\t\t\t<color>FFFF0000</color>",
          "\t\t\t\t\t\t\t<width>6</width>",
          "\t\t\t\t\t\t</LineStyle>",
          "\t\t\t\t\t</Style>",
          "\t\t\t\t\t<LineString>",
          "\t\t\t\t\t\t<tessellate>1</tessellate>",
          "\t\t\t\t\t\t<coordinates>" + coordinates + "</coordinates>",
          "\t\t\t\t\t</LineString>",
          "\t\t\t\t</Placemark>"};
}

TEST(KMLWriter, TheSurveyIsWrittenByteForByteWhateverTheLocale) {
  REQUIRE_COMMA_LOCALE(german);
  TGPX gpx;
  FillSurvey(gpx);
  const std::string text = Export(gpx, true);

  std::vector<std::string> tracks = {"\t\t<Folder>", "\t\t\t<name>Tracks</name>", "\t\t\t<Folder>",
                                     "\t\t\t\t<name>Shore</name>", "\t\t\t\t<description>West bank</description>"};
  for (const auto& lines : {SegmentPlacemark(1, "9.1,47.1 9.2,47.2"), SegmentPlacemark(2, "9.3,47.3,1.5"),
                            SegmentPlacemark(3, "9.4,47.4 9.5,47.5")})
    tracks.insert(tracks.end(), lines.begin(), lines.end());
  tracks.insert(tracks.end(), {"\t\t\t</Folder>", "\t\t</Folder>", ""});

  EXPECT_EQ(text, kHead +
                      Lines({
                          "\t\t<name>Lake survey</name>",
                          "\t\t<description>Spring &amp; summer</description>",
                          "\t\t<atom:author>Ann</atom:author>",
                          "\t\t<atom:link>http://example.org/lake</atom:link>",
                          "\t\t<Folder>",
                          "\t\t\t<name>Waypoints</name>",
                          "\t\t\t<Placemark>",
                          "\t\t\t\t<name>Buoy</name>",
                          "\t\t\t\t<TimeStamp>",
                          "\t\t\t\t\t<when>2024-05-01T12:30:00Z</when>",
                          "\t\t\t\t</TimeStamp>",
                          "\t\t\t\t<Point>",
                          "\t\t\t\t\t<coordinates>9.25,47.5,420</coordinates>",
                          "\t\t\t\t</Point>",
                          "\t\t\t\t<atom:link>http://example.org/buoy</atom:link>",
                          "\t\t\t</Placemark>",
                          "\t\t\t<Placemark>",
                          "\t\t\t\t<name>Jetty</name>",
                          "\t\t\t\t<Point>",
                          "\t\t\t\t\t<coordinates>9.5,47.75</coordinates>",
                          "\t\t\t\t</Point>",
                          "\t\t\t</Placemark>",
                          "\t\t</Folder>",
                          "",
                          "\t\t<Folder>",
                          "\t\t\t<name>Routes</name>",
                          "\t\t\t<Placemark>",
                          "\t\t\t\t<name>Crossing</name>",
                          "\t\t\t\t<description>By boat</description>",
                          "\t\t\t\t<Style>",
                          "\t\t\t\t\t<LineStyle>",
                          "\t\t\t\t\t\t<color>FF0000FF</color>",
                          "\t\t\t\t\t\t<width>6</width>",
                          "\t\t\t\t\t</LineStyle>",
                          "\t\t\t\t</Style>",
                          "\t\t\t\t<LineString>",
                          "\t\t\t\t\t<coordinates>9.25,47.5 9.3,47.6,12.5</coordinates>",
                          "\t\t\t\t\t<tessellate>1</tessellate>",
                          "\t\t\t\t</LineString>",
                          "\t\t\t\t<atom:link>http://example.org/route</atom:link>",
                          "\t\t\t</Placemark>",
                          "\t\t</Folder>",
                          "",
                      }) +
                      Lines(tracks) + kTail);
  // The bounds are brought up to date before the metadata is written.
  EXPECT_TRUE(gpx.metadata.bounds.filled);
  EXPECT_EQ(gpx.metadata.bounds.maxlat, 47.75);
}

TEST(KMLWriter, AnEmptyDocumentIsTheHeadAndTheTail) {
  TGPX gpx;
  gpx.metadata.name = "not filled, not written";
  EXPECT_EQ(Export(gpx), kHead + kTail);
}

TEST(KMLWriter, CompressPutsTheWholeDocumentOnOneLine) {
  TGPX gpx;
  FillSurvey(gpx);
  const std::string text = Export(gpx, false, true);
  EXPECT_THAT(text, Not(HasSubstr("\r")));
  EXPECT_THAT(text, Not(HasSubstr("\n")));
  EXPECT_THAT(text, Not(HasSubstr("\t")));
  EXPECT_THAT(text, ::testing::StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?><kml xmlns="));
  EXPECT_THAT(text, HasSubstr("</Folder><Folder><name>Routes</name>"));
  EXPECT_THAT(text, ::testing::EndsWith("</Folder></Document></kml>"));
}

TEST(KMLWriter, LineColoursAreOpaqueBlueGreenRed) {
  struct Case {
    bool style;
    TColor color;
    const char* kml;
  };
  const Case cases[] = {
      {false, kNoLineColor, "FFFF0000"},       // the default is blue
      {false, RGB(255, 0, 0), "FFFF0000"},     // a colour counts only with GPX_Style
      {true, kNoLineColor, "FFFF0000"},
      {true, RGB(255, 0, 0), "FF0000FF"},      // red
      {true, RGB(0x00, 0x80, 0xFF), "FFFF8000"},
      {true, RGB(0x12, 0x34, 0x56), "FF563412"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kml);
    TGPX gpx;
    auto track = std::make_unique<TGPXtrk>();
    track->LineStyle.SetColor(c.color);
    track->Add(Points<TGPXtrkseg>({{1, 2}}));
    gpx.trk.Add(std::move(track));
    EXPECT_THAT(Export(gpx, c.style), HasSubstr(std::string("<color>") + c.kml + "</color>"));
  }
}

TEST(KMLWriter, TextsStayUtf8AndAreEscaped) {
  TGPX gpx;
  gpx.wpt.Add(Point({9.25, 47.5}, "\xC3\x9C" "berlingen \xE2\x80\x93 Bodensee <Ost> & \xF0\x9F\x90\x9F"));
  EXPECT_THAT(Export(gpx), HasSubstr("<name>\xC3\x9C" "berlingen \xE2\x80\x93 Bodensee &lt;Ost&gt; &amp; "
                                     "\xF0\x9F\x90\x9F</name>\r\n"));
}

class KMLFileOnDisk : public TFileTest {};

TEST_F(KMLFileOnDisk, TheFileHoldsTheDocumentText) {
  TGPX gpx;
  FillSurvey(gpx);
  TKMLFile file;
  file.GPXd = &gpx;
  file.Modified = true;
  file.ExportKML(Path("lake.kml"));
  EXPECT_EQ(Contents(Path("lake.kml")), Export(gpx));
  EXPECT_FALSE(file.Modified);
}

// An independent, namespace-aware reader takes what the writer makes, with
// every prefix declared and the texts and coordinates as they were.
TEST_F(KMLFileOnDisk, EveryFileWrittenReadsInANamespaceAwareReader) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "lines");
    TGPX gpx;
    FillSurvey(gpx);
    gpx.wpt.GetWaypoint(1)->name = "Jetty <\"west\"> & co\tline\r\ntwo";
    TKMLFile file;
    file.GPXd = &gpx;
    file.GPXOptions.GPX_Style = true;
    file.GPXOptions.Compress = compress;
    const std::string path = Path("lake.kml");
    file.ExportKML(path);
    const TXmlOracleResult check = TXmlOracle::WellFormed(path);
    EXPECT_TRUE(check.Ok()) << check.errors;
    const auto xpath = [&](const std::string& expression) {
      std::string value = TXmlOracle::Run({"--xpath", expression}, path).output;
      if (!value.empty() && value.back() == '\n') value.pop_back();
      return value;
    };
    const std::string kml = "namespace-uri()='" + std::string(kKMLNamespace) + "'";
    EXPECT_EQ(xpath("count(//*[local-name()='Placemark'][" + kml + "])"), "6");  // 2 waypoints, 1 route, 3 segments
    EXPECT_EQ(xpath("count(//*[namespace-uri()='" + std::string(kAtomNamespace) + "'])"), "4");
    EXPECT_EQ(xpath("string((//*[local-name()='Placemark'])[2]/*[local-name()='name'])"),
              "Jetty <\"west\"> & co\tline\r\ntwo");
    EXPECT_EQ(xpath("string((//*[local-name()='coordinates'])[3])"), "9.25,47.5 9.3,47.6,12.5");
    EXPECT_EQ(xpath("string((//*[local-name()='coordinates'])[last()])"), "9.4,47.4 9.5,47.5");
  }
}

TEST_F(KMLFileOnDisk, AFailedExportKeepsTheOldFile) {
  const std::string path = Path("lake.kml");
  TGPX good;
  FillSurvey(good);
  TKMLFile file;
  file.GPXd = &good;
  file.ExportKML(path);
  const std::string before = Contents(path);

  TGPX bad;
  FillSurvey(bad);
  auto broken = Point({1, 2});
  broken->DateTime = std::numeric_limits<double>::quiet_NaN();
  bad.wpt.Add(std::move(broken));
  TKMLFile failing;
  failing.GPXd = &bad;
  failing.Modified = true;
  EXPECT_THROW(failing.ExportKML(path), EInvalidOp);
  EXPECT_EQ(Contents(path), before);
  EXPECT_EQ(EntriesInDir(), 1);
  EXPECT_TRUE(failing.Modified);

  EXPECT_THROW(file.ExportKML(Path("no/folder/lake.kml")), EFileError);
}

}  // namespace
