// The change records a watched directory has gathered while no read was
// pending, cut into batches of one read buffer each.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "platform/ChangePort.h"

namespace ravo::platform {

// One thing a watched tree reports, in order.
struct QueuedChange {
  // kWarning: a notice that stays true while watching goes on (part of the
  // tree could not be watched).
  enum Kind { kRecord, kLost, kNotice, kWarning };
  Kind kind = kRecord;
  ChangeRecord record;  // kRecord
  std::string notice;   // kLost, kNotice, kWarning
};

// The notice that changes below `root` were lost.
std::string LostChangesNotice(const std::string& root);

class ChangeQueue {
 public:
  // Beyond `limit` records, further records are dropped and their loss is
  // reported with `lostNotice`.
  ChangeQueue(std::size_t limit, std::string lostNotice);

  void Append(std::vector<QueuedChange>& changes);  // takes them all

  // True when a read would complete now.
  bool HasBatch() const { return !items_.empty() || !notices_.empty() || !warning_.empty(); }

  // The next batch: the records in order up to `capacity` bytes (at least
  // one record, and the two records of a rename together), or, where changes
  // were lost, an empty batch with the loss notice. Pending notices come
  // along.
  ChangeBatch TakeBatch(std::size_t capacity);

 private:
  struct Item {
    bool lost = false;
    ChangeRecord record;
    std::string notice;
  };
  void Push(QueuedChange& change);
  void MarkLost(std::string notice);
  std::size_t BlockLength(std::size_t at) const;

  std::size_t limit_;
  std::string lostNotice_;
  std::size_t recordCount_ = 0;
  std::deque<Item> items_;
  std::vector<std::string> notices_;
  std::string warning_;  // the latest, until a batch takes it
};

}  // namespace ravo::platform
