#include "app/logic/ProjectTree.h"

#include "model/GPX.h"
#include "platform/NumberText.h"

namespace {
std::string Counted(const char* what, int count) { return what + std::string(" (") + numtext::FormatInt(count) + ")"; }

// The name, or the kind and the position among its siblings counted from 1.
std::string NameOr(const std::string& name, const char* kind, int index) {
  return name.empty() ? kind + numtext::FormatInt(index + 1) : name;
}
}  // namespace

TProjectTreeModel TProjectTreeModel::Build(const TGPX* data, bool fileLoaded) {
  TProjectTreeModel tree;
  if (!data || !fileLoaded) return tree;
  TGPX& doc = const_cast<TGPX&>(*data);
  const int root = tree.Add("Current Project", &doc, -1);
  if (doc.wpt.filled) {
    const int list = tree.Add(Counted("Waypoints", doc.wpt.Count()), &doc.wpt, root);
    int i = 0;
    for (TGPXwpt& waypoint : doc.wpt.Waypoints()) tree.Add(NameOr(waypoint.name, "WayPoint ", i++), &waypoint, list);
  }
  if (doc.trk.filled) {
    const int list = tree.Add(Counted("Tracks", doc.trk.Count()), &doc.trk, root);
    int t = 0;
    for (TGPXtrk& track : doc.trk) {
      const int trackNode = tree.Add(NameOr(track.name, "Track ", t++), &track, list);
      int s = 0;
      for (TGPXtrkseg& segment : track) tree.Add("Segment " + numtext::FormatInt(++s), &segment, trackNode);
    }
  }
  return tree;
}

int TProjectTreeModel::Add(std::string text, TObject* object, int parent) {
  fNodes.push_back({std::move(text), object, parent});
  return static_cast<int>(fNodes.size()) - 1;
}

int TProjectTreeModel::FindNode(const TObject* object) const {
  for (std::size_t i = 0; i < fNodes.size(); ++i)
    if (fNodes[i].Object == object) return static_cast<int>(i);
  return -1;
}

TObject* TProjectTreeModel::ParentObject(int node) const {
  if (node < 0 || node >= static_cast<int>(fNodes.size())) return nullptr;
  const int parent = fNodes[static_cast<std::size_t>(node)].Parent;
  return parent < 0 ? nullptr : fNodes[static_cast<std::size_t>(parent)].Object;
}
