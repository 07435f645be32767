#include "platform/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

using i64 = std::int64_t;
using i128 = __int128;

i64 Clamp(i64 v) { return std::clamp(v, -TCanvas::kCoordinateLimit, TCanvas::kCoordinateLimit); }
TPoint Clamp(TPoint p) { return {Clamp(p.X), Clamp(p.Y)}; }

// floor(num / den) and ceil(num / den) for den > 0.
i128 FloorDiv(i128 num, i128 den) {
  i128 q = num / den;
  if (num % den != 0 && num < 0) --q;
  return q;
}
i128 CeilDiv(i128 num, i128 den) {
  i128 q = num / den;
  if (num % den != 0 && num > 0) ++q;
  return q;
}

// The closed interval lo..hi of pixel indices, empty when lo > hi.
struct Span {
  i64 lo = 1;
  i64 hi = 0;
  bool Empty() const { return lo > hi; }
};

// Pixels of a row whose centres lie in the real interval [a, b].
Span PixelsIn(double a, double b) {
  if (!(a <= b)) return {};
  // Far outside any bitmap either way; keep the integers in range.
  constexpr double limit = 4.0e18;
  const double lo = std::clamp(std::ceil(a), -limit, limit), hi = std::clamp(std::floor(b), -limit, limit);
  return {static_cast<i64>(lo), static_cast<i64>(hi)};
}

// A wide stroke in "centre coordinates", where pixel (px, py) has its centre at
// (px, py): a capsule of radius r around the segment a-b. Everything that does
// not depend on the row is worked out once per stroke.
class Capsule {
public:
  Capsule(double ax, double ay, double bx, double by, double r) : fAx(ax), fAy(ay), fBx(bx), fBy(by), fR2(r * r) {
    // The body is measured from the end nearer to the origin, so a far-off other
    // end costs no precision on screen.
    fOx = ax, fOy = ay, fDx = bx - ax, fDy = by - ay;
    if (std::fabs(bx) + std::fabs(by) < std::fabs(ax) + std::fabs(ay)) {
      fOx = bx, fOy = by, fDx = -fDx, fDy = -fDy;
    }
    fLen2 = fDx * fDx + fDy * fDy;
    fRl = r * std::sqrt(fLen2);
  }

  Span DiscA(i64 y) const { return Disc(fAx, fAy, y); }

  // The whole capsule on row y, given its disc A there: the hull of both discs
  // and the body between them (the capsule is convex, so its row is one interval).
  Span Row(i64 y, const Span& discA) const {
    Span s = discA;
    Merge(s, Disc(fBx, fBy, y));
    Merge(s, Body(y));
    return s;
  }

private:
  Span Disc(double cx, double cy, i64 y) const {
    const double dy = static_cast<double>(y) - cy;
    const double h2 = fR2 - dy * dy;
    if (h2 < 0) return {};
    const double h = std::sqrt(h2);
    return PixelsIn(cx - h, cx + h);
  }

  static void Merge(Span& into, const Span& other) {
    if (other.Empty()) return;
    if (into.Empty()) {
      into = other;
      return;
    }
    into.lo = std::min(into.lo, other.lo);
    into.hi = std::max(into.hi, other.hi);
  }

  // The rectangle of half-width r along the segment: points whose projection falls
  // on the segment and whose distance from its line is at most r. With u = x − ox:
  // 0 ≤ u·dx + ry·dy ≤ len2 and |u·dy − ry·dx| ≤ r·len.
  Span Body(i64 y) const {
    if (fLen2 == 0) return {};
    const double ry = static_cast<double>(y) - fOy;
    const double e1 = ry * fDy, e2 = ry * fDx;
    double lo = -HUGE_VAL, hi = HUGE_VAL;
    if (fDx != 0) {
      double u0 = -e1 / fDx, u1 = (fLen2 - e1) / fDx;
      if (u0 > u1) std::swap(u0, u1);
      lo = std::max(lo, u0), hi = std::min(hi, u1);
    } else if (e1 < 0 || e1 > fLen2) {
      return {};
    }
    if (fDy != 0) {
      double u0 = (e2 - fRl) / fDy, u1 = (e2 + fRl) / fDy;
      if (u0 > u1) std::swap(u0, u1);
      lo = std::max(lo, u0), hi = std::min(hi, u1);
    } else if (std::fabs(e2) > fRl) {
      return {};
    }
    return PixelsIn(fOx + lo, fOx + hi);
  }

  double fAx, fAy, fBx, fBy, fR2;
  double fOx, fOy, fDx, fDy, fLen2, fRl;
};

}  // namespace

void TCanvas::MoveTo(std::int64_t x, std::int64_t y) { PenPos = Clamp(TPoint{x, y}); }

void TCanvas::LineTo(std::int64_t x, std::int64_t y) {
  const TPoint to = Clamp(TPoint{x, y});
  Stroke(PenPos, to);
  PenPos = to;
}

void TCanvas::Polyline(std::span<const TPoint> points) {
  for (std::size_t i = 1; i < points.size(); ++i) Stroke(Clamp(points[i - 1]), Clamp(points[i]));
}

void TCanvas::Stroke(TPoint from, TPoint to) {
  if (Pen.Width <= 1) {
    ThinLine(from, to, Pen.Color);
  } else {
    WideLine(from, to, std::min(Pen.Width, kMaxPenWidth), Pen.Color);
  }
}

void TCanvas::HorizontalSpan(std::uint32_t* words, std::int64_t y, std::int64_t x0, std::int64_t x1, TColor color) {
  if (y < 0 || y >= fTarget.Height()) return;
  x0 = std::max<i64>(x0, 0);
  x1 = std::min<i64>(x1, fTarget.Width() - 1);
  if (x0 > x1) return;
  std::uint32_t* row = words + y * fTarget.Width();
  std::fill(row + x0, row + x1 + 1, TBitmap::ColorToPixel(color));
}

void TCanvas::ThinLine(TPoint from, TPoint to, TColor color) {
  const i64 dx = to.X - from.X, dy = to.Y - from.Y;
  const i64 adx = std::llabs(dx), ady = std::llabs(dy);
  const bool xMajor = adx >= ady;
  const i64 n = xMajor ? adx : ady;  // steps; the end pixel is step n, left out
  if (n == 0) return;
  const i64 major0 = xMajor ? from.X : from.Y;
  const i64 minor0 = xMajor ? from.Y : from.X;
  const i64 majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const i64 minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const i64 m = xMajor ? ady : adx;
  const i64 majorSize = xMajor ? fTarget.Width() : fTarget.Height();
  const i64 minorSize = xMajor ? fTarget.Height() : fTarget.Width();

  // Steps whose major coordinate lies on the bitmap: at most its width or height,
  // however far away the ends are.
  i64 first, last;
  if (majorStep > 0) {
    first = -major0, last = majorSize - 1 - major0;
  } else {
    first = major0 - (majorSize - 1), last = major0;
  }
  first = std::max<i64>(first, 0);
  last = std::min<i64>(last, n - 1);
  if (first > last) return;

  const std::uint32_t p = TBitmap::ColorToPixel(color);
  std::uint8_t* bits = fTarget.Bits();
  const i64 stride = fTarget.Width();
  for (i64 i = first; i <= last; ++i) {
    // The minor offset i·m/n rounded to nearest, halves away from the start.
    const i64 offset = static_cast<i64>(FloorDiv(static_cast<i128>(2) * i * m + n, static_cast<i128>(2) * n));
    const i64 minor = minor0 + minorStep * offset;
    if (minor < 0 || minor >= minorSize) continue;
    const i64 major = major0 + majorStep * i;
    const i64 x = xMajor ? major : minor, y = xMajor ? minor : major;
    reinterpret_cast<std::uint32_t*>(bits)[y * stride + x] = p;
  }
}

void TCanvas::WideLine(TPoint from, TPoint to, int width, TColor color) {
  // Odd widths centre the stroke on the end pixels, even ones on their top-left
  // corners, so that a stroke of width w covers exactly w rows or columns.
  const double shift = (width % 2 == 0) ? 0.5 : 0.0;
  const Capsule capsule(static_cast<double>(from.X) - shift, static_cast<double>(from.Y) - shift,
                        static_cast<double>(to.X) - shift, static_cast<double>(to.Y) - shift, width / 2.0);

  // A track is drawn as a chain of short strokes of one colour. Each starts on the
  // cap the previous one ended with; while nothing else has touched the bitmap,
  // the pixels of that cap already have our colour and are left alone, so a chain
  // costs the area it adds rather than a whole disc per stroke.
  const bool capIsThere = fLastStroke.valid && fLastStroke.end == from && fLastStroke.width == width &&
                          fLastStroke.color == color && fLastStroke.generation == fTarget.Generation();

  std::uint32_t* const words = Words();
  const i64 reach = width / 2 + 1;
  const i64 y0 = std::max<i64>(std::min(from.Y, to.Y) - reach, 0);
  const i64 y1 = std::min<i64>(std::max(from.Y, to.Y) + reach, fTarget.Height() - 1);
  for (i64 y = y0; y <= y1; ++y) {
    const Span discA = capsule.DiscA(y);
    const Span row = capsule.Row(y, discA);
    if (row.Empty()) continue;
    const Span cap = capIsThere ? discA : Span{};
    if (cap.Empty()) {
      HorizontalSpan(words, y, row.lo, row.hi, color);
    } else {
      HorizontalSpan(words, y, row.lo, cap.lo - 1, color);
      HorizontalSpan(words, y, cap.hi + 1, row.hi, color);
    }
  }
  fLastStroke = {true, to, width, color, fTarget.Generation()};
}

void TCanvas::Polygon(std::span<const TPoint> points) {
  if (points.size() < 2) return;
  std::vector<TPoint> v(points.begin(), points.end());
  for (TPoint& p : v) p = Clamp(p);

  if (Brush.Style == TBrushStyle::bsSolid) {
    // Even-odd fill: each edge crossing the centre line y + ½ of a row starts or
    // ends a span at the first pixel whose centre lies at or right of the crossing.
    struct Crossing {
      i64 y, x;
      bool operator<(const Crossing& o) const { return y != o.y ? y < o.y : x < o.x; }
    };
    std::vector<Crossing> crossings;
    const i64 h = fTarget.Height();
    for (std::size_t i = 0; i < v.size(); ++i) {
      TPoint a = v[i], b = v[(i + 1) % v.size()];
      if (a.Y == b.Y) continue;
      if (a.Y > b.Y) std::swap(a, b);
      const i64 first = std::max<i64>(a.Y, 0), last = std::min<i64>(b.Y - 1, h - 1);
      const i128 dx = static_cast<i128>(b.X) - a.X, dy = static_cast<i128>(b.Y) - a.Y;
      for (i64 y = first; y <= last; ++y) {
        // ceil(x − ½) with x = a.X + (y + ½ − a.Y) · dx / dy, exactly.
        const i128 num = 2 * static_cast<i128>(a.X) * dy + (2 * (static_cast<i128>(y) - a.Y) + 1) * dx - dy;
        const i128 x = CeilDiv(num, 2 * dy);
        crossings.push_back({y, static_cast<i64>(std::clamp<i128>(x, -kCoordinateLimit, kCoordinateLimit))});
      }
    }
    std::sort(crossings.begin(), crossings.end());
    std::uint32_t* const words = Words();
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
      // Every edge that crosses a row has a partner that closes it, so crossings
      // come in pairs per row.
      HorizontalSpan(words, crossings[i].y, crossings[i].x, crossings[i + 1].x - 1, Brush.Color);
    }
  }

  v.push_back(v.front());
  Polyline(v);
}

void TCanvas::Ellipse(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  left = Clamp(left), right = Clamp(right), top = Clamp(top), bottom = Clamp(bottom);
  if (right - left <= 0 || bottom - top <= 0) return;
  const long double cx = (static_cast<long double>(left) + right) / 2;
  const long double cy = (static_cast<long double>(top) + bottom) / 2;
  const long double a = (static_cast<long double>(right) - left) / 2;
  const long double b = (static_cast<long double>(bottom) - top) / 2;
  const int penWidth = std::clamp(Pen.Width, 1, kMaxPenWidth);
  std::uint32_t* const words = Words();

  // Pixels of row y whose centres lie inside the ellipse of semi-axes ea, eb.
  auto rowOf = [&](i64 y, long double ea, long double eb) -> Span {
    if (ea <= 0 || eb <= 0) return {};
    const long double t = (static_cast<long double>(y) + 0.5L - cy) / eb;
    const long double q = 1 - t * t;
    if (q < 0) return {};
    const long double half = ea * std::sqrt(q);
    return PixelsIn(static_cast<double>(cx - half - 0.5L), static_cast<double>(cx + half - 0.5L));
  };

  const i64 y0 = std::max<i64>(top, 0), y1 = std::min<i64>(bottom - 1, fTarget.Height() - 1);
  for (i64 y = y0; y <= y1; ++y) {
    const Span outer = rowOf(y, a, b);
    if (outer.Empty()) continue;
    if (Brush.Style == TBrushStyle::bsSolid) HorizontalSpan(words, y, outer.lo, outer.hi, Brush.Color);
    if (penWidth <= 1) {
      // The rim: pixels with a 4-neighbour outside.
      const Span above = rowOf(y - 1, a, b), below = rowOf(y + 1, a, b);
      // Only the columns on the bitmap: a huge ellipse costs its visible part.
      const i64 xFirst = std::max<i64>(outer.lo, 0), xLast = std::min<i64>(outer.hi, fTarget.Width() - 1);
      for (i64 x = xFirst; x <= xLast; ++x) {
        const bool inAbove = !above.Empty() && x >= above.lo && x <= above.hi;
        const bool inBelow = !below.Empty() && x >= below.lo && x <= below.hi;
        if (x == outer.lo || x == outer.hi || !inAbove || !inBelow) SetPixel(x, y, Pen.Color);
      }
    } else {
      const Span inner = rowOf(y, a - penWidth, b - penWidth);
      if (inner.Empty()) {
        HorizontalSpan(words, y, outer.lo, outer.hi, Pen.Color);
      } else {
        HorizontalSpan(words, y, outer.lo, inner.lo - 1, Pen.Color);
        HorizontalSpan(words, y, inner.hi + 1, outer.hi, Pen.Color);
      }
    }
  }
}

void TCanvas::FillRect(const TRect& rect) { fTarget.FillRect(rect, Brush.Color); }

void TCanvas::FrameRect(const TRect& rect) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  fTarget.FillRect({rect.Left, rect.Top, rect.Right, rect.Top + 1}, Brush.Color);
  fTarget.FillRect({rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, Brush.Color);
  fTarget.FillRect({rect.Left, rect.Top, rect.Left + 1, rect.Bottom}, Brush.Color);
  fTarget.FillRect({rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, Brush.Color);
}

TColor TCanvas::Pixel(std::int64_t x, std::int64_t y) const {
  if (x < 0 || y < 0 || x >= fTarget.Width() || y >= fTarget.Height()) return TBitmap::kInvalidColor;
  return fTarget.Pixel(static_cast<int>(x), static_cast<int>(y));
}

void TCanvas::SetPixel(std::int64_t x, std::int64_t y, TColor color) {
  if (x < 0 || y < 0 || x >= fTarget.Width() || y >= fTarget.Height()) return;
  fTarget.SetPixel(static_cast<int>(x), static_cast<int>(y), color);
}
