#include "bench/GpxLikeGenerator.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "platform/NumberText.h"

namespace {

constexpr double kBytesPerPoint = 214.0;

// Two digits, zero-padded.
std::string Two(std::int64_t value) { return (value < 10 ? "0" : "") + numtext::FormatInt(value); }

}  // namespace

std::int64_t GpxLikePointsForMegabytes(double megabytes) {
  return static_cast<std::int64_t>(megabytes * 1e6 / kBytesPerPoint);
}

std::int64_t WriteGpxLikeFile(const std::string& path, std::int64_t pointCount) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) throw std::runtime_error("cannot write " + path);
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"Shoalwright benchmark\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
      "     xmlns:h=\"http://www.humminbird.com\">\n"
      "  <trk>\n    <name>Benchmark track</name>\n    <trkseg>\n";
  std::int64_t written = 0;
  auto flush = [&] {
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size())
      throw std::runtime_error("cannot write " + path);
    written += static_cast<std::int64_t>(text.size());
    text.clear();
  };
  // A slow spiral over a lake, one point a second; depths follow a smooth bowl.
  std::uint32_t noise = 12345;
  for (std::int64_t i = 0; i < pointCount; ++i) {
    noise = noise * 1103515245u + 12345u;
    double t = static_cast<double>(i);
    double lat = 47.5 + 0.01 * (t / 1e6) * ((i % 2000) / 2000.0) + ((noise >> 16) % 100) * 1e-7;
    double lon = 8.25 + 0.015 * ((i % 3000) / 3000.0) + ((noise >> 8) % 100) * 1e-7;
    double depth = 2.0 + 25.0 * ((i % 5000) / 5000.0) * (1.0 - (i % 5000) / 5000.0) * 4.0;
    std::int64_t seconds = i % 86400;
    std::int64_t day = 1 + (i / 86400) % 28;
    text += "      <trkpt lat=\"" + numtext::FormatFixed(lat, 9) + "\" lon=\"" + numtext::FormatFixed(lon, 9) + "\">\n";
    text += "        <ele>" + numtext::FormatFixed(395.0 + (i % 7) * 0.1, 1) + "</ele>\n";
    text += "        <time>2024-05-" + Two(day) + "T" + Two(seconds / 3600) + ":" + Two(seconds / 60 % 60) + ":" +
            Two(seconds % 60) + ".000Z</time>\n";
    text += "        <extensions>\n          <h:depth>" + numtext::FormatFixed(depth, 2) +
            "</h:depth>\n        </extensions>\n      </trkpt>\n";
    if (text.size() > (1 << 20)) flush();
  }
  text += "    </trkseg>\n  </trk>\n</gpx>\n";
  flush();
  return written;
}
