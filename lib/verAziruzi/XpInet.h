#pragma once

// Where a document comes from: directory contexts that resolve a source name
// against the document that names it, and the transfers that fetch http and ftp
// documents into temporary files or upload a saved one by ftp.
//
// Local names are POSIX paths: '/' is the only separator, '\' and ':' are
// ordinary characters of a file name.

#include <memory>
#include <vector>

#include "lib/verAziruzi/XpBase.h"

enum TXpDirContextType {
  xpdcLocal,
  xpdcHTTP,
  xpdcFTP,
  xpdcInetRelative,   // only while a name is being resolved
  xpdcLocalRelative,  // only while a name is being resolved
};

// A resolved location: its kind, the folder (for http and ftp the host and
// path without the scheme, ending in '/'; for local files a folder ending in
// '/', or empty) and the file name.
class TXpBaseDirContext {
public:
  TXpBaseDirContext() = default;
  TXpBaseDirContext(const TXpBaseDirContext&) = delete;
  TXpBaseDirContext& operator=(const TXpBaseDirContext&) = delete;
  virtual ~TXpBaseDirContext() = default;

  // Splits `source` into Dir and Filename by the ContextType set at the call,
  // against `base` (may be null).
  virtual void SplitSource(const TXpBaseDirContext* base, const WideString& source) = 0;

  TXpDirContextType ContextType() const { return fContextType; }
  const WideString& Dir() const { return fDir; }
  const WideString& Filename() const { return fFile; }
  // Dir followed by Filename, nothing inserted.
  WideString URL() const { return fDir + fFile; }

protected:
  TXpDirContextType fContextType = xpdcLocal;
  WideString fDir;
  WideString fFile;
};

class TXpDirContext : public TXpBaseDirContext {
public:
  // The context of `sourceName` as named by the document whose context is
  // `currentContext` (null for a name of its own). Always xpdcLocal, xpdcHTTP or
  // xpdcFTP. Raises EXpException (message 65122) for a drive-style absolute path
  // named by an internet document.
  static std::unique_ptr<TXpDirContext> Make(const TXpBaseDirContext* currentContext, const WideString& sourceName);

  void SplitSource(const TXpBaseDirContext* base, const WideString& source) override;
};

// The library's list of error lines, in the order they were added.
using TXpErrorList = std::vector<WideString>;

// Fetches http://<url> (host, optionally ":port", and path) into a new temporary
// file. Answers the stream over that file, positioned at its end, or null after
// adding the failure's message to `errors`. A final status from 400 up raises
// EXpParserError (message 65197) naming `url`.
std::unique_ptr<TXpFileStream> XpHttpGetToTempFile(const WideString& url, const WideString& userId,
                                                   const WideString& password, TXpErrorList& errors);
// The same for ftp://<url>; failures add their messages only.
std::unique_ptr<TXpFileStream> XpFtpGetToTempFile(const WideString& url, const WideString& userId,
                                                  const WideString& password, TXpErrorList& errors);
// Uploads `localFile` to ftp://<url>. Answers whether it succeeded; failures add
// their messages to `errors`.
bool XpFtpPutFile(const WideString& url, const WideString& userId, const WideString& password,
                  const WideString& localFile, TXpErrorList& errors);

// The name of a new, empty temporary file of our own (prefix "VER").
WideString XpMakeTempFileName();
