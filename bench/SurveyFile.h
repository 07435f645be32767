#pragma once

// What the GPX benchmarks share: the survey file of the synthetic lake in the
// program's dialect, written once per size, and a run of the measured part in a
// fresh process, so that its peak memory is its own.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

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

namespace survey {

inline void WriteSurvey(const std::string& path, int points) {
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

// The point count of the command line (default 1 000 000); 0 for a bad one.
inline int PointsArgument(int argc, char** argv) {
  if (argc < 2) return 1000000;
  const auto parsed = numtext::ParseInt(argv[1]);
  return parsed && *parsed >= 1 && *parsed <= 20000000 ? static_cast<int>(*parsed) : 0;
}

// The survey file of that many points, written when it is not there yet.
inline std::string SurveyFile(int points) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("gpxload-bench-" + numtext::FormatInt(points) + ".gpx")).string();
  if (!std::filesystem::exists(path)) {
    std::cout << "writing " << path << "\n";
    const std::string partial = path + ".part";
    WriteSurvey(partial, points);
    std::filesystem::rename(partial, path);
  }
  std::cout << "file: " << numtext::FormatFixed(static_cast<double>(std::filesystem::file_size(path)) / 1e6, 1)
            << " MB\n";
  std::cout.flush();
  return path;
}

inline std::string PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return numtext::FormatFixed(static_cast<double>(usage.ru_maxrss) / 1024.0, 0);
}

// Runs this program again as `self --read path` and answers its exit code.
inline int RunReaderProcess(const std::string& path) {
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string flag = "--read";
  std::string file = path;
  char* args[] = {self.data(), flag.data(), file.data(), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, self.c_str(), nullptr, nullptr, args, environ) != 0) {
    std::cerr << "cannot start the reader\n";
    return 1;
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The main of a survey benchmark: `name [points]` writes the file when needed
// and measures in a child process, which runs `measure(path)`.
template <class Measure>
int Main(int argc, char** argv, const std::string& name, Measure&& measure) {
  if (argc == 3 && std::string(argv[1]) == "--read") return measure(std::string(argv[2]));
  const int points = PointsArgument(argc, argv);
  if (points == 0) {
    std::cerr << "usage: bench/run.sh " << name << " [points]\n";
    return 2;
  }
  return RunReaderProcess(SurveyFile(points));
}

}  // namespace survey
