// A reader of a directory opened for change reading that reads batch after
// batch, as the worker thread does, and keeps them for the test to look at.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ChangePort.h"
#include "tests/support/TestSupport.h"
#include "tests/watch/ChangeRecordPrinter.h"

namespace ravo::platform {

class ChangeCollector {
 public:
  using Records = std::vector<ChangeRecord>;

  explicit ChangeCollector(ChangeDirectory& dir) : dir_(dir), thread_([this] { Run(); }) {}
  ~ChangeCollector() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    resumed_.notify_all();
    port_->PostWakeUp();
    thread_.join();
  }

  // No read is armed again until Resume (the one pending still completes).
  void Pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
  }
  void Resume() {
    {
      std::lock_guard lock(mutex_);
      paused_ = false;
    }
    resumed_.notify_all();
  }

  std::vector<ChangeBatch> Batches() const {
    std::lock_guard lock(mutex_);
    return batches_;
  }

  Records AllRecords() const {
    Records all;
    for (const ChangeBatch& b : Batches()) all.insert(all.end(), b.records.begin(), b.records.end());
    return all;
  }

  bool Saw(const ChangeRecord& record) const {
    Records all = AllRecords();
    return std::find(all.begin(), all.end(), record) != all.end();
  }

  // Waits for the record of a change made last; returns everything before it.
  Records Until(const ChangeRecord& last) const {
    EXPECT_TRUE(test::WaitFor([&] { return Saw(last); })) << last.name;
    Records all = AllRecords();
    all.erase(std::find(all.begin(), all.end(), last), all.end());
    return all;
  }

  bool SawNotice(const std::string& part) const {
    for (const ChangeBatch& b : Batches()) {
      if (b.notice.find(part) != std::string::npos) return true;
    }
    return false;
  }

  bool SawWarning(const std::string& part) const {
    for (const ChangeBatch& b : Batches()) {
      if (b.warning.find(part) != std::string::npos) return true;
    }
    return false;
  }

  // Forgets what came so far.
  void Clear() {
    std::lock_guard lock(mutex_);
    batches_.clear();
  }

 private:
  void Run() {
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        resumed_.wait(lock, [&] { return !paused_ || stop_; });
        if (stop_) return;
      }
      if (!dir_.ReadChanges(port_, 1)) return;
      ChangePacket packet = port_->Wait();
      if (packet.key == 0) return;
      std::lock_guard lock(mutex_);
      batches_.push_back(std::move(packet.batch));
    }
  }

  ChangeDirectory& dir_;
  std::shared_ptr<ChangePort> port_ = std::make_shared<ChangePort>();
  mutable std::mutex mutex_;
  std::condition_variable resumed_;
  bool stop_ = false;
  bool paused_ = false;
  std::vector<ChangeBatch> batches_;
  std::thread thread_;
};

}  // namespace ravo::platform
