#include "app/logic/InterpolationArea.h"

#include "platform/Canvas.h"

bool PtInRgn(std::span<const TPoint> Points, TPoint P) {
  if (Points.size() < 2) return false;
  const std::size_t h = Points.size() - 1;
  const bool open = Points[h].X != Points[0].X || Points[h].Y != Points[0].Y;
  // Only the parity of the two counts matters.
  unsigned left = 0, right = 0;
  auto edge = [&](const TPoint& a, const TPoint& b) {
    if (!((a.Y <= P.Y && P.Y < b.Y) || (b.Y <= P.Y && P.Y < a.Y))) return;
    const double xc = static_cast<double>(b.X - a.X) / static_cast<double>(b.Y - a.Y) *
                          static_cast<double>(P.Y - a.Y) +
                      static_cast<double>(a.X);
    const double px = static_cast<double>(P.X);
    if (px > xc) ++left;
    if (px < xc) ++right;
  };
  for (std::size_t i = 0; i < h; ++i) edge(Points[i], Points[i + 1]);
  if (open) edge(Points[h], Points[0]);
  return (left % 2 == 1) && (right % 2 == 1);
}

void PaintShoreLine(TBitmap& shoreLine, const std::vector<TPixelPolygon>& polygons) {
  using namespace shoreline;
  if (polygons.empty()) {
    shoreLine.Fill(kLake);
    return;
  }
  TCanvas& canvas = shoreLine.Canvas();
  canvas.Pen.Color = kIsland;
  canvas.Pen.Width = 1;
  canvas.Brush.Style = TBrushStyle::bsSolid;
  shoreLine.Fill(kLand);
  auto paint = [&](const TPixelPolygon& polygon, TColor fill) {
    canvas.Brush.Color = fill;
    canvas.Polygon(polygon);
  };
  if (polygons.size() == 1) {
    paint(polygons[0], kLake);
    return;
  }
  std::size_t lake = polygons.size();  // none
  for (std::size_t i = 0; i < polygons.size(); ++i)
    for (std::size_t j = 0; j < polygons.size(); ++j) {
      if (j == i || polygons[j].empty()) continue;
      if (PtInRgn(polygons[i], polygons[j][0])) {
        lake = i;
        paint(polygons[i], kLake);
      }
    }
  for (std::size_t k = 0; k < polygons.size(); ++k)
    if (k != lake) paint(polygons[k], kIsland);
}

void CombineMask(const TBitmap& shadowMap, const TBitmap& shoreLine, const TViewProjection& projection,
                 TBooleanArray& mask, TPointList& shoreCoord, TValueList& shoreDepth) {
  const int width = shadowMap.Width();
  const int height = shadowMap.Height();
  mask.SetLength(width, height);
  shoreCoord.clear();
  shoreDepth.clear();
  // Row by row through the buffers; the shore picture may be smaller than the
  // view (never the case when both follow the view): its missing part is land.
  const int shoreWidth = std::min(width, shoreLine.Width());
  const int shoreHeight = std::min(height, shoreLine.Height());
  for (int y = 0; y < height; ++y) {
    const auto* s = reinterpret_cast<const std::uint32_t*>(shadowMap.ScanLine(y));
    const std::uint32_t* l = y < shoreHeight ? reinterpret_cast<const std::uint32_t*>(shoreLine.ScanLine(y)) : nullptr;
    const bool border = y == 0 || y == height - 1;
    for (int x = 0; x < width; ++x) {
      const TColor shore = (l && x < shoreWidth) ? TBitmap::PixelToColor(l[x]) : shoreline::kLand;
      const TColor shadow = TBitmap::PixelToColor(s[x]);
      const bool underStroke = GetRValue(shadow) != 255 && GetGValue(shadow) != 255 && GetBValue(shadow) != 255;
      const bool onBorder = border || x == 0 || x == width - 1;
      mask[x][y] = underStroke && !onBorder && shore == shoreline::kLake;
      if (shore == shoreline::kIsland) {
        shoreCoord.push_back({static_cast<float>(projection.XToLo(x)), static_cast<float>(projection.YToLa(y))});
        shoreDepth.push_back(0.0f);
      }
    }
  }
}
