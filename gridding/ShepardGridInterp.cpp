#include "gridding/ShepardGridInterp.h"

#include <cmath>
#include <utility>

#include "gridding/ShepardGridInterpIndex.h"
#include "gridding/ShepardGridInterpRun.h"
#include "platform/MathErrors.h"

namespace {

// Any power, any processor: pixel by pixel through the reference's own functions.
// Where weights cannot fail, pixels with a sample to snap to take their value
// first, as the vector kernels do.
void ExactRun(double x, const double* ys, const int* rows, int rowCount, const TShepardSampleList& near,
              const TShepardGatherFull& gatherFull, const TShepardRunParams& p, double* out) {
  TShepardRunResults results(rowCount);
  int open[kRunRows];      // positions in rows
  int openRows[kRunRows];  // the rows themselves
  int openCount = 0;
  for (int k = 0; k < rowCount; ++k) {
    double snapped;
    if (p.weightsCannotFail && FindSnap(x, ys[rows[k]], near, p, snapped)) {
      results.Set(k, snapped);
    } else {
      open[openCount] = k;
      openRows[openCount++] = rows[k];
    }
  }
  if (openCount > 0) {
    double yLow, yHigh;
    RowSpan(ys, openRows, openCount, yLow, yHigh);
    const TShepardSampleList& list = gatherFull(yLow, yHigh);
    for (int o = 0; o < openCount && !results.Failed(); ++o)
      results.Try(open[o], [&] { return PixelExactly(x, ys[openRows[o]], list, p); });
  }
  results.Hand(rows, out);
}

}  // namespace

TShepardGridInterp::TShepardGridInterp(std::shared_ptr<const TPointList> coord,
                                       std::shared_ptr<const TValueList> value, double p, double maxRadius,
                                       double minRadius, TMessageBox* messages)
    : fReference(std::move(coord), std::move(value), p, maxRadius, minRadius, messages) {
  if (p >= 1 && p <= 16 && p == std::floor(p)) fExponent = static_cast<unsigned>(p);
  fIndex = TShepardGridIndex::Build(fReference);
  // The reference's weight is d^power rounded by repeated squaring, which never
  // decreases as d grows; so if it neither underflows at the snap radius nor
  // overflows at the cut-off radius, it fails for no sample that gets weighed.
  if (fExponent > 0 && minRadius > 0) {
    try {
      TShepardInterp::Weight(minRadius, p);
      TShepardInterp::Weight(maxRadius, p);
      fWeightsCannotFail = true;
    } catch (const EMathError&) {
    }
  }
  if (X86ProcessorHas(TKernels::Avx512))
    UseKernels(TKernels::Avx512);
  else
    UseKernels(TKernels::Avx2);
}

TShepardGridInterp::~TShepardGridInterp() = default;

void TShepardGridInterp::UseKernels(TKernels kernels) {
  fKernels = X86ProcessorHas(kernels) ? kernels : TKernels::Exact;
  fRun = X86RunKernel(fKernels, fExponent);
  if (!fRun) fRun = &ExactRun;
}

void TShepardGridInterp::InterpRun(double x, const double* ys, const int* rows, int rowCount, double* out) const {
  if (rowCount == 0) return;
  const double maxR = fReference.CutOffRadius();
  // A sample within the cut-off radius has a rounded square sum below
  // maxR² (1 + 2^-50); the margin passes a few more, which their distances sort out.
  const TShepardRunParams params{maxR,
                                 fReference.SnapRadius(),
                                 fReference.Power(),
                                 fWeightsCannotFail,
                                 maxR * maxR * (1 + 0x1p-40),
                                 NearlySquared(fReference.SnapRadius())};
  TShepardRunLists& lists = ThisThreadsRunLists();
  double yLow, yHigh;
  RowSpan(ys, rows, rowCount, yLow, yHigh);
  fIndex->Gather(fReference, x, yLow, yHigh, params.minR, lists.near);
  const TShepardGatherFull gatherFull{*fIndex, fReference, x, params.maxR, lists.full};
  fRun(x, ys, rows, rowCount, lists.near, gatherFull, params, out);
}

void TShepardGridInterp::InterpColumn(double x, const double* ys, const bool* wanted, int count, double* out) const {
  if (!fIndex || !fIndex->Holds(x)) {
    fReference.InterpColumn(x, ys, wanted, count, out);
    return;
  }
  // Rows are handed out in the caller's order, so an error leaves the same rows
  // written as the reference's column would.
  int rows[kRunRows];
  int rowCount = 0;
  for (int i = 0; i < count; ++i) {
    if (wanted && !wanted[i]) continue;
    if (!fIndex->Holds(ys[i])) {
      InterpRun(x, ys, rows, rowCount, out);
      rowCount = 0;
      out[i] = fReference.interp(x, ys[i]);
      continue;
    }
    rows[rowCount++] = i;
    if (rowCount == kRunRows) {
      InterpRun(x, ys, rows, rowCount, out);
      rowCount = 0;
    }
  }
  InterpRun(x, ys, rows, rowCount, out);
}

double TShepardGridInterp::interp(double xcoord, double ycoord) const {
  double result = 0;
  InterpColumn(xcoord, &ycoord, nullptr, 1, &result);
  return result;
}
