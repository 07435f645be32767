#pragma once

// The inputs the parser reads from: a document, an external subset or entity
// (bytes decoded from a stream), or the replacement text of an internal entity.
// Each delivers UTF-16 units with one unit of look-ahead, a look-ahead match
// that leaves nothing consumed when it fails, and the line and column of the
// next unit. Line ends arrive as a single LF; the code 1 marks the end of input.
// Decoded units are kept in a window, so the grammar can scan runs of text
// without a call per character.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "lib/verAziruzi/XpBase.h"
#include "lib/verAziruzi/XpExcept.h"

inline constexpr char16_t kXpEndOfInput = 1;

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
  // Appends units to `out` up to one that `isStop` accepts or the end.
  template <class TStop>
  void ScanUntil(WideString& out, TStop isStop) {
    for (;;) {
      if (fPos >= fBuf.size() && !Available(1)) return;
      std::size_t start = fPos;
      while (fPos < fBuf.size() && !isStop(fBuf[fPos])) Advance(fBuf[fPos++]);
      out.append(fBuf, start, fPos - start);
      if (fPos < fBuf.size()) return;
    }
  }

  int Line() const { return fLine; }
  int LinePos() const { return fLinePos; }
  // The address of the source: directory and file name; empty for memory,
  // streams and entity texts.
  WideString URL() const { return Dir + Filename; }
  virtual TXpCharEncoding Format() const { return ceUTF16LE; }
  // Takes effect for the bytes that follow the consumed units; ignored once
  // the input is UTF-16.
  virtual void SetFormat(TXpCharEncoding) {}

  WideString Dir;           // ends with '/' when not empty
  WideString Filename;
  WideString EntityName;    // exact name of the entity this input expands, or empty
  bool IsRemote = false;    // Dir names a host and path (http/ftp) rather than a folder

protected:
  // Makes at least `count` units available from fPos when the source still has
  // them; answers whether it did. Raises a pending decoding error when the
  // units before it are used up.
  virtual bool Available(std::size_t count) = 0;

  void Advance(char16_t c) {
    if (c == 10) {
      ++fLine;
      fLinePos = 1;
    } else {
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
  TXpTextInput(const WideString& text, const WideString& entityName);

protected:
  bool Available(std::size_t count) override;

private:
  std::optional<EXpFilterError> fError;  // met at the end of fBuf
};

// Bytes from a stream: UTF-8 (the default, a byte-order mark skipped), UTF-16
// with a byte-order mark, or ISO-8859-1 once the declaration names it.
class TXpStreamInput : public TXpParserInput {
public:
  // Reads from the stream's current position; owns it when `owned` is given.
  TXpStreamInput(TXpStream& stream, std::unique_ptr<TXpStream> owned, int bufferSize);

  TXpCharEncoding Format() const override { return fFormat; }
  void SetFormat(TXpCharEncoding format) override;

protected:
  bool Available(std::size_t count) override;

private:
  bool NextByte(std::uint8_t& b);
  // One code, or nothing at the end of the bytes; raises filter errors.
  bool DecodeOne(TXpUcs4Char& code);
  [[noreturn]] void Bad(int message);

  TXpStream& fStream;
  std::unique_ptr<TXpStream> fOwned;
  TXpCharEncoding fFormat = ceUTF8;
  std::vector<std::uint8_t> fBytes;
  std::size_t fBytePos = 0;       // next byte in fBytes
  std::int64_t fBytesStart = 0;   // stream position of fBytes[0]
  std::vector<std::int64_t> fOffsets;  // stream position of each unit in fBuf
  std::optional<EXpFilterError> fError;
  std::int64_t fErrorOffset = 0;
  bool fPendingCR = false;
};
