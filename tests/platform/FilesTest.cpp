#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
