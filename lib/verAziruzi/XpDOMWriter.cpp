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

void AppendProcessingInstruction(WideString& out, const TXpNode* instruction) {
  out += u"<?";
  out += instruction->NodeName();
  out += u' ';
  out += instruction->NodeValue();
  out += u"?>";
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
      if (!entity->Value().empty()) {
        fOut += u" \"";
        XpWriteEscapedText(fTop, fOut, entity->Value(), true);
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
  if (const TXpDocumentType* external = type->ExternalDTD()) {
    fOut += u"SYSTEM ";
    AppendQuoted(fOut, external->NodeName());
    fOut += u' ';
  } else if (!type->PublicID().empty()) {
    fOut += u"PUBLIC ";
    AppendQuoted(fOut, type->PublicID());
    if (!type->SystemID().empty()) {
      fOut += u' ';
      AppendQuoted(fOut, type->SystemID());
    }
  } else if (!type->SystemID().empty()) {
    fOut += u"SYSTEM ";
    AppendQuoted(fOut, type->SystemID());
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

void XpWriteEscapedText(const TXpNode* node, WideString& out, std::u16string_view text, bool attribute) {
  if (!node->OutputEscaping()) {
    out += text;
    return;
  }
  const Settings settings(node);
  out.reserve(out.size() + text.size() + text.size() / 4);
  for (std::size_t i = 0; i < text.size();) {
    const char16_t unit = text[i];
    if (unit >= 32 && unit < 127) {
      if (unit == u'&') {
        out += u"&amp;";
      } else if (unit == u'<') {
        out += u"&lt;";
      } else if (unit == u'"' && attribute) {
        out += u"&#34;";
      } else if (unit == u'>' && i >= 2 && text[i - 1] == u']' && text[i - 2] == u']') {
        out += u"&gt;";  // "]]>" may not stand in content
      } else {
        out += unit;
      }
      ++i;
      continue;
    }
    if (unit == u'\t') {
      out += unit;
      ++i;
    } else if (unit == u'\n' && attribute) {
      out += u"&#xA;";
      ++i;
    } else if (unit == u'\r' && attribute && !settings.replaceBreaks) {
      out += u"&#xD;";  // a bare CR in a value would come back as a space
      ++i;
    } else if (unit == u'\n' || unit == u'\r') {
      WriteLineBreak(settings, text, out, i);
    } else if (settings.noCharReplacement) {
      out += unit;
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      // One reference for the whole character: references to surrogates are
      // not characters a parser accepts.
      AppendReference(out, 0x10000u + ((unit - 0xD800u) << 10) + (text[i + 1] - 0xDC00u));
      i += 2;
    } else {
      AppendReference(out, unit);
      ++i;
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
    if (!definition->DefaultValue().empty()) {
      text += u' ';
      AppendQuoted(text, definition->DefaultValue());
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
  const TXpNode* previous = node->PreviousSibling();
  if (previous && previous->NodeType() == COMMENT_NODE) out += u"\r\n";
  XpWriteEscapedText(node, out, node->NodeValue(), false);
}

void XpWriteCommentNode(const TXpComment* node, WideString& out, int level) {
  const Settings settings(node);
  if (settings.formatted) XpWriteIndent(out, level);
  out += u"<!--";
  if (settings.NeedsLineBreakReplace()) {
    const std::u16string_view lineBreak = settings.LineBreakText();
    for (char16_t unit : node->NodeValue()) {
      if (unit == u'\n')
        out += lineBreak;
      else
        out += unit;
    }
  } else {
    out += node->NodeValue();
  }
  out += u"-->";
}

namespace {

// CDATA content, with "]]>" split across two sections so that it survives.
void AppendCDataContent(WideString& out, std::u16string_view text, bool marked) {
  if (!marked) {
    out += text;
    return;
  }
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(u"]]>", start);
    if (end == std::u16string_view::npos) {
      out += text.substr(start);
      return;
    }
    out += text.substr(start, end + 2 - start);
    out += u"]]><![CDATA[";
    start = end + 2;
  }
}

}  // namespace

void XpWriteCDataNode(const TXpCDataSection* node, WideString& out, int) {
  const Settings settings(node);
  const std::u16string_view value = node->NodeValue();
  WideString content;
  if (settings.NeedsLineBreakReplace()) {
    content.reserve(value.size() + value.size() / 4);
    for (std::size_t i = 0; i < value.size();) {
      if (value[i] == u'\r' || value[i] == u'\n')
        WriteLineBreak(settings, value, content, i);
      else
        content += value[i++];
    }
  } else {
    content = value;
  }
  const bool marked = settings.document && !settings.actualCDATA;
  if (marked) out += u"<![CDATA[";
  AppendCDataContent(out, content, marked);
  if (marked) out += u"]]>";
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
      if (settings.actualCDATA) {
        out += node->NodeValue();
      } else {
        out += u"<![CDATA[";
        AppendCDataContent(out, node->NodeValue(), true);
        out += u"]]>";
      }
      break;
    case COMMENT_NODE:
      if (settings.formatted) out += u"\r\n";
      out += u"<!--";
      out += node->NodeValue();
      out += u"-->";
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
