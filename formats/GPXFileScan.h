#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/GPXFilePoint.h"
#include "model/GPX.h"

// The quick way through a survey: the track segments of a GPX document that
// hold nothing but plain points are read straight from its bytes, and only the
// rest of the document (its outline) goes through the object model.
//
// A segment is plain when it stands right below a trk below the gpx root, its
// content is ASCII without references, comments, CDATA, processing
// instructions or namespace declarations, its points carry lat and lon only
// and have the simple GPX fields (no link), and their extensions are elements
// and text. Every such segment is read here and well-formed there, every
// point valid; anything else stays in the outline for the object model, which
// also reports every fault. So a file reads the same either way, only faster.
class TGPXSegmentScan {
public:
  // The attribute that marks, in the outline, a segment read here: its value
  // is the segment's index.
  static constexpr std::string_view kMarker = "shoalwright-scanned";

  // One segment read.
  struct TSegment {
    std::unique_ptr<TGPXtrkseg> Segment;
    gpxpoint::TSegmentDepth Depth;
    int Points = 0;
  };

  // Where the scan is done with a stretch of the document's bytes.
  using TRelease = std::function<void(const char* begin, const char* end)>;

  // Scans a document. True when it read at least one segment; Outline() then
  // holds the document with each of them emptied and marked. `release`, when
  // given, hears of each stretch of bytes the scan will not read again: the
  // content of a segment read; the segments are read side by side, so it may
  // hear of several at once, from several threads. When a segment turns out
  // not to be plain after that, the scan fails with ScanAgain() True: the
  // bytes are needed whole again.
  bool Scan(std::string_view document, const TRelease& release = {});
  bool ScanAgain() const { return fScanAgain; }

  const std::string& Outline() const { return fOutline; }
  std::size_t SegmentCount() const { return fSegments.size(); }
  // The segment of that index, once; null for any other index or a second time.
  std::unique_ptr<TSegment> Take(std::size_t index);

private:
  // The content of a segment that may be plain, up to just after its end tag.
  struct TRegion {
    std::string_view name;
    const char* content;
    const char* end;
  };
  // Reads each region, on several threads for a big document; False when one
  // of them is not plain, or not plain up to its end.
  bool ReadRegions(const std::vector<TRegion>& regions, const TRelease& release);
  bool Abandon();

  std::string fOutline;
  std::vector<std::unique_ptr<TSegment>> fSegments;
  bool fScanAgain = false;
};
