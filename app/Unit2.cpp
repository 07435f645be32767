#include "app/Unit2.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <exception>
#include <vector>

#include "app/FormControls.h"
#include "app/StandInControls.h"
#include "app/logic/Dialogs.h"
#include "app/logic/ProjectEditing.h"
#include "app/logic/Workspace.h"
#include "model/GPX.h"

namespace {
// The form's client area and places, at 120 dots per inch.
constexpr int kWidth = 391;
constexpr int kHeight = 359;
constexpr int kMargin = 8;
constexpr int kTreeWidth = 257;
constexpr int kTreeHeight = 320;
constexpr int kButtonHeight = 25;
constexpr int kButtonStep = 31;
constexpr int kTreeIndent = 19;
}  // namespace

using formcontrols::Button;
using formcontrols::Label;
using formcontrols::Named;

TForm2::TForm2(TForm1& main)
    : QWidget(&main, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      fMain(main) {
  setObjectName("Form2");
  setWindowTitle(QStringLiteral("Project"));
  setFixedSize(kWidth, kHeight);

  Label1 = Label(this, "Label1", "Active Tracks");
  Label1->setGeometry(kMargin, kMargin, kTreeWidth, 16);
  tvItems = Named(new QTreeWidget(this), "tvItems");
  tvItems->setHeaderHidden(true);
  tvItems->setIndentation(kTreeIndent);
  tvItems->setGeometry(kMargin, kMargin + 22, kTreeWidth, kTreeHeight);

  const int column = 2 * kMargin + kTreeWidth;
  const int columnWidth = kWidth - column - kMargin;
  btnClose = Button(this, "btnClose", "Close");
  btnDeleteEntry = Button(this, "btnDeleteEntry", "Delete Entry");
  btnDeleteSample = Button(this, "btnDeleteSample", "Delete Sample...");
  btnAddFiles = Button(this, "btnAddFiles", "Add Files...");
  btnSaveProject = Button(this, "btnSaveProject", "Save Project...");
  btnDeleteArea = Button(this, "btnDeleteArea", "Delete Area...");
  const int top = kMargin + 22;
  btnAddFiles->setGeometry(column, top, columnWidth, kButtonHeight);
  btnDeleteEntry->setGeometry(column, top + kButtonStep, columnWidth, kButtonHeight);
  btnDeleteSample->setGeometry(column, top + 2 * kButtonStep, columnWidth, kButtonHeight);
  btnDeleteArea->setGeometry(column, top + 3 * kButtonStep, columnWidth, kButtonHeight);
  btnSaveProject->setGeometry(column, top + 5 * kButtonStep, columnWidth, kButtonHeight);
  btnClose->setGeometry(column, top + kTreeHeight - kButtonHeight, columnWidth, kButtonHeight);

  connect(tvItems, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { tvItemsChange(current); });
  connect(btnDeleteEntry, &QPushButton::clicked, this, [this] { btnDeleteEntryClick(); });
  connect(btnDeleteSample, &QPushButton::clicked, this, [this] { btnDeleteSampleClick(); });
  connect(btnDeleteArea, &QPushButton::clicked, this, [this] { btnDeleteAreaClick(); });
  connect(btnAddFiles, &QPushButton::clicked, this, [this] { btnAddFilesClick(); });
  connect(btnSaveProject, &QPushButton::clicked, this, [this] { btnSaveProjectClick(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

TForm2::~TForm2() {
  // The main window's data may be gone already: the tree's last signals, while
  // its items are torn down, must not reach the handlers.
  tvItems->disconnect(this);
}

void TForm2::Guarded(const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    fMain.Dialogs().MessageDlg(e.what(), TMsgDlgType::mtError, mbOK);
  } catch (...) {
    fMain.Dialogs().MessageDlg("Unknown error", TMsgDlgType::mtError, mbOK);
  }
}

void TForm2::RefreshTV() {
  Guarded([this] {
    // The items carry indices into the model: both are replaced together, and
    // the clearing selects nothing on the map.
    const QSignalBlocker quiet(tvItems);
    tvItems->clear();
    const TWorkspace& ws = fMain.Workspace();
    fTree = TProjectTreeModel::Build(&ws.GPXdata(), ws.FileLoaded());
    std::vector<QTreeWidgetItem*> items;
    for (const TProjectNode& node : fTree.Nodes()) {
      auto* item = node.Parent < 0 ? new QTreeWidgetItem(tvItems)
                                   : new QTreeWidgetItem(items[static_cast<std::size_t>(node.Parent)]);
      item->setText(0, QString::fromStdString(node.Text));
      item->setData(0, Qt::UserRole, static_cast<int>(items.size()));
      items.push_back(item);
    }
    tvItems->expandAll();
  });
}

void TForm2::tvItemsChange(QTreeWidgetItem* node) {
  Guarded([&] {
    if (!node) return;
    const int index = node->data(0, Qt::UserRole).toInt();
    if (index < 0 || index >= static_cast<int>(fTree.Nodes().size())) return;
    TObject* object = fTree.Nodes()[static_cast<std::size_t>(index)].Object;
    if (fMain.Workspace().SelectTreeObject(object)) fMain.ShowMap(TMapKind::Source);
  });
}

void TForm2::btnDeleteEntryClick() {
  Guarded([this] {
    TWorkspace& ws = fMain.Workspace();
    const TGPXDraw& view = ws.GPXView();
    if (!view.GPXd || view.GPXd->Selection.Count() == 0) return;
    if (view.Options.AskBeforeDelete &&
        fMain.Dialogs().MessageDlg(DeletionQuestion(*view.GPXd->Selection.Items(0)), TMsgDlgType::mtConfirmation,
                                   mbYes | mbNo) != TModalResult::mrYes)
      return;
    ws.DeleteSelection(fTree);
    RefreshTV();
    fMain.ShowMap(TMapKind::Source);
  });
}

void TForm2::btnDeleteSampleClick() {
  Guarded([this] { fMain.ShowMouseResult(TMapKind::Source, fMain.Workspace().ToggleDeleteSample()); });
}

void TForm2::btnDeleteAreaClick() {
  Guarded([this] { fMain.ShowMouseResult(TMapKind::Source, fMain.Workspace().ToggleDeleteArea()); });
}

// While the main window is busy loading, interpolating or tracing, adding files
// would rebind the view and the mask under the work, and saving would write
// half the data: both wait (their buttons show it). Both are the main window's
// own commands, run even while its buttons are disabled.
void TForm2::btnAddFilesClick() {
  Guarded([this] {
    if (!fMain.Busy()) fMain.btnAddFilesClick();
  });
}

void TForm2::btnSaveProjectClick() {
  Guarded([this] {
    if (!fMain.Busy()) fMain.btnTrkSaveGPXClick();
  });
}

void TForm2::BusyChanged(bool busy) {
  btnAddFiles->setEnabled(!busy);
  btnSaveProject->setEnabled(!busy);
}

void TForm2::MapModeChanged(TMouseMode mode) {
  ShowModeOn(btnDeleteSample, mode == mmDeleteTrackPoint);
  ShowModeOn(btnDeleteArea, mode == mmCutter);
}

void TForm2::btnCloseClick() {
  Guarded([this] {
    fMain.Workspace().ClearSelection();
    hide();
  });
}

void TForm2::closeEvent(QCloseEvent* event) {
  btnCloseClick();
  event->accept();  // hidden, not destroyed
}
