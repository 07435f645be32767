#include "app/logic/MapReadouts.h"

#include "app/logic/WindowNumbers.h"

std::string DepthMetres(double centimetres, std::string_view decimalSeparator) {
  return FixedNumber(centimetres / 100.0, 2, 4, decimalSeparator);
}

std::string CoordinateText(const TViewProjection& view, int x, int y) {
  TPoint4D2 position;
  position.Longitude = view.XToLo(x);
  position.Latitude = view.YToLa(y);
  return position.Coord();
}

std::string DeletePointPrompt(const TPoint4D2& point, std::string_view decimalSeparator) {
  return "Delete Point at " + point.Coord() + ", Depth: " + DepthMetres(point.HBdepth, decimalSeparator) + "m";
}

namespace {
template <class Grid>
bool Inside(const Grid& grid, int x, int y) {
  return x >= 0 && y >= 0 && x < grid.Width() && y < grid.Height();
}
}  // namespace

std::string DepthReadout(const TDepthReadoutSource& map, int x, int y, std::string_view decimalSeparator) {
  const char* const undiscovered = "undiscovered area...";
  if (!map.Mask || !map.Grid || !Inside(*map.Mask, x, y) || !Inside(*map.Grid, x, y)) return undiscovered;
  if (!(*map.Mask)[x][y]) return undiscovered;
  return "Depth: " + DepthMetres(map.MaxDepth * (*map.Grid)[x][y], decimalSeparator) + "m";
}
