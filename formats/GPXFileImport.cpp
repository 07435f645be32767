// The GPX reader: the object model parses the file, a walker reads the gpx root
// into a document of its own, and only a file read whole reaches GPXd.

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/GPXFile.h"
#include "formats/GPXFileMarkup.h"
#include "formats/GPXFilePoint.h"
#include "formats/GPXFileScan.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "lib/verAziruzi/XpDOMWriter.h"
#include "lib/verAziruzi/XpInet.h"
#include "platform/LocalFiles.h"
#include "platform/NumberText.h"

namespace {

using gpxpoint::Int32Or;
using gpxpoint::IntegerOr;
using gpxpoint::NumberOr;
using gpxpoint::ReadNumber;

std::string U8(const WideString& text) { return XpWideToUtf8(text); }

// The children of node whose names the path step names, by the document's
// case rule.
template <class Visit>
void ForChildrenNamed(const TXpNode* node, std::u16string_view name, Visit&& visit) {
  for (TXpNode* child : node->ChildNodes()->Nodes())
    if (child->NodeType() == ELEMENT_NODE && child->NameMatches(name)) visit(child);
}

// The first element below node, in document order, whose local name is
// "depth" in any letter case and that is not our own h:depth; null when none.
// Walked with a stack of its own, as extensions may nest as deep as the parser
// lets them.
const TXpNode* ForeignDepthBelow(const TXpNode* node) {
  std::vector<const TXpNode*> pending;
  const auto pushChildren = [&pending](const TXpNode* parent) {
    const auto& children = parent->ChildNodes()->Nodes();
    for (auto child = children.rbegin(); child != children.rend(); ++child)
      if ((*child)->NodeType() == ELEMENT_NODE) pending.push_back(*child);
  };
  pushChildren(node);
  while (!pending.empty()) {
    const TXpNode* element = pending.back();
    pending.pop_back();
    if (gpxpoint::IsForeignDepthName(std::u16string_view(element->NodeName()))) return element;
    pushChildren(element);
  }
  return nullptr;
}

// The last node a relative path selects below node; the tree holds it.
const TXpNode* LastByPath(const TXpNode* node, std::u16string_view path) {
  // A selection only reads the tree.
  return const_cast<TXpNode*>(node)->SelectNodes(WideString(path))->Last();
}

// The markup of node's children as it stands in its file. A point's extensions
// are kept so: the writer never writes them, and a survey has a million.
std::string ChildrenMarkup(const TXpNode* node) {
  WideString markup;
  for (const TXpNode* child : node->ChildNodes()->Nodes()) XpAppendNode(child, markup);
  return std::string(XpTrimXmlWhitespace(U8(markup)));
}

// The markup of node's children as the writer puts it into another file:
// every prefix they use declared.
std::string KeptChildrenMarkup(const TXpNode* node) {
  return std::string(XpTrimXmlWhitespace(U8(GPXKeptChildrenMarkup(node))));
}

// The text of a field element: its one text child read in place, or else
// everything gathered into `gathered`.
std::u16string_view FieldText(const TXpNode* node, WideString& gathered) {
  const TXpNodeVector& children = node->ChildNodes()->Nodes();
  if (children.empty()) return {};
  if (children.size() == 1 && (children[0]->NodeType() == TEXT_NODE || children[0]->NodeType() == CDATA_SECTION_NODE))
    return children[0]->NodeValue();
  gathered = node->Text();
  return gathered;
}

// A text as UTF-8, without an allocation when it is short ASCII, as every
// number and time is.
class TNarrowText {
public:
  explicit TNarrowText(std::u16string_view text) {
    if (text.size() <= sizeof(fSmall)) {
      std::size_t i = 0;
      for (; i < text.size() && text[i] < 0x80; ++i) fSmall[i] = static_cast<char>(text[i]);
      if (i == text.size()) {
        fView = std::string_view(fSmall, i);
        return;
      }
    }
    fBig = XpWideToUtf8(text);
    fView = fBig;
  }
  TNarrowText(const TNarrowText&) = delete;
  TNarrowText& operator=(const TNarrowText&) = delete;
  std::string_view View() const { return fView; }

private:
  char fSmall[64];
  std::string fBig;
  std::string_view fView;
};

}  // namespace

// ---------------------------------------------------------------------------
// Shared with the KML reader

bool TGPXFile::LoadDocument(TXpObjModel& model, const std::string& FileName, std::string_view context) {
  model.SetIgnoreCase(true);
  model.SetLineBreakMode(lbmDefault);
  try {
    if (model.LoadDataSource(XpUtf8ToWide(FileName))) return true;
  } catch (const std::exception& error) {
    AddLog(std::string(error.what()) + std::string(context) + "0).");
    return false;
  }
  LogNotLoaded(model);
  return false;
}

TReadResult TGPXFile::ResultSince(std::size_t logBefore, bool loaded, TReadFindings findings) const {
  TReadResult result;
  result.Loaded = loaded;
  result.Lines.assign(mLog.begin() + static_cast<std::ptrdiff_t>(std::min(logBefore, mLog.size())), mLog.end());
  result.Findings = std::move(findings);
  return result;
}

void TGPXFile::LogNotLoaded(const TXpObjModel& model) {
  std::string errors;
  for (const WideString& line : model.Errors()) errors += U8(line) + "\n";
  AddLog(std::string(XpTrimXmlWhitespace(errors)));
  AddLog("File not loaded");
}

double TGPXFile::ReadCoordinate(std::string_view text, double limit, const std::string& what) {
  if (XpTrimXmlWhitespace(text).empty()) throw EGPXReadError(what + " is missing");
  const std::optional<double> value = ReadNumber(text);
  if (!value) throw EGPXReadError(what + " \"" + std::string(text) + "\" is not a number");
  if (std::fabs(*value) > limit) throw EGPXReadError(what + " " + std::string(XpTrimXmlWhitespace(text)) + " is out of range");
  return *value;
}

TDateTime TGPXFile::ReadTime(std::string_view text, const std::string& what) {
  try {
    return ISO8601ToDateTime(text);
  } catch (const EConvertError& error) {
    AddLog(what + " \"" + std::string(text) + "\" read as no time: " + U8(error.Message()));
    return 0;
  }
}

std::string TGPXFile::GetLastNodeText(const TXpNode* Node, std::u16string_view Path) {
  const TXpNode* found = LastByPath(Node, Path);
  return found ? U8(found->Text()) : std::string();
}

std::string TGPXFile::GetExtensionNodeContent(const TXpNode* Node, std::u16string_view Name) {
  const TXpNode* last = LastByPath(Node, Name);
  return last ? ChildrenMarkup(last) : std::string();
}

// ---------------------------------------------------------------------------
// The walker

// Reads one gpx root. GPX elements are those in the root's namespace, by their
// local name, whether they carry the root's prefix, another one bound to the
// same namespace, or none under a default namespace; a prefix that no
// declaration binds counts as a namespace of its own. The depth is the element
// written "h:depth", whatever its namespace.
class TGPXImport {
public:
  explicit TGPXImport(TGPXFile& file) : fFile(file) {}

  // Reads an outline that the scan made: its marked segments come from there.
  void UseScan(TGPXSegmentScan& scan) { fScan = &scan; }

  // Reads a track segment of the gpx root as soon as the load has built it and
  // empties it, so that a survey never holds its whole tree at once. The walk
  // later takes the segment read; an error waits for the walk to reach it, so the
  // first bad point in document order is the one reported.
  void ElementLoaded(TXpElement* element) {
    if (!fStreaming) return;
    ForgetParent();  // the load made and freed nodes since the last call
    TXpNode* track = element->ParentNode();
    TXpNode* root = track ? track->ParentNode() : nullptr;
    if (!root || !root->ParentNode() || root->ParentNode()->NodeType() != DOCUMENT_NODE) return;
    if (root != fStreamRoot) {
      if (!IsGPXRoot(root)) return;
      SetRoot(root);
      fStreamRoot = root;
    }
    if (!Is(Local(element), u"trkseg") || !Is(Local(track), u"trk")) return;
    const int countBefore = fTrkptCount;
    std::vector<std::string>& log = fFile.mLog;
    const std::size_t logBefore = log.size();
    try {
      StreamedSegment read{element, ImportGPXTRKSEG(element), {}};
      // Its log lines wait for the walk too, to keep their place in the log.
      read.log.assign(std::make_move_iterator(log.begin() + static_cast<std::ptrdiff_t>(logBefore)),
                      std::make_move_iterator(log.end()));
      fStreamed.push_back(std::move(read));
    } catch (const EGPXReadError&) {
      // Read again by the walk, which reports it in its turn.
      fTrkptCount = countBefore;
      fStreaming = false;
    }
    log.resize(logBefore);
    if (fStreaming) {
      element->RemoveAll();
      ForgetParent();
    }
  }

  static bool IsGPXRoot(const TXpNode* node) {
    if (node->NodeType() != ELEMENT_NODE) return false;
    const std::u16string_view name = node->NodeName();
    const std::size_t colon = name.rfind(u':');
    return XpSameAsciiText(colon == std::u16string_view::npos ? name : name.substr(colon + 1), u"gpx");
  }

  void SetRoot(const TXpNode* root) {
    fRootNamespace = NamespaceKey(root, PrefixOf(root->NodeName()));
    fCachedParent = nullptr;
  }

  void Walk(const TXpNode* root) {
    SetRoot(root);
    for (const TXpNode* child : root->ChildNodes()->Nodes()) {
      if (child->NodeType() != ELEMENT_NODE) continue;
      const std::u16string_view name = Local(child);
      if (name.empty()) continue;
      if (Is(name, u"metadata")) {
        fMetadata = ImportGPXMetadata(child);
      } else if (Is(name, u"wpt")) {
        ImportGPXWPT(child, fWaypoints, "wpt", ++fWptCount);
      } else if (Is(name, u"rte")) {
        fRoutes.push_back(ImportGPXRTE(child));
      } else if (Is(name, u"trk")) {
        fTracks.push_back(ImportGPXTRK(child));
      } else if (Is(name, u"extensions")) {
        fExtension = ImportGPXExtensions(child);
      }
    }
  }

  // What the read found beside the data: a foreign depth element.
  const TReadFindings& Findings() const { return fFindings; }

  // Hands everything read to the document, after what it holds.
  void MoveInto(TGPX& target) {
    if (fMetadata) target.metadata.CopyFrom(*fMetadata);
    if (fExtension) target.extension.Text = *fExtension;
    for (auto& point : fWaypoints.Clear()) target.wpt.Add(std::move(point));
    if (fWptCount > 0) target.wpt.filled = true;
    for (auto& route : fRoutes) target.rte.Add(std::move(route));
    if (!fRoutes.empty()) target.rte.filled = true;
    for (auto& track : fTracks) target.trk.Add(std::move(track));
    if (!fTracks.empty()) target.trk.filled = true;
  }

private:
  static std::u16string_view PrefixOf(std::u16string_view name) {
    const std::size_t colon = name.find(u':');
    return colon == std::u16string_view::npos ? std::u16string_view() : name.substr(0, colon);
  }

  // The namespace a prefix stands for at node; an undeclared prefix stands for
  // one named after itself, apart from every URI.
  static WideString NamespaceKey(const TXpNode* node, std::u16string_view prefix) {
    WideString uri = node ? node->ResolveNSPrefix(WideString(prefix)) : WideString();
    if (!uri.empty() || prefix.empty()) return uri;
    WideString key = u"\x01";
    for (const char16_t c : prefix) key += c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    return key;
  }

  static bool DeclaresItself(const TXpNode* node, std::u16string_view prefix) {
    if (prefix.empty()) return !node->Defaultnamespace().empty();
    const TXpNamedNodeMap* declarations = node->NamespaceList();
    return declarations && declarations->GetNamedItem(WideString(prefix));
  }

  // Whether an element is in the root's namespace. The answer is the one at the
  // nearest element above that declares the prefix; nearly always nothing on the
  // way up to where the last answer came from declares it, so that answer is
  // kept for the next element and the prefix, until nodes are freed (ForgetParent).
  bool InRootNamespace(const TXpNode* node) {
    const std::u16string_view prefix = PrefixOf(node->NodeName());
    if (DeclaresItself(node, prefix)) return NamespaceKey(node, prefix) == fRootNamespace;
    if (prefix != fCachedPrefix) {
      fCachedPrefix = prefix;
      fCachedParent = nullptr;
    }
    const TXpNode* const parent = node->ParentNode();
    const TXpNode* topElement = nullptr;
    for (const TXpNode* scope = parent; scope && IsElementLike(scope); scope = scope->ParentNode()) {
      if (scope == fCachedParent) return fCachedInRoot;
      if (DeclaresItself(scope, prefix)) {
        fCachedParent = scope;
        return fCachedInRoot = NamespaceKey(scope, prefix) == fRootNamespace;
      }
      topElement = scope;
    }
    // Declared nowhere above.
    const bool inRoot = NamespaceKey(parent, prefix) == fRootNamespace;
    if (topElement) {
      fCachedParent = topElement;
      fCachedInRoot = inRoot;
    }
    return inRoot;
  }

  // The nodes a namespace lookup climbs through.
  static bool IsElementLike(const TXpNode* node) {
    return node->NodeType() == ELEMENT_NODE || node->NodeType() == ATTRIBUTE_NODE;
  }

  void ForgetParent() { fCachedParent = nullptr; }

  // The local name of an element in the root's namespace; empty for any other.
  std::u16string_view Local(const TXpNode* node) {
    if (node->NodeType() != ELEMENT_NODE || !InRootNamespace(node)) return {};
    const std::u16string_view name = node->NodeName();
    return name.substr(name.find(u':') + 1);
  }
  static bool Is(std::u16string_view local, std::u16string_view name) { return XpSameAsciiText(local, name); }

  // The last child of node that is the GPX element of that name; null when none.
  const TXpNode* LastChild(const TXpNode* node, std::u16string_view name) {
    const TXpNode* last = nullptr;
    for (const TXpNode* child : node->ChildNodes()->Nodes())
      if (Is(Local(child), name)) last = child;
    return last;
  }
  template <class Visit>
  void ForEachChild(const TXpNode* node, std::u16string_view name, Visit&& visit) {
    for (const TXpNode* child : node->ChildNodes()->Nodes())
      if (Is(Local(child), name)) visit(child);
  }

  // ChildrenMarkup with the buffers kept from point to point: a survey's
  // million extensions then cost one allocation each, their own. A survey's
  // extensions are plain elements and text, written straight as UTF-8.
  std::string PointExtensions(const TXpNode* node) {
    fMarkupUtf8.clear();
    if (!XpAppendPlainChildrenUtf8(node, fMarkupUtf8)) {
      fMarkup.clear();
      for (const TXpNode* child : node->ChildNodes()->Nodes()) XpAppendNode(child, fMarkup);
      fMarkupUtf8.clear();
      XpAppendWideAsUtf8(fMarkup, fMarkupUtf8);
    }
    return std::string(XpTrimXmlWhitespace(fMarkupUtf8));
  }

  std::string Text(const TXpNode* node, std::u16string_view name) {
    const TXpNode* found = LastChild(node, name);
    return found ? U8(found->Text()) : std::string();
  }
  std::string Extensions(const TXpNode* node) {
    const TXpNode* found = LastChild(node, u"extensions");
    return found ? KeptChildrenMarkup(found) : std::string();
  }
  static std::string Attribute(const TXpNode* node, const WideString& name) {
    const TXpNamedNodeMap* attributes = node->Attributes();
    const TXpNode* attribute = attributes ? attributes->GetNamedItem(name) : nullptr;
    return attribute ? U8(attribute->NodeValue()) : std::string();
  }
  static bool HasAttribute(const TXpNode* node, const WideString& name) {
    const TXpNamedNodeMap* attributes = node->Attributes();
    return attributes && attributes->GetNamedItem(name);
  }

  // A point's children in one pass: the last of each name wins. A survey has
  // a million points, so the texts of numbers and times are read in place.
  void ImportGPXWPT(const TXpNode* node, TGPXwptList& list, const char* tag, int number,
                    gpxpoint::TSegmentDepth* watch = nullptr) {
    const auto what = [&] { return std::string(tag) + " " + std::to_string(number); };
    auto point = std::make_unique<TGPXwpt>();
    point->Latitude = Coordinate(node, kLat, 90, [&] { return what() + ": lat"; });
    point->Longitude = Coordinate(node, kLon, 180, [&] { return what() + ": lon"; });
    const TXpNode* field[kFieldCount] = {};
    const TXpNode* depth = nullptr;
    for (const TXpNode* child : node->ChildNodes()->Nodes()) {
      if (child->NodeType() != ELEMENT_NODE) continue;
      const std::u16string_view name = Local(child);
      if (name.empty()) continue;
      for (int i = 0; i < kFieldCount; ++i) {
        if (!Is(name, gpxpoint::kFieldNames[i])) continue;
        field[i] = child;
        if (i == kExtensions)
          ForChildrenNamed(child, u"h:depth", [&](const TXpNode* d) { depth = d; });
        break;
      }
    }
    // The texts of the fields, read in place where they are short ASCII.
    std::optional<TNarrowText> narrow[kFieldCount];
    std::optional<std::string_view> texts[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i) {
      if (!field[i] || i == kLink || i == kExtensions) continue;
      WideString gathered;
      texts[i] = narrow[i].emplace(FieldText(field[i], gathered)).View();
    }
    gpxpoint::AssignPointFields(*point, texts, [&](std::string_view time) {
      return ReadPointTime(time, [&] { return what() + ": time"; });
    });
    if (field[kLink]) ImportGPXLink(field[kLink], point->link);
    point->HBdepth = depth ? NumberIn(depth, 0) : 0;
    if (field[kExtensions]) point->extensions = PointExtensions(field[kExtensions]);
    if (watch) WatchDepth(*watch, *point, depth != nullptr, field[kExtensions]);
    list.Add(std::move(point));
    list.filled = true;
  }

  // A lat or lon attribute; the error names the point only when there is one.
  template <class What>
  static double Coordinate(const TXpNode* node, const WideString& name, double limit, const What& what) {
    const TXpNamedNodeMap* attributes = node->Attributes();
    const TXpNode* attribute = attributes ? attributes->GetNamedItem(name) : nullptr;
    const TNarrowText text(attribute ? std::u16string_view(attribute->NodeValue()) : std::u16string_view());
    if (const std::optional<double> value = ReadNumber(text.View()); value && std::fabs(*value) <= limit)
      return *value;
    return TGPXFile::ReadCoordinate(text.View(), limit, what());
  }

  template <class What>
  TDateTime ReadPointTime(std::string_view text, const What& what) {
    try {
      return TGPXFile::ISO8601ToDateTime(text);
    } catch (const EConvertError&) {
      return fFile.ReadTime(text, what());
    }
  }

  static double NumberIn(const TXpNode* node, double absent) {
    WideString gathered;
    const TNarrowText text(FieldText(node, gathered));
    return NumberOr(text.View(), absent);
  }

  // The fields a route and a track share.
  template <class List>
  void ImportHead(const TXpNode* node, List& list, std::string& type) {
    list.name = Text(node, u"name");
    list.cmt = Text(node, u"cmt");
    list.desc = Text(node, u"desc");
    list.src = Text(node, u"src");
    if (const TXpNode* link = LastChild(node, u"link")) ImportGPXLink(link, list.link);
    list.number = Int32Or(Text(node, u"number"), -1);
    type = Text(node, u"type");
    ImportLineExtensions(node, list);
    if (list.name.empty() && !list.desc.empty()) list.name = list.desc;
  }

  template <class List>
  void ImportLineExtensions(const TXpNode* node, List& list) {
    const TXpNode* extensions = LastChild(node, u"extensions");
    if (!extensions) return;
    std::string text;
    for (const TXpNode* child : extensions->ChildNodes()->Nodes()) {
      if (child->NodeName() == u"line") {
        const std::string color = TGPXFile::GetLastNodeText(child, u"color");
        if (!color.empty()) list.LineStyle.SetColorStr(color);
        const std::string opacity = TGPXFile::GetLastNodeText(child, u"opacity");
        if (!opacity.empty()) list.LineStyle.SetOpacityStr(opacity);
      } else {
        text += fFile.LineBreakStr + U8(GPXKeptMarkup(child));
      }
    }
    list.extensions = std::string(XpTrimXmlWhitespace(text));
  }

  std::unique_ptr<TGPXrte> ImportGPXRTE(const TXpNode* node) {
    auto route = std::make_unique<TGPXrte>();
    ImportHead(node, *route, route->rtype);
    ForEachChild(node, u"rtept", [&](const TXpNode* point) { ImportGPXWPT(point, *route, "rtept", ++fRteptCount); });
    return route;
  }

  std::unique_ptr<TGPXtrk> ImportGPXTRK(const TXpNode* node) {
    auto track = std::make_unique<TGPXtrk>();
    ImportHead(node, *track, track->ttype);
    ForEachChild(node, u"trkseg", [&](const TXpNode* segmentNode) {
      std::unique_ptr<TGPXtrkseg> segment = TakeStreamed(segmentNode);
      if (!segment) {
        segment = ImportGPXTRKSEG(segmentNode);
        // The tree is this reader's own: a segment read gives its memory to the
        // points of the next.
        const_cast<TXpNode*>(segmentNode)->RemoveAll();
        ForgetParent();
      }
      track->Add(std::move(segment));
    });
    return track;
  }

  std::unique_ptr<TGPXtrkseg> ImportGPXTRKSEG(const TXpNode* node) {
    if (std::unique_ptr<TGPXSegmentScan::TSegment> scanned = TakeScanned(node)) {
      fTrkptCount += scanned->Points;
      TellDepth(*scanned->Segment, scanned->Depth);
      return std::move(scanned->Segment);
    }
    auto segment = std::make_unique<TGPXtrkseg>();
    segment->extensions = Extensions(node);
    gpxpoint::TSegmentDepth depth;
    ForEachChild(node, u"trkpt",
                 [&](const TXpNode* point) { ImportGPXWPT(point, *segment, "trkpt", ++fTrkptCount, &depth); });
    TellDepth(*segment, depth);
    return segment;
  }

  // The segment the scan read in place of this one in the outline it made;
  // null for a segment of the file itself.
  std::unique_ptr<TGPXSegmentScan::TSegment> TakeScanned(const TXpNode* node) {
    if (!fScan) return nullptr;
    static const WideString kMarker = XpUtf8ToWide(TGPXSegmentScan::kMarker);
    const TXpNamedNodeMap* attributes = node->Attributes();
    const TXpNode* marker = attributes ? attributes->GetNamedItem(kMarker) : nullptr;
    if (!marker) return nullptr;
    const std::optional<std::int64_t> index = numtext::ParseInt(U8(marker->NodeValue()));
    return index && *index >= 0 ? fScan->Take(static_cast<std::size_t>(*index)) : nullptr;
  }

  void TellDepth(const TGPXtrkseg& segment, const gpxpoint::TSegmentDepth& depth) {
    // Only the first is told, and only of a segment without our depth.
    if (fFindings.ForeignDepth.empty() && !depth.ours) {
      if (!depth.foreign.empty())
        fFindings.ForeignDepth = depth.foreign;
      else if (segment.Count() > 0 && depth.allNegative)
        fFindings.ForeignDepth = "ele";
    }
  }

  // The search below a point's extensions stops once an answer is certain: a
  // survey has a million points, each with our depth.
  void WatchDepth(gpxpoint::TSegmentDepth& watch, const TGPXwpt& point, bool hasOurDepth, const TXpNode* extensions) const {
    if (!(point.Altitude < 0)) watch.allNegative = false;
    if (hasOurDepth) watch.ours = true;
    if (watch.ours || !watch.foreign.empty() || !fFindings.ForeignDepth.empty() || !extensions) return;
    if (const TXpNode* foreign = ForeignDepthBelow(extensions)) watch.foreign = U8(foreign->NodeName());
  }

  // The segment read while loading, in document order: the one asked for is
  // almost always the first waiting.
  std::unique_ptr<TGPXtrkseg> TakeStreamed(const TXpNode* node) {
    for (std::size_t i = fStreamedTaken; i < fStreamed.size(); ++i) {
      StreamedSegment& read = fStreamed[i];
      if (read.node != node) continue;
      if (i == fStreamedTaken) ++fStreamedTaken;
      for (std::string& line : read.log) fFile.AddLog(std::move(line));
      return std::move(read.segment);
    }
    return nullptr;
  }

  std::unique_ptr<TGPXmetadata> ImportGPXMetadata(const TXpNode* node) {
    auto metadata = std::make_unique<TGPXmetadata>();
    metadata->name = Text(node, u"name");
    metadata->desc = Text(node, u"desc");
    if (const TXpNode* author = LastChild(node, u"author")) ImportGPXPerson(author, metadata->author);
    if (const TXpNode* copyright = LastChild(node, u"copyright"))
      ImportGPXCopyright(copyright, metadata->copyright);
    if (const TXpNode* link = LastChild(node, u"link")) ImportGPXLink(link, metadata->link);
    if (const TXpNode* bounds = LastChild(node, u"bounds")) ImportGPXBounds(bounds, metadata->bounds);
    if (LastChild(node, u"time")) metadata->mtime = fFile.ReadTime(Text(node, u"time"), "metadata: time");
    metadata->keywords = Text(node, u"keywords");
    metadata->extensions = Extensions(node);
    metadata->filled = true;
    return metadata;
  }

  void ImportGPXPerson(const TXpNode* node, TGPXperson& person) {
    person.name = Text(node, u"name");
    if (person.name.empty()) person.name = U8(node->Text());
    if (const TXpNode* email = LastChild(node, u"email")) ImportGPXEmail(email, person.email);
    if (const TXpNode* link = LastChild(node, u"link")) ImportGPXLink(link, person.link);
    person.filled = true;
  }

  void ImportGPXEmail(const TXpNode* node, TGPXemail& email) {
    email.id = Text(node, u"id");
    email.domain = Text(node, u"domain");
    email.filled = true;
  }

  void ImportGPXCopyright(const TXpNode* node, TGPXcopyright& copyright) {
    copyright.author = Attribute(node, u"author");
    copyright.year = Int32Or(Text(node, u"year"), -1);
    copyright.license = Text(node, u"license");
    copyright.filled = true;
  }

  void ImportGPXLink(const TXpNode* node, TGPXLink& link) {
    link.href = Attribute(node, u"href");
    if (link.href.empty()) link.href = U8(node->Text());
    link.text = Text(node, u"text");
    link.ltype = Text(node, u"type");
    link.filled = true;
  }

  void ImportGPXBounds(const TXpNode* node, TGPXbounds& bounds) {
    if (!node->HasAttributes()) return;
    const auto read = [&](const char16_t* name, double& field) {
      if (HasAttribute(node, name)) field = NumberOr(Attribute(node, name), 0);
    };
    read(u"minlat", bounds.minlat);
    read(u"minlon", bounds.minlon);
    read(u"maxlat", bounds.maxlat);
    read(u"maxlon", bounds.maxlon);
    bounds.filled = true;
  }

  std::string ImportGPXExtensions(const TXpNode* node) const {
    const WideString& name = node->NodeName();
    std::string text(XpTrimXmlWhitespace(U8(GPXKeptElementWithChildren(node))));
    const std::string open = "<" + U8(name) + ">", close = "</" + U8(name) + ">";
    if (text == open + "<" + U8(name) + "/>" + close) return {};
    if (const std::size_t start = text.find(open); !text.empty() && start != std::string::npos) {
      text = text.substr(start + open.size());
      text = text.substr(0, text.find(close));
    }
    return text;
  }

  static constexpr int kLink = gpxpoint::kLink, kExtensions = gpxpoint::kExtensions,
                       kFieldCount = gpxpoint::kFieldCount;
  inline static const WideString kLat = u"lat", kLon = u"lon";

  TGPXFile& fFile;
  WideString fMarkup;
  std::string fMarkupUtf8;
  WideString fRootNamespace;
  const TXpNode* fCachedParent = nullptr;
  WideString fCachedPrefix;
  bool fCachedInRoot = false;
  std::unique_ptr<TGPXmetadata> fMetadata;
  std::optional<std::string> fExtension;
  TGPXwptList fWaypoints;
  std::vector<std::unique_ptr<TGPXrte>> fRoutes;
  std::vector<std::unique_ptr<TGPXtrk>> fTracks;
  int fWptCount = 0, fRteptCount = 0, fTrkptCount = 0;
  bool fStreaming = true;
  const TXpNode* fStreamRoot = nullptr;
  struct StreamedSegment {
    const TXpNode* node;
    std::unique_ptr<TGPXtrkseg> segment;
    std::vector<std::string> log;
  };
  std::vector<StreamedSegment> fStreamed;
  std::size_t fStreamedTaken = 0;
  TReadFindings fFindings;
  TGPXSegmentScan* fScan = nullptr;
};

namespace {

// The last child of the document named gpx, with or without a prefix.
const TXpNode* FindGPXRoot(const TXpDocument* document) {
  const TXpNode* root = nullptr;
  for (const TXpNode* child : document->ChildNodes()->Nodes())
    if (TGPXImport::IsGPXRoot(child)) root = child;
  return root;
}

// A model for bytes in memory, set as LoadDocument sets one for a file, whose
// elements go to the reader as they load.
void ReadBytesWith(TXpObjModel& model, TGPXImport& reader) {
  model.OnElementLoaded = [&reader](TXpElement* element) { reader.ElementLoaded(element); };
  model.SetIgnoreCase(true);
  model.SetLineBreakMode(lbmDefault);
}

// The local file the object model would read for a name; none for a network
// location, which the model refuses in its own words.
std::optional<std::string> LocalFilePath(const std::string& name) {
  try {
    const std::unique_ptr<TXpDirContext> context = TXpDirContext::Make(nullptr, XpUtf8ToWide(name));
    if (context->ContextType() == xpdcLocal) return U8(context->URL());
  } catch (const std::exception&) {
    // the model reports it
  }
  return std::nullopt;
}

}  // namespace

std::optional<TReadResult> TGPXFile::ImportScanned(std::string_view document, const TGPXSegmentScan::TRelease& release,
                                                   bool* scanAgain) {
  TGPXSegmentScan scan;
  const bool scanned = scan.Scan(document, release);
  if (scanAgain) *scanAgain = scan.ScanAgain();
  if (!scanned || scan.Outline().size() > static_cast<std::size_t>(INT32_MAX)) return std::nullopt;
  const std::size_t logBefore = mLog.size();
  TXpObjModel model;
  TGPXImport reader(*this);
  reader.UseScan(scan);
  ReadBytesWith(model, reader);
  bool parsed = false;
  try {
    parsed = model.LoadMemory(scan.Outline().data(), static_cast<int>(scan.Outline().size()));
  } catch (const std::exception&) {
    // read again whole, for the report in the file's own terms
  }
  if (parsed && ImportGPX(model, reader)) return ResultSince(logBefore, true, reader.Findings());
  mLog.resize(logBefore);
  return std::nullopt;
}

TReadResult TGPXFile::ImportGPXFile(const std::string& FileName) {
  if (ScanPlainSegments) {
    if (const std::optional<std::string> path = LocalFilePath(FileName)) {
      // The bytes of each segment read go back to the system at once; should a
      // later one not be plain, the file is read again for a scan in order.
      for (const bool giveBack : {true, false}) {
        localfiles::TFileBytes file(*path);
        const auto release = [&file, begin = file.Bytes().data()](const char* from, const char* to) {
          file.Release(static_cast<std::size_t>(from - begin), static_cast<std::size_t>(to - begin));
        };
        bool scanAgain = false;
        std::optional<TReadResult> result =
            ImportScanned(file.Bytes(), giveBack ? TGPXSegmentScan::TRelease(release) : nullptr, &scanAgain);
        if (result) return std::move(*result);
        if (!scanAgain) break;
      }
    }
  }
  const std::size_t logBefore = mLog.size();
  TXpObjModel model;
  TGPXImport reader(*this);
  model.OnElementLoaded = [&reader](TXpElement* element) { reader.ElementLoaded(element); };
  const bool loaded = LoadDocument(model, FileName, " (LoadDataSource") && ImportGPX(model, reader);
  return ResultSince(logBefore, loaded, loaded ? reader.Findings() : TReadFindings());
}

TReadResult TGPXFile::ImportGPXString(std::string_view GPXString) {
  if (ScanPlainSegments)
    if (std::optional<TReadResult> result = ImportScanned(GPXString, nullptr)) return std::move(*result);
  const std::size_t logBefore = mLog.size();
  TXpObjModel model;
  TGPXImport reader(*this);
  ReadBytesWith(model, reader);
  bool parsed = false;
  try {
    parsed = model.LoadMemory(GPXString.data(), static_cast<int>(GPXString.size()));
  } catch (const std::exception& error) {
    AddLog(std::string(error.what()) + " (0).");
    return ResultSince(logBefore, false, {});
  }
  if (!parsed) {
    LogNotLoaded(model);
    return ResultSince(logBefore, false, {});
  }
  const bool loaded = ImportGPX(model, reader);
  return ResultSince(logBefore, loaded, loaded ? reader.Findings() : TReadFindings());
}

bool TGPXFile::ImportGPX(TXpObjModel& model, TGPXImport& reader) {
  const TXpNode* root = FindGPXRoot(model.Document());
  if (!root) {
    LogNotLoaded(model);
    return false;
  }
  try {
    reader.Walk(root);
  } catch (const EGPXReadError& error) {
    AddLog(error.what());
    AddLog("File not loaded");
    return false;
  }
  model.ClearDocument();  // the tree goes before the points join GPXd
  Loaded = true;
  if (!GPXd) return true;
  reader.MoveInto(*GPXd);
  const TGPX& doc = *GPXd;
  int routePoints = 0, trackPoints = 0, segments = 0;
  for (const TGPXrte& route : doc.rte) routePoints += route.Count();
  for (const TGPXtrk& track : doc.trk) {
    segments += track.Count();
    for (const TGPXtrkseg& segment : track) trackPoints += segment.Count();
  }
  AddLog(std::to_string(doc.wpt.Count()) + " waypoints");
  AddLog(std::to_string(doc.rte.Count()) + " routes (" + std::to_string(routePoints) + " points))");
  AddLog(std::to_string(doc.trk.Count()) + " tracks (" + std::to_string(trackPoints) + " points in " +
         std::to_string(segments) + " track segments)");
  return true;
}
