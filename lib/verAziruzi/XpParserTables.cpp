// The declaration tables: entities in declaration order (the first declaration
// binds), elements with their attribute definitions, and notations, the last
// two by their names' simple case folding.

#include <unicode/uchar.h>

#include <algorithm>

#include "lib/verAziruzi/XpParser.h"

char16_t XpFoldUnit(char16_t unit) {
  if (unit >= 0x80 && !XpIsSurrogateUnit(unit)) return static_cast<char16_t>(u_foldCase(unit, U_FOLD_CASE_DEFAULT));
  if (unit >= u'A' && unit <= u'Z') return static_cast<char16_t>(unit + 32);
  return unit;
}

WideString XpFoldCase(const WideString& text) {
  WideString folded = text;
  for (char16_t& unit : folded) unit = XpFoldUnit(unit);
  return folded;
}

template <class TRecord>
int TXpFoldedTable<TRecord>::IndexOf(const WideString& name) const {
  if (fEntries.empty()) return -1;
  auto it = fIndex.find(XpFoldCase(name));
  return it == fIndex.end() ? -1 : it->second;
}

template <class TRecord>
int TXpFoldedTable<TRecord>::FindOrAdd(const WideString& name) {
  WideString folded = XpFoldCase(name);
  auto [it, added] = fIndex.try_emplace(folded, Count());
  if (added) fEntries.push_back(Entry{std::move(folded), name, std::make_unique<TRecord>()});
  return it->second;
}

template class TXpFoldedTable<TXpAttributeInfo>;
template class TXpFoldedTable<TXpElementInfo>;
template class TXpFoldedTable<TXpNotationInfo>;

void TXpElementInfo::SetAttribute(const WideString& sName, std::unique_ptr<TXpAttributeInfo> oAttrInfo) {
  fDefaultedKnown = false;
  if (!fAttributeList) fAttributeList = std::make_unique<TXpFoldedTable<TXpAttributeInfo>>();
  // XML binds an attribute by its first definition: later ones, and those whose
  // names differ only in letter case, are dropped.
  if (fAttributeList->IndexOf(sName) >= 0) return;
  int index = fAttributeList->FindOrAdd(sName);
  (*fAttributeList)[index].Record = std::move(oAttrInfo);
}

const std::vector<int>& TXpElementInfo::Defaulted() {
  if (!fDefaultedKnown) {
    fDefaulted.clear();
    for (int i = 0; fAttributeList && i < fAttributeList->Count(); ++i)
      if (!(*fAttributeList)[i].Record->Value.empty()) fDefaulted.push_back(i);
    std::sort(fDefaulted.begin(), fDefaulted.end(),
              [this](int a, int b) { return (*fAttributeList)[a].Folded < (*fAttributeList)[b].Folded; });
    fDefaultedKnown = true;
  }
  return fDefaulted;
}

// ---------------------------------------------------------------------------
// Entities

namespace {

// Up to this many entities (the predefined five and a few more) are found by a
// linear search; beyond, by the name indexes.
constexpr std::size_t kLinearEntities = 16;

template <class TField>
WideString EntityField(const std::vector<std::pair<WideString, TXpEntityInfo>>& table, int index, TField field) {
  return index < 0 ? WideString() : table[static_cast<std::size_t>(index)].second.*field;
}

}  // namespace

int TXpParser::FindEntity(const WideString& sName, bool bAnyKind) const {
  if (FEntityInfo.size() <= kLinearEntities) {
    for (std::size_t i = 0; i < FEntityInfo.size(); ++i)
      if (FEntityInfo[i].first == sName && (bAnyKind || !FEntityInfo[i].second.IsParameterEntity))
        return static_cast<int>(i);
    return -1;
  }
  const auto& index = bAnyKind ? fFirstEntity : fFirstGeneralEntity;
  auto it = index.find(sName);
  return it == index.end() ? -1 : it->second;
}

WideString TXpParser::GetEntityNotation(const WideString& sName) const {
  return EntityField(FEntityInfo, FindEntity(sName, false), &TXpEntityInfo::NotationName);
}

WideString TXpParser::GetEntityPublicId(const WideString& sName) const {
  return EntityField(FEntityInfo, FindEntity(sName, false), &TXpEntityInfo::PublicId);
}

WideString TXpParser::GetEntitySystemId(const WideString& sName) const {
  return EntityField(FEntityInfo, FindEntity(sName, false), &TXpEntityInfo::SystemId);
}

int TXpParser::GetEntityClass(const WideString& sName, bool bAnyKind) const {
  int index = FindEntity(sName, bAnyKind);
  return index < 0 ? xpecUndeclared : FEntityInfo[static_cast<std::size_t>(index)].second.EntityClass;
}

WideString TXpParser::GetEntityValue(const WideString& sName, bool bAnyKind) const {
  return EntityField(FEntityInfo, FindEntity(sName, bAnyKind), &TXpEntityInfo::Value);
}

void TXpParser::AddEntity(const WideString& sName, int wClass, bool bPeFlag, const WideString& sPublicId,
                          const WideString& sSystemId, const WideString& sValue, const WideString& sNotationName) {
  if (FindEntity(sName, bPeFlag) >= 0) return;
  if (FEntityInfo.empty()) FEntityInfo.reserve(8);
  TXpEntityInfo& info = FEntityInfo.emplace_back(sName, TXpEntityInfo{}).second;
  info.EntityClass = wClass;
  info.IsParameterEntity = bPeFlag;
  info.PublicId = sPublicId;
  info.SystemId = sSystemId;
  info.Value = sValue;
  info.NotationName = sNotationName;
  if (FEntityInfo.size() <= kLinearEntities) return;
  // The indexes take every entity when the table first outgrows the linear
  // search, then each new one; the first entity of a name keeps its place.
  const std::size_t from = FEntityInfo.size() == kLinearEntities + 1 ? 0 : FEntityInfo.size() - 1;
  for (std::size_t i = from; i < FEntityInfo.size(); ++i) {
    const auto& [name, entity] = FEntityInfo[i];
    fFirstEntity.try_emplace(name, static_cast<int>(i));
    if (!entity.IsParameterEntity) fFirstGeneralEntity.try_emplace(name, static_cast<int>(i));
  }
}

void TXpParser::AddInternalEntity(const WideString& sName, const WideString& sValue, bool bPeFlag) {
  AddEntity(sName, xpecInternal, bPeFlag, {}, {}, sValue, {});
}

void TXpParser::AddExternalEntity(const WideString& sName, const WideString& sPublicId, const WideString& sSystemId) {
  AddEntity(sName, xpecExternal, false, sPublicId, sSystemId, {}, {});
}

void TXpParser::AddUnparsedEntity(const WideString& sName, const WideString& sPublicId, const WideString& sSystemId,
                                  const WideString& sNotationName) {
  AddEntity(sName, xpecUnparsed, false, sPublicId, sSystemId, {}, sNotationName);
}

void TXpParser::InitPredefinedEntities() {
  ResetDataBuffer();
  AddInternalEntity(u"amp", u"&#38;", false);
  AddInternalEntity(u"lt", u"&#60;", false);
  AddInternalEntity(u"gt", u"&#62;", false);
  AddInternalEntity(u"apos", u"&#39;", false);
  AddInternalEntity(u"quot", u"&#34;", false);
}

void TXpParser::ResolveExternalEntity(const WideString& sName, const WideString& sPublicId,
                                      const WideString& sSystemId, WideString& sValue) {
  FlushCharData();
  sValue.clear();
  FHasExternals = true;
  WideString identifier = sSystemId;
  if (OnResolveEntity) OnResolveEntity(this, sName, sPublicId, sSystemId, identifier);
  if (identifier.empty()) return;
  // Each opening counts, and then every character read from the file: the same
  // file referenced over and over is text the references add.
  ChargeExpansion(kXpEntityOpeningCharge, sName);
  PushExternalInput(identifier);
  FFilter->EntityName = sName;
  FFilter->SetBudget(&fExpansion);
}

// ---------------------------------------------------------------------------
// Elements, attributes and notations

int TXpParser::IndexOfElement(const WideString& sName) const { return FElementInfo.IndexOf(sName); }

int TXpParser::SetElementInfo(const WideString& sName, int wContentType, const WideString& sContentModel) {
  int index = FElementInfo.FindOrAdd(sName);
  TXpElementInfo& info = *FElementInfo[index].Record;
  if (wContentType != xpctUndeclared) info.ContentType = wContentType;
  if (!sContentModel.empty()) info.ContentModel = sContentModel;
  return index;
}

int TXpParser::GetElementContentType(int index) const {
  return index < 0 ? xpctUndeclared : FElementInfo[index].Record->ContentType;
}

TXpFoldedTable<TXpAttributeInfo>* TXpParser::GetElementAttributes(int index) {
  return index < 0 ? nullptr : FElementInfo[index].Record->AttributeList();
}

void TXpParser::AddAttributeInfo(const WideString& sElemName, const WideString& sAttrName, int wType,
                                 const WideString& sEnum, const WideString& sValue, int wValueType,
                                 const WideString& sLiteral) {
  int index = SetElementInfo(sElemName, xpctUndeclared, {});
  auto info = std::make_unique<TXpAttributeInfo>();
  info->AttrType = wType;
  info->Enum = sEnum;
  info->Value = sValue;
  info->Literal = sLiteral;
  info->ValueType = wValueType;
  FElementInfo[index].Record->SetAttribute(sAttrName, std::move(info));
}

int TXpParser::GetAttributeType(const WideString& sElemName, const WideString& sAttrName) const {
  return GetAttributeType(sElemName, IndexOfElement(sElemName), sAttrName);
}

int TXpParser::GetAttributeType(const WideString& /*sElemName*/, int element, const WideString& sAttrName) const {
  if (element < 0) return xpatUndeclared;
  const auto* attributes = FElementInfo[element].Record->AttributeList();
  if (!attributes) return xpatUndeclared;
  int index = attributes->IndexOf(sAttrName);
  return index < 0 ? xpatUndeclared : (*attributes)[index].Record->AttrType;
}

void TXpParser::AddNotation(const WideString& sName, const WideString& sPublicId, const WideString& sSystemId) {
  if (FNotationInfo.IndexOf(sName) >= 0) return;
  if (OnDTDNotation) OnDTDNotation(this, sName, sPublicId, sSystemId);
  int index = FNotationInfo.FindOrAdd(sName);
  FNotationInfo[index].Record->PublicId = sPublicId;
  FNotationInfo[index].Record->SystemId = sSystemId;
}
