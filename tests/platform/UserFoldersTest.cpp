#include "platform/UserFolders.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// Points HOME and XDG_CONFIG_HOME at a scratch folder for one test.
class UserFolders : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("shoalwright_userfolders_" + std::to_string(::getpid()));
    fs::create_directories(root_ / "config");
    Save("HOME", savedHome_);
    Save("XDG_CONFIG_HOME", savedConfig_);
    Save("XDG_DOCUMENTS_DIR", savedDocuments_);
    ::setenv("HOME", (root_ / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::unsetenv("XDG_DOCUMENTS_DIR");
  }
  void TearDown() override {
    Restore("HOME", savedHome_);
    Restore("XDG_CONFIG_HOME", savedConfig_);
    Restore("XDG_DOCUMENTS_DIR", savedDocuments_);
    fs::remove_all(root_);
  }
  void WriteUserDirs(const std::string& text) {
    std::FILE* f = std::fopen((root_ / "config" / "user-dirs.dirs").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  std::string Home() const { return (root_ / "home").string(); }

  fs::path root_;

private:
  struct Saved {
    bool set = false;
    std::string value;
  };
  static void Save(const char* name, Saved& s) {
    const char* v = std::getenv(name);
    s.set = v != nullptr;
    s.value = v ? v : "";
  }
  static void Restore(const char* name, const Saved& s) {
    if (s.set) {
      ::setenv(name, s.value.c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  Saved savedHome_, savedConfig_, savedDocuments_;
};

}  // namespace

TEST_F(UserFolders, ReadsTheConfiguredDocumentsFolderWithoutCreatingIt) {
  WriteUserDirs("# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  EXPECT_EQ(userfolders::DocumentsFolder(), Home() + "/Dokumente");
  EXPECT_FALSE(fs::exists(Home() + "/Dokumente"));

  WriteUserDirs("XDG_DOCUMENTS_DIR=\"/srv/docs\\\"x/\"\n");
  EXPECT_EQ(userfolders::DocumentsFolder(), "/srv/docs\"x");
}

TEST_F(UserFolders, FallsBackToTheHomeFolder) {
  EXPECT_EQ(userfolders::DocumentsFolder(), Home());  // no user-dirs.dirs at all
  WriteUserDirs("XDG_DOCUMENTS_DIR=\"relative/docs\"\nXDG_DOCUMENTS_DIR=\"$HOMEWARD\"\n");
  EXPECT_EQ(userfolders::DocumentsFolder(), Home());
}

TEST_F(UserFolders, TheEnvironmentWinsOverTheFile) {
  WriteUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");
  ::setenv("XDG_DOCUMENTS_DIR", "/data/mine/", 1);
  EXPECT_EQ(userfolders::DocumentsFolder(), "/data/mine");
}
