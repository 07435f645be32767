#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/Dispatcher.h"

class QObject;

// The window thread's call queue on Qt's event loop: queued calls become posted
// events of the window thread, so they run when it pumps or is idle.
//
// Create it in the window thread. Calls still queued when it is destroyed are
// dropped, so whoever owns it keeps pumping until every worker has ended.
class TQtDispatcher : public TDispatcher {
public:
  TQtDispatcher();
  ~TQtDispatcher() override;

  void Post(std::function<void()> call) override;
  void PostAndWait(const std::function<void()>& call) override;
  void Pump() override;

  // Pumps, sleeping on the event queue in between, until `done` answers true or
  // `timeout` has passed; answers `done`'s last answer. Window thread only.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(30000));

  bool InWindowThread() const { return std::this_thread::get_id() == fWindowThread; }

private:
  const std::thread::id fWindowThread;
  std::unique_ptr<QObject> fContext;  // lives in the window thread; receives the calls
};
