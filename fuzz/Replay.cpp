// Feeds every file of the folders given on the command line, in name order, to the
// target's entry point, each on a thread with a small stack. A crash or sanitizer
// report ends the run; the file being fed is printed first, so the failing input
// is known.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "tests/support/SmallStack.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path folder = argv[i];
    if (!fs::is_directory(folder)) continue;  // a target may have no regressions yet
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  // The stack fuzz/run.sh gives the fuzzers (FUZZ_STACK_KB, 1 MiB by default),
  // so that an input that once recursed too deep fails here as it did there.
  const char* stackKb = std::getenv("FUZZ_STACK_KB");
  const std::size_t stackBytes = static_cast<std::size_t>(stackKb ? std::atol(stackKb) : 1024) * 1024;
  for (const fs::path& input : inputs) {
    std::cerr << "replay " << input.string() << "\n";
    std::ifstream file(input, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    RunOnSmallStack([&] { LLVMFuzzerTestOneInput(bytes.data(), bytes.size()); }, stackBytes);
  }
  std::cout << inputs.size() << " inputs replayed\n";
  return inputs.empty() ? 1 : 0;  // an empty corpus means the seeds were never generated
}
