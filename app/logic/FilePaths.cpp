#include "app/logic/FilePaths.h"

#include <cctype>

namespace {
std::size_t NameStart(const std::string& path) {
  const std::size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? 0 : sep + 1;
}
}  // namespace

std::string LowerExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < NameStart(path)) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::string WithDefaultExt(const std::string& path, const std::string& defaultExt) {
  if (defaultExt.empty() || !LowerExtension(path).empty()) return path;
  return path + "." + defaultExt;
}

std::string FileNameOnly(const std::string& path) { return path.substr(NameStart(path)); }
