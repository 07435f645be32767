#pragma once

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/SafeFile.h"
#include "tests/support/TempFolder.h"

// A test that writes files: a fresh folder of its own, what a file there holds,
// and how many entries the folder has (a writer must leave no temporary file).
class TFileTest : public ::testing::Test {
protected:
  std::string Path(const std::string& name) const { return folder_.Path(name); }
  static std::string Contents(const std::string& path) {
    const auto bytes = ReadFilePrefix(path, 1 << 20);
    return std::string(bytes.begin(), bytes.end());
  }
  int EntriesInDir() const {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder_.Dir()), {}));
  }

  TTempFolder folder_{"shoalwright-files"};
};
