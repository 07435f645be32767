#include "app/logic/InterpolationSamples.h"

#include <cmath>

#include "model/GPX.h"

int DecimateTracks(TGPX& doc, double stepLatitude, double stepLongitude) {
  int dropped = 0;
  for (TGPXtrk& trk : doc.trk)
    for (TGPXtrkseg& seg : trk) {
      if (seg.Count() == 0) continue;
      double lastLat = seg.GetPoint(0)->Latitude;
      double lastLon = seg.GetPoint(0)->Longitude;
      int i = 1;
      while (i < seg.Count()) {
        const TPoint4D2& p = *seg.GetPoint(i);
        if (std::fabs(lastLat - p.Latitude) < stepLatitude && std::fabs(lastLon - p.Longitude) < stepLongitude) {
          seg.FreeAndDelete(i);
          ++dropped;
        } else {
          lastLat = p.Latitude;
          lastLon = p.Longitude;
          ++i;
        }
      }
    }
  return dropped;
}

void AppendTrackSamples(const TGPX& doc, TPointList& coord, TValueList& depth) {
  for (const TGPXtrk& trk : doc.trk)
    for (const TGPXtrkseg& seg : trk)
      for (const TPoint4D2& p : seg) {
        coord.push_back({static_cast<float>(p.Longitude), static_cast<float>(p.Latitude)});
        depth.push_back(static_cast<float>(p.HBdepth));
      }
}
