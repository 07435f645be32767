// The project window: its frame and tree, choosing and deleting entries, the
// delete modes it switches on for the map, the commands it forwards, and the
// mends around the picked sample and the tree's objects. Ends with one scenario
// from loading to the interpolation's samples.

#include <QLabel>
#include <QTabWidget>

#include "gridding/ShepardThread.h"

#include "tests/app/MapSupport.h"

namespace {
std::vector<std::string> Texts(QTreeWidget* tree) {
  std::vector<std::string> texts;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) texts.push_back((*it)->text(0).toStdString());
  return texts;
}

bool AllExpanded(QTreeWidget* tree) {
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if ((*it)->childCount() > 0 && !(*it)->isExpanded()) return false;
  return true;
}

// A sounding's position, kept after the point is freed.
struct TPosition {
  double lon, lat;
};
TPosition PositionOf(const TPoint4D2& p) { return {p.Longitude, p.Latitude}; }

bool HasSample(const TPointList& coord, TPosition p) {
  for (const auto& c : coord)
    if (c[0] == static_cast<float>(p.lon) && c[1] == static_cast<float>(p.lat)) return true;
  return false;
}
}  // namespace

TEST_F(MapTest, TheProjectWindowIsAFixedToolWindowWithTheFormsControls) {
  EXPECT_EQ(project->windowTitle(), "Project");
  EXPECT_EQ(project->windowType(), Qt::Tool);
  EXPECT_FALSE(project->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(project->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(project->parentWidget(), form.get());
  EXPECT_EQ(project->minimumSize(), project->maximumSize());
  EXPECT_FALSE(project->isVisible());
  EXPECT_EQ(Project<QLabel>("Label1")->text(), "Active Tracks");
  EXPECT_EQ(Tree()->indentation(), 19);
  const std::pair<const char*, const char*> buttons[] = {
      {"btnAddFiles", "Add Files..."},         {"btnDeleteEntry", "Delete Entry"},
      {"btnDeleteSample", "Delete Sample..."}, {"btnDeleteArea", "Delete Area..."},
      {"btnSaveProject", "Save Project..."},   {"btnClose", "Close"}};
  int lastTop = -1;
  for (const auto& [name, caption] : buttons) {
    auto* b = Project<QPushButton>(name);
    EXPECT_EQ(b->text().toStdString(), caption);
    EXPECT_GT(b->y(), lastTop) << name;  // the right column, top to bottom
    lastTop = b->y();
  }

  form->BitBtn1Click();  // "Edit Project..."
  EXPECT_TRUE(project->isVisible());
}

TEST_F(MapTest, TheTreeShowsTheLoadedTracksFullyExpandedAndIsEmptyAfterStartOver) {
  EXPECT_EQ(Tree()->topLevelItemCount(), 0);
  AddFiles({WriteSurvey("a.ht"), WriteHT("b.ht", {{{47.1, 8.1, 300}, {47.2, 8.2, 400}}})});
  EXPECT_EQ(Texts(Tree()), (std::vector<std::string>{"Current Project", "Tracks (2)", "Fixture", "Segment 1",
                                                      "Segment 2", "Segment 3", "Segment 4", "Segment 5",
                                                      "Segment 6", "Fixture", "Segment 1"}));
  EXPECT_TRUE(AllExpanded(Tree()));

  Choose("Segment 1");
  project->btnDeleteAreaClick();
  form->btnStartOverClick();
  EXPECT_EQ(Tree()->topLevelItemCount(), 0);
  EXPECT_EQ(view().MouseMode, mmMove);
  EXPECT_FALSE(Red(Project<QPushButton>("btnDeleteArea")));
}

TEST_F(MapTest, ChoosingANodeMakesItsObjectTheMapSelection) {
  LoadSurvey();
  Choose("Segment 2");
  ASSERT_EQ(data().Selection.Count(), 1);
  EXPECT_EQ(data().Selection.Items(0), Segment(0, 1));
  EXPECT_EQ(view().wptListSelecion, Segment(0, 1));
  Choose("Fixture");
  ASSERT_EQ(data().Selection.Count(), 1);
  EXPECT_EQ(data().Selection.Items(0), data().trk.GetTrack(0));
}

TEST_F(MapTest, DeleteEntryAsksFirstAndNoChangesNothing) {
  LoadSurvey();
  Choose("Fixture");
  dialogs.messageAnswers.push_back(TModalResult::mrNo);
  project->btnDeleteEntryClick();
  ASSERT_EQ(dialogs.shown.size(), 2u);  // the open dialog, then the question
  EXPECT_EQ(dialogs.shown[1].text, "Are you sure that you want to delete the selected track \"Fixture\" ?");
  EXPECT_EQ(dialogs.shown[1].type, TMsgDlgType::mtConfirmation);
  EXPECT_EQ(dialogs.shown[1].buttons, unsigned{mbYes | mbNo});
  EXPECT_EQ(data().trk.Count(), 1);
  EXPECT_EQ(Texts(Tree()).size(), 9u);

  Choose("Segment 3");
  dialogs.messageAnswers.push_back(TModalResult::mrYes);
  project->btnDeleteEntryClick();
  EXPECT_EQ(dialogs.shown.back().text, "Are you sure that you want to delete the selected track segment ?");
  EXPECT_EQ(data().trk.GetTrack(0)->Count(), 5);
  EXPECT_EQ(Texts(Tree()).size(), 8u);

  Choose("Fixture");
  dialogs.messageAnswers.push_back(TModalResult::mrYes);
  project->btnDeleteEntryClick();
  EXPECT_EQ(data().trk.Count(), 0);
  EXPECT_EQ(Texts(Tree()), (std::vector<std::string>{"Current Project", "Tracks (0)"}));
  EXPECT_EQ(data().Selection.Count(), 0);
  // Gone from the map too: the picture is white.
  const TBitmap& picture = Find<TImage>("GPXImage")->Picture();
  for (int y = 0; y < picture.Height(); y += 7)
    for (int x = 0; x < picture.Width(); x += 7) ASSERT_EQ(picture.Pixel(x, y), TColor{0xFFFFFF}) << x << "," << y;
}

TEST_F(MapTest, DeleteSampleNeedsASelectedSegmentAndTogglesItsMode) {
  LoadSurvey();
  auto* sample = Project<QPushButton>("btnDeleteSample");
  Choose("Fixture");
  project->btnDeleteSampleClick();
  EXPECT_EQ(view().MouseMode, mmMove);
  EXPECT_FALSE(Red(sample));

  Choose("Segment 1");
  project->btnDeleteSampleClick();
  EXPECT_EQ(view().MouseMode, mmDeleteTrackPoint);
  EXPECT_TRUE(Red(sample));
  EXPECT_EQ(Find<TImage>("GPXImage")->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(Status(0), "Select sample to delete...");
  project->btnDeleteSampleClick();
  EXPECT_EQ(view().MouseMode, mmMove);
  EXPECT_FALSE(Red(sample));
  EXPECT_EQ(Find<TImage>("GPXImage")->cursor().shape(), Qt::SizeAllCursor);
  EXPECT_EQ(Status(0), "");
}

TEST_F(MapTest, ClosingHidesTheWindowAndClearsTheMapSelectionLikeClose) {
  LoadSurvey();
  form->BitBtn1Click();
  Choose("Segment 1");
  ASSERT_EQ(data().Selection.Count(), 1);
  project->close();  // the close box
  EXPECT_FALSE(project->isVisible());
  EXPECT_EQ(data().Selection.Count(), 0);
  form->BitBtn1Click();  // still there
  EXPECT_TRUE(project->isVisible());
  Choose("Segment 2");
  project->btnCloseClick();
  EXPECT_FALSE(project->isVisible());
  EXPECT_EQ(data().Selection.Count(), 0);
}

TEST_F(MapTest, APickedSampleIsFreedOnceAndOnlyByTheListThatHoldsIt) {
  LoadSurvey();
  Choose("Segment 2");
  project->btnDeleteSampleClick();
  TGPXtrkseg* first = Segment(0, 1);
  const QPoint at = PixelOf(*first->GetPoint(5));
  Hover(at);
  ASSERT_EQ(view().wptSelection, first->GetPoint(5));
  EXPECT_EQ(Status(0).rfind("Delete Point at " + first->GetPoint(5)->Coord() + ", Depth: 2.00m", 0), 0u);
  const int before = first->Count();
  Down(at);
  Up(at, Qt::AltModifier);  // deletes and keeps the mode
  EXPECT_EQ(first->Count(), before - 1);
  EXPECT_EQ(view().wptSelection, nullptr);
  EXPECT_EQ(view().MouseMode, mmDeleteTrackPoint);
  // A second release without a new pick frees nothing (ASan stops a double free).
  Down(at);
  Up(at, Qt::AltModifier);
  EXPECT_EQ(first->Count(), before - 1);

  // The tree selection changed by keyboard while the mouse stayed on the map:
  // the point picked in segment 2 is not freed out of segment 3.
  Hover(at);
  ASSERT_NE(view().wptSelection, nullptr);
  Tree()->setFocus();
  Choose("Segment 3");
  const int third = Segment(0, 2)->Count();
  Down(at);
  Up(at);
  EXPECT_EQ(first->Count(), before - 1);
  EXPECT_EQ(Segment(0, 2)->Count(), third);
  EXPECT_EQ(view().wptSelection, nullptr);
  EXPECT_EQ(view().MouseMode, mmMove);
  EXPECT_FALSE(Red(Project<QPushButton>("btnDeleteSample")));
}

TEST_F(MapTest, TreeNodesNeverLeadToFreedObjectsAfterACut) {
  LoadSurvey();
  Choose("Segment 6");
  // Cut out the whole last line: its segment leaves the track.
  const TGPXtrkseg* last = Segment(0, 5);
  const QPoint west = PixelOf(*last->GetPoint(0)), east = PixelOf(*last->GetPoint(40));
  project->btnDeleteAreaClick();
  DragRectangle({west.x() - 5, west.y() - 5}, {east.x() + 5, east.y() + 5});
  EXPECT_EQ(data().trk.GetTrack(0)->Count(), 5);
  // The tree was rebuilt: no node shows the freed segment.
  EXPECT_TRUE(Tree()->findItems("Segment 6", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
  Choose("Segment 5");
  EXPECT_EQ(data().Selection.Items(0), Segment(0, 4));
}

TEST_F(MapTest, AddFilesAndSaveProjectWaitWhileTheMainWindowIsBusy) {
  // A run whose bands start only when the test lets them.
  struct TDeferred {
    const TInterpolationRun* run;
    TBand band;
    TShepardThread::TBandEnded onEnded;
  };
  std::vector<TDeferred> pending;
  form.reset();
  form = MakeForm(2, {}, [&pending](const TInterpolationRun& run, TBand band, TShepardThread::TBandEnded onEnded) {
    pending.push_back({&run, band, std::move(onEnded)});
  });
  project = new TForm2(*form);
  form->SetProjectWindow(project, project);
  auto* add = Project<QPushButton>("btnAddFiles");
  auto* save = Project<QPushButton>("btnSaveProject");
  LoadSurvey();

  const std::size_t shownBefore = dialogs.shown.size();
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Interpolating());
  EXPECT_FALSE(add->isEnabled());
  EXPECT_FALSE(save->isEnabled());
  project->btnAddFilesClick();
  project->btnSaveProjectClick();
  EXPECT_EQ(dialogs.shown.size(), shownBefore);  // no open or save dialog
  // The delete modes still switch: they touch nothing the workers read.
  project->btnDeleteAreaClick();
  EXPECT_EQ(view().MouseMode, mmCutter);
  project->btnDeleteAreaClick();

  const auto release = [&pending] {
    std::vector<TDeferred> now = std::move(pending);
    pending.clear();
    for (TDeferred& d : now) TThdsInterpolate::Start(*d.run, d.band.First, d.band.Last, std::move(d.onEnded));
  };
  ASSERT_TRUE(form->Dispatcher().PumpUntil([&] {
    release();
    return !form->Interpolating();
  }));
  EXPECT_TRUE(add->isEnabled());
  EXPECT_TRUE(save->isEnabled());
  // The main window's command, also while its own button is off.
  Find<QPushButton>("btnTrkSaveGPX")->setEnabled(false);
  dialogs.saveAnswers.push_back(Path("project"));
  project->btnSaveProjectClick();
  ASSERT_EQ(dialogs.OfKind("save").size(), 1u);
  EXPECT_EQ(dialogs.OfKind("save")[0].caption, "Save current project...");
  EXPECT_TRUE(std::filesystem::exists(Path("project.gpx")));
}

// Files added from the project window while another page shows, after the
// window was resized: once its page shows, the source map is fitted to the size
// it is shown with.
TEST_F(MapTest, FilesAddedWhileTheSourceMapIsHiddenFillItOnceItShows) {
  auto* pages = Find<QTabWidget>("pcMain");
  pages->setCurrentIndex(3);
  form->setMinimumSize(400, 300);
  const QSize smaller = form->size() - QSize(120, 90);
  form->resize(smaller);
  ASSERT_TRUE(form->Dispatcher().PumpUntil([&] { return form->size() == smaller; }, std::chrono::seconds(5)));
  QCoreApplication::processEvents();
  dialogs.openAnswers.push_back({WriteSurvey("survey.ht")});
  project->btnAddFilesClick();
  ASSERT_TRUE(Ws().FileLoaded());
  pages->setCurrentIndex(0);
  QCoreApplication::processEvents();
  ExpectFillsItsMap(Ws().GPXView(), *Find<TImage>("GPXImage"));
  // The area and the figures are of the map as shown.
  EXPECT_EQ(Ws().ShadowArray().Width(), Find<TImage>("GPXImage")->width());
  EXPECT_EQ(Find<QLabel>("lblImageSize")->text().toStdString(),
            "Screen Size: " + std::to_string(Find<TImage>("GPXImage")->width()) + " x " +
                std::to_string(Find<TImage>("GPXImage")->height()) + " px");
}

// With every track deleted, nothing is left to interpolate: "Interpolate" says so
// and the window stays as it was, the figures of the data as loaded included.
TEST_F(MapTest, InterpolateWithEveryTrackDeletedIsRefusedAndChangesNothing) {
  LoadSurvey();
  const QString maxDepth = Find<QLabel>("lblMaxDepth1")->text();
  Choose("Fixture");
  dialogs.messageAnswers.push_back(TModalResult::mrYes);
  project->btnDeleteEntryClick();
  ASSERT_EQ(data().trk.Count(), 0);
  dialogs.shown.clear();

  form->btnInterpolateClick();
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_NE(dialogs.Errors()[0].find("no depth sample is left"), std::string::npos) << dialogs.Errors()[0];
  EXPECT_FALSE(form->Interpolating());
  EXPECT_FALSE(Ws().InterpLoaded());
  EXPECT_FALSE(Find<QPushButton>("btnInterpolSaveBMP")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("btnIsoMap")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("btnInterpolate")->isEnabled());
  EXPECT_EQ(Find<QLabel>("lblMaxDepth1")->text(), maxDepth);
  EXPECT_EQ(form->minimumSize(), form->RestoredMinimumSize());  // no run froze the window
  for (const std::string& line : form->LogLines()) EXPECT_EQ(line.find("Num Tasks"), std::string::npos);
}

TEST_F(MapTest, DeletedSoundingsAreGoneFromTheSamplesOfTheRun) {
  // The survey and a second file of two lines north of it.
  TSegmentPoints north1, north2;
  for (int col = 0; col <= 40; ++col) {
    north1.push_back({47.0048, 8.0 + col * 0.0002, 500.0 + col});
    north2.push_back({47.0056, 8.0 + col * 0.0002, 600.0 + col});
  }
  AddFiles({WriteSurvey("a.ht"), WriteHT("b.ht", {north1, north2})});
  // The second file's second segment, chosen in the tree.
  const auto segments = Tree()->findItems("Segment 2", Qt::MatchExactly | Qt::MatchRecursive);
  ASSERT_EQ(segments.size(), 2);
  Tree()->setCurrentItem(segments[1]);
  TGPXtrkseg* chosen = Segment(1, 1);
  ASSERT_EQ(data().Selection.Items(0), chosen);

  // One sample picked and deleted.
  project->btnDeleteSampleClick();
  const TPosition single = PositionOf(*chosen->GetPoint(20));
  const QPoint at = PixelOf(*chosen->GetPoint(20));
  Hover(at);
  ASSERT_EQ(view().wptSelection, chosen->GetPoint(20));
  Down(at);
  Up(at);
  ASSERT_EQ(chosen->Count(), 40);

  // A rectangle of four samples on the survey's second line.
  TGPXtrkseg* line = Segment(0, 1);
  const TPosition west = PositionOf(*line->GetPoint(30));
  const TPosition east = PositionOf(*line->GetPoint(33));
  project->btnDeleteAreaClick();
  DragRectangle(PixelOf(*line->GetPoint(30)) - QPoint(2, 3), PixelOf(*line->GetPoint(33)) + QPoint(2, 3));
  EXPECT_EQ(line->Count(), 37);

  Interpolate();
  ASSERT_TRUE(Ws().InterpLoaded());
  ASSERT_TRUE(Ws().InCoord());
  EXPECT_FALSE(HasSample(*Ws().InCoord(), single));
  EXPECT_FALSE(HasSample(*Ws().InCoord(), west));
  EXPECT_FALSE(HasSample(*Ws().InCoord(), east));
  // A first point is never thinned.
  EXPECT_TRUE(HasSample(*Ws().InCoord(), PositionOf(*line->GetPoint(0))));
  EXPECT_TRUE(HasSample(*Ws().InCoord(), PositionOf(*chosen->GetPoint(0))));
}
