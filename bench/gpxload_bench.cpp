// bench/run.sh gpxload [points] [runs]
//
// Writes the synthetic lake's survey as a GPX file of about `points` track
// points (default 1 000 000, about 290 MB) in the program's dialect, once per
// size, then reads it `runs` times (default 5) with the GPX reader (file to
// TGPX) and as often with a baseline: pugixml loading the file into its DOM and
// a walk reading lat, lon and extensions/h:depth of every trkpt. Every run is
// a process of its own that does nothing else, so that its peak memory is its
// own. Prints the medians of both, their ratio and the peaks, and the medians
// of the CPU time the processes used.

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/SurveyFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The process's user and system CPU time so far: on a shared machine the wall
// time also holds the waits for a CPU.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Appends "seconds peak-MB cpu-seconds" to the result file the parent reads.
void Report(const std::string& resultFile, double seconds) {
  std::ofstream out(resultFile, std::ios::app);
  out << numtext::FormatFixed(seconds, 3) << " " << survey::PeakMegabytes() << " "
      << numtext::FormatFixed(CpuSeconds(), 3) << "\n";
}

int ReadOurs(const std::string& path, const std::string& resultFile) {
  TGPX doc;
  TGPXFile file;
  file.GPXd = &doc;
  const auto start = Clock::now();
  file.ImportGPXFile(path);
  const double seconds = Since(start);
  if (!file.Loaded) {
    for (const std::string& line : file.mLog) std::cerr << line << "\n";
    return 1;
  }
  Report(resultFile, seconds);
  return 0;
}

double Number(const char* text) { return numtext::ParseDouble(text).value_or(0.0); }

int ReadBaseline(const std::string& path, const std::string& resultFile) {
  const auto start = Clock::now();
  pugi::xml_document doc;
  if (!doc.load_file(path.c_str())) {
    std::cerr << "pugixml cannot read " << path << "\n";
    return 1;
  }
  std::size_t points = 0;
  double sum = 0;
  for (pugi::xml_node track : doc.child("gpx").children("trk"))
    for (pugi::xml_node segment : track.children("trkseg"))
      for (pugi::xml_node point : segment.children("trkpt")) {
        sum += Number(point.attribute("lat").value()) + Number(point.attribute("lon").value()) +
               Number(point.child("extensions").child("h:depth").child_value());
        ++points;
      }
  const double seconds = Since(start);
  if (points == 0 || sum == 0) return 1;
  Report(resultFile, seconds);
  return 0;
}

// Runs this program as `self mode path resultFile`; answers whether it did well.
bool RunChild(const std::string& mode, const std::string& path, const std::string& resultFile) {
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string modeArg = mode, pathArg = path, resultArg = resultFile;
  char* args[] = {self.data(), modeArg.data(), pathArg.data(), resultArg.data(), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, self.c_str(), nullptr, nullptr, args, environ) != 0) return false;
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Runs {
  std::vector<double> seconds, peaks, cpu;
  double MedianSeconds() { return Median(seconds); }
  double MaxPeak() const { return peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end()); }
  static double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  }
};

Runs ReadResults(const std::string& resultFile) {
  Runs runs;
  std::ifstream in(resultFile);
  double seconds = 0, peak = 0, cpu = 0;
  while (in >> seconds >> peak >> cpu) {
    runs.seconds.push_back(seconds);
    runs.peaks.push_back(peak);
    runs.cpu.push_back(cpu);
  }
  return runs;
}

std::string Times(const std::vector<double>& seconds) {
  std::string text;
  for (double s : seconds) text += (text.empty() ? "" : " ") + numtext::FormatFixed(s, 2);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--ours") return ReadOurs(argv[2], argv[3]);
  if (argc == 4 && std::string(argv[1]) == "--baseline") return ReadBaseline(argv[2], argv[3]);
  const int points = survey::PointsArgument(std::min(argc, 2), argv);
  const auto runsParsed = argc >= 3 ? numtext::ParseInt(argv[2]) : std::optional<std::int64_t>(5);
  if (points == 0 || argc > 3 || !runsParsed || *runsParsed < 1 || *runsParsed > 99) {
    std::cerr << "usage: bench/run.sh gpxload [points] [runs]\n";
    return 2;
  }
  const int runCount = static_cast<int>(*runsParsed);
  const std::string path = survey::SurveyFile(points);
  const std::string oursFile = path + ".ours", baselineFile = path + ".baseline";
  std::filesystem::remove(oursFile);
  std::filesystem::remove(baselineFile);
  // Alternating, so that a change in the machine's load falls on both.
  for (int run = 0; run < runCount; ++run) {
    if (!RunChild("--ours", path, oursFile) || !RunChild("--baseline", path, baselineFile)) {
      std::cerr << "a reader failed\n";
      return 1;
    }
  }
  Runs ours = ReadResults(oursFile), baseline = ReadResults(baselineFile);
  std::filesystem::remove(oursFile);
  std::filesystem::remove(baselineFile);
  const double oursMedian = ours.MedianSeconds(), baselineMedian = baseline.MedianSeconds();
  std::cout << "runs: " << runCount << "\n"
            << "ours:     " << Times(ours.seconds) << "\n"
            << "pugixml:  " << Times(baseline.seconds) << "\n"
            << "gpxload: " << numtext::FormatFixed(oursMedian, 2) << " s, peak "
            << numtext::FormatFixed(ours.MaxPeak(), 0) << " MB\n"
            << "pugixml load+walk: " << numtext::FormatFixed(baselineMedian, 2) << " s, peak "
            << numtext::FormatFixed(baseline.MaxPeak(), 0) << " MB\n"
            << "ratio ours/pugixml: " << numtext::FormatFixed(oursMedian / baselineMedian, 3) << "\n"
            << "cpu (user+system, whole process) ours " << numtext::FormatFixed(Runs::Median(ours.cpu), 2)
            << " s, pugixml " << numtext::FormatFixed(Runs::Median(baseline.cpu), 2) << " s, ratio "
            << numtext::FormatFixed(Runs::Median(ours.cpu) / Runs::Median(baseline.cpu), 3) << "\n";
  return 0;
}
