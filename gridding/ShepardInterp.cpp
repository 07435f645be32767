#include "gridding/ShepardInterp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "gridding/ShepardInterpDistance.h"
#include "platform/MathErrors.h"

TShepardInterp::TShepardInterp(std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> value,
                               double p, double maxRadius, double minRadius, TMessageBox* messages)
    : pts(coord ? std::move(coord) : std::make_shared<const TPointList>()),
      vals(value ? std::move(value) : std::make_shared<const TValueList>()) {
  if (pts->size() != vals->size() && messages) messages->ShowMessage("coordinates and values matrices missmatch.");
  ndim = 2;
  // Never read a value that is not there: a shorter value array limits the samples.
  n = static_cast<int>(std::min(pts->size(), vals->size()));
  pneg = -p;
  maxR = maxRadius;
  minR = minRadius;
}

namespace {

// The sign of the exact sum of the terms, by Shewchuk's expansion growth: the
// partial sums stay an exact, nonoverlapping expansion whose largest component
// carries the sign.
template <std::size_t N>
int SignOfExactSum(const std::array<double, N>& terms) {
  std::array<double, N> expansion{};
  std::size_t size = 0;
  for (double term : terms) {
    double sum = term;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; ++i) {
      const double total = sum + expansion[i];
      const double virtualB = total - sum;
      const double error = (sum - (total - virtualB)) + (expansion[i] - virtualB);
      sum = total;
      if (error != 0) expansion[kept++] = error;
    }
    if (sum != 0) expansion[kept++] = sum;
    size = kept;
  }
  return size == 0 ? 0 : (expansion[size - 1] > 0 ? 1 : -1);
}

// The sign of a² + b² − (r + h)², exactly, for h a signed power of two of at
// most half an ulp of r; all in the range of ShepardDistance::Candidate.
int CompareWithMidpoint(double a, double b, double r, double h) {
  const double p1 = a * a, p2 = b * b, q = r * r;
  return SignOfExactSum(std::array<double, 8>{p1, std::fma(a, a, -p1), p2, std::fma(b, b, -p2), -q,
                                              -std::fma(r, r, -q), -2 * r * h, -h * h});
}

bool IsOdd(double r) { return (std::bit_cast<std::uint64_t>(r) & 1u) != 0; }

// sqrt(a² + b²) correctly rounded from a candidate within a few ulps: steps to
// the neighbour while the sum lies beyond the midpoint towards it; on a midpoint
// the even one wins.
double RoundExactly(double a, double b, double r) {
  while (true) {
    const double up = std::nextafter(r, HUGE_VAL);
    const int above = CompareWithMidpoint(a, b, r, (up - r) / 2);
    if (above > 0 || (above == 0 && IsOdd(r))) {
      r = up;
      continue;
    }
    const double down = std::nextafter(r, 0.0);
    const int below = CompareWithMidpoint(a, b, r, (down - r) / 2);
    if (below < 0 || (below == 0 && IsOdd(r))) {
      r = down;
      continue;
    }
    return r;
  }
}

// For a below the smallest normal double both are whole multiples of the
// smallest subnormal, and so is every double up to 2^-1021: the root of the
// integer sum of squares rounded to an integer is the answer in those units.
double SubnormalDistance(double a, double b) {
  const auto A = std::bit_cast<std::uint64_t>(a);  // a subnormal's bits are its multiple
  const auto B = std::bit_cast<std::uint64_t>(b);
  const unsigned __int128 sum = static_cast<unsigned __int128>(A) * A + static_cast<unsigned __int128>(B) * B;
  auto root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(sum)));
  while (static_cast<unsigned __int128>(root) * root > sum) --root;
  while (static_cast<unsigned __int128>(root + 1) * (root + 1) <= sum) ++root;
  // sum > (root + 1/2)² exactly when sum >= root² + root + 1; no integer is a tie.
  if (sum - static_cast<unsigned __int128>(root) * root > root) ++root;
  return static_cast<double>(root) * 0x1p-1074;
}

}  // namespace

// Where the processor fuses multiply-adds, std::fma is one instruction rather
// than a call into the maths library.
#if defined(__x86_64__)
__attribute__((target_clones("fma", "default")))
#endif
double TShepardInterp::Distance(double x1, double y1, double x2, double y2) {
  double a = std::fabs(x1 - x2);
  double b = std::fabs(y1 - y2);
  if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<double>::quiet_NaN();
  if (a < b) std::swap(a, b);
  if (std::isinf(a) || b == 0) return a;
  if (a < 0x1p-1022) return SubnormalDistance(a, b);
  // Scaling by a power of two is exact (what the smaller one loses down there is
  // far below the result's last bit) and so is scaling the result back.
  double scale = 1;
  if (a > ShepardDistance::kHigh) {
    a *= 0x1p-600;
    b *= 0x1p-600;
    scale = 0x1p600;
  } else if (a < ShepardDistance::kLow) {
    a *= 0x1p600;
    b *= 0x1p600;
    scale = 0x1p-600;
  }
  bool hard = false;
  double r = ShepardDistance::Candidate(a, b, hard);
  if (hard) r = RoundExactly(a, b, r);
  return r * scale;
}

double TShepardInterp::Weight(double d, double power) {
  if (power == 0) return 1.0;
  double magnitude = std::fabs(power);
  double raised;
  if (magnitude == std::floor(magnitude) && magnitude <= 2147483647.0) {
    auto e = static_cast<unsigned long>(magnitude);
    double base = d;
    raised = 1.0;
    while (true) {
      if (e & 1u) raised *= base;
      e >>= 1;
      if (e == 0) break;
      base *= base;
    }
    if (std::isinf(raised)) throw EOverflow();
    if (power < 0) return raised;  // a negative power parameter turns the weight round
  } else {
    if (d < 0 || std::isnan(d)) throw EInvalidOp();
    if (d == 0) {
      if (power < 0) return 0;  // 0 to a positive power
      throw EZeroDivide();
    }
    const double w = std::exp(-power * std::log(d));
    if (std::isinf(w)) throw EOverflow();
    return w;
  }
  if (raised == 0) throw EZeroDivide();
  // A subnormal d^power has a reciprocal beyond the double range.
  const double w = 1.0 / raised;
  if (std::isinf(w)) throw EOverflow();
  return w;
}

double TShepardInterp::interp(double xcoord, double ycoord) const {
  double weightSum = 0;
  double weightedSum = 0;
  const TPointList& points = *pts;
  const TValueList& values = *vals;
  const double power = -pneg;
  for (int i = 0; i < n; ++i) {
    const double d = Distance(xcoord, ycoord, points[i][0], points[i][1]);
    if (d > maxR) continue;
    if (d < minR) return values[i];
    const double w = Weight(d, power);
    weightSum += w;
    weightedSum += w * values[i];
  }
  return WeightedMean(weightSum, weightedSum);
}

double TShepardInterp::WeightedMean(double weightSum, double weightedSum) {
  // A NaN sample or query, or sums beyond the double range (only distances far
  // below any snap radius weigh that much), is an error, not a result.
  if (std::isnan(weightSum) || std::isnan(weightedSum)) throw EInvalidOp();
  if (std::isinf(weightSum) || std::isinf(weightedSum)) throw EOverflow();
  if (weightSum == 0) return 0;
  return weightedSum / weightSum;
}
