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

// A regular file's bytes, mapped read-only for one pass from start to end.
// Empty (Bytes() empty) when the file cannot be opened or mapped, or is empty.
class TMappedFile {
public:
  explicit TMappedFile(const std::string& path);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  std::string_view Bytes() const { return {static_cast<const char*>(fData), fSize}; }
  // The pass is behind offset: the system may take back the pages before it,
  // so a big file never stays in memory whole. They read again if touched.
  void Release(std::size_t offset);

private:
  void* fData = nullptr;
  std::size_t fSize = 0;
};

}  // namespace localfiles
