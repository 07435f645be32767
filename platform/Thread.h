#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "platform/Dispatcher.h"
#include "platform/Object.h"

// A worker thread that runs its body once and then frees itself.
//
// The order of calls is fixed: Launch starts the body on a thread of its own;
// the body may run calls in the window thread and wait for them (Synchronize);
// once the body has returned, by itself or by an error, the termination callback
// runs in the window thread and right after it the object is destroyed there.
//
// The thread is started by Launch, never by a constructor: a body started from a
// base-class constructor could run before the derived object exists. The callback
// is handed to Launch, so it is in place before the thread could ever reach it.
class TThread : public TObject {
public:
  using TTerminateEvent = std::function<void(TThread& sender)>;

  ~TThread() override;

  const char* ClassName() const override { return "TThread"; }

  // Starts `thread` and gives it ownership of itself. Window thread only. The
  // pointer answered stays valid until `onTerminate` has returned. Throws (and
  // frees the object) when no thread can be started.
  static TThread* Launch(std::unique_ptr<TThread> thread, TTerminateEvent onTerminate);

  // The error that ended the body, or null when the body returned normally.
  // Meant for the termination callback.
  std::exception_ptr FatalException() const { return fFatalException; }

  TDispatcher& Dispatcher() const { return fDispatcher; }

protected:
  explicit TThread(TDispatcher& windowThread) : fDispatcher(windowThread) {}

  // The body; runs once, on the worker's own thread. Whatever it throws is kept
  // as FatalException.
  virtual void Execute() = 0;

  // Runs `call` in the window thread and waits until it has run; raises its error.
  void Synchronize(const std::function<void()>& call) { fDispatcher.PostAndWait(call); }

private:
  void Run() noexcept;
  void Finish();

  TDispatcher& fDispatcher;
  TTerminateEvent fOnTerminate;
  std::exception_ptr fFatalException;
  std::thread fThread;
};
