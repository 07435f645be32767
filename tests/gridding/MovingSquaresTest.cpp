#include "gridding/MovingSquares.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "model/ColorInterpolate.h"
#include "platform/Canvas.h"

namespace {

using Corner = std::pair<int, int>;
using Segment = std::vector<Corner>;

constexpr TColor kShallow = 0x00FF00;
constexpr TColor kDeep = 0xFF0000;

struct RecordingHost : TIsoMapHost {
  std::vector<std::string> calls;
  void SetIsoProgressMax(int maximum) override { calls.push_back("max " + std::to_string(maximum)); }
  void SetIsoProgress(int position) override { calls.push_back("pos " + std::to_string(position)); }
  void ProcessMessages() override { calls.push_back("pump"); }
  void UpdateIsoImage() override { calls.push_back("update"); }
};

// An interpolated map of shallow pixels with deep rectangles painted on it, a
// full mask, and a tracer over both. One level (50 of 100) splits deep from shallow.
class MovingSquaresTest : public ::testing::Test {
protected:
  void SetUp(int width, int height) {
    image.SetSize(width, height);
    image.Fill(kShallow);
    mask.SetLength(width, height);
    mask.Fill(true);
    view = TViewProjection{10, 50, 100, height};
  }
  void Deep(int x0, int y0, int width, int height) {
    for (int x = x0; x < x0 + width; ++x)
      for (int y = y0; y < y0 + height; ++y) image.SetPixel(x, y, kDeep);
  }
  void TraceOneLevel() {
    TMovingSquares tracer(gpx, view, isoMap, image, mask, &host);
    tracer.clShallow = kShallow;
    tracer.clDeep = kDeep;
    tracer.GenerateISO(50, 100, 100);
  }

  // The traced contours as corners, one list per segment, one list of those per track.
  std::vector<std::vector<Segment>> Contours() const {
    std::vector<std::vector<Segment>> tracks;
    for (const TGPXtrk& track : gpx.trk) {
      tracks.emplace_back();
      for (const TGPXtrkseg& segment : track) {
        Segment corners;
        for (const TGPXwpt& p : segment.Waypoints()) {
          corners.emplace_back(view.LoToX(p.Longitude), view.LaToY(p.Latitude));
          EXPECT_EQ(p.Longitude, view.XToLo(corners.back().first));
          EXPECT_EQ(p.Latitude, view.YToLa(corners.back().second));
          EXPECT_EQ(p.HBdepth, 50);
        }
        tracks.back().push_back(corners);
      }
    }
    return tracks;
  }

  // A deep rectangle of w by h pixels from (a, b), walked and thinned.
  static Segment RectangleContour(int a, int b, int w, int h) {
    return {{a, b + 1}, {a + 1, b + h}, {a + w, b + h - 1}, {a + w - 1, b}, {a, b}};
  }

  TBitmap image;
  TBitmap isoMap;
  TBooleanArray mask;
  TViewProjection view;
  TGPX gpx;
  RecordingHost host;
};

TEST_F(MovingSquaresTest, SingleDeepPixelGivesThreeCorners) {
  SetUp(10, 8);
  Deep(4, 3, 1, 1);
  TraceOneLevel();
  EXPECT_EQ(Contours(), (std::vector<std::vector<Segment>>{{{{4, 4}, {5, 3}, {4, 3}}}}));

  // The walk is drawn in the level's colour on the ISO map, which takes the image's size.
  const TColor level = InterpolateColor(kShallow, kDeep, 0.5);
  EXPECT_EQ(isoMap.Width(), 10);
  EXPECT_EQ(isoMap.Height(), 8);
  EXPECT_EQ(isoMap.Pixel(4, 4), level);
  EXPECT_EQ(isoMap.Pixel(5, 4), level);
  EXPECT_EQ(isoMap.Pixel(5, 3), level);
  EXPECT_EQ(isoMap.Pixel(1, 1), 0xFFFFFFu);
}

TEST_F(MovingSquaresTest, PointsTakeTheViewAsItWasWhenTheTracerWasMade) {
  SetUp(10, 8);
  Deep(4, 3, 1, 1);
  TMovingSquares tracer(gpx, view, isoMap, image, mask, &host);
  tracer.clShallow = kShallow;
  tracer.clDeep = kDeep;
  const TViewProjection atStart = view;
  view = TViewProjection{12, 40, 300, 8};  // the user pans and zooms meanwhile
  tracer.GenerateISO(50, 100, 100);
  ASSERT_EQ(gpx.trk.Count(), 1);
  const TGPXwpt& first = *gpx.trk.GetTrack(0)->GetTrkSeg(0)->GetTrkPoint(0);
  EXPECT_EQ(first.Longitude, atStart.XToLo(4));
  EXPECT_EQ(first.Latitude, atStart.YToLa(4));
}

// The window may rebuild its mask or picture while messages are pumped between
// two levels: the tracer works from what it was given, so the trace is the same.
TEST_F(MovingSquaresTest, MaskAndPictureChangedBetweenLevelsDoNotReachTheTrace) {
  SetUp(12, 10);
  Deep(3, 2, 5, 4);
  struct Meddler : RecordingHost {
    TBitmap* image = nullptr;
    TBooleanArray* mask = nullptr;
    void ProcessMessages() override {
      RecordingHost::ProcessMessages();
      mask->SetLength(3, 2);
      image->SetSize(2, 2);
    }
  } meddler;
  meddler.image = &image;
  meddler.mask = &mask;
  TMovingSquares tracer(gpx, view, isoMap, image, mask, &meddler);
  mask.SetLength(1, 1);  // rebuilt before the first level
  tracer.clShallow = kShallow;
  tracer.clDeep = kDeep;
  tracer.GenerateISO(50, 150, 100);  // levels 50 and 150: the picture changes after the first pump
  EXPECT_EQ(Contours(), (std::vector<std::vector<Segment>>{{RectangleContour(3, 2, 5, 4)}}));
}

TEST_F(MovingSquaresTest, DeepRectangleGivesFiveCorners) {
  SetUp(12, 10);
  Deep(3, 2, 5, 4);
  TraceOneLevel();
  EXPECT_EQ(Contours(), (std::vector<std::vector<Segment>>{{RectangleContour(3, 2, 5, 4)}}));
}

TEST_F(MovingSquaresTest, RegionCrossingTheMaskEdgeGivesOneSegmentPerLongRun) {
  SetUp(14, 10);
  Deep(2, 3, 9, 4);
  // Corners next to column 6 are outside the area; the walk leaves it twice.
  for (int y = 0; y < 10; ++y) mask[6][y] = false;
  TraceOneLevel();
  // The last run, (5,3) to (2,3), collapses to two points and is dropped.
  EXPECT_EQ(Contours(), (std::vector<std::vector<Segment>>{
                            {{{2, 4}, {3, 7}, {5, 7}}, {{8, 7}, {11, 6}, {10, 3}, {8, 3}}}}));
}

TEST_F(MovingSquaresTest, ShallowHoleIsAWalkOfItsOwn) {
  SetUp(12, 10);
  Deep(2, 2, 7, 6);
  image.SetPixel(5, 4, kShallow);
  TraceOneLevel();
  EXPECT_EQ(Contours(), (std::vector<std::vector<Segment>>{{RectangleContour(2, 2, 7, 6)},
                                                           {{{5, 4}, {6, 5}, {5, 5}}}}));
}

TEST_F(MovingSquaresTest, CornerNeighboursAreWalkedApart) {
  SetUp(10, 8);
  Deep(3, 3, 1, 1);
  Deep(4, 4, 1, 1);
  TraceOneLevel();
  // The saddle at (4, 4) turns the walk back round the first pixel. The second
  // pixel's start corner lies on that walk, so the level traces it no more.
  EXPECT_EQ(Contours(), (std::vector<std::vector<Segment>>{{{{3, 4}, {4, 3}, {3, 3}}}}));
}

TEST_F(MovingSquaresTest, ImageEdgeIsNeverDeepForTheWalk) {
  SetUp(10, 8);
  Deep(0, 3, 3, 3);  // touches the left edge: column 0 does not count
  Deep(6, 0, 2, 2);  // touches the top edge: no start below a shallow cell
  TraceOneLevel();
  // Corners on column 1 border column 0, outside the walk's range, so the run
  // inside the area starts at column 2.
  EXPECT_EQ(Contours(), (std::vector<std::vector<Segment>>{{{{2, 6}, {3, 5}, {2, 3}}}}));
}

TEST_F(MovingSquaresTest, LevelAboveEveryPixelTracesNothingButRefreshes) {
  SetUp(10, 8);
  Deep(4, 3, 2, 2);
  TMovingSquares tracer(gpx, view, isoMap, image, mask, &host);
  tracer.clShallow = kShallow;
  tracer.clDeep = kDeep;
  tracer.GenerateISO(100, 100, 100);  // the deep colour itself: nothing lies above it
  EXPECT_EQ(gpx.trk.Count(), 0);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"max 100", "pos 0", "pos 100", "pump", "update"}));
}

struct LevelCase {
  int maxDepth;
  int step;
  int progressMax;
  std::vector<int> levels;
};

class GenerateIsoLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(GenerateIsoLevels, LevelsAndProgress) {
  const LevelCase& c = GetParam();
  TBitmap image(6, 6), isoMap;
  TBooleanArray mask(6, 6);
  TGPX gpx;
  RecordingHost host;
  TMovingSquares(gpx, TViewProjection{10, 50, 100, 6}, isoMap, image, mask, &host).GenerateISO(0, c.maxDepth, c.step);
  std::vector<std::string> expected = {"max " + std::to_string(c.progressMax), "pos 0"};
  for (int level : c.levels) expected.insert(expected.end(), {"pos " + std::to_string(level), "pump", "update"});
  EXPECT_EQ(host.calls, expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, GenerateIsoLevels,
                         ::testing::Values(LevelCase{250, 100, 300, {0, 100, 200}},
                                           LevelCase{1234, 100, 1200, {0, 100, 200, 300, 400, 500, 600, 700, 800, 900,
                                                                       1000, 1100, 1200}},
                                           LevelCase{1199, 300, 1200, {0, 300, 600, 900, 1200}},
                                           LevelCase{850, 100, 900, {0, 100, 200, 300, 400, 500, 600, 700, 800}},
                                           LevelCase{149, 150, 100, {0, 150}},
                                           LevelCase{150, 151, 200, {0, 151}}));

TEST(MovingSquaresRefusals, BadInputIsRefusedBeforeAnyWork) {
  TBitmap image(8, 6);
  TBooleanArray mask(8, 6), narrowMask(7, 6), shortMask(8, 5);
  struct Case {
    const char* name;
    int maxDepth, step;
    const TBooleanArray* mask;
  };
  for (const Case& c : {Case{"StepZero", 100, 0, &mask}, Case{"StepNegative", 100, -100, &mask},
                        Case{"MaxDepthZero", 0, 100, &mask}, Case{"MaxDepthNegative", -5, 100, &mask},
                        Case{"MaskNarrower", 100, 100, &narrowMask}, Case{"MaskShorter", 100, 100, &shortMask}}) {
    TBitmap isoMap(3, 3);
    TGPX gpx;
    RecordingHost host;
    TMovingSquares tracer(gpx, TViewProjection{10, 50, 100, 6}, isoMap, image, *c.mask, &host);
    EXPECT_THROW(tracer.GenerateISO(0, c.maxDepth, c.step), std::invalid_argument) << c.name;
    EXPECT_TRUE(host.calls.empty()) << c.name;
    EXPECT_EQ(isoMap.Width(), 3) << c.name;
  }
}

}  // namespace
