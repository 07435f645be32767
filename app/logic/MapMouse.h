#pragma once

#include <optional>
#include <string>

#include "mapview/GPXDraw.h"

// The mouse on a map of the main window, without widgets: what a press, a move
// and a release do to the map's view and its document, and what the window must
// do afterwards. The window keeps only the cursors and the buttons.

// The main window's two maps: the loaded data on the Source Tracks page, the
// contour tracks on the HT Contour page.
enum class TMapKind { Source, Contour };

// One mouse event on a map, in picture pixels.
struct TMouseInput {
  int X = 0;
  int Y = 0;
  bool LeftHeld = false;  // a drag
  bool KeepMode = false;  // at a release: the mode stays on for another action
};

// What the window must do after an event.
struct TMouseResult {
  bool Redraw = false;        // the view drew on the map's picture: show it
  bool RebuildMask = false;   // the area to interpolate changed
  bool Measure = false;       // the map's figures changed
  bool RefreshTree = false;   // the document changed: the project tree shows it anew
  bool ScaleChanged = false;  // the view's scale changed: the radii follow it
  std::optional<std::string> Status;       // the status text
  std::optional<std::string> Coordinates;  // the coordinates under the mouse
  std::optional<TMouseMode> Mode;          // set when the mode changed: cursor and button follow
  // What a cut took out of the document; alive until the tree no longer shows it.
  TCutterUnlinked Unlinked;
};

// The mouse of one map, over its view. On the source map a drag pans, zooms to a
// rectangle or cuts out the samples in one; hovering in the delete-sample mode
// picks the sample of the selected segment under the mouse and a click deletes
// it. On the contour map a drag pans or zooms. Every mode but panning ends at a
// release unless the mode is kept.
//
// A map that shows nothing yet (`live` false) only keeps the last mouse position.
class TMapMouse {
public:
  TMapMouse(TGPXDraw& view, TMapKind kind) : fView(view), fKind(kind) {}

  TMapKind Kind() const { return fKind; }
  TMouseMode Mode() const { return fView.MouseMode; }

  TMouseResult Down(const TMouseInput& input, bool live);
  TMouseResult Move(const TMouseInput& input, bool live);
  TMouseResult Up(const TMouseInput& input, bool live);

  // A mode button: switches `mode` on, or off again when it is on. The status
  // text prompts for what the mode wants.
  TMouseResult Toggle(TMouseMode mode);
  // The mode `mode`, as a button that only switches on.
  TMouseResult SwitchTo(TMouseMode mode);

private:
  TMouseResult ModeResult(TMouseMode mode);
  void Drag(const TMouseInput& input, TMouseResult& result);
  void PickSample(const TMouseInput& input, TMouseResult& result);

  TGPXDraw& fView;
  TMapKind fKind;
};

// The prompt a mode shows while it is on; empty for panning.
std::string ModePrompt(TMouseMode mode);
