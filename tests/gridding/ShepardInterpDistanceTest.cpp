#include "gridding/ShepardInterp.h"

#include <functional>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "gridding/ShepardGridInterpRun.h"

// The interpolator's distance is sqrt(dx² + dy²) correctly rounded. These tests
// hold it to an exact check in whole numbers: a double r is the correctly
// rounded root of S exactly when S lies between the squares of the midpoints
// from r to its neighbours (on a midpoint, r must be even). The reference and
// each vector kernel set the processor has take routes of their own to it, and
// every route meets every case.

namespace {

// A nonnegative whole number in 32-bit limbs, least significant first: just
// enough to add shifted 128-bit products and compare.
class TBig {
public:
  void AddShifted(unsigned __int128 value, int shift) {
    std::size_t limb = static_cast<std::size_t>(shift / 32);
    const int bit = shift % 32;
    std::uint32_t parts[6] = {};
    for (int i = 0; i < 4; ++i) parts[i] = static_cast<std::uint32_t>(value >> (32 * i));
    if (bit != 0) {
      for (int i = 5; i > 0; --i) parts[i] = (parts[i] << bit) | (parts[i - 1] >> (32 - bit));
      parts[0] <<= bit;
    }
    if (limbs_.size() < limb + 7) limbs_.resize(limb + 7, 0);
    std::uint64_t carry = 0;
    for (std::size_t i = limb; i < limbs_.size(); ++i) {
      const std::uint64_t sum = std::uint64_t{limbs_[i]} + (i - limb < 6 ? parts[i - limb] : 0) + carry;
      limbs_[i] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
      if (i - limb >= 6 && carry == 0) break;
    }
  }

  friend int Compare(const TBig& a, const TBig& b) {
    const std::size_t n = std::max(a.limbs_.size(), b.limbs_.size());
    for (std::size_t i = n; i-- > 0;) {
      const std::uint32_t x = i < a.limbs_.size() ? a.limbs_[i] : 0;
      const std::uint32_t y = i < b.limbs_.size() ? b.limbs_[i] : 0;
      if (x != y) return x < y ? -1 : 1;
    }
    return 0;
  }

private:
  std::vector<std::uint32_t> limbs_;
};

// x = Mantissa · 2^Exponent for a finite x >= 0.
struct TExact {
  std::uint64_t Mantissa;
  int Exponent;
};
TExact Split(double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const int field = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (field == 0) return {fraction, -1074};
  return {fraction | (std::uint64_t{1} << 52), field - 1075};
}

// The sign of a² + b² − m², m the midpoint of the neighbours r and n.
int CompareWithMidpoint(double a, double b, double r, double n) {
  const TExact ea = Split(a), eb = Split(b), er = Split(r), en = Split(n);
  const int low = std::min(er.Exponent, en.Exponent);
  // m = mid · 2^(low − 1)
  const unsigned __int128 mid = (static_cast<unsigned __int128>(er.Mantissa) << (er.Exponent - low)) +
                                (static_cast<unsigned __int128>(en.Mantissa) << (en.Exponent - low));
  const int base = std::min({2 * ea.Exponent, 2 * eb.Exponent, 2 * low - 2});
  TBig sum, square;
  sum.AddShifted(static_cast<unsigned __int128>(ea.Mantissa) * ea.Mantissa, 2 * ea.Exponent - base);
  sum.AddShifted(static_cast<unsigned __int128>(eb.Mantissa) * eb.Mantissa, 2 * eb.Exponent - base);
  square.AddShifted(mid * mid, 2 * low - 2 - base);
  return Compare(sum, square);
}

// Empty when r is sqrt(dx² + dy²) correctly rounded, else what is wrong.
std::string CheckRounding(double dx, double dy, double r) {
  const double a = std::fabs(dx), b = std::fabs(dy);
  if (a == 0 && b == 0) return r == 0 ? "" : "not 0";
  if (!(r > 0) || std::isinf(r)) return "not a positive finite number";
  const bool even = (std::bit_cast<std::uint64_t>(r) & 1) == 0;
  const int above = CompareWithMidpoint(a, b, r, std::nextafter(r, HUGE_VAL));
  if (above > 0 || (above == 0 && !even)) return "too small";
  const int below = CompareWithMidpoint(a, b, r, std::nextafter(r, 0.0));
  if (below < 0 || (below == 0 && !even)) return "too large";
  return "";
}

std::string Describe(double dx, double dy, double r) {
  char text[160];
  std::snprintf(text, sizeof text, "dx=%a dy=%a r=%a", dx, dy, r);
  return text;
}

// A random double with a full mantissa and the given binary exponent.
double WithExponent(std::mt19937_64& random, int exponent) {
  const std::uint64_t mantissa = (random() >> 11) | (std::uint64_t{1} << 52);
  return std::ldexp(static_cast<double>(mantissa), exponent - 52);
}

struct TRoute {
  std::string name;
  std::function<double(double x, double y, double px, double py)> distance;
};

std::vector<TRoute> Routes() {
  using TKernels = TShepardGridInterp::TKernels;
  std::vector<TRoute> routes{{"reference", &TShepardInterp::Distance}};
  for (const auto& [kernels, name] : {std::pair{TKernels::Avx2, "avx2 lanes"}, std::pair{TKernels::Avx512, "avx512 lanes"}})
    if (X86ProcessorHas(kernels))
      routes.push_back({name, [kernels](double x, double y, double px, double py) {
                          return X86KernelDistance(kernels, x, y, px, py);
                        }});
  return routes;
}

void ExpectCorrectlyRounded(const TRoute& route, double dx, double dy, int& failures) {
  const double r = route.distance(dx, dy, 0, 0);
  const std::string wrong = CheckRounding(dx, dy, r);
  if (!wrong.empty() && ++failures <= 10) ADD_FAILURE() << route.name << ", " << wrong << ": " << Describe(dx, dy, r);
}

}  // namespace

TEST(ShepardDistance, TheExactCheckItselfTellsRightFromWrong) {
  EXPECT_EQ(CheckRounding(3, 4, 5), "");
  EXPECT_EQ(CheckRounding(3, 4, std::nextafter(5.0, 0.0)), "too small");
  EXPECT_EQ(CheckRounding(3, 4, std::nextafter(5.0, 6.0)), "too large");
  EXPECT_EQ(CheckRounding(0x1p53, 0, 0x1p53), "");
  EXPECT_EQ(CheckRounding(0x1p-1074, 0, 0x1p-1074), "");
}

TEST(ShepardDistance, SpecialValues) {
  for (const TRoute& route : Routes()) {
    SCOPED_TRACE(route.name);
    const auto& distance = route.distance;
    EXPECT_EQ(distance(0, 0, 3, 4), 5.0);
    EXPECT_EQ(distance(1, 2, 1, 2), 0.0);
    EXPECT_EQ(distance(-2.5, 7, 0, 7), 2.5);
    EXPECT_TRUE(std::isnan(distance(std::nan(""), 0, 0, 0)));
    EXPECT_TRUE(std::isnan(distance(HUGE_VAL, 0, HUGE_VAL, 0)));
    EXPECT_EQ(distance(HUGE_VAL, 0, 0, 1), HUGE_VAL);
    // No overflow or underflow on the way.
    EXPECT_EQ(distance(0x1p1000 * 3, 0x1p1000 * 4, 0, 0), 0x1p1000 * 5);
    EXPECT_EQ(distance(0x1p-1000 * 3, 0x1p-1000 * 4, 0, 0), 0x1p-1000 * 5);
    EXPECT_EQ(distance(0x1p-1074 * 3, 0x1p-1074 * 4, 0, 0), 0x1p-1074 * 5);
    EXPECT_EQ(distance(std::numeric_limits<double>::max(), 1, 0, 0), std::numeric_limits<double>::max());
  }
}

TEST(ShepardDistance, RandomPairsAreCorrectlyRounded) {
  const std::vector<TRoute> routes = Routes();
  std::mt19937_64 random(11);
  int failures = 0;
  for (int i = 0; i < 200000; ++i) {
    // Mostly exponents close together (where the square sum needs every bit),
    // some far apart, over the whole range from subnormal to huge.
    const int e1 = static_cast<int>(random() % 2000) - 1070;
    const int spread = i % 4 == 0 ? static_cast<int>(random() % 200) : static_cast<int>(random() % 30);
    const int e2 = std::max(e1 - spread, -1074);
    double dx = WithExponent(random, e1), dy = WithExponent(random, e2);
    if (random() & 1) std::swap(dx, dy);
    if (random() & 1) dx = -dx;
    for (const TRoute& route : routes) ExpectCorrectlyRounded(route, dx, dy, failures);
  }
  EXPECT_EQ(failures, 0);
}

TEST(ShepardDistance, DifferencesOfMapPositionsAreCorrectlyRounded) {
  // As the interpolator meets them: a pixel's position against a sample's
  // single-precision position a few hundred metres away.
  const std::vector<TRoute> routes = Routes();
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> lon(8, 10), lat(47, 48), offset(-0.01, 0.01);
  int failures = 0;
  for (int i = 0; i < 100000; ++i) {
    const double x = lon(random), y = lat(random);
    const float px = static_cast<float>(x + offset(random)), py = static_cast<float>(y + offset(random));
    for (const TRoute& route : routes) {
      const double r = route.distance(x, y, px, py);
      const std::string wrong = CheckRounding(x - px, y - py, r);
      if (!wrong.empty() && ++failures <= 10)
        ADD_FAILURE() << route.name << ", " << wrong << ": " << Describe(x - px, y - py, r);
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(ShepardDistance, ExactTiesRoundToEven) {
  // Pythagorean triples (2mn, m² − n², m² + n²) with an odd hypotenuse of 54
  // bits: it lies exactly halfway between two doubles.
  const std::vector<TRoute> routes = Routes();
  std::mt19937_64 random(5);
  int failures = 0, ties = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t n = 67108864 + random() % 20000000;  // about 2^26
    const std::uint64_t m = n + 1 + 2 * (random() % 1000);    // other parity: the hypotenuse is odd
    const std::uint64_t a = 2 * m * n, b = m * m - n * n, c = m * m + n * n;
    if (c < (std::uint64_t{1} << 53) || c >= (std::uint64_t{1} << 54) || b >= (std::uint64_t{1} << 53)) continue;
    ++ties;
    const int scale = static_cast<int>(random() % 1200) - 600;
    const double dx = std::ldexp(static_cast<double>(a), scale), dy = std::ldexp(static_cast<double>(b), scale);
    ASSERT_EQ(std::ldexp(dx, -scale), static_cast<double>(a));
    // The even neighbour of the odd hypotenuse.
    const std::uint64_t even = (c + 1) % 4 == 0 ? c + 1 : c - 1;
    for (const TRoute& route : routes) {
      ExpectCorrectlyRounded(route, dx, dy, failures);
      if (failures == 0) {
        ASSERT_EQ(route.distance(dx, dy, 0, 0), std::ldexp(static_cast<double>(even), scale)) << route.name;
      }
    }
  }
  EXPECT_GT(ties, 5000);
  EXPECT_EQ(failures, 0);
}

TEST(ShepardDistance, NearTiesAreCorrectlyRounded) {
  // With dy far smaller than dx the root lies just above dx by about dy² / 2dx;
  // dy chosen so that this is half an ulp of dx puts it right next to a midpoint.
  const std::vector<TRoute> routes = Routes();
  std::mt19937_64 random(7);
  int failures = 0;
  for (int i = 0; i < 20000; ++i) {
    const int exponent = static_cast<int>(random() % 1600) - 800;
    const double dx = WithExponent(random, exponent);
    const double halfUlp = std::ldexp(1.0, exponent - 53);
    const double centre = std::sqrt(2 * (halfUlp / dx)) * dx;
    for (const TRoute& route : routes) {
      for (double d = centre, k = 0; k < 6; ++k, d = std::nextafter(d, HUGE_VAL))
        ExpectCorrectlyRounded(route, dx, d, failures);
      for (double d = centre, k = 0; k < 6; ++k, d = std::nextafter(d, 0.0)) ExpectCorrectlyRounded(route, dx, d, failures);
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(ShepardDistance, RootsBesideAPowerOfTwoAreCorrectlyRounded) {
  // Where the root lies next to a power of two the doubles below it are twice as
  // close as those above: roots a few quarter ulps either side of 2^k, from dx a
  // few doubles below it and dy small.
  const std::vector<TRoute> routes = Routes();
  std::mt19937_64 random(13);
  int failures = 0;
  for (int i = 0; i < 4000; ++i) {
    const int k = static_cast<int>(random() % 1600) - 800;
    const double power = std::ldexp(1.0, k), quarterUlp = std::ldexp(1.0, k - 54);
    const double dx = power - static_cast<double>(1 + random() % 4) * 2 * quarterUlp;
    for (int quarters = -3; quarters <= 3; ++quarters) {
      // dy² = R² − dx² = (R − dx)(R + dx) for the root R wanted.
      const double gap = power + quarters * quarterUlp - dx;
      if (gap <= 0) continue;
      const double centre = std::sqrt(gap) * std::sqrt(2 * power);
      for (const TRoute& route : routes) {
        for (double d = centre, s = 0; s < 3; ++s, d = std::nextafter(d, HUGE_VAL))
          ExpectCorrectlyRounded(route, dx, d, failures);
        for (double d = centre, s = 0; s < 3; ++s, d = std::nextafter(d, 0.0)) ExpectCorrectlyRounded(route, dx, d, failures);
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(ShepardDistance, TheRoundedSquareSumMissesOnManyPairs) {
  // Why the exact square sum: sqrt(dx*dx + dy*dy) in doubles is off by an ulp on
  // a good share of ordinary pairs, where the interpolator is not.
  std::mt19937_64 random(9);
  std::uniform_real_distribution<double> unit(-0.01, 0.01);
  int naiveWrong = 0;
  for (int i = 0; i < 10000; ++i) {
    const double dx = unit(random), dy = unit(random);
    if (!CheckRounding(dx, dy, std::sqrt(dx * dx + dy * dy)).empty()) ++naiveWrong;
    ASSERT_EQ(CheckRounding(dx, dy, TShepardInterp::Distance(dx, dy, 0, 0)), "") << Describe(dx, dy, 0);
  }
  EXPECT_GT(naiveWrong, 500);
}
