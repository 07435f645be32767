// The mouse on the maps and the view buttons: panning, zooming, the rubber band,
// deleting one sample or every sample in a rectangle on the Source Tracks map,
// panning and zooming on the HT Contour map, the readouts over the pictures, the
// resize handlers and the status bar's colour panels.

#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "app/logic/Dialogs.h"
#include "app/logic/MapReadouts.h"
#include "app/logic/ProjectEditing.h"
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

// A drag with the left button: in mmMove the map follows the mouse, in the
// rectangle modes the rectangle from the press position does.
void Drag(TGPXDraw& view, int x, int y) {
  if (view.MouseMode == mmMove) {
    view.MoveMouseTo(x, y);
    view.Redraw();
  } else if (view.MouseMode == mmZoom || view.MouseMode == mmCutter) {
    view.Redraw();
    view.DrawMouseSelectionRectTo(x, y, view.Options.SelectedColor);
  }
}

void StoreLast(TGPXDraw& view, int x, int y) {
  // (0, 0) is taken as no position.
  if (x == 0 && y == 0) return;
  view.LastX = x;
  view.LastY = y;
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

void TForm1::SetMapMode(TMouseMode mode) {
  Workspace().GPXView->MouseMode = mode;
  GPXImage->setCursor(CursorOf(mode));
  ShowModeOn(btnTrkZoom, mode == mmZoom);
  if (Form2) Form2->MapModeChanged(mode);
}

void TForm1::RedrawMap() {
  Workspace().GPXView->Redraw();
  GPXImage->Changed();
}

// ---- Source Tracks ------------------------------------------------------------------

void TForm1::GPXImageMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y) {
  RunCommand([&] {
    TWorkspace& ws = Workspace();
    if (!ws.FileLoaded) return;
    ws.GPXView->MouseX = x;
    ws.GPXView->MouseY = y;
  });
}

void TForm1::GPXImageMouseMove(Qt::KeyboardModifiers, Qt::MouseButtons buttons, int x, int y) {
  RunCommand([&] {
    TWorkspace& ws = Workspace();
    if (!ws.GPXdata) return;
    TGPXDraw& view = *ws.GPXView;
    StoreLast(view, x, y);
    if (!ws.FileLoaded) return;
    SetStatus(TStatusPanel::Coord, CoordinateText(view.Projection(), x, y));
    if (buttons & Qt::LeftButton) {
      Drag(view, x, y);
      GPXImage->Changed();
    } else if (view.MouseMode == mmDeleteTrackPoint) {
      TPoint4D2 where;
      where.Longitude = view.XToLo(x);
      where.Latitude = view.YToLa(y);
      view.SelectForCutSelected(where);
      view.Redraw();
      if (view.wptSelection) {
        view.DrawPoint4D(view.wptSelection, view.Options.CutPointColor, 5, "");
        SetStatus(TStatusPanel::Status, DeletePointPrompt(*view.wptSelection, UserDecimalSeparator()));
      }
      GPXImage->Changed();
    }
  });
}

void TForm1::GPXImageMouseUp(Qt::MouseButton, Qt::KeyboardModifiers shift, Qt::MouseButtons, int x, int y) {
  RunCommand([&] {
    TWorkspace& ws = Workspace();
    if (!ws.GPXdata) return;
    TGPXDraw& view = *ws.GPXView;
    StoreLast(view, x, y);
    if (!ws.FileLoaded) return;
    const TMouseMode mode = view.MouseMode;
    if (mode != mmMove && !KeepsMode(shift)) SetMapMode(mmMove);
    switch (mode) {
      case mmMove:
        view.MoveMouseTo(x, y);
        RedrawMap();
        break;
      case mmZoom:
        view.ZoomMouseTo(x, y);
        RedrawMap();
        BuildShadowArray();
        UpdateMapInfo();
        ws.ResetRadii();  // the radii in degrees follow the new scale
        break;
      case mmDeleteTrackPoint:
        // Frees the picked sample only out of the selected list that holds it,
        // and forgets it whatever happened.
        view.DeleteCutPoint();
        RedrawMap();
        BuildShadowArray();
        SetStatus(TStatusPanel::Status, "");
        if (Form2) Form2->RefreshTV();
        break;
      case mmCutter: {
        // The emptied segments and tracks live until the tree no longer shows them.
        const TCutterUnlinked unlinked = CutArea(view, x, y);
        RedrawMap();
        BuildShadowArray();
        SetStatus(TStatusPanel::Status, "");
        if (Form2) Form2->RefreshTV();
        break;
      }
      default:
        SetMapMode(mmMove);
        RedrawMap();
        BuildShadowArray();
        break;
    }
  });
}

void TForm1::btnTrkZoomClick() {
  RunCommand([this] {
    if (Workspace().GPXView->MouseMode == mmZoom) {
      SetMapMode(mmMove);
      SetStatus(TStatusPanel::Status, "");
    } else {
      SetMapMode(mmZoom);
      SetStatus(TStatusPanel::Status, "Select area to zoom in...");
    }
  });
}

// ---- HT Contour ---------------------------------------------------------------------

void TForm1::IsoImageMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y) {
  RunCommand([&] {
    TWorkspace& ws = Workspace();
    if (!ws.FileLoaded) return;
    ws.IsoView->MouseX = x;
    ws.IsoView->MouseY = y;
  });
}

void TForm1::IsoImageMouseMove(Qt::KeyboardModifiers, Qt::MouseButtons buttons, int x, int y) {
  RunCommand([&] {
    TWorkspace& ws = Workspace();
    if (!ws.IsoData) return;
    TGPXDraw& view = *ws.IsoView;
    StoreLast(view, x, y);
    if (!ws.IsoLoaded) return;
    SetStatus(TStatusPanel::Coord, CoordinateText(view.Projection(), x, y));
    if (!(buttons & Qt::LeftButton)) return;
    Drag(view, x, y);
    IsoImage->Changed();
  });
}

void TForm1::IsoImageMouseUp(Qt::MouseButton, Qt::KeyboardModifiers shift, Qt::MouseButtons, int x, int y) {
  RunCommand([&] {
    TWorkspace& ws = Workspace();
    if (!ws.IsoData) return;
    TGPXDraw& view = *ws.IsoView;
    StoreLast(view, x, y);
    // The map was panned while moving.
    if (!ws.FileLoaded || view.MouseMode == mmMove) return;
    if (view.MouseMode == mmZoom) {
      if (!KeepsMode(shift)) {
        view.MouseMode = mmMove;
        IsoImage->setCursor(Qt::SizeAllCursor);
        btnHtZoom->setChecked(false);
      }
      view.ZoomMouseTo(x, y);
    } else {
      view.MouseMode = mmMove;
      IsoImage->setCursor(Qt::SizeAllCursor);
    }
    view.Redraw();
    IsoImage->Changed();
  });
}

void TForm1::btnHtFitClick() {
  RunCommand([this] {
    btnHtFit->setChecked(false);  // a command, not a state
    TWorkspace& ws = Workspace();
    if (!ws.IsoLoaded) return;
    ws.IsoView->ResetBBox(true, true);
    ws.IsoView->Redraw();
    IsoImage->Changed();
  });
}

void TForm1::btnHtZoomClick() {
  RunCommand([this] {
    TWorkspace& ws = Workspace();
    if (ws.IsoLoaded) {
      ws.IsoView->MouseMode = mmZoom;
      IsoImage->setCursor(Qt::CrossCursor);
    }
    btnHtZoom->setChecked(ws.IsoView->MouseMode == mmZoom);
  });
}

// ---- readouts over the pictures ---------------------------------------------------------

TViewProjection TForm1::PictureProjection() const {
  // The pictures of a run keep the geometry they were computed with, whatever
  // the live view has done since.
  const TWorkspace& ws = Workspace();
  return ws.InterpolatedMap ? ws.InterpolatedMap->Projection : ws.GPXView->Projection();
}

void TForm1::IsoMapMouseMove(Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y) {
  RunCommand(
      [&] {
        if (!Workspace().FileLoaded) return;
        SetStatus(TStatusPanel::Coord, CoordinateText(PictureProjection(), x, y));
      },
      true);
}

void TForm1::InterpolatedImageMouseMove(Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y) {
  RunCommand(
      [&] {
        const TWorkspace& ws = Workspace();
        if (!ws.FileLoaded) return;
        SetStatus(TStatusPanel::Coord, CoordinateText(PictureProjection(), x, y));
        if (!ws.InterpLoaded || !ws.InterpolatedMap) return;
        const TDepthReadoutSource map{&ws.InterpolatedMap->Mask, &ws.InterpolVArray, ws.InterpolatedMap->MaxDepth};
        SetStatus(TStatusPanel::Status, DepthReadout(map, x, y, UserDecimalSeparator()));
      },
      true);
}

// ---- resizing ---------------------------------------------------------------------------

void TForm1::pnlInterpolatedImageResize() {
  RunCommand([this] {
    // A finished map keeps the size of its grid: the contour tracer reads it.
    if (Workspace().InterpLoaded) return;
    InterpolatedImage->Picture().SetSize(InterpolatedImage->width(), InterpolatedImage->height());
  });
}

void TForm1::pnlHtTracksResize() {
  RunCommand([this] {
    TWorkspace& ws = Workspace();
    if (!ws.IsoLoaded) return;
    TBitmap& picture = IsoImage->Picture();
    ws.IsoView->Resize(IsoImage->width(), IsoImage->height());
    if (!picture.Empty()) picture.SetSize(ws.IsoView->Width(), ws.IsoView->Height());
    ws.IsoView->Redraw();
    IsoImage->Changed();
  });
}

// ---- the status bar's colour panels -----------------------------------------------------

void TForm1::sbMainClick(int x, int) {
  RunCommand([&] {
    const int panel = sbMain->PanelAt(x);
    const bool shallow = panel == static_cast<int>(TStatusPanel::Min);
    if (!shallow && panel != static_cast<int>(TStatusPanel::Max)) return;
    TWorkspace& ws = Workspace();
    TColor& colour = shallow ? ws.clShallowWater : ws.clDeepWater;
    const std::optional<TColor> chosen = fDialogs->PickColor(colour);
    if (!chosen) return;
    colour = *chosen;
    sbMain->update();
    for (TGPXDraw* view : {ws.GPXView.get(), ws.IsoView.get()}) {
      (shallow ? view->DepthColorShallow : view->DepthColorDeep) = colour;
      view->Redraw();
    }
    GPXImage->Changed();
    IsoImage->Changed();
  });
}
