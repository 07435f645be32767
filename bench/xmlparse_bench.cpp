// bench/run.sh xmlparse [MB]
//
// Writes a GPX-like track file (by default 1 000 000 points, about 220 MB; or
// about MB megabytes) and parses it with handlers that only count the events.
// Prints the wall time, the throughput and the process's peak memory.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "bench/GpxLikeGenerator.h"
#include "lib/verAziruzi/XpParser.h"
#include "platform/NumberText.h"

int main(int argc, char** argv) {
  std::int64_t points = 1000000;
  if (argc > 1) {
    auto megabytes = numtext::ParseDouble(argv[1]);
    if (!megabytes || *megabytes <= 0) {
      std::cerr << "usage: bench/run.sh xmlparse [MB]\n";
      return 2;
    }
    points = GpxLikePointsForMegabytes(*megabytes);
  }
  std::string path = (std::filesystem::temp_directory_path() /
                      ("xmlparse-bench-" + numtext::FormatInt(getpid()) + ".gpx")).string();
  std::int64_t bytes = WriteGpxLikeFile(path, points);

  TXpParser parser;
  std::int64_t elements = 0, attributes = 0, texts = 0, characters = 0;
  parser.OnStartElement = [&](TXpComponent*, const WideString&) { ++elements; };
  parser.OnAttribute = [&](TXpComponent*, const WideString&, const WideString&, bool) { ++attributes; };
  parser.OnCharData = [&](TXpComponent*, const WideString& text) {
    ++texts;
    characters += static_cast<std::int64_t>(text.size());
  };
  auto start = std::chrono::steady_clock::now();
  bool ok = parser.ParseDataSource(XpUtf8ToWide(path));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::filesystem::remove(path);
  if (!ok) {
    std::cerr << "parse failed: " << XpWideToUtf8(parser.GetErrorMsg(0)) << "\n";
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  double megabytes = static_cast<double>(bytes) / 1e6;
  std::cout << "xmlparse: " << numtext::FormatInt(points) << " points, " << numtext::FormatFixed(megabytes, 1)
            << " MB, " << numtext::FormatInt(elements) << " elements, " << numtext::FormatInt(attributes)
            << " attributes, " << numtext::FormatInt(texts) << " texts (" << numtext::FormatInt(characters)
            << " characters)\n"
            << "wall time " << numtext::FormatFixed(seconds, 3) << " s, "
            << numtext::FormatFixed(megabytes / seconds, 1) << " MB/s, peak memory "
            << numtext::FormatFixed(static_cast<double>(usage.ru_maxrss) / 1024.0, 1) << " MB\n";
  return 0;
}
