#pragma once

// The tests' way into the workspace: the states that the road through the
// windows reaches only slowly or not at all (contour data of a given size, a
// view of a given width, a finished map of a few pixels). The program itself
// reads the workspace and calls its operations only.

#include <memory>
#include <optional>

#include "app/logic/Workspace.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"

class TWorkspaceProbe {
public:
  static TGPX& GPXdata(TWorkspace& ws) { return *ws.fGPXdata; }
  static TGPXDraw& GPXView(TWorkspace& ws) { return *ws.fGPXView; }
  static TGPX& IsoData(TWorkspace& ws) { return *ws.fIsoData; }
  static TGPXDraw& IsoView(TWorkspace& ws) { return *ws.fIsoView; }
  static std::optional<TInterpolatedMap>& InterpolatedMap(TWorkspace& ws) { return ws.fInterpolatedMap; }
  static TDoubleArray& InterpolVArray(TWorkspace& ws) { return ws.fInterpolVArray; }
  static void SetInterpLoaded(TWorkspace& ws, bool loaded) { ws.fInterpLoaded = loaded; }
  static void SetLastInterpolationWidth(TWorkspace& ws, int pixels) { ws.fLastInterpolationWidth = pixels; }

  // The contour data replaced by `data`; a view showing the old data shows the new.
  static void ReplaceIsoData(TWorkspace& ws, std::unique_ptr<TGPX> data) {
    ws.fIsoView->ForgetFreed(ws.fIsoData.get());
    const bool shown = ws.fIsoView->GPXd == ws.fIsoData.get();
    ws.fIsoData = std::move(data);
    if (shown) ws.fIsoView->GPXd = ws.fIsoData.get();
  }
};
