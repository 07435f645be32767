#include <gtest/gtest.h>

#include "tests/mapview/ViewFixture.h"

namespace {

struct EditFixture : ViewFixture {
  TGPXwpt* AddWaypoint(int x, int y) {
    doc.wpt.Add(AtPixel(x, y));
    return doc.wpt.GetWaypoint(doc.wpt.Count() - 1);
  }
  TGPXrte* AddRoute(std::initializer_list<std::pair<int, int>> pixels) {
    auto route = std::make_unique<TGPXrte>();
    for (auto [x, y] : pixels) route->Add(AtPixel(x, y));
    TGPXrte* raw = route.get();
    doc.rte.Add(std::move(route));
    return raw;
  }
  // A further segment in an existing track.
  TGPXtrkseg* AddSegmentTo(TGPXtrk& track, std::initializer_list<std::pair<int, int>> pixels) {
    auto segment = std::make_unique<TGPXtrkseg>();
    for (auto [x, y] : pixels) segment->Add(AtPixel(x, y));
    TGPXtrkseg* raw = segment.get();
    track.Add(std::move(segment));
    return raw;
  }
  std::vector<const TObject*> Selected() const { return {doc.Selection.begin(), doc.Selection.end()}; }
};

}  // namespace

TEST(MapSelection, TheNearestObjectWinsAndTiesKeepTheEarlierKind) {
  EditFixture f;
  TGPXwpt* waypoint = f.AddWaypoint(100, 100);
  TGPXtrkseg* seg = f.AddSegment({{100, 100, 0}, {300, 300, 0}});
  TGPXrte* route = f.AddRoute({{500, 500}, {600, 500}});
  const auto where = f.AtPixel(100, 100);
  f.view.SelectAnything(*where, false);
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{waypoint});

  f.view.SelectAnything(*f.AtPixel(290, 290), false);
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{seg});
  f.view.SelectRoute(*f.AtPixel(290, 290), true);
  EXPECT_EQ(f.Selected(), (std::vector<const TObject*>{seg, route}));
  f.view.SelectWayPoint(*f.AtPixel(700, 500), false);
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{waypoint});
}

TEST(MapSelection, AddingAnAlreadySelectedSegmentChangesNothing) {
  EditFixture f;
  TGPXtrkseg* a = f.AddSegment({{100, 100, 0}, {110, 100, 0}});
  TGPXtrkseg* b = f.AddSegment({{500, 100, 0}, {510, 100, 0}});
  f.doc.Selection.Add(b);
  f.doc.Selection.Add(a);
  f.view.SelectTrack(*f.AtPixel(105, 100), true);
  EXPECT_EQ(f.Selected(), (std::vector<const TObject*>{b, a}));
  f.view.SelectTrack(*f.AtPixel(105, 100), false);
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{a});

  // Nothing of the kind in the document: nothing changes.
  f.view.SelectRoute(*f.AtPixel(105, 100), false);
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{a});
}

TEST(MapCutPoint, SelectForCutPicksTheNearestListAndItsNearestPoint) {
  EditFixture f;
  f.AddWaypoint(300, 300);  // waypoints are not cut
  TGPXrte* route = f.AddRoute({{100, 100}, {200, 100}});
  TGPXtrkseg* seg = f.AddSegment({{280, 300, 0}, {400, 300, 0}, {500, 300, 0}});
  f.view.SelectForCut(*f.AtPixel(310, 300));
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{seg});
  EXPECT_EQ(f.view.wptSelection, seg->GetWaypoint(0));
  f.view.SelectForCut(*f.AtPixel(190, 90));
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{route});
  EXPECT_EQ(f.view.wptSelection, route->GetWaypoint(1));
}

TEST(MapCutPoint, SelectForCutSelectedNeedsExactlyOneListWithPoints) {
  EditFixture f;
  TGPXwpt* waypoint = f.AddWaypoint(300, 300);
  TGPXtrkseg* seg = f.AddSegment({{100, 100, 0}, {200, 100, 0}});
  TGPXtrkseg* other = f.AddSegment({{100, 400, 0}, {200, 400, 0}});
  TGPXwpt* before = other->GetWaypoint(0);
  f.view.wptSelection = before;
  const auto where = f.AtPixel(190, 100);

  f.doc.Selection.Add(seg);
  f.doc.Selection.Add(other);
  f.view.SelectForCutSelected(*where);  // two selected
  EXPECT_EQ(f.view.wptSelection, before);

  f.doc.Selection.Clear();
  f.doc.Selection.Add(waypoint);
  f.view.SelectForCutSelected(*where);  // not a list
  EXPECT_EQ(f.view.wptSelection, before);

  // An emptied segment offers no point, rather than failing on every mouse move.
  f.doc.Selection.Clear();
  TGPXtrkseg* empty = f.AddSegment({});
  f.doc.Selection.Add(empty);
  EXPECT_NO_THROW(f.view.SelectForCutSelected(*where));
  EXPECT_EQ(f.view.wptSelection, before);

  f.doc.Selection.Clear();
  f.doc.Selection.Add(seg);
  f.view.SelectForCutSelected(*where);
  EXPECT_EQ(f.view.wptSelection, seg->GetWaypoint(1));
}

TEST(MapBinding, KeepsTheFirstListAndAddsTheNearestOtherOfItsKind) {
  EditFixture f;
  TGPXwpt* waypoint = f.AddWaypoint(300, 300);
  TGPXtrkseg* a = f.AddSegment({{100, 100, 0}, {200, 100, 0}});
  TGPXtrkseg* b = f.AddSegment({{100, 400, 0}, {200, 400, 0}});
  TGPXrte* route = f.AddRoute({{150, 390}, {160, 390}});  // nearer, but another kind
  f.doc.Selection.Add(a);
  f.doc.Selection.Add(route);
  f.view.SelectForBind(*f.AtPixel(150, 100));  // nearest is a itself
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{a});
  f.view.SelectForBind(*f.AtPixel(150, 390));
  EXPECT_EQ(f.Selected(), (std::vector<const TObject*>{a, b}));

  f.doc.Selection.Clear();
  f.doc.Selection.Add(waypoint);
  f.doc.Selection.Add(b);
  f.view.SelectForBind(*f.AtPixel(150, 390));
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{waypoint});
}

TEST(MapCutter, EmptiedListsLeaveTheDocumentAndTheSelectionAndComeBackOwned) {
  EditFixture f;
  TGPXtrkseg* lone = f.AddSegment({{100, 100, 0}, {110, 110, 0}});
  TGPXtrk* loneTrack = f.doc.trk.GetTrack(0);
  TGPXtrkseg* first = f.AddSegment({{120, 100, 0}, {130, 120, 0}});
  TGPXtrk* pair = f.doc.trk.GetTrack(1);
  TGPXtrkseg* kept = f.AddSegmentTo(*pair, {{500, 500}, {130, 110}});
  TGPXrte* route = f.AddRoute({{105, 105}});
  f.doc.Selection.Add(lone);
  f.doc.Selection.Add(loneTrack);
  f.doc.Selection.Add(route);
  f.view.wptSelection = first->GetWaypoint(1);

  // Screen rows 50 to 150, columns 50 to 150; y counted from the bottom.
  TCutterUnlinked unlinked = f.view.CutterTo({50, 550, 150, 450}, false, false);
  EXPECT_EQ(f.doc.trk.Count(), 1);
  EXPECT_EQ(f.doc.trk.GetTrack(0), pair);
  ASSERT_EQ(pair->Count(), 1);
  EXPECT_EQ(pair->GetTrkSeg(0), kept);
  ASSERT_EQ(kept->Count(), 1);  // its point at (130, 110) was cut
  EXPECT_EQ(f.doc.rte.Count(), 0);

  EXPECT_EQ(unlinked.trkseg.size(), 2u);
  EXPECT_EQ(unlinked.trk.size(), 1u);
  EXPECT_EQ(unlinked.trk[0].get(), loneTrack);
  ASSERT_EQ(unlinked.rte.size(), 1u);
  EXPECT_EQ(unlinked.rte[0].get(), route);
  EXPECT_EQ(f.doc.Selection.Count(), 0);
  EXPECT_EQ(f.view.wptSelection, nullptr);  // its point was freed
}

TEST(MapCutter, ThePointOnTheBorderBelongsToTheOutside) {
  for (bool outside : {false, true}) {
    EditFixture f;
    TGPXwpt* inside = f.AddWaypoint(100, 100);
    TGPXwpt* border = f.AddWaypoint(120, 100);
    border->Latitude = f.view.YToLa(50);  // exactly the north edge
    f.AddWaypoint(300, 300);
    (void)inside;
    TCutterUnlinked unlinked = f.view.CutterTo({50, 550, 150, 450}, false, outside);
    EXPECT_TRUE(unlinked.Empty());
    ASSERT_EQ(f.doc.wpt.Count(), outside ? 1 : 2) << outside;
    if (outside) {
      EXPECT_EQ(f.doc.wpt.GetWaypoint(0), inside);
    } else {
      EXPECT_EQ(f.doc.wpt.GetWaypoint(0), border);
    }
  }
}

TEST(MapCutter, MouseRectangleCountsFromTheBottomAndOnlySelectedIsHonoured) {
  EditFixture f;
  f.view.MouseX = 10;
  f.view.MouseY = 10;
  TGPXwpt* hit = f.AddWaypoint(35, 25);
  TGPXwpt* mirror = f.AddWaypoint(35, 575);  // inside if y were taken from the top
  TGPXwpt* chosen = f.AddWaypoint(40, 30);
  TGPXwpt* left = f.AddWaypoint(5, 25);
  f.doc.Selection.Add(chosen);
  (void)f.view.CutterMouseTo(60, 40, true, false);
  EXPECT_EQ(f.doc.wpt.Count(), 3);
  EXPECT_FALSE(f.doc.wpt.Contains(chosen));
  EXPECT_EQ(f.doc.Selection.Count(), 0);  // no pointer to the freed waypoint

  (void)f.view.CutterMouseTo(60, 40, false, false);
  EXPECT_FALSE(f.doc.wpt.Contains(hit));
  EXPECT_TRUE(f.doc.wpt.Contains(mirror));
  EXPECT_TRUE(f.doc.wpt.Contains(left));

  // A rectangle without width, or an incomplete area, cuts nothing.
  f.AddWaypoint(30, 30);
  (void)f.view.CutterMouseTo(10, 40, false, false);
  EXPECT_EQ(f.doc.wpt.Count(), 3);
  f.view.BBox.Complete = false;
  (void)f.view.CutterMouseTo(60, 40, false, false);
  EXPECT_EQ(f.doc.wpt.Count(), 3);

  // A complete area without a scale gets one first, then cuts as usual.
  f.view.BBox.Complete = true;
  f.view.BBox.Rm = 0;
  (void)f.view.CutterMouseTo(60, 40, false, false);
  EXPECT_EQ(f.doc.wpt.Count(), 2);
  EXPECT_EQ(f.view.BBox.Rm, 600);
}

TEST(MapCutter, OnlySelectedSkipsOtherListsButStillDropsEmptyTracks) {
  EditFixture f;
  TGPXtrkseg* chosen = f.AddSegment({{100, 100, 0}, {300, 300, 0}});
  TGPXtrkseg* other = f.AddSegment({{100, 110, 0}, {300, 310, 0}});
  f.doc.trk.Add(std::make_unique<TGPXtrk>());  // a track without segments
  f.doc.Selection.Add(chosen);
  TCutterUnlinked unlinked = f.view.CutterTo({50, 550, 150, 450}, true, false);
  EXPECT_EQ(chosen->Count(), 1);
  EXPECT_EQ(other->Count(), 2);
  EXPECT_EQ(f.doc.trk.Count(), 2);
  EXPECT_EQ(unlinked.trk.size(), 1u);
  EXPECT_TRUE(unlinked.trkseg.empty());
  EXPECT_EQ(f.doc.Selection.Count(), 1);
}

TEST(MapCutPoint, ForgetFreedClearsTheCutPointOfWhatIsAboutToBeFreed) {
  EditFixture f;
  TGPXtrkseg* seg = f.AddSegment({{100, 100, 0}, {300, 300, 0}});
  TGPXtrk* track = f.doc.trk.GetTrack(0);
  TGPXtrkseg* other = f.AddSegment({{500, 100, 0}, {600, 300, 0}});
  f.doc.Selection.Add(seg);

  f.view.wptSelection = seg->GetWaypoint(1);
  f.view.ForgetFreed(seg->GetWaypoint(0));  // another point
  EXPECT_EQ(f.view.wptSelection, seg->GetWaypoint(1));
  f.view.ForgetFreed(other);
  EXPECT_EQ(f.view.wptSelection, seg->GetWaypoint(1));
  f.view.ForgetFreed(track);  // the track that holds it
  EXPECT_EQ(f.view.wptSelection, nullptr);

  f.view.wptSelection = seg->GetWaypoint(1);
  f.view.ForgetFreed(seg);
  EXPECT_EQ(f.view.wptSelection, nullptr);
  EXPECT_EQ(f.doc.Selection.Count(), 0);

  f.view.wptSelection = other->GetWaypoint(0);
  f.doc.Selection.Add(other);
  f.view.ForgetFreed(&f.doc);
  EXPECT_EQ(f.view.wptSelection, nullptr);
  EXPECT_EQ(f.doc.Selection.Count(), 0);

  f.view.wptSelection = other->GetWaypoint(0);
  f.view.Clear();
  EXPECT_EQ(f.view.wptSelection, nullptr);
}

TEST(MapCutPoint, ForgetFreedTakesWhatTheObjectHoldsOutOfTheSelection) {
  // The project window frees a whole track or list; the selection must not keep
  // pointing at its segments or points.
  EditFixture f;
  TGPXtrkseg* seg = f.AddSegment({{100, 100, 0}, {300, 300, 0}});
  TGPXtrk* track = f.doc.trk.GetTrack(0);
  TGPXtrkseg* second = f.AddSegmentTo(*track, {{150, 150}, {160, 160}});
  TGPXrte* route = f.AddRoute({{400, 400}, {500, 500}});
  TGPXwpt* waypoint = f.AddWaypoint(50, 50);
  f.doc.Selection.Add(seg);
  f.doc.Selection.Add(waypoint);
  f.doc.Selection.Add(second);
  f.doc.Selection.Add(route->GetWaypoint(1));
  f.view.wptSelection = second->GetWaypoint(0);

  f.view.ForgetFreed(track);
  EXPECT_EQ(f.Selected(), (std::vector<const TObject*>{waypoint, route->GetWaypoint(1)}));
  EXPECT_EQ(f.view.wptSelection, nullptr);

  f.view.ForgetFreed(route);
  EXPECT_EQ(f.Selected(), std::vector<const TObject*>{waypoint});
}

TEST(MapCutPoint, DeleteCutPointFreesOnlyWhatTheFirstSelectedListHoldsAndForgetsItAlways) {
  EditFixture f;
  TGPXtrkseg* seg = f.AddSegment({{100, 100, 0}, {200, 100, 0}, {300, 100, 0}});
  TGPXtrkseg* other = f.AddSegment({{100, 400, 0}, {200, 400, 0}});
  f.doc.Selection.Add(seg);
  f.view.SelectForCutSelected(*f.AtPixel(200, 105));
  ASSERT_EQ(f.view.wptSelection, seg->GetWaypoint(1));
  f.view.wptListSelecion = seg;

  EXPECT_TRUE(f.view.DeleteCutPoint());
  EXPECT_EQ(seg->Count(), 2);
  EXPECT_EQ(f.view.wptSelection, nullptr);
  // A second release without a new pick frees nothing (under ASan a double free
  // would stop here).
  EXPECT_FALSE(f.view.DeleteCutPoint());
  EXPECT_EQ(seg->Count(), 2);

  // The tree selection moved to another segment while the picked point stayed:
  // the point is not freed out of a list that does not hold it.
  f.view.wptSelection = seg->GetWaypoint(0);
  f.doc.Selection.Clear();
  f.doc.Selection.Add(other);
  EXPECT_FALSE(f.view.DeleteCutPoint());
  EXPECT_EQ(seg->Count(), 2);
  EXPECT_EQ(other->Count(), 2);
  EXPECT_EQ(f.view.wptSelection, nullptr);

  // Nothing selected: nothing freed, the pick forgotten.
  f.view.wptSelection = other->GetWaypoint(0);
  f.doc.Selection.Clear();
  EXPECT_FALSE(f.view.DeleteCutPoint());
  EXPECT_EQ(other->Count(), 2);
  EXPECT_EQ(f.view.wptSelection, nullptr);

  // The list the tree last chose is forgotten with the segment.
  f.view.ForgetFreed(seg);
  EXPECT_EQ(f.view.wptListSelecion, nullptr);
}
