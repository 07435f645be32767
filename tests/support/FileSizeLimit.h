#pragma once

#include <csignal>
#include <cstdint>
#include <stdexcept>

#include <sys/resource.h>

// While it lives, no file of this process may grow beyond `bytes`: a write past
// the limit fails as on a full disk (EFBIG, with SIGXFSZ ignored), which is how
// the tests make a save fail half-way, even when they run as root.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(std::uint64_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &previous_) != 0) throw std::runtime_error("getrlimit failed");
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous_;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    if (setrlimit(RLIMIT_FSIZE, &limited) != 0) throw std::runtime_error("setrlimit failed");
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
  rlimit previous_{};
  void (*previousHandler_)(int) = SIG_DFL;
};
