#include <gtest/gtest.h>

#include "app/logic/WindowNumbers.h"
#include "app/logic/MapReadouts.h"

TEST(MapReadouts, DepthsShowInMetresWithTwoDecimalsAtFourDigitsAndTheCallersSeparator) {
  const struct {
    double centimetres;
    const char* separator;
    const char* text;
  } cases[] = {{600, ".", "6.00"},       {600, ",", "6,00"},       {1234, ".", "12.34"},
               {5, ".", "0.05"},         {-250, ",", "-2,50"},     {123456, ".", "1235.00"},
               {12345, ".", "123.50"}};
  for (const auto& c : cases) EXPECT_EQ(DepthMetres(c.centimetres, c.separator), c.text) << c.centimetres;
  EXPECT_EQ(WithDecimalSeparator("1.5 and 2.25", "<>"), "1<>5 and 2<>25");
}

TEST(MapReadouts, TheDepthReadoutReadsTheFinishedMapInsideItsMaskAndGridOnly) {
  TBooleanArray mask(4, 3);
  TDoubleArray grid(4, 3);
  mask[1][2] = true;
  grid[1][2] = 0.5;
  grid[2][2] = 0.5;  // outside the mask
  const TDepthReadoutSource map{&mask, &grid, 1200};
  EXPECT_EQ(DepthReadout(map, 1, 2, "."), "Depth: 6.00m");
  EXPECT_EQ(DepthReadout(map, 1, 2, ","), "Depth: 6,00m");
  // Outside the mask, and outside the picture while a button is held.
  for (const auto& [x, y] : {std::pair{2, 2}, {-1, 2}, {4, 0}, {0, 3}, {1, -5}, {100000, 100000}})
    EXPECT_EQ(DepthReadout(map, x, y, "."), "undiscovered area...") << x << "," << y;
  EXPECT_EQ(DepthReadout({}, 1, 2, "."), "undiscovered area...");
  // A grid smaller than the mask is read only where it has cells.
  TDoubleArray small(1, 1);
  EXPECT_EQ(DepthReadout({&mask, &small, 1200}, 1, 2, "."), "undiscovered area...");
}

TEST(MapReadouts, TheDeletePromptNamesThePointAndItsDepth) {
  TPoint4D2 p;
  p.Latitude = 47.25;
  p.Longitude = -8.5;
  p.HBdepth = 1234;
  EXPECT_EQ(DeletePointPrompt(p, ","), "Delete Point at 47.250000\u00B0 N, 8.500000\u00B0 W, Depth: 12,34m");
  const TViewProjection view{10, 50, 600, 600};
  EXPECT_EQ(CoordinateText(view, 0, 600), "50.000000\u00B0 N, 10.000000\u00B0 E");
}
