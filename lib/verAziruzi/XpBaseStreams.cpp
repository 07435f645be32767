// Memory and file streams.

#include "lib/verAziruzi/XpBase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>

void TXpStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EInOutError(u"Stream read error");
}

void TXpStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EInOutError(u"Stream write error");
}

std::int64_t TXpMemoryStream::Read(void* buffer, std::int64_t count) {
  const std::int64_t available = std::max<std::int64_t>(0, fSize - fPosition);
  const std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, Memory() + fPosition, static_cast<std::size_t>(n));
  fPosition += n;
  return n;
}

std::int64_t TXpMemoryStream::Write(const void* buffer, std::int64_t count) {
  // Borrowed memory belongs to someone else: never grow, move or overwrite it.
  if (fBorrowed) throw EInOutError(u"Stream write error");
  if (count <= 0) return 0;
  std::int64_t end;
  if (__builtin_add_overflow(fPosition, count, &end)) throw EInOutError(u"Stream write error");
  if (end > fSize) SetSize(end);
  std::memcpy(fOwned.data() + fPosition, buffer, static_cast<std::size_t>(count));
  fPosition = end;
  return count;
}

std::int64_t TXpMemoryStream::Seek(std::int64_t offset, TXpSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TXpSeekOrigin::soCurrent) base = fPosition;
  if (origin == TXpSeekOrigin::soEnd) base = fSize;
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? 0 : std::numeric_limits<std::int64_t>::max();
  fPosition = std::max<std::int64_t>(0, target);
  return fPosition;
}

void TXpMemoryStream::SetSize(std::int64_t size) {
  if (fBorrowed) throw EInOutError(u"Stream write error");
  size = std::max<std::int64_t>(0, size);
  // An empty stream holds no memory, so it may be pointed at borrowed memory.
  if (size == 0) std::vector<std::uint8_t>().swap(fOwned);
  else fOwned.resize(static_cast<std::size_t>(size));
  fSize = size;
  fPosition = std::min(fPosition, fSize);
}

void TXpMemoryStream::Clear() {
  std::vector<std::uint8_t>().swap(fOwned);
  fBorrowed = nullptr;
  fSize = 0;
  fPosition = 0;
}

void TXpMemoryStream::SetPointer(const void* memory, std::int64_t size) {
  if (fOwned.capacity() != 0)
    throw EAssertionFailed("Assertion failed: memory stream already holds memory (lib/verAziruzi/XpBase)");
  fBorrowed = static_cast<const std::uint8_t*>(memory);
  fSize = fBorrowed ? std::max<std::int64_t>(0, size) : 0;
  fPosition = 0;
}

TXpFileStream::TXpFileStream(std::uint16_t mode, const WideString& fileName) : fFilename(fileName) {
  const std::string path = XpWideToUtf8(fileName);
  int flags;
  // fmCreate may come or-ed with a share mode (the downloads create their
  // temporary file with fmCreate | fmShareExclusive).
  const bool create = (mode & fmCreate) == fmCreate;
  if (create) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 0x0003) {
      case fmOpenWrite: flags = O_WRONLY; break;
      case fmOpenReadWrite: flags = O_RDWR; break;
      default: flags = O_RDONLY; break;
    }
  }
  fHandle = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  int error = fHandle < 0 ? errno : 0;
  // A directory opens for reading here but has no bytes to give.
  struct stat info {};
  if (fHandle >= 0 && ::fstat(fHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fHandle);
    fHandle = -1;
    error = EISDIR;
  }
  if (fHandle < 0) {
    const WideString reason = XpUtf8ToWide(std::generic_category().message(error));
    throw EInOutError((create ? u"Cannot create file \"" : u"Cannot open file \"") + fileName + u"\". " + reason);
  }
}

TXpFileStream::~TXpFileStream() {
  if (fHandle >= 0) ::close(fHandle);
}

std::int64_t TXpFileStream::Read(void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(fHandle, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TXpFileStream::Write(const void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::write(fHandle, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TXpFileStream::Seek(std::int64_t offset, TXpSeekOrigin origin) {
  const int whence = origin == TXpSeekOrigin::soBeginning ? SEEK_SET : origin == TXpSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  off_t at = ::lseek(fHandle, static_cast<off_t>(offset), whence);
  if (at < 0) at = ::lseek(fHandle, 0, SEEK_CUR);  // a refused seek leaves the position
  return at < 0 ? 0 : static_cast<std::int64_t>(at);
}

std::int64_t TXpFileStream::Size() {
  struct stat info {};
  return ::fstat(fHandle, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}
