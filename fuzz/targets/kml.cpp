// The KML reader, through the file load the program uses.
#include "formats/KMLFile.h"
#include "model/GPX.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return -1;
  const std::string path = fuzz::WriteScratchFile(data, size, ".kml");
  TGPX document;
  TKMLFile file;
  file.GPXd = &document;
  file.ImportKML(path);
  return 0;
}
