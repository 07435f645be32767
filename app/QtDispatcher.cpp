#include "app/QtDispatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <condition_variable>
#include <exception>
#include <mutex>

TQtDispatcher::TQtDispatcher() : fWindowThread(std::this_thread::get_id()), fContext(std::make_unique<QObject>()) {}

TQtDispatcher::~TQtDispatcher() = default;

void TQtDispatcher::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(fContext.get(), std::move(call), Qt::QueuedConnection);
}

void TQtDispatcher::PostAndWait(const std::function<void()>& call) {
  if (InWindowThread()) {
    call();
    return;
  }
  // The waiting state lives on this stack frame; the posted call only runs while
  // we wait, so it never outlives it.
  std::mutex mutex;
  std::condition_variable ran;
  bool done = false;
  std::exception_ptr error;
  Post([&] {
    try {
      call();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    ran.notify_one();
  });
  std::unique_lock<std::mutex> lock(mutex);
  ran.wait(lock, [&] { return done; });
  if (error) std::rethrow_exception(error);
}

void TQtDispatcher::Pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool TQtDispatcher::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() >= timeout.count()) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
