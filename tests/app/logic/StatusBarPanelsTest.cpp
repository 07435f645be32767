#include <gtest/gtest.h>

#include <vector>

#include "app/logic/StatusBarPanels.h"

TEST(StatusBarPanels, TheClickFindsThePanelUnderItAndRightOfTheLastCountsAsTheLast) {
  // The main window's panels: status, unused, "min", gradient, "max", coordinates.
  const int widths[] = {490, 0, 30, 150, 100, 150};  // the empty panel 1 is never hit
  const struct {
    int x;
    int panel;
  } cases[] = {{0, 0},   {489, 0}, {490, 2}, {519, 2}, {520, 3}, {669, 3},
               {670, 4}, {769, 4}, {770, 5}, {919, 5}, {920, 5}, {5000, 5}};
  for (const auto& c : cases) EXPECT_EQ(PanelAt(widths, c.x), c.panel) << c.x;
  EXPECT_EQ(PanelAt(std::vector<int>{}, 10), -1);
}

TEST(StatusBarPanels, TheGradientStartsShallowAndNearlyReachesDeep) {
  const TColor shallow = 0x00FF00, deep = 0xFF0000;
  EXPECT_EQ(GradientColumnColor(shallow, deep, 0, 150), shallow);
  // The last column at 149/150: green 255/150 = 1.7 -> 2, blue 253.3 -> 253.
  EXPECT_EQ(GradientColumnColor(shallow, deep, 149, 150), TColor{0xFD0200});
  EXPECT_EQ(GradientColumnColor(shallow, deep, 75, 150), TColor{0x808000});  // 127.5 to even: 128
}
