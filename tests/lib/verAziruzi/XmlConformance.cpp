// Runs the W3C XML conformance suite against the parser.
//
//   XmlConformance <suite.zip> <work folder> <deviations file>
//
// Unpacks the suite, reads its catalogs with the parser itself, and parses
// every XML 1.0 (editions 1 to 4) case in a child process bounded to 10 s:
// "valid" and "invalid" cases must parse, "not-wf" cases must fail, "error"
// cases are skipped. The deviations file lists the known exceptions, one case
// id and its reason a line; it is enforced both ways, so it can only shrink.
// A crash or a hang always fails.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "XmlSuite.h"
#include "lib/verAziruzi/XpParser.h"

namespace {

using namespace xmlsuite;

constexpr int kParsed = 10;
constexpr int kRejected = 11;
constexpr int kException = 12;
constexpr int kSecondsPerCase = 10;
constexpr int kParallel = 4;

// In the child: parse one case and tell the outcome by the exit code.
[[noreturn]] void RunChild(const std::string& file) {
  alarm(kSecondsPerCase);
  int code = kRejected;
  try {
    TXpParser parser;
    // As the object model does: declared defaults are only applied for a listener.
    parser.OnAttribute = [](TXpComponent*, const WideString&, const WideString&, bool) {};
    code = parser.ParseDataSource(XpUtf8ToWide(file)) ? kParsed : kRejected;
  } catch (const EXpException&) {
    code = kRejected;
  } catch (...) {
    code = kException;
  }
  std::fflush(nullptr);
  _exit(code);
}

std::string Outcome(int status) {
  if (WIFEXITED(status)) {
    switch (WEXITSTATUS(status)) {
      case kParsed:
        return "parsed";
      case kRejected:
        return "rejected";
      case kException:
        return "unexpected exception";
      default:
        return "crash (exit " + std::to_string(WEXITSTATUS(status)) + ")";
    }
  }
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? "hang" : "crash (signal)";
  return "crash";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--explain") {
    // For triage: the error lines of one file.
    TXpParser parser;
    parser.OnAttribute = [](TXpComponent*, const WideString&, const WideString&, bool) {};
    try {
      parser.ParseDataSource(XpUtf8ToWide(argv[2]));
    } catch (const std::exception& error) {
      std::cout << "exception: " << error.what() << "\n";
    }
    for (const WideString& line : parser.Errors()) std::cout << XpWideToUtf8(line) << "\n";
    return parser.ErrorCount() == 0 ? 0 : 1;
  }
  if (argc != 4) {
    std::cerr << "usage: XmlConformance <suite.zip> <work folder> <deviations file>\n";
    return 2;
  }
  const std::string zip = argv[1], work = argv[2];
  try {
    std::vector<TTestCase> cases = ReadCatalog(Unpack(zip, work));
    std::map<std::string, std::string> deviations = ReadDeviations(argv[3]);

    std::map<pid_t, std::size_t> running;
    std::vector<std::string> outcomes(cases.size());
    std::size_t next = 0;
    while (next < cases.size() || !running.empty()) {
      while (next < cases.size() && running.size() < kParallel) {
        pid_t child = fork();
        if (child < 0) throw std::runtime_error("fork failed");
        if (child == 0) RunChild(cases[next].file);
        running[child] = next++;
      }
      int status = 0;
      pid_t done = waitpid(-1, &status, 0);
      if (done < 0) throw std::runtime_error("waitpid failed");
      auto it = running.find(done);
      if (it == running.end()) continue;
      outcomes[it->second] = Outcome(status);
      running.erase(it);
    }

    int failures = 0, deviating = 0;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const TTestCase& c = cases[i];
      seen.insert(c.id);
      const std::string& outcome = outcomes[i];
      bool wanted = c.type == "not-wf" ? outcome == "rejected" : outcome == "parsed";
      bool broken = outcome != "parsed" && outcome != "rejected";
      bool listed = deviations.count(c.id) > 0;
      if (broken) {
        std::cout << "FAIL " << c.id << ": " << outcome << " (" << c.file << ")\n";
        ++failures;
      } else if (!wanted && !listed) {
        std::cout << "FAIL " << c.id << " (" << c.type << "): " << outcome << ", not listed as a deviation ("
                  << c.file << ")\n";
        ++failures;
      } else if (wanted && listed) {
        std::cout << "FAIL " << c.id << ": listed as a deviation but now conforms; remove it from the list\n";
        ++failures;
      } else if (!wanted) {
        ++deviating;
      }
    }
    for (const auto& [id, reason] : deviations)
      if (!seen.count(id)) {
        std::cout << "FAIL " << id << ": listed as a deviation but not a selected case\n";
        ++failures;
      }
    std::cout << cases.size() << " cases, " << deviating << " known deviations, " << failures << " failures\n";
    return failures == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "XmlConformance: " << error.what() << "\n";
    return 2;
  }
}
