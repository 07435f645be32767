// The stand-ins for the Windows controls and the Qt form of dialog filters.

#include <QLineEdit>

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

TEST(QtFilter, TurnsTheDialogFiltersIntoQtForm) {
  EXPECT_EQ(QtFilter("Bitmap Image|*.bmp|JPEG Image|*.jpg"), "Bitmap Image (*.bmp);;JPEG Image (*.jpg)");
  EXPECT_EQ(QtFilter("GPX, KML or HT files|*.gpx;*.kml;*.ht"), "GPX, KML or HT files (*.gpx *.kml *.ht)");
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
