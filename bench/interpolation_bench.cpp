// bench/run.sh interpolation [soundings]
//
// Interpolates the synthetic lake onto an 800 x 640 map, as "Interpolate" does with
// the default controls (cut-off 60 px, snap 1 px, power 8), once with the plain
// reference interpolator and with the grid-indexed one in every kernel set the
// processor has, on the same samples, grid and mask, and checks that every pixel
// has the same bits. Building the index counts in the fast path's time; its
// figures are medians of five runs, with the processor time beside the wall time,
// which on a shared machine shows its other load.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/LakeMap.h"
#include "tests/support/SyntheticLake.h"
#include "gridding/ShepardGridInterp.h"
#include "gridding/ShepardInterp.h"
#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "platform/NumberText.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 640;
constexpr int kExtrapolationRadius = 30;  // the shadow pen's width, pixels
constexpr int kDontCareRadius = 60;       // twice that, as the timer sets it
constexpr double kPower = 8;
constexpr int kThreads = 8;
constexpr int kBandColumns = 15;  // the program's bands hold at least 15 columns

// Above this many sample-pixel distances the reference is timed on every n-th pixel.
constexpr double kReferenceBudget = 4e10;

// Each timing of the fast path is the median of this many runs.
constexpr int kRuns = 5;

using TClock = std::chrono::steady_clock;

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

double Seconds(TClock::time_point since) { return std::chrono::duration<double>(TClock::now() - since).count(); }

std::string Fixed(double v, int decimals) { return numtext::FormatFixed(v, decimals); }

TViewProjection FitView(const TSyntheticLake& lake) { return lakemap::FitView(lake, kWidth, kHeight); }

TBooleanArray BuildMask(const TSyntheticLake& lake, const TViewProjection& view) {
  return lakemap::BuildMask(lake, view, kWidth, kHeight, kExtrapolationRadius);
}

std::vector<double> RowLatitudes(const TViewProjection& view) {
  std::vector<double> ys(kHeight);
  for (int y = 0; y < kHeight; ++y) ys[y] = view.YToLa(y);
  return ys;
}

// Runs body(x) for every column on `threads` threads, in bands handed out one at a
// time as the program's window thread does; one shared counter bump per band.
void ForEachColumnInBands(int threads, const std::function<void(int)>& body) {
  std::atomic<int> nextBand{0};
  const int bands = (kWidth + kBandColumns - 1) / kBandColumns;
  auto worker = [&] {
    for (int band = nextBand++; band < bands; band = nextBand++)
      for (int x = band * kBandColumns; x < std::min(kWidth, (band + 1) * kBandColumns); ++x) body(x);
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
  for (std::thread& t : pool) t.join();
}

void Interpolate(const TDepthInterpolator& interpolator, const TViewProjection& view, const TBooleanArray& mask,
                 int threads, TDoubleArray& out) {
  const std::vector<double> ys = RowLatitudes(view);
  ForEachColumnInBands(threads, [&](int x) {
    interpolator.InterpColumn(view.XToLo(x), ys.data(), mask[x], kHeight, out[x]);
  });
}

struct TPixel {
  int x, y;
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Samples within the cut-off radius of each masked pixel, counted through a
// simple bucket grid of the view (no sample outside the widened view can count).
std::int64_t PairsWithinCutOff(const TPointList& points, const TViewProjection& view, const TBooleanArray& mask,
                               double maxR) {
  const double bucket = maxR / 2;
  const double west = view.XToLo(0) - maxR, south = view.YToLa(kHeight) - maxR;
  const int columns = static_cast<int>((view.XToLo(kWidth) + maxR - west) / bucket) + 1;
  const int rows = static_cast<int>((view.YToLa(0) + maxR - south) / bucket) + 1;
  std::vector<std::vector<std::uint32_t>> buckets(static_cast<std::size_t>(columns) * rows);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double bx = std::floor((points[i][0] - west) / bucket), by = std::floor((points[i][1] - south) / bucket);
    if (bx < 0 || by < 0 || bx >= columns || by >= rows) continue;
    buckets[static_cast<std::size_t>(by) * columns + static_cast<std::size_t>(bx)].push_back(
        static_cast<std::uint32_t>(i));
  }
  std::vector<std::int64_t> perColumn(kWidth, 0);
  ForEachColumnInBands(kThreads, [&](int x) {
    const double lon = view.XToLo(x);
    std::int64_t count = 0;
    for (int y = 0; y < kHeight; ++y) {
      if (!mask[x][y]) continue;
      const double lat = view.YToLa(y);
      const int bx0 = std::max(0, static_cast<int>(std::floor((lon - maxR - west) / bucket)) - 1);
      const int bx1 = std::min(columns - 1, static_cast<int>(std::floor((lon + maxR - west) / bucket)) + 1);
      const int by0 = std::max(0, static_cast<int>(std::floor((lat - maxR - south) / bucket)) - 1);
      const int by1 = std::min(rows - 1, static_cast<int>(std::floor((lat + maxR - south) / bucket)) + 1);
      for (int by = by0; by <= by1; ++by)
        for (int bx = bx0; bx <= bx1; ++bx)
          for (const std::uint32_t i : buckets[static_cast<std::size_t>(by) * columns + bx])
            count += TShepardInterp::Distance(lon, lat, points[i][0], points[i][1]) <= maxR;
    }
    perColumn[x] = count;
  });
  std::int64_t total = 0;
  for (const std::int64_t c : perColumn) total += c;
  return total;
}

// SHOALWRIGHT_KERNELS=exact|avx2|avx512 compares the kernel sets; the default is
// the widest the processor has.
void ChooseKernels(TShepardGridInterp& grid) {
  const char* chosen = std::getenv("SHOALWRIGHT_KERNELS");
  if (!chosen) return;
  const std::string name = chosen;
  if (name == "exact") grid.UseKernels(TShepardGridInterp::TKernels::Exact);
  if (name == "avx2") grid.UseKernels(TShepardGridInterp::TKernels::Avx2);
  if (name == "avx512") grid.UseKernels(TShepardGridInterp::TKernels::Avx512);
}

const char* KernelName(TShepardGridInterp::TKernels kernels) {
  switch (kernels) {
    case TShepardGridInterp::TKernels::Exact: return "exact";
    case TShepardGridInterp::TKernels::Avx2: return "avx2";
    case TShepardGridInterp::TKernels::Avx512: return "avx512";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  int soundings = 100000;
  if (argc > 1) {
    const auto parsed = numtext::ParseInt(argv[1]);
    if (!parsed || *parsed < 1 || *parsed > 20000000) {
      std::cerr << "usage: interpolation_bench [soundings, 1 to 20000000]\n";
      return 2;
    }
    soundings = static_cast<int>(*parsed);
  }

  const TSyntheticLake lake(soundings);
  const TViewProjection view = FitView(lake);
  const double maxR = std::fabs(view.XToLo(1) - view.XToLo(kDontCareRadius));
  const double minR = std::fabs(view.XToLo(0) - view.XToLo(1));
  const double metresPerPixel = lake.MetresPerDegreeLatitude() / view.Rm;

  const lakemap::TSamples samples = lakemap::BuildSamples(lake, metresPerPixel);
  const auto& points = samples.Points;
  const auto& values = samples.Values;
  const std::size_t shoreSamples = samples.ShoreCount;

  const TBooleanArray mask = BuildMask(lake, view);
  std::vector<TPixel> masked;
  for (int x = 0; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y)
      if (mask[x][y]) masked.push_back({x, y});

  std::cout << "lake: " << lake.SoundingCount() << " soundings in " << lake.Tracks().size() << " tracks, "
            << shoreSamples << " shore samples, " << points->size() << " samples\n";
  std::cout << "grid: " << kWidth << " x " << kHeight << ", " << masked.size() << " masked pixels, "
            << Fixed(metresPerPixel, 2) << " m per pixel; cut-off " << kDontCareRadius << " px ("
            << numtext::FormatGeneral(maxR, 6) << " deg), snap 1 px, power " << numtext::FormatGeneral(kPower)
            << "\n";

  // SHOALWRIGHT_BENCH_REFERENCE=off leaves out the reference and this count, so
  // that a profile of the run shows the fast path alone.
  const char* referenceChoice = std::getenv("SHOALWRIGHT_BENCH_REFERENCE");
  const bool referenceOff = referenceChoice && std::string(referenceChoice) == "off";
  const std::int64_t pairs = referenceOff ? 0 : PairsWithinCutOff(*points, view, mask, maxR);
  if (referenceOff)
    std::cout << "pairs within the cut-off: not counted\n";
  else
    std::cout << "pairs within the cut-off: " << pairs << " ("
              << Fixed(static_cast<double>(pairs) / std::max<std::size_t>(1, masked.size()), 0)
              << " per masked pixel)\n";

  // The fast path, index included, on 8 threads and on 1; the medians of kRuns runs.
  TDoubleArray fast(kWidth, kHeight);
  TDoubleArray fastOne(kWidth, kHeight);
  bool runsAgree = true;
  // kernels < 0: as SHOALWRIGHT_KERNELS says, or the widest.
  const auto timeFast = [&](int threads, TDoubleArray& out, bool report, int kernels = -1, int runs = kRuns) {
    std::vector<double> times, processorTimes;
    TDoubleArray later(kWidth, kHeight);
    for (int run = 0; run < runs; ++run) {
      TDoubleArray& result = run == 0 ? out : later;
      const auto begin = TClock::now();
      const std::clock_t processorBegin = std::clock();
      {
        TShepardGridInterp grid(points, values, kPower, maxR, minR);
        if (kernels < 0)
          ChooseKernels(grid);
        else
          grid.UseKernels(static_cast<TShepardGridInterp::TKernels>(kernels));
        const double built = Seconds(begin);
        Interpolate(grid, view, mask, threads, result);
        if (report && run == 0)
          std::cout << "fast: TShepardGridInterp, " << KernelName(grid.Kernels()) << " kernels, index built in "
                    << Fixed(built * 1000, 1) << " ms\n";
      }
      times.push_back(Seconds(begin));
      processorTimes.push_back(static_cast<double>(std::clock() - processorBegin) / CLOCKS_PER_SEC);
      if (run > 0)
        for (const TPixel& p : masked) runsAgree = runsAgree && SameBits(out[p.x][p.y], result[p.x][p.y]);
    }
    std::cout << "  (" << threads << " thread" << (threads == 1 ? "" : "s") << ": median processor time of all threads "
              << Fixed(Median(processorTimes), 3) << " s; the machine's other load shows in the wall time)\n";
    return Median(times);
  };
  const double fastSeconds = timeFast(kThreads, fast, true);
  std::cout << "fast, " << kThreads << " threads, index included, median of " << kRuns << ": " << Fixed(fastSeconds, 3)
            << " s";
  if (pairs > 0)  // not counted when the reference is left out
    std::cout << ", " << Fixed(fastSeconds * 1e9 / pairs, 3) << " ns per pair within the cut-off ("
              << Fixed(fastSeconds * kThreads * 1e9 / pairs, 2) << " ns of one thread)";
  std::cout << "\n";
  const double fastOneSeconds = timeFast(1, fastOne, false);
  std::cout << "fast, 1 thread, median of " << kRuns << ": " << Fixed(fastOneSeconds, 3) << " s; " << kThreads
            << " threads are x" << Fixed(fastOneSeconds / fastSeconds, 2) << " faster\n";

  // Without a choice in SHOALWRIGHT_KERNELS, the narrower kernel sets the
  // processor has as well, each held to the reference below; the exact one
  // (pixel by pixel) in fewer runs, as it is slow.
  std::vector<std::unique_ptr<TDoubleArray>> others;
  if (!std::getenv("SHOALWRIGHT_KERNELS")) {
    TShepardGridInterp probe(points, values, kPower, maxR, minR);
    for (const auto kernels : {TShepardGridInterp::TKernels::Avx2, TShepardGridInterp::TKernels::Exact}) {
      if (kernels == probe.Kernels()) continue;
      TShepardGridInterp chosen(points, values, kPower, maxR, minR);
      chosen.UseKernels(kernels);
      if (chosen.Kernels() != kernels) continue;
      const int runs = kernels == TShepardGridInterp::TKernels::Exact ? 3 : kRuns;
      others.push_back(std::make_unique<TDoubleArray>(kWidth, kHeight));
      TDoubleArray one(kWidth, kHeight);
      std::cout << KernelName(kernels) << " kernels:\n";
      const double many = timeFast(kThreads, *others.back(), false, static_cast<int>(kernels), runs);
      const double single = timeFast(1, one, false, static_cast<int>(kernels), runs);
      for (const TPixel& p : masked) runsAgree = runsAgree && SameBits(one[p.x][p.y], (*others.back())[p.x][p.y]);
      std::cout << KernelName(kernels) << ", " << kThreads << " threads, median of " << runs << ": " << Fixed(many, 3)
                << " s; 1 thread: " << Fixed(single, 3) << " s; x" << Fixed(single / many, 2) << "\n";
    }
  }

  if (referenceOff) {
    for (const auto& other : others)
      for (const TPixel& p : masked) runsAgree = runsAgree && SameBits(fast[p.x][p.y], (*other)[p.x][p.y]);
    for (const TPixel& p : masked) runsAgree = runsAgree && SameBits(fast[p.x][p.y], fastOne[p.x][p.y]);
    std::cout << "reference skipped; the fast runs agree=" << (runsAgree ? "yes" : "no") << "\n";
    return runsAgree ? 0 : 1;
  }

  // The reference: every pixel while that stays affordable, else every n-th masked
  // pixel, its time scaled up to all of them.
  const TShepardInterp reference(points, values, kPower, maxR, minR);
  TClock::time_point start;
  const double work = static_cast<double>(masked.size()) * static_cast<double>(points->size());
  const std::size_t stride = work > kReferenceBudget ? static_cast<std::size_t>(std::ceil(work / kReferenceBudget)) : 1;
  bool identical = true;
  std::size_t compared = 0;
  double referenceSeconds = 0;
  if (stride == 1) {
    TDoubleArray slow(kWidth, kHeight);
    start = TClock::now();
    Interpolate(reference, view, mask, kThreads, slow);
    referenceSeconds = Seconds(start);
    for (const TPixel& p : masked) {
      identical = identical && SameBits(slow[p.x][p.y], fast[p.x][p.y]) && SameBits(slow[p.x][p.y], fastOne[p.x][p.y]);
      for (const auto& other : others) identical = identical && SameBits(slow[p.x][p.y], (*other)[p.x][p.y]);
      ++compared;
    }
    std::cout << "reference: TShepardInterp, " << kThreads << " threads: " << Fixed(referenceSeconds, 3) << " s, "
              << Fixed(referenceSeconds * 1e9 / std::max<std::int64_t>(1, pairs), 3)
              << " ns per pair within the cut-off\n";
  } else {
    std::vector<TPixel> chosen;
    for (std::size_t k = 0; k < masked.size(); k += stride) chosen.push_back(masked[k]);
    std::vector<double> slow(chosen.size());
    std::atomic<std::size_t> next{0};
    start = TClock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
      pool.emplace_back([&] {
        for (std::size_t k = next++; k < chosen.size(); k = next++)
          slow[k] = reference.interp(view.XToLo(chosen[k].x), view.YToLa(chosen[k].y));
      });
    for (std::thread& t : pool) t.join();
    const double sampledSeconds = Seconds(start);
    referenceSeconds = sampledSeconds * static_cast<double>(masked.size()) / static_cast<double>(chosen.size());
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      const TPixel& p = chosen[k];
      identical = identical && SameBits(slow[k], fast[p.x][p.y]) && SameBits(slow[k], fastOne[p.x][p.y]);
      for (const auto& other : others) identical = identical && SameBits(slow[k], (*other)[p.x][p.y]);
      ++compared;
    }
    std::cout << "reference: TShepardInterp, " << kThreads << " threads: estimated " << Fixed(referenceSeconds, 1)
              << " s from every " << stride << "th masked pixel (" << chosen.size() << " pixels in "
              << Fixed(sampledSeconds, 2) << " s); the comparison covers those pixels\n";
  }
  // The fast path's two runs must also agree with each other everywhere.
  for (const TPixel& p : masked) identical = identical && SameBits(fast[p.x][p.y], fastOne[p.x][p.y]);
  for (const auto& other : others)
    for (const TPixel& p : masked) identical = identical && SameBits(fast[p.x][p.y], (*other)[p.x][p.y]);
  identical = identical && runsAgree;

  std::cout << "compared " << compared << " pixels bit for bit\n";
  std::cout << "interpolation: fast x" << Fixed(referenceSeconds / fastSeconds, 1)
            << " identical=" << (identical ? "yes" : "no") << "\n";
  return identical ? 0 : 1;
}
