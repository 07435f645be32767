// bench/run.sh addfiles [points]
//
// "Add Files..." of the survey file that gpxload writes (default 1 000 000
// points), headless with scripted dialogs, in a process of its own: the
// loader, then binding the map view, the shore-line shadow and the map figures
// as the window does after it. Prints the wall time, the process's user and
// system CPU time and its peak memory.

#include <sys/resource.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "app/logic/Workspace.h"
#include "bench/SurveyFile.h"
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
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::cout << "log lines: " << log.size() << "\n"
            << "cpu: user " << numtext::FormatFixed(Seconds(usage.ru_utime), 2) << " s, system "
            << numtext::FormatFixed(Seconds(usage.ru_stime), 2) << " s\n"
            << "addfiles: " << numtext::FormatFixed(seconds, 2) << " s, peak " << survey::PeakMegabytes() << " MB\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return survey::Main(argc, argv, "addfiles", AddOnly); }
