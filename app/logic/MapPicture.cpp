#include "app/logic/MapPicture.h"

#include <algorithm>
#include <cstdint>

#include "model/GPX.h"
#include "platform/Canvas.h"

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

void DrawShoreLines(TCanvas& surface, const TGPXtrkList& tracks, const TViewProjection& projection, int penWidth,
                    TColor colour) {
  surface.Pen.Width = penWidth;
  surface.Pen.Color = colour;
  for (const TGPXtrk& trk : tracks)
    for (const TGPXtrkseg& seg : trk) {
      if (seg.maxdepth != 0 || seg.Count() == 0) continue;
      const TPoint4D2& first = *seg.GetPoint(0);
      surface.MoveTo(projection.LoToX(first.Longitude), projection.LaToY(first.Latitude));
      for (int i = 1; i < seg.Count(); ++i) {
        const TPoint4D2& p = *seg.GetPoint(i);
        const std::int64_t x = projection.LoToX(p.Longitude), y = projection.LaToY(p.Latitude);
        if (x == surface.PenPos.X && y == surface.PenPos.Y) continue;
        surface.LineTo(x, y);
      }
    }
}
