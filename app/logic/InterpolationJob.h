#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/logic/InterpolatedMap.h"
#include "app/logic/InterpolationBands.h"
#include "gridding/ShepardThread.h"
#include "platform/Dispatcher.h"

// One interpolation run: the interpolator and the snapshot it computes with, and
// the bands of columns handed out to workers. A few bands start at once; each
// band's end, reported in the window thread, hands out the next one. Nobody waits
// for a worker and no lock is taken: the counters are touched in the window
// thread only.
class TInterpolationJob {
public:
  // Makes the interpolator of a run from its samples, power and radii.
  using TInterpolatorFactory = std::function<std::unique_ptr<TDepthInterpolator>(
      std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> depth, double power,
      double maxRadius, double minRadius, TMessageBox* messages)>;
  // Starts a worker on one band; throws when it cannot. The default starts a
  // TThdsInterpolate.
  using TBandStarter =
      std::function<void(const TInterpolationRun& run, TBand band, TShepardThread::TBandEnded onEnded)>;

  struct TCallbacks {
    std::function<void(const std::string&)> Log;
    std::function<void(int running)> RunningChanged;  // workers alive, after every change
    std::function<void()> Finished;                   // once, when no band runs any more
    TInterpolationProgress* Progress = nullptr;       // one step per column
  };

  TInterpolationJob(TDispatcher& windowThread, TCallbacks callbacks, TBandStarter starter = {});
  ~TInterpolationJob();
  TInterpolationJob(const TInterpolationJob&) = delete;
  TInterpolationJob& operator=(const TInterpolationJob&) = delete;

  // Starts min(threads, bands) bands of a view `map.Width` columns wide; the
  // workers write `image` and `values`, which must be map.Width x map.Height and
  // outlive the run. Finished is called at once when no band can start.
  void Start(std::unique_ptr<TDepthInterpolator> interpolator, TInterpolatedMap map, TColorArray& image,
             TDoubleArray& values, int threads);

  // Hands out no further band; the run ends when the running ones have.
  void RequestStop() { fStop = true; }

  bool Running() const { return fStarted && !fFinished; }
  bool Finished() const { return fFinished; }
  bool Stopped() const { return fStop; }

  // Every band whose columns were not computed: failed, never started, or never
  // handed out because the run was stopped. In column order.
  std::vector<TBand> MissingBands() const;
  // "0-14, 795-810": the missing columns, as the failure message names them.
  std::string MissingColumnsText() const;

  const TInterpolatedMap& Map() const { return fMap; }
  TInterpolatedMap TakeMap() { return std::move(fMap); }

  // The counters of the run, as the window shows and logs them.
  std::int32_t ThreadsRunning = 0;  // workers not yet ended
  std::int32_t ThreadsID = 0;       // number of the last band handed out, from 1
  std::int32_t ThreadsTasks = 0;    // bands of the run
  std::int32_t ThreadsRun = 0;      // workers started at once

private:
  enum class TBandState { Waiting, Running, Done, Failed };

  // Hands out bands from ThreadsID on until one starts or none is left.
  void HandOutNext(bool first);
  bool StartBand(std::size_t index, bool first);
  void InterpolateThreadTerminate(TShepardThread& sender);
  void Finish();
  void Log(const std::string& line) const;

  TDispatcher& fWindowThread;
  TCallbacks fCallbacks;
  TBandStarter fStarter;
  std::unique_ptr<TDepthInterpolator> fInterpolator;
  TInterpolatedMap fMap;  // its mask is what the workers read
  TInterpolationRun fRun;
  std::vector<TBand> fBands;
  std::vector<TBandState> fStates;
  bool fStarted = false;
  bool fFinished = false;
  bool fStop = false;
};
