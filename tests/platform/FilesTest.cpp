#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <vector>

#include "platform/FileRead.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Shell.h"
#include "tests/support/TestSupport.h"

namespace ravo::platform {
namespace {

TEST(CopyFileReplacingTest, CopiesAndReplacesAnExistingTarget) {
  test::TempDir dir;
  test::WriteFile(dir / "a.mp3", "new content");
  test::WriteFile(dir / "b.mp3", "old content that is longer");
  EXPECT_EQ(CopyFileReplacing(dir / "a.mp3", dir / "b.mp3"), "");
  EXPECT_EQ(test::ReadFile(dir / "b.mp3"), "new content");
  // No temporary file is left beside the target.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(CopyFileReplacingTest, RefusesToCopyAFileOntoItself) {
  test::TempDir dir;
  test::WriteFile(dir / "a.jpg", "picture");
  ASSERT_EQ(link((dir / "a.jpg").c_str(), (dir / "hard.jpg").c_str()), 0);
  ASSERT_EQ(symlink((dir / "a.jpg").c_str(), (dir / "soft.jpg").c_str()), 0);
  for (const char* target : {"a.jpg", "hard.jpg", "soft.jpg"}) {
    EXPECT_NE(CopyFileReplacing(dir / "a.jpg", dir / target), "") << target;
    EXPECT_EQ(test::ReadFile(dir / "a.jpg"), "picture") << target;
  }
}

TEST(CopyFileReplacingTest, FailuresAreReportedAndLeaveTheTargetIntact) {
  test::TempDir dir;
  test::WriteFile(dir / "target", "keep me");
  EXPECT_NE(CopyFileReplacing(dir / "missing", dir / "target"), "");
  EXPECT_NE(CopyFileReplacing(dir.Path(), dir / "target"), "");
  EXPECT_EQ(test::ReadFile(dir / "target"), "keep me");
  EXPECT_NE(CopyFileReplacing(dir / "target", dir / "no/such/folder/x"), "");
}

TEST(CopyFileReplacingTest, RefusesPipesWithoutWaitingForAWriter) {
  test::TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo.mp3").c_str(), 0600), 0);
  auto copied = std::async(std::launch::async, [&] {
    return CopyFileReplacing(dir / "fifo.mp3", dir / "copy.mp3");
  });
  ASSERT_EQ(copied.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_NE(copied.get(), "");
  EXPECT_FALSE(std::filesystem::exists(dir / "copy.mp3"));
}

// A stopped copy and a target that must be kept: the copy leaves nothing,
// and the file that was there is untouched.
TEST(CopyFileReplacingTest, AStoppedCopyOrAKeptTargetLeavesNothingBehind) {
  test::TempDir dir;
  test::WriteFile(dir / "big.mp4", std::string(3 << 20, 'v'));
  test::WriteFile(dir / "there.mp4", "keep me");
  std::stop_source stopped;
  stopped.request_stop();
  CopyControl stop{stopped.get_token(), false};
  CopyControl keep{{}, true};
  EXPECT_EQ(CopyFileReplacing(dir / "big.mp4", dir / "copy.mp4", stop), kCopyStopped);
  EXPECT_EQ(CopyFileReplacing(dir / "big.mp4", dir / "there.mp4", keep), kTargetExists);
  EXPECT_EQ(test::ReadFile(dir / "there.mp4"), "keep me");
  EXPECT_EQ(CopyFileReplacing(dir / "big.mp4", dir / "new.mp4", keep), "");
  EXPECT_EQ(test::ReadFile(dir / "new.mp4").size(), std::size_t{3} << 20);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"big.mp4", "new.mp4", "there.mp4"}));
}

// CopyFileRangesReplacing with the ranges written in place.
std::string CopyRanges(const ReadOnlyFile& source, std::vector<FileRange> ranges,
                       const std::string& target) {
  return CopyFileRangesReplacing(source, ranges, target);
}

TEST(CopyFileRangesReplacingTest, CopiesExactlyTheRangesInTheirOrder) {
  test::TempDir dir;
  test::WriteFile(dir / "entry", "HEADERbodyTRAILER");
  test::WriteFile(dir / "body.png", "an older and longer file");
  ReadOnlyFile entry(dir / "entry");
  EXPECT_EQ(CopyRanges(entry, {{6, 4}}, dir / "body.png"), "");
  EXPECT_EQ(test::ReadFile(dir / "body.png"), "body");
  EXPECT_EQ(CopyRanges(entry, {{10, 7}, {0, 6}, {6, 0}, {6, 2}}, dir / "pieces"), "");
  EXPECT_EQ(test::ReadFile(dir / "pieces"), "TRAILERHEADERbo");
  EXPECT_EQ(CopyRanges(entry, {}, dir / "empty"), "");
  EXPECT_EQ(test::ReadFile(dir / "empty"), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4);
}

TEST(CopyFileRangesReplacingTest, ARangeTheFileNoLongerHoldsReplacesNothing) {
  test::TempDir dir;
  test::WriteFile(dir / "entry", "HEADERbody");
  test::WriteFile(dir / "target", "keep me");
  ReadOnlyFile entry(dir / "entry");
  for (std::uint64_t offset : {6ull, 11ull, ~0ull - 2}) {
    EXPECT_NE(CopyRanges(entry, {{offset, 5}}, dir / "target"), "") << offset;
  }
  // One range beyond the end spoils the copy of all.
  EXPECT_NE(CopyRanges(entry, {{0, 6}, {8, 3}}, dir / "target"), "");
  EXPECT_EQ(test::ReadFile(dir / "target"), "keep me");
  // Neither the source itself nor another name of it is ever written.
  ASSERT_EQ(link((dir / "entry").c_str(), (dir / "hard").c_str()), 0);
  EXPECT_NE(CopyRanges(entry, {{6, 4}}, dir / "hard"), "");
  EXPECT_EQ(test::ReadFile(dir / "entry"), "HEADERbody");
  EXPECT_NE(CopyRanges(ReadOnlyFile(dir / "missing"), {{0, 1}}, dir / "target"), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

TEST(ReadOnlyFileTest, ReadsAnywhereButOnlyWhatIsThere) {
  test::TempDir dir;
  test::WriteFile(dir / "file", "0123456789");
  ReadOnlyFile file(dir / "file");
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 10u);
  std::string buffer(3, '\0');
  EXPECT_TRUE(file.ReadAt(7, buffer));
  EXPECT_EQ(buffer, "789");
  EXPECT_FALSE(file.ReadAt(8, buffer));
  EXPECT_FALSE(file.ReadAt(~0ull - 1, buffer));
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const std::string& path : {dir / "fifo", dir.Path(), dir / "missing"}) {
    ReadOnlyFile other(path);
    EXPECT_FALSE(other.IsOpen()) << path;
    EXPECT_FALSE(other.Size()) << path;
    EXPECT_FALSE(other.ReadAt(0, buffer)) << path;
  }
}

TEST(MakePrivateTempDirTest, MakesANewFolderOnlyItsOwnerMayEnter) {
  std::string first = MakePrivateTempDir("ravo-test-");
  std::string second = MakePrivateTempDir("ravo-test-");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  struct stat st {};
  ASSERT_EQ(stat(first.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  std::filesystem::remove(first);
  std::filesystem::remove(second);
}

TEST(ShellTest, OpensWithTheDesktopOpenerInTheFilesFolder) {
  test::TempDir dir;
  std::string recorder = dir / "opener.sh";
  test::WriteFile(recorder, "#!/bin/sh\npwd > \"" + dir.Path() + "/cwd\"\necho \"$1\" > \"" +
                                dir.Path() + "/arg\"\n");
  chmod(recorder.c_str(), 0755);
  setenv("RAVO_OPENER", recorder.c_str(), 1);
  test::WriteFile(dir / "media/a.mp3", "x");
  EXPECT_TRUE(ShellOpen(dir / "media/a.mp3", "", dir / "media/"));
  EXPECT_TRUE(test::WaitFor([&] { return test::ReadFile(dir / "arg") == dir / "media/a.mp3\n"; }));
  EXPECT_TRUE(test::WaitFor([&] { return test::ReadFile(dir / "cwd") == dir / "media\n"; }));
  setenv("RAVO_OPENER", (dir / "no-such-opener").c_str(), 1);
  EXPECT_FALSE(ShellOpen(dir / "media/a.mp3", "", ""));
  unsetenv("RAVO_OPENER");
}

TEST(ProcessTest, ExecutableDirIsTheFolderOfTheTest) {
  std::string dir = ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(dir + "platform_test"));
}

}  // namespace
}  // namespace ravo::platform
