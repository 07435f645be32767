#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TDialogs;
class TGPX;
class TGPXtrkList;

// The contour data on its way out: counting it, adding the shore lines to it and
// cutting it into HT files that the device accepts.

// What every segment and every track costs besides its points when the contour
// data is counted against the device's limit for one HT file.
inline constexpr int kHTOverhead = 9;
inline constexpr int kHTChunkLimit = 20000;
// The most points a segment can have and still fit a chunk of its own, its
// track's overhead and its own included.
inline constexpr int kHTMaxSegmentPoints = kHTChunkLimit - 2 * kHTOverhead;

// Points + k × (segments + tracks); 0 for a document without tracks.
std::int64_t CountPoints(const TGPX& document, int k);

// Appends, for every segment of every source track whose maxdepth is 0 (a shore
// line), in order, a new track of its own holding a deep copy of that segment.
void CopyShoreLineSegments(const TGPXtrkList& source, TGPXtrkList& target);

// One HT file's worth of the contour data.
struct THTChunk {
  std::unique_ptr<TGPX> Data;  // new tracks holding deep copies of the segments
  std::int64_t ToWrite = 0;    // the size the split counted ("n_towrite is ")
  std::int64_t Counted = 0;    // CountPoints(Data, 9) ("n of IsoDataWrite ")
};

// The contour data cut into consecutive chunks whose counted size (k = 9) stays
// within 20000: segments are taken in order, each track of the data opening a new
// track of the chunk, and the segment that would take the chunk over the limit,
// counting the overhead of the track it closes in, opens the next chunk in the
// track it belongs to. A segment of more than 19982 points fits no chunk; it is
// taken as consecutive pieces of at most that many points, each piece starting
// at the last point of the one before, so the line shows unbroken. A document
// without tracks gives one empty chunk.
std::vector<THTChunk> PlanHTChunks(const TGPX& contours);

// The chunk number as the files and the log show it: at least three digits.
std::string ChunkNumber(int chunk);

// The contour step typed in "ISO Map": a whole number of centimetres of at least 1,
// blanks around it allowed. Nothing when the text is anything else.
std::optional<int> ParseIsoStep(std::string_view text);
// The error shown for a step ParseIsoStep refuses.
std::string IsoStepError(std::string_view text);

// The closing message of "Create HT-File": six lines joined by CR LF.
std::string HTUploadInstructions();

// The track-name answer of "Save Project..." as HT: its first 20 characters.
std::string HTTrackName(std::string_view answer);

// Writes `data` as one HT file. Whatever goes wrong is shown as "Error while
// writing HT file" with the reason, which names the file, below it; the old file
// is left as it was. True when the file was written.
bool WriteHTFile(TDialogs& dialogs, TGPX& data, const std::string& trackName, const std::string& path);

// Writes `data` as a GPX file; a file that cannot be written is shown as an error.
void WriteGPXFile(TDialogs& dialogs, TGPX& data, const std::string& path);
