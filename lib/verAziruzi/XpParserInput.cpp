#include "lib/verAziruzi/XpParserInput.h"

#include <algorithm>
#include <array>

namespace {

// A unit that may stand in a document: XML 1.0's Char for the BMP; surrogate
// units are checked as pairs by the decoders.
bool IsXmlUnit(char16_t c) {
  if (c >= 0x20) return c <= 0xFFFD;
  return c == 9 || c == 10 || c == 13;
}

constexpr std::size_t kWindow = 4096;  // units decoded ahead

}  // namespace

bool TXpParserInput::TryRead(std::u16string_view text) {
  // Unit by unit, so that no more is decoded than the comparison needs.
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((fBuf.size() - fPos <= i && !Available(i + 1)) || fBuf[fPos + i] != text[i]) return false;
  for (char16_t c : text) Advance(c);
  fPos += text.size();
  return true;
}

bool TXpParserInput::ScanCharData(WideString& out) {
  // The ASCII units that need a look: the ends of the run, the parts of "]]>"
  // and the line end.
  static constexpr auto kNotable = [] {
    std::array<bool, 128> t{};
    for (char16_t c : std::u16string_view(u"<&]>\n")) t[c] = true;
    return t;
  }();
  bool cdataEnd = false;
  fBracketRun = 0;
  for (;;) {
    if (fPos >= fBuf.size() && !Available(1)) return cdataEnd;
    const char16_t* const units = fBuf.data();
    const std::size_t size = fBuf.size();
    const std::size_t start = fPos;
    std::size_t pos = start;
    for (; pos < size; ++pos) {
      const char16_t c = units[pos];
      if (c < 128 ? !kNotable[c] : (c < 0xDC00 || c > 0xDFFF)) {
        ++fLinePos;
        fBracketRun = 0;
        continue;
      }
      if (c == u'<' || c == u'&') break;
      if (c == u']') {
        ++fBracketRun;
      } else {
        if (c == u'>' && fBracketRun >= 2) cdataEnd = true;
        fBracketRun = 0;
      }
      Advance(c);
    }
    fPos = pos;
    out.append(units + start, pos - start);
    if (fPos < size) return cdataEnd;
  }
}

// ---------------------------------------------------------------------------

TXpTextInput::TXpTextInput(const WideString& text, const WideString& entityName, bool bKeepCR) {
  EntityName = entityName;
  fBuf.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    // Runs of plain units are taken whole.
    std::size_t run = i;
    while (run < text.size() && (bKeepCR || text[run] != 13) && IsXmlUnit(text[run]) && !XpIsSurrogateUnit(text[run]))
      ++run;
    fBuf.append(text, i, run - i);
    i = run;
    if (i == text.size()) break;
    char16_t c = text[i];
    if (c == 13) {
      if (i + 1 < text.size() && text[i + 1] == 10) ++i;
      fBuf.push_back(10);
      ++i;
      continue;
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      fBuf.append(text, i, 2);
      i += 2;
      continue;
    }
    // Reported when reading reaches it; the line and column are filled then.
    fError.emplace(0, 0, 0, XpFormatMessage(xpmInvalidXmlChar));
    break;
  }
}

bool TXpTextInput::Available(std::size_t count) {
  if (fBuf.size() - fPos >= count) return true;
  if (fError && fPos >= fBuf.size()) {
    EXpFilterError error(0, Line(), LinePos(), fError->Reason());
    fError.reset();
    throw error;
  }
  return false;
}

// ---------------------------------------------------------------------------

void TXpFilterInput::SetFormat(TXpCharEncoding format) { fFilter->SetFormat(XpEncodingToStreamFormat(format)); }

bool TXpFilterInput::Available(std::size_t count) {
  if (fBuf.size() - fPos >= count) return true;
  if (fPos > 0) {
    fBuf.erase(0, fPos);
    fPos = 0;
  }
  const std::size_t target = fSettled ? std::max(count, kWindow) : count;
  const std::size_t held = fBuf.size();
  try {
    if (!fError && fBuf.size() < target) {
      // The window is sized once, for a window or what is left of the input,
      // rather than grown from a few units by doubling.
      const auto window = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(kWindow), fFilter->BytesLeft() + 2));
      fBuf.reserve(std::max(target, window));
      fFilter->ReadUnits(fBuf, target - fBuf.size());
    }
  } catch (const EXpFilterError& error) {
    fError.emplace(error);  // raised when reading reaches it
  }
  if (fBudget) {
    fBudget->Used += static_cast<std::int64_t>(fBuf.size() - held);
    if (fBudget->Exceeded())
      throw EXpParserError(Line(), LinePos(), URL(), u"Entity expansion limit exceeded at: " + EntityName);
  }
  if (fBuf.size() >= count) return true;
  if (fError && fBuf.empty()) {
    EXpFilterError error = *fError;
    fError.reset();
    throw error;
  }
  return false;
}
