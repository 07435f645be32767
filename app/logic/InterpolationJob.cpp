#include "app/logic/InterpolationJob.h"

#include <algorithm>
#include <exception>

#include "platform/NumberText.h"

namespace {
std::string Columns(const TBand& band) {
  return numtext::FormatInt(band.First) + "     " + numtext::FormatInt(band.Last);
}

std::string Message(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "unknown error";
}
}  // namespace

TInterpolationJob::TInterpolationJob(TDispatcher& windowThread, TCallbacks callbacks, TBandStarter starter)
    : fWindowThread(windowThread), fCallbacks(std::move(callbacks)), fStarter(std::move(starter)) {
  if (!fStarter)
    fStarter = [](const TInterpolationRun& run, TBand band, TShepardThread::TBandEnded onEnded) {
      TThdsInterpolate::Start(run, band.First, band.Last, std::move(onEnded));
    };
}

TInterpolationJob::~TInterpolationJob() = default;

void TInterpolationJob::Log(const std::string& line) const {
  if (fCallbacks.Log) fCallbacks.Log(line);
}

void TInterpolationJob::Start(std::unique_ptr<TDepthInterpolator> interpolator, TInterpolatedMap map,
                              TColorArray& image, TDoubleArray& values, int threads) {
  fInterpolator = std::move(interpolator);
  fMap = std::move(map);
  fRun.Image = &image;
  fRun.Values = &values;
  fRun.ShadowArray = &fMap.Mask;
  fRun.ShepardInterp = fInterpolator.get();
  fRun.MaxDepth = fMap.MaxDepth;
  fRun.clShallow = fMap.Shallow;
  fRun.clDeep = fMap.Deep;
  fRun.View = fMap.Projection;
  fRun.WindowThread = &fWindowThread;
  fRun.Progress = fCallbacks.Progress;

  fBands = PlanBands(fMap.Width);
  fStates.assign(fBands.size(), TBandState::Waiting);
  ThreadsTasks = static_cast<std::int32_t>(fBands.size());
  Log("Num Tasks: " + numtext::FormatInt(ThreadsTasks));
  // Never more workers than bands.
  ThreadsRun = std::clamp(threads, 0, ThreadsTasks);
  ThreadsRunning = 0;
  ThreadsID = 0;
  fStarted = true;
  while (ThreadsRunning < ThreadsRun && ThreadsID < ThreadsTasks) HandOutNext(true);
  if (fCallbacks.RunningChanged) fCallbacks.RunningChanged(ThreadsRunning);
  if (ThreadsRunning == 0) Finish();
}

void TInterpolationJob::HandOutNext(bool first) {
  // A band that cannot start ends nothing: go on until one runs.
  while (!fStop && ThreadsID < ThreadsTasks)
    if (StartBand(static_cast<std::size_t>(ThreadsID), first)) return;
}

bool TInterpolationJob::StartBand(std::size_t index, bool first) {
  const TBand band = fBands[index];
  ThreadsID = static_cast<std::int32_t>(index + 1);
  try {
    fStarter(fRun, band, [this](TShepardThread& sender) { InterpolateThreadTerminate(sender); });
  } catch (const std::exception& e) {
    Log("Band not started: " + Columns(band) + ": " + e.what());
    fStates[index] = TBandState::Failed;
    return false;
  }
  fStates[index] = TBandState::Running;
  ++ThreadsRunning;
  Log(std::string(first ? "Start Thread: " : "Add Thread: ") + Columns(band));
  return true;
}

void TInterpolationJob::InterpolateThreadTerminate(TShepardThread& sender) {
  // Runs from the window thread's event loop: nothing may escape.
  try {
    const TBand ended{sender.XStart(), sender.XStop()};
    const auto it = std::find_if(fBands.begin(), fBands.end(), [&](const TBand& b) { return b.First == ended.First; });
    const auto index = static_cast<std::size_t>(it - fBands.begin());
    if (const std::exception_ptr error = sender.FatalException()) {
      Log("Band failed: " + Columns(ended) + ": " + Message(error));
      if (index < fStates.size()) fStates[index] = TBandState::Failed;
    } else if (index < fStates.size()) {
      fStates[index] = TBandState::Done;
    }
    --ThreadsRunning;
    HandOutNext(false);
    if (fCallbacks.RunningChanged) fCallbacks.RunningChanged(ThreadsRunning);
  } catch (const std::exception& e) {
    Log(std::string("Error after a band: ") + e.what());
  }
  if (ThreadsRunning == 0 && !fFinished) Finish();
}

void TInterpolationJob::Finish() {
  fFinished = true;
  fInterpolator.reset();
  fRun.ShepardInterp = nullptr;
  if (fStop) Log("Interpolation stopped");
  try {
    if (fCallbacks.Finished) fCallbacks.Finished();
  } catch (const std::exception& e) {
    Log(std::string("Error when the run ended: ") + e.what());
  }
}

std::vector<TBand> TInterpolationJob::MissingBands() const {
  std::vector<TBand> missing;
  for (std::size_t i = 0; i < fBands.size(); ++i)
    if (fStates[i] != TBandState::Done) missing.push_back(fBands[i]);
  return missing;
}

std::string TInterpolationJob::MissingColumnsText() const {
  std::string text;
  for (const TBand& band : MissingBands())
    text += (text.empty() ? "" : ", ") + numtext::FormatInt(band.First) + "-" + numtext::FormatInt(band.Last);
  return text;
}
