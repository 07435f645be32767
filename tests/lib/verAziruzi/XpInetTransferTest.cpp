#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lib/verAziruzi/XpExcept.h"
#include "lib/verAziruzi/XpInet.h"
#include "tests/support/LoopbackServers.h"
#include "tests/support/TempFolder.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string U8(const WideString& s) { return XpWideToUtf8(s); }
WideString W(const std::string& s) { return XpUtf8ToWide(s); }

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string StreamBytes(TXpStream& stream) {
  std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  return bytes;
}

// A UTF-16 document with CR LF and every byte value: any text-mode conversion
// on the way shows.
std::string BinaryDocument() {
  std::string bytes("\xFF\xFE<\0a\0/\0>\0\r\0\n\0", 14);
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

// Which message texts the list holds, for readable failures.
std::vector<std::string> Texts(const TXpErrorList& errors) {
  std::vector<std::string> out;
  for (const WideString& e : errors) out.push_back(U8(e));
  return out;
}

std::string Text(int message, const std::string& arg = "") { return U8(XpFormatMessage(message, {W(arg)})); }

// A port of 127.0.0.1 on which nothing listens.
int ClosedPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

class XpTransfer : public ::testing::Test {
protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    hadTmpDir_ = old != nullptr;
    savedTmpDir_ = old ? old : "";
    // Downloads land here, so the test sees every temporary file left behind.
    setenv("TMPDIR", downloads_.Dir().c_str(), 1);
    WriteFile(servers_.Root() / "sub" / "doc.xml", BinaryDocument());
  }
  void TearDown() override {
    if (hadTmpDir_) setenv("TMPDIR", savedTmpDir_.c_str(), 1);
    else unsetenv("TMPDIR");
  }

  std::size_t TempFilesLeft() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(downloads_.Dir()), {}));
  }
  WideString Http(const std::string& path) const { return W(servers_.HttpHost() + path); }
  WideString Ftp(const std::string& path) const { return W(servers_.FtpHost() + path); }

  TLoopbackServers servers_;
  TTempFolder downloads_{"downloads"};
  TXpErrorList errors_;
  bool hadTmpDir_ = false;
  std::string savedTmpDir_;
};

TEST_F(XpTransfer, HttpDownloadsTheDocumentIntoATemporaryFile) {
  auto stream = XpHttpGetToTempFile(Http("/sub/doc.xml"), u"anonymous", u"guest@example.org", errors_);
  ASSERT_NE(stream, nullptr) << testing::PrintToString(Texts(errors_));
  EXPECT_THAT(errors_, IsEmpty());
  EXPECT_EQ(stream->Position(), stream->Size()) << "handed over at its end";
  EXPECT_EQ(StreamBytes(*stream), BinaryDocument());
  const std::filesystem::path file(U8(stream->Filename()));
  EXPECT_EQ(file.parent_path(), downloads_.Dir());
  EXPECT_EQ(file.filename().string().rfind("VER", 0), 0u);

  auto redirected = XpHttpGetToTempFile(Http("/redirect/sub/doc.xml"), u"anonymous", u"", errors_);
  ASSERT_NE(redirected, nullptr) << testing::PrintToString(Texts(errors_));
  EXPECT_EQ(StreamBytes(*redirected), BinaryDocument());
}

TEST_F(XpTransfer, HttpErrorStatusesRaiseAndLeaveNoFile) {
  for (const char* path : {"/status/404", "/status/500", "/status/403", "/missing.dtd"}) {
    SCOPED_TRACE(path);
    try {
      XpHttpGetToTempFile(Http(path), u"anonymous", u"", errors_);
      ADD_FAILURE() << "no exception";
    } catch (const EXpParserError& e) {
      EXPECT_EQ(U8(e.Message()), "Http data not available");
      EXPECT_EQ(e.URL(), Http(path));
      EXPECT_EQ(e.Line(), 0);
      EXPECT_EQ(e.LinePos(), 0);
    }
  }
  EXPECT_THAT(errors_, IsEmpty());
  EXPECT_EQ(TempFilesLeft(), 0u);
}

TEST_F(XpTransfer, HttpFailuresGiveTheirStepsMessageAndNoStream) {
  const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
  struct Case {
    WideString url;
    std::string message;
  } cases[] = {
      {Http("/cut/doc.xml"), Text(xpmHttpDataNotAvailable)},
      {W(closed + "/doc.xml"), Text(xpmNoInternetConnection)},
      {Http("/" + std::string(2049, 'a')), Text(xpmCannotOpenHttpRequest)},
  };
  for (const Case& c : cases) {
    errors_.clear();
    EXPECT_EQ(XpHttpGetToTempFile(c.url, u"anonymous", u"", errors_), nullptr);
    EXPECT_THAT(Texts(errors_), ElementsAre(c.message));
  }
  EXPECT_EQ(TempFilesLeft(), 0u);
}

TEST_F(XpTransfer, HttpSpeaksOneZeroAndSendsCredentialsOnlyForANamedUser) {
  struct Case {
    const char16_t* user;
    const char16_t* password;
    std::string expected;
  } cases[] = {
      {u"anonymous", u"guest@example.org", "HTTP/1.0|VERAziruzi|"},
      {u"angler", u"", "HTTP/1.0|VERAziruzi|"},
      {u"angler", u"pike", "HTTP/1.0|VERAziruzi|Basic YW5nbGVyOnBpa2U="},
  };
  for (const Case& c : cases) {
    auto stream = XpHttpGetToTempFile(Http("/echo"), c.user, c.password, errors_);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(StreamBytes(*stream), c.expected);
  }
  // Without a path the server's root is asked for.
  auto root = XpHttpGetToTempFile(Http(""), u"anonymous", u"", errors_);
  ASSERT_NE(root, nullptr);
  EXPECT_NE(StreamBytes(*root).find("sub/"), std::string::npos);
}

TEST_F(XpTransfer, FtpDownloadsInBinary) {
  auto stream = XpFtpGetToTempFile(Ftp("/sub/doc.xml"), W(TLoopbackServers::kFtpUser),
                                   W(TLoopbackServers::kFtpPassword), errors_);
  ASSERT_NE(stream, nullptr) << testing::PrintToString(Texts(errors_));
  EXPECT_THAT(errors_, IsEmpty());
  EXPECT_EQ(stream->Position(), stream->Size());
  EXPECT_EQ(StreamBytes(*stream), BinaryDocument());

  auto anonymous = XpFtpGetToTempFile(Ftp("/sub/doc.xml"), u"anonymous", u"guest@example.org", errors_);
  ASSERT_NE(anonymous, nullptr) << testing::PrintToString(Texts(errors_));
}

TEST_F(XpTransfer, FtpDownloadFallsBackToTheLoginFolder) {
  WriteFile(servers_.Root() / "top.xml", "<top/>");
  auto stream = XpFtpGetToTempFile(Ftp("/missing/top.xml"), u"anonymous", u"x", errors_);
  EXPECT_THAT(Texts(errors_), ElementsAre("Invalid ftp directory"));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(StreamBytes(*stream), "<top/>");
}

TEST_F(XpTransfer, FtpDownloadFailuresGiveTheirStepsMessage) {
  struct Case {
    WideString url;
    const char16_t* password;
    std::vector<std::string> messages;
  } cases[] = {
      {Ftp("/sub/nothere.xml"), u"secret", {"Unable to open ftp file"}},
      {Ftp("/missing/nothere.xml"), u"secret", {"Invalid ftp directory", "Unable to open ftp file"}},
      {Ftp("/"), u"secret", {"Unable to open ftp file"}},
      {W(servers_.FtpHost()), u"secret", {"Invalid ftp location"}},
      {Ftp("/" + std::string(2049, 'a')), u"secret", {"Invalid ftp location"}},
      {Ftp("/sub/doc.xml"), u"wrong", {"Unable to make Internet connection"}},
  };
  for (const Case& c : cases) {
    errors_.clear();
    EXPECT_EQ(XpFtpGetToTempFile(c.url, W(TLoopbackServers::kFtpUser), c.password, errors_), nullptr) << U8(c.url);
    EXPECT_EQ(Texts(errors_), c.messages) << U8(c.url);
  }
  EXPECT_EQ(TempFilesLeft(), 0u);
}

TEST_F(XpTransfer, FtpUploadStoresTheFileOrNothing) {
  TTempFolder local("upload");
  WriteFile(local.Dir() / "lake.gpx", BinaryDocument());
  const WideString user = W(TLoopbackServers::kFtpUser), password = W(TLoopbackServers::kFtpPassword);
  const WideString source = W(local.Path("lake.gpx"));

  EXPECT_TRUE(XpFtpPutFile(Ftp("/sub/lake.gpx"), user, password, source, errors_));
  EXPECT_THAT(errors_, IsEmpty());
  EXPECT_EQ(ReadFile(servers_.Root() / "sub" / "lake.gpx"), BinaryDocument());

  // A folder that cannot be entered sends nothing, not even to the login folder.
  WriteFile(servers_.Root() / "lake.gpx", "old");
  EXPECT_FALSE(XpFtpPutFile(Ftp("/missing/lake.gpx"), user, password, source, errors_));
  EXPECT_THAT(Texts(errors_), ElementsAre("Invalid ftp directory"));
  EXPECT_EQ(ReadFile(servers_.Root() / "lake.gpx"), "old");
  EXPECT_FALSE(std::filesystem::exists(servers_.Root() / "missing"));

  struct Case {
    WideString url;
    const char16_t* user;
    std::string message;
  } cases[] = {
      {Ftp("/sub/anon.gpx"), u"anonymous", Text(xpmFtpSaveFailed, servers_.FtpHost() + "/sub/anon.gpx")},
      {W(servers_.FtpHost()), u"anonymous", "Invalid ftp location"},
  };
  for (const Case& c : cases) {
    errors_.clear();
    EXPECT_FALSE(XpFtpPutFile(c.url, c.user, u"x", source, errors_));
    EXPECT_THAT(Texts(errors_), ElementsAre(c.message));
  }
  EXPECT_FALSE(std::filesystem::exists(servers_.Root() / "sub" / "anon.gpx"));
}

}  // namespace
