// The directory watcher component on Windows: full paths with back slashes,
// and re-opening while the worker waits on a read.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/TestSupport.h"
#include "tests/win32/Win32TestSupport.h"
#include "watch/FileSystemWatcher.h"
#include "watch/QueueDispatcher.h"

namespace ravo {
namespace {

struct Event {
  TFileOperation operation;
  std::string fileName1;
  std::string fileName2;
  bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* out) {
  *out << int(e.operation) << " '" << e.fileName1 << "' '" << e.fileName2 << "'";
}

class WatcherWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"one", "two"}) test::MakeAnsiDir(test::Join(root.Path(), name));
    watcher.SetWatchedDir(test::Join(root.Path(), "one"));
    watcher.SetOnStatus([this](const std::string& text) { notices.push_back(text); });
    watcher.SetOnChange([this](TFileOperation op, const std::string& a, const std::string& b) {
      events.push_back({op, a, b});
    });
  }

  bool Pumped(const std::function<bool()>& condition) {
    return test::WaitFor(condition, std::chrono::seconds(10), [this] { dispatcher.RunPending(); });
  }

  // Switches the watcher on, or points it at another folder, and waits until
  // watching is in force.
  void WatchIn(const std::string& name) {
    std::size_t before = notices.size();
    watcher.SetWatchedDir(test::Join(root.Path(), name));
    watcher.SetActived(true);
    ASSERT_TRUE(Pumped([&] { return notices.size() > before; }));
  }

  int Count(const Event& e) const {
    return static_cast<int>(std::count(events.begin(), events.end(), e));
  }

  test::TempDir root;
  QueueDispatcher dispatcher;
  std::vector<Event> events;
  std::vector<std::string> notices;
  TFileSystemWatcher watcher{dispatcher};
};

TEST_F(WatcherWin32Test, EventsCarryFullPathsWithBackSlashes) {
  std::string one = test::Join(root.Path(), "one");
  test::WriteAnsiFile(test::Join(one, "a.jpg"), "a");
  WatchIn("one");  // given without a trailing back slash
  // Made after the start, see ChangePortTest.
  test::MakeAnsiDir(test::Join(one, "sub"));
  ASSERT_TRUE(Pumped([&] { return Count({foAdded, one + "\\sub", ""}) > 0; }));

  ASSERT_TRUE(MoveFileA(test::Join(one, "a.jpg").c_str(), test::Join(one, "sub\\b.jpg").c_str()));
  test::WriteAnsiFile(test::Join(one, "c.mp3"), "c");
  Event last{foAdded, one + "\\c.mp3", ""};
  ASSERT_TRUE(Pumped([&] { return Count(last) > 0; }));
  EXPECT_EQ(Count({foRenamed, one + "\\a.jpg", one + "\\sub\\b.jpg"}), 1);
}

TEST_F(WatcherWin32Test, ReopeningWhileAReadIsPendingReportsTheNewFolderOnlyAndOnce) {
  for (int round = 0; round < 10; ++round) {
    const char* name = round % 2 ? "one" : "two";
    const char* other = round % 2 ? "two" : "one";
    WatchIn(name);
    std::string file = "f" + std::to_string(round);
    test::WriteAnsiFile(test::Join(test::Join(root.Path(), other), file), "");
    test::WriteAnsiFile(test::Join(test::Join(root.Path(), name), file), "");
    Event expected{foAdded, test::Join(test::Join(root.Path(), name), file), ""};
    ASSERT_TRUE(Pumped([&] { return Count(expected) > 0; })) << round;
  }
  dispatcher.RunPending();
  for (const Event& e : events) {
    if (e.operation != foAdded) continue;
    EXPECT_EQ(Count(e), 1) << e.fileName1;
    std::string round = e.fileName1.substr(e.fileName1.rfind('f') + 1);
    const char* name = std::stoi(round) % 2 ? "one" : "two";
    EXPECT_EQ(e.fileName1.find(test::Join(root.Path(), name)), 0u) << e.fileName1;
  }
  EXPECT_TRUE(watcher.Thread() && !watcher.Thread()->Finished());
}

}  // namespace
}  // namespace ravo
