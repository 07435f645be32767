// Thinning the tracks and taking their samples.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "app/logic/InterpolationSamples.h"
#include "model/GPX.h"
#include "tests/app/logic/LogicSupport.h"

// ---- thinning -----------------------------------------------------------------------

TEST(DecimateTracks, ATransectAlongAMeridianKeepsItsPoints) {
  // Points 10 m apart due north: the longitude never changes, yet every point is
  // a step further north than the last kept one.
  TGPX doc;
  TSegmentPoints points;
  for (int i = 0; i < 20; ++i) points.push_back({47.0 + i * 0.00009, 8.5, 300});
  TGPXtrkseg& seg = AddTrack(doc, points);
  EXPECT_EQ(DecimateTracks(doc, 0.00005, 0.00005), 0);
  EXPECT_EQ(seg.Count(), 20);

  // And east-west likewise.
  TGPX doc2;
  TSegmentPoints east;
  for (int i = 0; i < 20; ++i) east.push_back({47.0, 8.5 + i * 0.0001, 300});
  AddTrack(doc2, east);
  EXPECT_EQ(DecimateTracks(doc2, 0.00005, 0.00005), 0);
}

TEST(DecimateTracks, DropsPointsCloseInBothDirectionsToTheLastKeptOne) {
  TGPX doc;
  TGPXtrkseg& seg = AddTrack(doc, {{1.0, 1.0, 100},        // first point: kept, even near (1.0, 1.0)
                                     {1.00001, 1.00001, 110},  // within both steps: dropped
                                     {1.00004, 1.00004, 120},  // still within of the first: dropped
                                     {1.00020, 1.00001, 130},  // a step north: kept
                                     {1.00021, 1.00002, 140},  // close to the previous kept one: dropped
                                     {1.00021, 1.00030, 150}});
  EXPECT_EQ(DecimateTracks(doc, 0.0001, 0.0001), 3);
  EXPECT_EQ(Depths(seg), (std::vector<double>{100, 130, 150}));
  // A second run finds nothing more to drop.
  EXPECT_EQ(DecimateTracks(doc, 0.0001, 0.0001), 0);
}

TEST(DecimateTracks, SteppingZeroKeepsEverythingAndEmptySegmentsAreFine) {
  TGPX doc;
  AddTrack(doc, {});
  TGPXtrkseg& seg = AddTrack(doc, {{5, 5, 1}, {5, 5, 2}});
  EXPECT_EQ(DecimateTracks(doc, 0, 0), 0);
  EXPECT_EQ(seg.Count(), 2);
}

TEST(AppendTrackSamples, AppendsEveryTrackPointInSinglePrecision) {
  TGPX doc;
  AddTrack(doc, {{47.25, 8.5, 350.5}, {47.5, 8.75, 0}});
  doc.wpt.Add(std::make_unique<TGPXwpt>());  // waypoints are no samples
  TPointList coord{{1.0f, 2.0f}};
  TValueList depth{0.0f};
  AppendTrackSamples(doc, coord, depth);
  ASSERT_EQ(coord.size(), 3u);
  ASSERT_EQ(depth.size(), 3u);
  EXPECT_EQ(coord[1], (std::array<float, 2>{8.5f, 47.25f}));
  EXPECT_EQ(depth[1], 350.5f);
  EXPECT_EQ(coord[2], (std::array<float, 2>{8.75f, 47.5f}));
}
