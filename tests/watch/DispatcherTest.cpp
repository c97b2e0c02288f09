#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

#include "tests/support/TestSupport.h"
#include "watch/QueueDispatcher.h"

namespace ravo {
namespace {

class RunSyncTest : public testing::Test {
 protected:
  // RunSync called from a worker, as the change thread calls it.
  std::future<bool> FromWorker(std::function<void()> fn, std::stop_token stop = {}) {
    return std::async(std::launch::async,
                      [this, fn = std::move(fn), stop] { return dispatcher.RunSync(fn, stop); });
  }

  bool Pending() { return dispatcher.PendingCount() > 0; }

  QueueDispatcher dispatcher;
};

TEST_F(RunSyncTest, RunsOnThePumpingThreadAndCarriesAnExceptionBack) {
  std::thread::id ranOn;
  auto done = FromWorker([&] { ranOn = std::this_thread::get_id(); });
  ASSERT_TRUE(test::WaitFor([&] { return Pending(); }));
  EXPECT_EQ(dispatcher.RunPending(), 1);
  EXPECT_TRUE(done.get());
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  auto failed = FromWorker([] { throw std::runtime_error("database unreadable"); });
  ASSERT_TRUE(test::WaitFor([&] { return Pending(); }));
  dispatcher.RunPending();  // the exception does not escape here
  EXPECT_THROW(failed.get(), std::runtime_error);
}

TEST_F(RunSyncTest, ShutdownLetsAWaitingWorkerGoWithoutRunningTheWork) {
  bool ran = false;
  auto done = FromWorker([&] { ran = true; });
  ASSERT_TRUE(test::WaitFor([&] { return Pending(); }));
  dispatcher.Shutdown();
  EXPECT_FALSE(done.get());
  EXPECT_FALSE(FromWorker([&] { ran = true; }).get());  // after shutdown: at once
  EXPECT_FALSE(ran);
}

TEST_F(RunSyncTest, AStopBeforeTheWorkRanCancelsIt) {
  std::stop_source stop;
  bool ran = false;
  auto done = FromWorker([&] { ran = true; }, stop.get_token());
  ASSERT_TRUE(test::WaitFor([&] { return Pending(); }));
  stop.request_stop();
  EXPECT_FALSE(done.get());
  dispatcher.RunPending();
  EXPECT_FALSE(ran);
}

TEST_F(RunSyncTest, AStopWhileTheWorkRunsReleasesTheWorkerAtOnce) {
  // The work stops its own worker and then waits for it to have returned:
  // this only ends if the stop lets the worker go before the work is done.
  std::stop_source stop;
  std::future<bool> done;
  std::atomic<bool> finished{false};
  done = FromWorker(
      [&] {
        stop.request_stop();
        done.wait();
        finished = true;
      },
      stop.get_token());
  ASSERT_TRUE(test::WaitFor([&] { return Pending(); }));
  dispatcher.RunPending();
  EXPECT_TRUE(finished);
  EXPECT_FALSE(done.get());
}

}  // namespace
}  // namespace ravo
