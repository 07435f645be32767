#include "platform/Dispatcher.h"

#include <exception>
#include <memory>
#include <stdexcept>

THeadlessDispatcher::THeadlessDispatcher() : fWindowThread(std::this_thread::get_id()) {}

void THeadlessDispatcher::Post(std::function<void()> call) {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fQueue.push_back(std::move(call));
  }
  fPosted.notify_all();
}

void THeadlessDispatcher::PostAndWait(const std::function<void()>& call) {
  if (InWindowThread()) {
    call();
    return;
  }
  // The state outlives whichever side finishes last: the waiter may return and
  // unwind while the window thread is still leaving the call.
  struct Handshake {
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    std::exception_ptr error;
  };
  auto handshake = std::make_shared<Handshake>();
  Post([handshake, &call] {
    try {
      call();
    } catch (...) {
      handshake->error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(handshake->mutex);
    handshake->done = true;
    handshake->ran.notify_all();
  });
  std::unique_lock<std::mutex> lock(handshake->mutex);
  handshake->ran.wait(lock, [&] { return handshake->done; });
  if (handshake->error) std::rethrow_exception(handshake->error);
}

bool THeadlessDispatcher::PopCall(std::function<void()>& call) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fQueue.empty()) return false;
  call = std::move(fQueue.front());
  fQueue.pop_front();
  return true;
}

void THeadlessDispatcher::Pump() {
  if (!InWindowThread()) throw std::logic_error("Pump called outside the window thread");
  // One call at a time and without the lock, so a call may post or pump itself.
  std::function<void()> call;
  while (PopCall(call)) {
    auto running = std::move(call);
    call = nullptr;
    running();
  }
}

bool THeadlessDispatcher::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    Pump();
    if (done()) return true;
    std::unique_lock<std::mutex> lock(fMutex);
    if (!fPosted.wait_until(lock, deadline, [&] { return !fQueue.empty(); })) {
      lock.unlock();
      Pump();
      return done();
    }
  }
}
