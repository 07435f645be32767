#include <gtest/gtest.h>

#include "app/logic/ProjectEditing.h"
#include "app/logic/ProjectTree.h"
#include "tests/app/logic/ProjectFixture.h"

namespace {
struct EditingFixture : ProjectFixture {
  TProjectTreeModel Tree() const { return TProjectTreeModel::Build(&doc, true); }
  void Select(std::initializer_list<TObject*> objects) {
    doc.Selection.Clear();
    for (TObject* o : objects) doc.Selection.Add(o);
  }
};
}  // namespace

TEST(ProjectEditing, TheQuestionDescribesTheFirstSelectedObjectByItsKind) {
  EditingFixture f;
  TGPXtrk* track = f.AddTrack("Lake", 1);
  TGPXwpt* buoy = f.AddWaypoint("Buoy");
  TGPXwpt* unnamed = f.AddWaypoint("");
  TGPXrte route;
  route.name = "Home";
  const struct {
    const TObject* object;
    const char* description;
  } cases[] = {{&route, "the selected route \"Home\""},
               {track, "the selected track \"Lake\""},
               {track->GetTrkSeg(0), "the selected track segment"},
               {buoy, "the selected point \"Buoy\""},
               {unnamed, "the selected point"},
               {&f.doc.trk, "the selected item"}};
  for (const auto& c : cases) EXPECT_EQ(DeletionDescription(*c.object), c.description) << c.description;
  EXPECT_EQ(DeletionQuestion(*track), "Are you sure that you want to delete the selected track \"Lake\" ?");
}

TEST(ProjectEditing, DeletingATrackASegmentAndAWaypointTakesThemOutOfTheDocument) {
  EditingFixture f;
  TGPXwpt* first = f.AddWaypoint("");
  TGPXwpt* second = f.AddWaypoint("");
  TGPXtrk* lake = f.AddTrack("Lake", 1);
  TGPXtrk* survey = f.AddTrack("", 2);
  TGPXtrkseg* kept = survey->GetTrkSeg(1);

  f.Select({lake});
  f.view.wptSelection = lake->GetTrkSeg(0)->GetWaypoint(0);
  EXPECT_TRUE(DeleteSelectedObjects(f.view, f.doc, f.Tree()));
  ASSERT_EQ(f.doc.trk.Count(), 1);
  EXPECT_EQ(f.doc.trk.GetTrack(0), survey);
  EXPECT_EQ(f.doc.Selection.Count(), 0);
  EXPECT_EQ(f.view.wptSelection, nullptr);

  f.Select({survey->GetTrkSeg(0)});
  EXPECT_TRUE(DeleteSelectedObjects(f.view, f.doc, f.Tree()));
  ASSERT_EQ(survey->Count(), 1);
  EXPECT_EQ(survey->GetTrkSeg(0), kept);

  f.Select({second});
  EXPECT_TRUE(DeleteSelectedObjects(f.view, f.doc, f.Tree()));
  ASSERT_EQ(f.doc.wpt.Count(), 1);
  EXPECT_EQ(f.doc.wpt.GetWaypoint(0), first);

  EXPECT_FALSE(DeleteSelectedObjects(f.view, f.doc, f.Tree()));  // nothing selected
}

TEST(ProjectEditing, WhatAnEarlierDeletionFreedIsNotTouchedAgain) {
  // A track selected before its own segment and one of that segment's points:
  // freeing the track frees them too (ASan reports any later access).
  EditingFixture f;
  TGPXtrk* lake = f.AddTrack("Lake", 2);
  TGPXtrk* other = f.AddTrack("Other", 1);
  TGPXtrkseg* segment = lake->GetTrkSeg(1);
  f.Select({lake, segment, segment->GetWaypoint(0), other->GetTrkSeg(0)});
  const TProjectTreeModel tree = f.Tree();
  EXPECT_TRUE(DeleteSelectedObjects(f.view, f.doc, tree));
  ASSERT_EQ(f.doc.trk.Count(), 1);
  EXPECT_EQ(f.doc.trk.GetTrack(0), other);
  EXPECT_TRUE(other->IsEmpty());  // its segment went as well
}

TEST(ProjectEditing, ObjectsTheDocumentNoLongerHoldsAreLeftAlone) {
  EditingFixture f;
  TGPXtrk* lake = f.AddTrack("Lake", 2);
  const TProjectTreeModel stale = f.Tree();
  // Cut out of its track by the map, but still shown by a tree not yet rebuilt.
  std::unique_ptr<TGPXtrkseg> cut = lake->Delete(0);
  f.Select({cut.get()});
  EXPECT_FALSE(DeleteSelectedObjects(f.view, f.doc, stale));
  EXPECT_EQ(lake->Count(), 1);
  EXPECT_EQ(cut->Count(), 2);  // still alive, untouched

  // A segment the tree does not show is not deleted either.
  f.Select({lake->GetTrkSeg(0)});
  EXPECT_FALSE(DeleteSelectedObjects(f.view, f.doc, TProjectTreeModel()));
  EXPECT_EQ(lake->Count(), 1);
}

TEST(ProjectEditing, TheWaypointListAndTheMetadataAreReplacedByEmptyOnes) {
  EditingFixture f;
  f.AddWaypoint("A");
  f.AddWaypoint("B");
  f.doc.metadata.name = "Survey";
  f.doc.metadata.filled = true;
  f.Select({&f.doc.wpt, &f.doc.metadata});
  EXPECT_TRUE(DeleteSelectedObjects(f.view, f.doc, f.Tree()));
  EXPECT_TRUE(f.doc.wpt.IsEmpty());
  EXPECT_FALSE(f.doc.wpt.filled);
  EXPECT_EQ(f.doc.metadata.name, "");
  EXPECT_FALSE(f.doc.metadata.filled);

  f.Select({&f.doc, &f.doc.trk});  // the document and the track list stay
  EXPECT_FALSE(DeleteSelectedObjects(f.view, f.doc, f.Tree()));
}

TEST(ProjectEditing, TheTreeChoiceBecomesTheSelectionOnlyWhileTheDocumentHoldsIt) {
  EditingFixture f;
  TGPXtrk* lake = f.AddTrack("Lake", 2);
  TGPXwpt* buoy = f.AddWaypoint("Buoy");
  TGPXtrkseg* segment = lake->GetTrkSeg(1);

  EXPECT_TRUE(SelectTreeObject(f.view, segment));
  EXPECT_EQ(f.doc.Selection.Count(), 1);
  EXPECT_EQ(f.doc.Selection.Items(0), segment);
  EXPECT_EQ(f.view.wptListSelecion, segment);
  EXPECT_TRUE(SelectTreeObject(f.view, buoy));
  EXPECT_FALSE(SelectTreeObject(f.view, lake));  // selected, but drawn alike
  EXPECT_EQ(f.doc.Selection.Items(0), lake);
  EXPECT_FALSE(SelectTreeObject(f.view, &f.doc));
  EXPECT_EQ(f.doc.Selection.Items(0), &f.doc);

  // A node left over from before a cut: the freed segment is never looked at.
  const TObject* freed = nullptr;
  {
    std::unique_ptr<TGPXtrkseg> cut = lake->Delete(1);
    freed = cut.get();
  }
  EXPECT_FALSE(SelectTreeObject(f.view, const_cast<TObject*>(freed)));
  EXPECT_EQ(f.doc.Selection.Items(0), &f.doc);
  EXPECT_FALSE(DocumentHolds(f.doc, freed));
  EXPECT_TRUE(DocumentHolds(f.doc, lake->GetTrkSeg(0)));
  EXPECT_FALSE(DocumentHolds(f.doc, lake->GetTrkSeg(0)->GetWaypoint(0)));  // points are not shown
}

TEST(ProjectEditing, CuttingAnAreaEmptiesTheSelectionAndForgetsThePick) {
  EditingFixture f;
  TGPXtrkseg* inside = f.AddSegment({{100, 100, 300}, {120, 110, 400}});
  TGPXtrkseg* outside = f.AddSegment({{500, 500, 300}, {520, 510, 400}});
  f.Select({outside});
  f.view.wptSelection = outside->GetWaypoint(0);  // survives the cut, but is forgotten
  f.view.MouseX = 50;
  f.view.MouseY = 50;
  TCutterUnlinked unlinked = CutArea(f.view, 200, 200);
  ASSERT_EQ(unlinked.trk.size(), 1u);
  EXPECT_EQ(unlinked.trk[0]->Count(), 0);
  EXPECT_EQ(unlinked.trkseg[0].get(), inside);
  EXPECT_EQ(f.doc.trk.Count(), 1);
  EXPECT_EQ(outside->Count(), 2);
  EXPECT_EQ(f.doc.Selection.Count(), 0);
  EXPECT_EQ(f.view.wptSelection, nullptr);
}
