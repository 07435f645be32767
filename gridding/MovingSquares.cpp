#include "gridding/MovingSquares.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "model/ColorInterpolate.h"
#include "platform/Canvas.h"

namespace {

bool IsVertical(TStepDirection s) { return s == stUp || s == stDown; }
bool IsHorizontal(TStepDirection s) { return s == stLeft || s == stRight; }

std::size_t Cells(const TBooleanArray& grid) {
  return static_cast<std::size_t>(grid.Width()) * static_cast<std::size_t>(grid.Height());
}

}  // namespace

TMovingSquares::TMovingSquares(TGPX& GPX, const TViewProjection& TrackSource, TBitmap& IsoMap,
                               const TBitmap& InterpolatedImage, const TBooleanArray& ShadowArray, TIsoMapHost* host)
    : FIsoMap(IsoMap),
      FInterpolatedImage(InterpolatedImage),
      FShadowArray(ShadowArray.Width(), ShadowArray.Height()),
      fGPX(GPX),
      fView(TrackSource),
      fHost(host) {
  if (!ShadowArray.Empty()) std::copy_n(ShadowArray[0], Cells(ShadowArray), FShadowArray[0]);
}

void TMovingSquares::GenerateISO(int MinDepth, int MaxDepth, int DepthStep) {
  if (DepthStep <= 0) throw std::invalid_argument("The contour step must be at least 1 cm");
  if (MaxDepth <= 0) throw std::invalid_argument("The maximum depth must be positive to trace contours");
  const int W = FInterpolatedImage.Width();
  const int H = FInterpolatedImage.Height();
  if (FShadowArray.Width() != W || FShadowArray.Height() != H)
    throw std::invalid_argument("The interpolation mask and the interpolated image differ in size");

  fColours.SetLength(W, H);
  for (int y = 0; y < H; ++y) {
    const std::uint8_t* row = FInterpolatedImage.ScanLine(y);
    for (int x = 0; x < W; ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, row + 4 * static_cast<std::size_t>(x), sizeof pixel);
      fColours[x][y] = static_cast<std::int32_t>(TBitmap::PixelToColor(pixel));
    }
  }
  fOutside.SetLength(W, H);
  IsoShadow.SetLength(W, H);
  IsoArray.SetLength(W, H);
  const std::size_t cells = Cells(fOutside);
  for (std::size_t i = 0; i < cells; ++i) fOutside[0][i] = !FShadowArray[0][i];

  FIsoMap.SetSize(W, H);
  IsoWalkRange = TArea{1, W - 2, 1, H - 2};
  // Rounded to a multiple of 100, halves away from zero (MaxDepth is positive).
  if (fHost) {
    fHost->SetIsoProgressMax(SaturateToInt((static_cast<std::int64_t>(MaxDepth) + 50) / 100 * 100));
    fHost->SetIsoProgress(0);
  }

  TCanvas& canvas = FIsoMap.Canvas();
  // 64 bits, so neither MaxDepth + 1 nor the last step can overflow.
  for (std::int64_t level = MinDepth; level <= static_cast<std::int64_t>(MaxDepth) + 1; level += DepthStep) {
    if (fHost) {
      fHost->SetIsoProgress(SaturateToInt(level));
      fHost->ProcessMessages();
    }
    IsoThreshold = InterpolateColor(clShallow, clDeep, static_cast<double>(level) / MaxDepth);
    canvas.Pen.Color = IsoThreshold;
    canvas.Pen.Width = 1;

    const auto threshold = static_cast<std::int32_t>(IsoThreshold);
    if (cells > 0) {
      std::copy_n(fOutside[0], cells, IsoShadow[0]);
      const std::int32_t* colours = fColours[0];
      bool* deep = IsoArray[0];
      for (std::size_t i = 0; i < cells; ++i) deep[i] = colours[i] > threshold;
    }

    laststartP = TVector{0, 0};
    while (FindStartPoint()) {
      WalkPerimeter(SaturateToInt(level), startP.X, startP.Y);
      laststartP = startP;
    }
    if (fHost) fHost->UpdateIsoImage();
  }
  IsoShadow.SetLength(0, 0);
  IsoArray.SetLength(0, 0);
  fColours.SetLength(0, 0);
  fOutside.SetLength(0, 0);
}

bool TMovingSquares::IsoValue(int x, int y) const {
  if (x < IsoWalkRange.xmin || y < IsoWalkRange.ymin || x > IsoWalkRange.xmax || y > IsoWalkRange.ymax) return false;
  return IsoArray[x][y];
}

bool TMovingSquares::ShadowValue(int x, int y) const {
  if (x < IsoWalkRange.xmin || y < IsoWalkRange.ymin || x > IsoWalkRange.xmax || y > IsoWalkRange.ymax) return false;
  return FShadowArray[x][y];
}

bool TMovingSquares::FindStartPoint() {
  const int W = IsoArray.Width();
  const int H = IsoArray.Height();
  // One column-major scan per level, resumed where the last start was found.
  for (int x = laststartP.X; x < W - 1; ++x) {
    for (int y = x == laststartP.X ? laststartP.Y : 0; y < H - 1; ++y) {
      if (IsoShadow[x][y] || y == 0) continue;
      // The top edge of a deep region, or the bottom edge of a shallow hole in one.
      const bool start = IsoArray[x][y] && !IsoArray[x][y - 1];
      IsoShadow[x][y] = true;
      if (start) {
        startP = TVector{x, y};
        return true;
      }
    }
  }
  return false;
}

void TMovingSquares::Step(int x, int y) {
  const int state = (IsoValue(x - 1, y - 1) ? 1 : 0) | (IsoValue(x, y - 1) ? 2 : 0) | (IsoValue(x - 1, y) ? 4 : 0) |
                    (IsoValue(x, y) ? 8 : 0);
  previousStep = nextStep;
  switch (state) {
    case 1: case 5: case 13: nextStep = stUp; break;
    case 2: case 3: case 7: nextStep = stRight; break;
    case 4: case 12: case 14: nextStep = stLeft; break;
    case 8: case 10: case 11: nextStep = stDown; break;
    // The two saddles: the direction we came from decides, so regions that touch
    // only at a corner stay apart.
    case 6: nextStep = previousStep == stUp ? stLeft : stRight; break;
    case 9: nextStep = previousStep == stRight ? stUp : stDown; break;
    default: nextStep = stNone; break;  // 0 and 15: no edge here
  }
}

void TMovingSquares::WalkPerimeter(int Level, int X, int Y) {
  int x = X;
  int y = Y;
  bool inside = false;
  bool keep = true;
  auto track = std::make_unique<TGPXtrk>();
  std::unique_ptr<TGPXtrkseg> segment;
  TCanvas& canvas = FIsoMap.Canvas();

  while (true) {
    Step(x, y);
    switch (nextStep) {
      case stUp: --y; break;
      case stLeft: --x; break;
      case stDown: ++y; break;
      case stRight: ++x; break;
      case stNone: return;  // no boundary to follow: nothing of the walk is kept
    }
    const bool wasInside = inside;
    inside = ShadowValue(x - 1, y - 1) && ShadowValue(x, y - 1) && ShadowValue(x - 1, y) && ShadowValue(x, y);
    IsoShadow[x][y] = true;

    if (inside && !wasInside) {
      canvas.MoveTo(x, y);
      segment = std::make_unique<TGPXtrkseg>();
      keep = true;
    }
    if (inside) {
      canvas.LineTo(x, y);
      // Thinning: a straight run keeps its first and latest point; a right-angle
      // corner is cut by a diagonal to the point one step past it.
      bool replacesLast = false;
      if (segment->Count() > 0) {
        if (keep) {
          keep = false;
        } else if (previousStep == nextStep) {
          replacesLast = true;
        } else if ((IsVertical(previousStep) && IsHorizontal(nextStep)) ||
                   (IsHorizontal(previousStep) && IsVertical(nextStep))) {
          replacesLast = true;
          keep = true;
        }
      }
      // The last point moves rather than being freed for a new one: most corners
      // of a walk are thinned away, and allocating each would dominate the trace.
      TGPXwpt* point = replacesLast ? segment->GetTrkPoint(segment->Count() - 1) : nullptr;
      if (!point) {
        auto fresh = std::make_unique<TGPXwpt>();
        fresh->HBdepth = Level;
        point = fresh.get();
        segment->Add(std::move(fresh));
      }
      point->Longitude = fView.XToLo(x);
      point->Latitude = fView.YToLa(y);
    }
    const bool closed = x == X && y == Y;
    if (wasInside && (!inside || closed)) {
      if (segment && segment->Count() > 2) track->Add(std::move(segment));
      segment.reset();
    }
    if (closed) break;
  }
  if (track->Count() > 0) fGPX.trk.Add(std::move(track));
}
