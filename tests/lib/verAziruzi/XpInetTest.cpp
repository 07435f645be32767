#include "lib/verAziruzi/XpInet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "lib/verAziruzi/XpExcept.h"
#include "tests/support/TempFolder.h"

namespace {

std::string U8(const WideString& s) { return XpWideToUtf8(s); }

std::string CurrentFolder() {
  std::string cwd = std::filesystem::current_path().string();
  return cwd.back() == '/' ? cwd : cwd + "/";
}

TEST(XpDirContext, MakeResolvesNamesAgainstTheNamingDocument) {
  const auto http = TXpDirContext::Make(nullptr, u"http://H/dir/doc.xml");
  const auto httpPort = TXpDirContext::Make(nullptr, u"http://127.0.0.1:8080/dir/doc.xml");
  const auto ftp = TXpDirContext::Make(nullptr, u"ftp://F/pub/a.xml");
  const auto local = TXpDirContext::Make(nullptr, u"/docs/lake.gpx");

  struct Case {
    const TXpBaseDirContext* base;
    const char16_t* name;
    TXpDirContextType type;
    WideString dir;
    const char16_t* file;
  } cases[] = {
      {nullptr, u"", xpdcLocal, u"", u""},
      {nullptr, u"http://H/dir/doc.xml", xpdcHTTP, u"H/dir/", u"doc.xml"},
      {nullptr, u"HTTP://H/doc.xml", xpdcHTTP, u"H/", u"doc.xml"},
      {http.get(), u"sub/x.dtd", xpdcHTTP, u"H/dir/sub/", u"x.dtd"},
      {http.get(), u"x.dtd", xpdcHTTP, u"H/dir/", u"x.dtd"},
      {http.get(), u"sub\\x.dtd", xpdcHTTP, u"H/dir/sub/", u"x.dtd"},
      {http.get(), u"../x.dtd", xpdcHTTP, u"H/dir/../", u"x.dtd"},
      // A root-relative name keeps the naming document's host.
      {http.get(), u"/dtd/x.dtd", xpdcHTTP, u"H/dtd/", u"x.dtd"},
      {httpPort.get(), u"/r.dtd", xpdcHTTP, u"127.0.0.1:8080/", u"r.dtd"},
      {http.get(), u"\\dtd\\x.dtd", xpdcHTTP, u"H/dtd/", u"x.dtd"},
      // An absolute address does not depend on the naming document.
      {http.get(), u"http://other", xpdcHTTP, u"", u"other"},
      {http.get(), u"ftp://F/a/b.dtd", xpdcFTP, u"F/a/", u"b.dtd"},
      {ftp.get(), u"../b.dtd", xpdcFTP, u"F/pub/../", u"b.dtd"},
      {ftp.get(), u"b.dtd", xpdcFTP, u"F/pub/", u"b.dtd"},
      {http.get(), u"Lake 12:30.dtd", xpdcHTTP, u"H/dir/", u"Lake 12:30.dtd"},
      {local.get(), u"x.dtd", xpdcLocal, u"/docs/", u"x.dtd"},
      {local.get(), u"sub/x.dtd", xpdcLocal, u"/docs/sub/", u"x.dtd"},
      {local.get(), u"/other/x.dtd", xpdcLocal, u"/other/", u"x.dtd"},
      {local.get(), u"file:///other/x.dtd", xpdcLocal, u"/other/", u"x.dtd"},
      {nullptr, u"FiLe:///docs/x.dtd", xpdcLocal, u"/docs/", u"x.dtd"},
      // '\' and ':' are ordinary characters of a local name.
      {nullptr, u"Lake 12:30.gpx", xpdcLocal, u"", u"Lake 12:30.gpx"},
      {local.get(), u"a\\b:c.gpx", xpdcLocal, u"/docs/", u"a\\b:c.gpx"},
      {nullptr, u"C:\\other\\x.dtd", xpdcLocal, u"", u"C:\\other\\x.dtd"},
      {nullptr, u"/docs/Lake 12:30.gpx", xpdcLocal, u"/docs/", u"Lake 12:30.gpx"},
      // A relative folder without a base is taken from the current folder.
      {nullptr, u"./sub/x.dtd", xpdcLocal, XpUtf8ToWide(CurrentFolder() + "sub/"), u"x.dtd"},
  };
  for (const Case& c : cases) {
    const auto context = TXpDirContext::Make(c.base, c.name);
    const std::string label = U8(c.name) + " against " + (c.base ? U8(c.base->URL()) : std::string("nothing"));
    EXPECT_EQ(context->ContextType(), c.type) << label;
    EXPECT_EQ(U8(context->Dir()), U8(c.dir)) << label;
    EXPECT_EQ(U8(context->Filename()), U8(c.file)) << label;
    EXPECT_EQ(context->URL(), context->Dir() + context->Filename()) << label;
  }
}

TEST(XpDirContext, DriveStylePathUnderAnInternetDocumentIsRefused) {
  const auto http = TXpDirContext::Make(nullptr, u"http://H/dir/doc.xml");
  try {
    TXpDirContext::Make(http.get(), u"C:\\other\\x.dtd");
    FAIL() << "no exception";
  } catch (const EXpException& e) {
    EXPECT_EQ(U8(e.Message()), "Cannot mix absolute local path 'C:\\other\\x.dtd' with internet path H/dir/");
  }
  try {
    TXpDirContext::Make(http.get(), u"C:it's.dtd");
    FAIL() << "no exception";
  } catch (const EXpException& e) {
    EXPECT_EQ(U8(e.Message()), "Cannot mix absolute local path 'C:it''s.dtd' with internet path H/dir/");
  }
}

TEST(XpTempFiles, NewEmptyFilesWithOurPrefixInTheTemporaryFolder) {
  TTempFolder folder("xpinet");
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", folder.Dir().c_str(), 1);
  const WideString first = XpMakeTempFileName();
  const WideString second = XpMakeTempFileName();
  if (old) setenv("TMPDIR", saved.c_str(), 1);
  else unsetenv("TMPDIR");

  EXPECT_NE(first, second);
  for (const WideString& name : {first, second}) {
    const std::filesystem::path path(U8(name));
    EXPECT_EQ(path.parent_path(), folder.Dir());
    EXPECT_EQ(path.filename().string().rfind("VER", 0), 0u) << path;
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
  }
}

}  // namespace
