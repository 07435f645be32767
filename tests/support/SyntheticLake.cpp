#include "tests/support/SyntheticLake.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The lake lies at 53.37 N, 12.72 E; the local frame is metres east (x) and north
// (y) of that centre. A plain spherical scale is enough for a made-up lake.
constexpr double kCentreLatitude = 53.37;
constexpr double kCentreLongitude = 12.72;
constexpr double kMetresPerDegreeLatitude = 111320.0;
constexpr double kMetresPerDegreeLongitude = 66418.53781571833;  // 111320 cos 53.37°

constexpr int kShoreVertices = 1440;
constexpr int kIslandVertices = 360;
constexpr double kSoundingStep = 1.5;  // metres between soundings along a track

// The island's centre in the local frame.
constexpr double kIslandX = 380.0;
constexpr double kIslandY = 160.0;

// Deterministic on every platform, unlike the standard distributions.
class TSplitMix64 {
public:
  explicit TSplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }  // [0, 1)

private:
  std::uint64_t state_;
};

// Both outlines are star-shaped around their centres: a radius for each bearing.
double ShoreRadius(double theta) {
  const double a = 1200.0, b = 800.0;  // the basic ellipse, east-west longer
  const double c = std::cos(theta), s = std::sin(theta);
  const double ellipse = a * b / std::sqrt(b * b * c * c + a * a * s * s);
  return ellipse * (1.0 + 0.10 * std::sin(3 * theta + 0.7) + 0.06 * std::cos(5 * theta + 1.3) +
                    0.03 * std::sin(9 * theta + 0.4));
}

double IslandRadius(double theta) {
  const double a = 170.0, b = 110.0;
  const double c = std::cos(theta), s = std::sin(theta);
  const double ellipse = a * b / std::sqrt(b * b * c * c + a * a * s * s);
  return ellipse * (1.0 + 0.15 * std::sin(2 * theta + 0.5) + 0.05 * std::cos(4 * theta));
}

// 0 at the centre, 1 on the shore.
double ShoreFraction(double x, double y) {
  const double r = std::hypot(x, y);
  return r == 0 ? 0.0 : r / ShoreRadius(std::atan2(y, x));
}

// 1 on the island's shore, growing outwards.
double IslandFraction(double x, double y) {
  const double dx = x - kIslandX, dy = y - kIslandY;
  const double r = std::hypot(dx, dy);
  return r == 0 ? 0.0 : r / IslandRadius(std::atan2(dy, dx));
}

bool InWaterLocal(double x, double y) { return ShoreFraction(x, y) < 1.0 && IslandFraction(x, y) > 1.0; }

double DistanceToSegment(double x, double y, double x1, double y1, double x2, double y2) {
  const double vx = x2 - x1, vy = y2 - y1;
  const double t = std::clamp(((x - x1) * vx + (y - y1) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
  return std::hypot(x - (x1 + t * vx), y - (y1 + t * vy));
}

// The bottom: a basin with steep banks, a trench running south-west to the middle,
// a shoal in the north-west and a shelf round the island.
double DepthLocal(double x, double y) {
  if (!InWaterLocal(x, y)) return 0.0;
  const double rho = ShoreFraction(x, y);
  const double open = 1.0 - rho * rho;  // 1 in the middle, 0 on the shore
  const double basin = 2000.0 * std::pow(open, 0.7);
  const double trenchDistance = DistanceToSegment(x, y, -850.0, -250.0, 150.0, 120.0);
  const double trench = 900.0 * std::exp(-(trenchDistance / 70.0) * (trenchDistance / 70.0)) * open;
  const double shoalDistance = std::hypot(x + 320.0, y - 330.0);
  const double shoal = std::exp(-(shoalDistance / 140.0) * (shoalDistance / 140.0));
  double depth = (basin + trench) * (1.0 - 0.85 * shoal);
  const double shelf = std::min(1.0, (IslandFraction(x, y) - 1.0) / 1.2);
  depth *= std::pow(shelf, 0.6);
  return std::max(depth, 30.0);
}

double LocalToLongitude(double x) { return kCentreLongitude + x / kMetresPerDegreeLongitude; }
double LocalToLatitude(double y) { return kCentreLatitude + y / kMetresPerDegreeLatitude; }
double LongitudeToLocal(double longitude) { return (longitude - kCentreLongitude) * kMetresPerDegreeLongitude; }
double LatitudeToLocal(double latitude) { return (latitude - kCentreLatitude) * kMetresPerDegreeLatitude; }

std::vector<TLakePosition> Ring(double (*radius)(double), double cx, double cy, int vertices) {
  std::vector<TLakePosition> ring;
  ring.reserve(vertices);
  for (int i = 0; i < vertices; ++i) {
    const double theta = 2 * kPi * i / vertices;
    const double r = radius(theta);
    ring.push_back({LocalToLongitude(cx + r * std::cos(theta)), LocalToLatitude(cy + r * std::sin(theta))});
  }
  return ring;
}

// Area of a ring in square metres (shoelace).
double RingArea(const std::vector<TLakePosition>& ring) {
  double twice = 0;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const TLakePosition& p = ring[i];
    const TLakePosition& q = ring[(i + 1) % ring.size()];
    twice += LongitudeToLocal(p.Longitude) * LatitudeToLocal(q.Latitude) -
             LongitudeToLocal(q.Longitude) * LatitudeToLocal(p.Latitude);
  }
  return std::fabs(twice) / 2;
}

}  // namespace

TSyntheticLake::TSyntheticLake(int soundings, std::uint64_t seed) {
  shore_ = Ring(ShoreRadius, 0, 0, kShoreVertices);
  island_ = Ring(IslandRadius, kIslandX, kIslandY, kIslandVertices);
  west_ = east_ = shore_[0].Longitude;
  south_ = north_ = shore_[0].Latitude;
  for (const TLakePosition& p : shore_) {
    west_ = std::min(west_, p.Longitude);
    east_ = std::max(east_, p.Longitude);
    south_ = std::min(south_, p.Latitude);
    north_ = std::max(north_, p.Latitude);
  }

  // Lines of track per square metre of water give the count; the banks cut lines
  // short, so the first guess is corrected twice from the count it gave.
  const double target = std::max(1, soundings);
  const double water = RingArea(shore_) - RingArea(island_);
  double spacing = water / (target * kSoundingStep);
  SailSurvey(spacing, seed);
  for (int round = 0; round < 2 && soundingCount_ > 0; ++round) {
    spacing *= soundingCount_ / target;
    SailSurvey(spacing, seed);
  }
}

void TSyntheticLake::SailSurvey(double lineSpacing, std::uint64_t seed) {
  tracks_.clear();
  soundingCount_ = 0;
  TSplitMix64 random(seed);
  const double south = LatitudeToLocal(south_), north = LatitudeToLocal(north_);
  const double west = LongitudeToLocal(west_) - 50, east = LongitudeToLocal(east_) + 50;
  // Lines centred on the lake's middle, so even a single line crosses open water.
  const int lines = std::max(1, static_cast<int>(std::floor((north - south) / lineSpacing)));
  const double wobble = std::min(0.25 * lineSpacing, 8.0);  // the helmsman's weave, metres
  const double wavelength = 400.0;

  for (int line = 0; line < lines; ++line) {
    const double y0 = (line - (lines - 1) / 2.0) * lineSpacing;
    const double phase = 2 * kPi * random.Uniform();
    const bool eastward = line % 2 == 0;
    std::vector<TLakeSounding> segment;
    double along = 0;  // metres sailed on this line
    const double length = east - west;
    while (along <= length) {
      const double x = eastward ? west + along : east - along;
      const double y = y0 + wobble * std::sin(2 * kPi * x / wavelength + phase);
      if (InWaterLocal(x, y)) {
        const double noise = 12.0 * (random.Uniform() - 0.5);  // the sounder's scatter
        segment.push_back({LocalToLongitude(x), LocalToLatitude(y), std::max(30.0, std::round(DepthLocal(x, y) + noise))});
      } else if (!segment.empty()) {
        soundingCount_ += static_cast<int>(segment.size());
        tracks_.push_back(std::move(segment));
        segment.clear();
      }
      const double slope = wobble * 2 * kPi / wavelength * std::cos(2 * kPi * x / wavelength + phase);
      along += kSoundingStep * (0.9 + 0.2 * random.Uniform()) / std::sqrt(1 + slope * slope);
    }
    if (!segment.empty()) {
      soundingCount_ += static_cast<int>(segment.size());
      tracks_.push_back(std::move(segment));
    }
  }
}

bool TSyntheticLake::InWater(double longitude, double latitude) const {
  return InWaterLocal(LongitudeToLocal(longitude), LatitudeToLocal(latitude));
}

double TSyntheticLake::DepthAt(double longitude, double latitude) const {
  return DepthLocal(LongitudeToLocal(longitude), LatitudeToLocal(latitude));
}

std::vector<TLakePosition> TSyntheticLake::ShorePositions(double spacingMetres) const {
  std::vector<TLakePosition> out;
  for (const std::vector<TLakePosition>* ring : {&shore_, &island_}) {
    for (std::size_t i = 0; i < ring->size(); ++i) {
      const TLakePosition& p = (*ring)[i];
      const TLakePosition& q = (*ring)[(i + 1) % ring->size()];
      const double metres = std::hypot(LongitudeToLocal(q.Longitude) - LongitudeToLocal(p.Longitude),
                                       LatitudeToLocal(q.Latitude) - LatitudeToLocal(p.Latitude));
      const int pieces = std::max(1, static_cast<int>(std::ceil(metres / spacingMetres)));
      for (int k = 0; k < pieces; ++k) {
        const double t = static_cast<double>(k) / pieces;
        out.push_back({p.Longitude + t * (q.Longitude - p.Longitude), p.Latitude + t * (q.Latitude - p.Latitude)});
      }
    }
  }
  return out;
}

TLakePosition TSyntheticLake::Locate(double eastMetres, double northMetres) {
  return {LocalToLongitude(eastMetres), LocalToLatitude(northMetres)};
}

double TSyntheticLake::MetresPerDegreeLatitude() { return kMetresPerDegreeLatitude; }
double TSyntheticLake::MetresPerDegreeLongitude() const { return kMetresPerDegreeLongitude; }
