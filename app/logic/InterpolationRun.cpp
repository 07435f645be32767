#include "app/logic/InterpolationRun.h"

#include <cmath>

#include "model/GPX.h"

std::vector<TBand> PlanBands(int width) {
  std::vector<TBand> bands;
  if (width <= 0) return bands;
  const int last = width - 1;
  const int count = last / 15;
  if (count == 0) {
    bands.push_back({0, last});
    return bands;
  }
  const int size = last / count;
  for (int k = 1; k <= count; ++k) bands.push_back({size * (k - 1), k == count ? last : size * k - 1});
  return bands;
}

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

void GridToPicture(const TColorArray& grid, TBitmap& picture) {
  picture.SetSize(grid.Width(), grid.Height());
  for (int y = 0; y < grid.Height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(picture.ScanLine(y));
    for (int x = 0; x < grid.Width(); ++x) row[x] = TBitmap::ColorToPixel(grid[x][y] & 0xFFFFFF);
  }
}

void SmoothMap(TBitmap& picture, const TBooleanArray& mask) {
  const int width = std::min(picture.Width(), mask.Width());
  const int height = std::min(picture.Height(), mask.Height());
  for (int y = 1; y < height - 1; ++y) {
    std::uint8_t* rows[3] = {picture.ScanLine(y - 1), picture.ScanLine(y), picture.ScanLine(y + 1)};
    for (int x = 1; x < width - 1; ++x) {
      bool inside = true;
      for (int dx = -1; dx <= 1 && inside; ++dx)
        for (int dy = -1; dy <= 1 && inside; ++dy) inside = mask[x + dx][y + dy];
      if (!inside) continue;
      for (int channel = 0; channel < 3; ++channel) {  // blue, green, red
        int sum = 0;
        for (const std::uint8_t* row : rows)
          for (int dx = -1; dx <= 1; ++dx) sum += row[(x + dx) * 4 + channel];
        rows[1][x * 4 + channel] = static_cast<std::uint8_t>(sum / 9);
      }
    }
  }
}
