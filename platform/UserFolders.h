#pragma once

#include <string>

namespace userfolders {

// The user's documents folder as the XDG user directories name it: the
// environment's XDG_DOCUMENTS_DIR when it holds an absolute path, else the
// XDG_DOCUMENTS_DIR line of $XDG_CONFIG_HOME/user-dirs.dirs (~/.config when
// unset), else the home folder itself, as xdg-user-dir answers for a folder that
// is not configured. Never created, never checked for existence; no trailing
// '/'. The empty text when not even the home folder is known.
std::string DocumentsFolder();

}  // namespace userfolders
