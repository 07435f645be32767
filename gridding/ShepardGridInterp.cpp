#include "gridding/ShepardGridInterp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <utility>
#include <vector>

#include "platform/MathErrors.h"

#if defined(__x86_64__)
// GCC 12's own AVX-512 square root leaves a lane it never reads undefined and
// warns about it where the kernels inline it, so the warning is off for the file.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#define SHOALWRIGHT_X86_KERNELS 1
#endif

namespace {

// Cells are a quarter of the cut-off radius wide: a run then gathers about 2.25
// radii of width for the 2 it needs.
constexpr double kCellsPerRadius = 4.0;

// Cell coordinates stay within ±2^30, so a cell's key packs its row and column
// into 64 bits and the division that finds a cell errs by far less than a cell.
constexpr double kCellLimit = 1073741824.0;

// Pixels of a column that share the gathered samples. Longer runs gather less per
// pixel; shorter ones give each pixel fewer samples it cannot reach.
constexpr int kRunRows = 64;

// Samples in ascending index order, widened to double as the reference widens them.
struct TSampleList {
  std::vector<double> px, py, value;
  std::size_t count = 0;
};

struct TSpan {
  std::uint32_t first, last, cell;
};

// Each thread's working memory, so that the workers share nothing but the index,
// which they only read.
struct alignas(64) TScratch {
  // One bit per sample index: marking the gathered samples and reading the bits
  // back in order sorts them in time linear in their number. All zero between runs.
  std::vector<std::uint64_t> marks;
  std::vector<TSpan> spans;
  TSampleList near;  // within reach of the snap radius
  TSampleList full;  // within reach of the cut-off radius
};

thread_local TScratch scratch;

struct TParams {
  double maxR, minR, power;
  // No weight of a sample between the snap and the cut-off radius can fail.
  bool weightsCannotFail;
  // The largest s whose rounded square root is at most maxR: as the root never
  // decreases, a sample is within the cut-off radius exactly when its squared
  // distance is at most this, so far samples cost no root.
  double cutOffSquared;
};

// The threshold of TParams::cutOffSquared for a radius from 1e-100 to 1e100
// (whose square is a normal double); the rounded root of the square is within an
// ulp of the radius, so a few steps find it.
double CutOffSquared(double maxR) {
  double t = maxR * maxR;
  while (std::sqrt(t) > maxR) t = std::nextafter(t, 0.0);
  while (std::sqrt(std::nextafter(t, HUGE_VAL)) <= maxR) t = std::nextafter(t, HUGE_VAL);
  return t;
}

// The reference's steps for one sample: returns true (with the sample's value in
// result) where the reference returns at once.
inline bool AddSampleExactly(double x, double y, std::size_t j, const TSampleList& list, const TParams& p,
                             double& weightSum, double& weightedSum, double& result) {
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

double PixelExactly(double x, double y, const TSampleList& list, const TParams& p) {
  double weightSum = 0, weightedSum = 0, result = 0;
  for (std::size_t j = 0; j < list.count; ++j)
    if (AddSampleExactly(x, y, j, list, p, weightSum, weightedSum, result)) return result;
  return TShepardInterp::WeightedMean(weightSum, weightedSum);
}

// Where the reference returns a snapped sample's value for this pixel: the first
// sample within the cut-off radius and closer than the snap radius. The near list
// holds every sample that can be one, in the same order.
bool FindSnap(double x, double y, const TSampleList& near, const TParams& p, double& result) {
  for (std::size_t j = 0; j < near.count; ++j) {
    const double d = TShepardInterp::Distance(x, y, near.px[j], near.py[j]);
    if (d > p.maxR) continue;
    if (d < p.minR) {
      result = near.value[j];
      return true;
    }
  }
  return false;
}

// Within reach of a pixel of column x between latitudes yLow and yHigh: the
// margin of 1e-9 dwarfs the few ulps by which the reference's rounded distance
// can fall below the true one.
inline bool WithinReach(double px, double py, double x, double yLow, double yHigh, double reachSquared) {
  const double gx = px - x;
  const double gy = py < yLow ? yLow - py : (py > yHigh ? py - yHigh : 0.0);
  return gx * gx + gy * gy <= reachSquared;
}

inline double ReachSquared(double radius) {
  const double reach = radius * (1 + 1e-9);
  return reach * reach;
}

// floor(q) for |q| within the cell limit, without a call into the maths library.
inline std::int64_t Floor(double q) {
  const auto truncated = static_cast<std::int64_t>(q);
  return truncated > q ? truncated - 1 : truncated;
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
class TRunResults {
public:
  explicit TRunResults(int rowCount) : firstError_(rowCount) {}

  bool Failed() const { return error_ != nullptr; }
  void Set(int k, double v) { values_[k] = v; }
  template <class TCompute>
  void Try(int k, TCompute compute) {
    try {
      values_[k] = compute();
    } catch (const EMathError&) {
      if (k < firstError_) {
        firstError_ = k;
        error_ = std::current_exception();
      }
    }
  }
  void Hand(const int* rows, double* out) const {
    for (int k = 0; k < firstError_; ++k) out[rows[k]] = values_[k];
    if (error_) std::rethrow_exception(error_);
  }

private:
  double values_[kRunRows];
  int firstError_;
  std::exception_ptr error_;
};

// Any power, any processor: pixel by pixel through the reference's own functions.
// Where weights cannot fail, pixels with a sample to snap to take its value
// first, as the lane kernels below explain.
struct TExactKernel {
  template <class TGatherFull>
  static void Run(double x, const double* ys, const int* rows, int rowCount, const TSampleList& near,
                  TGatherFull gatherFull, const TParams& p, double* out) {
    TRunResults results(rowCount);
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
      const TSampleList& list = gatherFull(yLow, yHigh);
      for (int o = 0; o < openCount && !results.Failed(); ++o)
        results.Try(open[o], [&] { return PixelExactly(x, ys[openRows[o]], list, p); });
    }
    results.Hand(rows, out);
  }
};

#if defined(SHOALWRIGHT_X86_KERNELS)

// The vector kernels give each pixel of a run a lane of its own, so every lane
// walks the samples in ascending order and accumulates its two sums exactly as
// the reference does for that pixel; no sum is ever split or reordered. Each lane
// rounds every product, quotient and root on its own as IEEE arithmetic does in
// the scalar code, and there is no fused multiply-add. The sums are finished by
// the reference's own TShepardInterp::WeightedMean.

// What a lane ends with: the value of the sample it snapped to, or its two sums.
struct TLaneSums {
  bool snapped = false;
  double value = 0;
  double weightSum = 0, weightedSum = 0;
};

// d^E by the reference's repeated squaring, in every lane.
template <unsigned E>
__attribute__((target("avx512f"))) inline __m512d Raise8(__m512d d) {
  __m512d base = d;
  __m512d raised = _mm512_set1_pd(1.0);
  unsigned e = E;
  while (true) {
    if (e & 1u) raised = _mm512_mul_pd(raised, base);
    e >>= 1;
    if (e == 0) break;
    base = _mm512_mul_pd(base, base);
  }
  return raised;
}

template <unsigned E>
__attribute__((target("avx2"))) inline __m256d Raise4(__m256d d) {
  __m256d base = d;
  __m256d raised = _mm256_set1_pd(1.0);
  unsigned e = E;
  while (true) {
    if (e & 1u) raised = _mm256_mul_pd(raised, base);
    e >>= 1;
    if (e == 0) break;
    base = _mm256_mul_pd(base, base);
  }
  return raised;
}

template <unsigned E>
struct TAvx512Kernel {
  static constexpr int kLanes = 8;

  // The sums of pixels that have no sample to snap to and whose weights cannot
  // fail.
  __attribute__((target("avx512f"))) static void Sums(double x, const double* laneY, int lanes,
                                                      const TSampleList& list, const TParams& p, TLaneSums* result) {
    const __m512d y = _mm512_loadu_pd(laneY);
    const __m512d cutOffSquared = _mm512_set1_pd(p.cutOffSquared), one = _mm512_set1_pd(1.0);
    __m512d weightSum = _mm512_setzero_pd(), weightedSum = _mm512_setzero_pd();
    const __mmask8 all = static_cast<__mmask8>((1u << lanes) - 1);
    for (std::size_t j = 0; j < list.count; ++j) {
      const double dx = x - list.px[j];
      const __m512d dy = _mm512_sub_pd(y, _mm512_set1_pd(list.py[j]));
      const __m512d squared = _mm512_add_pd(_mm512_set1_pd(dx * dx), _mm512_mul_pd(dy, dy));
      const __mmask8 within = _mm512_mask_cmp_pd_mask(all, squared, cutOffSquared, _CMP_LE_OQ);
      if (!within) continue;
      const __m512d w = _mm512_div_pd(one, Raise8<E>(_mm512_sqrt_pd(squared)));
      weightSum = _mm512_mask_add_pd(weightSum, within, weightSum, w);
      weightedSum =
          _mm512_mask_add_pd(weightedSum, within, weightedSum, _mm512_mul_pd(w, _mm512_set1_pd(list.value[j])));
    }
    alignas(64) double sums[kLanes], weighted[kLanes];
    _mm512_store_pd(sums, weightSum);
    _mm512_store_pd(weighted, weightedSum);
    for (int lane = 0; lane < lanes; ++lane) result[lane] = {false, 0, sums[lane], weighted[lane]};
  }

  // A 512-bit operation costs two 256-bit ones, so up to four pixels go to the
  // AVX2 lanes (every AVX-512 processor has AVX2).
  static void SumsOfFew(double x, const double* laneY, int lanes, const TSampleList& list, const TParams& p,
                        TLaneSums* result);

  // Every pixel with the snap and the failure checks: a lane stops at its first
  // sample within the cut-off radius that is closer than the snap radius, as the
  // reference returns. False when a pixel met a failing weight.
  __attribute__((target("avx512f"))) static bool Lanes(double x, const double* laneY, int lanes,
                                                       const TSampleList& list, const TParams& p, TLaneSums* result) {
    const __m512d y = _mm512_loadu_pd(laneY);
    const __m512d maxR = _mm512_set1_pd(p.maxR), minR = _mm512_set1_pd(p.minR);
    const __m512d one = _mm512_set1_pd(1.0), zero = _mm512_setzero_pd(), infinity = _mm512_set1_pd(HUGE_VAL);
    __m512d weightSum = zero, weightedSum = zero, snappedValue = zero;
    __mmask8 active = static_cast<__mmask8>((1u << lanes) - 1);
    for (std::size_t j = 0; j < list.count; ++j) {
      const double dx = x - list.px[j];
      const __m512d dy = _mm512_sub_pd(y, _mm512_set1_pd(list.py[j]));
      const __m512d d = _mm512_sqrt_pd(_mm512_add_pd(_mm512_set1_pd(dx * dx), _mm512_mul_pd(dy, dy)));
      __mmask8 within = _mm512_mask_cmp_pd_mask(active, d, maxR, _CMP_NGT_UQ);
      if (!within) continue;
      const __m512d value = _mm512_set1_pd(list.value[j]);
      const __mmask8 snaps = _mm512_mask_cmp_pd_mask(within, d, minR, _CMP_LT_OQ);
      if (snaps) {
        snappedValue = _mm512_mask_mov_pd(snappedValue, snaps, value);
        active &= static_cast<__mmask8>(~snaps);
        within &= static_cast<__mmask8>(~snaps);
        if (!active) break;
      }
      const __m512d raised = Raise8<E>(d);
      if (_mm512_mask_cmp_pd_mask(within, raised, infinity, _CMP_EQ_OQ) |
          _mm512_mask_cmp_pd_mask(within, raised, zero, _CMP_EQ_OQ))
        return false;
      const __m512d w = _mm512_div_pd(one, raised);
      weightSum = _mm512_mask_add_pd(weightSum, within, weightSum, w);
      weightedSum = _mm512_mask_add_pd(weightedSum, within, weightedSum, _mm512_mul_pd(w, value));
    }
    alignas(64) double sums[kLanes], weighted[kLanes], snapped[kLanes];
    _mm512_store_pd(sums, weightSum);
    _mm512_store_pd(weighted, weightedSum);
    _mm512_store_pd(snapped, snappedValue);
    for (int lane = 0; lane < lanes; ++lane)
      result[lane] = {!(active & (1u << lane)), snapped[lane], sums[lane], weighted[lane]};
    return true;
  }
};

// As TAvx512Kernel, four lanes. Lanes outside the masks add +0, which changes
// neither sum: both start at +0 and can never become -0.
template <unsigned E>
struct TAvx2Kernel {
  static constexpr int kLanes = 4;

  __attribute__((target("avx2"))) static __m256d FirstLanes(int lanes) {
    return _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(lanes), _mm256_set_epi64x(3, 2, 1, 0)));
  }

  __attribute__((target("avx2"))) static void Sums(double x, const double* laneY, int lanes, const TSampleList& list,
                                                   const TParams& p, TLaneSums* result) {
    const __m256d y = _mm256_loadu_pd(laneY);
    const __m256d cutOffSquared = _mm256_set1_pd(p.cutOffSquared), one = _mm256_set1_pd(1.0);
    __m256d weightSum = _mm256_setzero_pd(), weightedSum = _mm256_setzero_pd();
    const __m256d all = FirstLanes(lanes);
    for (std::size_t j = 0; j < list.count; ++j) {
      const double dx = x - list.px[j];
      const __m256d dy = _mm256_sub_pd(y, _mm256_set1_pd(list.py[j]));
      const __m256d squared = _mm256_add_pd(_mm256_set1_pd(dx * dx), _mm256_mul_pd(dy, dy));
      const __m256d within = _mm256_and_pd(all, _mm256_cmp_pd(squared, cutOffSquared, _CMP_LE_OQ));
      if (!_mm256_movemask_pd(within)) continue;
      const __m256d w = _mm256_div_pd(one, Raise4<E>(_mm256_sqrt_pd(squared)));
      weightSum = _mm256_add_pd(weightSum, _mm256_and_pd(within, w));
      weightedSum =
          _mm256_add_pd(weightedSum, _mm256_and_pd(within, _mm256_mul_pd(w, _mm256_set1_pd(list.value[j]))));
    }
    alignas(32) double sums[kLanes], weighted[kLanes];
    _mm256_store_pd(sums, weightSum);
    _mm256_store_pd(weighted, weightedSum);
    for (int lane = 0; lane < lanes; ++lane) result[lane] = {false, 0, sums[lane], weighted[lane]};
  }

  static void SumsOfFew(double x, const double* laneY, int lanes, const TSampleList& list, const TParams& p,
                        TLaneSums* result) {
    Sums(x, laneY, lanes, list, p, result);
  }

  __attribute__((target("avx2"))) static bool Lanes(double x, const double* laneY, int lanes, const TSampleList& list,
                                                    const TParams& p, TLaneSums* result) {
    const __m256d y = _mm256_loadu_pd(laneY);
    const __m256d maxR = _mm256_set1_pd(p.maxR), minR = _mm256_set1_pd(p.minR);
    const __m256d one = _mm256_set1_pd(1.0), zero = _mm256_setzero_pd(), infinity = _mm256_set1_pd(HUGE_VAL);
    __m256d weightSum = zero, weightedSum = zero, snappedValue = zero;
    __m256d active = FirstLanes(lanes);
    for (std::size_t j = 0; j < list.count; ++j) {
      const double dx = x - list.px[j];
      const __m256d dy = _mm256_sub_pd(y, _mm256_set1_pd(list.py[j]));
      const __m256d d = _mm256_sqrt_pd(_mm256_add_pd(_mm256_set1_pd(dx * dx), _mm256_mul_pd(dy, dy)));
      __m256d within = _mm256_and_pd(active, _mm256_cmp_pd(d, maxR, _CMP_NGT_UQ));
      if (!_mm256_movemask_pd(within)) continue;
      const __m256d value = _mm256_set1_pd(list.value[j]);
      const __m256d snaps = _mm256_and_pd(within, _mm256_cmp_pd(d, minR, _CMP_LT_OQ));
      if (_mm256_movemask_pd(snaps)) {
        snappedValue = _mm256_blendv_pd(snappedValue, value, snaps);
        active = _mm256_andnot_pd(snaps, active);
        within = _mm256_andnot_pd(snaps, within);
        if (!_mm256_movemask_pd(active)) break;
      }
      const __m256d raised = Raise4<E>(d);
      const __m256d fails =
          _mm256_or_pd(_mm256_cmp_pd(raised, infinity, _CMP_EQ_OQ), _mm256_cmp_pd(raised, zero, _CMP_EQ_OQ));
      if (_mm256_movemask_pd(_mm256_and_pd(within, fails))) return false;
      const __m256d w = _mm256_div_pd(one, raised);
      weightSum = _mm256_add_pd(weightSum, _mm256_and_pd(within, w));
      weightedSum = _mm256_add_pd(weightedSum, _mm256_and_pd(within, _mm256_mul_pd(w, value)));
    }
    alignas(32) double sums[kLanes], weighted[kLanes], snapped[kLanes];
    _mm256_store_pd(sums, weightSum);
    _mm256_store_pd(weighted, weightedSum);
    _mm256_store_pd(snapped, snappedValue);
    const int stillActive = _mm256_movemask_pd(active);
    for (int lane = 0; lane < lanes; ++lane)
      result[lane] = {!(stillActive & (1 << lane)), snapped[lane], sums[lane], weighted[lane]};
    return true;
  }
};

template <unsigned E>
void TAvx512Kernel<E>::SumsOfFew(double x, const double* laneY, int lanes, const TSampleList& list, const TParams& p,
                                 TLaneSums* result) {
  if (lanes <= TAvx2Kernel<E>::kLanes)
    TAvx2Kernel<E>::Sums(x, laneY, lanes, list, p, result);
  else
    Sums(x, laneY, lanes, list, p, result);
}

// The rows of a run in groups of one vector's lanes.
//
// Where weights cannot fail, a pixel with a sample to snap to takes its value
// straight away: the weights the reference adds up before it reaches that sample
// never reach the result, and none of them can raise an error. Only the pixels
// left over gather the samples within the cut-off radius, and share the lanes
// for their sums. Otherwise every pixel walks all samples with the snap and the
// failure checks, and a group whose lanes met a failing weight is redone pixel
// by pixel by the reference's steps.
template <class TLanes>
struct TLaneKernel {
  static constexpr int kLanes = TLanes::kLanes;

  template <class TGatherFull>
  static void Run(double x, const double* ys, const int* rows, int rowCount, const TSampleList& near,
                  TGatherFull gatherFull, const TParams& p, double* out) {
    TRunResults results(rowCount);
    if (p.weightsCannotFail)
      RunUnchecked(x, ys, rows, rowCount, near, gatherFull, p, results);
    else
      RunChecked(x, ys, rows, rowCount, gatherFull, p, results);
    results.Hand(rows, out);
  }

  template <class TGatherFull>
  static void RunUnchecked(double x, const double* ys, const int* rows, int rowCount, const TSampleList& near,
                           TGatherFull gatherFull, const TParams& p, TRunResults& results) {
    int open[kRunRows];      // positions in rows
    int openRows[kRunRows];  // the rows themselves
    int openCount = 0;
    for (int k = 0; k < rowCount; ++k) {
      double snapped;
      if (FindSnap(x, ys[rows[k]], near, p, snapped)) {
        results.Set(k, snapped);
      } else {
        open[openCount] = k;
        openRows[openCount++] = rows[k];
      }
    }
    if (openCount == 0) return;
    double yLow, yHigh;
    RowSpan(ys, openRows, openCount, yLow, yHigh);
    const TSampleList& list = gatherFull(yLow, yHigh);
    for (int first = 0; first < openCount && !results.Failed(); first += kLanes) {
      const int lanes = std::min(kLanes, openCount - first);
      double laneY[kLanes];
      TLaneSums sums[kLanes];
      for (int lane = 0; lane < kLanes; ++lane) laneY[lane] = ys[openRows[first + std::min(lane, lanes - 1)]];
      TLanes::SumsOfFew(x, laneY, lanes, list, p, sums);
      for (int lane = 0; lane < lanes; ++lane)
        results.Try(open[first + lane],
                    [&] { return TShepardInterp::WeightedMean(sums[lane].weightSum, sums[lane].weightedSum); });
    }
  }

  template <class TGatherFull>
  static void RunChecked(double x, const double* ys, const int* rows, int rowCount, TGatherFull gatherFull,
                         const TParams& p, TRunResults& results) {
    double yLow, yHigh;
    RowSpan(ys, rows, rowCount, yLow, yHigh);
    const TSampleList& list = gatherFull(yLow, yHigh);
    for (int first = 0; first < rowCount && !results.Failed(); first += kLanes) {
      const int lanes = std::min(kLanes, rowCount - first);
      double laneY[kLanes];
      TLaneSums sums[kLanes];
      for (int lane = 0; lane < kLanes; ++lane) laneY[lane] = ys[rows[first + std::min(lane, lanes - 1)]];
      const bool done = TLanes::Lanes(x, laneY, lanes, list, p, sums);
      for (int lane = 0; lane < lanes; ++lane) {
        const int k = first + lane;
        if (!done)
          results.Try(k, [&] { return PixelExactly(x, laneY[lane], list, p); });
        else if (sums[lane].snapped)
          results.Set(k, sums[lane].value);
        else
          results.Try(k, [&] { return TShepardInterp::WeightedMean(sums[lane].weightSum, sums[lane].weightedSum); });
      }
    }
  }
};

template <unsigned E>
using TAvx512LaneKernel = TLaneKernel<TAvx512Kernel<E>>;
template <unsigned E>
using TAvx2LaneKernel = TLaneKernel<TAvx2Kernel<E>>;

bool ProcessorHas(TShepardGridInterp::TKernels kernels) {
  switch (kernels) {
    case TShepardGridInterp::TKernels::Exact: return true;
    case TShepardGridInterp::TKernels::Avx2: return __builtin_cpu_supports("avx2");
    case TShepardGridInterp::TKernels::Avx512: return __builtin_cpu_supports("avx512f");
  }
  return false;
}

#else

bool ProcessorHas(TShepardGridInterp::TKernels kernels) { return kernels == TShepardGridInterp::TKernels::Exact; }

#endif

}  // namespace

// The samples sorted into cells of the uniform grid. Cell (column, row) holds the
// samples with floor(x / size) and floor(y / size) equal to cellX0 + column and
// cellY0 + row.
struct TShepardGridInterp::TIndex {
  double size = 0;
  double cutOffSquared = 0;  // see TParams
  std::int64_t cellX0 = 0, cellY0 = 0;
  std::int64_t columns = 0, rows = 0;
  // Occupied cells in the order of their key (row << 32 | column), each with its
  // first entry in order; start has one entry more.
  std::vector<std::uint64_t> keys;
  std::vector<std::uint32_t> start;
  std::vector<std::uint32_t> lowest, highest;  // each cell's lowest and highest sample index
  std::vector<std::uint32_t> order;            // sample indices by cell, ascending within each
  TPointList positions;                        // the samples' positions in that order

  // nullptr where the grid cannot hold the samples exactly.
  static std::unique_ptr<const TIndex> Build(const TShepardInterp& reference);

  bool Holds(double v) const { return std::fabs(v / size) <= kCellLimit; }

  // The cells a range of positions can touch, widened by a hundredth of a cell:
  // far more than the rounding of the divisions and of the reference's distance.
  // Ends far beyond the grid (a huge snap radius) are pulled in to where they
  // still lie beyond it.
  static std::int64_t CellNear(double q) { return Floor(std::clamp(q, -4 * kCellLimit, 4 * kCellLimit)); }
  std::int64_t CellOfLow(double v) const { return CellNear(v / size - 0.01); }
  std::int64_t CellOfHigh(double v) const { return CellNear(v / size + 0.01); }

  // Fills out with the samples that may lie within `radius` of a pixel of column
  // x between latitudes yLow and yHigh, ascending by index.
  void Gather(const TShepardInterp& reference, double x, double yLow, double yHigh, double radius,
              TSampleList& out) const;
};

std::unique_ptr<const TShepardGridInterp::TIndex> TShepardGridInterp::TIndex::Build(const TShepardInterp& reference) {
  const double maxR = reference.CutOffRadius();
  // A radius outside this range cannot be a map's; the reference handles it.
  if (!(maxR >= 1e-100 && maxR <= 1e100)) return nullptr;
  auto index = std::make_unique<TIndex>();
  index->size = maxR / kCellsPerRadius;
  index->cutOffSquared = CutOffSquared(maxR);

  const TPointList& points = reference.Points();
  const int n = reference.SampleCount();
  const auto cellOf = [&](int i, std::int64_t& column, std::int64_t& row) {
    const double qx = static_cast<double>(points[i][0]) / index->size;
    const double qy = static_cast<double>(points[i][1]) / index->size;
    if (!(std::fabs(qx) <= kCellLimit && std::fabs(qy) <= kCellLimit)) return false;  // also NaN
    column = Floor(qx);
    row = Floor(qy);
    return true;
  };
  std::int64_t xLow = 0, xHigh = -1, yLow = 0, yHigh = -1;
  for (int i = 0; i < n; ++i) {
    std::int64_t column, row;
    if (!cellOf(i, column, row)) return nullptr;
    if (i == 0) {
      xLow = xHigh = column;
      yLow = yHigh = row;
    }
    xLow = std::min(xLow, column);
    xHigh = std::max(xHigh, column);
    yLow = std::min(yLow, row);
    yHigh = std::max(yHigh, row);
  }
  index->cellX0 = xLow;
  index->cellY0 = yLow;
  index->columns = xHigh - xLow + 1;
  index->rows = yHigh - yLow + 1;
  std::vector<std::uint64_t> key(n);
  for (int i = 0; i < n; ++i) {
    std::int64_t column, row;
    cellOf(i, column, row);
    key[i] = static_cast<std::uint64_t>(row - yLow) << 32 | static_cast<std::uint64_t>(column - xLow);
  }

  // Sorted by cell, and within a cell by index: by counting where the cells are
  // few enough to count them all (a map's samples are), else by sorting.
  std::vector<std::uint32_t>& order = index->order;
  order.resize(n);
  const auto cells = static_cast<std::uint64_t>(index->columns) * static_cast<std::uint64_t>(index->rows);
  if (cells <= 4 * static_cast<std::uint64_t>(n) + 4096) {
    const auto dense = [&](std::uint64_t k) {
      return static_cast<std::size_t>((k >> 32) * static_cast<std::uint64_t>(index->columns) + (k & 0xFFFFFFFFu));
    };
    std::vector<std::uint32_t> next(cells + 1, 0);
    for (int i = 0; i < n; ++i) ++next[dense(key[i]) + 1];
    for (std::size_t c = 1; c <= cells; ++c) next[c] += next[c - 1];
    for (int i = 0; i < n; ++i) order[next[dense(key[i])]++] = static_cast<std::uint32_t>(i);
  } else {
    for (int i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return key[a] < key[b] || (key[a] == key[b] && a < b);
    });
  }

  index->positions.resize(n);
  for (int k = 0; k < n; ++k) {
    const std::uint32_t i = order[k];
    index->positions[k] = points[i];
    if (k == 0 || key[i] != key[order[k - 1]]) {
      index->keys.push_back(key[i]);
      index->start.push_back(static_cast<std::uint32_t>(k));
      index->lowest.push_back(i);  // a cell's first sample has its lowest index
      index->highest.push_back(i);
    }
    index->highest.back() = i;
  }
  index->start.push_back(static_cast<std::uint32_t>(n));
  return index;
}

void TShepardGridInterp::TIndex::Gather(const TShepardInterp& reference, double x, double yLow, double yHigh,
                                        double radius, TSampleList& out) const {
  TScratch& s = scratch;
  out.count = 0;
  if (!(radius > 0) || keys.empty()) return;
  const std::int64_t columnLow = std::max<std::int64_t>(CellOfLow(x - radius) - cellX0, 0);
  const std::int64_t columnHigh = std::min<std::int64_t>(CellOfHigh(x + radius) - cellX0, columns - 1);
  const std::int64_t rowLow = std::max<std::int64_t>(CellOfLow(yLow - radius) - cellY0, 0);
  const std::int64_t rowHigh = std::min<std::int64_t>(CellOfHigh(yHigh + radius) - cellY0, rows - 1);

  // The occupied cells of the range.
  s.spans.clear();
  std::size_t most = 0;
  for (std::int64_t row = rowLow; row <= rowHigh && columnLow <= columnHigh; ++row) {
    const std::uint64_t keyLow = static_cast<std::uint64_t>(row) << 32 | static_cast<std::uint64_t>(columnLow);
    const std::uint64_t keyHigh = static_cast<std::uint64_t>(row) << 32 | static_cast<std::uint64_t>(columnHigh);
    for (auto cell = std::lower_bound(keys.begin(), keys.end(), keyLow); cell != keys.end() && *cell <= keyHigh; ++cell) {
      const auto k = static_cast<std::uint32_t>(cell - keys.begin());
      s.spans.push_back({start[k], start[k + 1], k});
      most += start[k + 1] - start[k];
    }
  }
  if (s.spans.empty()) return;
  // Everything that can throw happens before a bit is set, so the marks stay clean.
  const std::size_t words = (static_cast<std::size_t>(reference.SampleCount()) + 63) / 64;
  if (s.marks.size() < words) s.marks.resize(words, 0);
  if (out.px.size() < most) {
    out.px.resize(most);
    out.py.resize(most);
    out.value.resize(most);
  }

  // Mark what lies within reach of the run's stretch of the column. A cell's
  // indices ascend, so the bits of one word are collected in a register and
  // written once; and no branch, as which samples pass follows no pattern.
  const double reachSquared = ReachSquared(radius);
  std::uint64_t* marks = s.marks.data();
  std::uint32_t lowestIndex = UINT32_MAX, highestIndex = 0;
  for (const TSpan& span : s.spans) {
    lowestIndex = std::min(lowestIndex, lowest[span.cell]);
    highestIndex = std::max(highestIndex, highest[span.cell]);
    std::uint32_t word = order[span.first] >> 6;
    std::uint64_t bits = 0;
    for (std::uint32_t k = span.first; k < span.last; ++k) {
      const bool within = WithinReach(positions[k][0], positions[k][1], x, yLow, yHigh, reachSquared);
      const std::uint32_t i = order[k];
      if (i >> 6 != word) {
        marks[word] |= bits;
        word = i >> 6;
        bits = 0;
      }
      bits |= static_cast<std::uint64_t>(within) << (i & 63);
    }
    marks[word] |= bits;
  }

  // Read the marks back in index order, clearing them as they go.
  const TPointList& points = reference.Points();
  const TValueList& values = reference.Values();
  double* listX = out.px.data();
  double* listY = out.py.data();
  double* listValue = out.value.data();
  std::size_t count = 0;
  for (std::size_t w = lowestIndex >> 6; w <= (highestIndex >> 6); ++w) {
    std::uint64_t word = marks[w];
    if (word == 0) continue;
    marks[w] = 0;
    do {
      const std::size_t i = w * 64 + static_cast<std::size_t>(__builtin_ctzll(word));
      word &= word - 1;
      listX[count] = points[i][0];
      listY[count] = points[i][1];
      listValue[count] = values[i];
      ++count;
    } while (word != 0);
  }
  out.count = count;
}

TShepardGridInterp::TShepardGridInterp(std::shared_ptr<const TPointList> coord,
                                       std::shared_ptr<const TValueList> value, double p, double maxRadius,
                                       double minRadius, TMessageBox* messages)
    : reference_(std::move(coord), std::move(value), p, maxRadius, minRadius, messages) {
  if (p >= 1 && p <= 16 && p == std::floor(p)) exponent_ = static_cast<unsigned>(p);
  if (ProcessorHas(TKernels::Avx512))
    kernels_ = TKernels::Avx512;
  else if (ProcessorHas(TKernels::Avx2))
    kernels_ = TKernels::Avx2;
  index_ = TIndex::Build(reference_);
  // The reference's weight is d^power rounded by repeated squaring, which never
  // decreases as d grows; so if it neither underflows at the snap radius nor
  // overflows at the cut-off radius, it fails for no sample that gets weighed.
  if (exponent_ > 0 && minRadius > 0) {
    try {
      TShepardInterp::Weight(minRadius, p);
      TShepardInterp::Weight(maxRadius, p);
      weightsCannotFail_ = true;
    } catch (const EMathError&) {
    }
  }
}

TShepardGridInterp::~TShepardGridInterp() = default;

void TShepardGridInterp::UseKernels(TKernels kernels) { kernels_ = ProcessorHas(kernels) ? kernels : TKernels::Exact; }

template <class TKernel>
void TShepardGridInterp::InterpRun(double x, const double* ys, const int* rows, int rowCount, double* out) const {
  if (rowCount == 0) return;
  const TParams params{reference_.CutOffRadius(), reference_.SnapRadius(), reference_.Power(), weightsCannotFail_,
                       index_->cutOffSquared};
  double yLow, yHigh;
  RowSpan(ys, rows, rowCount, yLow, yHigh);
  index_->Gather(reference_, x, yLow, yHigh, params.minR, scratch.near);
  const auto gatherFull = [&](double low, double high) -> const TSampleList& {
    index_->Gather(reference_, x, low, high, params.maxR, scratch.full);
    return scratch.full;
  };
  TKernel::Run(x, ys, rows, rowCount, scratch.near, gatherFull, params, out);
}

template <class TKernel>
void TShepardGridInterp::InterpColumnWith(double x, const double* ys, const bool* wanted, int count,
                                          double* out) const {
  // Rows are handed out in the caller's order, so an error leaves the same rows
  // written as the reference's column would.
  int rows[kRunRows];
  int rowCount = 0;
  for (int i = 0; i < count; ++i) {
    if (wanted && !wanted[i]) continue;
    if (!index_->Holds(ys[i])) {
      InterpRun<TKernel>(x, ys, rows, rowCount, out);
      rowCount = 0;
      out[i] = reference_.interp(x, ys[i]);
      continue;
    }
    rows[rowCount++] = i;
    if (rowCount == kRunRows) {
      InterpRun<TKernel>(x, ys, rows, rowCount, out);
      rowCount = 0;
    }
  }
  InterpRun<TKernel>(x, ys, rows, rowCount, out);
}

template <template <unsigned> class TKernelFamily>
void TShepardGridInterp::InterpColumnWithPower(double x, const double* ys, const bool* wanted, int count,
                                               double* out) const {
  switch (exponent_) {
    case 1: return InterpColumnWith<TKernelFamily<1>>(x, ys, wanted, count, out);
    case 2: return InterpColumnWith<TKernelFamily<2>>(x, ys, wanted, count, out);
    case 3: return InterpColumnWith<TKernelFamily<3>>(x, ys, wanted, count, out);
    case 4: return InterpColumnWith<TKernelFamily<4>>(x, ys, wanted, count, out);
    case 5: return InterpColumnWith<TKernelFamily<5>>(x, ys, wanted, count, out);
    case 6: return InterpColumnWith<TKernelFamily<6>>(x, ys, wanted, count, out);
    case 7: return InterpColumnWith<TKernelFamily<7>>(x, ys, wanted, count, out);
    case 8: return InterpColumnWith<TKernelFamily<8>>(x, ys, wanted, count, out);
    case 9: return InterpColumnWith<TKernelFamily<9>>(x, ys, wanted, count, out);
    case 10: return InterpColumnWith<TKernelFamily<10>>(x, ys, wanted, count, out);
    case 11: return InterpColumnWith<TKernelFamily<11>>(x, ys, wanted, count, out);
    case 12: return InterpColumnWith<TKernelFamily<12>>(x, ys, wanted, count, out);
    case 13: return InterpColumnWith<TKernelFamily<13>>(x, ys, wanted, count, out);
    case 14: return InterpColumnWith<TKernelFamily<14>>(x, ys, wanted, count, out);
    case 15: return InterpColumnWith<TKernelFamily<15>>(x, ys, wanted, count, out);
    case 16: return InterpColumnWith<TKernelFamily<16>>(x, ys, wanted, count, out);
    default: return InterpColumnWith<TExactKernel>(x, ys, wanted, count, out);
  }
}

void TShepardGridInterp::InterpColumn(double x, const double* ys, const bool* wanted, int count, double* out) const {
  if (!index_ || !index_->Holds(x)) {
    reference_.InterpColumn(x, ys, wanted, count, out);
    return;
  }
#if defined(SHOALWRIGHT_X86_KERNELS)
  if (kernels_ == TKernels::Avx512) return InterpColumnWithPower<TAvx512LaneKernel>(x, ys, wanted, count, out);
  if (kernels_ == TKernels::Avx2) return InterpColumnWithPower<TAvx2LaneKernel>(x, ys, wanted, count, out);
#endif
  InterpColumnWith<TExactKernel>(x, ys, wanted, count, out);
}

double TShepardGridInterp::interp(double xcoord, double ycoord) const {
  double result = 0;
  InterpColumn(xcoord, &ycoord, nullptr, 1, &result);
  return result;
}
