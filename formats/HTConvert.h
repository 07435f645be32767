#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ReadResult.h"
#include "model/CommonTypes.h"
#include "model/GPX.h"
#include "platform/Object.h"

// The local wall-clock time as a day count. The converter asks it for the
// creation time it stamps into a file; tests give a fixed one.
using THTClock = std::function<TDateTime()>;
TDateTime LocalNow();

// The Humminbird track file: always 131080 bytes of big-endian numbers, a 68-byte
// header and 6-byte difference records. Positions are whole metres on a Mercator
// projection of a sphere of radius 6378388 m (after turning the latitude into a
// centric one), depths whole centimetres. Each segment ends with three end records
// that do not move the running position.
class THTConvert : public TObject {
public:
  static constexpr std::size_t kFileSize = 131080;
  static constexpr std::size_t kHeaderSize = 68;
  static constexpr std::size_t kRecordSize = 6;
  static constexpr std::size_t kNameLength = 20;
  // The writer's limit on entries: the start position plus the records.
  static constexpr int kMaxWriteEntries = 20000;
  // 1 for the start position plus the records the file has room for.
  static constexpr int kMaxReadCount = 1 + static_cast<int>((kFileSize - kHeaderSize) / kRecordSize);
  // The largest step between consecutive positions a record can carry, in metres
  // per axis. -32768 would fit too, but the end records use it as a marker.
  static constexpr int kMaxStep = 32767;

  // GPX is referenced, never freed.
  THTConvert(TGPX* GPX, std::string TrackName, std::string FileName, THTClock clock = LocalNow);
  const char* ClassName() const override { return "THTConvert"; }

  // Writes GPXdata to sFileName, replacing the file only once it is complete.
  // The model is not changed. False, with nothing written, when there is no
  // document or the data does not fit the format; then refusal (when given)
  // gets the reason, after the file's path and ": ". A failure of the file
  // system throws EFileError.
  bool ConvertToHT(std::string* refusal = nullptr);

  // Reads sFileName and appends one track to GPXdata, named sTrackName followed
  // by the file's name (which is also appended to sTrackName). Not loaded, with
  // the model unchanged, when there is no document or the file is not an HT
  // file; the one line then is the reason, after the file's path and ": ". A
  // file that cannot be read throws EFileError.
  TReadResult ReadHT();

  // Projection and time (angles in degrees, lengths in metres).
  static double GeodeticToCentric(double lat);
  static double CentricToGeodetic(double latc);
  static double CentricLatToNorthing(double latc);
  static double NorthingToCentricLat(double N);
  // Rounded halves to even. EInvalidOp when the result is undefined (a latitude
  // at or beyond a pole, a value that is not a number) or beyond 64 bits; the
  // 32-bit results are the low 32 bits of the rounded value.
  static std::int32_t LatToNorthing(double lat);
  static std::int32_t LonToEasting(double lon);
  static double NorthingToLat(std::int32_t N);
  static double EastingToLon(std::int32_t E);
  static std::int64_t DateTimeToUnixTime(TDateTime t);

  // The file image of a document: the segments of track 0 in order, then those of
  // the last track down to the second, each track's segments from the last to the
  // first. Either the 131080 bytes or, with no bytes, the reason they cannot be
  // written (a text to follow the file's path and ": ").
  struct TEncoded {
    std::vector<std::uint8_t> Bytes;
    std::string Error;
  };
  static TEncoded EncodeHT(const TGPX& gpx, std::string_view trackName, TDateTime localNow);

  // A file image read back: one track (unnamed) whose segments are split at the
  // end records, and the name bytes of the header as text. Null Track and an
  // error text (to follow the path) when the image is no HT file.
  struct TDecoded {
    std::unique_ptr<TGPXtrk> Track;
    std::string Name;
    std::string Error;
  };
  static TDecoded DecodeHT(std::span<const std::uint8_t> bytes);

  TGPX* GPXdata;
  std::string sTrackName;
  std::string sFileName;

private:
  THTClock fClock;
};
