#include "app/logic/Dialogs.h"

#include <filesystem>

#include "app/logic/FilePaths.h"

std::string FilterExtension(const std::string& filter, int index) {
  // Entries alternate description and patterns.
  std::size_t start = 0;
  for (int field = 0; field < 2 * index + 1; ++field) {
    start = filter.find('|', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  const std::size_t end = filter.find_first_of(";|", start);
  const std::string pattern = filter.substr(start, end == std::string::npos ? std::string::npos : end - start);
  const std::string ext = LowerExtension(pattern);
  if (ext.size() < 2 || ext.find_first_of("*?") != std::string::npos) return {};
  return pattern.substr(pattern.size() - ext.size() + 1);
}

std::string TDialogs::WorkingFolder() const {
  if (!fWorkingFolder.empty()) return fWorkingFolder;
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  return ec ? std::string() : current.string();
}

namespace {
std::string FolderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}
}  // namespace

std::vector<std::string> TDialogs::OpenFiles(const TOpenDialogRequest& request) {
  TOpenDialogRequest filled = request;
  if (filled.initialDir.empty()) filled.initialDir = WorkingFolder();
  std::vector<std::string> files = DoOpenFiles(filled);
  if (!files.empty() && !FolderOf(files.front()).empty()) fWorkingFolder = FolderOf(files.front());
  return files;
}

std::optional<std::string> TDialogs::SaveFile(const TSaveDialogRequest& request) {
  TSaveDialogRequest filled = request;
  if (filled.initialDir.empty()) filled.initialDir = WorkingFolder();
  const std::optional<TSaveAnswer> answer = DoSaveFile(filled);
  if (!answer || answer->path.empty()) return std::nullopt;
  const std::string ext = FilterExtension(request.filter, answer->filterIndex);
  std::string path = WithDefaultExt(answer->path, ext.empty() ? request.defaultExt : ext);
  if (!FolderOf(path).empty()) fWorkingFolder = FolderOf(path);
  return path;
}
