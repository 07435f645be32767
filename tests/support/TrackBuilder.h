#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/GPX.h"

// Builds the tracks that tests feed the program from plain positions: points,
// segments, whole tracks, and documents that hold them.

struct TTrackPoint {
  double Latitude = 0;
  double Longitude = 0;
  double Depth = 0;  // HBdepth, centimetres
};
using TTrackPoints = std::vector<TTrackPoint>;

// A point of any point class (TGPXwpt, TPoint4D2) at a position and depth.
template <class Point = TGPXwpt>
std::unique_ptr<Point> MakePoint(double latitude, double longitude, double depth = 0) {
  auto point = std::make_unique<Point>();
  point->Latitude = latitude;
  point->Longitude = longitude;
  point->HBdepth = depth;
  return point;
}

inline std::unique_ptr<TGPXtrkseg> MakeSegment(const TTrackPoints& points) {
  auto segment = std::make_unique<TGPXtrkseg>();
  for (const TTrackPoint& p : points) segment->Add(MakePoint(p.Latitude, p.Longitude, p.Depth));
  return segment;
}

// A track with one segment per entry, in order; empty entries give empty segments.
inline std::unique_ptr<TGPXtrk> MakeTrack(const std::vector<TTrackPoints>& segments, const std::string& name = "") {
  auto track = std::make_unique<TGPXtrk>();
  track->name = name;
  for (const TTrackPoints& points : segments) track->Add(MakeSegment(points));
  return track;
}

// Appends a new track of one segment through the points; returns the segment.
inline TGPXtrkseg& AddTrack(TGPX& doc, const TTrackPoints& points) {
  auto segment = MakeSegment(points);
  TGPXtrkseg& result = *segment;
  auto track = std::make_unique<TGPXtrk>();
  track->Add(std::move(segment));
  doc.trk.Add(std::move(track));
  return result;
}

// Appends a point to the first segment of the first track, making both when the
// document has no track yet; returns the point.
inline TGPXwpt& AddTrackPoint(TGPX& doc, double latitude, double longitude, double depth = 0) {
  if (doc.trk.Count() == 0) AddTrack(doc, {});
  auto point = MakePoint(latitude, longitude, depth);
  TGPXwpt& result = *point;
  doc.trk.GetTrack(0)->GetTrkSeg(0)->Add(std::move(point));
  return result;
}

// An item of an owning list that reports its own end, to tell freeing from unlinking.
template <class Item>
class TFreeProbe : public Item {
public:
  explicit TFreeProbe(bool* freed) : freed_(freed) {}
  ~TFreeProbe() override { *freed_ = true; }

private:
  bool* freed_;
};
