// Wide strings and growable buffers.

#include "lib/verAziruzi/XpBase.h"

#include <algorithm>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

WideString XpCopyWide(const WideString& text, int index, int count) {
  const int length = static_cast<int>(text.size());
  if (index < 1 || count < 1 || index > length) return {};
  return text.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

int XpPosWide(const WideString& sub, const WideString& text) {
  if (sub.empty()) return 0;
  const std::size_t at = text.find(sub);
  return at == WideString::npos ? 0 : static_cast<int>(at) + 1;
}

int XpLastPosWide(const WideString& sub, const WideString& text) {
  if (sub.empty()) return 0;
  const std::size_t at = text.rfind(sub);
  return at == WideString::npos ? 0 : static_cast<int>(at) + 1;
}

bool XpSameLeft(const WideString& a, const WideString& b, int count) {
  if (count < 1) return true;
  const auto n = static_cast<std::size_t>(count);
  if (a.size() < n || b.size() < n) return false;
  return a.compare(0, n, b, 0, n) == 0;
}

bool XpSameLeftText(const WideString& a, const WideString& b, int count) {
  if (count < 1) return true;
  return XpSameLeft(XpLocaleUpperCase(a), XpLocaleUpperCase(b), count);
}

WideString XpReplaceAll(const WideString& text, const WideString& oldText, const WideString& newText) {
  if (text.empty() || oldText.empty()) return text;
  std::size_t at = text.find(oldText);
  if (at == WideString::npos) return text;
  WideString out;
  std::size_t from = 0;
  while (at != WideString::npos) {
    out.append(text, from, at - from);
    out += newText;
    from = at + oldText.size();
    at = text.find(oldText, from);
  }
  out.append(text, from, WideString::npos);
  return out;
}

WideString XpLocaleUpperCase(const WideString& text) {
  WideString out(text);
  std::size_t i = 0;
  while (i < out.size()) {
    const std::size_t unitLength = (U16_IS_LEAD(out[i]) && i + 1 < out.size() && U16_IS_TRAIL(out[i + 1])) ? 2 : 1;
    if (unitLength == 1 && out[i] < 0x80) {
      // ASCII needs no library call, except for locales (Turkish) that map 'i'
      // elsewhere; those go through ICU below.
      if (out[i] != u'i') {
        if (out[i] >= u'a' && out[i] <= u'z') out[i] = static_cast<char16_t>(out[i] - u'a' + u'A');
        ++i;
        continue;
      }
    }
    UChar upper[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strToUpper(upper, 8, reinterpret_cast<const UChar*>(out.data() + i),
                                   static_cast<int32_t>(unitLength), nullptr, &status);
    if (U_SUCCESS(status) && static_cast<std::size_t>(n) == unitLength)
      std::copy(upper, upper + n, out.begin() + static_cast<std::ptrdiff_t>(i));
    i += unitLength;
  }
  return out;
}

namespace {

// A caller's Used outside 0..capacity would place the text outside the buffer.
int ClampUsed(int used, const WideString& buffer) {
  return std::clamp(used, 0, static_cast<int>(buffer.size()));
}

}  // namespace

void XpBufferAppend(const WideString& text, WideString& buffer, int& used) {
  if (text.empty()) return;
  used = ClampUsed(used, buffer);
  const int length = static_cast<int>(text.size());
  const int capacity = static_cast<int>(buffer.size());
  if (capacity < used + length) buffer.resize(static_cast<std::size_t>(2 * capacity + length));
  std::copy(text.begin(), text.end(), buffer.begin() + used);
  used += length;
}

void XpBufferInsert(const WideString& text, WideString& buffer, int position, int& used) {
  if (text.empty()) return;
  used = ClampUsed(used, buffer);
  position = std::clamp(position, 1, used + 1);
  const int length = static_cast<int>(text.size());
  const int capacity = static_cast<int>(buffer.size());
  // Trunc(1.2 x capacity), in integers so that no rounding creeps in.
  if (capacity < used + length) buffer.resize(static_cast<std::size_t>(capacity * 6 / 5 + length));
  if (used != 0 && position <= used)
    std::copy_backward(buffer.begin() + (position - 1), buffer.begin() + used, buffer.begin() + used + length);
  std::copy(text.begin(), text.end(), buffer.begin() + (position - 1));
  used += length;
}

bool XpIsRelativeLocalPath(const WideString& path) {
  if (!path.empty() && path[0] == u'.') return true;
  if (path.find(u':') != WideString::npos) return false;
  const std::size_t separator = path.find_first_of(u"\\/");
  return separator != WideString::npos && separator >= 1;
}
