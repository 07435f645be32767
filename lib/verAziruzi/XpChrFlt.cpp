#include "lib/verAziruzi/XpChrFlt.h"

#include <algorithm>

TXpBaseCharFilter::TXpBaseCharFilter(TXpStream* stream, int bufSize, bool freeStream)
    : fFreeStream(freeStream), fStream(stream) {
  if (!stream) throw EAssertionFailed("Assertion failed: character filter without a stream (lib/verAziruzi/XpChrFlt)");
  fBuffer.resize(static_cast<std::size_t>(std::max(bufSize, kMinBufSize)));
  fStreamPos = stream->Position();
  fStreamSize = stream->Size();
}

TXpBaseCharFilter::~TXpBaseCharFilter() {
  if (fFreeStream) delete fStream;
}

std::int64_t TXpBaseCharFilter::GetSize() { return fStream->Size(); }
