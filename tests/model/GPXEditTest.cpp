#include "model/GPX.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A point list of the given class whose point k lies at longitude base + k,
// latitude 50, with time `times[k]` when given.
template <class List>
std::unique_ptr<List> Line(double base, int count, std::vector<double> times = {}) {
  auto list = std::make_unique<List>();
  for (int k = 0; k < count; ++k) {
    auto p = std::make_unique<TGPXwpt>();
    p->Longitude = base + k;
    p->Latitude = 50;
    if (k < static_cast<int>(times.size())) p->DateTime = times[static_cast<std::size_t>(k)];
    list->Add(std::move(p));
  }
  return list;
}

std::vector<double> Longitudes(const TGPXwptList& list) {
  std::vector<double> out;
  for (const TGPXwpt& p : list.Waypoints()) out.push_back(p.Longitude);
  return out;
}

std::vector<double> Range(double from, double to) {
  std::vector<double> out;
  for (double v = from; v <= to; ++v) out.push_back(v);
  return out;
}

std::vector<double> Join(std::vector<double> a, const std::vector<double>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TGPXrte* AddRoute(TGPX& gpx, double base, int count, const char* name = "", std::vector<double> times = {}) {
  auto route = Line<TGPXrte>(base, count, std::move(times));
  route->name = name;
  TGPXrte* raw = route.get();
  gpx.rte.Add(std::move(route));
  return raw;
}

// A track of segments, each given by its first longitude and point count.
TGPXtrk* AddTrack(TGPX& gpx, std::vector<std::pair<double, int>> segments) {
  auto track = std::make_unique<TGPXtrk>();
  for (const auto& [base, count] : segments) track->Add(Line<TGPXtrkseg>(base, count));
  TGPXtrk* raw = track.get();
  gpx.trk.Add(std::move(track));
  return raw;
}

// ---- cut ---------------------------------------------------------------------

TEST(GPXCut, ARouteIsCutOnlyFarEnoughFromBothEnds) {
  struct Case {
    int at;
    bool cut;
  };
  for (const Case c : {Case{2, false}, Case{3, true}, Case{7, true}, Case{8, false}}) {
    SCOPED_TRACE(c.at);
    TGPX gpx;
    AddRoute(gpx, 100, 1, "before");
    TGPXrte* route = AddRoute(gpx, 0, 10, "Lake");
    AddRoute(gpx, 200, 1, "after");
    TGPXrte* second = gpx.rte.CutRoute(*route, route->GetRtePoint(c.at));
    if (!c.cut) {
      EXPECT_EQ(second, nullptr);
      EXPECT_EQ(route->Count(), 10);
      EXPECT_EQ(gpx.rte.Count(), 3);
      continue;
    }
    ASSERT_NE(second, nullptr);
    // The cut point is in both parts, as copies: the parts share no point.
    EXPECT_EQ(Longitudes(*route), Range(0, c.at));
    EXPECT_EQ(Longitudes(*second), Range(c.at, 9));
    EXPECT_NE(second->GetRtePoint(0), route->GetRtePoint(c.at));
    EXPECT_EQ(second->name, "Lake (part 2)");
    EXPECT_EQ(route->name, "Lake");
    ASSERT_EQ(gpx.rte.Count(), 4);
    EXPECT_EQ(gpx.rte.GetRoute(2), second);
    EXPECT_EQ(gpx.rte.GetRoute(3)->name, "after");
  }
}

TEST(GPXCut, APointOutsideTheRouteCutsNothingAndAForeignRouteGoesFirst) {
  TGPX gpx;
  AddRoute(gpx, 100, 1, "held");
  auto foreign = Line<TGPXrte>(0, 8);
  TGPXwpt stranger;
  EXPECT_EQ(gpx.rte.CutRoute(*foreign, &stranger), nullptr);
  EXPECT_EQ(gpx.rte.CutRoute(*foreign, nullptr), nullptr);

  TGPXrte* second = gpx.rte.CutRoute(*foreign, foreign->GetRtePoint(4));
  ASSERT_EQ(gpx.rte.Count(), 2);
  EXPECT_EQ(gpx.rte.GetRoute(0), second);
  EXPECT_EQ(Longitudes(*foreign), Range(0, 4));
}

TEST(GPXCut, ASegmentIsCutInItsTrackWithoutARename) {
  TGPX gpx;
  TGPXtrk* track = AddTrack(gpx, {{100, 2}, {0, 6}, {200, 2}});
  TGPXtrkseg* segment = track->GetTrkSeg(1);
  segment->maxdepth = 850;
  segment->extensions = "<x/>";
  EXPECT_EQ(track->Cuttrkseg(*segment, segment->GetTrkPoint(2)), nullptr);

  TGPXtrkseg* second = track->Cuttrkseg(*segment, segment->GetTrkPoint(3));
  ASSERT_EQ(track->Count(), 4);
  EXPECT_EQ(track->GetTrkSeg(2), second);
  EXPECT_EQ(Longitudes(*segment), Range(0, 3));
  EXPECT_EQ(Longitudes(*second), Range(3, 5));
  EXPECT_EQ(second->maxdepth, 850);
  EXPECT_EQ(second->extensions, "<x/>");
}

// ---- join --------------------------------------------------------------------

TEST(GPXJoin, RoutesMeetingAtAnEndHoldTheMeetingPointOnce) {
  TGPX gpx;
  TGPXrte* first = AddRoute(gpx, 0, 4);
  TGPXrte* second = AddRoute(gpx, 3, 3);  // starts where the first ends
  auto joined = gpx.rte.BindRoutes(*first, *second);
  EXPECT_EQ(joined.Joined, first);
  EXPECT_EQ(joined.Unlinked.get(), second);
  EXPECT_EQ(Longitudes(*first), Range(0, 5));
  // The unlinked route keeps its own points; the joined route holds copies.
  EXPECT_EQ(second->Count(), 3);
  EXPECT_NE(first->GetRtePoint(4), second->GetRtePoint(1));
  EXPECT_EQ(gpx.rte.Count(), 1);
}

TEST(GPXJoin, SamePlaceMeansTheSameAltitudeToo) {
  TGPX gpx;
  TGPXrte* first = AddRoute(gpx, 0, 2);
  TGPXrte* second = AddRoute(gpx, 1, 2);
  second->GetRtePoint(0)->Altitude = 0.5;
  (void)gpx.rte.BindRoutes(*first, *second);
  EXPECT_EQ(Longitudes(*first), (std::vector<double>{0, 1, 1, 2}));
}

TEST(GPXJoin, TimesThenListOrderDecideWhereTheSecondRouteGoes) {
  struct Case {
    const char* name;
    bool secondFirstInList;
    std::vector<double> firstTimes, secondTimes;
    bool after;
  };
  const Case cases[] = {
      {"no times, first stands earlier", false, {}, {}, true},
      {"no times, first stands later", true, {}, {}, false},
      {"first ends before the second starts", true, {1, 2}, {3, 4}, true},
      {"first ends after the second starts", false, {5, 6}, {3, 4}, true},  // list order still says after
      {"later times and later in the list", true, {5, 6}, {3, 4}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGPX gpx;
    TGPXrte *first, *second;
    if (c.secondFirstInList) {
      second = AddRoute(gpx, 10, 3, "", c.secondTimes);
      first = AddRoute(gpx, 0, 2, "", c.firstTimes);
    } else {
      first = AddRoute(gpx, 0, 2, "", c.firstTimes);
      second = AddRoute(gpx, 10, 3, "", c.secondTimes);
    }
    (void)gpx.rte.BindRoutes(*first, *second);
    EXPECT_EQ(Longitudes(*first), c.after ? Join({0, 1}, {10, 11, 12}) : Join({10, 11, 12}, {0, 1}));
  }
}

TEST(GPXJoin, ARouteInFrontThatMeetsAtTheStartHoldsTheMeetingPointOnce) {
  TGPX gpx;
  TGPXrte* second = AddRoute(gpx, 0, 4);  // ends at 3, where the first starts
  TGPXrte* first = AddRoute(gpx, 3, 2);
  (void)gpx.rte.BindRoutes(*first, *second);
  EXPECT_EQ(Longitudes(*first), Range(0, 4));
}

TEST(GPXJoin, AFailedRouteJoinChangesNothing) {
  TGPX gpx;
  TGPXrte* first = AddRoute(gpx, 0, 2);
  TGPXrte* empty = AddRoute(gpx, 0, 0);
  auto outside = Line<TGPXrte>(10, 2);

  EXPECT_THROW((void)gpx.rte.BindRoutes(*first, *empty), EListError);
  EXPECT_THROW((void)gpx.rte.BindRoutes(*empty, *first), EListError);
  try {
    (void)gpx.rte.BindRoutes(*first, *outside);
    ADD_FAILURE() << "a route outside the list was joined";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Index(), -1);
  }
  EXPECT_EQ(Longitudes(*first), Range(0, 1));
  EXPECT_EQ(outside->Count(), 2);
  EXPECT_EQ(gpx.rte.Count(), 2);
}

TEST(GPXJoin, AnObjectJoinedWithItselfStaysAsItIs) {
  TGPX gpx;
  TGPXrte* route = AddRoute(gpx, 0, 3);
  auto routes = gpx.rte.BindRoutes(*route, *route);
  EXPECT_EQ(routes.Joined, nullptr);
  EXPECT_EQ(routes.Unlinked, nullptr);
  EXPECT_EQ(route->Count(), 3);
  EXPECT_EQ(gpx.rte.Count(), 1);

  TGPXtrkseg* segment = AddTrack(gpx, {{0, 3}})->GetTrkSeg(0);
  auto segments = gpx.trk.BindTrackSeg(*segment, *segment);
  EXPECT_EQ(segments.Joined, nullptr);
  EXPECT_EQ(segment->Count(), 3);
  EXPECT_EQ(gpx.trk.Count(), 1);
}

TEST(GPXJoin, TheSecondSegmentLeavesItsTrackOrTakesTheTrackAlong) {
  TGPX gpx;
  TGPXtrk* shared = AddTrack(gpx, {{0, 2}, {1, 3}});
  TGPXtrk* alone = AddTrack(gpx, {{100, 2}});
  TGPXtrkseg* first = shared->GetTrkSeg(0);

  auto joined = gpx.trk.BindTrackSeg(*first, *shared->GetTrkSeg(1));
  EXPECT_EQ(joined.Joined, first);
  EXPECT_NE(dynamic_cast<TGPXtrkseg*>(joined.Unlinked.get()), nullptr);
  EXPECT_EQ(shared->Count(), 1);
  EXPECT_EQ(Longitudes(*first), Range(0, 3));

  TGPXtrkseg* lone = alone->GetTrkSeg(0);
  joined = gpx.trk.BindTrackSeg(*first, *lone);
  EXPECT_EQ(joined.Unlinked.get(), alone);  // still holding its segment
  EXPECT_EQ(alone->GetTrkSeg(0), lone);
  EXPECT_EQ(gpx.trk.Count(), 1);
  EXPECT_EQ(Longitudes(*first), Join(Range(0, 3), {100, 101}));
}

TEST(GPXJoin, SegmentsWithoutTimesFollowDocumentOrder) {
  struct Case {
    const char* name;
    int firstTrack, firstSegment, secondTrack, secondSegment;
    bool after;
  };
  const Case cases[] = {
      {"second in a later track", 0, 1, 1, 0, true},
      {"second in an earlier track", 1, 0, 0, 1, false},
      {"second later in the same track", 0, 0, 0, 1, true},
      {"second earlier in the same track", 0, 1, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGPX gpx;
    AddTrack(gpx, {{0, 2}, {10, 2}});
    AddTrack(gpx, {{20, 2}, {30, 2}});
    TGPXtrkseg* first = gpx.trk.GetTrack(c.firstTrack)->GetTrkSeg(c.firstSegment);
    TGPXtrkseg* second = gpx.trk.GetTrack(c.secondTrack)->GetTrkSeg(c.secondSegment);
    const std::vector<double> own = Longitudes(*first), other = Longitudes(*second);
    (void)gpx.trk.BindTrackSeg(*first, *second);
    EXPECT_EQ(Longitudes(*first), c.after ? Join(own, other) : Join(other, own));
  }
}

TEST(GPXJoin, ASegmentOutsideTheTracksIsAnErrorBeforeAnyChange) {
  TGPX gpx;
  TGPXtrkseg* first = AddTrack(gpx, {{0, 2}})->GetTrkSeg(0);
  auto outside = Line<TGPXtrkseg>(10, 2);
  auto empty = Line<TGPXtrkseg>(10, 0);
  EXPECT_THROW((void)gpx.trk.BindTrackSeg(*first, *outside), EListError);
  EXPECT_THROW((void)gpx.trk.BindTrackSeg(*first, *empty), EListError);
  EXPECT_EQ(first->Count(), 2);
  EXPECT_EQ(gpx.trk.GetTrackOfTrackSeg(outside.get()), nullptr);
  EXPECT_EQ(gpx.trk.GetTrackOfTrackSeg(first), gpx.trk.GetTrack(0));
}

// ---- join of the selection ------------------------------------------------------

TEST(GPXBindSelection, JoinsTwoRoutesOrTwoSegmentsAndForgetsWhatLeft) {
  TGPX gpx;
  TGPXrte* route1 = AddRoute(gpx, 0, 2);
  TGPXrte* route2 = AddRoute(gpx, 1, 2);
  gpx.Selection.Add(route1);
  gpx.Selection.Add(route2);
  auto joined = gpx.BindSelection();
  EXPECT_EQ(joined.Joined, route1);
  EXPECT_EQ(joined.Unlinked.get(), route2);
  ASSERT_EQ(gpx.Selection.Count(), 1);
  EXPECT_EQ(gpx.Selection.Items(0), route1);

  gpx.Selection.Clear();
  TGPXtrkseg* segment1 = AddTrack(gpx, {{0, 2}})->GetTrkSeg(0);
  TGPXtrk* track2 = AddTrack(gpx, {{5, 2}});
  gpx.Selection.Add(segment1);
  gpx.Selection.Add(track2->GetTrkSeg(0));
  joined = gpx.BindSelection();
  EXPECT_EQ(joined.Joined, segment1);
  EXPECT_EQ(joined.Unlinked.get(), track2);
  ASSERT_EQ(gpx.Selection.Count(), 1);
  EXPECT_EQ(gpx.Selection.Items(0), segment1);
  // Dropping the result frees what left the document (the sanitizers watch).
}

TEST(GPXBindSelection, AnyOtherSelectionChangesNothing) {
  TGPX gpx;
  TGPXrte* route1 = AddRoute(gpx, 0, 2);
  TGPXrte* route2 = AddRoute(gpx, 1, 2);
  TGPXtrk* track = AddTrack(gpx, {{0, 2}, {5, 2}});
  TGPXwpt* waypoint = gpx.wpt.GetWaypoint(gpx.wpt.Add(std::make_unique<TGPXwpt>()));
  const std::vector<std::vector<TObject*>> selections = {
      {},
      {route1},
      {route1, route2, track->GetTrkSeg(0)},
      {route1, track->GetTrkSeg(0)},
      {track->GetTrkSeg(0), route1},
      {track, track->GetTrkSeg(0)},
      {waypoint, route1},
      {route1, route1},
  };
  for (std::size_t k = 0; k < selections.size(); ++k) {
    SCOPED_TRACE(k);
    gpx.Selection.Clear();
    for (TObject* item : selections[k]) gpx.Selection.Add(item);
    auto joined = gpx.BindSelection();
    EXPECT_EQ(joined.Joined, nullptr);
    EXPECT_EQ(joined.Unlinked, nullptr);
    EXPECT_EQ(gpx.Selection.Count(), static_cast<int>(selections[k].size()));
    EXPECT_EQ(gpx.rte.Count(), 2);
    EXPECT_EQ(route1->Count(), 2);
    EXPECT_EQ(track->Count(), 2);
  }
}

// ---- sort ----------------------------------------------------------------------

TEST(GPXSort, PointsRoutesAndSegmentsOrderByTime) {
  auto points = Line<TGPXwptList>(0, 3, {3, 1, 2});
  points->SortByDate();
  EXPECT_EQ(Longitudes(*points), (std::vector<double>{1, 2, 0}));

  TGPX gpx;
  TGPXrte* late = AddRoute(gpx, 0, 2, "late", {9, 1});
  TGPXrte* early = AddRoute(gpx, 10, 1, "early", {2});
  gpx.rte.SortByDate();
  EXPECT_EQ(gpx.rte.GetRoute(0), early);
  EXPECT_EQ(gpx.rte.GetRoute(1), late);

  TGPXtrk* track = AddTrack(gpx, {{0, 1}, {10, 1}, {20, 1}});
  const double times[] = {5, 4, 6};
  for (int s = 0; s < 3; ++s) track->GetTrkSeg(s)->GetTrkPoint(0)->DateTime = times[s];
  track->SortByDate();
  EXPECT_EQ(track->GetTrkSeg(0)->GetTrkPoint(0)->Longitude, 10);
  EXPECT_EQ(track->GetTrkSeg(1)->GetTrkPoint(0)->Longitude, 0);
  EXPECT_EQ(track->GetTrkSeg(2)->GetTrkPoint(0)->Longitude, 20);
}

TEST(GPXSort, CompareFunctionsGiveTheSignOfTheTimeDifference) {
  TGPXwpt a, b;
  a.DateTime = 2;
  b.DateTime = 1;
  EXPECT_EQ(CompareWaypointsByDate(a, b), 1);
  EXPECT_EQ(CompareWaypointsByDate(b, a), -1);
  EXPECT_EQ(CompareWaypointsByDate(a, a), 0);
  auto early = Line<TGPXrte>(0, 1, {1});
  auto late = Line<TGPXrte>(0, 2, {2, 0});
  EXPECT_EQ(ComparePointListsByDate(*late, *early), 1);
  EXPECT_EQ(ComparePointListsByDate(*early, *late), -1);
  TGPXrte empty;
  EXPECT_THROW(ComparePointListsByDate(empty, *early), EListError);
}

TEST(GPXSort, AnEmptyRouteOrSegmentIsAnErrorWithTheOrderKept) {
  TGPX gpx;
  TGPXrte* late = AddRoute(gpx, 0, 1, "", {9});
  TGPXrte* empty = AddRoute(gpx, 0, 0);
  TGPXrte* early = AddRoute(gpx, 0, 1, "", {1});
  EXPECT_THROW(gpx.rte.SortByDate(), EListError);
  ASSERT_EQ(gpx.rte.Count(), 3);
  EXPECT_EQ(gpx.rte.GetRoute(0), late);
  EXPECT_EQ(gpx.rte.GetRoute(1), empty);
  EXPECT_EQ(gpx.rte.GetRoute(2), early);

  TGPXtrk* track = AddTrack(gpx, {{0, 1}, {0, 0}});
  TGPXtrkseg* first = track->GetTrkSeg(0);
  EXPECT_THROW(track->SortByDate(), EListError);
  EXPECT_EQ(track->GetTrkSeg(0), first);
  EXPECT_EQ(track->Count(), 2);
}

}  // namespace
