// bench/run.sh xpathwork [points]
//
// XPath queries that walk a track many times, against the work budget. Writes a
// pretty-printed GPX track of `points` points (by default 20 000) and one of
// 3000, then times in our engine and, as the baseline, in xmllint (a separate
// process, so its figure includes reading the file; the time it takes to read
// the file alone is printed beside it):
//   - the rise of elevation to each point from the one before it, a walk back
//     one sibling per point;
//   - the same compared with all earlier points, quadratic, on 3000 points;
//   - a hostile query at the default budget, which must be refused in about a
//     second.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "lib/verAziruzi/XpDOMObjModel.h"
#include "lib/verAziruzi/XpXPath.h"
#include "platform/NumberText.h"

extern char** environ;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Track(std::int64_t points) {
  std::string text = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns:h=\"urn:h\">\n <trk>\n  <trkseg>\n";
  for (std::int64_t i = 0; i < points; ++i)
    text += "   <trkpt lat=\"47." + numtext::FormatInt(100000 + i) + "\" lon=\"8.25\">\n    <ele>" +
            numtext::FormatInt(i % 100) + "</ele>\n    <extensions><h:depth>" + numtext::FormatInt(i % 7) +
            "</h:depth></extensions>\n   </trkpt>\n";
  return text + "  </trkseg>\n </trk>\n</gpx>\n";
}

// Seconds xmllint takes for the arguments, its output discarded; negative when
// it cannot be run.
double XmllintSeconds(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> all{"xmllint", "--nonet"};
  all.insert(all.end(), args.begin(), args.end());
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "xmllint", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? SecondsSince(start) : -1;
}

struct TTrack {
  std::string path;
  TXpObjModel model;
};

void Time(const char* what, TTrack& track, const std::u16string& query, bool withBaseline = true) {
  TXpElement* root = track.model.Document()->DocumentElement();
  const auto start = std::chrono::steady_clock::now();
  std::string answer;
  try {
    answer = numtext::FormatInt(root->SelectInteger(query));
  } catch (const TXpXPathWorkExceeded& refusal) {
    answer = "refused (" + XpWideToUtf8(refusal.Message()) + ")";
  }
  const double ours = SecondsSince(start);
  const std::string expr = XpWideToUtf8(query);
  std::cout << what << "\n  " << expr << " = " << answer << "\n  ours " << numtext::FormatFixed(ours, 4) << " s";
  if (withBaseline) {
    const double oracle = XmllintSeconds({"--xpath", expr, track.path});
    const double parse = XmllintSeconds({"--noout", track.path});
    std::cout << ", xmllint " << numtext::FormatFixed(oracle, 4) << " s (reading the file alone "
              << numtext::FormatFixed(parse, 4) << " s)";
  }
  std::cout << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t points = 20000;
  if (argc > 1) {
    auto count = numtext::ParseDouble(argv[1]);
    if (!count || *count < 2) {
      std::cerr << "usage: bench/run.sh xpathwork [points]\n";
      return 2;
    }
    points = static_cast<std::int64_t>(*count);
  }
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  TTrack large;
  TTrack small;
  for (auto [track, count] : {std::pair{&large, points}, std::pair{&small, std::int64_t{3000}}}) {
    track->path = (folder / ("xpathwork-" + numtext::FormatInt(getpid()) + "-" + numtext::FormatInt(count) + ".gpx"))
                      .string();
    const std::string text = Track(count);
    if (FILE* file = std::fopen(track->path.c_str(), "wb")) {
      std::fwrite(text.data(), 1, text.size(), file);
      std::fclose(file);
    }
    if (!track->model.LoadMemory(text.data(), static_cast<int>(text.size()))) {
      std::cerr << "load failed\n";
      return 1;
    }
  }
  std::cout << "budget " << numtext::FormatInt(static_cast<std::int64_t>(TXpXPathParser::kDefaultWorkBudget))
            << " units; tracks of " << numtext::FormatInt(points) << " and 3000 points\n";
  Time("each point against the one before it", large, u"count(//trkpt[ele > preceding-sibling::trkpt[1]/ele])");
  Time("each point against all before it (quadratic)", small,
       u"count(//trkpt[ele > preceding-sibling::trkpt/ele])");
  // xmllint would answer after many seconds, or run out of memory: no baseline.
  Time("hostile: the whole track for every point", large, u"count(//trkpt[count(//*) > 1])", false);
  Time("hostile: paths over repeated nodes", large, u"count(//ele/ancestor::*//ele/ancestor::*//ele/ancestor::*)",
       false);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::cout << "peak memory " << numtext::FormatInt(usage.ru_maxrss / 1024) << " MB\n";
  std::filesystem::remove(large.path);
  std::filesystem::remove(small.path);
  return 0;
}
