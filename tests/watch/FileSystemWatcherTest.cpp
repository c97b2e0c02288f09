#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "tests/support/TestSupport.h"
#include "watch/FileSystemWatcher.h"
#include "watch/QueueDispatcher.h"

namespace ravo {
namespace {

using platform::ChangeBatch;
using platform::ChangeRecord;

struct Event {
  TFileOperation operation;
  std::string fileName1;
  std::string fileName2;
  bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << int(e.operation) << " '" << e.fileName1 << "' '" << e.fileName2 << "'";
}

TEST(FileSystemWatcherDefaultsTest, ANewWatcherIsInactiveOnCWithNamesAndSubtree) {
  QueueDispatcher dispatcher;
  TFileSystemWatcher watcher(dispatcher);
  EXPECT_FALSE(watcher.Actived());
  EXPECT_EQ(watcher.WatchedDir(), "C:\\");
  EXPECT_TRUE(watcher.WatchSubTree());
  EXPECT_EQ(watcher.NotifyFilters(), (TNotifyFilters{nfFileNameChange, nfDirNameChange}));
  EXPECT_FALSE(watcher.OnChange());
  EXPECT_EQ(watcher.Thread(), nullptr);
  EXPECT_EQ(watcher.FilterMask(), 3u);
}

TEST(FilterMaskTest, ElementsKeepTheirBitExceptSecurity) {
  struct Case {
    TNotifyFilters filters;
    std::uint32_t mask;
  } cases[] = {
      {{}, 0},
      {{nfFileNameChange, nfDirNameChange}, 0x3},
      {{nfSecurityChange}, 0x100},
      {{nfCreationDateChange, nfAccessChange}, 0x60},
      {{nfFileNameChange, nfDirNameChange, nfAttributeChange, nfSizeChange, nfWriteChange,
        nfAccessChange, nfCreationDateChange, nfSecurityChange},
       0x17F},
  };
  for (const Case& c : cases) EXPECT_EQ(FilterMaskOf(c.filters), c.mask);
}

// ---- The batch decoding, on a thread that was never started ----

struct BatchCase {
  const char* what;
  std::string directory;
  std::vector<ChangeRecord> records;
  std::vector<Event> expected;
};

void PrintTo(const BatchCase& c, std::ostream* out) { *out << c.what; }

class HandleChangesTest : public testing::TestWithParam<BatchCase> {};

TEST_P(HandleChangesTest, RaisesOneEventPerChangeInBatchOrder) {
  const BatchCase& c = GetParam();
  QueueDispatcher dispatcher;
  std::vector<Event> events;
  auto thread = TShellChangeThread::Create(
      [&](TFileOperation op, const std::string& a, const std::string& b) {
        events.push_back({op, a, b});
      },
      {}, {}, dispatcher);
  thread->Configure(c.directory, true, true, 3);
  thread->HandleChanges({c.records, "", ""});
  EXPECT_EQ(events, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandleChangesTest,
    testing::Values(
        BatchCase{"rename pair", "/data/", {{4, "a.txt"}, {5, "b.txt"}},
                  {{foRenamed, "/data/a.txt", "/data/b.txt"}}},
        BatchCase{"added then removed", "/data", {{1, "x"}, {2, "sub/y"}},
                  {{foAdded, "/data/x", ""}, {foRemoved, "/data/sub/y", ""}}},
        BatchCase{"modified", "/data", {{3, "m"}}, {{foModified, "/data/m", ""}}},
        BatchCase{"leading new name ignored", "/data", {{5, "b"}, {1, "c"}},
                  {{foAdded, "/data/c", ""}}},
        BatchCase{"new name after an added record ignored", "/data", {{1, "a"}, {5, "b"}},
                  {{foAdded, "/data/a", ""}}},
        BatchCase{"old name alone raises nothing", "/data", {{4, "a"}}, {}},
        BatchCase{"names trimmed of spaces and controls", "/data", {{1, " \ta b\r\n"}},
                  {{foAdded, "/data/a b", ""}}},
        BatchCase{"a name of spaces gives an empty path", "/data", {{2, "   "}},
                  {{foRemoved, "", ""}}},
        BatchCase{"empty buffer and unknown actions", "/data", {{0, ""}, {9, "z"}}, {}}));

TEST(HandleChangesStateTest, NoEventsWhenInactiveNoticesAndWarningsGoToTheirHandlers) {
  QueueDispatcher dispatcher;
  int changes = 0;
  std::vector<std::string> notices, warnings;
  auto thread = TShellChangeThread::Create(
      [&](TFileOperation, const std::string&, const std::string&) { ++changes; },
      [&](const std::string& text) { notices.push_back(text); },
      [&](const std::string& text) { warnings.push_back(text); }, dispatcher);
  thread->Configure("/data", false, true, 3);
  thread->HandleChanges({{{1, "a"}}, "lost", "limit"});
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(notices.empty());
  EXPECT_TRUE(warnings.empty());
  thread->Configure("/data", true, true, 3);
  thread->HandleChanges({{}, "lost", "limit"});
  EXPECT_EQ(notices, std::vector<std::string>{"lost"});
  EXPECT_EQ(warnings, std::vector<std::string>{"limit"});
}

TEST(DirectoryWithSeparatorTest, AddsOneSeparatorAndLeavesEmptyEmpty) {
  EXPECT_EQ(DirectoryWithSeparator("/data"), "/data/");
  EXPECT_EQ(DirectoryWithSeparator("/data/"), "/data/");
  EXPECT_EQ(DirectoryWithSeparator(""), "");  // never the root
}

// ---- The component with its worker, on real directories ----

class WatcherTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root / "Data");
    dataDir = root / "Data";
    watcher.SetOnStatus([this](const std::string& text) { notices.push_back(text); });
  }

  TFileDealMethod Recorder(std::vector<Event>& into) {
    return [&into](TFileOperation op, const std::string& a, const std::string& b) {
      into.push_back({op, a, b});
    };
  }

  bool Pumped(const std::function<bool()>& condition) {
    return test::WaitFor(condition, std::chrono::seconds(10), [this] { dispatcher.RunPending(); });
  }

  // Activates the watcher on the data directory and waits until watching
  // is in force.
  void Start(TFileDealMethod handler) {
    watcher.SetWatchedDir(dataDir);
    watcher.SetOnChange(std::move(handler));
    watcher.SetActived(true);
    WaitReady();
  }

  // Waits until watching is in force (the set-up notice has come).
  void WaitReady() {
    std::size_t before = notices.size();
    ASSERT_TRUE(Pumped([&] { return notices.size() > before; }));
  }

  bool Saw(const std::vector<Event>& in, const Event& e) {
    return std::find(in.begin(), in.end(), e) != in.end();
  }

  // Writes a file and waits for its event.
  void Probe(const std::string& name, std::vector<Event>& in) {
    test::WriteFile(dataDir + "/" + name, "");
    EXPECT_TRUE(Pumped([&] { return Saw(in, {foAdded, dataDir + "/" + name, ""}); })) << name;
  }

  test::TempDir root;
  std::string dataDir;
  QueueDispatcher dispatcher;
  std::vector<Event> events;
  std::vector<std::string> notices;
  TFileSystemWatcher watcher{dispatcher};
};

TEST_F(WatcherTest, AThreadRunsOnlyWhileActiveWithAHandler) {
  watcher.SetWatchedDir(dataDir);
  watcher.SetActived(true);
  EXPECT_EQ(watcher.Thread(), nullptr);
  watcher.SetOnChange(Recorder(events));
  const TShellChangeThread* first = watcher.Thread();
  ASSERT_NE(first, nullptr);
  watcher.SetActived(true);
  EXPECT_EQ(watcher.Thread(), first);
  WaitReady();
  Probe("one", events);

  // Another handler: the old thread ends, the new one calls only it.
  std::vector<Event> second;
  watcher.SetOnChange(Recorder(second));
  WaitReady();
  Probe("two", second);
  EXPECT_FALSE(Saw(events, {foAdded, dataDir + "/two", ""}));

  watcher.SetOnChange(nullptr);
  EXPECT_EQ(watcher.Thread(), nullptr);
  EXPECT_TRUE(watcher.Actived());
  watcher.SetActived(false);
  watcher.SetActived(false);
  EXPECT_EQ(watcher.Thread(), nullptr);
}

TEST_F(WatcherTest, WatchedDirDifferingOnlyInCaseChangesNothing) {
  Start(Recorder(events));
  // Re-opening on this (non-existent) spelling would silence the watcher.
  watcher.SetWatchedDir(root / "DATA");
  EXPECT_EQ(watcher.WatchedDir(), dataDir);
  Probe("still", events);
}

TEST_F(WatcherTest, AMissingDirectoryIsSilentUntilAnExistingOneIsSet) {
  watcher.SetWatchedDir(root / "missing");
  watcher.SetOnChange(Recorder(events));
  watcher.SetActived(true);
  ASSERT_NE(watcher.Thread(), nullptr);
  watcher.SetWatchedDir(dataDir);
  WaitReady();
  Probe("now", events);
}

TEST_F(WatcherTest, NoEventAfterDeactivationEvenForABatchAlreadyHandedOver) {
  Start(Recorder(events));
  test::WriteFile(dataDir + "/late", "");
  ASSERT_TRUE(test::WaitFor([&] { return dispatcher.PendingCount() > 0; }));
  watcher.SetActived(false);
  dispatcher.RunPending();
  EXPECT_TRUE(events.empty());
}

TEST_F(WatcherTest, AnExceptionFromTheHandlerEndsTheThreadUntilSwitchedOffAndOn) {
  int calls = 0;
  Start([&](TFileOperation, const std::string&, const std::string&) {
    ++calls;
    throw std::runtime_error("handler failed");
  });
  test::WriteFile(dataDir + "/a", "");
  ASSERT_TRUE(Pumped([&] { return watcher.Thread()->Finished(); }));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(watcher.Actived());

  watcher.SetOnChange(Recorder(events));  // restarts it
  WaitReady();
  Probe("b", events);
}

TEST_F(WatcherTest, AHandlerMaySwitchItsOwnWatcherOff) {
  Start([&](TFileOperation op, const std::string& a, const std::string& b) {
    events.push_back({op, a, b});
    watcher.SetActived(false);
  });
  for (const char* name : {"a", "b", "c"}) test::WriteFile(dataDir + "/" + name, "");
  ASSERT_TRUE(Pumped([&] { return !events.empty(); }));
  dispatcher.RunPending();
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ(watcher.Thread(), nullptr);
}

TEST_F(WatcherTest, DestroyingAWatcherWhoseWorkerWaitsNeitherHangsNorRaises) {
  auto local = std::make_unique<TFileSystemWatcher>(dispatcher);
  local->SetWatchedDir(dataDir);
  local->SetOnStatus([this](const std::string& text) { notices.push_back(text); });
  local->SetOnChange(Recorder(events));
  local->SetActived(true);
  WaitReady();
  test::WriteFile(dataDir + "/pending", "");
  ASSERT_TRUE(test::WaitFor([&] { return dispatcher.PendingCount() > 0; }));
  local.reset();
  dispatcher.RunPending();
  EXPECT_TRUE(events.empty());
}

TEST_F(WatcherTest, AShutDownDispatcherLetsTheWorkerGo) {
  Start(Recorder(events));
  test::WriteFile(dataDir + "/pending", "");
  ASSERT_TRUE(test::WaitFor([&] { return dispatcher.PendingCount() > 0; }));
  dispatcher.Shutdown();
  test::WriteFile(dataDir + "/more", "");
  watcher.SetActived(false);  // joins the worker: must not hang
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace ravo
