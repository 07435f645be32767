#include "app/logic/ContourOutput.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/GPX.h"

namespace {

// A segment of `points` points along a line, numbered by their depth.
std::unique_ptr<TGPXtrkseg> Segment(int points, int firstDepth = 0, std::int32_t maxdepth = 0) {
  auto segment = std::make_unique<TGPXtrkseg>();
  segment->maxdepth = maxdepth;
  for (int i = 0; i < points; ++i) {
    auto p = std::make_unique<TGPXwpt>();
    p->Longitude = 12.0 + (firstDepth + i) * 1e-5;
    p->Latitude = 53.0;
    p->HBdepth = firstDepth + i;
    segment->Add(std::move(p));
  }
  return segment;
}

// A document of tracks, each given as its segments' point counts.
std::unique_ptr<TGPX> Document(const std::vector<std::vector<int>>& tracks) {
  auto doc = std::make_unique<TGPX>();
  for (const auto& segments : tracks) {
    auto track = std::make_unique<TGPXtrk>();
    for (int points : segments) track->Add(Segment(points));
    doc->trk.Add(std::move(track));
  }
  return doc;
}

// Each chunk as its tracks' segment point counts.
std::vector<std::vector<std::vector<int>>> Shapes(const std::vector<THTChunk>& chunks) {
  std::vector<std::vector<std::vector<int>>> shapes;
  for (const THTChunk& chunk : chunks) {
    shapes.emplace_back();
    for (const TGPXtrk& track : chunk.Data->trk) {
      shapes.back().emplace_back();
      for (const TGPXtrkseg& segment : track) shapes.back().back().push_back(segment.Count());
    }
  }
  return shapes;
}

TEST(CountPoints, PointsPlusOverheadForEverySegmentAndTrack) {
  EXPECT_EQ(CountPoints(*Document({{100, 100}, {100, 100}, {100, 100}}), 9), 681);
  EXPECT_EQ(CountPoints(*Document({{5, 0}, {}}), 9), 5 + 9 * 4);
  EXPECT_EQ(CountPoints(*Document({{5}}), 0), 5);
  EXPECT_EQ(CountPoints(TGPX(), 9), 0);
}

TEST(CopyShoreLineSegments, EachShoreSegmentInATrackOfItsOwnAfterWhatTheTargetHolds) {
  TGPX source;
  auto named = std::make_unique<TGPXtrk>();
  named->name = "Lake";
  named->Add(Segment(3, 0, 0));
  named->Add(Segment(4, 10, 850));  // a depth track: left out
  named->Add(Segment(2, 20, 0));
  source.trk.Add(std::move(named));
  auto island = std::make_unique<TGPXtrk>();
  island->Add(Segment(5, 30, 0));
  source.trk.Add(std::move(island));

  TGPXtrkList target;
  target.Add(std::make_unique<TGPXtrk>());
  CopyShoreLineSegments(source.trk, target);

  ASSERT_EQ(target.Count(), 4);
  const std::vector<std::pair<int, double>> expected = {{3, 0}, {2, 20}, {5, 30}};  // points, first depth
  for (int i = 0; i < 3; ++i) {
    const TGPXtrk& track = *target.GetTrack(i + 1);
    EXPECT_EQ(track.name, "");  // a new track, not a copy of the source's
    ASSERT_EQ(track.Count(), 1);
    const TGPXtrkseg& copy = *track.GetTrkSeg(0);
    EXPECT_EQ(copy.Count(), expected[i].first);
    EXPECT_EQ(copy.GetTrkPoint(0)->HBdepth, expected[i].second);
    EXPECT_EQ(copy.maxdepth, 0);
  }
  // Deep: the copies share nothing with the source.
  EXPECT_NE(target.GetTrack(1)->GetTrkSeg(0)->GetTrkPoint(0), source.trk.GetTrack(0)->GetTrkSeg(0)->GetTrkPoint(0));

  CopyShoreLineSegments(target, target);  // into itself: only what it held
  EXPECT_EQ(target.Count(), 7);
}

struct ChunkCase {
  const char* name;
  std::vector<std::vector<int>> tracks;
  std::vector<std::vector<std::vector<int>>> chunks;
  std::vector<std::int64_t> counted;
  friend void PrintTo(const ChunkCase& c, std::ostream* os) { *os << c.name; }
};

class PlanHTChunksCases : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(PlanHTChunksCases, ChunksAndTheirCounts) {
  const ChunkCase& c = GetParam();
  const auto doc = Document(c.tracks);
  const std::vector<THTChunk> chunks = PlanHTChunks(*doc);
  EXPECT_EQ(Shapes(chunks), c.chunks);
  std::vector<std::int64_t> counted;
  for (const THTChunk& chunk : chunks) {
    counted.push_back(chunk.Counted);
    EXPECT_EQ(chunk.ToWrite, chunk.Counted);
    EXPECT_LE(chunk.Counted, kHTChunkLimit);
  }
  EXPECT_EQ(counted, c.counted);
}

std::vector<int> Repeat(int count, int value) { return std::vector<int>(count, value); }

INSTANTIATE_TEST_SUITE_P(
    Examples, PlanHTChunksCases,
    ::testing::Values(
        ChunkCase{"SmallDataOneChunk", {{100, 100}, {100, 100}, {100, 100}},
                  {{{100, 100}, {100, 100}, {100, 100}}}, {681}},
        // Every segment counts 109: 183 fill the first chunk (19947 + the track's 9).
        ChunkCase{"TwoHundredFiftySegments", {Repeat(250, 100)}, {{Repeat(183, 100)}, {Repeat(67, 100)}},
                  {19956, 7312}},
        // The segment that does not fit opens the next chunk in its own track.
        ChunkCase{"SplitInsideTheSecondTrack", {Repeat(150, 100), Repeat(150, 100)},
                  {{Repeat(150, 100), Repeat(33, 100)}, {Repeat(117, 100)}}, {19965, 12762}},
        ChunkCase{"NoTracks", {}, {{}}, {0}},
        // Exactly at the limit, the closing track's overhead included.
        ChunkCase{"LargestSegment", {{19982}}, {{{19982}}}, {20000}},
        ChunkCase{"FullChunkThenFirstSegmentOfTheNextTrack", {{19982}, {5}}, {{{19982}}, {{5}}}, {20000, 23}},
        ChunkCase{"TrackThatFitsOnlyEmpty", {{19973}, {5}}, {{{19973}, {}}, {{5}}}, {20000, 23}}),
    [](const ::testing::TestParamInfo<ChunkCase>& info) { return std::string(info.param.name); });

// A segment too long for any chunk is cut into pieces that join end to start, so
// the device still shows one line.
TEST(PlanHTChunks, OversizeSegmentBecomesPiecesThatJoin) {
  TGPX doc;
  auto track = std::make_unique<TGPXtrk>();
  track->Add(Segment(10));
  const int points = 2 * kHTMaxSegmentPoints + 10;
  track->Add(Segment(points, 1000, 0));
  doc.trk.Add(std::move(track));

  const std::vector<THTChunk> chunks = PlanHTChunks(doc);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(Shapes(chunks), (std::vector<std::vector<std::vector<int>>>{
                                {{10}}, {{kHTMaxSegmentPoints}}, {{kHTMaxSegmentPoints}}, {{12}}}));
  // Read back in order, the pieces give every point once, each joint twice.
  std::vector<double> depths;
  for (std::size_t c = 1; c < chunks.size(); ++c) {
    const TGPXtrkseg& piece = *chunks[c].Data->trk.GetTrack(0)->GetTrkSeg(0);
    if (c > 1) {
      EXPECT_EQ(piece.GetTrkPoint(0)->HBdepth, depths.back());
    }
    for (int i = c > 1 ? 1 : 0; i < piece.Count(); ++i) depths.push_back(piece.GetTrkPoint(i)->HBdepth);
    EXPECT_LE(chunks[c].Counted, kHTChunkLimit);
  }
  ASSERT_EQ(depths.size(), static_cast<std::size_t>(points));
  for (int i = 0; i < points; ++i) ASSERT_EQ(depths[i], 1000 + i);
}

TEST(PlanHTChunks, ChunksAreDeepCopiesAndLeaveTheDataAlone) {
  const auto doc = Document({{3, 4}});
  const std::vector<THTChunk> chunks = PlanHTChunks(*doc);
  ASSERT_EQ(chunks.size(), 1u);
  const TGPXtrkseg& copy = *chunks[0].Data->trk.GetTrack(0)->GetTrkSeg(1);
  const TGPXtrkseg& original = *doc->trk.GetTrack(0)->GetTrkSeg(1);
  EXPECT_NE(&copy, &original);
  EXPECT_NE(copy.GetTrkPoint(0), original.GetTrkPoint(0));
  EXPECT_EQ(copy.GetTrkPoint(3)->Longitude, original.GetTrkPoint(3)->Longitude);
  EXPECT_EQ(CountPoints(*doc, 9), 7 + 27);
}

TEST(ChunkNumber, AtLeastThreeDigits) {
  EXPECT_EQ(ChunkNumber(0), "000");
  EXPECT_EQ(ChunkNumber(7), "007");
  EXPECT_EQ(ChunkNumber(42), "042");
  EXPECT_EQ(ChunkNumber(1234), "1234");
}

TEST(ParseIsoStep, WholeCentimetresOfAtLeastOne) {
  struct Case {
    const char* text;
    std::optional<int> step;
  };
  for (const Case& c : {Case{"100", 100}, Case{" 25 ", 25}, Case{"1", 1}, Case{"2147483647", 2147483647},
                        Case{"0", std::nullopt}, Case{"-100", std::nullopt}, Case{"", std::nullopt},
                        Case{"  ", std::nullopt}, Case{"abc", std::nullopt}, Case{"1.5", std::nullopt},
                        Case{"2147483648", std::nullopt}, Case{"10cm", std::nullopt}})
    EXPECT_EQ(ParseIsoStep(c.text), c.step) << '"' << c.text << '"';
  EXPECT_NE(IsoStepError("0").find("\"0\""), std::string::npos);
  EXPECT_NE(IsoStepError("0").find("at least 1"), std::string::npos);
}

TEST(HTUploadInstructions, SixLinesJoinedByCrLfTheFourthEmpty) {
  EXPECT_EQ(HTUploadInstructions(),
            "To upload the generated files to your Humminbird, you have to\r\n"
            "copy them into a folder \"matrix\" on a SD-Card.\r\n"
            "The generated files should be named 000.ht, 001.ht and so on.\r\n"
            "\r\n"
            "Enter the SD-card in your Humminbird and upload the files, when asked for.\r\n"
            "To colorize them by depth, you have to set the track style to \"color by depth\".");
}

TEST(HTTrackName, FirstTwentyCharacters) {
  EXPECT_EQ(HTTrackName("ABCDEFGHIJKLMNOPQRSTUVWXY"), "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(HTTrackName("NewTrack"), "NewTrack");
  EXPECT_EQ(HTTrackName(""), "");
  // Characters, not bytes: twenty-one ä (two bytes each) keep twenty.
  std::string umlauts;
  for (int i = 0; i < 21; ++i) umlauts += "\xC3\xA4";
  EXPECT_EQ(HTTrackName(umlauts), umlauts.substr(0, 40));
}

}  // namespace
