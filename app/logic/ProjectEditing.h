#pragma once

#include <string>

#include "mapview/GPXDraw.h"

class TGPX;
class TObject;
class TProjectTreeModel;

// What the project window and the map's delete modes do to the loaded data,
// without widgets. Every deletion goes through the view first (ForgetFreed), so
// neither the selection nor the picked point keeps pointing at a freed object,
// and whoever shows the tree rebuilds it afterwards.

// "the selected route \"name\"", "the selected track \"name\"", "the selected
// track segment", "the selected point" (with " \"name\"" when it has a name) or
// "the selected item".
std::string DeletionDescription(const TObject& object);

// "Are you sure that you want to delete " + the description + " ?"
std::string DeletionQuestion(const TObject& object);

// True when `object` is a live part of the document that the tree can show: the
// document itself, its waypoint or track list, one of its waypoints, routes,
// tracks or segments. Compares by identity only, so a stale pointer is safe to ask
// about.
bool DocumentHolds(const TGPX& data, const TObject* object);

// The tree's choice becomes the map selection, exactly that object, when the
// document still holds it (otherwise the selection is left alone). A route or a
// segment also becomes the view's point list. True when the map must be redrawn
// to show it highlighted (a route, a segment or a waypoint).
bool SelectTreeObject(TGPXDraw& view, TObject* object);

// Deletes every selected object from `data`, in selection order: a route or a
// track from its list, a segment from the track the tree shows it under, a
// waypoint from the list that holds it; the waypoint list, the metadata or the
// extension selected are replaced by empty ones. An object an earlier deletion of
// the same call has freed is skipped. Then the selection and the picked point are
// cleared. True when something was deleted.
bool DeleteSelectedObjects(TGPXDraw& view, TGPX& data, const TProjectTreeModel& tree);

// Deletes the samples inside the rectangle dragged from the view's press
// position to (x, y) from every segment, then clears the selection and the picked
// point. The lists the cut left empty come back: keep them until the tree no
// longer shows them.
[[nodiscard]] TCutterUnlinked CutArea(TGPXDraw& view, int x, int y);
