#pragma once

// What the tests of the headless app library share: documents built in memory.

#include <memory>
#include <string>
#include <vector>

#include "formats/HTConvert.h"
#include "model/GPX.h"
#include "tests/support/TrackBuilder.h"

// A segment as (latitude, longitude, depth in cm) points.
using TSegmentPoints = TTrackPoints;

inline std::vector<double> Latitudes(const TGPXtrkseg& seg) {
  std::vector<double> result;
  for (const TPoint4D2& p : seg) result.push_back(p.Latitude);
  return result;
}

inline std::vector<double> Depths(const TGPXtrkseg& seg) {
  std::vector<double> result;
  for (const TPoint4D2& p : seg) result.push_back(p.HBdepth);
  return result;
}

// A short track of four points: the first and last at depth0.
inline TSegmentPoints Line(double depth0, double depth1, double depth2) {
  return {{47.0, 8.0, depth0}, {47.001, 8.001, depth1}, {47.002, 8.003, depth2}, {47.004, 8.002, depth0}};
}

// Every segment of every track, in order.
inline std::vector<const TGPXtrkseg*> Segments(const TGPX& doc) {
  std::vector<const TGPXtrkseg*> result;
  for (const TGPXtrk& trk : doc.trk)
    for (const TGPXtrkseg& seg : trk) result.push_back(&seg);
  return result;
}

// Writes an HT file of one track with these segments through our own writer;
// answers whether it was written.
inline bool WriteHTFile(const std::string& path, const std::vector<TSegmentPoints>& segments) {
  TGPX doc;
  doc.trk.Add(MakeTrack(segments));
  THTConvert writer(&doc, "Fixture", path, [] { return 45000.5; });
  return writer.ConvertToHT();
}
