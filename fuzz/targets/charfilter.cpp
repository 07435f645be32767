// The input character filter: bytes -> characters. The first byte picks the format
// the filter is set to before reading (after byte-order-mark detection has run).
#include <memory>

#include "lib/verAziruzi/XpChrFlt.h"
#include "lib/verAziruzi/XpExcept.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 1 << 16) return -1;
  const int format = data[0] % 5;  // 4: keep what was detected
  auto stream = std::make_unique<TXpMemoryStream>();
  stream->SetPointer(data + 1, static_cast<std::int64_t>(size - 1));
  TXpInCharFilter filter(stream.release(), 64);
  try {
    if (format <= sfISO88591) filter.SetFormat(static_cast<TXpStreamFormat>(format));
    while (filter.ReadAndSkipChar() != TXpInCharFilter::kEndOfInput) {
    }
  } catch (const EXpException&) {
    // malformed bytes are refused with an error
  }
  return 0;
}
