#include "app/logic/Workspace.h"

#include <cmath>
#include <string_view>

#include "app/logic/DepthPreparation.h"
#include "app/logic/Dialogs.h"
#include "app/logic/InterpolationArea.h"
#include "app/logic/InterpolationSamples.h"
#include "app/logic/MapPicture.h"
#include "app/logic/ProjectEditing.h"
#include "app/logic/WindowNumbers.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "platform/Canvas.h"
#include "platform/NumberText.h"

namespace {
std::unique_ptr<TGPXDraw> NewView() {
  auto view = std::make_unique<TGPXDraw>();
  view->TrackWidth = 2;
  view->Options.BackGroundColor = 0xFFFFFF;
  view->ShadowMapEnabled = true;
  return view;
}

std::unique_ptr<TGPXDraw> NewSourceView() {
  auto view = NewView();
  view->ShadowMapTrackColor = 0xC0C0C0;  // the contour view's shadow pen keeps the view's default
  return view;
}
}  // namespace

void BindAndFit(TGPXDraw& view, TBitmap& picture, int width, int height) {
  picture.SetSize(width, height);
  view.Canvas = &picture.Canvas();
  view.Resize(picture.Width(), picture.Height());
  view.filled = false;
  view.ResetBBox(true, true);
  view.Redraw();
}

TWorkspace::TWorkspace(TDialogs& dialogs, TLog log)
    : fGPXdata(std::make_unique<TGPX>()),
      fGPXView(NewSourceView()),
      fIsoData(std::make_unique<TGPX>()),
      fIsoView(NewView()),
      fSourceMouse(*fGPXView, TMapKind::Source),
      fContourMouse(*fIsoView, TMapKind::Contour),
      fInCoord(std::make_shared<TPointList>()),
      fInDepth(std::make_shared<TValueList>()),
      fDialogs(dialogs),
      fLog(std::move(log)) {
  fGPXView->MaxDepth = fMaxDepth;
  SetWaterColours(fShallowWater, fDeepWater);
}

TWorkspace::~TWorkspace() {
  // The views only point at their documents and surfaces: they go first.
  fGPXView.reset();
  fGPXdata.reset();
  fIsoView.reset();
  fIsoData.reset();
}

void TWorkspace::Log(const std::string& line) const {
  if (fLog) fLog(line);
}

// ---- the maps -------------------------------------------------------------------------

void TWorkspace::BindView(TBitmap& picture, const TMapArea& area) {
  BindAndFit(*fGPXView, picture, area.Width, area.Height);
  fSourceFitPending = !area.Visible;
}

bool TWorkspace::MapResized(TMapKind map, TBitmap& picture, const TMapArea& area) {
  // The visible area stays, unless it was fitted to a size the user never saw.
  const auto refit = [&area](TGPXDraw& view, bool& pending) {
    if (!pending || !area.Visible) return false;
    view.ResetBBox(true, true);
    pending = false;
    return true;
  };
  if (map == TMapKind::Source) {
    if (!fFileLoaded) return false;
    picture.SetSize(area.Width, area.Height);
    fGPXView->Resize(picture.Width(), picture.Height());
    const bool refitted = refit(*fGPXView, fSourceFitPending);
    fGPXView->Redraw();
    ViewChanged(TViewChange::Refitted);
    return refitted;
  }
  if (!fIsoLoaded) return false;
  fIsoView->Resize(area.Width, area.Height);
  if (!picture.Empty()) picture.SetSize(fIsoView->Width(), fIsoView->Height());
  const bool refitted = refit(*fIsoView, fContourFitPending);
  fIsoView->Redraw();
  return refitted;
}

void TWorkspace::ViewChanged(TViewChange change) {
  // The cut-off radius in degrees follows the scale; a zoom step also has the
  // extrapolation radius applied again, which rebuilds the area and sets the
  // don't-care radius to twice it.
  fLastDontCareRadius = -1;
  if (change == TViewChange::Zoomed) fLastInterpolationWidth = -1;
}

void TWorkspace::FitView() {
  fGPXView->ResetBBox(true, true);
  fGPXView->Redraw();
  ViewChanged(TViewChange::Refitted);
}

void TWorkspace::ZoomIn() {
  fGPXView->ZoomIn();
  fGPXView->Redraw();
  ViewChanged(TViewChange::Zoomed);
}

void TWorkspace::ZoomOut() {
  fGPXView->ZoomOut();
  fGPXView->Redraw();
  ViewChanged(TViewChange::Zoomed);
}

void TWorkspace::FitIsoView() {
  if (!fIsoLoaded) return;
  fIsoView->ResetBBox(true, true);
  fIsoView->Redraw();
}

void TWorkspace::RedrawView() { fGPXView->Redraw(); }

void TWorkspace::SetWaterColours(TColor shallow, TColor deep) {
  fShallowWater = shallow;
  fDeepWater = deep;
  for (TGPXDraw* view : {fGPXView.get(), fIsoView.get()}) {
    view->DepthColorShallow = shallow;
    view->DepthColorDeep = deep;
    view->Redraw();
  }
}

void TWorkspace::SetExtrapolationRadius(std::int32_t pixels) { fGPXView->ShadowMapTrackWidth = pixels; }

// ---- the maps' mouse ------------------------------------------------------------------

TMouseResult TWorkspace::MouseDown(TMapKind map, const TMouseInput& input) {
  return Mouse(map).Down(input, fFileLoaded);
}

TMouseResult TWorkspace::MouseMove(TMapKind map, const TMouseInput& input) {
  return Mouse(map).Move(input, map == TMapKind::Source ? fFileLoaded : fIsoLoaded);
}

TMouseResult TWorkspace::MouseUp(TMapKind map, const TMouseInput& input) {
  TMouseResult result = Mouse(map).Up(input, fFileLoaded);
  if (result.ScaleChanged) ViewChanged(TViewChange::Zoomed);
  return result;
}

TMouseMode TWorkspace::MouseMode(TMapKind map) const {
  return map == TMapKind::Source ? fSourceMouse.Mode() : fContourMouse.Mode();
}

TMouseResult TWorkspace::ToggleZoom(TMapKind map) {
  if (map == TMapKind::Source) return fSourceMouse.Toggle(mmZoom);
  if (!fIsoLoaded) return {};
  return fContourMouse.SwitchTo(mmZoom);
}

TMouseResult TWorkspace::ToggleDeleteSample() {
  const TGPX* shown = fGPXView->GPXd;
  if (!fFileLoaded || !shown || shown->Selection.Count() == 0) return {};
  if (std::string_view(shown->Selection.Items(0)->ClassName()) != "TGPXtrkseg") return {};
  return fSourceMouse.Toggle(mmDeleteTrackPoint);
}

TMouseResult TWorkspace::ToggleDeleteArea() {
  if (!fFileLoaded) return {};
  return fSourceMouse.Toggle(mmCutter);
}

// ---- editing in the project window ------------------------------------------------------

bool TWorkspace::SelectTreeObject(TObject* object) {
  if (!::SelectTreeObject(*fGPXView, object)) return false;
  fGPXView->Redraw();
  return true;
}

void TWorkspace::DeleteSelection(const TProjectTreeModel& tree) {
  DeleteSelectedObjects(*fGPXView, *fGPXdata, tree);
  fGPXView->Redraw();
}

void TWorkspace::ClearSelection() {
  if (fGPXView->GPXd) fGPXView->GPXd->Selection.Clear();
}

// ---- radii ----------------------------------------------------------------------

void TWorkspace::ResetRadii() {
  fLastInterpolationWidth = -1;
  fLastDontCareRadius = -1;
}

void TWorkspace::ApplyDontCareRadius(int R) {
  const TDontCareRadii radii = DontCareRadii(fGPXView->Projection(), R);
  fMaxDontCareRadius = radii.Max;
  fMinDontCareRadius = radii.Min;
  fLastDontCareRadius = R;
}

double TWorkspace::MetresPerPixel() const { return ::MetresPerPixel(fGPXView->Projection()); }

TWorkspace::TTick TWorkspace::TimerTick(int extrapolation, int dontCare,
                                        const std::function<int(int)>& showDontCare) {
  TTick tick;
  if (!fFileLoaded) return tick;
  if (extrapolation != fLastInterpolationWidth || dontCare != fLastDontCareRadius)
    tick.MetresPerPixel = MetresPerPixel();
  if (extrapolation != fLastInterpolationWidth) {
    SetExtrapolationRadius(extrapolation);
    fGPXView->Redraw();
    tick.ExtrapolationApplied = true;
    tick.Extrapolation = extrapolation;
    dontCare = showDontCare ? showDontCare(2 * extrapolation) : 2 * extrapolation;
    fLastInterpolationWidth = extrapolation;
  }
  if (dontCare != fLastDontCareRadius) {
    ApplyDontCareRadius(dontCare);
    tick.DontCareApplied = true;
    tick.DontCare = dontCare;
  }
  return tick;
}

// ---- view and area ----------------------------------------------------------------

void TWorkspace::DrawShoreLine(TBitmap& shoreLine) {
  shoreLine.SetSize(fGPXView->Width(), fGPXView->Height());
  fGPXView->GenerateAllShorelinePolygons();
  PaintShoreLine(shoreLine, fGPXView->ShorelinePolygons);
}

void TWorkspace::BuildShadowArray(TBitmap& shoreLine) {
  const int width = fGPXView->Width();
  const int height = fGPXView->Height();
  // A white frame: the view's outermost rows and columns are never interpolated.
  TCanvas& shadow = fGPXView->ShadowMap.Canvas();
  shadow.Brush.Color = 0xFFFFFF;
  shadow.Brush.Style = TBrushStyle::bsSolid;
  shadow.FrameRect({0, 0, width, height});
  DrawShoreLine(shoreLine);
  CombineMask(fGPXView->ShadowMap, shoreLine, fGPXView->Projection(), fShadowArray, fShoreCoord, fShoreDepth);
  fShadowMap = fGPXView->ShadowMap;
}

TMapFigures TWorkspace::UpdateMapInfo(int imageWidth, int imageHeight) {
  const int W = fGPXView->Width();
  const TBBox& box = fGPXView->BBox;
  // Both steps are divided by the view's width.
  fDecimateLongitude = W > 0 ? std::fabs(box.E - box.O) / W : 0;
  fDecimateLatitude = W > 0 ? std::fabs(box.N - box.S) / W : 0;
  return MeasureMap(fGPXView->Projection(), W, fGPXView->Height(), fGPXView->MaxDepth, imageWidth, imageHeight);
}

// ---- the run ----------------------------------------------------------------------

std::optional<std::string> TWorkspace::CannotInterpolate() const {
  if (fMaxDepth <= 0)
    return "Nothing to interpolate: the loaded data holds no depth (maximum depth 0 cm). Load depth recordings, "
           "or enter a depth when loading tracks without depth.";
  // The loaders' maximum stays when tracks are deleted afterwards; without a
  // sounding left the grid would be all black.
  if (GetMaxDepth(*fGPXdata) <= 0)
    return "Nothing to interpolate: no depth sample is left in the loaded data (the tracks with depth were "
           "deleted). Add depth recordings again, or \"Start over\".";
  if (fGPXView->Width() <= 0 || fGPXView->Height() <= 0) return "Nothing to interpolate: the map view has no pixels.";
  return std::nullopt;
}

void TWorkspace::PrepareSamples() {
  Log("Interpolate: DecimateLatitude is " + LocaleGeneral(fDecimateLatitude));
  Log("Interpolate: DecimateLongitude is " + LocaleGeneral(fDecimateLongitude));
  fGPXView->ForgetFreed(fGPXdata.get());  // the thinning frees points the view may point at
  DecimateTracks(*fGPXdata, fDecimateLatitude, fDecimateLongitude);
  auto coord = std::make_shared<TPointList>(fShoreCoord);
  auto depth = std::make_shared<TValueList>(fShoreDepth);
  AppendTrackSamples(*fGPXdata, *coord, *depth);
  fInCoord = std::move(coord);
  fInDepth = std::move(depth);
  Log("Interpolate: maxDontCareRadius is " + LocaleGeneral(fMaxDontCareRadius));
  Log("Interpolate: minDontCareRadius is " + LocaleGeneral(fMinDontCareRadius));
}

void TWorkspace::StartInterpolation(const TRunSettings& settings, TDispatcher& windowThread,
                                    TInterpolationJob::TCallbacks callbacks,
                                    const TInterpolationJob::TInterpolatorFactory& makeInterpolator,
                                    TInterpolationJob::TBandStarter starter) {
  const int W = fGPXView->Width();
  const int H = fGPXView->Height();
  TInterpolatedMap map;
  map.Projection = fGPXView->Projection();
  map.Width = W;
  map.Height = H;
  map.MaxDepth = fMaxDepth;
  map.Shallow = fShallowWater;
  map.Deep = fDeepWater;
  map.Mask.SetLength(W, H);
  for (int x = 0; x < W && x < fShadowArray.Width(); ++x)
    for (int y = 0; y < H && y < fShadowArray.Height(); ++y) map.Mask[x][y] = fShadowArray[x][y];

  auto interpolator =
      makeInterpolator(fInCoord, fInDepth, settings.Power, fMaxDontCareRadius, fMinDontCareRadius, &fDialogs);
  // Fresh grids: every pixel starts black at fraction 0.
  fInterpolArray.SetLength(W, H);
  fInterpolVArray.SetLength(W, H);
  fInterpLoaded = false;
  fJob = std::make_unique<TInterpolationJob>(windowThread, std::move(callbacks), std::move(starter));
  fJob->Start(std::move(interpolator), std::move(map), fInterpolArray, fInterpolVArray, settings.Threads);
}

void TWorkspace::StopInterpolation() {
  if (fJob) fJob->RequestStop();
}

bool TWorkspace::CompleteInterpolation() {
  if (!fJob || fJob->Stopped()) return false;
  fInterpolatedMap = fJob->TakeMap();
  fInterpLoaded = true;
  return true;
}

void TWorkspace::DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks) const {
  DrawShoreLines(surface, tracks, fGPXView->Projection(), fGPXView->TrackWidth, fShallowWater);
}

// ---- start over ---------------------------------------------------------------------

TWorkspace::TUnlinkedData TWorkspace::StartOver() {
  TUnlinkedData unlinked;
  fGPXView->Clear();
  fGPXView->ForgetFreed(fGPXdata.get());
  unlinked.Loaded = fGPXdata->Clear();
  fFileLoaded = false;
  fMaxDepth = 0;
  fGPXView->MaxDepth = 0;  // else the next figures show the old data's depth
  fInterpLoaded = false;
  fIsoLoaded = false;
  fSourceFitPending = false;
  fContourFitPending = false;
  fInterpolatedMap.reset();
  fInterpolArray.SetLength(0, 0);
  fInterpolVArray.SetLength(0, 0);
  fInCoord = std::make_shared<TPointList>();
  fInDepth = std::make_shared<TValueList>();
  fShoreCoord.clear();
  fShoreDepth.clear();
  fIsoView->Clear();
  unlinked.Contours = fIsoData->Clear();
  return unlinked;
}
