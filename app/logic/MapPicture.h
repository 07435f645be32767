#pragma once

#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "platform/Bitmap.h"

class TCanvas;
class TGPXtrkList;

// The picture of an interpolated map: the colours, their smoothing and the
// shore lines drawn over them.

// Copies the colour grid into the picture, which takes the grid's size.
void GridToPicture(const TColorArray& grid, TBitmap& picture);

// One smoothing pass in place: each pixel whose 3 x 3 block lies wholly inside the
// mask becomes the block's mean, channel by channel, truncated. Rows top down,
// left to right, so pixels above and left already hold this pass's values. The
// outermost rows and columns keep their colour.
void SmoothMap(TBitmap& picture, const TBooleanArray& mask);

// The shore lines of `tracks` (segments with maxdepth 0 and points) as lines from
// point to point, not closed, placed by `projection`; consecutive points on one
// pixel draw nothing.
void DrawShoreLines(TCanvas& surface, const TGPXtrkList& tracks, const TViewProjection& projection, int penWidth,
                    TColor colour);
