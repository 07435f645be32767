#include "app/logic/MapFigures.h"

#include <cmath>

#include "model/GPS.h"
#include "platform/NumberText.h"

namespace {
std::string Int(std::int64_t v) { return numtext::FormatInt(v); }

double DistanceFromOrigin(const TViewProjection& view, int x, int y) {
  TPoint4D2 origin;
  origin.Longitude = view.XToLo(0);
  origin.Latitude = view.YToLa(0);
  return origin.WGS84Distance(view.XToLo(x), view.YToLa(y), false);
}

std::int64_t WholeMetres(double metres) { return static_cast<std::int64_t>(std::nearbyint(metres)); }
}  // namespace

std::string TMapFigures::StatusMaxDepth() const { return Int(MaxDepth) + " cm"; }
std::string TMapFigures::MaxDepthText() const { return "Max Depth: " + StatusMaxDepth(); }
std::string TMapFigures::MapSizeText() const { return "Area: " + Int(WidthM) + " x " + Int(HeightM) + " m"; }
std::string TMapFigures::ImageSizeText() const {
  return "Screen Size: " + Int(ImageWidth) + " x " + Int(ImageHeight) + " px";
}
std::string TMapFigures::ResolutionText() const {
  // An image without pixels has no resolution; 0 rather than a division by zero.
  return "Resolution: " + Int(ImageWidth ? WidthM * 100 / ImageWidth : 0) + " x " +
         Int(ImageHeight ? HeightM * 100 / ImageHeight : 0) + " cm";
}

TMapFigures MeasureMap(const TViewProjection& view, int viewWidth, int viewHeight, std::int32_t maxDepth,
                       int imageWidth, int imageHeight) {
  TMapFigures figures;
  figures.MaxDepth = maxDepth;
  figures.WidthM = WholeMetres(DistanceFromOrigin(view, viewWidth - 1, 0));
  figures.HeightM = WholeMetres(DistanceFromOrigin(view, 0, viewHeight - 1));
  figures.ImageWidth = imageWidth;
  figures.ImageHeight = imageHeight;
  return figures;
}

double MetresPerPixel(const TViewProjection& view) {
  return (DistanceFromOrigin(view, 1, 0) + DistanceFromOrigin(view, 0, 1)) / 2;
}

TDontCareRadii DontCareRadii(const TViewProjection& view, int R) {
  return {std::fabs(view.XToLo(1) - view.XToLo(R)), std::fabs(view.XToLo(0) - view.XToLo(1))};
}
