// bench/run.sh addfiles [points]
//
// "Add Files..." of the survey file that gpxload writes (default 1 000 000
// points), headless with scripted dialogs, in a process of its own: the
// loader, then binding the map view, the shore-line shadow and the map figures
// as the window does after it. Prints the wall time, the process's user and
// system CPU time and its peak memory. Then the rest of the road to the map as
// "Interpolate" takes it with the window's first settings (extrapolation 5
// pixels, the don't-care radius twice that, style 8, every CPU): the mask
// rebuilt, the samples, the run; and the whole road from the file as one figure.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <iostream>
#include <string>
#include <vector>

#include "app/logic/Workspace.h"
#include "bench/SurveyFile.h"
#include "gridding/ShepardGridInterp.h"
#include "platform/Dispatcher.h"
#include "platform/Bitmap.h"
#include "tests/app/ScriptedDialogs.h"

namespace {

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

int AddOnly(const std::string& path) {
  TScriptedDialogs dialogs;
  std::vector<std::string> log;
  TWorkspace workspace(dialogs, [&](const std::string& line) { log.push_back(line); });
  TBitmap picture, shoreLine;
  const auto start = std::chrono::steady_clock::now();
  const bool interpolatable = workspace.AddFiles({path}, {});
  workspace.BindView(picture, 1024, 768);
  workspace.BuildShadowArray(shoreLine);
  workspace.UpdateMapInfo(1024, 768);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!interpolatable || !dialogs.shown.empty()) {
    for (const auto& shown : dialogs.shown) std::cerr << shown.text << "\n";
    return 1;
  }
  // The timer's first tick, then what "Interpolate" does before the run starts.
  workspace.TimerTick(5, 1, [](int twice) { return twice; });
  workspace.BuildShadowArray(shoreLine);
  workspace.SetExtrapolationRadius(5);
  workspace.UpdateMapInfo(1024, 768);
  workspace.ApplyDontCareRadius(10);
  workspace.PrepareSamples();
  THeadlessDispatcher dispatcher;
  bool finished = false;
  TInterpolationJob::TCallbacks callbacks;
  callbacks.Finished = [&] { finished = true; };
  const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  workspace.StartInterpolation({8, threads}, dispatcher, std::move(callbacks),
                               [](std::shared_ptr<const TPointList> coord, std::shared_ptr<const TValueList> depth,
                                  double power, double maxRadius, double minRadius, TMessageBox* messages) {
                                 return std::make_unique<TShepardGridInterp>(std::move(coord), std::move(depth), power,
                                                                             maxRadius, minRadius, messages);
                               });
  if (!dispatcher.PumpUntil([&] { return finished; }, std::chrono::minutes(10)) ||
      !workspace.CompleteInterpolation()) {
    std::cerr << "the interpolation did not finish\n";
    return 1;
  }
  const double road = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::cout << "log lines: " << log.size() << "\n"
            << "cpu: user " << numtext::FormatFixed(Seconds(usage.ru_utime), 2) << " s, system "
            << numtext::FormatFixed(Seconds(usage.ru_stime), 2) << " s\n"
            << "addfiles: " << numtext::FormatFixed(seconds, 2) << " s\n"
            << "interpolation (mask, samples, run on " << threads << " threads): "
            << numtext::FormatFixed(road - seconds, 2) << " s\n"
            << "whole road, file to map: " << numtext::FormatFixed(road, 2) << " s, peak "
            << survey::PeakMegabytes() << " MB\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return survey::Main(argc, argv, "addfiles", AddOnly); }
