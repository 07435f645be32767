#pragma once

#include <string>
#include <vector>

#include "platform/Object.h"

class TGPX;

// One entry of the project window's tree: its text, the object it shows and its
// parent (an index into the tree's nodes, -1 for the root).
struct TProjectNode {
  std::string Text;
  TObject* Object = nullptr;
  int Parent = -1;
};

// The tree of the loaded data as the project window shows it, fully expanded:
// "Current Project", under it "Waypoints (n)" with one node per waypoint and
// "Tracks (n)" with one node per track and one per segment under it. Routes and
// the metadata are not shown. Nodes come in tree order, each after its parent.
//
// The nodes point into the document: rebuild the tree after anything that frees
// or unlinks what they show.
class TProjectTreeModel {
public:
  // Empty unless `data` exists and files were loaded.
  static TProjectTreeModel Build(const TGPX* data, bool fileLoaded);

  const std::vector<TProjectNode>& Nodes() const { return fNodes; }
  bool Empty() const { return fNodes.empty(); }

  // The first node that carries `object`; -1 when none does.
  int FindNode(const TObject* object) const;
  // The object of the node's parent; null for the root or an index out of range.
  TObject* ParentObject(int node) const;

private:
  int Add(std::string text, TObject* object, int parent);

  std::vector<TProjectNode> fNodes;
};
