#include "formats/GPXFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "lib/verAziruzi/XpBase.h"
#include "model/DateTime.h"
#include "platform/MathErrors.h"
#include "platform/NumberText.h"
#include "platform/SafeFile.h"

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The character reference that keeps a character a reader would change: a
// CR anywhere (line ends arrive as LF), a tab or LF in an attribute value
// (each arrives as a blank). Empty for any other.
std::string_view KeptCharacter(char c, bool attribute) {
  if (c == '\r') return "&#13;";
  if (!attribute) return {};
  return c == '\t' ? "&#9;" : c == '\n' ? "&#10;" : std::string_view();
}

// The text as XML can carry it: forbidden characters dropped, stray bytes as
// U+FFFD, and with `escape` the markup characters and a CR as references (with
// `quote`, for an attribute value, '"', tab and LF too).
std::string Clean(std::string_view text, bool escape, bool quote) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (escape && (c == '&' || c == '<' || c == '>' || (quote && c == '"'))) {
      out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;";
      ++i;
      continue;
    }
    if (const std::string_view reference = escape ? KeptCharacter(c, quote) : std::string_view(); !reference.empty()) {
      out += reference;
      ++i;
      continue;
    }
    const TXpUtf8Decoded decoded = XpDecodeUtf8(text, i);
    if (decoded.Length == 0) {
      out += kReplacementCharacter;
      ++i;
      continue;
    }
    if (XpIsXmlChar(decoded.Code)) out.append(text, i, decoded.Length);
    i += decoded.Length;
  }
  return out;
}

std::string ZeroPadded(std::int64_t value, std::size_t width) {
  std::string digits = numtext::FormatInt(value < 0 ? -value : value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

// Adapts the safe file to the writer's sink.
class TFileSink : public TGPXTextSink {
public:
  explicit TFileSink(TSafeFileWriter& file) : fFile(file) {}
  void Write(std::string_view text) override { fFile.Write(text); }

private:
  TSafeFileWriter& fFile;
};

constexpr std::string_view kDepthTail =
    "<h:id>1</h:id><h:visible>true</h:visible><h:share>false</h:share><h:status>1</h:status>"
    "<h:delta>false</h:delta>";

}  // namespace

std::string TGPXFile::XMLise(std::string_view text) { return Clean(text, true, false); }

std::string TGPXFile::XMLiseAttribute(std::string_view text) { return Clean(text, true, true); }

std::string TGPXFile::DateTimeToGPXTime(TDateTime time) {
  // Whole milliseconds first, as the clock that made the time counts them; the
  // date is the day count truncated, the time of day the fraction's size.
  const long double ms = std::nearbyint(static_cast<long double>(time) * 86400000.0L);
  if (!(std::fabs(ms) < 1e17L)) throw EInvalidOp();
  const auto total = static_cast<std::int64_t>(ms);
  const std::int64_t days = total / 86400000;
  const std::int64_t msOfDay = std::llabs(total % 86400000);
  const TCivilDate date = CivilFromDays(days - kUnixEpochDay);
  const std::int64_t seconds = msOfDay / 1000;
  return ZeroPadded(date.Year, 4) + "-" + ZeroPadded(date.Month, 2) + "-" + ZeroPadded(date.Day, 2) + "T" +
         ZeroPadded(seconds / 3600, 2) + ":" + ZeroPadded(seconds / 60 % 60, 2) + ":" + ZeroPadded(seconds % 60, 2) +
         "Z";
}

std::string TGPXFile::FormatGeneral(double value) { return numtext::FormatGeneral(value, 15); }

std::string TGPXFile::FormatDepth(double value) {
  if (!std::isfinite(value)) return numtext::FormatGeneral(value);
  // One decimal at every magnitude: a save must not round the user's depths away.
  // Whole centimetres, the depths the device records, read as they always did.
  return numtext::FormatFixed(value, 1);
}

std::string TGPXFile::Indent(int level) const {
  if (IndentStr.empty() || level <= 0) return {};
  return std::string(static_cast<std::size_t>(level), IndentStr.front());
}

std::string TGPXFile::Line(std::string_view tag, std::string_view value, int level) const {
  std::string out = Indent(level);
  out += '<';
  out += tag;
  out += '>';
  out += value;
  out += "</";
  out += tag;
  out += '>';
  out += LineBreakStr;
  return out;
}

std::string TGPXFile::WriteText(std::string_view value, std::string_view tag, int level, bool raw) const {
  if (value.empty()) return {};
  return Line(tag, raw ? Clean(value, false, false) : XMLise(value), level);
}

std::string TGPXFile::WriteInt(std::int64_t value, std::string_view tag, std::int64_t absent, int level) const {
  if (value == absent) return {};
  return Line(tag, numtext::FormatInt(value), level);
}

std::string TGPXFile::WriteTime(std::string_view tag, std::int64_t absent, TDateTime time, int level) const {
  if (time == static_cast<double>(absent)) return {};
  return Line(tag, DateTimeToGPXTime(time), level);
}

std::string TGPXFile::WriteDouble(std::string_view tag, std::int64_t absent, double number, int level) const {
  if (number == static_cast<double>(absent)) return {};
  return Line(tag, FormatGeneral(number), level);
}

void TGPXFile::ExportGPXLink(TGPXTextSink& out, const TGPXLink& link, int level) const {
  std::string text = Indent(level) + "<link";
  if (!link.href.empty()) text += " href=\"" + XMLiseAttribute(link.href) + "\"";
  text += ">" + LineBreakStr;
  text += WriteText(link.text, "text", level + 1);
  text += WriteText(link.ltype, "type", level + 1);
  text += Indent(level) + "</link>" + LineBreakStr;
  out.Write(text);
}

void TGPXFile::ExportGPXWPT(TGPXTextSink& out, const TGPXwpt& point, std::string_view tag, int level) const {
  const int child = level + 1;
  std::string text = Indent(level) + "<" + std::string(tag) + " lat=\"" + FormatGeneral(point.Latitude) +
                     "\" lon=\"" + FormatGeneral(point.Longitude) + "\">" + LineBreakStr;
  text += WriteDouble("ele", 0, point.Altitude, child);
  text += WriteTime("time", 0, point.DateTime, child);
  text += WriteText(point.name, "name", child);
  text += WriteText(point.cmt, "cmt", child);
  text += WriteText(point.desc, "desc", child);
  text += WriteText(point.src, "src", child);
  if (point.link.filled) {
    out.Write(text);
    text.clear();
    ExportGPXLink(out, point.link, child);
  }
  text += WriteText(point.sym, "sym", child);
  text += WriteText(point.wtype, "type", child);
  text += WriteText(point.fix, "fix", child);
  text += WriteInt(point.sat, "sat", 255, child);
  text += WriteInt(point.dgpsid, "dgpsid", -1, child);
  text += WriteDouble("magvar", 0, point.magvar, child);
  text += WriteDouble("geoidheight", 0, point.geoidheight, child);
  text += WriteDouble("hdop", -1, point.hdop, child);
  text += WriteDouble("vdop", -1, point.vdop, child);
  text += WriteDouble("pdop", -1, point.pdop, child);
  text += WriteDouble("ageofdgpsdata", -1, point.ageofdgpsdata, child);
  text += Indent(child) + "<extensions><h:depth>" + FormatDepth(point.HBdepth) + "</h:depth>";
  text += kDepthTail;
  text += "</extensions>" + LineBreakStr;
  text += Indent(level) + "</" + std::string(tag) + ">" + LineBreakStr;
  out.Write(text);
}

void TGPXFile::ExportLineStyle(TGPXTextSink& out, const TGPX_StyleLine& style, const std::string& extensions) const {
  const bool hasColor = !style.IsDefaultColor();
  const bool hasOpacity = std::fabs(style.Opacity()) < 1.0;
  const bool withStyle = GPXOptions.GPX_Style && (hasColor || hasOpacity);
  if (!withStyle && extensions.empty()) return;
  std::string text = Indent(1) + "<extensions>" + LineBreakStr;
  if (withStyle) {
    text += Indent(2) + "<line xmlns=\"http://www.topografix.com/GPX/gpx_style/0/2\">" + LineBreakStr;
    if (hasColor) text += WriteText(style.ColorStr(), "color", 3);
    if (hasOpacity) text += WriteText(style.OpacityStr(), "opacity", 3);
    text += Indent(2) + "</line>" + LineBreakStr;
  }
  text += Clean(extensions, false, false);
  text += Indent(1) + "</extensions>" + LineBreakStr;
  out.Write(text);
}

template <class List>
void TGPXFile::ExportListHead(TGPXTextSink& out, std::string_view tag, const List& list, const std::string& type) const {
  std::string text(1, '<');
  text += tag;
  text += '>';
  text += LineBreakStr;
  text += WriteText(list.name, "name", 1);
  text += WriteText(list.cmt, "cmt", 1);
  text += WriteText(list.desc, "desc", 1);
  text += WriteText(list.src, "src", 1);
  out.Write(text);
  if (list.link.filled) ExportGPXLink(out, list.link, 1);
  out.Write(WriteInt(list.number, "number", -1, 1) + WriteText(type, "type", 1));
  ExportLineStyle(out, list.LineStyle, list.extensions);
}

void TGPXFile::ExportGPXRTE(TGPXTextSink& out, const TGPXrte& route) const {
  ExportListHead(out, "rte", route, route.rtype);
  for (const TGPXwpt& point : route.Waypoints()) ExportGPXWPT(out, point, "rtept", 1);
  out.Write("</rte>" + LineBreakStr);
}

void TGPXFile::ExportGPXTRK(TGPXTextSink& out, const TGPXtrk& track) const {
  ExportListHead(out, "trk", track, track.ttype);
  for (const TGPXtrkseg& segment : track) {
    out.Write(Indent(1) + "<trkseg>" + LineBreakStr);
    for (const TGPXwpt& point : segment.Waypoints()) ExportGPXWPT(out, point, "trkpt", 2);
    out.Write(WriteText(segment.extensions, "extensions", 2, true) + Indent(1) + "</trkseg>" + LineBreakStr);
  }
  out.Write("</trk>" + LineBreakStr);
}

void TGPXFile::ExportGPXMetadata(TGPXTextSink& out, const TGPXmetadata& metadata) const {
  std::string text = "<metadata>" + LineBreakStr;
  text += WriteText(metadata.name, "name", 1);
  text += WriteText(metadata.desc, "desc", 1);
  out.Write(text);
  if (metadata.author.filled) {
    const TGPXperson& author = metadata.author;
    text = Indent(1) + "<author>" + LineBreakStr + WriteText(author.name, "name", 2);
    if (author.email.filled) {
      text += Indent(2) + "<email>" + LineBreakStr;
      text += WriteText(author.email.id, "id", 3);
      text += WriteText(author.email.domain, "domain", 3);
      text += Indent(2) + "</email>" + LineBreakStr;
    }
    out.Write(text);
    if (author.link.filled) ExportGPXLink(out, author.link, 2);
    out.Write(Indent(1) + "</author>" + LineBreakStr);
  }
  if (metadata.copyright.filled) {
    const TGPXcopyright& copyright = metadata.copyright;
    text = Indent(1) + "<copyright";
    if (!copyright.author.empty()) text += " author=\"" + XMLiseAttribute(copyright.author) + "\"";
    text += ">" + LineBreakStr;
    text += WriteInt(copyright.year, "year", -1, 2);
    text += WriteText(copyright.license, "license", 2);
    text += Indent(1) + "</copyright>" + LineBreakStr;
    out.Write(text);
  }
  if (metadata.link.filled) ExportGPXLink(out, metadata.link, 1);
  text = WriteTime("time", 0, metadata.mtime, 1);
  text += WriteText(metadata.keywords, "keywords", 1);
  if (metadata.bounds.filled) {
    const TGPXbounds& b = metadata.bounds;
    text += Indent(1) + "<bounds minlat=\"" + FormatGeneral(b.minlat) + "\" minlon=\"" + FormatGeneral(b.minlon) +
            "\" maxlat=\"" + FormatGeneral(b.maxlat) + "\" maxlon=\"" + FormatGeneral(b.maxlon) + "\" />" +
            LineBreakStr;
  }
  text += WriteText(metadata.extensions, "extensions", 1, true);
  text += "</metadata>" + LineBreakStr;
  out.Write(text);
}

void TGPXFile::ExportGPXWPTList(TGPXTextSink& out, const TGPXwptList& list) const {
  for (const TGPXwpt& point : list.Waypoints()) ExportGPXWPT(out, point, "wpt", 0);
}

void TGPXFile::ExportGPXRTEList(TGPXTextSink& out, const TGPXrteList& list) const {
  for (const TGPXrte& route : list) ExportGPXRTE(out, route);
}

void TGPXFile::ExportGPXTRKList(TGPXTextSink& out, const TGPXtrkList& list) const {
  for (const TGPXtrk& track : list) ExportGPXTRK(out, track);
}

std::string TGPXFile::ExportGPXWPTList(const TGPXwptList& list) const {
  TGPXStringSink out;
  ExportGPXWPTList(out, list);
  return std::move(out.Text);
}

std::string TGPXFile::ExportGPXRTEList(const TGPXrteList& list) const {
  TGPXStringSink out;
  ExportGPXRTEList(out, list);
  return std::move(out.Text);
}

std::string TGPXFile::ExportGPXTRKList(const TGPXtrkList& list) const {
  TGPXStringSink out;
  ExportGPXTRKList(out, list);
  return std::move(out.Text);
}

void TGPXFile::ExportGPX(TGPXTextSink& out) {
  if (GPXd == nullptr) throw std::logic_error("TGPXFile: no document to write");
  LineBreakStr = GPXOptions.Compress ? "" : "\n";
  IndentStr = GPXOptions.Compress ? "" : "\t";

  out.Write("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>" + LineBreakStr);
  out.Write("<gpx version=\"1.1\" creator=\"" + XMLiseAttribute(GPXd->creator) +
            "\" xmlns=\"http://www.topografix.com/GPX/1/1\""
            " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
            " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\""
            " xmlns:h=\"" +
            std::string(kDepthNamespace) + "\">" + LineBreakStr);
  if (GPXd->metadata.filled) {
    GPXd->ComputeMetaBounds();
    ExportGPXMetadata(out, GPXd->metadata);
  }
  ExportGPXWPTList(out, GPXd->wpt);
  if (GPXd->wpt.Count() > 0) out.Write(LineBreakStr);
  ExportGPXRTEList(out, GPXd->rte);
  if (GPXd->rte.Count() > 0) out.Write(LineBreakStr);
  ExportGPXTRKList(out, GPXd->trk);
  if (GPXd->trk.Count() > 0) out.Write(LineBreakStr);

  const std::string& extension = GPXd->extension.Text;
  // Blanks and control characters alone are no extension.
  const bool blank = std::all_of(extension.begin(), extension.end(),
                                 [](char c) { return static_cast<unsigned char>(c) <= ' '; });
  if (!blank) out.Write(WriteText(extension, "extensions", 0, true));
  out.Write("</gpx>");
}

void TGPXFile::ExportSafely(const std::string& Filename, const std::function<void(TGPXTextSink&)>& write) {
  if (GPXd == nullptr) throw std::logic_error(std::string(ClassName()) + ": no document to write");
  TSafeFileWriter file(Filename);
  TFileSink sink(file);
  write(sink);
  file.Commit();
  Modified = false;  // only once the file holds the data
}

void TGPXFile::ExportGPX(const std::string& Filename) {
  ExportSafely(Filename, [this](TGPXTextSink& out) { ExportGPX(out); });
}

void TGPXFile::CopyFrom(const TGPXFile& GPXFile) {
  if (GPXd != nullptr && GPXFile.GPXd != nullptr) GPXd->CopyFrom(*GPXFile.GPXd);
  FileName = GPXFile.FileName;
  Loaded = GPXFile.Loaded;
  Modified = GPXFile.Modified;
}
