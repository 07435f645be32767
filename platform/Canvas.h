#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Bitmap.h"

// A drawing surface on a TBitmap, keeping its pen, brush and pen position between
// calls as a GDI canvas does. The pictures drawn here are read back pixel by pixel
// (the shadow map and the shore-line polygons decide which pixels are
// interpolated), so every rule below is exact and deterministic:
//
// - Exact colours only: a pixel gets the pen or brush colour as it is, no
//   antialiasing, no blending, ever.
// - Coordinates are 64-bit pixels, y downward. Everything is clipped to the bitmap
//   analytically, so a line to a point a million pixels away costs no more than
//   its visible part, and a clipped line sets exactly the on-screen pixels the
//   unclipped one would. Coordinates beyond ±2^60 are clamped to it (no view ever
//   gets there; it keeps the exact integer arithmetic inside 128 bits). Thin lines
//   and polygon edges are computed in exact integers; wide strokes in doubles,
//   which is as deterministic but may decide a centre lying exactly on the border
//   either way.
// - Pen width ≤ 1: a one-pixel line from the start pixel that leaves out its end
//   pixel. It takes max(|dx|, |dy|) steps along the major axis; at step i the
//   minor offset is i · d / n rounded to nearest, halves away from the start
//   (n the major, d the minor extent). A line to its own start draws nothing.
// - Pen width w ≥ 2 (up to 999): round caps and round joins. A pixel is covered
//   when its centre lies within w/2 of the segment, border included. For odd w
//   the segment runs through the centres of its end pixels; for even w it runs
//   through their top-left corners, so a horizontal stroke of width 30 at row y
//   covers exactly the rows y − 15 .. y + 14, and one of width 31 the rows
//   y − 15 .. y + 15. The end pixel is covered (the cap). A stroke of length 0 is
//   its cap, a disc. Filled row by row in spans, never by stamping discs. Pen
//   widths above 999 draw as 999.
// - Polygon: the inside by the even-odd rule (a pixel is inside when its centre
//   is; a centre exactly on an edge belongs to the span to its right) in the
//   brush colour, then the closed outline with the pen.
// - Ellipse (l, t, r, b): the pixels whose centres lie inside the ellipse that
//   fills the rectangle, in the brush colour; the outline is the pen-coloured rim
//   of those pixels: for width ≤ 1 those with a 4-neighbour outside, for wider
//   pens those not inside the ellipse shrunk by the pen width.
// - Rectangles are right and bottom exclusive.

enum class TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = 0x000000;
  int Width = 1;
};

struct TBrush {
  TColor Color = 0xFFFFFF;
  TBrushStyle Style = TBrushStyle::bsSolid;
};

class TCanvas {
public:
  static constexpr int kMaxPenWidth = 999;
  static constexpr std::int64_t kCoordinateLimit = std::int64_t{1} << 60;

  explicit TCanvas(TBitmap& target) : fTarget(target) {}

  TPen Pen;
  TBrush Brush;
  TPoint PenPos;

  TBitmap& Bitmap() { return fTarget; }
  const TBitmap& Bitmap() const { return fTarget; }
  int Width() const { return fTarget.Width(); }
  int Height() const { return fTarget.Height(); }
  TRect ClipRect() const { return {0, 0, fTarget.Width(), fTarget.Height()}; }

  void MoveTo(std::int64_t x, std::int64_t y);
  // A stroke with the pen from PenPos to (x, y), which becomes the new PenPos.
  void LineTo(std::int64_t x, std::int64_t y);
  // MoveTo the first point, LineTo each following one; PenPos is left unchanged.
  void Polyline(std::span<const TPoint> points);
  void Polygon(std::span<const TPoint> points);
  void Ellipse(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);

  // The rectangle in the brush colour (also for a clear brush: a fill is a fill).
  void FillRect(const TRect& rect);
  // A one-pixel border just inside the rectangle, in the brush colour.
  void FrameRect(const TRect& rect);

  TColor Pixel(std::int64_t x, std::int64_t y) const;
  void SetPixel(std::int64_t x, std::int64_t y, TColor color);

  // Bitmap copies onto this surface (see TBitmap for the rules).
  void CopyRect(const TRect& destRect, const TBitmap& src, const TRect& srcRect) {
    fTarget.CopyRect(destRect, src, srcRect);
  }
  void Draw(std::int64_t x, std::int64_t y, const TBitmap& src) { fTarget.Draw(x, y, src); }
  void DrawTransparent(std::int64_t x, std::int64_t y, const TBitmap& src, TColor transparent) {
    fTarget.DrawTransparent(x, y, src, transparent);
  }
  void StretchDraw(const TRect& destRect, const TBitmap& src) { fTarget.StretchDraw(destRect, src); }

private:
  void Stroke(TPoint from, TPoint to);
  void ThinLine(TPoint from, TPoint to, TColor color);
  void WideLine(TPoint from, TPoint to, int width, TColor color);
  // Takes the bitmap's pixels for writing, once per drawing call.
  std::uint32_t* Words() { return reinterpret_cast<std::uint32_t*>(fTarget.Bits()); }
  void HorizontalSpan(std::uint32_t* words, std::int64_t y, std::int64_t x0, std::int64_t x1, TColor color);

  TBitmap& fTarget;

  // Where the last wide stroke ended, with what pen, and the bitmap's generation
  // right after it: while that generation holds, its end cap is still painted.
  struct LastStroke {
    bool valid = false;
    TPoint end;
    int width = 0;
    TColor color = 0;
    std::uint64_t generation = 0;
  };
  LastStroke fLastStroke;
};
