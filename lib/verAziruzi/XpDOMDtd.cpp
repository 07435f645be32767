#include "lib/verAziruzi/XpDOMDtd.h"

#include "lib/verAziruzi/XpDOMDocument.h"

namespace {

void CheckDeclaredName(const WideString& name) {
  if (name.empty()) XpRaiseDOM(ecInvalidNameErr);
}

// A new declaration node of class T in the owner document of `maker`.
template <class T>
TXpRef<T> MakeDeclaration(const TXpNode* maker, const WideString& name) {
  TXpRef<T> node = T::Create();
  node->SetOwnerDocument(maker->OwnerDocument());
  node->SetNodeName(name);
  return node;
}

}  // namespace

// ---------------------------------------------------------------------------
// TXpDocumentType

void TXpDocumentType::SetExternalDTD(TXpDocumentType* dtd) { fExternalDTD = TXpRef<TXpDocumentType>::Share(dtd); }

TXpRef<TXpDTDElement> TXpDocumentType::CreateDTDElement(const WideString& name, int contentType) {
  CheckDeclaredName(name);
  if (contentType < 0 || contentType > 4) XpRaiseDOM(ecInvalidParamErr);
  TXpRef<TXpDTDElement> element = MakeDeclaration<TXpDTDElement>(this, name);
  element->SetContentType(contentType);
  return element;
}

TXpRef<TXpDTDAttlist> TXpDocumentType::CreateDTDAttlist(const WideString& name) {
  CheckDeclaredName(name);
  return MakeDeclaration<TXpDTDAttlist>(this, name);
}

TXpRef<TXpDTDEntity> TXpDocumentType::CreateDTDEntity(const WideString& name) {
  CheckDeclaredName(name);
  return MakeDeclaration<TXpDTDEntity>(this, name);
}

TXpRef<TXpDTDNotation> TXpDocumentType::CreateDTDNotation(const WideString& name) {
  CheckDeclaredName(name);
  return MakeDeclaration<TXpDTDNotation>(this, name);
}

TXpRef<TXpDTDConditional> TXpDocumentType::CreateDTDConditional(int condType) {
  TXpRef<TXpDTDConditional> section = MakeDeclaration<TXpDTDConditional>(this, {});
  section->SetCondType(condType);
  return section;
}

std::unique_ptr<TXpNodeList> TXpDocumentType::GetDescendantsByType(int type, const WideString& name) const {
  std::unique_ptr<TXpNodeList> list = TXpNode::GetDescendantsByType(type, name);
  if (fExternalDTD) GatherDescendants(*list, fExternalDTD->FirstChild(), type, name);
  return list;
}

void TXpDocumentType::CopyTypeFieldsTo(TXpDocumentType& copy, bool deep) const {
  CopyCommonTo(copy);
  copy.SetFlag(kExternalDTD, IsExternalDTD());
  copy.fPublicID = fPublicID;
  copy.fSystemID = fSystemID;
  if (deep && fExternalDTD) copy.fExternalDTD = TXpRef<TXpDocumentType>::Downcast(fExternalDTD->CloneNode(true));
}

TXpRef<TXpNode> TXpDocumentType::CloneSelf(bool deep) const {
  TXpRef<TXpDocumentType> copy = Create(false);
  CopyTypeFieldsTo(*copy, deep);
  return copy;
}

TXpRef<TXpNode> TXpDTDConditional::CloneSelf(bool deep) const {
  TXpRef<TXpDTDConditional> copy = Create();
  CopyTypeFieldsTo(*copy, deep);
  copy->fCondType = fCondType;
  return copy;
}

// ---------------------------------------------------------------------------
// Element declarations and content models

void TXpDTDElement::SetContentType(int type) {
  if (type < 0 || type > 4) XpRaiseDOM(ecInvalidParamErr);
  fContentType = type;
}

TXpRef<TXpDTDElementGroup> TXpDTDElement::CreateDTDElementGroup() {
  return MakeDeclaration<TXpDTDElementGroup>(this, {});
}

TXpRef<TXpNode> TXpDTDElement::CloneSelf(bool) const {
  TXpRef<TXpDTDElement> copy = CloneCommon<TXpDTDElement>();
  copy->fContentType = fContentType;
  return copy;
}

TXpRef<TXpDTDElementGroup> TXpDTDElementGroup::CreateDTDElementGroup() {
  return MakeDeclaration<TXpDTDElementGroup>(this, {});
}

TXpRef<TXpDTDElementContent> TXpDTDElementGroup::CreateDTDElementContent(const WideString& name, int occurs,
                                                                         int relation) {
  TXpRef<TXpDTDElementContent> leaf = MakeDeclaration<TXpDTDElementContent>(this, name);
  leaf->SetOccurs(occurs);
  leaf->SetRelation(relation);
  return leaf;
}

TXpRef<TXpNode> TXpDTDElementGroup::CloneSelf(bool) const {
  TXpRef<TXpDTDElementGroup> copy = CloneCommon<TXpDTDElementGroup>();
  CopyParticleTo(*copy);
  return copy;
}

TXpRef<TXpNode> TXpDTDElementContent::CloneSelf(bool) const {
  TXpRef<TXpDTDElementContent> copy = CloneCommon<TXpDTDElementContent>();
  CopyParticleTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------
// Attribute lists

TXpRef<TXpDTDAttDefinition> TXpDTDAttlist::CreateDTDAttDefinition(const WideString& name, int attType,
                                                                  const std::vector<WideString>* enumeration,
                                                                  int defaultType, const WideString& defaultValue) {
  CheckDeclaredName(name);
  TXpRef<TXpDTDAttDefinition> definition = MakeDeclaration<TXpDTDAttDefinition>(this, name);
  definition->SetAttType(attType);
  definition->SetEnumeration(enumeration);
  definition->SetDefaultType(defaultType);
  definition->SetDefaultValue(defaultValue);
  // id() searches the attribute declared of type ID, not whichever came last.
  if (attType == 2 && OwnerDocument()) OwnerDocument()->SetIdAttribute(name);
  return definition;
}

TXpRef<TXpNode> TXpDTDAttlist::CloneSelf(bool) const { return CloneCommon<TXpDTDAttlist>(); }

void TXpDTDAttDefinition::SetEnumeration(const std::vector<WideString>* names) {
  if (names)
    fEnumeration = std::make_unique<std::vector<WideString>>(*names);
  else
    fEnumeration.reset();
}

TXpRef<TXpNode> TXpDTDAttDefinition::CloneSelf(bool) const {
  TXpRef<TXpDTDAttDefinition> copy = CloneCommon<TXpDTDAttDefinition>();
  copy->fAttType = fAttType;
  copy->fDefaultType = fDefaultType;
  // A definition without an enumeration clones to one with an empty list.
  if (fEnumeration) *copy->fEnumeration = *fEnumeration;
  return copy;
}

// ---------------------------------------------------------------------------
// Entities and notations

TXpRef<TXpNode> TXpDTDEntity::CloneSelf(bool) const {
  TXpRef<TXpDTDEntity> copy = CloneCommon<TXpDTDEntity>();
  copy->SetIsPE(IsPE());
  copy->fNotationName = fNotationName;
  copy->fPublicID = fPublicID;
  copy->fSystemID = fSystemID;
  return copy;
}

TXpRef<TXpNode> TXpDTDNotation::CloneSelf(bool) const {
  TXpRef<TXpDTDNotation> copy = CloneCommon<TXpDTDNotation>();
  copy->fPublicID = fPublicID;
  copy->fSystemID = fSystemID;
  return copy;
}
