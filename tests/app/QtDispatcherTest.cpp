// The window thread's call queue on Qt's event loop.

#include <stdexcept>
#include <thread>

#include "tests/app/FormSupport.h"

TEST(QtDispatcher, WorkerCallsRunInTheWindowThreadAndRaiseTheirErrorsThere) {
  TQtDispatcher dispatcher;
  const std::thread::id window = std::this_thread::get_id();
  std::thread::id ranIn;
  bool raised = false;
  std::atomic<bool> done{false};
  int queued = 0;
  std::thread worker([&] {
    dispatcher.PostAndWait([&] { ranIn = std::this_thread::get_id(); });
    try {
      dispatcher.PostAndWait([] { throw std::runtime_error("in the window thread"); });
    } catch (const std::runtime_error& e) {
      raised = std::string(e.what()) == "in the window thread";
    }
    dispatcher.Post([&] { ++queued; });
    done = true;
  });
  ASSERT_TRUE(dispatcher.PumpUntil([&] { return done.load() && queued == 1; }));
  worker.join();
  EXPECT_EQ(ranIn, window);
  EXPECT_TRUE(raised);
}

TEST(QtDispatcher, QueuedCallsWaitForThePumpAndWindowThreadCallsRunAtOnce) {
  TQtDispatcher dispatcher;
  std::vector<int> order;
  dispatcher.Post([&] { order.push_back(1); });
  dispatcher.Post([&] {
    order.push_back(2);
    dispatcher.Pump();  // a call may pump again
  });
  dispatcher.Post([&] { order.push_back(3); });
  dispatcher.PostAndWait([&] { order.push_back(0); });  // from the window thread: now
  EXPECT_EQ(order, (std::vector<int>{0}));
  dispatcher.Pump();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_FALSE(dispatcher.PumpUntil([] { return false; }, std::chrono::milliseconds(20)));
}
