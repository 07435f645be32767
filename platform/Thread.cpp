#include "platform/Thread.h"

#include <cstdio>

TThread::~TThread() {
  // Finish runs after Run has posted it, so the thread is only returning now.
  if (fThread.joinable() && fThread.get_id() != std::this_thread::get_id()) fThread.join();
  if (fThread.joinable()) fThread.detach();
}

TThread* TThread::Launch(std::unique_ptr<TThread> thread, TTerminateEvent onTerminate) {
  TThread* running = thread.get();
  running->fOnTerminate = std::move(onTerminate);
  // Finish runs in the window thread, which is the thread executing this, so the
  // std::thread is stored before Finish can destroy the object.
  running->fThread = std::thread([running] { running->Run(); });
  thread.release();
  return running;
}

void TThread::Run() noexcept {
  try {
    Execute();
  } catch (...) {
    fFatalException = std::current_exception();
  }
  try {
    Dispatcher().Post([this] { Finish(); });
  } catch (...) {
    // Without the post nobody would ever free the worker or learn that it ended.
    std::fputs("TThread: the termination callback could not be queued\n", stderr);
    std::terminate();
  }
}

void TThread::Finish() {
  std::unique_ptr<TThread> self(this);
  if (fOnTerminate) fOnTerminate(*this);
}
