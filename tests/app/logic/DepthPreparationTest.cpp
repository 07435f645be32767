// The depth operations the loaders share and the centimetre prompt.

#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "app/logic/DepthPreparation.h"
#include "model/GPX.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/logic/LogicSupport.h"

// ---- depth operations and prompts ------------------------------------------------------------

TEST(DepthOperations, MaximumTruncatesAndStartsFromZero) {
  TGPX doc;
  TGPXtrkseg& a = AddSegment(doc, {{1, 1, 850.9}, {1, 1, 0}, {1, 1, 200}});
  TGPXtrkseg& b = AddSegment(doc, {{1, 1, -30}, {1, 1, -5}});
  TGPXtrkseg& empty = AddSegment(doc, {});
  EXPECT_EQ(GetTrackSegMaxDepth(a), 850);
  EXPECT_EQ(GetTrackSegMaxDepth(b), 0);
  EXPECT_EQ(GetTrackSegMaxDepth(empty), 0);
  EXPECT_EQ(GetMaxDepth(doc), 850);
}

TEST(DepthOperations, RemoveSetAndAdd) {
  TGPX doc;
  TGPXtrkseg& seg = AddSegment(doc, {{1, 0, 0}, {2, 0, 0}, {3, 0, 120}, {4, 0, 0}, {5, 0, 300}, {6, 0, 0}});
  RemoveZeroDepth(doc);
  EXPECT_EQ(Latitudes(seg), (std::vector<double>{3, 5}));
  AddDepth(doc, -50);
  EXPECT_EQ(Depths(seg), (std::vector<double>{70, 250}));
  SetDepth(doc, 350);
  EXPECT_EQ(Depths(seg), (std::vector<double>{350, 350}));
  StampMaxDepth(doc, 350);
  EXPECT_EQ(seg.maxdepth, 350);
}

TEST(AskCentimetres, AsksAgainUntilAWholeNumberAndCancelKeepsTheDefault) {
  TScriptedDialogs dialogs;
  dialogs.inputAnswers = {"12.5", "abc", " 35 "};
  EXPECT_EQ(AskCentimetres(dialogs, "Apply depth to dataset", "a.htTrack: T Depth [cm]:"), 35);
  const auto asked = dialogs.OfKind("input");
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].text, "a.htTrack: T Depth [cm]:");
  EXPECT_EQ(asked[0].caption, "Apply depth to dataset");
  EXPECT_EQ(asked[0].defaultValue, "0");
  EXPECT_NE(asked[1].text.find(kWholeCentimetresExpected), std::string::npos);

  struct TCase {
    std::optional<std::string> answer;
    std::int32_t value;
  };
  for (const TCase& c : {TCase{std::nullopt, 0}, TCase{"-20", -20}, TCase{"+5", 5}, TCase{"0", 0}}) {
    TScriptedDialogs d;
    d.inputAnswers = {c.answer};
    EXPECT_EQ(AskCentimetres(d, "c", "p"), c.value);
    EXPECT_EQ(d.OfKind("input").size(), 1u);
  }
}

