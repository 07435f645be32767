#pragma once

#include <span>
#include <vector>

#include "gridding/ShepardInterp.h"
#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "platform/Bitmap.h"

// Which pixels of the map view are interpolated, and the depth-0 samples along
// the shore. Two pictures of the view's size are combined pixel by pixel: the
// view's shadow map (wide strokes along the depth tracks, channels below 255) and
// the shore-line picture (lake pure blue, islands and every outline pure red).

namespace shoreline {
inline constexpr TColor kLake = 0xFF0000;    // pure blue
inline constexpr TColor kIsland = 0x0000FF;  // pure red, also every outline
inline constexpr TColor kLand = 0xFFFFFF;
}  // namespace shoreline

using TPixelPolygon = std::vector<TPoint>;

// Whether P lies inside the polygon, by crossings counted on both sides of P; a
// crossing exactly at P.x counts on neither, so a point on a vertical edge is
// outside. A closed polygon (last point = first) and the same polygon open give
// the same answer; a single point has no edge and contains nothing.
bool PtInRgn(std::span<const TPoint> Points, TPoint P);

// Paints the shore-line picture (its size is kept): without polygons all lake;
// one polygon is the lake; otherwise the lake is the last polygon, by index, that
// contains the first point of another, and every other polygon is an island.
// Outlines are red, one pixel wide.
void PaintShoreLine(TBitmap& shoreLine, const std::vector<TPixelPolygon>& polygons);

// The mask and the shore samples of one rebuild. `mask` is sized to the shadow
// map; a pixel is interpolated when it lies under a stroke (no channel 255) and
// on the lake (pure blue). Every pure red pixel becomes a sample of depth 0 at
// its position in `projection`, replacing the samples of the last rebuild.
// The view's outermost rows and columns are never interpolated.
void CombineMask(const TBitmap& shadowMap, const TBitmap& shoreLine, const TViewProjection& projection,
                 TBooleanArray& mask, TPointList& shoreCoord, TValueList& shoreDepth);
