// Heads read ahead of a walk: what the walk takes is what the file holds,
// in the walk's own order, past the window, with skipped files and files
// that are not read ahead.
#include "typedb/HeadPrefetch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fsutil/PathText.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

using Call = std::pair<std::string, std::int32_t>;

// A walk of the tree, with or without a lookahead; on every file the
// visitor is called.
std::vector<Call> Walk(const std::string& dir, FindLookahead* lookahead,
                       const std::function<void(const std::string&)>& visit = {}) {
  std::vector<Call> calls;
  FindFiles(dir, ".mp3", [&](const std::string& path, std::int32_t kind, bool&) {
    calls.emplace_back(path, kind);
    if (kind == kFoundFile && visit) visit(path);
  }, lookahead);
  return calls;
}

TEST(HeadPrefetchTest, TheWalkTakesEveryHeadAsTheFileHoldsItInItsOwnOrder) {
  test::TempDir dir;
  // More files than the window in one folder, a folder below, names that
  // are not read ahead, short and empty files, and a link.
  for (int i = 0; i < 700; ++i) {
    dir.Write("top/f" + std::to_string(i) + ".dat", std::string(i % 80, static_cast<char>('a' + i % 26)));
  }
  for (int i = 0; i < 300; ++i) dir.Write("top/sub/g" + std::to_string(i), "sub " + std::to_string(i));
  dir.Write("top/song.mp3", "ID3");
  ASSERT_EQ(symlink((dir / "top/f1.dat").c_str(), (dir / "top/link.dat").c_str()), 0);
  const std::string top = dir / "top";

  HeadPrefetch prefetch([](std::string_view name, bool regular) {
    return regular && !name.ends_with(".mp3");
  });
  int taken = 0;
  int notReadAhead = 0;
  std::vector<Call> calls = Walk(top, &prefetch, [&](const std::string& path) {
    // Every tenth file is skipped, as a file whose report failed would be.
    if (++taken % 10 == 0) return;
    std::optional<std::optional<FileHead>> head = prefetch.Take(path);
    if (NameOf(path) == "song.mp3" || NameOf(path) == "link.dat") {
      EXPECT_FALSE(head) << path;
      ++notReadAhead;
      return;
    }
    ASSERT_TRUE(head && *head) << path;
    std::string content = test::ReadFile(path);
    std::size_t count = std::min<std::size_t>(content.size(), kHeaderSize);
    EXPECT_EQ((*head)->count, count) << path;
    EXPECT_EQ(std::string((*head)->bytes.data(), count), content.substr(0, count)) << path;
    EXPECT_EQ(std::string((*head)->bytes.data() + count, kHeaderSize - count),
              std::string(kHeaderSize - count, '\0')) << path;
  });
  EXPECT_EQ(taken, 1002);
  EXPECT_LE(notReadAhead, 2);
  // Reading ahead changes nothing of what the walk reports, nor its order.
  EXPECT_EQ(calls, Walk(top, nullptr));
}

TEST(HeadPrefetchTest, APathOutsideTheDeepestLevelIsNotReadAhead) {
  test::TempDir dir;
  const std::string file = dir.Write("a.dat", "content");
  HeadPrefetch prefetch([](std::string_view, bool) { return true; });
  EXPECT_FALSE(prefetch.Take(file));
  Walk(dir.Path(), &prefetch, [&](const std::string&) {
    EXPECT_FALSE(prefetch.Take(dir / "elsewhere/a.dat"));
    EXPECT_TRUE(prefetch.Take(file));
    // Taken once: a second take is no read ahead.
    EXPECT_FALSE(prefetch.Take(file));
  });
}

}  // namespace
}  // namespace ravo
