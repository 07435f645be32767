#include "app/logic/DepthPreparation.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/logic/Dialogs.h"
#include "model/GPX.h"
#include "platform/NumberText.h"

namespace {
std::int32_t TruncatedDepth(double depth) {
  // Truncation toward zero, kept inside 32 bits (a corrupt file may hold anything).
  if (std::isnan(depth)) return 0;
  const double t = std::trunc(depth);
  if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(t);
}
}  // namespace

std::int32_t GetTrackSegMaxDepth(const TGPXtrkseg& seg) {
  std::int32_t result = 0;
  for (const TPoint4D2& p : seg)
    if (const std::int32_t d = TruncatedDepth(p.HBdepth); d > result) result = d;
  return result;
}

std::int32_t GetMaxDepth(const TGPX& doc) {
  std::int32_t result = 0;
  for (const TGPXtrk& trk : doc.trk)
    for (const TGPXtrkseg& seg : trk)
      if (const std::int32_t d = GetTrackSegMaxDepth(seg); d > result) result = d;
  return result;
}

void SetTrackSegDepth(TGPXtrkseg& seg, std::int32_t depth) {
  for (TPoint4D2& p : seg) p.HBdepth = depth;
}

void SetDepth(TGPX& doc, std::int32_t depth) {
  for (TGPXtrk& trk : doc.trk)
    for (TGPXtrkseg& seg : trk) SetTrackSegDepth(seg, depth);
}

void AddTrackSegDepth(TGPXtrkseg& seg, std::int32_t offset) {
  for (TPoint4D2& p : seg) p.HBdepth = p.HBdepth + offset;
}

void AddDepth(TGPX& doc, std::int32_t offset) {
  for (TGPXtrk& trk : doc.trk)
    for (TGPXtrkseg& seg : trk) AddTrackSegDepth(seg, offset);
}

void RemoveTrackSegZeroDepth(TGPXtrkseg& seg) {
  int i = 0;
  while (i < seg.Count()) {
    if (seg.GetPoint(i)->HBdepth == 0)
      seg.FreeAndDelete(i);
    else
      ++i;
  }
}

void RemoveZeroDepth(TGPX& doc) {
  for (TGPXtrk& trk : doc.trk)
    for (TGPXtrkseg& seg : trk) RemoveTrackSegZeroDepth(seg);
}

std::int32_t OffsetDepth(std::int32_t depth, std::int32_t offset) {
  const std::int64_t sum = static_cast<std::int64_t>(depth) + offset;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

void StampMaxDepth(TGPX& doc, std::int32_t maxdepth) {
  for (TGPXtrk& trk : doc.trk)
    for (TGPXtrkseg& seg : trk) seg.maxdepth = maxdepth;
}

std::int32_t AskCentimetres(TDialogs& dialogs, const std::string& caption, const std::string& prompt) {
  std::string question = prompt;
  for (;;) {
    std::string answer = dialogs.InputBox(caption, question, "0");
    // Blanks around the number and a leading '+' are fine; anything else is not.
    const auto first = answer.find_first_not_of(" \t");
    const auto last = answer.find_last_not_of(" \t");
    answer = first == std::string::npos ? std::string() : answer.substr(first, last - first + 1);
    if (answer.size() > 1 && answer[0] == '+' && answer[1] != '-') answer.erase(0, 1);
    const auto value = numtext::ParseInt(answer);
    if (value && *value >= std::numeric_limits<std::int32_t>::min() &&
        *value <= std::numeric_limits<std::int32_t>::max())
      return static_cast<std::int32_t>(*value);
    question = prompt + "\n" + kWholeCentimetresExpected;
  }
}
