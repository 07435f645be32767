#include "platform/NumberText.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/CommaLocale.h"

namespace {

struct GeneralCase {
  double value;
  int digits;
  const char* text;
};

const GeneralCase kGeneralCases[] = {
    {0, 15, "0"},
    {-0.0, 15, "0"},
    {0.04, 15, "0.04"},
    {0.00005, 15, "5E-5"},
    {0.0001, 15, "0.0001"},
    {5.25, 15, "5.25"},
    {10.0, 15, "10"},
    {-0.25, 15, "-0.25"},
    {123.45, 15, "123.45"},
    {2500, 15, "2500"},
    {1.0, 15, "1"},
    {0.1, 15, "0.1"},
    {1e15, 15, "1E15"},
    {999999999999999.0, 15, "999999999999999"},
    {-1.5e20, 15, "-1.5E20"},
    {47.123456789012345, 15, "47.1234567890123"},
    {1234.5, 3, "1.23E3"},
    {999.96, 3, "1E3"},
    {2500, 3, "2.5E3"},
    {12.34, 3, "12.3"},
};

TEST(NumberText, GeneralFormat) {
  for (const auto& c : kGeneralCases)
    EXPECT_EQ(numtext::FormatGeneral(c.value, c.digits), c.text) << c.value << " with " << c.digits;
  EXPECT_EQ(numtext::FormatGeneral(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(numtext::FormatGeneral(-std::numeric_limits<double>::infinity()), "-INF");
}

struct FixedCase {
  double value;
  int decimals;
  const char* text;
};

const FixedCase kFixedCases[] = {
    {12.25, 1, "12.3"},   {-3, 1, "-3.0"},        {-0.25, 1, "-0.3"},  {0.05, 1, "0.1"},
    {0.04, 1, "0.0"},     {-0.04, 1, "0.0"},      {999.96, 1, "1000.0"}, {47.5, 6, "47.500000"},
    {2.675, 2, "2.68"},   {0.5, 0, "1"},          {1.5, 0, "2"},       {2.5, 0, "3"},
    {-12.5, 6, "-12.500000"}, {30.0, 5, "30.00000"}, {0, 6, "0.000000"}, {1234567.891, 1, "1234567.9"},
};

TEST(NumberText, FixedFormatRoundsHalvesAwayFromZero) {
  for (const auto& c : kFixedCases)
    EXPECT_EQ(numtext::FormatFixed(c.value, c.decimals), c.text) << c.value << " with " << c.decimals;
}

TEST(NumberText, Parsing) {
  struct Case {
    const char* text;
    double value;
  };
  // One sign in front, '-' or '+' (flight loggers write "+008.5155383").
  for (const Case& c : {Case{"12.5", 12.5}, Case{"-3", -3.0}, Case{"5E-5", 5e-5}, Case{"1.23e3", 1230.0},
                        Case{"+008.5155383", 8.5155383}, Case{"+47.5", 47.5}, Case{"+1E+2", 100.0},
                        Case{"+.5", 0.5}, Case{"-.5", -0.5}})
    EXPECT_EQ(numtext::ParseDouble(c.text), c.value) << '"' << c.text << '"';
  for (const char* bad : {"", "12,5", " 1", "1 ", "abc", "inf", "nan", "1e", "0x10", "1.2.3", "+", "-", "++1", "+-1",
                          "-+1", "--1", "+ 1", " +1", "1+", "+inf", "+nan", "1e++2"})
    EXPECT_FALSE(numtext::ParseDouble(bad).has_value()) << '"' << bad << '"';
  EXPECT_EQ(numtext::ParseInt("-42"), -42);
  EXPECT_EQ(numtext::ParseInt("+42"), 42);
  for (const char* bad : {"4.2", "", "+", "++4", "+-4", "-+4", "+ 4", "4+"})
    EXPECT_FALSE(numtext::ParseInt(bad).has_value()) << '"' << bad << '"';
}

TEST(NumberText, ManySignificantDigitsAreTheExactExpansion) {
  // 0.1 is 0.1000000000000000055511151231257827021181583404541015625 exactly;
  // asking for more digits than a buffer of 64 holds must neither overrun nor cut.
  EXPECT_EQ(numtext::FormatGeneral(0.1, 59), "0.1000000000000000055511151231257827021181583404541015625");
  EXPECT_EQ(numtext::FormatGeneral(0.1, 100000), "0.1000000000000000055511151231257827021181583404541015625");
  const std::string huge = numtext::FormatGeneral(std::numeric_limits<double>::max(), 400);
  EXPECT_EQ(huge.size(), 309u);
  EXPECT_EQ(huge.substr(0, 20), "17976931348623157081");
  EXPECT_EQ(numtext::ParseDouble(huge), std::numeric_limits<double>::max());
  const std::string tiny = numtext::FormatGeneral(std::numeric_limits<double>::denorm_min(), 800);
  EXPECT_EQ(tiny.substr(0, 12), "4.9406564584");
  EXPECT_EQ(numtext::ParseDouble(tiny), std::numeric_limits<double>::denorm_min());
}

TEST(NumberText, NumbersAtTheEndsOfTheRangeReadBack) {
  constexpr double kMax = std::numeric_limits<double>::max();
  const double extremes[] = {kMax,
                             -kMax,
                             std::nextafter(kMax, 0.0),
                             1.7976931348623e308,
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::denorm_min(),
                             1e-320};
  for (const double value : extremes) {
    for (int digits : {1, 2, 6, 15, 16}) {
      const std::string text = numtext::FormatGeneral(value, digits);
      const auto back = numtext::ParseDouble(text);
      ASSERT_TRUE(back.has_value()) << text;
      EXPECT_LE(std::fabs(*back - value), std::fabs(value) * std::pow(10.0, 1 - digits)) << text;
    }
    EXPECT_EQ(numtext::ParseDouble(numtext::FormatGeneral(value, 17)), value);
    const std::string fixed = numtext::FormatFixed(value, 2);
    EXPECT_TRUE(numtext::ParseDouble(fixed).has_value()) << fixed;
  }
  // Rounding up would give 1.79769313486232E308, beyond the range: the digits
  // round towards zero there instead.
  EXPECT_EQ(numtext::FormatGeneral(kMax), "1.79769313486231E308");
  EXPECT_EQ(numtext::FormatGeneral(-kMax, 1), "-1E308");
  EXPECT_EQ(numtext::FormatGeneral(1.7976931348623e308), "1.7976931348623E308");
}

TEST(NumberText, IgnoresACommaLocale) {
  REQUIRE_COMMA_LOCALE(german);
  EXPECT_EQ(numtext::FormatGeneral(12.5), "12.5");
  EXPECT_EQ(numtext::FormatFixed(12.25, 1), "12.3");
  EXPECT_EQ(numtext::ParseDouble("12.5"), 12.5);
  EXPECT_FALSE(numtext::ParseDouble("12,5").has_value());
}

}  // namespace
