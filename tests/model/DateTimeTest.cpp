#include <cstdint>

#include <gtest/gtest.h>

#include "model/DateTime.h"

namespace {

TEST(DateTime, KnownDaysAndTheirDates) {
  struct Case {
    std::int64_t days;  // from 1 January 1970
    TCivilDate date;
  };
  const Case cases[] = {
      {0, {1970, 1, 1}},          {-1, {1969, 12, 31}},     {-kUnixEpochDay, {1899, 12, 30}},
      {59, {1970, 3, 1}},         {11016, {2000, 2, 29}},   {11017, {2000, 3, 1}},
      {-25508, {1900, 3, 1}},     {-719162, {1, 1, 1}},     {2932896, {9999, 12, 31}},
      {-719468, {0, 3, 1}},       {-719469, {0, 2, 29}},    {15492, {2012, 6, 1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CivilFromDays(c.days), c.date) << c.days;
    EXPECT_EQ(DaysFromCivil(c.date.Year, c.date.Month, c.date.Day), c.days) << c.days;
  }
}

TEST(DateTime, EveryDayOfFourCenturiesGoesThereAndBack) {
  TCivilDate previous = CivilFromDays(-146097 - 1);
  for (std::int64_t days = -146097; days <= 146097; ++days) {
    const TCivilDate date = CivilFromDays(days);
    ASSERT_EQ(DaysFromCivil(date.Year, date.Month, date.Day), days);
    // The next day follows the one before.
    const bool nextDay = date.Day == previous.Day + 1 && date.Month == previous.Month && date.Year == previous.Year;
    const bool nextMonth = date.Day == 1 && (date.Month == previous.Month + 1 || (date.Month == 1 && previous.Month == 12));
    ASSERT_TRUE(nextDay || nextMonth) << days;
    previous = date;
  }
}

}  // namespace
