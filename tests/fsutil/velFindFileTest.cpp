#include "fsutil/velFindFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <limits.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

using Call = std::pair<std::string, std::int32_t>;  // path, kind
using Calls = std::vector<Call>;

// A callback that records every call and sets the stop flag (or raises)
// where the test says so.
TFindCallback Recorder(Calls& calls, std::function<bool(const Call&)> stopAt = {},
                       std::function<bool(const Call&)> raiseAt = {}) {
  return [&calls, stopAt, raiseAt](const std::string& path, std::int32_t kind, bool& stop) {
    calls.emplace_back(path, kind);
    if (raiseAt && raiseAt(calls.back())) throw std::runtime_error("callback failed");
    if (stopAt && stopAt(calls.back())) stop = true;
  };
}

bool Has(const Calls& calls, const Call& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

std::set<std::string> PathsOfKind(const Calls& calls, std::int32_t kind) {
  std::set<std::string> paths;
  for (const auto& [path, k] : calls) {
    if (k == kind) paths.insert(path);
  }
  return paths;
}

// The names of a directory in the order the system's directory read gives.
std::vector<std::string> ReadOrder(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  return names;
}

TEST(FindFilesTest, ReportsDepthFirstInTheOrderTheDirectoryReadGives) {
  test::TempDir dir;
  test::WriteFile(dir / "a.mp3", "");
  test::WriteFile(dir / "s/b.txt", "");
  const std::string root = dir.Path();

  Calls expected = {{root, 1}};
  for (const std::string& name : ReadOrder(root)) {
    if (name == "a.mp3") {
      expected.insert(expected.end(), {{root + "/a.mp3", 2}, {root + "/a.mp3", 0}});
    } else {
      expected.insert(expected.end(), {{root + "/s", 1}, {root + "/s/b.txt", 2}, {root, 1}});
    }
  }
  for (const std::string& start : {root, root + "/"}) {
    Calls calls;
    EXPECT_EQ(FindFiles(start, ".mp3", Recorder(calls)), 1) << start;
    EXPECT_EQ(calls, expected) << start;
  }
}

TEST(FindFilesTest, MatchesLowerCasedExtensionsOrEveryFileForStarDotStar) {
  test::TempDir dir;
  for (const char* name : {"x.MP3", "x.jpe", "x.j", "README", ".hidden", "sub/y.wav", "d.mp3/z"}) {
    test::WriteFile(dir / name, "");
  }
  const std::set<std::string> all = {dir / "x.MP3",   dir / "x.jpe",     dir / "x.j",
                                     dir / "README",  dir / ".hidden",   dir / "sub/y.wav",
                                     dir / "d.mp3/z"};
  struct Case {
    std::string list;
    std::set<std::string> matched;
  } cases[] = {
      {".wav;.mp3,.wma,.acc", {dir / "x.MP3", dir / "sub/y.wav"}},
      {".JPG;.JPEG;.BMP", {dir / "x.jpe", dir / "x.j"}},
      {"*.*", all},
      {".swf;*.*;", all},
      {"", {}},
  };
  for (const Case& c : cases) {
    Calls calls;
    std::int32_t count = FindFiles(dir.Path(), c.list, Recorder(calls));
    EXPECT_EQ(PathsOfKind(calls, 0), c.matched) << c.list;
    EXPECT_EQ(PathsOfKind(calls, 2), all) << c.list;
    EXPECT_EQ(count, static_cast<std::int32_t>(c.matched.size())) << c.list;
    EXPECT_EQ(FindFiles(dir.Path(), c.list, nullptr), count) << c.list;
  }
}

TEST(FindFilesTest, EmptyAndMissingStarts) {
  Calls calls;
  EXPECT_EQ(FindFiles("", "*.*", Recorder(calls)), 0);
  EXPECT_TRUE(calls.empty());

  test::TempDir dir;
  EXPECT_EQ(FindFiles(dir / "missing/", "*.*", Recorder(calls)), 0);
  EXPECT_EQ(calls, (Calls{{dir / "missing", 1}}));
}

TEST(FindFilesTest, TheRootDirectoryIsWalkedAndReportedAsSlash) {
  // Every call but the first stops its walk, so the walk of "/" ends after
  // its first entry.
  Calls calls;
  FindFiles("/", "", Recorder(calls, [&](const Call&) { return calls.size() > 1; }));
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], (Call{"/", 1}));
  const std::string& entry = calls[1].first;
  EXPECT_EQ(entry.rfind('/'), 0u) << entry;
  EXPECT_GT(entry.size(), 1u) << entry;
}

TEST(FindFilesTest, StopFlagEndsOnlyTheWalkOfTheDirectoryItWasSetIn) {
  test::TempDir dir;
  for (const char* name : {"r1.mp3", "r2.mp3", "r3.mp3", "sub/s1.mp3", "sub/s2.mp3"}) {
    test::WriteFile(dir / name, "");
  }
  const std::string root = dir.Path();
  const std::string sub = dir / "sub";
  auto inSub = [&](const Call& c) { return c.first.rfind(sub + "/", 0) == 0; };
  auto files = [](const Calls& calls) { return PathsOfKind(calls, 2).size(); };

  {  // Set in the kind-2 call of a matching file: its kind-0 call still comes.
    Calls calls;
    bool once = false;
    auto firstFile = [&](const Call& c) { return c.second == 2 && !std::exchange(once, true); };
    EXPECT_EQ(FindFiles(sub, "*.*", Recorder(calls, firstFile)), 1);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2], (Call{calls[1].first, 0}));
  }
  {  // Set in the first kind-1 call: nothing of the directory is reported.
    Calls calls;
    EXPECT_EQ(FindFiles(root, "*.*", Recorder(calls, [](const Call&) { return true; })), 0);
    EXPECT_EQ(calls, (Calls{{root, 1}}));
  }
  {  // Set once inside the subdirectory: the parent's walk goes on.
    Calls calls;
    bool once = false;
    auto firstSubFile = [&](const Call& c) {
      return c.second == 2 && inSub(c) && !std::exchange(once, true);
    };
    EXPECT_EQ(FindFiles(root, "*.*", Recorder(calls, firstSubFile)), 4);
    EXPECT_EQ(files(calls), 4u);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), Call{root, 1}), 2);
  }
  {  // Set when the subdirectory's walk begins: its entries are skipped.
    Calls calls;
    auto enterSub = [&](const Call& c) { return c == Call{sub, 1}; };
    EXPECT_EQ(FindFiles(root, "*.*", Recorder(calls, enterSub)), 3);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), inSub), 0);
    EXPECT_EQ(files(calls), 3u);
  }
}

TEST(FindFilesTest, ARaisingCallbackLosesOnlyTheEntryAtHand) {
  test::TempDir dir;
  for (const char* name : {"a.mp3", "bad.mp3", "sub/s.mp3"}) test::WriteFile(dir / name, "");
  const std::string root = dir.Path();
  struct Case {
    Call raiseAt;
    std::int32_t count;
    std::set<std::string> reportedFiles;
  } cases[] = {
      // kind 2: no kind-0 call, not counted
      {{root + "/bad.mp3", 2}, 2, {root + "/a.mp3", root + "/bad.mp3", root + "/sub/s.mp3"}},
      // kind 0: the count grows only after the call
      {{root + "/bad.mp3", 0}, 2, {root + "/a.mp3", root + "/bad.mp3", root + "/sub/s.mp3"}},
      // the first report of a subdirectory: its walk ends, the parent's goes on
      {{root + "/sub", 1}, 2, {root + "/a.mp3", root + "/bad.mp3"}},
      // the first report of the start: nothing is walked
      {{root, 1}, 0, {}},
  };
  for (const Case& c : cases) {
    Calls calls;
    bool raised = false;
    auto raise = [&](const Call& call) { return call == c.raiseAt && !std::exchange(raised, true); };
    EXPECT_EQ(FindFiles(root, ".mp3", Recorder(calls, {}, raise)), c.count) << c.raiseAt.first;
    EXPECT_EQ(PathsOfKind(calls, 2), c.reportedFiles) << c.raiseAt.first;
    if (c.raiseAt.second == 2) {
      EXPECT_FALSE(Has(calls, {c.raiseAt.first, 0}));
    }
    if (c.raiseAt == Call{root + "/sub", 1}) {  // the parent is reported after it all the same
      EXPECT_EQ(std::count(calls.begin(), calls.end(), Call{root, 1}), 2);
    }
  }
}

TEST(FindFilesTest, SymbolicLinksAreFilesAndNeverFollowed) {
  test::TempDir dir;
  test::WriteFile(dir / "f.mp3", "");
  std::filesystem::create_directory_symlink(".", dir / "loop");
  std::filesystem::create_directory_symlink("..", dir / "up");
  std::filesystem::create_directory_symlink(dir.Path(), dir / "dir.mp3");
  Calls calls;
  EXPECT_EQ(FindFiles(dir.Path(), ".mp3", Recorder(calls)), 2);
  EXPECT_EQ(PathsOfKind(calls, 2),
            (std::set<std::string>{dir / "f.mp3", dir / "loop", dir / "up", dir / "dir.mp3"}));
  EXPECT_EQ(PathsOfKind(calls, 1), (std::set<std::string>{dir.Path()}));
}

// Runs the check in a child process without root's rights, so that
// permissions apply; the child's exit code tells the outcome.
void ExpectWithoutRootRights(const std::function<bool()>& check) {
  EXPECT_EXIT(
      {
        if (geteuid() == 0) {
          const gid_t nobody = 65534;
          if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
              setresuid(nobody, nobody, nobody) != 0) {
            std::perror("dropping root rights");
            std::_Exit(2);
          }
        }
        std::_Exit(check() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(FindFilesTest, AnUnreadableSubdirectoryCountsAsEmpty) {
  test::TempDir dir;
  test::WriteFile(dir / "open.mp3", "");
  test::WriteFile(dir / "locked/inner.mp3", "");
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod((dir / "locked").c_str(), 0), 0);
  ExpectWithoutRootRights([&] {
    Calls calls;
    std::int32_t count = FindFiles(dir.Path(), ".mp3", Recorder(calls));
    bool ok = count == 1 && Has(calls, {dir / "locked", 1}) &&
              PathsOfKind(calls, 2) == std::set<std::string>{dir / "open.mp3"};
    if (!ok) {
      for (const auto& [path, kind] : calls) std::fprintf(stderr, "%d %s\n", kind, path.c_str());
    }
    return ok;
  });
}

// A tmpfs mounted inside a test folder, unmounted at the end.
class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& dir) : dir_(dir) {
    std::filesystem::create_directories(dir);
    mounted_ = mount("ravo-test", dir.c_str(), "tmpfs", 0, "size=1m") == 0;
  }
  ~TmpfsMount() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

 private:
  std::string dir_;
  bool mounted_ = false;
};

TEST(FindFilesTest, AnotherFilesystemInsideTheTreeIsNotEntered) {
  test::TempDir dir;
  test::WriteFile(dir / "here.mp3", "");
  TmpfsMount mnt(dir / "mnt");
  if (!mnt.Mounted()) GTEST_SKIP() << "mounting is not allowed here";
  test::WriteFile(dir / "mnt/there.mp3", "");

  Calls calls;
  EXPECT_EQ(FindFiles(dir.Path(), ".mp3", Recorder(calls)), 1);
  EXPECT_TRUE(Has(calls, {dir / "mnt", 1}));
  EXPECT_FALSE(Has(calls, {dir / "mnt/there.mp3", 2}));
  // Walked as a start of its own, the other filesystem is searched.
  EXPECT_EQ(FindFiles(dir / "mnt/", ".mp3", nullptr), 1);
}

TEST(FindFilesTest, KernelFilesystemsAreNotSearched) {
  const std::pair<std::string, std::string> cases[] = {{"/proc", "/proc"}, {"/sys/", "/sys"}};
  for (const auto& [start, reported] : cases) {
    Calls calls;
    EXPECT_EQ(FindFiles(start, "*.*", Recorder(calls)), 0) << start;
    EXPECT_EQ(calls, (Calls{{reported, 1}})) << start;
  }
}

// A chain of directories whose deepest path is longer than any path buffer
// of the system; built and removed relative to open directories, since the
// system refuses paths that long.
class DeepTree {
 public:
  DeepTree(const std::string& root, const std::string& name, int depth) : name_(name) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i) {
      fds_.push_back(fd);
      mkdirat(fd, name.c_str(), 0755);
      fd = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    }
    if (fd >= 0) fds_.push_back(fd);
    if (fd >= 0) close(openat(fd, "deep.mp3", O_WRONLY | O_CREAT, 0644));
  }
  ~DeepTree() {
    if (!fds_.empty()) unlinkat(fds_.back(), "deep.mp3", 0);
    for (std::size_t i = fds_.size(); i-- > 0;) {
      if (i + 1 < fds_.size()) unlinkat(fds_[i], name_.c_str(), AT_REMOVEDIR);
      close(fds_[i]);
    }
  }

 private:
  std::string name_;
  std::vector<int> fds_;
};

TEST(FindFilesTest, TreesDeeperThanAnyPathBufferAreWalkedToTheBottom) {
  test::TempDir dir;
  const std::string name = "level-of-a-deep-tree";
  const int depth = 400;
  DeepTree tree(dir.Path(), name, depth);
  std::string deepest = dir.Path();
  for (int i = 0; i < depth; ++i) deepest += "/" + name;
  ASSERT_GT(deepest.size(), static_cast<std::size_t>(PATH_MAX));

  Calls calls;
  EXPECT_EQ(FindFiles(dir.Path(), ".mp3", Recorder(calls)), 1);
  EXPECT_EQ(PathsOfKind(calls, 0), (std::set<std::string>{deepest + "/deep.mp3"}));
  EXPECT_EQ(calls.size(), 2u * depth + 1 + 2);  // each directory twice but the start, the file twice
}

}  // namespace
}  // namespace ravo
