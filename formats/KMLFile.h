#pragma once

#include <string>
#include <string_view>

#include "formats/GPXFile.h"
#include "model/GPX.h"

// The namespaces of the kml root: KML 2.2, and Atom for the atom:author and
// atom:link elements, so that namespace-aware readers accept the files.
inline constexpr std::string_view kKMLNamespace = "http://www.opengis.net/kml/2.2";
inline constexpr std::string_view kAtomNamespace = "http://www.w3.org/2005/Atom";

// The KML file object: the GPX file object's document, options, log and line
// builders, with KML 2.2 as the file format.
class TKMLFile : public TGPXFile {
public:
  TKMLFile() = default;
  const char* ClassName() const override { return "TKMLFile"; }

  // Writes GPXd as KML 2.2: the metadata, a folder of waypoint placemarks, a
  // folder of route placemarks, and a folder per track with a placemark per
  // segment. UTF-8, CR LF and a tab, or one line with Compress. The old file is
  // replaced only when the new one is complete; a failure throws and leaves it.
  void ExportKML(const std::string& Filename);
  // The same document text, to any sink.
  void ExportKML(TGPXTextSink& out);

  // Reads the named KML file (root kml in any letter case, any version, any
  // prefix; a placemark's children by local name in its namespace) into
  // GPXd: a placemark with a point becomes a waypoint, one with a line string a
  // track of one segment named after the placemark's parent (a line of one
  // point a waypoint of that name). A file that is not XML, has no kml root or
  // holds a coordinate that is no position adds nothing and logs "File not
  // loaded"; Loaded turns True once a kml root was read. The result holds
  // this read's log lines and the placemarks that gave nothing.
  TReadResult ImportKML(const std::string& FileName);

private:
  class TKMLImport;

  // "FF" (opaque) and the style's colour in KML's order blue, green, red;
  // FFFF0000 (blue) unless GPX_Style is set and the style has a colour.
  std::string KMLLineColor(const TGPX_StyleLine& style) const;
  // "lon,lat" and ",alt" when the altitude is not 0.
  static std::string KMLCoordinates(const TGPXwpt& point);

  // Each list builder writes its folder at `level`, nothing for an empty list.
  void ExportKMLMetadata(TGPXTextSink& out, const TGPXmetadata& metadata) const;
  void ExportKMLWPTList(TGPXTextSink& out, const TGPXwptList& list, int level) const;
  void ExportKMLWPT(TGPXTextSink& out, const TGPXwpt& point, int level) const;
  void ExportKMLRTEList(TGPXTextSink& out, const TGPXrteList& list, int level) const;
  void ExportKMLRTE(TGPXTextSink& out, const TGPXrte& route, int level) const;
  void ExportKMLTRKList(TGPXTextSink& out, const TGPXtrkList& list, int level) const;
  void ExportKMLTRK(TGPXTextSink& out, const TGPXtrk& track, int level) const;

  // The Style block of a line placemark at level.
  void ExportKMLLineStyle(TGPXTextSink& out, const TGPX_StyleLine& style, int level) const;
  // The coordinates line of a line string: tuples separated by one blank.
  void ExportKMLLineCoordinates(TGPXTextSink& out, const TGPXwptList& points, int level) const;
};
