#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/logic/InterpolationJob.h"
#include "app/logic/InterpolatedMap.h"
#include "app/logic/MapFigures.h"
#include "app/logic/MapMouse.h"
#include "gridding/MovingSquares.h"
#include "model/CommonTypes.h"
#include "model/GPX.h"
#include "platform/Bitmap.h"

class TCanvas;
class TDialogs;
class TDispatcher;
class TGPXDraw;
struct TReadResult;
class TGPXtrkList;
class TGPXtrkseg;
class TObject;
class TProjectTreeModel;

// `view` draws on `picture`, sized `width` x `height`, fitted to all its data.
void BindAndFit(TGPXDraw& view, TBitmap& picture, int width, int height);

// What "Add Files..." reads from the window besides the files.
struct TLoadOptions {
  bool AddDepth = false;   // ask a depth for data without one
  bool AddOffset = false;  // ask an offset added to every depth
  std::int32_t ExtrapolationRadius = 30;  // the shadow pen's width, pixels
};

// What an interpolation run reads from the window.
struct TRunSettings {
  int Power = 8;    // the interpolator's style, 2 to 14
  int Threads = 1;  // workers at once
};

// The size a map's picture has in the window. While its page is hidden the
// window has not laid it out yet, and the size is not the one the user will see.
struct TMapArea {
  int Width = 0;
  int Height = 0;
  bool Visible = true;
};

// How the source view changed, for the radii that depend on its scale.
enum class TViewChange {
  Refitted,  // fitted anew or resized: the don't-care radius is put into the new scale
  Zoomed,    // a zoom step or a zoom rectangle: both radii are applied again
};

// The state both windows share: the loaded data and its map view, the contour
// data and its view, and everything derived from them for the interpolated map
// (the area mask and its shore samples, the radii, the samples and grids of the
// last run and what that run was computed with). The windows read their controls,
// call the operations here and show what they answer; they read the state but
// never write it, so the rules that tie its parts together live here only.
//
// Everything runs in the window thread. While a run is going on the view, the
// mask and the samples must stay as they are: callers check Interpolating().
class TWorkspace {
public:
  using TLog = std::function<void(const std::string&)>;

  // `dialogs` asks the loaders' and the saves' questions and shows their errors;
  // `log` gets the debug log's lines. Both must outlive the workspace.
  TWorkspace(TDialogs& dialogs, TLog log);
  ~TWorkspace();
  TWorkspace(const TWorkspace&) = delete;
  TWorkspace& operator=(const TWorkspace&) = delete;

  // ---- the state, to read ------------------------------------------------------
  const TGPX& GPXdata() const { return *fGPXdata; }      // the loaded data
  const TGPXDraw& GPXView() const { return *fGPXView; }  // drawn on the Source Tracks picture once bound
  const TGPX& IsoData() const { return *fIsoData; }      // the contour tracks
  const TGPXDraw& IsoView() const { return *fIsoView; }
  TColor clShallowWater() const { return fShallowWater; }
  TColor clDeepWater() const { return fDeepWater; }
  std::int32_t MaxDepth() const { return fMaxDepth; }  // of the loaded data, cm, as the loaders left it
  bool FileLoaded() const { return fFileLoaded; }      // an "Add Files..." dialog was confirmed
  bool InterpLoaded() const { return fInterpLoaded; }  // an interpolated map exists
  bool IsoLoaded() const { return fIsoLoaded; }        // contours were traced and bound to IsoView
  // The view's shadow map as of the last rebuild (the preview).
  const TBitmap& ShadowMap() const { return fShadowMap; }
  // [column][row]: true where a pixel is interpolated.
  const TBooleanArray& ShadowArray() const { return fShadowArray; }
  // The zero-depth samples along the shore of the last rebuild.
  const TPointList& ShoreCoord() const { return fShoreCoord; }
  const TValueList& ShoreDepth() const { return fShoreDepth; }
  double DecimateLongitude() const { return fDecimateLongitude; }  // thinning steps, degrees
  double DecimateLatitude() const { return fDecimateLatitude; }
  // The radii the timer last applied, pixels; -1 when the next tick applies it.
  std::int32_t Last_udInterpolationWidth() const { return fLastInterpolationWidth; }
  std::int32_t Last_udDontCareRadius() const { return fLastDontCareRadius; }
  double maxDontCareRadius() const { return fMaxDontCareRadius; }  // the interpolator's cut-off, degrees of longitude
  double minDontCareRadius() const { return fMinDontCareRadius; }  // one pixel, degrees of longitude
  // The samples of the last run: the shore samples followed by every track point.
  const std::shared_ptr<TPointList>& InCoord() const { return fInCoord; }
  const std::shared_ptr<TValueList>& InDepth() const { return fInDepth; }
  const TColorArray& InterpolArray() const { return fInterpolArray; }    // colours [column][row]
  const TDoubleArray& InterpolVArray() const { return fInterpolVArray; }  // fractions of the run's maximum depth
  // What the finished map was computed with; set when a run completes.
  const std::optional<TInterpolatedMap>& InterpolatedMap() const { return fInterpolatedMap; }
  // The current or last run; null before the first.
  const TInterpolationJob* Job() const { return fJob.get(); }
  bool Interpolating() const { return fJob && fJob->Running(); }

  // ---- adding files ---------------------------------------------------------------
  // Loads each file by its extension, in order, and marks the data as loaded. A
  // file that fails is reported in the error dialog and the others are still
  // loaded; `afterEach` runs after every file (the window repaints). Answers
  // whether a loader found data to interpolate (a depth file, or a typed depth).
  bool AddFiles(const std::vector<std::string>& files, const TLoadOptions& options,
                const std::function<void()>& afterEach = {});
  // One HT track file: its depths prepared, its segments stamped and its tracks
  // appended. A missing file is skipped silently; one the reader refuses adds
  // nothing (the reader says why).
  void LoadHTFile(const std::string& FileName, const TLoadOptions& options);
  void LoadGPXFile(const std::string& FileName, const TLoadOptions& options);
  void LoadKMLFile(const std::string& FileName, const TLoadOptions& options);

  // ---- the maps -----------------------------------------------------------------------
  // The source view draws on `picture`, sized as the map's area, fitted to all
  // data. Bound while its page is hidden, the view is fitted again at the first
  // size it gets once visible.
  void BindView(TBitmap& picture, const TMapArea& area);
  void BindView(TBitmap& picture, int width, int height) { BindView(picture, TMapArea{width, height, true}); }
  // The map's picture got a new size: the view takes it, keeping its area, or
  // fitted anew when it was bound while hidden and is now visible (true then: what
  // was derived at the binding is to be derived again). Nothing before the map
  // shows data. The source view also counts as refitted.
  bool MapResized(TMapKind map, TBitmap& picture, const TMapArea& area);
  // The map's view was bound while hidden and has not been fitted at a visible size yet.
  bool FitPending(TMapKind map) const { return map == TMapKind::Source ? fSourceFitPending : fContourFitPending; }
  // After anything that moved or scaled the source view.
  void ViewChanged(TViewChange change);
  // "Fit to Screen", "Zoom In" and "Zoom Out" of the source map; each redraws it.
  void FitView();
  void ZoomIn();
  void ZoomOut();
  // "Fit to Screen" of the contour map, once it shows contours.
  void FitIsoView();
  // The source view drawn anew (after the selection changed).
  void RedrawView();
  // The water colours of the maps and of the next run, for every view that
  // draws with them; both views are drawn anew.
  void SetWaterColours(TColor shallow, TColor deep);
  // The shadow pen's width: the extrapolation radius, pixels.
  void SetExtrapolationRadius(std::int32_t pixels);

  // ---- the maps' mouse ----------------------------------------------------------------
  // The mouse of a map: what it did and what the window must do now. The
  // workspace does its own share: a zoom rectangle's new scale resets the radii.
  TMouseResult MouseDown(TMapKind map, const TMouseInput& input);
  TMouseResult MouseMove(TMapKind map, const TMouseInput& input);
  TMouseResult MouseUp(TMapKind map, const TMouseInput& input);
  TMouseMode MouseMode(TMapKind map) const;
  // The mode buttons: "Zoom Area" of either map (the contour map's only switches
  // on, and only while it shows contours); "Delete Sample..." (only with a
  // segment selected first) and "Delete Area..." of the project window, both
  // only once files were added. Nothing happens when a precondition fails.
  TMouseResult ToggleZoom(TMapKind map);
  TMouseResult ToggleDeleteSample();
  TMouseResult ToggleDeleteArea();

  // ---- editing in the project window -----------------------------------------------------
  // The tree's choice becomes the map selection when the data still holds it;
  // true when the source view was drawn anew to show it.
  bool SelectTreeObject(TObject* object);
  // Deletes every selected object (see DeleteSelectedObjects) and redraws.
  void DeleteSelection(const TProjectTreeModel& tree);
  // Empties the map selection, without redrawing.
  void ClearSelection();

  // ---- the interpolation area ---------------------------------------------------
  // Paints the shore lines on `shoreLine` (sized as the view) and rebuilds the
  // mask, the shore samples and the ShadowMap copy from it and the view's shadow map.
  void BuildShadowArray(TBitmap& shoreLine);
  void DrawShoreLine(TBitmap& shoreLine);
  // The figures of the view as it is now, drawn on a picture of the given size;
  // also sets the thinning steps.
  TMapFigures UpdateMapInfo(int imageWidth, int imageHeight);

  // ---- the radii --------------------------------------------------------------
  // After anything that changes the view's scale or its data: the next tick
  // applies both radii again.
  void ResetRadii();
  // The don't-care radius of R pixels in degrees of the current view.
  void ApplyDontCareRadius(int R);
  double MetresPerPixel() const;
  // What one tick of the timer did.
  struct TTick {
    bool ExtrapolationApplied = false;  // the shadow pen took the radius: map, area and preview are new
    bool DontCareApplied = false;       // the cut-off radius was put into degrees of the view
    int Extrapolation = 0;              // the radii applied, pixels
    int DontCare = 0;
    double MetresPerPixel = 0;          // of the view, when something was applied
  };
  // The timer's tick, with the two radii the window's fields show: applies the
  // extrapolation radius when it differs from the last one applied, which also
  // sets the don't-care radius to twice it (`showDontCare` shows that in its
  // field and answers what the field took), then applies the don't-care radius
  // when it differs from the last one. Nothing before files were added.
  TTick TimerTick(int extrapolation, int dontCare, const std::function<int(int)>& showDontCare);

  // ---- the run ------------------------------------------------------------------
  // Why a run cannot start now, or nothing when it can.
  std::optional<std::string> CannotInterpolate() const;
  // Thins the loaded tracks and builds the samples: the shore samples of the
  // last rebuild followed by every track point. Logs the steps and radii.
  void PrepareSamples();
  // Starts a run on the current view with the samples of PrepareSamples: fresh
  // grids, the snapshot, the bands. Job's callbacks report its progress.
  void StartInterpolation(const TRunSettings& settings, TDispatcher& windowThread,
                          TInterpolationJob::TCallbacks callbacks,
                          const TInterpolationJob::TInterpolatorFactory& makeInterpolator,
                          TInterpolationJob::TBandStarter starter = {});
  // Hands out no further band of the running job.
  void StopInterpolation();
  // After the job has finished: keeps what the map was computed with. False when
  // the run was stopped (no map).
  bool CompleteInterpolation();

  // The shore lines of `tracks` (segments with maxdepth 0) in the shallow colour,
  // placed by the view.
  void DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks) const;

  // ---- contours ---------------------------------------------------------------------
  // The step "ISO Map" would trace with, from its text, or why it cannot trace now:
  // no finished map, a map without depth, or a step that is not a whole number of
  // centimetres of at least 1.
  struct TContourStep {
    int Step = 0;
    std::string Error;  // empty when Step can be used
  };
  TContourStep CheckContourStep(std::string_view stepText) const;
  // Empties the contour data and its view, which pans again. The unlinked tracks
  // come back: keep them until the view has been bound again.
  [[nodiscard]] TGPXUnlinked ClearContours();
  // Traces the contours of the finished map, whose picture is `interpolatedImage`,
  // into IsoData and draws them on `isoMap`: levels 0, step, 2 step, ... while the
  // level does not exceed the map's maximum depth + 1. The map's projection,
  // mask, maximum depth and colours are used, not the view's as it may be by now;
  // the tracer keeps its own copies, so nothing the window does between levels
  // reaches the trace. `host` (may be null) sees the progress and each level.
  void TraceContours(TBitmap& isoMap, const TBitmap& interpolatedImage, int step, TIsoMapHost* host);
  // After a trace: every shore-line segment of the loaded data appended to IsoData
  // as a track of its own, and drawn on `isoMap` in the map's projection.
  void AddShoreLinesToContours(TBitmap& isoMap);
  // IsoView shows IsoData on `picture`, sized as the map's area, fitted to it;
  // bound while hidden, it is fitted again once visible (as BindView).
  void BindIsoView(TBitmap& picture, const TMapArea& area);
  void BindIsoView(TBitmap& picture, int width, int height) {
    BindIsoView(picture, TMapArea{width, height, true});
  }

  // ---- saving ---------------------------------------------------------------------------
  // "Save Project...": the dialog, the overwrite question, then the loaded data
  // as GPX, or as HT after the track-name prompt (refused above one file's
  // points). Nothing before files were added.
  void SaveProject();
  // "Save Tracks...": the contour data as GPX.
  void SaveContourTracks();

  // ---- "Start over" ---------------------------------------------------------------
  // Empties both data sets, the samples, the grids and the snapshot; both views
  // pan again. Keeps the objects, the mask and the radii. The unlinked data comes
  // back: keep it until every tree that shows it has been rebuilt.
  struct TUnlinkedData {
    TGPXUnlinked Loaded;
    TGPXUnlinked Contours;
  };
  [[nodiscard]] TUnlinkedData StartOver();

private:
  friend class TWorkspaceProbe;  // the tests' way to set up states the road does not reach quickly

  void Log(const std::string& line) const;
  TMapMouse& Mouse(TMapKind map) { return map == TMapKind::Source ? fSourceMouse : fContourMouse; }
  // The typed depth (raised to 0) and the typed offset of one data set, each
  // asked only when its flag says so; answers the data set's new stamp.
  std::int32_t AskTypedDepths(std::int32_t d, bool askDepth, bool askOffset, const std::string& name,
                              const std::function<void(std::int32_t)>& setDepth,
                              const std::function<void(std::int32_t)>& addDepth);
  // Shows and logs why a reader refused a file: under a heading that names the
  // file, or, for a reader whose lines name it, the lines alone.
  void ShowRefusal(const std::string& FileName, const TReadResult& result, bool headed);
  void ReportNoTrackLines(const std::string& FileName, const std::vector<std::string>& skipped);
  // After a loader appended tracks: the maximum depth and the view's data.
  void LoadedDataChanged(const TLoadOptions& options);

  // ---- the data sets and their views ------------------------------------------
  std::unique_ptr<TGPX> fGPXdata;
  std::unique_ptr<TGPXDraw> fGPXView;
  std::unique_ptr<TGPX> fIsoData;
  std::unique_ptr<TGPXDraw> fIsoView;
  TColor fShallowWater = 0x00FF00;
  TColor fDeepWater = 0xFF0000;
  std::int32_t fMaxDepth = 0;
  bool fFileLoaded = false;
  bool fInterpLoaded = false;
  bool fIsoLoaded = false;
  // A view bound while its map was hidden, to be fitted once it is visible.
  bool fSourceFitPending = false;
  bool fContourFitPending = false;
  TMapMouse fSourceMouse;
  TMapMouse fContourMouse;

  // ---- the interpolation area -------------------------------------------------
  TBitmap fShadowMap;
  TBooleanArray fShadowArray;
  TPointList fShoreCoord;
  TValueList fShoreDepth;
  double fDecimateLongitude = 0;
  double fDecimateLatitude = 0;

  // ---- the radii --------------------------------------------------------------
  std::int32_t fLastInterpolationWidth = -1;
  std::int32_t fLastDontCareRadius = -1;
  double fMaxDontCareRadius = 0;
  double fMinDontCareRadius = 0;

  // ---- the run ------------------------------------------------------------------
  std::shared_ptr<TPointList> fInCoord;
  std::shared_ptr<TValueList> fInDepth;
  TColorArray fInterpolArray;
  TDoubleArray fInterpolVArray;
  std::optional<TInterpolatedMap> fInterpolatedMap;
  std::unique_ptr<TInterpolationJob> fJob;

  bool fInterpolatable = false;  // set by the loaders of the current AddFiles

  TDialogs& fDialogs;
  TLog fLog;
};
