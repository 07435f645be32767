#include "model/GPX.h"

#include <stdexcept>

// ---- records -------------------------------------------------------------

void TGPXLink::CopyFrom(const TGPXLink& Link) { *this = Link; }

void TGPXemail::CopyFrom(const TGPXemail& email) { *this = email; }

void TGPXperson::CopyFrom(const TGPXperson& Person) { *this = Person; }

void TGPXcopyright::CopyFrom(const TGPXcopyright& Copyright) { *this = Copyright; }

void TGPXbounds::CopyFrom(const TGPXbounds& Bounds) { *this = Bounds; }

void TGPXExtension::CopyFrom(const TGPXExtension& extension) { *this = extension; }

void TGPXmetadata::CopyFrom(const TGPXmetadata& Metadata) { *this = Metadata; }

void TGPXOptions::CopyFrom(const TGPXOptions& GPXOptions) {
  std::string userAgent = User_Agent;
  *this = GPXOptions;
  User_Agent = std::move(userAgent);
}

// ---- points and point lists ----------------------------------------------

void TGPXwpt::CopyFrom(const TGPXwpt& WayPoint) {
  const std::uint8_t level = Level;
  const bool wasEnabled = enabled;
  *this = WayPoint;
  Level = level;
  enabled = wasEnabled;
}

namespace {

std::unique_ptr<TGPXwpt> CopyOf(const TGPXwpt& point) {
  auto copy = std::make_unique<TGPXwpt>();
  copy->CopyFrom(point);
  return copy;
}

}  // namespace

void TGPXwptList::CheckAccepts(const TPoint4D2& item) const {
  if (!dynamic_cast<const TGPXwpt*>(&item))
    throw std::invalid_argument(std::string(ClassName()) + " holds only TGPXwpt points");
}

void TGPXwptList::CopyFrom(const TGPXwptList& wptlist) {
  // Counted first, so that a list copied into itself doubles once.
  const int count = wptlist.Count();
  for (int i = 0; i < count; ++i) Add(CopyOf(*wptlist.GetWaypoint(i)));
  filled = wptlist.filled;
}

void TGPXwptList::ReplacePointsWithCopiesOf(const TGPXwptList& source) {
  if (&source == this) return;  // freeing first would lose the very points to copy
  ClearPointList();
  for (const TGPXwpt& point : source.Waypoints()) Add(CopyOf(point));
}

void TGPXrte::CopyFrom(const TGPXrte& Route) {
  static_cast<TGPXrteFields&>(*this) = Route;
  ReplacePointsWithCopiesOf(Route);
}

void TGPXtrkseg::CopyFrom(const TGPXtrkseg& TrackSeg) {
  static_cast<TGPXtrksegFields&>(*this) = TrackSeg;
  ReplacePointsWithCopiesOf(TrackSeg);
}

// ---- tracks and the document's lists -------------------------------------

void TGPXtrk::SetEnabled(bool value) {
  penabled = value;
  for (TGPXtrkseg& segment : *this) segment.SetEnabled(value);
}

void TGPXtrk::CopyFrom(const TGPXtrk& trk) {
  static_cast<TGPXtrkFields&>(*this) = trk;
  AppendCopiesOf(trk);
}


// ---- selection -----------------------------------------------------------

TObject* TGPXSelection::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Index);
  return fItems[static_cast<std::size_t>(Index)];
}

int TGPXSelection::Add(TObject* item) {
  Insert(Count(), item);
  return Count() - 1;
}

void TGPXSelection::Insert(int Index, TObject* item) {
  if (Index < 0 || Index > Count()) throw EListError(Index);
  if (!item) throw std::invalid_argument("a selected object must not be empty");
  fItems.insert(fItems.begin() + Index, item);
}

void TGPXSelection::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw EListError(Index);
  fItems.erase(fItems.begin() + Index);
}

int TGPXSelection::Remove(const TObject* item) {
  const int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

int TGPXSelection::IndexOf(const TObject* item) const {
  for (std::size_t i = 0; i < fItems.size(); ++i)
    if (fItems[i] == item) return static_cast<int>(i);
  return -1;
}

bool TGPXSelection::APointListIsSelected() const {
  for (const TObject* item : fItems)
    if (item->Is<TGPXrte>() || item->Is<TGPXtrkseg>()) return true;
  return false;
}

void TGPXSelection::copyFrom(const TGPXSelection& /*selection*/) { Clear(); }

// ---- document ------------------------------------------------------------

TGPX::~TGPX() {
  // Nothing may point into the lists while they free their items.
  Selection.Clear();
}

void TGPX::SetEnabled(bool value) {
  penabled = value;
  wpt.SetEnabled(value);
  rte.SetEnabled(value);
  trk.SetEnabled(value);
}

void TGPX::CopyFrom(const TGPX& GPXd) {
  static_cast<TGPXFields&>(*this) = GPXd;
  wpt.CopyFrom(GPXd.wpt);
  rte.CopyFrom(GPXd.rte);
  trk.CopyFrom(GPXd.trk);
  Selection.copyFrom(GPXd.Selection);
}

TGPXUnlinked TGPX::Clear() {
  Selection.Clear();
  TGPXUnlinked unlinked;
  unlinked.wpt = wpt.Clear();
  wpt.filled = false;
  unlinked.rte = rte.Clear();
  rte.filled = false;
  unlinked.trk = trk.Clear();
  trk.filled = false;
  return unlinked;
}

void TGPX::ComputeMetaBounds() {
  // The union is taken here rather than with TBBox::Add: while one of its edges
  // is 0, Add copies each further box over itself, so data reaching the equator
  // or the prime meridian would get the bounds of its last segment only.
  bool any = false;
  double n = 0, s = 0, e = 0, o = 0;
  auto join = [&](const TBBox& box) {
    if (!box.Complete) return;  // stale or zero edges: nothing to join
    if (!any) {
      n = box.N, s = box.S, e = box.E, o = box.O;
      any = true;
      return;
    }
    n = MaxDouble(n, box.N);
    s = MinDouble(s, box.S);
    e = MaxDouble(e, box.E);
    o = MinDouble(o, box.O);
  };
  wpt.CalcBBox(true);
  join(wpt.BBox);
  for (TGPXrte& route : rte) {
    route.CalcBBox(true);
    join(route.BBox);
  }
  for (TGPXtrk& track : trk) {
    for (TGPXtrkseg& segment : track) {
      segment.CalcBBox(true);
      join(segment.BBox);
    }
  }
  if (any && e != o && n != s) {
    metadata.bounds.minlat = MinDouble(n, s);
    metadata.bounds.maxlat = MaxDouble(n, s);
    metadata.bounds.minlon = MinDouble(e, o);
    metadata.bounds.maxlon = MaxDouble(e, o);
    metadata.filled = true;
    metadata.bounds.filled = true;
  }
}

TGPXwptList* TGPX::GetWaypointParent(const TGPXwpt* waypoint) const {
  if (wpt.Contains(waypoint)) return const_cast<TGPXwptList*>(&wpt);
  for (TGPXrte& route : rte)
    if (route.Contains(waypoint)) return &route;
  for (TGPXtrk& track : trk)
    for (TGPXtrkseg& segment : track)
      if (segment.Contains(waypoint)) return &segment;
  return nullptr;
}
