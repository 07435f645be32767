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

TSafeFileWriter::TSafeFileWriter(std::string targetPath) : fTarget(std::move(targetPath)) {
  if (fTarget.empty()) throw EFileError("Cannot create a file without a name");
  fFinalPath = ResolveLink(fTarget);
  const std::string stem = FolderOf(fFinalPath) + "/." + BaseNameOf(fFinalPath) + ".";
  for (int attempt = 0; attempt < 100 && fFd < 0; ++attempt) {
    fTempPath = stem + TempSuffix() + ".tmp";
    // 0666 lets the umask decide, as for any new file.
    fFd = open(fTempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fFd < 0) {
      const int error = errno;
      fTempPath.clear();  // not ours: never remove it
      if (error != EEXIST) Fail(fTarget, error);
    }
  }
  if (fFd < 0) Fail(fTarget, EEXIST);

  struct stat st {};
  if (stat(fFinalPath.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) Fail(fTarget, EISDIR);
    (void)fchmod(fFd, st.st_mode & 07777);
  }
  fBuffer.reserve(kBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
  if (!fCommitted) Discard();
}

void TSafeFileWriter::Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

void TSafeFileWriter::Write(const void* data, std::size_t size) {
  if (fFd < 0) throw EFileError(fTarget + ": the file is already closed");
  const char* p = static_cast<const char*>(data);
  if (fBuffer.size() + size > kBufferSize) Flush();
  if (size >= kBufferSize) {
    // Large blocks skip the buffer.
    while (size > 0) {
      const ssize_t n = write(fFd, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail(fTarget, errno);
      }
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return;
  }
  fBuffer.insert(fBuffer.end(), p, p + size);
}

void TSafeFileWriter::Flush() {
  const char* p = fBuffer.data();
  std::size_t left = fBuffer.size();
  while (left > 0) {
    const ssize_t n = write(fFd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(fTarget, errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  fBuffer.clear();
}

void TSafeFileWriter::Commit() {
  if (fFd < 0) throw EFileError(fTarget + ": the file is already closed");
  Flush();
  if (fsync(fFd) != 0) Fail(fTarget, errno);
  const int fd = fFd;
  fFd = -1;
  if (close(fd) != 0) Fail(fTarget, errno);
  if (rename(fTempPath.c_str(), fFinalPath.c_str()) != 0) Fail(fTarget, errno);
  fCommitted = true;
  // Make the rename itself durable; the data is safe either way.
  const int dir = open(FolderOf(fFinalPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)fsync(dir);
    close(dir);
  }
}

void TSafeFileWriter::Discard() noexcept {
  if (fFd >= 0) {
    close(fFd);
    fFd = -1;
  }
  if (!fTempPath.empty()) unlink(fTempPath.c_str());
}

void TSafeFileWriter::Fail(const std::string& path, int error) {
  Discard();
  fTempPath.clear();
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
