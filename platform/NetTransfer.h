#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Single http and ftp transfers, each on a connection of its own that is closed
// when it ends. The only place of the program that speaks to the network
// library. Proxies come from the environment, as for every other tool.
namespace nettransfer {

// Where a transfer stopped, in the order of its steps.
enum class TStep {
  kNone,        // it succeeded
  kSession,     // no transfer could be set up
  kConnect,     // the host was not reached, or refused the login
  kRequest,     // the address could not be asked for
  kSend,        // the request could not be sent
  kStatus,      // the server answered with a status from 400 up
  kDirectory,   // the ftp folder could not be entered
  kRemoteFile,  // the ftp file could not be read or written
  kBody,        // the connection broke or stalled during the transfer
};

struct TSettings {
  std::string agent;
  std::string user;
  std::string password;
  // For http: whether user and password are offered; ftp always logs in with them.
  bool sendCredentials = false;
};

struct TResult {
  TStep failedAt = TStep::kNone;
  long status = 0;     // the final http status, 0 without one
  std::string reason;  // the network library's words, for diagnostics
  bool Succeeded() const { return failedAt == TStep::kNone; }
};

// Receives the body block by block. An exception thrown here stops the transfer
// and leaves the Get call once its connection is closed.
using TSink = std::function<void(const void* data, std::size_t size)>;

// `host` is a name or address with an optional ":port". Paths are address text:
// '%' escapes are kept, characters an address cannot hold are escaped.

// An HTTP/1.0 GET of http://host<path> (path starting with '/'), following
// redirects to http and https. A final status from 400 up stops before the body.
TResult HttpGet(const std::string& host, const std::string& path, const TSettings& settings, const TSink& sink);

// Fetches `file` (binary) from `folder` of an ftp server: "" for the login
// folder, a name relative to it, or an absolute name starting with '/'.
TResult FtpGet(const std::string& host, const std::string& folder, const std::string& file,
               const TSettings& settings, const TSink& sink);

// Stores the local file `localFile` as `file` in `folder` (as for FtpGet),
// binary. Nothing is sent when the folder cannot be entered.
TResult FtpPut(const std::string& host, const std::string& folder, const std::string& file,
               const std::string& localFile, const TSettings& settings);

}  // namespace nettransfer
