// The Linux change layer against real directories.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <future>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/ChangePort.h"
#include "tests/support/TestSupport.h"
#include "tests/watch/ChangeCollector.h"
#include "tests/watch/FileClock.h"
#include "tests/watch/ChangeRecordPrinter.h"

namespace ravo::platform {
namespace {

namespace fs = std::filesystem;
using Records = ChangeCollector::Records;

constexpr char kReady[] = "已开始监视";

// Holds the first walk at the first folder it watches below the root. The
// hook runs on the reader thread, which may outlive a test that fails: what
// it touches is its own.
struct WalkHold {
  std::promise<void> held, release;
  std::shared_future<void> released = release.get_future().share();
  std::future<void> heldFuture = held.get_future();
  std::atomic<bool> first{true};
  std::string at;  // the folder it holds at, once held

  bool WaitHeld() { return heldFuture.wait_for(std::chrono::seconds(10)) == std::future_status::ready; }
};

class ChangeDirectoryTest : public testing::Test {
 protected:
  std::shared_ptr<WalkHold> OpenHeldAtFirstFolder() {
    auto hold = std::make_shared<WalkHold>();
    ChangeWatchOptions options;
    options.onWatched = [hold](const std::string& rel) {
      if (rel.empty() || !hold->first.exchange(false)) return;
      hold->at = rel;
      hold->held.set_value();
      hold->released.wait_for(std::chrono::seconds(30));
    };
    dir_ = ChangeDirectory::Open(root.Path(), options);
    EXPECT_TRUE(dir_);
    if (dir_) collector_ = std::make_unique<ChangeCollector>(*dir_);
    return hold;
  }

  void Watch(ChangeWatchOptions options = {}) {
    dir_ = ChangeDirectory::Open(root.Path(), options);
    ASSERT_TRUE(dir_);
    collector_ = std::make_unique<ChangeCollector>(*dir_);
    ASSERT_TRUE(test::WaitFor([&] { return collector_->SawNotice(kReady); }));
    collector_->Clear();
  }

  // Waits for the record of a sentinel change made last, then returns
  // everything before it.
  Records UntilSentinel(const ChangeRecord& sentinel) { return collector_->Until(sentinel); }

  Records UntilSentinelFile() {
    test::WriteFile(root / "sentinel", "");
    return UntilSentinel({kChangeAdded, "sentinel"});
  }

  test::TempDir root;
  test::TempDir outside;
  std::unique_ptr<ChangeDirectory> dir_;
  std::unique_ptr<ChangeCollector> collector_;
};

TEST_F(ChangeDirectoryTest, MissingPathIsNotFoundAndOtherFailuresGiveASilentDirectory) {
  EXPECT_FALSE(ChangeDirectory::Open(root / "missing", {}));
  EXPECT_FALSE(ChangeDirectory::Open("/dev/null/C:/", {}));  // below a file
  EXPECT_FALSE(ChangeDirectory::Open("", {}));
  test::WriteFile(root / "file", "x");
  auto file = ChangeDirectory::Open(root / "file", {});
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->ReadChanges(std::make_shared<ChangePort>(), 1));
}

TEST_F(ChangeDirectoryTest, RenamesArePairedAndMovesAcrossTheTreeBorderAreAddsAndRemoves) {
  fs::create_directories(root / "sub");
  test::WriteFile(root / "a.txt", "a");
  test::WriteFile(root / "leaving.txt", "l");
  test::WriteFile(outside / "arriving.txt", "r");
  Watch();

  fs::rename(root / "a.txt", root / "sub/b.txt");
  fs::rename(root / "leaving.txt", outside / "left.txt");
  fs::rename(outside / "arriving.txt", root / "arrived.txt");
  Records expected{{kChangeRenamedOld, "a.txt"},
                   {kChangeRenamedNew, "sub/b.txt"},
                   {kChangeRemoved, "leaving.txt"},
                   {kChangeAdded, "arrived.txt"}};
  EXPECT_EQ(UntilSentinelFile(), expected);
}

TEST_F(ChangeDirectoryTest, DirectoriesKeepTheirWatchesUnderNewNamesAndLoseThemWhenMovedOut) {
  fs::create_directories(root / "old/deep");
  fs::create_directories(root / "going");
  Watch();

  fs::rename(root / "old", root / "new");
  test::WriteFile(root / "new/deep/f.txt", "f");
  fs::rename(root / "going", outside / "gone");
  test::WriteFile(outside / "gone/unseen.txt", "u");
  Records expected{{kChangeRenamedOld, "old"},
                   {kChangeRenamedNew, "new"},
                   {kChangeAdded, "new/deep/f.txt"},
                   {kChangeRemoved, "going"}};
  EXPECT_EQ(UntilSentinelFile(), expected);
}

TEST_F(ChangeDirectoryTest, WhatANewDirectoryHoldsIsReportedOnceEach) {
  fs::create_directories(outside / "tree/inner");
  test::WriteFile(outside / "tree/inner/moved.jpg", "m");
  Watch();

  // Files written at once into fresh directories race their watches: each
  // must come exactly once, from the event or from the scan.
  std::map<std::string, int> expected;
  for (int d = 0; d < 20; ++d) {
    std::string dir = "d" + std::to_string(d);
    fs::create_directories(root / (dir + "/e"));
    expected[dir] = 1;
    expected[dir + "/e"] = 1;
    for (int f = 0; f < 10; ++f) {
      std::string file = dir + (f % 2 ? "/e/" : "/") + std::to_string(f) + ".dat";
      test::WriteFile(root / file, "x");
      expected[file] = 1;
    }
  }
  fs::rename(outside / "tree", root / "tree");
  expected["tree"] = expected["tree/inner"] = expected["tree/inner/moved.jpg"] = 1;

  std::map<std::string, int> seen;
  for (const ChangeRecord& r : UntilSentinelFile()) {
    EXPECT_EQ(r.action, kChangeAdded) << r.name;
    ++seen[r.name];
  }
  EXPECT_EQ(seen, expected);
}

TEST_F(ChangeDirectoryTest, ChangesBeyondTheQueueAreLostVisiblyAndLaterOnesStillCome) {
  Watch({.queueLimit = 5});
  collector_->Pause();
  for (int i = 0; i < 100; ++i) test::WriteFile(root / ("f" + std::to_string(i)), "");
  collector_->Resume();
  ASSERT_TRUE(test::WaitFor([&] { return collector_->SawNotice("未能报告"); }));
  for (const ChangeBatch& b : collector_->Batches()) {
    if (b.notice.find("未能报告") != std::string::npos) {
      EXPECT_TRUE(b.records.empty());
    }
  }
  EXPECT_LT(collector_->AllRecords().size(), 100u);
  test::WriteFile(root / "after", "");
  EXPECT_TRUE(test::WaitFor([&] { return collector_->Saw({kChangeAdded, "after"}); }));
}

TEST_F(ChangeDirectoryTest, BatchesStayWithinOneBufferAndKeepRenamePairsTogether) {
  std::vector<std::string> names;
  for (int i = 0; i < 150; ++i) names.push_back(std::string(60, 'a' + i % 26) + std::to_string(i));
  for (const std::string& n : names) test::WriteFile(root / n, "");
  Watch();
  for (const std::string& n : names) fs::rename(root / n, root / (n + ".new"));
  UntilSentinelFile();

  Records all;
  std::size_t batches = 0;
  for (const ChangeBatch& b : collector_->Batches()) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < b.records.size(); ++i) {
      bytes += ChangeRecordSize(b.records[i]);
      if (b.records[i].action == kChangeRenamedOld) {
        ASSERT_LT(i + 1, b.records.size()) << "rename split across batches";
        EXPECT_EQ(b.records[i + 1], (ChangeRecord{kChangeRenamedNew, b.records[i].name + ".new"}));
      }
    }
    EXPECT_LE(bytes, kChangeBufferSize);
    all.insert(all.end(), b.records.begin(), b.records.end());
    ++batches;
  }
  EXPECT_GT(batches, 1u);
  EXPECT_EQ(all.size(), 2 * names.size() + 1);
}

struct FilterCase {
  const char* what;
  std::uint32_t mask;
  bool subTree;
  Records expected;  // before the sentinel directory
};

void PrintTo(const FilterCase& c, std::ostream* out) { *out << c.what; }

class ChangeFilterTest : public ChangeDirectoryTest,
                         public testing::WithParamInterface<FilterCase> {};

TEST_P(ChangeFilterTest, ReportsWhatTheMaskAsksFor) {
  const FilterCase& c = GetParam();
  fs::create_directories(root / "sub");
  test::WriteFile(root / "old.txt", "o");
  fs::create_directory_symlink(outside.Path(), root / "link");
  Watch({.subTree = c.subTree, .filterMask = c.mask | kNotifyDirName});

  std::fstream(root / "old.txt", std::ios::in | std::ios::out) << "C";  // one write, no truncation
  fs::permissions(root / "old.txt", fs::perms::owner_read, fs::perm_options::replace);
  test::WriteFile(root / "sub/new.txt", "n");  // below the top
  test::WriteFile(outside / "through-link.txt", "l");  // links are not followed
  fs::create_directory(root / "sentinel");
  EXPECT_EQ(UntilSentinel({kChangeAdded, "sentinel"}), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangeFilterTest,
    testing::Values(
        FilterCase{"names", kNotifyFileName, true, {{kChangeAdded, "sub/new.txt"}}},
        FilterCase{"directory names only", 0, true, {}},
        FilterCase{"names without the subtree", kNotifyFileName, false, {}},
        FilterCase{"last write", kNotifyFileName | kNotifyLastWrite, true,
                   {{kChangeModified, "old.txt"},
                    {kChangeAdded, "sub/new.txt"},
                    {kChangeModified, "sub/new.txt"}}},
        FilterCase{"attributes", kNotifyAttributes, true, {{kChangeModified, "old.txt"}}},
        FilterCase{"security", kNotifySecurity, true, {{kChangeModified, "old.txt"}}}));

TEST_F(ChangeDirectoryTest, NoDescriptorsLeftMeansANoticeNotSilence) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer itself needs new descriptors in the child";
#endif
  // In a child process, so that the lowered limit touches nothing else.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit none{0, 0};
    getrlimit(RLIMIT_NOFILE, &none);
    none.rlim_cur = 0;  // no new descriptor can be opened: no inotify, no eventfd
    setrlimit(RLIMIT_NOFILE, &none);
    auto dir = ChangeDirectory::Open(root.Path(), {});
    if (!dir) _exit(2);
    ChangeCollector collector(*dir);
    bool told = test::WaitFor([&] { return collector.SawNotice("无法监视"); },
                              std::chrono::seconds(5));
    _exit(told ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ChangeDirectoryTest, TheWatchLimitWatchesWhatFitsAndKeepsSayingSo) {
  for (const char* d : {"a", "b", "c", "d", "e"}) fs::create_directories(root / d);
  dir_ = ChangeDirectory::Open(root.Path(), {.watchLimit = 3});
  ASSERT_TRUE(dir_);
  collector_ = std::make_unique<ChangeCollector>(*dir_);
  ASSERT_TRUE(test::WaitFor([&] { return collector_->SawWarning("上限"); }));
  EXPECT_TRUE(collector_->SawWarning("下 6 个目录只监视了 3 个"));
  EXPECT_TRUE(collector_->SawWarning("sysctl fs.inotify.max_user_watches"));
  test::WriteFile(root / "top.txt", "");
  EXPECT_TRUE(test::WaitFor([&] { return collector_->Saw({kChangeAdded, "top.txt"}); }));
}

// Under a watch limit smaller than the tree, the folders named first are
// watched whole, with the folders that lead to them; the rest goes breadth-
// first, so shallow folders come before deep ones.
// A folder renamed before the first walk got to it is watched under its
// new name.
TEST_F(ChangeDirectoryTest, AFolderRenamedDuringTheFirstWalkIsWatchedUnderItsNewName) {
  for (int d = 0; d < 20; ++d) fs::create_directories(root / ("a" + std::to_string(d) + "/deep"));
  ASSERT_TRUE(WaitUntilFileClockPasses(root / "a19/deep"));
  std::shared_ptr<WalkHold> hold = OpenHeldAtFirstFolder();
  ASSERT_TRUE(hold->WaitHeld());
  std::string renamed = hold->at == "a5" ? "a6" : "a5";
  fs::rename(root / renamed, root / "moved");
  hold->release.set_value();
  ASSERT_TRUE(test::WaitFor([&] { return collector_->SawNotice(kReady); }));
  test::WriteFile(root / "moved/deep/after.jpg", "x");
  Records expected{{kChangeRenamedOld, renamed},
                   {kChangeRenamedNew, "moved"},
                   {kChangeAdded, "moved/deep/after.jpg"}};
  EXPECT_EQ(UntilSentinelFile(), expected);
}

TEST_F(ChangeDirectoryTest, FirstFoldersThenBreadthFirstUnderTheWatchLimit) {
  for (const char* d : {"a/1/2/3", "b/1/2/3", "c", "home/u/.cache/web/x", "home/u/Downloads"}) {
    fs::create_directories(root / d);
  }
  // Watched: the root, home, home/u, home/u/.cache, the cache folder and
  // its subfolder, Downloads; then the three first-level folders a, b, c
  // (and nothing deeper, whatever order the directory lists them in).
  ChangeWatchOptions options{.watchLimit = 10,
                             .firstDirs = {root / "home/u/.cache/web", root / "home/u/Downloads",
                                           outside / "elsewhere"}};
  Watch(options);
  for (const char* f : {"home/u/.cache/web/x/e.jpg", "home/u/Downloads/d.mp4", "a/a.jpg",
                        "b/b.jpg", "c/c.jpg", "a/1/deep.jpg", "b/1/2/3/deeper.jpg", "home/h.jpg"}) {
    test::WriteFile(root / f, "x");
  }
  Records expected{{kChangeAdded, "home/u/.cache/web/x/e.jpg"},
                   {kChangeAdded, "home/u/Downloads/d.mp4"},
                   {kChangeAdded, "a/a.jpg"},
                   {kChangeAdded, "b/b.jpg"},
                   {kChangeAdded, "c/c.jpg"},
                   {kChangeAdded, "home/h.jpg"}};
  EXPECT_EQ(UntilSentinelFile(), expected);
}

// Files that appear while the first walk is still setting up the watches
// are reported once each, whether their folder was watched by then or not;
// files that were there before are not.
TEST_F(ChangeDirectoryTest, FilesWrittenDuringTheFirstWalkAreReportedOnceEach) {
  for (int d = 0; d < 40; ++d) fs::create_directories(root / ("d" + std::to_string(d) + "/deep"));
  test::WriteFile(root / "d39/deep/old.jpg", "o");
  test::WriteFile(root / "d0/old.jpg", "o");
  ASSERT_TRUE(WaitUntilFileClockPasses(root / "d0/old.jpg"));

  // The walk is held at the first folder it watches below the root, until
  // the files have been written.
  std::shared_ptr<WalkHold> hold = OpenHeldAtFirstFolder();
  ASSERT_TRUE(hold->WaitHeld());
  std::map<std::string, int> expected;
  for (int d = 0; d < 40; ++d) {
    for (const char* f : {"/new.jpg", "/deep/new.jpg"}) {
      std::string file = "d" + std::to_string(d) + f;
      test::WriteFile(root / file, "n");
      expected[file] = 1;
    }
  }
  fs::create_directories(root / "d5/made/later");
  test::WriteFile(root / "d5/made/later/x.jpg", "x");
  expected["d5/made"] = expected["d5/made/later"] = expected["d5/made/later/x.jpg"] = 1;
  hold->release.set_value();
  ASSERT_TRUE(test::WaitFor([&] { return collector_->SawNotice(kReady); }));

  std::map<std::string, int> seen;
  for (const ChangeRecord& r : UntilSentinelFile()) {
    EXPECT_EQ(r.action, kChangeAdded) << r.name;
    ++seen[r.name];
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace ravo::platform
