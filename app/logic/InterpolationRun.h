#pragma once

#include <cstdint>
#include <vector>

#include "gridding/ShepardInterp.h"
#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "platform/Bitmap.h"

class TGPX;
class TGPXtrkList;

// The pieces of an interpolation run that need no window.

// A band of pixel columns, both ends included.
struct TBand {
  int First = 0;
  int Last = 0;
  friend bool operator==(const TBand&, const TBand&) = default;
};

// The columns of a view `width` pixels wide cut into bands of at least 15: with
// L = width - 1 there are L div 15 bands of L div (L div 15) columns, the last one
// taking the remainder up to L. A view narrower than 16 pixels is one band of
// all its columns; a view without columns has none.
std::vector<TBand> PlanBands(int width);

// Thins every segment of every track in one pass: a segment's first point is
// always kept; a later point is dropped when both its latitude and its longitude
// lie within one step of the last kept point. Answers the number dropped.
int DecimateTracks(TGPX& doc, double stepLatitude, double stepLongitude);

// Appends every track point of the document as a sample (longitude, latitude,
// depth in single precision).
void AppendTrackSamples(const TGPX& doc, TPointList& coord, TValueList& depth);

// Copies the colour grid into the picture, which takes the grid's size.
void GridToPicture(const TColorArray& grid, TBitmap& picture);

// One smoothing pass in place: each pixel whose 3 x 3 block lies wholly inside the
// mask becomes the block's mean, channel by channel, truncated. Rows top down,
// left to right, so pixels above and left already hold this pass's values. The
// outermost rows and columns keep their colour.
void SmoothMap(TBitmap& picture, const TBooleanArray& mask);

// What a finished map was computed with: the contour tracer later works from
// these, not from whatever the live view shows by then.
struct TInterpolatedMap {
  TViewProjection Projection;
  int Width = 0;
  int Height = 0;
  std::int32_t MaxDepth = 0;
  TColor Shallow = 0;
  TColor Deep = 0;
  TBooleanArray Mask;
};
