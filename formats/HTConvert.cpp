#include "formats/HTConvert.h"

#include <time.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "lib/verAziruzi/XpBase.h"
#include "model/DateTime.h"
#include "platform/MathErrors.h"
#include "platform/NumberText.h"
#include "platform/SafeFile.h"

namespace {

// The device's sphere and its centric latitude factor, bit for bit as the device
// software has them; pi in 80-bit extended precision.
constexpr long double kRadius = 6378388.0L;
constexpr long double kCentric = std::bit_cast<double>(std::uint64_t{0x3FEFC8F5809EBDE7});
constexpr long double kPi = 3.14159265358979323851L;
constexpr long double kPiQuarter = 0.785398163397448309628L;
constexpr long double kHalfCircumference = 20038297.0L;  // pi * R in whole metres
constexpr long double kSecondsPerDay = 86400.0L;

// The header's fields by their offsets from the start of the file; every
// number is big-endian, the positions signed 32-bit metres.
constexpr std::size_t kMagicAt = 0;           // two bytes, kMagic
constexpr std::uint8_t kMagic[2] = {0x01, 0x03};
constexpr std::size_t kEntryCountAt = 8;      // 16 bits: the start position plus the records
constexpr std::size_t kCreationTimeAt = 12;   // 32 bits: seconds since 1970, local wall clock
constexpr std::size_t kStartEastingAt = 16;   // the first point of the track
constexpr std::size_t kStartNorthingAt = 20;
constexpr std::size_t kLastEastingAt = 24;    // the last point written
constexpr std::size_t kLastNorthingAt = 28;
constexpr std::size_t kMinLonEastingAt = 32;  // the box of the points written
constexpr std::size_t kMinLatNorthingAt = 36;
constexpr std::size_t kMaxLonEastingAt = 40;
constexpr std::size_t kMaxLatNorthingAt = 44;
constexpr std::size_t kNameAt = 48;           // THTConvert::kNameLength bytes, the rest zero
static_assert(kNameAt + THTConvert::kNameLength == THTConvert::kHeaderSize, "the records follow the name");

// A record's fields by their offsets from its start: 16 bits each.
constexpr std::size_t kRecordEastingStepAt = 0;   // signed
constexpr std::size_t kRecordNorthingStepAt = 2;  // signed
constexpr std::size_t kRecordDepthAt = 4;         // unsigned whole centimetres

// The end records, in this order, after the points of every segment.
struct TRecord {
  std::int16_t dE;
  std::int16_t dN;
  std::uint16_t depth;
  bool operator==(const TRecord&) const = default;
};
constexpr TRecord kEndRecords[3] = {{0x7FFF, 0x7FFF, 0}, {-0x8000, -0x8000, 0}, {0, 0, 0}};

double Checked(long double value) {
  if (!std::isfinite(value)) throw EInvalidOp();
  return static_cast<double>(value);
}

// Rounds halves to even and keeps the low 32 bits of the 64-bit result.
std::int32_t RoundToLow32(long double value) {
  const long double rounded = std::nearbyint(value);
  if (!(std::fabs(rounded) < 9.2e18L)) throw EInvalidOp();
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(rounded)));
}

void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v >> 8);
  out[at + 1] = static_cast<std::uint8_t>(v);
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  PutU16(out, at, static_cast<std::uint16_t>(v >> 16));
  PutU16(out, at + 2, static_cast<std::uint16_t>(v));
}

void PutRecord(std::vector<std::uint8_t>& out, int entry, const TRecord& r) {
  const std::size_t at = THTConvert::kHeaderSize + static_cast<std::size_t>(entry - 1) * THTConvert::kRecordSize;
  PutU16(out, at + kRecordEastingStepAt, static_cast<std::uint16_t>(r.dE));
  PutU16(out, at + kRecordNorthingStepAt, static_cast<std::uint16_t>(r.dN));
  PutU16(out, at + kRecordDepthAt, r.depth);
}

std::uint16_t GetU16(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>((in[at] << 8) | in[at + 1]);
}

std::uint32_t GetU32(std::span<const std::uint8_t> in, std::size_t at) {
  return (static_cast<std::uint32_t>(GetU16(in, at)) << 16) | GetU16(in, at + 2);
}

TRecord GetRecord(std::span<const std::uint8_t> in, std::size_t index) {
  const std::size_t at = THTConvert::kHeaderSize + index * THTConvert::kRecordSize;
  return {static_cast<std::int16_t>(GetU16(in, at + kRecordEastingStepAt)),
          static_cast<std::int16_t>(GetU16(in, at + kRecordNorthingStepAt)), GetU16(in, at + kRecordDepthAt)};
}

// The header holds one byte per UTF-16 code unit of the name, its low 8 bits.
// Bytes that are not UTF-8 count as the Latin-1 characters they would be.
std::vector<std::uint8_t> NameBytes(std::string_view utf8) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  auto push = [&out](std::uint32_t unit) {
    if (out.size() < THTConvert::kNameLength) out.push_back(static_cast<std::uint8_t>(unit));
  };
  while (i < utf8.size() && out.size() < THTConvert::kNameLength) {
    const TXpUtf8Decoded decoded = XpDecodeUtf8(utf8, i);
    if (decoded.Length == 0) {
      push(static_cast<std::uint8_t>(utf8[i]));
      ++i;
      continue;
    }
    i += decoded.Length;
    std::uint32_t cp = decoded.Code;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      push(0xD800 + (cp >> 10));
      push(0xDC00 + (cp & 0x3FF));
    } else {
      push(cp);
    }
  }
  return out;
}

void AppendLatin1(std::string& out, std::uint8_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// A segment in the order the file holds it, with its place in the caller's model.
struct TSegmentRef {
  const TGPXtrkseg* segment;
  int track;
  int index;
};

// Track 0's segments in order, then from the last track down to the second, each
// from its last segment to its first: the order in which the format's writer has
// always laid out a document, kept so that the same data gives the same file.
std::vector<TSegmentRef> FileOrder(const TGPX& gpx) {
  std::vector<TSegmentRef> order;
  const int tracks = gpx.trk.Count();
  if (tracks == 0) return order;
  const TGPXtrk& first = *gpx.trk.GetTrack(0);
  for (int s = 0; s < first.Count(); ++s) order.push_back({first.GetTrkSeg(s), 0, s});
  for (int t = tracks - 1; t >= 1; --t) {
    const TGPXtrk& track = *gpx.trk.GetTrack(t);
    for (int s = track.Count() - 1; s >= 0; --s) order.push_back({track.GetTrkSeg(s), t, s});
  }
  return order;
}

std::string PlaceOf(const TSegmentRef& ref, int point) {
  return "track " + numtext::FormatInt(ref.track + 1) + ", segment " + numtext::FormatInt(ref.index + 1) +
         ", point " + numtext::FormatInt(point + 1);
}

THTConvert::TEncoded Refuse(std::string reason) { return {{}, std::move(reason)}; }

}  // namespace

TDateTime LocalNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  const long double seconds = static_cast<long double>(now.tv_sec) + static_cast<long double>(local.tm_gmtoff) +
                              static_cast<long double>(now.tv_nsec) / 1e9L;
  return static_cast<TDateTime>(seconds / kSecondsPerDay + static_cast<long double>(kUnixEpochDay));
}

THTConvert::THTConvert(TGPX* GPX, std::string TrackName, std::string FileName, THTClock clock)
    : GPXdata(GPX),
      sTrackName(std::move(TrackName)),
      sFileName(std::move(FileName)),
      fClock(clock ? std::move(clock) : THTClock(LocalNow)) {}

double THTConvert::GeodeticToCentric(double lat) {
  return Checked(std::atan(kCentric * std::tan(lat * kPi / 180)) * 180 / kPi);
}

double THTConvert::CentricToGeodetic(double latc) {
  return Checked(std::atan(std::tan(latc * kPi / 180) / kCentric) * 180 / kPi);
}

double THTConvert::CentricLatToNorthing(double latc) {
  // Extended from the first division on, like the rest of the projection.
  const long double t = std::tan(static_cast<long double>(latc) / 180 * kPi / 2 + kPiQuarter);
  if (!(t > 0)) throw EInvalidOp();  // at or beyond a pole the logarithm has no value
  return Checked(kRadius * std::log(t));
}

double THTConvert::NorthingToCentricLat(double N) {
  return Checked(std::atan(std::sinh(N / kRadius)) * 180 / kPi);
}

std::int32_t THTConvert::LatToNorthing(double lat) {
  if (!(std::fabs(lat) < 90)) throw EInvalidOp();
  return RoundToLow32(CentricLatToNorthing(GeodeticToCentric(lat)));
}

std::int32_t THTConvert::LonToEasting(double lon) {
  if (!std::isfinite(lon)) throw EInvalidOp();
  return RoundToLow32(lon / 180.0L * kHalfCircumference);
}

double THTConvert::NorthingToLat(std::int32_t N) { return CentricToGeodetic(NorthingToCentricLat(N)); }

double THTConvert::EastingToLon(std::int32_t E) { return Checked(E / kHalfCircumference * 180); }

std::int64_t THTConvert::DateTimeToUnixTime(TDateTime t) {
  const long double seconds = std::nearbyint((t - static_cast<long double>(kUnixEpochDay)) * kSecondsPerDay);
  if (!(std::fabs(seconds) < 9.2e18L)) throw EInvalidOp();
  return static_cast<std::int64_t>(seconds);
}

THTConvert::TEncoded THTConvert::EncodeHT(const TGPX& gpx, std::string_view trackName, TDateTime localNow) {
  const std::vector<TSegmentRef> order = FileOrder(gpx);

  // Count first: nothing is built for data that does not fit.
  std::int64_t entries = 0;
  for (const TSegmentRef& ref : order)
    if (ref.segment->Count() > 0) entries += ref.segment->Count() + 3;
  if (entries == 0) return Refuse("no track points to write.");
  if (entries > kMaxWriteEntries)
    return Refuse("too many points for one HT file (" + numtext::FormatInt(entries) + " entries, at most " +
                  numtext::FormatInt(kMaxWriteEntries) + ").");

  std::vector<std::uint8_t> bytes(kFileSize, 0);
  int entry = 0;  // the start position is entry 0, records follow from 1
  std::int32_t startE = 0, startN = 0, lastE = 0, lastN = 0;
  double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;

  for (const TSegmentRef& ref : order) {
    if (ref.segment->Count() == 0) continue;  // no points, so no end records either
    int p = 0;
    for (const TGPXwpt& point : ref.segment->Waypoints()) {
      const double lat = point.Latitude;
      const double lon = point.Longitude;
      // Beyond a pole there is no northing; beyond 32 bits no easting.
      if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) >= 90 ||
          std::fabs(lon / 180.0L * kHalfCircumference) > std::numeric_limits<std::int32_t>::max())
        return Refuse(PlaceOf(ref, p) + " lies outside the HT projection (latitude " +
                      numtext::FormatGeneral(lat) + ", longitude " + numtext::FormatGeneral(lon) + ").");
      const std::int32_t e = LonToEasting(lon);
      const std::int32_t n = LatToNorthing(lat);

      if (entry == 0) {
        startE = e;
        startN = n;
        minLat = maxLat = lat;
        minLon = maxLon = lon;
      } else {
        const std::int64_t dE = std::int64_t{e} - lastE;
        const std::int64_t dN = std::int64_t{n} - lastN;
        const std::int64_t jump = std::max(std::llabs(dE), std::llabs(dN));
        if (jump > kMaxStep)
          return Refuse("jump of " + numtext::FormatInt(jump) + " m to " + PlaceOf(ref, p) +
                        " (an HT record holds at most " + numtext::FormatInt(kMaxStep) + " m).");
        if (std::isnan(point.HBdepth)) return Refuse(PlaceOf(ref, p) + " has no valid depth.");
        const double depth = std::clamp(std::trunc(point.HBdepth), 0.0, 65535.0);
        PutRecord(bytes, entry,
                  {static_cast<std::int16_t>(dE), static_cast<std::int16_t>(dN), static_cast<std::uint16_t>(depth)});
        minLat = std::min(minLat, lat);
        maxLat = std::max(maxLat, lat);
        minLon = std::min(minLon, lon);
        maxLon = std::max(maxLon, lon);
      }
      lastE = e;
      lastN = n;
      ++entry;
      ++p;
    }
    for (const TRecord& end : kEndRecords) PutRecord(bytes, entry++, end);
  }

  bytes[kMagicAt] = kMagic[0];
  bytes[kMagicAt + 1] = kMagic[1];
  PutU16(bytes, kEntryCountAt, static_cast<std::uint16_t>(entry));
  PutU32(bytes, kCreationTimeAt, static_cast<std::uint32_t>(DateTimeToUnixTime(localNow)));
  PutU32(bytes, kStartEastingAt, static_cast<std::uint32_t>(startE));
  PutU32(bytes, kStartNorthingAt, static_cast<std::uint32_t>(startN));
  PutU32(bytes, kLastEastingAt, static_cast<std::uint32_t>(lastE));
  PutU32(bytes, kLastNorthingAt, static_cast<std::uint32_t>(lastN));
  PutU32(bytes, kMinLonEastingAt, static_cast<std::uint32_t>(LonToEasting(minLon)));
  PutU32(bytes, kMinLatNorthingAt, static_cast<std::uint32_t>(LatToNorthing(minLat)));
  PutU32(bytes, kMaxLonEastingAt, static_cast<std::uint32_t>(LonToEasting(maxLon)));
  PutU32(bytes, kMaxLatNorthingAt, static_cast<std::uint32_t>(LatToNorthing(maxLat)));
  const std::vector<std::uint8_t> name = NameBytes(trackName);
  std::copy(name.begin(), name.end(), bytes.begin() + kNameAt);
  return {std::move(bytes), {}};
}

THTConvert::TDecoded THTConvert::DecodeHT(std::span<const std::uint8_t> bytes) {
  TDecoded result;
  if (bytes.size() != kFileSize) {
    result.Error = "wrong file size.";
    return result;
  }
  const int count = GetU16(bytes, kEntryCountAt);
  // A count beyond the file's room would send the records past its end.
  if (bytes[kMagicAt] != kMagic[0] || bytes[kMagicAt + 1] != kMagic[1] || count > kMaxReadCount) {
    result.Error = "error in file header.";
    return result;
  }
  for (std::size_t i = kNameAt; i < kNameAt + kNameLength; ++i)
    if (bytes[i] != 0) AppendLatin1(result.Name, bytes[i]);

  auto track = std::make_unique<TGPXtrk>();
  TGPXtrkseg* segment = track->GetTrkSeg(track->Add(std::make_unique<TGPXtrkseg>()));
  bool segmentEnded = false;
  std::uint32_t e = GetU32(bytes, kStartEastingAt);  // unsigned, so the running sums wrap
  std::uint32_t n = GetU32(bytes, kStartNorthingAt);
  const std::size_t records = count > 1 ? static_cast<std::size_t>(count - 1) : 0;
  for (std::size_t i = 0; i < records; ++i) {
    if (i + 3 <= records && GetRecord(bytes, i) == kEndRecords[0] && GetRecord(bytes, i + 1) == kEndRecords[1] &&
        GetRecord(bytes, i + 2) == kEndRecords[2]) {
      segmentEnded = true;
      i += 2;
      continue;
    }
    // A break with no point before it (a leading or repeated triple) starts no
    // empty segment.
    if (segmentEnded && segment->Count() > 0)
      segment = track->GetTrkSeg(track->Add(std::make_unique<TGPXtrkseg>()));
    segmentEnded = false;
    const TRecord r = GetRecord(bytes, i);
    e += static_cast<std::uint32_t>(static_cast<std::int32_t>(r.dE));
    n += static_cast<std::uint32_t>(static_cast<std::int32_t>(r.dN));
    auto point = std::make_unique<TGPXwpt>();
    point->Longitude = EastingToLon(static_cast<std::int32_t>(e));
    point->Latitude = NorthingToLat(static_cast<std::int32_t>(n));
    point->HBdepth = r.depth;
    segment->Add(std::move(point));
  }
  result.Track = std::move(track);
  return result;
}

bool THTConvert::ConvertToHT(std::string* refusal) {
  if (GPXdata == nullptr) return false;
  const TEncoded encoded = EncodeHT(*GPXdata, sTrackName, fClock());
  if (!encoded.Error.empty()) {
    if (refusal) *refusal = sFileName + ": " + encoded.Error;
    return false;
  }
  TSafeFileWriter file(sFileName);
  file.Write(encoded.Bytes.data(), encoded.Bytes.size());
  file.Commit();
  return true;
}

TReadResult THTConvert::ReadHT() {
  TReadResult result;
  if (GPXdata == nullptr) return result;
  // One byte more than the format's size tells a longer file from a right one.
  const std::vector<std::uint8_t> bytes = ReadFilePrefix(sFileName, kFileSize + 1);
  TDecoded decoded = DecodeHT(bytes);
  if (!decoded.Track) {
    result.Lines.push_back(sFileName + ": " + decoded.Error);
    return result;
  }
  sTrackName += decoded.Name;
  decoded.Track->name = sTrackName;
  GPXdata->trk.Add(std::move(decoded.Track));
  GPXdata->trk.filled = true;
  result.Loaded = true;
  return result;
}
