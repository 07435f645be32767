#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <system_error>

#include "platform/NumberText.h"

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::string Reason(int error) { return std::error_code(error, std::generic_category()).message(); }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a link points to, so that replacing it keeps the link itself.
std::string ResolveLink(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

// Unique within the process by the counter, across processes by the random part.
std::string TempSuffix() {
  static std::atomic<unsigned> counter{0};
  static const unsigned salt = std::random_device{}();
  return numtext::FormatInt(static_cast<std::int64_t>(getpid())) + "-" +
         numtext::FormatInt(static_cast<std::int64_t>(salt)) + "-" +
         numtext::FormatInt(static_cast<std::int64_t>(counter.fetch_add(1)));
}

}  // namespace

TSafeFileWriter::TSafeFileWriter(std::string targetPath) : target_(std::move(targetPath)) {
  if (target_.empty()) throw EFileError("Cannot create a file without a name");
  finalPath_ = ResolveLink(target_);
  const std::string stem = FolderOf(finalPath_) + "/." + BaseNameOf(finalPath_) + ".";
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    tempPath_ = stem + TempSuffix() + ".tmp";
    // 0666 lets the umask decide, as for any new file.
    fd_ = open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      const int error = errno;
      tempPath_.clear();  // not ours: never remove it
      if (error != EEXIST) Fail(target_, error);
    }
  }
  if (fd_ < 0) Fail(target_, EEXIST);

  struct stat st {};
  if (stat(finalPath_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) Fail(target_, EISDIR);
    (void)fchmod(fd_, st.st_mode & 07777);
  }
  buffer_.reserve(kBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
  if (!committed_) Discard();
}

void TSafeFileWriter::Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

void TSafeFileWriter::Write(const void* data, std::size_t size) {
  if (fd_ < 0) throw EFileError(target_ + ": the file is already closed");
  const char* p = static_cast<const char*>(data);
  if (buffer_.size() + size > kBufferSize) Flush();
  if (size >= kBufferSize) {
    // Large blocks skip the buffer.
    while (size > 0) {
      const ssize_t n = write(fd_, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail(target_, errno);
      }
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return;
  }
  buffer_.insert(buffer_.end(), p, p + size);
}

void TSafeFileWriter::Flush() {
  const char* p = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0) {
    const ssize_t n = write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(target_, errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void TSafeFileWriter::Commit() {
  if (fd_ < 0) throw EFileError(target_ + ": the file is already closed");
  Flush();
  if (fsync(fd_) != 0) Fail(target_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) Fail(target_, errno);
  if (rename(tempPath_.c_str(), finalPath_.c_str()) != 0) Fail(target_, errno);
  committed_ = true;
  // Make the rename itself durable; the data is safe either way.
  const int dir = open(FolderOf(finalPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)fsync(dir);
    close(dir);
  }
}

void TSafeFileWriter::Discard() noexcept {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (!tempPath_.empty()) unlink(tempPath_.c_str());
}

void TSafeFileWriter::Fail(const std::string& path, int error) {
  Discard();
  tempPath_.clear();
  throw EFileError(path + ": " + Reason(error));
}

std::vector<std::uint8_t> ReadFilePrefix(const std::string& path, std::size_t maxBytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFileError(path + ": " + Reason(errno));
  std::vector<std::uint8_t> bytes(maxBytes);
  std::size_t got = 0;
  while (got < maxBytes) {
    const ssize_t n = read(fd, bytes.data() + got, maxBytes - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      close(fd);
      throw EFileError(path + ": " + Reason(error));
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  bytes.resize(got);
  return bytes;
}
