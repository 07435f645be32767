#include "app/logic/ProjectEditing.h"

#include <string_view>
#include <vector>

#include "app/logic/ProjectTree.h"
#include "model/GPX.h"

namespace {
bool Is(const TObject& object, std::string_view className) { return object.ClassName() == className; }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }
}  // namespace

std::string DeletionDescription(const TObject& object) {
  if (Is(object, "TGPXrte")) return "the selected route " + Quoted(static_cast<const TGPXrte&>(object).name);
  if (Is(object, "TGPXtrk")) return "the selected track " + Quoted(static_cast<const TGPXtrk&>(object).name);
  if (Is(object, "TGPXtrkseg")) return "the selected track segment";
  if (Is(object, "TGPXwpt")) {
    const std::string& name = static_cast<const TGPXwpt&>(object).name;
    return name.empty() ? "the selected point" : "the selected point " + Quoted(name);
  }
  return "the selected item";
}

std::string DeletionQuestion(const TObject& object) {
  return "Are you sure that you want to delete " + DeletionDescription(object) + " ?";
}

bool DocumentHolds(const TGPX& data, const TObject* object) {
  if (!object) return false;
  if (object == &data || object == &data.wpt || object == &data.trk || object == &data.rte) return true;
  if (data.wpt.Contains(object) || data.rte.Contains(object) || data.trk.Contains(object)) return true;
  for (const TGPXtrk& track : data.trk)
    if (track.Contains(object)) return true;
  return false;
}

bool SelectTreeObject(TGPXDraw& view, TObject* object) {
  if (!view.GPXd || !DocumentHolds(*view.GPXd, object)) return false;
  view.GPXd->Selection.Clear();
  view.GPXd->Selection.Add(object);
  if (Is(*object, "TGPXrte") || Is(*object, "TGPXtrkseg")) {
    view.wptListSelecion = static_cast<TGPXwptList*>(object);
    return true;
  }
  return Is(*object, "TGPXwpt");
}

namespace {
// Deletes one selected object, known to be alive. True when something changed.
bool DeleteObject(TGPXDraw& view, TGPX& data, const TProjectTreeModel& tree, TObject& object) {
  if (Is(object, "TGPXmetadata")) {
    data.metadata.CopyFrom(TGPXmetadata());
    return true;
  }
  if (Is(object, "TGPXExtension")) {
    data.extension.CopyFrom(TGPXExtension());
    return true;
  }
  if (Is(object, "TGPXrte")) {
    if (!data.rte.Contains(&object)) return false;
    view.ForgetFreed(&object);
    (void)data.rte.Extract(&object);
    return true;
  }
  if (Is(object, "TGPXtrk")) {
    if (!data.trk.Contains(&object)) return false;
    view.ForgetFreed(&object);
    (void)data.trk.Extract(&object);
    return true;
  }
  if (Is(object, "TGPXtrkseg")) {
    // The track is the one the tree shows it under, taken only once the document
    // is known to hold it.
    const int node = tree.FindNode(&object);
    if (node < 0) return false;
    const int index = data.trk.IndexOf(tree.ParentObject(node));
    if (index < 0) return false;
    TGPXtrk& track = *data.trk.GetTrack(index);
    if (!track.Contains(&object)) return false;
    view.ForgetFreed(&object);
    (void)track.Extract(&object);
    return true;
  }
  if (Is(object, "TGPXwpt")) {
    TGPXwptList* list = data.GetWaypointParent(static_cast<const TGPXwpt*>(&object));
    if (!list) return false;
    view.ForgetFreed(&object);
    list->FreeAndDelete(list->IndexOf(&object));
    return true;
  }
  if (Is(object, "TGPXwptList") && &object == &data.wpt) {
    view.ForgetFreed(&data.wpt);
    data.wpt.FreeAll();
    data.wpt.filled = false;
    return true;
  }
  return false;  // the document itself, the track list
}
}  // namespace

bool DeleteSelectedObjects(TGPXDraw& view, TGPX& data, const TProjectTreeModel& tree) {
  if (!view.GPXd) return false;
  TGPXSelection& selection = view.GPXd->Selection;
  const std::vector<TObject*> selected(selection.begin(), selection.end());
  bool changed = false;
  for (TObject* object : selected) {
    // Freeing a track also frees its segments and points: what it took along has
    // left the selection and is not touched again.
    if (!selection.IsInSelection(object)) continue;
    changed |= DeleteObject(view, data, tree, *object);
  }
  selection.Clear();
  view.wptSelection = nullptr;
  return changed;
}

TCutterUnlinked CutArea(TGPXDraw& view, int x, int y) {
  TCutterUnlinked unlinked = view.CutterMouseTo(x, y, false, false);
  if (view.GPXd) view.GPXd->Selection.Clear();
  view.wptSelection = nullptr;
  return unlinked;
}
