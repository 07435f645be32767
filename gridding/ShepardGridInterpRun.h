#pragma once

#include <algorithm>
#include <cmath>
#include <exception>

#include "gridding/ShepardGridInterp.h"
#include "gridding/ShepardGridInterpIndex.h"
#include "platform/MathErrors.h"

// What the kernels of TShepardGridInterp share: the parameters of a run, the
// reference's steps for one pixel, and the hand-out of a run's results.

// Pixels of a column that share the gathered samples. Longer runs gather less per
// pixel; shorter ones give each pixel fewer samples it cannot reach.
inline constexpr int kRunRows = 64;

struct TShepardRunParams {
  double maxR, minR, power;
  // No weight of a sample between the snap and the cut-off radius can fail.
  bool weightsCannotFail;
  // Above this, a rounded square sum dx*dx + dy*dy belongs to a sample beyond the
  // cut-off radius: a cheap test that passes a few samples too many, whose
  // distances then decide.
  double nearlyCutOffSquared;
  // The same for the snap radius: above it, a sample cannot be snapped to.
  double nearlySnapSquared;
};

// A bound above which a rounded square sum belongs to a distance of at least
// `radius`: the rounded sum lies within 2^-51 of the exact one and the rounded
// root within 2^-53 of the true root, far inside the margin. Where the square
// of the radius would leave the normal doubles no bound is taken (infinity).
inline double NearlySquared(double radius) {
  if (!(radius >= 1e-140 && radius <= 1e140)) return HUGE_VAL;
  return radius * radius * (1 + 0x1p-40);
}

// The samples within reach of the cut-off radius of a stretch of the run's
// column, gathered when a kernel asks.
struct TShepardGatherFull {
  const TShepardGridIndex& index;
  const TShepardInterp& reference;
  double x, radius;
  TShepardSampleList& out;
  const TShepardSampleList& operator()(double yLow, double yHigh) const {
    index.Gather(reference, x, yLow, yHigh, radius, out);
    return out;
  }
};

// A kernel computes the rows of one run: out[rows[k]] for k below rowCount.
using TShepardRunKernel = void (*)(double x, const double* ys, const int* rows, int rowCount,
                                   const TShepardSampleList& near, const TShepardGatherFull& gatherFull,
                                   const TShepardRunParams& p, double* out);

// The vector kernels for a whole exponent from 1 to 16; nullptr where the
// processor or the build has none.
TShepardRunKernel X86RunKernel(TShepardGridInterp::TKernels kernels, unsigned exponent);
bool X86ProcessorHas(TShepardGridInterp::TKernels kernels);
// The distance as one lane of a kernel set computes it, each on its own route to
// the reference's bits; the reference's own where the processor has no such set.
double X86KernelDistance(TShepardGridInterp::TKernels kernels, double x, double y, double px, double py);

// The reference's steps for one sample: returns true (with the sample's value in
// result) where the reference returns at once.
inline bool AddSampleExactly(double x, double y, std::size_t j, const TShepardSampleList& list,
                             const TShepardRunParams& p, double& weightSum, double& weightedSum, double& result) {
  const double d = TShepardInterp::Distance(x, y, list.px[j], list.py[j]);
  if (d > p.maxR) return false;
  if (d < p.minR) {
    result = list.value[j];
    return true;
  }
  const double w = TShepardInterp::Weight(d, p.power);
  weightSum += w;
  weightedSum += w * list.value[j];
  return false;
}

inline double PixelExactly(double x, double y, const TShepardSampleList& list, const TShepardRunParams& p) {
  double weightSum = 0, weightedSum = 0, result = 0;
  for (std::size_t j = 0; j < list.count; ++j)
    if (AddSampleExactly(x, y, j, list, p, weightSum, weightedSum, result)) return result;
  return TShepardInterp::WeightedMean(weightSum, weightedSum);
}

// Where the reference returns a snapped sample's value for this pixel: the first
// sample within the cut-off radius and closer than the snap radius. The near list
// holds every sample that can be one, in the same order.
inline bool FindSnap(double x, double y, const TShepardSampleList& near, const TShepardRunParams& p,
                     double& result) {
  for (std::size_t j = 0; j < near.count; ++j) {
    // Most of the list lies beyond the snap radius, which the square sum tells
    // without the correctly rounded root.
    const double dx = x - near.px[j], dy = y - near.py[j];
    if (!(dx * dx + dy * dy <= p.nearlySnapSquared)) continue;
    const double d = TShepardInterp::Distance(x, y, near.px[j], near.py[j]);
    if (d > p.maxR) continue;
    if (d < p.minR) {
      result = near.value[j];
      return true;
    }
  }
  return false;
}

// The latitudes a set of rows spans.
inline void RowSpan(const double* ys, const int* rows, int rowCount, double& yLow, double& yHigh) {
  yLow = yHigh = ys[rows[0]];
  for (int k = 1; k < rowCount; ++k) {
    yLow = std::min(yLow, ys[rows[k]]);
    yHigh = std::max(yHigh, ys[rows[k]]);
  }
}

// A run's estimates, computed in whatever order the kernel takes them, handed out
// as the reference's column would: row by row, up to the first row that raises,
// whose error is raised then.
class TShepardRunResults {
public:
  explicit TShepardRunResults(int rowCount) : fFirstError(rowCount) {}

  bool Failed() const { return fError != nullptr; }
  void Set(int k, double v) { fValues[k] = v; }
  template <class TCompute>
  void Try(int k, TCompute compute) {
    try {
      fValues[k] = compute();
    } catch (const EMathError&) {
      if (k < fFirstError) {
        fFirstError = k;
        fError = std::current_exception();
      }
    }
  }
  void Hand(const int* rows, double* out) const {
    for (int k = 0; k < fFirstError; ++k) out[rows[k]] = fValues[k];
    if (fError) std::rethrow_exception(fError);
  }

private:
  double fValues[kRunRows];
  int fFirstError;
  std::exception_ptr fError;
};
