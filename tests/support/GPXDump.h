#pragma once

// A GPX document as one text that names every field read from a file, numbers
// to the bit, so that two reads of one file compare in full.

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

#include "model/GPX.h"

namespace gpxdump {

inline std::string Bits(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
  return text;
}

inline std::string Link(const TGPXLink& link) {
  return "link[" + link.href + "|" + link.text + "|" + link.ltype + "|" + std::to_string(link.filled) + "]";
}

inline void Points(std::string& out, const TGPXwptList& list) {
  out += " filled=" + std::to_string(list.filled) + " points=" + std::to_string(list.Count()) + "\n";
  for (const TGPXwpt& p : list.Waypoints()) {
    out += "  pt " + Bits(p.Latitude) + " " + Bits(p.Longitude) + " ele=" + Bits(p.Altitude) +
           " depth=" + Bits(p.HBdepth) + " time=" + Bits(p.DateTime) + " magvar=" + Bits(p.magvar) +
           " geoid=" + Bits(p.geoidheight) + " name=" + p.name + "|cmt=" + p.cmt + "|desc=" + p.desc +
           "|src=" + p.src + "|" + Link(p.link) + " sym=" + p.sym + "|type=" + p.wtype + "|fix=" + p.fix +
           "| sat=" + std::to_string(p.sat) + " hdop=" + Bits(p.hdop) + " vdop=" + Bits(p.vdop) +
           " pdop=" + Bits(p.pdop) + " age=" + Bits(p.ageofdgpsdata) + " dgps=" + std::to_string(p.dgpsid) +
           " ext=" + p.extensions + "\n";
  }
}

template <class Fields>
void Head(std::string& out, const Fields& f, const std::string& type) {
  out += f.name + "|" + f.cmt + "|" + f.desc + "|" + f.src + "|" + Link(f.link) + "|" + std::to_string(f.number) +
         "|" + type + "|" + f.extensions + "|" + f.LineStyle.ColorStr() + "|" + f.LineStyle.OpacityStr();
}

inline std::string Dump(const TGPX& doc) {
  std::string out = "metadata " + std::to_string(doc.metadata.filled) + " " + doc.metadata.name + "|" +
                    doc.metadata.desc + "|" + Bits(doc.metadata.mtime) + "|" + doc.metadata.keywords + "|" +
                    doc.metadata.extensions + "|" + Link(doc.metadata.link) + "\nextension " + doc.extension.Text +
                    "\nwpt";
  Points(out, doc.wpt);
  out += "rte filled=" + std::to_string(doc.rte.filled) + "\n";
  for (const TGPXrte& route : doc.rte) {
    out += " rte ";
    Head(out, route, route.rtype);
    Points(out, route);
  }
  out += "trk filled=" + std::to_string(doc.trk.filled) + "\n";
  for (const TGPXtrk& track : doc.trk) {
    out += " trk ";
    Head(out, track, track.ttype);
    out += "\n";
    for (const TGPXtrkseg& segment : track) {
      out += " seg max=" + std::to_string(segment.maxdepth) + " ext=" + segment.extensions;
      Points(out, segment);
    }
  }
  return out;
}

}  // namespace gpxdump
