#include <gtest/gtest.h>

#include "app/logic/FilePaths.h"

TEST(FileNames, ExtensionsAndDefaultExtensions) {
  EXPECT_EQ(LowerExtension("/data/Lake.GPX"), ".gpx");
  EXPECT_EQ(LowerExtension("/data/track.ht"), ".ht");
  EXPECT_EQ(LowerExtension("/data.d/track"), "");
  EXPECT_EQ(LowerExtension("track."), ".");
  EXPECT_EQ(WithDefaultExt("/tmp/map", "bmp"), "/tmp/map.bmp");
  EXPECT_EQ(WithDefaultExt("/tmp/map.jpg", "bmp"), "/tmp/map.jpg");
  EXPECT_EQ(WithDefaultExt("/tmp.d/map", "bmp"), "/tmp.d/map.bmp");
  EXPECT_EQ(FileNameOnly("/data/lake/a.ht"), "a.ht");
}
