#pragma once

#include <functional>

#include <QWidget>

#include "app/Unit1.h"
#include "app/logic/ProjectTree.h"
#include "mapview/GPXDraw.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The project window "Project": the loaded data as a tree whose chosen entry
// becomes the selection of the source map, with commands to delete an entry, a
// single sample or every sample in a rectangle, and to add files or save the
// project through the main window. A tool window of the main window (it stays
// above it), non-modal and of fixed size; closing it only hides it.
//
// It holds no data of its own: it reaches the loaded data through the main
// window's workspace, and the main window's widgets (its map, status bar and
// commands) through the main window's public handlers.
class TForm2 : public QWidget, public TProjectWindow {
public:
  explicit TForm2(TForm1& main);
  ~TForm2() override;

  // ---- TProjectWindow -------------------------------------------------------------
  // Rebuilds the tree from the loaded data: empty unless files were loaded.
  void RefreshTV() override;
  void MapModeChanged(TMouseMode mode) override;
  void BusyChanged(bool busy) override;

  // ---- handlers (Sender omitted) --------------------------------------------------
  void tvItemsChange(QTreeWidgetItem* node);
  void btnDeleteEntryClick();
  void btnDeleteSampleClick();
  void btnDeleteAreaClick();
  void btnAddFilesClick();
  void btnSaveProjectClick();
  void btnCloseClick();

protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose

private:
  // Runs a handler body; an error is shown, never thrown into Qt's event loop.
  void Guarded(const std::function<void()>& body);

  TForm1& fMain;
  TProjectTreeModel fTree;  // what tvItems shows; each item holds its node's index

  // The controls, in the form's order.
  QTreeWidget* tvItems = nullptr;
  QPushButton* btnClose = nullptr;
  QPushButton* btnDeleteEntry = nullptr;
  QPushButton* btnDeleteSample = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* btnAddFiles = nullptr;
  QPushButton* btnSaveProject = nullptr;
  QPushButton* btnDeleteArea = nullptr;
};
