#pragma once

#include <string>

// The few file-system services the XML library needs beyond its streams. Names
// are POSIX paths in UTF-8.
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

}  // namespace localfiles
