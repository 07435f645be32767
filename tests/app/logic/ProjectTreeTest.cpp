#include <gtest/gtest.h>

#include "app/logic/ProjectTree.h"
#include "tests/app/logic/ProjectFixture.h"

namespace {
struct Expected {
  std::string text;
  const TObject* object;
  int parent;
};

void ExpectTree(const TProjectTreeModel& tree, const std::vector<Expected>& expected) {
  ASSERT_EQ(tree.Nodes().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(tree.Nodes()[i].Text, expected[i].text) << i;
    EXPECT_EQ(tree.Nodes()[i].Object, expected[i].object) << i;
    EXPECT_EQ(tree.Nodes()[i].Parent, expected[i].parent) << i;
  }
}
}  // namespace

TEST(ProjectTree, ShowsWaypointsAndTracksWithTheirObjectsAndNamesOrPositions) {
  ProjectFixture f;
  TGPXwpt* named = f.AddWaypoint("Jetty");
  TGPXwpt* second = f.AddWaypoint("");
  TGPXwpt* third = f.AddWaypoint("");
  TGPXtrk* lake = f.AddTrack("Lake", 1);
  TGPXtrk* unnamed = f.AddTrack("", 2);
  f.doc.rte.Add(std::make_unique<TGPXrte>());  // routes are not shown
  f.doc.rte.filled = true;

  const TProjectTreeModel tree = TProjectTreeModel::Build(&f.doc, true);
  ExpectTree(tree, {{"Current Project", &f.doc, -1},
                    {"Waypoints (3)", &f.doc.wpt, 0},
                    {"Jetty", named, 1},
                    {"WayPoint 2", second, 1},
                    {"WayPoint 3", third, 1},
                    {"Tracks (2)", &f.doc.trk, 0},
                    {"Lake", lake, 5},
                    {"Segment 1", lake->GetTrkSeg(0), 6},
                    {"Track 2", unnamed, 5},
                    {"Segment 1", unnamed->GetTrkSeg(0), 8},
                    {"Segment 2", unnamed->GetTrkSeg(1), 8}});
  EXPECT_EQ(tree.FindNode(unnamed->GetTrkSeg(1)), 10);
  EXPECT_EQ(tree.ParentObject(10), unnamed);
  EXPECT_EQ(tree.ParentObject(0), nullptr);
  EXPECT_EQ(tree.ParentObject(11), nullptr);
  EXPECT_EQ(tree.FindNode(f.doc.rte.GetRoute(0)), -1);
}

TEST(ProjectTree, ListsNotFilledAreLeftOutAndNothingShowsBeforeFilesAreLoaded) {
  ProjectFixture f;
  f.AddTrack("", 1);
  f.doc.wpt.Add(MakePoint(50.5, 10.5));  // held but never filled from a file
  ExpectTree(TProjectTreeModel::Build(&f.doc, true), {{"Current Project", &f.doc, -1},
                                                      {"Tracks (1)", &f.doc.trk, 0},
                                                      {"Track 1", f.doc.trk.GetTrack(0), 1},
                                                      {"Segment 1", f.doc.trk.GetTrack(0)->GetTrkSeg(0), 2}});
  EXPECT_TRUE(TProjectTreeModel::Build(&f.doc, false).Empty());
  EXPECT_TRUE(TProjectTreeModel::Build(nullptr, true).Empty());
}
