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

TFileBytes::TFileBytes(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto capacity = static_cast<std::size_t>(info.st_size);
    void* data = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data != MAP_FAILED) {
      fData = data;
      fCapacity = capacity;
      // A file that grows meanwhile is read as far as it was; one cut short,
      // as far as it goes.
      while (fSize < fCapacity) {
        const ssize_t got = ::read(fd, static_cast<char*>(fData) + fSize, fCapacity - fSize);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        fSize += static_cast<std::size_t>(got);
      }
    }
  }
  ::close(fd);
}

TFileBytes::~TFileBytes() {
  if (fData) ::munmap(fData, fCapacity);
}

void TFileBytes::Release(std::size_t from, std::size_t to) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t first = (from + page - 1) / page * page, last = std::min(to, fSize) / page * page;
  if (fData && first < last) ::madvise(static_cast<char*>(fData) + first, last - first, MADV_DONTNEED);
}

}  // namespace localfiles
