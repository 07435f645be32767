#pragma once

// Extension markup that the GPX reader keeps for the writer: written into
// another document, a piece must still mean what it meant in its own.

#include <string_view>

#include "lib/verAziruzi/XpBase.h"

class TXpNode;

// The namespace a kept element's prefix is declared with when its own file
// never declared it: the prefix follows, percent-encoded where it is no plain
// ASCII letter, digit, '-', '.' or '_'.
inline constexpr std::u16string_view kUndeclaredPrefixNamespace = u"urn:shoalwright:undeclared-prefix:";

// The markup of a node as the reader keeps it. An element declares on itself
// every namespace prefix that it and its subtree use but take from outside it
// (from the gpx root, say), with the URI in scope there, or with the
// placeholder above for a prefix declared nowhere, and the default namespace
// it takes from outside when that is another program's, not GPX's. A subtree
// whose names no declaration can make namespace-well-formed ("a:b:c", an
// "xmlns:" element) is kept as escaped text instead, so no content is lost
// and the file the writer makes stays readable for namespace-aware readers.
WideString GPXKeptMarkup(const TXpNode* node);

// GPXKeptMarkup of each child of parent, joined.
WideString GPXKeptChildrenMarkup(const TXpNode* parent);

// The markup of element itself with each of its children kept as
// GPXKeptMarkup keeps them; the element's own start tag stays as it is.
WideString GPXKeptElementWithChildren(const TXpNode* element);
