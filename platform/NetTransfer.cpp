#include "platform/NetTransfer.h"

#include <curl/curl.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>

namespace nettransfer {

namespace {

// A dead or silent server must never hang a load.
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kLowSpeedBytesPerSecond = 1;
constexpr long kLowSpeedSeconds = 60;
constexpr long kMaxRedirects = 10;

// The one table from the network library's results to the steps of a transfer.
// Anything not listed broke the transfer under way.
struct CodeStep {
  CURLcode code;
  TStep step;
};
constexpr CodeStep kCodeSteps[] = {
    {CURLE_OK, TStep::kNone},
    {CURLE_FAILED_INIT, TStep::kSession},
    {CURLE_OUT_OF_MEMORY, TStep::kSession},
    {CURLE_COULDNT_RESOLVE_PROXY, TStep::kConnect},
    {CURLE_COULDNT_RESOLVE_HOST, TStep::kConnect},
    {CURLE_COULDNT_CONNECT, TStep::kConnect},
    {CURLE_LOGIN_DENIED, TStep::kConnect},
    {CURLE_WEIRD_SERVER_REPLY, TStep::kConnect},
    {CURLE_FTP_WEIRD_PASS_REPLY, TStep::kConnect},
    {CURLE_SSL_CONNECT_ERROR, TStep::kConnect},
    {CURLE_PEER_FAILED_VERIFICATION, TStep::kConnect},
    {CURLE_URL_MALFORMAT, TStep::kRequest},
    {CURLE_UNSUPPORTED_PROTOCOL, TStep::kRequest},
    {CURLE_TOO_MANY_REDIRECTS, TStep::kRequest},
    {CURLE_SEND_ERROR, TStep::kSend},
    {CURLE_HTTP_RETURNED_ERROR, TStep::kStatus},
    {CURLE_REMOTE_ACCESS_DENIED, TStep::kDirectory},
    {CURLE_REMOTE_FILE_NOT_FOUND, TStep::kRemoteFile},
    {CURLE_FTP_COULDNT_RETR_FILE, TStep::kRemoteFile},
    {CURLE_UPLOAD_FAILED, TStep::kRemoteFile},
    {CURLE_READ_ERROR, TStep::kRemoteFile},
    {CURLE_FTP_COULDNT_SET_TYPE, TStep::kRemoteFile},
    {CURLE_FTP_WEIRD_PASV_REPLY, TStep::kRemoteFile},
    {CURLE_FTP_WEIRD_227_FORMAT, TStep::kRemoteFile},
    {CURLE_FTP_CANT_GET_HOST, TStep::kRemoteFile},
    {CURLE_FTP_PORT_FAILED, TStep::kRemoteFile},
    {CURLE_PARTIAL_FILE, TStep::kBody},
    {CURLE_RECV_ERROR, TStep::kBody},
    {CURLE_GOT_NOTHING, TStep::kBody},
    {CURLE_OPERATION_TIMEDOUT, TStep::kBody},
    {CURLE_WRITE_ERROR, TStep::kBody},
};

TStep StepOf(CURLcode code) {
  for (const CodeStep& entry : kCodeSteps)
    if (entry.code == code) return entry.step;
  return TStep::kBody;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

// Address text for a path: '%' escapes and the reserved characters stay,
// blanks, controls, non-ASCII bytes and what an address cannot hold are escaped.
std::string EscapeAddressText(const std::string& text, bool keepQuery) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    const bool unsafe = c <= 0x20 || c >= 0x7F || std::string_view("\"<>\\^`{|}#").find(static_cast<char>(c)) !=
                                                      std::string_view::npos ||
                        (c == '?' && !keepQuery);
    if (unsafe) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A host is a name or address with an optional port; anything else (a user
// part, a path) would make the address mean something else.
bool IsHostText(const std::string& host) {
  if (host.empty()) return false;
  for (const unsigned char c : host) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
    if (!ok) return false;
  }
  return true;
}

std::string FtpAddress(const std::string& host, const std::string& folder, const std::string& file) {
  std::string path = "/";
  if (!folder.empty()) {
    // A leading "%2F" makes the folder absolute rather than relative to the login.
    path += folder[0] == '/' ? "%2F" + EscapeAddressText(folder.substr(1), false) : EscapeAddressText(folder, false);
    if (path.back() != '/') path += '/';
  }
  return "ftp://" + host + path + EscapeAddressText(file, false);
}

struct BodyContext {
  const TSink* sink;
  std::exception_ptr error;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* context = static_cast<BodyContext*>(user);
  try {
    (*context->sink)(data, size * count);
    return size * count;
  } catch (...) {
    // Exceptions must not cross the C library: keep it for after the transfer.
    context->error = std::current_exception();
    return 0;
  }
}

Easy NewTransfer(const std::string& address, const char* protocols, const TSettings& settings, bool credentials,
                 char* errorText) {
  GlobalInit();
  Easy easy(curl_easy_init());
  if (!easy) return easy;
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(h, CURLOPT_URL, address.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, protocols);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
  curl_easy_setopt(h, CURLOPT_USERAGENT, settings.agent.c_str());
  if (credentials) {
    curl_easy_setopt(h, CURLOPT_USERNAME, settings.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, settings.password.c_str());
  }
  return easy;
}

TResult Perform(CURL* h, const char* errorText, const std::exception_ptr* sinkError) {
  const CURLcode code = curl_easy_perform(h);
  if (sinkError && *sinkError) std::rethrow_exception(*sinkError);
  TResult result;
  result.failedAt = StepOf(code);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
  curl_off_t connectTime = 0;
  curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connectTime);
  // A time-out or a broken line before any connection stood is a failure to connect.
  if (result.failedAt == TStep::kBody && connectTime == 0) result.failedAt = TStep::kConnect;
  if (code != CURLE_OK) result.reason = errorText[0] ? errorText : curl_easy_strerror(code);
  return result;
}

TResult Failure(TStep step, std::string reason) {
  TResult result;
  result.failedAt = step;
  result.reason = std::move(reason);
  return result;
}

TResult Get(const std::string& address, const char* protocols, const TSettings& settings, bool credentials,
            const TSink& sink, bool http) {
  char errorText[CURL_ERROR_SIZE] = {};
  Easy easy = NewTransfer(address, protocols, settings, credentials, errorText);
  if (!easy) return Failure(TStep::kSession, "cannot set up a transfer");
  CURL* h = easy.get();
  BodyContext body{&sink, nullptr};
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
  if (http) {
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  }
  return Perform(h, errorText, &body.error);
}

}  // namespace

TResult HttpGet(const std::string& host, const std::string& path, const TSettings& settings, const TSink& sink) {
  if (!IsHostText(host)) return Failure(TStep::kConnect, "not a host: " + host);
  return Get("http://" + host + EscapeAddressText(path, true), "http,https", settings, settings.sendCredentials,
             sink, true);
}

TResult FtpGet(const std::string& host, const std::string& folder, const std::string& file,
               const TSettings& settings, const TSink& sink) {
  if (!IsHostText(host)) return Failure(TStep::kConnect, "not a host: " + host);
  // An address ending in '/' would list the folder instead.
  if (file.empty()) return Failure(TStep::kRemoteFile, "no file name");
  return Get(FtpAddress(host, folder, file), "ftp", settings, true, sink, false);
}

TResult FtpPut(const std::string& host, const std::string& folder, const std::string& file,
               const std::string& localFile, const TSettings& settings) {
  if (!IsHostText(host)) return Failure(TStep::kConnect, "not a host: " + host);
  if (file.empty()) return Failure(TStep::kRemoteFile, "no file name");
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> local(std::fopen(localFile.c_str(), "rbe"));
  if (!local) return Failure(TStep::kRemoteFile, "cannot read " + localFile);
  std::fseek(local.get(), 0, SEEK_END);
  const long size = std::ftell(local.get());
  std::fseek(local.get(), 0, SEEK_SET);

  char errorText[CURL_ERROR_SIZE] = {};
  Easy easy = NewTransfer(FtpAddress(host, folder, file), "ftp", settings, true, errorText);
  if (!easy) return Failure(TStep::kSession, "cannot set up a transfer");
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_READDATA, local.get());
  if (size >= 0) curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  return Perform(h, errorText, nullptr);
}

}  // namespace nettransfer
