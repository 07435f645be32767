#include "gridding/ShepardInterp.h"

#include <algorithm>
#include <cmath>

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

double TShepardInterp::Distance(double x1, double y1, double x2, double y2) {
  // Positions are degrees, so the squares cannot overflow a double.
  const double dx = x1 - x2;
  const double dy = y1 - y2;
  return std::sqrt(dx * dx + dy * dy);
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
