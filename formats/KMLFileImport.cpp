// The KML reader of the KML file object.

#include <memory>
#include <string>
#include <vector>

#include "formats/KMLFile.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "platform/NumberText.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string U8(const WideString& text) { return XpWideToUtf8(text); }

// KML names compare by their local part, in any letter case.
bool LocalNameIs(const TXpNode* node, std::u16string_view name) {
  if (node->NodeType() != ELEMENT_NODE) return false;
  std::u16string_view own = node->NodeName();
  if (const std::size_t colon = own.rfind(u':'); colon != std::u16string_view::npos) own = own.substr(colon + 1);
  return XpSameAsciiText(own, name);
}

// The string value of the first node a path selects, empty when none.
std::string StringAt(TXpNode* node, const char16_t* path) { return U8(node->SelectString(path)); }

// The text of the first coordinates element a path selects. Where a comment or
// a CDATA section splits the text, the pieces stand apart as if by a blank:
// glued together, the tuples on both sides would merge into one.
std::string CoordinatesAt(TXpNode* node, const char16_t* path) {
  const TXpNode* coordinates = node->SelectSingleNode(path);
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
  explicit TKMLImport(TKMLFile& file) : file_(file) {}

  void ReadPlacemark(TXpNode* placemark) {
    ++placemarkCount_;
    if (placemark->SelectBoolean(u"Point")) {
      const std::string coordinates = CoordinatesAt(placemark, u"Point/coordinates");
      std::string tuple;
      ForEachTuple(coordinates, [&](std::string_view each) {
        if (tuple.empty()) tuple = each;
      });
      if (tuple.empty()) return;
      auto point = std::make_unique<TGPXwpt>();
      ReadTuple(tuple, *point);
      point->name = StringAt(placemark, u"name");
      if (placemark->SelectBoolean(u"TimeStamp/when"))
        point->DateTime = file_.ReadTime(StringAt(placemark, u"TimeStamp/when"), What() + ": when");
      point->desc = BreaksToCRLF(StringAt(placemark, u"Snippet"));
      waypoints_.push_back(std::move(point));
      ++pointPlacemarkWaypoints_;
    } else if (placemark->SelectBoolean(u"LineString")) {
      const std::string coordinates = CoordinatesAt(placemark, u"LineString/coordinates");
      const std::string name = StringAt(placemark, u"../name");
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
        waypoints_.push_back(std::move(point));
      } else if (segment->Count() >= 2) {
        auto track = std::make_unique<TGPXtrk>();
        track->name = name;
        track->Add(std::move(segment));
        tracks_.push_back(std::move(track));
      }
    } else {
      ++skipped_;
    }
  }

  void MoveInto(TGPX& target) {
    for (auto& point : waypoints_) target.wpt.Add(std::move(point));
    // Only point placemarks mark the list as filled, as one-point lines never did.
    if (pointPlacemarkWaypoints_) target.wpt.filled = true;
    for (auto& track : tracks_) target.trk.Add(std::move(track));
    if (!tracks_.empty()) target.trk.filled = true;
  }

  int Skipped() const { return skipped_; }

private:
  std::string What() const { return "Placemark " + std::to_string(placemarkCount_); }

  static std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
  }

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
      while (i < n && IsBlank(text[i])) ++i;
      tuple.clear();
      int commas = 0;
      while (i < n) {
        while (i < n && !IsBlank(text[i])) {
          if (text[i] == ',') ++commas;
          tuple += text[i++];
        }
        if (tuple.empty() || tuple.back() != ',' || commas >= 3) break;
        while (i < n && IsBlank(text[i])) ++i;
      }
      if (!tuple.empty() && tuple.back() == ',' && commas >= 3) tuple.pop_back();
      if (tuple.find(',') != std::string::npos) visit(std::string_view(tuple));
    }
  }

  // "lon,lat[,alt]": lon and lat must be a position, a missing or unreadable
  // altitude reads as 0.
  void ReadTuple(std::string_view tuple, TGPXwpt& point) {
    ++tupleCount_;
    const std::size_t first = tuple.find(',');
    const std::string_view lon = tuple.substr(0, first);
    std::string_view rest = tuple.substr(first + 1);
    const std::size_t second = rest.find(',');
    const std::string_view lat = rest.substr(0, second);
    const std::string_view alt = second == std::string_view::npos ? std::string_view("0") : rest.substr(second + 1);
    const std::string what = What() + ", coordinate " + std::to_string(tupleCount_);
    point.Longitude = ReadCoordinate(lon, 180, what + ": longitude");
    point.Latitude = ReadCoordinate(lat, 90, what + ": latitude");
    point.Altitude = numtext::ParseDouble(Trim(alt)).value_or(0);
  }

  TKMLFile& file_;
  std::vector<std::unique_ptr<TGPXwpt>> waypoints_;
  std::vector<std::unique_ptr<TGPXtrk>> tracks_;
  int placemarkCount_ = 0;
  int tupleCount_ = 0;
  int skipped_ = 0;
  int pointPlacemarkWaypoints_ = 0;
};

void TKMLFile::ImportKML(const std::string& FileName) {
  SkippedPlacemarks = 0;
  TXpObjModel model;
  if (!LoadDocument(model, FileName, " (")) return;
  TXpNode* root = nullptr;
  for (TXpNode* child : model.Document()->ChildNodes()->Nodes())
    if (LocalNameIs(child, u"kml")) root = child;
  if (!root) {
    LogNotLoaded(model);
    return;
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
    return;
  }
  model.ClearDocument();
  SkippedPlacemarks = reader.Skipped();
  if (GPXd) reader.MoveInto(*GPXd);
}
