#pragma once

#include <cstdint>
#include <string>

class TGPX;
class TGPXtrkseg;
class TDialogs;

// The depth operations every loader shares. They work on track points only;
// waypoints and routes are never touched. Depths are centimetres.

// The largest depth, truncated toward zero, starting from 0: 0 for an empty
// segment or one whose depths are all 0 or below.
std::int32_t GetTrackSegMaxDepth(const TGPXtrkseg& seg);
std::int32_t GetMaxDepth(const TGPX& doc);  // over every segment of every track

void SetTrackSegDepth(TGPXtrkseg& seg, std::int32_t depth);
void SetDepth(TGPX& doc, std::int32_t depth);
void AddTrackSegDepth(TGPXtrkseg& seg, std::int32_t offset);
void AddDepth(TGPX& doc, std::int32_t offset);

// Removes (and discards) every point whose depth is exactly 0, keeping the order.
void RemoveTrackSegZeroDepth(TGPXtrkseg& seg);
void RemoveZeroDepth(TGPX& doc);

// A depth plus a typed offset, computed wide and kept within 32 bits.
std::int32_t OffsetDepth(std::int32_t depth, std::int32_t offset);

// Every segment of every track gets `maxdepth` (0 marks a shore line).
void StampMaxDepth(TGPX& doc, std::int32_t maxdepth);

// An input box asking for a whole number of centimetres, default "0". Cancel
// keeps the default; an answer that is not a whole number is asked again, with a
// line saying what is expected, until it is one.
std::int32_t AskCentimetres(TDialogs& dialogs, const std::string& caption, const std::string& prompt);

// The line added to a prompt asked again after an answer that was not a number.
inline constexpr const char* kWholeCentimetresExpected = "Please enter a whole number of centimetres.";
