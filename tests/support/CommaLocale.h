#pragma once

#include <clocale>
#include <locale>
#include <string>

#include <gtest/gtest.h>

// Switches the C and C++ locales of the process to German for one test, as Qt
// does from the environment, so that number texts can be shown not to pick up
// its "12,5". ./test.sh generates the locale.
class CommaLocale {
public:
  CommaLocale() {
    const char* old = std::setlocale(LC_ALL, nullptr);
    saved_ = old ? old : "C";
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (active_) {
      savedCpp_ = std::locale::global(std::locale("de_DE.UTF-8"));
    }
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, saved_.c_str());
    if (active_) std::locale::global(savedCpp_);
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // True when the process really writes "12,5" now.
  bool Active() const { return active_ && std::localeconv()->decimal_point[0] == ','; }

private:
  std::string saved_;
  std::locale savedCpp_;
  bool active_ = false;
};

// Use at the top of a test body.
#define REQUIRE_COMMA_LOCALE(guard)                                                          \
  CommaLocale guard;                                                                          \
  if (!guard.Active()) GTEST_FAIL() << "the de_DE.UTF-8 locale is missing (./test.sh makes it)"
