#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/GPS.h"
#include "model/GPX_Style.h"
#include "model/OwningList.h"
#include "platform/Object.h"

// The in-memory model of one GPX 1.1 document, plus what this system adds: the
// depth of every point, the maximum depth of each track segment and a line style
// per route and track.
//
// Ownership: every list owns its items; sub-records are plain members. Copies
// (CopyFrom) are deep and never share an object: the list copies (waypoint list,
// route and track lists, a track's segments, so a whole document) append, a
// route's or a segment's copy replaces its points; no copy carries an enabled
// flag, a box or Level. Optional GPX records carry `filled` instead of being
// absent; optional numbers start at the value that means absent.
//
// No field can be left out of a copy: a record of values copies with its
// defaulted copy, and the fields of a route, a segment, a track and the
// document beside their lists stand in a struct of their own (TGPXrteFields
// and its siblings) that is copied whole. A field of such a class belongs there.

class TGPX;

class TGPXLink : public TObject {
public:
  const char* ClassName() const override { return "TGPXLink"; }
  void CopyFrom(const TGPXLink& Link);

  std::string href;
  std::string text;
  std::string ltype;
  bool filled = false;
};

class TGPXemail : public TObject {
public:
  const char* ClassName() const override { return "TGPXemail"; }
  void CopyFrom(const TGPXemail& email);

  std::string id;
  std::string domain;
  bool filled = false;
};

class TGPXperson : public TObject {
public:
  const char* ClassName() const override { return "TGPXperson"; }
  void CopyFrom(const TGPXperson& Person);

  std::string name;
  TGPXemail email;
  TGPXLink link;
  bool filled = false;
};

class TGPXcopyright : public TObject {
public:
  const char* ClassName() const override { return "TGPXcopyright"; }
  void CopyFrom(const TGPXcopyright& Copyright);

  std::string author;
  std::int32_t year = -1;  // -1 = absent
  std::string license;
  bool filled = false;
};

class TGPXbounds : public TObject {
public:
  const char* ClassName() const override { return "TGPXbounds"; }
  void CopyFrom(const TGPXbounds& Bounds);

  double minlat = 0;
  double minlon = 0;
  double maxlat = 0;
  double maxlon = 0;
  bool filled = false;
};

// Raw XML text of the document's top-level extensions.
class TGPXExtension : public TObject {
public:
  const char* ClassName() const override { return "TGPXExtension"; }
  void CopyFrom(const TGPXExtension& extension);

  std::string Text;
};

class TGPXmetadata : public TObject {
public:
  const char* ClassName() const override { return "TGPXmetadata"; }
  void CopyFrom(const TGPXmetadata& Metadata);

  std::string name;
  std::string desc;
  TGPXperson author;
  TGPXcopyright copyright;
  TGPXLink link;
  TDateTime mtime = 0;
  std::string keywords;
  TGPXbounds bounds;
  std::string extensions;
  bool filled = false;
};

// The options of a GPX file object; the writers read GPX_Style and Compress.
class TGPXOptions : public TObject {
public:
  TGPXOptions() = default;
  const char* ClassName() const override { return "TGPXOptions"; }
  // Every field except User_Agent.
  void CopyFrom(const TGPXOptions& GPXOptions);

  bool GPX_Style = false;
  bool Compress = false;
  std::int32_t FileHistory = 8;
  std::int32_t ClipBoardStyle = 0;
  std::uint8_t ProxyType = 0;
  std::string ProxyHttpIP;
  std::string ProxyHttpPort;
  std::string ProxySocksIP;
  std::string ProxySocksPort;
  std::uint8_t ElevationDatabase = 2;
  std::string GeoNamesUsername;
  std::string User_Agent;
  bool IgnoreXMLVersion = false;
  bool KeepXMLCRLF = false;

protected:
  // Every field; CopyFrom keeps User_Agent.
  TGPXOptions(const TGPXOptions&) = default;
  TGPXOptions& operator=(const TGPXOptions&) = default;
};

// One waypoint, route point or track point.
class TGPXwpt : public TPoint4D2 {
public:
  TGPXwpt() = default;
  const char* ClassName() const override { return "TGPXwpt"; }

  using TPoint4D2::CopyFrom;
  // Everything but Level and enabled.
  void CopyFrom(const TGPXwpt& WayPoint);

  double magvar = 0;
  double geoidheight = 0;
  std::string name;
  std::string cmt;
  std::string desc;
  std::string src;
  TGPXLink link;
  std::string sym;
  std::string wtype;
  std::string fix;
  std::uint8_t sat = 255;        // 255 = absent
  double hdop = -1.0;            // -1 = absent
  double vdop = -1.0;            // -1 = absent
  double pdop = -1.0;            // -1 = absent
  double ageofdgpsdata = -1.0;   // -1 = absent
  std::int32_t dgpsid = -1;      // -1 = absent
  std::string extensions;        // raw text of the point's extensions

protected:
  // Every field; CopyFrom keeps Level and enabled.
  TGPXwpt(const TGPXwpt&) = default;
  TGPXwpt& operator=(const TGPXwpt&) = default;
};

// A point list that holds only TGPXwpt (anything else is refused on entry, so
// the typed views below are always right). Enabled after construction.
// `for (TGPXwpt& p : list.Waypoints())` walks the points. SortByDate (of the
// point list) orders the points with CompareWaypointsByDate.
class TGPXwptList : public TPointList2 {
public:
  TGPXwptList() { SetEnabled(true); }
  const char* ClassName() const override { return "TGPXwptList"; }

  TGPXwpt* GetWaypoint(int Index) const { return static_cast<TGPXwpt*>(GetPoint(Index)); }
  void SetWayPoint(int Index, std::unique_ptr<TGPXwpt> WayPoint) { SetPoint(Index, std::move(WayPoint)); }

  TItemRange<TGPXwpt, TPoint4D2> Waypoints() const { return {Storage().begin(), Storage().end()}; }

  // Appends a copy of every point of wptlist (points held stay), then takes its
  // `filled`. Copying a list into itself doubles it.
  void CopyFrom(const TGPXwptList& wptlist);

protected:
  void CheckAccepts(const TPoint4D2& item) const override;

  // Replaces the points by copies of source's points.
  void ReplacePointsWithCopiesOf(const TGPXwptList& source);
};

// What a route holds beside its points; copied whole.
struct TGPXrteFields {
  std::string name;
  std::string cmt;
  std::string desc;
  std::string src;
  TGPXLink link;
  std::int32_t number = -1;  // -1 = absent
  std::string rtype;
  std::string extensions;
  TGPX_StyleLine LineStyle;
};

class TGPXrte : public TGPXwptList, public TGPXrteFields {
public:
  TGPXrte() = default;
  const char* ClassName() const override { return "TGPXrte"; }

  TGPXwpt* GetRtePoint(int Index) const { return GetWaypoint(Index); }
  void SetRtePoint(int Index, std::unique_ptr<TGPXwpt> RtePoint) { SetWayPoint(Index, std::move(RtePoint)); }

  // The route's texts, number and style; its points are replaced by copies of
  // Route's.
  void CopyFrom(const TGPXrte& Route);
};

// What a track segment holds beside its points; copied whole.
struct TGPXtrksegFields {
  // Depth stamp in cm set by the loaders: 0 marks a shore line, otherwise the
  // segment's maximum (or typed) depth plus any typed offset. Not in GPX files.
  std::int32_t maxdepth = 0;
  std::string extensions;
};

class TGPXtrkseg : public TGPXwptList, public TGPXtrksegFields {
public:
  TGPXtrkseg() = default;
  const char* ClassName() const override { return "TGPXtrkseg"; }

  TGPXwpt* GetTrkPoint(int Index) const { return GetWaypoint(Index); }
  void SetTrkPoint(int Index, std::unique_ptr<TGPXwpt> Point) { SetWayPoint(Index, std::move(Point)); }

  // extensions and maxdepth; the points are replaced by copies of TrackSeg's.
  void CopyFrom(const TGPXtrkseg& TrackSeg);
};

// What a join gives back: the object that received the points (nullptr when
// nothing was joined), and the object that left the document -- the second
// route or segment, or the track that held only that segment -- now the
// caller's. Whoever holds it must make sure nothing picks it any more (the
// selection, a view) before dropping it, which frees it.
template <class Kept, class Gone = TObject>
struct [[nodiscard]] TGPXJoin {
  Kept* Joined = nullptr;
  std::unique_ptr<Gone> Unlinked;
};

// What a track holds beside its segments; copied whole.
struct TGPXtrkFields {
  std::string name;
  std::string cmt;
  std::string desc;
  std::string src;
  TGPXLink link;
  std::int32_t number = -1;  // -1 = absent
  std::string ttype;
  std::string extensions;
  TGPX_StyleLine LineStyle;
};

// A track: an ordered list of its segments. `for (TGPXtrkseg& s : track)`.
class TGPXtrk : public TOwningList<TGPXtrkseg>, public TGPXtrkFields {
public:
  TGPXtrk() = default;
  const char* ClassName() const override { return "TGPXtrk"; }

  TGPXtrkseg* GetTrkSeg(int Index) const { return Items(Index); }
  void SetTrkSeg(int Index, std::unique_ptr<TGPXtrkseg> tseg) { SetItem(Index, std::move(tseg)); }

  bool Enabled() const { return penabled; }
  void SetEnabled(bool value);  // passes down to every segment

  // The track's texts, number and style; appends a copy of every segment of trk
  // (segments held stay).
  void CopyFrom(const TGPXtrk& trk);

  // Cuts segment Which in two at its point Where (index i, 3 <= i <= Count - 3):
  // Which keeps points 0 to i, a new segment of copies of points i to the end is
  // inserted right after it (at 0 when Which is not in this track) and returned.
  // Otherwise nothing changes and the result is nullptr.
  TGPXtrkseg* Cuttrkseg(TGPXtrkseg& Which, const TGPXwpt* Where);

  // Orders the segments by the time of their first points. Every segment must
  // hold a point: otherwise EListError, with the track untouched.
  void SortByDate();

private:
  bool penabled = true;
};

// What the document's route and track lists share: they own their items, pass
// Enabled down to every one, and copy with their `filled`.
template <class Item>
class TGPXDocumentList : public TOwningList<Item> {
public:
  bool Enabled() const { return penabled; }
  // Passes down to every item.
  void SetEnabled(bool value) {
    penabled = value;
    for (Item& item : *this) item.SetEnabled(value);
  }

  bool filled = false;

protected:
  // Takes the other list's `filled`, then appends a copy of every item.
  void CopyListFrom(const TGPXDocumentList& other) {
    filled = other.filled;
    this->AppendCopiesOf(other);
  }

private:
  bool penabled = true;
};

class TGPXrteList : public TGPXDocumentList<TGPXrte> {
public:
  TGPXrteList() = default;
  const char* ClassName() const override { return "TGPXrteList"; }

  TGPXrte* GetRoute(int Index) const { return Items(Index); }
  void SetRoute(int Index, std::unique_ptr<TGPXrte> Route) { SetItem(Index, std::move(Route)); }

  void CopyFrom(const TGPXrteList& rtelist) { CopyListFrom(rtelist); }

  // As TGPXtrk::Cuttrkseg; the new route's name gets " (part 2)" appended.
  TGPXrte* CutRoute(TGPXrte& Which, const TGPXwpt* Where);

  // Joins Route2 into Route1 and unlinks Route2 from this list. Route2's points
  // go after Route1's when the routes meet there (last point of Route1 at the
  // same place as Route2's first), when Route1 ends earlier than Route2 starts,
  // or when Route1 stands before Route2 in this list; in front otherwise. A point
  // where they meet is held once. Route1 receives copies; Route2 keeps its own
  // points. EListError before anything changes when a route has no points or
  // Route2 is not in this list; the same route twice joins nothing.
  TGPXJoin<TGPXrte, TGPXrte> BindRoutes(TGPXrte& Route1, TGPXrte& Route2);

  // Orders the routes by the time of their first points. Every route must hold
  // a point: otherwise EListError, with the list untouched.
  void SortByDate();
};

class TGPXtrkList : public TGPXDocumentList<TGPXtrk> {
public:
  TGPXtrkList() = default;
  const char* ClassName() const override { return "TGPXtrkList"; }

  TGPXtrk* GetTrack(int Index) const { return Items(Index); }
  void SetTrack(int Index, std::unique_ptr<TGPXtrk> Track) { SetItem(Index, std::move(Track)); }

  void CopyFrom(const TGPXtrkList& trkList) { CopyListFrom(trkList); }

  // The first track that holds the segment; nullptr when none does.
  TGPXtrk* GetTrackOfTrackSeg(const TGPXtrkseg* TrackSeg) const;

  // Joins TrackSeg2 into TrackSeg1 as BindRoutes joins routes; when neither the
  // meeting point nor the times decide, TrackSeg2 goes after TrackSeg1 when it
  // stands later in the document (track index, then segment index). TrackSeg2
  // leaves its track, or the track leaves this list when it held only
  // TrackSeg2. EListError before anything changes when a segment has no points
  // or TrackSeg2 is in no track of this list.
  TGPXJoin<TGPXtrkseg> BindTrackSeg(TGPXtrkseg& TrackSeg1, TGPXtrkseg& TrackSeg2);
};

// The picked objects (waypoints, routes, track segments, tracks) of a document.
// It only points at objects that the document's lists own and never frees them:
// whoever frees or unlinks a picked object removes it from here first (Remove).
class TGPXSelection : public TObject {
public:
  TGPXSelection() = default;
  // Each document has its one selection of its own objects.
  TGPXSelection(const TGPXSelection&) = delete;
  TGPXSelection& operator=(const TGPXSelection&) = delete;
  const char* ClassName() const override { return "TGPXSelection"; }

  int Count() const { return static_cast<int>(fItems.size()); }
  TObject* Items(int Index) const;
  int Add(TObject* item);  // a non-empty object; returns the new index
  void Insert(int Index, TObject* item);
  void Delete(int Index);
  int Remove(const TObject* item);  // unlinks the first occurrence; its index or -1
  int IndexOf(const TObject* item) const;
  void Clear() { fItems.clear(); }

  bool IsInSelection(const TObject* Truc) const { return IndexOf(Truc) >= 0; }
  // Some item is exactly a route or a track segment (Is<T>).
  bool APointListIsSelected() const;
  // Empties this selection; picked objects of another document are never taken.
  void copyFrom(const TGPXSelection& selection);

  auto begin() const { return fItems.begin(); }
  auto end() const { return fItems.end(); }

  TGPX* Parent = nullptr;  // the document it belongs to

private:
  std::vector<TObject*> fItems;
};

// What TGPX::Clear unlinks, handed to the caller as one bundle. The rule: the
// caller keeps the bundle until every view and tree that may still point at
// these objects has been cleared or rebuilt, then drops it, which frees them all.
struct TGPXUnlinked {
  std::vector<std::unique_ptr<TPoint4D2>> wpt;  // each a TGPXwpt
  std::vector<std::unique_ptr<TGPXrte>> rte;
  std::vector<std::unique_ptr<TGPXtrk>> trk;
};

// What a document holds beside its lists and its selection; copied whole.
struct TGPXFields {
  std::string version;
  std::string creator;
  TGPXmetadata metadata;
  TGPXExtension extension;
};

class TGPX : public TObject, public TGPXFields {
public:
  TGPX() { Selection.Parent = this; }
  ~TGPX() override;
  const char* ClassName() const override { return "TGPX"; }

  bool Enabled() const { return penabled; }
  // Passes down to the waypoints, the routes and the tracks.
  void SetEnabled(bool value);

  // version, creator, metadata, extension; appends copies of the waypoints,
  // routes and tracks; leaves the selection empty.
  void CopyFrom(const TGPX& GPXd);

  // Empties the selection and unlinks every waypoint, route and track (their
  // lists' `filled` False); metadata, version, creator and extension stay. The
  // unlinked objects come back to the caller: see TGPXUnlinked for the rule.
  [[nodiscard]] TGPXUnlinked Clear();

  // Writes the extent of the enabled points into metadata.bounds (and marks it
  // and metadata filled) when that extent has a width and a height; recomputes
  // the lists' boxes on the way.
  void ComputeMetaBounds();

  // The list that holds waypoint: wpt, else the first route, else the first
  // segment (tracks in order) that holds it; nullptr when none does.
  TGPXwptList* GetWaypointParent(const TGPXwpt* waypoint) const;

  // Joins the two picked objects -- two routes (BindRoutes) or two track
  // segments (BindTrackSeg), the first receiving the second -- and takes what
  // left the document out of the selection. Any other selection joins nothing.
  TGPXJoin<TObject> BindSelection();

  TGPXwptList wpt;
  TGPXrteList rte;
  TGPXtrkList trk;
  TGPXSelection Selection;

private:
  bool penabled = true;
};

// 1 when Item1 is later, -1 when earlier, 0 for the same time.
inline int CompareWaypointsByDate(const TGPXwpt& Item1, const TGPXwpt& Item2) {
  return ComparePointsByDate(Item1, Item2);
}

// CompareWaypointsByDate of the first points; EListError for a list without points.
int ComparePointListsByDate(const TPointList2& Item1, const TPointList2& Item2);
