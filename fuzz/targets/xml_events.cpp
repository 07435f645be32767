// The XML parser, bytes -> events, with remote sources off (the program's setting).
#include "lib/verAziruzi/XpParser.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return -1;
  TXpParser parser;
  parser.AllowRemoteSources = false;
  std::size_t events = 0;
  parser.OnStartElement = [&](TXpComponent*, const WideString&) { ++events; };
  parser.OnEndElement = [&](TXpComponent*, const WideString&) { ++events; };
  parser.OnAttribute = [&](TXpComponent*, const WideString&, const WideString&, bool) { ++events; };
  parser.OnCharData = [&](TXpComponent*, const WideString&) { ++events; };
  parser.ParseMemory(data, static_cast<int>(size));
  return 0;
}
