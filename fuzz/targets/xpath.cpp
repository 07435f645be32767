// XPath: the input is an expression, evaluated against a small fixed GPX document
// from its root element and from a track point.
#include <cstdlib>

#include "lib/verAziruzi/XpDOMObjModel.h"
#include "lib/verAziruzi/XpExcept.h"
#include "lib/verAziruzi/XpXPath.h"
#include "fuzz/FuzzInput.h"

namespace {

constexpr char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"fuzz\" xmlns=\"http://www.topografix.com/GPX/1/1\""
    " xmlns:h=\"urn:shoalwright:depth:1\">\n"
    " <metadata><name>Lake</name><time>2024-05-01T10:00:00Z</time></metadata>\n"
    " <wpt lat=\"47.5\" lon=\"9.25\"><ele>400</ele><name>Buoy</name></wpt>\n"
    " <trk><name>Survey</name><trkseg>\n"
    "  <trkpt lat=\"47.501\" lon=\"9.251\"><time>2024-05-01T10:00:01Z</time>"
    "<extensions><h:depth>1250</h:depth></extensions></trkpt>\n"
    "  <trkpt lat=\"47.502\" lon=\"9.252\"><extensions><h:depth>980</h:depth></extensions></trkpt>\n"
    " </trkseg></trk>\n"
    "</gpx>\n";

TXpObjModel& Model() {
  static TXpObjModel model;
  static const bool loaded = model.LoadMemory(kDocument, sizeof kDocument - 1);
  if (!loaded) std::abort();
  model.Document()->XPathParser().SetWorkBudget(250'000);  // thousands of walks of it: a hostile input ends soon
  return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return -1;
  const WideString query = XpUtf8ToWide(fuzz::AsText(data, size));
  TXpDocument* document = Model().Document();
  TXpElement* root = document->DocumentElement();
  TXpNode* contexts[] = {root, root->SelectSingleNode(u"trk/trkseg/trkpt")};
  for (TXpNode* context : contexts) {
    if (!context) continue;
    try {
      context->SelectNodes(query);
    } catch (const EXpException&) {
      // a malformed expression is refused with an error, as the program expects
    }
  }
  // Each input starts from an empty scan cache: a kept scan would make a run
  // depend on the inputs before it, and looks like a leak to the fuzzer, which
  // then runs the input a second time to make sure.
  document->XPathParser().ClearCache();
  return 0;
}
