// The quick scan of plain track segments. It takes a segment only when it is
// sure to read it as the object model and the walk would; at the first thing
// it does not know, it leaves the segment to them.

#include "formats/GPXFileScan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "formats/GPXFile.h"

namespace {

using gpxpoint::Field;

enum : std::uint8_t {
  kBlank = 1,
  kNameStart = 2,
  kNameChar = 4,
  kPlainText = 8,   // stands in a text as it is written out
  kPlainValue = 16  // stands in an attribute value as it is written out
};

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    std::uint8_t bits = 0;
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') bits |= kBlank | kPlainText;
    if (letter || c == '_') bits |= kNameStart | kNameChar;
    if ((c >= '0' && c <= '9') || c == '.' || c == '-') bits |= kNameChar;
    // '>' is left out, as a writer escapes it to keep "]]>" out of a text.
    if (c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != '>' && c != '"') bits |= kPlainText | kPlainValue;
    classes[static_cast<std::size_t>(c)] = bits;
  }
  return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

bool Is(char c, std::uint8_t bits) { return kClasses[static_cast<unsigned char>(c)] & bits; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool ContainsAscii(std::string_view text, std::string_view part) {
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
    if (SameAscii(text.substr(i, part.size()), part)) return true;
  return false;
}

// The parser turns each run of blanks into one space and drops those at both
// ends of a text; most texts are so already.
std::string_view Normalized(std::string_view raw, std::string& scratch) {
  bool plain = raw.empty() || (!Is(raw.front(), kBlank) && !Is(raw.back(), kBlank));
  for (std::size_t i = 1; plain && i < raw.size(); ++i)
    if (Is(raw[i], kBlank) && (raw[i] != ' ' || Is(raw[i - 1], kBlank))) plain = false;
  if (plain) return raw;
  scratch.clear();
  bool pendingSpace = false;
  for (const char c : raw) {
    if (Is(c, kBlank)) {
      pendingSpace = !scratch.empty();
      continue;
    }
    if (pendingSpace) scratch += ' ';
    pendingSpace = false;
    scratch += c;
  }
  return scratch;
}

int FieldIndex(std::string_view name) {
  for (int i = 0; i < gpxpoint::kFieldCount; ++i) {
    const std::u16string_view field = gpxpoint::kFieldNames[i];
    if (field.size() != name.size()) continue;
    std::size_t k = 0;
    while (k < name.size() && static_cast<char16_t>(LowerAscii(name[k])) == field[k]) ++k;
    if (k == name.size()) return i;
  }
  return -1;
}

// Reads the content of one segment, from just after its start tag to just
// after its end tag. Every method answers false for anything that is not
// plain; the reader is then of no further use.
class TSegmentReader {
public:
  TSegmentReader(const char* begin, const char* end) : p(begin), fEnd(end) {}

  const char* Position() const { return p; }

  bool Read(std::string_view name, TGPXSegmentScan::TSegment& out) {
    out.Segment = std::make_unique<TGPXtrkseg>();
    for (;;) {
      SkipBlanks();
      if (!Skip('<')) return false;
      if (Skip('/')) return EndTag(name);
      std::string_view child;
      if (!Name(child, false) || !SameAscii(child, "trkpt")) return false;
      if (!Point(child, *out.Segment, out.Depth)) return false;
      ++out.Points;
    }
  }

private:
  static constexpr int kMaxExtensionLevels = 16;

  bool Skip(char c) {
    if (p == fEnd || *p != c) return false;
    ++p;
    return true;
  }
  void SkipBlanks() {
    while (p != fEnd && Is(*p, kBlank)) ++p;
  }

  // A name of ASCII letters, digits, '.', '-' and '_', with one prefix where
  // `prefixed`, followed by what may end a name.
  bool Name(std::string_view& name, bool prefixed) {
    const char* start = p;
    const auto part = [this] {
      if (p == fEnd || !Is(*p, kNameStart)) return false;
      while (++p != fEnd && Is(*p, kNameChar)) {
      }
      return true;
    };
    if (!part()) return false;
    if (prefixed && p != fEnd && *p == ':') {
      ++p;
      if (!part()) return false;
    }
    if (p == fEnd || !(Is(*p, kBlank) || *p == '>' || *p == '/' || *p == '=')) return false;
    name = std::string_view(start, static_cast<std::size_t>(p - start));
    return true;
  }

  // After "</": the name as the start tag wrote it, blanks, '>'.
  bool EndTag(std::string_view name) {
    if (static_cast<std::size_t>(fEnd - p) <= name.size() || std::memcmp(p, name.data(), name.size()) != 0) return false;
    p += name.size();
    SkipBlanks();
    return Skip('>');
  }

  // The text up to the next '<', which stays unread.
  bool Text(std::string_view& raw) {
    const void* lt = std::memchr(p, '<', static_cast<std::size_t>(fEnd - p));
    if (!lt) return false;
    const char* const stop = static_cast<const char*>(lt);
    for (const char* c = p; c != stop; ++c)
      if (!Is(*c, kPlainText)) return false;
    raw = std::string_view(p, static_cast<std::size_t>(stop - p));
    p = stop;
    return true;
  }

  // One attribute after the blanks that part it from what stands before.
  bool Attribute(std::string_view& name, std::string_view& value, bool prefixed) {
    if (!Name(name, prefixed)) return false;
    SkipBlanks();
    if (!Skip('=')) return false;
    SkipBlanks();
    if (p == fEnd || (*p != '"' && *p != '\'')) return false;
    const char quote = *p++;
    const char* start = p;
    while (p != fEnd && *p != quote)
      if (!Is(*p++, kPlainValue)) return false;
    if (p == fEnd) return false;
    value = std::string_view(start, static_cast<std::size_t>(p - start));
    ++p;
    return true;
  }

  // Blanks, then the end of a start tag: whether it closes the element too.
  bool TagEnd(bool& empty) {
    SkipBlanks();
    empty = Skip('/');
    return Skip('>');
  }

  // A point after "<trkpt".
  bool Point(std::string_view name, TGPXtrkseg& segment, gpxpoint::TSegmentDepth& watch) {
    std::optional<std::string_view> lat, lon;
    for (;;) {
      const char* before = p;
      SkipBlanks();
      if (p == fEnd || *p == '/' || *p == '>' || p == before) break;
      std::string_view attribute, value;
      if (!Attribute(attribute, value, false)) return false;
      if (attribute == "lat" && !lat)
        lat = value;
      else if (attribute == "lon" && !lon)
        lon = value;
      else
        return false;
    }
    if (!lat || !lon) return false;
    const std::optional<double> latitude = gpxpoint::ReadNumber(*lat), longitude = gpxpoint::ReadNumber(*lon);
    if (!latitude || std::fabs(*latitude) > 90 || !longitude || std::fabs(*longitude) > 180) return false;
    bool empty = false;
    if (!TagEnd(empty)) return false;

    std::optional<std::string_view> texts[gpxpoint::kFieldCount];
    fExtensions.Reset();
    // Once a segment has our depth or a foreign one, no further one counts.
    fWantForeign = !watch.ours && watch.foreign.empty();
    if (!empty && !PointChildren(name, texts)) return false;

    auto point = std::make_unique<TGPXwpt>();
    point->Latitude = *latitude;
    point->Longitude = *longitude;
    try {
      gpxpoint::AssignPointFields(*point, texts, [](std::string_view text) { return TGPXFile::ISO8601ToDateTime(text); });
    } catch (const EConvertError&) {
      return false;  // the walk logs it
    }
    point->HBdepth = fExtensions.hasDepth ? gpxpoint::NumberOr(fExtensions.depth, 0) : 0;
    if (fExtensions.present) point->extensions = std::string(XpTrimXmlWhitespace(fExtensions.lastMarkup));

    if (!(point->Altitude < 0)) watch.allNegative = false;
    if (fExtensions.hasDepth) watch.ours = true;
    if (!watch.ours && watch.foreign.empty() && fExtensions.present) watch.foreign = fExtensions.lastForeign;
    segment.Add(std::move(point));
    segment.filled = true;
    return true;
  }

  bool PointChildren(std::string_view name, std::optional<std::string_view> (&texts)[gpxpoint::kFieldCount]) {
    for (;;) {
      SkipBlanks();
      if (!Skip('<')) return false;
      if (Skip('/')) return EndTag(name);
      std::string_view child;
      if (!Name(child, false)) return false;
      const int field = FieldIndex(child);
      if (field < 0 || field == gpxpoint::kLink) return false;
      bool empty = false;
      if (!TagEnd(empty)) return false;
      if (field == gpxpoint::kExtensions) {
        if (!Extensions(child, empty)) return false;
        continue;
      }
      if (empty) {
        texts[field] = std::string_view();
        continue;
      }
      std::string_view raw;
      if (!Text(raw) || !Skip('<') || !Skip('/') || !EndTag(child)) return false;
      texts[field] = Normalized(raw, fFieldScratch[field]);
    }
  }

  // What a point's extensions elements gave: the last one's markup and first
  // foreign depth, the last h:depth of all.
  struct TExtensions {
    bool present = false;
    bool hasDepth = false;
    std::string_view depth;
    std::string markup, lastMarkup;
    std::string_view foreign, lastForeign;
    void Reset() {
      present = hasDepth = false;
      foreign = lastForeign = {};
    }
  };

  bool Extensions(std::string_view name, bool empty) {
    TExtensions& x = fExtensions;
    x.markup.clear();
    x.foreign = {};
    if (!empty && !ExtensionContent(name, 0, x.markup)) return false;
    x.present = true;
    std::swap(x.markup, x.lastMarkup);
    x.lastForeign = x.foreign;
    return true;
  }

  // The content of an element below a point's extensions (level 0: of the
  // extensions), written to markup as the object model's writer writes it.
  bool ExtensionContent(std::string_view openName, int level, std::string& markup) {
    for (;;) {
      std::string_view raw;
      if (!Text(raw)) return false;
      markup += Normalized(raw, fTextScratch);
      ++p;  // the '<'
      if (Skip('/')) return EndTag(openName);
      std::string_view name;
      // Names in the xml namespaces are the parser's to judge.
      if (!Name(name, true) || level >= kMaxExtensionLevels || SameAscii(name.substr(0, 3), "xml")) return false;
      if (fWantForeign && fExtensions.foreign.empty() && gpxpoint::IsForeignDepthName(name))
        fExtensions.foreign = name;
      markup += '<';
      markup += name;
      if (!ExtensionAttributes(markup)) return false;
      bool empty = false;
      if (!TagEnd(empty)) return false;
      const bool isDepth = level == 0 && SameAscii(name, "h:depth");
      if (empty) {
        markup += "/>";
        if (isDepth) {
          fExtensions.hasDepth = true;
          fExtensions.depth = {};
        }
        continue;
      }
      const std::size_t open = markup.size();
      markup += '>';
      if (isDepth) {
        if (!Text(raw) || !Skip('<') || !Skip('/') || !EndTag(name)) return false;
        fExtensions.hasDepth = true;
        fExtensions.depth = Normalized(raw, fDepthScratch);
        markup += fExtensions.depth;
      } else if (!ExtensionContent(name, level + 1, markup)) {
        return false;
      }
      if (markup.size() == open + 1) {
        markup.back() = '/';
        markup += '>';
      } else {
        markup += "</";
        markup += name;
        markup += '>';
      }
    }
  }

  // Plain attributes of an element below the extensions: no namespace
  // declarations, no xml: attributes, no repeats in any letter case.
  bool ExtensionAttributes(std::string& markup) {
    std::string_view names[8];
    std::size_t count = 0;
    for (;;) {
      const char* before = p;
      SkipBlanks();
      if (p == fEnd || *p == '/' || *p == '>' || p == before) return true;
      std::string_view name, value;
      if (!Attribute(name, value, true) || count == std::size(names)) return false;
      if (SameAscii(name.substr(0, 3), "xml")) return false;
      for (std::size_t i = 0; i < count; ++i)
        if (SameAscii(names[i], name)) return false;
      names[count++] = name;
      markup += ' ';
      markup += name;
      markup += "=\"";
      markup += value;
      markup += '"';
    }
  }

  const char* p;
  const char* const fEnd;
  TExtensions fExtensions;
  bool fWantForeign = true;
  std::string fFieldScratch[gpxpoint::kFieldCount];
  std::string fTextScratch, fDepthScratch;
};

bool StartsWith(const char* p, const char* end, std::string_view text) {
  return static_cast<std::size_t>(end - p) >= text.size() && std::memcmp(p, text.data(), text.size()) == 0;
}

// Where text is found from p on; null when it is not.
const char* Find(const char* p, const char* end, std::string_view text) {
  return static_cast<const char*>(::memmem(p, static_cast<std::size_t>(end - p), text.data(), text.size()));
}

// Whether the document starts with markup in an encoding in which every ASCII
// byte is that character, as the scan reads it. p is moved past a declaration.
bool StartsInAsciiEncoding(const char*& p, const char* end) {
  if (!StartsWith(p, end, "<?xml") || end - p < 6 || !Is(p[5], kBlank)) return StartsWith(p, end, "<");
  const char* close = Find(p, end, "?>");
  if (!close) return false;
  const std::string_view declaration(p, static_cast<std::size_t>(close - p));
  p = close + 2;
  const std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return true;
  std::size_t i = at + 8;
  while (i < declaration.size() && Is(declaration[i], kBlank)) ++i;
  if (i == declaration.size() || declaration[i] != '=') return false;
  ++i;
  while (i < declaration.size() && Is(declaration[i], kBlank)) ++i;
  if (i == declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return false;
  const std::size_t stop = declaration.find(declaration[i], i + 1);
  if (stop == std::string_view::npos) return false;
  const std::string_view name = declaration.substr(i + 1, stop - i - 1);
  for (const std::string_view known : {"UTF-8", "US-ASCII", "ISO-8859-1", "windows-1252"})
    if (SameAscii(name, known)) return true;
  return false;
}

// The end of a segment's content as a plain segment would have it: just after
// the first end tag of its name; null when there is none.
const char* PlainSegmentEnd(std::string_view name, const char* content, const char* end) {
  const std::string close = "</" + std::string(name);
  for (const char* p = content;;) {
    const char* found = Find(p, end, close);
    if (!found) return nullptr;
    p = found + close.size();
    while (p != end && Is(*p, kBlank)) ++p;
    if (p != end && *p == '>') return p + 1;
  }
}

// Walks the markup of a document as the parser reads it, and copies it into
// the outline. At each segment right below a trk below the gpx root,
// cut(name, content, end) answers where the segment's end tag ends when it
// is cut out, or null to leave it in. False when the document is one the scan
// does not take: another encoding, a document type, markup it cannot follow.
template <class Cut>
bool MakeOutline(std::string_view document, std::string& outline, Cut&& cut) {
  const char* const begin = document.data();
  const char* const end = begin + document.size();
  const char* p = begin;
  if (StartsWith(p, end, "\xEF\xBB\xBF")) p += 3;
  if (!StartsInAsciiEncoding(p, end)) return false;

  struct TOpen {
    std::string name;
    bool track;     // a trk below the root
    bool preserve;  // xml:space on it or above
  };
  std::vector<TOpen> open;
  const char* copied = begin;  // the outline holds the document up to here
  std::size_t cuts = 0;

  for (;;) {
    const void* lt = std::memchr(p, '<', static_cast<std::size_t>(end - p));
    if (!lt) break;
    p = static_cast<const char*>(lt);
    // Comments, CDATA sections and processing instructions end where the
    // parser ends them: at the first closing text after their opening one.
    std::string_view opening, closing;
    if (StartsWith(p, end, "<!--")) {
      opening = "<!--", closing = "-->";
    } else if (StartsWith(p, end, "<![CDATA[")) {
      opening = "<![CDATA[", closing = "]]>";
    } else if (StartsWith(p, end, "<?")) {
      opening = "<?", closing = "?>";
    }
    if (!opening.empty()) {
      const char* found = Find(p + opening.size(), end, closing);
      if (!found) return false;
      p = found + closing.size();
      continue;
    }
    if (StartsWith(p, end, "<!")) return false;  // a document type: its declarations change what markup means

    const bool endTag = StartsWith(p, end, "</");
    const char* const nameStart = p + (endTag ? 2 : 1);
    const char* q = nameStart;
    while (q != end && !Is(*q, kBlank) && *q != '>' && *q != '/') ++q;
    const std::string_view name(nameStart, static_cast<std::size_t>(q - nameStart));
    char quote = 0;
    for (; q != end; ++q) {
      if (quote) {
        if (*q == quote) quote = 0;
      } else if (*q == '"' || *q == '\'') {
        quote = *q;
      } else if (*q == '>') {
        break;
      }
      if (*q == '<') return false;
    }
    if (q == end || name.empty()) return false;
    const char* const tagEnd = q + 1;
    if (endTag) {
      if (open.empty() || open.back().name != name) return false;
      open.pop_back();
      p = tagEnd;
      continue;
    }
    const std::string_view tag(p, static_cast<std::size_t>(tagEnd - p));
    if (ContainsAscii(tag, TGPXSegmentScan::kMarker)) return false;
    const bool selfClosing = q[-1] == '/';
    const bool preserve = (!open.empty() && open.back().preserve) || tag.find("xml:space") != std::string_view::npos;
    const std::size_t depth = open.size();
    if (depth == 0 && !SameAscii(name, "gpx")) return false;

    if (depth == 2 && open[1].track && !selfClosing && !preserve && SameAscii(name, "trkseg")) {
      if (const char* segmentEnd = cut(name, tagEnd, end)) {
        const char* const nameEnd = nameStart + name.size();
        outline.append(copied, nameEnd);
        outline += ' ';
        outline += TGPXSegmentScan::kMarker;
        outline += "=\"" + std::to_string(cuts++) + "\"";
        outline.append(nameEnd, tagEnd);
        outline += "</";
        outline += name;
        outline += '>';
        copied = p = segmentEnd;
        continue;
      }
    }
    if (!selfClosing) open.push_back({std::string(name), depth == 1 && SameAscii(name, "trk"), preserve});
    p = tagEnd;
  }
  outline.append(copied, end);
  return cuts > 0;
}

}  // namespace

std::unique_ptr<TGPXSegmentScan::TSegment> TGPXSegmentScan::Take(std::size_t index) {
  return index < fSegments.size() ? std::move(fSegments[index]) : nullptr;
}

bool TGPXSegmentScan::Scan(std::string_view document, const TRelease& release) {
  fOutline.clear();
  fSegments.clear();
  fScanAgain = false;
  // First every segment is taken to end at its first end tag, and the
  // segments are read side by side. When each of them does end there, the
  // outline is the one a read in order would make.
  std::vector<TRegion> regions;
  const auto tentative = [&regions](std::string_view name, const char* content, const char* end) {
    const char* segmentEnd = PlainSegmentEnd(name, content, end);
    if (segmentEnd) regions.push_back({name, content, segmentEnd});
    return segmentEnd;
  };
  if (!MakeOutline(document, fOutline, tentative)) return Abandon();
  if (ReadRegions(regions, release)) return true;
  if (release) {
    fScanAgain = true;
    return Abandon();
  }
  // Some segment is not plain: read in order, each segment as far as it goes.
  fOutline.clear();
  fSegments.clear();
  const auto inOrder = [this](std::string_view name, const char* content, const char* end) -> const char* {
    auto segment = std::make_unique<TSegment>();
    TSegmentReader reader(content, end);
    if (!reader.Read(name, *segment)) return nullptr;
    fSegments.push_back(std::move(segment));
    return reader.Position();
  };
  return MakeOutline(document, fOutline, inOrder) || Abandon();
}

bool TGPXSegmentScan::Abandon() {
  fOutline.clear();
  fSegments.clear();
  return false;
}

bool TGPXSegmentScan::ReadRegions(const std::vector<TRegion>& regions, const TRelease& release) {
  fSegments.clear();
  fSegments.resize(regions.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  const auto work = [&] {
    for (std::size_t i; !failed && (i = next++) < regions.size();) {
      const TRegion& region = regions[i];
      try {
        auto segment = std::make_unique<TSegment>();
        TSegmentReader reader(region.content, region.end);
        if (!reader.Read(region.name, *segment) || reader.Position() != region.end) {
          failed = true;
          return;
        }
        fSegments[i] = std::move(segment);
        if (release) release(region.content, region.end);
      } catch (...) {
        failed = true;  // the object model meets it again, and reports it
      }
    }
  };
  std::size_t bytes = 0;
  for (const TRegion& region : regions) bytes += static_cast<std::size_t>(region.end - region.content);
  constexpr std::size_t kBytesAThread = 4 << 20;  // below this a thread costs more than it saves
  // Past four threads the points' allocations only wait for each other on the
  // system's lock of the address space: no faster, just more processor time.
  constexpr std::size_t kMostThreads = 4;
  const std::size_t threads = std::min<std::size_t>(
      {kMostThreads, std::max(1u, std::thread::hardware_concurrency()), regions.size(), 1 + bytes / kBytesAThread});
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer hands
    }
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  return !failed;
}
