#include "gridding/ShepardThread.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "model/ColorInterpolate.h"

namespace {

TDispatcher& RequireWindowThread(const TInterpolationRun& run) {
  if (!run.WindowThread) throw std::invalid_argument("Interpolation run without a window thread");
  return *run.WindowThread;
}

}  // namespace

TShepardThread::TShepardThread(const TInterpolationRun& run, int xStart, int xStop)
    : TThread(RequireWindowThread(run)),
      FImage(run.Image),
      FValues(run.Values),
      FShadowArray(run.ShadowArray),
      FShepardInterp(run.ShepardInterp),
      FxStart(xStart),
      FxStop(xStop),
      FMaxDepth(run.MaxDepth),
      FclShallow(run.clShallow),
      FclDeep(run.clDeep),
      fView(run.View),
      fProgress(run.Progress) {
  if (!FImage || !FValues || !FShadowArray || !FShepardInterp)
    throw std::invalid_argument("Interpolation run without its grids or interpolator");
  if (FValues->Width() != FImage->Width() || FValues->Height() != FImage->Height() ||
      FShadowArray->Width() != FImage->Width() || FShadowArray->Height() != FImage->Height())
    throw std::invalid_argument("The interpolation grids and the mask differ in size");
  if (FMaxDepth <= 0) throw std::invalid_argument("The maximum depth must be positive to interpolate");
  // A band beyond the grid would write memory that is not there.
  FxStart = std::max(FxStart, 0);
  FxStop = std::min(FxStop, FImage->Width() - 1);
}

void TShepardThread::StepProgress() {
  if (fProgress) Synchronize([this] { fProgress->StepProgress(); });
}

TThdsInterpolate* TThdsInterpolate::Start(const TInterpolationRun& run, int xStart, int xStop,
                                          TBandEnded onTerminate) {
  std::unique_ptr<TThdsInterpolate> worker(new TThdsInterpolate(run, xStart, xStop));
  auto ended = [onTerminate = std::move(onTerminate)](TThread& sender) {
    if (onTerminate) onTerminate(static_cast<TShepardThread&>(sender));
  };
  return static_cast<TThdsInterpolate*>(TThread::Launch(std::move(worker), std::move(ended)));
}

void TThdsInterpolate::DoInterpolate() {
  const int height = FImage->Height();
  // Row y lies `height - y` rows above the bottom edge of the view.
  std::vector<double> latitudes(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) latitudes[y] = fView.YToLa(fView.Height - (height - y));
  std::vector<double> depths(static_cast<std::size_t>(height));
  const double maxDepth = FMaxDepth;

  for (int x = FxStart; x <= FxStop; ++x) {
    StepProgress();
    const bool* wanted = (*FShadowArray)[x];
    FShepardInterp->InterpColumn(fView.XToLo(x), latitudes.data(), wanted, height, depths.data());
    double* values = (*FValues)[x];
    TColor* colours = (*FImage)[x];
    for (int y = height - 1; y >= 0; --y) {
      if (!wanted[y]) continue;
      const double v = depths[y] / maxDepth;
      values[y] = v;
      colours[y] = InterpolateColor(FclShallow, FclDeep, v);
    }
  }
}
