// The stand-ins for the Windows controls and the Qt form of dialog filters.

#include <QDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolTip>

#include "app/QtDialogs.h"
#include "app/StandInControls.h"
#include "tests/app/FormSupport.h"

TEST(UpDown, FollowsItsEditWithinItsRange) {
  QLineEdit edit(QStringLiteral("30"));
  TUpDown updown(&edit, 1, 999, 5);
  EXPECT_EQ(updown.Position(), 30);
  updown.Click(1);
  EXPECT_EQ(edit.text(), "35");
  struct TCase {
    const char* typed;
    int position;
  };
  for (const TCase& c : {TCase{"120", 120}, TCase{"5000", 999}, TCase{"0", 1}, TCase{"abc", 1}, TCase{"", 1},
                         TCase{"42", 42}, TCase{"x", 42}}) {
    edit.setText(QString::fromLatin1(c.typed));
    EXPECT_EQ(updown.Position(), c.position) << c.typed;
  }
  updown.SetPosition(1200);
  EXPECT_EQ(edit.text(), "999");
  updown.Click(1);
  EXPECT_EQ(updown.Position(), 999);
}

TEST(UpDown, ShowsThePositionInUseWhenItsEditShowsAnythingElse) {
  QLineEdit edit(QStringLiteral("30"));
  TUpDown updown(&edit, 1, 999, 5);
  for (const char* typed : {"", "abc", " 30 "}) {
    edit.setText(QString::fromLatin1(typed));
    updown.ShowPosition();
    EXPECT_EQ(edit.text(), "30") << '"' << typed << '"';
  }
  edit.setText(QStringLiteral("0"));
  updown.ShowPosition();
  EXPECT_EQ(edit.text(), "1");
}

TEST(ModeButton, IsRedWhileItsModeIsOnAndGreyWhenDisabled) {
  QPushButton button(QStringLiteral("Zoom Area"));
  const QColor disabled = QApplication::palette(&button).color(QPalette::Disabled, QPalette::ButtonText);
  for (const bool on : {true, false}) {
    ShowModeOn(&button, on);
    const QPalette palette = button.palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
      EXPECT_EQ(palette.color(group, QPalette::ButtonText) == QColor(255, 0, 0), on) << on;
    EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::ButtonText), disabled) << on;
  }
}

TEST(StatusBar, APanelIsFoundByItsRightEdge) {
  TStatusBar bar;
  for (int width : {490, 0, 30, 150, 100, 150}) bar.AddPanel(QString(), width);
  struct TCase {
    int x;
    int panel;
  };
  for (const TCase& c : {TCase{0, 0}, TCase{489, 0}, TCase{490, 2}, TCase{519, 2}, TCase{520, 3}, TCase{669, 3},
                         TCase{670, 4}, TCase{770, 5}, TCase{5000, 5}})
    EXPECT_EQ(bar.PanelAt(c.x), c.panel) << c.x;
}

TEST(QtFilter, TurnsTheDialogFiltersIntoQtFormMatchingAnyCase) {
  EXPECT_EQ(QtFilter("Bitmap Image|*.bmp|JPEG Image|*.jpg"),
            "Bitmap Image (*.[bB][mM][pP]);;JPEG Image (*.[jJ][pP][gG])");
  const std::string open = QtFilter("GPX, KML or HT files|*.gpx;*.kml;*.ht");
  EXPECT_EQ(open, "GPX, KML or HT files (*.[gG][pP][xX] *.[kK][mM][lL] *.[hH][tT])");
  // The patterns as Qt's dialog matches them: case-sensitively.
  const QStringList patterns = QStringLiteral("*.[gG][pP][xX] *.[kK][mM][lL] *.[hH][tT]").split(QLatin1Char(' '));
  auto shown = [&](const QString& name) {
    for (const QString& p : patterns)
      if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch()) return true;
    return false;
  };
  for (const char* name : {"lake.gpx", "LAKE.GPX", "Shore.Kml", "track.HT", "a.b.ht"}) EXPECT_TRUE(shown(name)) << name;
  for (const char* name : {"notes.txt", "lake.gpx.bak", "ht"}) EXPECT_FALSE(shown(name)) << name;
}

TEST(QtFilter, TheSelectedEntryIsFoundByItsWholeTextOrItsDescription) {
  const std::string filter = "GPX file|*.gpx|HT-Track|*.ht";
  struct TCase {
    const char* selected;
    int index;
  };
  for (const TCase& c : {TCase{"HT-Track", 1}, TCase{"HT-Track (*.[hH][tT])", 1}, TCase{"GPX file", 0},
                         TCase{"GPX file (*.[gG][pP][xX])", 0}, TCase{"", 0}, TCase{"JPEG Image", 0}})
    EXPECT_EQ(SelectedFilterIndex(filter, c.selected), c.index) << c.selected;
  EXPECT_EQ(SelectedFilterIndex("Bitmap Image|*.bmp|JPEG Image|*.jpg", "JPEG Image"), 1);
}

TEST(FileDialog, TypedNamesAreReadAsQtsDialogReadsThem) {
  struct TCase {
    const char* typed;
    std::vector<std::string> names;
  };
  const TCase cases[] = {
      {"lake.gpx", {"lake.gpx"}},
      {"my lake.gpx", {"my lake.gpx"}},
      {"\"lake.gpx\" \"shore line.kml\" \"notes.txt\"", {"lake.gpx", "shore line.kml", "notes.txt"}},
      {"\"lake.gpx\"", {"lake.gpx"}},
      {"\"lake.gpx\" \"unclosed", {"lake.gpx"}},
      {"", {}},
  };
  for (const TCase& c : cases) EXPECT_EQ(TypedFileNames(c.typed), c.names) << c.typed;
}

TEST(InputBox, IsWideEnoughForItsCaptionAndPrompt) {
  TQtDialogs dialogs(nullptr);
  const std::string caption = "Apply depth to dataset";
  const std::string prompt = "survey_2024_07_north_shore.htTrack: NorthShoreMorning Depth [cm]:";
  int width = 0, captionWidth = 0, promptWidth = 0;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    width = box->width();
    captionWidth = box->fontMetrics().horizontalAdvance(QString::fromStdString(caption));
    promptWidth = box->fontMetrics().horizontalAdvance(QString::fromStdString(prompt));
    static_cast<QDialog*>(box)->reject();
  });
  EXPECT_EQ(dialogs.InputBox(caption, prompt, "0"), "0");  // cancelled: the default
  EXPECT_GE(width, captionWidth + 100);
  EXPECT_GE(width, promptWidth + 40);
}

TEST(ToolTips, LongOnesAreShownWrappedAndKeepTheirText) {
  const QString longTip = QString(120, QLatin1Char('x')).replace(10, 1, QLatin1Char(' '));
  EXPECT_EQ(WrappedToolTip("Fit all tracks to the viewport."), "Fit all tracks to the viewport.");
  EXPECT_EQ(WrappedToolTip("a < b " + longTip), "<p>a &lt; b " + longTip + "</p>");

  QWidget window;
  auto* button = new QPushButton("Add Files...", &window);
  const QString tip = QString::fromUtf8(
      "Add *.KML or *.GPX files without depth reading (i.e. exported from Google Earth) to setup the shoreline and "
      "islands. Load *.GPX or *.HT files downloaded from your echo to setup depth recordings. The options below "
      "will be applied on the track you'll load now.");
  button->setToolTip(tip);
  window.show();
  QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(button, &help);
  EXPECT_EQ(button->toolTip(), tip);
  ASSERT_TRUE(QToolTip::isVisible());
  EXPECT_TRUE(QToolTip::text().startsWith("<p>"));
  QWidget* label = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->inherits("QTipLabel") && w->isVisible()) label = w;
  ASSERT_NE(label, nullptr);
  EXPECT_LT(label->width(), 700);  // one line would be far wider
  QToolTip::hideText();
}

TEST(PlaceWithin, KeepsTheWindowOnTheAvailableArea) {
  struct TCase {
    QRect available;
    QRect client;
  };
  const QMargins frame(8, 40, 8, 8);
  const TCase cases[] = {
      // A large screen: the wanted size, centred.
      {{0, 0, 1920, 1040}, {458, 181, 1004, 677}},
      // A screen of 1280 x 1024 at a scale of 2: 640 x 512, less the frame.
      {{0, 0, 640, 512}, {8, 40, 624, 464}},
      // A little smaller than the wanted size: as much as fits.
      {{100, 0, 900, 700}, {108, 40, 884, 652}},
  };
  for (const TCase& c : cases) {
    const QRect client = PlaceWithin(c.available, {1004, 677}, {850, 600}, frame);
    EXPECT_EQ(client, c.client) << c.available.width() << "x" << c.available.height();
    EXPECT_TRUE(c.available.contains(client.marginsAdded(frame)));
  }
}

TEST(Image, ShowsItsPictureWithoutCopying) {
  TImage image;
  image.resize(20, 10);
  image.Picture().SetSize(20, 10);
  image.Picture().Fill(0x0000FF);  // red
  const QImage shown = image.grab().toImage();
  EXPECT_EQ(shown.pixelColor(5, 5), QColor(255, 0, 0));
  image.Clear();
  EXPECT_TRUE(image.Picture().Empty());
}
