// The contour map of the workspace: what "ISO Map" traces and shows.

#include <stdexcept>

#include "app/logic/ContourOutput.h"
#include "app/logic/MapPicture.h"
#include "app/logic/Workspace.h"
#include "mapview/GPXDraw.h"

namespace {
const TInterpolatedMap& FinishedMap(const std::optional<TInterpolatedMap>& map) {
  if (!map) throw std::logic_error("There is no interpolated map to trace contours on.");
  return *map;
}
}  // namespace

TWorkspace::TContourStep TWorkspace::CheckContourStep(std::string_view stepText) const {
  if (!fInterpolatedMap) return {0, "There is no interpolated map to trace contours on: run \"Interpolate\" first."};
  if (fInterpolatedMap->MaxDepth <= 0)
    return {0, "The interpolated map has no depth (maximum depth 0 cm): there are no contours to trace."};
  const std::optional<int> step = ParseIsoStep(stepText);
  if (!step) return {0, IsoStepError(stepText)};
  return {*step, ""};
}

TGPXUnlinked TWorkspace::ClearContours() {
  fIsoView->Clear();
  fIsoView->ForgetFreed(fIsoData.get());
  return fIsoData->Clear();
}

void TWorkspace::TraceContours(TBitmap& isoMap, const TBitmap& interpolatedImage, int step, TIsoMapHost* host) {
  const TInterpolatedMap& map = FinishedMap(fInterpolatedMap);
  TMovingSquares tracer(*fIsoData, map.Projection, isoMap, interpolatedImage, map.Mask, host);
  tracer.clShallow = map.Shallow;
  tracer.clDeep = map.Deep;
  tracer.GenerateISO(0, map.MaxDepth, step);
}

void TWorkspace::AddShoreLinesToContours(TBitmap& isoMap) {
  const TInterpolatedMap& map = FinishedMap(fInterpolatedMap);
  CopyShoreLineSegments(fGPXdata->trk, fIsoData->trk);
  DrawShoreLines(isoMap.Canvas(), fGPXdata->trk, map.Projection, fGPXView->TrackWidth, map.Shallow);
}

void TWorkspace::BindIsoView(TBitmap& picture, const TMapArea& area) {
  fIsoView->GPXd = fIsoData.get();
  fIsoLoaded = true;
  fIsoView->MaxDepth = fInterpolatedMap ? fInterpolatedMap->MaxDepth : fMaxDepth;
  BindAndFit(*fIsoView, picture, area.Width, area.Height);
  fContourFitPending = !area.Visible;
}
