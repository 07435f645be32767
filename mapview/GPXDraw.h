#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapview/Projection.h"
#include "model/GPS.h"
#include "model/GPX.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Object.h"

// What a drag on a map view does. The main window uses mmMove, mmZoom,
// mmDeleteTrackPoint and mmCutter; the other tools are named but set by nobody.
enum TMouseMode {
  mmNone,
  mmMove,
  mmZoom,
  mmPickAnything,
  mmPickRoute,
  mmPickTrack,
  mmPickWaypoint,
  mmCut,
  mmCutSelected,
  mmBind,
  mmPlantWayPoint,
  mmDeleteTrackPoint,
  mmCutter,
  mmCutterSelected,
  mmCutterOutside,
  mmCutterOutsideSelected,
};

// The colours and flags of a view. Several are kept only so that they can be set
// and copied; the view itself reads BackGroundColor, WayPointColor, SelectedColor,
// TREPointDraw and IconsAreTransparent.
class TDrawOptions : public TObject {
public:
  TDrawOptions() = default;
  const char* ClassName() const override { return "TDrawOptions"; }

  // Every field but TrackColor.
  void CopyFrom(const TDrawOptions& DrawOption);

  bool AskBeforeDelete = true;
  TColor BackGroundColor = 0xC0C0C0;
  TColor WayPointColor = 0xFF0000;
  TColor TrackColor = 0x000000;
  TColor RouteColor = 0x008080;
  TColor SelectedColor = 0x0000FF;
  TColor CutPointColor = 0x0000FF;
  bool RightClicSelects = true;
  bool ShowComputedSpeed = true;
  bool ShowGPXData = false;
  bool DrawPLStart = false;
  bool TREZoomReset = false;
  std::int32_t TREPointDraw = 0;
  bool ExtensionLineColor = false;
  bool UseGarminIcons = false;
  bool IconsAreTransparent = false;

protected:
  // Every field; CopyFrom keeps TrackColor.
  TDrawOptions(const TDrawOptions&) = default;
  TDrawOptions& operator=(const TDrawOptions&) = default;
};

// What the rectangle cutter took out of the document without freeing: routes and
// segments left without points and tracks left without segments. They are no
// longer in the document or its selection; the caller keeps the bundle until
// whatever else may point at them (the project window's tree) is rebuilt, then
// drops it, which frees them.
struct TCutterUnlinked {
  std::vector<std::unique_ptr<TGPXrte>> rte;
  std::vector<std::unique_ptr<TGPXtrkseg>> trkseg;
  std::vector<std::unique_ptr<TGPXtrk>> trk;

  bool Empty() const { return rte.empty() && trkseg.empty() && trk.empty(); }
};

// The map view: draws a document onto a surface it does not own and is the one
// place where pixels and positions are converted. Pixel column x shows longitude
// O + x / (Rm · K), pixel row y latitude S + (Height − y) / Rm, K = 36/55.
//
// Positions far outside a deeply zoomed view lie beyond 32 bits of pixels: the
// 64-bit conversions give them exactly and all drawing uses those; the int ones
// saturate at the ends of int.
//
// Threads that give pixels positions while the user may pan or zoom take a
// Projection() snapshot when they start instead of calling the view.
class TGPXDraw : public TObject {
public:
  static constexpr long double K = TViewProjection::K;
  static constexpr long double kZoomFactor = 0.15L;

  TGPXDraw();
  ~TGPXDraw() override;
  const char* ClassName() const override { return "TGPXDraw"; }

  // --- life cycle and size ---------------------------------------------------

  // Starts the view afresh: the visible area becomes incomplete, the mouse state
  // and the document's selection are reset, the surface (and the shadow map) is
  // wiped and copied to the buffers, and the size drops to 0. Canvas, GPXd, Rm
  // and every option stay.
  void Clear();

  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  // Sizes Buffer and Buffer2, and ShadowMap when ShadowMapEnabled; never Canvas.
  void SetWidth(int value);
  void SetHeight(int value);
  TRect ClientRect() const { return {0, 0, fWidth, fHeight}; }
  void Resize(int iWidth, int iHeight);
  void ResizeToRect(const TRect& rect);

  void SaveToBuffer();
  void LoadFromBuffer();
  void SaveToSecondBuffer();
  void LoadFromSecondBuffer();

  // --- conversions ---------------------------------------------------------

  TViewProjection Projection() const { return {BBox.O, BBox.S, BBox.Rm, fHeight}; }

  int LoToX(double Longitude) const { return Projection().LoToX(Longitude); }
  int LaToY(double Latitude) const { return Projection().LaToY(Latitude); }
  std::int64_t LoToX64(double Longitude) const { return Projection().LoToX64(Longitude); }
  std::int64_t LaToY64(double Latitude) const { return Projection().LaToY64(Latitude); }
  double XToLo(int X) const { return Projection().XToLo(X); }
  double YToLa(int Y) const { return Projection().YToLa(Y); }
  int Point4D2ToX(const TPoint4D2& Point4D) const { return LoToX(Point4D.Longitude); }
  int Point4D2ToY(const TPoint4D2& Point4D) const { return LaToY(Point4D.Latitude); }
  TPoint Point4D2ToPixel(const TPoint4D2& Point4D) const {
    return {LoToX64(Point4D.Longitude), LaToY64(Point4D.Latitude)};
  }
  // 0 ≤ x ≤ Width and 0 ≤ y ≤ Height, both ends included.
  bool IsOnScreen(const TPoint4D2& Point4D) const;

  // --- visible area --------------------------------------------------------

  void CalcRm(bool OverSize);
  // Fits the area to all enabled data of GPXd.
  void ResetBBox(bool Center, bool OverSize);
  // ZoomRect's y values count upward from the bottom edge.
  bool ZoomTo(const TRect& ZoomRect);
  bool ZoomIn();
  bool ZoomOut();
  bool ZoomInAt(const TPoint& RelPos);
  bool ZoomOutAt(const TPoint& RelPos);
  bool ZoomToPointList(TPointList2& PointList);
  bool ZoomToPointListFromTo(TPointList2& PointList, int pFrom, int pTo);
  void MoveFromTo(int X1, int Y1, int X2, int Y2);
  void MoveMouseTo(int X2, int Y2);
  // The rectangle from the last mouse position to (X, Y), rows from the bottom,
  // as ZoomTo and CutterTo take it.
  TRect MouseRectTo(int X, int Y) const;
  bool ZoomMouseTo(int X, int Y);
  void DrawSelectionRect(int X1, int Y1, int X2, int Y2, TColor Color);
  void DrawMouseSelectionRectTo(int X2, int Y2, TColor Color);

  // --- drawing ---------------------------------------------------------------

  void Redraw();
  bool DrawPointList(TPointList2& Track, bool Selected);
  bool DrawPointListFromTo(TPointList2& Track, int pFrom, int PTo, bool Selected);
  bool DrawPoint4D(const TPoint4D2* Point4D, TColor Color, int Shape, const std::string& Symbol);
  bool DrawIcon(const TPoint4D2* Point4D, const std::string& Symbol);
  // The file DrawIcon looks for; empty when Symbol names none.
  std::string IconFileName(const std::string& Symbol) const;
  std::string GetPersonalFolder() const;
  void GenerateAllShorelinePolygons();
  void GenerateShorelinePolygons(const TPointList2& Track);

  // --- selection and editing -------------------------------------------------

  void SelectAnything(const TPoint4D2& Where, bool AddToSelection);
  void SelectWayPoint(const TPoint4D2& Where, bool AddToSelection);
  void SelectRoute(const TPoint4D2& Where, bool AddToSelection);
  void SelectTrack(const TPoint4D2& Where, bool AddToSelection);
  void SelectForCut(const TPoint4D2& Where);
  void SelectForCutSelected(const TPoint4D2& Where);
  void SelectForBind(const TPoint4D2& Where);
  // Frees the points hit by the rectangle (y counted upward from the bottom) and
  // hands back the lists it left empty; nothing of it stays in the selection.
  [[nodiscard]] TCutterUnlinked CutterTo(const TRect& CutterRect, bool OnlySelected, bool Outside);
  [[nodiscard]] TCutterUnlinked CutterMouseTo(int X, int Y, bool OnlySelected, bool Outside);

  // To be called before anyone frees a point, a point list, a track or the whole
  // document's content (pass GPXd) that the view may point at: the cut point is
  // forgotten when it is that object or one of its points, and the object leaves
  // the document's selection together with what it holds (a track's segments, a
  // list's points), which are freed with it.
  void ForgetFreed(const TObject* object);

  // Deletes the cut point: frees it when the first selected route or segment
  // holds it (it is taken out of that list), and forgets it in every case, so a
  // second call, or a cut point the list no longer holds, frees nothing. True
  // when a point was freed.
  bool DeleteCutPoint();

  // --- fields ------------------------------------------------------------------

  std::int32_t nPolygon = -1;
  TCanvas* Canvas = nullptr;  // the surface drawn on; not owned
  TBitmap Buffer;
  TBitmap Buffer2;
  TBitmap ShadowMap;
  std::vector<std::vector<TPoint>> ShorelinePolygons;
  TGPX* GPXd = nullptr;  // the document shown; not owned
  bool filled = false;
  TBBox BBox;
  int MouseX = 0;
  int MouseY = 0;
  int LastX = 0;
  int LastY = 0;
  TMouseMode MouseMode = mmMove;
  std::vector<std::string> mLog;
  TGPXwptList* wptListSelecion = nullptr;  // declared; the view never sets it
  TGPXwpt* wptSelection = nullptr;         // the chosen cut point
  TDrawOptions Options;
  bool IsDebug = false;
  bool TrackRouteEdition = false;
  std::int32_t TrackWidth = 2;
  TColor DepthColorShallow = 0x0000FF;
  TColor DepthColorDeep = 0xFF0000;
  bool ShadowMapEnabled = false;
  std::int32_t ShadowMapTrackWidth = 30;
  TColor ShadowMapTrackColor = 0x000000;
  std::int32_t MaxDepth = 1500;

private:
  // The kinds of object a search looks at, combined as bits.
  enum SearchKind : int { kWaypoints = 1, kRoutes = 2, kSegments = 4 };
  TObject* FindNearest(const TPoint4D2& Where, int kinds) const;
  void Select(TObject* winner, bool AddToSelection);
  void CenterArea();
  TColor StrokeColor(const TPoint4D2& from, bool Selected) const;
  void FreeHitPoints(TPointList2& list, double E, double O, double S, double N, bool Outside);
  void RemoveFromSelection(const TObject* object);

  std::int32_t fWidth = 0;
  std::int32_t fHeight = 0;
};
