#include "platform/LocalFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
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

TMappedFile::TMappedFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    void* data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (data != MAP_FAILED) {
      fData = data;
      fSize = static_cast<std::size_t>(info.st_size);
      ::madvise(fData, fSize, MADV_SEQUENTIAL);
    }
  }
  ::close(fd);
}

TMappedFile::~TMappedFile() {
  if (fData) ::munmap(fData, fSize);
}

void TMappedFile::Release(std::size_t offset) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t bytes = std::min(offset, fSize) / page * page;
  if (fData && bytes > 0) ::madvise(fData, bytes, MADV_DONTNEED);
}

}  // namespace localfiles
