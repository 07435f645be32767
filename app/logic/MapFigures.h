#pragma once

#include <cstdint>
#include <string>

#include "mapview/Projection.h"

// The figures the windows show about the map view: its size on the ground, the
// screen size and resolution, the maximum depth, and what the two radii of the
// interpolation area measure in metres and in degrees.

struct TMapFigures {
  std::int32_t MaxDepth = 0;  // cm
  std::int64_t WidthM = 0;    // ground distance across the view, metres
  std::int64_t HeightM = 0;
  int ImageWidth = 0;  // the picture the view is drawn on, pixels
  int ImageHeight = 0;

  std::string StatusMaxDepth() const;  // "350 cm"
  std::string MaxDepthText() const;    // "Max Depth: 350 cm"
  std::string MapSizeText() const;     // "Area: 812 x 640 m"
  std::string ImageSizeText() const;   // "Screen Size: 800 x 600 px"
  std::string ResolutionText() const;  // "Resolution: 101 x 106 cm"
};

// The view `viewWidth` x `viewHeight` pixels measured along its top row and left
// column, each rounded to whole metres (halves to even).
TMapFigures MeasureMap(const TViewProjection& view, int viewWidth, int viewHeight, std::int32_t maxDepth,
                       int imageWidth, int imageHeight);

// Metres per pixel at the view's top-left corner: the mean of one pixel to the
// right and one pixel down.
double MetresPerPixel(const TViewProjection& view);

// The interpolator's radii for a don't-care radius of R pixels, in degrees of
// longitude: the outer one spans R - 1 pixels, the inner one a single pixel.
struct TDontCareRadii {
  double Max = 0;
  double Min = 0;
};
TDontCareRadii DontCareRadii(const TViewProjection& view, int R);
