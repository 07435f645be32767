#include "lib/verAziruzi/XpDOMWriter.h"

#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpDOMDtd.h"
#include "platform/NumberText.h"

namespace {

// The output settings of a node's document; a new document's without one.
struct Settings {
  const TXpDocument* document = nullptr;
  bool formatted = false;
  TXpLineBreakMode mode = lbmDefault;
  bool replaceBreaks = false;
  bool noCharReplacement = false;
  bool actualCDATA = false;

  explicit Settings(const TXpNode* node) : document(node ? node->OwnerDocument() : nullptr) {
    if (!document) return;
    formatted = document->FormattedOutput();
    mode = document->LineBreakMode();
    replaceBreaks = document->LineBreakCharReplace();
    noCharReplacement = document->NoCharReplacement();
    actualCDATA = document->ActualCDATA();
  }
  bool NeedsLineBreakReplace() const { return mode != lbmLF; }
  std::u16string_view LineBreakText() const {
    switch (mode) {
      case lbmCR: return u"\r";
      case lbmLF: return u"\n";
      default: return u"\r\n";
    }
  }
};

void AppendNumber(WideString& out, std::int64_t value) {
  for (char digit : numtext::FormatInt(value)) out += static_cast<char16_t>(digit);
}

void AppendReference(WideString& out, std::uint32_t code) {
  out += u"&#";
  AppendNumber(out, code);
  out += u';';
}

// The CR or LF at index, by the line-break settings; index moves past what was
// consumed.
void WriteLineBreak(const Settings& settings, std::u16string_view text, WideString& out, std::size_t& index) {
  const char16_t unit = text[index++];
  if (!settings.replaceBreaks) {
    out += unit;
    return;
  }
  const bool pair = unit == u'\r' && index < text.size() && text[index] == u'\n';
  switch (settings.mode) {
    case lbmLF:
      out += unit == u'\n' ? u"&#10;" : u"&#13;";
      return;
    case lbmCR:
      out += u"&#13;";
      break;
    default:
      out += u"\r\n";
      break;
  }
  if (pair) ++index;
}

// A value between quotation marks, or between apostrophes when it holds a
// quotation mark, so that the declaration stays well-formed.
void AppendQuoted(WideString& out, std::u16string_view value) {
  const char16_t quote = value.find(u'"') == std::u16string_view::npos ? u'"' : u'\'';
  out += quote;
  out += value;
  out += quote;
}

// A comment or instruction cannot escape anything, yet a value made through the
// API may hold its closing delimiter. A space is put where the value would end
// the markup early ("--" or a final '-' in a comment, "?>" in an instruction),
// so the output stays well-formed; every other unit is kept.
void AppendProcessingInstruction(WideString& out, const TXpNode* instruction) {
  out += u"<?";
  out += instruction->NodeName();
  out += u' ';
  const std::u16string_view data = instruction->NodeValue();
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += data[i];
    if (data[i] == u'?' && i + 1 < data.size() && data[i + 1] == u'>') out += u' ';
  }
  out += u"?>";
}

// lineBreak, when not empty, replaces every LF.
void AppendComment(WideString& out, std::u16string_view value, std::u16string_view lineBreak) {
  out += u"<!--";
  char16_t previous = 0;
  for (char16_t unit : value) {
    if (unit == u'-' && previous == u'-') out += u' ';
    if (unit == u'\n' && !lineBreak.empty())
      out += lineBreak;
    else
      out += unit;
    previous = unit;
  }
  if (previous == u'-') out += u' ';
  out += u"-->";
}

void AppendExternalIds(WideString& out, const WideString& publicID, const WideString& systemID,
                       std::u16string_view systemKeyword) {
  if (!publicID.empty()) {
    out += u" PUBLIC ";
    AppendQuoted(out, publicID);
    if (!systemID.empty()) {
      out += u' ';
      AppendQuoted(out, systemID);
    }
  } else if (!systemID.empty()) {
    out += systemKeyword;
    AppendQuoted(out, systemID);
  }
}

class Writer {
public:
  Writer(const TXpNode* top, WideString& out) : fTop(top), fSettings(top), fOut(out) {}

  // The children of parent at a level; whether the last one was a text node.
  bool WriteChildren(const TXpNode* parent, int level);
  void WriteElementAlone(const TXpElement* element);
  void WriteDocumentType(const TXpDocumentType* type);

private:
  enum class Closing { None, Element, Conditional, InternalSubset };
  struct Frame {
    const TXpNode* parent;
    std::size_t next;
    int level;
    bool lastWasText;
    Closing closing;
    int closingLevel;
  };

  // Opens an element; answers whether its children follow.
  bool OpenElement(const TXpElement* element);
  void CloseElement(const TXpElement* element, bool lastWasText, int level);
  void WriteAttributes(const TXpElement* element);
  // One child; pushes a frame when the child has children of its own to write.
  void WriteChild(const TXpNode* child, int level, std::vector<Frame>& stack);
  // Writes until the stack is empty; answers the last popped frame's flag.
  bool Run(std::vector<Frame>& stack);
  void WriteDeclaration(const TXpNode* child, int level, std::vector<Frame>& stack);

  const TXpNode* fTop;
  Settings fSettings;
  WideString& fOut;
};

bool Writer::OpenElement(const TXpElement* element) {
  const TXpDocument* document = fSettings.document;
  if (document && document->OnOutputElementStart) document->OnOutputElementStart(const_cast<TXpElement*>(element));
  fOut += u'<';
  fOut += element->NodeName();
  WriteAttributes(element);
  if (element->HasChildNodes()) {
    fOut += u'>';
    return true;
  }
  if (element->IgnoreEndTag()) {
    fOut += u'>';
  } else if (element->FullEndTag()) {
    fOut += u"></";
    fOut += element->NodeName();
    fOut += u'>';
  } else {
    fOut += u"/>";
  }
  if (document && document->OnOutputElementEnd) document->OnOutputElementEnd(const_cast<TXpElement*>(element));
  return false;
}

void Writer::CloseElement(const TXpElement* element, bool lastWasText, int level) {
  if (!lastWasText && fSettings.formatted) XpWriteIndent(fOut, level);
  fOut += u"</";
  fOut += element->NodeName();
  fOut += u'>';
  const TXpDocument* document = fSettings.document;
  if (document && document->OnOutputElementEnd) document->OnOutputElementEnd(const_cast<TXpElement*>(element));
}

void Writer::WriteAttributes(const TXpElement* element) {
  const TXpDocument* document = fSettings.document;
  auto* mutableElement = const_cast<TXpElement*>(element);
  if (document && document->OnOutputAttribStart) document->OnOutputAttribStart(mutableElement);
  if (const TXpNamedNodeMap* attributes = element->Attributes()) {
    for (TXpNode* attribute : attributes->Nodes()) {
      bool cancel = false;
      if (document && document->OnOutputAttrib) document->OnOutputAttrib(attribute, cancel);
      if (cancel) continue;
      fOut += u' ';
      fOut += attribute->NodeName();
      fOut += u"=\"";
      XpWriteEscapedText(element, fOut, attribute->NodeValue(), true);
      fOut += u'"';
    }
  }
  if (document && document->OnOutputAttribEnd) document->OnOutputAttribEnd(mutableElement);
}

void Writer::WriteChild(const TXpNode* child, int level, std::vector<Frame>& stack) {
  switch (child->NodeType()) {
    case ELEMENT_NODE:
      if (fSettings.formatted) XpWriteIndent(fOut, level);
      if (OpenElement(static_cast<const TXpElement*>(child)))
        stack.push_back({child, 0, level + 1, false, Closing::Element, level});
      return;
    case TEXT_NODE:
    case CDATA_SECTION_NODE:
    case COMMENT_NODE:
      child->WriteXml(fOut, level);
      return;
    case PROCESSING_INSTRUCTION_NODE:
      if (fSettings.formatted) XpWriteIndent(fOut, level);
      AppendProcessingInstruction(fOut, child);
      return;
    default:
      WriteDeclaration(child, level, stack);
  }
}

void Writer::WriteDeclaration(const TXpNode* child, int level, std::vector<Frame>& stack) {
  const bool formatted = fSettings.formatted;
  switch (child->NodeType()) {
    case DTD_ELEMENT_NODE: {
      const auto* element = static_cast<const TXpDTDElement*>(child);
      if (formatted) fOut += u"\r\n  ";
      fOut += u"<!ELEMENT ";
      fOut += element->NodeName();
      fOut += u' ';
      switch (element->ContentType()) {
        case 1: fOut += u"ANY"; break;
        case 2: fOut += u"EMPTY"; break;
        case 3:
        case 4: fOut += XpContentModelText(element); break;
        default: break;
      }
      fOut += u'>';
      return;
    }
    case DTD_ATTLIST_NODE:
      if (formatted) fOut += u"\r\n  ";
      fOut += u"<!ATTLIST ";
      fOut += child->NodeName();
      fOut += XpAttDefinitionsText(child);
      fOut += u'>';
      return;
    case DTD_ENTITY_NODE: {
      const auto* entity = static_cast<const TXpDTDEntity*>(child);
      if (formatted) fOut += u"\r\n  ";
      fOut += u"<!ENTITY ";
      if (entity->IsPE()) fOut += u"% ";
      fOut += entity->NodeName();
      // Without identifiers the entity is internal, even with an empty value.
      if (!entity->Value().empty() || (entity->PublicID().empty() && entity->SystemID().empty())) {
        fOut += u" \"";
        XpWriteEntityValue(fTop, fOut, entity->Value());
        fOut += u"\">";
        return;
      }
      AppendExternalIds(fOut, entity->PublicID(), entity->SystemID(), u" SYSTEM ");
      if (!entity->NotationName().empty()) {
        fOut += u" NDATA ";
        fOut += entity->NotationName();
      }
      fOut += u'>';
      return;
    }
    case DTD_NOTATION_NODE: {
      const auto* notation = static_cast<const TXpDTDNotation*>(child);
      if (formatted) fOut += u"\r\n  ";
      fOut += u"<!NOTATION ";
      fOut += notation->NodeName();
      AppendExternalIds(fOut, notation->PublicID(), notation->SystemID(), u" SYSTEM ");
      fOut += u'>';
      return;
    }
    case DTD_CONDITIONAL_NODE: {
      const auto* section = static_cast<const TXpDTDConditional*>(child);
      if (formatted) fOut += u"\r\n";
      fOut += section->CondType() == 0 ? u"<![INCLUDE[" : u"<![IGNORE[";
      stack.push_back({child, 0, level + 1, false, Closing::Conditional, level});
      return;
    }
    default:
      return;  // attributes, entity references, document types, fragments, model parts
  }
}

bool Writer::Run(std::vector<Frame>& stack) {
  bool lastWasText = false;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const TXpNodeVector& children = frame.parent->ChildNodes()->Nodes();
    if (frame.next < children.size()) {
      const TXpNode* child = children[frame.next++];
      frame.lastWasText = child->NodeType() == TEXT_NODE;
      const int level = frame.level;
      WriteChild(child, level, stack);  // may push, so `frame` is not used after
      continue;
    }
    const Frame done = frame;
    stack.pop_back();
    lastWasText = done.lastWasText;
    switch (done.closing) {
      case Closing::Element:
        CloseElement(static_cast<const TXpElement*>(done.parent), done.lastWasText, done.closingLevel);
        break;
      case Closing::Conditional:
        if (fSettings.formatted) fOut += u"\r\n";
        fOut += u"]]>";
        break;
      case Closing::InternalSubset:
        fOut += u"]>";
        break;
      case Closing::None:
        break;
    }
  }
  return lastWasText;
}

bool Writer::WriteChildren(const TXpNode* parent, int level) {
  std::vector<Frame> stack{{parent, 0, level, false, Closing::None, level}};
  return Run(stack);
}

void Writer::WriteElementAlone(const TXpElement* element) {
  if (!OpenElement(element)) return;
  std::vector<Frame> stack{{element, 0, 1, false, Closing::Element, 0}};
  Run(stack);
}

void Writer::WriteDocumentType(const TXpDocumentType* type) {
  std::vector<Frame> stack;
  if (type->IsExternalDTD()) {
    stack.push_back({type, 0, 1, false, Closing::None, 0});
    Run(stack);
    return;
  }
  fOut += u"<!DOCTYPE ";
  fOut += type->NodeName();
  fOut += u' ';
  // The identifiers as the document gave them; the external subset's node
  // name stands in for a missing system identifier.
  const TXpDocumentType* external = type->ExternalDTD();
  const WideString& systemID = type->SystemID().empty() && external ? external->NodeName() : type->SystemID();
  if (!type->PublicID().empty()) {
    fOut += u"PUBLIC ";
    AppendQuoted(fOut, type->PublicID());
    if (!systemID.empty()) {
      fOut += u' ';
      AppendQuoted(fOut, systemID);
    }
    if (external) fOut += u' ';
  } else if (!systemID.empty()) {
    fOut += u"SYSTEM ";
    AppendQuoted(fOut, systemID);
    if (external) fOut += u' ';
  }
  if (type->HasChildNodes()) {
    fOut += u'[';
    stack.push_back({type, 0, 1, false, Closing::InternalSubset, 0});
    Run(stack);
  } else {
    fOut += u'>';
  }
}

}  // namespace

// ---------------------------------------------------------------------------

void XpWriteIndent(WideString& out, int level) {
  out += u"\r\n";
  out.append(static_cast<std::size_t>(2 * std::max(level, 0)), u' ');
}

namespace {

// A unit that needs no escape anywhere: printable ASCII but the markup
// characters, which each caller treats by its own rules.
bool IsPlain(char16_t unit) { return unit >= 32 && unit < 127 && unit != u'&' && unit != u'<' && unit != u'"'; }

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A unit below 32 (but tab, LF and CR) or from 127 on, by the replacement
// setting; index moves past what was consumed.
void AppendOther(const Settings& settings, std::u16string_view text, WideString& out, std::size_t& index) {
  const char16_t unit = text[index];
  if (settings.noCharReplacement) {
    out += unit;
    ++index;
  } else if (IsHighSurrogate(unit) && index + 1 < text.size() && IsLowSurrogate(text[index + 1])) {
    // One reference for the whole character: references to surrogates are
    // not characters a parser accepts.
    AppendReference(out, 0x10000u + ((unit - 0xD800u) << 10) + (text[index + 1] - 0xDC00u));
    index += 2;
  } else {
    AppendReference(out, unit);
    ++index;
  }
}

// Whether an entity reference ("&name;") starts at index, where text holds an
// '&'. A default keeps its entity references as written; a character
// reference is read when the declaration is, so "&#" here stands for itself.
bool StartsEntityReference(std::u16string_view text, std::size_t index) {
  std::size_t i = index + 1;
  while (i < text.size() && text[i] != u';' && XpIsValidNameUnit(i == index + 1, text[i])) ++i;
  return i > index + 1 && i < text.size() && text[i] == u';';
}

}  // namespace

void XpWriteEscapedText(const TXpNode* node, WideString& out, std::u16string_view text, bool attribute) {
  if (!node->OutputEscaping()) {
    out += text;
    return;
  }
  const Settings settings(node);
  out.reserve(out.size() + text.size() + text.size() / 4);
  for (std::size_t i = 0; i < text.size();) {
    const char16_t unit = text[i];
    if (IsPlain(unit)) {
      if (unit == u'>' && i >= 2 && text[i - 1] == u']' && text[i - 2] == u']')
        out += u"&gt;";  // "]]>" may not stand in content
      else
        out += unit;
      ++i;
      continue;
    }
    switch (unit) {
      case u'&': out += u"&amp;"; ++i; continue;
      case u'<': out += u"&lt;"; ++i; continue;
      case u'"': out += attribute ? u"&#34;" : u"\""; ++i; continue;
      default: break;
    }
    if (attribute && (unit == u'\t' || unit == u'\n' || unit == u'\r')) {
      // A reader turns a raw tab or line end in a value into a space.
      out += unit == u'\t' ? u"&#x9;" : unit == u'\n' ? u"&#xA;" : u"&#xD;";
      ++i;
    } else if (unit == u'\t') {
      out += unit;
      ++i;
    } else if (unit == u'\r' && !settings.replaceBreaks) {
      out += u"&#13;";  // a raw CR comes back as a line feed
      ++i;
    } else if (unit == u'\n' || unit == u'\r') {
      WriteLineBreak(settings, text, out, i);
    } else {
      AppendOther(settings, text, out, i);
    }
  }
}

void XpWriteEntityValue(const TXpNode* node, WideString& out, std::u16string_view text) {
  if (!node->OutputEscaping()) {
    out += text;
    return;
  }
  const Settings settings(node);
  for (std::size_t i = 0; i < text.size();) {
    const char16_t unit = text[i];
    if (unit >= 32 && unit < 127 && unit != u'&' && unit != u'%' && unit != u'"' && unit != u'<') {
      out += unit;
      ++i;
    } else if (unit < 127) {
      // References are read when the declaration is, so each of these comes
      // back as itself in the replacement text, whitespace too, which a
      // reader might otherwise fold.
      AppendReference(out, unit);
      ++i;
    } else {
      AppendOther(settings, text, out, i);
    }
  }
}

void XpWriteAttributeDefault(const TXpNode* node, WideString& out, std::u16string_view text) {
  if (!node->OutputEscaping()) {
    out += text;
    return;
  }
  const Settings settings(node);
  for (std::size_t i = 0; i < text.size();) {
    const char16_t unit = text[i];
    if (unit == u'&' && StartsEntityReference(text, i)) {
      out += unit;  // kept as written, expanded when the default is applied
      ++i;
    } else if (IsPlain(unit)) {
      out += unit;
      ++i;
    } else if (unit < 127) {
      // A tab or line end read raw is a space already, so one here came from
      // a reference and is written as one.
      AppendReference(out, unit);  // '&', '<', '"', tabs and line ends
      ++i;
    } else {
      AppendOther(settings, text, out, i);
    }
  }
}

WideString XpAttDefinitionsText(const TXpNode* attlist) {
  static const std::u16string_view kTypes[] = {u"",          u" CDATA",  u" ID",      u" IDREF",
                                               u" IDREFS",   u" ENTITY", u" ENTITIES", u" NMTOKEN",
                                               u" NMTOKENS"};
  WideString text;
  for (const TXpNode* child : attlist->ChildNodes()->Nodes()) {
    if (child->NodeType() != DTD_ATT_DEFINITION_NODE) continue;
    const auto* definition = static_cast<const TXpDTDAttDefinition*>(child);
    text += u' ';
    text += definition->NodeName();
    const int type = definition->AttType();
    if (type >= 1 && type <= 8) {
      text += kTypes[type];
    } else if (type == 9 || type == 10) {
      text += type == 9 ? u" (" : u" NOTATION (";
      if (const std::vector<WideString>* names = definition->Enumeration())
        for (std::size_t i = 0; i < names->size(); ++i) {
          if (i > 0) text += u" | ";
          text += (*names)[i];
        }
      text += u')';
    }
    switch (definition->DefaultType()) {
      case 2: text += u" #IMPLIED"; break;
      case 3: text += u" #REQUIRED"; break;
      case 4: text += u" #FIXED"; break;
      default: break;
    }
    // #IMPLIED and #REQUIRED take no value; every other kind needs one, if
    // only an empty one.
    const int defaultType = definition->DefaultType();
    if (defaultType != 2 && defaultType != 3) {
      text += u" \"";
      XpWriteAttributeDefault(attlist, text, definition->DefaultValue());
      text += u'"';
    }
  }
  return text;
}

namespace {

void AppendParticleTail(WideString& text, int occurs, int relation, bool followed) {
  switch (occurs) {
    case 1: text += u'?'; break;
    case 2: text += u'*'; break;
    case 3: text += u'+'; break;
    default: break;
  }
  if (followed) text += relation == 0 ? u" | " : u", ";
}

}  // namespace

WideString XpContentModelText(const TXpNode* node) {
  WideString text;
  if (!node->HasChildNodes()) {
    if (node->NodeType() == DTD_ELEMENT_NODE && static_cast<const TXpDTDElement*>(node)->ContentType() == 3)
      text = u"(#PCDATA)";
    return text;
  }
  struct Frame {
    const TXpNode* group;
    std::size_t next;
  };
  std::vector<Frame> stack{{node, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const TXpNodeVector& children = frame.group->ChildNodes()->Nodes();
    if (frame.next >= children.size()) {
      const TXpNode* group = frame.group;
      stack.pop_back();
      if (stack.empty()) break;
      // A finished group closes and takes its own mark and separator.
      const Frame& parent = stack.back();
      const auto* finished = static_cast<const TXpDTDElementGroup*>(group);
      text += u')';
      AppendParticleTail(text, finished->Occurs(), finished->Relation(),
                         parent.next < parent.group->ChildNodes()->Nodes().size());
      continue;
    }
    const TXpNode* child = children[frame.next++];
    const bool followed = frame.next < children.size();
    if (child->NodeType() == DTD_ELEMENT_GROUP_NODE) {
      text += u'(';
      stack.push_back({child, 0});
    } else if (child->NodeType() == DTD_ELEMENT_CONTENT_NODE) {
      const auto* leaf = static_cast<const TXpDTDElementContent*>(child);
      text += leaf->NodeName();
      AppendParticleTail(text, leaf->Occurs(), leaf->Relation(), followed);
    }
  }
  return text;
}

bool XpWriteChildren(const TXpNode* top, WideString& out, const TXpNode* parent, int level) {
  Writer writer(top, out);
  return writer.WriteChildren(parent, level);
}

void XpWriteTextNode(const TXpText* node, WideString& out, int) {
  // Nothing goes before the text, not even after a comment: a line break here
  // would be new content, one more at every save.
  XpWriteEscapedText(node, out, node->NodeValue(), false);
}

void XpWriteCommentNode(const TXpComment* node, WideString& out, int level) {
  const Settings settings(node);
  if (settings.formatted) XpWriteIndent(out, level);
  AppendComment(out, node->NodeValue(), settings.NeedsLineBreakReplace() ? settings.LineBreakText() : u"");
}

namespace {

// A CDATA section between its markers. "]]>" is split across two sections. A
// line end goes between two sections when it must be a reference: a CR, which
// a reader would take for a line feed, or a break that the line-break settings
// turn into a reference, which a section would keep as plain text. With
// breaks, line ends go through the line-break settings.
void AppendMarkedCData(const Settings& settings, WideString& out, std::u16string_view value, bool breaks) {
  out += u"<![CDATA[";
  bool open = true;
  auto reopen = [&] {
    if (!open) out += u"<![CDATA[";
    open = true;
  };
  auto outside = [&](std::u16string_view text) {
    if (open) out += u"]]>";
    open = false;
    out += text;
  };
  WideString lineBreak;
  for (std::size_t i = 0; i < value.size();) {
    const char16_t unit = value[i];
    if (unit == u'\r' || unit == u'\n') {
      lineBreak.clear();
      if (breaks)
        WriteLineBreak(settings, value, lineBreak, i);
      else
        lineBreak += value[i++];
      if (lineBreak == u"\r")
        outside(u"&#13;");
      else if (lineBreak.front() == u'&')
        outside(lineBreak);
      else {
        reopen();
        out += lineBreak;
      }
      continue;
    }
    reopen();
    if (unit == u'>' && out.size() >= 2 && out[out.size() - 1] == u']' && out[out.size() - 2] == u']')
      out += u"]]><![CDATA[";
    out += unit;
    ++i;
  }
  if (open) out += u"]]>";
}

}  // namespace

void XpWriteCDataNode(const TXpCDataSection* node, WideString& out, int) {
  const Settings settings(node);
  const std::u16string_view value = node->NodeValue();
  const bool breaks = settings.NeedsLineBreakReplace();
  if (!settings.actualCDATA) {
    AppendMarkedCData(settings, out, value, breaks);
    return;
  }
  // The value as markup of its own: nothing is escaped.
  for (std::size_t i = 0; i < value.size();) {
    if (breaks && (value[i] == u'\r' || value[i] == u'\n'))
      WriteLineBreak(settings, value, out, i);
    else
      out += value[i++];
  }
}

WideString XpWriteNode(const TXpNode* node) {
  WideString out;
  XpAppendNode(node, out);
  return out;
}

void XpAppendNode(const TXpNode* node, WideString& out) {
  if (!node) return;
  const Settings settings(node);
  switch (node->NodeType()) {
    case ELEMENT_NODE: {
      Writer writer(node, out);
      writer.WriteElementAlone(static_cast<const TXpElement*>(node));
      break;
    }
    case TEXT_NODE:
    case XPATH_TOKEN_NODE:
      XpWriteEscapedText(node, out, node->NodeValue(), false);
      break;
    case CDATA_SECTION_NODE:
      if (settings.actualCDATA)
        out += node->NodeValue();
      else
        AppendMarkedCData(settings, out, node->NodeValue(), false);
      break;
    case COMMENT_NODE:
      if (settings.formatted) out += u"\r\n";
      AppendComment(out, node->NodeValue(), u"");
      break;
    case PROCESSING_INSTRUCTION_NODE:
      AppendProcessingInstruction(out, node);
      break;
    case DOCUMENT_TYPE_NODE: {
      Writer writer(node, out);
      writer.WriteDocumentType(static_cast<const TXpDocumentType*>(node));
      break;
    }
    default:
      break;  // attributes, entity references, documents, fragments, declarations
  }
}

namespace {

constexpr int kPlainNodeDepth = 64;  // deeper subtrees take the general writer's stack

// Text written as it stands: plain units without a '>' that could close "]]>",
// and tabs, which only a value escapes.
bool AppendPlainTextUtf8(const TXpNode* node, std::u16string_view text, bool attribute, std::string& out) {
  if (!node->OutputEscaping()) return false;
  char piece[128];
  std::size_t n = 0;
  for (const char16_t unit : text) {
    if (!(IsPlain(unit) || (unit == u'\t' && !attribute)) || unit == u'>') return false;
    piece[n++] = static_cast<char>(unit);
    if (n == sizeof(piece)) {
      out.append(piece, n);
      n = 0;
    }
  }
  out.append(piece, n);
  return true;
}

bool AppendPlainUtf8(const TXpNode* node, std::string& out, int depth) {
  switch (node->NodeType()) {
    case TEXT_NODE:
      return AppendPlainTextUtf8(node, node->NodeValue(), false, out);
    case ELEMENT_NODE:
      break;
    default:
      return false;
  }
  if (depth > kPlainNodeDepth) return false;
  const auto* element = static_cast<const TXpElement*>(node);
  const auto appendName = [&out](std::u16string_view name) { XpAppendWideAsUtf8(name, out); };
  out += '<';
  appendName(element->NodeName());
  if (const TXpNamedNodeMap* attributes = element->Attributes()) {
    for (const TXpNode* attribute : attributes->Nodes()) {
      out += ' ';
      appendName(attribute->NodeName());
      out += "=\"";
      if (!AppendPlainTextUtf8(element, attribute->NodeValue(), true, out)) return false;
      out += '"';
    }
  }
  if (!element->HasChildNodes()) {
    out += element->IgnoreEndTag() ? ">" : element->FullEndTag() ? "></" : "/>";
    if (element->FullEndTag() && !element->IgnoreEndTag()) {
      appendName(element->NodeName());
      out += '>';
    }
    return true;
  }
  out += '>';
  for (const TXpNode* child : element->ChildNodes()->Nodes())
    if (!AppendPlainUtf8(child, out, depth + 1)) return false;
  out += "</";
  appendName(element->NodeName());
  out += '>';
  return true;
}

}  // namespace

bool XpAppendPlainChildrenUtf8(const TXpNode* parent, std::string& out) {
  const Settings settings(parent);
  const TXpDocument* document = settings.document;
  if (settings.formatted ||
      (document && (document->OnOutputElementStart || document->OnOutputElementEnd || document->OnOutputAttribStart ||
                    document->OnOutputAttrib || document->OnOutputAttribEnd)))
    return false;
  const std::size_t start = out.size();
  for (const TXpNode* child : parent->ChildNodes()->Nodes()) {
    if (!AppendPlainUtf8(child, out, 0)) {
      out.resize(start);
      return false;
    }
  }
  return true;
}
