#pragma once

// The library's XML 1.0 parser. It reads one document at a time from a file
// name, a block of memory or a stream and reports every construct through its
// event slots, in document order; it builds no tree (the object model does that
// from the events).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "lib/verAziruzi/XpBase.h"
#include "lib/verAziruzi/XpExcept.h"
#include "lib/verAziruzi/XpParserInput.h"

// ---------------------------------------------------------------------------
// Code sets carried as plain integers by the events and the declaration records.

// Attribute types; 0 for an undeclared attribute.
inline constexpr int xpatUndeclared = 0;
inline constexpr int xpatCDATA = 1;
inline constexpr int xpatID = 2;
inline constexpr int xpatIDREF = 3;
inline constexpr int xpatIDREFS = 4;
inline constexpr int xpatENTITY = 5;
inline constexpr int xpatENTITIES = 6;
inline constexpr int xpatNMTOKEN = 7;
inline constexpr int xpatNMTOKENS = 8;
inline constexpr int xpatEnumeration = 9;  // a parenthesised list of name tokens
inline constexpr int xpatNOTATION = 10;

// Content types of an element.
inline constexpr int xpctUndeclared = 0;
inline constexpr int xpctAny = 1;
inline constexpr int xpctEmpty = 2;
inline constexpr int xpctMixed = 3;     // (#PCDATA ...)
inline constexpr int xpctChildren = 4;  // element content

// Default kinds of an attribute definition.
inline constexpr int xpdkValue = 1;
inline constexpr int xpdkImplied = 2;
inline constexpr int xpdkRequired = 3;
inline constexpr int xpdkFixed = 4;

// Entity classes.
inline constexpr int xpecUndeclared = 0;
inline constexpr int xpecInternal = 1;
inline constexpr int xpecUnparsed = 2;  // external with NDATA
inline constexpr int xpecExternal = 3;  // external parsed

// Occurrence of a content particle.
inline constexpr int xpoOnce = 0;
inline constexpr int xpoOptional = 1;    // ?
inline constexpr int xpoZeroOrMore = 2;  // *
inline constexpr int xpoOneOrMore = 3;   // +

// Relation of a content particle to the next one.
inline constexpr int xprChoice = 0;    // |
inline constexpr int xprSequence = 1;  // , (and the last particle of a group)

// Conditional sections.
inline constexpr int xpcsInclude = 0;
inline constexpr int xpcsIgnore = 1;

// Bounds against hostile input.
inline constexpr std::int64_t kXpMaxEntityExpansion = 16777216;  // characters per parse
// Text the declarations add (entity replacement text, default attributes) may
// come to this floor plus so much per byte of the document, up to the bound
// above: a small file cannot make the parser build a huge document.
inline constexpr std::int64_t kXpExpansionFloor = 1 << 20;
inline constexpr std::int64_t kXpExpansionPerByte = 8;
// Opening an external entity costs as much as this much text, however short
// the file: a few references must not open a file a million times.
inline constexpr std::int64_t kXpEntityOpeningCharge = 512;
// A node the declarations add (a default attribute, a comment or instruction of
// an entity's text) weighs this much besides its text.
inline constexpr std::int64_t kXpNodeCharge = 64;
inline constexpr int kXpMaxEntityNesting = 64;
inline constexpr int kXpMaxElementNesting = 2048;
inline constexpr int kXpMaxConditionalNesting = 2048;
inline constexpr int kXpMaxContentModelNesting = 256;
// Units of one quoted value (attribute value, entity value, system literal).
inline constexpr std::size_t kXpMaxLiteralLength = kXpMaxEntityExpansion;
// Literal-mode bits beyond 1, 2 and 8: entity values keep their tabs and line
// ends (only attribute values make spaces of them), and outside the internal
// subset they expand parameter-entity references.
inline constexpr int kXpLiteralRawWhitespace = 16;
inline constexpr int kXpLiteralParameterRefs = 32;

// ---------------------------------------------------------------------------
// Event types. The sender is always the parser.

using TXpNotifyEvent = std::function<void(TXpComponent* oOwner)>;
using TXpValueEvent = std::function<void(TXpComponent* oOwner, const WideString& sValue)>;
using TXpAttributeEvent =
    std::function<void(TXpComponent* oOwner, const WideString& sName, const WideString& sValue, bool bSpecified)>;
using TXpProcessInstrEvent =
    std::function<void(TXpComponent* oOwner, const WideString& sName, const WideString& sValue)>;
using TXpPreserveSpaceEvent =
    std::function<void(TXpComponent* oOwner, const WideString& sElementName, bool& bPreserve)>;
using TXpNonXMLEntityEvent =
    std::function<void(TXpComponent* oOwner, const WideString& sEntityName, const WideString& sPublicId,
                       const WideString& sSystemId, const WideString& sNotationName)>;
using TXpResolveEvent = std::function<void(TXpComponent* oOwner, const WideString& sName, const WideString& sPublicId,
                                           const WideString& sSystemId, WideString& sValue)>;
using TXpDocTypeDeclEvent = std::function<void(TXpComponent* oOwner, const WideString& sDecl, const WideString& sId0,
                                               const WideString& sId1)>;
using TXpDTDExternalStartEvent = std::function<void(TXpComponent* oOwner, WideString& sFile)>;
using TXpDTDElementStartEvent =
    std::function<void(TXpComponent* oOwner, const WideString& sName, int wContentType)>;
using TXpDTDElementContentEvent =
    std::function<void(TXpComponent* oOwner, const WideString& sName, int wOccurrence, int wRelation)>;
using TXpDTDElementGroupEvent = std::function<void(TXpComponent* oOwner, int wOccurrence, int wRelation)>;
using TXpDTDElementEndEvent = std::function<void(TXpComponent* oOwner, const WideString& sName)>;
using TXpDTDAttDefinitionEvent =
    std::function<void(TXpComponent* oOwner, const WideString& sName, int wAttrType,
                       const std::vector<WideString>& oEnumeration, int wValueType, const WideString& sValue)>;
using TXpDTDEntityInternalEvent =
    std::function<void(TXpComponent* oOwner, bool bPeFlag, const WideString& sName, const WideString& sValue)>;
using TXpDTDEntityExternalEvent =
    std::function<void(TXpComponent* oOwner, bool bPeFlag, const WideString& sName, const WideString& sPublicId,
                       const WideString& sSystemId, const WideString& sNotationName)>;
using TXpDTDNotationEvent = std::function<void(TXpComponent* oOwner, const WideString& sNotationName,
                                               const WideString& sPublicId, const WideString& sSystemId)>;
using TXpDTDConditionalStartEvent = std::function<void(TXpComponent* oOwner, int wType)>;

// ---------------------------------------------------------------------------
// Records of the declaration tables.

class TXpAttributeInfo {
public:
  int AttrType = xpatUndeclared;
  WideString Value;           // the default as written in the declaration
  int ValueType = 0;          // default kind
  WideString Enum;            // the enumeration as written back, "(a|b)"
  WideString Lookup;          // the normalised default, computed at first use
  // Value as it is read to compute Lookup, when that differs: each '&' that a
  // character reference gave written as a reference again, so that it is not
  // taken for the start of one.
  WideString Literal;
  bool LookupDone = false;
};

// A table from names to owned records; equal names by simple case folding share
// one entry. Entries keep the order they were added in, so an index stays valid,
// and are found through their folded names in constant time: a DTD may declare
// any number of names, in any order.
template <class TRecord>
class TXpFoldedTable {
public:
  struct Entry {
    WideString Folded;
    WideString Name;
    std::unique_ptr<TRecord> Record;
  };

  int IndexOf(const WideString& name) const;
  // The index of an entry with this folded name, or of the new empty entry.
  int FindOrAdd(const WideString& name);
  int Count() const { return static_cast<int>(fEntries.size()); }
  Entry& operator[](int index) { return fEntries[index]; }
  const Entry& operator[](int index) const { return fEntries[index]; }
  void Clear() {
    fEntries.clear();
    fIndex.clear();
  }

private:
  std::vector<Entry> fEntries;
  std::unordered_map<WideString, int> fIndex;  // folded name -> entry
};

class TXpElementInfo {
public:
  TXpElementInfo() = default;
  TXpElementInfo(const TXpElementInfo&) = delete;
  TXpElementInfo& operator=(const TXpElementInfo&) = delete;

  // The first definition of a name binds: a later one of the same name, or of
  // one that differs only in letter case, is dropped.
  void SetAttribute(const WideString& sName, std::unique_ptr<TXpAttributeInfo> oAttrInfo);

  // Null until the first attribute definition.
  const TXpFoldedTable<TXpAttributeInfo>* AttributeList() const { return fAttributeList.get(); }
  TXpFoldedTable<TXpAttributeInfo>* AttributeList() { return fAttributeList.get(); }
  // The indices in AttributeList of the definitions with a default, in the
  // order of their folded names: all a start tag has to look at, however many
  // definitions there are.
  const std::vector<int>& Defaulted();

  int ContentType = xpctUndeclared;
  WideString ContentModel;

private:
  std::unique_ptr<TXpFoldedTable<TXpAttributeInfo>> fAttributeList;
  std::vector<int> fDefaulted;
  bool fDefaultedKnown = false;
};

class TXpEntityInfo {
public:
  int EntityClass = xpecUndeclared;
  bool IsParameterEntity = false;
  WideString PublicId;
  WideString SystemId;
  WideString Value;
  WideString NotationName;
};

class TXpNotationInfo {
public:
  WideString PublicId;
  WideString SystemId;
};

// Simple case folding of every UTF-16 unit (surrogate units stay as they are).
WideString XpFoldCase(const WideString& text);
char16_t XpFoldUnit(char16_t unit);

// ---------------------------------------------------------------------------

class TXpParser : public TXpComponent {
public:
  TXpParser();
  ~TXpParser() override;

  // Entry points: each answers whether Errors is empty afterwards.
  bool ParseDataSource(const WideString& sSource);
  bool ParseMemory(const void* aBuffer, int aSize);
  bool ParseStream(TXpStream& oStream);

  // The error line with that index, or "ERROR INDEX OUT OF BOUNDS".
  WideString GetErrorMsg(int index) const;
  const std::vector<WideString>& Errors() const { return FErrors; }
  int ErrorCount() const { return static_cast<int>(FErrors.size()); }
  TXpCharEncoding InCharSet() const;
  bool IsStandAlone() const { return FIsStandAlone; }
  bool HasExternals() const { return FHasExternals; }
  const WideString& DocLocation() const { return FDocLocation; }
  const WideString& DocName() const { return FDocName; }
  // While OnDTDExternalStart runs: whether it announces an external parameter
  // entity between declarations rather than the document's external subset.
  bool ExternalStartIsParameterEntity() const { return fExternalIsPE; }
  // The folder or address of the input being read, empty without one.
  WideString CurrentInputDir() const;

  int BufferSize = 8192;
  bool NormalizeData = true;
  bool RaiseErrors = false;
  WideString UserName = u"anonymous";
  WideString Password = u"anonymous@example.invalid";
  // Off: an http or ftp name opens nothing and fails like a missing file.
  bool AllowRemoteSources = false;

  TXpAttributeEvent OnAttribute;
  TXpValueEvent OnCDATASection;
  TXpValueEvent OnCharData;
  TXpValueEvent OnComment;
  TXpDocTypeDeclEvent OnDocTypeDecl;
  TXpDTDAttDefinitionEvent OnDTDAttDefinition;
  TXpNotifyEvent OnDTDAttlistEnd;
  TXpValueEvent OnDTDAttlistStart;
  TXpNotifyEvent OnDTDConditionalEnd;
  TXpDTDConditionalStartEvent OnDTDConditionalStart;
  TXpDTDElementContentEvent OnDTDElementContent;
  TXpDTDElementEndEvent OnDTDElementEnd;
  TXpDTDElementGroupEvent OnDTDElementGroupEnd;
  TXpNotifyEvent OnDTDElementGroupStart;
  TXpDTDElementStartEvent OnDTDElementStart;
  TXpNotifyEvent OnDTDEnd;
  TXpDTDEntityExternalEvent OnDTDEntityExternal;
  TXpDTDEntityInternalEvent OnDTDEntityInternal;
  TXpNotifyEvent OnDTDExternalEnd;
  TXpNotifyEvent OnDTDExternalLoaded;
  TXpDTDExternalStartEvent OnDTDExternalStart;
  TXpDTDNotationEvent OnDTDNotation;
  TXpDocTypeDeclEvent OnDTDStart;
  TXpNotifyEvent OnEndDocument;
  TXpValueEvent OnEndElement;
  TXpValueEvent OnIgnorableWhitespace;
  TXpNonXMLEntityEvent OnNonXMLEntity;
  TXpPreserveSpaceEvent OnPreserveSpace;
  TXpProcessInstrEvent OnProcessingInstruction;
  TXpResolveEvent OnResolveEntity;
  TXpNotifyEvent OnStartDocument;
  TXpValueEvent OnStartElement;

protected:
  // Entity operations a derived parser may replace.
  virtual int FindEntity(const WideString& sName, bool bAnyKind) const;
  virtual WideString GetEntityNotation(const WideString& sName) const;
  virtual WideString GetEntityPublicId(const WideString& sName) const;
  virtual WideString GetEntitySystemId(const WideString& sName) const;
  virtual int GetEntityClass(const WideString& sName, bool bAnyKind) const;
  virtual WideString GetEntityValue(const WideString& sName, bool bAnyKind) const;
  virtual void ResolveExternalEntity(const WideString& sName, const WideString& sPublicId,
                                     const WideString& sSystemId, WideString& sValue);
  virtual void InitPredefinedEntities();

  // Declaration tables.
  void AddEntity(const WideString& sName, int wClass, bool bPeFlag, const WideString& sPublicId,
                 const WideString& sSystemId, const WideString& sValue, const WideString& sNotationName);
  void AddInternalEntity(const WideString& sName, const WideString& sValue, bool bPeFlag);
  void AddExternalEntity(const WideString& sName, const WideString& sPublicId, const WideString& sSystemId);
  void AddUnparsedEntity(const WideString& sName, const WideString& sPublicId, const WideString& sSystemId,
                         const WideString& sNotationName);
  int IndexOfElement(const WideString& sName) const;
  int SetElementInfo(const WideString& sName, int wContentType, const WideString& sContentModel);
  int GetElementContentType(int index) const;
  TXpFoldedTable<TXpAttributeInfo>* GetElementAttributes(int index);
  void AddAttributeInfo(const WideString& sElemName, const WideString& sAttrName, int wType, const WideString& sEnum,
                        const WideString& sValue, int wValueType, const WideString& sLiteral = {});
  int GetAttributeType(const WideString& sElemName, const WideString& sAttrName) const;
  // The same for an element already looked up (-1 for none).
  int GetAttributeType(const WideString& sElemName, int iElement, const WideString& sAttrName) const;
  void AddNotation(const WideString& sName, const WideString& sPublicId, const WideString& sSystemId);

private:
  struct TXpElementFrame;
  // A construct of the DTD that holds declarations and is left at its own end:
  // an external parameter entity (the end of its input) or an INCLUDE section
  // ("]]>" in the input it began in).
  struct TXpDeclarationFrame {
    bool Include = false;
    std::size_t Depth = 0;      // suspended inputs below its input
    std::uint64_t Serial = 0;   // of its input
  };

  // Frame.
  bool OpenDataSource(const TXpParserInput* oBase, const WideString& sSource);
  void ParseMain();
  void ClearParseState();
  // Forgets everything the last parse left, at the start of each entry point.
  void BeginParse();
  void AddTempFile(const WideString& sName) { FTempFiles.push_back(sName); }
  [[noreturn]] void Fail(int message, const WideString& detail = {});
  [[noreturn]] void FailText(const WideString& text);

  // Input stack.
  void PushDocument();
  void PopDocument();
  void PushString(const WideString& sText);
  // Suspends the current input and opens an external subset or entity named
  // relative to it; the suspended input is resumed when the opening fails.
  void PushExternalInput(const WideString& sIdentifier);
  void PushEntityText(const WideString& sName, const WideString& sText, bool bCounted);
  void CheckEntityReference(const WideString& sName, bool bOpenBeforeMatch);
  bool IsEntityOpen(const WideString& sName) const;
  // The nearest suspended input that is a file, the base of relative names.
  const TXpParserInput* SuspendedLocation() const;
  bool IsEndOfInput() { return CanLeaveInput() ? LeaveEndedInputs() : FFilter->isEOF(); }
  // Resumes suspended inputs while the current one has ended; answers False.
  bool LeaveEndedInputs();
  // Whether the end of the current input may be crossed: there is a suspended
  // input, and the current one is not the floor a literal is read on.
  bool CanLeaveInput() const { return FDocStack.size() > fInputFloor; }
  int InputDepth() const { return static_cast<int>(FDocStack.size()); }
  // Gives the current input its serial (once) and answers it.
  std::uint64_t MarkInput();
  // Whether the input that had `serial` at `depth` is still open.
  bool IsInputOpen(std::size_t depth, std::uint64_t serial) const;
  // Counts text the declarations add against the expansion bound.
  void ChargeExpansion(std::int64_t amount, const WideString& sName);
  // The innermost entity being read, or null outside entities.
  const WideString* InnermostEntity() const;

  // Reading.
  char16_t ReadInputChar(bool bConsume) {
    const char16_t c = FFilter->ReadChar();
    if (c == kXpEndOfInput) return ReadInputCharAtEnd(bConsume);
    if (bConsume) FFilter->SkipChar();
    return c;
  }
  char16_t ReadInputCharAtEnd(bool bConsume);
  void SkipInputChar() { FFilter->SkipChar(); }
  bool TryReadString(std::u16string_view keyword);
  static bool IsWhitespace(char16_t c) { return c == 32 || c == 9 || c == 13 || c == 10; }
  void SkipWhitespace(bool bCross);
  void RequireWhitespace();
  void Require(std::u16string_view keyword);

  // Pending text.
  void ResetDataBuffer();
  void AppendData(std::u16string_view text);
  void AppendChar(char16_t c) { FDataBuffer.push_back(c); }
  WideString TakeDataBuffer(bool bReset);
  void NormalizeWhitespace();
  // Attribute-value normalisation of a non-CDATA value: only spaces count, so
  // a tab or line end that a character reference gave stays.
  void CollapseSpaces();

  // Prolog and DTD.
  void ParseDocument();
  void ParseProlog();
  void ParseMisc();
  void ParseXMLDecl();
  void ParseDocTypeDecl();
  void ParseExternalID(bool bOptionalSystem, WideString& sPublicId, WideString& sSystemId);
  // Declarations up to the end of the current input (an external subset), or
  // up to the '>' of the document type declaration after one.
  void ReadDeclarations(bool bToInputEnd);
  void ParseMarkupDecl(bool bInternalSubset);
  void ParseParameterEntityBetweenDeclarations(bool bInternalSubset);
  void ParseElementDecl(bool bInternalSubset);
  void ParseContentSpec(const WideString& sName, bool bInternalSubset);
  void ParseMixedContent(int& wOccurrence);
  void ParseChildrenGroup(const WideString& sElement, int depth);
  void ParseContentParticle(const WideString& sElement, int depth);
  void SkipWhitespaceAndPEs();
  void ParseAttlistDecl();
  void ParseAttDef(const WideString& sElemName);
  int ParseAttType(const WideString& sElemName);
  void ParseEnumeration();
  void ParseNotationType();
  void ParseAttDefault(const WideString& sElemName, const WideString& sAttrName, int wType, const WideString& sEnum);
  void ParseEntityDecl();
  void ParseNotationDecl();
  void ParseConditionalSection();
  void ParseIgnoreSection();
  void ParsePEReference(bool bAnyKind, bool bAppend, WideString& sValue);
  // The reference to `sName` whose ';' follows; `bOpen`: the entity was open
  // when its name was read.
  void ExpandPEReference(const WideString& sName, bool bOpen, bool bAnyKind, bool bAppend, WideString& sValue);
  void CheckPENesting(const WideString& sText);
  void ParseEq();

  // Content.
  void ParseElement();
  // Through the start tag's end; True when content follows. `depth` counts the
  // open elements, this one included.
  bool ParseStartTag(int depth);
  void ParseEndTag();
  // True when the attribute was xml:space, its value then in sXmlSpace.
  bool ParseAttribute(const WideString& sElemName, int iElement, WideString& sXmlSpace);
  void CheckAttributeRepeat();
  bool GetAttributeDefault(const WideString& sElemName, const WideString& sAttrName, int iElement,
                           WideString& sValue);
  void ParseCharData();
  void ParseWhitespaceOnly();
  void FlushCharData();
  // `bDeclaration`: read between declarations, where an entity's text may hold
  // it any number of times, so it counts toward the expansion bound.
  void ParseComment(bool bDeclaration = false);
  bool ParsePI(bool bDeclaration = false);
  void ParseUntil(std::u16string_view delimiter);
  TXpUcs4Char ParseCharRef();
  void ParseEntityRef(WideString& sName);
  void SkipTextDeclaration();
  void RequireReferenceEnd();
  void ParseLiteral(int wMode, bool& bReference, WideString& sValue);
  // ParseLiteral leaving the value as the pending text.
  void ReadLiteral(int wMode, bool& bReference);
  // Reads into the pending text up to `delimiter` on the input `home` (not
  // consumed), or to the end of `home` (then left) for delimiter 0; False when
  // the input ended first.
  bool ParseLiteralBody(int wMode, bool& bReference, char16_t delimiter, TXpParserInput* home);
  void CheckLiteralLength();
  // Whether an external entity's file is being read, also one that the
  // internal subset names: markup there is not the internal subset's.
  bool InExternalEntity() const;
  void ReadName(bool bFirstCharRule, WideString& sName);
  // The name itself, without references before it.
  void ScanName(bool bFirstCharRule, WideString& sName);

  std::vector<WideString> FAttrEnum;
  // The attribute-type keywords with their codes, shared by every parser.
  static const std::pair<std::u16string_view, int> FAttributeType[9];
  bool FCDATA = false;
  WideString FCurrentElement;
  int FCurrentElementContent = xpctUndeclared;
  WideString FDataBuffer;
  WideString FDocLocation;
  WideString FDocName;
  std::vector<std::unique_ptr<TXpParserInput>> FDocStack;
  TXpFoldedTable<TXpElementInfo> FElementInfo;
  std::vector<std::pair<WideString, TXpEntityInfo>> FEntityInfo;
  // Indexes of the first entity of each name, built once the table outgrows a
  // linear search.
  std::unordered_map<WideString, int> fFirstEntity;         // any kind
  std::unordered_map<WideString, int> fFirstGeneralEntity;  // general only
  std::vector<WideString> FErrors;
  std::unique_ptr<TXpParserInput> FFilter;
  TXpCharEncoding FInCharSet = ceUnknown;
  TXpFoldedTable<TXpNotationInfo> FNotationInfo;
  bool FPreserve = false;
  std::vector<WideString> FTagAttributes;  // the first fTagAttributeCount are this tag's
  std::size_t fTagAttributeCount = 0;
  std::unordered_set<WideString> fTagFoldedNames;  // filled for start tags with many attributes
  WideString fEndTagName;
  std::vector<WideString> FTempFiles;
  bool FIsStandAlone = false;
  bool FHasExternals = false;
  bool FXMLDecParsed = false;
  bool fExternalIsPE = false;

  TXpExpansionBudget fExpansion;    // text entities added in this parse
  std::int64_t fDocumentBytes = 0;  // size of the document being parsed, 0 when unknown
  // Inputs at or below this depth are not left by reading on: the input a
  // literal is read from ends it, whatever the literal's parts expand to.
  std::size_t fInputFloor = 0;
  std::uint64_t fInputSerial = 0;
  std::vector<TXpDeclarationFrame> fDeclarationFrames;  // innermost last
  // While set, literals note where a character reference gave an '&', a tab
  // or a line end: text that must not be read as markup or whitespace again.
  std::vector<std::size_t>* fCharRefMarks = nullptr;
  bool fInternalSubset = false;        // its declarations are being read
  bool fInAttributeValue = false;      // a literal expanding general entities is being read
  bool fInternalSubsetHasPEs = false;  // it referenced a parameter entity
  WideString fUndeclaredInDefault;     // the first entity a default there named before its declaration
};
