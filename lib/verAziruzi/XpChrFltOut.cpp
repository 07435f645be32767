#include <algorithm>

#include "lib/verAziruzi/XpChrFlt.h"
#include "lib/verAziruzi/XpExcept.h"

TXpStreamFormat XpEncodingToStreamFormat(TXpCharEncoding encoding) {
  switch (encoding) {
    case ceUTF8: return sfUTF8;
    case ceUTF16LE: return sfUTF16LE;
    case ceUTF16BE: return sfUTF16BE;
    case ceISO88591:
    case ceUnknown: break;
  }
  return sfISO88591;
}

TXpCharEncoding XpStreamFormatToEncoding(TXpStreamFormat format) {
  switch (format) {
    case sfUTF8: return ceUTF8;
    case sfUTF16LE: return ceUTF16LE;
    case sfUTF16BE: return ceUTF16BE;
    case sfISO88591: return ceISO88591;
  }
  return ceUnknown;
}

TXpOutCharFilter::TXpOutCharFilter(TXpStream* stream, int bufSize)
    : TXpBaseCharFilter(stream, bufSize, false), fStartPos(fStreamPos) {}

TXpOutCharFilter::~TXpOutCharFilter() {
  try {
    Flush();
  } catch (...) {
    // A failure here has nobody to tell; callers that care call Flush first.
  }
}

void TXpOutCharFilter::SetFormat(TXpStreamFormat format) {
  const std::int64_t at = Position();
  bool allowed;
  switch (fFormat) {
    case sfUTF8: allowed = fSetUTF8Sig ? at <= 3 : at == 0; break;
    case sfUTF16LE:
    case sfUTF16BE: allowed = at < 3; break;
    default: allowed = at == 0; break;
  }
  // Bytes already flushed cannot be taken back: a new signature after them
  // would stand in the output twice.
  if (!allowed || fPutCount != fBufPos) return;
  fPutCount -= fBufPos;
  fBufPos = 0;
  fFormat = format;
  switch (format) {
    case sfUTF8:
      if (fSetUTF8Sig) {
        PutByte(0xEF);
        PutByte(0xBB);
        PutByte(0xBF);
      }
      break;
    case sfUTF16LE:
      PutByte(0xFF);
      PutByte(0xFE);
      break;
    case sfUTF16BE:
      PutByte(0xFE);
      PutByte(0xFF);
      break;
    case sfISO88591: break;
  }
}

void TXpOutCharFilter::PutByte(std::uint8_t byte) {
  if (fBufPos == Capacity()) {
    if (Capacity() < BufSize())
      Reserve(std::min(BufSize(), std::max(256, Capacity() * 2)), fBufPos);
    else
      Flush();
  }
  fBuffer[static_cast<std::size_t>(fBufPos++)] = byte;
  ++fPutCount;
}

void TXpOutCharFilter::Flush() {
  if (fBufPos == 0) return;
  const std::int64_t count = fBufPos;
  // The bytes leave the buffer whatever happens: a failing stream must not get
  // them again, half written, from the destructor.
  fBufPos = 0;
  const std::int64_t written = fStream->Write(fBuffer.get(), count);
  fStreamPos += std::max<std::int64_t>(written, 0);
  if (written != count) throw EInOutError(u"Stream write error");
}

void TXpOutCharFilter::Fail(int message) {
  throw EXpStreamError(static_cast<int>(fStreamPos), XpFormatMessage(message));
}

void TXpOutCharFilter::PutUCS4Char(TXpUcs4Char ch) {
  switch (fFormat) {
    case sfUTF8: {
      TXpUtf8Char seq;
      // Only codes beyond 31 bits fail, which no UTF-16 text can hold.
      if (!XpUcs4ToUtf8Seq(ch, seq)) Fail(xpmUcs4ToUtf8);
      for (int i = 1; i <= seq[0]; ++i) PutByte(seq[static_cast<std::size_t>(i)]);
      return;
    }
    case sfUTF16LE:
    case sfUTF16BE: {
      char16_t first, second;
      if (!XpUcs4ToUtf16Pair(ch, first, second)) Fail(xpmUcs4ToUtf16);
      const bool le = fFormat == sfUTF16LE;
      auto putUnit = [&](char16_t unit) {
        const auto high = static_cast<std::uint8_t>(unit >> 8), low = static_cast<std::uint8_t>(unit & 0xFF);
        PutByte(le ? low : high);
        PutByte(le ? high : low);
      };
      putUnit(first);
      if (second) putUnit(second);
      return;
    }
    case sfISO88591: {
      std::uint8_t byte;
      if (!XpUcs4ToLatin1(ch, byte)) Fail(xpmUcs4ToLatin1);
      PutByte(byte);
      return;
    }
  }
}

bool TXpOutCharFilter::PutChar(char16_t ch1, char16_t ch2, bool& bothUsed) {
  TXpUcs4Char code;
  if (!XpUtf16PairToUcs4(ch1, ch2, code, bothUsed)) return false;
  PutUCS4Char(code);
  return true;
}

bool TXpOutCharFilter::PutString(const WideString& text) {
  for (std::size_t i = 0; i < text.size();) {
    const char16_t next = i + 1 < text.size() ? text[i + 1] : text[i];
    bool both;
    if (!PutChar(text[i], next, both)) return false;
    i += both ? 2 : 1;
  }
  return true;
}

std::int64_t TXpOutCharFilter::GetSize() {
  // The buffer lands at the stream's position, which need not be its end.
  return std::max(fStream->Size(), fStreamPos + fBufPos);
}
