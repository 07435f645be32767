#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A failure of the file system. The message names the path and the system's
// reason, ready to be shown.
class EFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Writes a file so that the old one survives every failure: the bytes go to a
// temporary file in the target's folder, which replaces the target in one rename
// only when Commit succeeds. Dropped without Commit (an error on the way, an
// exception in the caller), the temporary file is removed and the target is
// untouched. A target that already exists keeps its permission bits; a target
// that is a symbolic link keeps the link and has the file it points to replaced.
class TSafeFileWriter {
public:
  // Creates the temporary file; throws EFileError when the folder refuses it.
  explicit TSafeFileWriter(std::string targetPath);
  ~TSafeFileWriter();
  TSafeFileWriter(const TSafeFileWriter&) = delete;
  TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

  // Buffered; throws EFileError when the disk refuses the bytes.
  void Write(std::string_view bytes);
  void Write(const void* data, std::size_t size);

  // Flushes, syncs and closes the temporary file and renames it over the target.
  // Throws EFileError on any failure, leaving the target as it was.
  void Commit();

  const std::string& TargetPath() const { return fTarget; }

private:
  void Flush();
  void Discard() noexcept;
  [[noreturn]] void Fail(const std::string& path, int error);

  std::string fTarget;      // what the caller named, for messages
  std::string fFinalPath;   // where the bytes end up (a link resolved)
  std::string fTempPath;
  int fFd = -1;
  bool fCommitted = false;
  std::vector<char> fBuffer;
};

// Reads at most maxBytes bytes from the start of the file; fewer when the file
// is shorter. Throws EFileError when the file cannot be opened or read.
std::vector<std::uint8_t> ReadFilePrefix(const std::string& path, std::size_t maxBytes);
