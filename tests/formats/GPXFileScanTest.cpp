// The quick read of plain track segments against the object model's read of
// the same bytes: for files of our own, of other programs and for every fault,
// both give the same document, log and findings.

#include <atomic>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/GPXFile.h"
#include "formats/GPXFileScan.h"
#include "model/GPX.h"
#include "platform/LocalFiles.h"
#include "tests/support/GPXDump.h"
#include "tests/support/SmallStack.h"
#include "tests/support/TempFolder.h"

namespace {

// Everything a read gives, as one text.
std::string Outcome(TGPXFile& file, const TGPX& doc, const TReadResult& result) {
  std::string text = "loaded=" + std::to_string(result.Loaded) + " file.Loaded=" + std::to_string(file.Loaded) +
                     " foreign=" + result.Findings.ForeignDepth + "\n";
  for (const std::string& line : result.Lines) text += "log: " + line + "\n";
  return text + gpxdump::Dump(doc);
}

// One read, with the scan or through the object model alone.
template <class Import>
std::string Read(bool scan, Import&& import) {
  TGPX doc;
  TGPXFile file;
  file.GPXd = &doc;
  file.ScanPlainSegments = scan;
  const TReadResult result = import(file);
  return Outcome(file, doc, result);
}

std::string ReadString(const std::string& bytes, bool scan) {
  return Read(scan, [&](TGPXFile& file) { return file.ImportGPXString(bytes); });
}

std::string ReadFile(const std::string& path, bool scan) {
  return Read(scan, [&](TGPXFile& file) { return file.ImportGPXFile(path); });
}

std::size_t SegmentsScanned(const std::string& bytes) {
  TGPXSegmentScan scan;
  return scan.Scan(bytes) ? scan.SegmentCount() : 0;
}

const std::string kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string kRoot =
    "<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:h=\"urn:shoalwright:depth:1\" xmlns:g=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">\n"
    "<metadata><link href=\"http://www.garmin.com\"><text>Garmin International</text></link>"
    "<time>2023-05-01T10:00:00Z</time></metadata>\n";

// A document whose first segment holds `segment`; a second, plain one
// follows, whose points have negative altitudes and no depth of ours.
std::string WithSegment(const std::string& segment) {
  return kProlog + kRoot + "<trk><name>Lake</name>\n<trkseg>" + segment +
         "</trkseg>\n<trkseg>\n<trkpt lat=\"1\" lon=\"2\"><ele>-3</ele></trkpt>\n</trkseg>\n</trk>\n</gpx>\n";
}

struct TCase {
  const char* name;
  std::string document;
  std::size_t scanned;  // segments the scan takes
};

std::vector<TCase> Cases() {
  std::string deep = "<trkpt lat=\"1\" lon=\"2\"><extensions>";
  for (int i = 0; i < 3000; ++i) deep += "<h:n>";
  for (int i = 0; i < 3000; ++i) deep += "</h:n>";
  deep += "</extensions></trkpt>";
  return {
      // Plain segments, read by the scan.
      {"OurDialect",
       WithSegment("\n\t\t<trkpt lat=\"53.3622316677059\" lon=\"12.7158843813359\">\n\t\t\t<ele>412.5</ele>\n"
                   "\t\t\t<time>2023-03-15T00:00:00Z</time>\n\t\t\t<extensions><h:depth>30.0</h:depth><h:id>1</h:id>"
                   "<h:visible>true</h:visible><h:share>false</h:share></extensions>\n\t\t</trkpt>\n"
                   "\t\t<trkpt lat=\"-53.5\" lon=\"-179.25\"><ele>0</ele><extensions><h:depth>1234.5</h:depth>"
                   "</extensions></trkpt>\n"),
       2},
      {"GarminDepth",
       WithSegment("<trkpt lat=\"47.1\" lon=\"8.2\"><ele>401.2</ele><time>2023-05-01T10:00:01.500Z</time>"
                   "<extensions><gpxtpx:TrackPointExtension><gpxtpx:wtemp>14.5</gpxtpx:wtemp>"
                   "<gpxtpx:depth>3.25</gpxtpx:depth></gpxtpx:TrackPointExtension></extensions></trkpt>"),
       2},
      {"BlanksEverywhere",
       WithSegment("<trkpt  lat = ' 1.5 '\tlon=\"-2.25\" >\r\n<ele> 12 </ele ><name>  two   words\there </name>"
                   "<desc></desc><cmt/><time>\n2020-02-29T23:59:59Z\n</time><extensions>\n  <h:depth>\n 7.5 "
                   "</h:depth>\n  <h:note> a  b </h:note><h:empty></h:empty><h:e2/>  tail  text </extensions>"
                   "</trkpt>\n<trkpt lat=\"3\" lon=\"4\"/><trkpt lat=\"5\" lon=\"6\"></trkpt>"),
       2},
      {"LetterCase",
       WithSegment("<TRKPT lat=\"1\" lon=\"2\"><ELE>5</ELE><Time>2020-01-01T00:00:00Z</Time><FIX>DGPS</FIX>"
                   "<Extensions><H:DEPTH>4</H:DEPTH></Extensions></TRKPT>"),
       2},
      {"RepeatsAndEveryField",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><ele>1</ele><ele>2</ele><extensions><h:depth>5</h:depth>"
                   "</extensions><extensions><h:other>x</h:other><foo:Depth>9</foo:Depth></extensions><sat>12</sat>"
                   "<sat>300</sat><dgpsid>99999999999</dgpsid><hdop>1.5</hdop><vdop>x</vdop><magvar>3</magvar>"
                   "<geoidheight>4</geoidheight><src>s</src><sym>Flag</sym><type>t</type><pdop>2</pdop>"
                   "<ageofdgpsdata>3</ageofdgpsdata><fix>3D</fix><name>n</name><cmt>c</cmt><desc>d</desc></trkpt>"),
       2},
      {"NegativeAltitudesOnly", WithSegment("<trkpt lat=\"1\" lon=\"2\"><ele>-1.5</ele></trkpt>"), 2},
      {"ForeignDepthAfterOurs",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><x:depth>2</x:depth></extensions></trkpt>"
                   "<trkpt lat=\"1\" lon=\"2\"><extensions><h:depth>3</h:depth></extensions></trkpt>"),
       2},
      {"FirstForeignDepthInDocumentOrder",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><x><a:depth>1</a:depth></x><b:DEPTH>2</b:DEPTH>"
                   "</extensions></trkpt><trkpt lat=\"1\" lon=\"2\"><extensions><c:depth/></extensions></trkpt>"),
       2},
      {"ExtensionAttributes",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><x:a k=\"v\" n='w' e=\"\">t</x:a><b/>"
                   "<c><d><depth u=\"m\">1</depth></d></c></extensions></trkpt>"),
       2},
      {"EmptySegment", WithSegment(""), 2},
      {"BlankSegment", WithSegment(" \n\t "), 2},
      {"TimeZonesAndFractions",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><time>2023-03-15T01:02:03.25+02:00</time></trkpt>"
                   "<trkpt lat=\"1\" lon=\"2\"><time>2023-074T01:02</time></trkpt><trkpt lat=\"1\" lon=\"2\">"
                   "<time>short</time></trkpt><trkpt lat=\"1e1\" lon=\"+2.\"><time></time></trkpt>"),
       2},
      {"SegmentOfAnotherNamespace",
       kProlog + kRoot + "<trk><trkseg xmlns=\"urn:other\"><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>", 1},
      {"TrackOfAnotherNamespace",
       kProlog + kRoot + "<trk xmlns=\"urn:other\"><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>", 1},
      {"Latin1Outline",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx xmlns=\"http://www.topografix.com/GPX/1/1\">"
       "<trk><name>Z\xfcrich</name><trkseg><trkpt lat=\"1\" lon=\"2\"><name>plain</name></trkpt></trkseg></trk></gpx>",
       1},
      {"ByteOrderMarkNoDeclaration",
       "\xEF\xBB\xBF<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>", 1},
      {"SecondRootAfterScannedSegment",
       "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx><gpx/>", 1},
      {"UnclosedRootAfterScannedSegment", "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk>", 1},

      // Segments left to the object model, which reads them or reports them.
      {"Entity", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name>a &amp; b</name></trkpt>"), 1},
      {"CharacterReference", WithSegment("<trkpt lat=\"1\" lon=\"2\"><ele>&#49;</ele></trkpt>"), 1},
      {"UndefinedEntity", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name>&nope;</name></trkpt>"), 1},
      {"Comment", WithSegment("<trkpt lat=\"1\" lon=\"2\"><!-- c --><ele>1</ele></trkpt>"), 1},
      {"ProcessingInstruction", WithSegment("<trkpt lat=\"1\" lon=\"2\"><?pi x?><ele>1</ele></trkpt>"), 1},
      {"CData", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name><![CDATA[x<y]]></name></trkpt>"), 1},
      {"NonAscii", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name>Z\xc3\xbcrich</name></trkpt>"), 1},
      {"BadUtf8", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name>Z\xfcrich</name></trkpt>"), 1},
      {"Link", WithSegment("<trkpt lat=\"1\" lon=\"2\"><link href=\"h\"><text>t</text></link></trkpt>"), 1},
      {"UnknownChild", WithSegment("<trkpt lat=\"1\" lon=\"2\"><speed>3</speed><ele>1</ele></trkpt>"), 1},
      {"PrefixedGPXChild", WithSegment("<trkpt lat=\"1\" lon=\"2\"><g:ele>5</g:ele></trkpt>"), 1},
      {"NamespaceInExtensions",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><a xmlns=\"urn:x\"><depth>3</depth></a></extensions>"
                   "</trkpt>"),
       1},
      {"XmlSpaceInExtensions",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><a xml:space=\"preserve\"> x  y </a></extensions></trkpt>"),
       1},
      {"OtherPointAttribute", WithSegment("<trkpt lat=\"1\" lon=\"2\" id=\"7\"/>"), 1},
      {"RepeatedExtensionAttribute",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><a k=\"1\" K=\"2\"/></extensions></trkpt>"), 1},
      {"BadLatitude", WithSegment("<trkpt lat=\"x\" lon=\"2\"/>"), 1},
      {"LatitudeOutOfRange", WithSegment("<trkpt lat=\"90.5\" lon=\"2\"/>"), 1},
      {"MissingLongitude", WithSegment("<trkpt lat=\"1\"/>"), 1},
      {"RepeatedLatitude", WithSegment("<trkpt lat=\"1\" lat=\"1\" lon=\"2\"/>"), 1},
      {"AttributesNotApart", WithSegment("<trkpt lat=\"1\"lon=\"2\"/>"), 1},
      {"TabInValue", WithSegment("<trkpt lat=\"1\t\" lon=\"2\"/>"), 1},
      {"BadTime", WithSegment("<trkpt lat=\"1\" lon=\"2\"><time>2023-13-45T00:00:00Z</time></trkpt>"), 1},
      {"MismatchedEndTag", WithSegment("<trkpt lat=\"1\" lon=\"2\"><ele>1</ELE></trkpt>"), 0},
      {"GreaterThanInText", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name>a > b</name></trkpt>"), 1},
      {"CDataEndInText", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name>a ]]> b</name></trkpt>"), 1},
      {"QuoteInText", WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><a>say \"hi\"</a></extensions></trkpt>"),
       1},
      {"TextBetweenPoints", WithSegment("hello<trkpt lat=\"1\" lon=\"2\"/>"), 1},
      {"ControlCharacter", WithSegment("<trkpt lat=\"1\" lon=\"2\"><name>a\x01" "b</name></trkpt>"), 1},
      {"UnclosedPoint", WithSegment("<trkpt lat=\"1\" lon=\"2\">"), 0},
      {"DeepExtensions", WithSegment(deep), 1},
      {"NamesOfTheXmlNamespaces",
       WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><xmlns:a/><xml:b>1</xml:b><XMLc/></extensions></trkpt>"),
       1},
      {"NameWithTwoColons", WithSegment("<trkpt lat=\"1\" lon=\"2\"><extensions><a:b:c/></extensions></trkpt>"),
       1},

      // Documents the scan does not take at all.
      {"DocumentType",
       kProlog + "<!DOCTYPE gpx [<!ENTITY e \"5\"><!ATTLIST trkseg xml:space CDATA \"preserve\">]>" + kRoot +
           "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><ele>&e;</ele><name> a  b </name></trkpt></trkseg></trk></gpx>",
       0},
      {"PreservedSpace",
       kProlog + kRoot + "<trk xml:space=\"preserve\"><trkseg><trkpt lat=\"1\" lon=\"2\"><name> a  b </name></trkpt>"
                         "</trkseg></trk></gpx>",
       0},
      {"SegmentBelowAName",
       kProlog + kRoot + "<trk><name>x<trkseg><trkpt lat=\"1\" lon=\"2\"><name>y</name></trkpt></trkseg></name>"
                         "</trk></gpx>",
       0},
      {"SegmentInsideACommentThatEndsLate",
       kProlog + kRoot + "<trk><!--><trkseg><trkpt lat=\"1\" lon=\"2\"><name>a--b</name></trkpt></trkseg>-->"
                         "<trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>",
       1},
      {"MarkerInTheFile",
       kProlog + kRoot + "<trk><trkseg Shoalwright-Scanned=\"0\"><trkpt lat=\"1\" lon=\"2\"><!-- --></trkpt></trkseg>"
                         "<trkseg><trkpt lat=\"3\" lon=\"4\"/></trkseg></trk></gpx>",
       0},
      {"Utf16Declared",
       "<?xml version=\"1.0\" encoding=\"UTF-16\"?><gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>",
       0},
      {"PrefixedRoot",
       "<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\"><g:trk><g:trkseg><g:trkpt lat=\"1\" lon=\"2\"/>"
       "</g:trkseg></g:trk></g:gpx>",
       0},
      {"NotXml", "this is no file of points", 0},
      {"Empty", "", 0},
  };
}

class GPXScan : public ::testing::TestWithParam<TCase> {
protected:
  TTempFolder folder{"gpxscan"};
};

TEST_P(GPXScan, ReadsAsTheObjectModelReads) {
  const TCase& c = GetParam();
  EXPECT_EQ(SegmentsScanned(c.document), c.scanned);
  const std::string path = folder.Path("t.gpx");
  std::ofstream(path, std::ios::binary) << c.document;
  RunOnSmallStack([&] {
    const std::string whole = ReadString(c.document, false);
    EXPECT_EQ(ReadString(c.document, true), whole);
    EXPECT_EQ(ReadFile(path, true), ReadFile(path, false));
  });
}

INSTANTIATE_TEST_SUITE_P(Files, GPXScan, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TCase>& info) { return std::string(info.param.name); });

TEST(GPXScanOutcome, PlainSegmentsGiveTheirPointsAndFindings) {
  // The comparison above holds only if the reads themselves are right: one
  // plain file, read through the scan, checked by hand.
  const std::string document = Cases()[1].document;  // GarminDepth
  TGPX doc;
  TGPXFile file;
  file.GPXd = &doc;
  const TReadResult result = file.ImportGPXString(document);
  ASSERT_TRUE(result.Loaded);
  EXPECT_EQ(result.Findings.ForeignDepth, "gpxtpx:depth");
  ASSERT_EQ(doc.trk.Count(), 1);
  const TGPXtrk& track = *doc.trk.GetTrack(0);
  EXPECT_EQ(track.name, "Lake");
  ASSERT_EQ(track.Count(), 2);
  const TGPXwpt& point = *track.GetTrkSeg(0)->GetTrkPoint(0);
  EXPECT_EQ(point.Latitude, 47.1);
  EXPECT_EQ(point.Longitude, 8.2);
  EXPECT_EQ(point.Altitude, 401.2);
  EXPECT_NEAR(point.DateTime, TGPXFile::ISO8601ToDateTime("2023-05-01T10:00:01.500Z"), 0);
  EXPECT_EQ(point.extensions,
            "<gpxtpx:TrackPointExtension><gpxtpx:wtemp>14.5</gpxtpx:wtemp><gpxtpx:depth>3.25</gpxtpx:depth>"
            "</gpxtpx:TrackPointExtension>");
  EXPECT_EQ(track.GetTrkSeg(1)->GetTrkPoint(0)->Altitude, -3);
  EXPECT_EQ(result.Lines.back(), "1 tracks (2 points in 2 track segments)");
}

TEST(GPXScanOutcome, NormalisesTextsAsTheParserDoes) {
  TGPX doc;
  TGPXFile file;
  file.GPXd = &doc;
  ASSERT_TRUE(file.ImportGPXString(Cases()[2].document).Loaded);  // BlanksEverywhere
  const TGPXwpt& point = *doc.trk.GetTrack(0)->GetTrkSeg(0)->GetTrkPoint(0);
  EXPECT_EQ(point.name, "two words here");
  EXPECT_EQ(point.HBdepth, 7.5);
  EXPECT_EQ(point.extensions, "<h:depth>7.5</h:depth><h:note>a b</h:note><h:empty/><h:e2/>tail text");
}

TEST(GPXScanOutcome, ABigFileReadsTheSameWhileItsBytesAreGivenBack) {
  // The scan reads the segments of a big file side by side and gives back the
  // bytes of each one read. When a later segment is not plain, the file must
  // be read again for a scan in order, not scanned from the bytes given back.
  std::string segment;
  for (int i = 0; i < 34000; ++i)
    segment += "<trkpt lat=\"53.3622316677059\" lon=\"12.7158843813359\"><ele>412.5</ele><time>2023-03-15T00:00:00Z"
               "</time><extensions><h:depth>" + std::to_string(i % 997) + ".0</h:depth><h:id>1</h:id>"
               "<h:visible>true</h:visible><h:share>false</h:share></extensions></trkpt>\n";
  std::string plain = kProlog + kRoot + "<trk><name>Big</name>";
  for (int s = 0; s < 4; ++s) plain += "<trkseg>" + segment + "</trkseg>";
  const std::string notPlainAtTheEnd =
      plain + "<trkseg><trkpt lat=\"1\" lon=\"2\"><!-- a note --></trkpt></trkseg></trk></gpx>";
  plain += "</trk></gpx>";
  ASSERT_GT(plain.size(), 24u << 20);  // several threads
  TTempFolder folder{"gpxscan"};
  for (const std::string* document : {static_cast<const std::string*>(&plain), &notPlainAtTheEnd}) {
    SCOPED_TRACE(document == &plain ? "plain" : "not plain at the end");
    const std::string path = folder.Path("big.gpx");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << *document;
    {
      localfiles::TFileBytes bytes(path);
      const char* const begin = bytes.Bytes().data();
      TGPXSegmentScan scan;
      std::atomic<std::size_t> released{0};  // heard from every thread of the scan
      const bool scanned = scan.Scan(bytes.Bytes(), [&](const char* from, const char* to) {
        released += static_cast<std::size_t>(to - from);
        bytes.Release(static_cast<std::size_t>(from - begin), static_cast<std::size_t>(to - begin));
      });
      EXPECT_EQ(scanned, document == &plain);
      EXPECT_EQ(scan.ScanAgain(), document != &plain);
      EXPECT_EQ(scan.SegmentCount(), document == &plain ? 4u : 0u);
      EXPECT_GT(released.load(), 0u);
    }
    const std::string fromFile = ReadFile(path, true);
    EXPECT_EQ(fromFile, ReadString(*document, true));
    EXPECT_NE(fromFile.find(document == &plain ? "1 tracks (136000 points in 4 track segments)"
                                               : "1 tracks (136001 points in 5 track segments)"),
              std::string::npos);
  }
}

// Every small fault in a plain file: the scan must leave each one to the
// object model, or read it as the model does.
TEST(GPXScanMutations, EveryMutantReadsAsTheObjectModelReads) {
  const std::string original = Cases()[2].document + "";  // BlanksEverywhere: many kinds of markup
  const std::string pieces[] = {"<", ">", "/", "=", "\"", "'", "&", ":", "!", "-", "]", "?", " ", "\t", "\n", "\r",
                                "x", "0", "\x80", "\x01", "<!--", "-->", "<![CDATA[", "&amp;", "</trkpt>",
                                "<trkpt lat=\"1\" lon=\"2\">", "xmlns=\"u\"", "<h:depth>", "<extensions>"};
  std::mt19937 random(20261211);
  int scanned = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string mutant = original;
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % mutant.size();
      switch (random() % 3) {
        case 0:
          mutant.erase(at, 1 + random() % 4);
          break;
        case 1:
          mutant.insert(at, pieces[random() % std::size(pieces)]);
          break;
        default:
          mutant[at] = pieces[random() % std::size(pieces)][0];
      }
    }
    if (SegmentsScanned(mutant) > 0) ++scanned;
    ASSERT_EQ(ReadString(mutant, true), ReadString(mutant, false)) << "mutant " << i << ":\n" << mutant;
  }
  // The mutants must also reach the scan, or the comparison proves nothing.
  EXPECT_GT(scanned, 300);
}

}  // namespace
