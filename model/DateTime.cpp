#include "model/DateTime.h"

// Howard Hinnant's algorithms: eras of 400 years of 146097 days, each year
// counted from 1 March so that the leap day ends it.

TCivilDate CivilFromDays(std::int64_t days) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  TCivilDate date;
  date.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  date.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  date.Year = yoe + era * 400 + (date.Month <= 2 ? 1 : 0);
  return date;
}

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}
