#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The window thread's queue of calls. Worker threads never touch a window: they
// hand calls to the window thread through this interface, which runs them when it
// pumps its messages or is idle. The window layer implements it on its event loop;
// THeadlessDispatcher below serves programs and tests without windows.
class TDispatcher {
public:
  virtual ~TDispatcher() = default;

  // Queues `call` to run in the window thread and returns at once. Any thread.
  virtual void Post(std::function<void()> call) = 0;

  // Runs `call` in the window thread and waits until it has run; an error the call
  // raises is raised again here. From the window thread itself it runs at once.
  virtual void PostAndWait(const std::function<void()>& call) = 0;

  // Window thread only: runs the queued calls (the window's ProcessMessages). A
  // call may pump again; the inner pump goes on with the calls still queued.
  virtual void Pump() = 0;
};

// A dispatcher without an event loop: the thread that creates it is the window
// thread, and queued calls run only inside Pump and PumpUntil. Calls still queued
// when it is destroyed are dropped, so that thread must keep pumping until every
// worker that uses it has ended.
class THeadlessDispatcher : public TDispatcher {
public:
  THeadlessDispatcher();

  void Post(std::function<void()> call) override;
  void PostAndWait(const std::function<void()>& call) override;
  void Pump() override;

  // Pumps, waiting for new calls in between, until `done` answers true or
  // `timeout` has passed since the start; answers `done`'s last answer. Window
  // thread only. The timeout keeps a broken worker from hanging its caller.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(30000));

  bool InWindowThread() const { return std::this_thread::get_id() == fWindowThread; }

private:
  bool PopCall(std::function<void()>& call);

  const std::thread::id fWindowThread;
  std::mutex fMutex;
  std::condition_variable fPosted;
  std::deque<std::function<void()>> fQueue;
};
