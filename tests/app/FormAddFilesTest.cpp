// "Add Files..." with HT files: the depth preparation, the prompts, the view and
// the interpolation area it rebuilds.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <fstream>

#include "app/StandInControls.h"
#include "mapview/GPXDraw.h"
#include "tests/app/FormSupport.h"


TEST_F(FormTest, AnHtFileWithoutDepthGetsTheTypedDepth) {
  const std::string file = WriteHT("shore.ht", {Line(0, 0, 0), Line(0, 0, 0)});
  Find<QCheckBox>("cbAddDepth")->setChecked(true);
  dialogs.inputAnswers = {"350"};
  AddFiles({file});

  const auto prompts = dialogs.OfKind("input");
  ASSERT_EQ(prompts.size(), 1u);  // one prompt for the whole file
  EXPECT_EQ(prompts[0].caption, "Apply depth to dataset");
  const std::string track = Ws().GPXdata().trk.GetTrack(0)->name;
  EXPECT_EQ(prompts[0].text, "shore.htTrack: " + track + " Depth [cm]:");
  EXPECT_EQ(prompts[0].defaultValue, "0");
  for (const TGPXtrkseg* seg : Segments(Ws().GPXdata())) {
    EXPECT_EQ(seg->maxdepth, 350);
    for (const TPoint4D2& p : *seg) EXPECT_EQ(p.HBdepth, 350);
  }
  EXPECT_EQ(Ws().MaxDepth(), 350);
  EXPECT_TRUE(Find<QPushButton>("btnInterpolate")->isEnabled());
  EXPECT_TRUE(Ws().FileLoaded());
  for (QPushButton* b : {Find<QPushButton>("btnTrkFit"), Find<QPushButton>("btnTrkZoom"), Find<QPushButton>("btnTrkZoomIn"), Find<QPushButton>("btnTrkZoomOut"),
                         Find<QPushButton>("btnTrkSaveGPX")})
    EXPECT_TRUE(b->isEnabled());
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(4), "350 cm");
  EXPECT_EQ(Find<QLabel>("lblMaxDepth")->text(), "Max Depth: 350 cm");
  EXPECT_EQ(Find<QLabel>("lblMaxDepth1")->text(), "Max Depth: 350 cm");
}

TEST_F(FormTest, TheOffsetCheckBoxAsksForAnOffset) {
  // The depth decisions themselves are the workspace's; here the check box reaches them.
  Find<QCheckBox>("cbAddOffset")->setChecked(true);
  dialogs.inputAnswers = {"-50"};
  AddFiles({WriteHT("offset.ht", {Line(0, 400, 250)})});
  ASSERT_EQ(dialogs.OfKind("input").size(), 1u);
  EXPECT_EQ(dialogs.OfKind("input")[0].caption, "Add value to dataset");
  EXPECT_NE(dialogs.OfKind("input")[0].text.find("offset.htTrack: "), std::string::npos);
  EXPECT_TRUE(dialogs.OfKind("input")[0].text.ends_with(" Add Depth [cm]:"));
  EXPECT_EQ(Ws().MaxDepth(), 350);
  EXPECT_EQ(Find<QLabel>("lblMaxDepth")->text(), "Max Depth: 350 cm");
}

TEST_F(FormTest, AddFilesDispatchesByExtensionAndGoesOnAfterAnError) {
  const std::string ht = WriteHT("Depth.HT", {Line(0, 300, 200)});
  const std::string other = Path("notes.txt");
  const std::string gpx = Path("lake.gpx");
  { std::ofstream(gpx, std::ios::binary) << "<kml/>"; }
  AddFiles({other, ht, gpx});
  const auto errors = dialogs.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "File extension not supported: " + other);
  EXPECT_EQ(errors[1], gpx + " could not be read:\nFile not loaded");
  EXPECT_EQ(Ws().GPXdata().trk.Count(), 1);  // the upper-case .HT was read
  EXPECT_EQ(Ws().MaxDepth(), 300);

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
  EXPECT_FALSE(Ws().FileLoaded());
  EXPECT_FALSE(Find<QPushButton>("btnTrkFit")->isEnabled());
  EXPECT_EQ(Ws().GPXView().GPXd, nullptr);
  EXPECT_TRUE(form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormTest, AddingFilesBindsTheViewAndBuildsTheArea) {
  AddFiles({WriteSurvey("survey.ht")});
  const int W = Ws().GPXView().Width();
  const int H = Ws().GPXView().Height();
  EXPECT_EQ(W, Find<TImage>("GPXImage")->width());
  EXPECT_EQ(H, Find<TImage>("GPXImage")->height());
  EXPECT_EQ(Ws().ShadowArray().Width(), W);
  EXPECT_EQ(Ws().ShadowArray().Height(), H);
  EXPECT_EQ(Find<QLabel>("lblImageSize")->text().toStdString(),
            "Screen Size: " + std::to_string(W) + " x " + std::to_string(H) + " px");
  EXPECT_TRUE(Find<QLabel>("lblMapSize")->text().startsWith("Area: "));
  EXPECT_TRUE(Find<QLabel>("lblResolution")->text().endsWith(" cm"));
  EXPECT_DOUBLE_EQ(Ws().DecimateLongitude(), (Ws().GPXView().BBox.E - Ws().GPXView().BBox.O) / W);
  EXPECT_DOUBLE_EQ(Ws().DecimateLatitude(), (Ws().GPXView().BBox.N - Ws().GPXView().BBox.S) / W);
  // No shore line: the strokes are the area, no zero-depth samples.
  int masked = 0;
  for (int x = 0; x < W; ++x)
    for (int y = 0; y < H; ++y) masked += Ws().ShadowArray()[x][y];
  EXPECT_GT(masked, 0);
  EXPECT_TRUE(Ws().ShoreCoord().empty());
}

TEST_F(FormTest, TheTimerAppliesTheRadii) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  EXPECT_EQ(Ws().Last_udInterpolationWidth(), 30);
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "60");
  EXPECT_TRUE(Find<QLabel>("lblInterpolationWidth")->text().startsWith("px = "));
  EXPECT_TRUE(Find<QLabel>("lblInterpolationWidth")->text().endsWith("m"));
  EXPECT_DOUBLE_EQ(Ws().maxDontCareRadius(), std::fabs(Ws().GPXView().XToLo(1) - Ws().GPXView().XToLo(60)));
  EXPECT_DOUBLE_EQ(Ws().minDontCareRadius(), std::fabs(Ws().GPXView().XToLo(0) - Ws().GPXView().XToLo(1)));
  EXPECT_EQ(Ws().GPXView().ShadowMapTrackWidth, 30);

  Find<TUpDown>("udInterpolationWidth")->Click(1);  // 35
  Find<QTabWidget>("pcMain")->setCurrentIndex(3);
  form->Timer1Timer();
  // Applying the radius runs the Interpolated Map page's show handler, whatever page shows.
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(0), "Generate an interpolated map");
  EXPECT_EQ(Ws().GPXView().ShadowMapTrackWidth, 35);
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "70");

  Find<QLineEdit>("edtDontCareRadius")->setText("50");  // typed: kept until the extrapolation radius changes
  form->Timer1Timer();
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "50");
  EXPECT_DOUBLE_EQ(Ws().maxDontCareRadius(), std::fabs(Ws().GPXView().XToLo(1) - Ws().GPXView().XToLo(50)));

  // Zoom In re-applies the extrapolation radius at the next tick, over a typed
  // don't-care radius too.
  form->btnTrkZoomInClick();
  form->Timer1Timer();
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "70");
  EXPECT_DOUBLE_EQ(Ws().maxDontCareRadius(), std::fabs(Ws().GPXView().XToLo(1) - Ws().GPXView().XToLo(70)));
}

TEST_F(FormTest, NumbersInTheWindowUseTheUsersDecimalSeparator) {
  AddFiles({WriteSurvey("survey.ht")});
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  form->Timer1Timer();
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  QLocale::setDefault(saved);
  EXPECT_TRUE(Find<QLabel>("lblInterpolationWidth")->text().contains(QLatin1Char(','))) << Find<QLabel>("lblInterpolationWidth")->text().toStdString();
  bool logged = false;
  for (const std::string& line : form->LogLines())
    if (line.rfind("Interpolate: minDontCareRadius is ", 0) == 0) logged = line.find(',') != std::string::npos;
  EXPECT_TRUE(logged);
}

TEST_F(FormTest, FitToScreenPutsATypedDontCareRadiusIntoTheNewScale) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  Find<QLineEdit>("edtDontCareRadius")->setText("50");
  form->Timer1Timer();
  const double fitted = Ws().maxDontCareRadius();
  // Zoomed in, and the radius put into that scale; then fitted again.
  ASSERT_TRUE(TWorkspaceProbe::GPXView(Ws()).ZoomIn());
  TWorkspaceProbe::GPXView(Ws()).Redraw();
  Ws().ViewChanged(TViewChange::Refitted);
  form->Timer1Timer();
  ASSERT_LT(Ws().maxDontCareRadius(), fitted);
  form->btnTrkFitClick();
  form->Timer1Timer();
  EXPECT_DOUBLE_EQ(Ws().maxDontCareRadius(), fitted);
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "50");  // the typed radius stays
  EXPECT_DOUBLE_EQ(Ws().maxDontCareRadius(), std::fabs(Ws().GPXView().XToLo(1) - Ws().GPXView().XToLo(50)));
  EXPECT_DOUBLE_EQ(Ws().minDontCareRadius(), std::fabs(Ws().GPXView().XToLo(0) - Ws().GPXView().XToLo(1)));
}

TEST_F(FormTest, TheInterpolatedMapPageShowsTheAreaUntilAMapExists) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  Find<QTabWidget>("pcMain")->setCurrentIndex(1);
  const TBitmap& preview = Find<TImage>("InterpolatedImage")->Picture();
  ASSERT_EQ(preview.Width(), Find<TImage>("GPXImage")->Picture().Width());
  ASSERT_EQ(preview.Height(), Find<TImage>("GPXImage")->Picture().Height());
  // Every pixel is the track picture's, or where that is white the shadow map's.
  int grey = 0, tracks = 0;
  for (int y = 0; y < preview.Height(); ++y)
    for (int x = 0; x < preview.Width(); ++x) {
      const TColor track = Find<TImage>("GPXImage")->Picture().Pixel(x, y);
      const TColor expected = track != 0xFFFFFF ? track : Ws().ShadowMap().Pixel(x, y);
      ASSERT_EQ(preview.Pixel(x, y), expected) << x << "," << y;
      grey += expected == 0xC0C0C0;
      tracks += track != 0xFFFFFF;
    }
  EXPECT_GT(grey, 100);
  EXPECT_GT(tracks, 100);

  // With a map the page shows the map.
  Find<QTabWidget>("pcMain")->setCurrentIndex(0);
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  const TBitmap map = Find<TImage>("InterpolatedImage")->Picture();
  Find<QTabWidget>("pcMain")->setCurrentIndex(1);
  for (int y = 0; y < map.Height(); y += 3)
    for (int x = 0; x < map.Width(); x += 3) ASSERT_EQ(Find<TImage>("InterpolatedImage")->Picture().Pixel(x, y), map.Pixel(x, y));
}

TEST_F(FormTest, ARejectedHtFileAddsNothingButTheCommandGoesOn) {
  const std::string bad = Path("short.ht");
  { std::ofstream(bad, std::ios::binary) << "not an HT file"; }
  Find<QCheckBox>("cbAddDepth")->setChecked(true);
  dialogs.inputAnswers = {"350"};
  AddFiles({bad, Path("missing.ht")});  // a path that no longer exists is skipped silently
  ASSERT_EQ(dialogs.Errors().size(), 1u);  // the reader's own refusal
  EXPECT_EQ(dialogs.OfKind("input").size(), 1u);  // the depth prompt is still asked
  EXPECT_EQ(Ws().GPXdata().trk.Count(), 0);
  EXPECT_TRUE(Find<QPushButton>("btnInterpolate")->isEnabled());
  EXPECT_TRUE(Ws().FileLoaded());
  const auto log = form->LogLines();
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Trying to open " + bad));
  EXPECT_TRUE(HasLine(log, "LoadHTFile: Appending HT Track: "));
  EXPECT_FALSE(HasLine(log, "LoadHTFile: Trying to open " + Path("missing.ht")));
}

// A radius field left empty or out of range: the radius in effect is used, and
// the field shows it once it is applied, never nothing.
TEST_F(FormTest, AnEmptyOrZeroRadiusEditUsesTheUpDownPositionAndShowsIt) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  ASSERT_EQ(Ws().GPXView().ShadowMapTrackWidth, 30);
  auto* width = Find<QLineEdit>("edtInterpolationWidth");
  width->setText("");
  form->Timer1Timer();
  EXPECT_EQ(width->text(), "");  // nothing applied yet: a user may be typing
  Ws().ResetRadii();
  for (int tick = 0; tick < 3; ++tick) form->Timer1Timer();
  EXPECT_TRUE(dialogs.Errors().empty());
  EXPECT_EQ(Ws().GPXView().ShadowMapTrackWidth, 30);
  EXPECT_EQ(Ws().Last_udInterpolationWidth(), 30);
  EXPECT_EQ(width->text(), "30");

  // "0" is below the range: the pen and the label both use 1.
  width->setText("0");
  form->Timer1Timer();
  EXPECT_EQ(Ws().GPXView().ShadowMapTrackWidth, 1);
  EXPECT_EQ(Ws().Last_udInterpolationWidth(), 1);
  EXPECT_EQ(width->text(), "1");
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "2");
  AddFiles({WriteSurvey("again.ht")});
  EXPECT_EQ(Ws().GPXView().ShadowMapTrackWidth, 1);
  EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(FormTest, AnInterpolationShowsTheRadiiAndSmoothingItRunsWithInTheirFields) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  Find<QLineEdit>("edtDontCareRadius")->setText("50");
  form->Timer1Timer();
  for (const char* name : {"edtInterpolationWidth", "edtDontCareRadius", "edtSmoothingRuns"})
    Find<QLineEdit>(name)->setText("");
  Interpolate();
  ASSERT_TRUE(Ws().InterpLoaded());
  EXPECT_EQ(Find<QLineEdit>("edtInterpolationWidth")->text(), "30");
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "50");
  EXPECT_EQ(Find<QLineEdit>("edtSmoothingRuns")->text(), "2");
  EXPECT_EQ(Ws().GPXView().ShadowMapTrackWidth, 30);
  EXPECT_DOUBLE_EQ(Ws().maxDontCareRadius(), std::fabs(Ws().GPXView().XToLo(1) - Ws().GPXView().XToLo(50)));
}

TEST_F(FormTest, FileDialogsOpenWhereTheLastOneWasConfirmed) {
  const std::string file = WriteSurvey("survey.ht");
  AddFiles({file});
  Interpolate();
  dialogs.saveAnswers = {std::nullopt};
  form->btnInterpolSaveBMPClick();
  const auto save = dialogs.OfKind("save");
  ASSERT_EQ(save.size(), 1u);
  EXPECT_EQ(save[0].folder, folder.Dir().string());
}
