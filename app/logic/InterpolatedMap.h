#pragma once

#include <cstdint>

#include "mapview/Projection.h"
#include "model/CommonTypes.h"

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
