// An interpolation run's bands with real workers and the headless dispatcher:
// hand-out, counters, failures, bands that never start, and stopping.

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/logic/InterpolationJob.h"
#include "platform/Dispatcher.h"
#include "platform/MathErrors.h"
#include "platform/NumberText.h"

namespace {
// Depth 100 everywhere; fails west of a longitude when asked to.
class TFlat : public TDepthInterpolator {
public:
  explicit TFlat(double failWestOf = -1e9) : fWest(failWestOf) {}
  double interp(double x, double) const override {
    if (x < fWest) throw EInvalidOp();
    return 100;
  }

private:
  double fWest;
};

std::string Band(int first, int last) { return numtext::FormatInt(first) + "     " + numtext::FormatInt(last); }

class InterpolationJobTest : public ::testing::Test {
protected:
  static constexpr int kWidth = 100;  // 6 bands: 5 of 16 columns and one of 19
  static constexpr int kHeight = 20;
  THeadlessDispatcher dispatcher;
  TColorArray image;
  TDoubleArray values;
  std::vector<std::string> log;
  std::vector<int> running;
  int finished = 0;

  TInterpolatedMap Map() const {
    TInterpolatedMap map;
    map.Projection = TViewProjection{8.0, 47.0, 10000.0, kHeight};
    map.Width = kWidth;
    map.Height = kHeight;
    map.MaxDepth = 200;
    map.Shallow = 0x00FF00;
    map.Deep = 0xFF0000;
    map.Mask.SetLength(kWidth, kHeight);
    map.Mask.Fill(true);
    return map;
  }

  TInterpolationJob::TCallbacks Callbacks() {
    TInterpolationJob::TCallbacks callbacks;
    callbacks.Log = [this](const std::string& line) { log.push_back(line); };
    callbacks.RunningChanged = [this](int n) { running.push_back(n); };
    callbacks.Finished = [this] { ++finished; };
    return callbacks;
  }

  void Run(TInterpolationJob& job, std::unique_ptr<TDepthInterpolator> interpolator, int threads) {
    image.SetLength(kWidth, kHeight);
    values.SetLength(kWidth, kHeight);
    job.Start(std::move(interpolator), Map(), image, values, threads);
    ASSERT_TRUE(dispatcher.PumpUntil([&] { return job.Finished(); }));
  }

  std::set<int> ComputedColumns() const {
    std::set<int> columns;
    for (int x = 0; x < kWidth; ++x)
      if (values[x][kHeight / 2] == 0.5) columns.insert(x);
    return columns;
  }

  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : log) n += line.rfind(prefix, 0) == 0;
    return n;
  }
};
}  // namespace

TEST_F(InterpolationJobTest, OneWorkerRunsTheBandsOneAfterAnother) {
  TInterpolationJob job(dispatcher, Callbacks());
  Run(job, std::make_unique<TFlat>(), 1);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(job.ThreadsTasks, 6);
  EXPECT_EQ(job.ThreadsRun, 1);
  EXPECT_EQ(job.ThreadsID, 6);
  EXPECT_EQ(job.ThreadsRunning, 0);
  EXPECT_EQ(log.front(), "Num Tasks: 6");
  EXPECT_EQ(log[1], "Start Thread: " + Band(0, 15));
  EXPECT_EQ(log[2], "Add Thread: " + Band(16, 31));
  EXPECT_EQ(log.back(), "Add Thread: " + Band(80, 99));
  EXPECT_EQ(Count("Start Thread: "), 1);
  // Never more than one alive.
  for (int n : running) EXPECT_LE(n, 1);
  EXPECT_EQ(running.back(), 0);
  EXPECT_EQ(ComputedColumns().size(), static_cast<std::size_t>(kWidth));
  EXPECT_TRUE(job.MissingBands().empty());
  EXPECT_EQ(job.MissingColumnsText(), "");
  EXPECT_FALSE(job.Running());
}

TEST_F(InterpolationJobTest, NoMoreWorkersThanBands) {
  TInterpolationJob job(dispatcher, Callbacks());
  Run(job, std::make_unique<TFlat>(), 64);
  EXPECT_EQ(job.ThreadsRun, 6);
  EXPECT_EQ(Count("Start Thread: "), 6);
  EXPECT_EQ(Count("Add Thread: "), 0);
  EXPECT_EQ(ComputedColumns().size(), static_cast<std::size_t>(kWidth));
}

TEST_F(InterpolationJobTest, FailedBandsAreNamedAndTheOthersComputed) {
  TInterpolationJob job(dispatcher, Callbacks());
  const TViewProjection view = Map().Projection;
  Run(job, std::make_unique<TFlat>(view.XToLo(20)), 3);  // the first two bands fail
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(job.MissingBands(), (std::vector<TBand>{{0, 15}, {16, 31}}));
  EXPECT_EQ(job.MissingColumnsText(), "0-15, 16-31");
  EXPECT_EQ(Count("Band failed: " + Band(0, 15) + ": "), 1);
  EXPECT_EQ(ComputedColumns().size(), static_cast<std::size_t>(kWidth - 32));
}

TEST_F(InterpolationJobTest, BandsThatNeverStartAreNamedToo) {
  // Every band of the first hand-out fails to start: the run goes on with the
  // later bands and names the ones never computed.
  std::set<int> refused{0, 16, 32};
  TInterpolationJob job(dispatcher, Callbacks(), [&](const TInterpolationRun& run, TBand band, auto onEnded) {
    if (refused.count(band.First)) throw std::runtime_error("no thread");
    TThdsInterpolate::Start(run, band.First, band.Last, std::move(onEnded));
  });
  Run(job, std::make_unique<TFlat>(), 3);
  EXPECT_EQ(job.MissingColumnsText(), "0-15, 16-31, 32-47");
  EXPECT_EQ(Count("Band not started: "), 3);
  EXPECT_EQ(ComputedColumns().size(), static_cast<std::size_t>(kWidth - 48));

  // No band starts at all: the run ends at once and names every column.
  log.clear();
  finished = 0;
  TInterpolationJob none(dispatcher, Callbacks(),
                         [](const TInterpolationRun&, TBand, auto) { throw std::runtime_error("no thread"); });
  image.SetLength(kWidth, kHeight);
  values.SetLength(kWidth, kHeight);
  none.Start(std::make_unique<TFlat>(), Map(), image, values, 2);
  EXPECT_EQ(finished, 1);
  EXPECT_TRUE(none.Finished());
  EXPECT_EQ(none.MissingBands().size(), 6u);
  EXPECT_EQ(none.MissingColumnsText(), "0-15, 16-31, 32-47, 48-63, 64-79, 80-99");
}

TEST_F(InterpolationJobTest, AStoppedRunHandsOutNoFurtherBand) {
  TInterpolationJob job(dispatcher, Callbacks());
  image.SetLength(kWidth, kHeight);
  values.SetLength(kWidth, kHeight);
  job.Start(std::make_unique<TFlat>(), Map(), image, values, 2);
  EXPECT_TRUE(job.Running());
  job.RequestStop();
  ASSERT_TRUE(dispatcher.PumpUntil([&] { return job.Finished(); }));
  EXPECT_TRUE(job.Stopped());
  EXPECT_EQ(Count("Start Thread: "), 2);
  EXPECT_EQ(Count("Add Thread: "), 0);
  EXPECT_EQ(job.MissingBands().size(), 4u);
  EXPECT_EQ(log.back(), "Interpolation stopped");
}
