#include "watch/QueueDispatcher.h"

#include <utility>

namespace ravo {

void QueueDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    if (!shutDown_) {
      queue_.push_back(std::move(fn));
      fn = nullptr;
    }
  }
  posted_.notify_all();
  // A rejected fn is destroyed here, outside the lock.
}

std::deque<std::function<void()>> QueueDispatcher::TakeAll() {
  std::lock_guard lock(mutex_);
  return std::exchange(queue_, {});
}

int QueueDispatcher::RunPending() {
  std::deque<std::function<void()>> work = TakeAll();
  for (auto& fn : work) fn();
  return static_cast<int>(work.size());
}

int QueueDispatcher::WaitAndRun(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock, timeout, [&] { return !queue_.empty() || shutDown_; });
  }
  return RunPending();
}

std::size_t QueueDispatcher::PendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

void QueueDispatcher::Shutdown() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    dropped.swap(queue_);
  }
  posted_.notify_all();
}

}  // namespace ravo
