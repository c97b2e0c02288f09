#include "platform/ChangeQueue.h"

namespace ravo::platform {

std::string LostChangesNotice(const std::string& root) {
  return "文件变化过多，部分变化未能报告（" + root + "）";
}

ChangeQueue::ChangeQueue(std::size_t limit, std::string lostNotice)
    : limit_(limit), lostNotice_(std::move(lostNotice)) {}

void ChangeQueue::Append(std::vector<QueuedChange>& changes) {
  for (QueuedChange& change : changes) Push(change);
  changes.clear();
}

void ChangeQueue::Push(QueuedChange& change) {
  switch (change.kind) {
    case QueuedChange::kNotice:
      notices_.push_back(std::move(change.notice));
      return;
    case QueuedChange::kWarning:
      warning_ = std::move(change.notice);
      return;
    case QueuedChange::kLost:
      MarkLost(std::move(change.notice));
      return;
    case QueuedChange::kRecord:
      if (recordCount_ >= limit_) {
        MarkLost(lostNotice_);
        return;
      }
      ++recordCount_;
      items_.push_back({false, std::move(change.record), {}});
      return;
  }
}

// One loss report stands for every change lost since the records before it.
void ChangeQueue::MarkLost(std::string notice) {
  if (!items_.empty() && items_.back().lost) return;
  items_.push_back({true, {}, std::move(notice)});
}

// How many records from `at` on belong together: the two of a rename, else one.
std::size_t ChangeQueue::BlockLength(std::size_t at) const {
  bool paired = items_[at].record.action == kChangeRenamedOld && at + 1 < items_.size() &&
                !items_[at + 1].lost && items_[at + 1].record.action == kChangeRenamedNew;
  return paired ? 2 : 1;
}

ChangeBatch ChangeQueue::TakeBatch(std::size_t capacity) {
  ChangeBatch batch;
  if (!items_.empty() && items_.front().lost) {
    notices_.insert(notices_.begin(), std::move(items_.front().notice));
    items_.pop_front();
  } else {
    std::size_t used = 0;
    while (!items_.empty() && !items_.front().lost) {
      std::size_t count = BlockLength(0);
      std::size_t size = 0;
      for (std::size_t i = 0; i < count; ++i) size += ChangeRecordSize(items_[i].record);
      if (!batch.records.empty() && used + size > capacity) break;
      used += size;
      for (std::size_t i = 0; i < count; ++i) {
        batch.records.push_back(std::move(items_.front().record));
        items_.pop_front();
        --recordCount_;
      }
    }
  }
  for (std::string& notice : notices_) {
    if (!batch.notice.empty()) batch.notice += "；";
    batch.notice += notice;
  }
  notices_.clear();
  batch.warning = std::move(warning_);
  warning_.clear();
  return batch;
}

}  // namespace ravo::platform
