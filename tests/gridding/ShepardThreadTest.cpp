#include "gridding/ShepardThread.h"

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/ColorInterpolate.h"
#include "platform/Dispatcher.h"

namespace {

constexpr int kWidth = 7;
constexpr int kHeight = 5;
constexpr TColor kShallow = 0x00FF00;
constexpr TColor kDeep = 0xFF0000;

// Records the order of progress steps and column computations, across threads.
struct Journal {
  std::mutex mutex;
  std::vector<std::string> events;
  void Add(std::string e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(std::move(e));
  }
};

struct RecordingProgress : TInterpolationProgress {
  Journal* journal;
  THeadlessDispatcher* window;
  int position = 0;
  bool allInWindowThread = true;
  void StepProgress() override {
    allInWindowThread = allInWindowThread && window->InWindowThread();
    ++position;
    journal->Add("step");
  }
};

// Depth from the position, so every pixel shows which position it was given.
struct PositionDepth : TDepthInterpolator {
  Journal* journal = nullptr;
  double failAtLongitude = -1;
  double interp(double x, double y) const override { return (x - 10) * 1000 + (y - 50) * 10; }
  void InterpColumn(double x, const double* ys, const bool* wanted, int count, double* out) const override {
    if (x == failAtLongitude) throw std::runtime_error("no depth here");
    if (journal) journal->Add("column " + std::to_string(x));
    TDepthInterpolator::InterpColumn(x, ys, wanted, count, out);
  }
};

class ShepardThreadTest : public ::testing::Test {
protected:
  ShepardThreadTest() {
    image.SetLength(kWidth, kHeight);
    values.SetLength(kWidth, kHeight);
    mask.SetLength(kWidth, kHeight);
    mask.Fill(true);
    progress.journal = &journal;
    progress.window = &window;
    run.Image = &image;
    run.Values = &values;
    run.ShadowArray = &mask;
    run.ShepardInterp = &depths;
    run.MaxDepth = 100;
    run.clShallow = kShallow;
    run.clDeep = kDeep;
    run.View = TViewProjection{10, 50, 100, kHeight};
    run.WindowThread = &window;
    run.Progress = &progress;
  }

  // Starts every band at once and pumps until all have ended; answers each band's
  // error text ("" when it completed), in band order.
  std::vector<std::string> RunBands(const std::vector<std::pair<int, int>>& bands) {
    std::vector<std::string> errors(bands.size());
    size_t ended = 0;
    for (size_t i = 0; i < bands.size(); ++i)
      TThdsInterpolate::Start(run, bands[i].first, bands[i].second, [&, i](TShepardThread& sender) {
        EXPECT_TRUE(window.InWindowThread());
        if (auto e = sender.FatalException()) {
          try {
            std::rethrow_exception(e);
          } catch (const std::exception& error) {
            errors[i] = error.what();
          }
        }
        ++ended;
      });
    EXPECT_TRUE(window.PumpUntil([&] { return ended == bands.size(); }));
    return errors;
  }

  double Expected(int x, int y) const {
    return depths.interp(run.View.XToLo(x), run.View.YToLa(y)) / run.MaxDepth;
  }

  THeadlessDispatcher window;
  Journal journal;
  RecordingProgress progress;
  PositionDepth depths;
  TColorArray image;
  TDoubleArray values;
  TBooleanArray mask;
  TInterpolationRun run;
};

TEST_F(ShepardThreadTest, OneColumnBandComputesItsMaskedPixelsOnly) {
  mask[2][1] = false;
  values.Fill(-7);
  image.Fill(0x123456);
  EXPECT_EQ(RunBands({{2, 2}}), std::vector<std::string>{""});
  EXPECT_EQ(progress.position, 1);
  for (int x = 0; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y) {
      if (x == 2 && y != 1) {
        EXPECT_EQ(values[x][y], Expected(x, y)) << x << "," << y;
        EXPECT_EQ(image[x][y], InterpolateColor(kShallow, kDeep, Expected(x, y))) << x << "," << y;
      } else {
        EXPECT_EQ(values[x][y], -7) << x << "," << y;
        EXPECT_EQ(image[x][y], 0x123456u) << x << "," << y;
      }
    }
}

TEST_F(ShepardThreadTest, ProgressInTheWindowThreadBeforeEachColumn) {
  depths.journal = &journal;
  RunBands({{1, 3}});
  const auto column = [&](int x) { return "column " + std::to_string(run.View.XToLo(x)); };
  EXPECT_EQ(journal.events, (std::vector<std::string>{"step", column(1), "step", column(2), "step", column(3)}));
  EXPECT_TRUE(progress.allInWindowThread);
}

TEST_F(ShepardThreadTest, ColumnOutsideTheMaskStillStepsProgressAndWritesNothing) {
  for (int y = 0; y < kHeight; ++y) mask[4][y] = false;
  RunBands({{4, 4}});
  EXPECT_EQ(progress.position, 1);
  for (int y = 0; y < kHeight; ++y) {
    EXPECT_EQ(values[4][y], 0);
    EXPECT_EQ(image[4][y], 0u);
  }
}

TEST_F(ShepardThreadTest, FractionsAreStoredAsTheyAreAndColoursClampToTheEnds) {
  struct Fixed : TDepthInterpolator {
    double interp(double x, double) const override { return x < 10.0001 ? 0 : 250; }
  } fixed;
  run.ShepardInterp = &fixed;
  RunBands({{0, 1}});
  EXPECT_EQ(values[0][3], 0);
  EXPECT_EQ(image[0][3], kShallow);
  EXPECT_EQ(values[1][3], 2.5);
  EXPECT_EQ(image[1][3], kDeep);
}

TEST_F(ShepardThreadTest, AdjacentBandsTogetherGiveTheGridsOfOne) {
  auto pts = std::make_shared<TPointList>(TPointList{{10.01f, 50.02f}, {10.05f, 50.01f}, {10.03f, 50.04f}});
  auto vals = std::make_shared<TValueList>(TValueList{120, 480, 40});
  TShepardInterp shepard(pts, vals, 8, 1, 0.001);
  run.ShepardInterp = &shepard;
  mask[3][0] = false;

  RunBands({{0, kWidth - 1}});
  const TColorArray oneImage = [&] {
    TColorArray copy(kWidth, kHeight);
    for (int x = 0; x < kWidth; ++x)
      for (int y = 0; y < kHeight; ++y) copy[x][y] = image[x][y];
    return copy;
  }();
  TDoubleArray oneValues(kWidth, kHeight);
  for (int x = 0; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y) oneValues[x][y] = values[x][y];

  image.SetLength(kWidth, kHeight);
  values.SetLength(kWidth, kHeight);
  RunBands({{0, 2}, {3, kWidth - 1}});
  EXPECT_EQ(progress.position, 2 * kWidth);
  for (int x = 0; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y) {
      EXPECT_EQ(values[x][y], oneValues[x][y]) << x << "," << y;
      EXPECT_EQ(image[x][y], oneImage[x][y]) << x << "," << y;
    }
  EXPECT_EQ(values[3][0], 0);
  EXPECT_GT(values[3][1], 0);
}

TEST_F(ShepardThreadTest, BandErrorReachesTheCallbackAndOtherBandsComplete) {
  depths.failAtLongitude = run.View.XToLo(2);
  const auto errors = RunBands({{0, 3}, {4, 6}});
  EXPECT_EQ(errors, (std::vector<std::string>{"no depth here", ""}));
  EXPECT_EQ(values[1][2], Expected(1, 2));  // before the failing column
  EXPECT_EQ(values[2][2], 0);
  EXPECT_EQ(values[3][2], 0);               // the rest of the band is left
  EXPECT_EQ(values[5][2], Expected(5, 2));
}

TEST_F(ShepardThreadTest, PanningAfterTheStartDoesNotMoveThePixels) {
  const TViewProjection atStart = run.View;
  size_t ended = 0;
  // The band cannot pass its first progress step before the pump below.
  TThdsInterpolate::Start(run, 0, kWidth - 1, [&](TShepardThread&) { ++ended; });
  run.View = TViewProjection{11, 51, 200, kHeight};
  ASSERT_TRUE(window.PumpUntil([&] { return ended == 1; }));
  for (int x = 0; x < kWidth; ++x)
    EXPECT_EQ(values[x][1], depths.interp(atStart.XToLo(x), atStart.YToLa(1)) / run.MaxDepth) << x;
}

TEST_F(ShepardThreadTest, BandBeyondTheGridIsClamped) {
  int xStart = 0, xStop = 0;
  size_t ended = 0;
  TThdsInterpolate* worker = TThdsInterpolate::Start(run, -3, kWidth + 10, [&](TShepardThread& sender) {
    xStart = sender.XStart();
    xStop = sender.XStop();
    ++ended;
  });
  EXPECT_NE(worker, nullptr);
  ASSERT_TRUE(window.PumpUntil([&] { return ended == 1; }));
  EXPECT_EQ(xStart, 0);
  EXPECT_EQ(xStop, kWidth - 1);
  EXPECT_EQ(progress.position, kWidth);
  EXPECT_EQ(values[kWidth - 1][0], Expected(kWidth - 1, 0));

  // A band wholly beyond the grid computes nothing and still ends.
  EXPECT_EQ(RunBands({{kWidth, kWidth + 15}}), std::vector<std::string>{""});
  EXPECT_EQ(progress.position, kWidth);
}

TEST_F(ShepardThreadTest, RunsThatCannotWorkAreRefusedBeforeAnyThread) {
  TBooleanArray smallMask(kWidth - 1, kHeight);
  TDoubleArray tallValues(kWidth, kHeight + 1);
  struct Fault {
    const char* name;
    std::function<void(TInterpolationRun&)> spoil;
  };
  const std::vector<Fault> faults = {
      {"MaxDepthZero", [](TInterpolationRun& r) { r.MaxDepth = 0; }},
      {"MaxDepthNegative", [](TInterpolationRun& r) { r.MaxDepth = -5; }},
      {"MaskOfOtherSize", [&](TInterpolationRun& r) { r.ShadowArray = &smallMask; }},
      {"ValuesOfOtherSize", [&](TInterpolationRun& r) { r.Values = &tallValues; }},
      {"NoInterpolator", [](TInterpolationRun& r) { r.ShepardInterp = nullptr; }},
      {"NoWindowThread", [](TInterpolationRun& r) { r.WindowThread = nullptr; }},
  };
  for (const auto& fault : faults) {
    TInterpolationRun spoilt = run;
    fault.spoil(spoilt);
    bool called = false;
    EXPECT_THROW(TThdsInterpolate::Start(spoilt, 0, 3, [&](TShepardThread&) { called = true; }),
                 std::invalid_argument)
        << fault.name;
    window.Pump();
    EXPECT_FALSE(called) << fault.name;
  }
  EXPECT_EQ(progress.position, 0);
}

}  // namespace
