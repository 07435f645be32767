#include "model/GPS.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/DateTime.h"
#include "platform/NumberText.h"

namespace {

constexpr double kEarthRadius = 6378137.0;
constexpr double kDegToRad = std::numbers::pi / 180.0;

std::string Hemisphere(double value, int decimals, const char* positive, const char* negative) {
  return numtext::FormatFixed(std::fabs(value), decimals) + (value >= 0 ? positive : negative);
}

// Whole degrees, then the minutes; the minutes are not carried into the degrees
// and may read 60.00000.
std::string DegreesMinutes(double value, const char* positive, const char* negative) {
  const double d = std::fabs(value);
  const double whole = std::trunc(d);
  return numtext::FormatFixed(whole, 0) + "," + numtext::FormatFixed((d - whole) * 60, 5) +
         (value >= 0 ? positive : negative);
}

std::string TwoDigits(long long v) {
  std::string digits = numtext::FormatInt(v);
  if (v < 10) digits.insert(digits.begin(), '0');
  return digits;
}

constexpr long long kMillisecondsPerDay = 86400000;
// The range of a day count that names a date in years 1 to 9999.
constexpr double kFirstDay = -693593.0;
constexpr double kDayAfterLast = 2958466.0;

}  // namespace

double MaxDouble(double A, double B) { return A > B ? A : B; }
double MinDouble(double A, double B) { return A < B ? A : B; }

// ---- TPoint4D2 -----------------------------------------------------------

void TPoint4D2::CopyFrom(const TPoint4D2& Point4D) {
  const std::uint8_t level = Level;
  const bool wasEnabled = enabled;
  TPoint4D2::operator=(Point4D);
  Level = level;
  enabled = wasEnabled;
}

double TPoint4D2::WGS84Distance(double lon, double lat, bool Almostnul) const {
  const double phi1 = Latitude * kDegToRad;
  const double lambda1 = Longitude * kDegToRad;
  const double phi2 = lat * kDegToRad;
  const double lambda2 = lon * kDegToRad;
  if (lambda1 == lambda2 && phi1 == phi2) return 0;

  const double a = std::sin(phi1) * std::sin(phi2);
  const double b = std::cos(phi1) * std::cos(phi2) * std::cos(lambda2 - lambda1);
  const double cosAngle = a + b;
  const double tested = Almostnul ? std::nearbyint(cosAngle * 100000000) / 100000000 : cosAngle;
  if (tested == 1.0) return 0;
  // Nearly coincident (or antipodal) points can round the cosine past 1 (or -1),
  // where it has no arc cosine; the bound is the distance they are at.
  return std::acos(std::clamp(cosAngle, -1.0, 1.0)) * kEarthRadius;
}

double TPoint4D2::WGS84Distance(const TPoint4D2& Point4D, bool Almostnul) const {
  return WGS84Distance(Point4D.Longitude, Point4D.Latitude, Almostnul);
}

bool TPoint4D2::IsInBox(double E, double O, double S, double N) const {
  return MinDouble(S, N) < Latitude && Latitude < MaxDouble(S, N) && MinDouble(E, O) < Longitude &&
         Longitude < MaxDouble(E, O);
}

std::string TPoint4D2::LatitudeStr() const { return Hemisphere(Latitude, 6, "\u00B0 N", "\u00B0 S"); }
std::string TPoint4D2::LongitudeStr() const { return Hemisphere(Longitude, 6, "\u00B0 E", "\u00B0 W"); }
std::string TPoint4D2::LatitudeOZStr() const { return DegreesMinutes(Latitude, ",N", ",S"); }
std::string TPoint4D2::LongitudeOZStr() const { return DegreesMinutes(Longitude, ",E", ",W"); }
std::string TPoint4D2::Lat() const { return numtext::FormatFixed(Latitude, 6); }
std::string TPoint4D2::Lon() const { return numtext::FormatFixed(Longitude, 6); }
std::string TPoint4D2::AltitudeStr() const { return numtext::FormatFixed(Altitude, 1) + " m"; }
std::string TPoint4D2::Coord() const { return LatitudeStr() + ", " + LongitudeStr(); }

std::string TPoint4D2::DateTimeStr() const {
  if (DateTime == 0) return "";
  if (!(DateTime >= kFirstDay && DateTime < kDayAfterLast)) return "";  // no calendar date
  // The whole days name the date; the fraction, whatever the sign, the time of day.
  long long days = static_cast<long long>(std::trunc(DateTime));
  long long ms = std::llround(std::fabs(DateTime - std::trunc(DateTime)) * kMillisecondsPerDay);
  if (ms >= kMillisecondsPerDay) {  // rounded up to the next midnight
    ms -= kMillisecondsPerDay;
    days += DateTime < 0 ? -1 : 1;
  }
  const TCivilDate date = CivilFromDays(days - kUnixEpochDay);
  std::string text = numtext::FormatInt(date.Year) + "-" + TwoDigits(date.Month) + "-" + TwoDigits(date.Day);
  if (ms == 0) return text;
  const long long seconds = ms / 1000;
  return text + " " + TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
}

// ---- TBBox ---------------------------------------------------------------

void TBBox::Clear() {
  N = S = E = O = 0;
  Rx = Ry = 0;
  Complete = false;
}

void TBBox::Copy(const TBBox& BBox) {
  const bool complete = Complete;
  *this = BBox;
  Complete = complete;
}

void TBBox::Add(const TBBox& BBox) {
  if (!Complete) {
    Copy(BBox);
  } else {
    N = MaxDouble(N, BBox.N);
    S = MinDouble(S, BBox.S);
    E = MaxDouble(E, BBox.E);
    O = MinDouble(O, BBox.O);
  }
  if (N != 0 && S != 0 && E != 0 && O != 0) Complete = true;
}

std::unique_ptr<TPoint4D2> TBBox::GetCenter() const {
  auto center = std::make_unique<TPoint4D2>();
  center->Latitude = S + (N - S) / 2;
  center->Longitude = O + (E - O) / 2;
  return center;
}

// ---- TPointList2 ---------------------------------------------------------

void TPointList2::SetEnabled(bool value) {
  penabled = value;
  for (TPoint4D2& point : *this) point.enabled = value;
}

void TPointList2::CalcBBox(bool Reset) { CalcBBoxFromTo(0, Count() - 1, Reset); }

void TPointList2::CalcBBoxFromTo(int pFrom, int pTo, bool Reset) {
  BBox.Complete = false;
  if (Count() < 2) return;
  CheckIndex(pFrom);
  CheckIndex(pTo);

  int start = pFrom;
  double n, s, e, o;
  if (Reset) {
    // The search for the first enabled point goes up to pTo itself, so a range
    // whose only enabled point is its last still gets a box.
    while (!GetPoint(start)->enabled && start < pTo) ++start;
    const TPoint4D2& first = *GetPoint(start);
    if (!first.enabled) return;
    n = s = first.Latitude;
    e = o = first.Longitude;
  } else {
    n = BBox.N;
    s = BBox.S;
    e = BBox.E;
    o = BBox.O;
  }
  for (int i = start; i <= pTo; ++i) {
    const TPoint4D2& p = *GetPoint(i);
    if (!p.enabled) continue;
    n = MaxDouble(n, p.Latitude);
    s = MinDouble(s, p.Latitude);
    e = MaxDouble(e, p.Longitude);
    o = MinDouble(o, p.Longitude);
  }
  BBox.N = n;
  BBox.S = s;
  BBox.E = e;
  BBox.O = o;
  BBox.Complete = true;
}

int TPointList2::FindClosestIndex(double lon, double lat) const {
  double best = 2147483647.0;
  int index = -1;
  for (int i = 0; i < Count(); ++i) {
    const double d = GetPoint(i)->WGS84Distance(lon, lat, false);
    if (d < best) {
      best = d;
      index = i;
    }
  }
  return index;
}

TPoint4D2* TPointList2::FindClosestPoint(double lon, double lat) const {
  const int index = FindClosestIndex(lon, lat);
  return index < 0 ? nullptr : GetPoint(index);
}

TPoint4D2* TPointList2::FindFurtherPoint(double lon, double lat) const {
  double best = 0.0;
  int index = -1;
  for (int i = 0; i < Count(); ++i) {
    const double d = GetPoint(i)->WGS84Distance(lon, lat, false);
    if (d > best) {
      best = d;
      index = i;
    }
  }
  return index < 0 ? nullptr : GetPoint(index);
}

double TPointList2::GetSpeedOf(const TPoint4D2* point) const {
  const int i = IndexOf(point);
  if (i < 1) return -1.0;
  const TPoint4D2& before = *GetPoint(i - 1);
  if (before.DateTime == 0 || point->DateTime == 0) return -1.0;
  const double d = before.WGS84Distance(*point, false);
  const double t = std::fabs(point->DateTime - before.DateTime);
  if (t == 0) return -1.0;
  return (d / 1000) / (t * 24);
}

void TPointList2::SortByDate() { Sort(ComparePointsByDate); }

int ComparePointsByDate(const TPoint4D2& Item1, const TPoint4D2& Item2) {
  if (Item1.DateTime > Item2.DateTime) return 1;
  if (Item1.DateTime < Item2.DateTime) return -1;
  return 0;
}
