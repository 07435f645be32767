// bench/run.sh xpath [points]
//
// Writes the xmlparse benchmark's GPX-like track file (by default 1 000 000
// points), builds its tree, then runs 10^6 relative queries the way the track
// reader asks them: SelectNodes of "ele", "extensions/h:depth" and "@lat", and
// SelectString of "time", each on successive track points. Prints the build
// time and, last, "xpath: <seconds> s for <n> queries".

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>

#include "bench/GpxLikeGenerator.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "platform/NumberText.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t points = 1000000;
  if (argc > 1) {
    auto count = numtext::ParseDouble(argv[1]);
    if (!count || *count < 1) {
      std::cerr << "usage: bench/run.sh xpath [points]\n";
      return 2;
    }
    points = static_cast<std::int64_t>(*count);
  }
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("xpath-bench-" + numtext::FormatInt(getpid()) + ".gpx")).string();
  WriteGpxLikeFile(path, points);

  TXpObjModel model;
  auto start = std::chrono::steady_clock::now();
  const bool loaded = model.LoadDataSource(XpUtf8ToWide(path));
  const double buildSeconds = SecondsSince(start);
  std::filesystem::remove(path);
  TXpDocument* document = model.Document();
  if (!loaded) {
    std::cerr << "load failed: " << XpWideToUtf8(model.GetErrorMsg(0)) << "\n";
    return 1;
  }
  const std::unique_ptr<TXpNodeList> trackPoints = document->GetElementsByTagName(u"trkpt");
  const TXpNodeVector& nodes = trackPoints->Nodes();
  std::cout << "tree of " << numtext::FormatInt(points) << " points built in " << numtext::FormatFixed(buildSeconds, 3)
            << " s\n";

  const std::int64_t queries = 1000000;
  std::int64_t found = 0;
  std::size_t characters = 0;
  start = std::chrono::steady_clock::now();
  for (std::int64_t q = 0; q < queries; ++q) {
    TXpNode* point = nodes[static_cast<std::size_t>((q / 4) % static_cast<std::int64_t>(nodes.size()))];
    switch (q % 4) {
      case 0: found += point->SelectNodes(u"ele")->Length(); break;
      case 1: found += point->SelectNodes(u"extensions/h:depth")->Length(); break;
      case 2: found += point->SelectNodes(u"@lat")->Length(); break;
      default: characters += point->SelectString(u"time").size(); break;
    }
  }
  const double seconds = SecondsSince(start);
  if (found != queries / 4 * 3 || characters == 0) {
    std::cerr << "wrong answers: " << numtext::FormatInt(found) << " nodes\n";
    return 1;
  }
  std::cout << "per query " << numtext::FormatFixed(seconds / static_cast<double>(queries) * 1e9, 1) << " ns\n"
            << "xpath: " << numtext::FormatFixed(seconds, 3) << " s for " << numtext::FormatInt(queries)
            << " queries\n";
  return 0;
}
