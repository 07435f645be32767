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

#include "lib/verAziruzi/XpParser.h"

namespace {

constexpr int kParsed = 10;
constexpr int kRejected = 11;
constexpr int kException = 12;
constexpr int kSecondsPerCase = 10;
constexpr int kParallel = 4;

struct TTestCase {
  std::string id;
  std::string type;
  std::string file;
};

bool HasEdition1To4(const std::string& editions) {
  std::istringstream words(editions);
  std::string word;
  while (words >> word)
    if (word == "1" || word == "2" || word == "3" || word == "4") return true;
  return false;
}

bool Selected(const std::map<std::string, std::string>& a) {
  auto get = [&](const char* key) {
    auto it = a.find(key);
    return it == a.end() ? std::string() : it->second;
  };
  std::string recommendation = get("RECOMMENDATION");
  if (!recommendation.empty() && recommendation != "XML1.0" && recommendation != "XML1.0-errata2e" &&
      recommendation != "XML1.0-errata3e" && recommendation != "XML1.0-errata4e")
    return false;
  std::string version = get("VERSION");
  if (!version.empty() && version != "1.0") return false;
  std::string edition = get("EDITION");
  return edition.empty() || HasEdition1To4(edition);
}

// The cases of the catalog, with their files resolved through xml:base.
std::vector<TTestCase> ReadCatalog(const std::filesystem::path& catalog) {
  std::vector<TTestCase> cases;
  std::vector<std::string> bases{catalog.parent_path().string() + "/"};
  std::map<std::string, std::string> attributes;
  std::vector<std::string> resolvedBases;  // folder of each external catalog being read
  TXpParser parser;
  parser.OnAttribute = [&](TXpComponent*, const WideString& name, const WideString& value, bool) {
    attributes[XpWideToUtf8(name)] = XpWideToUtf8(value);
  };
  parser.OnStartElement = [&](TXpComponent*, const WideString& name) {
    std::string base = bases.back();
    auto xmlBase = attributes.find("xml:base");
    if (xmlBase != attributes.end()) base += xmlBase->second.substr(0, xmlBase->second.rfind('/') + 1);
    bases.push_back(base);
    if (name == u"TEST" && Selected(attributes) && attributes["TYPE"] != "error")
      cases.push_back({attributes["ID"], attributes["TYPE"], base + attributes["URI"]});
    attributes.clear();
  };
  parser.OnEndElement = [&](TXpComponent*, const WideString&) { bases.pop_back(); };
  if (!parser.ParseDataSource(XpUtf8ToWide(catalog.string()))) {
    for (const WideString& line : parser.Errors()) std::cerr << XpWideToUtf8(line) << "\n";
    throw std::runtime_error("cannot read the catalog " + catalog.string());
  }
  return cases;
}

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

std::map<std::string, std::string> ReadDeviations(const std::string& path) {
  std::map<std::string, std::string> deviations;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t blank = line.find(' ');
    deviations[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
  }
  return deviations;
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
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    std::string unzip = "unzip -q -o '" + zip + "' -d '" + work + "'";
    if (std::system(unzip.c_str()) != 0) throw std::runtime_error("cannot unpack " + zip);
    std::vector<TTestCase> cases = ReadCatalog(std::filesystem::path(work) / "xmlconf" / "xmlconf.xml");
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
