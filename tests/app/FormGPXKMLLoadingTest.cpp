// "Add Files..." with GPX and KML files: segment by segment for GPX, one data
// set for KML, and the dialogs for files that give nothing.

#include <QCheckBox>
#include <QPushButton>
#include <fstream>

#include "tests/app/FormSupport.h"

namespace {

// A trkpt line with our depth extension; depth < 0 writes none.
std::string Point(double lat, double lon, double depth, const std::string& extra = "") {
  std::string text = "<trkpt lat=\"" + std::to_string(lat) + "\" lon=\"" + std::to_string(lon) + "\">" + extra;
  if (depth >= 0) text += "<extensions><h:depth>" + std::to_string(depth) + "</h:depth></extensions>";
  return text + "</trkpt>\n";
}

// A track named `name`; each segment a list of depths along a short line.
std::string Track(const std::string& name, const std::vector<std::vector<double>>& segments) {
  std::string text = "<trk><name>" + name + "</name>\n";
  for (const auto& depths : segments) {
    text += "<trkseg>\n";
    for (std::size_t i = 0; i < depths.size(); ++i) text += Point(47.0 + i * 0.001, 8.0 + i * 0.001, depths[i]);
    text += "</trkseg>\n";
  }
  return text + "</trk>\n";
}

std::string Gpx(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
         "<wpt lat=\"47\" lon=\"8\"><name>boat ramp</name></wpt>\n" +
         body + "</gpx>\n";
}

std::string Kml(const std::string& body) {
  return "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><name>Lake</name>"
         "<Placemark><name>ramp</name><Point><coordinates>8,47</coordinates></Point></Placemark>" +
         body + "</Document></kml>";
}

std::string Line(double lat) {
  return "<Placemark><LineString><coordinates>8," + std::to_string(lat) + " 8.01," + std::to_string(lat + 0.01) +
         " 8.02," + std::to_string(lat) + "</coordinates></LineString></Placemark>";
}

class LoadingTest : public FormTest {
protected:
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::vector<const TGPXtrkseg*> Segments() {
    std::vector<const TGPXtrkseg*> result;
    for (const TGPXtrk& trk : Ws().GPXdata().trk)
      for (const TGPXtrkseg& seg : trk) result.push_back(&seg);
    return result;
  }
  void Check(const char* box, bool on) { Find<QCheckBox>(box)->setChecked(on); }
  bool InterpolateEnabled() { return Find<QPushButton>("btnInterpolate")->isEnabled(); }
  std::vector<std::string> Prompts() {
    std::vector<std::string> texts;
    for (const auto& shown : dialogs.OfKind("input")) texts.push_back(shown.caption + "|" + shown.text);
    return texts;
  }

  const std::string twoTracks = Gpx(Track("Survey", {{0, 850, 400, 0}}) + Track("Shore", {{0, 0, 0}}));
};

TEST_F(LoadingTest, GpxSegmentsAreJudgedOneByOne) {
  struct Case {
    const char* name;
    bool addDepth, addOffset;
    std::vector<std::string> answers;
    std::vector<std::string> prompts;
    std::vector<std::int32_t> maxdepths;
    std::vector<int> counts;
  };
  const Case cases[] = {
      {"both off", false, false, {}, {}, {850, 0}, {2, 3}},
      {"typed depth for the shore only",
       true,
       false,
       {"300"},
       {"Apply depth to dataset|two.gpxTrack: Shore Depth [cm]:"},
       {850, 300},
       {2, 3}},
      {"offset for every segment",
       false,
       true,
       {"20", "5"},
       {"Add value to dataset|two.gpxTrack: Survey Add Depth [cm]:",
        "Add value to dataset|two.gpxTrack: Shore Add Depth [cm]:"},
       {870, 5},
       {2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form = MakeForm(8);
    dialogs = TScriptedDialogs();
    Check("cbAddDepth", c.addDepth);
    Check("cbAddOffset", c.addOffset);
    for (const std::string& a : c.answers) dialogs.inputAnswers.push_back(a);
    AddFiles({Write("two.gpx", twoTracks)});
    EXPECT_EQ(Prompts(), c.prompts);
    EXPECT_TRUE(dialogs.Errors().empty());
    const auto segments = Segments();
    ASSERT_EQ(segments.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(segments[i]->maxdepth, c.maxdepths[i]) << i;
      EXPECT_EQ(segments[i]->Count(), c.counts[i]) << i;
    }
    EXPECT_EQ(Ws().GPXdata().wpt.Count(), 0);  // waypoints are not taken over
    EXPECT_TRUE(InterpolateEnabled());
  }
  const auto log = form->LogLines();
  for (const char* line : {"LoadGPXFile: Examining Track Survey", "LoadGPXFile: GetMaxDepth is 850",
                           "LoadGPXFile: Track has valid depth readings", "LoadGPXFile: Removing all 0m readings",
                           "LoadGPXFile: Examining Track Shore", "LoadGPXFile: GetMaxDepth is 0"})
    EXPECT_TRUE(HasLine(log, line)) << line;
  EXPECT_TRUE(HasLine(log, "LoadGPXFile: Trying to open " + Path("two.gpx")));
}

TEST_F(LoadingTest, EachSegmentWithoutDepthGetsItsOwnPromptButAnEmptyOneNone) {
  Check("cbAddDepth", true);
  dialogs.inputAnswers = {"100", "200", "300"};
  AddFiles({Write("three.gpx", Gpx(Track("Outline", {{0, 0}, {}, {0, 0}, {0, 0}})))});
  ASSERT_EQ(Prompts().size(), 3u);
  for (const std::string& p : Prompts()) EXPECT_EQ(p, "Apply depth to dataset|three.gpxTrack: Outline Depth [cm]:");
  const auto segments = Segments();
  ASSERT_EQ(segments.size(), 4u);
  EXPECT_EQ(segments[0]->maxdepth, 100);
  EXPECT_EQ(segments[1]->maxdepth, 0);
  EXPECT_EQ(segments[2]->maxdepth, 200);
  EXPECT_EQ(segments[3]->maxdepth, 300);
}

TEST_F(LoadingTest, KmlFilesAreOneDataSetWithoutOffset) {
  const std::string kml = Write("shore.kml", Kml(Line(47.0) + Line(47.1) + Line(47.2)));
  Check("cbAddOffset", true);
  AddFiles({kml});
  EXPECT_TRUE(Prompts().empty());
  ASSERT_EQ(Segments().size(), 3u);
  for (const TGPXtrkseg* s : Segments()) EXPECT_EQ(s->maxdepth, 0);
  EXPECT_FALSE(InterpolateEnabled());
  EXPECT_EQ(Ws().GPXdata().wpt.Count(), 0);

  form = MakeForm(8);
  dialogs = TScriptedDialogs();
  Check("cbAddDepth", true);
  Check("cbAddOffset", true);
  dialogs.inputAnswers = {"500"};
  AddFiles({kml});
  EXPECT_EQ(Prompts(), std::vector<std::string>{"Apply depth to dataset|shore.kml Depth [cm]:"});
  ASSERT_EQ(Segments().size(), 3u);
  for (const TGPXtrkseg* s : Segments()) {
    EXPECT_EQ(s->maxdepth, 500);
    for (const TGPXwpt& p : s->Waypoints()) EXPECT_EQ(p.HBdepth, 500);
  }
  EXPECT_TRUE(InterpolateEnabled());
  for (const std::string& line : form->LogLines()) EXPECT_EQ(line.find("shore.kml"), std::string::npos) << line;
}

TEST_F(LoadingTest, ABadFileBetweenTwoGoodOnesGetsOneDialog) {
  const std::string first = Write("first.kml", Kml(Line(47.0)));
  const std::string bad = Write("bad.gpx", Gpx(Track("x", {{1, 2}})) + "<trailing/>");
  const std::string last = Write("last.gpx", twoTracks);
  AddFiles({first, bad, last});
  const auto errors = dialogs.Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind(bad + " could not be read:\nFile: ", 0), 0u) << errors[0];
  EXPECT_TRUE(errors[0].ends_with("\nFile not loaded")) << errors[0];
  EXPECT_EQ(Segments().size(), 3u);  // the KML line and both GPX segments
  EXPECT_TRUE(HasLine(form->LogLines(), "File not loaded"));
}

TEST_F(LoadingTest, FilesWithoutTrackLinesSayWhatWasSkipped) {
  const std::string waypoints = Write("marks.gpx", Gpx("<rte><rtept lat=\"1\" lon=\"2\"/></rte>"));
  const std::string polygons = Write(
      "lake.kml", Kml("<Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>8,47 8.1,47 8,47.1 8,47"
                      "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>"));
  AddFiles({waypoints, polygons});
  const auto errors = dialogs.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], waypoints + " holds no track lines (skipped: 1 waypoint, 1 route, 1 route point)");
  EXPECT_EQ(errors[1], polygons + " holds no track lines (skipped: 1 waypoint, 1 placemark without a line)");
  EXPECT_EQ(Ws().GPXdata().trk.Count(), 0);
  EXPECT_FALSE(InterpolateEnabled());
}

TEST_F(LoadingTest, AnotherProgramsDepthIsNotReadButNamed) {
  const std::string tpx = "<extensions><gpxtpx:TrackPointExtension><gpxtpx:depth>4.5</gpxtpx:depth>"
                          "</gpxtpx:TrackPointExtension></extensions>";
  std::string body = "<trk><name>Garmin</name><trkseg>";
  for (int i = 0; i < 3; ++i) body += Point(47 + i * 0.001, 8, -1, tpx);
  body += "</trkseg><trkseg>" + Point(47, 8, -1) + "</trkseg></trk>";
  const std::string path = Write("garmin.gpx", Gpx(body));
  AddFiles({path});
  const auto warnings = dialogs.OfKind("message");
  ASSERT_EQ(warnings.size(), 1u);  // once per file
  EXPECT_EQ(warnings[0].type, TMsgDlgType::mtWarning);
  EXPECT_EQ(warnings[0].text.rfind(path + ": the depth in <gpxtpx:depth> is not read", 0), 0u) << warnings[0].text;
  for (const TGPXtrkseg* s : Segments()) EXPECT_EQ(s->maxdepth, 0);

  dialogs = TScriptedDialogs();
  AddFiles({Write("sounder.gpx", Gpx("<trk><trkseg>" + Point(47, 8, -1, "<ele>-3.5</ele>") +
                                     Point(47.001, 8, -1, "<ele>-4</ele>") + "</trkseg></trk>"))});
  ASSERT_EQ(dialogs.OfKind("message").size(), 1u);
  EXPECT_NE(dialogs.OfKind("message")[0].text.find("the depth in <ele> is not read"), std::string::npos);
}

}  // namespace
