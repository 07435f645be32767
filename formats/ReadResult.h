#pragma once

#include <string>
#include <vector>

// What a reader saw in a file but did not take, for the loader to tell.
struct TReadFindings {
  // Placemarks that gave nothing: polygons, multiple geometries, gx:Track and
  // the like.
  int SkippedPlacemarks = 0;
  // The first element of another program that seems to hold the depth of a
  // segment without ours, or "ele" when every altitude of such a segment is
  // negative (sounders that write depth so); empty when none does.
  std::string ForeignDepth;
};

// What one read of a file gave: whether it was read, the reader's report of
// it in order (the reasons, when it was not), and its findings.
struct TReadResult {
  bool Loaded = false;
  std::vector<std::string> Lines;
  TReadFindings Findings;
};
