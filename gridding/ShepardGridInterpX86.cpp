#include "gridding/ShepardGridInterpRun.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "gridding/ShepardInterpDistance.h"

// The vector kernels of TShepardGridInterp for x86 processors.

#if defined(__x86_64__)

// GCC 12's own AVX-512 intrinsics (the root estimate, max, min) leave a lane
// they never read undefined and warn about it where the kernels inline them; the
// warnings are off for this file.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

namespace {

// The vector kernels give each pixel of a run a lane of its own, so every lane
// walks the samples in ascending order and accumulates its two sums exactly as
// the reference does for that pixel; no sum is ever split or reordered. A lane's
// distance is correctly rounded, as the reference's, by a route of its own; from
// there each lane rounds every power, quotient and sum as IEEE arithmetic does in
// the scalar code. The sums are finished by the reference's own
// TShepardInterp::WeightedMean.

// What a lane ends with: the value of the sample it snapped to, or its two sums.
struct TLaneSums {
  bool snapped = false;
  double value = 0;
  double weightSum = 0, weightedSum = 0;
};

// The samples one group of lanes weighs, kept per thread and grown as needed:
// each with its offset across the column and that offset's square, split exactly
// into the rounded square and its error, which every lane shares.
struct TGroupSamples {
  std::vector<double> adx, dx2, dx2Error, py, value;
  std::size_t count = 0;
};

// Room for `most` samples and a whole vector beyond, which a gather by vectors
// may write past the samples it keeps.
inline TGroupSamples& GroupSamples(std::size_t most) {
  thread_local TGroupSamples group;
  if (group.adx.size() < most + 8)
    for (auto* column : {&group.adx, &group.dx2, &group.dx2Error, &group.py, &group.value}) column->resize(most + 8);
  return group;
}

// A sample's offset across the column, its square and the square's error.
struct TColumnOffset {
  double adx, dx2, dx2Error;
};
inline TColumnOffset ColumnOffset(double x, double px) {
  const double adx = std::fabs(x - px), dx2 = adx * adx;
  return {adx, dx2, std::fma(adx, adx, -dx2)};
}

// TShepardInterp::Distance from every lane's y to a sample `column` across and
// at latitude py, in every lane of `wanted`: the route of
// ShepardDistance::Candidate without the divider, and the reference itself for
// the lanes out of its range or near a midpoint, which are rare. Where the caller
// knows every wanted lane in range, CheckRange is false.
template <bool CheckRange = true>
__attribute__((target("avx512f,avx512dq"))) inline __m512d Distance8(__m512d y, const double* laneY,
                                                                     const TColumnOffset& column, double py,
                                                                     __mmask8 wanted) {
  using namespace ShepardDistance;
  // The square sum exactly as sh + sl, but for the rounding of the errors' sum;
  // the rounding error of sh by a fast two-sum from the larger of the squares.
  const __m512d dy = _mm512_sub_pd(y, _mm512_set1_pd(py));
  const __m512d dx2 = _mm512_set1_pd(column.dx2);
  const __m512d dy2 = _mm512_mul_pd(dy, dy), dy2Error = _mm512_fmsub_pd(dy, dy, dy2);
  const __m512d sh = _mm512_add_pd(dx2, dy2);
  const __m512d larger = _mm512_max_pd(dx2, dy2), smaller = _mm512_min_pd(dx2, dy2);
  const __m512d shError = _mm512_sub_pd(smaller, _mm512_sub_pd(sh, larger));
  const __m512d sl = _mm512_add_pd(shError, _mm512_add_pd(_mm512_set1_pd(column.dx2Error), dy2Error));
  // The root of sh by Goldschmidt's iteration from an estimate of 1 / sqrt(sh) of
  // relative error below 2^-14: after two steps r0 is within a relative 2^-50 of
  // the root, and h, after one, within 2^-27 of 1 / (2·r0). No step needs the
  // divider, which is left to the weights.
  const __m512d estimate = _mm512_rsqrt14_pd(sh);
  const __m512d half = _mm512_set1_pd(0.5);
  const __m512d g0 = _mm512_mul_pd(sh, estimate), h0 = _mm512_mul_pd(estimate, half);
  const __m512d step0 = _mm512_fnmadd_pd(g0, h0, half);
  const __m512d g1 = _mm512_fmadd_pd(g0, step0, g0), h = _mm512_fmadd_pd(h0, step0, h0);
  const __m512d r0 = _mm512_fmadd_pd(g1, _mm512_fnmadd_pd(g1, h, half), g1);
  // The correction: the residual of r0 is exact but for a rounding far below the
  // margin, and at most 17 half ulps of r0 over 2·r0, so h puts the correction
  // within 2^-23 half ulps of r0 of the exact one.
  const __m512d c = _mm512_mul_pd(_mm512_add_pd(_mm512_fnmadd_pd(r0, r0, sh), sl), h);
  __m512d r = _mm512_add_pd(r0, c);
  // r0 is a double, so the midpoints r0 + c can come near lie a whole number of
  // quarter ulps of r0 away (those of the binade below, where r0 + c crosses a
  // power of two): c in half ulps of r0 (times 2^(53 - exponent(r0)), exact) near
  // a multiple of 1/2 goes to the exact check. One test: the fraction of
  // (that + margin) in steps of 1/2, rounded down, below twice the margin. It also
  // flags the lanes where r0 + c lies that near a double, no more often.
  const __m512d inHalfUlps = _mm512_castsi512_pd(_mm512_sub_epi64(
      _mm512_set1_epi64(std::int64_t{2099} << 52),
      _mm512_and_si512(_mm512_castpd_si512(r0), _mm512_set1_epi64(0x7FF0000000000000))));
  const __m512d shifted = _mm512_fmadd_pd(c, inHalfUlps, _mm512_set1_pd(kEstimateMargin));
  constexpr int kHalvesRoundedDown = (1 << 4) | _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC;
  __mmask8 exact = _mm512_mask_cmp_pd_mask(wanted, _mm512_reduce_pd(shifted, kHalvesRoundedDown),
                                           _mm512_set1_pd(2 * kEstimateMargin), _CMP_LT_OQ);
  if constexpr (CheckRange) {
    const __m512d a = _mm512_max_pd(_mm512_set1_pd(column.adx), _mm512_abs_pd(dy));
    exact |= _mm512_mask_cmp_pd_mask(wanted, a, _mm512_set1_pd(kLow), _CMP_NGE_UQ) |
             _mm512_mask_cmp_pd_mask(wanted, a, _mm512_set1_pd(kHigh), _CMP_NLE_UQ);
  }
  if (exact) [[unlikely]] {
    alignas(64) double lanes[8];
    _mm512_store_pd(lanes, r);
    // The offset across is exactly x - px in magnitude, so this is the pixel's own distance.
    for (int lane = 0; lane < 8; ++lane)
      if (exact & (1u << lane)) lanes[lane] = TShepardInterp::Distance(column.adx, laneY[lane], 0, py);
    r = _mm512_load_pd(lanes);
  }
  return r;
}

// TShepardInterp::Distance in four lanes, as Distance8 takes it to the square
// sum; AVX2 has no estimate of a double's reciprocal root, so the root and the
// correction here are the steps of ShepardDistance::Candidate.
__attribute__((target("avx2,fma"))) inline __m256d Distance4(__m256d y, const double* laneY, const TColumnOffset& column,
                                                             double py, __m256d wanted) {
  using namespace ShepardDistance;
  const __m256d dy = _mm256_sub_pd(y, _mm256_set1_pd(py));
  const __m256d dx2 = _mm256_set1_pd(column.dx2);
  const __m256d dy2 = _mm256_mul_pd(dy, dy), dy2Error = _mm256_fmsub_pd(dy, dy, dy2);
  const __m256d sh = _mm256_add_pd(dx2, dy2);
  const __m256d larger = _mm256_max_pd(dx2, dy2), smaller = _mm256_min_pd(dx2, dy2);
  const __m256d shError = _mm256_sub_pd(smaller, _mm256_sub_pd(sh, larger));
  const __m256d sl = _mm256_add_pd(shError, _mm256_add_pd(_mm256_set1_pd(column.dx2Error), dy2Error));
  const __m256d r0 = _mm256_sqrt_pd(sh);
  const __m256d c = _mm256_div_pd(_mm256_add_pd(_mm256_fnmadd_pd(r0, r0, sh), sl), _mm256_add_pd(r0, r0));
  __m256d r = _mm256_add_pd(r0, c);
  const __m256d signBit = _mm256_set1_pd(-0.0);
  const __m256d z = _mm256_andnot_pd(signBit, _mm256_add_pd(_mm256_sub_pd(r0, r), c));
  const __m256d g = _mm256_mul_pd(_mm256_and_pd(r, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000))),
                                  _mm256_set1_pd(0x1p-53));
  const __m256d nearMidpoint = _mm256_or_pd(
      _mm256_cmp_pd(z, _mm256_mul_pd(g, _mm256_set1_pd(1 - kMargin)), _CMP_GE_OQ),
      _mm256_and_pd(_mm256_cmp_pd(z, _mm256_mul_pd(g, _mm256_set1_pd(0.5 - kMargin)), _CMP_GE_OQ),
                    _mm256_cmp_pd(z, _mm256_mul_pd(g, _mm256_set1_pd(0.5 + kMargin)), _CMP_LE_OQ)));
  const __m256d a = _mm256_max_pd(_mm256_set1_pd(column.adx), _mm256_andnot_pd(signBit, dy));
  const __m256d outOfRange = _mm256_or_pd(_mm256_cmp_pd(a, _mm256_set1_pd(kLow), _CMP_NGE_UQ),
                                          _mm256_cmp_pd(a, _mm256_set1_pd(kHigh), _CMP_NLE_UQ));
  const int exact = _mm256_movemask_pd(_mm256_and_pd(_mm256_or_pd(nearMidpoint, outOfRange), wanted));
  if (exact) [[unlikely]] {
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, r);
    for (int lane = 0; lane < 4; ++lane)
      if (exact & (1 << lane)) lanes[lane] = TShepardInterp::Distance(column.adx, laneY[lane], 0, py);
    r = _mm256_load_pd(lanes);
  }
  return r;
}

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
__attribute__((target("avx2,fma"))) inline __m256d Raise4(__m256d d) {
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

// The two sums of the lanes of `all` over the samples within the cut-off radius,
// in the order they are added.
template <unsigned E>
struct TWeightSums8 {
  __attribute__((target("avx512f"))) TWeightSums8(double maxRadius, __mmask8 lanes)
      : maxR(_mm512_set1_pd(maxRadius)), all(lanes) {}
  __attribute__((target("avx512f"))) void Add(__m512d d, double value) {
    const __mmask8 within = _mm512_mask_cmp_pd_mask(all, d, maxR, _CMP_LE_OQ);
    const __m512d w = _mm512_div_pd(_mm512_set1_pd(1.0), Raise8<E>(d));
    weightSum = _mm512_mask_add_pd(weightSum, within, weightSum, w);
    weightedSum = _mm512_mask_add_pd(weightedSum, within, weightedSum, _mm512_mul_pd(w, _mm512_set1_pd(value)));
  }
  __m512d maxR;
  __mmask8 all;
  __m512d weightSum = _mm512_setzero_pd(), weightedSum = _mm512_setzero_pd();
};

// The samples of `list` that may lie within the cut-off radius of one of the
// group's pixels, in their order, into `group`; eight samples at a time. A
// sample is kept when its square sum to the nearest latitude of the group's
// span is within the bound: never above the square sum to any of its pixels
// (each step rounds monotonically), so every sample a pixel weighs is kept. The
// few more kept lie beyond the cut-off radius of every pixel, whose lanes
// leave them out.
__attribute__((target("avx512f,avx512dq"))) inline void GatherNear(double x, const double* laneY, int lanes,
                                                                   const TShepardSampleList& list,
                                                                   double nearlyCutOffSquared, TGroupSamples& group) {
  double yLow = laneY[0], yHigh = laneY[0];
  for (int lane = 1; lane < lanes; ++lane) {
    yLow = std::min(yLow, laneY[lane]);
    yHigh = std::max(yHigh, laneY[lane]);
  }
  const __m512d vx = _mm512_set1_pd(x), low = _mm512_set1_pd(yLow), high = _mm512_set1_pd(yHigh);
  const __m512d bound = _mm512_set1_pd(nearlyCutOffSquared), zero = _mm512_setzero_pd();
  std::size_t count = 0;
  for (std::size_t j = 0; j < list.count; j += 8) {
    const std::size_t left = list.count - j;
    const __mmask8 present = left >= 8 ? __mmask8(0xFF) : static_cast<__mmask8>((1u << left) - 1);
    const __m512d px = _mm512_maskz_loadu_pd(present, list.px.data() + j);
    const __m512d py = _mm512_maskz_loadu_pd(present, list.py.data() + j);
    const __m512d adx = _mm512_abs_pd(_mm512_sub_pd(vx, px));
    const __m512d dx2 = _mm512_mul_pd(adx, adx);
    const __m512d dy = _mm512_max_pd(zero, _mm512_max_pd(_mm512_sub_pd(low, py), _mm512_sub_pd(py, high)));
    const __m512d squared = _mm512_add_pd(dx2, _mm512_mul_pd(dy, dy));
    const __mmask8 near = _mm512_mask_cmp_pd_mask(present, squared, bound, _CMP_LE_OQ);
    if (!near) continue;
    const __m512d value = _mm512_maskz_loadu_pd(present, list.value.data() + j);
    _mm512_storeu_pd(group.adx.data() + count, _mm512_maskz_compress_pd(near, adx));
    _mm512_storeu_pd(group.dx2.data() + count, _mm512_maskz_compress_pd(near, dx2));
    _mm512_storeu_pd(group.dx2Error.data() + count, _mm512_maskz_compress_pd(near, _mm512_fmsub_pd(adx, adx, dx2)));
    _mm512_storeu_pd(group.py.data() + count, _mm512_maskz_compress_pd(near, py));
    _mm512_storeu_pd(group.value.data() + count, _mm512_maskz_compress_pd(near, value));
    count += static_cast<std::size_t>(__builtin_popcount(near));
  }
  group.count = count;
}

template <unsigned E>
struct TAvx512Kernel {
  static constexpr int kLanes = 8;

  // The sums of pixels that have no sample to snap to and whose weights cannot
  // fail.
  __attribute__((target("avx512f,avx512dq"))) static void Sums(double x, const double* laneY, int lanes,
                                                      const TShepardSampleList& list, const TShepardRunParams& p, TLaneSums* result) {
    const __m512d y = _mm512_loadu_pd(laneY);
    const __mmask8 all = static_cast<__mmask8>((1u << lanes) - 1);
    // The group's own list first: only the samples near one of its pixels, so
    // that the loop that weighs them has no branch to mispredict and the work on
    // successive samples overlaps.
    TGroupSamples& group = GroupSamples(list.count);
    GatherNear(x, laneY, lanes, list, p.nearlyCutOffSquared, group);
    // A lane not near a sample has a square sum above the bound, so a distance
    // (even a candidate the exact check would still correct) beyond the cut-off.
    // No pixel here has a sample closer than the snap radius, and positions the
    // grid holds are nowhere near the top of the range: with a snap radius well
    // inside it, every lane is too.
    if (p.minR >= 0x1p-440)
      SumsOf<false>(laneY, y, all, group, p, result);
    else
      SumsOf<true>(laneY, y, all, group, p, result);
  }

  template <bool CheckRange>
  __attribute__((target("avx512f,avx512dq"))) static void SumsOf(const double* laneY, __m512d y, __mmask8 all,
                                                                 const TGroupSamples& group, const TShepardRunParams& p,
                                                                 TLaneSums* result) {
    TWeightSums8<E> lanes(p.maxR, all);
    const std::size_t count = group.count;
    const double* adx = group.adx.data();
    const double* dx2 = group.dx2.data();
    const double* dx2Error = group.dx2Error.data();
    const double* py = group.py.data();
    const double* value = group.value.data();
    // Each sample's weight is taken one sample after its distance: in program
    // order the end of the long chain from a sample to its weight then comes when
    // its start is done, and the processor keeps more samples in flight.
    __m512d previous = _mm512_setzero_pd();
    for (std::size_t j = 0; j < count; ++j) {
      const __m512d d = Distance8<CheckRange>(y, laneY, TColumnOffset{adx[j], dx2[j], dx2Error[j]}, py[j], all);
      if (j > 0) lanes.Add(previous, value[j - 1]);
      previous = d;
    }
    if (count > 0) lanes.Add(previous, value[count - 1]);
    const __m512d weightSum = lanes.weightSum, weightedSum = lanes.weightedSum;
    alignas(64) double sums[kLanes], weighted[kLanes];
    _mm512_store_pd(sums, weightSum);
    _mm512_store_pd(weighted, weightedSum);
    for (int lane = 0; lane < kLanes; ++lane) result[lane] = {false, 0, sums[lane], weighted[lane]};
  }

  // Even a group of a few pixels stays in the 512-bit lanes: where those are full
  // width a 256-bit group costs as much, and measured, the split lost more than it saved.
  static void SumsOfFew(double x, const double* laneY, int lanes, const TShepardSampleList& list, const TShepardRunParams& p,
                        TLaneSums* result) {
    Sums(x, laneY, lanes, list, p, result);
  }

  // Every pixel with the snap and the failure checks: a lane stops at its first
  // sample within the cut-off radius that is closer than the snap radius, as the
  // reference returns. False when a pixel met a failing weight.
  __attribute__((target("avx512f,avx512dq"))) static bool Lanes(double x, const double* laneY, int lanes,
                                                       const TShepardSampleList& list, const TShepardRunParams& p, TLaneSums* result) {
    const __m512d y = _mm512_loadu_pd(laneY);
    const __m512d maxR = _mm512_set1_pd(p.maxR), minR = _mm512_set1_pd(p.minR);
    const __m512d one = _mm512_set1_pd(1.0), zero = _mm512_setzero_pd(), infinity = _mm512_set1_pd(HUGE_VAL);
    __m512d weightSum = zero, weightedSum = zero, snappedValue = zero;
    __mmask8 active = static_cast<__mmask8>((1u << lanes) - 1);
    for (std::size_t j = 0; j < list.count; ++j) {
      const __m512d d = Distance8(y, laneY, ColumnOffset(x, list.px[j]), list.py[j], active);
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

  __attribute__((target("avx2,fma"))) static __m256d FirstLanes(int lanes) {
    return _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(lanes), _mm256_set_epi64x(3, 2, 1, 0)));
  }

  __attribute__((target("avx2,fma"))) static void Sums(double x, const double* laneY, int lanes, const TShepardSampleList& list,
                                                   const TShepardRunParams& p, TLaneSums* result) {
    const __m256d y = _mm256_loadu_pd(laneY);
    const __m256d nearlyCutOffSquared = _mm256_set1_pd(p.nearlyCutOffSquared), maxR = _mm256_set1_pd(p.maxR);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d all = FirstLanes(lanes);
    TGroupSamples& group = GroupSamples(list.count);
    std::size_t count = 0;
    for (std::size_t j = 0; j < list.count; ++j) {
      const TColumnOffset column = ColumnOffset(x, list.px[j]);
      const __m256d dy = _mm256_sub_pd(y, _mm256_set1_pd(list.py[j]));
      const __m256d squared = _mm256_add_pd(_mm256_set1_pd(column.dx2), _mm256_mul_pd(dy, dy));
      const __m256d near = _mm256_and_pd(all, _mm256_cmp_pd(squared, nearlyCutOffSquared, _CMP_LE_OQ));
      group.adx[count] = column.adx;
      group.dx2[count] = column.dx2;
      group.dx2Error[count] = column.dx2Error;
      group.py[count] = list.py[j];
      group.value[count] = list.value[j];
      count += _mm256_movemask_pd(near) != 0;
    }
    __m256d weightSum = _mm256_setzero_pd(), weightedSum = _mm256_setzero_pd();
    for (std::size_t j = 0; j < count; ++j) {
      const TColumnOffset column{group.adx[j], group.dx2[j], group.dx2Error[j]};
      const __m256d d = Distance4(y, laneY, column, group.py[j], all);
      const __m256d within = _mm256_and_pd(all, _mm256_cmp_pd(d, maxR, _CMP_LE_OQ));
      const __m256d w = _mm256_div_pd(one, Raise4<E>(d));
      weightSum = _mm256_add_pd(weightSum, _mm256_and_pd(within, w));
      weightedSum =
          _mm256_add_pd(weightedSum, _mm256_and_pd(within, _mm256_mul_pd(w, _mm256_set1_pd(group.value[j]))));
    }
    alignas(32) double sums[kLanes], weighted[kLanes];
    _mm256_store_pd(sums, weightSum);
    _mm256_store_pd(weighted, weightedSum);
    for (int lane = 0; lane < lanes; ++lane) result[lane] = {false, 0, sums[lane], weighted[lane]};
  }

  static void SumsOfFew(double x, const double* laneY, int lanes, const TShepardSampleList& list, const TShepardRunParams& p,
                        TLaneSums* result) {
    Sums(x, laneY, lanes, list, p, result);
  }

  __attribute__((target("avx2,fma"))) static bool Lanes(double x, const double* laneY, int lanes, const TShepardSampleList& list,
                                                    const TShepardRunParams& p, TLaneSums* result) {
    const __m256d y = _mm256_loadu_pd(laneY);
    const __m256d maxR = _mm256_set1_pd(p.maxR), minR = _mm256_set1_pd(p.minR);
    const __m256d one = _mm256_set1_pd(1.0), zero = _mm256_setzero_pd(), infinity = _mm256_set1_pd(HUGE_VAL);
    __m256d weightSum = zero, weightedSum = zero, snappedValue = zero;
    __m256d active = FirstLanes(lanes);
    for (std::size_t j = 0; j < list.count; ++j) {
      const __m256d d = Distance4(y, laneY, ColumnOffset(x, list.px[j]), list.py[j], active);
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

  static void Run(double x, const double* ys, const int* rows, int rowCount, const TShepardSampleList& near,
                  const TShepardGatherFull& gatherFull, const TShepardRunParams& p, double* out) {
    TShepardRunResults results(rowCount);
    if (p.weightsCannotFail)
      RunUnchecked(x, ys, rows, rowCount, near, gatherFull, p, results);
    else
      RunChecked(x, ys, rows, rowCount, gatherFull, p, results);
    results.Hand(rows, out);
  }

  static void RunUnchecked(double x, const double* ys, const int* rows, int rowCount, const TShepardSampleList& near,
                           const TShepardGatherFull& gatherFull, const TShepardRunParams& p, TShepardRunResults& results) {
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
    const TShepardSampleList& list = gatherFull(yLow, yHigh);
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

  static void RunChecked(double x, const double* ys, const int* rows, int rowCount, const TShepardGatherFull& gatherFull,
                         const TShepardRunParams& p, TShepardRunResults& results) {
    double yLow, yHigh;
    RowSpan(ys, rows, rowCount, yLow, yHigh);
    const TShepardSampleList& list = gatherFull(yLow, yHigh);
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

// One run kernel per whole exponent from 1 to 16 and vector width.
template <template <unsigned> class TFamily, std::size_t... I>
constexpr std::array<TShepardRunKernel, sizeof...(I)> RunKernelTable(std::index_sequence<I...>) {
  return {&TFamily<I + 1>::Run...};
}
constexpr auto kAvx512Runs = RunKernelTable<TAvx512LaneKernel>(std::make_index_sequence<16>());
constexpr auto kAvx2Runs = RunKernelTable<TAvx2LaneKernel>(std::make_index_sequence<16>());

}  // namespace

bool X86ProcessorHas(TShepardGridInterp::TKernels kernels) {
  switch (kernels) {
    case TShepardGridInterp::TKernels::Exact: return true;
    case TShepardGridInterp::TKernels::Avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case TShepardGridInterp::TKernels::Avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
  }
  return false;
}

TShepardRunKernel X86RunKernel(TShepardGridInterp::TKernels kernels, unsigned exponent) {
  if (exponent < 1 || exponent > 16 || !X86ProcessorHas(kernels)) return nullptr;
  switch (kernels) {
    case TShepardGridInterp::TKernels::Avx512: return kAvx512Runs[exponent - 1];
    case TShepardGridInterp::TKernels::Avx2: return kAvx2Runs[exponent - 1];
    case TShepardGridInterp::TKernels::Exact: break;
  }
  return nullptr;
}

namespace {

__attribute__((target("avx512f,avx512dq"))) double Avx512LaneDistance(double x, double y, double px, double py) {
  const double laneY[8] = {y, y, y, y, y, y, y, y};
  return _mm512_cvtsd_f64(Distance8(_mm512_set1_pd(y), laneY, ColumnOffset(x, px), py, 0xFF));
}

__attribute__((target("avx2,fma"))) double Avx2LaneDistance(double x, double y, double px, double py) {
  const double laneY[4] = {y, y, y, y};
  const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  return _mm256_cvtsd_f64(Distance4(_mm256_set1_pd(y), laneY, ColumnOffset(x, px), py, all));
}

}  // namespace

double X86KernelDistance(TShepardGridInterp::TKernels kernels, double x, double y, double px, double py) {
  if (X86ProcessorHas(kernels)) switch (kernels) {
      case TShepardGridInterp::TKernels::Avx512: return Avx512LaneDistance(x, y, px, py);
      case TShepardGridInterp::TKernels::Avx2: return Avx2LaneDistance(x, y, px, py);
      case TShepardGridInterp::TKernels::Exact: break;
    }
  return TShepardInterp::Distance(x, y, px, py);
}

#else

bool X86ProcessorHas(TShepardGridInterp::TKernels kernels) { return kernels == TShepardGridInterp::TKernels::Exact; }
TShepardRunKernel X86RunKernel(TShepardGridInterp::TKernels, unsigned) { return nullptr; }
double X86KernelDistance(TShepardGridInterp::TKernels, double x, double y, double px, double py) {
  return TShepardInterp::Distance(x, y, px, py);
}

#endif
