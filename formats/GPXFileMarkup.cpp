#include "formats/GPXFileMarkup.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "lib/verAziruzi/XpDOMCharData.h"
#include "lib/verAziruzi/XpDOMElement.h"
#include "lib/verAziruzi/XpDOMNodeList.h"
#include "lib/verAziruzi/XpDOMWriter.h"

namespace {

constexpr std::u16string_view kXmlnsColon = u"xmlns:";

// What a kept element needs before it can stand in another document.
struct TOutsidePrefixes {
  std::vector<std::pair<WideString, WideString>> declarations;  // prefix (empty: the default), URI
  bool namespaceWellFormed = true;
};

bool IsQualifiedName(std::u16string_view name) {
  const std::size_t colon = name.find(u':');
  if (colon == std::u16string_view::npos) return true;
  return colon > 0 && colon + 1 < name.size() && name.find(u':', colon + 1) == std::u16string_view::npos;
}

std::u16string_view PrefixOf(std::u16string_view name) {
  const std::size_t colon = name.find(u':');
  return colon == std::u16string_view::npos ? std::u16string_view() : name.substr(0, colon);
}

// GPX 1.1, the writer's own, and GPX 1.0, whose elements the reader takes as
// GPX 1.1's.
bool IsGPXNamespace(std::u16string_view uri) {
  return uri == u"http://www.topografix.com/GPX/1/1" || uri == u"http://www.topografix.com/GPX/1/0";
}

WideString PlaceholderNamespace(std::u16string_view prefix) {
  WideString uri(kUndeclaredPrefixNamespace);
  for (const char8_t byte : XpWideToUtf8(WideString(prefix))) {
    const char c = static_cast<char>(byte);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_') {
      uri += static_cast<char16_t>(c);
    } else {
      constexpr char16_t kHex[] = u"0123456789ABCDEF";
      uri += u'%';
      uri += kHex[static_cast<unsigned char>(c) >> 4];
      uri += kHex[static_cast<unsigned char>(c) & 0xF];
    }
  }
  return uri;
}

// Walks element's subtree with an explicit stack (extension markup may nest
// as deep as a file likes), keeping the prefixes declared on the path so far.
TOutsidePrefixes FindOutsidePrefixes(const TXpNode* element) {
  TOutsidePrefixes found;
  std::vector<WideString> declared;  // on the path from element down
  // An unprefixed attribute is in no namespace; an unprefixed element is in the
  // default namespace, which the writer's file sets to GPX. A default taken
  // from outside is carried along only when it is another program's: under a
  // GPX root without one, or with GPX's own, the element stays where the
  // writer puts it.
  const auto use = [&](std::u16string_view name, bool isElement) {
    if (!IsQualifiedName(name)) {
      found.namespaceWellFormed = false;
      return;
    }
    const std::u16string_view prefix = PrefixOf(name);
    if ((prefix.empty() && !isElement) || prefix == u"xml") return;
    if (std::find(declared.begin(), declared.end(), prefix) != declared.end()) return;
    for (const auto& [known, uri] : found.declarations)
      if (known == prefix) return;
    const TXpNode* outside = element->ParentNode();
    WideString uri = outside ? outside->ResolveNSPrefix(WideString(prefix)) : WideString();
    if (prefix.empty()) {
      if (uri.empty() || IsGPXNamespace(uri)) return;
    } else if (uri.empty()) {
      uri = PlaceholderNamespace(prefix);
    }
    found.declarations.emplace_back(WideString(prefix), std::move(uri));
  };

  struct Level {
    const TXpNode* node;
    std::size_t nextChild;
    std::size_t declaredBefore;
  };
  std::vector<Level> stack;
  const auto enter = [&](const TXpNode* node) {
    const std::size_t before = declared.size();
    const TXpNamedNodeMap* attributes = node->Attributes();
    if (attributes)
      for (const TXpNode* attribute : attributes->Nodes()) {
        const std::u16string_view name = attribute->NodeName();
        if (name == u"xmlns") {
          declared.emplace_back();
          continue;
        }
        if (name.substr(0, kXmlnsColon.size()) != kXmlnsColon) continue;
        // An empty URI undeclares a prefix only in XML 1.1.
        if (attribute->NodeValue().empty()) found.namespaceWellFormed = false;
        declared.emplace_back(name.substr(kXmlnsColon.size()));
      }
    if (PrefixOf(node->NodeName()) == u"xmlns") found.namespaceWellFormed = false;
    use(node->NodeName(), true);
    if (attributes)
      for (const TXpNode* attribute : attributes->Nodes()) {
        const std::u16string_view name = attribute->NodeName();
        if (name == u"xmlns" || PrefixOf(name) == u"xmlns") continue;
        use(name, false);
      }
    stack.push_back({node, 0, before});
  };

  enter(element);
  while (!stack.empty() && found.namespaceWellFormed) {
    Level& top = stack.back();
    const TXpNodeVector& children = top.node->ChildNodes()->Nodes();
    if (top.nextChild >= children.size()) {
      declared.resize(top.declaredBefore);
      stack.pop_back();
      continue;
    }
    const TXpNode* child = children[top.nextChild++];
    if (child->NodeType() == ELEMENT_NODE) enter(child);
  }
  return found;
}

// A node's markup as one text node of its document: what it says survives as
// character data.
TXpRef<TXpText> AsText(const TXpNode* node) {
  TXpRef<TXpText> text = TXpText::Create();
  text->SetNodeValue(XpWriteNode(node));
  text->SetOwnerDocument(node->OwnerDocument());
  return text;
}

// Declares on the copy of an element what FindOutsidePrefixes found.
void Declare(TXpNode* copy, const TOutsidePrefixes& outside) {
  auto* element = static_cast<TXpElement*>(copy);
  for (const auto& [prefix, uri] : outside.declarations)
    element->SetAttribute(prefix.empty() ? WideString(u"xmlns") : WideString(kXmlnsColon) + prefix, uri);
}

void AppendKept(const TXpNode* node, WideString& out) {
  if (node->NodeType() != ELEMENT_NODE) {
    XpAppendNode(node, out);
    return;
  }
  const TOutsidePrefixes outside = FindOutsidePrefixes(node);
  if (!outside.namespaceWellFormed) {
    XpAppendNode(AsText(node).get(), out);
    return;
  }
  if (outside.declarations.empty()) {
    XpAppendNode(node, out);
    return;
  }
  // The tree read stays as it was: the declarations go on a copy.
  const TXpRef<TXpNode> copy = node->CloneNode(true);
  Declare(copy.get(), outside);
  XpAppendNode(copy.get(), out);
}

}  // namespace

WideString GPXKeptMarkup(const TXpNode* node) {
  WideString out;
  AppendKept(node, out);
  return out;
}

WideString GPXKeptChildrenMarkup(const TXpNode* parent) {
  WideString out;
  for (const TXpNode* child : parent->ChildNodes()->Nodes()) AppendKept(child, out);
  return out;
}

WideString GPXKeptElementWithChildren(const TXpNode* element) {
  const TXpNodeVector& children = element->ChildNodes()->Nodes();
  std::vector<TOutsidePrefixes> outside(children.size());
  bool changed = false;
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (children[i]->NodeType() != ELEMENT_NODE) continue;
    outside[i] = FindOutsidePrefixes(children[i]);
    changed = changed || !outside[i].namespaceWellFormed || !outside[i].declarations.empty();
  }
  if (!changed) return XpWriteNode(element);
  const TXpRef<TXpNode> copy = element->CloneNode(true);
  // A child that cannot be copied would shift every later one.
  if (copy->ChildNodes()->Nodes().size() != children.size()) return XpWriteNode(element);
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (children[i]->NodeType() != ELEMENT_NODE) continue;
    TXpNode* child = copy->ChildNodes()->Nodes()[i];
    if (outside[i].namespaceWellFormed) {
      Declare(child, outside[i]);
      continue;
    }
    copy->ReplaceChild(AsText(children[i]).get(), child);
  }
  return XpWriteNode(copy.get());
}
