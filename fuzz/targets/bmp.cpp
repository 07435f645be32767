// The BMP loader of the raster layer, through the file load the program uses.
#include "platform/Bitmap.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 20) return -1;
  const std::string path = fuzz::WriteScratchFile(data, size, ".bmp");
  TBitmap bitmap;
  bitmap.LoadFromFile(path);
  return 0;
}
