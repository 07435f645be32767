#include "model/GPS.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "tests/support/CommaLocale.h"
#include "tests/support/TrackBuilder.h"

namespace {

constexpr double kMetresPerDegreeAtEquator = 6378137.0 * std::numbers::pi / 180.0;

std::unique_ptr<TPoint4D2> At(double lat, double lon, TDateTime time = 0) {
  auto p = MakePoint<TPoint4D2>(lat, lon);
  p->DateTime = time;
  return p;
}

using ProbePoint = TFreeProbe<TPoint4D2>;

// ---- distance ------------------------------------------------------------

TEST(WGS84Distance, OwnPositionIsZeroWithEitherMargin) {
  const auto p = At(47.123456, 8.654321);
  EXPECT_EQ(p->WGS84Distance(*p, false), 0.0);
  EXPECT_EQ(p->WGS84Distance(*p, true), 0.0);
}

TEST(WGS84Distance, OneDegreeOnTheEquatorLongitudeFirst) {
  const auto p = At(0, 10);
  EXPECT_NEAR(p->WGS84Distance(11.0, 0.0), kMetresPerDegreeAtEquator, 1e-6);
  EXPECT_NEAR(p->WGS84Distance(*At(0, 9)), kMetresPerDegreeAtEquator, 1e-6);
  // Swapping the arguments would measure along a meridian from (11, 0) instead.
  EXPECT_NEAR(At(0, 0)->WGS84Distance(0.0, 1.0), kMetresPerDegreeAtEquator, 1e-6);
}

TEST(WGS84Distance, AlmostnulOnlyWidensTheZeroTest) {
  const auto p = At(0, 10);
  // 0.001 degree (~111 m): the cosine lies within 5e-9 of 1.
  const double near = p->WGS84Distance(10.001, 0.0, false);
  EXPECT_NEAR(near, kMetresPerDegreeAtEquator / 1000, 0.01);
  EXPECT_EQ(p->WGS84Distance(10.001, 0.0, true), 0.0);
  // 0.01 degree (~1.1 km) lies outside the margin: the same distance either way.
  EXPECT_EQ(p->WGS84Distance(10.01, 0.0, true), p->WGS84Distance(10.01, 0.0, false));
  EXPECT_GT(p->WGS84Distance(10.01, 0.0, true), 1000.0);
}

TEST(WGS84Distance, NearlyCoincidentPointsGiveZeroNotNaN) {
  // At this latitude the cosine sum rounds to just above 1.
  const auto p = At(1.61, 10.0);
  const double d = p->WGS84Distance(10.000000001, 1.61, false);
  EXPECT_EQ(d, 0.0);  // no arc cosine past 1: the bound, 0 m
}

// ---- box test and texts ----------------------------------------------------

TEST(IsInBox, StrictInsideInEitherEdgeOrder) {
  struct Case {
    double lat, lon;
    bool inside;
  };
  const Case cases[] = {{1.5, 1.5, true}, {1.0, 1.5, false}, {1.5, 2.0, false}, {2.5, 1.5, false}, {1.5, 0.5, false}};
  for (const Case& c : cases) {
    const auto p = At(c.lat, c.lon);
    EXPECT_EQ(p->IsInBox(1, 2, 1, 2), c.inside) << c.lat << ", " << c.lon;
    EXPECT_EQ(p->IsInBox(2, 1, 2, 1), c.inside) << c.lat << ", " << c.lon;
  }
}

TEST(PointTexts, ReadoutsUseDotsAndHemispheresUnderACommaLocale) {
  REQUIRE_COMMA_LOCALE(guard);
  struct Case {
    double lat, lon, alt;
    const char *coord, *latOZ, *lonOZ, *lat6, *lon6, *altitude;
  };
  const Case cases[] = {
      {-12.5, 8.25, -3, "12.500000\u00B0 S, 8.250000\u00B0 E", "12,30.00000,S", "8,15.00000,E", "-12.500000",
       "8.250000", "-3.0 m"},
      {0, 0, 12.25, "0.000000\u00B0 N, 0.000000\u00B0 E", "0,0.00000,N", "0,0.00000,E", "0.000000", "0.000000",
       "12.3 m"},
      {47.5, -0.25, 0, "47.500000\u00B0 N, 0.250000\u00B0 W", "47,30.00000,N", "0,15.00000,W", "47.500000",
       "-0.250000", "0.0 m"},
      {12.3456785, -123.0000004, -0.04, "12.345679\u00B0 N, 123.000000\u00B0 W", "12,20.74071,N", "123,0.00002,W",
       "12.345679", "-123.000000", "0.0 m"},
  };
  for (const Case& c : cases) {
    auto p = At(c.lat, c.lon);
    p->Altitude = c.alt;
    EXPECT_EQ(p->Coord(), c.coord);
    EXPECT_EQ(p->LatitudeOZStr(), c.latOZ);
    EXPECT_EQ(p->LongitudeOZStr(), c.lonOZ);
    EXPECT_EQ(p->Lat(), c.lat6);
    EXPECT_EQ(p->Lon(), c.lon6);
    EXPECT_EQ(p->AltitudeStr(), c.altitude);
  }
}

TEST(PointTexts, MinutesAreNotCarriedIntoTheDegrees) {
  // 59.9999999 minutes round to 60.00000 while the degrees stay 9.
  EXPECT_EQ(At(9.9999999999, 0)->LatitudeOZStr(), "9,60.00000,N");
}

TEST(PointTexts, DateTimeStr) {
  struct Case {
    TDateTime time;
    const char* text;
  };
  const Case cases[] = {
      {0, ""},
      {1, "1899-12-31"},                      // midnight: no time
      {45000.5, "2023-03-15 12:00:00"},
      {45000.0 + 1.0 / 86400 * 3723, "2023-03-15 01:02:03"},
      {-1.25, "1899-12-29 06:00:00"},         // before day 0 the fraction still counts forward
      {1 - 1e-10, "1899-12-31"},              // a hair before midnight rounds to it
      {1e300, ""},                            // no calendar date
  };
  for (const Case& c : cases) {
    TPoint4D2 p;
    p.DateTime = c.time;
    EXPECT_EQ(p.DateTimeStr(), c.text) << c.time;
  }
}

TEST(Point, CopyFromKeepsTheTargetsLevelAndEnabled) {
  auto source = At(1, 2);
  source->Altitude = 3;
  source->HBdepth = 4;
  source->DateTime = 5;
  source->Level = 7;
  source->enabled = false;
  TPoint4D2 target;
  target.CopyFrom(*source);
  EXPECT_EQ(target.Latitude, 1);
  EXPECT_EQ(target.Longitude, 2);
  EXPECT_EQ(target.Altitude, 3);
  EXPECT_EQ(target.HBdepth, 4);
  EXPECT_EQ(target.DateTime, 5);
  EXPECT_EQ(target.Level, 0);
  EXPECT_TRUE(target.enabled);
}

// ---- TBBox ---------------------------------------------------------------

void SetEdges(TBBox& b, double n, double s, double e, double o) {
  b.N = n;
  b.S = s;
  b.E = e;
  b.O = o;
}

TEST(BBox, ClearKeepsRmOnly) {
  TBBox b;
  SetEdges(b, 1, 2, 3, 4);
  b.Rm = 2.5;
  b.Rx = 6;
  b.Ry = 7;
  b.Complete = true;
  b.Clear();
  EXPECT_EQ(b.Rm, 2.5);
  EXPECT_EQ(b.N, 0);
  EXPECT_EQ(b.S, 0);
  EXPECT_EQ(b.E, 0);
  EXPECT_EQ(b.O, 0);
  EXPECT_EQ(b.Rx, 0);
  EXPECT_EQ(b.Ry, 0);
  EXPECT_FALSE(b.Complete);
}

TEST(BBox, AddToAnIncompleteBoxCopiesAllSevenNumbers) {
  TBBox target;
  TBBox other;
  SetEdges(other, 3, 1, 4, 2);
  other.Rm = 5;
  other.Rx = 6;
  other.Ry = 7;  // other is not Complete itself: copied all the same
  target.Add(other);
  EXPECT_EQ(target.N, 3);
  EXPECT_EQ(target.S, 1);
  EXPECT_EQ(target.E, 4);
  EXPECT_EQ(target.O, 2);
  EXPECT_EQ(target.Rm, 5);
  EXPECT_EQ(target.Rx, 6);
  EXPECT_EQ(target.Ry, 7);
  EXPECT_TRUE(target.Complete);
}

TEST(BBox, AddOfACompleteBoxIsTheUnionAndKeepsTheScales) {
  TBBox target;
  SetEdges(target, 3, 1, 4, 2);
  target.Complete = true;
  target.Rm = 9;
  TBBox other;
  SetEdges(other, 5, 2, 3, -1);
  other.Rm = 1;
  target.Add(other);
  EXPECT_EQ(target.N, 5);
  EXPECT_EQ(target.S, 1);
  EXPECT_EQ(target.E, 4);
  EXPECT_EQ(target.O, -1);
  EXPECT_EQ(target.Rm, 9);
  EXPECT_TRUE(target.Complete);
}

TEST(BBox, AnEdgeOnZeroNeverCompletesButCompleteNeverFalls) {
  TBBox onEquator;
  {
    TBBox other;
    SetEdges(other, 1, 0, 2, 1);
    onEquator.Add(other);
  }
  EXPECT_FALSE(onEquator.Complete);
  EXPECT_EQ(onEquator.N, 1);

  // A Complete box whose union has an edge on 0 stays Complete.
  TBBox stays;
  SetEdges(stays, 3, 0, 4, 2);
  stays.Complete = true;
  {
    TBBox other;
    SetEdges(other, 1, 0, 2, 1);
    stays.Add(other);
  }
  EXPECT_TRUE(stays.Complete);
}

TEST(BBox, CopyLeavesCompleteAndGetCenterIsAFreshPoint) {
  TBBox target;
  TBBox source;
  SetEdges(source, 4, 2, 10, 6);
  source.Complete = true;
  target.Copy(source);
  EXPECT_FALSE(target.Complete);
  const std::unique_ptr<TPoint4D2> c = target.GetCenter();
  EXPECT_EQ(c->Latitude, 3);
  EXPECT_EQ(c->Longitude, 8);
  EXPECT_TRUE(c->enabled);
  EXPECT_EQ(c->Altitude, 0);
}

// ---- TPointList2 -----------------------------------------------------------


void Fill(TPointList2& list, std::initializer_list<std::pair<double, double>> positions) {
  for (const auto& [lat, lon] : positions) list.Add(At(lat, lon));
}

TEST(PointListBox, ResetBoxOfTheEnabledPoints) {
  struct Case {
    const char* name;
    std::vector<bool> enabled;
    bool complete;
    double n, s, e, o;  // expected when complete
  };
  // Points (lat, lon): (1, 10), (2, 20), (3, 30), (4, 40).
  const Case cases[] = {
      {"all", {true, true, true, true}, true, 4, 1, 40, 10},
      {"disabled start skipped", {false, false, true, true}, true, 4, 3, 40, 30},
      {"only point 2", {false, false, true, false}, true, 3, 3, 30, 30},
      {"only the last point", {false, false, false, true}, true, 4, 4, 40, 40},
      {"none", {false, false, false, false}, false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    TPointList2 list;
    Fill(list, {{1, 10}, {2, 20}, {3, 30}, {4, 40}});
    for (int i = 0; i < 4; ++i) list.GetPoint(i)->enabled = c.enabled[static_cast<std::size_t>(i)];
    SetEdges(list.BBox, 9, 8, 7, 6);
    list.CalcBBox(true);
    EXPECT_EQ(list.BBox.Complete, c.complete) << c.name;
    if (c.complete) {
      EXPECT_EQ(list.BBox.N, c.n) << c.name;
      EXPECT_EQ(list.BBox.S, c.s) << c.name;
      EXPECT_EQ(list.BBox.E, c.e) << c.name;
      EXPECT_EQ(list.BBox.O, c.o) << c.name;
    } else {
      EXPECT_EQ(list.BBox.N, 9) << c.name << ": the old numbers stay";
    }
  }
}

TEST(PointListBox, ARangeBoxCoversOnlyTheRange) {
  TPointList2 list;
  Fill(list, {{1, 10}, {2, 20}, {3, 30}, {4, 40}});
  list.CalcBBoxFromTo(1, 2, true);
  EXPECT_TRUE(list.BBox.Complete);
  EXPECT_EQ(list.BBox.N, 3);
  EXPECT_EQ(list.BBox.S, 2);
  EXPECT_EQ(list.BBox.E, 30);
  EXPECT_EQ(list.BBox.O, 20);
}

TEST(PointListBox, OnePointGetsNoBox) {
  TPointList2 list;
  Fill(list, {{1, 10}});
  SetEdges(list.BBox, 9, 8, 7, 6);
  list.BBox.Complete = true;
  list.CalcBBox(true);
  EXPECT_FALSE(list.BBox.Complete);
  EXPECT_EQ(list.BBox.N, 9);
}

TEST(PointListBox, WithoutResetTheBoxGrowsFromTheStoredEdges) {
  TPointList2 list;
  Fill(list, {{1, 10}, {2, 20}});
  SetEdges(list.BBox, 5, 1.5, 15, 12);
  list.BBox.Rm = 3;
  list.CalcBBox(false);
  EXPECT_TRUE(list.BBox.Complete);
  EXPECT_EQ(list.BBox.N, 5);
  EXPECT_EQ(list.BBox.S, 1);
  EXPECT_EQ(list.BBox.E, 20);
  EXPECT_EQ(list.BBox.O, 10);
  EXPECT_EQ(list.BBox.Rm, 3);

  // Every point disabled: the old edges, now Complete.
  list.SetEnabled(false);
  SetEdges(list.BBox, 5, 4, 3, 2);
  list.CalcBBox(false);
  EXPECT_TRUE(list.BBox.Complete);
  EXPECT_EQ(list.BBox.N, 5);
  EXPECT_EQ(list.BBox.O, 2);
}

TEST(PointListBox, AnIndexOutsideFailsHavingOnlyClearedComplete) {
  TPointList2 list;
  Fill(list, {{1, 10}, {2, 20}});
  for (auto [from, to] : {std::pair{0, 2}, std::pair{-1, 1}}) {
    SetEdges(list.BBox, 9, 8, 7, 6);
    list.BBox.Complete = true;
    EXPECT_THROW(list.CalcBBoxFromTo(from, to, true), EListError);
    EXPECT_FALSE(list.BBox.Complete);
    EXPECT_EQ(list.BBox.N, 9);
    EXPECT_EQ(list.BBox.O, 6);
  }
}

TEST(PointListSearch, ClosestAndFarthest) {
  TPointList2 list;
  Fill(list, {{0, 1}, {0, -1}, {0, 3}});
  list.GetPoint(2)->enabled = false;  // disabled points take part
  EXPECT_EQ(list.FindClosestIndex(0, 0), 0);  // a tie keeps the lower index
  EXPECT_EQ(list.FindClosestPoint(-0.9, 0), list.GetPoint(1));
  EXPECT_EQ(list.FindFurtherPoint(0, 0), list.GetPoint(2));
  EXPECT_EQ(list.FindFurtherPoint(2, 0), list.GetPoint(1));
}

TEST(PointListSearch, NoPointToFindIsNullNotAnError) {
  TPointList2 empty;
  EXPECT_EQ(empty.FindClosestIndex(0, 0), -1);
  EXPECT_EQ(empty.FindClosestPoint(0, 0), nullptr);
  EXPECT_EQ(empty.FindFurtherPoint(0, 0), nullptr);

  TPointList2 allHere;
  Fill(allHere, {{5, 6}, {5, 6}});
  EXPECT_EQ(allHere.FindFurtherPoint(6, 5), nullptr);
  EXPECT_EQ(allHere.FindClosestPoint(6, 5), allHere.GetPoint(0));
}

TEST(PointListSpeed, GetSpeedOf) {
  // 1 km north at about 0.008993 degrees of latitude.
  const double oneKmLat = 1000.0 / kMetresPerDegreeAtEquator;
  const double hour = 1.0 / 24;
  TPointList2 list;
  list.Add(At(0, 0, 100));
  list.Add(At(oneKmLat, 0, 100 + hour));
  list.Add(At(2 * oneKmLat, 0, 0));                 // no time
  list.Add(At(3 * oneKmLat, 0, 100 + 2 * hour));   // predecessor without time
  list.Add(At(4 * oneKmLat, 0, 100 + 2 * hour));   // same time as predecessor
  list.Add(At(3 * oneKmLat, 0, 100 + 1.5 * hour)); // going back in time: absolute
  EXPECT_EQ(list.GetSpeedOf(list.GetPoint(0)), -1.0);
  EXPECT_NEAR(list.GetSpeedOf(list.GetPoint(1)), 1.0, 1e-6);
  EXPECT_EQ(list.GetSpeedOf(list.GetPoint(2)), -1.0);
  EXPECT_EQ(list.GetSpeedOf(list.GetPoint(3)), -1.0);
  EXPECT_EQ(list.GetSpeedOf(list.GetPoint(4)), -1.0);
  EXPECT_NEAR(list.GetSpeedOf(list.GetPoint(5)), 2.0, 1e-6);
  const auto stranger = At(0, 0);
  EXPECT_EQ(list.GetSpeedOf(stranger.get()), -1.0);
}

TEST(PointList, EnabledPassesDownOnlyToThePointsHeldNow) {
  TPointList2 list;
  EXPECT_FALSE(list.Enabled());
  Fill(list, {{1, 1}, {2, 2}});
  list.SetEnabled(false);
  EXPECT_FALSE(list.Enabled());
  EXPECT_FALSE(list.GetPoint(0)->enabled);
  EXPECT_FALSE(list.GetPoint(1)->enabled);
  list.Add(At(3, 3));
  EXPECT_TRUE(list.GetPoint(2)->enabled);
}

TEST(PointList, UnlinkingHandsBackAndFreeingFrees) {
  bool freedA = false, freedB = false, freedC = false, freedD = false;
  TPointList2 list;
  list.Add(std::make_unique<ProbePoint>(&freedA));
  list.Add(std::make_unique<ProbePoint>(&freedB));
  list.Add(std::make_unique<ProbePoint>(&freedC));
  TPoint4D2* c = list.GetPoint(2);

  std::unique_ptr<TPoint4D2> a = list.Delete(0);
  EXPECT_FALSE(freedA);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf(a.get()), -1);

  list.SetPoint(1, std::make_unique<ProbePoint>(&freedD));
  EXPECT_TRUE(freedC);
  EXPECT_EQ(list.IndexOf(c), -1);

  list.FreeAndDelete(0);
  EXPECT_TRUE(freedB);
  list.ClearPointList();
  EXPECT_TRUE(freedD);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(freedA);
}

TEST(PointList, EveryIndexedAccessIsChecked) {
  TPointList2 list;
  Fill(list, {{1, 1}, {2, 2}});
  EXPECT_THROW(list.GetPoint(2), EListError);
  EXPECT_THROW(list.GetPoint(-1), EListError);
  EXPECT_THROW(list.SetPoint(2, At(0, 0)), EListError);
  EXPECT_THROW(list.FreeAndDelete(-1), EListError);
  EXPECT_THROW((void)list.Delete(2), EListError);
  EXPECT_THROW(list.Insert(3, At(0, 0)), EListError);
  EXPECT_EQ(list.Count(), 2);
  list.Insert(2, At(3, 3));  // at Count appends
  EXPECT_EQ(list.GetPoint(2)->Latitude, 3);
  try {
    list.GetPoint(7);
    FAIL();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (7)");
  }
}

TEST(PointList, SortByDateAndIteration) {
  TPointList2 list;
  for (TDateTime t : {3.0, 1.0, 2.0, 1.5}) list.Add(At(t, 0, t));
  list.SortByDate();
  std::vector<double> times;
  for (const TPoint4D2& p : list) times.push_back(p.DateTime);
  EXPECT_EQ(times, (std::vector<double>{1.0, 1.5, 2.0, 3.0}));
  EXPECT_EQ(ComparePointsByDate(*list.GetPoint(0), *list.GetPoint(1)), -1);
  EXPECT_EQ(ComparePointsByDate(*list.GetPoint(1), *list.GetPoint(0)), 1);
  EXPECT_EQ(ComparePointsByDate(*list.GetPoint(1), *list.GetPoint(1)), 0);
}

}  // namespace
