// The KML 2.2 writer of the KML file object.

#include <stdexcept>
#include <string>

#include "formats/KMLFile.h"
#include "model/GPX_Style.h"
#include "platform/Color.h"
#include "platform/NumberText.h"

namespace {

// Large enough that a long line string reaches the sink in few pieces.
constexpr std::size_t kCoordinatesChunk = 64 * 1024;

}  // namespace

std::string TKMLFile::KMLLineColor(const TGPX_StyleLine& style) const {
  if (!GPXOptions.GPX_Style || style.IsDefaultColor()) return "FFFF0000";
  // ColorToHex writes the lowest byte first, so the colour with red and blue
  // swapped reads blue, green, red.
  const TColor color = style.Color();
  return "FF" + ColorToHex(RGB(GetBValue(color), GetGValue(color), GetRValue(color)));
}

std::string TKMLFile::KMLCoordinates(const TGPXwpt& point) {
  std::string tuple = FormatGeneral(point.Longitude) + "," + FormatGeneral(point.Latitude);
  if (point.Altitude != 0) tuple += "," + FormatGeneral(point.Altitude);
  return tuple;
}

void TKMLFile::ExportKMLLineStyle(TGPXTextSink& out, const TGPX_StyleLine& style, int level) const {
  out.Write(Indent(level) + "<Style>" + LineBreakStr + Indent(level + 1) + "<LineStyle>" + LineBreakStr +
            WriteText(KMLLineColor(style), "color", level + 2) + WriteText("6", "width", level + 2) +
            Indent(level + 1) + "</LineStyle>" + LineBreakStr + Indent(level) + "</Style>" + LineBreakStr);
}

void TKMLFile::ExportKMLLineCoordinates(TGPXTextSink& out, const TGPXwptList& points, int level) const {
  if (points.IsEmpty()) return;  // as WriteText does with an empty text
  std::string text = Indent(level) + "<coordinates>";
  bool first = true;
  for (const TGPXwpt& point : points.Waypoints()) {
    if (!first) text += ' ';
    first = false;
    text += KMLCoordinates(point);
    if (text.size() >= kCoordinatesChunk) {
      out.Write(text);
      text.clear();
    }
  }
  out.Write(text + "</coordinates>" + LineBreakStr);
}

void TKMLFile::ExportKMLMetadata(TGPXTextSink& out, const TGPXmetadata& metadata) const {
  std::string text = WriteText(metadata.name, "name", 2) + WriteText(metadata.desc, "description", 2);
  if (metadata.author.filled) text += WriteText(metadata.author.name, "atom:author", 2);
  if (metadata.link.filled) text += WriteText(metadata.link.href, "atom:link", 2);
  out.Write(text);
}

void TKMLFile::ExportKMLWPT(TGPXTextSink& out, const TGPXwpt& point, int level) const {
  std::string text = Indent(level) + "<Placemark>" + LineBreakStr;
  text += WriteText(point.name, "name", level + 1);
  text += WriteText(point.desc, "description", level + 1);
  if (point.DateTime != 0) {
    text += Indent(level + 1) + "<TimeStamp>" + LineBreakStr;
    text += WriteTime("when", 0, point.DateTime, level + 2);
    text += Indent(level + 1) + "</TimeStamp>" + LineBreakStr;
  }
  text += Indent(level + 1) + "<Point>" + LineBreakStr;
  text += WriteText(KMLCoordinates(point), "coordinates", level + 2);
  text += Indent(level + 1) + "</Point>" + LineBreakStr;
  if (point.link.filled) text += WriteText(point.link.href, "atom:link", level + 1);
  text += Indent(level) + "</Placemark>" + LineBreakStr;
  out.Write(text);
}

void TKMLFile::ExportKMLRTE(TGPXTextSink& out, const TGPXrte& route, int level) const {
  out.Write(Indent(level) + "<Placemark>" + LineBreakStr + WriteText(route.name, "name", level + 1) +
            WriteText(route.desc, "description", level + 1));
  ExportKMLLineStyle(out, route.LineStyle, level + 1);
  out.Write(Indent(level + 1) + "<LineString>" + LineBreakStr);
  ExportKMLLineCoordinates(out, route, level + 2);
  out.Write(WriteText("1", "tessellate", level + 2) + Indent(level + 1) + "</LineString>" + LineBreakStr);
  if (route.link.filled) out.Write(WriteText(route.link.href, "atom:link", level + 1));
  out.Write(Indent(level) + "</Placemark>" + LineBreakStr);
}

void TKMLFile::ExportKMLTRK(TGPXTextSink& out, const TGPXtrk& track, int level) const {
  if (track.IsEmpty()) return;
  std::string text = Indent(level) + "<Folder>" + LineBreakStr;
  text += WriteText(track.name, "name", level + 1);
  text += WriteText(track.desc, "description", level + 1);
  if (track.link.filled) text += WriteText(track.link.href, "atom:link", level + 1);
  out.Write(text);
  int number = 0;
  for (const TGPXtrkseg& segment : track) {
    out.Write(Indent(level + 1) + "<Placemark>" + LineBreakStr +
              WriteText("Track Segment #" + numtext::FormatInt(++number), "name", level + 2));
    ExportKMLLineStyle(out, track.LineStyle, level + 2);
    out.Write(Indent(level + 2) + "<LineString>" + LineBreakStr + WriteText("1", "tessellate", level + 3));
    ExportKMLLineCoordinates(out, segment, level + 3);
    out.Write(Indent(level + 2) + "</LineString>" + LineBreakStr + Indent(level + 1) + "</Placemark>" +
              LineBreakStr);
  }
  out.Write(Indent(level) + "</Folder>" + LineBreakStr);
}

void TKMLFile::ExportKMLWPTList(TGPXTextSink& out, const TGPXwptList& list, int level) const {
  if (list.IsEmpty()) return;
  out.Write(Indent(level) + "<Folder>" + LineBreakStr + WriteText("Waypoints", "name", level + 1));
  for (const TGPXwpt& point : list.Waypoints()) ExportKMLWPT(out, point, level + 1);
  out.Write(Indent(level) + "</Folder>" + LineBreakStr);
}

void TKMLFile::ExportKMLRTEList(TGPXTextSink& out, const TGPXrteList& list, int level) const {
  if (list.IsEmpty()) return;
  out.Write(Indent(level) + "<Folder>" + LineBreakStr + WriteText("Routes", "name", level + 1));
  for (const TGPXrte& route : list) ExportKMLRTE(out, route, level + 1);
  out.Write(Indent(level) + "</Folder>" + LineBreakStr);
}

void TKMLFile::ExportKMLTRKList(TGPXTextSink& out, const TGPXtrkList& list, int level) const {
  if (list.IsEmpty()) return;
  out.Write(Indent(level) + "<Folder>" + LineBreakStr + WriteText("Tracks", "name", level + 1));
  for (const TGPXtrk& track : list) ExportKMLTRK(out, track, level + 1);
  out.Write(Indent(level) + "</Folder>" + LineBreakStr);
}

void TKMLFile::ExportKML(TGPXTextSink& out) {
  if (GPXd == nullptr) throw std::logic_error("TKMLFile: no document to write");
  LineBreakStr = GPXOptions.Compress ? "" : "\r\n";
  IndentStr = GPXOptions.Compress ? "" : "\t";

  out.Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + LineBreakStr);
  out.Write("<kml xmlns=\"" + std::string(kKMLNamespace) + "\" xmlns:atom=\"" + std::string(kAtomNamespace) +
            "\">" + LineBreakStr);
  out.Write(Indent(1) + "<Document>" + LineBreakStr);
  if (GPXd->metadata.filled) {
    GPXd->ComputeMetaBounds();
    ExportKMLMetadata(out, GPXd->metadata);
  }
  ExportKMLWPTList(out, GPXd->wpt, 2);
  if (!GPXd->wpt.IsEmpty()) out.Write(LineBreakStr);
  ExportKMLRTEList(out, GPXd->rte, 2);
  if (!GPXd->rte.IsEmpty()) out.Write(LineBreakStr);
  ExportKMLTRKList(out, GPXd->trk, 2);
  if (!GPXd->trk.IsEmpty()) out.Write(LineBreakStr);
  out.Write(Indent(1) + "</Document>" + LineBreakStr + "</kml>" + LineBreakStr);
}

void TKMLFile::ExportKML(const std::string& Filename) {
  ExportSafely(Filename, [this](TGPXTextSink& out) { ExportKML(out); });
}
