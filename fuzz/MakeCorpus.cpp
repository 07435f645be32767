// Writes the seed corpora of the fuzz targets from the program's own writers:
//   MakeCorpus <corpus folder>
// Each seed is small and valid, so the fuzzer starts from the shapes real files
// have and mutates them; a few broken variants show it the refusal paths.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "formats/KMLFile.h"
#include "platform/Bitmap.h"
#include "tests/support/TrackBuilder.h"

namespace fs = std::filesystem;

namespace {

fs::path gRoot;

void Seed(const std::string& target, const std::string& name, std::string_view bytes) {
  const fs::path folder = gRoot / target;
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// A small lake survey: a buoy, a route and a track of two segments with depths.
TGPX& Survey() {
  static TGPX doc;
  if (doc.trk.Count() > 0) return doc;
  doc.wpt.Add(MakePoint(47.5, 9.25, 120));
  auto route = std::make_unique<TGPXrte>();
  route->name = "Shore";
  route->Add(MakePoint(47.51, 9.26));
  route->Add(MakePoint(47.52, 9.27));
  doc.rte.Add(std::move(route));
  doc.trk.Add(MakeTrack({{{47.501, 9.251, 1250}, {47.502, 9.252, 980}, {47.503, 9.2505, 700}},
                         {{47.504, 9.249, 300}, {47.505, 9.248, 150}}},
                        "Survey"));
  return doc;
}

// The survey as one of the program's writers puts it.
template <class File>
std::string Exported(void (File::*write)(TGPXTextSink&)) {
  File file;
  file.GPXd = &Survey();
  TGPXStringSink sink;
  (file.*write)(sink);
  return sink.Text;
}

std::u16string Utf16(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

std::string Utf16Bytes(std::string_view ascii, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : Utf16(ascii)) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

constexpr std::string_view kDoctype =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE gpx [\n"
    "  <!ELEMENT gpx (trk*)>\n"
    "  <!ATTLIST gpx version CDATA #REQUIRED creator CDATA \"fuzz\">\n"
    "  <!ENTITY lake \"Lake &#x26;amp; shore\">\n"
    "  <!ENTITY % pe \"<!ENTITY inner 'x'>\">\n"
    "  %pe;\n"
    "  <!NOTATION png SYSTEM \"image/png\">\n"
    "]>\n"
    "<gpx version=\"1.1\"><!-- note --><?pi data?><trk><name>&lake;&inner;</name>"
    "<![CDATA[<raw>]]></trk></gpx>\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: MakeCorpus <corpus folder>\n";
    return 2;
  }
  gRoot = argv[1];
  const std::string gpx = Exported<TGPXFile>(&TGPXFile::ExportGPX);
  const std::string kml = Exported<TKMLFile>(&TKMLFile::ExportKML);

  const THTConvert::TEncoded ht = THTConvert::EncodeHT(Survey(), "Survey", 41061.5);
  if (ht.Bytes.empty()) {
    std::cerr << "HT: " << ht.Error << "\n";
    return 1;
  }
  Seed("ht", "survey.ht", Bytes(ht.Bytes));
  Seed("ht", "header-only.ht", Bytes(ht.Bytes).substr(0, THTConvert::kHeaderSize));

  TBitmap bitmap(3, 2);
  bitmap.SetPixel(0, 0, 0x0000FF);
  bitmap.SetPixel(2, 1, 0x00FF00);
  const fs::path bmpFile = gRoot / "tiny.bmp";
  fs::create_directories(gRoot);
  if (!bitmap.SaveToFile(bmpFile.string())) return 1;
  std::ifstream bmpIn(bmpFile, std::ios::binary);
  const std::string bmp{std::istreambuf_iterator<char>(bmpIn), std::istreambuf_iterator<char>()};
  bmpIn.close();
  fs::remove(bmpFile);
  Seed("bmp", "tiny-24.bmp", bmp);
  Seed("bmp", "truncated.bmp", bmp.substr(0, 30));

  Seed("gpx", "survey.gpx", gpx);
  Seed("gpx", "gpx10.gpx",
       "<?xml version=\"1.0\"?><gpx version=\"1.0\"><wpt lat=\"1\" lon=\"2\"><time>2020-01-01T00:00:00Z</time>"
       "<depth>3.5</depth></wpt></gpx>");
  // Shaped like a sounder's track of another program: its own depth element,
  // blanks and letter case as other writers leave them.
  Seed("gpx", "sounder.gpx",
       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\r\n"
       "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" creator=\"Sounder\" version=\"1.1\" "
       "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">\r\n"
       "<metadata><link href=\"http://www.garmin.com\"><text>Garmin</text></link>"
       "<time>2023-05-01T10:00:00Z</time></metadata>\r\n<trk><name>Lake 2023-05-01</name>\r\n<trkseg>\r\n"
       "  <trkpt lat=\"47.1000\" lon=\"8.2000\">\r\n    <ele>401.2</ele>\r\n"
       "    <time>2023-05-01T10:00:01.500Z</time>\r\n    <extensions>\r\n      <gpxtpx:TrackPointExtension>"
       "<gpxtpx:wtemp>14.5</gpxtpx:wtemp><gpxtpx:depth>3.25</gpxtpx:depth></gpxtpx:TrackPointExtension>\r\n"
       "    </extensions>\r\n  </trkpt>\r\n  <TRKPT lon='8.2001' lat='47.1001'><ELE> 400 </ELE><fix>3d</fix>"
       "<sat>7</sat></TRKPT>\r\n  <trkpt lat=\"47.1002\" lon=\"8.2002\"/>\r\n</trkseg>\r\n</trk>\r\n</gpx>\r\n");
  Seed("kml", "survey.kml", kml);
  for (const std::string target : {"xml_events", "xml_dom"}) {
    Seed(target, "survey.gpx", gpx);
    Seed(target, "survey.kml", kml);
    Seed(target, "doctype.xml", kDoctype);
    Seed(target, "utf16le.xml", Utf16Bytes("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a b='c'>d</a>", false));
  }
  const char* expressions[] = {
      "trk/trkseg/trkpt[@lat > 47.5]/extensions/h:depth",
      "//trkpt[position() = last()]",
      "count(//trkpt) + sum(//h:depth) div 2",
      "/gpx/wpt[name = 'Buoy']/@lon | //ele",
      "string-length(normalize-space(concat(name, ' ', ../name)))",
      "ancestor-or-self::*[not(self::trkseg)]/following-sibling::node()",
      "substring(//time, 1, 4) = '2024' and contains(//name, 'ak')",
      "..//*[starts-with(name(), 'trk')][2]/text()",
  };
  int n = 0;
  for (const char* expression : expressions) Seed("xpath", "expr" + std::to_string(n++) + ".txt", expression);

  // The first byte picks the filter's format: 0 UTF-8, 1 UTF-16LE, 2 UTF-16BE,
  // 3 ISO-8859-1, 4 what the byte-order mark says.
  Seed("charfilter", "utf8", std::string("\x00", 1) + "<a>\xC3\xA4\xE2\x82\xAC\xF0\x9F\x90\x9F</a>\r\n");
  Seed("charfilter", "utf16le-bom", "\x04" + Utf16Bytes("<a>x</a>\r\n", false));
  Seed("charfilter", "utf16be-bom", "\x04" + Utf16Bytes("<a>x</a>\r\n", true));
  Seed("charfilter", "latin1", "\x03<a>\xE4\xF6\xFC</a>");
  Seed("charfilter", "utf8-bom", "\x04\xEF\xBB\xBF<a/>");
  std::cout << "seed corpora written under " << gRoot.string() << "\n";
  return 0;
}
