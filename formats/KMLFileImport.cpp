// The KML reader of the KML file object.

#include <memory>
#include <string>
#include <vector>

#include "formats/KMLFile.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "platform/NumberText.h"

namespace {

std::string U8(const WideString& text) { return XpWideToUtf8(text); }

// KML names compare by their local part, in any letter case.
bool LocalNameIs(const TXpNode* node, std::u16string_view name) {
  if (node->NodeType() != ELEMENT_NODE) return false;
  std::u16string_view own = node->NodeName();
  if (const std::size_t colon = own.rfind(u':'); colon != std::u16string_view::npos) own = own.substr(colon + 1);
  return XpSameAsciiText(own, name);
}

// The namespace an element's name stands in, as a key: a prefix that no
// declaration binds stands for a namespace of its own.
WideString NamespaceKey(const TXpNode* element) {
  const std::u16string_view name = element->NodeName();
  const std::size_t colon = name.find(u':');
  const WideString prefix(colon == std::u16string_view::npos ? std::u16string_view() : name.substr(0, colon));
  WideString uri = element->ResolveNSPrefix(prefix);
  if (uri.empty() && !prefix.empty()) uri = u"\x01" + prefix;
  return uri;
}

// The first child element of parent with that local name (any letter case) in
// parent's own namespace, whatever prefix names it, so that <k:Placemark>
// <k:Point> under xmlns:k reads as <Placemark><Point> does. Null when none.
const TXpNode* KMLChild(const TXpNode* parent, std::u16string_view name) {
  if (!parent) return nullptr;
  const WideString space = NamespaceKey(parent);
  for (const TXpNode* child : parent->ChildNodes()->Nodes())
    if (LocalNameIs(child, name) && NamespaceKey(child) == space) return child;
  return nullptr;
}

const TXpNode* KMLChild(const TXpNode* parent, std::u16string_view name, std::u16string_view inner) {
  return KMLChild(KMLChild(parent, name), inner);
}

// A field's string value; empty when the element is absent.
std::string StringOf(const TXpNode* node) { return node ? U8(node->StringValue()) : std::string(); }

// The text of a coordinates element. Where a comment or a CDATA section splits
// it, the pieces stand apart as if by a blank: glued together, the tuples on
// both sides would merge into one.
std::string CoordinatesOf(const TXpNode* coordinates) {
  return coordinates ? U8(coordinates->Text()) : std::string();
}

// Every "<br/>", in any letter case, as CR LF.
std::string BreaksToCRLF(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.size() - i >= 5 && text[i] == '<' && (text[i + 1] == 'b' || text[i + 1] == 'B') &&
        (text[i + 2] == 'r' || text[i + 2] == 'R') && text[i + 3] == '/' && text[i + 4] == '>') {
      out += "\r\n";
      i += 5;
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace

class TKMLFile::TKMLImport {
public:
  explicit TKMLImport(TKMLFile& file) : fFile(file) {}

  void ReadPlacemark(const TXpNode* placemark) {
    ++fPlacemarkCount;
    if (const TXpNode* geometry = KMLChild(placemark, u"Point")) {
      const std::string coordinates = CoordinatesOf(KMLChild(geometry, u"coordinates"));
      std::string tuple;
      ForEachTuple(coordinates, [&](std::string_view each) {
        if (tuple.empty()) tuple = each;
      });
      if (tuple.empty()) return;
      auto point = std::make_unique<TGPXwpt>();
      ReadTuple(tuple, *point);
      point->name = StringOf(KMLChild(placemark, u"name"));
      if (const TXpNode* when = KMLChild(placemark, u"TimeStamp", u"when"))
        point->DateTime = fFile.ReadTime(StringOf(when), What() + ": when");
      point->desc = BreaksToCRLF(StringOf(KMLChild(placemark, u"Snippet")));
      fWaypoints.push_back(std::move(point));
      ++fPointPlacemarkWaypoints;
    } else if (const TXpNode* line = KMLChild(placemark, u"LineString")) {
      const std::string coordinates = CoordinatesOf(KMLChild(line, u"coordinates"));
      const std::string name = StringOf(KMLChild(placemark->ParentNode(), u"name"));
      auto segment = std::make_unique<TGPXtrkseg>();
      ForEachTuple(coordinates, [&](std::string_view tuple) {
        auto point = std::make_unique<TGPXwpt>();
        ReadTuple(tuple, *point);
        segment->Add(std::move(point));
        segment->filled = true;
      });
      if (segment->Count() == 1) {
        auto point = std::unique_ptr<TGPXwpt>(static_cast<TGPXwpt*>(segment->Delete(0).release()));
        point->name = name;
        fWaypoints.push_back(std::move(point));
      } else if (segment->Count() >= 2) {
        auto track = std::make_unique<TGPXtrk>();
        track->name = name;
        track->Add(std::move(segment));
        fTracks.push_back(std::move(track));
      }
    } else {
      ++fSkipped;
    }
  }

  void MoveInto(TGPX& target) {
    for (auto& point : fWaypoints) target.wpt.Add(std::move(point));
    // Only point placemarks mark the list as filled, as one-point lines never did.
    if (fPointPlacemarkWaypoints) target.wpt.filled = true;
    for (auto& track : fTracks) target.trk.Add(std::move(track));
    if (!fTracks.empty()) target.trk.filled = true;
  }

  int Skipped() const { return fSkipped; }

private:
  std::string What() const { return "Placemark " + std::to_string(fPlacemarkCount); }

  // Tuples stand apart by any white space. A blank after a comma stays inside
  // the tuple while it has fewer than three values ("-121.99, 37.44" is one
  // position); after the third value it ends the tuple, so "9.1,47.1,0,
  // 9.2,47.2,0" is two. A comma that ends a tuple is dropped; a tuple without
  // a comma is skipped.
  template <class Visit>
  static void ForEachTuple(const std::string& text, Visit&& visit) {
    std::string tuple;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
      while (i < n && XpIsXmlWhitespace(text[i])) ++i;
      tuple.clear();
      int commas = 0;
      while (i < n) {
        while (i < n && !XpIsXmlWhitespace(text[i])) {
          if (text[i] == ',') ++commas;
          tuple += text[i++];
        }
        if (tuple.empty() || tuple.back() != ',' || commas >= 3) break;
        while (i < n && XpIsXmlWhitespace(text[i])) ++i;
      }
      if (!tuple.empty() && tuple.back() == ',' && commas >= 3) tuple.pop_back();
      if (tuple.find(',') != std::string::npos) visit(std::string_view(tuple));
    }
  }

  // "lon,lat[,alt]": lon and lat must be a position, a missing or unreadable
  // altitude reads as 0.
  void ReadTuple(std::string_view tuple, TGPXwpt& point) {
    ++fTupleCount;
    const std::size_t first = tuple.find(',');
    const std::string_view lon = tuple.substr(0, first);
    std::string_view rest = tuple.substr(first + 1);
    const std::size_t second = rest.find(',');
    const std::string_view lat = rest.substr(0, second);
    const std::string_view alt = second == std::string_view::npos ? std::string_view("0") : rest.substr(second + 1);
    const std::string what = What() + ", coordinate " + std::to_string(fTupleCount);
    point.Longitude = ReadCoordinate(lon, 180, what + ": longitude");
    point.Latitude = ReadCoordinate(lat, 90, what + ": latitude");
    point.Altitude = numtext::ParseDouble(XpTrimXmlWhitespace(alt)).value_or(0);
  }

  TKMLFile& fFile;
  std::vector<std::unique_ptr<TGPXwpt>> fWaypoints;
  std::vector<std::unique_ptr<TGPXtrk>> fTracks;
  int fPlacemarkCount = 0;
  int fTupleCount = 0;
  int fSkipped = 0;
  int fPointPlacemarkWaypoints = 0;
};

TReadResult TKMLFile::ImportKML(const std::string& FileName) {
  const std::size_t logBefore = mLog.size();
  TXpObjModel model;
  if (!LoadDocument(model, FileName, " (")) return ResultSince(logBefore, false, {});
  TXpNode* root = nullptr;
  for (TXpNode* child : model.Document()->ChildNodes()->Nodes())
    if (LocalNameIs(child, u"kml")) root = child;
  if (!root) {
    LogNotLoaded(model);
    return ResultSince(logBefore, false, {});
  }
  Loaded = true;
  TKMLImport reader(*this);
  try {
    // From the root itself, so that a comment before the Document element or
    // a placemark right below kml is no loss.
    const std::unique_ptr<TXpNodeList> placemarks = root->SelectNodes(u".//Placemark");
    for (TXpNode* placemark : placemarks->Nodes()) reader.ReadPlacemark(placemark);
  } catch (const EGPXReadError& error) {
    AddLog(error.what());
    AddLog("File not loaded");
    Loaded = false;
    return ResultSince(logBefore, false, {});
  }
  model.ClearDocument();
  if (GPXd) reader.MoveInto(*GPXd);
  TReadFindings findings;
  findings.SkippedPlacemarks = reader.Skipped();
  return ResultSince(logBefore, true, std::move(findings));
}
