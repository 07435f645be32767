#include "platform/SafeFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/FileTest.h"

namespace fs = std::filesystem;

namespace {

class SafeFileTest : public TFileTest {
protected:
  static void Put(const std::string& path, const std::string& text) {
    TSafeFileWriter w(path);
    w.Write(text);
    w.Commit();
  }
};

TEST_F(SafeFileTest, CommitReplacesTheTargetAndLeavesNoTemporaryFile) {
  const std::string target = Path("project.gpx");
  Put(target, "old");
  Put(target, std::string(200000, 'x') + "end");  // larger than the buffer
  EXPECT_EQ(Contents(target), std::string(200000, 'x') + "end");
  EXPECT_EQ(EntriesInDir(), 1);
}

TEST_F(SafeFileTest, AWriterDroppedWithoutCommitLeavesTheOldFile) {
  const std::string target = Path("project.gpx");
  Put(target, "the user's project");
  {
    TSafeFileWriter w(target);
    w.Write("half a fi");
  }
  EXPECT_EQ(Contents(target), "the user's project");
  EXPECT_EQ(EntriesInDir(), 1);
}

TEST_F(SafeFileTest, AMissingFolderIsReportedWithThePath) {
  const std::string target = Path("no/such/folder/x.ht");
  try {
    TSafeFileWriter w(target);
    FAIL() << "no error";
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(target + ": ", 0), 0u) << e.what();
  }
}

TEST_F(SafeFileTest, ExistingPermissionsAndLinksSurvive) {
  const std::string real = Path("real.ht");
  const std::string link = Path("link.ht");
  Put(real, "a");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  fs::create_symlink(real, link);

  Put(link, "b");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Contents(real), "b");
  struct stat st {};
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(SafeFileTest, ReadFilePrefixStopsAtTheLimitAndReportsMissingFiles) {
  const std::string target = Path("data");
  Put(target, "0123456789");
  EXPECT_EQ(ReadFilePrefix(target, 4).size(), 4u);
  EXPECT_EQ(ReadFilePrefix(target, 100).size(), 10u);
  EXPECT_THROW(ReadFilePrefix(Path("missing"), 10), EFileError);
  EXPECT_THROW(ReadFilePrefix(folder_.Dir().string(), 10), EFileError);
}

}  // namespace
