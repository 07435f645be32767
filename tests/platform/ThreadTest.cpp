#include "platform/Thread.h"

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Dispatcher.h"

namespace {

// Records what happened in which thread, in order.
struct Journal {
  std::mutex mutex;
  std::vector<std::string> events;
  void Add(const std::string& e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(e);
  }
};

class TScriptedThread : public TThread {
public:
  TScriptedThread(TDispatcher& d, Journal& journal, std::function<void(TScriptedThread&)> body)
      : TThread(d), journal_(journal), body_(std::move(body)) {}
  ~TScriptedThread() override { journal_.Add("destroyed"); }

  void Sync(const std::function<void()>& call) { Synchronize(call); }

  std::thread::id bodyThread;

protected:
  void Execute() override {
    bodyThread = std::this_thread::get_id();
    journal_.Add("body start");
    if (body_) body_(*this);
    journal_.Add("body end");
  }

private:
  Journal& journal_;
  std::function<void(TScriptedThread&)> body_;
};

TEST(ThreadTest, BodyRunsApartThenCallbackInWindowThreadThenFreed) {
  THeadlessDispatcher window;
  Journal journal;
  const auto windowId = std::this_thread::get_id();
  std::thread::id syncThread, callbackThread, bodyThread;
  bool ended = false;

  auto worker = std::make_unique<TScriptedThread>(window, journal, [&](TScriptedThread& self) {
    for (int i = 0; i < 3; ++i)
      self.Sync([&, i] {
        syncThread = std::this_thread::get_id();
        journal.Add("sync " + std::to_string(i));
      });
  });
  TThread::Launch(std::move(worker), [&](TThread& sender) {
    callbackThread = std::this_thread::get_id();
    bodyThread = static_cast<TScriptedThread&>(sender).bodyThread;
    EXPECT_FALSE(sender.FatalException());
    journal.Add("callback");
    ended = true;
  });
  ASSERT_TRUE(window.PumpUntil([&] { return ended; }));

  EXPECT_EQ(journal.events, (std::vector<std::string>{"body start", "sync 0", "sync 1", "sync 2", "body end",
                                                       "callback", "destroyed"}));
  EXPECT_NE(bodyThread, windowId);
  EXPECT_EQ(syncThread, windowId);
  EXPECT_EQ(callbackThread, windowId);
}

TEST(ThreadTest, ErrorOfTheBodyIsKeptForTheCallback) {
  THeadlessDispatcher window;
  Journal journal;
  std::string message;
  bool ended = false;
  TThread::Launch(std::make_unique<TScriptedThread>(window, journal,
                                                    [](TScriptedThread&) { throw std::runtime_error("band failed"); }),
                  [&](TThread& sender) {
                    ASSERT_TRUE(sender.FatalException());
                    try {
                      std::rethrow_exception(sender.FatalException());
                    } catch (const std::runtime_error& e) {
                      message = e.what();
                    }
                    ended = true;
                  });
  ASSERT_TRUE(window.PumpUntil([&] { return ended; }));
  EXPECT_EQ(message, "band failed");
  EXPECT_EQ(journal.events, (std::vector<std::string>{"body start", "destroyed"}));
}

TEST(ThreadTest, ErrorOfASynchronizedCallReachesTheBody) {
  THeadlessDispatcher window;
  Journal journal;
  std::string caught;
  bool ended = false;
  TThread::Launch(std::make_unique<TScriptedThread>(window, journal,
                                                    [&](TScriptedThread& self) {
                                                      try {
                                                        self.Sync([] { throw std::logic_error("in window"); });
                                                      } catch (const std::logic_error& e) {
                                                        caught = e.what();
                                                      }
                                                    }),
                  [&](TThread& sender) {
                    EXPECT_FALSE(sender.FatalException());
                    ended = true;
                  });
  ASSERT_TRUE(window.PumpUntil([&] { return ended; }));
  EXPECT_EQ(caught, "in window");
}

TEST(ThreadTest, ManyWorkersEachEndOnceAndAreAllFreed) {
  THeadlessDispatcher window;
  Journal journal;
  constexpr int kWorkers = 8;
  int callbacks = 0;
  std::atomic<int> syncs{0};
  for (int i = 0; i < kWorkers; ++i)
    TThread::Launch(std::make_unique<TScriptedThread>(window, journal,
                                                      [&](TScriptedThread& self) {
                                                        for (int k = 0; k < 20; ++k) self.Sync([&] { ++syncs; });
                                                      }),
                    [&](TThread&) { ++callbacks; });
  ASSERT_TRUE(window.PumpUntil([&] { return callbacks == kWorkers; }));
  EXPECT_EQ(syncs, kWorkers * 20);
  int destroyed = 0;
  for (const auto& e : journal.events) destroyed += e == "destroyed";
  EXPECT_EQ(destroyed, kWorkers);
}

TEST(DispatcherTest, WindowThreadRunsPostAndWaitAtOnceAndPostsOnPump) {
  THeadlessDispatcher window;
  std::vector<int> order;
  window.Post([&] { order.push_back(2); });
  window.PostAndWait([&] { order.push_back(1); });
  EXPECT_EQ(order, (std::vector<int>{1}));
  window.Pump();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(DispatcherTest, ACallMayPumpAgainAndTheQueueKeepsItsOrder) {
  THeadlessDispatcher window;
  std::vector<int> order;
  window.Post([&] {
    order.push_back(1);
    window.Post([&] { order.push_back(4); });
    window.Pump();
    order.push_back(5);
  });
  window.Post([&] { order.push_back(2); });
  window.Post([&] { order.push_back(3); });
  window.Pump();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(DispatcherTest, PumpOutsideTheWindowThreadIsRefused) {
  THeadlessDispatcher window;
  bool refused = false;
  std::thread other([&] {
    try {
      window.Pump();
    } catch (const std::logic_error&) {
      refused = true;
    }
  });
  other.join();
  EXPECT_TRUE(refused);
}

TEST(DispatcherTest, PumpUntilGivesUpWhenNothingComes) {
  THeadlessDispatcher window;
  EXPECT_FALSE(window.PumpUntil([] { return false; }, std::chrono::milliseconds(20)));
}

}  // namespace
