// bench/run.sh gpxload [points]
//
// Writes the synthetic lake's survey as a GPX file of about `points` track
// points (default 1 000 000, about 290 MB) in the program's dialect, once per
// size, then reads it back with the GPX reader (file to TGPX) in a process of
// its own that does nothing else, and prints the reader's wall time and that
// process's peak memory.

#include <chrono>
#include <iostream>
#include <string>

#include "bench/SurveyFile.h"

namespace {

int ReadOnly(const std::string& path) {
  TGPX doc;
  TGPXFile file;
  file.GPXd = &doc;
  const auto start = std::chrono::steady_clock::now();
  file.ImportGPXFile(path);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!file.Loaded) {
    for (const std::string& line : file.mLog) std::cerr << line << "\n";
    return 1;
  }
  for (const std::string& line : file.mLog) std::cout << line << "\n";
  std::cout << "gpxload: " << numtext::FormatFixed(seconds, 2) << " s, peak " << survey::PeakMegabytes() << " MB\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return survey::Main(argc, argv, "gpxload", ReadOnly); }
