// "ISO Map", "Create HT-File" and the saves of the contour pages and the project,
// driven through the window with scripted dialogs.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/StandInControls.h"
#include "app/logic/ContourOutput.h"
#include "formats/GPXFile.h"
#include "mapview/GPXDraw.h"
#include "tests/app/FormSupport.h"
#include "tests/support/FileSizeLimit.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The text our GPX writer makes of a document.
std::string GPXText(TGPX& doc) {
  TGPXFile file;
  file.GPXd = &doc;
  TGPXStringSink text;
  file.ExportGPX(text);
  return text.Text;
}

void ExpectSaveDialog(const TScriptedDialogs::TShown& shown, const std::string& caption, const std::string& filter,
                      const std::string& defaultExt) {
  EXPECT_EQ(shown.kind, "save");
  EXPECT_EQ(shown.caption, caption);
  EXPECT_EQ(shown.filter, filter);
  EXPECT_EQ(shown.defaultExt, defaultExt);
}

// A file read back with our HT reader.
std::unique_ptr<TGPX> ReadHTBack(const std::string& path) {
  auto doc = std::make_unique<TGPX>();
  THTConvert reader(doc.get(), "", path);
  EXPECT_TRUE(reader.ReadHT().Loaded) << path;
  return doc;
}

// `tracks` tracks of `segments` segments of `points` points each, in the lake.
std::unique_ptr<TGPX> ContourData(int tracks, int segments, int points) {
  auto doc = std::make_unique<TGPX>();
  for (int t = 0; t < tracks; ++t) {
    auto trk = std::make_unique<TGPXtrk>();
    for (int s = 0; s < segments; ++s) {
      TSegmentPoints line;
      for (int i = 0; i < points; ++i) line.push_back({47.0 + s * 1e-4, 8.0 + i * 1e-5, 100.0 * (t + 1)});
      trk->Add(MakeSegment(line));
    }
    doc->trk.Add(std::move(trk));
  }
  return doc;
}

class FormContoursTest : public FormTest {
protected:
  // The survey loaded (with a shore and an island around it when asked) and
  // interpolated.
  void LoadAndInterpolate(double depthScale = 1.0, bool withShore = false) {
    std::vector<std::string> files = {WriteSurvey("survey.ht", depthScale)};
    if (withShore) files.push_back(WriteShore("shore.ht"));
    AddFiles(files);
    Interpolate();
    ASSERT_TRUE(Ws().InterpolatedMap().has_value());
  }

  // A shore around the survey and a small island west of it, at depth 0.
  std::string WriteShore(const std::string& name) {
    const auto ring = [](double south, double west, double north, double east) {
      TSegmentPoints ring;
      for (int i = 0; i <= 20; ++i) ring.push_back({south, west + (east - west) * i / 20, 0});
      for (int i = 1; i <= 20; ++i) ring.push_back({south + (north - south) * i / 20, east, 0});
      for (int i = 1; i <= 20; ++i) ring.push_back({north, east - (east - west) * i / 20, 0});
      for (int i = 1; i <= 20; ++i) ring.push_back({north - (north - south) * i / 20, west, 0});
      return ring;
    };
    return WriteHT(name, {ring(46.9990, 7.9960, 47.0050, 8.0090), ring(47.0015, 7.9970, 47.0025, 7.9985)});
  }

  void TraceContours(const std::string& step = "100") {
    Find<QLineEdit>("edtIsoStep")->setText(QString::fromStdString(step));
    form->btnIsoMapClick();
  }

  std::int64_t ContourCount() const { return CountPoints(form->Workspace().IsoData(), kHTOverhead); }

  // Runs `action` from the event loop while "ISO Map" pumps between levels, and
  // notes whether it ran during the trace.
  void DuringTrace(std::function<void()> action) {
    QTimer::singleShot(0, form.get(), [this, action] {
      ranWhileTracing.push_back(form->Tracing());
      action();
    });
  }
  std::vector<bool> ranWhileTracing;

  void ScriptSaves(const std::vector<std::optional<std::string>>& names) {
    for (const auto& name : names) dialogs.saveAnswers.push_back(name ? std::optional(Path(*name)) : std::nullopt);
  }
};

// ---- "ISO Map" --------------------------------------------------------------------

TEST_F(FormContoursTest, IsoMapTracesTheLevelsShowsThemAndAddsTheShoreLines) {
  LoadAndInterpolate(1.0, true);
  TraceContours("100");
  ASSERT_TRUE(dialogs.Errors().empty()) << dialogs.Errors().front();
  const TWorkspace& ws = Ws();
  const int shoreTracks = 2;
  const int contourTracks = ws.IsoData().trk.Count() - shoreTracks;
  ASSERT_GT(contourTracks, 0);

  // The labels count the contours alone, before the shore lines join them.
  TGPX contoursOnly;
  for (int t = 0; t < contourTracks; ++t) {
    auto copy = std::make_unique<TGPXtrk>();
    copy->CopyFrom(*ws.IsoData().trk.GetTrack(t));
    contoursOnly.trk.Add(std::move(copy));
  }
  EXPECT_EQ(Find<QLabel>("lblNumIsoTracks")->text().toStdString(), "# Tracks: " + std::to_string(contourTracks));
  EXPECT_EQ(Find<QLabel>("lblGeneratedPoints")->text().toStdString(),
            "# Points: " + std::to_string(CountPoints(contoursOnly, 9)));

  // Levels are multiples of the step up to the maximum depth + 1, on the lake.
  const TInterpolatedMap& map = *ws.InterpolatedMap();
  for (int t = 0; t < contourTracks; ++t)
    for (const TGPXtrkseg& seg : *ws.IsoData().trk.GetTrack(t)) {
      EXPECT_GT(seg.Count(), 2);
      for (const TPoint4D2& p : seg) {
        EXPECT_EQ(static_cast<int>(p.HBdepth) % 100, 0);
        EXPECT_LE(p.HBdepth, map.MaxDepth + 1);
        EXPECT_TRUE(map.Mask[map.Projection.LoToX(p.Longitude)][map.Projection.LaToY(p.Latitude)]);
      }
    }
  // Then a track of its own for each shore line, copied point for point.
  for (int s = 0; s < shoreTracks; ++s) {
    const TGPXtrk& shore = *ws.IsoData().trk.GetTrack(contourTracks + s);
    ASSERT_EQ(shore.Count(), 1);
    EXPECT_EQ(shore.GetTrkSeg(0)->Count(), ws.GPXdata().trk.GetTrack(1)->GetTrkSeg(s)->Count());
  }

  EXPECT_TRUE(ws.IsoLoaded());
  EXPECT_EQ(ws.IsoView().GPXd, &ws.IsoData());
  EXPECT_EQ(Find<TImage>("IsoMap")->Picture().Width(), map.Width);
  for (const char* name : {"btnIsoMap", "btnIsoSaveBMP", "btnIsoSaveGPX", "btnCreateHT", "btnHtFit", "btnHtZoom"})
    EXPECT_TRUE(Find<QPushButton>(name)->isEnabled()) << name;
  EXPECT_FALSE(Find<QProgressBar>("pbIsoMap")->isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // A second run replaces the contours.
  const std::int64_t first = ContourCount();
  TraceContours("100");
  EXPECT_EQ(ContourCount(), first);
}

// "ISO Map" on its own page binds the HT Contour map before that page was ever
// laid out: once shown, the contours fill the map, not a corner of it.
TEST_F(FormContoursTest, TheHtContourMapIsFittedToTheSizeItIsShownWith) {
  LoadAndInterpolate();
  auto* pages = Find<QTabWidget>("pcMain");
  pages->setCurrentIndex(2);
  TraceContours("100");
  ASSERT_TRUE(Ws().IsoLoaded());
  pages->setCurrentIndex(3);
  QCoreApplication::processEvents();
  ExpectFillsItsMap(Ws().IsoView(), *Find<TImage>("IsoImage"));

  // A zoom on the shown map stays when the window is resized.
  form->btnHtZoomClick();
  form->IsoImageMouseDown(Qt::LeftButton, Qt::NoModifier, Qt::LeftButton, 20, 20);
  form->IsoImageMouseUp(Qt::LeftButton, Qt::NoModifier, Qt::NoButton, 120, 90);
  const double zoomed = Ws().IsoView().BBox.Rm;
  form->setMinimumSize(400, 300);
  const QSize smaller = form->size() - QSize(60, 40);
  form->resize(smaller);
  ASSERT_TRUE(form->Dispatcher().PumpUntil([&] { return form->size() == smaller; }, std::chrono::seconds(5)));
  QCoreApplication::processEvents();
  EXPECT_EQ(Ws().IsoView().Width(), Find<TImage>("IsoImage")->width());
  EXPECT_EQ(Ws().IsoView().BBox.Rm, zoomed);
}

// "ISO Map" run again clears the contour view, which pans again: its button and
// cursor say so.
TEST_F(FormContoursTest, ARetraceEndsTheZoomModeOfTheHtContourMapAndItsButtonShowsIt) {
  LoadAndInterpolate();
  TraceContours("100");
  auto* zoom = Find<QPushButton>("btnHtZoom");
  auto* image = Find<TImage>("IsoImage");
  zoom->click();
  ASSERT_EQ(Ws().IsoView().MouseMode, mmZoom);
  ASSERT_TRUE(zoom->isChecked());
  ASSERT_EQ(image->cursor().shape(), Qt::CrossCursor);
  TraceContours("100");
  EXPECT_EQ(Ws().IsoView().MouseMode, mmMove);
  EXPECT_FALSE(zoom->isChecked());
  EXPECT_EQ(image->cursor().shape(), Qt::SizeAllCursor);
  // A drag pans, as the button says.
  const double west = Ws().IsoView().BBox.O;
  form->IsoImageMouseDown(Qt::LeftButton, Qt::NoModifier, Qt::LeftButton, 100, 100);
  form->IsoImageMouseMove(Qt::NoModifier, Qt::LeftButton, 130, 100);
  EXPECT_LT(Ws().IsoView().BBox.O, west);
}

TEST_F(FormContoursTest, BadStepOrNoMapIsRefusedBeforeAnythingIsCleared) {
  AddFiles({WriteSurvey("survey.ht")});
  form->btnIsoMapClick();
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_NE(dialogs.Errors()[0].find("no interpolated map"), std::string::npos);

  Interpolate();
  TraceContours("100");
  const std::int64_t traced = ContourCount();
  ASSERT_GT(traced, 0);
  for (const char* step : {"0", "-100", "", "abc", " "}) {
    dialogs.shown.clear();
    TraceContours(step);
    ASSERT_EQ(dialogs.Errors().size(), 1u) << '"' << step << '"';
    EXPECT_NE(dialogs.Errors()[0].find("whole number of centimetres of at least 1"), std::string::npos);
    EXPECT_EQ(dialogs.shown[0].buttons, unsigned{mbCancel});
    EXPECT_EQ(ContourCount(), traced) << step;
    EXPECT_FALSE(Find<TImage>("IsoMap")->Picture().Empty()) << step;
    EXPECT_TRUE(Find<QPushButton>("btnIsoMap")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }

  dialogs.shown.clear();
  TWorkspaceProbe::InterpolatedMap(Ws())->MaxDepth = 0;
  TraceContours("100");
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_NE(dialogs.Errors()[0].find("no depth"), std::string::npos);
  EXPECT_EQ(ContourCount(), traced);
}

// What the user does while the levels are traced reaches nothing the tracer reads:
// the commands hold off, pages may still be looked at, and closing waits.
TEST_F(FormContoursTest, TracingHoldsOffEveryCommandThatChangesTheData) {
  LoadAndInterpolate();
  TraceContours("100");
  const std::int64_t undisturbed = ContourCount();
  const int loadedPoints = TrackPointCount(Ws().GPXdata());

  dialogs.shown.clear();
  dialogs.openAnswers.push_back({WriteSurvey("more.ht", 2.0)});
  DuringTrace([this] { form->btnStartOverClick(); });
  DuringTrace([this] { form->btnInterpolateClick(); });
  DuringTrace([this] { form->btnAddFilesClick(); });
  DuringTrace([this] { form->btnTrkZoomInClick(); });
  DuringTrace([this] { form->Timer1Timer(); });
  DuringTrace([this] { Find<QTabWidget>("pcMain")->setCurrentIndex(1); });  // rebuilds the mask when idle
  DuringTrace([this] { form->btnIsoMapClick(); });
  DuringTrace([this] { form->close(); });
  TraceContours("100");

  EXPECT_EQ(ranWhileTracing, std::vector<bool>(8, true));
  EXPECT_TRUE(dialogs.Errors().empty());
  EXPECT_TRUE(dialogs.OfKind("open").empty());
  EXPECT_EQ(ContourCount(), undisturbed);
  EXPECT_TRUE(Ws().FileLoaded());
  EXPECT_TRUE(Ws().InterpLoaded());
  EXPECT_FALSE(form->Interpolating());
  EXPECT_EQ(TrackPointCount(Ws().GPXdata()), loadedPoints);
  EXPECT_EQ(Find<QTabWidget>("pcMain")->currentIndex(), 1);
  EXPECT_FALSE(form->Tracing());
  // The window closes once the trace has ended.
  EXPECT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->isVisible(); }));
}

TEST_F(FormContoursTest, ProgressBarNeverGetsMaximumZero) {
  LoadAndInterpolate(0.04);  // at most 36 cm: the levels' maximum rounds to 0
  int maximumWhileTracing = -1;
  DuringTrace([&] { maximumWhileTracing = Find<QProgressBar>("pbIsoMap")->maximum(); });
  TraceContours("100");
  EXPECT_EQ(maximumWhileTracing, 1);
  EXPECT_TRUE(dialogs.Errors().empty());
}

// ---- "Create HT-File" ------------------------------------------------------------------

TEST_F(FormContoursTest, NoToOverwritingTheFirstFileSaysNothingWasWritten) {
  TWorkspaceProbe::ReplaceIsoData(Ws(), ContourData(3, 2, 100));
  WriteAll(Path("000.ht"), "old");
  ScriptSaves({"000.ht"});
  dialogs.messageAnswers.push_back(TModalResult::mrNo);
  form->btnCreateHTClick();
  EXPECT_EQ(ReadAll(Path("000.ht")), "old");
  EXPECT_EQ(Find<QLabel>("lblHTState")->text(), "Not written");
  EXPECT_TRUE(dialogs.OfKind("show").empty());
}

TEST_F(FormContoursTest, SmallContourDataIsOneFileAndTheClosingMessage) {
  Find<QPushButton>("btnCreateHT")->setEnabled(true);
  TWorkspaceProbe::ReplaceIsoData(Ws(), ContourData(3, 2, 100));
  ScriptSaves({"000.ht"});
  form->btnCreateHTClick();

  const auto saves = dialogs.OfKind("save");
  ASSERT_EQ(saves.size(), 1u);
  ExpectSaveDialog(saves[0], "Save ISO Lines as HT Track", "HT-Track|*.ht", "ht");
  EXPECT_EQ(saves[0].text, "000.ht");
  EXPECT_EQ(std::filesystem::file_size(Path("000.ht")), THTConvert::kFileSize);
  // The first point is the file's start position, which reads back as no point.
  EXPECT_EQ(TrackPointCount(*ReadHTBack(Path("000.ht"))), 599);

  const auto shown = dialogs.OfKind("show");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, HTUploadInstructions());
  EXPECT_EQ(Find<QLabel>("lblHTState")->text(), "done");
  const std::vector<std::string> log = form->LogLines();
  for (const char* line : {"saving dataset ===================================",
                           "splitting dataset ===================================", "#Points (total) is 681",
                           "iterate =====000======", "n_towrite is 681", "n of IsoDataWrite 681"})
    EXPECT_TRUE(HasLine(log, line)) << line;
  EXPECT_FALSE(HasLine(log, "iterate =====001======"));
  EXPECT_TRUE(Find<QPushButton>("btnCreateHT")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormContoursTest, LargeContourDataIsSplitAndTheNextChunkIsProposedWhereTheLastWent) {
  TWorkspaceProbe::ReplaceIsoData(Ws(), ContourData(1, 250, 100));
  std::filesystem::create_directory(Path("card"));
  ScriptSaves({"card/000.ht", "card/001.ht"});
  form->btnCreateHTClick();

  const auto saves = dialogs.OfKind("save");
  ASSERT_EQ(saves.size(), 2u);
  EXPECT_EQ(saves[1].text, "001.ht");
  EXPECT_EQ(saves[1].folder, Path("card"));
  const auto first = ReadHTBack(Path("card/000.ht"));
  const auto second = ReadHTBack(Path("card/001.ht"));
  EXPECT_EQ(first->trk.GetTrack(0)->Count(), 183);
  EXPECT_EQ(second->trk.GetTrack(0)->Count(), 67);
  const std::vector<std::string> log = form->LogLines();
  for (const char* line : {"#Points (total) is 27259", "iterate =====000======", "n_towrite is 19956",
                           "n of IsoDataWrite 19956", "iterate =====001======", "n_towrite is 7312"})
    EXPECT_TRUE(HasLine(log, line)) << line;
  EXPECT_EQ(dialogs.OfKind("show").size(), 1u);
}

TEST_F(FormContoursTest, NoToOverwritingTheSecondChunkEndsTheCommand) {
  Find<QPushButton>("btnCreateHT")->setEnabled(true);
  TWorkspaceProbe::ReplaceIsoData(Ws(), ContourData(1, 250, 100));
  WriteAll(Path("001.ht"), "old");
  ScriptSaves({"000.ht", "001.ht"});
  dialogs.messageAnswers.push_back(TModalResult::mrNo);
  form->btnCreateHTClick();
  EXPECT_EQ(Find<QLabel>("lblHTState")->text(), "Stopped: 1 of 2 files written");

  EXPECT_EQ(std::filesystem::file_size(Path("000.ht")), THTConvert::kFileSize);
  EXPECT_EQ(ReadAll(Path("001.ht")), "old");
  const auto messages = dialogs.OfKind("message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Overwrite existing " + Path("001.ht") + " ?");
  EXPECT_EQ(messages[0].buttons, unsigned{mbYes | mbNo});
  EXPECT_TRUE(dialogs.OfKind("show").empty());
  EXPECT_TRUE(Find<QPushButton>("btnCreateHT")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormContoursTest, CancelledChunkIsSkippedAndTheNextOneOffered) {
  TWorkspaceProbe::ReplaceIsoData(Ws(), ContourData(1, 250, 100));
  ScriptSaves({std::nullopt, "001.ht"});
  form->btnCreateHTClick();
  EXPECT_FALSE(std::filesystem::exists(Path("000.ht")));
  EXPECT_EQ(ReadHTBack(Path("001.ht"))->trk.GetTrack(0)->Count(), 67);
  EXPECT_EQ(dialogs.OfKind("save")[1].text, "001.ht");
  EXPECT_EQ(dialogs.OfKind("show").size(), 1u);
}

// A contour longer than any file holds goes out in pieces that join: each file
// starts where the one before ended, so the device draws one unbroken line.
TEST_F(FormContoursTest, OversizeSegmentGoesOutAsPiecesThatReadBackAsOneLine) {
  TWorkspaceProbe::ReplaceIsoData(Ws(), ContourData(1, 1, 2 * kHTMaxSegmentPoints + 100));
  const TGPXtrkseg& line = *Ws().IsoData().trk.GetTrack(0)->GetTrkSeg(0);
  ScriptSaves({"000.ht", "001.ht", "002.ht"});
  form->btnCreateHTClick();
  ASSERT_TRUE(dialogs.Errors().empty()) << dialogs.Errors().front();
  ASSERT_EQ(dialogs.OfKind("save").size(), 3u);

  // Read back in order, the files give the line's points after its first one.
  std::vector<double> longitudes;
  for (const char* name : {"000.ht", "001.ht", "002.ht"}) {
    const auto back = ReadHTBack(Path(name));
    ASSERT_EQ(back->trk.GetTrack(0)->Count(), 1) << name;
    for (const TPoint4D2& p : *back->trk.GetTrack(0)->GetTrkSeg(0)) longitudes.push_back(p.Longitude);
  }
  ASSERT_EQ(longitudes.size(), static_cast<std::size_t>(line.Count() - 1));
  for (std::size_t i = 0; i < longitudes.size(); ++i)
    ASSERT_NEAR(longitudes[i], line.GetPoint(static_cast<int>(i) + 1)->Longitude, 2e-5) << i;
}

// Empty data, or a disk that fills up: the Part's message with the reason, the old
// file as it was, the command goes on and gives the button back.
TEST_F(FormContoursTest, ChunksThatCannotBeWrittenAreReportedAndTheCommandGoesOn) {
  QPushButton* button = Find<QPushButton>("btnCreateHT");
  button->setEnabled(true);
  TWorkspaceProbe::ReplaceIsoData(Ws(), std::make_unique<TGPX>());
  ScriptSaves({"000.ht"});
  form->btnCreateHTClick();
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_EQ(dialogs.Errors()[0].rfind("Error while writing HT file\r\n" + Path("000.ht"), 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(Path("000.ht")));
  EXPECT_EQ(dialogs.OfKind("show").size(), 1u);
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  dialogs.shown.clear();
  TWorkspaceProbe::ReplaceIsoData(Ws(), ContourData(1, 250, 100));
  WriteAll(Path("000.ht"), "old");
  ScriptSaves({"000.ht", "001.ht"});
  dialogs.messageAnswers.push_back(TModalResult::mrYes);
  {
    const TFileSizeLimit diskFull(1000);
    form->btnCreateHTClick();
  }
  const std::vector<std::string> errors = dialogs.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find(Path("000.ht")), std::string::npos);
  EXPECT_NE(errors[1].find(Path("001.ht")), std::string::npos);
  EXPECT_EQ(ReadAll(Path("000.ht")), "old");
  EXPECT_FALSE(std::filesystem::exists(Path("001.ht")));
  EXPECT_EQ(dialogs.OfKind("show").size(), 1u);
  EXPECT_TRUE(button->isEnabled());
}

// ---- saving the picture, the contours and the project ---------------------------------

TEST_F(FormContoursTest, IsoImageIsSavedAsTheInterpolatedMapsIs) {
  LoadAndInterpolate();
  TraceContours("100");
  const TBitmap& picture = Find<TImage>("IsoMap")->Picture();
  ScriptSaves({"iso", "iso.jpg", "iso.png"});
  for (int i = 0; i < 3; ++i) form->btnIsoSaveBMPClick();

  const auto saves = dialogs.OfKind("save");
  ASSERT_EQ(saves.size(), 3u);
  ExpectSaveDialog(saves[0], "Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp");
  TBitmap back;
  ASSERT_TRUE(back.LoadFromFile(Path("iso.bmp")));
  EXPECT_EQ(back.Width(), picture.Width());
  EXPECT_EQ(back.Pixel(picture.Width() / 2, picture.Height() / 2),
            picture.Pixel(picture.Width() / 2, picture.Height() / 2));
  EXPECT_EQ(ReadAll(Path("iso.jpg")).substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"File extension not supported: " + Path("iso.png")});

  ScriptSaves({"iso.bmp"});
  form->btnIsoSaveBMPClick();  // exists: answered No by default
  EXPECT_EQ(dialogs.OfKind("message").back().text, "Overwrite " + Path("iso.bmp") + " ?");
}

TEST_F(FormContoursTest, IsoTracksAreSavedAsGPX) {
  LoadAndInterpolate();
  TraceContours("100");
  ScriptSaves({"iso"});
  form->btnIsoSaveGPXClick();
  const auto saves = dialogs.OfKind("save");
  ASSERT_EQ(saves.size(), 1u);
  ExpectSaveDialog(saves[0], "Save iso tracks to GPX", "GPX file|*.gpx", "gpx");
  EXPECT_EQ(ReadAll(Path("iso.gpx")), GPXText(TWorkspaceProbe::IsoData(Ws())));

  WriteAll(Path("old.gpx"), "old");
  ScriptSaves({"old.gpx"});
  form->btnIsoSaveGPXClick();  // answered No
  EXPECT_EQ(dialogs.OfKind("message").back().text, "Overwrite existing " + Path("old.gpx") + " ?");
  EXPECT_EQ(ReadAll(Path("old.gpx")), "old");
}

TEST_F(FormContoursTest, ProjectIsSavedAsGPXOrHTAndTheLoadedDataStays) {
  AddFiles({WriteSurvey("survey.ht")});
  const TGPX& loaded = Ws().GPXdata();
  const int points = TrackPointCount(loaded);

  ScriptSaves({"project"});
  form->btnTrkSaveGPXClick();
  ExpectSaveDialog(dialogs.OfKind("save").at(0), "Save current project...", "GPX file|*.gpx|HT-Track|*.ht", "gpx");
  EXPECT_EQ(ReadAll(Path("project.gpx")), GPXText(TWorkspaceProbe::GPXdata(Ws())));

  // ".HT" is HT; the name is cut to 20 characters.
  ScriptSaves({"project.HT"});
  dialogs.inputAnswers.push_back("ABCDEFGHIJKLMNOPQRSTUVWXY");
  form->btnTrkSaveGPXClick();
  const auto input = dialogs.OfKind("input");
  ASSERT_EQ(input.size(), 1u);
  EXPECT_EQ(input[0].caption, "Track name");
  EXPECT_EQ(input[0].text, "Name:");
  EXPECT_EQ(input[0].defaultValue, "NewTrack");
  EXPECT_TRUE(HasLine(form->LogLines(), "Generated Points: " + std::to_string(CountPoints(loaded, 9))));
  auto back = std::make_unique<TGPX>();
  THTConvert reader(back.get(), "", Path("project.HT"));
  ASSERT_TRUE(reader.ReadHT().Loaded);
  EXPECT_EQ(reader.sTrackName, "ABCDEFGHIJKLMNOPQRST");
  // The same points, segment by segment (the first point is the file's start
  // position, which reads back as no point).
  std::vector<const TPoint4D2*> written, read;
  for (const TGPXtrkseg& seg : *loaded.trk.GetTrack(0))
    for (const TPoint4D2& p : seg) written.push_back(&p);
  for (const TGPXtrkseg& seg : *back->trk.GetTrack(0))
    for (const TPoint4D2& p : seg) read.push_back(&p);
  EXPECT_EQ(back->trk.GetTrack(0)->Count(), 6);
  ASSERT_EQ(read.size() + 1, written.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_NEAR(read[i]->Latitude, written[i + 1]->Latitude, 2e-5);
    EXPECT_NEAR(read[i]->Longitude, written[i + 1]->Longitude, 2e-5);
    EXPECT_EQ(read[i]->HBdepth, written[i + 1]->HBdepth);
  }
  EXPECT_EQ(TrackPointCount(loaded), points);
  EXPECT_EQ(loaded.trk.GetTrack(0)->Count(), 6);  // not merged into one track

  ScriptSaves({"project.txt", "project.gpx"});
  form->btnTrkSaveGPXClick();
  form->btnTrkSaveGPXClick();  // exists: answered No
  EXPECT_EQ(dialogs.Errors().back(), "File extension not supported: " + Path("project.txt"));
  EXPECT_EQ(dialogs.OfKind("message").back().text, "Overwrite " + Path("project.gpx") + " ?");
}

TEST_F(FormContoursTest, ProjectTooLargeForOneHTFileIsRefused) {
  AddFiles({WriteSurvey("survey.ht")});
  TGPX& loaded = TWorkspaceProbe::GPXdata(Ws());
  loaded.trk.Add(std::make_unique<TGPXtrk>());
  for (int i = 0; i < 200; ++i) loaded.trk.GetTrack(1)->Add(MakeSegment(TSegmentPoints(100, {47, 8, 50})));
  ScriptSaves({"big.ht"});
  form->btnTrkSaveGPXClick();
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Can't convert dataset with more than 20000 points"});
  EXPECT_FALSE(std::filesystem::exists(Path("big.ht")));
}

}  // namespace
