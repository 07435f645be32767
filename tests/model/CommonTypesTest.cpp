#include "model/CommonTypes.h"

#include <gtest/gtest.h>

namespace {

TEST(Grid, IndexedByColumnThenRowWithContiguousColumns) {
  TDoubleArray grid;
  EXPECT_TRUE(grid.Empty());
  grid.SetLength(3, 2);  // 3 columns (width), 2 rows (height)
  EXPECT_EQ(grid.Width(), 3);
  EXPECT_EQ(grid.Height(), 2);
  for (int x = 0; x < 3; ++x)
    for (int y = 0; y < 2; ++y) EXPECT_EQ(grid[x][y], 0.0);
  grid[2][1] = 7;
  EXPECT_EQ(&grid[2][1], &grid[2][0] + 1);  // a column's rows lie side by side
  EXPECT_EQ(grid[2][1], 7);
  EXPECT_TRUE(grid.Contains(2, 1));
  EXPECT_FALSE(grid.Contains(1, 2));

  grid.SetLength(0, 0);
  EXPECT_TRUE(grid.Empty());
  EXPECT_EQ(grid.Width(), 0);
}

TEST(Color, ChannelsSitRedLowest) {
  const TColor c = RGB(0x12, 0x34, 0x56);
  EXPECT_EQ(c, 0x563412u);
  EXPECT_EQ(GetRValue(c), 0x12);
  EXPECT_EQ(GetGValue(c), 0x34);
  EXPECT_EQ(GetBValue(0x01563412), 0x56);  // bit 24 is no colour
}

}  // namespace
