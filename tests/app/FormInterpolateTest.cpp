// "Interpolate" and "Save Image...": the run, its bands and workers, smoothing,
// the snapshot it keeps, and the guards around it.

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <fstream>

#include "app/logic/InterpolatedMap.h"
#include "app/logic/InterpolationBands.h"
#include "app/logic/MapPicture.h"
#include "app/StandInControls.h"
#include "tests/support/SyntheticLake.h"
#include "mapview/GPXDraw.h"
#include "platform/MathErrors.h"
#include "platform/NumberText.h"
#include "tests/app/FormSupport.h"

namespace {
std::string Band(int first, int last) { return numtext::FormatInt(first) + "     " + numtext::FormatInt(last); }

std::vector<TColor> Pixels(const TColorArray& grid) {
  std::vector<TColor> result;
  for (int x = 0; x < grid.Width(); ++x)
    for (int y = 0; y < grid.Height(); ++y) result.push_back(grid[x][y]);
  return result;
}

bool SamePicture(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}
}  // namespace

TEST_F(FormTest, InterpolateRefusesDataWithoutDepth) {
  AddFiles({WriteHT("shore.ht", {{{47.0, 8.0, 0}, {47.01, 8.0, 0}, {47.01, 8.02, 0}, {47.0, 8.02, 0}}})});
  ASSERT_TRUE(Find<QPushButton>("btnInterpolate")->isEnabled());
  form->btnInterpolateClick();
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_NE(dialogs.Errors()[0].find("maximum depth 0 cm"), std::string::npos);
  EXPECT_FALSE(form->Interpolating());
  EXPECT_FALSE(Ws().InterpLoaded());
  EXPECT_TRUE(form->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("btnInterpolate")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  for (const std::string& line : form->LogLines()) EXPECT_EQ(line.find("Num Tasks"), std::string::npos);
}

TEST_F(FormTest, AnInterpolateThatFailsMidwayPutsTheWindowBack) {
  bool fail = true;
  form.reset();
  form = MakeForm(8, [&fail](auto coord, auto depth, double p, double maxR, double minR, TMessageBox* messages)
                         -> std::unique_ptr<TDepthInterpolator> {
    if (fail) throw std::runtime_error("no room for the interpolator");
    return std::make_unique<TShepardInterp>(coord, depth, p, maxR, minR, messages);
  });
  AddFiles({WriteSurvey("survey.ht")});
  form->btnInterpolateClick();
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_FALSE(form->Interpolating());
  EXPECT_FALSE(form->Busy());
  EXPECT_TRUE(form->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("btnInterpolate")->isEnabled());
  EXPECT_FALSE(Find<QProgressBar>("pbInterpolate")->isVisible());
  EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(form->minimumSize(), form->RestoredMinimumSize());  // no run, no frozen size
  fail = false;
  Interpolate();
  EXPECT_TRUE(Ws().InterpLoaded());
}

TEST_F(FormTest, OneWorkerRunsTheBandsOneAfterAnother) {
  AddFiles({WriteSurvey("survey.ht")});
  Find<TTrackBar>("tbInterpolateThrds")->setValue(1);
  Interpolate();
  const int W = Ws().GPXView().Width();
  const std::vector<TBand> bands = PlanBands(W);
  const auto log = form->LogLines();
  EXPECT_TRUE(HasLine(log, "Num Tasks: " + numtext::FormatInt(static_cast<int>(bands.size()))));
  EXPECT_TRUE(HasLine(log, "Start Thread: " + Band(0, 14)));
  EXPECT_TRUE(HasLine(log, "Add Thread: " + Band(15, 29)));
  EXPECT_TRUE(HasLine(log, "Add Thread: " + Band(bands.back().First, W - 1)));
  int started = 0;
  for (const std::string& line : log) started += line.rfind("Start Thread: ", 0) == 0;
  EXPECT_EQ(started, 1);
  for (const char* name : {"DecimateLatitude", "DecimateLongitude", "maxDontCareRadius", "minDontCareRadius"}) {
    bool found = false;
    for (const std::string& line : log) found |= line.rfind(std::string("Interpolate: ") + name + " is ", 0) == 0;
    EXPECT_TRUE(found) << name;
  }

  EXPECT_TRUE(Ws().InterpLoaded());
  EXPECT_TRUE(Find<QPushButton>("btnInterpolSaveBMP")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("btnIsoMap")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("btnInterpolate")->isEnabled());
  EXPECT_FALSE(Find<QProgressBar>("pbInterpolate")->isVisible());
  EXPECT_EQ(Find<QProgressBar>("pbInterpolate")->maximum(), W - 1);
  EXPECT_EQ(Find<QProgressBar>("pbInterpolate")->value(), W - 1);  // one step per column, up to the maximum
  EXPECT_TRUE(form->isEnabled());
  EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Ws().Job()->ThreadsRunning, 0);
  EXPECT_EQ(Find<TTrackBar>("tbInterpolateThrds")->SelEnd(), 0);
  EXPECT_TRUE(Ws().Job()->MissingBands().empty());
  EXPECT_EQ(form->minimumSize(), form->maximumSize());  // frozen until "Start over"
  form->btnStartOverClick();
  EXPECT_EQ(form->minimumSize(), form->RestoredMinimumSize());
}

TEST_F(FormTest, OneAndEightWorkersPaintTheSamePicture) {
  const std::string file = WriteSurvey("survey.ht");
  AddFiles({file});
  Find<TTrackBar>("tbInterpolateThrds")->setValue(1);
  Interpolate();
  const std::vector<TColor> one = Pixels(Ws().InterpolArray());
  const TBitmap picture = Find<TImage>("InterpolatedImage")->Picture();
  int coloured = 0;
  for (TColor c : one) coloured += c != 0;
  EXPECT_GT(coloured, 1000);

  form->btnStartOverClick();
  form->memDebugDblClick();
  AddFiles({file});
  Find<TTrackBar>("tbInterpolateThrds")->setValue(8);
  Interpolate();
  EXPECT_EQ(Pixels(Ws().InterpolArray()), one);
  EXPECT_TRUE(SamePicture(Find<TImage>("InterpolatedImage")->Picture(), picture));
  // Eight bands start at once and the callbacks hand out every other band once.
  std::vector<std::string> handedOut;
  int started = 0;
  for (const std::string& line : form->LogLines()) {
    const bool start = line.rfind("Start Thread: ", 0) == 0, add = line.rfind("Add Thread: ", 0) == 0;
    started += start;
    if (start || add) handedOut.push_back(line.substr(line.find(": ") + 2));
  }
  EXPECT_EQ(started, 8);
  std::vector<std::string> planned;
  for (const TBand& band : PlanBands(Ws().GPXView().Width())) planned.push_back(Band(band.First, band.Last));
  ASSERT_GT(planned.size(), 8u);
  std::sort(handedOut.begin(), handedOut.end());
  std::sort(planned.begin(), planned.end());
  EXPECT_EQ(handedOut, planned);
}

namespace {
// The reference interpolator, failing for every pixel west of a longitude.
class TFailingWest : public TDepthInterpolator {
public:
  TFailingWest(std::unique_ptr<TDepthInterpolator> inner, double west) : fInner(std::move(inner)), fWest(west) {}
  double interp(double x, double y) const override {
    if (x < fWest) throw EInvalidOp();
    return fInner->interp(x, y);
  }

private:
  std::unique_ptr<TDepthInterpolator> fInner;
  double fWest;
};
}  // namespace

TEST_F(FormTest, FailedBandsAreLoggedAndReported) {
  std::atomic<double> west{0};
  form.reset();
  form = MakeForm(4, [&west](std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> depth,
                             double p, double maxR, double minR, TMessageBox* messages) {
    return std::make_unique<TFailingWest>(std::make_unique<TShepardInterp>(coord, depth, p, maxR, minR, messages),
                                          west.load());
  });
  AddFiles({WriteSurvey("survey.ht")});
  west = Ws().GPXView().XToLo(20);  // masked pixels of the first band(s) fail
  Interpolate();
  ASSERT_FALSE(Ws().Job()->MissingBands().empty());
  EXPECT_EQ(Ws().Job()->MissingBands()[0].First, 0);
  EXPECT_TRUE(Ws().InterpLoaded());  // the run still completes
  const auto errors = dialogs.Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("columns 0-14"), std::string::npos);
  bool logged = false;
  for (const std::string& line : form->LogLines())
    logged |= line.rfind("Band failed: " + Band(0, 14) + ": ", 0) == 0;
  EXPECT_TRUE(logged);
  // The other bands are computed.
  int coloured = 0;
  for (int x = 30; x < Ws().InterpolArray().Width(); ++x)
    for (int y = 0; y < Ws().InterpolArray().Height(); ++y) coloured += Ws().InterpolArray()[x][y] != 0;
  EXPECT_GT(coloured, 0);
}

TEST_F(FormTest, ANarrowViewRunsAsOneBandWithNoMoreWorkersThanBands) {
  AddFiles({WriteSurvey("survey.ht")});
  TGPXDraw& narrow = TWorkspaceProbe::GPXView(Ws());
  narrow.Resize(12, narrow.Height());
  narrow.ResetBBox(true, true);
  narrow.Redraw();
  Interpolate();
  const auto log = form->LogLines();
  EXPECT_TRUE(HasLine(log, "Num Tasks: 1"));
  EXPECT_TRUE(HasLine(log, "Start Thread: " + Band(0, 11)));
  int started = 0;
  for (const std::string& line : log) started += line.rfind("Start Thread: ", 0) == 0;
  EXPECT_EQ(started, 1);
  EXPECT_TRUE(Ws().InterpLoaded());
  EXPECT_EQ(Ws().InterpolArray().Width(), 12);
}

TEST_F(FormTest, SmoothingRunsAsOftenAsSet) {
  AddFiles({WriteSurvey("survey.ht")});
  Find<TUpDown>("udSmoothingRuns")->SetPosition(0);
  Interpolate();
  TBitmap plain;
  GridToPicture(Ws().InterpolArray(), plain);
  EXPECT_TRUE(SamePicture(Find<TImage>("InterpolatedImage")->Picture(), plain));

  Find<TUpDown>("udSmoothingRuns")->SetPosition(2);
  Interpolate();
  TBitmap twice;
  GridToPicture(Ws().InterpolArray(), twice);
  SmoothMap(twice, Ws().ShadowArray());
  SmoothMap(twice, Ws().ShadowArray());
  EXPECT_TRUE(SamePicture(Find<TImage>("InterpolatedImage")->Picture(), twice));
  EXPECT_FALSE(SamePicture(Find<TImage>("InterpolatedImage")->Picture(), plain));
}

TEST_F(FormTest, EveryRunBuildsItsSamplesAfresh) {
  // A shore line around the survey gives zero-depth samples too.
  const std::string shore = WriteHT(
      "shore.ht", {{{46.999, 7.999, 0}, {47.0052, 7.999, 0}, {47.0052, 8.0092, 0}, {46.999, 8.0092, 0}, {46.999, 7.999, 0}}});
  AddFiles({shore, WriteSurvey("survey.ht")});
  Interpolate();
  ASSERT_FALSE(Ws().ShoreCoord().empty());
  int depthPoints = 0;
  for (const TGPXtrk& trk : Ws().GPXdata().trk)
    for (const TGPXtrkseg& seg : trk) depthPoints += seg.Count();
  const std::size_t expected = Ws().ShoreCoord().size() + static_cast<std::size_t>(depthPoints);
  EXPECT_EQ(Ws().InCoord()->size(), expected);
  EXPECT_EQ(Ws().InDepth()->size(), expected);

  Find<QTabWidget>("pcMain")->setCurrentIndex(1);  // rebuilds the area
  Find<QTabWidget>("pcMain")->setCurrentIndex(0);
  Interpolate();
  EXPECT_EQ(Ws().InCoord()->size(), expected);
}

TEST_F(FormTest, ShoreLinesAreDrawnOverTheMapInTheShallowColour) {
  const std::string shore = WriteHT(
      "shore.ht", {{{46.999, 7.999, 0}, {47.0052, 7.999, 0}, {47.0052, 8.0092, 0}, {46.999, 8.0092, 0}, {46.999, 7.999, 0}}});
  AddFiles({shore, WriteSurvey("survey.ht")});
  Find<TUpDown>("udSmoothingRuns")->SetPosition(0);
  Interpolate();
  const TBitmap& picture = Find<TImage>("InterpolatedImage")->Picture();
  int onShore = 0;
  for (const TGPXtrk& trk : Ws().GPXdata().trk)
    for (const TGPXtrkseg& seg : trk) {
      if (seg.maxdepth != 0) continue;
      for (const TPoint4D2& p : seg) {
        const int x = Ws().GPXView().Point4D2ToX(p), y = Ws().GPXView().Point4D2ToY(p);
        if (x < 0 || y < 0 || x >= picture.Width() || y >= picture.Height()) continue;
        EXPECT_EQ(picture.Pixel(x, y), Ws().clShallowWater()) << x << "," << y;
        ++onShore;
      }
    }
  EXPECT_GT(onShore, 2);
}

TEST_F(FormTest, ATransectAlongAMeridianSurvivesTheThinning) {
  TSegmentPoints transect;
  for (int i = 0; i < 50; ++i) transect.push_back({47.0 + i * 0.0002, 8.0, 300.0 + i});
  TSegmentPoints crossing;
  for (int i = 0; i < 50; ++i) crossing.push_back({47.005, 7.995 + i * 0.0002, 250.0});
  AddFiles({WriteHT("transect.ht", {transect, crossing})});
  const int before = TrackPointCount(Ws().GPXdata());
  Interpolate();
  EXPECT_EQ(TrackPointCount(Ws().GPXdata()), before);
}

TEST_F(FormTest, TheCutOffRadiusFollowsEveryChangeOfScale) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  const double fitted = Ws().maxDontCareRadius();
  // A zoom that resets nothing (as a zoom rectangle): the run still uses the new scale.
  ASSERT_TRUE(TWorkspaceProbe::GPXView(Ws()).ZoomIn());
  TWorkspaceProbe::GPXView(Ws()).Redraw();
  form->UpdateMapInfo();
  Interpolate();
  const double expected = std::fabs(Ws().GPXView().XToLo(1) - Ws().GPXView().XToLo(60));
  EXPECT_DOUBLE_EQ(Ws().maxDontCareRadius(), expected);
  EXPECT_LT(Ws().maxDontCareRadius(), fitted);
}

TEST_F(FormTest, TheFinishedMapKeepsWhatItWasComputedWith) {
  AddFiles({WriteSurvey("survey.ht")});
  Interpolate();
  ASSERT_TRUE(Ws().InterpolatedMap().has_value());
  const TViewProjection computed = Ws().GPXView().Projection();
  const TInterpolatedMap& map = *Ws().InterpolatedMap();
  EXPECT_EQ(map.Projection.O, computed.O);
  EXPECT_EQ(map.Projection.S, computed.S);
  EXPECT_EQ(map.Projection.Rm, computed.Rm);
  EXPECT_EQ(map.Width, Ws().GPXView().Width());
  EXPECT_EQ(map.Height, Ws().GPXView().Height());
  EXPECT_EQ(map.MaxDepth, Ws().MaxDepth());
  EXPECT_EQ(map.Shallow, Ws().clShallowWater());
  EXPECT_EQ(map.Deep, Ws().clDeepWater());
  ASSERT_EQ(map.Mask.Width(), Ws().ShadowArray().Width());

  form->btnTrkZoomInClick();
  Ws().SetWaterColours(Ws().clShallowWater(), 0x123456);
  form->Timer1Timer();
  EXPECT_NE(Ws().GPXView().Projection().Rm, computed.Rm);
  EXPECT_EQ(Ws().InterpolatedMap()->Projection.Rm, computed.Rm);
  EXPECT_EQ(Ws().InterpolatedMap()->Deep, 0xFF0000u);
}

TEST_F(FormTest, NoCommandRunsWhileAnInterpolationRuns) {
  const std::string file = WriteSurvey("survey.ht");
  AddFiles({file});
  const int tracks = Ws().GPXdata().trk.Count();
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Interpolating());
  EXPECT_FALSE(form->isEnabled());
  EXPECT_FALSE(Find<QTimer>("Timer1")->isActive());
  const std::size_t shown = dialogs.shown.size();
  form->btnAddFilesClick();  // as the project window would
  form->btnStartOverClick();
  form->btnInterpolateClick();
  form->Timer1Timer();
  EXPECT_EQ(dialogs.shown.size(), shown);
  EXPECT_TRUE(Ws().FileLoaded());
  EXPECT_EQ(Ws().GPXdata().trk.Count(), tracks);
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  EXPECT_TRUE(Ws().InterpLoaded());
  EXPECT_TRUE(form->isEnabled());
}

TEST_F(FormTest, ClosingDuringARunWaitsForTheRunningBands) {
  AddFiles({WriteSurvey("survey.ht")});
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Interpolating());
  form->close();
  EXPECT_TRUE(form->isVisible());
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->isVisible(); }));
  EXPECT_FALSE(form->Interpolating());
  EXPECT_FALSE(Ws().InterpLoaded());  // stopped, not completed
}

TEST_F(FormTest, DestroyingTheWindowDuringARunIsSafe) {
  AddFiles({WriteSurvey("survey.ht")});
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Interpolating());
  form.reset();  // waits for the running bands; the sanitizers check the rest
  EXPECT_EQ(Form1, nullptr);
}

TEST_F(FormTest, SaveImageWritesBmpAndJpeg) {
  AddFiles({WriteSurvey("survey.ht")});
  Interpolate();
  const TBitmap& picture = Find<TImage>("InterpolatedImage")->Picture();

  dialogs.saveAnswers = {Path("map")};  // no extension: ".bmp" is added
  form->btnInterpolSaveBMPClick();
  const auto save = dialogs.OfKind("save");
  ASSERT_EQ(save.size(), 1u);
  EXPECT_EQ(save[0].caption, "Save image");
  EXPECT_EQ(save[0].filter, "Bitmap Image|*.bmp|JPEG Image|*.jpg");
  EXPECT_EQ(save[0].defaultExt, "bmp");
  QImage bmp(QString::fromStdString(Path("map.bmp")));
  ASSERT_FALSE(bmp.isNull());
  ASSERT_EQ(bmp.width(), picture.Width());
  ASSERT_EQ(bmp.height(), picture.Height());
  for (int y = 0; y < picture.Height(); y += 7)
    for (int x = 0; x < picture.Width(); x += 7) {
      const QRgb c = bmp.pixel(x, y);
      ASSERT_EQ(RGB(qRed(c), qGreen(c), qBlue(c)), picture.Pixel(x, y)) << x << "," << y;
    }

  dialogs.saveAnswers = {Path("map.JPG")};
  form->btnInterpolSaveBMPClick();
  std::ifstream jpeg(Path("map.JPG"), std::ios::binary);
  char magic[3] = {};
  jpeg.read(magic, 3);
  EXPECT_EQ(std::string(magic, 3), "\xFF\xD8\xFF");
  EXPECT_TRUE(dialogs.Errors().empty());

  // Over an existing file: No writes nothing.
  const auto before = std::filesystem::file_size(Path("map.bmp"));
  { std::ofstream(Path("map.bmp"), std::ios::trunc) << "keep"; }
  dialogs.saveAnswers = {Path("map.bmp")};
  dialogs.messageAnswers = {TModalResult::mrNo};
  form->btnInterpolSaveBMPClick();
  EXPECT_EQ(dialogs.OfKind("message").back().text, "Overwrite " + Path("map.bmp") + " ?");
  EXPECT_EQ(dialogs.OfKind("message").back().buttons, unsigned(mbYes | mbNo));
  EXPECT_EQ(std::filesystem::file_size(Path("map.bmp")), 4u);
  dialogs.saveAnswers = {Path("map.bmp")};
  dialogs.messageAnswers = {TModalResult::mrYes};
  form->btnInterpolSaveBMPClick();
  EXPECT_EQ(std::filesystem::file_size(Path("map.bmp")), before);

  // JPEG chosen and a name typed without extension: a JPEG named .jpg.
  dialogs.saveAnswers = {Path("chosen")};
  dialogs.saveFilterAnswers = {1};
  form->btnInterpolSaveBMPClick();
  std::ifstream chosen(Path("chosen.jpg"), std::ios::binary);
  char chosenMagic[3] = {};
  chosen.read(chosenMagic, 3);
  EXPECT_EQ(std::string(chosenMagic, 3), "\xFF\xD8\xFF");
  EXPECT_FALSE(std::filesystem::exists(Path("chosen.bmp")));

  dialogs.saveAnswers = {Path("map.png")};
  form->btnInterpolSaveBMPClick();
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_EQ(dialogs.Errors()[0], "File extension not supported: " + Path("map.png"));
  EXPECT_FALSE(std::filesystem::exists(Path("map.png")));
}

// HT files of a synthetic lake in, the interpolated picture out.
TEST_F(FormTest, EndToEndSyntheticLake) {
  const TSyntheticLake lake(6000, 7);
  auto ring = [](const std::vector<TLakePosition>& positions) {
    TSegmentPoints points;
    for (const TLakePosition& p : positions) points.push_back({p.Latitude, p.Longitude, 0});
    points.push_back(points.front());
    return points;
  };
  std::vector<TSegmentPoints> tracks;
  for (const auto& track : lake.Tracks()) {
    TSegmentPoints points;
    for (const TLakeSounding& s : track) points.push_back({s.Latitude, s.Longitude, s.DepthCm});
    tracks.push_back(points);
  }
  AddFiles({WriteHT("shore.ht", {ring(lake.Shore())}), WriteHT("island.ht", {ring(lake.Island())}),
            WriteHT("survey.ht", tracks)});
  ASSERT_TRUE(dialogs.Errors().empty());
  form->Timer1Timer();
  Interpolate();
  ASSERT_TRUE(Ws().InterpLoaded());

  const TViewProjection view = Ws().GPXView().Projection();
  const TBitmap& picture = Find<TImage>("InterpolatedImage")->Picture();
  int masked = 0, onLand = 0, close = 0;
  for (int x = 0; x < picture.Width(); ++x)
    for (int y = 0; y < picture.Height(); ++y) {
      const double lon = view.XToLo(x), lat = view.YToLa(y);
      if (!Ws().ShadowArray()[x][y]) continue;
      ++masked;
      if (!lake.InWater(lon, lat)) {
        ++onLand;
        continue;
      }
      // A depth colour: on the way from green to blue, never black.
      const TColor c = Ws().InterpolArray()[x][y];
      EXPECT_EQ(GetRValue(c), 0);
      EXPECT_GT(GetGValue(c) + GetBValue(c), 200);
      const double depth = Ws().InterpolVArray()[x][y] * Ws().MaxDepth();
      close += std::fabs(depth - lake.DepthAt(lon, lat)) < 0.15 * Ws().MaxDepth();
    }
  EXPECT_GT(masked, 5000);
  EXPECT_LT(onLand, masked / 50);  // the mask keeps to the water
  EXPECT_GT(close, masked * 8 / 10);
}
