#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// The steps of TShepardInterp::Distance that the vector kernels repeat lane by
// lane. The distance is sqrt(a² + b²) correctly rounded; every implementation
// that is correctly rounded gives the same bits, so the kernels may take their
// own route to it as long as each route is proven correct.
//
// The route: the square sum exactly as p1 + e1 + p2 + e2 with fused
// multiply-adds, a double-double sh + sl of it, a square root of sh corrected by
// one residual step, and a check of how near the final addition came to a
// midpoint between two doubles. The correction errs by less than 2^-48 of half an
// ulp, so a result whose addition stayed farther than kMargin half ulps from a
// midpoint is the correctly rounded one; the rare rest (exact ties and near ties
// among them) goes to an exact comparison with the midpoint.
namespace ShepardDistance {

// With a = max(|dx|, |dy|) in this range no square, residual or half ulp below
// leaves the normal doubles, so the steps are exact where they claim to be.
inline constexpr double kLow = 0x1p-450;
inline constexpr double kHigh = 0x1p500;

// How close, in half ulps, the final addition may come to a midpoint before the
// exact check decides: far above the 2^-48 by which the correction can err.
inline constexpr double kMargin = 0x1p-40;

// The AVX-512 kernels take their root from an estimate without the divider, and
// their correction errs by less than 2^-23 half ulps of r0: they go to the exact
// check within this margin, in half ulps of r0, of any midpoint r0 + c may near,
// about one lane in 65 000.
inline constexpr double kEstimateMargin = 0x1p-18;

// Half an ulp of r's binade, 2^(exponent(r) - 53), for a normal positive r.
inline double HalfUlp(double r) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(r) & 0x7FF0000000000000u) * 0x1p-53;
}

// The correctly rounded candidate for sqrt(a² + b²), a >= b >= 0, a in
// [kLow, kHigh]; `hard` says it must go to the exact check.
inline double Candidate(double a, double b, bool& hard) {
  const double p1 = a * a;
  const double e1 = std::fma(a, a, -p1);
  const double p2 = b * b;
  const double e2 = std::fma(b, b, -p2);
  const double sh = p1 + p2;
  const double sl = (p2 - (sh - p1)) + (e1 + e2);  // p1 >= p2: the rounding error of sh is exact
  const double r0 = std::sqrt(sh);
  const double c = (std::fma(-r0, r0, sh) + sl) / (2 * r0);  // the residual of a rounded root is exact
  const double r = r0 + c;
  const double z = std::fabs((r0 - r) + c);  // how far r0 + c lies from r
  const double g = HalfUlp(r);
  // The midpoints lie g above r and g below it, or g / 2 below a power of two.
  hard = z >= g * (1 - kMargin) || (z >= g * (0.5 - kMargin) && z <= g * (0.5 + kMargin));
  return r;
}

}  // namespace ShepardDistance
