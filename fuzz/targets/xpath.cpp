// XPath: the input is an expression, evaluated against a small fixed GPX document
// from its root element, from a track point and from an attribute.
#include <cstdlib>

#include "lib/verAziruzi/XpDOMObjModel.h"
#include "lib/verAziruzi/XpExcept.h"
#include "lib/verAziruzi/XpXPath.h"
#include "fuzz/FuzzInput.h"

namespace {

// Beside the usual track it holds what steps from attributes and across siblings
// must cope with: elements with attributes and no children, comments,
// processing instructions and text between elements.
constexpr char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<?shoalwright survey=\"fuzz\"?>\n"
    "<!-- before the root -->\n"
    "<gpx version=\"1.1\" creator=\"fuzz\" xmlns=\"http://www.topografix.com/GPX/1/1\""
    " xmlns:h=\"urn:shoalwright:depth:1\">\n"
    " <metadata><name>Lake</name><time>2024-05-01T10:00:00Z</time>"
    "<bounds minlat=\"47.4\" minlon=\"9.2\" maxlat=\"47.6\" maxlon=\"9.3\"/></metadata>\n"
    " <!-- marks -->\n"
    " <wpt lat=\"47.5\" lon=\"9.25\"><ele>400</ele><name>Buoy</name><!--moored--><sym/></wpt>\n"
    " <wpt lat=\"47.51\" lon=\"9.26\"/>text between<?mark kept?><wpt lat=\"47.52\" lon=\"9.27\" h:id=\"w3\"/>\n"
    " <trk><name>Survey</name>loose text<trkseg>\n"
    "  <trkpt lat=\"47.501\" lon=\"9.251\"><time>2024-05-01T10:00:01Z</time>"
    "<extensions><h:depth>1250</h:depth></extensions></trkpt>\n"
    "  <trkpt lat=\"47.502\" lon=\"9.252\"/><!-- gap --><?split at=\"2\"?>\n"
    "  <trkpt lat=\"47.503\" lon=\"9.253\" h:quality=\"2\"><extensions><h:depth unit=\"cm\"/>"
    "</extensions>after<!--x--></trkpt>\n"
    " </trkseg></trk>\n"
    "</gpx>\n"
    "<!-- after the root -->\n";

TXpObjModel& Model() {
  static TXpObjModel model;
  static const bool loaded = model.LoadMemory(kDocument, sizeof kDocument - 1);
  if (!loaded) std::abort();
  model.Document()->XPathParser().SetWorkBudget(100'000);  // hundreds of walks of it: a hostile input ends soon, under the sanitizers too
  return model;
}

// The contexts every input is evaluated from: the root, a track point and an
// attribute of a track point without children.
struct Contexts {
  TXpNode* nodes[3];
};

const Contexts& ContextNodes() {
  static const Contexts contexts = [] {
    TXpElement* root = Model().Document()->DocumentElement();
    auto* childless = static_cast<TXpElement*>(root->SelectSingleNode(u"trk/trkseg/trkpt[2]"));
    Contexts found{{root, root->SelectSingleNode(u"trk/trkseg/trkpt"),
                    childless && !childless->HasChildNodes() ? childless->GetAttributeNode(u"lat") : nullptr}};
    for (TXpNode* node : found.nodes)
      if (!node) std::abort();
    return found;
  }();
  return contexts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return -1;
  const WideString query = XpUtf8ToWide(fuzz::AsText(data, size));
  TXpDocument* document = Model().Document();
  for (TXpNode* context : ContextNodes().nodes) {
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
