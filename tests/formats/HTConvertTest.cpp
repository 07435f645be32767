#include "formats/HTConvert.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"
#include "tests/support/TrackBuilder.h"

#include "model/GPX.h"
#include "platform/MathErrors.h"
#include "platform/SafeFile.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

namespace {

// 2012-06-01 10:20:30 as a day count.
constexpr TDateTime kWorkedTime = 41061.0 + (10 * 3600 + 20 * 60 + 30) / 86400.0;

Bytes Encode(const TGPX& gpx, std::string_view name = "NewTrack") {
  THTConvert::TEncoded encoded = THTConvert::EncodeHT(gpx, name, kWorkedTime);
  EXPECT_EQ(encoded.Error, "");
  return encoded.Bytes;
}

std::string EncodeError(const TGPX& gpx) {
  THTConvert::TEncoded encoded = THTConvert::EncodeHT(gpx, "x", kWorkedTime);
  EXPECT_TRUE(encoded.Bytes.empty());
  return encoded.Error;
}

std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]); }
std::int32_t I32(const Bytes& b, std::size_t at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(U16(b, at)) << 16 | U16(b, at + 2));
}
struct Rec {
  int dE, dN, depth;
  bool operator==(const Rec&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rec& r) {
  return os << "(" << r.dE << "," << r.dN << "," << r.depth << ")";
}
// Record number i (from 0) after the header.
Rec RecordAt(const Bytes& b, std::size_t i) {
  const std::size_t at = 68 + 6 * i;
  return {static_cast<std::int16_t>(U16(b, at)), static_cast<std::int16_t>(U16(b, at + 2)), U16(b, at + 4)};
}
std::vector<Rec> Records(const Bytes& b) {
  std::vector<Rec> out;
  for (std::size_t i = 0; i + 1 < U16(b, 8); ++i) out.push_back(RecordAt(b, i));
  return out;
}
// The depths of a one-segment file: every record but the three end records.
std::vector<int> PointDepths(const Bytes& b) {
  std::vector<Rec> r = Records(b);
  std::vector<int> out;
  for (std::size_t i = 0; i + 3 < r.size(); ++i) out.push_back(r[i].depth);
  return out;
}
const Rec kEnd1{32767, 32767, 0}, kEnd2{-32768, -32768, 0}, kEnd3{0, 0, 0};

class HTFileTest : public ::testing::Test {
protected:
  std::string Path(const std::string& name) const { return folder_.Path(name); }
  static void WriteBytes(const std::string& path, const Bytes& bytes) {
    TSafeFileWriter w(path);
    w.Write(bytes.data(), bytes.size());
    w.Commit();
  }
  THTConvert Converter(TGPX* gpx, const std::string& name, const std::string& path) {
    return THTConvert(gpx, name, path, [] { return kWorkedTime; });
  }
  // Reads, keeping the refusal's lines as a dialog would show them.
  bool Read(THTConvert&& reader) {
    const TReadResult result = reader.ReadHT();
    shown_.insert(shown_.end(), result.Lines.begin(), result.Lines.end());
    return result.Loaded;
  }
  bool Write(THTConvert&& writer) {
    std::string refusal;
    const bool written = writer.ConvertToHT(&refusal);
    if (!refusal.empty()) shown_.push_back(refusal);
    return written;
  }

  TTempFolder folder_{"htconvert"};
  std::vector<std::string> shown_;
};

// ---------------------------------------------------------------------------
// Projection and time

TEST(HTProjection, KnownPositionsGiveTheDevicesMetres) {
  struct Case {
    double degrees;
    bool latitude;
    std::int32_t metres;
  };
  for (const Case& c : {Case{47.5, true, 5992655}, Case{9.25, false, 1029746}, Case{-33.9, true, -3991613},
                        Case{-122.4, false, -13626042}, Case{0.0009, true, 100}, Case{0.0009, false, 100},
                        Case{0, true, 0}, Case{180, false, 20038297}}) {
    const std::int32_t got = c.latitude ? THTConvert::LatToNorthing(c.degrees) : THTConvert::LonToEasting(c.degrees);
    EXPECT_EQ(got, c.metres) << (c.latitude ? "lat " : "lon ") << c.degrees;
  }
}

TEST(HTProjection, NorthingIsComputedInExtendedPrecisionThroughout) {
  // A division rounded to double on the way gives other last bits here.
  EXPECT_EQ(THTConvert::CentricLatToNorthing(-80), -0x1.da38f53029c61p+23);
  EXPECT_EQ(THTConvert::CentricLatToNorthing(47.5), 0x1.6fb1d4be409b5p+22);
}

TEST(HTProjection, MetresReadBackToWithinHalfAMetre) {
  for (double lat : {-80.0, -33.9, 0.0, 12.345678, 47.5, 80.0}) {
    const double back = THTConvert::NorthingToLat(THTConvert::LatToNorthing(lat));
    EXPECT_NEAR(back, lat, 1e-5) << lat;
    EXPECT_NEAR(THTConvert::GeodeticToCentric(THTConvert::CentricToGeodetic(lat)), lat, 1e-12);
  }
  EXPECT_NEAR(THTConvert::EastingToLon(-13626042), -122.4, 1e-5);
}

TEST(HTProjection, UndefinedPositionsRaiseInsteadOfWrapping) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double lat : {90.0, -90.0, 91.0, nan, inf}) EXPECT_THROW(THTConvert::LatToNorthing(lat), EInvalidOp) << lat;
  for (double lon : {nan, inf, 1e300}) EXPECT_THROW(THTConvert::LonToEasting(lon), EInvalidOp) << lon;
  EXPECT_THROW(THTConvert::CentricLatToNorthing(-90), EInvalidOp);
}

TEST(HTProjection, UnixTimeIsTheLocalWallClockRounded) {
  EXPECT_EQ(THTConvert::DateTimeToUnixTime(kWorkedTime), 1338546030);
  EXPECT_EQ(THTConvert::DateTimeToUnixTime(25569), 0);
  EXPECT_EQ(THTConvert::DateTimeToUnixTime(25568.5), -43200);
  EXPECT_THROW(THTConvert::DateTimeToUnixTime(std::numeric_limits<double>::quiet_NaN()), EInvalidOp);

  // The system clock's local time differs from UTC by at most the widest zone offset.
  const std::int64_t local = THTConvert::DateTimeToUnixTime(LocalNow());
  EXPECT_LE(std::llabs(local - static_cast<std::int64_t>(std::time(nullptr))), 14 * 3600 + 60);
}

// ---------------------------------------------------------------------------
// Writing

TEST(HTEncode, WorkedExampleGivesTheGoldenBytes) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{0, 0, 500}, {0, 0.0009, 510}, {0.0009, 0.0009, 520}}}));
  const Bytes b = Encode(gpx);

  Bytes expected(131080, 0);
  const Bytes head = {0x01, 0x03, 0, 0, 0, 0, 0, 0,  0x00, 0x06, 0, 0, 0x4F, 0xC8, 0x97, 0x6E,  // magic, count, time
                      0, 0, 0, 0, 0, 0, 0, 0,                                                    // start
                      0, 0, 0, 0x64, 0, 0, 0, 0x64,                                              // last
                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x64, 0, 0, 0, 0x64,                      // bounds
                      'N', 'e', 'w', 'T', 'r', 'a', 'c', 'k'};
  std::copy(head.begin(), head.end(), expected.begin());
  const Bytes records = {0x00, 0x64, 0x00, 0x00, 0x01, 0xFE, 0x00, 0x00, 0x00, 0x64, 0x02, 0x08,
                         0x7F, 0xFF, 0x7F, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x80, 0x00, 0x00, 0x00};
  std::copy(records.begin(), records.end(), expected.begin() + 68);
  EXPECT_EQ(b, expected);
}

TEST(HTEncode, TracksFollowTheFirstFromTheLastBackwardsWithoutChangingTheModel) {
  // A then B then C; the file holds A, C, then B's segments from last to first.
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{0, 0, 1}, {0, 0.0009, 2}}}, "A"));
  gpx.trk.Add(MakeTrack({{{0, 0.0018, 3}}, {{0, 0.0027, 4}, {0, 0.0036, 5}}}, "B"));
  gpx.trk.Add(MakeTrack({{{0.0009, 0.0036, 6}}}, "C"));
  const Bytes b = Encode(gpx);

  const std::int32_t e1 = THTConvert::LonToEasting(0.0009), e2 = THTConvert::LonToEasting(0.0018),
                     e3 = THTConvert::LonToEasting(0.0027), e4 = THTConvert::LonToEasting(0.0036),
                     n1 = THTConvert::LatToNorthing(0.0009);
  EXPECT_EQ(U16(b, 8), 6 + 4 * 3);
  EXPECT_THAT(Records(b), ElementsAre(Rec{e1, 0, 2}, kEnd1, kEnd2, kEnd3,             // A (start is its first)
                                      Rec{e4 - e1, n1, 6}, kEnd1, kEnd2, kEnd3,       // C from A's last
                                      Rec{e3 - e4, -n1, 4}, Rec{e4 - e3, 0, 5}, kEnd1, kEnd2, kEnd3,  // B's 2nd
                                      Rec{e2 - e4, 0, 3}, kEnd1, kEnd2, kEnd3));      // B's 1st
  EXPECT_EQ(I32(b, 24), e2);  // the last point written
  EXPECT_EQ(I32(b, 28), 0);

  // The caller's tracks keep their segments, names and order.
  ASSERT_EQ(gpx.trk.Count(), 3);
  EXPECT_EQ(gpx.trk.GetTrack(0)->Count(), 1);
  EXPECT_EQ(gpx.trk.GetTrack(1)->Count(), 2);
  EXPECT_EQ(gpx.trk.GetTrack(1)->name, "B");
  EXPECT_EQ(gpx.trk.GetTrack(2)->Count(), 1);
  EXPECT_FALSE(gpx.metadata.bounds.filled);
}

TEST(HTEncode, TwoTracksCarryTheJumpBetweenThem) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{0, 0, 10}, {0, 0.0009, 11}}}));
  gpx.trk.Add(MakeTrack({{{0.0009, 0.0018, 12}, {0.0009, 0.0027, 13}}}));
  const Bytes b = Encode(gpx);
  const std::int32_t e1 = THTConvert::LonToEasting(0.0009), e2 = THTConvert::LonToEasting(0.0018),
                     e3 = THTConvert::LonToEasting(0.0027), n1 = THTConvert::LatToNorthing(0.0009);
  EXPECT_THAT(Records(b), ElementsAre(Rec{e1, 0, 11}, kEnd1, kEnd2, kEnd3, Rec{e2 - e1, n1, 12},
                                      Rec{e3 - e2, 0, 13}, kEnd1, kEnd2, kEnd3));
}

TEST(HTEncode, EmptySegmentsAddNothingAndTheStartIsTheFirstPointWritten) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{}, {{47.5, 9.25, 100}, {47.5001, 9.2501, 200}}, {}}));
  gpx.trk.Add(std::make_unique<TGPXtrk>());  // a track without segments
  gpx.trk.Add(MakeTrack({{{47.5002, 9.25, 300}}}));
  const Bytes b = Encode(gpx);
  EXPECT_EQ(U16(b, 8), 3 + 2 * 3);
  EXPECT_EQ(I32(b, 16), THTConvert::LonToEasting(9.25));
  EXPECT_EQ(I32(b, 20), THTConvert::LatToNorthing(47.5));
  const std::vector<Rec> r = Records(b);
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[0].depth, 200);  // no end records before the first point
  EXPECT_THAT(std::vector<Rec>(r.begin() + 1, r.begin() + 4), ElementsAre(kEnd1, kEnd2, kEnd3));
  EXPECT_EQ(r[4].depth, 300);
  EXPECT_THAT(std::vector<Rec>(r.begin() + 5, r.end()), ElementsAre(kEnd1, kEnd2, kEnd3));
}

TEST(HTEncode, BoundsCoverExactlyThePointsWritten) {
  // All on one latitude (no extent to speak of), some disabled, waypoints far away.
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{10, 20, 1}, {10, 20.001, 1}, {10, 20.002, 1}}}));
  gpx.trk.GetTrack(0)->GetTrkSeg(0)->GetTrkPoint(2)->enabled = false;
  gpx.wpt.Add(MakePoint(50, 60));
  const Bytes b = Encode(gpx);
  EXPECT_EQ(I32(b, 32), THTConvert::LonToEasting(20));
  EXPECT_EQ(I32(b, 36), THTConvert::LatToNorthing(10));
  EXPECT_EQ(I32(b, 40), THTConvert::LonToEasting(20.002));
  EXPECT_EQ(I32(b, 44), THTConvert::LatToNorthing(10));
}

TEST(HTEncode, DepthsAreTruncatedAndClampedToSixteenBits) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{0, 0, 0}, {0, 0, 1234.9}, {0, 0, 70000}, {0, 0, -5}, {0, 0, -0.9}, {0, 0, 65535.9}}}));
  EXPECT_THAT(PointDepths(Encode(gpx)), ElementsAre(1234, 65535, 0, 0, 65535));
}

TEST(HTEncode, NamesAreCutToTwentyLowBytes) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{0, 0, 0}}}));
  struct Case {
    std::string name;
    Bytes bytes;
  };
  for (const Case& c : {Case{"ABCDEFGHIJKLMNOPQRSTUVWXY", Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K',
                                                                 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T'}},
                        Case{"S\xC3\xA9\xC5\x81", Bytes{'S', 0xE9, 0x41}},  // é, then Ł (U+0141)
                        Case{"\xF0\x9F\x90\x9F", Bytes{0x3D, 0x1F}},          // a surrogate pair's units
                        Case{"\xE9t\xC0\x80", Bytes{0xE9, 't', 0xC0, 0x80}},  // not UTF-8: bytes as Latin-1
                        Case{"", Bytes{}}}) {
    const Bytes b = Encode(gpx, c.name);
    Bytes name(b.begin() + 48, b.begin() + 68);
    Bytes expected = c.bytes;
    expected.resize(20, 0);
    EXPECT_EQ(name, expected) << c.name;
  }
}

TEST(HTEncode, RefusesDataTheFormatCannotHold) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<TTrackPoints> tracks;  // one segment per track
    std::string error;
  };
  const Case cases[] = {
      {"no tracks", {}, "no track points to write."},
      {"only empty segments", {{}, {}}, "no track points to write."},
      {"latitude at the pole", {{{0, 0, 1}, {90, 0, 1}}}, "track 1, segment 1, point 2 lies outside the HT projection"},
      {"latitude not a number", {{{nan, 0, 1}}}, "track 1, segment 1, point 1 lies outside"},
      {"longitude beyond 32 bits", {{{0, 0, 1}, {0, 1e6, 1}}}, "point 2 lies outside"},
      {"depth not a number", {{{0, 0, 1}, {0, 0, nan}}}, "track 1, segment 1, point 2 has no valid depth."},
      {"jump inside a segment", {{{0, 0, 1}, {0, 0.3, 1}}}, "jump of 33397 m to track 1, segment 1, point 2"},
      {"jump of 32768 m", {{{0, 0, 1}, {0, 32768 * 180 / 20038297.0, 1}}}, "jump of 32768 m"},
      {"jump between tracks", {{{0, 0, 1}}, {{0.5, 0, 1}}}, "to track 2, segment 1, point 1 (an HT record holds"},
  };
  for (const Case& c : cases) {
    TGPX gpx;
    for (const TTrackPoints& s : c.tracks) gpx.trk.Add(MakeTrack({s}));
    EXPECT_THAT(EncodeError(gpx), HasSubstr(c.error)) << c.what;
  }
}

TEST(HTEncode, CountsUpToTwentyThousandEntries) {
  // 19997 points + 3 end records = 20000 entries fit; one more point does not.
  auto make = [](int points) {
    auto gpx = std::make_unique<TGPX>();
    auto track = MakeTrack({{}});
    for (int i = 0; i < points; ++i) track->GetTrkSeg(0)->Add(MakePoint(1e-6 * i, 0));
    gpx->trk.Add(std::move(track));
    return gpx;
  };
  EXPECT_EQ(U16(Encode(*make(19997)), 8), 20000);
  EXPECT_EQ(EncodeError(*make(19998)), "too many points for one HT file (20001 entries, at most 20000).");
  EXPECT_THAT(EncodeError(*make(70000)), HasSubstr("(70003 entries"));
}

TEST_F(HTFileTest, ConvertToHTWritesTheFileOrNothing) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{0, 0, 500}, {0, 0.0009, 510}, {0.0009, 0.0009, 520}}}));
  const std::string path = Path("000.ht");
  EXPECT_TRUE(Write(Converter(&gpx, "NewTrack", path)));
  EXPECT_EQ(ReadFilePrefix(path, 200000), Encode(gpx));

  // A refused write keeps the file that was there and says why.
  TGPX bad;
  bad.trk.Add(MakeTrack({{{0, 0, 1}, {89.9, 0, 1}}}));
  EXPECT_FALSE(Write(Converter(&bad, "x", path)));
  EXPECT_EQ(ReadFilePrefix(path, 200000), Encode(gpx));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_THAT(shown_[0], ::testing::StartsWith(path + ": jump of "));

  EXPECT_FALSE(Write(Converter(nullptr, "x", Path("none.ht"))));
  EXPECT_FALSE(fs::exists(Path("none.ht")));
  EXPECT_THROW(Write(Converter(&gpx, "x", Path("missing/000.ht"))), EFileError);
}

// ---------------------------------------------------------------------------
// Reading

TEST(HTDecode, EndRecordsSplitSegmentsWithoutMovingThePosition) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{47.5, 9.25, 100}, {47.501, 9.251, 200}, {47.502, 9.25, 300}},
                         {{47.503, 9.249, 400}, {47.5, 9.25, 500}}}));
  const THTConvert::TDecoded d = THTConvert::DecodeHT(Encode(gpx));
  ASSERT_TRUE(d.Track);
  EXPECT_EQ(d.Name, "NewTrack");
  ASSERT_EQ(d.Track->Count(), 2);
  // The start position is no point of its own: the first segment reads back from P1.
  const TGPXtrkseg& first = *d.Track->GetTrkSeg(0);
  const TGPXtrkseg& second = *d.Track->GetTrkSeg(1);
  ASSERT_EQ(first.Count(), 2);
  ASSERT_EQ(second.Count(), 2);
  const TTrackPoint expected[] = {{47.501, 9.251, 200}, {47.502, 9.25, 300}, {47.503, 9.249, 400}, {47.5, 9.25, 500}};
  const TGPXwpt* got[] = {first.GetTrkPoint(0), first.GetTrkPoint(1), second.GetTrkPoint(0), second.GetTrkPoint(1)};
  for (int i = 0; i < 4; ++i) {
    // Exactly the metres written: a break that moved the position would shift
    // every later point by a metre.
    EXPECT_EQ(got[i]->Latitude, THTConvert::NorthingToLat(THTConvert::LatToNorthing(expected[i].Latitude))) << i;
    EXPECT_EQ(got[i]->Longitude, THTConvert::EastingToLon(THTConvert::LonToEasting(expected[i].Longitude))) << i;
    EXPECT_EQ(got[i]->HBdepth, expected[i].Depth) << i;
    EXPECT_EQ(got[i]->DateTime, 0);
  }
}

// A file image with the given count, start and records.
Bytes Image(int count, std::int32_t e, std::int32_t n, const std::vector<Rec>& records) {
  Bytes b(131080, 0);
  b[0] = 1;
  b[1] = 3;
  b[8] = static_cast<std::uint8_t>(count >> 8);
  b[9] = static_cast<std::uint8_t>(count);
  auto put32 = [&b](std::size_t at, std::int32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (24 - 8 * k));
  };
  put32(16, e);
  put32(20, n);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t at = 68 + 6 * i;
    const std::uint16_t v[3] = {static_cast<std::uint16_t>(records[i].dE), static_cast<std::uint16_t>(records[i].dN),
                                static_cast<std::uint16_t>(records[i].depth)};
    for (int k = 0; k < 3; ++k) {
      b[at + 2 * k] = static_cast<std::uint8_t>(v[k] >> 8);
      b[at + 2 * k + 1] = static_cast<std::uint8_t>(v[k]);
    }
  }
  return b;
}

TEST(HTDecode, OnlyTheExactEndTripleIsABreak) {
  // An incomplete triple is three ordinary points; negative positions stay negative.
  const Bytes b = Image(5, -1000, -2000, {{32767, 32767, 0}, {-32768, -32768, 0}, {0, 0, 7}, {-1, -1, 9}});
  const THTConvert::TDecoded d = THTConvert::DecodeHT(b);
  ASSERT_TRUE(d.Track);
  ASSERT_EQ(d.Track->Count(), 1);
  const TGPXtrkseg& s = *d.Track->GetTrkSeg(0);
  ASSERT_EQ(s.Count(), 4);
  EXPECT_EQ(s.GetTrkPoint(2)->HBdepth, 7);
  EXPECT_DOUBLE_EQ(s.GetTrkPoint(3)->Longitude, THTConvert::EastingToLon(-1000 + 32767 - 32768 - 1));
  EXPECT_DOUBLE_EQ(s.GetTrkPoint(3)->Latitude, THTConvert::NorthingToLat(-2000 + 32767 - 32768 - 1));
}

TEST(HTDecode, BreaksWithoutPointsBeforeThemStartNoEmptySegment) {
  const Rec e1{32767, 32767, 0}, e2{-32768, -32768, 0}, e3{0, 0, 0};
  const Bytes b = Image(15, 0, 0, {e1, e2, e3, {1, 0, 5}, e1, e2, e3, e1, e2, e3, {1, 0, 6}, e1, e2, e3});
  const THTConvert::TDecoded d = THTConvert::DecodeHT(b);
  ASSERT_TRUE(d.Track);
  ASSERT_EQ(d.Track->Count(), 2);
  EXPECT_EQ(d.Track->GetTrkSeg(0)->Count(), 1);
  ASSERT_EQ(d.Track->GetTrkSeg(1)->Count(), 1);
  EXPECT_DOUBLE_EQ(d.Track->GetTrkSeg(1)->GetTrkPoint(0)->Longitude, THTConvert::EastingToLon(2));
}

TEST(HTDecode, CountsFromZeroToTheFilesRoom) {
  for (int count : {0, 1}) {
    const THTConvert::TDecoded d = THTConvert::DecodeHT(Image(count, 0, 0, {}));
    ASSERT_TRUE(d.Track) << count;
    ASSERT_EQ(d.Track->Count(), 1);
    EXPECT_EQ(d.Track->GetTrkSeg(0)->Count(), 0);
  }
  // The largest count the file has room for reads every record up to the last byte.
  std::vector<Rec> full(21835, Rec{1, 0, 5});
  const THTConvert::TDecoded d = THTConvert::DecodeHT(Image(21836, 0, 0, full));
  ASSERT_TRUE(d.Track);
  EXPECT_EQ(d.Track->GetTrkSeg(0)->Count(), 21835);

  EXPECT_EQ(THTConvert::DecodeHT(Image(21837, 0, 0, {})).Error, "error in file header.");
  EXPECT_EQ(THTConvert::DecodeHT(Image(65535, 0, 0, {})).Error, "error in file header.");
}

TEST(HTDecode, RejectsWrongSizesAndMagic) {
  Bytes good = Image(1, 0, 0, {});
  Bytes shorter(good.begin(), good.end() - 1);
  Bytes longer = good;
  longer.push_back(0);
  Bytes badMagic = good;
  badMagic[0] = 0x02;
  Bytes badSecond = good;
  badSecond[1] = 0x04;
  EXPECT_EQ(THTConvert::DecodeHT(shorter).Error, "wrong file size.");
  EXPECT_EQ(THTConvert::DecodeHT(longer).Error, "wrong file size.");
  EXPECT_EQ(THTConvert::DecodeHT(Bytes{}).Error, "wrong file size.");
  EXPECT_EQ(THTConvert::DecodeHT(badMagic).Error, "error in file header.");
  EXPECT_EQ(THTConvert::DecodeHT(badSecond).Error, "error in file header.");
}

TEST_F(HTFileTest, ReadHTAppendsANamedTrackOrShowsWhy) {
  Bytes b = Image(2, 0, 0, {{10, 20, 30}});
  const Bytes name = {'L', 0, 0xE4, 'k', 'e'};  // zeros are skipped wherever they stand
  std::copy(name.begin(), name.end(), b.begin() + 48);
  const std::string path = Path("lake.ht");
  WriteBytes(path, b);

  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{1, 2, 3}}}, "kept"));
  THTConvert reader = Converter(&gpx, "", path);
  ASSERT_TRUE(reader.ReadHT().Loaded);
  ASSERT_TRUE(reader.ReadHT().Loaded);
  EXPECT_EQ(reader.sTrackName, "L\xC3\xA4keL\xC3\xA4ke");  // appended on every read
  ASSERT_EQ(gpx.trk.Count(), 3);
  EXPECT_EQ(gpx.trk.GetTrack(0)->name, "kept");
  EXPECT_EQ(gpx.trk.GetTrack(1)->name, "L\xC3\xA4ke");
  EXPECT_EQ(gpx.trk.GetTrack(2)->name, "L\xC3\xA4keL\xC3\xA4ke");
  EXPECT_TRUE(gpx.trk.filled);
  EXPECT_EQ(gpx.trk.GetTrack(1)->GetTrkSeg(0)->GetTrkPoint(0)->HBdepth, 30);

  const std::string shortPath = Path("short.ht");
  WriteBytes(shortPath, Bytes(131079, 0));
  const std::string badPath = Path("bad.ht");
  Bytes bad = b;
  bad[0] = 2;
  WriteBytes(badPath, bad);
  EXPECT_FALSE(Read(Converter(&gpx, "", shortPath)));
  EXPECT_FALSE(Read(Converter(&gpx, "", badPath)));
  EXPECT_THAT(shown_, ElementsAre(shortPath + ": wrong file size.", badPath + ": error in file header."));
  EXPECT_EQ(gpx.trk.Count(), 3);

  EXPECT_FALSE(Read(Converter(nullptr, "", path)));
  EXPECT_THROW(Read(Converter(&gpx, "", Path("missing.ht"))), EFileError);
}

TEST_F(HTFileTest, AWrittenProjectReadsBackSegmentBySegment) {
  TGPX gpx;
  gpx.trk.Add(MakeTrack({{{-33.9, -122.4, 100}, {-33.9001, -122.4001, 110}}}));
  gpx.trk.Add(MakeTrack({{{-33.9002, -122.4, 120}, {-33.9003, -122.3999, 130}}}));
  const std::string path = Path("project.ht");
  ASSERT_TRUE(Write(Converter(&gpx, "Project", path)));

  TGPX back;
  ASSERT_TRUE(Read(Converter(&back, "", path)));
  const TGPXtrk& t = *back.trk.GetTrack(0);
  EXPECT_EQ(t.name, "Project");
  ASSERT_EQ(t.Count(), 2);
  ASSERT_EQ(t.GetTrkSeg(0)->Count(), 1);
  ASSERT_EQ(t.GetTrkSeg(1)->Count(), 2);
  const TGPXwpt& last = *t.GetTrkSeg(1)->GetTrkPoint(1);
  EXPECT_NEAR(last.Latitude, -33.9003, 1e-5);
  EXPECT_NEAR(last.Longitude, -122.3999, 1e-5);
  EXPECT_EQ(last.HBdepth, 130);
}

}  // namespace
