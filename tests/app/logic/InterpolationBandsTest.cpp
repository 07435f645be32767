// The bands of columns an interpolation run works through.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "app/logic/InterpolationBands.h"
#include "model/GPX.h"
#include "tests/app/logic/LogicSupport.h"

// ---- bands ------------------------------------------------------------------------

TEST(PlanBands, FollowsTheExamples) {
  const std::vector<TBand> wide = PlanBands(811);
  ASSERT_EQ(wide.size(), 54u);
  EXPECT_EQ(wide[0], (TBand{0, 14}));
  EXPECT_EQ(wide[1], (TBand{15, 29}));
  EXPECT_EQ(wide[52], (TBand{780, 794}));
  EXPECT_EQ(wide[53], (TBand{795, 810}));

  EXPECT_EQ(PlanBands(16), (std::vector<TBand>{{0, 15}}));
  EXPECT_EQ(PlanBands(31), (std::vector<TBand>{{0, 14}, {15, 30}}));
}

TEST(PlanBands, ANarrowViewIsOneBandAndAnEmptyOneHasNone) {
  EXPECT_EQ(PlanBands(15), (std::vector<TBand>{{0, 14}}));
  EXPECT_EQ(PlanBands(1), (std::vector<TBand>{{0, 0}}));
  EXPECT_TRUE(PlanBands(0).empty());
  EXPECT_TRUE(PlanBands(-3).empty());
}

TEST(PlanBands, EveryWidthIsCoveredByDisjointBandsOfAtLeast15Columns) {
  for (int width = 16; width <= 2500; ++width) {
    const std::vector<TBand> bands = PlanBands(width);
    ASSERT_EQ(static_cast<int>(bands.size()), (width - 1) / 15) << width;
    int next = 0;
    for (const TBand& band : bands) {
      ASSERT_EQ(band.First, next) << width;
      ASSERT_GE(band.Last - band.First + 1, 15) << width;
      next = band.Last + 1;
    }
    ASSERT_EQ(next, width) << width;
  }
}
