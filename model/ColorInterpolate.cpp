#include "model/ColorInterpolate.h"

#include <cmath>

namespace {

std::uint32_t BlendChannel(std::uint8_t a, std::uint8_t b, double u, double t) {
  return static_cast<std::uint32_t>(std::nearbyint(a * u + b * t));
}

}  // namespace

TColor InterpolateColor(TColor c0, TColor c1, double t) {
  if (!(t > 0)) return c0;
  if (!(t < 1)) return c1;
  const double u = 1 - t;
  return BlendChannel(GetRValue(c0), GetRValue(c1), u, t) | (BlendChannel(GetGValue(c0), GetGValue(c1), u, t) << 8) |
         (BlendChannel(GetBValue(c0), GetBValue(c1), u, t) << 16);
}
