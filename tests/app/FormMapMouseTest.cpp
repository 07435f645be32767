// The mouse on the maps, the view buttons, the readouts and the status bar's
// colour panels, driven through the handlers with positions and held keys.

#include <QImage>
#include <QLocale>
#include <QPainter>

#include "tests/app/MapSupport.h"

namespace {
// The user's locale for one test.
class DefaultLocale {
public:
  explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
  ~DefaultLocale() { QLocale::setDefault(fSaved); }

private:
  QLocale fSaved;
};
}  // namespace

TEST_F(MapTest, AMoveAtTheTopLeftPixelKeepsTheLastPosition) {
  LoadSurvey();
  Hover({37, 41});
  EXPECT_EQ(view().LastX, 37);
  EXPECT_EQ(view().LastY, 41);
  Hover({0, 0});
  EXPECT_EQ(view().LastX, 37);
  EXPECT_EQ(view().LastY, 41);
  Hover({0, 5});
  EXPECT_EQ(view().LastX, 0);
  EXPECT_EQ(view().LastY, 5);
  EXPECT_FALSE(Status(5).empty());  // the coordinates under the mouse
}

TEST_F(MapTest, DraggingPansTheMapWithTheMouse) {
  LoadSurvey();
  const double west = view().BBox.O, south = view().BBox.S;
  Down({100, 100});
  Drag({110, 100});
  Drag({120, 90});
  Up({130, 80});
  // 30 pixels right and 20 up: the area moved west and south.
  EXPECT_LT(view().BBox.O, west);
  EXPECT_LT(view().BBox.S, south);
  EXPECT_NEAR((west - view().BBox.O) * view().BBox.Rm * TGPXDraw::K, 30, 1e-6);
  EXPECT_NEAR((south - view().BBox.S) * view().BBox.Rm, 20, 1e-6);
}

TEST_F(MapTest, ZoomingWithAltOrCtrlHeldKeepsTheZoomModeAndAPlainReleaseEndsIt) {
  LoadSurvey();
  auto* zoom = Find<QPushButton>("btnTrkZoom");
  auto* image = Find<TImage>("GPXImage");
  form->btnTrkZoomClick();
  EXPECT_EQ(view().MouseMode, mmZoom);
  EXPECT_EQ(image->cursor().shape(), Qt::CrossCursor);
  EXPECT_TRUE(Red(zoom));
  EXPECT_EQ(Status(0), "Select area to zoom in...");

  for (Qt::KeyboardModifiers keys : {Qt::AltModifier, Qt::ControlModifier}) {
    const double rm = view().BBox.Rm;
    DragRectangle({100, 100}, {300, 250}, keys);
    EXPECT_GT(view().BBox.Rm, rm);
    EXPECT_EQ(view().MouseMode, mmZoom);
    EXPECT_TRUE(Red(zoom));
  }
  DragRectangle({100, 100}, {300, 250});
  EXPECT_EQ(view().MouseMode, mmMove);
  EXPECT_EQ(image->cursor().shape(), Qt::SizeAllCursor);
  EXPECT_FALSE(Red(zoom));

  // The button toggles the mode off again.
  form->btnTrkZoomClick();
  form->btnTrkZoomClick();
  EXPECT_EQ(view().MouseMode, mmMove);
  EXPECT_EQ(Status(0), "");
}

TEST_F(MapTest, InDeleteModeWithoutASelectedSegmentNothingIsPickedOrDeleted) {
  LoadSurvey();
  const int before = TrackPointCount(data());
  // As the project window's button would, without the selected segment it asks for.
  TWorkspaceProbe::GPXView(Ws()).MouseMode = mmDeleteTrackPoint;
  const QPoint at = PixelOf(*Segment(0, 0)->GetPoint(3));
  Hover(at);
  EXPECT_EQ(view().wptSelection, nullptr);
  Down(at);
  Up(at);
  EXPECT_EQ(TrackPointCount(data()), before);
  EXPECT_EQ(view().MouseMode, mmMove);
}

TEST_F(MapTest, TheCutterEmptiesTheSelectionAndRebuildsTheArea) {
  LoadSurvey();
  Choose("Segment 2");
  // The east end of the second line, points 30 to 40.
  const TGPXtrkseg* first = Segment(0, 1);
  const QPoint a = PixelOf(*first->GetPoint(30));
  const QPoint b = PixelOf(*first->GetPoint(40));
  const QPoint probe = PixelOf(*first->GetPoint(36));
  ASSERT_TRUE(Ws().ShadowArray()[probe.x()][probe.y()]);
  project->btnDeleteAreaClick();
  EXPECT_EQ(view().MouseMode, mmCutter);
  EXPECT_EQ(Status(0), "Select area to delete...");
  EXPECT_TRUE(Red(Project<QPushButton>("btnDeleteArea")));

  DragRectangle({a.x() - 2, a.y() - 3}, {b.x() + 2, b.y() + 3});
  EXPECT_EQ(first->Count(), 30);
  EXPECT_EQ(data().Selection.Count(), 0);
  EXPECT_FALSE(Ws().ShadowArray()[probe.x()][probe.y()]);  // no track there any more
  EXPECT_EQ(view().MouseMode, mmMove);
  EXPECT_FALSE(Red(Project<QPushButton>("btnDeleteArea")));
  EXPECT_EQ(Status(0), "");
}

TEST_F(MapTest, TheDepthReadoutReadsTheFinishedRunsSnapshot) {
  LoadSurvey();
  // A finished map of 4 x 3 pixels: one masked pixel at half the maximum depth.
  TInterpolatedMap map;
  map.Projection = view().Projection();
  map.Width = 4;
  map.Height = 3;
  map.MaxDepth = 1200;
  map.Mask.SetLength(4, 3);
  map.Mask[1][2] = true;
  TWorkspaceProbe::InterpolatedMap(Ws()) = std::move(map);
  TDoubleArray& grid = TWorkspaceProbe::InterpolVArray(Ws());
  grid.SetLength(4, 3);
  grid[1][2] = 0.5;
  grid[2][2] = 0.5;
  TWorkspaceProbe::SetInterpLoaded(Ws(), true);
  // The live view has moved on since: the readout does not care.
  view().MaxDepth = 99;

  form->InterpolatedImageMouseMove(Qt::NoModifier, Qt::NoButton, 1, 2);
  EXPECT_EQ(Status(0), "Depth: 6.00m");
  {
    const DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    form->InterpolatedImageMouseMove(Qt::NoModifier, Qt::NoButton, 1, 2);
    EXPECT_EQ(Status(0), "Depth: 6,00m");
  }
  form->InterpolatedImageMouseMove(Qt::NoModifier, Qt::NoButton, 2, 2);
  EXPECT_EQ(Status(0), "undiscovered area...");
  // Moves keep coming from outside the picture while a button is held.
  for (const QPoint p : {QPoint(-3, 1), QPoint(4, 1), QPoint(1, 3), QPoint(5000, -5000)}) {
    form->InterpolatedImageMouseMove(Qt::NoModifier, Qt::LeftButton, p.x(), p.y());
    EXPECT_EQ(Status(0), "undiscovered area...") << p.x() << "," << p.y();
  }
}

TEST_F(MapTest, StatusClicksPickTheWaterColoursOnMinAndMaxOnly) {
  LoadSurvey();
  auto* bar = Find<TStatusBar>("sbMain");
  const auto left = [bar](int panel) { return bar->PanelRect(panel).left() + 1; };
  dialogs.shown.clear();
  // Panels 3 and 5 and right of the last panel open nothing.
  for (int x : {left(3), left(5), bar->width() + 50}) form->sbMainClick(x, 5);
  EXPECT_TRUE(dialogs.shown.empty());

  dialogs.colorAnswers.push_back(TColor{0x123456});
  form->sbMainClick(left(2), 5);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, "color");
  EXPECT_EQ(dialogs.shown[0].initialColor, TColor{0x00FF00});  // starts at the current colour
  EXPECT_EQ(Ws().clShallowWater(), TColor{0x123456});
  EXPECT_EQ(view().DepthColorShallow, TColor{0x123456});
  EXPECT_EQ(Ws().IsoView().DepthColorShallow, TColor{0x123456});

  dialogs.colorAnswers.push_back(TColor{0x654321});
  form->sbMainClick(left(4), 5);
  EXPECT_EQ(dialogs.shown.back().initialColor, TColor{0xFF0000});
  EXPECT_EQ(Ws().clDeepWater(), TColor{0x654321});
  EXPECT_EQ(view().DepthColorDeep, TColor{0x654321});
  EXPECT_EQ(Ws().IsoView().DepthColorDeep, TColor{0x654321});

  form->sbMainClick(left(4), 5);  // cancelled: nothing changes
  EXPECT_EQ(dialogs.shown.size(), 3u);
  EXPECT_EQ(Ws().clDeepWater(), TColor{0x654321});
}

TEST_F(MapTest, TheGradientPanelRunsFromShallowToNearlyDeep) {
  QImage image(150, 10, QImage::Format_RGB32);
  image.fill(Qt::black);
  {
    QPainter painter(&image);
    form->sbMainDrawPanel(painter, QRect(0, 0, 150, 10));
  }
  EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 255, 0));
  EXPECT_EQ(image.pixelColor(0, 9), QColor(0, 255, 0));
  // The last column at 149/150: red 0, green 2, blue 253.
  EXPECT_EQ(image.pixelColor(149, 5), QColor(0, 2, 253));
}

TEST_F(MapTest, TheContourViewZoomsWithTheCheckableButtonAndPansOtherwise) {
  LoadSurvey();
  // The contour view shows a copy of the loaded tracks.
  auto* image = Find<TImage>("IsoImage");
  auto* zoom = Find<QPushButton>("btnHtZoom");
  form->btnHtZoomClick();  // nothing without contours
  EXPECT_EQ(Ws().IsoView().MouseMode, mmMove);
  EXPECT_FALSE(zoom->isChecked());

  TWorkspaceProbe::IsoData(Ws()).trk.CopyFrom(data().trk);
  Ws().BindIsoView(image->Picture(), 400, 300);
  form->btnHtFitClick();
  ASSERT_TRUE(Ws().IsoView().BBox.Complete);

  form->btnHtZoomClick();
  EXPECT_EQ(Ws().IsoView().MouseMode, mmZoom);
  EXPECT_TRUE(zoom->isChecked());
  EXPECT_EQ(image->cursor().shape(), Qt::CrossCursor);
  const double rm = Ws().IsoView().BBox.Rm;
  form->IsoImageMouseDown(Qt::LeftButton, Qt::NoModifier, Qt::LeftButton, 50, 50);
  form->IsoImageMouseMove(Qt::NoModifier, Qt::LeftButton, 150, 120);
  form->IsoImageMouseUp(Qt::LeftButton, Qt::AltModifier, Qt::NoButton, 150, 120);
  EXPECT_GT(Ws().IsoView().BBox.Rm, rm);
  EXPECT_EQ(Ws().IsoView().MouseMode, mmZoom);
  form->IsoImageMouseDown(Qt::LeftButton, Qt::NoModifier, Qt::LeftButton, 50, 50);
  form->IsoImageMouseUp(Qt::LeftButton, Qt::NoModifier, Qt::NoButton, 150, 120);
  EXPECT_EQ(Ws().IsoView().MouseMode, mmMove);
  EXPECT_FALSE(zoom->isChecked());
  EXPECT_EQ(image->cursor().shape(), Qt::SizeAllCursor);

  // Panning happens while moving; the release changes nothing more.
  const double west = Ws().IsoView().BBox.O;
  form->IsoImageMouseDown(Qt::LeftButton, Qt::NoModifier, Qt::LeftButton, 100, 100);
  form->IsoImageMouseMove(Qt::NoModifier, Qt::LeftButton, 120, 100);
  const double panned = Ws().IsoView().BBox.O;
  EXPECT_LT(panned, west);
  form->IsoImageMouseUp(Qt::LeftButton, Qt::NoModifier, Qt::NoButton, 140, 100);
  EXPECT_EQ(Ws().IsoView().BBox.O, panned);
}
