// A dispatcher whose "main thread" is whichever thread empties its queue:
// the test thread, or a command-line tool's main loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "watch/MainThreadDispatcher.h"

namespace ravo {

class QueueDispatcher final : public MainThreadDispatcher {
 public:
  QueueDispatcher() = default;
  ~QueueDispatcher() override { Shutdown(); }
  QueueDispatcher(const QueueDispatcher&) = delete;
  QueueDispatcher& operator=(const QueueDispatcher&) = delete;

  void Post(std::function<void()> fn) override;

  // Runs, on the calling thread, what is queued at the time of the call.
  // Returns how many ran.
  int RunPending();

  // Waits up to `timeout` for work, then runs what is queued.
  int WaitAndRun(std::chrono::milliseconds timeout);

  std::size_t PendingCount() const;

  // Destroys what is queued without running it; later posts are destroyed
  // at once.
  void Shutdown();

 private:
  std::deque<std::function<void()>> TakeAll();

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> queue_;
  bool shutDown_ = false;
};

}  // namespace ravo
