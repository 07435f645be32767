// Loads, saves and loads again every valid document of the W3C XML
// conformance suite, with xmllint as the independent reader.
//
//   XmlRoundTrip <suite.zip> <work folder> <exclusions file> <conformance deviations>
//
// For each "valid" XML 1.0 case (editions 1 to 4), in a child process bounded
// to 30 s: the object model loads the file with its content as given
// (NormalizeData off) and saves it beside the original, so that relative
// system identifiers still resolve; xmllint --noout must accept the saved file
// (warnings aside), and find it valid when it finds the original valid; the
// saved file must load again and save to the same bytes; and xmllint --c14n
// must give it the canonical form of the original (the canonical form applies
// the DTD's defaults and entities, so the DTD written back is compared too).
// The exclusions file lists the cases that cannot pass for a reason outside
// the writer, one id and its reason a line; it is enforced both ways, so it can
// only shrink. A case the parser refuses by the conformance runner's deviations
// list is left out as well, and counted.
// A crash or a hang always fails.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "XmlSuite.h"
#include "lib/verAziruzi/XpDOMObjModel.h"
#include "tests/support/XmlOracle.h"

namespace {

using namespace xmlsuite;

constexpr int kSecondsPerCase = 30;
constexpr int kParallel = 4;

enum TOutcome {
  kPassed = 10,
  kOracleRefusesOriginal,
  kLoadFails,
  kSaveFails,
  kSavedNotWellFormed,
  kSavedNotValid,
  kCanonicalDiffers,
  kReloadFails,
  kSecondSaveDiffers,
  kException,
};

std::string OutcomeName(int status) {
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? "hang" : "crash (signal)";
  if (!WIFEXITED(status)) return "crash";
  switch (WEXITSTATUS(status)) {
    case kPassed: return "passed";
    case kOracleRefusesOriginal: return "xmllint refuses the original";
    case kLoadFails: return "the original does not load";
    case kSaveFails: return "the save fails";
    case kSavedNotWellFormed: return "the saved file is not well-formed";
    case kSavedNotValid: return "the saved file is not valid, the original is";
    case kCanonicalDiffers: return "the canonical forms differ";
    case kReloadFails: return "the saved file does not load";
    case kSecondSaveDiffers: return "a second save differs";
    case kException: return "unexpected exception";
    default: return "crash (exit " + std::to_string(WEXITSTATUS(status)) + ")";
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Errors(TXpObjModel& model) {
  std::string text;
  for (int i = 0; i < model.ErrorCount(); ++i) text += XpWideToUtf8(model.GetErrorMsg(i)) + "\n";
  return text;
}

bool LoadAndSave(const std::string& from, const std::string& to, std::string& why) {
  TXpObjModel model;
  model.NormalizeData = false;
  if (!model.LoadDataSource(XpUtf8ToWide(from))) {
    why = Errors(model);
    return false;
  }
  if (!model.SaveToFile(XpUtf8ToWide(to))) {
    why = "save: " + Errors(model);
    return false;
  }
  return true;
}

// xmllint read the file: it may warn (a DTD that declares an attribute twice
// is valid, and xmllint says so), but reports no error of any kind.
bool Reads(const TXmlOracleResult& result) {
  return result.exitCode == 0 && result.errors.find("error") == std::string::npos;
}

// In the child: one case, its outcome as the exit code and the details in the
// report file.
int RoundTrip(const std::string& file, const std::string& saved, std::ofstream& report) {
  const TXmlOracleResult expected = TXmlOracle::Canonical(file);
  if (!Reads(expected)) {
    report << expected.errors;
    return kOracleRefusesOriginal;
  }
  std::string why;
  if (!LoadAndSave(file, saved, why)) {
    report << why;
    return why.rfind("save: ", 0) == 0 ? kSaveFails : kLoadFails;
  }
  const TXmlOracleResult wellFormed = TXmlOracle::WellFormed(saved);
  if (!Reads(wellFormed)) {
    report << wellFormed.errors << "--- saved:\n" << ReadAll(saved);
    return kSavedNotWellFormed;
  }
  // The declarations written back must still describe the document.
  if (Reads(TXmlOracle::Valid(file))) {
    const TXmlOracleResult valid = TXmlOracle::Valid(saved);
    if (!Reads(valid)) {
      report << valid.errors << "--- saved file:\n" << ReadAll(saved);
      return kSavedNotValid;
    }
  }
  const std::string savedTwice = saved + ".again.xml";
  if (!LoadAndSave(saved, savedTwice, why)) {
    report << why;
    return kReloadFails;
  }
  if (ReadAll(savedTwice) != ReadAll(saved)) {
    report << "--- first:\n" << ReadAll(saved) << "\n--- second:\n" << ReadAll(savedTwice);
    return kSecondSaveDiffers;
  }
  const TXmlOracleResult canonical = TXmlOracle::Canonical(saved);
  if (!Reads(canonical) || canonical.output != expected.output) {
    report << canonical.errors << "--- original:\n" << expected.output << "\n--- saved:\n" << canonical.output
           << "\n--- saved file:\n" << ReadAll(saved);
    return kCanonicalDiffers;
  }
  return kPassed;
}

[[noreturn]] void RunChild(const std::string& file, const std::string& saved, const std::string& reportPath) {
  alarm(kSecondsPerCase);
  int code = kException;
  {
    std::ofstream report(reportPath);
    try {
      code = RoundTrip(file, saved, report);
    } catch (const std::exception& error) {
      report << error.what() << "\n";
    } catch (...) {
    }
  }
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: XmlRoundTrip <suite.zip> <work folder> <exclusions file> <conformance deviations>\n";
    return 2;
  }
  const std::string work = argv[2];
  try {
    std::vector<TTestCase> cases;
    for (TTestCase& c : ReadCatalog(Unpack(argv[1], work)))
      if (c.type == "valid") cases.push_back(std::move(c));
    const std::map<std::string, std::string> exclusions = ReadDeviations(argv[3]);
    std::set<std::string> refused;  // valid cases the parser is known to reject
    for (const auto& [id, reason] : ReadDeviations(argv[4]))
      if (reason.rfind("rejected", 0) == 0) refused.insert(id);
    const std::filesystem::path reports = std::filesystem::path(work) / "roundtrip-reports";
    std::filesystem::create_directories(reports);
    auto reportOf = [&](std::size_t i) { return (reports / (std::to_string(i) + ".txt")).string(); };

    std::map<pid_t, std::size_t> running;
    std::vector<std::string> outcomes(cases.size());
    std::vector<int> statuses(cases.size());
    std::size_t next = 0;
    while (next < cases.size() || !running.empty()) {
      while (next < cases.size() && running.size() < kParallel) {
        // A name of its own per case: several cases may share one file.
        const std::string saved = cases[next].file + ".roundtrip" + std::to_string(next) + ".xml";
        pid_t child = fork();
        if (child < 0) throw std::runtime_error("fork failed");
        if (child == 0) RunChild(cases[next].file, saved, reportOf(next));
        running[child] = next++;
      }
      int status = 0;
      pid_t done = waitpid(-1, &status, 0);
      if (done < 0) throw std::runtime_error("waitpid failed");
      auto it = running.find(done);
      if (it == running.end()) continue;
      outcomes[it->second] = OutcomeName(status);
      statuses[it->second] = status;
      running.erase(it);
    }

    int failures = 0, passed = 0;
    std::map<std::string, int> excludedBy;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const TTestCase& c = cases[i];
      seen.insert(c.id);
      const std::string& outcome = outcomes[i];
      const bool ok = outcome == "passed";
      const bool listed = exclusions.count(c.id) > 0;
      if (!listed && refused.count(c.id) && WIFEXITED(statuses[i]) && WEXITSTATUS(statuses[i]) == kLoadFails) {
        ++excludedBy["refused by the parser, a known conformance deviation"];
        continue;
      }
      const bool broken = outcome == "hang" || outcome.rfind("crash", 0) == 0 || outcome == "unexpected exception";
      if (broken || (!ok && !listed)) {
        std::cout << "FAIL " << c.id << ": " << outcome << (listed ? " (listed)" : ", not listed") << " ("
                  << c.file << ")\n"
                  << ReadAll(reportOf(i)) << "\n";
        ++failures;
      } else if (ok && listed) {
        std::cout << "FAIL " << c.id << ": listed as an exclusion but now passes; remove it from the list\n";
        ++failures;
      } else if (ok) {
        ++passed;
      } else {
        ++excludedBy[outcome];
      }
    }
    for (const auto& [id, reason] : exclusions)
      if (!seen.count(id)) {
        std::cout << "FAIL " << id << ": listed as an exclusion but not a valid case of the suite\n";
        ++failures;
      }
    std::cout << cases.size() << " valid documents, " << passed << " round trips equal to the original";
    for (const auto& [outcome, count] : excludedBy) std::cout << ", " << count << " excluded (" << outcome << ")";
    std::cout << ", " << failures << " failures\n";
    return failures == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "XmlRoundTrip: " << error.what() << "\n";
    return 2;
  }
}
