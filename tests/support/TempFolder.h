#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

// A fresh folder under the system's temporary folder for one test, removed with
// everything in it when the test ends.
class TTempFolder {
public:
  explicit TTempFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder for " + prefix);
    dir_ = pattern;
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

private:
  std::filesystem::path dir_;
};
