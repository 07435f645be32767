// Polygons, the shore-line picture, the mask and its shore samples.

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "app/logic/InterpolationArea.h"
#include "platform/Canvas.h"

// ---- polygons, mask and shore samples --------------------------------------------------------

TEST(PtInRgn, CountsCrossingsOnBothSides) {
  const TPixelPolygon square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const TPixelPolygon closed{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  struct TCase {
    TPoint p;
    bool inside;
  };
  const TCase cases[] = {
      {{5, 5}, true},    {{1, 9}, true},   {{15, 5}, false}, {{-1, 5}, false},
      {{5, 10}, false},  // on the top edge row: no edge counts there
      {{0, 5}, false},   // on the left edge: that crossing counts on neither side
      {{10, 5}, false},  // on the right edge likewise
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(PtInRgn(square, c.p), c.inside) << c.p.X << "," << c.p.Y;
    EXPECT_EQ(PtInRgn(closed, c.p), c.inside) << c.p.X << "," << c.p.Y;
  }
  const TPixelPolygon single{{3, 3}};
  EXPECT_FALSE(PtInRgn(single, {3, 3}));
}

namespace {
TPixelPolygon Square(int left, int top, int right, int bottom) {
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

struct TAreaFixture {
  static constexpr int kSize = 40;
  TBitmap shadow{kSize, kSize};
  TBitmap shore{kSize, kSize};
  TViewProjection projection{10.0, 50.0, 1000.0, kSize};
  TBooleanArray mask;
  TPointList coord;
  TValueList depth;

  TAreaFixture() { shadow.Fill(0xC0C0C0); }  // a wide stroke everywhere
  void Build(const std::vector<TPixelPolygon>& polygons) {
    PaintShoreLine(shore, polygons);
    CombineMask(shadow, shore, projection, mask, coord, depth);
  }
  int MaskCount() const {
    int n = 0;
    for (int x = 0; x < kSize; ++x)
      for (int y = 0; y < kSize; ++y) n += mask[x][y];
    return n;
  }
};
}  // namespace

TEST(InterpolationArea, LakeWithTwoIslands) {
  TAreaFixture f;
  f.shadow.SetPixel(20, 6, 0xFFFFFF);  // not under a stroke
  f.Build({Square(8, 8, 14, 14), Square(2, 2, 37, 37), Square(22, 22, 30, 30)});

  EXPECT_EQ(f.shore.Pixel(20, 5), shoreline::kLake);
  EXPECT_EQ(f.shore.Pixel(11, 11), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(26, 26), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(2, 20), shoreline::kIsland);  // the lake's outline
  EXPECT_EQ(f.shore.Pixel(0, 0), shoreline::kLand);

  EXPECT_TRUE(f.mask[20][5]);
  EXPECT_FALSE(f.mask[20][6]);   // white on the shadow map
  EXPECT_FALSE(f.mask[11][11]);  // island
  EXPECT_FALSE(f.mask[26][26]);  // island
  EXPECT_FALSE(f.mask[2][20]);   // outline
  EXPECT_FALSE(f.mask[0][20]);   // land

  // One zero-depth sample for every red pixel, at that pixel's position.
  std::set<std::pair<float, float>> red;
  for (int y = 0; y < TAreaFixture::kSize; ++y)
    for (int x = 0; x < TAreaFixture::kSize; ++x)
      if (f.shore.Pixel(x, y) == shoreline::kIsland)
        red.insert({static_cast<float>(f.projection.XToLo(x)), static_cast<float>(f.projection.YToLa(y))});
  ASSERT_EQ(f.coord.size(), red.size());
  ASSERT_EQ(f.depth.size(), red.size());
  for (std::size_t i = 0; i < f.coord.size(); ++i) {
    EXPECT_TRUE(red.count({f.coord[i][0], f.coord[i][1]})) << i;
    EXPECT_EQ(f.depth[i], 0.0f);
  }
}

TEST(InterpolationArea, WithoutShoreLineTheWholeViewIsLakeButNeverItsBorder) {
  TAreaFixture f;
  f.Build({});
  EXPECT_TRUE(f.coord.empty());
  EXPECT_EQ(f.MaskCount(), (TAreaFixture::kSize - 2) * (TAreaFixture::kSize - 2));
  for (int i = 0; i < TAreaFixture::kSize; ++i) {
    EXPECT_FALSE(f.mask[0][i]);
    EXPECT_FALSE(f.mask[TAreaFixture::kSize - 1][i]);
    EXPECT_FALSE(f.mask[i][0]);
    EXPECT_FALSE(f.mask[i][TAreaFixture::kSize - 1]);
  }
}

TEST(InterpolationArea, PolygonsSideBySideAreBothIslands) {
  TAreaFixture f;
  f.Build({Square(2, 2, 15, 15), Square(20, 20, 35, 35)});
  EXPECT_EQ(f.MaskCount(), 0);
  EXPECT_EQ(f.shore.Pixel(8, 8), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(27, 27), shoreline::kIsland);
}

TEST(InterpolationArea, TheLakeIsTheLastPolygonThatHoldsAnother) {
  // Two lakes side by side, each with an island: the later lake is the lake, the
  // earlier one and both islands are painted red.
  TAreaFixture f;
  f.Build({Square(1, 1, 18, 38), Square(6, 6, 12, 12), Square(21, 1, 38, 38), Square(26, 26, 32, 32)});
  EXPECT_EQ(f.shore.Pixel(15, 20), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(9, 9), shoreline::kIsland);
  EXPECT_EQ(f.shore.Pixel(30, 10), shoreline::kLake);
  EXPECT_EQ(f.shore.Pixel(29, 29), shoreline::kIsland);
  EXPECT_FALSE(f.mask[15][20]);
  EXPECT_TRUE(f.mask[30][10]);
  EXPECT_FALSE(f.mask[29][29]);

  // One polygon is the lake, however small, and its outline gives the samples.
  TAreaFixture one;
  one.Build({Square(10, 10, 20, 20)});
  EXPECT_EQ(one.shore.Pixel(15, 15), shoreline::kLake);
  EXPECT_TRUE(one.mask[15][15]);
  EXPECT_FALSE(one.mask[10][15]);
  EXPECT_FALSE(one.mask[25][15]);
  EXPECT_FALSE(one.coord.empty());
}

TEST(InterpolationArea, RebuildsReplaceTheShoreSamples) {
  TAreaFixture f;
  f.Build({Square(2, 2, 37, 37)});
  const std::size_t once = f.coord.size();
  ASSERT_GT(once, 0u);
  f.Build({Square(2, 2, 37, 37)});
  EXPECT_EQ(f.coord.size(), once);
  EXPECT_EQ(f.depth.size(), once);
}

