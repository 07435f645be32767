// The HT decoder: bytes -> track, as ReadHT decodes a file it has read.
#include "formats/HTConvert.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 2 * THTConvert::kFileSize) return -1;
  THTConvert::DecodeHT({data, size});
  return 0;
}
