#include <gtest/gtest.h>

#include "platform/ChangeQueue.h"
#include "tests/watch/ChangeRecordPrinter.h"

namespace ravo::platform {
namespace {

QueuedChange Record(int action, std::string name) {
  return {QueuedChange::kRecord, {action, std::move(name)}, {}};
}

std::size_t BytesOf(const ChangeBatch& batch) {
  std::size_t bytes = 0;
  for (const ChangeRecord& r : batch.records) bytes += ChangeRecordSize(r);
  return bytes;
}

std::vector<ChangeBatch> TakeAll(ChangeQueue& queue) {
  std::vector<ChangeBatch> batches;
  while (queue.HasBatch()) batches.push_back(queue.TakeBatch(kChangeBufferSize));
  return batches;
}

TEST(ChangeQueueTest, CutsBatchesAtTheBufferSizeWithoutSplittingARename) {
  ChangeQueue queue(1000, "lost");
  std::vector<QueuedChange> changes;
  // Names of 100 bytes take 212 bytes a record: 18 take 3816 of 4096.
  auto name = [](std::string tag) { return std::string(100 - tag.size(), 'n') + tag; };
  for (int i = 0; i < 18; ++i) changes.push_back(Record(kChangeAdded, name(std::to_string(i))));
  changes.push_back(Record(kChangeRenamedOld, name("old")));  // would fit alone,
  changes.push_back(Record(kChangeRenamedNew, name("new")));  // not with its partner
  changes.push_back(Record(kChangeRemoved, "last"));
  queue.Append(changes);

  std::vector<ChangeBatch> batches = TakeAll(queue);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].records.size(), 18u);
  EXPECT_LE(BytesOf(batches[0]), kChangeBufferSize);
  ASSERT_EQ(batches[1].records.size(), 3u);
  EXPECT_EQ(batches[1].records[0].action, kChangeRenamedOld);
  EXPECT_EQ(batches[1].records[1].action, kChangeRenamedNew);
  EXPECT_EQ(batches[1].records[2].name, "last");
}

TEST(ChangeQueueTest, ARecordLargerThanTheBufferComesAlone) {
  ChangeQueue queue(1000, "lost");
  std::vector<QueuedChange> changes{Record(kChangeAdded, std::string(5000, 'x')),
                                    Record(kChangeAdded, "b")};
  queue.Append(changes);
  std::vector<ChangeBatch> batches = TakeAll(queue);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].records.size(), 1u);
  EXPECT_EQ(batches[1].records, (std::vector<ChangeRecord>{{kChangeAdded, "b"}}));
}

TEST(ChangeQueueTest, RecordsBeyondTheLimitBecomeOneEmptyBatchWithTheLossNotice) {
  ChangeQueue queue(2, "lost");
  std::vector<QueuedChange> changes;
  for (int i = 0; i < 5; ++i) changes.push_back(Record(kChangeAdded, std::to_string(i)));
  queue.Append(changes);

  ChangeBatch first = queue.TakeBatch(kChangeBufferSize);
  EXPECT_EQ(first.records.size(), 2u);
  EXPECT_EQ(first.notice, "");
  // Room again: what comes now queues behind the loss.
  changes.push_back(Record(kChangeAdded, "later"));
  queue.Append(changes);
  ChangeBatch lost = queue.TakeBatch(kChangeBufferSize);
  EXPECT_TRUE(lost.records.empty());
  EXPECT_EQ(lost.notice, "lost");
  EXPECT_EQ(queue.TakeBatch(kChangeBufferSize).records,
            (std::vector<ChangeRecord>{{kChangeAdded, "later"}}));
  EXPECT_FALSE(queue.HasBatch());
}

TEST(ChangeQueueTest, NoticesRideWithTheNextBatchOrMakeOneOfTheirOwn) {
  ChangeQueue queue(10, "lost");
  std::vector<QueuedChange> changes{{QueuedChange::kNotice, {}, "ready"}};
  queue.Append(changes);
  ASSERT_TRUE(queue.HasBatch());
  ChangeBatch alone = queue.TakeBatch(kChangeBufferSize);
  EXPECT_TRUE(alone.records.empty());
  EXPECT_EQ(alone.notice, "ready");

  changes = {Record(kChangeAdded, "a"), {QueuedChange::kNotice, {}, "limit"},
             {QueuedChange::kLost, {}, "overflow"}};
  queue.Append(changes);
  ChangeBatch withRecords = queue.TakeBatch(kChangeBufferSize);
  EXPECT_EQ(withRecords.records.size(), 1u);
  EXPECT_EQ(withRecords.notice, "limit");
  EXPECT_EQ(queue.TakeBatch(kChangeBufferSize).notice, "overflow");
}

}  // namespace
}  // namespace ravo::platform
