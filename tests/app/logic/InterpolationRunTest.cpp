// Bands, thinning, samples, the colour grid as a picture, and smoothing.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "app/logic/InterpolationRun.h"
#include "model/GPX.h"
#include "tests/app/logic/LogicSupport.h"

// ---- bands ------------------------------------------------------------------------

TEST(PlanBands, FollowsTheExamples) {
  const std::vector<TBand> wide = PlanBands(811);
  ASSERT_EQ(wide.size(), 54u);
  EXPECT_EQ(wide[0], (TBand{0, 14}));
  EXPECT_EQ(wide[1], (TBand{15, 29}));
  EXPECT_EQ(wide[52], (TBand{780, 794}));
  EXPECT_EQ(wide[53], (TBand{795, 810}));

  EXPECT_EQ(PlanBands(16), (std::vector<TBand>{{0, 15}}));
  EXPECT_EQ(PlanBands(31), (std::vector<TBand>{{0, 14}, {15, 30}}));
}

TEST(PlanBands, ANarrowViewIsOneBandAndAnEmptyOneHasNone) {
  EXPECT_EQ(PlanBands(15), (std::vector<TBand>{{0, 14}}));
  EXPECT_EQ(PlanBands(1), (std::vector<TBand>{{0, 0}}));
  EXPECT_TRUE(PlanBands(0).empty());
  EXPECT_TRUE(PlanBands(-3).empty());
}

TEST(PlanBands, EveryWidthIsCoveredByDisjointBandsOfAtLeast15Columns) {
  for (int width = 16; width <= 2500; ++width) {
    const std::vector<TBand> bands = PlanBands(width);
    ASSERT_EQ(static_cast<int>(bands.size()), (width - 1) / 15) << width;
    int next = 0;
    for (const TBand& band : bands) {
      ASSERT_EQ(band.First, next) << width;
      ASSERT_GE(band.Last - band.First + 1, 15) << width;
      next = band.Last + 1;
    }
    ASSERT_EQ(next, width) << width;
  }
}

// ---- thinning -----------------------------------------------------------------------

TEST(DecimateTracks, ATransectAlongAMeridianKeepsItsPoints) {
  // Points 10 m apart due north: the longitude never changes, yet every point is
  // a step further north than the last kept one.
  TGPX doc;
  std::vector<std::array<double, 3>> points;
  for (int i = 0; i < 20; ++i) points.push_back({47.0 + i * 0.00009, 8.5, 300});
  TGPXtrkseg& seg = AddSegment(doc, points);
  EXPECT_EQ(DecimateTracks(doc, 0.00005, 0.00005), 0);
  EXPECT_EQ(seg.Count(), 20);

  // And east-west likewise.
  TGPX doc2;
  std::vector<std::array<double, 3>> east;
  for (int i = 0; i < 20; ++i) east.push_back({47.0, 8.5 + i * 0.0001, 300});
  AddSegment(doc2, east);
  EXPECT_EQ(DecimateTracks(doc2, 0.00005, 0.00005), 0);
}

TEST(DecimateTracks, DropsPointsCloseInBothDirectionsToTheLastKeptOne) {
  TGPX doc;
  TGPXtrkseg& seg = AddSegment(doc, {{1.0, 1.0, 100},        // first point: kept, even near (1.0, 1.0)
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
  AddSegment(doc, {});
  TGPXtrkseg& seg = AddSegment(doc, {{5, 5, 1}, {5, 5, 2}});
  EXPECT_EQ(DecimateTracks(doc, 0, 0), 0);
  EXPECT_EQ(seg.Count(), 2);
}

TEST(AppendTrackSamples, AppendsEveryTrackPointInSinglePrecision) {
  TGPX doc;
  AddSegment(doc, {{47.25, 8.5, 350.5}, {47.5, 8.75, 0}});
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

// ---- picture and smoothing ---------------------------------------------------------------

TEST(GridToPicture, KeepsRedInTheLowestByte) {
  TColorArray grid(3, 2);
  grid[0][0] = RGB(255, 0, 0);
  grid[2][1] = RGB(0, 0, 255);
  TBitmap picture;
  GridToPicture(grid, picture);
  ASSERT_EQ(picture.Width(), 3);
  ASSERT_EQ(picture.Height(), 2);
  EXPECT_EQ(picture.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(picture.Pixel(2, 1), RGB(0, 0, 255));
  EXPECT_EQ(picture.Pixel(1, 0), 0u);  // black where nothing was computed
}

TEST(SmoothMap, AveragesInPlaceTopDownAndLeftToRight) {
  TBitmap picture(5, 5);
  picture.Fill(0);
  picture.SetPixel(2, 2, RGB(90, 9, 180));
  TBooleanArray mask(5, 5);
  mask.Fill(true);
  SmoothMap(picture, mask);
  // (1, 1) sees the bright pixel: 90 / 9 = 10.
  EXPECT_EQ(picture.Pixel(1, 1), RGB(10, 1, 20));
  // (2, 1) comes next and already sees the new (1, 1): (10 + 90) / 9 = 11.
  EXPECT_EQ(picture.Pixel(2, 1), RGB(11, 1, 22));
  // The outermost rows and columns keep their colour.
  EXPECT_EQ(picture.Pixel(0, 0), 0u);
  EXPECT_EQ(picture.Pixel(4, 2), 0u);
}

TEST(SmoothMap, LeavesAUniformBlockAndPixelsNearTheMaskEdgeAlone) {
  TBitmap picture(6, 6);
  picture.Fill(RGB(40, 80, 120));
  picture.SetPixel(4, 4, RGB(255, 255, 255));
  TBooleanArray mask(6, 6);
  mask.Fill(true);
  mask[5][5] = false;  // the block of (4, 4) touches it
  SmoothMap(picture, mask);
  EXPECT_EQ(picture.Pixel(2, 2), RGB(40, 80, 120));
  EXPECT_EQ(picture.Pixel(4, 4), RGB(255, 255, 255));
}

