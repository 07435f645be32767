#pragma once

// The inputs the parser reads from: a document, an external subset or entity
// (bytes decoded from a stream), or the replacement text of an internal entity.
// Each delivers UTF-16 units with one unit of look-ahead, a look-ahead match
// that leaves nothing consumed when it fails, and the line and column of the
// next unit. Line ends arrive as a single LF; the code 1 marks the end of input.
// Decoded units are kept in a window, so the grammar can scan runs of text
// without a call per character.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "lib/verAziruzi/XpBase.h"
#include "lib/verAziruzi/XpChrFlt.h"
#include "lib/verAziruzi/XpExcept.h"
#include "lib/verAziruzi/XpInet.h"

inline constexpr char16_t kXpEndOfInput = 1;

// The one bound on the text entities add to a parse, shared by the parser and
// the inputs that read external entities.
struct TXpExpansionBudget {
  std::int64_t Used = 0;
  std::int64_t Bound = 0;
  bool Exceeded() const { return Used > Bound; }
};

class TXpParserInput {
public:
  TXpParserInput() = default;
  TXpParserInput(const TXpParserInput&) = delete;
  TXpParserInput& operator=(const TXpParserInput&) = delete;
  virtual ~TXpParserInput() = default;

  // Peek: the next unit without consuming it; kXpEndOfInput at the end.
  char16_t ReadChar() {
    if (fPos < fBuf.size()) return fBuf[fPos];
    return Available(1) ? fBuf[fPos] : kXpEndOfInput;
  }
  // Consumes the peeked unit.
  void SkipChar() {
    if (fPos < fBuf.size() || Available(1)) Advance(fBuf[fPos++]);
  }
  char16_t ReadAndSkipChar() {
    char16_t c = ReadChar();
    if (c != kXpEndOfInput) SkipChar();
    return c;
  }
  // Consumes `text` when the next units equal it; otherwise consumes nothing.
  bool TryRead(std::u16string_view text);
  bool isEOF() { return ReadChar() == kXpEndOfInput; }

  // Appends units to `out` up to '<', '&' or the end of this input, and answers
  // whether the appended run holds "]]>".
  bool ScanCharData(WideString& out);
  // Appends units to `out` up to one that `isStop` accepts or the end, or once
  // `out` holds more than `limit` units.
  template <class TStop>
  void ScanUntil(WideString& out, TStop isStop, std::size_t limit = WideString::npos) {
    for (;;) {
      if (out.size() > limit || (fPos >= fBuf.size() && !Available(1))) return;
      std::size_t start = fPos;
      while (fPos < fBuf.size() && !isStop(fBuf[fPos])) Advance(fBuf[fPos++]);
      out.append(fBuf, start, fPos - start);
      if (fPos < fBuf.size()) return;
    }
  }

  // Appends the run of ASCII units from the scan position that `classes` marks
  // with `take` when one it marks with `stop` ends it inside the window, and
  // answers true; answers false, nothing consumed, for any other run. The run
  // holds no line end, so only the column moves.
  bool ScanAsciiRun(WideString& out, const std::array<std::uint8_t, 128>& classes, std::uint8_t take,
                    std::uint8_t stop) {
    const char16_t* units = fBuf.data();
    const std::size_t size = fBuf.size();
    std::size_t end = fPos;
    for (; end < size; ++end) {
      const char16_t c = units[end];
      if (c >= 128) return false;
      const std::uint8_t cls = classes[c];
      if (cls & stop) break;
      if (!(cls & take)) return false;
    }
    if (end == size) return false;
    out.append(units + fPos, end - fPos);
    fLinePos += static_cast<int>(end - fPos);
    fPos = end;
    return true;
  }

  int Line() const { return fLine; }
  int LinePos() const { return fLinePos; }
  // The address of the source; empty for memory, streams and entity texts.
  virtual WideString URL() const { return {}; }
  // Where the source lies, the base of the names it holds; null for memory,
  // streams and entity texts.
  virtual const TXpBaseDirContext* DirContext() const { return nullptr; }
  virtual TXpCharEncoding Format() const { return ceUTF16LE; }
  // Takes effect for the bytes that follow the consumed units; ignored once
  // the input is UTF-16.
  virtual void SetFormat(TXpCharEncoding) {}
  // No encoding declaration can follow any more: the input may decode ahead.
  virtual void Settle() {}
  // Every unit decoded from a source from here on counts against `budget`;
  // past its bound reading fails with an error at the position reached.
  virtual void SetBudget(TXpExpansionBudget*) {}

  WideString EntityName;  // exact name of the entity this input expands, or empty
  // Tells this input from any other of the same parse, also one that takes its
  // place in memory; 0 until the parser needs to tell it.
  std::uint64_t Serial = 0;

protected:
  // Makes at least `count` units available from fPos when the source still has
  // them; answers whether it did. Raises a pending decoding error when the
  // units before it are used up.
  virtual bool Available(std::size_t count) = 0;

  // A surrogate pair takes one column.
  void Advance(char16_t c) {
    if (c == 10) {
      ++fLine;
      fLinePos = 1;
    } else if (c < 0xDC00 || c > 0xDFFF) {
      ++fLinePos;
    }
  }

  WideString fBuf;  // decoded units; fPos is the next one
  std::size_t fPos = 0;

private:
  int fLine = 1;
  int fLinePos = 1;
  int fBracketRun = 0;  // ']' units just before the scan position, for "]]>"
};

// The replacement text of an internal entity, read like a document: line ends
// folded and characters outside XML 1.0 refused.
class TXpTextInput : public TXpParserInput {
public:
  // Line ends are normalised unless bKeepCR: an attribute value makes a space
  // of each CR and LF that replacement text holds, as it stands.
  TXpTextInput(const WideString& text, const WideString& entityName, bool bKeepCR = false);

protected:
  bool Available(std::size_t count) override;

private:
  std::optional<EXpFilterError> fError;  // met at the end of fBuf
};

// A document, external subset or external entity, read through the input
// character filter. Units are taken from the filter one at a time until the
// input is settled (no encoding declaration can follow any more), then in runs.
class TXpFilterInput : public TXpParserInput {
public:
  explicit TXpFilterInput(std::unique_ptr<TXpInCharFilter> filter) : fFilter(std::move(filter)) {}

  WideString URL() const override { return fFilter->URL(); }
  const TXpBaseDirContext* DirContext() const override { return fFilter->DirContext(); }
  TXpCharEncoding Format() const override { return XpStreamFormatToEncoding(fFilter->Format()); }
  void SetFormat(TXpCharEncoding format) override;
  void Settle() override { fSettled = true; }
  void SetBudget(TXpExpansionBudget* budget) override { fBudget = budget; }

protected:
  bool Available(std::size_t count) override;

private:
  std::unique_ptr<TXpInCharFilter> fFilter;
  std::optional<EXpFilterError> fError;  // met after the units in fBuf
  bool fSettled = false;
  TXpExpansionBudget* fBudget = nullptr;
};
