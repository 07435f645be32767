#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/Bitmap.h"

// A 64-bit pixel coordinate held to the range of int.
inline int SaturateToInt(std::int64_t v) {
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

// The map's equirectangular projection: one degree of latitude is Rm pixels, one
// degree of longitude Rm * K pixels at every latitude, north up. Pixel column x
// shows longitude O + x / (Rm * K), pixel row y latitude S + (Height - y) / Rm.
//
// A plain value, so the interpolation workers and the contour tracer can take a
// copy when they start and keep giving pixels the same positions while the user
// pans or zooms the live view.
struct TViewProjection {
  static constexpr long double K = 36.0L / 55.0L;

  double O = 0;   // west edge, degrees of longitude
  double S = 0;   // south edge, degrees of latitude
  double Rm = 0;  // pixels per degree of latitude
  int Height = 0;

  // Positions to pixels, rounded to the nearest pixel with halves to even. Far-off
  // positions of a deeply zoomed view do not fit 32 bits: the 64-bit forms saturate
  // only at the ends of int64, the int forms at the ends of int.
  std::int64_t LoToX64(double longitude) const {
    return Saturate64(((static_cast<long double>(longitude) - O) * Rm) * K);
  }
  std::int64_t LaToY64(double latitude) const {
    return static_cast<std::int64_t>(Height) - Saturate64((static_cast<long double>(latitude) - S) * Rm);
  }
  int LoToX(double longitude) const { return SaturateToInt(LoToX64(longitude)); }
  int LaToY(double latitude) const { return SaturateToInt(LaToY64(latitude)); }

  // Pixels to positions; 0 while the view has no scale.
  double XToLo(int x) const {
    if (Rm == 0) return 0;
    return static_cast<double>(O + static_cast<long double>(x) / Rm / K);
  }
  double YToLa(int y) const {
    if (Rm == 0) return 0;
    return static_cast<double>(S + static_cast<long double>(Height - static_cast<std::int64_t>(y)) / Rm);
  }

  // The area a rectangle of pixels covers, its corners in any order and its rows
  // counted from the bottom edge, as zooming and cutting take it.
  struct TArea {
    double N, S, E, O;
    bool Empty() const { return E == O || N == S; }
  };
  TArea AreaOf(const TRect& fromBottom) const {
    const auto [x1, x2] = std::minmax(fromBottom.Left, fromBottom.Right);
    const auto [y1, y2] = std::minmax(fromBottom.Top, fromBottom.Bottom);
    return {YToLa(SaturateToInt(Height - y2)), YToLa(SaturateToInt(Height - y1)), XToLo(SaturateToInt(x2)),
            XToLo(SaturateToInt(x1))};
  }

private:
  static std::int64_t Saturate64(long double v) {
    const long double r = std::nearbyintl(v);
    if (std::isnan(r)) return 0;
    if (r >= 9.2233720368547758e18L) return std::numeric_limits<std::int64_t>::max();
    if (r <= -9.2233720368547758e18L) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
  }
};
