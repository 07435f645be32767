#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/logic/InterpolationJob.h"
#include "app/logic/InterpolationRun.h"
#include "app/logic/MapFigures.h"
#include "model/CommonTypes.h"
#include "model/GPX.h"
#include "platform/Bitmap.h"

class TCanvas;
class TDialogs;
class TDispatcher;
class TGPXDraw;
class TGPXtrkList;

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

// The state both windows share: the loaded data and its map view, the contour
// data and its view, and everything derived from them for the interpolated map
// (the area mask and its shore samples, the radii, the samples and grids of the
// last run and what that run was computed with). The windows read their controls
// and call in here; the project window reaches the loaded data only through this.
//
// Everything runs in the window thread. While a run is going on the view, the
// mask and the samples must stay as they are: callers check Interpolating().
class TWorkspace {
public:
  using TLog = std::function<void(const std::string&)>;

  // `dialogs` asks the loaders' questions and shows their errors; `log` gets the
  // debug log's lines. Both must outlive the workspace.
  TWorkspace(TDialogs& dialogs, TLog log);
  ~TWorkspace();
  TWorkspace(const TWorkspace&) = delete;
  TWorkspace& operator=(const TWorkspace&) = delete;

  // ---- the data sets and their views ------------------------------------------
  std::unique_ptr<TGPX> GPXdata;      // the loaded data
  std::unique_ptr<TGPXDraw> GPXView;  // drawn on the Source Tracks picture once bound
  std::unique_ptr<TGPX> IsoData;      // the contour tracks
  std::unique_ptr<TGPXDraw> IsoView;
  TColor clShallowWater = 0x00FF00;
  TColor clDeepWater = 0xFF0000;
  std::int32_t MaxDepth = 0;  // of the loaded data, cm, as the loaders left it
  bool FileLoaded = false;    // an "Add Files..." dialog was confirmed
  bool InterpLoaded = false;  // an interpolated map exists
  bool IsoLoaded = false;     // contours were traced and bound to IsoView

  // ---- the interpolation area -------------------------------------------------
  TBitmap ShadowMap;         // the view's shadow map as of the last rebuild (preview)
  TBooleanArray ShadowArray;  // [column][row]: true where a pixel is interpolated
  TPointList ShoreCoord;      // the zero-depth samples along the shore of the last rebuild
  TValueList ShoreDepth;
  double DecimateLongitude = 0;  // thinning steps, degrees
  double DecimateLatitude = 0;

  // ---- the radii --------------------------------------------------------------
  // The radii the timer last applied, pixels; -1 makes the next tick apply it.
  std::int32_t Last_udInterpolationWidth = -1;
  std::int32_t Last_udDontCareRadius = -1;
  double maxDontCareRadius = 0;  // the interpolator's cut-off, degrees of longitude
  double minDontCareRadius = 0;  // one pixel, degrees of longitude
  // After anything that changes the view's scale or its data: the next tick
  // applies both radii again.
  void ResetRadii();
  // The don't-care radius of R pixels in degrees of the current view.
  void ApplyDontCareRadius(int R);
  double MetresPerPixel() const;

  // ---- the run ------------------------------------------------------------------
  // The samples of the last run: the shore samples followed by every track point.
  std::shared_ptr<TPointList> InCoord;
  std::shared_ptr<TValueList> InDepth;
  TColorArray InterpolArray;   // colours [column][row]
  TDoubleArray InterpolVArray;  // depths as fractions of the run's maximum depth
  // What the finished map was computed with; set when a run completes.
  std::optional<TInterpolatedMap> InterpolatedMap;
  // The current or last run; null before the first.
  std::unique_ptr<TInterpolationJob> Job;
  bool Interpolating() const { return Job && Job->Running(); }

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

  // The view draws on `picture`, sized `width` x `height`, fitted to all data.
  void BindView(TBitmap& picture, int width, int height);

  // ---- the interpolation area ---------------------------------------------------
  // Paints the shore lines on `shoreLine` (sized as the view) and rebuilds the
  // mask, the shore samples and the ShadowMap copy from it and the view's shadow map.
  void BuildShadowArray(TBitmap& shoreLine);
  void DrawShoreLine(TBitmap& shoreLine);
  // The figures of the view as it is now, drawn on a picture of the given size;
  // also sets the thinning steps.
  TMapFigures UpdateMapInfo(int imageWidth, int imageHeight);

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
  // After the job has finished: keeps what the map was computed with. False when
  // the run was stopped (no map).
  bool CompleteInterpolation();

  // The shore lines of `tracks` (segments with maxdepth 0) in the shallow colour,
  // placed by the view.
  void DrawShoreLineTracks(TCanvas& surface, const TGPXtrkList& tracks) const;

  // ---- "Start over" ---------------------------------------------------------------
  // Empties both data sets, the samples, the grids and the snapshot; keeps the
  // objects, the mask and the radii. The unlinked data comes back: keep it until
  // every tree that shows it has been rebuilt.
  struct TUnlinkedData {
    TGPXUnlinked Loaded;
    TGPXUnlinked Contours;
  };
  [[nodiscard]] TUnlinkedData StartOver();

private:
  void Log(const std::string& line) const;
  // After a loader appended tracks: the maximum depth and the view's data.
  void LoadedDataChanged(const TLoadOptions& options);

  bool fInterpolatable = false;  // set by the loaders of the current AddFiles

  TDialogs& fDialogs;
  TLog fLog;
};
