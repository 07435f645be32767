// Numbers shown in the windows.

#include <gtest/gtest.h>

#include "app/logic/WindowNumbers.h"

// ---- numbers in the window ------------------------------------------------------------------

TEST(LocaleFixed, RoundsOnceAtThePrecisionOrTheDecimals) {
  struct TCase {
    double value;
    int decimals;
    const char* text;
  };
  const TCase cases[] = {
      {12.34, 1, "12.3"},     {12.25, 1, "12.3"},     {0, 1, "0.0"},         {999.96, 1, "1000.0"},
      {1234.56, 1, "1235.0"}, {9999.4, 1, "9999.0"},  {12345.6, 1, "1.235E4"}, {9999.96, 1, "1E4"},
      {6.0, 2, "6.00"},       {123.456, 2, "123.50"}, {0.125, 2, "0.13"},
  };
  for (const TCase& c : cases) EXPECT_EQ(LocaleFixed(c.value, c.decimals), c.text) << c.value;

  SetDecimalSeparatorSource([] { return std::string(","); });
  EXPECT_EQ(LocaleFixed(1234.56, 1), "1235,0");
  EXPECT_EQ(LocaleGeneral(0.000125), "0,000125");
  SetDecimalSeparatorSource({});
  EXPECT_EQ(LocaleGeneral(0.5), "0.5");
}

