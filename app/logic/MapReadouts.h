#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mapview/Projection.h"
#include "model/CommonTypes.h"
#include "model/GPS.h"

// The texts the mouse writes into the status bar over the maps. Depths show in
// metres with two decimals and the caller's decimal separator (the user's locale).

// A depth in cm as metres: "6.00" (or "6,00").
std::string DepthMetres(double centimetres, std::string_view decimalSeparator);

// The coordinates of pixel (x, y) of a view: its position as TPoint4D2::Coord.
std::string CoordinateText(const TViewProjection& view, int x, int y);

// The prompt over the sample picked for deletion: "Delete Point at " + its
// coordinates + ", Depth: " + its depth in metres + "m".
std::string DeletePointPrompt(const TPoint4D2& point, std::string_view decimalSeparator);

// What a finished interpolation shows under the mouse: its mask, its grid of
// depths as fractions of its maximum depth, and that maximum depth (cm).
struct TDepthReadoutSource {
  const TBooleanArray* Mask = nullptr;
  const TDoubleArray* Grid = nullptr;
  std::int32_t MaxDepth = 0;
};

// "Depth: " + the depth at (x, y) in metres + "m" inside the mask; "undiscovered
// area..." outside it, outside the grid (moves keep coming past the picture's
// edge while a button is held) or without a map.
std::string DepthReadout(const TDepthReadoutSource& map, int x, int y, std::string_view decimalSeparator);
