#include "formats/GPXFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/FileTest.h"
#include "tests/support/TrackBuilder.h"

#include "model/GPX.h"
#include "platform/MathErrors.h"
#include "platform/SafeFile.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/XmlOracle.h"

using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace {

const std::string kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
    "<gpx version=\"1.1\" creator=\"\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\" "
    "xmlns:h=\"urn:shoalwright:depth:1\">\n";

std::string DepthLine(const std::string& depth) {
  return "<extensions><h:depth>" + depth +
         "</h:depth><h:id>1</h:id><h:visible>true</h:visible><h:share>false</h:share><h:status>1</h:status>"
         "<h:delta>false</h:delta></extensions>\n";
}

std::string Export(TGPX& gpx, bool style = false, bool compress = false) {
  TGPXFile file;
  file.GPXd = &gpx;
  file.GPXOptions.GPX_Style = style;
  file.GPXOptions.Compress = compress;
  TGPXStringSink out;
  file.ExportGPX(out);
  return out.Text;
}

class GPXFileOnDisk : public TFileTest {};

TEST_F(GPXFileOnDisk, OnePointDocumentIsWrittenByteForByteWhateverTheLocale) {
  REQUIRE_COMMA_LOCALE(german);
  TGPX gpx;
  AddTrackPoint(gpx, 47.5, 9.25, 123.4);
  TGPXFile file;
  file.GPXd = &gpx;
  file.Modified = true;
  const std::string path = Path("project.gpx");
  file.ExportGPX(path);
  EXPECT_EQ(Contents(path), kHeader +
                                "<trk>\n"
                                "\t<trkseg>\n"
                                "\t\t<trkpt lat=\"47.5\" lon=\"9.25\">\n"
                                "\t\t\t" + DepthLine("123.4") +
                                "\t\t</trkpt>\n"
                                "\t</trkseg>\n"
                                "</trk>\n"
                                "\n"
                                "</gpx>");
  EXPECT_FALSE(file.Modified);
  EXPECT_EQ(file.LineBreakStr, "\n");
}

TEST_F(GPXFileOnDisk, AFailedExportKeepsTheOldFile) {
  const std::string path = Path("project.gpx");
  TGPX good;
  AddTrackPoint(good, 1, 2, 3);
  TGPXFile file;
  file.GPXd = &good;
  file.ExportGPX(path);
  const std::string before = Contents(path);

  TGPX bad;
  AddTrackPoint(bad, 1, 2, 3);
  AddTrackPoint(bad, 1, 2, 3).DateTime = std::numeric_limits<double>::quiet_NaN();
  TGPXFile failing;
  failing.GPXd = &bad;
  EXPECT_THROW(failing.ExportGPX(path), EInvalidOp);
  EXPECT_EQ(Contents(path), before);
  EXPECT_EQ(EntriesInDir(), 1);

  EXPECT_THROW(file.ExportGPX(Path("no/folder/x.gpx")), EFileError);
}

TEST_F(GPXFileOnDisk, AFailedSaveLeavesTheDataMarkedAsModified) {
  TGPX gpx;
  AddTrackPoint(gpx, 1, 2, 3);
  TGPXFile file;
  file.GPXd = &gpx;
  // The document text is complete, but it cannot take the place of a folder.
  const std::string taken = Path("taken.gpx");
  fs::create_directory(taken);
  std::ofstream(taken + "/inside.txt") << "x";
  for (const std::string& path : {taken, Path("no/folder/x.gpx")}) {
    file.Modified = true;
    EXPECT_THROW(file.ExportGPX(path), EFileError) << path;
    EXPECT_TRUE(file.Modified) << path;
  }
  EXPECT_TRUE(fs::is_directory(taken));
  file.ExportGPX(Path("saved.gpx"));
  EXPECT_FALSE(file.Modified);
}

// Every field the writer knows, with texts that need escapes, so that an
// independent reader sees everything the file holds.
void FillEverything(TGPX& gpx) {
  gpx.creator = "Shoal\"wright\t& co\nline two";
  TGPXmetadata& m = gpx.metadata;
  m.filled = true;
  m.name = "Lake <north>";
  m.desc = "first\r\nsecond";
  m.author.filled = true;
  m.author.name = "Ann";
  m.author.email.filled = true;
  m.author.email.id = "ann";
  m.author.email.domain = "example.org";
  m.author.link.filled = true;
  m.author.link.href = "http://a/?x=1&y=\"2\"";
  m.copyright.filled = true;
  m.copyright.author = "Ann\tAngler";
  m.copyright.year = 2012;
  m.copyright.license = "free";
  m.link.filled = true;
  m.link.href = "http://lake";
  m.mtime = 41061.5;
  m.keywords = "depth, lake";
  m.extensions = "<x:m xmlns:x=\"urn:x\">1</x:m>";
  auto waypoint = std::make_unique<TGPXwpt>();
  waypoint->Latitude = 47.5;
  waypoint->Longitude = 9.25;
  waypoint->name = "A&B \xE2\x82\xAC";
  waypoint->link.filled = true;
  waypoint->link.href = "http://b";
  waypoint->sat = 7;
  waypoint->hdop = 0.9;
  gpx.wpt.Add(std::move(waypoint));
  auto route = std::make_unique<TGPXrte>();
  route->name = "R";
  route->LineStyle.SetColorStr("FF0000");
  route->extensions = "<y:r xmlns:y=\"urn:y\"/>";
  route->Add(MakePoint(47.1, 9.1));
  gpx.rte.Add(std::move(route));
  auto track = MakeTrack({{{47.2, 9.2, 120.5}, {47.3, 9.3, 99}}, {{47.4, 9.4, 1234.5}}}, "T");
  track->LineStyle.SetOpacity(0.5);
  track->extensions = "<z:t xmlns:z=\"urn:z\">t</z:t>";
  track->GetTrkSeg(0)->extensions = "<z:s xmlns:z=\"urn:z\"/>";
  gpx.trk.Add(std::move(track));
  gpx.extension.Text = "<z:top xmlns:z=\"urn:z\"/>";
}

// xmllint reads what the writer makes (the project and the contours alike) as
// namespace-well-formed, and finds the texts as they were.
TEST_F(GPXFileOnDisk, EveryFileWrittenReadsInANamespaceAwareReader) {
  for (const bool style : {false, true}) {
    for (const bool compress : {false, true}) {
      TGPX gpx;
      FillEverything(gpx);
      TGPXFile file;
      file.GPXd = &gpx;
      file.GPXOptions.GPX_Style = style;
      file.GPXOptions.Compress = compress;
      const std::string path = Path("everything.gpx");
      file.ExportGPX(path);
      const std::string where = std::string(style ? "style" : "no style") + (compress ? ", compressed" : "");
      const TXmlOracleResult check = TXmlOracle::WellFormed(path);
      EXPECT_TRUE(check.Ok()) << where << "\n" << check.errors;
      const auto xpath = [&](const std::string& expression) {
        return TXmlOracle::Run({"--xpath", expression}, path).output;
      };
      EXPECT_EQ(xpath("string(/*/@creator)"), gpx.creator + "\n") << where;
      EXPECT_EQ(xpath("string(//*[local-name()='copyright']/@author)"), "Ann\tAngler\n") << where;
      EXPECT_EQ(xpath("string(//*[local-name()='metadata']/*[local-name()='desc'])"), "first\r\nsecond\n") << where;
      EXPECT_EQ(xpath("string(//*[local-name()='author']//@href)"), "http://a/?x=1&y=\"2\"\n") << where;
      EXPECT_EQ(xpath("count(//*[local-name()='trkpt'])"), "3\n") << where;
      EXPECT_EQ(xpath("string(//*[local-name()='trkpt'][1]//*[local-name()='depth'])"), "120.5\n") << where;
    }
  }
}

TEST(GPXFormat, NumbersFollowTheDialectsTwoFormatsWithAPointAlways) {
  REQUIRE_COMMA_LOCALE(german);
  struct Case {
    double value;
    const char* general;
    const char* depth;
  };
  // Depths from 1000 on keep their full value with one decimal.
  const Case cases[] = {
      {0, "0", "0.0"},          {0.04, "0.04", "0.0"},         {0.05, "0.05", "0.1"},
      {0.00005, "5E-5", "0.0"}, {5.25, "5.25", "5.3"},         {10.0, "10", "10.0"},
      {12.34, "12.34", "12.3"}, {-0.25, "-0.25", "-0.3"},      {123.45, "123.45", "123.5"},
      {99.96, "99.96", "100.0"}, {999.4, "999.4", "999.4"},    {999.96, "999.96", "1000.0"},
      {1234.5, "1234.5", "1234.5"}, {1234, "1234", "1234.0"},  {2500, "2500", "2500.0"},
      {-1500.04, "-1500.04", "-1500.0"}, {1e15, "1E15", "1000000000000000.0"},
      {47.123456789012345, "47.1234567890123", "47.1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TGPXFile::FormatGeneral(c.value), c.general) << c.value;
    EXPECT_EQ(TGPXFile::FormatDepth(c.value), c.depth) << c.value;
  }
}

TEST(GPXFormat, TimesAreTheDayCountsCalendarTime) {
  struct Case {
    double time;
    const char* text;
  };
  for (const Case& c : {Case{0.5, "1899-12-30T12:00:00Z"}, Case{41061.430902777778, "2012-06-01T10:20:30Z"},
                        Case{36526.9999999, "2000-01-01T23:59:59Z"}, Case{0.99999999999, "1899-12-31T00:00:00Z"},
                        Case{-1.25, "1899-12-29T06:00:00Z"}, Case{2958465.5, "9999-12-31T12:00:00Z"},
                        Case{-693593, "0001-01-01T00:00:00Z"}}) {
    EXPECT_EQ(TGPXFile::DateTimeToGPXTime(c.time), c.text) << c.time;
  }
  EXPECT_THROW(TGPXFile::DateTimeToGPXTime(std::numeric_limits<double>::infinity()), EInvalidOp);
}

TEST(GPXFormat, TextsAreEscapedAndCleanedForXml) {
  struct Case {
    std::string in;
    std::string element;
    std::string attribute;
  };
  const Case cases[] = {
      {"A&B<C>", "A&amp;B&lt;C&gt;", "A&amp;B&lt;C&gt;"},
      {"say \"hi\"", "say \"hi\"", "say &quot;hi&quot;"},
      // HT names may carry control bytes; a reader keeps a CR only as a reference, an attribute's
      // tab and LF too.
      {"a\x01" "b\x1F" "c\td\ne\rf\r\n", "abc\td\ne&#13;f&#13;\n", "abc&#9;d&#10;e&#13;f&#13;&#10;"},
      {"See\xC3\xA4 \xE2\x82\xAC \xF0\x9F\x90\x9F", "See\xC3\xA4 \xE2\x82\xAC \xF0\x9F\x90\x9F",
       "See\xC3\xA4 \xE2\x82\xAC \xF0\x9F\x90\x9F"},                         // ä, €, a fish: UTF-8 unchanged
      {"L\xE4ke", "L\xEF\xBF\xBDke", "L\xEF\xBF\xBDke"},                   // a stray Latin-1 byte
      {"x\xEF\xBF\xBEy\xED\xA0\x80z", "xy\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz",
       "xy\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz"},                           // U+FFFE dropped, a surrogate is no UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TGPXFile::XMLise(c.in), c.element) << c.in;
    EXPECT_EQ(TGPXFile::XMLiseAttribute(c.in), c.attribute) << c.in;
  }
}

TEST(GPXWriter, LineBuildersSkipAbsentValues) {
  TGPXFile file;  // a new object lays out with CR LF
  EXPECT_EQ(file.WriteText("", "name", 1), "");
  EXPECT_EQ(file.WriteText("a<b", "name", 2), "\t\t<name>a&lt;b</name>\r\n");
  EXPECT_EQ(file.WriteText("<x a=\"1\"/>\x02", "extensions", 0, true), "<extensions><x a=\"1\"/></extensions>\r\n");
  EXPECT_EQ(file.WriteInt(255, "sat", 255, 1), "");
  EXPECT_EQ(file.WriteInt(-3, "sat", 255, 1), "\t<sat>-3</sat>\r\n");
  EXPECT_EQ(file.WriteDouble("hdop", -1, -1.0, 1), "");
  EXPECT_EQ(file.WriteDouble("hdop", -1, 0.5, 0), "<hdop>0.5</hdop>\r\n");
  EXPECT_EQ(file.WriteTime("time", 0, 0, 1), "");
}

TEST(GPXWriter, AFullWaypointKeepsTheDialectsChildOrder) {
  TGPX gpx;
  gpx.creator = "Shoal\"wright & co";
  auto p = std::make_unique<TGPXwpt>();
  p->Latitude = -12.5;
  p->Longitude = 0.00001;
  p->Altitude = 431.25;
  p->DateTime = 0.5;
  p->HBdepth = 1234.5;
  p->name = "A&B";
  p->cmt = "c";
  p->desc = "d";
  p->src = "s";
  p->link.filled = true;
  p->link.href = "http://x/?a=1&b=\"2\"";
  p->link.text = "t";
  p->link.ltype = "text/html";
  p->sym = "Flag";
  p->wtype = "wt";
  p->fix = "3d";
  p->sat = 7;
  p->dgpsid = 12;
  p->magvar = 1.5;
  p->geoidheight = 48;
  p->hdop = 0.9;
  p->vdop = 1.1;
  p->pdop = 1.4;
  p->ageofdgpsdata = 3;
  p->extensions = "<not written/>";
  gpx.wpt.Add(std::move(p));
  auto plain = std::make_unique<TGPXwpt>();
  plain->Latitude = 1;
  plain->Longitude = 2;
  gpx.wpt.Add(std::move(plain));

  const std::string text = Export(gpx);
  EXPECT_THAT(text, HasSubstr("creator=\"Shoal&quot;wright &amp; co\" xmlns="));
  EXPECT_EQ(text.substr(text.find("<wpt")),
            "<wpt lat=\"-12.5\" lon=\"1E-5\">\n"
            "\t<ele>431.25</ele>\n"
            "\t<time>1899-12-30T12:00:00Z</time>\n"
            "\t<name>A&amp;B</name>\n"
            "\t<cmt>c</cmt>\n"
            "\t<desc>d</desc>\n"
            "\t<src>s</src>\n"
            "\t<link href=\"http://x/?a=1&amp;b=&quot;2&quot;\">\n"
            "\t\t<text>t</text>\n"
            "\t\t<type>text/html</type>\n"
            "\t</link>\n"
            "\t<sym>Flag</sym>\n"
            "\t<type>wt</type>\n"
            "\t<fix>3d</fix>\n"
            "\t<sat>7</sat>\n"
            "\t<dgpsid>12</dgpsid>\n"
            "\t<magvar>1.5</magvar>\n"
            "\t<geoidheight>48</geoidheight>\n"
            "\t<hdop>0.9</hdop>\n"
            "\t<vdop>1.1</vdop>\n"
            "\t<pdop>1.4</pdop>\n"
            "\t<ageofdgpsdata>3</ageofdgpsdata>\n"
            "\t" + DepthLine("1234.5") +
            "</wpt>\n"
            "<wpt lat=\"1\" lon=\"2\">\n"
            "\t" + DepthLine("0.0") +
            "</wpt>\n"
            "\n"
            "</gpx>");
}

TEST(GPXWriter, RoutesAndTracksCarryTheirStyleOnlyWhenAskedAndSet) {
  TGPX gpx;
  auto route = std::make_unique<TGPXrte>();
  route->name = "R";
  route->number = 4;
  route->rtype = "boat";
  route->LineStyle.SetOpacity(0.5);
  auto rp = std::make_unique<TGPXwpt>();
  rp->Latitude = 3;
  rp->Longitude = 4;
  rp->HBdepth = 50;
  route->Add(std::move(rp));
  gpx.rte.Add(std::move(route));

  auto red = std::make_unique<TGPXtrk>();
  red->LineStyle.SetColor(0x0000FF);
  red->extensions = "<x:y/>";
  auto segment = std::make_unique<TGPXtrkseg>();
  segment->extensions = "<seg/>";
  red->Add(std::move(segment));
  gpx.trk.Add(std::move(red));
  gpx.trk.Add(std::make_unique<TGPXtrk>());  // default style, no extensions

  const std::string styled = Export(gpx, true);
  EXPECT_EQ(styled.substr(styled.find("<rte>")),
            "<rte>\n"
            "\t<name>R</name>\n"
            "\t<number>4</number>\n"
            "\t<type>boat</type>\n"
            "\t<extensions>\n"
            "\t\t<line xmlns=\"http://www.topografix.com/GPX/gpx_style/0/2\">\n"
            "\t\t\t<opacity>0.5</opacity>\n"
            "\t\t</line>\n"
            "\t</extensions>\n"
            "\t<rtept lat=\"3\" lon=\"4\">\n"
            "\t\t" + DepthLine("50.0") +
            "\t</rtept>\n"
            "</rte>\n"
            "\n"
            "<trk>\n"
            "\t<extensions>\n"
            "\t\t<line xmlns=\"http://www.topografix.com/GPX/gpx_style/0/2\">\n"
            "\t\t\t<color>FF0000</color>\n"
            "\t\t</line>\n"
            "<x:y/>\t</extensions>\n"
            "\t<trkseg>\n"
            "\t\t<extensions><seg/></extensions>\n"
            "\t</trkseg>\n"
            "</trk>\n"
            "<trk>\n"
            "</trk>\n"
            "\n"
            "</gpx>");

  // Without GPX_Style only the raw extension text remains.
  const std::string plain = Export(gpx, false);
  EXPECT_THAT(plain, Not(HasSubstr("<line")));
  EXPECT_THAT(plain, HasSubstr("<trk>\n\t<extensions>\n<x:y/>\t</extensions>\n"));
  EXPECT_THAT(plain, HasSubstr("<type>boat</type>\n\t<rtept"));
}

TEST(GPXWriter, RouteAndTrackChildrenComeInTheDialectsOrder) {
  auto describe = [](auto& item) {
    item.name = "n";
    item.cmt = "c";
    item.desc = "d";
    item.src = "s";
    item.link.filled = true;
    item.link.href = "h";
    item.link.text = "t";
    item.number = 2;
    item.LineStyle.SetColor(0x00FF8000);
    item.LineStyle.SetOpacity(-0.25);  // the magnitude counts
  };
  const std::string children =
      "\t<name>n</name>\n"
      "\t<cmt>c</cmt>\n"
      "\t<desc>d</desc>\n"
      "\t<src>s</src>\n"
      "\t<link href=\"h\">\n"
      "\t\t<text>t</text>\n"
      "\t</link>\n"
      "\t<number>2</number>\n"
      "\t<type>x</type>\n"
      "\t<extensions>\n"
      "\t\t<line xmlns=\"http://www.topografix.com/GPX/gpx_style/0/2\">\n"
      "\t\t\t<color>0080FF</color>\n"
      "\t\t\t<opacity>0.25</opacity>\n"
      "\t\t</line>\n"
      "\t</extensions>\n";
  TGPX gpx;
  auto route = std::make_unique<TGPXrte>();
  describe(*route);
  route->rtype = "x";
  gpx.rte.Add(std::move(route));
  auto track = std::make_unique<TGPXtrk>();
  describe(*track);
  track->ttype = "x";
  gpx.trk.Add(std::move(track));

  EXPECT_EQ(Export(gpx, true), kHeader + "<rte>\n" + children + "</rte>\n\n<trk>\n" + children + "</trk>\n\n</gpx>");
}

TEST(GPXWriter, MetadataOnlyWhenFilledAndWithFreshBounds) {
  TGPX gpx;
  gpx.metadata.name = "not written";
  AddTrackPoint(gpx, 1, 2, 0);
  AddTrackPoint(gpx, 3, 4, 0);
  EXPECT_THAT(Export(gpx), Not(HasSubstr("metadata")));
  EXPECT_FALSE(gpx.metadata.bounds.filled);

  TGPX doc;
  AddTrackPoint(doc, 1, 2, 0);
  AddTrackPoint(doc, 3, 4, 0);
  TGPXmetadata& m = doc.metadata;
  m.filled = true;
  m.name = "Lake";
  m.desc = "Survey";
  m.author.filled = true;
  m.author.name = "Ann";
  m.author.email.filled = true;
  m.author.email.id = "ann";
  m.author.email.domain = "example.org";
  m.author.link.filled = true;
  m.author.link.href = "http://a";
  m.copyright.filled = true;
  m.copyright.author = "A<B";
  m.copyright.year = 2012;
  m.copyright.license = "CC";
  m.link.filled = true;
  m.mtime = 0.5;
  m.keywords = "depth";
  m.extensions = "<e/>";
  const std::string text = Export(doc);
  EXPECT_EQ(text.substr(kHeader.size(), text.find("<trk>") - kHeader.size()),
            "<metadata>\n"
            "\t<name>Lake</name>\n"
            "\t<desc>Survey</desc>\n"
            "\t<author>\n"
            "\t\t<name>Ann</name>\n"
            "\t\t<email>\n"
            "\t\t\t<id>ann</id>\n"
            "\t\t\t<domain>example.org</domain>\n"
            "\t\t</email>\n"
            "\t\t<link href=\"http://a\">\n"
            "\t\t</link>\n"
            "\t</author>\n"
            "\t<copyright author=\"A&lt;B\">\n"
            "\t\t<year>2012</year>\n"
            "\t\t<license>CC</license>\n"
            "\t</copyright>\n"
            "\t<link>\n"
            "\t</link>\n"
            "\t<time>1899-12-30T12:00:00Z</time>\n"
            "\t<keywords>depth</keywords>\n"
            "\t<bounds minlat=\"1\" minlon=\"2\" maxlat=\"3\" maxlon=\"4\" />\n"
            "\t<extensions><e/></extensions>\n"
            "</metadata>\n");
}

TEST(GPXWriter, CompressPutsTheWholeDocumentOnOneLine) {
  TGPX gpx;
  AddTrackPoint(gpx, 47.5, 9.25, 5);
  gpx.extension.Text = "<ext/>";
  const std::string text = Export(gpx, false, true);
  EXPECT_EQ(text.find_first_of("\r\n\t"), std::string::npos);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><gpx version=\"1.1\"", 0), 0u);
  EXPECT_THAT(text, HasSubstr("\"><trk><trkseg><trkpt lat=\"47.5\" lon=\"9.25\"><extensions><h:depth>5.0</h:depth>"));
  EXPECT_THAT(text, HasSubstr("</trkpt></trkseg></trk><extensions><ext/></extensions></gpx>"));
  EXPECT_EQ(text.substr(text.size() - 6), "</gpx>");
}

TEST(GPXWriter, AnEmptyDocumentIsTheHeaderAndTheEndTag) {
  TGPX gpx;
  gpx.extension.Text = " \n\t ";  // blank: not written
  EXPECT_EQ(Export(gpx), kHeader + "</gpx>");
  TGPXFile none;
  TGPXStringSink out;
  EXPECT_THROW(none.ExportGPX(out), std::logic_error);
}

TEST(GPXWriter, ListBuildersGiveTheSameTextAsTheDocument) {
  TGPX gpx;
  AddTrackPoint(gpx, 1, 2, 3).name = "p";
  TGPXFile file;
  file.GPXd = &gpx;
  TGPXStringSink whole;
  file.ExportGPX(whole);
  const std::string tracks = file.ExportGPXTRKList(gpx.trk);
  EXPECT_EQ(whole.Text, kHeader + tracks + "\n</gpx>");
  EXPECT_EQ(file.ExportGPXWPTList(gpx.wpt), "");
  EXPECT_EQ(file.ExportGPXRTEList(gpx.rte), "");
}

}  // namespace
