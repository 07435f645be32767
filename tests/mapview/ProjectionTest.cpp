#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/mapview/ViewFixture.h"

namespace {

constexpr long double K = 36.0L / 55.0L;

}  // namespace

TEST(MapProjection, TheEightHundredBySixHundredExample) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  EXPECT_EQ(v.BBox.Rx, 800);
  EXPECT_EQ(v.BBox.Ry, 600);
  EXPECT_EQ(v.BBox.Rm, 600);
  EXPECT_EQ(v.LoToX(10.5), 196);
  EXPECT_EQ(v.LaToY(50.5), 300);
  EXPECT_EQ(v.XToLo(0), 10);
  EXPECT_EQ(v.YToLa(600), 50);
  v.CalcRm(true);
  EXPECT_DOUBLE_EQ(v.BBox.Rm, 600 / 1.01);

  // A wide flat area takes its scale from the width, over K.
  f.SetArea(10, 14, 50, 50.5);
  EXPECT_EQ(v.BBox.Rx, 200);
  EXPECT_EQ(v.BBox.Rm, static_cast<double>(200 / K));
}

TEST(MapProjection, TheScaleComesFromTheStoredHorizontalScale) {
  // 100 / 0.0959 is not a double: dividing its extended-precision value by K
  // gives a Rm one step away from dividing the stored Rx.
  ViewFixture f(100, 2000);
  TGPXDraw& v = f.view;
  f.SetArea(10, 10.0959, 50, 51);
  const long double exactRx = 100.0L / (static_cast<long double>(10.0959) - 10);
  ASSERT_NE(static_cast<double>(exactRx / K), static_cast<double>(v.BBox.Rx / K));
  EXPECT_EQ(v.BBox.Rx, static_cast<double>(exactRx));
  EXPECT_EQ(v.BBox.Rm, static_cast<double>(v.BBox.Rx / K));
}

TEST(MapProjection, EveryPixelRoundTripsAndRoundingGoesHalfToEven) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  // At the example's round scale and at an uneven one with 1 % to spare.
  for (bool uneven : {false, true}) {
    if (uneven) {
      f.SetArea(10.123, 10.9, 50.3, 50.71);
      v.CalcRm(true);
    }
    for (int x = -5; x <= 805; ++x) ASSERT_EQ(v.LoToX(v.XToLo(x)), x) << uneven;
    for (int y = -5; y <= 605; ++y) ASSERT_EQ(v.LaToY(v.YToLa(y)), y) << uneven;
  }
  // Latitude 50 + 0.5/600 sits exactly half a pixel above the bottom row.
  f.SetArea(10, 11, 50, 51);
  v.BBox.Rm = 2;  // 0.25° is exactly half a pixel
  EXPECT_EQ(v.LaToY(50.25), 600);  // 0.5 rounds to 0
  EXPECT_EQ(v.LaToY(50.75), 598);  // 1.5 rounds to 2
  v.BBox.Rm = 0;
  EXPECT_EQ(v.XToLo(100), 0);
  EXPECT_EQ(v.YToLa(100), 0);
}

TEST(MapProjection, IsOnScreenIncludesBothEnds) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  struct Case {
    int x, y;
    bool on;
  };
  const Case cases[] = {{0, 0, true},     {800, 600, true}, {801, 300, false},
                        {-1, 300, false}, {400, 601, false}, {400, -1, false}};
  for (const Case& c : cases) EXPECT_EQ(v.IsOnScreen(*f.AtPixel(c.x, c.y)), c.on) << c.x << "," << c.y;
}

TEST(MapProjection, FarOffPointsNeverWrapAfterDeepZooms) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(v.ZoomTo({399, 301, 401, 299}));  // each 300 times deeper
  const auto far = MakePoint(50.5, 11.5);
  EXPECT_GT(v.LoToX64(far->Longitude), std::int64_t{1} << 40);
  EXPECT_EQ(v.LoToX(far->Longitude), std::numeric_limits<int>::max());
  EXPECT_FALSE(v.IsOnScreen(*far));
  const auto west = MakePoint(50.5, 10.5);
  EXPECT_EQ(v.LoToX(west->Longitude), std::numeric_limits<int>::min());

  // A stroke from the centre toward the far point runs east on screen.
  v.TrackWidth = 1;
  v.Options.BackGroundColor = ViewFixture::kWhite;
  auto& seg = *f.AddSegment({{400, 300, 0}});
  seg.Add(MakePoint(v.YToLa(300), 11.5));
  v.Redraw();
  EXPECT_NE(f.surface.Pixel(799, 300), ViewFixture::kWhite);
  EXPECT_EQ(f.surface.Pixel(399, 300), ViewFixture::kWhite);
}

TEST(MapProjection, SnapshotKeepsItsPositionsWhileTheViewMoves) {
  ViewFixture f;
  const TViewProjection before = f.view.Projection();
  const double lon = f.view.XToLo(123);
  ASSERT_TRUE(f.view.ZoomIn());
  EXPECT_NE(f.view.XToLo(123), lon);
  EXPECT_EQ(before.XToLo(123), lon);
  EXPECT_EQ(before.Height, 600);
}

TEST(MapVisibleArea, ResetBBoxCentresTheDataWithOnePercentToSpare) {
  ViewFixture f;
  AddTrack(f.doc, {{50, 10}, {51, 11}});
  TGPXDraw& v = f.view;
  v.BBox.Clear();
  v.ResetBBox(true, true);
  EXPECT_TRUE(v.BBox.Complete);
  EXPECT_DOUBLE_EQ(v.BBox.Rm, 600 / 1.01);
  const int west = v.LoToX(10), east = v.LoToX(11);
  EXPECT_LE(std::abs(west - (800 - east)), 1);
  const int north = v.LaToY(51), south = v.LaToY(50);
  EXPECT_LE(std::abs(north - (600 - south)), 1);
  EXPECT_GT(north, 0);
  // The box spans the view.
  EXPECT_NEAR(v.LoToX(v.BBox.E), 800, 1);
  EXPECT_NEAR(v.LaToY(v.BBox.N), 0, 1);
}

TEST(MapVisibleArea, ResetBBoxIgnoresDisabledPointsAndTooShortLists) {
  ViewFixture single;
  single.AddSegment({{100, 100, 0}});  // one point: no box of its own
  EXPECT_TRUE(single.view.ZoomIn());
  single.view.ResetBBox(true, true);
  EXPECT_FALSE(single.view.BBox.Complete);
  EXPECT_FALSE(single.view.ZoomIn());

  ViewFixture f;
  TGPXtrkseg* seg = f.AddSegment({{100, 100, 0}, {200, 150, 0}, {700, 500, 0}});
  seg->GetPoint(2)->enabled = false;
  const double east = seg->GetPoint(1)->Longitude;
  f.view.ResetBBox(false, false);
  EXPECT_TRUE(f.view.BBox.Complete);
  EXPECT_EQ(f.view.BBox.E, east);
}

TEST(MapVisibleArea, AViewWithoutWidthOrHeightIsNotCentred) {
  ViewFixture f(800, 600);
  f.AddSegment({{100, 100, 0}, {700, 500, 0}});
  const TBBox& b = f.view.BBox;
  for (auto [w, h] : {std::pair{0, 600}, std::pair{800, 0}, std::pair{0, 0}}) {
    f.view.Resize(w, h);
    f.view.ResetBBox(true, true);
    EXPECT_TRUE(std::isfinite(b.N) && std::isfinite(b.S) && std::isfinite(b.E) && std::isfinite(b.O))
        << w << " x " << h;
    EXPECT_LT(b.O, b.E);
    EXPECT_LT(b.S, b.N);
    f.view.Resize(800, 600);
  }
}

TEST(MapVisibleArea, ZoomInAndOutTakeFifteenPercentAboutTheCentre) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  const double rm = v.BBox.Rm;
  const double o = v.XToLo(60), e = v.XToLo(740), s = v.YToLa(600 - 45), n = v.YToLa(600 - 555);
  ASSERT_TRUE(v.ZoomIn());
  EXPECT_EQ(v.BBox.O, o);
  EXPECT_EQ(v.BBox.E, e);
  EXPECT_EQ(v.BBox.S, s);
  EXPECT_EQ(v.BBox.N, n);
  EXPECT_NEAR(v.BBox.Rm, rm / 0.85, 1e-9);

  f.SetArea(10, 11, 50, 51);
  const double o2 = v.XToLo(-60), e2 = v.XToLo(860), s2 = v.YToLa(645), n2 = v.YToLa(-45);
  ASSERT_TRUE(v.ZoomOut());
  EXPECT_EQ(v.BBox.O, o2);
  EXPECT_EQ(v.BBox.E, e2);
  EXPECT_EQ(v.BBox.S, s2);
  EXPECT_EQ(v.BBox.N, n2);
}

TEST(MapVisibleArea, ZoomToRefusesACollapsedRectangleOrAnIncompleteArea) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  const double o = v.BBox.O, rm = v.BBox.Rm;
  EXPECT_FALSE(v.ZoomTo({100, 50, 100, 300}));
  EXPECT_FALSE(v.ZoomTo({100, 50, 400, 50}));
  EXPECT_EQ(v.BBox.O, o);
  EXPECT_EQ(v.BBox.Rm, rm);
  v.BBox.Complete = false;
  EXPECT_FALSE(v.ZoomTo({0, 0, 400, 300}));
  EXPECT_EQ(v.BBox.O, o);
  // Rectangles count y from the bottom: its bottom row 0 is the view's south edge.
  v.BBox.Complete = true;
  ASSERT_TRUE(v.ZoomTo({400, 300, 0, 0}));
  EXPECT_EQ(v.BBox.S, 50);
  EXPECT_EQ(v.BBox.O, 10);

  // A complete area without a scale gets one before the rectangle is read.
  f.SetArea(10, 11, 50, 51);
  v.BBox.Rm = 0;
  ASSERT_TRUE(v.ZoomTo({0, 600, 400, 300}));
  EXPECT_EQ(v.BBox.O, 10);
  EXPECT_EQ(v.BBox.N, 51);
  EXPECT_EQ(v.BBox.E, static_cast<double>(10 + 400 / 600.0L / K));
  EXPECT_EQ(v.BBox.S, 50.5);
}

TEST(MapVisibleArea, PanningMovesTheMapWithTheMouse) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  const double lon = v.XToLo(100), lat = v.YToLa(200);
  v.MoveMouseTo(100, 200);  // nothing stored yet: only stores
  EXPECT_EQ(v.XToLo(100), lon);
  EXPECT_EQ(v.MouseX, 100);
  v.MoveMouseTo(130, 180);
  EXPECT_EQ(v.LoToX(lon), 130);
  EXPECT_EQ(v.LaToY(lat), 180);
  EXPECT_EQ(v.MouseY, 180);

  // A stored position of (0, 0) counts as none.
  v.MouseX = v.MouseY = 0;
  const double before = v.BBox.O;
  v.MoveMouseTo(50, 50);
  EXPECT_EQ(v.BBox.O, before);
}

TEST(MapVisibleArea, ZoomAtAPointKeepsThatPointInPlace) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  const double lon = v.XToLo(200), lat = v.YToLa(150);
  ASSERT_TRUE(v.ZoomInAt({200, 150}));
  EXPECT_NEAR(v.LoToX(lon), 200, 1);
  EXPECT_NEAR(v.LaToY(lat), 150, 1);
  ASSERT_TRUE(v.ZoomOutAt({200, 150}));
  EXPECT_NEAR(v.LoToX(lon), 200, 1);
  EXPECT_NEAR(v.LaToY(lat), 150, 1);
}

TEST(MapVisibleArea, ZoomMouseToAndZoomToPointList) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  const double o = v.XToLo(100), e = v.XToLo(300), n = v.YToLa(50), s = v.YToLa(250);
  v.MouseX = 300;
  v.MouseY = 50;
  ASSERT_TRUE(v.ZoomMouseTo(100, 250));
  EXPECT_EQ(v.BBox.O, o);
  EXPECT_EQ(v.BBox.E, e);
  EXPECT_EQ(v.BBox.N, n);
  EXPECT_EQ(v.BBox.S, s);

  f.SetArea(10, 11, 50, 51);
  TGPXtrkseg* seg = f.AddSegment({{10, 10, 0}, {100, 100, 0}, {300, 200, 0}, {790, 590, 0}});
  seg->CalcBBox(true);
  const double listEast = seg->BBox.E;
  ASSERT_TRUE(v.ZoomToPointListFromTo(*seg, 1, 2));
  EXPECT_EQ(seg->BBox.E, listEast);  // the list keeps its own box
  // Points 1 and 2 now fill the view, centred.
  const int x1 = v.Point4D2ToX(*seg->GetPoint(1)), x2 = v.Point4D2ToX(*seg->GetPoint(2));
  const int y1 = v.Point4D2ToY(*seg->GetPoint(1)), y2 = v.Point4D2ToY(*seg->GetPoint(2));
  EXPECT_LE(std::abs(x1 - (800 - x2)), 1);
  EXPECT_LE(std::abs(y2 - (600 - y1)), 1);
  EXPECT_TRUE(x1 <= 1 || y2 <= 1);
}

TEST(MapViewLifeCycle, ClearResetsTheStateButKeepsScaleAndOptions) {
  ViewFixture f;
  TGPXDraw& v = f.view;
  TGPXtrkseg* seg = f.AddSegment({{10, 10, 0}, {100, 100, 0}});
  f.doc.Selection.Add(seg);
  v.MouseX = 5, v.LastY = 7, v.MouseMode = mmCutter;
  v.Options.BackGroundColor = 0x123456;
  v.ShadowMapEnabled = true;
  v.Resize(800, 600);
  f.surface.Fill(0);
  const double rm = v.BBox.Rm;
  v.Clear();
  EXPECT_EQ(v.Width(), 0);
  EXPECT_EQ(v.Buffer.Width(), 0);
  EXPECT_EQ(v.ShadowMap.Width(), 0);
  EXPECT_FALSE(v.BBox.Complete);
  EXPECT_EQ(v.BBox.Rm, rm);
  EXPECT_EQ(v.MouseX, 0);
  EXPECT_EQ(v.LastY, 0);
  EXPECT_EQ(v.MouseMode, mmMove);
  EXPECT_EQ(f.doc.Selection.Count(), 0);
  EXPECT_EQ(f.doc.trk.Count(), 1);  // nothing freed
  EXPECT_EQ(f.surface.Pixel(799, 599), 0x123456u);
  EXPECT_EQ(v.Options.BackGroundColor, 0x123456u);
}

TEST(MapViewLifeCycle, TheShadowMapFollowsTheSizeOnlyWhileEnabled) {
  TGPXDraw v;
  EXPECT_EQ(v.nPolygon, -1);
  EXPECT_EQ(v.TrackWidth, 2);
  EXPECT_EQ(v.ShadowMapTrackWidth, 30);
  EXPECT_EQ(v.MaxDepth, 1500);
  EXPECT_EQ(v.DepthColorShallow, 0x0000FFu);
  EXPECT_EQ(v.Options.BackGroundColor, 0xC0C0C0u);
  v.Resize(30, 20);
  EXPECT_EQ(v.Buffer2.Width(), 30);
  EXPECT_EQ(v.ShadowMap.Width(), 0);
  v.ShadowMapEnabled = true;
  v.ResizeToRect({40, 50, 10, 10});
  EXPECT_EQ(v.ShadowMap.Width(), 30);
  EXPECT_EQ(v.ShadowMap.Height(), 40);
  EXPECT_EQ(v.Height(), 40);
}
