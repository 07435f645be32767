// bench/run.sh contours [step cm] [soundings]
//
// Traces the contours of the synthetic lake's interpolated map (800 x 640, as
// "Interpolate" leaves it: coloured by depth, smoothed twice, shore lines drawn
// over it) from level 0 to the maximum depth, as "ISO Map" does, and prints the
// time of each level of the fastest of a few runs. The digest of the traced
// points tells whether a change to the tracer changed its output. Then it times
// what "Create HT-File" does with the result besides its dialogs.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "app/logic/ContourOutput.h"
#include "app/logic/MapPicture.h"
#include "bench/LakeMap.h"
#include "tests/support/SyntheticLake.h"
#include "gridding/MovingSquares.h"
#include "formats/HTConvert.h"
#include "gridding/ShepardGridInterp.h"
#include "model/ColorInterpolate.h"
#include "model/GPX.h"
#include "platform/NumberText.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 640;
constexpr int kExtrapolationRadius = 30;
constexpr int kDontCareRadius = 60;
constexpr double kPower = 8;
constexpr int kSmoothingRuns = 2;
constexpr int kShoreWidth = 2;
constexpr TColor kShallow = 0x00FF00;
constexpr TColor kDeep = 0xFF0000;
constexpr int kRuns = 5;

using TClock = std::chrono::steady_clock;

std::string Fixed(double v, int decimals) { return numtext::FormatFixed(v, decimals); }

// The shore and the island as the loaded data holds them: segments of depth 0.
std::unique_ptr<TGPX> ShoreLines(const TSyntheticLake& lake) {
  auto shore = std::make_unique<TGPX>();
  for (const auto* ring : {&lake.Shore(), &lake.Island()}) {
    auto segment = std::make_unique<TGPXtrkseg>();
    for (const TLakePosition& p : *ring) {
      auto point = std::make_unique<TGPXwpt>();
      point->Longitude = p.Longitude;
      point->Latitude = p.Latitude;
      segment->Add(std::move(point));
    }
    auto track = std::make_unique<TGPXtrk>();
    track->Add(std::move(segment));
    shore->trk.Add(std::move(track));
  }
  return shore;
}

// The interpolated picture as a finished run leaves it: depth colours on the
// masked pixels, black elsewhere, smoothed, the shore lines drawn over it.
TBitmap InterpolatedPicture(const TSyntheticLake& lake, const TViewProjection& view, const TBooleanArray& mask,
                            int maxDepth) {
  const double maxR = std::fabs(view.XToLo(1) - view.XToLo(kDontCareRadius));
  const double minR = std::fabs(view.XToLo(0) - view.XToLo(1));
  const lakemap::TSamples samples = lakemap::BuildSamples(lake, lake.MetresPerDegreeLatitude() / view.Rm);
  const TShepardGridInterp interpolator(samples.Points, samples.Values, kPower, maxR, minR);
  std::vector<double> latitudes(kHeight);
  for (int y = 0; y < kHeight; ++y) latitudes[y] = view.YToLa(y);

  TColorArray colours(kWidth, kHeight);
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t)
    pool.emplace_back([&, t] {
      std::vector<double> depths(kHeight);
      for (int x = static_cast<int>(t); x < kWidth; x += static_cast<int>(threads)) {
        interpolator.InterpColumn(view.XToLo(x), latitudes.data(), mask[x], kHeight, depths.data());
        for (int y = 0; y < kHeight; ++y)
          if (mask[x][y]) colours[x][y] = InterpolateColor(kShallow, kDeep, depths[y] / maxDepth);
      }
    });
  for (std::thread& t : pool) t.join();

  TBitmap picture;
  GridToPicture(colours, picture);
  for (int run = 0; run < kSmoothingRuns; ++run) SmoothMap(picture, mask);
  DrawShoreLines(picture.Canvas(), ShoreLines(lake)->trk, view, kShoreWidth, kShallow);
  return picture;
}

// Records when each level starts and ends.
struct TLevelClock : TIsoMapHost {
  std::vector<TClock::time_point> starts, ends;
  void SetIsoProgressMax(int) override {}
  void SetIsoProgress(int) override {}
  void ProcessMessages() override { starts.push_back(TClock::now()); }
  void UpdateIsoImage() override { ends.push_back(TClock::now()); }
};

struct TRun {
  std::unique_ptr<TGPX> contours = std::make_unique<TGPX>();
  double seconds = 0;
  std::vector<double> levelSeconds;
  int tracks = 0, segments = 0, points = 0;
  std::uint64_t digest = 0;
};

std::uint64_t Mix(std::uint64_t h, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001B3ull;  // FNV-1a
  return h;
}

TRun Trace(const TViewProjection& view, const TBitmap& picture, const TBooleanArray& mask, int maxDepth, int step) {
  TRun run;
  TGPX& contours = *run.contours;
  TBitmap isoMap;
  TLevelClock clock;
  const auto start = TClock::now();
  {
    TMovingSquares tracer(contours, view, isoMap, picture, mask, &clock);
    tracer.clShallow = kShallow;
    tracer.clDeep = kDeep;
    tracer.GenerateISO(0, maxDepth, step);
  }
  run.seconds = std::chrono::duration<double>(TClock::now() - start).count();
  for (std::size_t i = 0; i < clock.ends.size(); ++i)
    run.levelSeconds.push_back(std::chrono::duration<double>(clock.ends[i] - clock.starts[i]).count());

  std::uint64_t h = 0xCBF29CE484222325ull;
  for (const TGPXtrk& track : contours.trk) {
    ++run.tracks;
    for (const TGPXtrkseg& segment : track) {
      ++run.segments;
      h = Mix(h, "|", 1);
      for (const TGPXwpt& p : segment.Waypoints()) {
        ++run.points;
        h = Mix(h, &p.Longitude, sizeof p.Longitude);
        h = Mix(h, &p.Latitude, sizeof p.Latitude);
        h = Mix(h, &p.HBdepth, sizeof p.HBdepth);
      }
    }
  }
  run.digest = Mix(h, isoMap.Bits(), static_cast<std::size_t>(isoMap.Stride()) * isoMap.Height());
  return run;
}

// What "Create HT-File" does besides its dialogs: the shore lines joined to the
// contours, the split into chunks and one HT file per chunk.
double CreateHTFiles(const TGPX& contours, const TGPX& shore, const std::filesystem::path& folder, int& files) {
  const auto start = TClock::now();
  TGPX data;
  data.CopyFrom(contours);
  CopyShoreLineSegments(shore.trk, data.trk);
  const std::vector<THTChunk> chunks = PlanHTChunks(data);
  files = 0;
  for (const THTChunk& chunk : chunks) {
    THTConvert writer(chunk.Data.get(), "NewTrack", (folder / (ChunkNumber(files) + ".ht")).string());
    if (!writer.ConvertToHT()) std::cerr << "chunk " << files << " not written\n";
    ++files;
  }
  return std::chrono::duration<double>(TClock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int step = 100;
  int soundings = 100000;
  if (argc > 1) {
    const auto parsed = numtext::ParseInt(argv[1]);
    if (!parsed || *parsed < 1 || *parsed > 100000) {
      std::cerr << "usage: contours_bench [step cm, 1 to 100000] [soundings]\n";
      return 2;
    }
    step = static_cast<int>(*parsed);
  }
  if (argc > 2) {
    const auto parsed = numtext::ParseInt(argv[2]);
    if (!parsed || *parsed < 1 || *parsed > 20000000) {
      std::cerr << "usage: contours_bench [step cm] [soundings, 1 to 20000000]\n";
      return 2;
    }
    soundings = static_cast<int>(*parsed);
  }

  const TSyntheticLake lake(soundings);
  const TViewProjection view = lakemap::FitView(lake, kWidth, kHeight);
  const TBooleanArray mask = lakemap::BuildMask(lake, view, kWidth, kHeight, kExtrapolationRadius);
  double deepest = 0;
  for (const auto& track : lake.Tracks())
    for (const TLakeSounding& s : track) deepest = std::max(deepest, s.DepthCm);
  const int maxDepth = static_cast<int>(deepest);
  const TBitmap picture = InterpolatedPicture(lake, view, mask, maxDepth);
  std::cout << "lake: " << lake.SoundingCount() << " soundings, map " << kWidth << " x " << kHeight
            << ", maximum depth " << maxDepth << " cm, step " << step << " cm\n";

  TRun best;
  bool same = true;
  for (int r = 0; r < kRuns; ++r) {
    TRun run = Trace(view, picture, mask, maxDepth, step);
    if (r > 0) same = same && run.digest == best.digest;
    if (r == 0 || run.seconds < best.seconds) best = std::move(run);
  }
  const std::size_t levels = best.levelSeconds.size();
  if (levels <= 60) {
    for (std::size_t i = 0; i < levels; ++i)
      std::cout << "level " << static_cast<long long>(i) * step << " cm: " << Fixed(best.levelSeconds[i] * 1000, 2)
                << " ms\n";
  } else {
    double sum = 0, slowest = 0;
    for (const double s : best.levelSeconds) sum += s, slowest = std::max(slowest, s);
    std::cout << "per level: mean " << Fixed(sum / levels * 1000, 3) << " ms, slowest " << Fixed(slowest * 1000, 3)
              << " ms\n";
  }
  std::cout << "fastest of " << kRuns << " runs; " << best.tracks << " tracks, " << best.segments
            << " segments; digest " << std::hex << best.digest << std::dec << (same ? "" : " (runs differ!)") << "\n";
  const std::unique_ptr<TGPX> shore = ShoreLines(lake);
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("shoalwright_contours_bench_" + numtext::FormatInt(getpid()));
  std::filesystem::create_directories(folder);
  int files = 0;
  double htSeconds = 1e9;
  for (int r = 0; r < kRuns; ++r) htSeconds = std::min(htSeconds, CreateHTFiles(*best.contours, *shore, folder, files));
  std::filesystem::remove_all(folder);
  std::cout << "HT files: " << Fixed(htSeconds, 4) << " s for " << files << " files (copy, split, write)\n";
  std::cout << "contours: " << Fixed(best.seconds, 4) << " s, " << levels << " levels, " << best.points << " points\n";
  return same ? 0 : 1;
}
