// The change reading of Windows on folders under the C: drive: a directory
// opened for overlapped reading, bound to an I/O completion port.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/ChangePort.h"
#include "tests/support/TestSupport.h"
#include "tests/watch/ChangeCollector.h"
#include "tests/watch/ChangeRecordPrinter.h"
#include "tests/win32/Win32TestSupport.h"

namespace ravo::platform {
namespace {

using Records = ChangeCollector::Records;

// Waits for a packet; a wake-up (key 0) when none came within ten seconds.
ChangePacket WaitAtMostTenSeconds(ChangePort& port) {
  std::mutex mutex;
  std::condition_variable arrived;
  bool done = false;
  std::thread timer([&] {
    std::unique_lock lock(mutex);
    if (!arrived.wait_for(lock, std::chrono::seconds(10), [&] { return done; })) port.PostWakeUp();
  });
  ChangePacket packet = port.Wait();
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  arrived.notify_one();
  timer.join();
  return packet;
}

class ChangePortTest : public testing::Test {
 protected:
  std::string In(const std::string& name) const { return test::Join(root.Path(), name); }

  // Starts reading and waits until watching is in force: the system
  // records changes from the first read on.
  void Watch(ChangeWatchOptions options = {}) {
    dir_ = ChangeDirectory::Open(root.Path(), options);
    ASSERT_TRUE(dir_);
    collector_ = std::make_unique<ChangeCollector>(*dir_);
    ASSERT_TRUE(test::WaitFor([&] { return !collector_->Batches().empty(); }));
  }

  Records UntilSentinel() {
    test::WriteAnsiFile(In("sentinel"), "");
    return collector_->Until({kChangeAdded, "sentinel"});
  }

  test::TempDir root;
  std::unique_ptr<ChangeDirectory> dir_;
  std::unique_ptr<ChangeCollector> collector_;
};

TEST_F(ChangePortTest, TheFirstBatchSaysWatchingIsInForce) {
  Watch();
  ChangeBatch first = collector_->Batches().front();
  EXPECT_TRUE(first.records.empty());
  EXPECT_EQ(first.notice, "已开始监视 " + root.Path());
}

// Folders are made after the start: Wine watches only those below the
// folder that appear while it is watched.
TEST_F(ChangePortTest, NamesBelowTheFolderArriveInOrderWithRenamesPaired) {
  test::WriteAnsiFile(In("a.txt"), "a");
  Watch();
  test::MakeAnsiDir(In("sub"));
  collector_->Until({kChangeAdded, "sub"});
  collector_->Clear();

  test::WriteAnsiFile(In("sub\\new.jpg"), "n");
  ASSERT_TRUE(MoveFileA(In("a.txt").c_str(), In("b.txt").c_str()));
  ASSERT_TRUE(DeleteFileA(In("b.txt").c_str()));
  Records expected{{kChangeAdded, "sub\\new.jpg"},
                   {kChangeRenamedOld, "a.txt"},
                   {kChangeRenamedNew, "b.txt"},
                   {kChangeRemoved, "b.txt"}};
  Records seen = UntilSentinel();
  // A write may also show as modified; only the names matter here.
  std::erase_if(seen, [](const ChangeRecord& r) { return r.action == kChangeModified; });
  EXPECT_EQ(seen, expected);
}

TEST_F(ChangePortTest, BatchesStayWithinOneBufferAndKeepRenamePairsTogether) {
  std::vector<std::string> names;
  for (int i = 0; i < 150; ++i) names.push_back(std::string(60, 'a' + i % 26) + std::to_string(i));
  for (const std::string& n : names) test::WriteAnsiFile(In(n), "");
  Watch({.filterMask = kNotifyFileName});
  for (const std::string& n : names) ASSERT_TRUE(MoveFileA(In(n).c_str(), In(n + ".new").c_str()));
  UntilSentinel();

  // Every record with the batch it came in.
  std::vector<std::pair<std::size_t, ChangeRecord>> records;
  std::vector<ChangeBatch> batches = collector_->Batches();
  for (std::size_t b = 0; b < batches.size(); ++b) {
    std::size_t bytes = 0;
    for (const ChangeRecord& r : batches[b].records) {
      bytes += ChangeRecordSize(r);
      records.emplace_back(b, r);
    }
    EXPECT_LE(bytes, kChangeBufferSize) << "batch " << b;
  }
  std::size_t renames = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].second.action != kChangeRenamedOld) continue;
    ++renames;
    ASSERT_LT(i + 1, records.size());
    EXPECT_EQ(records[i + 1].first, records[i].first) << "rename split: " << records[i].second.name;
    EXPECT_EQ(records[i + 1].second,
              (ChangeRecord{kChangeRenamedNew, records[i].second.name + ".new"}));
  }
  EXPECT_EQ(renames, names.size());
}

struct FilterCase {
  const char* what;
  std::uint32_t mask;
  bool subTree;
  Records expected;  // before the sentinel
};

class ChangeFilterTest : public ChangePortTest, public testing::WithParamInterface<FilterCase> {};

TEST_P(ChangeFilterTest, ReportsWhatTheMaskAsksFor) {
  const FilterCase& c = GetParam();
  Watch({.subTree = c.subTree, .filterMask = c.mask});
  // A folder and a file made after "sub": once either is reported, "sub" is
  // being watched (see above).
  test::MakeAnsiDir(In("sub"));
  test::MakeAnsiDir(In("barrier"));
  test::WriteAnsiFile(In("barrier.txt"), "");
  ASSERT_TRUE(test::WaitFor([&] {
    return collector_->Saw({kChangeAdded, "barrier"}) ||
           collector_->Saw({kChangeAdded, "barrier.txt"});
  }));
  ASSERT_TRUE(test::WaitFor([&] {
    return (c.mask & kNotifyFileName) ? collector_->Saw({kChangeAdded, "barrier.txt"})
                                      : collector_->Saw({kChangeAdded, "barrier"});
  }));
  collector_->Clear();
  test::MakeAnsiDir(In("folder"));
  test::WriteAnsiFile(In("sub\\deep.txt"), "");
  test::WriteAnsiFile(In("top.txt"), "");
  // The sentinel is a file; a mask without file names gets a folder.
  if (c.mask & kNotifyFileName) {
    EXPECT_EQ(UntilSentinel(), c.expected) << c.what;
  } else {
    test::MakeAnsiDir(In("sentinel"));
    EXPECT_EQ(collector_->Until({kChangeAdded, "sentinel"}), c.expected) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangeFilterTest,
    testing::Values(
        FilterCase{
            "file and folder names",
            kNotifyFileName | kNotifyDirName,
            true,
            {{kChangeAdded, "folder"}, {kChangeAdded, "sub\\deep.txt"}, {kChangeAdded, "top.txt"}}},
        FilterCase{"file names",
                   kNotifyFileName,
                   true,
                   {{kChangeAdded, "sub\\deep.txt"}, {kChangeAdded, "top.txt"}}},
        FilterCase{"folder names", kNotifyDirName, true, {{kChangeAdded, "folder"}}},
        FilterCase{"without the subtree", kNotifyFileName, false, {{kChangeAdded, "top.txt"}}}));

TEST_F(ChangePortTest, AMissingPathIsNotFoundAndAFileGivesAFolderThatNeverReads) {
  EXPECT_EQ(ChangeDirectory::Open(In("missing"), {}), nullptr);
  EXPECT_EQ(ChangeDirectory::Open(In("missing\\deeper"), {}), nullptr);
  EXPECT_EQ(ChangeDirectory::Open("", {}), nullptr);
  test::WriteAnsiFile(In("file"), "x");
  auto file = ChangeDirectory::Open(In("file"), {});
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->ReadChanges(std::make_shared<ChangePort>(), 1));
}

TEST_F(ChangePortTest, OneReadAtATimeAndAHandleStaysWithItsPort) {
  auto dir = ChangeDirectory::Open(root.Path(), {});
  ASSERT_TRUE(dir);
  auto port = std::make_shared<ChangePort>();
  EXPECT_TRUE(dir->ReadChanges(port, 1));
  // The notice of the start completes the first read at once.
  EXPECT_EQ(WaitAtMostTenSeconds(*port).key, 1u);
  EXPECT_TRUE(dir->ReadChanges(port, 2));
  EXPECT_FALSE(dir->ReadChanges(port, 3));
  EXPECT_FALSE(dir->ReadChanges(std::make_shared<ChangePort>(), 4));
  test::WriteAnsiFile(In("a.txt"), "");
  ChangePacket packet = WaitAtMostTenSeconds(*port);
  EXPECT_EQ(packet.key, 2u);
  EXPECT_EQ(packet.batch.records.front(), (ChangeRecord{kChangeAdded, "a.txt"}));
}

// The watcher's re-open: the directory with a read pending is closed, a
// wake-up is posted to its port, and a new directory is read through a new
// port. The cancelled read must not come out of the old port as a batch, and
// the new directory reports each change once.
TEST_F(ChangePortTest, AReadPendingWhenItsFolderIsClosedNeverComesOutAsABatch) {
  for (int round = 0; round < 20; ++round) {
    auto oldPort = std::make_shared<ChangePort>();
    auto oldDir = ChangeDirectory::Open(root.Path(), {});
    ASSERT_TRUE(oldDir->ReadChanges(oldPort, 1));
    ASSERT_EQ(WaitAtMostTenSeconds(*oldPort).key, 1u);  // the start notice
    ASSERT_TRUE(oldDir->ReadChanges(oldPort, 1));
    oldDir.reset();
    oldPort->PostWakeUp();
    EXPECT_EQ(WaitAtMostTenSeconds(*oldPort).key, 0u) << round;
  }

  auto port = std::make_shared<ChangePort>();
  auto dir = ChangeDirectory::Open(root.Path(), {});
  ASSERT_TRUE(dir->ReadChanges(port, 2));
  ASSERT_EQ(WaitAtMostTenSeconds(*port).key, 2u);
  ASSERT_TRUE(dir->ReadChanges(port, 2));
  test::WriteAnsiFile(In("after.txt"), "");
  ChangePacket packet = WaitAtMostTenSeconds(*port);
  EXPECT_EQ(packet.key, 2u);
  EXPECT_EQ(packet.batch.records.front(), (ChangeRecord{kChangeAdded, "after.txt"}));
}

// While the main thread handles a batch no read of the reader is armed: 500
// new files then (12 KB of records, three times what a 4 KB buffer holds)
// all come afterwards, none lost.
TEST_F(ChangePortTest, ChangesMadeWhileTheReaderIsBusyAllArriveLater) {
  auto dir = ChangeDirectory::Open(root.Path(), {.filterMask = kNotifyFileName});
  auto port = std::make_shared<ChangePort>();
  ASSERT_TRUE(dir->ReadChanges(port, 1));
  ASSERT_EQ(WaitAtMostTenSeconds(*port).key, 1u);
  for (int i = 0; i < 500; ++i) test::WriteAnsiFile(In("f" + std::to_string(i)), "");

  Records all;
  while (all.size() < 500) {
    ASSERT_TRUE(dir->ReadChanges(port, 1));
    ChangePacket packet = WaitAtMostTenSeconds(*port);
    ASSERT_EQ(packet.key, 1u) << "after " << all.size() << " records";
    ASSERT_EQ(packet.batch.notice, "");
    all.insert(all.end(), packet.batch.records.begin(), packet.batch.records.end());
  }
  ASSERT_EQ(all.size(), 500u);
  for (int i = 0; i < 500; ++i)
    EXPECT_EQ(all[i], (ChangeRecord{kChangeAdded, "f" + std::to_string(i)}));
}

TEST_F(ChangePortTest, GbkNamesComeInTheAnsiCodePage) {
  if (!test::AnsiCodePageIs936()) GTEST_SKIP() << "the ANSI code page is not 936";
  Watch();
  test::WriteAnsiFile(In("图片乗.jpg"), "");
  EXPECT_TRUE(test::WaitFor([&] { return collector_->Saw({kChangeAdded, "图片乗.jpg"}); }));
}

}  // namespace
}  // namespace ravo::platform
