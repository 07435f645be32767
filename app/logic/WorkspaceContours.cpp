// The contour map of the workspace: what "ISO Map" traces and shows.

#include <stdexcept>

#include "app/logic/ContourOutput.h"
#include "app/logic/Workspace.h"
#include "mapview/GPXDraw.h"

namespace {
const TInterpolatedMap& FinishedMap(const std::optional<TInterpolatedMap>& map) {
  if (!map) throw std::logic_error("There is no interpolated map to trace contours on.");
  return *map;
}
}  // namespace

TWorkspace::TContourStep TWorkspace::CheckContourStep(std::string_view stepText) const {
  if (!InterpolatedMap) return {0, "There is no interpolated map to trace contours on: run \"Interpolate\" first."};
  if (InterpolatedMap->MaxDepth <= 0)
    return {0, "The interpolated map has no depth (maximum depth 0 cm): there are no contours to trace."};
  const std::optional<int> step = ParseIsoStep(stepText);
  if (!step) return {0, IsoStepError(stepText)};
  return {*step, ""};
}

TGPXUnlinked TWorkspace::ClearContours() {
  IsoView->Clear();
  IsoView->ForgetFreed(IsoData.get());
  return IsoData->Clear();
}

void TWorkspace::TraceContours(TBitmap& isoMap, const TBitmap& interpolatedImage, int step, TIsoMapHost* host) {
  const TInterpolatedMap& map = FinishedMap(InterpolatedMap);
  TMovingSquares tracer(*IsoData, map.Projection, isoMap, interpolatedImage, map.Mask, host);
  tracer.clShallow = map.Shallow;
  tracer.clDeep = map.Deep;
  tracer.GenerateISO(0, map.MaxDepth, step);
}

void TWorkspace::AddShoreLinesToContours(TBitmap& isoMap) {
  const TInterpolatedMap& map = FinishedMap(InterpolatedMap);
  CopyShoreLineSegments(GPXdata->trk, IsoData->trk);
  DrawShoreLines(isoMap.Canvas(), GPXdata->trk, map.Projection, GPXView->TrackWidth, map.Shallow);
}

void TWorkspace::BindIsoView(TBitmap& picture, int width, int height) {
  IsoView->GPXd = IsoData.get();
  IsoLoaded = true;
  IsoView->MaxDepth = InterpolatedMap ? InterpolatedMap->MaxDepth : MaxDepth;
  BindAndFit(*IsoView, picture, width, height);
}
