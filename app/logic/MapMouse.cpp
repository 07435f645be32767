#include "app/logic/MapMouse.h"

#include "app/logic/MapReadouts.h"
#include "app/logic/ProjectEditing.h"
#include "app/logic/WindowNumbers.h"

namespace {
void StoreLast(TGPXDraw& view, int x, int y) {
  // (0, 0) is taken as no position.
  if (x == 0 && y == 0) return;
  view.LastX = x;
  view.LastY = y;
}
}  // namespace

std::string ModePrompt(TMouseMode mode) {
  switch (mode) {
    case mmZoom: return "Select area to zoom in...";
    case mmDeleteTrackPoint: return "Select sample to delete...";
    case mmCutter: return "Select area to delete...";
    default: return {};
  }
}

TMouseResult TMapMouse::ModeResult(TMouseMode mode) {
  fView.MouseMode = mode;
  TMouseResult result;
  result.Mode = mode;
  return result;
}

TMouseResult TMapMouse::Down(const TMouseInput& input, bool live) {
  if (live) {
    fView.MouseX = input.X;
    fView.MouseY = input.Y;
  }
  return {};
}

void TMapMouse::Drag(const TMouseInput& input, TMouseResult& result) {
  // In mmMove the map follows the mouse; in the rectangle modes the rectangle
  // from the press position does.
  if (fView.MouseMode == mmMove) {
    fView.MoveMouseTo(input.X, input.Y);
    fView.Redraw();
    result.Redraw = true;
  } else if (fView.MouseMode == mmZoom || fView.MouseMode == mmCutter) {
    fView.Redraw();
    fView.DrawMouseSelectionRectTo(input.X, input.Y, fView.Options.SelectedColor);
    result.Redraw = true;
  }
}

void TMapMouse::PickSample(const TMouseInput& input, TMouseResult& result) {
  TPoint4D2 where;
  where.Longitude = fView.XToLo(input.X);
  where.Latitude = fView.YToLa(input.Y);
  fView.SelectForCutSelected(where);
  fView.Redraw();
  result.Redraw = true;
  if (!fView.wptSelection) return;
  fView.DrawPoint4D(fView.wptSelection, fView.Options.CutPointColor, 5, "");
  result.Status = DeletePointPrompt(*fView.wptSelection, UserDecimalSeparator());
}

TMouseResult TMapMouse::Move(const TMouseInput& input, bool live) {
  StoreLast(fView, input.X, input.Y);
  TMouseResult result;
  if (!live) return result;
  result.Coordinates = CoordinateText(fView.Projection(), input.X, input.Y);
  if (input.LeftHeld)
    Drag(input, result);
  else if (fKind == TMapKind::Source && fView.MouseMode == mmDeleteTrackPoint)
    PickSample(input, result);
  return result;
}

TMouseResult TMapMouse::Up(const TMouseInput& input, bool live) {
  StoreLast(fView, input.X, input.Y);
  TMouseResult result;
  const TMouseMode mode = fView.MouseMode;
  if (fKind == TMapKind::Contour) {
    // The contour map was panned while moving.
    if (!live || mode == mmMove) return result;
    if (mode != mmZoom || !input.KeepMode) result = ModeResult(mmMove);
    if (mode == mmZoom) fView.ZoomMouseTo(input.X, input.Y);
    fView.Redraw();
    result.Redraw = true;
    return result;
  }

  if (!live) return result;
  if (mode != mmMove && !input.KeepMode) result = ModeResult(mmMove);
  switch (mode) {
    case mmMove:
      fView.MoveMouseTo(input.X, input.Y);
      break;
    case mmZoom:
      fView.ZoomMouseTo(input.X, input.Y);
      result.RebuildMask = true;
      result.Measure = true;
      result.ScaleChanged = true;
      break;
    case mmDeleteTrackPoint:
      // Frees the picked sample only out of the selected list that holds it,
      // and forgets it whatever happened.
      fView.DeleteCutPoint();
      result.RebuildMask = true;
      result.Status = "";
      result.RefreshTree = true;
      break;
    case mmCutter:
      result.Unlinked = CutArea(fView, input.X, input.Y);
      result.RebuildMask = true;
      result.Status = "";
      result.RefreshTree = true;
      break;
    default:
      // A mode no button sets ends whatever key is held.
      if (!result.Mode) result = ModeResult(mmMove);
      result.RebuildMask = true;
      break;
  }
  fView.Redraw();
  result.Redraw = true;
  return result;
}

TMouseResult TMapMouse::Toggle(TMouseMode mode) {
  if (fView.MouseMode == mode) {
    TMouseResult result = ModeResult(mmMove);
    result.Status = "";
    if (mode == mmDeleteTrackPoint) {
      // The marker of the picked sample goes.
      fView.Redraw();
      result.Redraw = true;
    }
    return result;
  }
  TMouseResult result = ModeResult(mode);
  result.Status = ModePrompt(mode);
  return result;
}

TMouseResult TMapMouse::SwitchTo(TMouseMode mode) { return ModeResult(mode); }
