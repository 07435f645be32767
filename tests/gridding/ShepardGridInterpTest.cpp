#include "gridding/ShepardGridInterp.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/SyntheticLake.h"
#include "gridding/ShepardInterp.h"
#include "gridding/ShepardThread.h"
#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "platform/Dispatcher.h"
#include "platform/MathErrors.h"

namespace {

using TKernels = TShepardGridInterp::TKernels;

// The same numbers on every platform, unlike the standard distributions.
class TRandom {
public:
  explicit TRandom(std::uint64_t seed) : state_(seed) {}
  double Uniform() {  // [0, 1)
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-53;
  }
  double Between(double low, double high) { return low + (high - low) * Uniform(); }
  int Below(int n) { return static_cast<int>(Uniform() * n); }

private:
  std::uint64_t state_;
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Describe(double v) { return std::to_string(v) + (std::isnan(v) ? " (NaN)" : ""); }

// A column of pixels as the workers ask for it: its longitude, the rows'
// latitudes and which rows are wanted.
struct TColumn {
  double x;
  std::vector<double> ys;
  std::array<bool, 128> wanted{};  // rows beyond ys.size() are never read
};

struct TSampleSet {
  std::shared_ptr<TPointList> points = std::make_shared<TPointList>();
  std::shared_ptr<TValueList> values = std::make_shared<TValueList>();
  void Add(double x, double y, double value) {
    points->push_back({static_cast<float>(x), static_cast<float>(y)});
    values->push_back(static_cast<float>(value));
  }
};

// What one column gives: the rows written (unwanted rows keep the sentinel), and
// the class of the error that stopped it, if any.
struct TColumnResult {
  std::vector<double> out;
  std::string error;
};

constexpr double kUntouched = -123456.75;

TColumnResult RunColumn(const TDepthInterpolator& interpolator, const TColumn& column, bool useMask) {
  TColumnResult r;
  r.out.assign(column.ys.size(), kUntouched);
  const bool* wanted = useMask ? column.wanted.data() : nullptr;
  try {
    interpolator.InterpColumn(column.x, column.ys.data(), wanted, static_cast<int>(column.ys.size()), r.out.data());
  } catch (const EMathError& e) {
    r.error = typeid(e).name();
  }
  return r;
}

// Every kernel set this processor has, so each is held to the reference.
std::vector<TKernels> KernelSets() {
  std::vector<TKernels> sets{TKernels::Exact};
  for (TKernels k : {TKernels::Avx2, TKernels::Avx512}) {
    TShepardGridInterp probe(nullptr, nullptr, 2, 1, 0.1);
    probe.UseKernels(k);
    if (probe.Kernels() == k) sets.push_back(k);
  }
  return sets;
}

const char* KernelName(TKernels k) {
  return k == TKernels::Exact ? "exact" : k == TKernels::Avx2 ? "avx2" : "avx512";
}

// The grid-indexed interpolator must give the reference's bits for every pixel
// of every column, with and without a mask, leave unwanted rows alone, and stop
// with the same error after the same rows.
void ExpectSameAsReference(const TSampleSet& samples, double p, double maxR, double minR,
                           const std::vector<TColumn>& columns, const std::string& label) {
  const TShepardInterp reference(samples.points, samples.values, p, maxR, minR);
  for (TKernels kernels : KernelSets()) {
    TShepardGridInterp fast(samples.points, samples.values, p, maxR, minR);
    fast.UseKernels(kernels);
    const std::string where = label + ", kernels " + KernelName(kernels) + ", power " + std::to_string(p);
    for (std::size_t c = 0; c < columns.size(); ++c)
      for (bool useMask : {true, false}) {
        const TColumnResult expected = RunColumn(reference, columns[c], useMask);
        const TColumnResult actual = RunColumn(fast, columns[c], useMask);
        ASSERT_EQ(actual.error, expected.error) << where << ", column " << c;
        for (std::size_t i = 0; i < expected.out.size(); ++i)
          ASSERT_TRUE(SameBits(actual.out[i], expected.out[i]))
              << where << ", column " << c << ", row " << i << (useMask ? "" : " (no mask)") << ": fast "
              << Describe(actual.out[i]) << ", reference " << Describe(expected.out[i]);
      }
  }
}

// Columns of a small view over [x0, x0 + width] x [y0, y0 + height], rows top down,
// about four rows in five wanted.
std::vector<TColumn> ViewColumns(TRandom& random, double x0, double y0, double width, double height, int columns,
                                 int rows) {
  std::vector<TColumn> out;
  for (int c = 0; c < columns; ++c) {
    TColumn column;
    column.x = x0 + width * c / (columns - 1);
    for (int r = 0; r < rows; ++r) {
      column.ys.push_back(y0 + height * (rows - 1 - r) / (rows - 1));
      column.wanted[r] = random.Uniform() < 0.8;
    }
    out.push_back(std::move(column));
  }
  return out;
}

TEST(ShepardGridInterp, EmptySampleSetGivesZeroEverywhere) {
  TRandom random(1);
  ExpectSameAsReference(TSampleSet{}, 8, 0.1, 0.001, ViewColumns(random, 0, 0, 1, 1, 5, 40), "empty");
  const TShepardGridInterp fast(nullptr, nullptr, 8, 0.1, 0.001);
  EXPECT_EQ(fast.interp(0.5, 0.5), 0.0);
}

// Random clusters with duplicated positions and values, some snapping, most
// weighted, for every power of the slider.
TEST(ShepardGridInterp, RandomSamplesEqualTheReferenceForEverySliderPower) {
  for (int p = 2; p <= 14; ++p) {
    TRandom random(100 + p);
    TSampleSet samples;
    for (int i = 0; i < 400; ++i) {
      if (i > 10 && random.Uniform() < 0.15) {  // a duplicate position, maybe another value
        const int twin = random.Below(static_cast<int>(samples.points->size()));
        const auto [x, y] = (*samples.points)[twin];
        samples.Add(x, y, random.Uniform() < 0.5 ? (*samples.values)[twin] : random.Between(0, 3000));
        continue;
      }
      samples.Add(random.Between(12.0, 12.2), random.Between(53.0, 53.15), random.Between(0, 3000));
    }
    const auto columns = ViewColumns(random, 12.0, 53.0, 0.2, 0.15, 7, 90);
    ExpectSameAsReference(samples, p, 0.03, 0.002, columns, "random clusters");
  }
}

// Radii taken from real pixel-sample distances put those samples exactly on the
// cut-off or the snap border, and one ulp either side of it.
TEST(ShepardGridInterp, SamplesOnTheCutOffAndSnapBordersEqualTheReference) {
  TRandom random(7);
  TSampleSet samples;
  for (int i = 0; i < 250; ++i) samples.Add(random.Between(0, 1), random.Between(0, 1), random.Between(0, 2000));
  const auto columns = ViewColumns(random, 0, 0, 1, 1, 6, 70);
  for (int pick = 0; pick < 4; ++pick) {
    const TColumn& column = columns[random.Below(static_cast<int>(columns.size()))];
    const double y = column.ys[random.Below(static_cast<int>(column.ys.size()))];
    const auto [fx, fy] = (*samples.points)[random.Below(static_cast<int>(samples.points->size()))];
    const auto [nx, ny] = (*samples.points)[random.Below(static_cast<int>(samples.points->size()))];
    const double border = TShepardInterp::Distance(column.x, y, fx, fy);
    const double snap = std::min(TShepardInterp::Distance(column.x, y, nx, ny), border / 3);
    for (const double maxR : {std::nextafter(border, 0.0), border, std::nextafter(border, 1.0)})
      for (const double minR : {std::nextafter(snap, 0.0), snap, std::nextafter(snap, 1.0)})
        ExpectSameAsReference(samples, 6, maxR, minR, columns, "borders, pick " + std::to_string(pick));
  }
}

// Samples level with a pixel or straight above the column, exactly at the cut-off
// radius or exactly at the snap radius: the nearest pixel of the run is then the
// one on the border, so no sample can hide behind a closer stretch of the column.
TEST(ShepardGridInterp, SamplesLevelWithAPixelOnTheBordersEqualTheReference) {
  TSampleSet samples;
  samples.Add(0.625, 0.25, 100);    // level with row y = 0.25, 1/8 east of the column
  samples.Add(0.5, 0.625, 200);     // 1/8 above the top row
  samples.Add(0.375, 0.0625, 300);  // level with a row, 1/8 west
  samples.Add(0.5078125, 0.125, 400);  // level with a row, 1/128 east: the snap border
  samples.Add(0.5625, 0.125, 500);     // and a neighbour that makes snapping show
  TColumn column{0.5, {}, {}};
  for (int r = 0; r < 40; ++r) {
    column.ys.push_back(0.5 - r / 64.0);
    column.wanted[r] = true;
  }
  for (const double minR : {0.0078125, std::nextafter(0.0078125, 1.0)})
    ExpectSameAsReference(samples, 8, 0.125, minR, {column}, "level borders");
}

// The prefilter on rounded square sums must not decide the cut-off: queries
// placed so that the distance to a sample at the origin is the radius itself,
// and the next double above it.
TEST(ShepardGridInterp, DistancesAtTheLastUlpOfTheCutOffEqualTheReference) {
  for (const double maxR : {0.1, 0.0029086, 1.0 / 3}) {
    for (const double target : {maxR, std::nextafter(maxR, 1.0)}) {
      double qx = 0, qy = 0;
      bool found = false;
      const double start = maxR / std::sqrt(2.0);
      for (int i = -40; i <= 40 && !found; ++i)
        for (int j = -40; j <= 40 && !found; ++j) {
          qx = start + i * std::numeric_limits<double>::epsilon() * start;
          qy = start + j * std::numeric_limits<double>::epsilon() * start;
          found = TShepardInterp::Distance(qx, qy, 0, 0) == target;
        }
      ASSERT_TRUE(found) << maxR;
      TSampleSet samples;
      samples.Add(0, 0, 100);               // on the border, or one ulp beyond it
      samples.Add(qx, qy + maxR / 2, 500);  // well within, so that the first one shows
      TColumn column{qx, {qy}, {}};
      column.wanted[0] = true;
      ExpectSameAsReference(samples, 8, maxR, maxR / 1000, {column}, "last ulp of " + std::to_string(maxR));
    }
  }
}

// Distances that lie exactly on a midpoint between two doubles, or right next to
// one, are where a kernel that rounds its own way would part from the
// reference; the vector kernels must hand them to the exact check.
TEST(ShepardGridInterp, DistancesOnAndNearMidpointsEqualTheReference) {
  TSampleSet samples;
  samples.Add(0, 0, 100);
  samples.Add(0.001, 0.002, 900);  // a second weight, so that every bit of the first one shows
  std::vector<TColumn> columns;
  // Pythagorean triples with an odd hypotenuse of 54 bits, scaled to about 0.01:
  // the distance from the origin is a midpoint.
  for (std::uint64_t n = 67108864 + 12345, k = 0; k < 12; ++k, n += 1000003) {
    const std::uint64_t m = n + 1 + 2 * k;
    const std::uint64_t a = 2 * m * n, b = m * m - n * n;
    TColumn column{std::ldexp(static_cast<double>(a), -61), {}, {}};
    column.ys.push_back(std::ldexp(static_cast<double>(b), -61));
    columns.push_back(column);
  }
  // A query far right of the sample and rows just above it: the distance then
  // lies near dx plus half an ulp.
  TRandom random(4);
  for (int c = 0; c < 12; ++c) {
    const double dx = random.Between(0.008, 0.016);
    const double halfUlp = std::ldexp(1.0, std::ilogb(dx) - 53);
    const double centre = std::sqrt(2 * (halfUlp / dx)) * dx;
    TColumn column{dx, {}, {}};
    for (double y = centre, k = 0; k < 20; ++k, y = std::nextafter(y, 1.0)) column.ys.push_back(y);
    columns.push_back(column);
  }
  for (TColumn& column : columns)
    for (std::size_t r = 0; r < column.ys.size(); ++r) column.wanted[r] = true;
  for (const double p : {2.0, 8.0, 13.0})
    ExpectSameAsReference(samples, p, 0.05, 1e-9, columns, "midpoints");
}

// A cluster under the view and samples all over the globe; queries reach out of
// the view too.
TEST(ShepardGridInterp, SamplesFarOutsideTheViewEqualTheReference) {
  TRandom random(11);
  TSampleSet samples;
  for (int i = 0; i < 300; ++i) {
    if (i % 3 == 0)
      samples.Add(random.Between(-180, 180), random.Between(-90, 90), random.Between(0, 2000));
    else
      samples.Add(random.Between(-0.05, 0.05), random.Between(-0.05, 0.05), random.Between(0, 2000));
  }
  auto columns = ViewColumns(random, -0.06, -0.06, 0.12, 0.12, 6, 60);
  auto wide = ViewColumns(random, -179, -89, 358, 178, 5, 30);
  columns.insert(columns.end(), wide.begin(), wide.end());
  ExpectSameAsReference(samples, 8, 0.01, 0.0005, columns, "far outside");
  ExpectSameAsReference(samples, 8, 40, 0.5, columns, "far outside, wide radius");
}

// Many samples per snap disc: the lowest index must win, not the nearest.
TEST(ShepardGridInterp, CrowdedSnapDiscsPickTheLowestIndex) {
  TRandom random(13);
  TSampleSet samples;
  for (int i = 0; i < 600; ++i) samples.Add(random.Between(0, 0.3), random.Between(0, 0.3), i);
  ExpectSameAsReference(samples, 4, 0.05, 0.02, ViewColumns(random, 0, 0, 0.3, 0.3, 6, 50), "crowded snaps");
}

// Powers the vector kernels do not handle, and the odd inputs that make the grid
// hand queries to the reference: all must still give the reference's bits.
TEST(ShepardGridInterp, OtherPowersAndOddInputsEqualTheReference) {
  TRandom random(17);
  TSampleSet base;
  for (int i = 0; i < 200; ++i) base.Add(random.Between(0, 1), random.Between(0, 1), random.Between(0, 2000));
  auto columns = ViewColumns(random, 0, 0, 1, 1, 5, 40);
  for (const double p : {0.0, 1.0, 2.5, 15.0, 16.0, 20.0, -3.0})
    ExpectSameAsReference(base, p, 0.2, 0.01, columns, "power " + std::to_string(p));

  struct TOdd {
    const char* name;
    std::function<void(TSampleSet&)> spoil;
    double maxR, minR;
    bool indexed;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<TOdd> odd{
      {"sample at a huge position", [](TSampleSet& s) { s.Add(1e30, 0.5, 7); }, 0.2, 0.01, false},
      {"sample at infinity", [](TSampleSet& s) { s.Add(HUGE_VAL, 0.5, 7); }, 0.2, 0.01, false},
      {"sample with a NaN position", [nan](TSampleSet& s) { s.Add(0.5, nan, 7); }, 0.2, 0.01, false},
      {"NaN value", [nan](TSampleSet& s) { s.Add(0.5, 0.5, nan); }, 0.2, 0.01, true},
      {"negative snap radius", [](TSampleSet&) {}, 0.2, -1, true},
      {"snap radius beyond the cut-off", [](TSampleSet&) {}, 0.05, 0.2, true},
      {"infinite snap radius", [](TSampleSet&) {}, 0.05, HUGE_VAL, true},
      {"zero cut-off", [](TSampleSet&) {}, 0, 0.01, false},
      {"NaN cut-off", [](TSampleSet&) {}, nan, 0.01, false},
      {"infinite cut-off", [](TSampleSet&) {}, HUGE_VAL, 0.01, false},
  };
  for (const TOdd& o : odd) {
    TSampleSet samples;
    *samples.points = *base.points;
    *samples.values = *base.values;
    o.spoil(samples);
    EXPECT_EQ(TShepardGridInterp(samples.points, samples.values, 8, o.maxR, o.minR).Indexed(), o.indexed) << o.name;
    ExpectSameAsReference(samples, 8, o.maxR, o.minR, columns, o.name);
  }

  // Rows at positions no grid cell can hold go to the reference one by one.
  std::vector<TColumn> oddRows = columns;
  oddRows[1].ys[3] = nan;
  oddRows[2].ys[5] = HUGE_VAL;
  oddRows[3].ys[7] = 1e300;
  oddRows[4].x = nan;
  ExpectSameAsReference(base, 8, 0.2, 0.01, oddRows, "odd rows");
}

// Where a weight fails the reference raises at the first failing sample, unless a
// sample before it snapped; the column stops there with the rows before written.
TEST(ShepardGridInterp, FailingWeightsRaiseWhereTheReferenceRaises) {
  struct TCase {
    const char* name;
    std::vector<std::array<double, 3>> samples;  // x, y, value
    double p, maxR, minR;
    bool raises;
  };
  // The column's rows run from y = 0.5 down in steps of 1/64; row 16 is y = 0.25.
  const std::vector<TCase> cases{
      {"zero distance without snap radius", {{0.3, 0.3, 10}, {0, 0.25, 20}}, 8, 0.75, 0, true},
      {"zero distance, negative snap radius", {{0.3, 0.3, 10}, {0, 0.359375, 20}}, 2, 0.75, -1, true},
      {"underflow", {{0.1, 0.25, 10}, {1e-30, 0.25, 30}}, 14, 0.75, 1e-35, true},
      {"snap before the underflow wins", {{0, 0.25, 10}, {1e-30, 0.25, 30}}, 14, 0.75, 1e-35, false},
      {"underflow before the snap raises", {{1e-30, 0.25, 30}, {0, 0.25, 10}}, 14, 0.75, 1e-35, true},
      {"overflow", {{1e25, 0.25, 10}}, 14, 1e30, 0.01, true},
  };
  TColumn column{0, {}, {}};
  for (int r = 0; r <= 32; ++r) {
    column.ys.push_back(0.5 - r / 64.0);
    column.wanted[r] = r % 5 != 3;
  }
  for (const TCase& c : cases) {
    TSampleSet samples;
    for (const auto& [x, y, v] : c.samples) samples.Add(x, y, v);
    const TShepardInterp reference(samples.points, samples.values, c.p, c.maxR, c.minR);
    ASSERT_EQ(!RunColumn(reference, column, true).error.empty(), c.raises) << c.name;
    ExpectSameAsReference(samples, c.p, c.maxR, c.minR, {column}, c.name);
  }
}

TEST(ShepardGridInterp, LengthMismatchIsShownOnceAndTheShorterLengthUsed) {
  struct TRecordingMessages : TMessageBox {
    std::vector<std::string> shown;
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
  } messages;
  auto points = std::make_shared<TPointList>(TPointList{{0.0f, 0.0f}, {0.1f, 0.0f}, {0.0f, 0.1f}});
  auto values = std::make_shared<TValueList>(TValueList{100.0f, 300.0f});
  const TShepardGridInterp fast(points, values, 2, 1, 0.001, &messages);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"coordinates and values matrices missmatch."});
  EXPECT_EQ(fast.Reference().SampleCount(), 2);
  EXPECT_TRUE(SameBits(fast.interp(0.05, 0.0), TShepardInterp(points, values, 2, 1, 0.001).interp(0.05, 0.0)));
}

// The interpolation workers of a run, several bands at once, fill the same depth
// and colour grids from either interpolator.
TEST(ShepardGridInterp, WorkersFillTheSameGridsAsWithTheReference) {
  constexpr int kWidth = 120, kHeight = 96;
  const TSyntheticLake lake(3000, 5);
  TViewProjection view;
  view.Height = kHeight;
  view.Rm = kHeight / (lake.North() - lake.South());
  view.O = lake.West();
  view.S = lake.South();
  const double maxR = std::fabs(view.XToLo(1) - view.XToLo(20));
  const double minR = std::fabs(view.XToLo(0) - view.XToLo(1));

  TSampleSet samples;
  for (const TLakePosition& p : lake.ShorePositions(TSyntheticLake::MetresPerDegreeLatitude() / view.Rm))
    samples.Add(p.Longitude, p.Latitude, 0);
  for (const auto& track : lake.Tracks())
    for (const TLakeSounding& s : track) samples.Add(s.Longitude, s.Latitude, s.DepthCm);
  TBooleanArray mask(kWidth, kHeight);
  for (int x = 1; x < kWidth - 1; ++x)
    for (int y = 1; y < kHeight - 1; ++y) mask[x][y] = lake.InWater(view.XToLo(x), view.YToLa(y));

  struct TGrids {
    TColorArray image{kWidth, kHeight};
    TDoubleArray values{kWidth, kHeight};
  };
  const auto runWith = [&](const TDepthInterpolator& interpolator, TGrids& grids) {
    THeadlessDispatcher window;
    TInterpolationRun run;
    run.Image = &grids.image;
    run.Values = &grids.values;
    run.ShadowArray = &mask;
    run.ShepardInterp = &interpolator;
    run.MaxDepth = 2500;
    run.clShallow = 0x00FF00;
    run.clDeep = 0xFF0000;
    run.View = view;
    run.WindowThread = &window;
    int ended = 0, failed = 0;
    for (int band = 0; band < kWidth / 15; ++band)
      TThdsInterpolate::Start(run, band * 15, band * 15 + 14, [&](TShepardThread& sender) {
        failed += sender.FatalException() != nullptr;
        ++ended;
      });
    ASSERT_TRUE(window.PumpUntil([&] { return ended == kWidth / 15; }));
    EXPECT_EQ(failed, 0);
  };
  TGrids slow, fast;
  runWith(TShepardInterp(samples.points, samples.values, 8, maxR, minR), slow);
  runWith(TShepardGridInterp(samples.points, samples.values, 8, maxR, minR), fast);
  int masked = 0;
  for (int x = 0; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y) {
      masked += mask[x][y];
      ASSERT_TRUE(SameBits(fast.values[x][y], slow.values[x][y])) << x << "," << y;
      ASSERT_EQ(fast.image[x][y], slow.image[x][y]) << x << "," << y;
    }
  EXPECT_GT(masked, kWidth * kHeight / 3);  // the lake fills the view, so the test compares real pixels
}

}  // namespace
