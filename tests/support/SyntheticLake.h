#pragma once

#include <cstdint>
#include <vector>

// A made-up lake that the benchmarks and the end-to-end tests share: a shore with
// one island, a smooth basin with a shoal and a trench, and boat tracks sounded
// every ~1.5 m in a back-and-forth survey. The same soundings count and seed give
// the same lake wherever the maths library is the same (no library random numbers,
// whose distributions differ between standard libraries).
//
// Positions are WGS84 degrees, depths centimetres, as the program holds them.

struct TLakePosition {
  double Longitude = 0;
  double Latitude = 0;
};

struct TLakeSounding {
  double Longitude = 0;
  double Latitude = 0;
  double DepthCm = 0;  // whole centimetres, always above 0
};

class TSyntheticLake {
public:
  // A lake surveyed with about `soundings` soundings (within a few percent), at
  // least one track of at least one sounding.
  explicit TSyntheticLake(int soundings, std::uint64_t seed = 1);

  // The shore and the island, each a closed ring (the last vertex joins the first,
  // it is not repeated), counter-clockwise.
  const std::vector<TLakePosition>& Shore() const { return shore_; }
  const std::vector<TLakePosition>& Island() const { return island_; }

  // The boat's tracks in the order they were sailed: one segment per stretch of
  // open water, soundings in sailing order.
  const std::vector<std::vector<TLakeSounding>>& Tracks() const { return tracks_; }
  int SoundingCount() const { return soundingCount_; }

  // True between the shore and the island; the rings are drawn from the same
  // outline, so a pixel that this calls water lies inside Shore() and outside
  // Island() up to the chord of one ring segment.
  bool InWater(double longitude, double latitude) const;

  // The true bottom (cm, no sounder noise) at a position in the water, 0 elsewhere.
  double DepthAt(double longitude, double latitude) const;

  // Positions along both rings, one every `spacingMetres` or closer: how the
  // program turns the shore lines into samples of depth 0.
  std::vector<TLakePosition> ShorePositions(double spacingMetres) const;

  // The position `eastMetres` east and `northMetres` north of the lake's centre.
  // The features: the island is centred 380 m east and 160 m north; the shoal
  // rises 320 m west and 330 m north; the trench runs from 850 m west, 250 m
  // south to 150 m east, 120 m north; the basin is deepest near the centre.
  static TLakePosition Locate(double eastMetres, double northMetres);

  // The rectangle that holds the shore.
  double West() const { return west_; }
  double East() const { return east_; }
  double South() const { return south_; }
  double North() const { return north_; }

  // Metres per degree here, to turn pixel sizes into metres and back.
  static double MetresPerDegreeLatitude();
  double MetresPerDegreeLongitude() const;

private:
  void SailSurvey(double lineSpacing, std::uint64_t seed);

  std::vector<TLakePosition> shore_;
  std::vector<TLakePosition> island_;
  std::vector<std::vector<TLakeSounding>> tracks_;
  int soundingCount_ = 0;
  double west_ = 0, east_ = 0, south_ = 0, north_ = 0;
};
