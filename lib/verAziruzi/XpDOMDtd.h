#pragma once

// The document type and its declarations, held as nodes of the document's own
// tree so that a document can be written back with its DTD.

#include <vector>

#include "lib/verAziruzi/XpDOMNode.h"

class TXpDTDElement;
class TXpDTDElementGroup;
class TXpDTDElementContent;
class TXpDTDAttlist;
class TXpDTDAttDefinition;
class TXpDTDEntity;
class TXpDTDNotation;
class TXpDTDConditional;

// The internal subset as children, the external subset as a document type of
// its own. A conditional section is one too (NodeType 57).
class TXpDocumentType : public TXpNode {
public:
  static TXpRef<TXpDocumentType> Create(bool isExternal) {
    auto type = TXpRef<TXpDocumentType>::Adopt(new TXpDocumentType(DOCUMENT_TYPE_NODE));
    type->SetFlag(kExternalDTD, isExternal);
    return type;
  }

  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  TXpDocumentType* ExternalDTD() const { return fExternalDTD.get(); }
  // Takes a reference of its own; the old subset is released.
  void SetExternalDTD(TXpDocumentType* dtd);
  bool IsExternalDTD() const { return Flag(kExternalDTD); }
  const WideString& PublicID() const { return fPublicID; }
  void SetPublicID(const WideString& id) { fPublicID = id; }
  const WideString& SystemID() const { return fSystemID; }
  void SetSystemID(const WideString& id) { fSystemID = id; }

  // Factories: nodes of this node's owner document with the creator's reference.
  TXpRef<TXpDTDElement> CreateDTDElement(const WideString& name, int contentType);
  TXpRef<TXpDTDAttlist> CreateDTDAttlist(const WideString& name);
  TXpRef<TXpDTDEntity> CreateDTDEntity(const WideString& name);
  TXpRef<TXpDTDNotation> CreateDTDNotation(const WideString& name);
  TXpRef<TXpDTDConditional> CreateDTDConditional(int condType);

  // Its own children's matches, then the external subset's.
  std::unique_ptr<TXpNodeList> GetDescendantsByType(int type, const WideString& name) const override;
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

protected:
  explicit TXpDocumentType(int nodeType) : TXpNode(nodeType) {}
  // The fields a conditional section shares with a document type.
  void CopyTypeFieldsTo(TXpDocumentType& copy, bool deep) const;

private:
  TXpRef<TXpDocumentType> fExternalDTD;
  WideString fPublicID;
  WideString fSystemID;
};

class TXpDTDConditional : public TXpDocumentType {
public:
  static TXpRef<TXpDTDConditional> Create() { return TXpRef<TXpDTDConditional>::Adopt(new TXpDTDConditional()); }
  // 0 for INCLUDE, anything else for IGNORE.
  int CondType() const { return fCondType; }
  void SetCondType(int type) { fCondType = type; }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDConditional() : TXpDocumentType(DTD_CONDITIONAL_NODE) {}
  int fCondType = 0;
};

class TXpDTDElement : public TXpNode {
public:
  static TXpRef<TXpDTDElement> Create() { return TXpRef<TXpDTDElement>::Adopt(new TXpDTDElement()); }
  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  // 0 none, 1 ANY, 2 EMPTY, 3 mixed, 4 element content; else ecInvalidParamErr.
  int ContentType() const { return fContentType; }
  void SetContentType(int type);
  TXpRef<TXpDTDElementGroup> CreateDTDElementGroup();
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDElement() : TXpNode(DTD_ELEMENT_NODE) {}
  int fContentType = 0;
};

// What the two parts of a content model share. Occurs: 0 once, 1 "?", 2 "*",
// 3 "+". Relation to the next particle: 0 "|", 1 ",".
class TXpDTDParticle : public TXpNode {
public:
  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  int Occurs() const { return fOccurs; }
  void SetOccurs(int occurs) { fOccurs = occurs; }
  int Relation() const { return fRelation; }
  void SetRelation(int relation) { fRelation = relation; }

protected:
  explicit TXpDTDParticle(int nodeType) : TXpNode(nodeType) {}
  void CopyParticleTo(TXpDTDParticle& copy) const {
    copy.fOccurs = fOccurs;
    copy.fRelation = fRelation;
  }

private:
  int fOccurs = 0;
  int fRelation = 0;
};

class TXpDTDElementGroup : public TXpDTDParticle {
public:
  static TXpRef<TXpDTDElementGroup> Create() {
    return TXpRef<TXpDTDElementGroup>::Adopt(new TXpDTDElementGroup());
  }
  TXpRef<TXpDTDElementGroup> CreateDTDElementGroup();
  TXpRef<TXpDTDElementContent> CreateDTDElementContent(const WideString& name, int occurs, int relation);
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDElementGroup() : TXpDTDParticle(DTD_ELEMENT_GROUP_NODE) {}
};

// A leaf naming an element type, or "#PCDATA" in a mixed model.
class TXpDTDElementContent : public TXpDTDParticle {
public:
  static TXpRef<TXpDTDElementContent> Create() {
    return TXpRef<TXpDTDElementContent>::Adopt(new TXpDTDElementContent());
  }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDElementContent() : TXpDTDParticle(DTD_ELEMENT_CONTENT_NODE) {}
};

class TXpDTDAttlist : public TXpNode {
public:
  static TXpRef<TXpDTDAttlist> Create() { return TXpRef<TXpDTDAttlist>::Adopt(new TXpDTDAttlist()); }
  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  // A null enumeration leaves the definition without one.
  TXpRef<TXpDTDAttDefinition> CreateDTDAttDefinition(const WideString& name, int attType,
                                                     const std::vector<WideString>* enumeration, int defaultType,
                                                     const WideString& defaultValue);
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDAttlist() : TXpNode(DTD_ATTLIST_NODE) {}
};

// AttType: 0 none, 1 CDATA, 2 ID, 3 IDREF, 4 IDREFS, 5 ENTITY, 6 ENTITIES,
// 7 NMTOKEN, 8 NMTOKENS, 9 enumeration, 10 NOTATION. DefaultType: 1 a value
// only, 2 #IMPLIED, 3 #REQUIRED, 4 #FIXED.
class TXpDTDAttDefinition : public TXpNode {
public:
  static TXpRef<TXpDTDAttDefinition> Create() {
    return TXpRef<TXpDTDAttDefinition>::Adopt(new TXpDTDAttDefinition());
  }
  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  int AttType() const { return fAttType; }
  void SetAttType(int type) { fAttType = type; }
  int DefaultType() const { return fDefaultType; }
  void SetDefaultType(int type) { fDefaultType = type; }
  const WideString& DefaultValue() const { return NodeValue(); }
  void SetDefaultValue(const WideString& value) { SetNodeValue(value); }
  // Null when the definition was made without one.
  const std::vector<WideString>* Enumeration() const { return fEnumeration.get(); }
  void SetEnumeration(const std::vector<WideString>* names);
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDAttDefinition() : TXpNode(DTD_ATT_DEFINITION_NODE), fEnumeration(std::make_unique<std::vector<WideString>>()) {}
  int fAttType = 0;
  int fDefaultType = 0;
  std::unique_ptr<std::vector<WideString>> fEnumeration;
};

class TXpDTDEntity : public TXpNode {
public:
  static TXpRef<TXpDTDEntity> Create() { return TXpRef<TXpDTDEntity>::Adopt(new TXpDTDEntity()); }
  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  bool IsPE() const { return Flag(kIsPE); }
  void SetIsPE(bool value) { SetFlag(kIsPE, value); }
  const WideString& NotationName() const { return fNotationName; }
  void SetNotationName(const WideString& name) { fNotationName = name; }
  const WideString& PublicID() const { return fPublicID; }
  void SetPublicID(const WideString& id) { fPublicID = id; }
  const WideString& SystemID() const { return fSystemID; }
  void SetSystemID(const WideString& id) { fSystemID = id; }
  const WideString& Value() const { return NodeValue(); }
  void SetValue(const WideString& value) { SetNodeValue(value); }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDEntity() : TXpNode(DTD_ENTITY_NODE) {}
  WideString fNotationName;
  WideString fPublicID;
  WideString fSystemID;
};

class TXpDTDNotation : public TXpNode {
public:
  static TXpRef<TXpDTDNotation> Create() { return TXpRef<TXpDTDNotation>::Adopt(new TXpDTDNotation()); }
  const WideString& Name() const { return NodeName(); }
  void SetName(const WideString& name) { SetNodeName(name); }
  const WideString& PublicID() const { return fPublicID; }
  void SetPublicID(const WideString& id) { fPublicID = id; }
  const WideString& SystemID() const { return fSystemID; }
  void SetSystemID(const WideString& id) { fSystemID = id; }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

private:
  TXpDTDNotation() : TXpNode(DTD_NOTATION_NODE) {}
  WideString fPublicID;
  WideString fSystemID;
};
