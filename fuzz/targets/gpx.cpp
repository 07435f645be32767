// The GPX reader on bytes, through ImportGPXString.
#include "formats/GPXFile.h"
#include "model/GPX.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return -1;
  TGPX document;
  TGPXFile file;
  file.GPXd = &document;
  file.ImportGPXString(fuzz::AsText(data, size));
  return 0;
}
