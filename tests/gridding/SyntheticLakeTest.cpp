#include "tests/support/SyntheticLake.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace {

double Metres(const TSyntheticLake& lake, double lon1, double lat1, double lon2, double lat2) {
  return std::hypot((lon2 - lon1) * lake.MetresPerDegreeLongitude(),
                    (lat2 - lat1) * TSyntheticLake::MetresPerDegreeLatitude());
}

TEST(SyntheticLake, SoundingCountIsCloseToTheOneAskedFor) {
  for (const int wanted : {10000, 100000}) {
    const TSyntheticLake lake(wanted);
    EXPECT_NEAR(lake.SoundingCount(), wanted, wanted * 0.03) << wanted;
    std::size_t counted = 0;
    for (const auto& track : lake.Tracks()) counted += track.size();
    EXPECT_EQ(counted, static_cast<std::size_t>(lake.SoundingCount()));
  }
  EXPECT_GE(TSyntheticLake(1).SoundingCount(), 1);
}

TEST(SyntheticLake, SameSeedSameLakeOtherSeedOtherTracks) {
  const TSyntheticLake a(5000, 3), b(5000, 3), c(5000, 4);
  ASSERT_EQ(a.Tracks().size(), b.Tracks().size());
  for (std::size_t t = 0; t < a.Tracks().size(); ++t) {
    ASSERT_EQ(a.Tracks()[t].size(), b.Tracks()[t].size());
    EXPECT_EQ(std::memcmp(a.Tracks()[t].data(), b.Tracks()[t].data(), a.Tracks()[t].size() * sizeof(TLakeSounding)), 0);
  }
  EXPECT_NE(a.Tracks()[0][0].Latitude, c.Tracks()[0][0].Latitude);
  EXPECT_EQ(a.Shore()[7].Longitude, c.Shore()[7].Longitude);  // the seed moves the boat, not the lake
}

// Soundings lie in open water, carry whole centimetres, and follow each other
// about 1.5 m apart along a track.
TEST(SyntheticLake, SoundingsAreWholeCentimetresInTheWaterEveryMetreAndAHalf) {
  const TSyntheticLake lake(20000);
  for (const auto& track : lake.Tracks())
    for (std::size_t k = 0; k < track.size(); ++k) {
      const TLakeSounding& s = track[k];
      ASSERT_TRUE(lake.InWater(s.Longitude, s.Latitude));
      ASSERT_EQ(s.DepthCm, std::round(s.DepthCm));
      ASSERT_GE(s.DepthCm, 30);
      ASSERT_LE(s.DepthCm, 3000);
      if (k > 0) {
        const double step = Metres(lake, track[k - 1].Longitude, track[k - 1].Latitude, s.Longitude, s.Latitude);
        ASSERT_GT(step, 1.2);
        ASSERT_LT(step, 1.8);
      }
    }
}

TEST(SyntheticLake, BasinShoalTrenchAndIslandWhereTheHeaderSays) {
  const TSyntheticLake lake(1000);
  const auto depth = [&](double east, double north) {
    const TLakePosition p = TSyntheticLake::Locate(east, north);
    return lake.DepthAt(p.Longitude, p.Latitude);
  };
  const TLakePosition island = TSyntheticLake::Locate(380, 160);
  EXPECT_FALSE(lake.InWater(island.Longitude, island.Latitude));
  EXPECT_EQ(depth(380, 160), 0);
  EXPECT_FALSE(lake.InWater(lake.West() - 0.001, (lake.South() + lake.North()) / 2));
  EXPECT_GT(depth(0, -100), 1500);                 // the open basin
  EXPECT_LT(depth(-320, 330), depth(-320, -330));  // the shoal against its mirror image
  EXPECT_GT(depth(-350, -100), depth(-350, 150));  // the trench against open water beside it
  // The island's outline: water just outside it, land just inside.
  for (const TLakePosition& p : lake.Island()) {
    const auto scaled = [&](double f) {
      return TLakePosition{island.Longitude + f * (p.Longitude - island.Longitude),
                           island.Latitude + f * (p.Latitude - island.Latitude)};
    };
    EXPECT_TRUE(lake.InWater(scaled(1.05).Longitude, scaled(1.05).Latitude));
    EXPECT_FALSE(lake.InWater(scaled(0.95).Longitude, scaled(0.95).Latitude));
  }
}

TEST(SyntheticLake, ShorePositionsFollowBothRingsAtTheSpacingAskedFor) {
  const TSyntheticLake lake(1000);
  const std::vector<TLakePosition> positions = lake.ShorePositions(4.0);
  ASSERT_GT(positions.size(), lake.Shore().size() + lake.Island().size());
  std::size_t jumps = 0;
  for (std::size_t k = 1; k < positions.size(); ++k) {
    const double gap =
        Metres(lake, positions[k - 1].Longitude, positions[k - 1].Latitude, positions[k].Longitude, positions[k].Latitude);
    jumps += gap > 4.0 + 1e-6;  // only from the end of the shore to the start of the island
  }
  EXPECT_EQ(jumps, 1u);
}

}  // namespace
