#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir &&
      result->pw_dir[0] == '/') {
    return result->pw_dir;
  }
  return {};
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The value of XDG_DOCUMENTS_DIR="..." in user-dirs.dirs: "$HOME/..." or an
// absolute path, with backslash escapes; anything else is not a folder for us.
std::string ReadUserDirsFile(const std::string& fileName, const std::string& home) {
  std::FILE* f = std::fopen(fileName.c_str(), "r");
  if (!f) return {};
  std::string result;
  char line[4096];
  while (std::fgets(line, sizeof line, f)) {
    std::string_view text(line);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    constexpr std::string_view key = "XDG_DOCUMENTS_DIR=\"";
    if (text.substr(0, key.size()) != key) continue;
    text.remove_prefix(key.size());
    std::string value;
    bool closed = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) {
        value += text[++i];
      } else if (text[i] == '"') {
        closed = true;
        break;
      } else {
        value += text[i];
      }
    }
    if (!closed) continue;
    if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
      if (home.empty()) continue;
      value = home + value.substr(5);
    } else if (value.empty() || value[0] != '/') {
      continue;
    }
    result = value;  // the last line wins, as when the shell reads the file
  }
  std::fclose(f);
  return result;
}

}  // namespace

namespace userfolders {

std::string DocumentsFolder() {
  if (const char* env = std::getenv("XDG_DOCUMENTS_DIR"); env && env[0] == '/') return WithoutTrailingSlash(env);
  const std::string home = HomeFolder();
  std::string configHome;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    configHome = config;
  } else if (!home.empty()) {
    configHome = home + "/.config";
  }
  if (!configHome.empty()) {
    const std::string fromFile = ReadUserDirsFile(configHome + "/user-dirs.dirs", home);
    if (!fromFile.empty()) return WithoutTrailingSlash(fromFile);
  }
  return WithoutTrailingSlash(home);
}

}  // namespace userfolders
