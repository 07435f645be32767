#include "lib/verAziruzi/XpParserInput.h"

#include <algorithm>

namespace {

// A unit that may stand in a document: XML 1.0's Char for the BMP; surrogate
// units are checked as pairs by the decoders.
bool IsXmlUnit(char16_t c) {
  if (c >= 0x20) return c <= 0xFFFD;
  return c == 9 || c == 10 || c == 13;
}

constexpr std::size_t kWindow = 4096;  // units decoded ahead

}  // namespace

bool TXpParserInput::TryRead(std::u16string_view text) {
  if (text.empty()) return true;
  if (fBuf.size() - fPos < text.size() && !Available(text.size())) return false;
  if (std::u16string_view(fBuf).substr(fPos, text.size()) != text) return false;
  for (char16_t c : text) Advance(c);
  fPos += text.size();
  return true;
}

bool TXpParserInput::ScanCharData(WideString& out) {
  bool cdataEnd = false;
  fBracketRun = 0;
  for (;;) {
    if (fPos >= fBuf.size() && !Available(1)) return cdataEnd;
    std::size_t start = fPos;
    while (fPos < fBuf.size()) {
      char16_t c = fBuf[fPos];
      if (c == u'<' || c == u'&') break;
      if (c == u']') {
        ++fBracketRun;
      } else {
        if (c == u'>' && fBracketRun >= 2) cdataEnd = true;
        fBracketRun = 0;
      }
      Advance(c);
      ++fPos;
    }
    out.append(fBuf, start, fPos - start);
    if (fPos < fBuf.size()) return cdataEnd;
  }
}

// ---------------------------------------------------------------------------

TXpTextInput::TXpTextInput(const WideString& text, const WideString& entityName) {
  EntityName = entityName;
  fBuf.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == 13) {
      if (i + 1 < text.size() && text[i + 1] == 10) ++i;
      c = 10;
    } else if (XpIsSurrogateUnit(c)) {
      bool paired = c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
      if (paired) {
        fBuf.push_back(c);
        fBuf.push_back(text[++i]);
        continue;
      }
      c = 0;  // refused below
    }
    if (!IsXmlUnit(c)) {
      // Reported when reading reaches it; the line and column are filled then.
      fError.emplace(0, 0, 0, XpFormatMessage(xpmInvalidXmlChar));
      break;
    }
    fBuf.push_back(c);
  }
}

bool TXpTextInput::Available(std::size_t count) {
  if (fBuf.size() - fPos >= count) return true;
  if (fError && fPos >= fBuf.size()) {
    EXpFilterError error(0, Line(), LinePos(), fError->Reason());
    fError.reset();
    throw error;
  }
  return false;
}

// ---------------------------------------------------------------------------

TXpStreamInput::TXpStreamInput(TXpStream& stream, std::unique_ptr<TXpStream> owned, int bufferSize)
    : fStream(stream), fOwned(std::move(owned)) {
  fBytes.reserve(static_cast<std::size_t>(std::max(bufferSize, 16)));
  fBytesStart = fStream.Position();
  std::uint8_t head[3] = {0, 0, 0};
  std::int64_t got = fStream.Read(head, 3);
  std::int64_t skip = 0;
  if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
    fFormat = ceUTF16BE;
    skip = 2;
  } else if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
    fFormat = ceUTF16LE;
    skip = 2;
  } else if (got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
    skip = 3;
  }
  fBytesStart += skip;
  fStream.SetPosition(fBytesStart);
}

void TXpStreamInput::SetFormat(TXpCharEncoding format) {
  if (fFormat == ceUTF16LE || fFormat == ceUTF16BE || format == fFormat) return;
  // Undo what was decoded ahead and decode it again in the new format.
  std::int64_t offset = fPos < fOffsets.size() ? fOffsets[fPos] : fBytesStart + std::int64_t(fBytePos);
  if (fPos < fOffsets.size()) {
    fBuf.resize(fPos);
    fOffsets.resize(fPos);
    fError.reset();
    fPendingCR = false;
  }
  fFormat = format;
  fStream.SetPosition(offset);
  fBytes.clear();
  fBytePos = 0;
  fBytesStart = offset;
}

bool TXpStreamInput::NextByte(std::uint8_t& b) {
  if (fBytePos >= fBytes.size()) {
    fBytesStart += static_cast<std::int64_t>(fBytes.size());
    fBytes.resize(fBytes.capacity());
    std::int64_t got = fStream.Read(fBytes.data(), static_cast<std::int64_t>(fBytes.size()));
    fBytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    fBytePos = 0;
    if (fBytes.empty()) return false;
  }
  b = fBytes[fBytePos++];
  return true;
}

void TXpStreamInput::Bad(int message) { throw EXpFilterError(0, 0, 0, XpFormatMessage(message)); }

bool TXpStreamInput::DecodeOne(TXpUcs4Char& code) {
  std::uint8_t b0 = 0, b1 = 0;
  switch (fFormat) {
    case ceISO88591:
      if (!NextByte(b0)) return false;
      code = b0;
      return true;
    case ceUTF16LE:
    case ceUTF16BE: {
      int message = fFormat == ceUTF16LE ? xpmInvalidUtf16LE : xpmInvalidUtf16BE;
      auto unit = [&](char16_t& u) {
        if (!NextByte(b0)) return false;
        if (!NextByte(b1)) Bad(message);
        u = fFormat == ceUTF16LE ? char16_t(b0 | (b1 << 8)) : char16_t((b0 << 8) | b1);
        return true;
      };
      char16_t first = 0, second = 0;
      if (!unit(first)) return false;
      if (!XpIsSurrogateUnit(first)) {
        code = first;
        return true;
      }
      if (first >= 0xDC00 || !unit(second) || second < 0xDC00 || second > 0xDFFF) Bad(message);
      code = 0x10000 + ((TXpUcs4Char(first) - 0xD800) << 10) + (second - 0xDC00);
      return true;
    }
    default: {
      if (!NextByte(b0)) return false;
      if (b0 < 0x80) {
        code = b0;
        return true;
      }
      int length = b0 >= 0xF0 ? (b0 < 0xF5 ? 4 : 0) : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 0;
      if (length == 0) Bad(xpmBadUtf8);
      code = b0 & (0xFF >> (length + 1));
      for (int i = 1; i < length; ++i) {
        if (!NextByte(b1) || (b1 & 0xC0) != 0x80) Bad(xpmBadUtf8);
        code = (code << 6) | (b1 & 0x3F);
      }
      static constexpr TXpUcs4Char kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (code < kMinimum[length] || code > 0x10FFFF) Bad(xpmBadUtf8);
      return true;
    }
  }
}

bool TXpStreamInput::Available(std::size_t count) {
  if (fBuf.size() - fPos >= count) return true;
  if (fPos > 0) {
    fBuf.erase(0, fPos);
    fOffsets.erase(fOffsets.begin(), fOffsets.begin() + static_cast<std::ptrdiff_t>(fPos));
    fPos = 0;
  }
  std::size_t target = std::max(count, kWindow);
  while (!fError && fBuf.size() < target) {
    std::int64_t offset = fBytesStart + static_cast<std::int64_t>(fBytePos);
    TXpUcs4Char code = 0;
    try {
      if (!DecodeOne(code)) break;
      if (code == 13) {
        // CR LF and a lone CR both end a line as one LF.
        std::size_t bytePos = fBytePos;
        std::int64_t bytesStart = fBytesStart;
        TXpUcs4Char next = 0;
        std::int64_t nextOffset = fBytesStart + static_cast<std::int64_t>(fBytePos);
        if (DecodeOne(next) && next != 10) {
          if (bytesStart == fBytesStart) {
            fBytePos = bytePos;
          } else {
            fStream.SetPosition(nextOffset);
            fBytes.clear();
            fBytePos = 0;
            fBytesStart = nextOffset;
          }
        }
        code = 10;
      } else if (code < 0x10000 ? !IsXmlUnit(char16_t(code)) || XpIsSurrogateUnit(char16_t(code)) : false) {
        Bad(xpmInvalidXmlChar);
      }
    } catch (const EXpFilterError& error) {
      fError.emplace(error);
      fErrorOffset = offset;
      break;
    }
    if (code >= 0x10000) {
      fBuf.push_back(char16_t(0xD800 + ((code - 0x10000) >> 10)));
      fBuf.push_back(char16_t(0xDC00 + ((code - 0x10000) & 0x3FF)));
      fOffsets.push_back(offset);
      fOffsets.push_back(offset);
    } else {
      fBuf.push_back(char16_t(code));
      fOffsets.push_back(offset);
    }
  }
  if (fBuf.size() - fPos >= count) return true;
  if (fError && fPos >= fBuf.size()) {
    EXpFilterError error(static_cast<int>(fErrorOffset), Line(), LinePos(), fError->Reason());
    fError.reset();
    throw error;
  }
  return false;
}
