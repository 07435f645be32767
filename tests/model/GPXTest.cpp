#include "model/GPX.h"

#include <memory>

#include <gtest/gtest.h>

#include "tests/support/TrackBuilder.h"

namespace {

std::unique_ptr<TGPXwpt> Wpt(double lat, double lon, const char* name = "") {
  auto p = MakePoint(lat, lon);
  p->name = name;
  return p;
}

// A track of `segments` segments, segment s with points at latitude s + 1.
std::unique_ptr<TGPXtrk> Track(int segments, int pointsEach = 2) {
  std::vector<TTrackPoints> points(segments);
  for (int s = 0; s < segments; ++s)
    for (int i = 0; i < pointsEach; ++i) points[s].push_back({s + 1.0, i + 1.0});
  return MakeTrack(points);
}

using ProbeTrack = TFreeProbe<TGPXtrk>;

TEST(GPXwpt, ANewPointStartsAtTheAbsentValues) {
  TGPXwpt p;
  EXPECT_EQ(p.sat, 255);
  EXPECT_EQ(p.hdop, -1.0);
  EXPECT_EQ(p.vdop, -1.0);
  EXPECT_EQ(p.pdop, -1.0);
  EXPECT_EQ(p.ageofdgpsdata, -1.0);
  EXPECT_EQ(p.dgpsid, -1);
  EXPECT_EQ(p.DateTime, 0);
  EXPECT_TRUE(p.enabled);
  EXPECT_FALSE(p.link.filled);
  EXPECT_STREQ(p.ClassName(), "TGPXwpt");
}

TEST(GPXDefaults, RecordsAndListsStartAtTheirAbsentValues) {
  // The writer leaves an element out at its absent value: a wrong start value
  // would put it into every file.
  TGPXrte route;
  EXPECT_EQ(route.number, -1);
  EXPECT_TRUE(route.Enabled());
  EXPECT_FALSE(route.filled);
  EXPECT_TRUE(route.LineStyle.IsDefaultColor());
  EXPECT_EQ(route.LineStyle.Opacity(), 1.0);
  EXPECT_FALSE(route.link.filled);

  TGPXtrk track;
  EXPECT_EQ(track.number, -1);
  EXPECT_TRUE(track.Enabled());
  EXPECT_TRUE(track.LineStyle.IsDefaultColor());
  EXPECT_EQ(track.LineStyle.Opacity(), 1.0);

  TGPXtrkseg segment;
  EXPECT_EQ(segment.maxdepth, 0);
  EXPECT_TRUE(segment.Enabled());

  TGPX gpx;
  EXPECT_TRUE(gpx.Enabled());
  EXPECT_TRUE(gpx.wpt.Enabled() && gpx.rte.Enabled() && gpx.trk.Enabled());
  EXPECT_FALSE(gpx.wpt.filled || gpx.rte.filled || gpx.trk.filled);
  EXPECT_EQ(gpx.Selection.Parent, &gpx);
  const TGPXmetadata& m = gpx.metadata;
  EXPECT_FALSE(m.filled || m.author.filled || m.author.email.filled || m.author.link.filled ||
               m.copyright.filled || m.link.filled || m.bounds.filled);
  EXPECT_EQ(m.copyright.year, -1);
  EXPECT_EQ(m.mtime, 0);
  EXPECT_EQ(m.bounds.minlat + m.bounds.minlon + m.bounds.maxlat + m.bounds.maxlon, 0);
}

TEST(GPXwpt, CopyFromCopiesEverythingButLevelAndEnabled) {
  TGPXwpt source;
  source.Latitude = 1;
  source.HBdepth = 250;
  source.DateTime = 45000.25;
  source.magvar = 2;
  source.geoidheight = 3;
  source.name = "n";
  source.cmt = "c";
  source.desc = "d";
  source.src = "s";
  source.link.href = "h";
  source.link.filled = true;
  source.sym = "y";
  source.wtype = "t";
  source.fix = "3d";
  source.sat = 7;
  source.hdop = 1.5;
  source.vdop = 2.5;
  source.pdop = 3.5;
  source.ageofdgpsdata = 4.5;
  source.dgpsid = 9;
  source.extensions = "<x/>";
  source.Level = 3;
  source.enabled = false;
  TGPXwpt copy;
  copy.CopyFrom(source);
  EXPECT_EQ(copy.Latitude, 1);
  EXPECT_EQ(copy.HBdepth, 250);
  EXPECT_EQ(copy.DateTime, 45000.25);
  EXPECT_EQ(copy.magvar, 2);
  EXPECT_EQ(copy.geoidheight, 3);
  EXPECT_EQ(copy.name + copy.cmt + copy.desc + copy.src + copy.sym + copy.wtype + copy.fix, "ncdsyt3d");
  EXPECT_EQ(copy.link.href, "h");
  EXPECT_TRUE(copy.link.filled);
  EXPECT_EQ(copy.sat, 7);
  EXPECT_EQ(copy.hdop, 1.5);
  EXPECT_EQ(copy.vdop, 2.5);
  EXPECT_EQ(copy.pdop, 3.5);
  EXPECT_EQ(copy.ageofdgpsdata, 4.5);
  EXPECT_EQ(copy.dgpsid, 9);
  EXPECT_EQ(copy.extensions, "<x/>");
  EXPECT_EQ(copy.Level, 0);
  EXPECT_TRUE(copy.enabled);
}

TEST(GPXwptList, HoldsOnlyGPXPoints) {
  TGPXwptList list;
  EXPECT_TRUE(list.Enabled());
  EXPECT_THROW(list.Add(std::make_unique<TPoint4D2>()), std::invalid_argument);
  EXPECT_THROW(list.Add(nullptr), std::invalid_argument);
  EXPECT_EQ(list.Count(), 0);
  list.Add(Wpt(1, 2, "a"));
  EXPECT_EQ(list.GetWaypoint(0)->name, "a");
  EXPECT_THROW(list.SetWayPoint(1, Wpt(0, 0)), EListError);
}

TEST(DeepCopy, ListsAppendRoutesAndSegmentsReplace) {
  TGPXwptList wpts;
  wpts.Add(Wpt(1, 1, "kept"));
  TGPXwptList source;
  source.Add(Wpt(2, 2, "new"));
  source.filled = true;
  wpts.CopyFrom(source);
  ASSERT_EQ(wpts.Count(), 2);
  EXPECT_EQ(wpts.GetWaypoint(0)->name, "kept");
  EXPECT_EQ(wpts.GetWaypoint(1)->name, "new");
  EXPECT_NE(wpts.GetWaypoint(1), source.GetWaypoint(0));
  EXPECT_TRUE(wpts.filled);

  TGPXtrk track;
  for (int i = 0; i < 2; ++i) track.Add(MakeSegment({{1, 1}}));
  track.CopyFrom(*Track(3));
  EXPECT_EQ(track.Count(), 5);

  TGPXtrkseg ten;
  for (int i = 0; i < 10; ++i) ten.Add(Wpt(i, i));
  auto four = MakeSegment({{1, 1}, {2, 2}, {3, 3}, {4, 4}});
  four->maxdepth = 700;
  four->extensions = "<e/>";
  ten.CopyFrom(*four);
  EXPECT_EQ(ten.Count(), 4);
  EXPECT_EQ(ten.GetTrkPoint(3)->Latitude, 4);
  EXPECT_EQ(ten.maxdepth, 700);
  EXPECT_EQ(ten.extensions, "<e/>");

  TGPXrte route;
  for (int i = 0; i < 5; ++i) route.Add(Wpt(i, i));
  TGPXrte other;
  other.name = "r";
  other.number = 4;
  other.rtype = "t";
  other.LineStyle.SetColor(0x123456);
  other.link.text = "l";
  other.Add(Wpt(9, 9));
  route.CopyFrom(other);
  EXPECT_EQ(route.Count(), 1);
  EXPECT_EQ(route.GetRtePoint(0)->Latitude, 9);
  EXPECT_EQ(route.name, "r");
  EXPECT_EQ(route.number, 4);
  EXPECT_EQ(route.rtype, "t");
  EXPECT_EQ(route.LineStyle.Color(), 0x123456u);
  EXPECT_EQ(route.link.text, "l");
}

TEST(DeepCopy, CopiesShareNothingAndCarryNoFlagsBoxesOrLevel) {
  TGPXtrk source;
  source.name = "t";
  source.number = 2;
  source.ttype = "x";
  source.LineStyle.SetOpacity(0.5);
  source.Add(MakeSegment({{1, 1}, {2, 2}}));
  source.GetTrkSeg(0)->GetTrkPoint(0)->Level = 5;
  source.GetTrkSeg(0)->CalcBBox(true);
  source.SetEnabled(false);

  TGPXtrk copy;
  copy.CopyFrom(source);
  ASSERT_EQ(copy.Count(), 1);
  const TGPXtrkseg& seg = *copy.GetTrkSeg(0);
  EXPECT_TRUE(copy.Enabled());
  EXPECT_TRUE(seg.Enabled());
  EXPECT_TRUE(seg.GetTrkPoint(0)->enabled);
  EXPECT_TRUE(seg.GetTrkPoint(1)->enabled);
  EXPECT_EQ(seg.GetTrkPoint(0)->Level, 0);
  EXPECT_FALSE(seg.BBox.Complete);
  EXPECT_EQ(seg.BBox.N, 0);
  EXPECT_EQ(copy.name, "t");
  EXPECT_EQ(copy.number, 2);
  EXPECT_EQ(copy.ttype, "x");
  EXPECT_EQ(copy.LineStyle.Opacity(), 0.5);

  source.GetTrkSeg(0)->GetTrkPoint(0)->Latitude = 42;
  EXPECT_EQ(seg.GetTrkPoint(0)->Latitude, 1);
  EXPECT_NE(&seg, source.GetTrkSeg(0));
}

TEST(DeepCopy, CopyingIntoItselfLosesNothing) {
  auto seg = MakeSegment({{1, 1}, {2, 2}});
  seg->CopyFrom(*seg);  // replacing by itself: unchanged
  ASSERT_EQ(seg->Count(), 2);
  EXPECT_EQ(seg->GetTrkPoint(1)->Latitude, 2);

  TGPXrte route;
  route.Add(Wpt(3, 3));
  route.CopyFrom(route);
  EXPECT_EQ(route.Count(), 1);

  TGPXwptList wpts;  // appending to itself: doubled once
  wpts.Add(Wpt(1, 1));
  wpts.Add(Wpt(2, 2));
  wpts.CopyFrom(wpts);
  ASSERT_EQ(wpts.Count(), 4);
  EXPECT_EQ(wpts.GetWaypoint(3)->Latitude, 2);

  auto track = Track(2);
  track->CopyFrom(*track);
  EXPECT_EQ(track->Count(), 4);
}

TEST(DeepCopy, MetadataCopiesEveryFieldAndReplacesItsSubRecords) {
  TGPXmetadata source;
  source.name = "n";
  source.desc = "d";
  source.author.name = "an";
  source.author.email.id = "id";
  source.author.email.domain = "dom";
  source.author.email.filled = true;
  source.author.filled = true;
  source.copyright.author = "ca";
  source.copyright.year = 1999;
  source.copyright.license = "lic";
  source.copyright.filled = true;
  source.link.href = "h";
  source.link.text = "t";
  source.link.ltype = "lt";
  source.link.filled = true;
  source.mtime = 41061.5;
  source.keywords = "k";
  source.bounds.minlat = 1;
  source.bounds.minlon = 2;
  source.bounds.maxlat = 3;
  source.bounds.maxlon = 4;
  source.bounds.filled = true;
  source.extensions = "<m/>";
  source.filled = true;

  TGPXmetadata target;
  target.author.link.href = "old";  // the target's own sub-records give way
  target.author.link.filled = true;
  target.CopyFrom(source);
  EXPECT_EQ(target.name + target.desc + target.keywords + target.extensions, "ndk<m/>");
  EXPECT_EQ(target.author.name, "an");
  EXPECT_EQ(target.author.email.id + target.author.email.domain, "iddom");
  EXPECT_TRUE(target.author.email.filled && target.author.filled);
  EXPECT_EQ(target.author.link.href, "");
  EXPECT_FALSE(target.author.link.filled);
  EXPECT_EQ(target.copyright.author + target.copyright.license, "calic");
  EXPECT_EQ(target.copyright.year, 1999);
  EXPECT_TRUE(target.copyright.filled);
  EXPECT_EQ(target.link.href + target.link.text + target.link.ltype, "htlt");
  EXPECT_TRUE(target.link.filled);
  EXPECT_EQ(target.mtime, 41061.5);
  EXPECT_EQ(target.bounds.minlat, 1);
  EXPECT_EQ(target.bounds.minlon, 2);
  EXPECT_EQ(target.bounds.maxlat, 3);
  EXPECT_EQ(target.bounds.maxlon, 4);
  EXPECT_TRUE(target.bounds.filled);
  EXPECT_TRUE(target.filled);
}

TEST(DeepCopy, RoutesAndTracksTakeEveryTextButNotTheirListFlags) {
  auto fillTexts = [](auto& item) {
    item.name = "n";
    item.cmt = "c";
    item.desc = "d";
    item.src = "s";
    item.extensions = "<x/>";
    item.link.href = "h";
    item.link.filled = true;
    item.number = 6;
    item.LineStyle.SetColor(0x0000FF);
    item.LineStyle.SetOpacity(0.25);
  };
  auto expectTexts = [](const auto& item) {
    EXPECT_EQ(item.name + item.cmt + item.desc + item.src + item.extensions, "ncds<x/>");
    EXPECT_EQ(item.link.href, "h");
    EXPECT_TRUE(item.link.filled);
    EXPECT_EQ(item.number, 6);
    EXPECT_EQ(item.LineStyle.Color(), 0x0000FFu);
    EXPECT_EQ(item.LineStyle.Opacity(), 0.25);
  };
  TGPXrte route;
  fillTexts(route);
  route.rtype = "r";
  route.filled = true;
  TGPXrte routeCopy;
  routeCopy.CopyFrom(route);
  expectTexts(routeCopy);
  EXPECT_EQ(routeCopy.rtype, "r");
  EXPECT_FALSE(routeCopy.filled);

  TGPXtrk track;
  fillTexts(track);
  track.ttype = "t";
  TGPXtrk trackCopy;
  trackCopy.CopyFrom(track);
  expectTexts(trackCopy);
  EXPECT_EQ(trackCopy.ttype, "t");
}

TEST(GPXDocument, CopyFromAppendsAndLeavesTheSelectionEmpty) {
  TGPX source;
  source.version = "1.1";
  source.creator = "me";
  source.metadata.name = "lake";
  source.metadata.author.email.domain = "example.org";
  source.metadata.copyright.year = 2020;
  source.metadata.bounds.maxlat = 5;
  source.extension.Text = "<ext/>";
  source.wpt.Add(Wpt(1, 1));
  source.rte.Add(std::make_unique<TGPXrte>());
  source.trk.Add(Track(1));
  source.trk.Add(Track(2));
  source.trk.filled = true;
  source.Selection.Add(source.trk.GetTrack(0));

  TGPX target;
  target.trk.Add(Track(1));
  target.Selection.Add(target.trk.GetTrack(0));
  target.CopyFrom(source);

  EXPECT_EQ(target.version, "1.1");
  EXPECT_EQ(target.creator, "me");
  EXPECT_EQ(target.metadata.name, "lake");
  EXPECT_EQ(target.metadata.author.email.domain, "example.org");
  EXPECT_EQ(target.metadata.copyright.year, 2020);
  EXPECT_EQ(target.metadata.bounds.maxlat, 5);
  EXPECT_EQ(target.extension.Text, "<ext/>");
  EXPECT_EQ(target.wpt.Count(), 1);
  EXPECT_EQ(target.rte.Count(), 1);
  EXPECT_EQ(target.trk.Count(), 3);
  EXPECT_EQ(target.trk.GetTrack(2)->Count(), 2);
  EXPECT_TRUE(target.trk.filled);
  EXPECT_EQ(target.Selection.Count(), 0);
  EXPECT_EQ(source.Selection.Count(), 1);
  EXPECT_EQ(target.Selection.Parent, &target);
}

TEST(GPXDocument, EnabledPassesDownToEveryPoint) {
  TGPX gpx;
  gpx.wpt.Add(Wpt(1, 1));
  auto route = std::make_unique<TGPXrte>();
  route->Add(Wpt(2, 2));
  gpx.rte.Add(std::move(route));
  gpx.trk.Add(Track(2));

  gpx.SetEnabled(false);
  EXPECT_FALSE(gpx.Enabled());
  EXPECT_FALSE(gpx.wpt.GetWaypoint(0)->enabled);
  EXPECT_FALSE(gpx.rte.Enabled());
  EXPECT_FALSE(gpx.rte.GetRoute(0)->Enabled());
  EXPECT_FALSE(gpx.rte.GetRoute(0)->GetRtePoint(0)->enabled);
  EXPECT_FALSE(gpx.trk.Enabled());
  EXPECT_FALSE(gpx.trk.GetTrack(0)->Enabled());
  for (const TGPXtrkseg& seg : *gpx.trk.GetTrack(0)) {
    EXPECT_FALSE(seg.Enabled());
    for (const TGPXwpt& p : seg.Waypoints()) EXPECT_FALSE(p.enabled);
  }
  gpx.trk.GetTrack(0)->SetEnabled(true);
  EXPECT_TRUE(gpx.trk.GetTrack(0)->GetTrkSeg(1)->GetTrkPoint(1)->enabled);
  EXPECT_FALSE(gpx.rte.GetRoute(0)->GetRtePoint(0)->enabled);
}

TEST(GPXDocument, ComputeMetaBoundsJoinsTheCompleteBoxesOfEnabledPoints) {
  TGPX onlyWaypoint;
  onlyWaypoint.wpt.Add(Wpt(5, 6));
  onlyWaypoint.metadata.bounds.minlat = 77;
  onlyWaypoint.ComputeMetaBounds();
  EXPECT_EQ(onlyWaypoint.metadata.bounds.minlat, 77);
  EXPECT_FALSE(onlyWaypoint.metadata.bounds.filled);
  EXPECT_FALSE(onlyWaypoint.metadata.filled);

  TGPX gpx;
  auto track = std::make_unique<TGPXtrk>();
  track->Add(MakeSegment({{1, 2}, {3, 4}}));
  track->Add(MakeSegment({{-50, -60}, {50, 60}}));
  track->GetTrkSeg(1)->SetEnabled(false);  // disabled points do not count
  gpx.trk.Add(std::move(track));
  gpx.ComputeMetaBounds();
  EXPECT_EQ(gpx.metadata.bounds.minlat, 1);
  EXPECT_EQ(gpx.metadata.bounds.maxlat, 3);
  EXPECT_EQ(gpx.metadata.bounds.minlon, 2);
  EXPECT_EQ(gpx.metadata.bounds.maxlon, 4);
  EXPECT_TRUE(gpx.metadata.bounds.filled);
  EXPECT_TRUE(gpx.metadata.filled);
}

TEST(GPXDocument, ComputeMetaBoundsIgnoresAStaleWaypointBox) {
  TGPX gpx;
  gpx.wpt.Add(Wpt(10, 20));
  gpx.wpt.Add(Wpt(11, 21));
  gpx.wpt.CalcBBox(true);  // a box of the two waypoints
  gpx.wpt.FreeAndDelete(1);  // one left: no new box, the old edges stay
  auto track = std::make_unique<TGPXtrk>();
  track->Add(MakeSegment({{1, 2}, {3, 4}}));
  gpx.trk.Add(std::move(track));
  gpx.ComputeMetaBounds();
  EXPECT_EQ(gpx.metadata.bounds.maxlat, 3);
  EXPECT_EQ(gpx.metadata.bounds.maxlon, 4);
}

TEST(GPXDocument, ComputeMetaBoundsJoinsWaypointsRoutesAndSegments) {
  using Positions = TTrackPoints;
  struct Case {
    const char* name;
    Positions waypoints, route, segmentA, segmentB;
    double minlat, maxlat, minlon, maxlon;
  };
  const Case cases[] = {
      {"two waypoints count", {{10, 20}, {11, 21}}, {}, {{1, 2}, {3, 4}}, {}, 1, 11, 2, 21},
      {"a route counts", {}, {{-5, -6}, {-4, -5}}, {{1, 2}, {3, 4}}, {}, -5, 3, -6, 4},
      {"a one-point route does not", {}, {{-5, -6}}, {{1, 2}, {3, 4}}, {}, 1, 3, 2, 4},
      // An edge on the equator or the prime meridian must not drop the boxes before it.
      {"edge on the equator", {}, {}, {{0, 10}, {1, 11}}, {{2, 12}, {3, 13}}, 0, 3, 10, 13},
      {"edge on the meridian", {}, {}, {{5, 0}, {6, 1}}, {{7, 2}, {8, 3}}, 5, 8, 0, 3},
  };
  for (const Case& c : cases) {
    TGPX gpx;
    for (const TTrackPoint& p : c.waypoints) gpx.wpt.Add(MakePoint(p.Latitude, p.Longitude));
    if (c.route.size() > 0) {
      auto route = std::make_unique<TGPXrte>();
      for (const TTrackPoint& p : c.route) route->Add(MakePoint(p.Latitude, p.Longitude));
      gpx.rte.Add(std::move(route));
    }
    auto track = std::make_unique<TGPXtrk>();
    track->Add(MakeSegment(c.segmentA));
    if (c.segmentB.size() > 0) track->Add(MakeSegment(c.segmentB));
    gpx.trk.Add(std::move(track));
    gpx.ComputeMetaBounds();
    const TGPXbounds& b = gpx.metadata.bounds;
    EXPECT_TRUE(b.filled) << c.name;
    EXPECT_EQ(b.minlat, c.minlat) << c.name;
    EXPECT_EQ(b.maxlat, c.maxlat) << c.name;
    EXPECT_EQ(b.minlon, c.minlon) << c.name;
    EXPECT_EQ(b.maxlon, c.maxlon) << c.name;
  }

  // An extent without a height leaves the bounds as they were.
  TGPX flat;
  auto track = std::make_unique<TGPXtrk>();
  track->Add(MakeSegment({{1, 2}, {1, 4}}));
  flat.trk.Add(std::move(track));
  flat.metadata.bounds.maxlat = 9;
  flat.ComputeMetaBounds();
  EXPECT_FALSE(flat.metadata.bounds.filled);
  EXPECT_EQ(flat.metadata.bounds.maxlat, 9);
}

TEST(GPXDocument, WaypointParentAndSelection) {
  TGPX gpx;
  gpx.wpt.Add(Wpt(1, 1));
  auto route = std::make_unique<TGPXrte>();
  route->Add(Wpt(2, 2));
  gpx.rte.Add(std::move(route));
  gpx.trk.Add(Track(2));
  TGPXrte* r = gpx.rte.GetRoute(0);
  TGPXtrkseg* seg = gpx.trk.GetTrack(0)->GetTrkSeg(1);
  TGPXwpt stranger;

  EXPECT_EQ(gpx.GetWaypointParent(gpx.wpt.GetWaypoint(0)), &gpx.wpt);
  EXPECT_EQ(gpx.GetWaypointParent(r->GetRtePoint(0)), r);
  EXPECT_EQ(gpx.GetWaypointParent(seg->GetTrkPoint(1)), seg);
  EXPECT_EQ(gpx.GetWaypointParent(&stranger), nullptr);

  TGPXSelection& sel = gpx.Selection;
  sel.Add(gpx.wpt.GetWaypoint(0));
  sel.Add(gpx.trk.GetTrack(0));
  EXPECT_FALSE(sel.APointListIsSelected());
  sel.Add(seg);
  EXPECT_TRUE(sel.APointListIsSelected());
  EXPECT_TRUE(sel.IsInSelection(seg));
  EXPECT_FALSE(sel.IsInSelection(r));
  EXPECT_EQ(sel.Remove(seg), 2);
  EXPECT_FALSE(sel.APointListIsSelected());
  sel.Add(r);
  EXPECT_TRUE(sel.APointListIsSelected());
  EXPECT_THROW(sel.Items(3), EListError);
  EXPECT_THROW(sel.Delete(-1), EListError);
  EXPECT_EQ(sel.Items(2), r);
}

// The selection holds objects of mixed classes; each is told by its exact
// class, so a route or a segment is no waypoint list and a waypoint no plain point.
TEST(GPXSelection, ObjectsAreToldApartByTheirExactClass) {
  TGPXwpt point;
  TGPXrte route;
  TGPXtrkseg segment;
  TGPXtrk track;
  TGPXwptList list;
  TGPXmetadata metadata;
  const TObject* objects[] = {&point, &route, &segment, &track, &list, &metadata};
  const auto is = [](const TObject* object, int kind) {
    switch (kind) {
      case 0: return object->Is<TGPXwpt>();
      case 1: return object->Is<TGPXrte>();
      case 2: return object->Is<TGPXtrkseg>();
      case 3: return object->Is<TGPXtrk>();
      case 4: return object->Is<TGPXwptList>();
      default: return object->Is<TGPXmetadata>();
    }
  };
  for (int i = 0; i < 6; ++i)
    for (int kind = 0; kind < 6; ++kind) EXPECT_EQ(is(objects[i], kind), i == kind) << objects[i]->ClassName() << " as " << kind;
  TObject& picked = route;
  EXPECT_EQ(picked.As<TGPXrte>(), &route);
  EXPECT_EQ(picked.As<TGPXwptList>(), nullptr);
  EXPECT_EQ(picked.As<TGPXtrkseg>(), nullptr);
  EXPECT_FALSE(static_cast<const TObject&>(point).Is<TPoint4D2>());
  EXPECT_EQ(static_cast<const TObject&>(point).As<TGPXwpt>(), &point);
}

TEST(GPXDocument, ClearHandsTheUnlinkedObjectsBack) {
  TGPX gpx;
  gpx.version = "1.1";
  gpx.metadata.name = "kept";
  gpx.extension.Text = "<e/>";
  gpx.wpt.Add(Wpt(1, 1));
  gpx.rte.Add(std::make_unique<TGPXrte>());
  gpx.trk.Add(Track(1));
  gpx.wpt.filled = gpx.rte.filled = gpx.trk.filled = true;
  TGPXtrk* track = gpx.trk.GetTrack(0);
  gpx.Selection.Add(track);

  TGPXUnlinked unlinked = gpx.Clear();
  EXPECT_EQ(gpx.Selection.Count(), 0);
  EXPECT_EQ(gpx.wpt.Count() + gpx.rte.Count() + gpx.trk.Count(), 0);
  EXPECT_FALSE(gpx.wpt.filled || gpx.rte.filled || gpx.trk.filled);
  EXPECT_EQ(gpx.version, "1.1");
  EXPECT_EQ(gpx.metadata.name, "kept");
  EXPECT_EQ(gpx.extension.Text, "<e/>");
  ASSERT_EQ(unlinked.trk.size(), 1u);
  EXPECT_EQ(unlinked.trk[0].get(), track);  // still alive for whoever points at it
  EXPECT_EQ(track->GetTrkSeg(0)->Count(), 2);
  EXPECT_EQ(unlinked.wpt.size(), 1u);
  EXPECT_EQ(unlinked.rte.size(), 1u);
}

TEST(GPXLists, TypedAccessorsAreCheckedAndSettersFreeTheOldItem) {
  TGPX gpx;
  bool firstFreed = false, secondFreed = false;
  gpx.trk.Add(std::make_unique<ProbeTrack>(&firstFreed));
  gpx.trk.SetTrack(0, std::make_unique<ProbeTrack>(&secondFreed));
  EXPECT_TRUE(firstFreed);
  EXPECT_FALSE(secondFreed);
  std::unique_ptr<TGPXtrk> unlinked = gpx.trk.Delete(0);
  EXPECT_FALSE(secondFreed);
  unlinked.reset();
  EXPECT_TRUE(secondFreed);

  auto track = Track(1);
  EXPECT_THROW(track->GetTrkSeg(1), EListError);
  EXPECT_THROW(track->SetTrkSeg(-1, std::make_unique<TGPXtrkseg>()), EListError);
  EXPECT_THROW(gpx.trk.GetTrack(0), EListError);
  EXPECT_THROW(gpx.rte.GetRoute(0), EListError);
  EXPECT_THROW(track->GetTrkSeg(0)->GetTrkPoint(2), EListError);
  EXPECT_STREQ(track->ClassName(), "TGPXtrk");
  EXPECT_STREQ(track->GetTrkSeg(0)->ClassName(), "TGPXtrkseg");
}

TEST(GPXOptions, DefaultsAndACopyWithoutTheUserAgent) {
  TGPXOptions options;
  EXPECT_FALSE(options.GPX_Style);
  EXPECT_FALSE(options.Compress);
  EXPECT_EQ(options.FileHistory, 8);
  EXPECT_EQ(options.ElevationDatabase, 2);

  TGPXOptions source;
  source.GPX_Style = true;
  source.Compress = true;
  source.FileHistory = 3;
  source.ProxySocksPort = "1080";
  source.GeoNamesUsername = "g";
  source.KeepXMLCRLF = true;
  source.User_Agent = "agent";
  options.User_Agent = "mine";
  options.CopyFrom(source);
  EXPECT_TRUE(options.GPX_Style);
  EXPECT_TRUE(options.Compress);
  EXPECT_EQ(options.FileHistory, 3);
  EXPECT_EQ(options.ProxySocksPort, "1080");
  EXPECT_EQ(options.GeoNamesUsername, "g");
  EXPECT_TRUE(options.KeepXMLCRLF);
  EXPECT_EQ(options.User_Agent, "mine");
}

}  // namespace
