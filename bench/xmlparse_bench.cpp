// bench/run.sh xmlparse [MB] [events]
//
// Writes a GPX-like track file (by default 1 000 000 points, about 220 MB; or
// about MB megabytes), parses it and builds the document tree from the events,
// then frees the tree. Prints the node count, the time and throughput of parse
// and build together, the teardown time and the process's peak memory; the last
// line is the summary the figures are quoted from.
//
// With "events" the parser alone reads the file into handlers that only count,
// which measures the parser and the input filter without the tree.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>

#include "bench/GpxLikeGenerator.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "lib/verAziruzi/XpParser.h"
#include "platform/NumberText.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double UserSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
}

// Parses the file into counting handlers; answers the exit code.
int RunEventsOnly(const std::string& path, std::int64_t points, std::int64_t bytes) {
  TXpParser parser;
  std::int64_t elements = 0, attributes = 0, texts = 0, characters = 0;
  parser.OnStartElement = [&](TXpComponent*, const WideString&) { ++elements; };
  parser.OnAttribute = [&](TXpComponent*, const WideString&, const WideString& value, bool) {
    ++attributes;
    characters += static_cast<std::int64_t>(value.size());
  };
  parser.OnCharData = [&](TXpComponent*, const WideString& text) {
    ++texts;
    characters += static_cast<std::int64_t>(text.size());
  };
  auto start = std::chrono::steady_clock::now();
  double userStart = UserSeconds();
  bool ok = parser.ParseDataSource(XpUtf8ToWide(path));
  double seconds = SecondsSince(start);
  double userSeconds = UserSeconds() - userStart;
  std::filesystem::remove(path);
  if (!ok) {
    std::cerr << "parse failed: " << XpWideToUtf8(parser.GetErrorMsg(0)) << "\n";
    return 1;
  }
  double megabytes = static_cast<double>(bytes) / 1e6;
  std::cout << "xmlparse events: " << numtext::FormatInt(points) << " points, " << numtext::FormatFixed(megabytes, 1)
            << " MB, " << numtext::FormatInt(elements) << " elements, " << numtext::FormatInt(attributes)
            << " attributes, " << numtext::FormatInt(texts) << " texts, " << numtext::FormatInt(characters)
            << " characters; user CPU " << numtext::FormatFixed(userSeconds, 2) << " s\n"
            << "xmlparse events: " << numtext::FormatFixed(seconds, 2) << " s, "
            << numtext::FormatFixed(megabytes / seconds, 1) << " MB/s, peak " << numtext::FormatFixed(PeakMegabytes(), 0)
            << " MB\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t points = 1000000;
  bool eventsOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "events") {
      eventsOnly = true;
      continue;
    }
    auto megabytes = numtext::ParseDouble(argv[i]);
    if (!megabytes || *megabytes <= 0) {
      std::cerr << "usage: bench/run.sh xmlparse [MB] [events]\n";
      return 2;
    }
    points = GpxLikePointsForMegabytes(*megabytes);
  }
  std::string path = (std::filesystem::temp_directory_path() /
                      ("xmlparse-bench-" + numtext::FormatInt(getpid()) + ".gpx")).string();
  std::int64_t bytes = WriteGpxLikeFile(path, points);
  if (eventsOnly) return RunEventsOnly(path, points, bytes);

  TXpObjModel model;
  auto start = std::chrono::steady_clock::now();
  bool ok = model.LoadDataSource(XpUtf8ToWide(path));
  double seconds = SecondsSince(start);
  std::filesystem::remove(path);
  TXpDocument* document = model.Document();
  if (!ok) {
    std::cerr << "parse failed: " << XpWideToUtf8(model.GetErrorMsg(0)) << "\n";
    return 1;
  }
  const double peak = PeakMegabytes();

  std::int64_t nodes = 1, attributes = 0;
  XpWalkDescendants(document, [&](TXpNode* node) {
    ++nodes;
    if (const TXpNamedNodeMap* map = node->Attributes()) attributes += map->Length();
    return TXpWalkStep::Continue;
  });

  auto teardownStart = std::chrono::steady_clock::now();
  document->RemoveAll();
  double teardown = SecondsSince(teardownStart);

  double megabytes = static_cast<double>(bytes) / 1e6;
  std::cout << "xmlparse: " << numtext::FormatInt(points) << " points, " << numtext::FormatFixed(megabytes, 1)
            << " MB, " << numtext::FormatInt(nodes) << " nodes, " << numtext::FormatInt(attributes)
            << " attributes\n"
            << "parse and build " << numtext::FormatFixed(seconds, 3) << " s, "
            << numtext::FormatFixed(megabytes / seconds, 1) << " MB/s; teardown "
            << numtext::FormatFixed(teardown, 3) << " s\n"
            << "xmlparse: " << numtext::FormatFixed(seconds, 2) << " s, " << numtext::FormatFixed(megabytes / seconds, 1)
            << " MB/s, peak " << numtext::FormatFixed(peak, 0) << " MB\n";
  return 0;
}
