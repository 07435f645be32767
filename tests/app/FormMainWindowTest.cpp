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
