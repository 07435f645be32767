#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The few file-system services the XML library and the readers need beyond
// their streams. Names are POSIX paths in UTF-8.
namespace localfiles {

// Creates a new, empty file with a unique name that starts with `prefix` in the
// system's temporary folder (TMPDIR when it names a folder, else /tmp) and
// answers its full name. Creation is atomic (O_EXCL), so the name is never one
// that someone else holds. Throws std::runtime_error naming the folder when the
// file cannot be created.
std::string CreateTempFile(const std::string& prefix);

// Removes a file; a file that is already gone is no failure. Never throws.
void RemoveFile(const std::string& path) noexcept;

// `folder` made absolute against the process's current folder and reduced
// lexically ("a/../b" is "b"), ending in '/'. An empty folder gives the current
// folder itself.
std::string AbsoluteFolder(const std::string& folder);

// A regular file's bytes, read whole into memory of their own for one pass
// from start to end (a mapping of the file itself would fault if another
// program cut the file short meanwhile). Empty when the file cannot be read
// or is empty.
class TFileBytes {
public:
  explicit TFileBytes(const std::string& path);
  ~TFileBytes();
  TFileBytes(const TFileBytes&) = delete;
  TFileBytes& operator=(const TFileBytes&) = delete;

  std::string_view Bytes() const { return {static_cast<const char*>(fData), fSize}; }
  // The bytes from `from` to `to` are read no more: the pages wholly within
  // them go back to the system, so a big file is never held twice, as bytes
  // and as what was read from them. They read as zeros afterwards.
  void Release(std::size_t from, std::size_t to);

private:
  void* fData = nullptr;
  std::size_t fSize = 0;
  std::size_t fCapacity = 0;
};

}  // namespace localfiles
