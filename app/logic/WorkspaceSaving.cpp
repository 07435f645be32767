// Saving the workspace's data sets: "Save Project..." and "Save Tracks...".

#include <filesystem>

#include "app/logic/ContourOutput.h"
#include "app/logic/Dialogs.h"
#include "app/logic/FilePaths.h"
#include "app/logic/Workspace.h"
#include "model/GPX.h"
#include "platform/NumberText.h"

namespace {
bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}
}  // namespace

void TWorkspace::SaveProject() {
  if (!fFileLoaded) return;
  const auto path = fDialogs.SaveFile({"Save current project...", "GPX file|*.gpx|HT-Track|*.ht", "gpx", "", ""});
  if (!path) return;
  if (Exists(*path) && !fDialogs.AskYesNo("Overwrite " + *path + " ?")) return;
  const std::string ext = LowerExtension(*path);
  if (ext == ".gpx") {
    WriteGPXFile(fDialogs, *fGPXdata, *path);
  } else if (ext == ".ht") {
    const std::int64_t n = CountPoints(*fGPXdata, kHTOverhead);
    Log("Generated Points: " + numtext::FormatInt(n));
    const std::string name = HTTrackName(fDialogs.InputBox("Track name", "Name:", "NewTrack"));
    if (n <= kHTChunkLimit)
      WriteHTFile(fDialogs, *fGPXdata, name, *path);
    else
      fDialogs.ShowError("Can't convert dataset with more than 20000 points");
  } else {
    fDialogs.ShowError("File extension not supported: " + *path);
  }
}

void TWorkspace::SaveContourTracks() {
  if (!fFileLoaded) return;
  const auto path = fDialogs.SaveFile({"Save iso tracks to GPX", "GPX file|*.gpx", "gpx", "", ""});
  if (!path) return;
  if (Exists(*path) && !fDialogs.AskYesNo("Overwrite existing " + *path + " ?")) return;
  WriteGPXFile(fDialogs, *fIsoData, *path);
}
