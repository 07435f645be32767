// The maps' mouse without widgets: zoom, pan, the cutter and deleting a sample
// on a view over a document, and what each event tells the window to do.

#include <gtest/gtest.h>

#include "app/logic/MapMouse.h"
#include "tests/mapview/ViewFixture.h"

namespace {
struct MouseFixture : ViewFixture {
  MouseFixture() : ViewFixture(400, 300) { SetArea(10, 11, 50, 51); }
  TMouseInput At(int x, int y, bool left = false, bool keep = false) const { return {x, y, left, keep}; }
  int Points() const {
    int n = 0;
    for (const TGPXtrk& trk : doc.trk)
      for (const TGPXtrkseg& seg : trk) n += seg.Count();
    return n;
  }
};
}  // namespace

TEST(MapMouse, ARectangleZoomsKeepingTheModeOnlyWhenAsked) {
  MouseFixture f;
  f.AddSegment({{50, 50, 300}, {350, 250, 900}});
  TMapMouse mouse(f.view, TMapKind::Source);
  const TMouseResult on = mouse.Toggle(mmZoom);
  EXPECT_EQ(on.Mode, mmZoom);
  EXPECT_EQ(on.Status, "Select area to zoom in...");

  const TViewProjection before = f.view.Projection();
  mouse.Down(f.At(100, 100, true), true);
  const TMouseResult drag = mouse.Move(f.At(300, 250, true), true);
  EXPECT_TRUE(drag.Redraw);
  EXPECT_TRUE(drag.Coordinates.has_value());
  EXPECT_EQ(f.surface.Pixel(200, 100), f.view.Options.SelectedColor);  // the rubber band's top edge
  const TMouseResult kept = mouse.Up(f.At(300, 250, false, true), true);
  EXPECT_FALSE(kept.Mode.has_value());
  EXPECT_EQ(mouse.Mode(), mmZoom);
  EXPECT_TRUE(kept.Redraw && kept.RebuildMask && kept.Measure && kept.ScaleChanged);
  EXPECT_FALSE(kept.RefreshTree);
  EXPECT_DOUBLE_EQ(f.view.BBox.O, before.XToLo(100));
  EXPECT_DOUBLE_EQ(f.view.BBox.E, before.XToLo(300));
  EXPECT_DOUBLE_EQ(f.view.BBox.N, before.YToLa(100));
  EXPECT_DOUBLE_EQ(f.view.BBox.S, before.YToLa(250));

  mouse.Down(f.At(10, 10, true), true);
  const TMouseResult ended = mouse.Up(f.At(200, 150), true);
  EXPECT_EQ(ended.Mode, mmMove);
  EXPECT_GT(f.view.BBox.Rm, before.Rm);
  // The button again: off.
  mouse.Toggle(mmZoom);
  const TMouseResult off = mouse.Toggle(mmZoom);
  EXPECT_EQ(off.Mode, mmMove);
  EXPECT_EQ(off.Status, "");
}

TEST(MapMouse, ADragPansWhileMovingAndTheReleaseEndsIt) {
  MouseFixture f;
  f.AddSegment({{50, 50, 300}, {350, 250, 900}});
  for (const TMapKind kind : {TMapKind::Source, TMapKind::Contour}) {
    f.SetArea(10, 11, 50, 51);
    TMapMouse mouse(f.view, kind);
    const double west = f.view.BBox.O, south = f.view.BBox.S, rm = f.view.BBox.Rm;
    mouse.Down(f.At(100, 100, true), true);
    EXPECT_TRUE(mouse.Move(f.At(130, 80, true), true).Redraw);
    // 30 pixels right and 20 up: the area moved west and south by as much.
    EXPECT_NEAR((west - f.view.BBox.O) * rm * TGPXDraw::K, 30, 1e-6);
    EXPECT_NEAR((south - f.view.BBox.S) * rm, 20, 1e-6);
    const TMouseResult up = mouse.Up(f.At(130, 80), true);
    EXPECT_FALSE(up.Mode.has_value());
    EXPECT_FALSE(up.RebuildMask);
    EXPECT_EQ(up.Redraw, kind == TMapKind::Source);  // the contour map was panned while moving
    EXPECT_EQ(mouse.Mode(), mmMove);
  }
}

TEST(MapMouse, TheCutterDeletesTheSamplesInsideTheRectangleAndEmptiesTheSelection) {
  MouseFixture f;
  TGPXtrkseg* line = f.AddSegment({{50, 150, 100}, {100, 150, 200}, {150, 150, 300}, {300, 150, 400}});
  TGPXtrkseg* inside = f.AddSegment({{120, 60, 500}, {140, 70, 600}});
  f.doc.Selection.Add(line);
  TMapMouse mouse(f.view, TMapKind::Source);
  EXPECT_EQ(mouse.Toggle(mmCutter).Status, "Select area to delete...");
  mouse.Down(f.At(90, 50, true), true);
  mouse.Move(f.At(200, 160, true), true);
  const TMouseResult cut = mouse.Up(f.At(200, 160), true);
  EXPECT_EQ(line->Count(), 2);  // the points at x 100 and 150 are gone
  EXPECT_EQ(f.Points(), 2);
  ASSERT_EQ(cut.Unlinked.trkseg.size(), 1u);  // the segment wholly inside left its track
  EXPECT_EQ(cut.Unlinked.trkseg[0].get(), inside);
  EXPECT_EQ(f.doc.Selection.Count(), 0);
  EXPECT_EQ(cut.Mode, mmMove);
  EXPECT_EQ(cut.Status, "");
  EXPECT_TRUE(cut.Redraw && cut.RebuildMask && cut.RefreshTree);
  EXPECT_FALSE(cut.ScaleChanged);
}

TEST(MapMouse, HoveringPicksASampleOfTheSelectedSegmentAndAClickDeletesIt) {
  MouseFixture f;
  TGPXtrkseg* line = f.AddSegment({{50, 150, 100}, {100, 150, 250}, {150, 150, 300}});
  TGPXtrkseg* other = f.AddSegment({{100, 160, 700}});
  TMapMouse mouse(f.view, TMapKind::Source);
  // Without a selected segment nothing is picked or deleted.
  mouse.Toggle(mmDeleteTrackPoint);
  EXPECT_FALSE(mouse.Move(f.At(101, 152), true).Status.has_value());
  mouse.Down(f.At(101, 152, true), true);
  mouse.Up(f.At(101, 152), true);
  EXPECT_EQ(f.Points(), 4);

  f.doc.Selection.Add(line);
  EXPECT_EQ(mouse.Toggle(mmDeleteTrackPoint).Status, "Select sample to delete...");
  const TMouseResult hover = mouse.Move(f.At(101, 158), true);
  ASSERT_EQ(f.view.wptSelection, line->GetPoint(1));  // not the nearer point of the other segment
  EXPECT_EQ(hover.Status, "Delete Point at " + line->GetPoint(1)->Coord() + ", Depth: 2.50m");
  EXPECT_EQ(f.surface.Pixel(100 - 5, 150 - 5), f.view.Options.CutPointColor);  // the marker's cross
  mouse.Down(f.At(101, 158, true), true);
  const TMouseResult click = mouse.Up(f.At(101, 158, false, true), true);
  EXPECT_EQ(line->Count(), 2);
  EXPECT_EQ(other->Count(), 1);
  EXPECT_EQ(f.view.wptSelection, nullptr);
  EXPECT_EQ(mouse.Mode(), mmDeleteTrackPoint);  // kept
  EXPECT_TRUE(click.RebuildMask && click.RefreshTree);
  EXPECT_EQ(click.Status, "");
  // Switched off by its button, the marker goes with a redraw.
  const TMouseResult off = mouse.Toggle(mmDeleteTrackPoint);
  EXPECT_EQ(off.Mode, mmMove);
  EXPECT_TRUE(off.Redraw);
}

TEST(MapMouse, AMapThatShowsNothingOnlyKeepsTheLastPosition) {
  MouseFixture f;
  f.AddSegment({{50, 50, 300}, {350, 250, 900}});
  TMapMouse mouse(f.view, TMapKind::Source);
  mouse.Toggle(mmZoom);
  const double west = f.view.BBox.O;
  mouse.Down(f.At(100, 100, true), false);
  EXPECT_EQ(f.view.MouseX, 0);
  const TMouseResult move = mouse.Move(f.At(37, 41, true), false);
  EXPECT_FALSE(move.Redraw || move.Coordinates || move.Status);
  EXPECT_EQ(f.view.LastX, 37);
  EXPECT_EQ(f.view.LastY, 41);
  mouse.Move(f.At(0, 0), false);  // (0, 0) is no position
  EXPECT_EQ(f.view.LastX, 37);
  const TMouseResult up = mouse.Up(f.At(200, 200), false);
  EXPECT_FALSE(up.Mode || up.Redraw || up.RebuildMask);
  EXPECT_EQ(mouse.Mode(), mmZoom);
  EXPECT_EQ(f.view.BBox.O, west);
}
