#pragma once

// The serialiser: a node and its subtree back as XML text, by the output
// settings of the node's owner document (a node without one is written as a new
// document would write it). The whole text is answered, NULs and all.
//
// Under the default settings a saved document reads back as it was: no text is
// added, nothing a reader would normalise is left raw. A comment or processing
// instruction made through the API whose value holds its own end ("--" or a
// final '-', "?>") is written with a space put in, so the output stays
// well-formed.

#include "lib/verAziruzi/XpDOMNode.h"

class TXpText;
class TXpCDataSection;
class TXpComment;

// The XmlDocument text of a node.
WideString XpWriteNode(const TXpNode* node);
// The same text appended to out, for a caller that joins many nodes.
void XpAppendNode(const TXpNode* node, WideString& out);
// The markup of parent's children as XpAppendNode writes each, as UTF-8
// appended to out, for the common subtrees of elements and plain text that need
// no escape, reference or line-break rule: answers false, out left as it was,
// for anything else (XpAppendNode writes that).
bool XpAppendPlainChildrenUtf8(const TXpNode* parent, std::string& out);

// The markup of parent's children at a level, appended to out; answers whether
// the last child was a text node. Settings and events come from top's document.
bool XpWriteChildren(const TXpNode* top, WideString& out, const TXpNode* parent, int level);
// Text with the escapes of text or of an attribute value; node decides whether
// to escape at all. Every unit comes back as itself when the output is read:
// a CR in text, and tab, LF and CR in a value, are written as references.
void XpWriteEscapedText(const TXpNode* node, WideString& out, std::u16string_view text, bool attribute);
// An entity's replacement text as a literal that gives it back: '&', '%', '"',
// '<', tab and line ends as character references, never as entity references.
void XpWriteEntityValue(const TXpNode* node, WideString& out, std::u16string_view text);
// A declared default as its literal: the default keeps its entity references
// as written, its other '&', '<', '"' and line ends become references.
void XpWriteAttributeDefault(const TXpNode* node, WideString& out, std::u16string_view text);
// CR LF and two spaces per level.
void XpWriteIndent(WideString& out, int level);
WideString XpAttDefinitionsText(const TXpNode* attlist);
WideString XpContentModelText(const TXpNode* node);

// The child forms of the three nodes that write themselves.
void XpWriteTextNode(const TXpText* node, WideString& out, int level);
void XpWriteCDataNode(const TXpCDataSection* node, WideString& out, int level);
void XpWriteCommentNode(const TXpComment* node, WideString& out, int level);
