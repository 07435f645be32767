#include "lib/verAziruzi/XpInet.h"

#include <stdexcept>

#include "lib/verAziruzi/XpExcept.h"
#include "platform/LocalFiles.h"

namespace {

// Scheme prefixes are compared without regard to the case of ASCII letters.
bool StartsWithNoCase(const WideString& text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

WideString BackslashesToSlashes(WideString text) {
  for (char16_t& c : text)
    if (c == u'\\') c = u'/';
  return text;
}

// The host part (with any ":port") of an internet folder such as "H:8080/dir/".
WideString HostOf(const WideString& internetDir) { return internetDir.substr(0, internetDir.find(u'/')); }

// Splits at the last '/': the folder keeps the '/', the name is the rest. Without
// one the folder is empty and the name is everything.
void SplitAtLastSlash(const WideString& source, WideString& dir, WideString& file) {
  const std::size_t slash = source.rfind(u'/');
  if (slash == WideString::npos) {
    dir.clear();
    file = source;
  } else {
    dir = source.substr(0, slash + 1);
    file = source.substr(slash + 1);
  }
}

}  // namespace

std::unique_ptr<TXpDirContext> TXpDirContext::Make(const TXpBaseDirContext* currentContext,
                                                   const WideString& sourceName) {
  auto context = std::make_unique<TXpDirContext>();
  if (sourceName.empty()) return context;

  // An absolute address names its host itself; the naming document has no say.
  if (StartsWithNoCase(sourceName, u"http://")) {
    context->fContextType = xpdcHTTP;
    context->SplitSource(nullptr, sourceName.substr(7));
    return context;
  }
  if (StartsWithNoCase(sourceName, u"ftp://")) {
    context->fContextType = xpdcFTP;
    context->SplitSource(nullptr, sourceName.substr(6));
    return context;
  }

  const WideString s = StartsWithNoCase(sourceName, u"file://") ? sourceName.substr(7) : sourceName;
  const bool internetBase = currentContext && currentContext->ContextType() != xpdcLocal;
  const TXpDirContextType baseType = internetBase ? currentContext->ContextType() : xpdcLocal;

  if (!s.empty() && s[0] == u'/') {
    context->fContextType = baseType;
    context->SplitSource(currentContext, s);
    // A root-relative name stays on the naming document's host.
    if (internetBase) context->fDir = HostOf(currentContext->Dir()) + context->fDir;
  } else if (!s.empty() && (s[0] == u'.' || s.find(u'/') != WideString::npos)) {
    context->fContextType = internetBase ? xpdcInetRelative : xpdcLocalRelative;
    context->SplitSource(currentContext, s);
    context->fContextType = baseType;
  } else if (internetBase && XpIsRelativeLocalPath(s)) {
    // Only '\' separates here: on an internet base it means '/'.
    context->fContextType = xpdcInetRelative;
    context->SplitSource(currentContext, BackslashesToSlashes(s));
    context->fContextType = baseType;
  } else if (internetBase && s.size() >= 2 && s[1] == u':') {
    throw EXpException(XpFormatMessage(xpmMixedLocalInternetPath, {XpQuotedText(s), currentContext->Dir()}));
  } else if (internetBase) {
    context->fContextType = baseType;
    WideString path = BackslashesToSlashes(s);
    context->SplitSource(currentContext, path);
    if (!path.empty() && path[0] == u'/') context->fDir = HostOf(currentContext->Dir()) + context->fDir;
  } else {
    // A plain local name: '\' and ':' belong to the file name on this system.
    context->fContextType = xpdcLocal;
    context->SplitSource(currentContext, s);
  }
  return context;
}

void TXpDirContext::SplitSource(const TXpBaseDirContext* base, const WideString& source) {
  SplitAtLastSlash(source, fDir, fFile);
  switch (fContextType) {
    case xpdcLocal:
    case xpdcHTTP:
    case xpdcFTP:
      // A bare name lives in the naming document's folder.
      if (fDir.empty() && base) fDir = base->Dir();
      break;
    case xpdcInetRelative:
      if (base) fDir = base->Dir() + fDir;
      break;
    case xpdcLocalRelative:
      if (base) fDir = base->Dir() + fDir;
      else fDir = XpUtf8ToWide(localfiles::AbsoluteFolder(XpWideToUtf8(fDir)));
      break;
  }
}

WideString XpMakeTempFileName() {
  try {
    return XpUtf8ToWide(localfiles::CreateTempFile("VER"));
  } catch (const std::runtime_error& e) {
    throw EInOutError(XpUtf8ToWide(e.what()));
  }
}
