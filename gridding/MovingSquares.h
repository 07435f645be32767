#pragma once

#include <cstdint>
#include <memory>

#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "model/GPX.h"
#include "platform/Bitmap.h"
#include "platform/Object.h"

// A cell or a corner of the pixel grid.
struct TVector {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};

// A closed rectangle of cells.
struct TArea {
  std::int32_t xmin = 0;
  std::int32_t xmax = 0;
  std::int32_t ymin = 0;
  std::int32_t ymax = 0;
};

// One step of a walk: stUp is row - 1, stLeft column - 1, stDown row + 1,
// stRight column + 1.
enum TStepDirection { stNone = 0, stUp = 1, stLeft = 2, stDown = 3, stRight = 4 };

// The main window's side of the tracing. Every call comes from the window thread,
// inside GenerateISO.
class TIsoMapHost {
public:
  virtual ~TIsoMapHost() = default;
  virtual void SetIsoProgressMax(int maximum) = 0;  // the contour progress bar
  virtual void SetIsoProgress(int position) = 0;
  virtual void ProcessMessages() = 0;               // pumped before each level
  virtual void UpdateIsoImage() = 0;                // show the contours traced so far
};

// Traces iso-depth contours on the finished interpolated map by marching squares.
//
// It works on colours, not depths: a pixel is deeper than a level when its colour
// $00BBGGRR, read as an integer, is greater than the level's colour on the
// shallow-to-deep gradient. Each boundary of the deep pixels is walked once around
// and drawn on the ISO map; its runs inside the interpolation area become segments
// of one contour track, whose points carry the level as depth.
class TMovingSquares : public TObject {
public:
  // The tracer keeps its own copy of the mask, as it is now, and reads the
  // interpolated image once when GenerateISO starts, so whatever the window does
  // with its mask or picture between two levels cannot reach the trace. The
  // projection is likewise taken as it is now and gives the contour points their
  // positions; it must be the one the image was computed for. The document and
  // the ISO map are referenced and must outlive the tracer. host may be null.
  TMovingSquares(TGPX& GPX, const TViewProjection& TrackSource, TBitmap& IsoMap, const TBitmap& InterpolatedImage,
                 const TBooleanArray& ShadowArray, TIsoMapHost* host = nullptr);

  const char* ClassName() const override { return "TMovingSquares"; }

  // Traces the levels MinDepth, MinDepth + DepthStep, ... while the level does not
  // exceed MaxDepth + 1 (cm). Throws std::invalid_argument, before any work, when
  // DepthStep or MaxDepth is not positive or the mask's size differs from the
  // interpolated image's.
  void GenerateISO(int MinDepth, int MaxDepth, int DepthStep);

  TColor clShallow = 0x0000FF;  // colour of level 0
  TColor clDeep = 0xFF0000;     // colour of the maximum depth

private:
  bool IsoValue(int x, int y) const;
  bool ShadowValue(int x, int y) const;
  bool FindStartPoint();
  void Step(int x, int y);
  void WalkPerimeter(int Level, int X, int Y);

  TVector startP;
  TVector laststartP;
  TStepDirection nextStep = stNone;
  TStepDirection previousStep = stNone;
  TBooleanArray IsoShadow;  // per level: visited, or outside the interpolation area
  TColor IsoThreshold = 0;
  TBooleanArray IsoArray;   // per level: deeper than the level
  TArea IsoWalkRange;
  TBitmap& FIsoMap;
  const TBitmap& FInterpolatedImage;
  TBooleanArray FShadowArray;  // the tracer's own copy of the mask
  // For the run: the image's colours as signed integers and the cells outside the
  // mask, both [column][row], so each level is two plain passes over memory.
  TGrid<std::int32_t> fColours;
  TBooleanArray fOutside;
  TGPX& fGPX;
  TViewProjection fView;
  TIsoMapHost* fHost;
};
