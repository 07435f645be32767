// Adding files: the loaders of the workspace and the depth decisions they take.

#include <exception>
#include <filesystem>
#include <stdexcept>

#include "app/logic/DepthPreparation.h"
#include "app/logic/Dialogs.h"
#include "app/logic/Workspace.h"
#include "formats/HTConvert.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "platform/NumberText.h"
#include "platform/SafeFile.h"

namespace {
// The converter's refusals go to the error dialog.
class TDialogErrorSink : public THTErrorSink {
public:
  explicit TDialogErrorSink(TDialogs& dialogs) : fDialogs(dialogs) {}
  void ShowError(const std::string& text) override { fDialogs.ShowError(text); }

private:
  TDialogs& fDialogs;
};
}  // namespace

bool TWorkspace::AddFiles(const std::vector<std::string>& files, const TLoadOptions& options,
                          const std::function<void()>& afterEach) {
  fInterpolatable = false;
  for (const std::string& path : files) {
    const std::string ext = LowerExtension(path);
    try {
      if (ext == ".gpx")
        LoadGPXFile(path, options);
      else if (ext == ".kml")
        LoadKMLFile(path, options);
      else if (ext == ".ht")
        LoadHTFile(path, options);
      else
        fDialogs.ShowError("File extension not supported: " + path);
    } catch (const std::exception& e) {
      // One broken file ends only itself: what it appended stays, the rest load.
      Log("Cannot add " + path + ": " + e.what());
      fDialogs.ShowError("Cannot add " + path + ": " + e.what());
    }
    if (afterEach) afterEach();
  }
  ResetRadii();
  FileLoaded = true;
  return fInterpolatable;
}

void TWorkspace::LoadedDataChanged(const TLoadOptions& options) {
  MaxDepth = GetMaxDepth(*GPXdata);
  GPXView->MaxDepth = MaxDepth;
  GPXView->ShadowMapTrackWidth = options.ExtrapolationRadius;
  GPXView->GPXd = GPXdata.get();
}

void TWorkspace::LoadHTFile(const std::string& FileName, const TLoadOptions& options) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(FileName, ec)) return;
  Log("LoadHTFile: Trying to open " + FileName);
  TGPX T;
  TDialogErrorSink errors(fDialogs);
  THTConvert converter(&T, "", FileName, &errors);
  try {
    converter.ReadHT();
  } catch (const EFileError& e) {
    // A file that cannot be read adds nothing; the other files still load.
    fDialogs.ShowError(e.what());
    return;
  }
  Log("LoadHTFile: Appending HT Track: " + converter.sTrackName);
  // The whole file is one data set: one depth check, one prompt, one stamp.
  std::int32_t d = GetMaxDepth(T);
  Log("LoadHTFile: GetMaxDepth is " + numtext::FormatInt(d));
  if (d != 0) {
    Log("LoadHTFile: Track has valid depth readings");
    Log("LoadHTFile: Removing all 0m readings");
    RemoveZeroDepth(T);
  }
  const std::string name = FileNameOnly(FileName) + "Track: " + converter.sTrackName;
  if (options.AddDepth && d == 0) {
    std::int32_t v = AskCentimetres(fDialogs, "Apply depth to dataset", name + " Depth [cm]:");
    if (v < 0) v = 0;
    SetDepth(T, v);
    d = v;
  }
  if (options.AddOffset) {
    const std::int32_t o = AskCentimetres(fDialogs, "Add value to dataset", name + " Add Depth [cm]:");
    AddDepth(T, o);
    d = OffsetDepth(d, o);
  }
  StampMaxDepth(T, d);
  GPXdata->trk.CopyFrom(T.trk);
  LoadedDataChanged(options);
  fInterpolatable = true;
}

void TWorkspace::LoadGPXFile(const std::string&, const TLoadOptions&) {
  throw std::runtime_error("GPX files cannot be read yet");
}

void TWorkspace::LoadKMLFile(const std::string&, const TLoadOptions&) {
  throw std::runtime_error("KML files cannot be read yet");
}
