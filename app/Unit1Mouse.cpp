// The maps' mouse and view buttons as the window shows them (the workspace's map
// mouse does the work; here are the cursors, the buttons and what to show anew),
// the readouts over the pictures, the resize handlers and the status bar's
// colour panels.

#include <QCoreApplication>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "app/logic/Dialogs.h"
#include "app/logic/MapReadouts.h"
#include "app/logic/WindowNumbers.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"

namespace {
Qt::CursorShape CursorOf(TMouseMode mode) {
  switch (mode) {
    case mmZoom:
    case mmCutter:
      return Qt::CrossCursor;
    case mmDeleteTrackPoint:
      return Qt::PointingHandCursor;
    default:
      return Qt::SizeAllCursor;
  }
}

// Many window managers take Alt+drag for themselves: Ctrl keeps the mode too.
bool KeepsMode(Qt::KeyboardModifiers shift) { return shift & (Qt::AltModifier | Qt::ControlModifier); }

TMouseInput Input(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  return {x, y, static_cast<bool>(buttons & Qt::LeftButton), KeepsMode(shift)};
}
}  // namespace

void TForm1::ConnectMouse() {
  GPXImage->onMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    GPXImageMouseDown(b, k, bs, x, y);
  };
  GPXImage->onMouseMove = [this](Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    GPXImageMouseMove(k, bs, x, y);
  };
  GPXImage->onMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    GPXImageMouseUp(b, k, bs, x, y);
  };
  IsoImage->onMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    IsoImageMouseDown(b, k, bs, x, y);
  };
  IsoImage->onMouseMove = [this](Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    IsoImageMouseMove(k, bs, x, y);
  };
  IsoImage->onMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    IsoImageMouseUp(b, k, bs, x, y);
  };
  IsoImage->onResize = [this] { pnlHtTracksResize(); };
  IsoMap->onMouseMove = [this](Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    IsoMapMouseMove(k, bs, x, y);
  };
  InterpolatedImage->onMouseMove = [this](Qt::KeyboardModifiers k, Qt::MouseButtons bs, int x, int y) {
    InterpolatedImageMouseMove(k, bs, x, y);
  };
  InterpolatedImage->onResize = [this] { pnlInterpolatedImageResize(); };
  sbMain->onClick = [this](int x, int y) { sbMainClick(x, y); };
  connect(btnTrkZoom, &QPushButton::clicked, this, [this] { btnTrkZoomClick(); });
  connect(btnHtFit, &QPushButton::clicked, this, [this] { btnHtFitClick(); });
  connect(btnHtZoom, &QPushButton::clicked, this, [this] { btnHtZoomClick(); });
}

void TForm1::ReportBusy() {
  const bool busy = Busy();
  if (busy == fReportedBusy) return;
  fReportedBusy = busy;
  if (Form2) Form2->BusyChanged(busy);
}

TImage* TForm1::MapImage(TMapKind map) const { return map == TMapKind::Source ? GPXImage : IsoImage; }

TMapArea TForm1::MapArea(TMapKind map) const {
  const TImage* image = MapImage(map);
  return {image->width(), image->height(), image->isVisible()};
}

void TForm1::ShowMap(TMapKind map) { MapImage(map)->Changed(); }

void TForm1::ShowMode(TMapKind map, TMouseMode mode) {
  MapImage(map)->setCursor(CursorOf(mode));
  if (map == TMapKind::Contour) {
    btnHtZoom->setChecked(mode == mmZoom);
    return;
  }
  ShowModeOn(btnTrkZoom, mode == mmZoom);
  if (Form2) Form2->MapModeChanged(mode);
}

void TForm1::ShowMouseResult(TMapKind map, const TMouseResult& result) {
  if (result.Mode) ShowMode(map, *result.Mode);
  if (result.Coordinates) SetStatus(TStatusPanel::Coord, *result.Coordinates);
  if (result.Status) SetStatus(TStatusPanel::Status, *result.Status);
  if (result.Redraw) ShowMap(map);
  if (result.RebuildMask) BuildShadowArray();
  if (result.Measure) UpdateMapInfo();
  // The lists the result holds stay alive until the tree no longer shows them.
  if (result.RefreshTree && Form2) Form2->RefreshTV();
}

// ---- the maps' mouse ------------------------------------------------------------------

void TForm1::OnMapMouse(TMapKind map, TMouseResult (TWorkspace::*event)(TMapKind, const TMouseInput&),
                        const TMouseInput& input) {
  RunCommand([&] { ShowMouseResult(map, (Workspace().*event)(map, input)); });
}

void TForm1::GPXImageMouseDown(Qt::MouseButton, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  OnMapMouse(TMapKind::Source, &TWorkspace::MouseDown, Input(shift, buttons, x, y));
}

void TForm1::GPXImageMouseMove(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  OnMapMouse(TMapKind::Source, &TWorkspace::MouseMove, Input(shift, buttons, x, y));
}

void TForm1::GPXImageMouseUp(Qt::MouseButton, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  OnMapMouse(TMapKind::Source, &TWorkspace::MouseUp, Input(shift, buttons, x, y));
}

void TForm1::btnTrkZoomClick() {
  RunCommand([this] { ShowMouseResult(TMapKind::Source, Workspace().ToggleZoom(TMapKind::Source)); });
}

void TForm1::IsoImageMouseDown(Qt::MouseButton, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  OnMapMouse(TMapKind::Contour, &TWorkspace::MouseDown, Input(shift, buttons, x, y));
}

void TForm1::IsoImageMouseMove(Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  OnMapMouse(TMapKind::Contour, &TWorkspace::MouseMove, Input(shift, buttons, x, y));
}

void TForm1::IsoImageMouseUp(Qt::MouseButton, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons, int x, int y) {
  OnMapMouse(TMapKind::Contour, &TWorkspace::MouseUp, Input(shift, buttons, x, y));
}

void TForm1::btnHtFitClick() {
  RunCommand([this] {
    btnHtFit->setChecked(false);  // a command, not a state
    Workspace().FitIsoView();
    ShowMap(TMapKind::Contour);
  });
}

void TForm1::btnHtZoomClick() {
  RunCommand([this] {
    ShowMouseResult(TMapKind::Contour, Workspace().ToggleZoom(TMapKind::Contour));
    // The button checks itself when clicked: it shows the mode, whatever happened.
    ShowMode(TMapKind::Contour, Workspace().MouseMode(TMapKind::Contour));
  });
}

// ---- readouts over the pictures ---------------------------------------------------------

TViewProjection TForm1::PictureProjection() const {
  // The pictures of a run keep the geometry they were computed with, whatever
  // the live view has done since.
  const TWorkspace& ws = Workspace();
  return ws.InterpolatedMap() ? ws.InterpolatedMap()->Projection : ws.GPXView().Projection();
}

void TForm1::IsoMapMouseMove(Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y) {
  RunCommand(
      [&] {
        if (!Workspace().FileLoaded()) return;
        SetStatus(TStatusPanel::Coord, CoordinateText(PictureProjection(), x, y));
      },
      true);
}

void TForm1::InterpolatedImageMouseMove(Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y) {
  RunCommand(
      [&] {
        const TWorkspace& ws = Workspace();
        if (!ws.FileLoaded()) return;
        SetStatus(TStatusPanel::Coord, CoordinateText(PictureProjection(), x, y));
        const std::optional<TInterpolatedMap>& finished = ws.InterpolatedMap();
        if (!ws.InterpLoaded() || !finished) return;
        const TDepthReadoutSource map{&finished->Mask, &ws.InterpolVArray(), finished->MaxDepth};
        SetStatus(TStatusPanel::Status, DepthReadout(map, x, y, UserDecimalSeparator()));
      },
      true);
}

// ---- resizing ---------------------------------------------------------------------------

void TForm1::pnlInterpolatedImageResize() {
  RunCommand([this] {
    // A finished map keeps the size of its grid: the contour tracer reads it.
    if (Workspace().InterpLoaded()) return;
    InterpolatedImage->Picture().SetSize(InterpolatedImage->width(), InterpolatedImage->height());
  });
}

void TForm1::pnlHtTracksResize() {
  RunCommand([this] { ResizeMap(TMapKind::Contour); });
}

void TForm1::ResizeMap(TMapKind map) {
  TWorkspace& ws = Workspace();
  if (map == TMapKind::Source) ShoreLine->Picture().SetSize(ws.GPXView().Width(), ws.GPXView().Height());
  const bool refitted = ws.MapResized(map, MapImage(map)->Picture(), MapArea(map));
  if (map == TMapKind::Source && ws.FileLoaded()) {
    // Fitted anew: the area is of the map as shown, as after adding files.
    if (refitted) BuildShadowArray();
    ViewChanged();
    return;
  }
  ShowMap(map);
}

void TForm1::SettleMapSize(TMapKind map) {
  // During a run or a trace the view stays as it was taken.
  if (!Workspace().FitPending(map) || Interpolating() || Tracing()) return;
  // The page has just been shown: its layout gives the map the size the user sees.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  ResizeMap(map);
}

// ---- the status bar's colour panels -----------------------------------------------------

void TForm1::sbMainClick(int x, int) {
  RunCommand([&] {
    const int panel = sbMain->PanelAt(x);
    const bool shallow = panel == static_cast<int>(TStatusPanel::Min);
    if (!shallow && panel != static_cast<int>(TStatusPanel::Max)) return;
    TWorkspace& ws = Workspace();
    const std::optional<TColor> chosen = fDialogs->PickColor(shallow ? ws.clShallowWater() : ws.clDeepWater());
    if (!chosen) return;
    ws.SetWaterColours(shallow ? *chosen : ws.clShallowWater(), shallow ? ws.clDeepWater() : *chosen);
    sbMain->update();
    ShowMap(TMapKind::Source);
    ShowMap(TMapKind::Contour);
  });
}
