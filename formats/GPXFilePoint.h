#pragma once

// What both GPX readers (the walk of the object model and the quick scan of
// plain track segments) share to make a point of the texts of its children, so
// that a point reads the same whichever of them saw it.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lib/verAziruzi/XpBase.h"
#include "model/GPX.h"
#include "platform/NumberText.h"

namespace gpxpoint {

inline std::optional<double> ReadNumber(std::string_view text) {
  const std::optional<double> value = numtext::ParseDouble(XpTrimXmlWhitespace(text));
  if (value && !std::isfinite(*value)) return std::nullopt;
  return value;
}

inline double NumberOr(std::string_view text, double absent) { return ReadNumber(text).value_or(absent); }

inline std::int64_t IntegerOr(std::string_view text, std::int64_t absent) {
  return numtext::ParseInt(XpTrimXmlWhitespace(text)).value_or(absent);
}

inline std::int32_t Int32Or(std::string_view text, std::int32_t absent) {
  const std::int64_t value = IntegerOr(text, absent);
  return value < INT32_MIN || value > INT32_MAX ? absent : static_cast<std::int32_t>(value);
}

inline std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// The children of a point that the readers take, by their local names.
enum Field {
  kTime, kEle, kMagvar, kGeoidheight, kName, kCmt, kDesc, kSrc, kLink, kSym, kType, kFix, kSat, kHdop, kVdop,
  kPdop, kAgeofdgpsdata, kDgpsid, kExtensions, kFieldCount
};
inline constexpr std::u16string_view kFieldNames[kFieldCount] = {
    u"time", u"ele", u"magvar", u"geoidheight", u"name", u"cmt", u"desc", u"src", u"link", u"sym",
    u"type", u"fix", u"sat", u"hdop", u"vdop", u"pdop", u"ageofdgpsdata", u"dgpsid", u"extensions"};

// The text fields of a point, each the text of its last child of that name or
// absent. Link and extensions are each reader's own; the time goes through
// readTime(text), which answers the date or throws.
template <class ReadTime>
void AssignPointFields(TGPXwpt& point, const std::optional<std::string_view> (&texts)[kFieldCount],
                       ReadTime&& readTime) {
  const auto text = [&](int i) { return texts[i] ? std::string(*texts[i]) : std::string(); };
  const auto numberOr = [&](int i, double absent) { return texts[i] ? NumberOr(*texts[i], absent) : absent; };
  if (texts[kTime]) point.DateTime = readTime(*texts[kTime]);
  point.Altitude = numberOr(kEle, 0);
  point.magvar = numberOr(kMagvar, 0);
  point.geoidheight = numberOr(kGeoidheight, 0);
  point.name = text(kName);
  point.cmt = text(kCmt);
  point.desc = text(kDesc);
  point.src = text(kSrc);
  point.sym = text(kSym);
  point.wtype = text(kType);
  point.fix = texts[kFix] ? LowerAscii(*texts[kFix]) : std::string();
  point.sat = static_cast<std::uint8_t>((texts[kSat] ? IntegerOr(*texts[kSat], 255) : 255) & 0xFF);
  point.hdop = numberOr(kHdop, -1);
  point.vdop = numberOr(kVdop, -1);
  point.pdop = numberOr(kPdop, -1);
  point.ageofdgpsdata = numberOr(kAgeofdgpsdata, -1);
  point.dgpsid = texts[kDgpsid] ? Int32Or(*texts[kDgpsid], -1) : -1;
}

// What the points of one segment carry as depth, while it is read.
struct TSegmentDepth {
  bool ours = false;        // a point has an h:depth
  bool allNegative = true;  // every altitude is below 0
  std::string foreign;      // the first depth element of another program
};

// Whether `name`, the name of an element below a point's extensions, is a depth
// of another program: its local name is "depth" in any letter case, and it is
// not our own h:depth.
template <class Char>
bool IsForeignDepthName(std::basic_string_view<Char> name) {
  constexpr Char kOurs[] = {'h', ':', 'd', 'e', 'p', 't', 'h'};
  if (name == std::basic_string_view<Char>(kOurs, 7)) return false;
  const std::size_t colon = name.rfind(Char(':'));
  const auto local = colon == name.npos ? name : name.substr(colon + 1);
  if (local.size() != 5) return false;
  for (std::size_t i = 0; i < 5; ++i) {
    const Char c = local[i] >= Char('A') && local[i] <= Char('Z') ? static_cast<Char>(local[i] - 'A' + 'a') : local[i];
    if (c != Char("depth"[i])) return false;
  }
  return true;
}

}  // namespace gpxpoint
