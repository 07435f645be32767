#include "app/logic/ProjectEditing.h"

#include <vector>

#include "app/logic/ProjectTree.h"
#include "model/GPX.h"

namespace {
std::string Quoted(const std::string& name) { return "\"" + name + "\""; }
}  // namespace

std::string DeletionDescription(const TObject& object) {
  if (const auto* route = object.As<TGPXrte>()) return "the selected route " + Quoted(route->name);
  if (const auto* track = object.As<TGPXtrk>()) return "the selected track " + Quoted(track->name);
  if (object.Is<TGPXtrkseg>()) return "the selected track segment";
  if (const auto* point = object.As<TGPXwpt>())
    return point->name.empty() ? "the selected point" : "the selected point " + Quoted(point->name);
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
  if (object->Is<TGPXrte>() || object->Is<TGPXtrkseg>()) {
    view.wptListSelecion = static_cast<TGPXwptList*>(object);
    return true;
  }
  return object->Is<TGPXwpt>();
}

namespace {
// Deletes one selected object, known to be alive. True when something changed.
bool DeleteObject(TGPXDraw& view, TGPX& data, const TProjectTreeModel& tree, TObject& object) {
  if (object.Is<TGPXmetadata>()) {
    data.metadata.CopyFrom(TGPXmetadata());
    return true;
  }
  if (object.Is<TGPXExtension>()) {
    data.extension.CopyFrom(TGPXExtension());
    return true;
  }
  if (object.Is<TGPXrte>()) {
    if (!data.rte.Contains(&object)) return false;
    view.ForgetFreed(&object);
    (void)data.rte.Extract(&object);
    return true;
  }
  if (object.Is<TGPXtrk>()) {
    if (!data.trk.Contains(&object)) return false;
    view.ForgetFreed(&object);
    (void)data.trk.Extract(&object);
    return true;
  }
  if (object.Is<TGPXtrkseg>()) {
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
  if (const auto* point = object.As<TGPXwpt>()) {
    TGPXwptList* list = data.GetWaypointParent(point);
    if (!list) return false;
    view.ForgetFreed(&object);
    list->FreeAndDelete(list->IndexOf(&object));
    return true;
  }
  if (object.Is<TGPXwptList>() && &object == &data.wpt) {
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
