#include "lib/verAziruzi/XpChrFlt.h"

#include <algorithm>
#include <cstring>

TXpBaseCharFilter::TXpBaseCharFilter(TXpStream* stream, int bufSize, bool freeStream)
    : fFreeStream(freeStream), fStream(stream) {
  if (!stream) throw EAssertionFailed("Assertion failed: character filter without a stream (lib/verAziruzi/XpChrFlt)");
  fBufSize = std::max(bufSize, kMinBufSize);
  fStreamPos = stream->Position();
  fStreamSize = stream->Size();
}

TXpBaseCharFilter::~TXpBaseCharFilter() {
  if (fFreeStream) delete fStream;
}

std::int64_t TXpBaseCharFilter::GetSize() { return fStream->Size(); }

void TXpBaseCharFilter::Reserve(int size, int keep) {
  if (size <= fCapacity) return;
  auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
  if (keep > 0) std::memcpy(buffer.get(), fBuffer.get(), static_cast<std::size_t>(keep));
  fBuffer = std::move(buffer);
  fCapacity = size;
}
