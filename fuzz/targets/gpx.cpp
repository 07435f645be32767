// The GPX reader on bytes, through ImportGPXString: once with the quick scan
// of plain track segments and once through the object model alone. The two
// reads must agree on everything; a difference aborts.
#include <cstdio>
#include <cstdlib>

#include "formats/GPXFile.h"
#include "model/GPX.h"
#include "fuzz/FuzzInput.h"
#include "tests/support/GPXDump.h"

namespace {

std::string Read(std::string_view bytes, bool scan) {
  TGPX document;
  TGPXFile file;
  file.GPXd = &document;
  file.ScanPlainSegments = scan;
  const TReadResult result = file.ImportGPXString(bytes);
  std::string outcome = std::to_string(result.Loaded) + result.Findings.ForeignDepth + "\n";
  for (const std::string& line : result.Lines) outcome += line + "\n";
  return outcome + gpxdump::Dump(document);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return -1;
  const std::string_view bytes = fuzz::AsText(data, size);
  const std::string scanned = Read(bytes, true), whole = Read(bytes, false);
  if (scanned != whole) {
    std::fprintf(stderr, "the scan reads otherwise:\n%s\n--- the object model:\n%s\n", scanned.c_str(), whole.c_str());
    std::abort();
  }
  return 0;
}
