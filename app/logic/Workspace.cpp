#include "app/logic/Workspace.h"

#include <cmath>

#include "app/logic/Dialogs.h"
#include "app/logic/InterpolationArea.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "platform/Canvas.h"
#include "platform/NumberText.h"
#include "app/logic/WindowNumbers.h"

namespace {
std::unique_ptr<TGPXDraw> NewView(TColor shallow, TColor deep) {
  auto view = std::make_unique<TGPXDraw>();
  view->TrackWidth = 2;
  view->Options.BackGroundColor = 0xFFFFFF;
  view->DepthColorShallow = shallow;
  view->DepthColorDeep = deep;
  view->ShadowMapEnabled = true;
  return view;
}
}  // namespace

TWorkspace::TWorkspace(TDialogs& dialogs, TLog log) : fDialogs(dialogs), fLog(std::move(log)) {
  GPXdata = std::make_unique<TGPX>();
  GPXView = NewView(clShallowWater, clDeepWater);
  GPXView->ShadowMapTrackColor = 0xC0C0C0;
  GPXView->MaxDepth = MaxDepth;
  IsoData = std::make_unique<TGPX>();
  IsoView = NewView(clShallowWater, clDeepWater);  // its shadow pen keeps the view's default
  InCoord = std::make_shared<TPointList>();
  InDepth = std::make_shared<TValueList>();
}

TWorkspace::~TWorkspace() {
  // The views only point at their documents and surfaces: they go first.
  GPXView.reset();
  GPXdata.reset();
  IsoView.reset();
  IsoData.reset();
}

void TWorkspace::Log(const std::string& line) const {
  if (fLog) fLog(line);
}

// ---- radii ----------------------------------------------------------------------

void TWorkspace::ResetRadii() {
  Last_udInterpolationWidth = -1;
  Last_udDontCareRadius = -1;
}

void TWorkspace::ApplyDontCareRadius(int R) {
  const TDontCareRadii radii = DontCareRadii(GPXView->Projection(), R);
  maxDontCareRadius = radii.Max;
  minDontCareRadius = radii.Min;
  Last_udDontCareRadius = R;
}

double TWorkspace::MetresPerPixel() const { return ::MetresPerPixel(GPXView->Projection()); }

// ---- view and area ----------------------------------------------------------------

void TWorkspace::BindView(TBitmap& picture, int width, int height) {
  picture.SetSize(width, height);
  GPXView->Canvas = &picture.Canvas();
  GPXView->Resize(picture.Width(), picture.Height());
  GPXView->filled = false;
  GPXView->ResetBBox(true, true);
  GPXView->Redraw();
}

void TWorkspace::DrawShoreLine(TBitmap& shoreLine) {
  shoreLine.SetSize(GPXView->Width(), GPXView->Height());
  GPXView->GenerateAllShorelinePolygons();
  PaintShoreLine(shoreLine, GPXView->ShorelinePolygons);
}

void TWorkspace::BuildShadowArray(TBitmap& shoreLine) {
  const int width = GPXView->Width();
  const int height = GPXView->Height();
  // A white frame: the view's outermost rows and columns are never interpolated.
  TCanvas& shadow = GPXView->ShadowMap.Canvas();
  shadow.Brush.Color = 0xFFFFFF;
  shadow.Brush.Style = TBrushStyle::bsSolid;
  shadow.FrameRect({0, 0, width, height});
  DrawShoreLine(shoreLine);
  CombineMask(GPXView->ShadowMap, shoreLine, GPXView->Projection(), ShadowArray, ShoreCoord, ShoreDepth);
  ShadowMap = GPXView->ShadowMap;
}

TMapFigures TWorkspace::UpdateMapInfo(int imageWidth, int imageHeight) {
  const int W = GPXView->Width();
  const TBBox& box = GPXView->BBox;
  // Both steps are divided by the view's width.
  DecimateLongitude = W > 0 ? std::fabs(box.E - box.O) / W : 0;
  DecimateLatitude = W > 0 ? std::fabs(box.N - box.S) / W : 0;
  return MeasureMap(GPXView->Projection(), W, GPXView->Height(), GPXView->MaxDepth, imageWidth, imageHeight);
}

// ---- the run ----------------------------------------------------------------------

std::optional<std::string> TWorkspace::CannotInterpolate() const {
  if (MaxDepth <= 0)
    return "Nothing to interpolate: the loaded data holds no depth (maximum depth 0 cm). Load depth recordings, "
           "or enter a depth when loading tracks without depth.";
  if (GPXView->Width() <= 0 || GPXView->Height() <= 0) return "Nothing to interpolate: the map view has no pixels.";
  return std::nullopt;
}

void TWorkspace::PrepareSamples() {
  Log("Interpolate: DecimateLatitude is " + LocaleGeneral(DecimateLatitude));
  Log("Interpolate: DecimateLongitude is " + LocaleGeneral(DecimateLongitude));
  GPXView->ForgetFreed(GPXdata.get());  // the thinning frees points the view may point at
  DecimateTracks(*GPXdata, DecimateLatitude, DecimateLongitude);
  auto coord = std::make_shared<TPointList>(ShoreCoord);
  auto depth = std::make_shared<TValueList>(ShoreDepth);
  AppendTrackSamples(*GPXdata, *coord, *depth);
  InCoord = std::move(coord);
  InDepth = std::move(depth);
  Log("Interpolate: maxDontCareRadius is " + LocaleGeneral(maxDontCareRadius));
  Log("Interpolate: minDontCareRadius is " + LocaleGeneral(minDontCareRadius));
}

void TWorkspace::StartInterpolation(const TRunSettings& settings, TDispatcher& windowThread,
                                    TInterpolationJob::TCallbacks callbacks,
                                    const TInterpolationJob::TInterpolatorFactory& makeInterpolator,
                                    TInterpolationJob::TBandStarter starter) {
  const int W = GPXView->Width();
  const int H = GPXView->Height();
  TInterpolatedMap map;
  map.Projection = GPXView->Projection();
  map.Width = W;
  map.Height = H;
  map.MaxDepth = MaxDepth;
  map.Shallow = clShallowWater;
  map.Deep = clDeepWater;
  map.Mask.SetLength(W, H);
  for (int x = 0; x < W && x < ShadowArray.Width(); ++x)
    for (int y = 0; y < H && y < ShadowArray.Height(); ++y) map.Mask[x][y] = ShadowArray[x][y];

  auto interpolator =
      makeInterpolator(InCoord, InDepth, settings.Power, maxDontCareRadius, minDontCareRadius, &fDialogs);
  // Fresh grids: every pixel starts black at fraction 0.
  InterpolArray.SetLength(W, H);
  InterpolVArray.SetLength(W, H);
  InterpLoaded = false;
  Job = std::make_unique<TInterpolationJob>(windowThread, std::move(callbacks), std::move(starter));
  Job->Start(std::move(interpolator), std::move(map), InterpolArray, InterpolVArray, settings.Threads);
}

bool TWorkspace::CompleteInterpolation() {
  if (!Job || Job->Stopped()) return false;
  InterpolatedMap = Job->TakeMap();
  InterpLoaded = true;
  return true;
}

void TWorkspace::DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks) const {
  surface.Pen.Width = GPXView->TrackWidth;
  surface.Pen.Color = clShallowWater;
  for (const TGPXtrk& trk : tracks)
    for (const TGPXtrkseg& seg : trk) {
      if (seg.maxdepth != 0 || seg.Count() == 0) continue;
      const TPoint4D2& first = *seg.GetPoint(0);
      surface.MoveTo(GPXView->Point4D2ToX(first), GPXView->Point4D2ToY(first));
      for (int i = 1; i < seg.Count(); ++i) {
        const TPoint4D2& p = *seg.GetPoint(i);
        const std::int64_t x = GPXView->Point4D2ToX(p), y = GPXView->Point4D2ToY(p);
        if (x == surface.PenPos.X && y == surface.PenPos.Y) continue;
        surface.LineTo(x, y);
      }
    }
}

// ---- start over ---------------------------------------------------------------------

TWorkspace::TUnlinkedData TWorkspace::StartOver() {
  TUnlinkedData unlinked;
  GPXView->Clear();
  GPXView->ForgetFreed(GPXdata.get());
  unlinked.Loaded = GPXdata->Clear();
  FileLoaded = false;
  MaxDepth = 0;
  GPXView->MaxDepth = 0;  // else the next figures show the old data's depth
  InterpLoaded = false;
  IsoLoaded = false;
  InterpolatedMap.reset();
  InterpolArray.SetLength(0, 0);
  InterpolVArray.SetLength(0, 0);
  InCoord = std::make_shared<TPointList>();
  InDepth = std::make_shared<TValueList>();
  ShoreCoord.clear();
  ShoreDepth.clear();
  IsoView->Clear();
  unlinked.Contours = IsoData->Clear();
  return unlinked;
}
