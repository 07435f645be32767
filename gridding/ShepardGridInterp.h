#pragma once

#include <memory>

#include "gridding/ShepardInterp.h"

class TShepardGridIndex;
struct TShepardSampleList;
struct TShepardGatherFull;
struct TShepardRunParams;

// The Shepard estimate of TShepardInterp, bit for bit, without visiting every
// sample for every pixel.
//
// The samples are sorted into a uniform grid of cells a quarter of the cut-off
// radius wide. A column is taken in runs of up to 64 pixels; each run gathers, in
// ascending sample order, the samples that can lie within the snap radius of one
// of its pixels, and, unless every pixel has one to snap to, those that can lie
// within the cut-off radius. Every pixel then follows the reference's steps on
// that short list: the same distance, the same tests against the cut-off and the
// snap radius, the same weight, both sums accumulated in ascending sample order
// and finished by TShepardInterp::WeightedMean. Only samples the reference skips
// (farther than the cut-off radius) are left out of a pixel's sums, so results,
// and the errors raised where the reference raises, are the reference's.
//
// One shortcut: when no weight between the snap and the cut-off radius can fail
// (checked once, at both radii), a pixel with a sample to snap to takes that
// sample's value without adding up the weights before it, which the reference
// computes and then discards.
//
// Inputs the grid cannot hold exactly (a cut-off radius that is not a positive
// finite number of sensible size, samples at non-finite or absurdly distant
// positions) make every query go to the reference itself; so does a query at
// such a position.
class TShepardGridInterp : public TDepthInterpolator {
public:
  // The same arguments as TShepardInterp, with the same message on a length
  // mismatch. Builds the grid at once; the arrays must stay unchanged while the
  // interpolator is in use.
  TShepardGridInterp(std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> value, double p,
                     double maxRadius, double minRadius, TMessageBox* messages = nullptr);
  ~TShepardGridInterp() override;

  const char* ClassName() const override { return "TShepardGridInterp"; }

  // Any number of threads may call these at once; each keeps its working lists
  // to itself.
  double interp(double xcoord, double ycoord) const override;
  void InterpColumn(double x, const double* ys, const bool* wanted, int count, double* out) const override;

  // The definition this interpolator follows, on the same arrays and parameters.
  const TShepardInterp& Reference() const { return fReference; }

  // False when every query goes to the reference (see above).
  bool Indexed() const { return fIndex != nullptr; }

  // How a run's distances and weights are computed: one pixel per vector lane
  // (AVX-512, or AVX2 with FMA), or pixel by pixel through the reference's own functions.
  // All give the same bits; the widest the processor has is chosen, and tests
  // hold each of them to the reference.
  enum class TKernels { Exact, Avx2, Avx512 };
  TKernels Kernels() const { return fKernels; }
  // Picks a kernel set; one the processor lacks falls back to Exact.
  void UseKernels(TKernels kernels);

private:
  void InterpRun(double x, const double* ys, const int* rows, int rowCount, double* out) const;

  TShepardInterp fReference;
  std::unique_ptr<const TShepardGridIndex> fIndex;
  unsigned fExponent = 0;  // the power when it is a whole number from 1 to 16, else 0
  bool fWeightsCannotFail = false;
  TKernels fKernels = TKernels::Exact;
  // Computes one run of a column with the chosen kernels.
  void (*fRun)(double, const double*, const int*, int, const TShepardSampleList&,
               const TShepardGatherFull&, const TShepardRunParams&, double*) = nullptr;
};
