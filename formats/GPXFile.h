#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lib/verAziruzi/XpBase.h"
#include "formats/ReadResult.h"
#include "model/CommonTypes.h"
#include "model/GPX.h"
#include "platform/Object.h"

// Where the GPX writer puts its text piece by piece: a file, or a string.
class TGPXTextSink {
public:
  virtual ~TGPXTextSink() = default;
  virtual void Write(std::string_view text) = 0;
};

class TGPXStringSink : public TGPXTextSink {
public:
  void Write(std::string_view text) override { Text.append(text); }
  std::string Text;
};

// The namespace the depth extension's prefix "h" is bound to in every file
// written, so that namespace-aware readers accept the files.
inline constexpr std::string_view kDepthNamespace = "urn:shoalwright:depth:1";

class TXpNode;
class TXpObjModel;
class TGPXImport;

// Input that makes a whole file unreadable (a position that is not one); the
// readers catch it, log it and add nothing.
class EGPXReadError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The GPX 1.1 file object: writes a TGPX document in the program's one GPX dialect
// (UTF-8, the point depth in a fixed h: extension block, optionally the gpx_style
// line colour and opacity of routes and tracks) and, with the reader, fills one.
//
// Texts are UTF-8. Characters that XML 1.0 does not allow are dropped and bytes
// that are not UTF-8 become U+FFFD, so every file written can be read back.
class TGPXFile : public TObject {
public:
  TGPXFile() = default;
  const char* ClassName() const override { return "TGPXFile"; }

  // Appends a deep copy of the other document to GPXd and takes its FileName,
  // Loaded and Modified; the options and the log stay this object's own.
  void CopyFrom(const TGPXFile& GPXFile);

  // Writes GPXd to the named file. The old file is replaced only when the new one
  // is complete; a failure of the file system throws EFileError and leaves it as
  // it was.
  void ExportGPX(const std::string& Filename);
  // The same document text, to any sink.
  void ExportGPX(TGPXTextSink& out);

  // Reads the named GPX 1.0 or 1.1 file into GPXd, after what it holds. A file
  // that is not XML, has no gpx root or holds a point without a valid position
  // adds nothing: the log then ends with "File not loaded" and Loaded stays as it
  // was. Otherwise the log gets the three count lines and Loaded turns True. A
  // date out of range reads as 0, with a log line. The result holds this
  // read's log lines and, once loaded, the first foreign depth it saw.
  TReadResult ImportGPXFile(const std::string& FileName);
  // The same for a document held as bytes (UTF-8 unless it declares otherwise).
  TReadResult ImportGPXString(std::string_view GPXString);

  // The text of the last node that a relative path of child names ("name",
  // "extensions/h:depth") selects below Node; empty when it selects nothing.
  // Names compare by the document's case rule.
  static std::string GetLastNodeText(const TXpNode* Node, std::u16string_view Path);
  // The markup inside the last child element called Name, trimmed; empty when
  // there is none.
  static std::string GetExtensionNodeContent(const TXpNode* Node, std::u16string_view Name);
  // The UTC time an ISO 8601 text denotes (calendar, ordinal and week dates,
  // basic and extended forms, fractions, zones); 0 for a text of fewer than 8
  // characters or a date of fewer than 4. A field out of range raises
  // EConvertError.
  static TDateTime ISO8601ToDateTime(std::string_view Value);

  // Text builders. Each line ends in LineBreakStr and starts with one IndentStr
  // character per level.
  // "&", "<" and ">" escaped, a CR as "&#13;" (a reader takes a raw one for a
  // line end), characters XML forbids dropped.
  static std::string XMLise(std::string_view text);
  // XMLise, and '"', tab and LF as references: for attribute values in double
  // quotes, where a reader takes a raw tab or line end for a blank.
  static std::string XMLiseAttribute(std::string_view text);
  // "yyyy-mm-ddThh:nn:ssZ": no zone conversion, fractions of a second dropped.
  static std::string DateTimeToGPXTime(TDateTime time);
  // Latitudes, longitudes, bounds and every WriteDouble value: 15 significant
  // digits, '.', exponent form outside 0.0001 <= |v| < 1E15.
  static std::string FormatGeneral(double value);
  // The h:depth value in cm, fixed with one decimal at every magnitude ("123.0",
  // "12.3", "1234.5"), so no save rounds a depth away.
  static std::string FormatDepth(double value);

  // Empty when value is empty; raw values are only cleaned of forbidden characters.
  std::string WriteText(std::string_view value, std::string_view tag, int level, bool raw = false) const;
  // Empty when the value equals the absent value.
  std::string WriteInt(std::int64_t value, std::string_view tag, std::int64_t absent, int level) const;
  std::string WriteTime(std::string_view tag, std::int64_t absent, TDateTime time, int level) const;
  std::string WriteDouble(std::string_view tag, std::int64_t absent, double number, int level) const;

  // The elements of whole lists, streamed or as text.
  void ExportGPXWPTList(TGPXTextSink& out, const TGPXwptList& list) const;
  void ExportGPXRTEList(TGPXTextSink& out, const TGPXrteList& list) const;
  void ExportGPXTRKList(TGPXTextSink& out, const TGPXtrkList& list) const;
  std::string ExportGPXWPTList(const TGPXwptList& list) const;
  std::string ExportGPXRTEList(const TGPXrteList& list) const;
  std::string ExportGPXTRKList(const TGPXtrkList& list) const;

  TGPX* GPXd = nullptr;  // the document to write or fill; referenced, never freed
  std::string FileName;
  bool Loaded = false;
  bool Modified = false;
  std::vector<std::string> mLog;  // the reader's log
  TGPXOptions GPXOptions;         // the writer reads GPX_Style and Compress
  // The readers take plain track segments straight from the bytes, and only
  // the rest through the object model; a file reads the same either way.
  bool ScanPlainSegments = true;

  // The layout of every line. A new object has CR LF and a tab, as the KML writer
  // expects; ExportGPX sets LF and a tab, or nothing at all with Compress.
  std::string LineBreakStr = "\r\n";
  std::string IndentStr = "\t";

protected:
  void AddLog(std::string line) { mLog.push_back(std::move(line)); }
  // The load both readers start with: the object model's settings, then the
  // load itself; False, with the reasons logged, when it failed.
  bool LoadDocument(TXpObjModel& model, const std::string& FileName, std::string_view context);
  // Logs the object model's error lines and "File not loaded".
  void LogNotLoaded(const TXpObjModel& model);
  // A read's result: the log lines from logBefore on.
  TReadResult ResultSince(std::size_t logBefore, bool loaded, TReadFindings findings) const;
  // A latitude or longitude text: blanks around it are allowed, anything but a
  // finite number within +-limit throws EGPXReadError naming `what`.
  static double ReadCoordinate(std::string_view text, double limit, const std::string& what);
  // ISO8601ToDateTime of a field, 0 with a log line when it is out of range.
  TDateTime ReadTime(std::string_view text, const std::string& what);

  // One IndentStr character per level.
  std::string Indent(int level) const;
  // Writes the named file through `write`: the old file is replaced only when
  // the new one is complete, and Modified turns False only then.
  void ExportSafely(const std::string& Filename, const std::function<void(TGPXTextSink&)>& write);

private:
  friend class TGPXImport;  // the walker of GPXFileImport.cpp
  // Walks the loaded document with the reader that saw it load.
  // False when the file is not read.
  bool ImportGPX(TXpObjModel& model, TGPXImport& reader);
  // The read through the scan of plain segments; none when the scan takes no
  // segment or its outline does not read, and the document must be read whole.
  // scanAgain hears whether the scan gave back bytes it needs again.
  std::optional<TReadResult> ImportScanned(std::string_view document,
                                           const std::function<void(const char*, const char*)>& release,
                                           bool* scanAgain = nullptr);

  std::string Line(std::string_view tag, std::string_view value, int level) const;
  void ExportGPXWPT(TGPXTextSink& out, const TGPXwpt& point, std::string_view tag, int level) const;
  // The opening tag and the texts, link, number, type and line style that a
  // route and a track share, in the dialect's order.
  template <class List>
  void ExportListHead(TGPXTextSink& out, std::string_view tag, const List& list, const std::string& type) const;
  void ExportGPXRTE(TGPXTextSink& out, const TGPXrte& route) const;
  void ExportGPXTRK(TGPXTextSink& out, const TGPXtrk& track) const;
  void ExportGPXLink(TGPXTextSink& out, const TGPXLink& link, int level) const;
  void ExportGPXMetadata(TGPXTextSink& out, const TGPXmetadata& metadata) const;
  void ExportLineStyle(TGPXTextSink& out, const TGPX_StyleLine& style, const std::string& extensions) const;
};
