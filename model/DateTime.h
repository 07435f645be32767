#pragma once

#include <cstdint>

// The proleptic Gregorian calendar of the day counts: a TDateTime counts days
// from 30 December 1899, its fraction is the time of day.

// 1 January 1970 as a day count.
inline constexpr std::int64_t kUnixEpochDay = 25569;

struct TCivilDate {
  std::int64_t Year = 0;
  int Month = 0;  // 1 to 12
  int Day = 0;    // 1 to 31
  bool operator==(const TCivilDate&) const = default;
};

// Days from 1 January 1970 to a date, and back; any year, with no range check.
TCivilDate CivilFromDays(std::int64_t days);
std::int64_t DaysFromCivil(std::int64_t year, int month, int day);
