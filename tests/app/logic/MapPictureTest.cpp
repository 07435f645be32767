// The colour grid as a picture, and smoothing.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "app/logic/MapPicture.h"
#include "model/GPX.h"
#include "tests/app/logic/LogicSupport.h"

// ---- picture and smoothing ---------------------------------------------------------------

TEST(GridToPicture, KeepsRedInTheLowestByte) {
  TColorArray grid(3, 2);
  grid[0][0] = RGB(255, 0, 0);
  grid[2][1] = RGB(0, 0, 255);
  TBitmap picture;
  GridToPicture(grid, picture);
  ASSERT_EQ(picture.Width(), 3);
  ASSERT_EQ(picture.Height(), 2);
  EXPECT_EQ(picture.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(picture.Pixel(2, 1), RGB(0, 0, 255));
  EXPECT_EQ(picture.Pixel(1, 0), 0u);  // black where nothing was computed
}

TEST(SmoothMap, AveragesInPlaceTopDownAndLeftToRight) {
  TBitmap picture(5, 5);
  picture.Fill(0);
  picture.SetPixel(2, 2, RGB(90, 9, 180));
  TBooleanArray mask(5, 5);
  mask.Fill(true);
  SmoothMap(picture, mask);
  // (1, 1) sees the bright pixel: 90 / 9 = 10.
  EXPECT_EQ(picture.Pixel(1, 1), RGB(10, 1, 20));
  // (2, 1) comes next and already sees the new (1, 1): (10 + 90) / 9 = 11.
  EXPECT_EQ(picture.Pixel(2, 1), RGB(11, 1, 22));
  // The outermost rows and columns keep their colour.
  EXPECT_EQ(picture.Pixel(0, 0), 0u);
  EXPECT_EQ(picture.Pixel(4, 2), 0u);
}

TEST(SmoothMap, LeavesAUniformBlockAndPixelsNearTheMaskEdgeAlone) {
  TBitmap picture(6, 6);
  picture.Fill(RGB(40, 80, 120));
  picture.SetPixel(4, 4, RGB(255, 255, 255));
  TBooleanArray mask(6, 6);
  mask.Fill(true);
  mask[5][5] = false;  // the block of (4, 4) touches it
  SmoothMap(picture, mask);
  EXPECT_EQ(picture.Pixel(2, 2), RGB(40, 80, 120));
  EXPECT_EQ(picture.Pixel(4, 4), RGB(255, 255, 255));
}
