// Cutting, joining and sorting the routes and track segments of a document.

#include <string_view>
#include <utility>
#include <vector>

#include "model/GPX.h"

namespace {

// "The same place" of the joins: exact equality, no tolerance.
bool SamePlace(const TPoint4D2& a, const TPoint4D2& b) {
  return a.Longitude == b.Longitude && a.Latitude == b.Latitude && a.Altitude == b.Altitude;
}

// ---- cut -------------------------------------------------------------------

// The index of Where in Which when a cut there leaves at least 4 points in the
// first part and 3 in the second; -1 otherwise.
int CutIndex(const TGPXwptList& which, const TGPXwpt* where) {
  const int i = which.IndexOf(where);
  return i >= 3 && i <= which.Count() - 3 ? i : -1;
}

// A deep copy of which that keeps the copies of its points from index cut on.
template <class Part>
std::unique_ptr<Part> SecondPart(const Part& which, int cut) {
  auto second = std::make_unique<Part>();
  second->CopyFrom(which);
  second->FreeRange(0, cut);
  return second;
}

// Puts the second part right after which (at the front when the list does not
// hold which), and only then trims which, so a failure changes nothing.
template <class List, class Part>
Part* InsertSecondPart(List& list, Part& which, std::unique_ptr<Part> second, int cut) {
  Part* inserted = second.get();
  list.Insert(list.IndexOf(&which) + 1, std::move(second));
  which.FreeRange(cut + 1, which.Count());
  return inserted;
}

// ---- join ------------------------------------------------------------------

// The index error a join gives when a side has no points (at its last point for
// the first side, at its first point for the second).
void RequirePoints(const TGPXwptList& first, const TGPXwptList& second) {
  if (first.IsEmpty()) throw EListError(-1);
  if (second.IsEmpty()) throw EListError(0);
}

std::vector<std::unique_ptr<TGPXwpt>> CopiesOf(const TGPXwptList& list, int from, int to) {
  std::vector<std::unique_ptr<TGPXwpt>> copies;
  copies.reserve(static_cast<std::size_t>(to - from));
  for (int i = from; i < to; ++i) {
    copies.push_back(std::make_unique<TGPXwpt>());
    copies.back()->CopyFrom(*list.GetWaypoint(i));
  }
  return copies;
}

std::vector<std::unique_ptr<TPoint4D2>> AsPoints(std::vector<std::unique_ptr<TGPXwpt>> copies) {
  return {std::make_move_iterator(copies.begin()), std::make_move_iterator(copies.end())};
}

// Copies second's points into first: after its points when they meet there,
// when first ends earlier than second starts, or when firstStandsEarlier; in
// front of them otherwise. A meeting point is held once. Both hold points.
void JoinPoints(TGPXwptList& first, const TGPXwptList& second, bool firstStandsEarlier) {
  const TGPXwpt& firstEnd = *first.GetWaypoint(first.Count() - 1);
  const TGPXwpt& secondStart = *second.GetWaypoint(0);
  const bool meetAtEnd = SamePlace(firstEnd, secondStart);
  if (meetAtEnd || firstEnd.DateTime < secondStart.DateTime || firstStandsEarlier) {
    first.InsertAll(first.Count(), AsPoints(CopiesOf(second, meetAtEnd ? 1 : 0, second.Count())));
  } else {
    const bool meetAtStart = SamePlace(*first.GetWaypoint(0), *second.GetWaypoint(second.Count() - 1));
    first.InsertAll(0, AsPoints(CopiesOf(second, 0, meetAtStart ? second.Count() - 1 : second.Count())));
  }
}

// ---- sort ------------------------------------------------------------------

// Checked before sorting: a compare that throws inside the sort could leave
// the list with items lost or doubled.
template <class List>
void SortPointListsByDate(List& list) {
  for (const auto& item : list)
    if (item.IsEmpty()) throw EListError(0);
  list.Sort(ComparePointListsByDate);
}

// ---- selection ---------------------------------------------------------------

template <class Kept, class Gone>
TGPXJoin<TObject> Widened(TGPXJoin<Kept, Gone>&& joined) {
  return {joined.Joined, std::move(joined.Unlinked)};
}

}  // namespace

int ComparePointListsByDate(const TPointList2& Item1, const TPointList2& Item2) {
  return ComparePointsByDate(*Item1.First(), *Item2.First());
}

// ---- routes ------------------------------------------------------------------

TGPXrte* TGPXrteList::CutRoute(TGPXrte& Which, const TGPXwpt* Where) {
  const int cut = CutIndex(Which, Where);
  if (cut < 0) return nullptr;
  auto second = SecondPart(Which, cut);
  second->name += " (part 2)";
  return InsertSecondPart(*this, Which, std::move(second), cut);
}

TGPXJoin<TGPXrte, TGPXrte> TGPXrteList::BindRoutes(TGPXrte& Route1, TGPXrte& Route2) {
  if (&Route1 == &Route2) return {};
  RequirePoints(Route1, Route2);
  const int index2 = IndexOf(&Route2);
  if (index2 < 0) throw EListError(index2);
  JoinPoints(Route1, Route2, IndexOf(&Route1) < index2);
  return {&Route1, Delete(index2)};
}

void TGPXrteList::SortByDate() { SortPointListsByDate(*this); }

// ---- tracks and segments -------------------------------------------------------

TGPXtrkseg* TGPXtrk::Cuttrkseg(TGPXtrkseg& Which, const TGPXwpt* Where) {
  const int cut = CutIndex(Which, Where);
  if (cut < 0) return nullptr;
  return InsertSecondPart(*this, Which, SecondPart(Which, cut), cut);
}

void TGPXtrk::SortByDate() { SortPointListsByDate(*this); }

TGPXtrk* TGPXtrkList::GetTrackOfTrackSeg(const TGPXtrkseg* TrackSeg) const {
  for (TGPXtrk& track : *this)
    if (track.Contains(TrackSeg)) return &track;
  return nullptr;
}

TGPXJoin<TGPXtrkseg> TGPXtrkList::BindTrackSeg(TGPXtrkseg& TrackSeg1, TGPXtrkseg& TrackSeg2) {
  if (&TrackSeg1 == &TrackSeg2) return {};
  RequirePoints(TrackSeg1, TrackSeg2);
  TGPXtrk* track2 = GetTrackOfTrackSeg(&TrackSeg2);
  if (track2 == nullptr) throw EListError(-1);

  // Document order, track first; a segment in no track stands before all.
  auto position = [this](const TGPXtrkseg& segment) {
    const TGPXtrk* track = GetTrackOfTrackSeg(&segment);
    return track ? std::pair(IndexOf(track), track->IndexOf(&segment)) : std::pair(-1, -1);
  };
  JoinPoints(TrackSeg1, TrackSeg2, position(TrackSeg1) < position(TrackSeg2));

  TGPXJoin<TGPXtrkseg> joined{&TrackSeg1, nullptr};
  if (track2->Count() == 1)
    joined.Unlinked = Extract(track2);
  else
    joined.Unlinked = track2->Extract(&TrackSeg2);
  return joined;
}

// ---- document --------------------------------------------------------------------

TGPXJoin<TObject> TGPX::BindSelection() {
  if (Selection.Count() != 2) return {};
  TObject* first = Selection.Items(0);
  TObject* second = Selection.Items(1);

  TGPXJoin<TObject> result;
  if (auto* route1 = first->As<TGPXrte>()) {
    auto* route2 = second->As<TGPXrte>();
    if (!route2) return {};
    result = Widened(rte.BindRoutes(*route1, *route2));
  } else {
    auto* segment1 = first->As<TGPXtrkseg>();
    auto* segment2 = second->As<TGPXtrkseg>();
    if (!segment1 || !segment2) return {};
    result = Widened(trk.BindTrackSeg(*segment1, *segment2));
  }
  // The selection only refers to what the document owns.
  if (result.Unlinked) Selection.Remove(second);
  return result;
}
