#pragma once

#include <string>

// Names of files as the loaders and the save commands read them; both "/" and
// "\" separate folders.

// `path` with "." + defaultExt appended when its file name has no extension.
std::string WithDefaultExt(const std::string& path, const std::string& defaultExt);

// The extension of a path in lower case: from the last "." after the last folder
// separator, dot included; empty when there is none.
std::string LowerExtension(const std::string& path);

// The file name of a path without its folder.
std::string FileNameOnly(const std::string& path);
