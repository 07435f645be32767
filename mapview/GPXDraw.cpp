#include "mapview/GPXDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string_view>

#include "model/ColorInterpolate.h"
#include "platform/NumberText.h"
#include "platform/UserFolders.h"

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr double kNoDistanceYet = 2147483647.0;

// Rounding to the nearest integer with halves to even.
long double RoundEven(long double v) { return std::nearbyintl(v); }

// A route or a track segment: the point lists a user picks to cut or join.
bool IsPickedPointList(const TObject* object) {
  return object && (object->Is<TGPXrte>() || object->Is<TGPXtrkseg>());
}

// The half margins and the shift toward the point of ZoomInAt and ZoomOutAt,
// worked out in extended precision and kept as doubles.
struct ZoomAtSteps {
  double hx, hy, sx, sy;
};
ZoomAtSteps StepsFor(int width, int height, const TPoint& at) {
  const long double f = TGPXDraw::kZoomFactor;
  return {static_cast<double>(width * f / 2), static_cast<double>(height * f / 2),
          static_cast<double>((width / 2.0L - static_cast<long double>(at.X)) * f),
          static_cast<double>((height / 2.0L - static_cast<long double>(at.Y)) * f)};
}
std::int64_t Trunc(double v) { return static_cast<std::int64_t>(std::clamp(std::trunc(v), -4.0e18, 4.0e18)); }

}  // namespace

// --- TDrawOptions --------------------------------------------------------------

void TDrawOptions::CopyFrom(const TDrawOptions& DrawOption) {
  const TColor trackColor = TrackColor;
  *this = DrawOption;
  TrackColor = trackColor;
}

// --- life cycle and size -------------------------------------------------------

TGPXDraw::TGPXDraw() { Clear(); }

TGPXDraw::~TGPXDraw() = default;

void TGPXDraw::Clear() {
  BBox.Clear();
  filled = false;
  mLog.clear();
  MouseMode = mmMove;
  MouseX = MouseY = LastX = LastY = 0;
  // The view keeps no pointer into a document it has let go.
  wptSelection = nullptr;
  if (GPXd) GPXd->Selection.Clear();
  if (Canvas) {
    Canvas->Brush.Color = Options.BackGroundColor;
    Canvas->FillRect(ClientRect());
    if (ShadowMapEnabled) ShadowMap.FillRect(ClientRect(), kWhite);
    SaveToBuffer();
  }
  SetWidth(0);
  SetHeight(0);
}

void TGPXDraw::SetWidth(int value) {
  fWidth = value;
  Buffer.SetWidth(value);
  Buffer2.SetWidth(value);
  if (ShadowMapEnabled) ShadowMap.SetWidth(value);
}

void TGPXDraw::SetHeight(int value) {
  fHeight = value;
  Buffer.SetHeight(value);
  Buffer2.SetHeight(value);
  if (ShadowMapEnabled) ShadowMap.SetHeight(value);
}

void TGPXDraw::Resize(int iWidth, int iHeight) {
  SetWidth(iWidth);
  SetHeight(iHeight);
}

void TGPXDraw::ResizeToRect(const TRect& rect) {
  Resize(SaturateToInt(std::llabs(rect.Right - rect.Left)), SaturateToInt(std::llabs(rect.Bottom - rect.Top)));
}

void TGPXDraw::SaveToBuffer() {
  if (!Canvas) return;
  Buffer.CopyRect(ClientRect(), Canvas->Bitmap(), ClientRect());
  Buffer2.CopyRect(ClientRect(), Canvas->Bitmap(), ClientRect());
}

void TGPXDraw::LoadFromBuffer() {
  if (Canvas) Canvas->CopyRect(ClientRect(), Buffer, ClientRect());
}

void TGPXDraw::SaveToSecondBuffer() {
  if (Canvas) Buffer2.CopyRect(ClientRect(), Canvas->Bitmap(), ClientRect());
}

void TGPXDraw::LoadFromSecondBuffer() {
  if (Canvas) Canvas->CopyRect(ClientRect(), Buffer2, ClientRect());
}

bool TGPXDraw::IsOnScreen(const TPoint4D2& Point4D) const {
  const TPoint p = Point4D2ToPixel(Point4D);
  return p.X >= 0 && p.X <= fWidth && p.Y >= 0 && p.Y <= fHeight;
}

// --- visible area --------------------------------------------------------------

void TGPXDraw::CalcRm(bool OverSize) {
  if (BBox.E == BBox.O || BBox.N == BBox.S) return;
  const long double rx = std::fabs(static_cast<long double>(fWidth) / (static_cast<long double>(BBox.E) - BBox.O));
  const long double ry = std::fabs(static_cast<long double>(fHeight) / (static_cast<long double>(BBox.N) - BBox.S));
  BBox.Rx = static_cast<double>(rx);
  BBox.Ry = static_cast<double>(ry);
  // From the stored double scales, not their extended-precision intermediates.
  const long double byWidth = BBox.Rx / K;
  const long double byHeight = BBox.Ry;
  const long double rm = byWidth < byHeight ? byWidth : byHeight;
  BBox.Rm = static_cast<double>(rm / (OverSize ? 1.01L : 1.0L));
}

// Equal margins on opposite sides, so the box spans the whole view. A view without
// width or height has no scale (Rm 0) and nothing to centre in.
void TGPXDraw::CenterArea() {
  const long double rm = BBox.Rm;
  if (rm == 0) return;
  const long double mx =
      std::fabs(std::truncl(RoundEven(fWidth - (static_cast<long double>(BBox.E) - BBox.O) * rm * K) / 2));
  const long double my =
      std::fabs(std::truncl(RoundEven(fHeight - (static_cast<long double>(BBox.N) - BBox.S) * rm) / 2));
  BBox.N = static_cast<double>(BBox.N + my / rm);
  BBox.S = static_cast<double>(BBox.S - my / rm);
  BBox.O = static_cast<double>(BBox.O - mx / (rm * K));
  BBox.E = static_cast<double>(BBox.E + mx / (rm * K));
}

void TGPXDraw::ResetBBox(bool Center, bool OverSize) {
  BBox.Clear();
  mLog.emplace_back();
  if (!GPXd) return;
  auto addList = [this](TPointList2& list) {
    list.CalcBBox(true);
    if (list.BBox.Complete) BBox.Add(list.BBox);
  };
  addList(GPXd->wpt);
  for (TGPXrte& route : GPXd->rte) addList(route);
  for (TGPXtrk& track : GPXd->trk)
    for (TGPXtrkseg& segment : track) addList(segment);
  if (BBox.E == BBox.O || BBox.N == BBox.S) return;
  CalcRm(OverSize);
  if (Center) CenterArea();
  BBox.Complete = true;
}

bool TGPXDraw::ZoomTo(const TRect& ZoomRect) {
  if (!BBox.Complete) return false;
  if (BBox.Rm == 0) CalcRm(false);
  const TViewProjection::TArea area = Projection().AreaOf(ZoomRect);
  if (area.Empty()) return false;
  BBox.N = area.N;
  BBox.S = area.S;
  BBox.E = area.E;
  BBox.O = area.O;
  CalcRm(false);
  return true;
}

bool TGPXDraw::ZoomIn() {
  const std::int64_t dx = static_cast<std::int64_t>(std::truncl(fWidth * kZoomFactor / 2));
  const std::int64_t dy = static_cast<std::int64_t>(std::truncl(fHeight * kZoomFactor / 2));
  return ZoomTo({dx, fHeight - dy, fWidth - dx, dy});
}

bool TGPXDraw::ZoomOut() {
  const std::int64_t dx = static_cast<std::int64_t>(std::truncl(fWidth * kZoomFactor / 2));
  const std::int64_t dy = static_cast<std::int64_t>(std::truncl(fHeight * kZoomFactor / 2));
  return ZoomTo({-dx, fHeight + dy, fWidth + dx, -dy});
}

bool TGPXDraw::ZoomInAt(const TPoint& RelPos) {
  const auto [hx, hy, sx, sy] = StepsFor(fWidth, fHeight, RelPos);
  return ZoomTo({Trunc(hx - sx), Trunc(fHeight - hy + sy), Trunc(fWidth - hx - sx), Trunc(hy + sy)});
}

bool TGPXDraw::ZoomOutAt(const TPoint& RelPos) {
  const auto [hx, hy, sx, sy] = StepsFor(fWidth, fHeight, RelPos);
  return ZoomTo({Trunc(sx - hx), Trunc(fHeight + hy - sy), Trunc(fWidth + hx + sx), Trunc(-hy - sy)});
}

bool TGPXDraw::ZoomToPointList(TPointList2& PointList) {
  return ZoomToPointListFromTo(PointList, 0, PointList.Count() - 1);
}

bool TGPXDraw::ZoomToPointListFromTo(TPointList2& PointList, int pFrom, int pTo) {
  TBBox saved;
  saved.Copy(PointList.BBox);
  saved.Complete = PointList.BBox.Complete;
  PointList.CalcBBoxFromTo(pFrom, pTo, true);
  BBox.Copy(PointList.BBox);
  CalcRm(false);
  PointList.BBox.Copy(saved);
  PointList.BBox.Complete = saved.Complete;
  CenterArea();
  return true;
}

void TGPXDraw::MoveFromTo(int X1, int Y1, int X2, int Y2) {
  const std::int64_t dx = static_cast<std::int64_t>(X1) - X2;
  const std::int64_t dy = static_cast<std::int64_t>(Y2) - Y1;
  (void)ZoomTo({dx, dy, dx + fWidth, dy + fHeight});
}

void TGPXDraw::MoveMouseTo(int X2, int Y2) {
  if (MouseX != 0 || MouseY != 0) MoveFromTo(MouseX, MouseY, X2, Y2);
  MouseX = X2;
  MouseY = Y2;
}

TRect TGPXDraw::MouseRectTo(int X, int Y) const {
  return {std::min(X, MouseX), static_cast<std::int64_t>(fHeight) - std::min(Y, MouseY), std::max(X, MouseX),
          static_cast<std::int64_t>(fHeight) - std::max(Y, MouseY)};
}

bool TGPXDraw::ZoomMouseTo(int X, int Y) {
  return ZoomTo(MouseRectTo(X, Y));
}

void TGPXDraw::DrawSelectionRect(int X1, int Y1, int X2, int Y2, TColor Color) {
  if (!Canvas) return;
  LoadFromBuffer();
  Canvas->Pen.Color = Color;
  Canvas->Pen.Width = 1;
  const TPoint outline[] = {{X1, Y1}, {X1, Y2}, {X2, Y2}, {X2, Y1}, {X1, Y1}};
  Canvas->Polyline(outline);
}

void TGPXDraw::DrawMouseSelectionRectTo(int X2, int Y2, TColor Color) {
  DrawSelectionRect(MouseX, MouseY, X2, Y2, Color);
}

// --- drawing -------------------------------------------------------------------

void TGPXDraw::Redraw() {
  if (!Canvas || !GPXd) return;
  Canvas->Brush.Color = Options.BackGroundColor;
  Canvas->FillRect(ClientRect());
  if (ShadowMapEnabled) {
    ShadowMap.SetSize(fWidth, fHeight);
    ShadowMap.Fill(kWhite);
  }
  for (const bool selected : {false, true}) {
    for (TGPXtrk& track : GPXd->trk)
      for (TGPXtrkseg& segment : track)
        if (segment.Enabled() && GPXd->Selection.IsInSelection(&segment) == selected)
          DrawPointList(segment, selected);
  }
  SaveToBuffer();
}

bool TGPXDraw::DrawPointList(TPointList2& Track, bool Selected) {
  return DrawPointListFromTo(Track, 0, Track.Count() - 1, Selected);
}

// A stroke takes the colour of the depth it starts from. Without a usable
// maximum depth every depth counts as deep rather than dividing by zero.
TColor TGPXDraw::StrokeColor(const TPoint4D2& from, bool Selected) const {
  if (from.HBdepth > 0) {
    if (MaxDepth <= 0) return DepthColorDeep;
    return InterpolateColor(DepthColorShallow, DepthColorDeep, from.HBdepth / MaxDepth);
  }
  return Selected ? Options.SelectedColor : DepthColorShallow;
}

bool TGPXDraw::DrawPointListFromTo(TPointList2& Track, int pFrom, int PTo, bool Selected) {
  if (Track.IsEmpty() || !BBox.Complete || !Canvas) return false;
  const TPoint4D2* prev = Track.GetPoint(pFrom);
  Canvas->Pen.Width = Selected ? 2 * TrackWidth : TrackWidth;
  TCanvas* shadow = ShadowMapEnabled ? &ShadowMap.Canvas() : nullptr;
  if (shadow) {
    shadow->Pen.Color = ShadowMapTrackColor;
    shadow->Pen.Width = ShadowMapTrackWidth;
  }
  const bool pointsOnly = TrackRouteEdition && Options.TREPointDraw == 1;
  TPoint prevPixel = Point4D2ToPixel(*prev);
  for (int i = pFrom + 1; i <= PTo; ++i) {
    const TPoint4D2* next = Track.GetPoint(i);
    const TPoint nextPixel = Point4D2ToPixel(*next);
    if (!pointsOnly) {
      Canvas->Pen.Color = StrokeColor(*prev, Selected);
      const bool hasDepth = prev->HBdepth > 0;
      const bool draw = !(nextPixel == prevPixel && i != PTo);
      Canvas->MoveTo(prevPixel.X, prevPixel.Y);
      if (draw) Canvas->LineTo(nextPixel.X, nextPixel.Y);
      if (shadow && hasDepth) {
        shadow->MoveTo(prevPixel.X, prevPixel.Y);
        if (draw) shadow->LineTo(nextPixel.X, nextPixel.Y);
      }
    }
    prev = next;
    prevPixel = nextPixel;
  }
  return true;
}

bool TGPXDraw::DrawPoint4D(const TPoint4D2* Point4D, TColor Color, int Shape, const std::string& Symbol) {
  if (!Point4D || !Canvas || !IsOnScreen(*Point4D)) return false;
  TCanvas& c = *Canvas;
  c.Pen.Color = Color;
  const int penWidth = c.Pen.Width;
  c.Pen.Width = 1;
  c.Brush.Color = Options.WayPointColor;
  const TPoint p = Point4D2ToPixel(*Point4D);
  const std::int64_t x = p.X, y = p.Y;
  auto line = [&c](std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  auto box = [&c, x, y](std::int64_t hx, std::int64_t hy) {
    const TPoint outline[] = {{x - hx, y - hy}, {x - hx, y + hy}, {x + hx, y + hy}, {x + hx, y - hy}, {x - hx, y - hy}};
    c.Polyline(outline);
  };
  switch (Shape) {
    case 0:
      box(6, 6);
      break;
    case 1:
      box(7, 6);
      break;
    case 2:
      line(x - 6, y - 6, x + 6, y + 7);
      line(x - 6, y + 6, x + 6, y - 7);
      break;
    case 3:
      c.Brush.Color = kWhite;
      c.Ellipse(x - 7, y - 7, x + 7, y + 7);
      break;
    case 4:
      c.Brush.Color = Color;
      c.Ellipse(x - 6, y - 6, x + 6, y + 6);
      break;
    case 5:
      c.Pen.Width = 2;
      line(x - 6, y - 6, x + 6, y + 6);
      line(x - 6, y + 6, x + 6, y - 6);
      break;
    case 6:
      if (!DrawIcon(Point4D, Symbol)) box(6, 6);
      break;
    default:
      c.SetPixel(x, y, Color);
      break;
  }
  c.Pen.Width = penWidth;
  return true;
}

std::string TGPXDraw::GetPersonalFolder() const { return userfolders::DocumentsFolder(); }

// The folder of custom waypoint symbols in the user's documents, with '/' as the
// separator of this platform. A symbol's name never leaves that folder: every
// '/' in it becomes '-'.
std::string TGPXDraw::IconFileName(const std::string& Symbol) const {
  if (Symbol.empty()) return {};
  const std::string folder = GetPersonalFolder() + "/My Garmin/Custom Waypoint Symbols/";
  constexpr std::string_view prefix = "Custom ";
  if (Symbol.size() > prefix.size() && Symbol.compare(0, prefix.size(), prefix) == 0) {
    const auto n = numtext::ParseInt(std::string_view(Symbol).substr(prefix.size()));
    if (!n || *n == -1 || *n < std::numeric_limits<std::int32_t>::min() ||
        *n > std::numeric_limits<std::int32_t>::max())
      return {};
    // "%.3d": at least three digits, the sign in front.
    std::string digits = numtext::FormatInt(*n < 0 ? -*n : *n);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return folder + (*n < 0 ? "-" : "") + digits + ".bmp";
  }
  std::string name = Symbol;
  std::replace(name.begin(), name.end(), ' ', '_');
  name += ".bmp";
  std::replace(name.begin(), name.end(), '/', '-');
  return folder + name;
}

bool TGPXDraw::DrawIcon(const TPoint4D2* Point4D, const std::string& Symbol) {
  if (!Point4D || !Canvas || !IsOnScreen(*Point4D) || Symbol.empty()) return false;
  const std::string fileName = IconFileName(Symbol);
  std::error_code error;
  if (fileName.empty() || !std::filesystem::is_regular_file(fileName, error)) return false;
  TBitmap picture;
  if (!picture.LoadFromFile(fileName)) return false;
  const std::int64_t w = picture.Width(), h = picture.Height();
  const TPoint p = Point4D2ToPixel(*Point4D);
  if (Options.IconsAreTransparent) {
    // A transparent picture drops the colour of its bottom-left pixel.
    Canvas->DrawTransparent(p.X - w / 2, p.Y - h / 2, picture, picture.Pixel(0, static_cast<int>(h - 1)));
  } else {
    Canvas->CopyRect({p.X - w / 2, p.Y - h / 2, p.X + w / 2, p.Y + h / 2}, picture, {0, 0, w, h});
  }
  return true;
}

void TGPXDraw::GenerateAllShorelinePolygons() {
  if (!Canvas || !GPXd) return;
  ShorelinePolygons.clear();
  nPolygon = -1;
  for (TGPXtrk& track : GPXd->trk)
    for (TGPXtrkseg& segment : track)
      if (segment.maxdepth == 0) GenerateShorelinePolygons(segment);
}

void TGPXDraw::GenerateShorelinePolygons(const TPointList2& Track) {
  if (Track.IsEmpty() || !BBox.Complete) return;
  ++nPolygon;
  ShorelinePolygons.resize(static_cast<std::size_t>(nPolygon) + 1);
  std::vector<TPoint>& polygon = ShorelinePolygons[static_cast<std::size_t>(nPolygon)];
  polygon.clear();
  TPoint prev = Point4D2ToPixel(*Track.GetPoint(0));
  polygon.push_back(prev);
  const int last = Track.Count() - 1;
  for (int i = 0; i <= last; ++i) {
    const TPoint pixel = Point4D2ToPixel(*Track.GetPoint(i));
    if (!(pixel == prev) || i == last) polygon.push_back(pixel);
    prev = pixel;
  }
}

// --- selection and editing -------------------------------------------------------

TObject* TGPXDraw::FindNearest(const TPoint4D2& Where, int kinds) const {
  if (!GPXd) return nullptr;
  double best = kNoDistanceYet;
  TObject* winner = nullptr;
  auto consider = [&](const TPoint4D2& candidate, TObject* object) {
    const double d = candidate.WGS84Distance(Where, false);
    if (d < best) {
      best = d;
      winner = object;
    }
  };
  if (kinds & kWaypoints)
    for (TGPXwpt& waypoint : GPXd->wpt.Waypoints()) consider(waypoint, &waypoint);
  if (kinds & kRoutes)
    for (TGPXrte& route : GPXd->rte)
      for (TGPXwpt& point : route.Waypoints()) consider(point, &route);
  if (kinds & kSegments)
    for (TGPXtrk& track : GPXd->trk)
      for (TGPXtrkseg& segment : track)
        for (TGPXwpt& point : segment.Waypoints()) consider(point, &segment);
  return winner;
}

void TGPXDraw::Select(TObject* winner, bool AddToSelection) {
  if (!winner) return;
  if (!AddToSelection) GPXd->Selection.Clear();
  if (!GPXd->Selection.IsInSelection(winner)) GPXd->Selection.Add(winner);
}

void TGPXDraw::SelectAnything(const TPoint4D2& Where, bool AddToSelection) {
  Select(FindNearest(Where, kWaypoints | kRoutes | kSegments), AddToSelection);
}

void TGPXDraw::SelectWayPoint(const TPoint4D2& Where, bool AddToSelection) {
  Select(FindNearest(Where, kWaypoints), AddToSelection);
}

void TGPXDraw::SelectRoute(const TPoint4D2& Where, bool AddToSelection) {
  Select(FindNearest(Where, kRoutes), AddToSelection);
}

void TGPXDraw::SelectTrack(const TPoint4D2& Where, bool AddToSelection) {
  Select(FindNearest(Where, kSegments), AddToSelection);
}

void TGPXDraw::SelectForCut(const TPoint4D2& Where) {
  TObject* winner = FindNearest(Where, kRoutes | kSegments);
  if (!winner) return;
  auto* list = static_cast<TGPXwptList*>(winner);
  TPoint4D2* cut = list->FindClosestPoint(Where.Longitude, Where.Latitude);
  GPXd->Selection.Clear();
  GPXd->Selection.Add(winner);
  if (cut) wptSelection = static_cast<TGPXwpt*>(cut);
}

void TGPXDraw::SelectForCutSelected(const TPoint4D2& Where) {
  if (!GPXd || GPXd->Selection.Count() != 1) return;
  TObject* object = GPXd->Selection.Items(0);
  if (!IsPickedPointList(object)) return;
  // An emptied route or segment has no point to offer; the cut point stays.
  TPoint4D2* p = static_cast<TGPXwptList*>(object)->FindClosestPoint(Where.Longitude, Where.Latitude);
  if (p) wptSelection = static_cast<TGPXwpt*>(p);
}

void TGPXDraw::SelectForBind(const TPoint4D2& Where) {
  if (!GPXd || GPXd->Selection.Count() == 0) return;
  while (GPXd->Selection.Count() > 1) GPXd->Selection.Delete(GPXd->Selection.Count() - 1);
  TObject* first = GPXd->Selection.Items(0);
  TObject* winner = nullptr;
  if (first->Is<TGPXrte>()) {
    winner = FindNearest(Where, kRoutes);
  } else if (first->Is<TGPXtrkseg>()) {
    winner = FindNearest(Where, kSegments);
  }
  if (winner && winner != first) GPXd->Selection.Add(winner);
}

void TGPXDraw::RemoveFromSelection(const TObject* object) {
  if (!GPXd) return;
  while (GPXd->Selection.Remove(object) >= 0) {
  }
}

void TGPXDraw::ForgetFreed(const TObject* object) {
  if (!object) return;
  if (GPXd && object == GPXd) {
    GPXd->Selection.Clear();
    wptSelection = nullptr;
    wptListSelecion = nullptr;
    return;
  }
  RemoveFromSelection(object);
  // What the object owns goes with it: a track's segments, a list's points.
  const auto* track = dynamic_cast<const TGPXtrk*>(object);
  const auto* list = dynamic_cast<const TPointList2*>(object);
  if (track) {
    for (const TGPXtrkseg& segment : *track) ForgetFreed(&segment);
  } else if (list && GPXd) {
    std::vector<const TObject*> points;
    for (const TObject* item : GPXd->Selection)
      if (list->Contains(item)) points.push_back(item);
    for (const TObject* point : points) RemoveFromSelection(point);
  }
  if (object == wptSelection || (list && wptSelection && list->Contains(wptSelection))) wptSelection = nullptr;
  if (object == wptListSelecion) wptListSelecion = nullptr;
}

bool TGPXDraw::DeleteCutPoint() {
  const TGPXwpt* point = wptSelection;
  wptSelection = nullptr;
  if (!point || !GPXd) return false;
  TGPXwptList* firstList = nullptr;
  for (TObject* item : GPXd->Selection)
    if (IsPickedPointList(item)) {
      firstList = static_cast<TGPXwptList*>(item);
      break;
    }
  if (!firstList) return false;
  // Found by identity before anything reads it: a point this list does not hold
  // may long be gone.
  std::unique_ptr<TPoint4D2> removed = firstList->Extract(point);
  if (!removed) return false;
  ForgetFreed(removed.get());
  return true;
}

// Frees the points of list that the cut hits, from the last index down, after
// taking each out of the selection and forgetting it as the cut point.
void TGPXDraw::FreeHitPoints(TPointList2& list, double E, double O, double S, double N, bool Outside) {
  for (int i = list.Count() - 1; i >= 0; --i) {
    const TPoint4D2* point = list.GetPoint(i);
    if (point->IsInBox(E, O, S, N) == Outside) continue;
    ForgetFreed(point);
    list.FreeAndDelete(i);
  }
}

TCutterUnlinked TGPXDraw::CutterTo(const TRect& CutterRect, bool OnlySelected, bool Outside) {
  TCutterUnlinked unlinked;
  if (!GPXd || !BBox.Complete) return unlinked;
  if (BBox.Rm == 0) CalcRm(false);
  const TViewProjection::TArea area = Projection().AreaOf(CutterRect);
  if (area.Empty()) return unlinked;
  const auto [N, S, E, O] = area;
  const TGPXSelection& selection = GPXd->Selection;

  TGPXwptList& waypoints = GPXd->wpt;
  for (int i = waypoints.Count() - 1; i >= 0; --i) {
    const TPoint4D2* waypoint = waypoints.GetPoint(i);
    if (OnlySelected && !selection.IsInSelection(waypoint)) continue;
    if (waypoint->IsInBox(E, O, S, N) == Outside) continue;
    ForgetFreed(waypoint);
    waypoints.FreeAndDelete(i);
  }

  for (int r = GPXd->rte.Count() - 1; r >= 0; --r) {
    TGPXrte* route = GPXd->rte.GetRoute(r);
    if (OnlySelected && !selection.IsInSelection(route)) continue;
    FreeHitPoints(*route, E, O, S, N, Outside);
    if (route->IsEmpty()) {
      RemoveFromSelection(route);
      unlinked.rte.push_back(GPXd->rte.Delete(r));
    }
  }

  for (int t = GPXd->trk.Count() - 1; t >= 0; --t) {
    TGPXtrk* track = GPXd->trk.GetTrack(t);
    for (int s = track->Count() - 1; s >= 0; --s) {
      TGPXtrkseg* segment = track->GetTrkSeg(s);
      if (OnlySelected && !selection.IsInSelection(segment)) continue;
      FreeHitPoints(*segment, E, O, S, N, Outside);
      if (segment->IsEmpty()) {
        RemoveFromSelection(segment);
        unlinked.trkseg.push_back(track->Delete(s));
      }
    }
    if (track->IsEmpty()) {
      RemoveFromSelection(track);
      unlinked.trk.push_back(GPXd->trk.Delete(t));
    }
  }
  return unlinked;
}

TCutterUnlinked TGPXDraw::CutterMouseTo(int X, int Y, bool OnlySelected, bool Outside) {
  return CutterTo(MouseRectTo(X, Y), OnlySelected, Outside);
}
