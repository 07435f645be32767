#pragma once

// Hooks every event of a parser and writes one line per event, so a test can
// compare a document's whole event sequence with a short expected list.

#include <string>
#include <vector>

#include "lib/verAziruzi/XpParser.h"

class TXpParserRecorder {
public:
  explicit TXpParserRecorder(TXpParser& parser) {
    auto S = [](const WideString& w) { return XpWideToUtf8(w); };
    auto N = [](int n) { return XpWideToUtf8(XpFormat(u"%d", {n})); };
    parser.OnStartElement = [this, S](TXpComponent*, const WideString& v) { Add("Start " + S(v)); };
    parser.OnEndElement = [this, S](TXpComponent*, const WideString& v) { Add("End " + S(v)); };
    parser.OnAttribute = [this, S](TXpComponent*, const WideString& n, const WideString& v, bool specified) {
      Add("Attr " + S(n) + "=[" + S(v) + "]" + (specified ? "" : " default"));
    };
    parser.OnCharData = [this, S](TXpComponent*, const WideString& v) { Add("Text [" + S(v) + "]"); };
    parser.OnCDATASection = [this, S](TXpComponent*, const WideString& v) { Add("CDATA [" + S(v) + "]"); };
    parser.OnIgnorableWhitespace = [this, N](TXpComponent*, const WideString& v) {
      Add("Whitespace " + N(static_cast<int>(v.size())));
    };
    parser.OnComment = [this, S](TXpComponent*, const WideString& v) { Add("Comment [" + S(v) + "]"); };
    parser.OnProcessingInstruction = [this, S](TXpComponent*, const WideString& n, const WideString& v) {
      Add("PI " + S(n) + " [" + S(v) + "]");
    };
    parser.OnPreserveSpace = [this, S](TXpComponent*, const WideString& n, bool& preserve) {
      if (preserve) Add("Preserve " + S(n));
    };
    parser.OnNonXMLEntity = [this, S](TXpComponent*, const WideString& n, const WideString& p, const WideString& s,
                                      const WideString& no) {
      Add("NonXML " + S(n) + " [" + S(p) + "] [" + S(s) + "] " + S(no));
    };
    parser.OnDTDStart = [this, S](TXpComponent*, const WideString& d, const WideString& p, const WideString& s) {
      Add("DTDStart " + S(d) + " [" + S(p) + "] [" + S(s) + "]");
    };
    parser.OnDTDEnd = [this](TXpComponent*) { Add("DTDEnd"); };
    parser.OnDocTypeDecl = [this, S](TXpComponent*, const WideString& d, const WideString& p, const WideString& s) {
      Add("DocType " + S(d) + " [" + S(p) + "] [" + S(s) + "]");
    };
    parser.OnDTDExternalStart = [this, S](TXpComponent*, WideString& f) { Add("ExternalStart " + S(f)); };
    parser.OnDTDExternalLoaded = [this](TXpComponent*) { Add("ExternalLoaded"); };
    parser.OnDTDExternalEnd = [this](TXpComponent*) { Add("ExternalEnd"); };
    parser.OnDTDElementStart = [this, S, N](TXpComponent*, const WideString& n, int t) {
      Add("ElementStart(" + S(n) + ", " + N(t) + ")");
    };
    parser.OnDTDElementGroupStart = [this](TXpComponent*) { Add("GroupStart"); };
    parser.OnDTDElementContent = [this, S, N](TXpComponent*, const WideString& n, int o, int r) {
      Add("Content(" + S(n) + ", " + N(o) + ", " + N(r) + ")");
    };
    parser.OnDTDElementGroupEnd = [this, N](TXpComponent*, int o, int r) {
      Add("GroupEnd(" + N(o) + ", " + N(r) + ")");
    };
    parser.OnDTDElementEnd = [this, S](TXpComponent*, const WideString& n) { Add("ElementEnd(" + S(n) + ")"); };
    parser.OnDTDAttlistStart = [this, S](TXpComponent*, const WideString& n) { Add("AttlistStart " + S(n)); };
    parser.OnDTDAttDefinition = [this, S, N](TXpComponent*, const WideString& n, int t,
                                             const std::vector<WideString>& e, int k, const WideString& v) {
      std::string line = "AttDef " + S(n) + " " + N(t) + " " + N(k) + " [" + S(v) + "]";
      for (const WideString& token : e) line += " " + S(token);
      Add(line);
    };
    parser.OnDTDAttlistEnd = [this](TXpComponent*) { Add("AttlistEnd"); };
    parser.OnDTDEntityInternal = [this, S](TXpComponent*, bool pe, const WideString& n, const WideString& v) {
      Add(std::string("EntityInternal ") + (pe ? "%" : "") + S(n) + " [" + S(v) + "]");
    };
    parser.OnDTDEntityExternal = [this, S](TXpComponent*, bool pe, const WideString& n, const WideString& p,
                                           const WideString& s, const WideString& no) {
      Add(std::string("EntityExternal ") + (pe ? "%" : "") + S(n) + " [" + S(p) + "] [" + S(s) + "] " + S(no));
    };
    parser.OnDTDNotation = [this, S](TXpComponent*, const WideString& n, const WideString& p, const WideString& s) {
      Add("Notation " + S(n) + " [" + S(p) + "] [" + S(s) + "]");
    };
    parser.OnDTDConditionalStart = [this, N](TXpComponent*, int t) { Add("ConditionalStart " + N(t)); };
    parser.OnDTDConditionalEnd = [this](TXpComponent*) { Add("ConditionalEnd"); };
  }

  std::vector<std::string> Lines;

private:
  void Add(std::string line) { Lines.push_back(std::move(line)); }
};
