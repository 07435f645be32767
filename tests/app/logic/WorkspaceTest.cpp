// The workspace without a window: adding HT files with their depth decisions,
// the view, the area, the figures and a run, then "Start over".

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "app/logic/DepthPreparation.h"
#include "app/logic/Workspace.h"
#include "gridding/ShepardInterp.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "platform/Dispatcher.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/logic/LogicSupport.h"
#include "tests/app/logic/WorkspaceProbe.h"
#include "tests/support/TempFolder.h"

namespace {
bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines)
    if (l == line) return true;
  return false;
}
}  // namespace

class WorkspaceTest : public ::testing::Test {
protected:
  TScriptedDialogs dialogs;
  std::vector<std::string> log;
  TWorkspace ws{dialogs, [this](const std::string& line) { log.push_back(line); }};
  TTempFolder folder{"shoalwright_workspace"};
  TBitmap picture, shoreLine;

  std::string HT(const std::string& name, const std::vector<TSegmentPoints>& segments) {
    const std::string path = folder.Path(name);
    EXPECT_TRUE(WriteHTFile(path, segments)) << path;
    return path;
  }

  // As "Add Files..." does after its loop.
  bool Add(const std::vector<std::string>& files, const TLoadOptions& options = {}) {
    const bool interpolatable = ws.AddFiles(files, options);
    ws.BindView(picture, 160, 120);
    ws.BuildShadowArray(shoreLine);
    ws.UpdateMapInfo(160, 120);
    return interpolatable;
  }
};

TEST_F(WorkspaceTest, TypedDepthsAndOffsetsFollowTheRules) {
  struct TCase {
    const char* name;
    bool addDepth, addOffset;
    TSegmentPoints points;
    std::vector<std::optional<std::string>> answers;
    int prompts;
    std::int32_t maxdepth;
    std::vector<double> depths;  // of the segment after loading; one value: every point
  };
  const TCase cases[] = {
      {"unchecked: a shore line", false, false, Line(0, 0, 0), {}, 0, 0, {0}},
      {"typed depth", true, false, Line(0, 0, 0), {"350"}, 1, 350, {350}},
      {"negative depth becomes 0", true, false, Line(0, 0, 0), {"-20"}, 1, 0, {0}},
      {"readings: no depth prompt", true, false, Line(0, 400, 250), {}, 0, 400, {400, 250}},
      {"offset after removing zeros", false, true, Line(0, 400, 250), {"-50"}, 1, 350, {350, 200}},
      {"cancelled offset keeps 0", false, true, Line(0, 400, 250), {std::nullopt}, 1, 400, {400, 250}},
      {"not a number is asked again", true, false, Line(0, 0, 0), {"3.5", "x", "120"}, 3, 120, {120}},
      // Depth plus offset beyond 32 bits: computed wide and kept at the limit.
      {"offset at the limit", false, true, Line(0, 400, 250), {"2147483647"}, 1,
       std::numeric_limits<std::int32_t>::max(), {2147484047.0, 2147483897.0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs = TScriptedDialogs();
    [[maybe_unused]] auto unlinked = ws.StartOver();
    for (const auto& a : c.answers) dialogs.inputAnswers.push_back(a);
    EXPECT_TRUE(Add({HT("case.ht", {c.points})}, {c.addDepth, c.addOffset, 30}));
    EXPECT_EQ(static_cast<int>(dialogs.OfKind("input").size()), c.prompts);
    EXPECT_TRUE(dialogs.Errors().empty());
    const auto segments = Segments(ws.GPXdata());
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0]->maxdepth, c.maxdepth);
    const std::vector<double> depths = Depths(*segments[0]);
    ASSERT_FALSE(depths.empty());
    if (c.depths.size() == 1)
      for (double d : depths) EXPECT_EQ(d, c.depths[0]);
    else
      EXPECT_EQ(depths, c.depths);
  }
}

TEST_F(WorkspaceTest, TheDepthPromptNamesTheFileAndTheTrackOncePerFile) {
  dialogs.inputAnswers = {"350", "-25"};
  Add({HT("shore.ht", {Line(0, 0, 0), Line(0, 0, 0)})}, {true, true, 30});
  const auto prompts = dialogs.OfKind("input");
  ASSERT_EQ(prompts.size(), 2u);
  const std::string track = ws.GPXdata().trk.GetTrack(0)->name;
  EXPECT_EQ(prompts[0].caption, "Apply depth to dataset");
  EXPECT_EQ(prompts[0].text, "shore.htTrack: Fixture Depth [cm]:");
  EXPECT_EQ(prompts[0].defaultValue, "0");
  EXPECT_EQ(prompts[1].caption, "Add value to dataset");
  EXPECT_EQ(prompts[1].text, "shore.htTrack: Fixture Add Depth [cm]:");
  for (const TGPXtrkseg* seg : Segments(ws.GPXdata())) EXPECT_EQ(seg->maxdepth, 325);
  EXPECT_EQ(ws.MaxDepth(), 325);
  EXPECT_EQ(ws.GPXView().MaxDepth, 325);
  EXPECT_EQ(ws.GPXView().GPXd, &ws.GPXdata());
}

TEST_F(WorkspaceTest, AFileThatFailsIsNamedAndTheOthersStillLoad) {
  const std::string first = HT("first.ht", {Line(0, 300, 200)});
  const std::string broken = folder.Path("lake.gpx");
  { std::ofstream(broken, std::ios::binary) << "<gpx><trk>"; }
  const std::string other = folder.Path("notes.txt");
  const std::string last = HT("LAST.HT", {Line(0, 500, 200)});
  int pumped = 0;
  ws.ResetRadii();
  TWorkspaceProbe::SetLastInterpolationWidth(ws, 30);
  EXPECT_TRUE(ws.AddFiles({first, broken, other, last}, {}, [&] { ++pumped; }));
  EXPECT_EQ(pumped, 4);
  const auto errors = dialogs.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].rfind(broken + " could not be read:\n", 0), 0u) << errors[0];
  EXPECT_EQ(errors[1], "File extension not supported: " + other);
  // Both HT files are in, the later one too, and the steps after the loop ran.
  EXPECT_EQ(ws.GPXdata().trk.Count(), 2);
  EXPECT_EQ(ws.MaxDepth(), 500);
  EXPECT_TRUE(ws.FileLoaded());
  EXPECT_EQ(ws.Last_udInterpolationWidth(), -1);
  EXPECT_EQ(ws.Last_udDontCareRadius(), -1);
  EXPECT_TRUE(Contains(log, "LoadHTFile: Trying to open " + last));
  EXPECT_TRUE(Contains(log, "LoadHTFile: GetMaxDepth is 500"));
}

// The dialogs of files that give nothing: counted nouns in the plural, and no
// empty line where the parser had nothing to say.
TEST_F(WorkspaceTest, RefusedFilesGetDialogsInPlainWords) {
  const auto write = [&](const std::string& name, const std::string& bytes) {
    const std::string path = folder.Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  const std::string polygon =
      "<Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>8,47 8.1,47 8,47.1 8,47</coordinates>"
      "</LinearRing></outerBoundaryIs></Polygon></Placemark>";
  const std::string point = "<Placemark><Point><coordinates>8,47</coordinates></Point></Placemark>";
  const auto kml = [](const std::string& body) {
    return "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>" + body + "</Document></kml>";
  };
  struct TCase {
    std::string file;
    std::string dialog;  // after the file's name
  };
  const TCase cases[] = {
      {write("one.kml", kml(polygon)), " holds no track lines (skipped: 1 placemark without a line)"},
      {write("two.kml", kml(polygon + point + polygon + point)),
       " holds no track lines (skipped: 2 waypoints, 2 placemarks without a line)"},
      {write("other.gpx", "<?xml version=\"1.0\"?>\n<kml/>"), " could not be read:\nFile not loaded"},
      {write("other.kml", "<gpx version=\"1.1\"/>"), " could not be read:\nFile not loaded"},
  };
  for (const TCase& c : cases) {
    dialogs = TScriptedDialogs();
    ws.AddFiles({c.file}, {});
    const auto errors = dialogs.Errors();
    ASSERT_EQ(errors.size(), 1u) << c.file;
    EXPECT_EQ(errors[0], c.file + c.dialog);
    EXPECT_EQ(errors[0].find("\n\n"), std::string::npos) << errors[0];
  }
  EXPECT_FALSE(Contains(log, ""));
}

TEST_F(WorkspaceTest, AMissingOrRejectedFileAddsNothing) {
  const std::string bad = folder.Path("short.ht");
  { std::ofstream(bad, std::ios::binary) << "not an HT file"; }
  EXPECT_TRUE(ws.AddFiles({bad, folder.Path("missing.ht")}, {}));
  ASSERT_EQ(dialogs.Errors().size(), 1u);  // the reader's own refusal
  EXPECT_EQ(ws.GPXdata().trk.Count(), 0);
  EXPECT_TRUE(Contains(log, "LoadHTFile: Appending HT Track: "));
  EXPECT_FALSE(Contains(log, "LoadHTFile: Trying to open " + folder.Path("missing.ht")));
}

TEST_F(WorkspaceTest, FiguresAndRadiiFollowTheView) {
  Add({HT("survey.ht", {Line(0, 300, 200)})});
  const TMapFigures f = ws.UpdateMapInfo(160, 120);
  EXPECT_EQ(f.MaxDepthText(), "Max Depth: 300 cm");
  EXPECT_EQ(f.StatusMaxDepth(), "300 cm");
  EXPECT_EQ(f.ImageSizeText(), "Screen Size: 160 x 120 px");
  EXPECT_GT(f.WidthM, 100);
  EXPECT_EQ(f.ResolutionText(), "Resolution: " + std::to_string(f.WidthM * 100 / 160) + " x " +
                                    std::to_string(f.HeightM * 100 / 120) + " cm");
  EXPECT_DOUBLE_EQ(ws.DecimateLongitude(), (ws.GPXView().BBox.E - ws.GPXView().BBox.O) / 160);
  EXPECT_DOUBLE_EQ(ws.DecimateLatitude(), (ws.GPXView().BBox.N - ws.GPXView().BBox.S) / 160);
  EXPECT_EQ(TMapFigures{}.ResolutionText(), "Resolution: 0 x 0 cm");

  ws.ApplyDontCareRadius(60);
  EXPECT_DOUBLE_EQ(ws.maxDontCareRadius(), std::fabs(ws.GPXView().XToLo(1) - ws.GPXView().XToLo(60)));
  EXPECT_DOUBLE_EQ(ws.minDontCareRadius(), std::fabs(ws.GPXView().XToLo(0) - ws.GPXView().XToLo(1)));
  EXPECT_EQ(ws.Last_udDontCareRadius(), 60);
  ws.ResetRadii();
  EXPECT_EQ(ws.Last_udDontCareRadius(), -1);
  EXPECT_EQ(ws.Last_udInterpolationWidth(), -1);
  EXPECT_GT(ws.MetresPerPixel(), 0);
}

TEST_F(WorkspaceTest, ARunKeepsTheLoadersMaximumDepth) {
  TSegmentPoints survey;
  for (int i = 0; i <= 40; ++i) survey.push_back({47.0 + (i % 5) * 0.0005, 8.0 + i * 0.0002, 100.0 + i * 10});
  Add({HT("survey.ht", {survey})});
  ASSERT_EQ(ws.MaxDepth(), 500);
  // The deepest point goes, as a deletion in the project window would do it.
  TGPXtrkseg& seg = *TWorkspaceProbe::GPXdata(ws).trk.GetTrack(0)->GetTrkSeg(0);
  TWorkspaceProbe::GPXView(ws).ForgetFreed(&ws.GPXdata());
  seg.FreeAndDelete(seg.Count() - 1);
  ASSERT_EQ(GetMaxDepth(ws.GPXdata()), 490);

  ws.ApplyDontCareRadius(60);
  ASSERT_FALSE(ws.CannotInterpolate().has_value());
  ws.PrepareSamples();
  THeadlessDispatcher dispatcher;
  bool finished = false;
  TInterpolationJob::TCallbacks callbacks;
  callbacks.Finished = [&] { finished = true; };
  ws.StartInterpolation({8, 2}, dispatcher, callbacks,
                        [](auto coord, auto depth, double p, double maxR, double minR, TMessageBox* messages) {
                          return std::make_unique<TShepardInterp>(coord, depth, p, maxR, minR, messages);
                        });
  ASSERT_TRUE(dispatcher.PumpUntil([&] { return finished; }));
  EXPECT_FALSE(ws.Interpolating());
  ASSERT_TRUE(ws.CompleteInterpolation());
  EXPECT_TRUE(ws.InterpLoaded());
  EXPECT_EQ(ws.MaxDepth(), 500);
  EXPECT_EQ(ws.InterpolatedMap()->MaxDepth, 500);
  EXPECT_TRUE(ws.Job()->MissingBands().empty());
  // The samples: the shore's, then every track point.
  EXPECT_EQ(ws.InCoord()->size(), ws.ShoreCoord().size() + static_cast<std::size_t>(seg.Count()));

  auto unlinked = ws.StartOver();
  EXPECT_FALSE(ws.FileLoaded());
  EXPECT_FALSE(ws.InterpLoaded());
  EXPECT_EQ(ws.MaxDepth(), 0);
  EXPECT_EQ(ws.GPXdata().trk.Count(), 0);
  EXPECT_EQ(unlinked.Loaded.trk.size(), 1u);
  EXPECT_TRUE(ws.InCoord()->empty());
  EXPECT_FALSE(ws.InterpolatedMap().has_value());
  EXPECT_EQ(ws.InterpolArray().Width(), 0);
}

TEST_F(WorkspaceTest, NoRunWithoutDepthOrPixels) {
  Add({HT("shore.ht", {Line(0, 0, 0)})});
  ASSERT_TRUE(ws.CannotInterpolate().has_value());
  EXPECT_NE(ws.CannotInterpolate()->find("maximum depth 0 cm"), std::string::npos);

  // Depth loaded, then every sounding deleted: the shore line alone is no map.
  Add({HT("survey.ht", {Line(0, 300, 200)})});
  ASSERT_FALSE(ws.CannotInterpolate().has_value());
  TGPX& data = TWorkspaceProbe::GPXdata(ws);
  TWorkspaceProbe::GPXView(ws).ForgetFreed(&data);
  (void)data.trk.Extract(data.trk.GetTrack(1));
  ASSERT_EQ(ws.MaxDepth(), 300);  // as the loaders left it
  ASSERT_TRUE(ws.CannotInterpolate().has_value());
  EXPECT_NE(ws.CannotInterpolate()->find("no depth sample is left"), std::string::npos);
}

TEST_F(WorkspaceTest, TheTimerAppliesEachRadiusOnceAndAChangeOfTheViewAgain) {
  std::vector<int> shown;  // what the don't-care field was given
  const auto field = [&](int twice) {
    shown.push_back(twice);
    return std::min(twice, 999);  // as the field's range keeps it
  };
  EXPECT_FALSE(ws.TimerTick(30, 60, field).ExtrapolationApplied);  // nothing loaded
  Add({HT("survey.ht", {Line(0, 300, 200)})});

  TWorkspace::TTick tick = ws.TimerTick(30, 55, field);
  EXPECT_TRUE(tick.ExtrapolationApplied);
  EXPECT_EQ(ws.GPXView().ShadowMapTrackWidth, 30);
  EXPECT_EQ(shown, std::vector<int>{60});
  EXPECT_TRUE(tick.DontCareApplied);
  EXPECT_EQ(tick.DontCare, 60);  // twice the extrapolation radius, not the 55 read before
  EXPECT_DOUBLE_EQ(tick.MetresPerPixel, ws.MetresPerPixel());
  tick = ws.TimerTick(30, 60, field);
  EXPECT_FALSE(tick.ExtrapolationApplied || tick.DontCareApplied);
  tick = ws.TimerTick(30, 50, field);  // typed
  EXPECT_FALSE(tick.ExtrapolationApplied);
  EXPECT_EQ(tick.DontCare, 50);
  EXPECT_EQ(ws.TimerTick(600, 50, field).DontCare, 999);

  // A refit puts the typed don't-care radius into the new scale; a zoom step
  // applies the extrapolation radius again, which resets the don't-care radius.
  ws.ViewChanged(TViewChange::Refitted);
  EXPECT_EQ(ws.Last_udDontCareRadius(), -1);
  EXPECT_EQ(ws.Last_udInterpolationWidth(), 600);
  EXPECT_EQ(ws.TimerTick(600, 50, field).DontCare, 50);
  ws.ZoomIn();
  EXPECT_EQ(ws.Last_udInterpolationWidth(), -1);
  EXPECT_EQ(ws.Last_udDontCareRadius(), -1);
  // A zoom rectangle too.
  ws.TimerTick(30, 60, field);
  ws.ToggleZoom(TMapKind::Source);
  ws.MouseDown(TMapKind::Source, {20, 20, true, false});
  const TMouseResult zoomed = ws.MouseUp(TMapKind::Source, {120, 90, false, false});
  EXPECT_TRUE(zoomed.RebuildMask);
  EXPECT_EQ(ws.Last_udInterpolationWidth(), -1);
  EXPECT_EQ(ws.Last_udDontCareRadius(), -1);
}

TEST_F(WorkspaceTest, TheWaterColoursReachBothViewsAndTheNextRun) {
  Add({HT("survey.ht", {Line(0, 300, 200)})});
  ws.SetWaterColours(0x112233, 0x445566);
  for (const TGPXDraw* view : {&ws.GPXView(), &ws.IsoView()}) {
    EXPECT_EQ(view->DepthColorShallow, TColor{0x112233});
    EXPECT_EQ(view->DepthColorDeep, TColor{0x445566});
  }
  EXPECT_EQ(ws.clShallowWater(), TColor{0x112233});
  EXPECT_EQ(ws.clDeepWater(), TColor{0x445566});
  // Drawn anew: the stroke from the deepest point is in the new deep colour.
  bool deepStroke = false;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) deepStroke |= picture.Pixel(x, y) == 0x445566;
  EXPECT_TRUE(deepStroke);
}

TEST_F(WorkspaceTest, AViewBoundWhileHiddenIsFittedOnceAtTheFirstSizeItIsShownWith) {
  ASSERT_TRUE(ws.AddFiles({HT("survey.ht", {Line(0, 300, 200)})}, {}));
  ws.BindView(picture, {100, 30, false});  // a page never laid out
  EXPECT_TRUE(ws.FitPending(TMapKind::Source));
  EXPECT_FALSE(ws.MapResized(TMapKind::Source, picture, {120, 40, false}));  // still hidden
  EXPECT_TRUE(ws.MapResized(TMapKind::Source, picture, {400, 300, true}));
  EXPECT_FALSE(ws.FitPending(TMapKind::Source));
  TGPXDraw fitted;
  TBitmap reference;
  fitted.GPXd = &TWorkspaceProbe::GPXdata(ws);
  BindAndFit(fitted, reference, 400, 300);
  EXPECT_EQ(ws.GPXView().BBox.Rm, fitted.BBox.Rm);
  EXPECT_EQ(ws.GPXView().BBox.O, fitted.BBox.O);
  // Shown, the map keeps its area when resized again.
  EXPECT_FALSE(ws.MapResized(TMapKind::Source, picture, {300, 200, true}));
  EXPECT_EQ(ws.GPXView().BBox.Rm, fitted.BBox.Rm);
  EXPECT_EQ(ws.GPXView().Width(), 300);
  EXPECT_EQ(picture.Width(), 300);
}
