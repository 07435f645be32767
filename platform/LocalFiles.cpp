#include "platform/LocalFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace localfiles {

namespace {

std::string TempFolder() {
  // TMPDIR is honoured only when it names a folder, as mkstemp's callers expect.
  if (const char* dir = std::getenv("TMPDIR"); dir && dir[0] != '\0') {
    struct stat info {};
    if (::stat(dir, &info) == 0 && S_ISDIR(info.st_mode)) return dir;
  }
  return "/tmp";
}

}  // namespace

std::string CreateTempFile(const std::string& prefix) {
  std::string folder = TempFolder();
  if (folder.back() != '/') folder += '/';
  std::string pattern = folder + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    throw std::runtime_error("Cannot create a temporary file in " + folder + ": " +
                             std::error_code(errno, std::generic_category()).message());
  }
  ::close(fd);
  return std::string(name.data());
}

void RemoveFile(const std::string& path) noexcept {
  if (!path.empty()) ::unlink(path.c_str());
}

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::path base = std::filesystem::current_path(ignored);
  std::filesystem::path full = folder.empty() ? base : (base / folder);
  std::string text = full.lexically_normal().string();
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

}  // namespace localfiles
