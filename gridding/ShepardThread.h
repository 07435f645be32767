#pragma once

#include <functional>

#include "gridding/ShepardInterp.h"
#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "platform/Dispatcher.h"
#include "platform/Thread.h"

// The window's side of a run: the interpolation progress bar. Called in the window
// thread only, once before each column of every band.
class TInterpolationProgress {
public:
  virtual ~TInterpolationProgress() = default;
  virtual void StepProgress() = 0;  // position + 1
};

// What every band of one run shares. The window fills it once when the run starts
// and hands the same values to each band. The workers only read all of it except
// the two result grids, of which each writes just its own columns; everything it
// points to must outlive the run and stay unchanged until the last band has ended.
struct TInterpolationRun {
  TColorArray* Image = nullptr;                      // colour grid [column][row]
  TDoubleArray* Values = nullptr;                    // depth as a fraction of MaxDepth
  const TBooleanArray* ShadowArray = nullptr;        // true where a pixel is computed
  const TDepthInterpolator* ShepardInterp = nullptr; // the run's interpolator
  int MaxDepth = 0;                                  // cm, must be positive
  TColor clShallow = 0;                              // colour of fraction 0
  TColor clDeep = 0;                                 // colour of fraction 1
  // The map view's projection as it was when the run started, so pixels keep their
  // positions even if the live view is panned or zoomed meanwhile.
  TViewProjection View;
  TDispatcher* WindowThread = nullptr;
  TInterpolationProgress* Progress = nullptr;        // may be null: no progress calls
};

// A worker that computes one band of whole pixel columns of a run.
class TShepardThread : public TThread {
public:
  // Runs in the window thread when the band has ended; sender.FatalException()
  // holds the error that cut the band short, if any. The worker is freed after it.
  using TBandEnded = std::function<void(TShepardThread& sender)>;

  const char* ClassName() const override { return "TShepardThread"; }

  // The band's columns, clamped to the grid: no column at all when XStop < XStart.
  int XStart() const { return FxStart; }
  int XStop() const { return FxStop; }

protected:
  // Checks the run and throws std::invalid_argument before any thread exists when
  // a grid, the interpolator or the window thread is missing, the three grids
  // differ in size, or MaxDepth is not positive (every fraction would divide by it).
  TShepardThread(const TInterpolationRun& run, int xStart, int xStop);

  void Execute() final { DoInterpolate(); }
  virtual void DoInterpolate() = 0;

  // Advances the window's progress bar, in the window thread, and waits for it.
  void StepProgress();

  TColorArray* FImage;
  TDoubleArray* FValues;
  const TBooleanArray* FShadowArray;
  const TDepthInterpolator* FShepardInterp;
  int FxStart;
  int FxStop;
  int FMaxDepth;
  TColor FclShallow;
  TColor FclDeep;
  TViewProjection fView;
  TInterpolationProgress* fProgress;
};

// The interpolation worker of a run: for each column of its band, one progress
// step, then every masked pixel gets its estimated depth fraction and colour.
// Unmasked pixels keep what the grids held. The window starts a few bands at once
// and the next band from each band's callback; nobody ever waits for a worker.
class TThdsInterpolate : public TShepardThread {
public:
  // Creates the worker for columns xStart to xStop (both included, clamped to the
  // grid) and starts it. The worker frees itself after onTerminate has run.
  // Window thread only; the pointer stays valid until then.
  static TThdsInterpolate* Start(const TInterpolationRun& run, int xStart, int xStop, TBandEnded onTerminate);

  const char* ClassName() const override { return "TThdsInterpolate"; }

protected:
  using TShepardThread::TShepardThread;
  void DoInterpolate() override;
};
