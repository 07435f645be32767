// "Add Files..." with HT files: the depth preparation, the prompts, the view and
// the interpolation area it rebuilds.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <fstream>

#include "app/StandInControls.h"
#include "mapview/GPXDraw.h"
#include "tests/app/FormSupport.h"

namespace {
TSegmentPoints Line(double depth0, double depth1, double depth2) {
  return {{47.0, 8.0, depth0}, {47.001, 8.001, depth1}, {47.002, 8.003, depth2}, {47.004, 8.002, depth0}};
}

std::vector<const TGPXtrkseg*> Segments(const TGPX& doc) {
  std::vector<const TGPXtrkseg*> result;
  for (const TGPXtrk& trk : doc.trk)
    for (const TGPXtrkseg& seg : trk) result.push_back(&seg);
  return result;
}
}  // namespace

TEST_F(FormTest, AnHtFileWithoutDepthGetsTheTypedDepth) {
  const std::string file = WriteHT("shore.ht", {Line(0, 0, 0), Line(0, 0, 0)});
  form->cbAddDepth->setChecked(true);
  dialogs.inputAnswers = {"350"};
  AddFiles({file});

  const auto prompts = dialogs.OfKind("input");
  ASSERT_EQ(prompts.size(), 1u);  // one prompt for the whole file
  EXPECT_EQ(prompts[0].caption, "Apply depth to dataset");
  const std::string track = form->GPXdata->trk.GetTrack(0)->name;
  EXPECT_EQ(prompts[0].text, "shore.htTrack: " + track + " Depth [cm]:");
  EXPECT_EQ(prompts[0].defaultValue, "0");
  for (const TGPXtrkseg* seg : Segments(*form->GPXdata)) {
    EXPECT_EQ(seg->maxdepth, 350);
    for (const TPoint4D2& p : *seg) EXPECT_EQ(p.HBdepth, 350);
  }
  EXPECT_EQ(form->MaxDepth, 350);
  EXPECT_TRUE(form->btnInterpolate->isEnabled());
  EXPECT_TRUE(form->FileLoaded);
  for (QPushButton* b : {form->btnTrkFit, form->btnTrkZoom, form->btnTrkZoomIn, form->btnTrkZoomOut,
                         form->btnTrkSaveGPX})
    EXPECT_TRUE(b->isEnabled());
  EXPECT_EQ(form->sbMain->PanelText(4), "350 cm");
  EXPECT_EQ(form->lblMaxDepth->text(), "Max Depth: 350 cm");
  EXPECT_EQ(form->lblMaxDepth1->text(), "Max Depth: 350 cm");
}

TEST_F(FormTest, TypedDepthsAndOffsetsFollowTheRules) {
  struct TCase {
    const char* name;
    bool addDepth, addOffset;
    TSegmentPoints points;
    std::vector<std::optional<std::string>> answers;
    int prompts;
    std::int32_t maxdepth;
    std::vector<double> depths;  // of the first segment after loading; one value: every point
  };
  const TCase cases[] = {
      {"unchecked: a shore line", false, false, Line(0, 0, 0), {}, 0, 0, {0}},
      {"negative depth becomes 0", true, false, Line(0, 0, 0), {"-20"}, 1, 0, {0}},
      {"readings: no depth prompt", true, false, Line(0, 400, 250), {}, 0, 400, {400, 250}},
      {"offset after removing zeros", false, true, Line(0, 400, 250), {"-50"}, 1, 350, {350, 200}},
      {"cancelled offset keeps 0", false, true, Line(0, 400, 250), {std::nullopt}, 1, 400, {400, 250}},
      {"not a number is asked again", true, false, Line(0, 0, 0), {"3.5", "x", "120"}, 3, 120, {120}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs = TScriptedDialogs();
    form->btnStartOverClick();
    form->cbAddDepth->setChecked(c.addDepth);
    form->cbAddOffset->setChecked(c.addOffset);
    for (const auto& a : c.answers) dialogs.inputAnswers.push_back(a);
    AddFiles({WriteHT("case.ht", {c.points})});
    EXPECT_EQ(static_cast<int>(dialogs.OfKind("input").size()), c.prompts);
    EXPECT_TRUE(dialogs.Errors().empty());
    const auto segments = Segments(*form->GPXdata);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0]->maxdepth, c.maxdepth);
    std::vector<double> depths;
    for (const TPoint4D2& p : *segments[0]) depths.push_back(p.HBdepth);
    ASSERT_FALSE(depths.empty());
    if (c.depths.size() == 1)
      for (double d : depths) EXPECT_EQ(d, c.depths[0]);
    else
      EXPECT_EQ(depths, c.depths);
  }
  // The offset prompt names the file and the track.
  dialogs = TScriptedDialogs();
  form->cbAddDepth->setChecked(false);
  form->cbAddOffset->setChecked(true);
  AddFiles({WriteHT("offset.ht", {Line(0, 400, 250)})});
  ASSERT_EQ(dialogs.OfKind("input").size(), 1u);
  EXPECT_EQ(dialogs.OfKind("input")[0].caption, "Add value to dataset");
  EXPECT_NE(dialogs.OfKind("input")[0].text.find("offset.htTrack: "), std::string::npos);
  EXPECT_TRUE(dialogs.OfKind("input")[0].text.ends_with(" Add Depth [cm]:"));
}

TEST_F(FormTest, AddFilesDispatchesByExtensionAndGoesOnAfterAnError) {
  const std::string ht = WriteHT("Depth.HT", {Line(0, 300, 200)});
  const std::string other = Path("notes.txt");
  const std::string gpx = Path("lake.gpx");
  AddFiles({other, ht, gpx});
  const auto errors = dialogs.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "File extension not supported: " + other);
  EXPECT_EQ(errors[1], "GPX files cannot be read yet: " + gpx);
  EXPECT_EQ(form->GPXdata->trk.Count(), 1);  // the upper-case .HT was read
  EXPECT_EQ(form->MaxDepth, 300);

  const auto log = form->LogLines();
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Trying to open " + ht));
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Appending HT Track: Fixture"));  // the name written into the file
  EXPECT_TRUE(HasLine(log, "LoadHTFile: GetMaxDepth is 300"));
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Track has valid depth readings"));
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Removing all 0m readings"));

  const auto open = dialogs.OfKind("open");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].filter, "GPX, KML or HT files|*.gpx;*.kml;*.ht");
}

TEST_F(FormTest, ACancelledDialogChangesNothing) {
  form->btnAddFilesClick();  // nothing scripted: cancelled
  EXPECT_FALSE(form->FileLoaded);
  EXPECT_FALSE(form->btnTrkFit->isEnabled());
  EXPECT_EQ(form->GPXView->GPXd, nullptr);
  EXPECT_TRUE(form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormTest, AddingFilesBindsTheViewAndBuildsTheArea) {
  AddFiles({WriteSurvey("survey.ht")});
  const int W = form->GPXView->Width();
  const int H = form->GPXView->Height();
  EXPECT_EQ(W, form->GPXImage->width());
  EXPECT_EQ(H, form->GPXImage->height());
  EXPECT_EQ(form->ShadowArray.Width(), W);
  EXPECT_EQ(form->ShadowArray.Height(), H);
  EXPECT_EQ(form->lblImageSize->text().toStdString(),
            "Screen Size: " + std::to_string(W) + " x " + std::to_string(H) + " px");
  EXPECT_TRUE(form->lblMapSize->text().startsWith("Area: "));
  EXPECT_TRUE(form->lblResolution->text().endsWith(" cm"));
  EXPECT_DOUBLE_EQ(form->DecimateLongitude, (form->GPXView->BBox.E - form->GPXView->BBox.O) / W);
  EXPECT_DOUBLE_EQ(form->DecimateLatitude, (form->GPXView->BBox.N - form->GPXView->BBox.S) / W);
  // No shore line: the strokes are the area, no zero-depth samples.
  int masked = 0;
  for (int x = 0; x < W; ++x)
    for (int y = 0; y < H; ++y) masked += form->ShadowArray[x][y];
  EXPECT_GT(masked, 0);
  EXPECT_TRUE(form->ShoreCoord.empty());
}

TEST_F(FormTest, TheTimerAppliesTheRadii) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  EXPECT_EQ(form->Last_udInterpolationWidth, 30);
  EXPECT_EQ(form->edtDontCareRadius->text(), "60");
  EXPECT_TRUE(form->lblInterpolationWidth->text().startsWith("px = "));
  EXPECT_TRUE(form->lblInterpolationWidth->text().endsWith("m"));
  EXPECT_DOUBLE_EQ(form->maxDontCareRadius, std::fabs(form->GPXView->XToLo(1) - form->GPXView->XToLo(60)));
  EXPECT_DOUBLE_EQ(form->minDontCareRadius, std::fabs(form->GPXView->XToLo(0) - form->GPXView->XToLo(1)));
  EXPECT_EQ(form->GPXView->ShadowMapTrackWidth, 30);

  form->udInterpolationWidth->Click(1);  // 35
  form->pcMain->setCurrentIndex(3);
  form->Timer1Timer();
  // Applying the radius runs the Interpolated Map page's show handler, whatever page shows.
  EXPECT_EQ(form->sbMain->PanelText(0), "Generate an interpolated map");
  EXPECT_EQ(form->GPXView->ShadowMapTrackWidth, 35);
  EXPECT_EQ(form->edtDontCareRadius->text(), "70");

  form->edtDontCareRadius->setText("50");  // typed: kept until the extrapolation radius changes
  form->Timer1Timer();
  EXPECT_EQ(form->edtDontCareRadius->text(), "50");
  EXPECT_DOUBLE_EQ(form->maxDontCareRadius, std::fabs(form->GPXView->XToLo(1) - form->GPXView->XToLo(50)));

  // Zoom In re-applies the extrapolation radius at the next tick, over a typed
  // don't-care radius too.
  form->btnTrkZoomInClick();
  form->Timer1Timer();
  EXPECT_EQ(form->edtDontCareRadius->text(), "70");
  EXPECT_DOUBLE_EQ(form->maxDontCareRadius, std::fabs(form->GPXView->XToLo(1) - form->GPXView->XToLo(70)));
}

TEST_F(FormTest, NumbersInTheWindowUseTheUsersDecimalSeparator) {
  AddFiles({WriteSurvey("survey.ht")});
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  form->Timer1Timer();
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  QLocale::setDefault(saved);
  EXPECT_TRUE(form->lblInterpolationWidth->text().contains(QLatin1Char(','))) << form->lblInterpolationWidth->text().toStdString();
  bool logged = false;
  for (const std::string& line : form->LogLines())
    if (line.rfind("Interpolate: minDontCareRadius is ", 0) == 0) logged = line.find(',') != std::string::npos;
  EXPECT_TRUE(logged);
}

TEST_F(FormTest, FitToScreenPutsATypedDontCareRadiusIntoTheNewScale) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  form->edtDontCareRadius->setText("50");
  form->Timer1Timer();
  const double fitted = form->maxDontCareRadius;
  // Zoomed in, and the radius put into that scale; then fitted again.
  ASSERT_TRUE(form->GPXView->ZoomIn());
  form->GPXView->Redraw();
  form->Last_udDontCareRadius = -1;
  form->Timer1Timer();
  ASSERT_LT(form->maxDontCareRadius, fitted);
  form->btnTrkFitClick();
  form->Timer1Timer();
  EXPECT_DOUBLE_EQ(form->maxDontCareRadius, fitted);
  EXPECT_EQ(form->edtDontCareRadius->text(), "50");  // the typed radius stays
  EXPECT_DOUBLE_EQ(form->maxDontCareRadius, std::fabs(form->GPXView->XToLo(1) - form->GPXView->XToLo(50)));
  EXPECT_DOUBLE_EQ(form->minDontCareRadius, std::fabs(form->GPXView->XToLo(0) - form->GPXView->XToLo(1)));
}

TEST_F(FormTest, TheInterpolatedMapPageShowsTheAreaUntilAMapExists) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  form->pcMain->setCurrentIndex(1);
  const TBitmap& preview = form->InterpolatedImage->Picture();
  ASSERT_EQ(preview.Width(), form->GPXImage->Picture().Width());
  ASSERT_EQ(preview.Height(), form->GPXImage->Picture().Height());
  // Every pixel is the track picture's, or where that is white the shadow map's.
  int grey = 0, tracks = 0;
  for (int y = 0; y < preview.Height(); ++y)
    for (int x = 0; x < preview.Width(); ++x) {
      const TColor track = form->GPXImage->Picture().Pixel(x, y);
      const TColor expected = track != 0xFFFFFF ? track : form->ShadowMap->Pixel(x, y);
      ASSERT_EQ(preview.Pixel(x, y), expected) << x << "," << y;
      grey += expected == 0xC0C0C0;
      tracks += track != 0xFFFFFF;
    }
  EXPECT_GT(grey, 100);
  EXPECT_GT(tracks, 100);

  // With a map the page shows the map.
  form->pcMain->setCurrentIndex(0);
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  const TBitmap map = form->InterpolatedImage->Picture();
  form->pcMain->setCurrentIndex(1);
  for (int y = 0; y < map.Height(); y += 3)
    for (int x = 0; x < map.Width(); x += 3) ASSERT_EQ(form->InterpolatedImage->Picture().Pixel(x, y), map.Pixel(x, y));
}

TEST_F(FormTest, ARejectedHtFileAddsNothingButTheCommandGoesOn) {
  const std::string bad = Path("short.ht");
  { std::ofstream(bad, std::ios::binary) << "not an HT file"; }
  form->cbAddDepth->setChecked(true);
  dialogs.inputAnswers = {"350"};
  AddFiles({bad, Path("missing.ht")});  // a path that no longer exists is skipped silently
  ASSERT_EQ(dialogs.Errors().size(), 1u);  // the reader's own refusal
  EXPECT_EQ(dialogs.OfKind("input").size(), 1u);  // the depth prompt is still asked
  EXPECT_EQ(form->GPXdata->trk.Count(), 0);
  EXPECT_TRUE(form->btnInterpolate->isEnabled());
  EXPECT_TRUE(form->FileLoaded);
  const auto log = form->LogLines();
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Trying to open " + bad));
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Appending HT Track: "));
  EXPECT_FALSE(HasLine(log, "LoadHTFile: Trying to open " + Path("missing.ht")));
}
