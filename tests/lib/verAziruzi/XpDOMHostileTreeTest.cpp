// Uses of the tree that hostile files and careless callers reach: steps from
// attributes of elements without children, fragments put below themselves,
// nodes kept after their document, removals through the public containers and
// attributes claimed by two elements. Every case runs on a small stack, so a
// walk that recursed would show here as the crash it is; the sanitizers catch
// any read of a freed or empty list.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "DomFixture.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "tests/support/SmallStack.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XmlOracle.h"

namespace {

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Our answer as xmllint prints a node-set: one serialised node a line. Our
// reverse axes keep their own order, so both sides are compared sorted.
std::vector<std::string> OurNodes(TXpNode* context, const std::string& query) {
  std::vector<std::string> lines;
  const auto nodes = context->SelectNodes(XpUtf8ToWide(query));
  for (const TXpNode* node : nodes->Nodes()) lines.push_back(U8(node->XmlDocument()));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string Xmllint(const std::string& path, const std::string& query) {
  const TXmlOracleResult result = TXmlOracle::Run({"--xpath", query}, path);
  if (result.exitCode == 10) return {};  // "XPath set is empty"
  EXPECT_EQ(result.exitCode, 0) << query << ": " << result.errors;
  return result.output;
}

TEST(HostileTree, StepsFromAttributesOfChildlessElementsAnswerAsAnXPathEngineDoes) {
  // a and d have attributes and no children; comments, a processing instruction
  // and text stand beside them.
  const std::string xml = "<r><a lat=\"1\" lon=\"2\"/><!--c-->text<?pi x?><b k=\"v\"><c/></b><d z=\"9\"/></r>";
  TTempFolder folder("hostile-tree");
  const std::string path = folder.Path("t.xml");
  std::ofstream(path) << xml;
  // Our '*' on the following, preceding and sibling axes takes every node there,
  // not only elements: it is compared with node() in the other engine.
  struct Query {
    const char* ours;
    const char* theirs;
  };
  const Query nodeSets[] = {
      {"//@lat/following::*", "//@lat/following::node()"},
      {"//@lat/following::b", "//@lat/following::b"},
      {"//@lon/following::comment()", "//@lon/following::comment()"},
      {"//@lon/following::text()", "//@lon/following::text()"},
      {"//@lon/following::processing-instruction()", "//@lon/following::processing-instruction()"},
      {"//@lat/following-sibling::node()", "//@lat/following-sibling::node()"},
      {"//@lat/following-sibling::*", "//@lat/following-sibling::node()"},
      {"//@lat/preceding-sibling::node()", "//@lat/preceding-sibling::node()"},
      {"//@lat/preceding::*", "//@lat/preceding::node()"},
      {"//@z/preceding::*", "//@z/preceding::node()"},
      {"//@z/preceding::c", "//@z/preceding::c"},
      {"//@z/following::node()", "//@z/following::node()"},
      {"//@z/following-sibling::*", "//@z/following-sibling::node()"},
      {"//@k/following::*", "//@k/following::node()"},
      {"//@k/preceding::node()", "//@k/preceding::node()"},
      {"//@z/parent::*", "//@z/parent::*"},
  };
  const char* counts[] = {
      "count(//@lat/following::node())",   "count(//@z/preceding::node())", "count(//@lat/ancestor::*)",
      "count(//@lat/following::b/@k)",     "count(//@k/following::d)",      "count(//@z/parent::d)",
      "count(//@lon/preceding-sibling::*)",
  };
  RunOnSmallStack([&] {
    TXpObjModel model;
    ASSERT_TRUE(model.LoadMemory(xml.data(), static_cast<int>(xml.size())));
    TXpDocument* doc = model.Document();
    for (const Query& query : nodeSets)
      EXPECT_EQ(OurNodes(doc, query.ours), SortedLines(Xmllint(path, query.theirs))) << query.ours;
    for (const char* query : counts)
      EXPECT_EQ(doc->SelectNumber(XpUtf8ToWide(query)), std::stod(Xmllint(path, query))) << query;

    TXpElement* a = static_cast<TXpElement*>(doc->DocumentElement()->FirstChild());
    TXpElement* d = static_cast<TXpElement*>(doc->DocumentElement()->LastChild());
    TXpNode* lat = a->GetAttributeNode(u"lat");
    TXpNode* z = d->GetAttributeNode(u"z");
    for (TXpNode* attribute : {lat, z}) {
      EXPECT_EQ(attribute->NextSibling(), nullptr);
      EXPECT_EQ(attribute->PreviousSibling(), nullptr);
      EXPECT_EQ(attribute->IndexInParent(), -1);
      EXPECT_EQ(U8(attribute->LevelCode()), "");  // no place in a child list
      EXPECT_FALSE(attribute->IsAfter(a));
      EXPECT_FALSE(a->IsAfter(attribute));
      EXPECT_EQ(attribute->PreviousInDocument(), attribute->ParentNode());
    }
    EXPECT_EQ(lat->NextInDocument()->NodeType(), COMMENT_NODE);
    EXPECT_EQ(z->NextInDocument(), nullptr);
    EXPECT_EQ(U8(lat->LocationPath()), "//r[1]/a[1]/@lat");
    EXPECT_EQ(U8(z->LocationPath()), "//r[1]/d[6]/@z");
    EXPECT_EQ(lat->SelectNodes(u"following-sibling::node()")->Length(), 0);
    EXPECT_EQ(U8(lat->SelectString(u"following::b[1]/@k")), "v");
  });
}

TEST(HostileTree, AFragmentIsNeverReplacedInBelowItself) {
  RunOnSmallStack([] {
    TXpRef<TXpDocument> doc = TXpDocument::Create();
    TXpRef<TXpDocumentFragment> fragment = doc->CreateDocumentFragment();
    TXpRef<TXpElement> e = doc->CreateElement(u"e");
    fragment->AppendChild(e);
    TXpElement* x = e->CreateChildElement(u"x");
    TXpElement* y = x->CreateChildElement(u"y");
    TXpText* t = y->CreateChildText(u"t");
    struct Case {
      const char* what;
      TXpNode* parent;
      TXpNode* oldChild;
    };
    const Case cases[] = {
        {"its own child", fragment, e},
        {"its child's child", e, x},
        {"deeper down", y, t},
    };
    for (const Case& test : cases) {
      EXPECT_EQ(DomCode([&] { test.parent->ReplaceChild(fragment, test.oldChild); }), ecHierarchyRequestErr)
          << test.what;
      EXPECT_EQ(test.oldChild->ParentNode(), test.parent) << test.what;
      EXPECT_EQ(fragment->ParentNode(), nullptr) << test.what;
    }
    EXPECT_EQ(U8(fragment->Text()), "t");
    EXPECT_EQ(fragment->RefCount(), 1);

    // Elsewhere a fragment takes the old child's place itself, unexpanded.
    TXpRef<TXpElement> root = doc->CreateElement(u"root");
    doc->AppendChild(root);
    TXpElement* old = root->CreateChildElement(u"old");
    TXpRef<TXpNode> replaced = root->ReplaceChild(fragment, old);
    EXPECT_EQ(replaced.get(), old);
    EXPECT_EQ(root->FirstChild(), fragment.get());
    EXPECT_EQ(fragment->ParentNode(), root.get());
  });
}

TEST(HostileTree, NodesKeptPastTheirDocumentStayUsableAndAreFreedWithTheLastHolder) {
  RunOnSmallStack([] {
    TXpRef<TXpDocument> doc = TXpDocument::Create();
    doc->SetIgnoreCase(true);
    TXpRef<TXpElement> gpx = doc->CreateElement(u"gpx");
    doc->AppendChild(gpx);
    TXpElement* trkseg = gpx->CreateChildElement(u"trkseg");
    for (const char16_t* lat : {u"47.1", u"47.2"}) trkseg->CreateChildElement(u"trkpt")->SetAttribute(u"lat", lat);
    trkseg->CreateChildText(u"note");
    TXpRef<TXpElement> neverInserted = doc->CreateElement(u"loose");
    TXpRef<TXpNode> keptElement = TXpRef<TXpNode>::Share(trkseg);
    std::unique_ptr<TXpNodeList> points = doc->SelectNodes(u"//trkpt");
    std::unique_ptr<TXpNodeList> latitudes = doc->SelectNodes(u"//@lat");
    ASSERT_EQ(points->Length(), 2);
    ASSERT_EQ(latitudes->Length(), 2);

    gpx.Reset();
    doc.Reset();  // the caller's last reference: the tree goes

    TXpNode* survivors[] = {keptElement, points->Item(1), latitudes->Item(0), neverInserted};
    for (TXpNode* survivor : survivors) {
      const std::string what = U8(survivor->NodeName());
      TXpDocument* owner = survivor->OwnerDocument();
      ASSERT_NE(owner, nullptr) << what;
      EXPECT_EQ(owner->DocumentElement(), nullptr) << what;
      WideString upper = survivor->NodeName();
      for (char16_t& unit : upper) unit = XpAsciiUpper(unit);
      EXPECT_TRUE(survivor->NameMatches(upper)) << what;  // the document's settings are still read
      EXPECT_EQ(DomCode([&] { owner->AppendChild(owner->CreateComment(u"late")); }), ecNoModificationAllowedErr)
          << what;
      EXPECT_FALSE(owner->HasChildNodes()) << what;
      TXpRef<TXpNode> copy = survivor->CloneNode(true);
      EXPECT_EQ(copy->OwnerDocument(), owner) << what;
      EXPECT_EQ(copy->XmlDocument(), survivor->XmlDocument()) << what;
      EXPECT_EQ(survivor->SelectNodes(u"/")->Item(0), owner) << what;
    }
    EXPECT_EQ(keptElement->ParentNode(), nullptr);
    EXPECT_EQ(points->Item(1)->ParentNode(), keptElement.get());  // the kept subtree holds together
    EXPECT_EQ(U8(points->Item(0)->SelectString(u"@lat")), "47.1");
    EXPECT_EQ(keptElement->SelectNodes(u"trkpt[@lat > 47.15]")->Item(0), points->Item(1));
    EXPECT_EQ(U8(keptElement->Text()), "note");
    keptElement->SetNodeName(u"segment");  // names are kept by the surviving document
    static_cast<TXpElement*>(keptElement.get())->CreateChildElement(u"trkpt");
    EXPECT_EQ(keptElement->ChildNodes()->Length(), 4);
    EXPECT_EQ(U8(keptElement->LocationPath()), "segment");

    // A caller that takes a reference of its own may fill the document again.
    TXpRef<TXpDocument> revived = TXpRef<TXpDocument>::Share(neverInserted->OwnerDocument());
    revived->AppendChild(neverInserted);
    EXPECT_EQ(revived->DocumentElement(), neverInserted.get());
    EXPECT_EQ(revived->SelectNodes(u"//loose")->Length(), 1);
    // Everything goes with its last holder; LeakSanitizer checks that it does.
  });
}

TEST(HostileTree, RemovalsThroughTheContainersClearTheParent) {
  struct Case {
    const char* what;
    bool attribute;
    std::function<void(TXpElement* holder, TXpDocument* doc)> remove;
  };
  const Case cases[] = {
      {"ChildNodes Delete", false, [](TXpElement* e, TXpDocument*) { e->ChildNodes()->Delete(0); }},
      {"ChildNodes Replace", false,
       [](TXpElement* e, TXpDocument* doc) { e->ChildNodes()->Replace(0, doc->CreateComment(u"c")); }},
      {"ChildNodes Empty", false, [](TXpElement* e, TXpDocument*) { e->ChildNodes()->Empty(); }},
      {"Attributes RemoveNamedItem", true, [](TXpElement* e, TXpDocument*) { e->Attributes()->RemoveNamedItem(u"k"); }},
      {"Attributes RemoveNamedItemNS", true,
       [](TXpElement* e, TXpDocument*) { e->Attributes()->RemoveNamedItemNS(u"urn:k", u"k"); }},
      {"Attributes Delete", true, [](TXpElement* e, TXpDocument*) { e->Attributes()->Delete(0); }},
      {"Attributes Replace", true,
       [](TXpElement* e, TXpDocument* doc) { e->Attributes()->Replace(0, doc->CreateAttribute(u"m")); }},
      {"Attributes SetNamedItem", true,
       [](TXpElement* e, TXpDocument* doc) { e->Attributes()->SetNamedItem(doc->CreateAttribute(u"k")); }},
      {"Attributes Empty", true, [](TXpElement* e, TXpDocument*) { e->Attributes()->Empty(); }},
  };
  RunOnSmallStack([&] {
    for (const Case& test : cases) {
      TXpRef<TXpDocument> doc = TXpDocument::Create();
      TXpRef<TXpElement> holder = doc->CreateElement(u"holder");
      holder->SetAttributeNS(u"urn:k", u"k", u"v");
      TXpRef<TXpNode> kept = test.attribute ? TXpRef<TXpNode>::Share(holder->GetAttributeNode(u"k"))
                                            : TXpRef<TXpNode>::Share(holder->CreateChildElement(u"child"));
      test.remove(holder, doc);
      EXPECT_EQ(kept->ParentNode(), nullptr) << test.what;
      EXPECT_EQ(kept->NextSibling(), nullptr) << test.what;
      holder.Reset();  // the former parent dies; nothing may still lead to it
      EXPECT_EQ(kept->ParentNode(), nullptr) << test.what;
      EXPECT_EQ(kept->PreviousSibling(), nullptr) << test.what;
      EXPECT_EQ(U8(kept->LevelCode()), "") << test.what;
      EXPECT_EQ(kept->LocationPath(), kept->NodeName()) << test.what;
      EXPECT_EQ(kept->RefCount(), 1) << test.what;
    }
  });
}

TEST(HostileTree, AnAttributeHasOnePlaceAndCannotBeSetWhereItIsInUse) {
  RunOnSmallStack([] {
    TXpRef<TXpDocument> doc = TXpDocument::Create();
    TXpRef<TXpElement> first = doc->CreateElement(u"first");
    TXpRef<TXpElement> second = doc->CreateElement(u"second");
    TXpRef<TXpElement> third = doc->CreateElement(u"third");
    first->CreateChildText(u"t");
    TXpRef<TXpAttribute> lat = doc->CreateAttribute(u"lat");
    first->SetAttributeNode(lat);
    EXPECT_EQ(DomCode([&] { third->SetAttributeNode(lat); }), ecInuseAttributeErr);

    // Appending it elsewhere moves it, as it moves any node: out of the map.
    second->AppendChild(lat);
    EXPECT_FALSE(first->HasAttribute(u"lat"));
    EXPECT_EQ(lat->ParentNode(), second.get());
    EXPECT_EQ(lat->RefCount(), 2);  // the caller's and second's child list

    for (TXpElement* element : {first.get(), second.get(), third.get()}) {
      EXPECT_EQ(DomCode([&] { element->SetAttributeNode(lat); }), ecInuseAttributeErr) << U8(element->NodeName());
      EXPECT_EQ(DomCode([&] { element->SetAttributeNodeNS(lat); }), ecInuseAttributeErr) << U8(element->NodeName());
      EXPECT_FALSE(element->HasAttribute(u"lat")) << U8(element->NodeName());
    }
    EXPECT_EQ(lat->ParentNode(), second.get());
    EXPECT_EQ(lat->RefCount(), 2);

    TXpRef<TXpNode> back = second->RemoveChild(lat);
    back.Reset();
    EXPECT_EQ(third->SetAttributeNode(lat).get(), nullptr);  // free again
    EXPECT_EQ(lat->OwnerElement(), third.get());
    EXPECT_EQ(third->SetAttributeNode(lat).get(), lat.get());  // set again where it is: allowed
    EXPECT_EQ(lat->RefCount(), 2);
  });
}

}  // namespace
