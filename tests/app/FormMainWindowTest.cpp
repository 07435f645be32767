// The main window as a frame: start-up state, keys, pages and the timer,
// "Start over", the debug log and the handler guard.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QValidator>

#include "app/StandInControls.h"
#include "tests/app/FormSupport.h"

TEST_F(FormTest, StartsWithItsCaptionsDefaultsAndHiddenPages) {
  EXPECT_EQ(QApplication::applicationName(), "Shoalwright");
  EXPECT_EQ(form->windowTitle(), "Quarnel: Tiderune 2D");
  EXPECT_EQ(form->minimumSize(), QSize(850, 600));

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
  EXPECT_EQ(form->btnStartOver->toolTip(), "Clear all loaded data and start over.");
  EXPECT_TRUE(form->edtInterpolationWidth->toolTip().endsWith("recorded track "));
  EXPECT_EQ(form->cbAddDepth->text(), "Enter depth when loading data /wo depth");
  EXPECT_FALSE(form->cbAddDepth->isChecked());
  EXPECT_EQ(form->cbAddOffset->text(), "Enter depth offset (+/-)");

  EXPECT_EQ(form->edtInterpolationWidth->text(), "30");
  EXPECT_EQ(form->udInterpolationWidth->Min(), 1);
  EXPECT_EQ(form->udInterpolationWidth->Max(), 999);
  EXPECT_EQ(form->udInterpolationWidth->Increment(), 5);
  EXPECT_EQ(form->edtDontCareRadius->text(), "60");
  EXPECT_EQ(form->edtSmoothingRuns->text(), "2");
  EXPECT_EQ(form->udSmoothingRuns->Max(), 10);
  EXPECT_EQ(form->edtIsoStep->text(), "100");
  EXPECT_EQ(form->edtTrackName->text(), "NewTrack");
  EXPECT_EQ(form->edtTrackName->maxLength(), 20);

  EXPECT_EQ(form->tbInterpolateThrds->minimum(), 1);
  EXPECT_EQ(form->tbInterpolateThrds->maximum(), 8);
  EXPECT_EQ(form->tbInterpolateThrds->value(), 8);
  EXPECT_EQ(form->lblInterpolateThrds->text(), "CPUs for calculation: 8");
  EXPECT_EQ(form->tbInterpolatorStyle->minimum(), 2);
  EXPECT_EQ(form->tbInterpolatorStyle->maximum(), 14);
  EXPECT_EQ(form->lblInterpolateStyle->text(), "Interpolator Style: 8");
  EXPECT_TRUE(HasLine(form->LogLines(), "8 CPUs found"));

  const char* captions[] = {"Source Tracks", "Interpolated Map", "ISO Contour", "HT Contour",
                            "ShoreLine",     "Debug",            "About"};
  ASSERT_EQ(form->pcMain->count(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(form->pcMain->tabText(i).toStdString(), captions[i]);
  EXPECT_EQ(form->pcMain->currentIndex(), 0);
  EXPECT_FALSE(form->pcMain->isTabVisible(4));
  EXPECT_FALSE(form->pcMain->isTabVisible(5));
  EXPECT_TRUE(form->pcMain->isTabVisible(6));

  ASSERT_EQ(form->sbMain->PanelCount(), 6);
  EXPECT_EQ(form->sbMain->PanelText(0), "Add files to database and select mapping area");
  EXPECT_EQ(form->sbMain->PanelText(2), "0m");
  EXPECT_EQ(form->sbMain->PanelText(3), "Gradient");
  EXPECT_EQ(form->sbMain->PanelText(4), "0m");
  EXPECT_EQ(form->sbMain->PanelText(5), "");
  const int widths[] = {490, 0, 30, 150, 100, 150};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(form->sbMain->PanelWidth(i), widths[i]);
  EXPECT_TRUE(form->Timer1->isActive());
  EXPECT_EQ(form->Timer1->interval(), 500);
  EXPECT_FALSE(form->pbInterpolate->isVisible());
  EXPECT_FALSE(form->memDebug->isEnabled());
  EXPECT_FALSE(form->ShoreLine->isVisible());
}

TEST_F(FormTest, OneProcessorGivesASliderOfOne) {
  form.reset();
  form = MakeForm(1);
  EXPECT_EQ(form->tbInterpolateThrds->maximum(), 1);
  EXPECT_EQ(form->lblInterpolateThrds->text(), "CPUs for calculation: 1");
  EXPECT_TRUE(HasLine(form->LogLines(), "1 CPUs found"));
}

TEST_F(FormTest, AnyKeyShowsTheShoreLineImageButOnlyF11ShowsTheHiddenTabs) {
  QTest::keyClick(form->pcMain, Qt::Key_A);
  EXPECT_TRUE(form->memDebug->isEnabled());
  EXPECT_FALSE(form->ShoreLine->isHidden());
  EXPECT_FALSE(form->pcMain->isTabVisible(4));
  EXPECT_FALSE(form->pcMain->isTabVisible(5));

  QTest::keyClick(form->btnAddFiles, Qt::Key_F11);
  EXPECT_TRUE(form->pcMain->isTabVisible(4));
  EXPECT_TRUE(form->pcMain->isTabVisible(5));
  EXPECT_TRUE(dialogs.shown.empty());  // the key reached no button

  // The ShoreLine page paints the shore-line picture, with nothing loaded too.
  form->pcMain->setCurrentIndex(4);
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
    form->pcMain->setCurrentIndex(s.page);
    EXPECT_EQ(form->sbMain->PanelText(0).toStdString(), s.status) << s.page;
    EXPECT_EQ(form->Timer1->isActive(), s.timer) << s.page;
  }
}

TEST_F(FormTest, DoubleClickEmptiesTheDebugLog) {
  form->Log("a line");
  ASSERT_FALSE(form->LogLines().empty());
  QTest::keyClick(form->pcMain, Qt::Key_A);  // enables the memo
  QTest::mouseDClick(form->memDebug->viewport(), Qt::LeftButton);
  EXPECT_TRUE(form->LogLines().empty());
}

TEST_F(FormTest, StartOverBeforeAnythingWasLoaded) {
  form->btnStartOverClick();
  EXPECT_FALSE(form->FileLoaded);
  EXPECT_EQ(form->sbMain->PanelText(4), "0m");
  EXPECT_EQ(form->minimumSize(), QSize(850, 600));
  EXPECT_EQ(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  EXPECT_TRUE(form->btnAddFiles->isEnabled());
  EXPECT_FALSE(form->btnInterpolate->isEnabled());
  EXPECT_EQ(form->GPXdata->trk.Count(), 0);
  EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(FormTest, AFailingCommandShowsItsErrorAndRestoresCursorAndWindow) {
  const std::string file = WriteSurvey("survey.ht");
  form->edtInterpolationWidth->setText("");  // not a number: loading fails midway
  AddFiles({file});
  ASSERT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_EQ(dialogs.Errors()[0], "'' is not a valid integer value");
  EXPECT_TRUE(form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(form->Busy());

  // The window goes on working.
  form->edtInterpolationWidth->setText("30");
  AddFiles({file});
  EXPECT_EQ(dialogs.Errors().size(), 1u);
  EXPECT_TRUE(form->FileLoaded);
}

TEST_F(FormTest, EveryHintAndControlDefaultIsTheForms) {
  struct THint {
    QWidget* control;
    const char* hint;
  };
  const THint hints[] = {
      {form->btnAddFiles,
       "Add *.KML or *.GPX files without depth reading (i.e. exported from Google Earth) to setup the shoreline and "
       "islands. Load *.GPX or *.HT files downloaded from your echo to setup depth recordings. The options below "
       "will be applied on the track you'll load now."},
      {form->BitBtn1, "Edit loaded tracks."},
      {form->cbAddOffset,
       "When enabling this checkbox, you will be asked to enter a depth offset which is applied to the next loaded "
       "tracks. The depth offset could be either positive or negative value in cm."},
      {form->cbAddDepth,
       "This will allow you to load *.KML or *.GPX tracks and enter the depth for each track. You will be able to "
       "copy existing depth maps into your Humminbird device (You don't have to map! Yust add the files, enter the "
       "depth and export on this tab with \"Save Tracks...\" -> HT-File)"},
      {form->btnTrkSaveGPX,
       "Save all loaded data (shoreline and depth records) in a file. You could load this file the next time using "
       "\"Add files...\""},
      {form->btnTrkFit, "Fit all tracks to the viewport."},
      {form->btnHtFit, "Fit all tracks to the viewport."},
      {form->btnTrkZoom, "Select a screen area to magnify."},
      {form->btnHtZoom, "Select a screen area to magnify."},
      {form->btnStartOver, "Clear all loaded data and start over."},
      {form->btnInterpolate, "Start the interpolation process with the parameters set below."},
      {form->tbInterpolateThrds, "Number of CPU cores the mapping process will use."},
      {form->tbInterpolatorStyle, "Using this slider, you can influence the mapping style."},
      {form->edtInterpolationWidth,
       "This will specify the distance of extrapolation to the left and right side of any recorded track "},
      {form->edtDontCareRadius,
       "Set this value to speed up the interpolation process by ignoring events outside the specified area. Should "
       "be set to two times the extrapolation radius for best results."},
      {form->edtSmoothingRuns, "Smooth the generated map. Default = 2"},
      {form->btnInterpolSaveBMP, "Save current view to a graphic file."},
      {form->btnIsoSaveBMP, "Save current view to a graphic file."},
      {form->btnIsoMap, "Creates an ISO style contour chart."},
      {form->btnIsoSaveGPX, "Save current view to GPX"},
      {form->btnCreateHT, "This will create an HT file which could be uploaded to your Humminbird unit"},
      {form->btnTrkZoomIn, ""},
      {form->btnTrkZoomOut, ""},
      {form->edtIsoStep, ""},
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
  for (const TEdit& e : {TEdit{form->edtInterpolationWidth, 3, true}, TEdit{form->edtDontCareRadius, 3, false},
                         TEdit{form->edtSmoothingRuns, 2, true}, TEdit{form->edtIsoStep, 4, true}}) {
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
  for (const TRange& r : {TRange{form->udInterpolationWidth, 1, 999, 5}, TRange{form->udDontCareRadius, 1, 999, 1},
                          TRange{form->udSmoothingRuns, 0, 10, 1}}) {
    EXPECT_EQ(r.updown->Min(), r.min) << r.updown->objectName().toStdString();
    EXPECT_EQ(r.updown->Max(), r.max) << r.updown->objectName().toStdString();
    EXPECT_EQ(r.updown->Increment(), r.increment) << r.updown->objectName().toStdString();
  }
  EXPECT_EQ(form->tbInterpolatorStyle->value(), 8);
  EXPECT_TRUE(form->btnHtFit->isCheckable());
  EXPECT_TRUE(form->btnHtZoom->isCheckable());
  EXPECT_FALSE(form->btnTrkZoom->isCheckable());
  EXPECT_FALSE(form->pbIsoMap->isVisible());
  EXPECT_EQ(form->pbInterpolate->height(), 21);
  EXPECT_EQ(form->sbMain->height(), 19);
  EXPECT_TRUE(form->Memo2->isReadOnly());
  EXPECT_FALSE(form->Memo2->toPlainText().isEmpty());
}

TEST_F(FormTest, StartOverAfterARunEmptiesTheDataButKeepsTheViewButtons) {
  AddFiles({WriteSurvey("survey.ht")});
  form->Timer1Timer();
  form->btnInterpolateClick();
  ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  ASSERT_TRUE(form->InterpLoaded);
  ASSERT_FALSE(form->InCoord->empty());
  const std::string width = form->edtInterpolationWidth->text().toStdString();
  const int lastWidth = form->Last_udInterpolationWidth;

  form->btnStartOverClick();
  EXPECT_FALSE(form->FileLoaded);
  EXPECT_FALSE(form->InterpLoaded);
  EXPECT_FALSE(form->IsoLoaded);
  EXPECT_EQ(form->MaxDepth, 0);
  EXPECT_EQ(form->GPXdata->trk.Count(), 0);
  EXPECT_EQ(form->IsoData->trk.Count(), 0);
  EXPECT_TRUE(form->InCoord->empty());
  EXPECT_TRUE(form->InDepth->empty());
  EXPECT_EQ(form->InterpolArray.Width(), 0);
  EXPECT_EQ(form->InterpolVArray.Width(), 0);
  EXPECT_TRUE(form->InterpolatedImage->Picture().Empty());
  EXPECT_TRUE(form->IsoMap->Picture().Empty());
  EXPECT_FALSE(form->InterpolatedMap.has_value());
  EXPECT_EQ(form->sbMain->PanelText(4), "0m");
  EXPECT_EQ(form->sbMain->PanelText(5), "");
  for (QLabel* l : {form->lblMaxDepth, form->lblMaxDepth1, form->lblMapSize, form->lblMapSize1, form->lblImageSize,
                    form->lblImageSize1, form->lblResolution, form->lblResolution1})
    EXPECT_TRUE(l->text().isEmpty()) << l->objectName().toStdString();
  for (QPushButton* b : {form->btnInterpolate, form->btnInterpolSaveBMP, form->btnIsoMap, form->btnIsoSaveBMP,
                         form->btnIsoSaveGPX, form->btnCreateHT, form->btnHtFit, form->btnHtZoom})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  // What "Start over" leaves as it is.
  for (QPushButton* b : {form->btnTrkFit, form->btnTrkZoom, form->btnTrkZoomIn, form->btnTrkZoomOut,
                         form->btnTrkSaveGPX})
    EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_EQ(form->edtInterpolationWidth->text().toStdString(), width);
  EXPECT_EQ(form->Last_udInterpolationWidth, lastWidth);
  EXPECT_FALSE(form->pbInterpolate->isVisible());
  EXPECT_EQ(form->minimumSize(), QSize(850, 600));
  EXPECT_EQ(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  EXPECT_TRUE(dialogs.Errors().empty());
}
