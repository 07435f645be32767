// File names as the dialogs and loaders see them.

#include <gtest/gtest.h>

#include "app/logic/Dialogs.h"
#include "tests/app/ScriptedDialogs.h"

TEST(FileNames, TheExtensionOfAFilterEntry) {
  const std::string images = "Bitmap Image|*.bmp|JPEG Image|*.jpg";
  EXPECT_EQ(FilterExtension(images, 0), "bmp");
  EXPECT_EQ(FilterExtension(images, 1), "jpg");
  EXPECT_EQ(FilterExtension(images, 2), "");
  EXPECT_EQ(FilterExtension("GPX, KML or HT files|*.gpx;*.kml;*.ht", 0), "gpx");
  EXPECT_EQ(FilterExtension("All files|*.*", 0), "");
  EXPECT_EQ(FilterExtension("All files|*", 0), "");
}

TEST(Dialogs, OneWorkingFolderMovedByEveryConfirmedDialog) {
  TScriptedDialogs dialogs;
  dialogs.SetWorkingFolder("/home/angler");
  dialogs.OpenFiles({"", "HT files|*.ht", "", true});  // cancelled: stays
  dialogs.openAnswers = {{"/data/lake/a.ht", "/data/lake/b.ht"}};
  dialogs.OpenFiles({"", "HT files|*.ht", "", true});
  EXPECT_EQ(dialogs.WorkingFolder(), "/data/lake");
  dialogs.saveAnswers = {"/maps/lake.bmp"};
  dialogs.SaveFile({"Save image", "Bitmap Image|*.bmp", "bmp", "", ""});
  dialogs.OpenFiles({"", "HT files|*.ht", "", true});
  const auto shown = dialogs.shown;
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].folder, "/home/angler");
  EXPECT_EQ(shown[1].folder, "/home/angler");
  EXPECT_EQ(shown[2].folder, "/data/lake");
  EXPECT_EQ(shown[3].folder, "/maps");
  // A request that names its folder opens there.
  dialogs.OpenFiles({"", "HT files|*.ht", "/elsewhere", true});
  EXPECT_EQ(dialogs.shown.back().folder, "/elsewhere");
}

TEST(Dialogs, ANameWithoutExtensionGetsTheSelectedFiltersOne) {
  struct TCase {
    std::string typed;
    int filter;
    std::string saved;
  };
  const TCase cases[] = {
      {"/maps/lake", 0, "/maps/lake.bmp"},
      {"/maps/lake", 1, "/maps/lake.jpg"},
      {"/maps/lake.JPG", 0, "/maps/lake.JPG"},
      {"/maps.d/lake", 1, "/maps.d/lake.jpg"},
  };
  for (const TCase& c : cases) {
    TScriptedDialogs dialogs;
    dialogs.saveAnswers = {c.typed};
    dialogs.saveFilterAnswers = {c.filter};
    EXPECT_EQ(dialogs.SaveFile({"Save image", "Bitmap Image|*.bmp|JPEG Image|*.jpg", "bmp", "", ""}), c.saved)
        << c.typed << " " << c.filter;
  }
  // Without an extension in the filter entry, the default one.
  TScriptedDialogs dialogs;
  dialogs.saveAnswers = {"/maps/lake"};
  EXPECT_EQ(dialogs.SaveFile({"Save", "All files|*", "gpx", "", ""}), "/maps/lake.gpx");
}
