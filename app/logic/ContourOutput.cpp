#include "app/logic/ContourOutput.h"

#include <algorithm>
#include <iterator>
#include <exception>
#include <limits>
#include <string>

#include "app/logic/Dialogs.h"
#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "model/GPX.h"
#include "platform/NumberText.h"
#include "platform/SafeFile.h"

std::int64_t CountPoints(const TGPX& document, int k) {
  std::int64_t points = 0, segments = 0;
  for (const TGPXtrk& track : document.trk)
    for (const TGPXtrkseg& segment : track) {
      points += segment.Count();
      ++segments;
    }
  return points + std::int64_t{k} * (segments + document.trk.Count());
}

void CopyShoreLineSegments(const TGPXtrkList& source, TGPXtrkList& target) {
  // Collected first, so that a list copied into itself takes only what it held.
  std::vector<const TGPXtrkseg*> shoreLines;
  for (const TGPXtrk& track : source)
    for (const TGPXtrkseg& segment : track)
      if (segment.maxdepth == 0) shoreLines.push_back(&segment);
  for (const TGPXtrkseg* segment : shoreLines) {
    auto copy = std::make_unique<TGPXtrkseg>();
    copy->CopyFrom(*segment);
    auto track = std::make_unique<TGPXtrk>();
    track->Add(std::move(copy));
    target.Add(std::move(track));
  }
}

namespace {

// Points First to Last of a segment, both included.
struct TPiece {
  const TGPXtrkseg* Segment;
  int First;
  int Last;
  int Count() const { return Last - First + 1; }
};

// A track's segments as the chunks take them: whole, or in pieces when too long.
std::vector<TPiece> Pieces(const TGPXtrk& track) {
  std::vector<TPiece> pieces;
  for (const TGPXtrkseg& segment : track) {
    const int count = segment.Count();
    if (count <= kHTMaxSegmentPoints) {
      pieces.push_back({&segment, 0, count - 1});
      continue;
    }
    for (int first = 0; first < count - 1; first += kHTMaxSegmentPoints - 1)
      pieces.push_back({&segment, first, std::min(count - 1, first + kHTMaxSegmentPoints - 1)});
  }
  return pieces;
}

std::unique_ptr<TGPXtrkseg> Copy(const TPiece& piece) {
  auto copy = std::make_unique<TGPXtrkseg>();
  if (piece.First == 0 && piece.Last == piece.Segment->Count() - 1) {
    copy->CopyFrom(*piece.Segment);
    return copy;
  }
  copy->maxdepth = piece.Segment->maxdepth;
  copy->extensions = piece.Segment->extensions;
  for (int i = piece.First; i <= piece.Last; ++i) {
    auto point = std::make_unique<TGPXwpt>();
    point->CopyFrom(*piece.Segment->GetTrkPoint(i));
    copy->Add(std::move(point));
  }
  return copy;
}

}  // namespace

std::vector<THTChunk> PlanHTChunks(const TGPX& contours) {
  std::vector<std::vector<TPiece>> tracks;
  for (const TGPXtrk& track : contours.trk) tracks.push_back(Pieces(track));

  std::vector<THTChunk> chunks;
  std::size_t t = 0, s = 0;  // the next piece to hand out
  while (true) {
    THTChunk chunk;
    chunk.Data = std::make_unique<TGPX>();
    bool full = false;
    // The chunk's counted size so far, the open track's overhead included, so
    // that closing a track can never take the chunk over the limit.
    std::int64_t n = 0;
    std::size_t ti = t, si = s;
    for (; ti < tracks.size(); ++ti) {
      if (n + kHTOverhead > kHTChunkLimit) {  // not even an empty track fits: it opens the next chunk
        full = true;
        si = 0;
        break;
      }
      n += kHTOverhead;
      auto track = std::make_unique<TGPXtrk>();
      for (si = ti == t ? s : 0; si < tracks[ti].size(); ++si) {
        const TPiece& piece = tracks[ti][si];
        if (n + kHTOverhead + piece.Count() > kHTChunkLimit) {
          full = true;  // this piece opens the next chunk
          break;
        }
        track->Add(Copy(piece));
        n += kHTOverhead + piece.Count();
      }
      chunk.Data->trk.Add(std::move(track));  // also when empty
      if (full) break;
    }
    t = ti;
    s = si;
    chunk.ToWrite = n;
    chunk.Counted = CountPoints(*chunk.Data, kHTOverhead);
    chunks.push_back(std::move(chunk));
    if (!full) return chunks;
  }
}

std::string ChunkNumber(int chunk) {
  std::string digits = numtext::FormatInt(chunk);
  if (chunk >= 0 && digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return digits;
}

std::optional<int> ParseIsoStep(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  const auto value = numtext::ParseInt(text);
  if (!value || *value < 1 || *value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(*value);
}

std::string IsoStepError(std::string_view text) {
  return "Contour step \"" + std::string(text) + "\" is not valid: a whole number of centimetres of at least 1 is "
                                                 "expected";
}

std::string HTUploadInstructions() {
  constexpr const char* kLines[] = {
      "To upload the generated files to your Humminbird, you have to",
      "copy them into a folder \"matrix\" on a SD-Card.",
      "The generated files should be named 000.ht, 001.ht and so on.",
      "",
      "Enter the SD-card in your Humminbird and upload the files, when asked for.",
      "To colorize them by depth, you have to set the track style to \"color by depth\".",
  };
  std::string text = kLines[0];
  for (std::size_t i = 1; i < std::size(kLines); ++i) text.append("\r\n").append(kLines[i]);
  return text;
}

std::string HTTrackName(std::string_view answer) {
  // Twenty characters, not bytes: a UTF-8 sequence is never cut in two.
  int characters = 0;
  std::size_t end = 0;
  for (; end < answer.size(); ++end) {
    const bool starts = (static_cast<unsigned char>(answer[end]) & 0xC0) != 0x80;
    if (starts && ++characters > 20) break;
  }
  return std::string(answer.substr(0, end));
}

bool WriteHTFile(TDialogs& dialogs, TGPX& data, const std::string& trackName, const std::string& path) {
  // The converter's refusal is shown with the command's own message.
  std::string reason;
  try {
    THTConvert writer(&data, trackName, path);
    if (writer.ConvertToHT(&reason)) return true;
  } catch (const std::exception& e) {
    reason = e.what();
  }
  dialogs.ShowError("Error while writing HT file" + (reason.empty() ? "" : "\r\n" + reason));
  return false;
}

void WriteGPXFile(TDialogs& dialogs, TGPX& data, const std::string& path) {
  TGPXFile file;
  file.GPXd = &data;
  try {
    file.ExportGPX(path);
  } catch (const EFileError& e) {
    dialogs.ShowError(e.what());
  }
}
