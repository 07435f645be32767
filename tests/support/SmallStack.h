#pragma once

#include <pthread.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <stdexcept>
#include <utility>

// Runs `work` on a thread of its own with a small stack and waits for it. Code
// that recurses once per nesting step of its input then overflows in the test
// (a crash that names the fault) instead of only on a user's machine with a
// deeper input. An exception thrown by `work` is rethrown in the caller.
//
// 256 KiB is far below the 8 MiB a program's main thread gets, yet roomy for
// any bounded recursion; the sanitizers' larger frames are allowed for by
// doubling it in their builds.
inline constexpr std::size_t kSmallStackBytes = 256 * 1024;

inline void RunOnSmallStack(const std::function<void()>& work, std::size_t stackBytes = kSmallStackBytes) {
#if defined(__SANITIZE_ADDRESS__)
  stackBytes *= 2;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  stackBytes *= 2;
#endif
#endif
  struct TJob {
    const std::function<void()>* work;
    std::exception_ptr failure;
  } job{&work, nullptr};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stackBytes);
  pthread_t thread;
  int started = pthread_create(
      &thread, &attributes,
      [](void* argument) -> void* {
        auto* running = static_cast<TJob*>(argument);
        try {
          (*running->work)();
        } catch (...) {
          running->failure = std::current_exception();
        }
        return nullptr;
      },
      &job);
  pthread_attr_destroy(&attributes);
  if (started != 0) throw std::runtime_error("cannot start a small-stack thread");
  pthread_join(thread, nullptr);
  if (job.failure) std::rethrow_exception(job.failure);
}
