// The main window as a frame: start-up state, keys, pages and the timer,
// "Start over", the debug log and the handler guard.

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QValidator>

#include "app/StandInControls.h"
#include "tests/app/FormSupport.h"

TEST_F(FormTest, StartsWithItsCaptionsDefaultsAndHiddenPages) {
  EXPECT_EQ(QApplication::applicationName(), "Shoalwright");
  EXPECT_EQ(form->windowTitle(), "Quarnel: Tiderune 2D");
  EXPECT_EQ(form->minimumSize(), form->RestoredMinimumSize());
  const QRect screen = form->screen()->availableGeometry();
  EXPECT_LE(form->RestoredMinimumSize().width(), std::min(850, screen.width()));
  EXPECT_LE(form->RestoredMinimumSize().height(), std::min(600, screen.height()));
  if (screen.width() >= 1100 && screen.height() >= 800) {
    EXPECT_EQ(form->RestoredMinimumSize(), QSize(850, 600));
  }

  struct TButton {
    const char* name;
    const char* caption;
    bool enabled;
  };
  const TButton buttons[] = {
      {"btnAddFiles", "Add Files...", true},       {"BitBtn1", "Edit Project...", true},
      {"btnTrkSaveGPX", "Save Project...", false}, {"btnTrkFit", "Fit to Screen", false},
      {"btnTrkZoom", "Zoom Area", false},          {"btnTrkZoomIn", "Zoom In", false},
      {"btnTrkZoomOut", "Zoom Out", false},        {"btnStartOver", "Start over", true},
      {"btnInterpolate", "Interpolate", false},    {"btnInterpolSaveBMP", "Save Image...", false},
      {"btnIsoMap", "ISO Map", false},             {"btnIsoSaveBMP", "Save Image...", false},
      {"btnIsoSaveGPX", "Save Tracks...", false},  {"btnCreateHT", "Create HT-File", false},
      {"btnHtFit", "Fit to Screen", false},        {"btnHtZoom", "Zoom Area", false},
  };
  for (const TButton& b : buttons) {
    auto* button = form->findChild<QPushButton*>(b.name);
    ASSERT_NE(button, nullptr) << b.name;
    EXPECT_EQ(button->text().toStdString(), b.caption) << b.name;
    EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
  }
  EXPECT_EQ(Find<QPushButton>("btnStartOver")->toolTip(), "Clear all loaded data and start over.");
  EXPECT_TRUE(Find<QLineEdit>("edtInterpolationWidth")->toolTip().endsWith("recorded track "));
  EXPECT_EQ(Find<QCheckBox>("cbAddDepth")->text(), "Enter depth when loading data /wo depth");
  EXPECT_FALSE(Find<QCheckBox>("cbAddDepth")->isChecked());
  EXPECT_EQ(Find<QCheckBox>("cbAddOffset")->text(), "Enter depth offset (+/-)");

  EXPECT_EQ(Find<QLineEdit>("edtInterpolationWidth")->text(), "30");
  EXPECT_EQ(Find<TUpDown>("udInterpolationWidth")->Min(), 1);
  EXPECT_EQ(Find<TUpDown>("udInterpolationWidth")->Max(), 999);
  EXPECT_EQ(Find<TUpDown>("udInterpolationWidth")->Increment(), 5);
  EXPECT_EQ(Find<QLineEdit>("edtDontCareRadius")->text(), "60");
  EXPECT_EQ(Find<QLineEdit>("edtSmoothingRuns")->text(), "2");
  EXPECT_EQ(Find<TUpDown>("udSmoothingRuns")->Max(), 10);
  EXPECT_EQ(Find<QLineEdit>("edtIsoStep")->text(), "100");
  EXPECT_EQ(Find<QLineEdit>("edtTrackName")->text(), "NewTrack");
  EXPECT_EQ(Find<QLineEdit>("edtTrackName")->maxLength(), 20);

  EXPECT_EQ(Find<TTrackBar>("tbInterpolateThrds")->minimum(), 1);
  EXPECT_EQ(Find<TTrackBar>("tbInterpolateThrds")->maximum(), 8);
  EXPECT_EQ(Find<TTrackBar>("tbInterpolateThrds")->value(), 8);
  EXPECT_EQ(Find<QLabel>("lblInterpolateThrds")->text(), "CPUs for calculation: 8");
  EXPECT_EQ(Find<TTrackBar>("tbInterpolatorStyle")->minimum(), 2);
  EXPECT_EQ(Find<TTrackBar>("tbInterpolatorStyle")->maximum(), 14);
  EXPECT_EQ(Find<QLabel>("lblInterpolateStyle")->text(), "Interpolator Style: 8");
  EXPECT_TRUE(HasLine(form->LogLines(), "8 CPUs found"));

  const char* captions[] = {"Source Tracks", "Interpolated Map", "ISO Contour", "HT Contour",
                            "ShoreLine",     "Debug",            "About"};
  ASSERT_EQ(Find<QTabWidget>("pcMain")->count(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Find<QTabWidget>("pcMain")->tabText(i).toStdString(), captions[i]);
  EXPECT_EQ(Find<QTabWidget>("pcMain")->currentIndex(), 0);
  EXPECT_FALSE(Find<QTabWidget>("pcMain")->isTabVisible(4));
  EXPECT_FALSE(Find<QTabWidget>("pcMain")->isTabVisible(5));
  EXPECT_TRUE(Find<QTabWidget>("pcMain")->isTabVisible(6));

  ASSERT_EQ(Find<TStatusBar>("sbMain")->PanelCount(), 6);
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(0), "Add files to database and select mapping area");
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(2), "0m");
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(3), "Gradient");
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(4), "0m");
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(5), "");
  const int widths[] = {490, 0, 30, 150, 100, 150};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelWidth(i), widths[i]);
  EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(Find<QTimer>("Timer1")->interval(), 500);
  EXPECT_FALSE(Find<QProgressBar>("pbInterpolate")->isVisible());
  EXPECT_FALSE(Find<TMemo>("memDebug")->isEnabled());
  EXPECT_FALSE(Find<TImage>("ShoreLine")->isVisible());
}

TEST_F(FormTest, TheWindowOpensWithinTheScreensAvailableArea) {
  // The test screens are smaller than the form's 1004 x 677 (the offscreen one
  // is 800 x 600), as a screen at a display scale of 2 is.
  const QRect screen = form->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(form->frameGeometry())) << form->frameGeometry().width() << "x"
                                                      << form->frameGeometry().height();
  EXPECT_LE(form->minimumWidth(), screen.width());
  EXPECT_LE(form->minimumHeight(), screen.height());
}

TEST_F(FormTest, OneProcessorGivesASliderOfOne) {
  form.reset();
  form = MakeForm(1);
  EXPECT_EQ(Find<TTrackBar>("tbInterpolateThrds")->maximum(), 1);
  EXPECT_EQ(Find<QLabel>("lblInterpolateThrds")->text(), "CPUs for calculation: 1");
  EXPECT_TRUE(HasLine(form->LogLines(), "1 CPUs found"));
}

TEST_F(FormTest, AnyKeyShowsTheShoreLineImageButOnlyF11ShowsTheHiddenTabs) {
  QTest::keyClick(Find<QTabWidget>("pcMain"), Qt::Key_A);
  EXPECT_TRUE(Find<TMemo>("memDebug")->isEnabled());
  EXPECT_FALSE(Find<TImage>("ShoreLine")->isHidden());
  EXPECT_FALSE(Find<QTabWidget>("pcMain")->isTabVisible(4));
  EXPECT_FALSE(Find<QTabWidget>("pcMain")->isTabVisible(5));

  QTest::keyClick(Find<QPushButton>("btnAddFiles"), Qt::Key_F11);
  EXPECT_TRUE(Find<QTabWidget>("pcMain")->isTabVisible(4));
  EXPECT_TRUE(Find<QTabWidget>("pcMain")->isTabVisible(5));
  EXPECT_TRUE(dialogs.shown.empty());  // the key reached no button

  // The ShoreLine page paints the shore-line picture, with nothing loaded too.
  Find<QTabWidget>("pcMain")->setCurrentIndex(4);
  EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(FormTest, PagesSwitchTheTimerAndTheStatusText) {
  struct TStep {
    int page;
    const char* status;
    bool timer;
  };
  const TStep steps[] = {
      {1, "Generate an interpolated map", true},  // nothing loaded: the timer stays as it was
      {2, "Create ISO style chart", false},       // leaving the Interpolated Map page
      {3, "Create a HT track of the ISO chart to upload", false},
      {6, "Thank you!", false},
      {0, "Add files to database and select mapping area", true},
  };
  for (const TStep& s : steps) {
    Find<QTabWidget>("pcMain")->setCurrentIndex(s.page);
    EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(0).toStdString(), s.status) << s.page;
    EXPECT_EQ(Find<QTimer>("Timer1")->isActive(), s.timer) << s.page;
  }
}

TEST_F(FormTest, DoubleClickEmptiesTheDebugLog) {
  form->Log("a line");
  ASSERT_FALSE(form->LogLines().empty());
  QTest::keyClick(Find<QTabWidget>("pcMain"), Qt::Key_A);  // enables the memo
  QTest::mouseDClick(Find<TMemo>("memDebug")->viewport(), Qt::LeftButton);
  EXPECT_TRUE(form->LogLines().empty());
}

TEST_F(FormTest, StartOverBeforeAnythingWasLoaded) {
  form->btnStartOverClick();
  EXPECT_FALSE(Ws().FileLoaded());
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(4), "0m");
  EXPECT_EQ(form->minimumSize(), form->RestoredMinimumSize());
  EXPECT_EQ(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  EXPECT_TRUE(Find<QPushButton>("btnAddFiles")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("btnInterpolate")->isEnabled());
  EXPECT_EQ(Ws().GPXdata().trk.Count(), 0);
  EXPECT_TRUE(dialogs.Errors().empty());
}

namespace {
// What the screen shows of a widget: the window's pixels as the platform has
// them, not a fresh paint of the widget.
QImage OnScreen(QWidget* widget) {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
  return widget->screen()
      ->grabWindow(widget->window()->winId(), at.x(), at.y(), widget->width(), widget->height())
      .toImage();
}

int NonWhite(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  return n;
}
}  // namespace

TEST_F(FormTest, StartOverClearsTheSourceMapOnScreen) {
  AddFiles({WriteSurvey("survey.ht")});
  auto* map = Find<TImage>("GPXImage");
  ASSERT_GT(NonWhite(OnScreen(map)), 100);  // the tracks
  form->btnStartOverClick();
  EXPECT_EQ(NonWhite(OnScreen(map)), 0);
}

TEST_F(FormTest, AFailingCommandShowsItsErrorAndRestoresCursorAndWindow) {
  form.reset();
  form = MakeForm(8, [](auto, auto, double, double, double, TMessageBox*) -> std::unique_ptr<TDepthInterpolator> {
    throw std::runtime_error("no room for the interpolator");
  });
  AddFiles({WriteSurvey("survey.ht")});
  form->btnInterpolateClick();
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_EQ(dialogs.Errors()[0], "no room for the interpolator");
  EXPECT_TRUE(form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(form->Busy());
  EXPECT_TRUE(HasLine(form->LogLines(), "Error: no room for the interpolator"));

  // The window goes on working.
  AddFiles({WriteSurvey("survey.ht")});
  EXPECT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_TRUE(Ws().FileLoaded());
}

TEST_F(FormTest, EveryHintAndControlDefaultIsTheForms) {
  struct THint {
    QWidget* control;
    const char* hint;
  };
  const THint hints[] = {
      {Find<QPushButton>("btnAddFiles"),
       "Add *.KML or *.GPX files without depth reading (i.e. exported from Google Earth) to setup the shoreline and "
       "islands. Load *.GPX or *.HT files downloaded from your echo to setup depth recordings. The options below "
       "will be applied on the track you'll load now."},
      {Find<QPushButton>("BitBtn1"), "Edit loaded tracks."},
      {Find<QCheckBox>("cbAddOffset"),
       "When enabling this checkbox, you will be asked to enter a depth offset which is applied to the next loaded "
       "tracks. The depth offset could be either positive or negative value in cm."},
      {Find<QCheckBox>("cbAddDepth"),
       "This will allow you to load *.KML or *.GPX tracks and enter the depth for each track. You will be able to "
       "copy existing depth maps into your Humminbird device (You don't have to map! Yust add the files, enter the "
       "depth and export on this tab with \"Save Tracks...\" -> HT-File)"},
      {Find<QPushButton>("btnTrkSaveGPX"),
       "Save all loaded data (shoreline and depth records) in a file. You could load this file the next time using "
       "\"Add files...\""},
      {Find<QPushButton>("btnTrkFit"), "Fit all tracks to the viewport."},
      {Find<QPushButton>("btnHtFit"), "Fit all tracks to the viewport."},
      {Find<QPushButton>("btnTrkZoom"), "Select a screen area to magnify."},
      {Find<QPushButton>("btnHtZoom"), "Select a screen area to magnify."},
      {Find<QPushButton>("btnStartOver"), "Clear all loaded data and start over."},
      {Find<QPushButton>("btnInterpolate"), "Start the interpolation process with the parameters set below."},
      {Find<TTrackBar>("tbInterpolateThrds"), "Number of CPU cores the mapping process will use."},
      {Find<TTrackBar>("tbInterpolatorStyle"), "Using this slider, you can influence the mapping style."},
      {Find<QLineEdit>("edtInterpolationWidth"),
       "This will specify the distance of extrapolation to the left and right side of any recorded track "},
      {Find<QLineEdit>("edtDontCareRadius"),
       "Set this value to speed up the interpolation process by ignoring events outside the specified area. Should "
       "be set to two times the extrapolation radius for best results."},
      {Find<QLineEdit>("edtSmoothingRuns"), "Smooth the generated map. Default = 2"},
      {Find<QPushButton>("btnInterpolSaveBMP"), "Save current view to a graphic file."},
      {Find<QPushButton>("btnIsoSaveBMP"), "Save current view to a graphic file."},
      {Find<QPushButton>("btnIsoMap"), "Creates an ISO style contour chart."},
      {Find<QPushButton>("btnIsoSaveGPX"), "Save current view to GPX"},
      {Find<QPushButton>("btnCreateHT"), "This will create an HT file which could be uploaded to your Humminbird unit"},
      {Find<QPushButton>("btnTrkZoomIn"), ""},
      {Find<QPushButton>("btnTrkZoomOut"), ""},
      {Find<QLineEdit>("edtIsoStep"), ""},
  };
  for (const THint& h : hints)
    EXPECT_EQ(h.control->toolTip().toStdString(), h.hint) << h.control->objectName().toStdString();

  struct TLabel {
    const char* name;
    const char* text;
  };
  for (const TLabel& l : {TLabel{"Label2", "Extrapolation Radius"}, TLabel{"Label8", "Don't Care Radius"},
                          TLabel{"Label6", "Apply Smoothing"}, TLabel{"Label7", "times"},
                          TLabel{"Label3", "Step size"}, TLabel{"Label11", "cm"}, TLabel{"Label4", "Track name"},
                          TLabel{"lblInterpolationWidth", "px"}, TLabel{"lblDontCareRadius", "px"},
                          TLabel{"lblHTState", ""}, TLabel{"lblNumIsoTracks", ""}, TLabel{"lblMaxDepth", ""},
                          TLabel{"lblResolution1", ""}}) {
    auto* label = form->findChild<QLabel*>(l.name);
    ASSERT_NE(label, nullptr) << l.name;
    EXPECT_EQ(label->text().toStdString(), l.text) << l.name;
  }

  // Edits: length limits, and which take digits only.
  struct TEdit {
    QLineEdit* edit;
    int maxLength;
    bool digitsOnly;
  };
  for (const TEdit& e : {TEdit{Find<QLineEdit>("edtInterpolationWidth"), 3, true}, TEdit{Find<QLineEdit>("edtDontCareRadius"), 3, false},
                         TEdit{Find<QLineEdit>("edtSmoothingRuns"), 2, true}, TEdit{Find<QLineEdit>("edtIsoStep"), 4, true}}) {
    const std::string name = e.edit->objectName().toStdString();
    EXPECT_EQ(e.edit->maxLength(), e.maxLength) << name;
    QString typed = QStringLiteral("-1");
    int pos = 0;
    const bool accepted = !e.edit->validator() || e.edit->validator()->validate(typed, pos) != QValidator::Invalid;
    EXPECT_EQ(accepted, !e.digitsOnly) << name;
  }
  struct TRange {
    TUpDown* updown;
    int min, max, increment;
  };
  for (const TRange& r : {TRange{Find<TUpDown>("udInterpolationWidth"), 1, 999, 5}, TRange{Find<TUpDown>("udDontCareRadius"), 1, 999, 1},
                          TRange{Find<TUpDown>("udSmoothingRuns"), 0, 10, 1}}) {
    EXPECT_EQ(r.updown->Min(), r.min) << r.updown->objectName().toStdString();
    EXPECT_EQ(r.updown->Max(), r.max) << r.updown->objectName().toStdString();
    EXPECT_EQ(r.updown->Increment(), r.increment) << r.updown->objectName().toStdString();
  }
  EXPECT_EQ(Find<TTrackBar>("tbInterpolatorStyle")->value(), 8);
  EXPECT_TRUE(Find<QPushButton>("btnHtFit")->isCheckable());
  EXPECT_TRUE(Find<QPushButton>("btnHtZoom")->isCheckable());
  EXPECT_FALSE(Find<QPushButton>("btnTrkZoom")->isCheckable());
  EXPECT_FALSE(Find<QProgressBar>("pbIsoMap")->isVisible());
  EXPECT_EQ(Find<QProgressBar>("pbInterpolate")->height(), 21);
  EXPECT_EQ(Find<TStatusBar>("sbMain")->height(), 19);
  EXPECT_TRUE(Find<TMemo>("Memo2")->isReadOnly());
  EXPECT_FALSE(Find<TMemo>("Memo2")->toPlainText().isEmpty());
}

TEST_F(FormTest, StartOverAfterARunEmptiesTheDataButKeepsTheViewButtons) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  ASSERT_TRUE(Ws().InterpLoaded());
  ASSERT_FALSE(Ws().InCoord()->empty());
  const std::string width = Find<QLineEdit>("edtInterpolationWidth")->text().toStdString();
  const int lastWidth = Ws().Last_udInterpolationWidth();

  form->btnStartOverClick();
  EXPECT_FALSE(Ws().FileLoaded());
  EXPECT_FALSE(Ws().InterpLoaded());
  EXPECT_FALSE(Ws().IsoLoaded());
  EXPECT_EQ(Ws().MaxDepth(), 0);
  EXPECT_EQ(Ws().GPXdata().trk.Count(), 0);
  EXPECT_EQ(Ws().IsoData().trk.Count(), 0);
  EXPECT_TRUE(Ws().InCoord()->empty());
  EXPECT_TRUE(Ws().InDepth()->empty());
  EXPECT_EQ(Ws().InterpolArray().Width(), 0);
  EXPECT_EQ(Ws().InterpolVArray().Width(), 0);
  EXPECT_TRUE(Find<TImage>("InterpolatedImage")->Picture().Empty());
  EXPECT_TRUE(Find<TImage>("IsoMap")->Picture().Empty());
  EXPECT_FALSE(Ws().InterpolatedMap().has_value());
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(4), "0m");
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(5), "");
  EXPECT_EQ(Find<QLabel>("lblInterpolationWidth")->text(), "px");
  EXPECT_EQ(Find<QLabel>("lblDontCareRadius")->text(), "px");
  for (QLabel* l : {Find<QLabel>("lblMaxDepth"), Find<QLabel>("lblMaxDepth1"), Find<QLabel>("lblMapSize"), Find<QLabel>("lblMapSize1"), Find<QLabel>("lblImageSize"),
                    Find<QLabel>("lblImageSize1"), Find<QLabel>("lblResolution"), Find<QLabel>("lblResolution1")})
    EXPECT_TRUE(l->text().isEmpty()) << l->objectName().toStdString();
  for (QPushButton* b : {Find<QPushButton>("btnInterpolate"), Find<QPushButton>("btnInterpolSaveBMP"), Find<QPushButton>("btnIsoMap"), Find<QPushButton>("btnIsoSaveBMP"),
                         Find<QPushButton>("btnIsoSaveGPX"), Find<QPushButton>("btnCreateHT"), Find<QPushButton>("btnHtFit"), Find<QPushButton>("btnHtZoom")})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  // What "Start over" leaves as it is.
  for (QPushButton* b : {Find<QPushButton>("btnTrkFit"), Find<QPushButton>("btnTrkZoom"), Find<QPushButton>("btnTrkZoomIn"), Find<QPushButton>("btnTrkZoomOut"),
                         Find<QPushButton>("btnTrkSaveGPX")})
    EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_EQ(Find<QLineEdit>("edtInterpolationWidth")->text().toStdString(), width);
  EXPECT_EQ(Ws().Last_udInterpolationWidth(), lastWidth);
  EXPECT_FALSE(Find<QProgressBar>("pbInterpolate")->isVisible());
  EXPECT_EQ(form->minimumSize(), form->RestoredMinimumSize());
  EXPECT_EQ(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  EXPECT_TRUE(dialogs.Errors().empty());

  // Figures shown afterwards are of the new data, not of the old.
  AddFiles({Path("notes.txt")});
  EXPECT_EQ(Find<QLabel>("lblMaxDepth")->text(), "Max Depth: 0 cm");
  EXPECT_EQ(Find<TStatusBar>("sbMain")->PanelText(4), "0 cm");
}
