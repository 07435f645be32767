// bench/run.sh gpxload [points]
//
// Writes the synthetic lake's survey as a GPX file of about `points` track
// points (default 1 000 000, about 220 MB) in the program's dialect, once per
// size, then reads it back with the GPX reader (file to TGPX) in a process of
// its own that does nothing else, and prints the reader's wall time and that
// process's peak memory.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "formats/GPXFile.h"
#include "model/GPX.h"
#include "platform/NumberText.h"
#include "tests/support/SyntheticLake.h"

extern char** environ;

namespace {

void WriteSurvey(const std::string& path, int points) {
  const TSyntheticLake lake(points);
  TGPX doc;
  auto track = std::make_unique<TGPXtrk>();
  track->name = "Synthetic survey";
  double time = 45000.0;  // an afternoon in 2023, one sounding a second
  for (const auto& stretch : lake.Tracks()) {
    auto segment = std::make_unique<TGPXtrkseg>();
    for (const TLakeSounding& s : stretch) {
      auto point = std::make_unique<TGPXwpt>();
      point->Latitude = s.Latitude;
      point->Longitude = s.Longitude;
      point->HBdepth = s.DepthCm;
      point->Altitude = 412.5;
      point->DateTime = time;
      time += 1.0 / 86400.0;
      segment->Add(std::move(point));
    }
    track->Add(std::move(segment));
  }
  doc.trk.Add(std::move(track));
  TGPXFile file;
  file.GPXd = &doc;
  file.ExportGPX(path);
}

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
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  for (const std::string& line : file.mLog) std::cout << line << "\n";
  std::cout << "gpxload: " << numtext::FormatFixed(seconds, 2) << " s, peak "
            << numtext::FormatFixed(static_cast<double>(usage.ru_maxrss) / 1024.0, 0) << " MB\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--read") return ReadOnly(argv[2]);
  std::int64_t points = 1000000;
  if (argc > 1) {
    const auto parsed = numtext::ParseInt(argv[1]);
    if (!parsed || *parsed < 1 || *parsed > 20000000) {
      std::cerr << "usage: bench/run.sh gpxload [points]\n";
      return 2;
    }
    points = *parsed;
  }
  const std::string path =
      (std::filesystem::temp_directory_path() / ("gpxload-bench-" + numtext::FormatInt(points) + ".gpx")).string();
  if (!std::filesystem::exists(path)) {
    std::cout << "writing " << path << "\n";
    WriteSurvey(path, static_cast<int>(points));
  }
  std::cout << "file: " << numtext::FormatFixed(static_cast<double>(std::filesystem::file_size(path)) / 1e6, 1)
            << " MB\n";
  std::cout.flush();
  // The reader runs alone in a fresh process, so its peak is its own.
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string flag = "--read";
  char* args[] = {self.data(), flag.data(), const_cast<char*>(path.c_str()), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, self.c_str(), nullptr, nullptr, args, environ) != 0) {
    std::cerr << "cannot start the reader\n";
    return 1;
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
