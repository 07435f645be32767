#include <algorithm>
#include <cstring>

#include "lib/verAziruzi/XpChrFlt.h"
#include "lib/verAziruzi/XpExcept.h"

TXpInCharFilter::TXpInCharFilter(TXpStream* stream, int bufSize) : TXpBaseCharFilter(stream, bufSize, true) {
  NeedBytes(3);
  const std::uint8_t* b = fBuffer.get();
  if (fBufEnd >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    fFormat = sfUTF16BE;
    fBufPos = 2;
  } else if (fBufEnd >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    fFormat = sfUTF16LE;
    fBufPos = 2;
  } else if (fBufEnd >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    fBufPos = 3;
  }
  fEOF = fBufEnd == 0;
}

TXpInCharFilter::~TXpInCharFilter() = default;

void TXpInCharFilter::SetFormat(TXpStreamFormat format) {
  if (fFormat == sfUTF16LE || fFormat == sfUTF16BE) return;
  fFormat = format;
}

WideString TXpInCharFilter::URL() const { return fDirContext ? fDirContext->URL() : WideString(); }

// Makes `count` unread bytes available when the stream still has them. A refill
// keeps the unread bytes, and during a look-ahead everything from the point it
// may return to, so no byte is ever skipped or read twice.
bool TXpInCharFilter::NeedBytes(int count) {
  while (fBufEnd - fBufPos < count && fStreamPos < fStreamSize) {
    const int keepFrom = fInTryRead ? fTryStart : fBufPos;
    if (keepFrom > 0) {
      std::memmove(fBuffer.get(), fBuffer.get() + keepFrom, static_cast<std::size_t>(fBufEnd - keepFrom));
      fBufEnd -= keepFrom;
      fBufPos -= keepFrom;
      if (fInTryRead) fTryStart = 0;
    }
    if (fBufEnd == Capacity()) {
      int size;
      if (fBufEnd < fBufSize) {
        // No bigger than what the stream still holds.
        size = static_cast<int>(std::min<std::int64_t>(fBufSize, fBufEnd + (fStreamSize - fStreamPos)));
      } else {
        size = fBufSize * 2;  // a look-ahead longer than the buffer
        fBufSize = size;
      }
      Reserve(size, fBufEnd);
    }
    const std::int64_t read = fStream->Read(fBuffer.get() + fBufEnd, Capacity() - fBufEnd);
    if (read <= 0) {
      fStreamSize = fStreamPos;  // the stream ended early: it was cut while we read
      break;
    }
    fBufEnd += static_cast<int>(read);
    fStreamPos += read;
  }
  return fBufEnd - fBufPos >= count;
}

bool TXpInCharFilter::NextByte(std::uint8_t& byte) {
  if (!NeedBytes(1)) return false;
  byte = fBuffer[static_cast<std::size_t>(fBufPos++)];
  return true;
}

void TXpInCharFilter::Fail(int message) const {
  // The position of the filter in the stream, whatever the buffer holds ahead.
  const auto filePos = static_cast<int>(fStreamPos - (fBufEnd - fBufPos));
  throw EXpFilterError(filePos, fLine, fLinePos, XpFormatMessage(message));
}

bool TXpInCharFilter::UsedUp() const { return fStreamPos >= fStreamSize && fBufPos >= fBufEnd; }

// One character of the stream by the current format; kEnd when the bytes run
// out, also in the middle of a character.
TXpUcs4Char TXpInCharFilter::DecodeChar() {
  std::uint8_t b0, b1;
  switch (fFormat) {
    case sfISO88591:
      return NextByte(b0) ? b0 : kEnd;

    case sfUTF16LE:
    case sfUTF16BE: {
      const bool le = fFormat == sfUTF16LE;
      auto nextUnit = [&](char16_t& unit) {
        if (!NextByte(b0) || !NextByte(b1)) return false;
        unit = le ? static_cast<char16_t>(b0 | (b1 << 8)) : static_cast<char16_t>((b0 << 8) | b1);
        return true;
      };
      char16_t first = 0, second = 0;
      if (!nextUnit(first)) return kEnd;
      // Only a high surrogate waits for its partner; a low one cannot start a
      // character, even as the last unit.
      if (first >= 0xD800 && first <= 0xDBFF && !nextUnit(second)) return kEnd;
      TXpUcs4Char code;
      bool usedSecond;
      if (!XpUtf16PairToUcs4(first, second, code, usedSecond)) Fail(le ? xpmInvalidUtf16LE : xpmInvalidUtf16BE);
      return code;
    }

    case sfUTF8:
      break;
  }
  if (!NextByte(b0)) return kEnd;
  const int length = XpUtf8SeqLength(b0);
  if (length == 0) Fail(xpmBadUtf8);
  TXpUtf8Char seq{};
  seq[0] = static_cast<std::uint8_t>(length);
  seq[1] = b0;
  // A byte that cannot continue the sequence is an error at once, even when the
  // stream ends before the sequence would: the end must not swallow it quietly.
  for (int i = 2; i <= length; ++i) {
    std::uint8_t& b = seq[static_cast<std::size_t>(i)];
    if (!NextByte(b)) return kEnd;
    if ((b & 0xC0) != 0x80) Fail(xpmBadUtf8);
  }
  TXpUcs4Char code;
  if (!XpUtf8SeqToUcs4(seq, length, code)) Fail(xpmBadUtf8);
  // An overlong form could smuggle a '<' or a quote past every check that looks
  // at bytes; only the shortest form is UTF-8.
  static constexpr TXpUcs4Char kShortest[] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
  if (code < kShortest[length]) Fail(xpmBadUtf8);
  return code;
}

// One character with line ends folded and checked, lines and columns counted.
TXpUcs4Char TXpInCharFilter::NextCodePoint() {
  auto take = [this] {
    if (fWaiting == kNone) return DecodeChar();
    const TXpUcs4Char c = fWaiting;
    fWaiting = kNone;
    return c;
  };
  TXpUcs4Char c = take();
  if (c == 13) {
    const TXpUcs4Char next = take();
    if (next != 10 && next != kEnd) fWaiting = next;
    c = 10;
  }
  if (c == kEnd) {
    fEOF = true;
    return kEnd;
  }
  // U+0001 among them: it is no end of input, or a stray byte would cut off the
  // rest of the document without a word.
  if (!XpIsXmlChar(c)) Fail(xpmInvalidXmlChar);
  if (c == 10) {
    ++fLine;
    fLinePos = 1;
  } else {
    ++fLinePos;
  }
  return c;
}

// One UTF-16 unit. The low half of a pair takes no column of its own.
char16_t TXpInCharFilter::NextUnit(bool& counted) {
  if (fPendingLow) {
    const char16_t low = fPendingLow;
    fPendingLow = 0;
    counted = false;
    return low;
  }
  counted = true;
  const TXpUcs4Char c = NextCodePoint();
  if (c == kEnd) return kEndOfInput;
  char16_t first, second;
  XpUcs4ToUtf16Pair(c, first, second);
  fPendingLow = second;
  return first;
}

char16_t TXpInCharFilter::ReadChar() {
  if (fPeeked) return fPeeked;
  fPeeked = NextUnit(fPeekedCounted);
  if (fPeekedCounted) --fLinePos;
  return fPeeked;
}

void TXpInCharFilter::SkipChar() {
  if (!fPeeked) return;
  if (fPeekedCounted) ++fLinePos;
  fPeeked = 0;
}

char16_t TXpInCharFilter::ReadAndSkipChar() {
  char16_t unit;
  if (fPeeked) {
    unit = fPeeked;
    SkipChar();
  } else {
    bool counted;
    unit = NextUnit(counted);
  }
  if (UsedUp() && fWaiting == kNone && !fPendingLow) fEOF = true;
  return unit;
}

std::size_t TXpInCharFilter::ReadPlainRun(WideString& out, std::size_t room) {
  const std::uint8_t* const begin = fBuffer.get() + fBufPos;
  const std::uint8_t* const end = begin + std::min(room, static_cast<std::size_t>(fBufEnd - fBufPos));
  const unsigned highest = fFormat == sfISO88591 ? 0xFF : 0x7F;
  const std::uint8_t* p = begin;
  const std::uint8_t* lastLineEnd = nullptr;
  int lineEnds = 0;
  for (; p < end; ++p) {
    const unsigned b = *p;
    if (b >= 0x20 && b <= highest) continue;
    if (b == 10) {
      ++lineEnds;
      lastLineEnd = p;
    } else if (b != 9) {
      break;
    }
  }
  const auto count = static_cast<std::size_t>(p - begin);
  if (count == 0) return 0;
  const std::size_t at = out.size();
  out.resize(at + count);
  char16_t* units = out.data() + at;
  for (std::size_t i = 0; i < count; ++i) units[i] = begin[i];
  fBufPos += static_cast<int>(count);
  if (lastLineEnd) {
    fLine += lineEnds;
    fLinePos = 1 + static_cast<int>(p - lastLineEnd - 1);
  } else {
    fLinePos += static_cast<int>(count);
  }
  return count;
}

bool TXpInCharFilter::ReadUnits(WideString& out, std::size_t count) {
  const std::size_t goal = out.size() + count;
  const bool bytewise = fFormat == sfUTF8 || fFormat == sfISO88591;
  while (out.size() < goal) {
    const bool clean = !fPeeked && !fPendingLow && fWaiting == kNone;
    if (bytewise && clean && NeedBytes(1) && ReadPlainRun(out, goal - out.size()) > 0) continue;
    const char16_t unit = ReadAndSkipChar();
    if (unit == kEndOfInput && fEOF) return false;
    out.push_back(unit);
  }
  if (UsedUp() && fWaiting == kNone && !fPendingLow && !fPeeked) fEOF = true;
  return true;
}

bool TXpInCharFilter::TryRead(const std::vector<TXpUcs4Char>& chars) {
  const char16_t savedPeeked = fPeeked;
  const bool savedPeekedCounted = fPeekedCounted;
  const TXpUcs4Char savedWaiting = fWaiting;
  const char16_t savedPendingLow = fPendingLow;
  const int savedLine = fLine, savedLinePos = fLinePos;
  const bool savedEOF = fEOF;
  fInTryRead = true;
  fTryStart = fBufPos;

  bool match = true;
  try {
    for (const TXpUcs4Char expected : chars) {
      TXpUcs4Char got;
      if (fPeeked) {
        const char16_t unit = fPeeked;
        SkipChar();
        if (unit == kEndOfInput) {
          got = kEnd;
        } else if (fPendingLow && unit >= 0xD800 && unit <= 0xDBFF) {
          got = 0x10000 + (((unit & 0x3FFu) << 10) | (fPendingLow & 0x3FFu));
          fPendingLow = 0;
        } else {
          got = unit;
        }
      } else if (fPendingLow) {
        got = fPendingLow;
        fPendingLow = 0;
      } else {
        got = NextCodePoint();
      }
      if (got != expected) {
        match = false;
        break;
      }
    }
  } catch (...) {
    fInTryRead = false;
    throw;
  }

  if (match) {
    if (UsedUp() && fWaiting == kNone && !fPendingLow && !fPeeked) fEOF = true;
  } else {
    fBufPos = fTryStart;
    fPeeked = savedPeeked;
    fPeekedCounted = savedPeekedCounted;
    fWaiting = savedWaiting;
    fPendingLow = savedPendingLow;
    fLine = savedLine;
    fLinePos = savedLinePos;
    fEOF = savedEOF;
  }
  fInTryRead = false;
  return match;
}
