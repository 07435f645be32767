#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "model/ColorInterpolate.h"
#include "tests/mapview/ViewFixture.h"

namespace {

constexpr TColor kWhite = ViewFixture::kWhite;
constexpr TColor kBlack = 0x000000;
constexpr TColor kShallow = 0x0000FF;
constexpr TColor kDeep = 0xFF0000;
constexpr TColor kSelected = 0x00FF00;

// A white view with the shadow map on, the way the main window sets it up.
struct DrawFixture : ViewFixture {
  DrawFixture() {
    view.Options.BackGroundColor = kWhite;
    view.Options.SelectedColor = kSelected;
    view.ShadowMapEnabled = true;
    view.Resize(800, 600);
  }
};

}  // namespace

TEST(MapDrawing, StrokesTakeTheColourOfTheDepthTheyStartFrom) {
  DrawFixture f;
  f.AddSegment({{100, 300, 0}, {200, 300, 500}, {300, 300, 1500}, {400, 300, 0}});
  f.view.Redraw();
  const TBitmap& s = f.surface;
  EXPECT_EQ(s.Pixel(150, 300), kShallow);
  EXPECT_EQ(s.Pixel(250, 300), InterpolateColor(kShallow, kDeep, 500.0 / 1500));
  EXPECT_EQ(s.Pixel(350, 300), kDeep);
  // Track width 2: the rows y − 1 and y.
  EXPECT_EQ(s.Pixel(250, 299), s.Pixel(250, 300));
  EXPECT_EQ(s.Pixel(250, 298), kWhite);
  EXPECT_EQ(s.Pixel(250, 301), kWhite);

  // Only the strokes from a point with depth reach the shadow map, with the
  // width-30 pen: rows 285 to 314 between the ends, round caps at 200 and 400.
  const TBitmap& m = f.view.ShadowMap;
  EXPECT_EQ(m.Width(), 800);
  EXPECT_EQ(m.Pixel(150, 300), kWhite);
  EXPECT_EQ(m.Pixel(184, 300), kWhite);
  EXPECT_EQ(m.Pixel(186, 300), kBlack);
  EXPECT_EQ(m.Pixel(250, 285), kBlack);
  EXPECT_EQ(m.Pixel(250, 314), kBlack);
  EXPECT_EQ(m.Pixel(250, 284), kWhite);
  EXPECT_EQ(m.Pixel(250, 315), kWhite);
  EXPECT_EQ(m.Pixel(413, 300), kBlack);
  EXPECT_EQ(m.Pixel(416, 300), kWhite);
  EXPECT_EQ(ViewFixture::ColoursOf(m), (std::set<TColor>{kWhite, kBlack}));
  // The finished picture is in the buffers.
  EXPECT_EQ(f.view.Buffer.Pixel(250, 300), s.Pixel(250, 300));
  EXPECT_EQ(f.view.Buffer2.Pixel(350, 300), kDeep);
}

TEST(MapDrawing, PensFollowTheTrackAndShadowMapSettings) {
  DrawFixture f;
  constexpr TColor kGrey = 0x808080;
  f.view.TrackWidth = 5;
  f.view.ShadowMapTrackWidth = 10;
  f.view.ShadowMapTrackColor = kGrey;
  f.AddSegment({{100, 300, 500}, {300, 300, 500}});
  f.view.Redraw();
  const TColor stroke = InterpolateColor(kShallow, kDeep, 500.0 / 1500);
  // Odd width 5 on the surface: rows 298 .. 302.
  EXPECT_EQ(f.surface.Pixel(200, 298), stroke);
  EXPECT_EQ(f.surface.Pixel(200, 302), stroke);
  EXPECT_EQ(f.surface.Pixel(200, 297), kWhite);
  EXPECT_EQ(f.surface.Pixel(200, 303), kWhite);
  // Even width 10 on the shadow map: rows 295 .. 304, in the shadow colour only.
  const TBitmap& m = f.view.ShadowMap;
  EXPECT_EQ(m.Pixel(200, 295), kGrey);
  EXPECT_EQ(m.Pixel(200, 304), kGrey);
  EXPECT_EQ(m.Pixel(200, 294), kWhite);
  EXPECT_EQ(m.Pixel(200, 305), kWhite);
  EXPECT_EQ(ViewFixture::ColoursOf(m), (std::set<TColor>{kWhite, kGrey}));
}

TEST(MapDrawing, ShoreLinesAndSelectionColours) {
  DrawFixture f;
  TGPXtrkseg* shore = f.AddSegment({{100, 100, 0}, {300, 100, 0}}, 0);
  TGPXtrkseg* chosenShore = f.AddSegment({{100, 200, 0}, {300, 200, 0}}, 0);
  TGPXtrkseg* chosenDeep = f.AddSegment({{100, 400, 750}, {300, 400, 750}});
  (void)shore;
  f.doc.Selection.Add(chosenShore);
  f.doc.Selection.Add(chosenDeep);
  f.view.Redraw();
  const TBitmap& s = f.surface;
  EXPECT_EQ(s.Pixel(200, 100), kShallow);
  EXPECT_EQ(s.Pixel(200, 200), kSelected);
  // Selected with depth: depth colours, twice the track width (rows y − 2 .. y + 1).
  const TColor half = InterpolateColor(kShallow, kDeep, 0.5);
  EXPECT_EQ(s.Pixel(200, 398), half);
  EXPECT_EQ(s.Pixel(200, 401), half);
  EXPECT_EQ(s.Pixel(200, 402), kWhite);
  // Shore lines leave the shadow map white.
  EXPECT_EQ(f.view.ShadowMap.Pixel(200, 100), kWhite);
  EXPECT_EQ(f.view.ShadowMap.Pixel(200, 200), kWhite);
  EXPECT_EQ(f.view.ShadowMap.Pixel(200, 400), kBlack);
}

TEST(MapDrawing, SelectedSegmentsLieOnTopOfTheOthers) {
  DrawFixture f;
  TGPXtrkseg* selected = f.AddSegment({{300, 100, 1500}, {300, 500, 1500}});
  f.AddSegment({{100, 300, 0}, {500, 300, 0}});  // drawn later in the list
  f.doc.Selection.Add(selected);
  f.view.Redraw();
  EXPECT_EQ(f.surface.Pixel(300, 300), kDeep);
}

TEST(MapDrawing, DisabledSegmentsAndPointOnlyEditingDrawNothing) {
  DrawFixture f;
  TGPXtrkseg* seg = f.AddSegment({{100, 300, 500}, {300, 300, 500}});
  seg->SetEnabled(false);
  f.view.Redraw();
  EXPECT_EQ(ViewFixture::ColoursOf(f.surface), std::set<TColor>{kWhite});
  EXPECT_EQ(ViewFixture::ColoursOf(f.view.ShadowMap), std::set<TColor>{kWhite});

  seg->SetEnabled(true);
  f.view.TrackRouteEdition = true;
  f.view.Options.TREPointDraw = 1;
  f.view.Redraw();
  EXPECT_EQ(ViewFixture::ColoursOf(f.surface), std::set<TColor>{kWhite});
  EXPECT_EQ(ViewFixture::ColoursOf(f.view.ShadowMap), std::set<TColor>{kWhite});
}

TEST(MapDrawing, AMaximumDepthOfZeroOrLessGivesTheDeepColour) {
  for (int maxDepth : {0, -100}) {
    DrawFixture f;
    f.view.MaxDepth = maxDepth;
    f.AddSegment({{100, 300, 5}, {300, 300, 0}});
    f.view.Redraw();
    EXPECT_EQ(f.surface.Pixel(200, 300), kDeep) << maxDepth;
  }
}

TEST(MapDrawing, StrokesWithinOnePixelAreSkippedButTheLast) {
  DrawFixture f;
  // Three points on one pixel: only the final, zero-length stroke is drawn, which
  // with the wide pen is a disc of 30 rows.
  f.AddSegment({{400, 300, 100}, {400, 300, 100}, {400, 300, 100}});
  f.view.Redraw();
  const TBitmap& m = f.view.ShadowMap;
  EXPECT_EQ(m.Pixel(400, 285), kBlack);
  EXPECT_EQ(m.Pixel(400, 314), kBlack);
  EXPECT_EQ(m.Pixel(400, 284), kWhite);
  EXPECT_EQ(m.Pixel(385, 300), kBlack);
  EXPECT_EQ(m.Pixel(384, 300), kWhite);
  EXPECT_EQ(m.Pixel(414, 300), kBlack);
  EXPECT_EQ(m.Pixel(415, 300), kWhite);
  // On the surface a width-2 disc: the 2 x 2 pixels up and left of the point.
  EXPECT_EQ(f.surface.Pixel(399, 299), InterpolateColor(kShallow, kDeep, 100.0 / 1500));
  EXPECT_EQ(f.surface.Pixel(400, 300), InterpolateColor(kShallow, kDeep, 100.0 / 1500));
  EXPECT_EQ(f.surface.Pixel(401, 300), kWhite);
}

TEST(MapDrawing, DrawListFromToDrawsOnlyItsRangeAndRefusesWithoutArea) {
  DrawFixture f;
  TGPXtrkseg* seg = f.AddSegment({{100, 300, 0}, {200, 300, 0}, {300, 300, 0}, {400, 300, 0}});
  f.view.Canvas->Pen.Width = 1;
  EXPECT_TRUE(f.view.DrawPointListFromTo(*seg, 1, 2, false));
  EXPECT_EQ(f.surface.Pixel(150, 300), kWhite);
  EXPECT_EQ(f.surface.Pixel(250, 300), kShallow);
  EXPECT_EQ(f.surface.Pixel(350, 300), kWhite);
  EXPECT_TRUE(f.view.DrawPointListFromTo(*seg, 2, 2, false));
  TGPXtrkseg empty;
  EXPECT_FALSE(f.view.DrawPointList(empty, false));
  f.view.BBox.Complete = false;
  EXPECT_FALSE(f.view.DrawPointList(*seg, false));
}

TEST(MapMarkers, ShapesAndThePenWidthAfterwards) {
  DrawFixture f;
  TCanvas& c = f.surface.Canvas();
  c.Pen.Width = 7;
  const auto p = f.AtPixel(100, 100);

  ASSERT_TRUE(f.view.DrawPoint4D(p.get(), kBlack, 9, ""));
  EXPECT_EQ(f.surface.Pixel(100, 100), kBlack);
  EXPECT_EQ(f.surface.Pixel(101, 100), kWhite);
  EXPECT_EQ(c.Pen.Width, 7);

  const auto q = f.AtPixel(200, 200);
  ASSERT_TRUE(f.view.DrawPoint4D(q.get(), kSelected, 5, ""));
  EXPECT_EQ(c.Pen.Width, 7);
  EXPECT_EQ(f.surface.Pixel(200, 200), kSelected);
  EXPECT_EQ(f.surface.Pixel(196, 196), kSelected);
  EXPECT_EQ(f.surface.Pixel(204, 196), kSelected);
  EXPECT_EQ(f.surface.Pixel(195, 196), kSelected);  // two pixels wide
  EXPECT_EQ(f.surface.Pixel(200, 196), kWhite);

  const auto r = f.AtPixel(300, 300);
  ASSERT_TRUE(f.view.DrawPoint4D(r.get(), kBlack, 0, ""));
  for (auto [x, y] : {std::pair{294, 294}, {294, 306}, {306, 306}, {306, 294}, {300, 294}})
    EXPECT_EQ(f.surface.Pixel(x, y), kBlack) << x << "," << y;
  EXPECT_EQ(f.surface.Pixel(300, 300), kWhite);

  const auto filled = f.AtPixel(400, 400);
  ASSERT_TRUE(f.view.DrawPoint4D(filled.get(), kBlack, 4, ""));
  EXPECT_EQ(f.surface.Pixel(400, 400), kBlack);  // brush of the marker's colour

  EXPECT_FALSE(f.view.DrawPoint4D(nullptr, kBlack, 9, ""));
  const auto off = f.AtPixel(801, 100);
  EXPECT_FALSE(f.view.DrawPoint4D(off.get(), kBlack, 9, ""));
}

namespace {

// The user's documents folder pointed at a scratch folder for one test.
class MapSymbolFolder : public ::testing::Test {
protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DOCUMENTS_DIR");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    root_ = std::filesystem::temp_directory_path() / ("shoalwright_symbols_" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_ / "My Garmin" / "Custom Waypoint Symbols");
    ::setenv("XDG_DOCUMENTS_DIR", root_.c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("XDG_DOCUMENTS_DIR", saved_->c_str(), 1);
    } else {
      ::unsetenv("XDG_DOCUMENTS_DIR");
    }
    std::filesystem::remove_all(root_);
  }
  std::string Folder() const { return (root_ / "My Garmin" / "Custom Waypoint Symbols").string() + "/"; }

  std::filesystem::path root_;
  std::optional<std::string> saved_;
};

}  // namespace

TEST_F(MapSymbolFolder, SymbolNamesGiveTheirFiles) {
  TGPXDraw v;
  struct Case {
    const char* symbol;
    std::string file;  // relative to the folder; empty for none
  };
  const Case cases[] = {
      {"Custom 7", "007.bmp"},         {"Custom 1234", "1234.bmp"}, {"Custom -5", "-005.bmp"},
      {"Custom x", ""},                {"Custom -1", ""},           {"Custom ", "Custom_.bmp"},
      {"Fishing Hot Spot", "Fishing_Hot_Spot.bmp"},                 {"../up/out", "..-up-out.bmp"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(v.IconFileName(c.symbol), c.file.empty() ? "" : Folder() + c.file) << c.symbol;
  }
}

TEST_F(MapSymbolFolder, IconsAreDrawnOpaqueOrTransparentAndMissingOnesFallBack) {
  TBitmap icon(4, 2);
  icon.Fill(0x00FF00);             // the transparent colour: bottom-left pixel
  icon.SetPixel(1, 0, 0x0000FF);
  ASSERT_TRUE(icon.SaveToFile(Folder() + "007.bmp"));

  DrawFixture f;
  const auto p = f.AtPixel(100, 100);
  ASSERT_TRUE(f.view.DrawIcon(p.get(), "Custom 7"));
  // Opaque: copied into (x − 2, y − 1, x + 2, y + 1).
  EXPECT_EQ(f.surface.Pixel(98, 99), 0x00FF00u);
  EXPECT_EQ(f.surface.Pixel(99, 99), 0x0000FFu);
  EXPECT_EQ(f.surface.Pixel(101, 100), 0x00FF00u);
  EXPECT_EQ(f.surface.Pixel(102, 100), kWhite);

  f.view.Options.IconsAreTransparent = true;
  const auto q = f.AtPixel(200, 200);
  ASSERT_TRUE(f.view.DrawIcon(q.get(), "Custom 7"));
  EXPECT_EQ(f.surface.Pixel(198, 199), kWhite);
  EXPECT_EQ(f.surface.Pixel(199, 199), 0x0000FFu);

  EXPECT_FALSE(f.view.DrawIcon(q.get(), "Custom 8"));
  EXPECT_FALSE(f.view.DrawIcon(q.get(), "Custom x"));
  // Shape 6 without its file: the square of shape 0.
  const auto r = f.AtPixel(300, 300);
  ASSERT_TRUE(f.view.DrawPoint4D(r.get(), kBlack, 6, "Custom 8"));
  EXPECT_EQ(f.surface.Pixel(294, 294), kBlack);
  EXPECT_EQ(f.surface.Pixel(306, 306), kBlack);
}

TEST(MapShorelines, DropConsecutiveDuplicatesAndKeepTheLastPoint) {
  ViewFixture f;
  TGPXtrkseg* lake = f.AddSegment({{10, 10, 0}, {10, 10, 0}, {50, 10, 0}, {50, 50, 0}, {50, 50, 0}}, 0);
  TGPXtrkseg* dot = f.AddSegment({{70, 70, 0}, {70, 70, 0}, {70, 70, 0}}, 0);
  f.AddSegment({{1, 1, 300}, {5, 5, 300}});  // depth: not a shore line
  dot->SetEnabled(false);                    // shore lines count enabled or not
  (void)lake;
  f.view.GenerateAllShorelinePolygons();
  ASSERT_EQ(f.view.nPolygon, 1);
  ASSERT_EQ(f.view.ShorelinePolygons.size(), 2u);
  EXPECT_EQ(f.view.ShorelinePolygons[0],
            (std::vector<TPoint>{{10, 10}, {50, 10}, {50, 50}, {50, 50}}));
  EXPECT_EQ(f.view.ShorelinePolygons[1], (std::vector<TPoint>{{70, 70}, {70, 70}}));

  // A rebuild starts afresh; without a complete area nothing is added.
  f.view.GenerateAllShorelinePolygons();
  EXPECT_EQ(f.view.ShorelinePolygons.size(), 2u);
  f.view.BBox.Complete = false;
  f.view.GenerateAllShorelinePolygons();
  EXPECT_EQ(f.view.nPolygon, -1);
  EXPECT_TRUE(f.view.ShorelinePolygons.empty());
}

TEST(MapSelectionRect, EachOutlineWipesThePreviousOne) {
  DrawFixture f;
  f.view.Redraw();
  f.view.MouseX = 100;
  f.view.MouseY = 100;
  f.view.DrawMouseSelectionRectTo(200, 150, kSelected);
  EXPECT_EQ(f.surface.Pixel(100, 100), kSelected);
  EXPECT_EQ(f.surface.Pixel(200, 150), kSelected);
  EXPECT_EQ(f.surface.Pixel(150, 150), kSelected);
  EXPECT_EQ(f.surface.Pixel(150, 125), kWhite);
  f.view.DrawMouseSelectionRectTo(120, 120, kSelected);
  EXPECT_EQ(f.surface.Pixel(200, 150), kWhite);
  EXPECT_EQ(f.surface.Pixel(120, 110), kSelected);
  EXPECT_EQ(f.surface.Canvas().Pen.Width, 1);
}

TEST(MapDrawOptions, CopyFromTakesEverythingButTheTrackColour) {
  TDrawOptions from;
  from.AskBeforeDelete = false;
  from.BackGroundColor = 1;
  from.WayPointColor = 2;
  from.TrackColor = 3;
  from.RouteColor = 4;
  from.SelectedColor = 5;
  from.CutPointColor = 6;
  from.RightClicSelects = false;
  from.ShowComputedSpeed = false;
  from.ShowGPXData = true;
  from.DrawPLStart = true;
  from.TREZoomReset = true;
  from.TREPointDraw = 7;
  from.ExtensionLineColor = true;
  from.UseGarminIcons = true;
  from.IconsAreTransparent = true;
  TDrawOptions to;
  to.CopyFrom(from);
  EXPECT_EQ(to.TrackColor, 0u);
  EXPECT_FALSE(to.AskBeforeDelete);
  EXPECT_EQ(to.BackGroundColor, 1u);
  EXPECT_EQ(to.WayPointColor, 2u);
  EXPECT_EQ(to.RouteColor, 4u);
  EXPECT_EQ(to.SelectedColor, 5u);
  EXPECT_EQ(to.CutPointColor, 6u);
  EXPECT_FALSE(to.RightClicSelects);
  EXPECT_FALSE(to.ShowComputedSpeed);
  EXPECT_TRUE(to.ShowGPXData && to.DrawPLStart && to.TREZoomReset && to.ExtensionLineColor && to.UseGarminIcons &&
              to.IconsAreTransparent);
  EXPECT_EQ(to.TREPointDraw, 7);
}
