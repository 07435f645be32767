#pragma once

#include <memory>
#include <string>

#include "model/GPX.h"
#include "tests/mapview/ViewFixture.h"

// Loaded data as the project window sees it: waypoints and tracks from files
// (their lists marked filled), shown by a view.
struct ProjectFixture : ViewFixture {
  TGPXwpt* AddWaypoint(const std::string& name, double lat = 50.5, double lon = 10.5) {
    auto p = MakePoint(lat, lon);
    p->name = name;
    TGPXwpt* raw = p.get();
    doc.wpt.Add(std::move(p));
    doc.wpt.filled = true;
    return raw;
  }

  TGPXtrk* AddTrack(const std::string& name, int segments) {
    auto track = std::make_unique<TGPXtrk>();
    track->name = name;
    for (int s = 0; s < segments; ++s) {
      auto segment = std::make_unique<TGPXtrkseg>();
      segment->Add(MakePoint(50.2 + 0.1 * s, 10.2, 300));
      segment->Add(MakePoint(50.3 + 0.1 * s, 10.4, 600));
      track->Add(std::move(segment));
    }
    TGPXtrk* raw = track.get();
    doc.trk.Add(std::move(track));
    doc.trk.filled = true;
    return raw;
  }
};
