#pragma once

#include <array>
#include <memory>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Object.h"

// Sample positions (x = longitude, y = latitude, degrees) and their depths (cm),
// in the same order, both single precision.
using TPointList = std::vector<std::array<float, 2>>;
using TValueList = std::vector<float>;

// What the interpolation workers ask of an interpolator: the depth at a position,
// and the depths of a column of pixels. Implementations must be safe to call from
// many threads at once.
class TDepthInterpolator : public TObject {
public:
  virtual double interp(double xcoord, double ycoord) const = 0;

  // out[i] := interp(x, ys[i]) for every i with wanted[i] (wanted may be null:
  // every row); other entries of out are left alone. Overridden where a whole
  // column is cheaper than its pixels one by one.
  virtual void InterpColumn(double x, const double* ys, const bool* wanted, int count, double* out) const {
    for (int i = 0; i < count; ++i)
      if (!wanted || wanted[i]) out[i] = interp(x, ys[i]);
  }
};

// Inverse-distance (Shepard) estimate of the depth at a position from every
// sample within the cut-off radius `maxR`; a sample closer than the snap radius
// `minR` is returned as it stands. Distances are Euclidean in degrees.
//
// This is the plain definition: every query visits every sample in array order.
// Faster interpolators must give exactly its results.
class TShepardInterp : public TDepthInterpolator {
public:
  // The arrays are shared, not copied: they must stay unchanged while the
  // interpolator is in use. A length mismatch is shown on `messages` (if any);
  // the interpolator then uses the shorter length.
  TShepardInterp(std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> value, double p,
                 double maxRadius, double minRadius, TMessageBox* messages = nullptr);

  const char* ClassName() const override { return "TShepardInterp"; }

  // The estimate at (xcoord, ycoord); 0 when no sample carries weight.
  // Reads only, so any number of threads may call it at once.
  double interp(double xcoord, double ycoord) const override;

  const TPointList& Points() const { return *pts; }
  const TValueList& Values() const { return *vals; }
  int SampleCount() const { return n; }
  double Power() const { return -pneg; }
  double CutOffRadius() const { return maxR; }
  double SnapRadius() const { return minR; }

  // sqrt((x1 - x2)² + (y1 - y2)²) correctly rounded (the differences rounded
  // first), without overflow or underflow on the way; NaN when a difference is.
  static double Distance(double x1, double y1, double x2, double y2);

  // d raised to -power, rounded to double: the weight of a sample at distance d.
  // Whole exponents by repeated squaring; throws EZeroDivide when d^power
  // underflows to 0 and EOverflow when the weight exceeds the double range,
  // which only a distance far below the snap radius can do.
  static double Weight(double d, double power);

  // The estimate from the two sums: 0 when no weight was added, else S / W.
  // Throws EInvalidOp for a NaN sum and EOverflow for an infinite one.
  static double WeightedMean(double weightSum, double weightedSum);

private:
  std::shared_ptr<const TPointList> pts;
  std::shared_ptr<const TValueList> vals;
  int n = 0;
  int ndim = 2;
  double pneg = 0;
  double maxR = 0;
  double minR = 0;
};
