// "Add Files...": the dialog, the loaders of the workspace, and binding the view.

#include <QCheckBox>
#include <QPushButton>

#include "app/CommandScope.h"
#include "app/QtDispatcher.h"
#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "app/logic/Dialogs.h"

TLoadOptions TForm1::LoadOptions() const {
  return {cbAddDepth->isChecked(), cbAddOffset->isChecked(), udInterpolationWidth->Position()};
}

void TForm1::btnAddFilesClick() {
  RunCommand([this] {
    TDisabledWidget window(this);
    const std::vector<std::string> files = fDialogs->OpenFiles(
        {"", "GPX, KML or HT files|*.gpx;*.kml;*.ht", "", true});
    if (files.empty()) return;
    AddFiles(files);
  });
}

void TForm1::AddFiles(const std::vector<std::string>& files) {
  TWaitCursor hourglass;
  if (Workspace().AddFiles(files, LoadOptions(), [this] { ProcessMessages(); })) btnInterpolate->setEnabled(true);
  BindView();
  BuildShadowArray();
  UpdateMapInfo();
  if (Form2) Form2->RefreshTV();
  for (QPushButton* b : {btnTrkFit, btnTrkZoom, btnTrkZoomIn, btnTrkZoomOut, btnTrkSaveGPX}) b->setEnabled(true);
}

void TForm1::BindView() {
  Workspace().BindView(GPXImage->Picture(), MapArea(TMapKind::Source));
  ShowMap(TMapKind::Source);
}
