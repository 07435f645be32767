// ISO 8601 times as GPX and KML files write them.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/GPXFile.h"
#include "lib/verAziruzi/XpExcept.h"
#include "model/DateTime.h"
#include "platform/NumberText.h"

namespace {

bool IsLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(std::int64_t y, std::int64_t m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

[[noreturn]] void Fail(const std::string& message) { throw EConvertError(XpUtf8ToWide(message)); }

double EncodeDate(std::int64_t y, std::int64_t m, std::int64_t d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) Fail("Invalid argument to date encode");
  return static_cast<double>(DaysFromCivil(y, static_cast<int>(m), static_cast<int>(d)) + kUnixEpochDay);
}

double EncodeTime(std::int64_t h, std::int64_t n, std::int64_t s, std::int64_t ms) {
  if (h < 0 || h > 23 || n < 0 || n > 59 || s < 0 || s > 59 || ms < 0 || ms > 999)
    Fail("Invalid argument to time encode");
  return static_cast<double>(((h * 60 + n) * 60 + s) * 1000 + ms) / 86400000.0;
}

double EncodeDateDay(std::int64_t y, std::int64_t dayOfYear) {
  if (y < 1 || y > 9999 || dayOfYear < 1 || dayOfYear > (IsLeapYear(y) ? 366 : 365))
    Fail("(" + std::to_string(y) + ", " + std::to_string(dayOfYear) + ") is not a valid DateDay pair");
  return EncodeDate(y, 1, 1) + static_cast<double>(dayOfYear - 1);
}

// ISO 8601 weeks: week 1 holds the year's first Thursday; Monday is day 1.
double EncodeDateWeek(std::int64_t y, std::int64_t week, std::int64_t day) {
  const auto fail = [&] {
    Fail("(" + std::to_string(y) + ", " + std::to_string(week) + ", " + std::to_string(day) +
         ") is not a valid DateWeek triplet");
  };
  if (y < 1 || y > 9999 || day < 1 || day > 7 || week < 1) fail();
  const std::int64_t jan1 = DaysFromCivil(y, 1, 1);
  const int jan1Weekday = static_cast<int>(((jan1 % 7) + 7 + 3) % 7) + 1;  // 1970-01-01 was a Thursday
  const int weeks = jan1Weekday == 4 || (jan1Weekday == 3 && IsLeapYear(y)) ? 53 : 52;
  if (week > weeks) fail();
  const std::int64_t jan4 = jan1 + 3;
  const int jan4Weekday = static_cast<int>(((jan4 % 7) + 7 + 3) % 7) + 1;
  const std::int64_t monday1 = jan4 - (jan4Weekday - 1);
  return static_cast<double>(monday1 + (week - 1) * 7 + (day - 1) + kUnixEpochDay);
}

std::int64_t IntOr(std::string_view text, std::int64_t fallback) {
  const std::optional<std::int64_t> value = numtext::ParseInt(text);
  return value ? *value : fallback;
}

double FractionOr0(std::string_view digits) {
  const std::optional<double> value = numtext::ParseDouble("0" + std::string(digits));
  return value ? *value : 0.0;
}

void DropLeading(std::string& text, char c) {
  if (!text.empty() && text.front() == c) text.erase(0, 1);
}

// The second part of "ww-d" or "mm-dd" (the '-' optional): 1 when absent or
// not a number.
std::int64_t PartAfterTwoOr1(const std::string& text) {
  if (text.size() <= 2) return 1;
  std::string part = text.substr(2);
  DropLeading(part, '-');
  return IntOr(part, 1);
}

}  // namespace

namespace {

// The digits at [at, at + count) of text as a number; -1 when one is no digit.
std::int64_t Digits(std::string_view text, std::size_t at, std::size_t count) {
  std::int64_t value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "YYYY-MM-DDThh:mm:ssZ" or "YYYY-MM-DDThh:mm:ss.sssZ", as loggers write a
// point's time, read as the general rules below read it; nothing for any other text.
std::optional<TDateTime> CommonUtcTime(std::string_view text) {
  if (text.size() != 20 && text.size() != 24) return std::nullopt;
  if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' || text.back() != 'Z')
    return std::nullopt;
  if (text.size() == 24 && text[19] != '.') return std::nullopt;
  const std::int64_t year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const std::int64_t hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) return std::nullopt;
  std::int64_t millisecond = 0;
  if (text.size() == 24) {
    if (Digits(text, 20, 3) < 0) return std::nullopt;
    millisecond = static_cast<std::int64_t>(FractionOr0(text.substr(19, 4)) * 1000);
  }
  const double date = EncodeDate(year, month, day);
  const double time = EncodeTime(hour, minute, second, millisecond);
  const double offset = 0;
  return date + time + offset;
}

}  // namespace

TDateTime TGPXFile::ISO8601ToDateTime(std::string_view Value) {
  if (const std::optional<TDateTime> common = CommonUtcTime(Value)) return *common;
  if (Value.size() < 8) return 0;
  const std::string text(XpTrimXmlWhitespace(Value));

  std::size_t split = text.find('T');
  if (split == std::string::npos) split = text.find(' ');
  const std::string datePart = text.substr(0, split);
  std::string timePart = split == std::string::npos ? std::string() : text.substr(split + 1);
  if (datePart.size() < 4) return 0;

  std::string zone;
  if (const auto z = timePart.find('Z'); z != std::string::npos) {
    timePart.resize(z);
    zone = "Z";
  } else if (const auto plus = timePart.find('+'); plus != std::string::npos) {
    zone = timePart.substr(plus);
    timePart.resize(plus);
  } else if (const auto minus = timePart.find('-'); minus != std::string::npos) {
    zone = timePart.substr(minus);
    timePart.resize(minus);
  }
  if (const auto comma = timePart.find(','); comma != std::string::npos) timePart[comma] = '.';

  // Date.
  const std::int64_t year = IntOr(std::string_view(datePart).substr(0, 4), 1900);
  std::string rest = datePart.substr(4);
  double date = 0;
  if (rest.empty()) {
    date = EncodeDate(year, 1, 1);
  } else {
    DropLeading(rest, '-');
    if (rest.size() == 3 && rest.front() != 'W') {
      date = EncodeDateDay(year, IntOr(rest, 1));
    } else if (!rest.empty() && rest.front() == 'W') {
      rest.erase(0, 1);
      date = EncodeDateWeek(year, IntOr(std::string_view(rest).substr(0, 2), 1), PartAfterTwoOr1(rest));
    } else {
      date = EncodeDate(year, IntOr(std::string_view(rest).substr(0, 2), 1), PartAfterTwoOr1(rest));
    }
  }

  // Time of day.
  std::int64_t hour = IntOr(std::string_view(timePart).substr(0, std::min<std::size_t>(2, timePart.size())), 0);
  std::int64_t minute = 0, second = 0, millisecond = 0;
  std::string tail = timePart.size() > 2 ? timePart.substr(2) : std::string();
  if (tail.size() >= 2) {
    DropLeading(tail, ':');
    if (!tail.empty() && tail.front() == '.') {
      const double hours = FractionOr0(tail) * 60;
      minute = static_cast<std::int64_t>(hours);
      const double seconds = (hours - minute) * 60;
      second = static_cast<std::int64_t>(seconds);
      millisecond = static_cast<std::int64_t>((seconds - second) * 1000);
    } else {
      minute = IntOr(std::string_view(tail).substr(0, 2), 0);
      tail = tail.size() > 2 ? tail.substr(2) : std::string();
      if (tail.size() >= 2) {
        DropLeading(tail, ':');
        if (!tail.empty() && tail.front() == '.') {
          const double seconds = FractionOr0(tail) * 60;
          second = static_cast<std::int64_t>(seconds);
          millisecond = static_cast<std::int64_t>((seconds - second) * 1000);
        } else {
          second = IntOr(std::string_view(tail).substr(0, 2), 0);
          tail = tail.size() > 2 ? tail.substr(2) : std::string();
          if (tail.size() >= 2 && tail.front() == '.')
            millisecond = static_cast<std::int64_t>(FractionOr0(tail) * 1000);
        }
      }
    }
  }
  const double time = EncodeTime(hour, minute, second, millisecond);

  // Zone: the result is UTC.
  double offset = 0;
  if (zone.size() >= 3) {
    std::string z = zone.substr(1);
    const std::int64_t offsetHours = IntOr(std::string_view(z).substr(0, 2), 0);
    std::int64_t offsetMinutes = 0;
    if (z.size() > 2) {
      std::string minutes = z.substr(2);
      DropLeading(minutes, ':');
      offsetMinutes = IntOr(minutes, 0);
    }
    offset = EncodeTime(offsetHours, offsetMinutes, 0, 0);
    if (zone.front() == '+') offset = -offset;
  }
  return date + time + offset;
}
