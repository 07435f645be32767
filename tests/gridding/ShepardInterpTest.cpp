#include "gridding/ShepardInterp.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/MathErrors.h"

namespace {

struct Sample {
  float x, y, value;
};

struct RecordingMessages : TMessageBox {
  std::vector<std::string> shown;
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
};

TShepardInterp Make(const std::vector<Sample>& samples, double p, double maxR, double minR) {
  auto pts = std::make_shared<TPointList>();
  auto vals = std::make_shared<TValueList>();
  for (const auto& s : samples) {
    pts->push_back({s.x, s.y});
    vals->push_back(s.value);
  }
  return TShepardInterp(pts, vals, p, maxR, minR);
}

struct Case {
  const char* name;
  std::vector<Sample> samples;
  double p, maxR, minR;
  double qx, qy;
  double expected;
};

// Distances are chosen exactly representable, so the borders are met exactly.
class ShepardCases : public ::testing::TestWithParam<Case> {};

TEST_P(ShepardCases, Estimate) {
  const Case& c = GetParam();
  EXPECT_DOUBLE_EQ(Make(c.samples, c.p, c.maxR, c.minR).interp(c.qx, c.qy), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Borders, ShepardCases,
    ::testing::Values(
        Case{"NoSamples", {}, 2, 1, 0.01, 0, 0, 0},
        Case{"AllBeyondCutOff", {{2, 0, 500}, {0, -3, 700}}, 2, 1, 0.01, 0, 0, 0},
        Case{"AtCutOffIsWeighted", {{0.5f, 0, 7}, {2, 0, 900}}, 8, 0.5, 0.01, 0, 0, 7},
        // At exactly the snap radius the sample is weighted, so its twin on the other side counts too.
        Case{"AtSnapIsWeightedNotSnapped", {{0.25f, 0, 100}, {-0.25f, 0, 300}}, 2, 1, 0.25, 0, 0, 200},
        Case{"FirstSnappedWinsByIndex", {{0.05f, 0, 1}, {0.01f, 0, 2}}, 2, 1, 0.1, 0, 0, 1},
        Case{"OneSampleGivesItsValue", {{0.3f, 0.4f, 345}, {5, 5, 1}}, 8, 1, 0.01, 0, 0, 345},
        Case{"PowerTwoExample", {{1, 0, 0}, {0, 3, 900}}, 2, 5, 0.01, 0, 0, 90},
        Case{"EqualDistancesPower2", {{0, 1, 100}, {1, 0, 300}}, 2, 5, 0.01, 0, 0, 200},
        Case{"EqualDistancesPower14", {{0, 1, 100}, {1, 0, 300}}, 14, 5, 0.01, 0, 0, 200},
        Case{"EqualDistancesFractionalPower", {{0, 1, 100}, {1, 0, 300}}, 2.5, 5, 0.01, 0, 0, 200}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShepardInterpTest, SnappedValueIsTheSingleSampleWidened) {
  // 0.1f is not 0.1: the snap answers the stored single value, not a rounded one.
  EXPECT_EQ(Make({{0, 0, 0.1f}}, 8, 1, 0.01).interp(0.001, 0), static_cast<double>(0.1f));
}

TEST(ShepardInterpTest, WeightsArePowersOfTheDistance) {
  EXPECT_EQ(TShepardInterp::Weight(2, 10), 1.0 / 1024);
  EXPECT_EQ(TShepardInterp::Weight(3, 5), 1.0 / 243);
  EXPECT_EQ(TShepardInterp::Weight(2, -3), 8.0);
  EXPECT_EQ(TShepardInterp::Weight(7, 0), 1.0);
  EXPECT_DOUBLE_EQ(TShepardInterp::Weight(4, 0.5), 0.5);
  EXPECT_EQ(TShepardInterp::Distance(1, 2, 4, 6), 5.0);
  // Repeated squaring rounds differently from pow in the last bits; faster
  // interpolators rely on exactly these bits.
  EXPECT_EQ(TShepardInterp::Weight(0.0011, 8), 0x1.8b25a9bbbae2cp+78);
  EXPECT_EQ(TShepardInterp::Weight(0.0011, 14), 0x1.82ee3565e7077p+137);
}

TEST(ShepardInterpTest, DistanceZeroWithoutSnapRadiusIsAnError) {
  // Only with a snap radius of 0 can a query meet a sample; 1/0 is refused, not infinity.
  EXPECT_THROW(Make({{1, 1, 50}}, 8, 1, 0).interp(1, 1), EZeroDivide);
  EXPECT_THROW(Make({{1, 1, 50}}, 2.5, 1, 0).interp(1, 1), EZeroDivide);
  EXPECT_THROW(TShepardInterp::Weight(1e-30, 14), EZeroDivide);  // d^14 underflows
}

TEST(ShepardInterpTest, WeightBeyondTheDoubleRangeIsAnError) {
  // d^8 is subnormal here, so its reciprocal is no double.
  EXPECT_THROW(TShepardInterp::Weight(1e-39, 8), EOverflow);
  // The failing weight raises at once: a later sample that snaps does not hide it.
  EXPECT_THROW(Make({{1e-39f, 0, 10}, {0, 0, 20}}, 8, 1, 1e-40).interp(0, 0), EOverflow);
}

TEST(ShepardInterpTest, SumsBeyondTheDoubleRangeAreAnError) {
  // Each weight is about 1e308; their sum is not a double any more.
  EXPECT_THROW(Make({{1e-22f, 0, 10}, {0, 1e-22f, 20}}, 14, 1, 0).interp(0, 0), EOverflow);
}

TEST(ShepardInterpTest, NaNQueryIsAnError) {
  EXPECT_THROW(Make({{0.5f, 0, 10}}, 8, 1, 0.01).interp(std::nan(""), 0), EInvalidOp);
}

TEST(ShepardInterpTest, LengthMismatchIsShownOnceAndNeverReadsPastTheValues) {
  auto pts = std::make_shared<TPointList>(TPointList{{0, 1}, {1, 0}, {0, 0}});
  auto vals = std::make_shared<TValueList>(TValueList{100, 300});
  RecordingMessages messages;
  TShepardInterp interp(pts, vals, 2, 5, 0.01, &messages);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"coordinates and values matrices missmatch."});
  EXPECT_EQ(interp.SampleCount(), 2);
  // The third position lies on the query; it has no value and must not be snapped to.
  EXPECT_DOUBLE_EQ(interp.interp(0, 0), 200);

  // Without a message box the mismatch is still handled.
  TShepardInterp quiet(pts, std::make_shared<TValueList>(), 2, 5, 0.01);
  EXPECT_EQ(quiet.interp(0, 0), 0);
}

TEST(ShepardInterpTest, ColumnMatchesSingleQueriesAndLeavesUnwantedRows) {
  auto interp = Make({{0.1f, 0.2f, 120}, {0.4f, 0.1f, 480}, {0.3f, 0.5f, 40}}, 8, 1, 0.001);
  const double ys[4] = {0.0, 0.15, 0.3, 0.45};
  const bool wanted[4] = {true, false, true, true};
  double out[4] = {-1, -1, -1, -1};
  interp.InterpColumn(0.25, ys, wanted, 4, out);
  for (int i = 0; i < 4; ++i) {
    if (wanted[i])
      EXPECT_EQ(out[i], interp.interp(0.25, ys[i])) << i;
    else
      EXPECT_EQ(out[i], -1) << i;
  }
}

}  // namespace
