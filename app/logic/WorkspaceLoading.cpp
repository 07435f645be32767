// Adding files: the loaders of the workspace and the depth decisions they take.

#include <algorithm>
#include <iterator>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "app/logic/DepthPreparation.h"
#include "app/logic/Dialogs.h"
#include "app/logic/FilePaths.h"
#include "app/logic/Workspace.h"
#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "formats/KMLFile.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "platform/NumberText.h"
#include "platform/SafeFile.h"

namespace {
// "3 waypoints", "2 placemarks without a line": the noun takes the plural, what
// follows it stays. Empty for none.
std::string CountOf(int count, const std::string& noun, const std::string& after = {}) {
  if (count == 0) return {};
  return numtext::FormatInt(count) + " " + noun + (count == 1 ? "" : "s") + after;
}

bool HasTrackPoints(const TGPX& doc) {
  for (const TGPXtrk& track : doc.trk)
    for (const TGPXtrkseg& segment : track)
      if (segment.Count() > 0) return true;
  return false;
}

// The loaded document is the loader's own: its tracks move over whole, as
// copying a survey's million points would double the memory it needs.
void AppendTracks(TGPXtrkList& target, TGPXtrkList& loaded) {
  target.filled = loaded.filled;
  for (std::unique_ptr<TGPXtrk>& track : loaded.Clear()) target.Add(std::move(track));
}

// A line of a reader's report as the dialog and the log show it. A file can put
// a text of any length into one (a 100 MB value it quotes), and no dialog shows
// that; the cut keeps whole UTF-8 characters.
std::string ShownLine(const std::string& line) {
  constexpr std::size_t kMaxShown = 1000;
  if (line.size() <= kMaxShown) return line;
  std::size_t cut = kMaxShown;
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
  return line.substr(0, cut) + "...";
}

}  // namespace

bool TWorkspace::AddFiles(const std::vector<std::string>& files, const TLoadOptions& options,
                          const std::function<void()>& afterEach) {
  struct TFileKind {
    std::string_view Extension;  // lower case
    void (TWorkspace::*Load)(const std::string&, const TLoadOptions&);
  };
  static constexpr TFileKind kKinds[] = {
      {".gpx", &TWorkspace::LoadGPXFile}, {".kml", &TWorkspace::LoadKMLFile}, {".ht", &TWorkspace::LoadHTFile}};
  fInterpolatable = false;
  for (const std::string& path : files) {
    const std::string ext = LowerExtension(path);
    const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                   [&](const TFileKind& k) { return k.Extension == ext; });
    try {
      if (kind != std::end(kKinds))
        (this->*kind->Load)(path, options);
      else
        fDialogs.ShowError("File extension not supported: " + path);
    } catch (const std::exception& e) {
      // One broken file ends only itself: what it appended stays, the rest load.
      const std::string text = "Cannot add " + path + ": " + ShownLine(e.what());
      Log(text);
      fDialogs.ShowError(text);
    }
    if (afterEach) afterEach();
  }
  ResetRadii();
  fFileLoaded = true;
  return fInterpolatable;
}

void TWorkspace::LoadedDataChanged(const TLoadOptions& options) {
  fMaxDepth = GetMaxDepth(*fGPXdata);
  fGPXView->MaxDepth = fMaxDepth;
  SetExtrapolationRadius(options.ExtrapolationRadius);
  fGPXView->GPXd = fGPXdata.get();
}

void TWorkspace::LoadHTFile(const std::string& FileName, const TLoadOptions& options) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(FileName, ec)) return;
  Log("LoadHTFile: Trying to open " + FileName);
  TGPX T;
  THTConvert converter(&T, "", FileName);
  TReadResult result;
  try {
    result = converter.ReadHT();
  } catch (const EFileError& e) {
    // A file that cannot be read adds nothing; the other files still load.
    result.Lines = {e.what()};
    ShowRefusal(FileName, result, false);
    return;
  }
  // A refused file adds nothing, but its data set is still asked for: the
  // command goes on as it always has.
  if (!result.Loaded) ShowRefusal(FileName, result, false);
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
  d = AskTypedDepths(d, options.AddDepth && d == 0, options.AddOffset, name,
                     [&](std::int32_t v) { SetDepth(T, v); }, [&](std::int32_t o) { AddDepth(T, o); });
  StampMaxDepth(T, d);
  AppendTracks(fGPXdata->trk, T.trk);
  LoadedDataChanged(options);
  fInterpolatable = true;
}

std::int32_t TWorkspace::AskTypedDepths(std::int32_t d, bool askDepth, bool askOffset, const std::string& name,
                                        const std::function<void(std::int32_t)>& setDepth,
                                        const std::function<void(std::int32_t)>& addDepth) {
  if (askDepth) {
    std::int32_t v = AskCentimetres(fDialogs, "Apply depth to dataset", name + " Depth [cm]:");
    if (v < 0) v = 0;
    setDepth(v);
    d = v;
  }
  if (askOffset) {
    const std::int32_t o = AskCentimetres(fDialogs, "Add value to dataset", name + " Add Depth [cm]:");
    addDepth(o);
    d = OffsetDepth(d, o);
  }
  return d;
}

void TWorkspace::ShowRefusal(const std::string& FileName, const TReadResult& result, bool headed) {
  std::string text = headed ? FileName + " could not be read:" : std::string();
  // A parse that found no error (a file with another root) leaves an empty line
  // in the reader's log, and a quoted text may hold blank lines; the dialog
  // shows none of them.
  for (const std::string& entry : result.Lines) {
    const std::string shown = ShownLine(entry);
    for (std::size_t start = 0; start <= shown.size();) {
      std::size_t end = shown.find('\n', start);
      if (end == std::string::npos) end = shown.size();
      const std::string line = shown.substr(start, end - start);
      start = end + 1;
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      Log(line);
      text += (text.empty() ? "" : "\n") + line;
    }
  }
  fDialogs.ShowError(text);
}

void TWorkspace::ReportNoTrackLines(const std::string& FileName, const std::vector<std::string>& skipped) {
  std::string text = FileName + " holds no track lines";
  std::string counts;
  for (const std::string& part : skipped)
    if (!part.empty()) counts += (counts.empty() ? "" : ", ") + part;
  if (!counts.empty()) text += " (skipped: " + counts + ")";
  Log(text);
  fDialogs.ShowError(text);
}

void TWorkspace::LoadGPXFile(const std::string& FileName, const TLoadOptions& options) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(FileName, ec)) return;
  Log("LoadGPXFile: Trying to open " + FileName);
  TGPX T;
  TGPXFile reader;
  reader.GPXd = &T;
  const TReadResult result = reader.ImportGPXFile(FileName);
  if (!result.Loaded) {
    ShowRefusal(FileName, result, true);
    return;
  }
  if (!HasTrackPoints(T)) {
    int routePoints = 0;
    for (const TGPXrte& route : T.rte) routePoints += route.Count();
    ReportNoTrackLines(FileName, {CountOf(T.wpt.Count(), "waypoint"), CountOf(T.rte.Count(), "route"),
                                  CountOf(routePoints, "route point")});
    return;
  }
  // Each segment is judged on its own: depth recording or shore line.
  for (TGPXtrk& track : T.trk) {
    Log("LoadGPXFile: Examining Track " + track.name);
    const std::string name = FileNameOnly(FileName) + "Track: " + track.name;
    for (TGPXtrkseg& segment : track) {
      std::int32_t d = GetTrackSegMaxDepth(segment);
      Log("LoadGPXFile: GetMaxDepth is " + numtext::FormatInt(d));
      if (d != 0) {
        Log("LoadGPXFile: Track has valid depth readings");
        Log("LoadGPXFile: Removing all 0m readings");
        RemoveTrackSegZeroDepth(segment);
      }
      // An empty segment has nothing to give a depth to.
      segment.maxdepth = AskTypedDepths(
          d, options.AddDepth && d == 0 && segment.Count() > 0, options.AddOffset, name,
          [&](std::int32_t v) { SetTrackSegDepth(segment, v); }, [&](std::int32_t o) { AddTrackSegDepth(segment, o); });
    }
  }
  if (const std::string& foreignDepth = result.Findings.ForeignDepth; !foreignDepth.empty()) {
    const std::string text = FileName + ": the depth in <" + foreignDepth +
                             "> is not read; only h:depth gives a depth, so those segments count as shore lines";
    Log(text);
    fDialogs.MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
  }
  AppendTracks(fGPXdata->trk, T.trk);
  LoadedDataChanged(options);
  fInterpolatable = true;
}

void TWorkspace::LoadKMLFile(const std::string& FileName, const TLoadOptions& options) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(FileName, ec)) return;
  TGPX T;
  TKMLFile reader;
  reader.GPXd = &T;
  const TReadResult result = reader.ImportKML(FileName);
  if (!result.Loaded) {
    ShowRefusal(FileName, result, true);
    return;
  }
  if (!HasTrackPoints(T)) {
    ReportNoTrackLines(FileName, {CountOf(T.wpt.Count(), "waypoint"),
                                  CountOf(result.Findings.SkippedPlacemarks, "placemark", " without a line")});
    return;
  }
  // The whole file is one data set without depth: one typed depth at most,
  // never an offset; only a typed depth makes it one to interpolate.
  const std::int32_t d = AskTypedDepths(
      0, options.AddDepth, false, FileNameOnly(FileName), [&](std::int32_t v) { SetDepth(T, v); },
      [&](std::int32_t o) { AddDepth(T, o); });
  if (options.AddDepth) fInterpolatable = true;
  StampMaxDepth(T, d);
  AppendTracks(fGPXdata->trk, T.trk);
  LoadedDataChanged(options);
}
