// The XML parser, bytes -> tree through the object model, remote sources off.
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return -1;
  TXpObjModel model;
  model.AllowRemoteSources = false;
  if (model.LoadMemory(data, static_cast<int>(size))) model.XmlDocument();  // write the tree back out
  return 0;
}
