#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

// An independent reading of XML files: libxml2's xmllint, run as a separate
// process. Files the program writes are checked with it, so that a fault our
// reader and writer share cannot hide behind a round trip through our own code.
// xmllint never fetches anything here: --nonet is always given.
struct TXmlOracleResult {
  int exitCode = -1;
  std::string output;  // what xmllint printed on stdout
  std::string errors;  // what it printed on stderr (the reasons of a refusal)
  // xmllint exits with 0 after a namespace error (an undeclared prefix), so
  // anything it says counts as a refusal.
  bool Ok() const { return exitCode == 0 && errors.empty(); }
};

class TXmlOracle {
public:
  // xmllint <options...> --nonet <path>
  static TXmlOracleResult Run(const std::vector<std::string>& options, const std::string& path) {
    std::vector<std::string> args{"xmllint", "--nonet"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(path);
    return Spawn(args);
  }

  // Well-formed, with every namespace prefix declared (xmllint checks
  // namespaces by default and reports an undeclared prefix as an error).
  static TXmlOracleResult WellFormed(const std::string& path) { return Run({"--noout"}, path); }

  // Valid against the document's own DTD.
  static TXmlOracleResult Valid(const std::string& path) { return Run({"--noout", "--valid"}, path); }

  // The canonical form (C14N 1.0 without comments), for comparing two documents
  // that should carry the same content.
  static TXmlOracleResult Canonical(const std::string& path) { return Run({"--c14n"}, path); }

private:
  static TXmlOracleResult Spawn(const std::vector<std::string>& args) {
    char outName[] = "/tmp/xmloracle-out-XXXXXX";
    char errName[] = "/tmp/xmloracle-err-XXXXXX";
    int out = mkstemp(outName);
    int err = mkstemp(errName);
    if (out < 0 || err < 0) throw std::runtime_error("cannot create xmllint's output files");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, "xmllint", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    TXmlOracleResult result;
    if (spawned == 0) {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0) {
      }
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    result.output = ReadAll(outName);
    result.errors = ReadAll(errName);
    close(out);
    close(err);
    unlink(outName);
    unlink(errName);
    if (spawned != 0) throw std::runtime_error("xmllint is not installed (libxml2-utils)");
    return result;
  }

  static std::string ReadAll(const char* name) {
    std::string text;
    if (FILE* f = std::fopen(name, "rb")) {
      char buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
      std::fclose(f);
    }
    return text;
  }
};
