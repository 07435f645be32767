#pragma once

// What the map and project window tests share: the main window with its project
// window, a loaded survey, and the mouse driven through the handlers with
// positions and held keys.

#include <QPushButton>
#include <QTreeWidget>

#include "app/StandInControls.h"
#include "app/Unit2.h"
#include "app/logic/Workspace.h"
#include "mapview/GPXDraw.h"
#include "tests/app/FormSupport.h"

class MapTest : public FormTest {
protected:
  TForm2* project = nullptr;  // owned by the main window

  void SetUp() override {
    FormTest::SetUp();
    project = new TForm2(*form);
    form->SetProjectWindow(project, project);
  }

  // The source map's view and data, open to the tests.
  TGPXDraw& view() { return TWorkspaceProbe::GPXView(Ws()); }
  TGPX& data() { return TWorkspaceProbe::GPXdata(Ws()); }

  template <class W>
  W* Project(const char* name) {
    W* w = project->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QTreeWidget* Tree() { return Project<QTreeWidget>("tvItems"); }
  std::string Status(int panel) { return Find<TStatusBar>("sbMain")->PanelText(panel).toStdString(); }

  // The survey loaded: one track "Fixture" of six east-west lines.
  void LoadSurvey() { AddFiles({WriteSurvey("survey.ht")}); }

  TGPXtrkseg* Segment(int track, int segment) { return data().trk.GetTrack(track)->GetTrkSeg(segment); }
  QPoint PixelOf(const TPoint4D2& p) { return {view().LoToX(p.Longitude), view().LaToY(p.Latitude)}; }

  // The mouse on the Source Tracks map.
  void Down(QPoint at) { form->GPXImageMouseDown(Qt::LeftButton, Qt::NoModifier, Qt::LeftButton, at.x(), at.y()); }
  void Drag(QPoint to) { form->GPXImageMouseMove(Qt::NoModifier, Qt::LeftButton, to.x(), to.y()); }
  void Hover(QPoint at) { form->GPXImageMouseMove(Qt::NoModifier, Qt::NoButton, at.x(), at.y()); }
  void Up(QPoint at, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    form->GPXImageMouseUp(Qt::LeftButton, keys, Qt::NoButton, at.x(), at.y());
  }
  void DragRectangle(QPoint from, QPoint to, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    Down(from);
    Drag(to);
    Up(to, keys);
  }

  // Chooses the tree node with this text (the first one), as a click would.
  QTreeWidgetItem* Choose(const QString& text) {
    const auto found = Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    EXPECT_FALSE(found.isEmpty()) << text.toStdString();
    if (found.isEmpty()) return nullptr;
    Tree()->setCurrentItem(found.first());
    return found.first();
  }

  static bool Red(const QAbstractButton* b) { return b->palette().color(QPalette::ButtonText) == QColor(255, 0, 0); }
};
