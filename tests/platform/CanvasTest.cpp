#include "platform/Canvas.h"

#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kBlack = 0x000000;
constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

using PixelSet = std::set<std::pair<int, int>>;

PixelSet PixelsOf(const TBitmap& bmp, TColor color) {
  PixelSet s;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if (bmp.Pixel(x, y) == color) s.insert({x, y});
  return s;
}

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

// Distance from the centre of pixel (px, py) to the spine of a stroke of the
// given width from a to b, following the documented rule directly.
long double SpineDistance(int px, int py, TPoint a, TPoint b, int width) {
  const long double s = width % 2 == 0 ? 0.5L : 0.0L;
  const long double ax = a.X - s, ay = a.Y - s, bx = b.X - s, by = b.Y - s;
  const long double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  long double t = len2 == 0 ? 0 : ((px - ax) * dx + (py - ay) * dy) / len2;
  t = std::fmax(0.0L, std::fmin(1.0L, t));
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

TBitmap Stroke(int w, int h, int penWidth, TPoint from, TPoint to) {
  TBitmap bmp(w, h);
  TCanvas& c = bmp.Canvas();
  c.Pen.Color = kBlack;
  c.Pen.Width = penWidth;
  c.MoveTo(from.X, from.Y);
  c.LineTo(to.X, to.Y);
  return bmp;
}

}  // namespace

TEST(CanvasThinLine, LeavesOutItsEndPixel) {
  struct Case {
    TPoint from, to;
    PixelSet expected;
  };
  const Case cases[] = {
      {{1, 2}, {5, 2}, {{1, 2}, {2, 2}, {3, 2}, {4, 2}}},
      {{5, 2}, {1, 2}, {{5, 2}, {4, 2}, {3, 2}, {2, 2}}},
      {{2, 1}, {2, 4}, {{2, 1}, {2, 2}, {2, 3}}},
      {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
      // Minor offset i·1/4 rounded, halves away from the start: 0, 0, 1, 1.
      {{0, 0}, {4, 1}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {{4, 1}, {0, 0}, {{4, 1}, {3, 1}, {2, 0}, {1, 0}}},
      {{3, 3}, {3, 3}, {}},
  };
  for (const Case& c : cases) {
    for (int width : {0, 1}) {
      const TBitmap bmp = Stroke(8, 6, width, c.from, c.to);
      EXPECT_EQ(PixelsOf(bmp, kBlack), c.expected)
          << "(" << c.from.X << "," << c.from.Y << ")-(" << c.to.X << "," << c.to.Y << ") width " << width;
    }
  }
}

TEST(CanvasThinLine, PenPositionMovesWithLineToButNotWithPolyline) {
  TBitmap bmp(10, 10);
  TCanvas& c = bmp.Canvas();
  c.MoveTo(1, 1);
  c.LineTo(4, 1);
  EXPECT_EQ(c.PenPos, (TPoint{4, 1}));
  const TPoint square[] = {{2, 2}, {2, 6}, {6, 6}, {6, 2}, {2, 2}};
  c.Polyline(square);
  EXPECT_EQ(c.PenPos, (TPoint{4, 1}));
  // A closed polyline has every corner, because each segment starts on one.
  for (const TPoint& p : square) EXPECT_EQ(bmp.Pixel(int(p.X), int(p.Y)), kBlack);
  EXPECT_EQ(PixelsOf(bmp, kBlack).size(), 3u + 16u);
}

TEST(CanvasWideLine, EvenAndOddWidthsCoverExactlyTheirRowsAndCaps) {
  struct Case {
    int width;
    int firstRow, lastRow;    // for a stroke along row 50
    int firstCol, lastCol;    // from column 40 to column 90
  };
  const Case cases[] = {
      {30, 35, 64, 25, 104},
      {31, 35, 65, 25, 105},
      {2, 49, 50, 39, 90},
      {3, 49, 51, 39, 91},
  };
  for (const Case& k : cases) {
    const TBitmap bmp = Stroke(130, 100, k.width, {40, 50}, {90, 50});
    const PixelSet covered = PixelsOf(bmp, kBlack);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (auto [x, y] : covered) {
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    EXPECT_EQ(minY, k.firstRow) << k.width;
    EXPECT_EQ(maxY, k.lastRow) << k.width;
    EXPECT_EQ(minX, k.firstCol) << k.width;
    EXPECT_EQ(maxX, k.lastCol) << k.width;
    // Between the ends every row of the stroke is covered in full.
    for (int y = k.firstRow; y <= k.lastRow; ++y)
      for (int x = 40; x <= 89; ++x) EXPECT_TRUE(covered.count({x, y})) << k.width << " at " << x << "," << y;
    // The rounded caps of the wide strokes leave the corners of the box free.
    if (k.width >= 30) {
      EXPECT_FALSE(covered.count({k.firstCol, k.firstRow})) << k.width;
      EXPECT_FALSE(covered.count({k.lastCol, k.lastRow})) << k.width;
    }
  }
}

TEST(CanvasWideLine, CoversThePixelsWhoseCentresLieWithinHalfTheWidth) {
  struct Case {
    int width;
    TPoint from, to;
  };
  const Case cases[] = {
      {2, {10, 10}, {50, 23}},   {7, {60, 5}, {12, 70}},     {12, {40, 40}, {40, 40}},  // a disc
      {13, {40, 40}, {40, 40}},  {20, {5, 70}, {70, 66}},    {45, {30, 20}, {55, 45}},
      {999, {40, 40}, {41, 41}}, {9, {-30, 50}, {100, -20}},  // both ends off the bitmap
  };
  for (const Case& k : cases) {
    const TBitmap bmp = Stroke(80, 80, k.width, k.from, k.to);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x) {
        const long double d = SpineDistance(x, y, k.from, k.to, k.width);
        const long double r = k.width / 2.0L;
        if (std::fabs(d - r) < 1e-9L) continue;  // exactly on the border: either is fine
        ASSERT_EQ(bmp.Pixel(x, y) == kBlack, d < r)
            << "width " << k.width << " pixel " << x << "," << y << " distance " << static_cast<double>(d);
      }
  }
}

TEST(CanvasClipping, FarOffEndDrawsTheSamePixelsAsANearOneOnTheSameLine) {
  // Both lines leave the 60 x 40 bitmap; one ends a little outside, the other a
  // million pixels away on the same line. Width 1 and wide pens alike.
  for (int width : {1, 4, 25}) {
    const TBitmap near = Stroke(60, 40, width, {5, 7}, {5 + 3 * 100, 7 + 2 * 100});
    const TBitmap far = Stroke(60, 40, width, {5, 7}, {5 + 3 * 1000000, 7 + 2 * 1000000});
    EXPECT_TRUE(SamePixels(near, far)) << width;
    EXPECT_GT(PixelsOf(far, kBlack).size(), 30u) << width;
    // Starting far away and coming in gives the same pixels as well.
    const TBitmap in = Stroke(60, 40, width, {5 - 3 * 1000000, 7 - 2 * 1000000}, {5 + 3 * 100, 7 + 2 * 100});
    const TBitmap inNear = Stroke(60, 40, width, {5 - 3 * 100, 7 - 2 * 100}, {5 + 3 * 100, 7 + 2 * 100});
    EXPECT_TRUE(SamePixels(in, inNear)) << width;
  }
  // Coordinates at the ends of int64 are clamped, never wrapped.
  const TBitmap extreme = Stroke(20, 20, 1, {10, 10}, {INT64_MAX, 10});
  EXPECT_EQ(PixelsOf(extreme, kBlack).size(), 10u);
}

TEST(CanvasWideLine, AChainOfStrokesRepaintsACapThatWasPaintedOver) {
  // Strokes of one chain skip the cap the previous one left; that must not
  // survive anything drawn in between.
  TBitmap bmp(60, 60);
  TCanvas& c = bmp.Canvas();
  c.Pen.Color = kBlack;
  c.Pen.Width = 20;
  c.MoveTo(30, 30);
  c.LineTo(30, 30);
  bmp.FillRect({0, 0, 60, 60}, kWhite);
  c.LineTo(31, 30);
  EXPECT_EQ(bmp.Pixel(25, 30), kBlack);
  EXPECT_EQ(bmp.Pixel(21, 29), kBlack);

  // A chain drawn in one go equals the same strokes drawn one by one on fresh
  // surfaces and combined.
  const TPoint chain[] = {{10, 10}, {12, 11}, {13, 13}, {13, 13}, {30, 40}, {31, 40}, {50, 12}};
  TBitmap whole(60, 60);
  whole.Canvas().Pen = {kRed, 15};
  whole.Canvas().Polyline(chain);
  TBitmap pieces(60, 60);
  for (std::size_t i = 1; i < std::size(chain); ++i) {
    const TBitmap one = Stroke(60, 60, 15, chain[i - 1], chain[i]);
    for (auto [x, y] : PixelsOf(one, kBlack)) pieces.SetPixel(x, y, kRed);
  }
  EXPECT_TRUE(SamePixels(whole, pieces));
  EXPECT_EQ(PixelsOf(whole, kRed).size() + PixelsOf(whole, kWhite).size(), 3600u);  // no other colour
}

TEST(CanvasPolygon, FillsEvenOddInsideThenDrawsTheOutline) {
  TBitmap bmp(30, 30);
  TCanvas& c = bmp.Canvas();
  c.Pen.Color = kBlue;
  c.Brush.Color = kRed;
  // An outer square and an inner one joined by a seam walked both ways: the
  // inner square is a hole under the even-odd rule.
  const TPoint ring[] = {{2, 2}, {22, 2}, {22, 22}, {2, 22}, {2, 2}, {8, 8}, {8, 16}, {16, 16}, {16, 8}, {8, 8}};
  c.Polygon(ring);
  EXPECT_EQ(bmp.Pixel(5, 12), kRed);
  EXPECT_EQ(bmp.Pixel(20, 20), kRed);
  EXPECT_EQ(bmp.Pixel(12, 12), kWhite);  // the hole
  EXPECT_EQ(bmp.Pixel(8, 12), kBlue);    // the hole's outline
  EXPECT_EQ(bmp.Pixel(22, 10), kBlue);   // right edge: outside the fill, on the outline
  EXPECT_EQ(bmp.Pixel(23, 10), kWhite);
  EXPECT_EQ(bmp.Pixel(10, 23), kWhite);
  // Fill covers pixel centres inside: columns 2..21 of row 10 apart from the hole.
  for (int x = 3; x <= 7; ++x) EXPECT_EQ(bmp.Pixel(x, 10), kRed) << x;

  // A pentagram: its centre is crossed twice, so it stays unfilled.
  TBitmap star(40, 40);
  star.Canvas().Brush.Color = kRed;
  star.Canvas().Pen.Color = kBlue;
  const TPoint points[] = {{20, 2}, {31, 36}, {2, 14}, {38, 14}, {9, 36}};
  star.Canvas().Polygon(points);
  EXPECT_EQ(star.Pixel(20, 20), kWhite);
  EXPECT_EQ(star.Pixel(20, 8), kRed);
}

TEST(CanvasPolygon, ClearBrushDrawsOnlyTheOutlineAndFarVerticesAreClipped) {
  TBitmap bmp(20, 20);
  TCanvas& c = bmp.Canvas();
  c.Brush.Style = TBrushStyle::bsClear;
  const TPoint tri[] = {{2, 2}, {15, 2}, {2, 15}};
  c.Polygon(tri);
  EXPECT_EQ(bmp.Pixel(4, 4), kWhite);
  EXPECT_EQ(bmp.Pixel(2, 8), kBlack);

  // A triangle whose far vertices lie a billion pixels away still fills its
  // visible part exactly: here every pixel on or right of the diagonal y = x.
  TBitmap big(20, 20);
  big.Canvas().Brush.Color = kRed;
  big.Canvas().Pen.Color = kRed;
  const TPoint huge[] = {{-1000000000, -1000000000}, {3000000000, -1000000000}, {1000000000, 1000000000}};
  big.Canvas().Polygon(huge);
  EXPECT_EQ(PixelsOf(big, kRed).size(), 210u);
  EXPECT_EQ(big.Pixel(19, 0), kRed);
  EXPECT_EQ(big.Pixel(0, 19), kWhite);
}

TEST(CanvasRects, FillAndFrameAreRightAndBottomExclusive) {
  TBitmap bmp(10, 10);
  TCanvas& c = bmp.Canvas();
  c.Brush.Color = kRed;
  c.FillRect({2, 3, 5, 7});
  EXPECT_EQ(PixelsOf(bmp, kRed).size(), 12u);
  EXPECT_EQ(bmp.Pixel(4, 6), kRed);
  EXPECT_EQ(bmp.Pixel(5, 6), kWhite);
  EXPECT_EQ(bmp.Pixel(4, 7), kWhite);
  c.Brush.Color = kBlue;
  c.FrameRect({0, 0, 10, 10});
  EXPECT_EQ(PixelsOf(bmp, kBlue).size(), 36u);
  EXPECT_EQ(bmp.Pixel(9, 9), kBlue);
  c.FillRect({-5, -5, 100, 1});  // clipped
  EXPECT_EQ(bmp.Pixel(9, 0), kBlue);
}

TEST(CanvasEllipse, FillsWithTheBrushInsideItsRectangleWithAPenRim) {
  TBitmap bmp(20, 20);
  TCanvas& c = bmp.Canvas();
  c.Pen.Color = kBlue;
  c.Brush.Color = kRed;
  c.Ellipse(3, 3, 17, 17);
  EXPECT_EQ(bmp.Pixel(10, 10), kRed);
  EXPECT_EQ(bmp.Pixel(3, 10), kBlue);
  EXPECT_EQ(bmp.Pixel(16, 10), kBlue);
  EXPECT_EQ(bmp.Pixel(10, 3), kBlue);
  EXPECT_EQ(bmp.Pixel(10, 17), kWhite);
  EXPECT_EQ(bmp.Pixel(3, 3), kWhite);  // corner of the rectangle, outside the circle
  // Symmetric about the rectangle's centre (10, 10).
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const int mx = 19 - x, my = 19 - y;
      if (x >= 3 && y >= 3 && x < 17 && y < 17) {
        EXPECT_EQ(bmp.Pixel(x, y), bmp.Pixel(mx, my)) << x << "," << y;
      }
    }
  // Exactly the rim has the pen colour, and a rim has no gap: every rim pixel
  // touches another one.
  const PixelSet rim = PixelsOf(bmp, kBlue);
  for (auto [x, y] : rim) {
    int neighbours = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if ((dx || dy) && rim.count({x + dx, y + dy})) ++neighbours;
    EXPECT_GE(neighbours, 2) << x << "," << y;
  }
}

TEST(CanvasEllipse, AHugeEllipseDrawsItsVisiblePartOnly) {
  // The top of a circle 2·10^17 pixels across, its rim on row 5, is hundreds of
  // millions of pixels wide there; the bitmap shows 20 of them.
  TBitmap bmp(20, 20);
  TCanvas& c = bmp.Canvas();
  c.Pen.Color = kBlue;
  c.Brush.Color = kRed;
  constexpr std::int64_t r = 100'000'000'000'000'000;
  c.Ellipse(-r, 5, r, 2 * r + 5);
  for (int x = 0; x < 20; ++x) {
    EXPECT_EQ(bmp.Pixel(x, 4), kWhite) << x;
    EXPECT_EQ(bmp.Pixel(x, 5), kBlue) << x;
    EXPECT_EQ(bmp.Pixel(x, 6), kRed) << x;
    EXPECT_EQ(bmp.Pixel(x, 19), kRed) << x;
  }
}
