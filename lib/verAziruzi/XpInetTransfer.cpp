#include <memory>

#include "lib/verAziruzi/XpExcept.h"
#include "lib/verAziruzi/XpInet.h"
#include "platform/LocalFiles.h"
#include "platform/NetTransfer.h"

// The transfers of the library. Each step of a transfer reports its own message
// into the caller's error list; the platform layer tells which step failed.
//
// Message 65195 ("Cannot open WININET, Microsoft IE required") and the text
// "Buffer too small." belong to a transfer library that is loaded at run time
// and a status query into a fixed-size answer; the network library here is
// linked in and answers the status as a number, so neither has a trigger.

namespace {

using nettransfer::TStep;

// Objects and paths longer than this are refused rather than cut, which would
// fetch another resource.
constexpr std::size_t kMaxPathLength = 2048;

const char16_t kHttpAgent[] = u"VERAziruzi";
// The agent text of ftp transfers; ftp servers never see it.
const char16_t kFtpAgent[] = u"VERAziruzi FTP";

enum class TTransfer { kHttpGet, kFtpGet, kFtpPut };

// The message of each failed step, per transfer. The status step of http raises
// instead, and a directory that cannot be entered only warns an ftp download.
struct StepMessages {
  TStep step;
  int httpGet, ftpGet, ftpPut;
};
constexpr StepMessages kStepMessages[] = {
    {TStep::kSession, xpmCannotOpenInternet, xpmCannotOpenInternet, xpmCannotOpenInternet},
    {TStep::kConnect, xpmNoInternetConnection, xpmNoInternetConnection, xpmNoInternetConnection},
    {TStep::kRequest, xpmCannotOpenHttpRequest, xpmCannotOpenFtpFile, xpmFtpSaveFailed},
    {TStep::kSend, xpmCannotSendHttpRequest, xpmCannotOpenFtpFile, xpmFtpSaveFailed},
    {TStep::kStatus, xpmHttpDataNotAvailable, xpmCannotOpenFtpFile, xpmFtpSaveFailed},
    {TStep::kDirectory, xpmCannotOpenHttpRequest, xpmInvalidFtpDirectory, xpmInvalidFtpDirectory},
    {TStep::kRemoteFile, xpmCannotOpenHttpRequest, xpmCannotOpenFtpFile, xpmFtpSaveFailed},
    // A body cut short is no document: never hand it on as one.
    {TStep::kBody, xpmHttpDataNotAvailable, xpmHttpDataNotAvailable, xpmFtpSaveFailed},
};

WideString MessageFor(TTransfer transfer, TStep step, const WideString& url) {
  for (const StepMessages& entry : kStepMessages) {
    if (entry.step != step) continue;
    const int number = transfer == TTransfer::kHttpGet ? entry.httpGet
                       : transfer == TTransfer::kFtpGet ? entry.ftpGet
                                                        : entry.ftpPut;
    return XpFormatMessage(number, {url});
  }
  return XpFormatMessage(xpmNoInternetConnection);
}

std::string U8(const WideString& text) { return XpWideToUtf8(text); }

// Host and the rest of an internet location "host/rest"; False without a '/'.
bool SplitHost(const WideString& url, WideString& host, WideString& rest) {
  const std::size_t slash = url.find(u'/');
  if (slash == WideString::npos) return false;
  host = url.substr(0, slash);
  rest = url.substr(slash + 1);
  return true;
}

// A new temporary file that receives a download; removed again unless the
// download succeeds and the stream is handed on.
class TDownload {
public:
  TDownload() : fName(XpMakeTempFileName()) {
    try {
      fStream = std::make_unique<TXpFileStream>(fmCreate | fmShareExclusive, fName);
    } catch (...) {
      localfiles::RemoveFile(U8(fName));
      throw;
    }
  }
  ~TDownload() {
    if (fStream) {
      fStream.reset();
      localfiles::RemoveFile(U8(fName));
    }
  }
  TDownload(const TDownload&) = delete;
  TDownload& operator=(const TDownload&) = delete;

  nettransfer::TSink Sink() {
    return [this](const void* data, std::size_t size) {
      fStream->WriteBuffer(data, static_cast<std::int64_t>(size));
    };
  }
  std::unique_ptr<TXpFileStream> Release() { return std::move(fStream); }

private:
  WideString fName;
  std::unique_ptr<TXpFileStream> fStream;
};

nettransfer::TSettings Settings(const char16_t* agent, const WideString& userId, const WideString& password,
                                bool sendCredentials) {
  nettransfer::TSettings settings;
  settings.agent = U8(agent);
  settings.user = U8(userId);
  settings.password = U8(password);
  settings.sendCredentials = sendCredentials;
  return settings;
}

// "a/b/c.xml" as the absolute folder "/a/b" and the file "c.xml"; no folder
// without a '/'.
void SplitFtpPath(const WideString& rest, WideString& folder, WideString& file) {
  const std::size_t slash = rest.rfind(u'/');
  if (slash == WideString::npos) {
    folder.clear();
    file = rest;
    return;
  }
  folder = u"/" + rest.substr(0, slash);
  file = rest.substr(slash + 1);
}

}  // namespace

std::unique_ptr<TXpFileStream> XpHttpGetToTempFile(const WideString& url, const WideString& userId,
                                                   const WideString& password, TXpErrorList& errors) {
  WideString host, object;
  // Without a path the server's root is meant, not a path named like the host.
  if (!SplitHost(url, host, object)) host = url;
  if (object.size() > kMaxPathLength) {
    errors.push_back(XpFormatMessage(xpmCannotOpenHttpRequest));
    return nullptr;
  }
  const bool credentials = userId != u"anonymous" && !password.empty();
  TDownload download;
  const nettransfer::TResult result =
      nettransfer::HttpGet(U8(host), "/" + U8(object), Settings(kHttpAgent, userId, password, credentials),
                           download.Sink());
  if (result.failedAt == TStep::kStatus)
    throw EXpParserError(0, 0, url, XpFormatMessage(xpmHttpDataNotAvailable));
  if (!result.Succeeded()) {
    errors.push_back(MessageFor(TTransfer::kHttpGet, result.failedAt, url));
    return nullptr;
  }
  return download.Release();
}

std::unique_ptr<TXpFileStream> XpFtpGetToTempFile(const WideString& url, const WideString& userId,
                                                  const WideString& password, TXpErrorList& errors) {
  WideString host, rest, folder, file;
  if (!SplitHost(url, host, rest) || rest.size() > kMaxPathLength) {
    errors.push_back(XpFormatMessage(xpmInvalidFtpLocation));
    return nullptr;
  }
  SplitFtpPath(rest, folder, file);
  const nettransfer::TSettings settings = Settings(kFtpAgent, userId, password, true);
  TDownload download;
  nettransfer::TResult result = nettransfer::FtpGet(U8(host), U8(folder), U8(file), settings, download.Sink());
  if (result.failedAt == TStep::kDirectory) {
    // The file may still be found where the login leaves us.
    errors.push_back(MessageFor(TTransfer::kFtpGet, result.failedAt, url));
    result = nettransfer::FtpGet(U8(host), "", U8(file), settings, download.Sink());
  }
  if (!result.Succeeded()) {
    errors.push_back(MessageFor(TTransfer::kFtpGet, result.failedAt, url));
    return nullptr;
  }
  return download.Release();
}

bool XpFtpPutFile(const WideString& url, const WideString& userId, const WideString& password,
                  const WideString& localFile, TXpErrorList& errors) {
  WideString host, rest;
  if (!SplitHost(url, host, rest) || rest.size() > kMaxPathLength) {
    errors.push_back(XpFormatMessage(xpmInvalidFtpLocation));
    return false;
  }
  // The folder stands as given, relative to the login folder unless it starts
  // with '/'.
  const std::size_t slash = rest.rfind(u'/');
  const WideString folder = slash == WideString::npos ? WideString() : rest.substr(0, slash);
  const WideString file = slash == WideString::npos ? rest : rest.substr(slash + 1);
  const nettransfer::TResult result = nettransfer::FtpPut(U8(host), U8(folder), U8(file), U8(localFile),
                                                          Settings(kFtpAgent, userId, password, true));
  // A folder that cannot be entered ends the upload: going on in the login
  // folder could overwrite a file of the same name there.
  if (!result.Succeeded()) {
    errors.push_back(MessageFor(TTransfer::kFtpPut, result.failedAt, url));
    return false;
  }
  return true;
}
