#pragma once

// The character filters between byte streams and the library's characters: the
// input filter decodes a document for the parser, the output filter encodes the
// serialised text of a saved document.

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/verAziruzi/XpBase.h"
#include "lib/verAziruzi/XpInet.h"

enum TXpStreamFormat { sfUTF8, sfUTF16LE, sfUTF16BE, sfISO88591 };

TXpStreamFormat XpEncodingToStreamFormat(TXpCharEncoding encoding);  // ceUnknown gives sfISO88591
TXpCharEncoding XpStreamFormatToEncoding(TXpStreamFormat format);    // anything else gives ceUnknown

// The byte buffer and the stream both filters work on. The filter frees the
// stream when it is destroyed while FreeStream is set.
class TXpBaseCharFilter {
public:
  // Every filter buffers at least this many bytes, whatever its creator asks:
  // smaller buffers cannot hold a byte-order mark and a look-ahead together.
  static constexpr int kMinBufSize = 4096;

  TXpBaseCharFilter(const TXpBaseCharFilter&) = delete;
  TXpBaseCharFilter& operator=(const TXpBaseCharFilter&) = delete;
  virtual ~TXpBaseCharFilter();

  // The size of the underlying stream.
  virtual std::int64_t GetSize();
  virtual void SetFormat(TXpStreamFormat format) = 0;

  TXpStreamFormat Format() const { return fFormat; }
  // The most bytes the buffer holds at once; a look-ahead may enlarge it.
  int BufSize() const { return fBufSize; }
  bool FreeStream() const { return fFreeStream; }
  void SetFreeStream(bool value) { fFreeStream = value; }
  TXpStream* Stream() const { return fStream; }

protected:
  // `stream` must not be null: that is reported as EAssertionFailed.
  TXpBaseCharFilter(TXpStream* stream, int bufSize, bool freeStream);

  // Makes the buffer hold at least `size` bytes, keeping its first `keep`.
  // The buffer starts empty and grows on demand, so a short document or text
  // never pays for the full size; its bytes are never cleared, only overwritten.
  void Reserve(int size, int keep);
  int Capacity() const { return fCapacity; }

  std::unique_ptr<std::uint8_t[]> fBuffer;
  int fBufSize;
  int fCapacity = 0;
  int fBufPos = 0;
  TXpStreamFormat fFormat = sfUTF8;
  bool fFreeStream;
  TXpStream* fStream;
  std::int64_t fStreamPos = 0;   // the stream's position after the last transfer
  std::int64_t fStreamSize = 0;  // taken once at creation
};

// Decodes a document: byte-order-mark detection, UTF-8, UTF-16 (both byte
// orders) or ISO-8859-1, every line end folded to LF, characters outside XML's
// Char rejected, lines and columns counted, one character of look-ahead and a
// look-ahead match that can be rolled back.
//
// Characters are delivered as UTF-16 units; one above U+FFFF as its surrogate
// pair (high unit, then low unit), which counts as one column. At the end of
// input the read operations answer kEndOfInput and isEOF is True.
class TXpInCharFilter : public TXpBaseCharFilter {
public:
  static constexpr char16_t kEndOfInput = 1;

  // Reading starts at the stream's current position; FreeStream is True.
  TXpInCharFilter(TXpStream* stream, int bufSize);
  ~TXpInCharFilter() override;

  // Once the format is UTF-16 (found by its byte-order mark) every change is
  // ignored; otherwise the new format decodes the following bytes.
  void SetFormat(TXpStreamFormat format) override;

  // The next character, not consumed; repeated peeks answer the same one.
  char16_t ReadChar();
  // Consumes the character of the last peek; nothing without one.
  void SkipChar();
  // Consumes and answers the next character.
  char16_t ReadAndSkipChar();
  // Consumes up to `count` characters as by ReadAndSkipChar and appends their
  // units to `out` (a pair may end one unit beyond). Answers False when the end
  // of input came first. An error leaves the units before it appended.
  bool ReadUnits(WideString& out, std::size_t count);
  // When the next characters (code points) equal `chars`, consumes them and
  // answers True; otherwise answers False and leaves the filter as it was.
  bool TryRead(const std::vector<TXpUcs4Char>& chars);

  bool isEOF() const { return fEOF; }
  // The bytes not yet decoded, buffered or still in the stream: never fewer
  // than the characters to come.
  std::int64_t BytesLeft() const { return fStreamSize - fStreamPos + (fBufEnd - fBufPos); }
  int Line() const { return fLine; }
  int LinePos() const { return fLinePos; }  // the column of the next character
  // The directory context's URL, empty without one.
  WideString URL() const;
  TXpBaseDirContext* DirContext() const { return fDirContext.get(); }
  void SetDirContext(std::unique_ptr<TXpBaseDirContext> context) { fDirContext = std::move(context); }

private:
  static constexpr TXpUcs4Char kNone = 0xFFFFFFFEu;  // no character waiting
  static constexpr TXpUcs4Char kEnd = 0xFFFFFFFFu;   // the end of input, inside the filter

  bool NeedBytes(int count);
  // Appends the run of plain characters that starts at the buffer position,
  // up to `room` of them: printable ASCII, tab and LF (or, in ISO-8859-1,
  // every byte from 0x20); the rest goes through DecodeChar.
  std::size_t ReadPlainRun(WideString& out, std::size_t room);
  bool NextByte(std::uint8_t& byte);
  TXpUcs4Char DecodeChar();
  TXpUcs4Char NextCodePoint();
  char16_t NextUnit(bool& counted);
  [[noreturn]] void Fail(int message) const;
  bool UsedUp() const;

  int fBufEnd = 0;
  std::unique_ptr<TXpBaseDirContext> fDirContext;
  TXpUcs4Char fWaiting = kNone;  // left behind by the folding of a CR
  char16_t fPendingLow = 0;      // second half of a delivered surrogate pair
  int fLine = 1;
  int fLinePos = 1;
  char16_t fPeeked = 0;          // the last peek, not yet consumed
  bool fPeekedCounted = false;   // whether it took a column
  bool fEOF = false;
  bool fInTryRead = false;
  int fTryStart = 0;             // byte position a running look-ahead may return to
};

// Encodes characters into a stream in one of the four formats, the format's
// signature first, through a byte buffer. Nothing is written before the first
// Flush, a full buffer or destruction; Flush raises when the stream takes less,
// the destructor flushes as a last resort and never throws.
class TXpOutCharFilter : public TXpBaseCharFilter {
public:
  // Writes at the stream's current position; FreeStream is False.
  TXpOutCharFilter(TXpStream* stream, int bufSize);
  ~TXpOutCharFilter() override;

  // Allowed only while nothing but the current format's signature has been put
  // and none of it has left the buffer (no Flush yet); then the buffer starts
  // over with the new format's signature. Otherwise ignored.
  void SetFormat(TXpStreamFormat format) override;
  bool WriteUTF8Signature() const { return fSetUTF8Sig; }
  void SetWriteUTF8Signature(bool value) { fSetUTF8Sig = value; }

  // Raises EXpStreamError (65134, 65135) for a code the format cannot hold.
  void PutUCS4Char(TXpUcs4Char ch);
  // One character from one or two UTF-16 units; False, writing nothing, when
  // they form none. bothUsed tells whether ch2 was taken.
  bool PutChar(char16_t ch1, char16_t ch2, bool& bothUsed);
  // False at the first unpaired surrogate; what stands before it is written.
  bool PutString(const WideString& text);

  // Writes the buffered bytes; EInOutError when the stream takes fewer.
  void Flush();

  // The stream's position at creation plus every byte put since.
  std::int64_t Position() const { return fStartPos + fPutCount; }
  // The stream's size with the bytes still waiting in the buffer.
  std::int64_t Size() { return GetSize(); }
  std::int64_t GetSize() override;

private:
  void PutByte(std::uint8_t byte);
  [[noreturn]] void Fail(int message);

  bool fSetUTF8Sig = true;
  std::int64_t fStartPos = 0;
  std::int64_t fPutCount = 0;
};
