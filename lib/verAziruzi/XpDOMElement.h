#pragma once

// Elements and attributes: an element owns its attributes and its namespace
// declarations in two named node maps and offers the searches over its subtree.

#include <vector>

#include "lib/verAziruzi/XpDOMNode.h"

class TXpText;
class TXpCDataSection;

class TXpAttribute : public TXpNode {
public:
  static TXpRef<TXpAttribute> Create() { return TXpRef<TXpAttribute>::Adopt(new TXpAttribute()); }

  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  const WideString& Value() const { return NodeValue(); }
  void SetValue(WideString value) { SetNodeValue(std::move(value)); }
  bool Specified() const { return Flag(kSpecified); }
  void SetSpecified(bool value) { SetFlag(kSpecified, value); }
  // The element that holds the attribute; null when none does.
  TXpNode* OwnerElement() const { return ParentNode(); }

  WideString StringValue() const override { return NodeValue(); }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  friend class TXpElement;
  TXpAttribute() : TXpNode(ATTRIBUTE_NODE) { SetFlag(kSpecified, true); }
  // Only an element that holds the attribute in its map names itself here.
  void SetOwnerElement(TXpNode* element);
};

class TXpElement : public TXpNode {
public:
  static TXpRef<TXpElement> Create() { return TXpRef<TXpElement>::Adopt(new TXpElement()); }

  const WideString& TagName() const { return NodeName(); }
  void SetTagName(const WideString& name) { SetNodeName(name); }
  bool FullEndTag() const { return Flag(kFullEndTag); }
  void SetFullEndTag(bool value) { SetFlag(kFullEndTag, value); }
  bool IgnoreEndTag() const { return Flag(kIgnoreEndTag); }
  void SetIgnoreEndTag(bool value) { SetFlag(kIgnoreEndTag, value); }

  // --- Attributes (names compared by NameMatches)
  WideString GetAttribute(const WideString& name) const;
  // 0 when missing or empty; EXpException 65150 when not a whole number.
  int GetAttributeInt(const WideString& name) const;
  TXpAttribute* GetAttributeNode(const WideString& name) const;
  bool HasAttribute(const WideString& name) const;
  void SetAttribute(const WideString& name, const WideString& value);
  // Answers the attribute replaced. An attribute that has its place elsewhere
  // (another element's map, or a child list) raises ecInuseAttributeErr.
  TXpRef<TXpAttribute> SetAttributeNode(TXpAttribute* newAttr);
  // SetAttributeNode for each in order, without a search for every one: a start
  // tag may carry any number of attributes.
  void SetAttributeNodes(const std::vector<TXpRef<TXpAttribute>>& attributes);
  void RemoveAttribute(const WideString& name);
  // By name, not identity; null without an attribute map.
  TXpRef<TXpAttribute> RemoveAttributeNode(const TXpAttribute* oldAttr);
  WideString GetAttributeNS(const WideString& namespaceURI, const WideString& localName) const;
  TXpRef<TXpAttribute> GetAttributeNodeNS(const WideString& namespaceURI, const WideString& localName) const;
  // The second argument is the qualified name.
  void SetAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName, const WideString& value);
  TXpRef<TXpAttribute> SetAttributeNodeNS(TXpAttribute* newAttr);
  void RemoveAttributeNS(const WideString& namespaceURI, const WideString& localName);

  // --- Children; the answered node is owned by the tree.
  TXpElement* CreateChildElement(const WideString& name);
  TXpText* CreateChildText(const WideString& text);
  TXpCDataSection* CreateChildCDataSection(const WideString& text);

  // --- Searches below the element, in document order; the lists are the caller's.
  TXpElement* FindElement(const WideString& name) const;
  std::unique_ptr<TXpNodeList> GetChildElementsByTagName(const WideString& name) const;
  std::unique_ptr<TXpNodeList> GetElementsByTagName(const WideString& name) const;
  std::unique_ptr<TXpNodeList> GetElementsByTagNameNS(const WideString& namespaceURI,
                                                      const WideString& localName) const;
  std::unique_ptr<TXpNodeList> GetElementsByTagNameWithAttribute(const WideString& name, const WideString& attribute,
                                                                 const WideString& value) const;
  std::unique_ptr<TXpNodeList> GetElementsWithIDs(const WideString& attribute, const WideString& ids) const;
  // Drops whitespace-only text children unless "xml:space" says "preserve".
  void StripWhitespaceNodes(bool deep);
  // The element's own text and CDATA children, one space between them.
  WideString ElementText() const;

  WideString BaseURI() const override;
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

protected:
  TXpElement() : TXpNode(ELEMENT_NODE) {}

private:
  void PutAttribute(TXpAttribute* attribute);
  void NoteNamespaceAttribute(const TXpAttribute* attribute);
  void CheckNotInUse(const TXpAttribute* attribute) const;
  static void ClearOwnerElement(TXpNode* attribute, const TXpNode* element);
};

// The whole-number reading of the library: optional leading blanks, an optional
// sign, then decimal digits, or hexadecimal ones after '$', "x" or "0x", and
// nothing after; the value must fit 32 bits. False for anything else.
bool XpReadWholeNumber(std::u16string_view text, int& value);
