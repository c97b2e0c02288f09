// File queries, copies, the executable's folder and the shell on Windows.
#include <gtest/gtest.h>
#include <windows.h>

// After windows.h:
#include <winioctl.h>

#include <vector>

#include "fsutil/velFile.h"
#include "platform/FileRead.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Shell.h"
#include "tests/support/TestSupport.h"
#include "tests/win32/Win32TestSupport.h"

namespace ravo::platform {
namespace {

class CopyTest : public testing::Test {
 protected:
  std::string In(const std::string& name) const { return test::Join(dir.Path(), name); }

  void TearDown() override {
    for (const char* name : {"a.jpg", "b.jpg", "target.jpg"}) {
      SetFileAttributesA(In(name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }

  test::TempDir dir;
};

TEST_F(CopyTest, ReplacesTheTargetKeepingTheSourcesAttributesAndWriteTime) {
  test::WriteAnsiFile(In("a.jpg"), "new picture");
  test::WriteAnsiFile(In("b.jpg"), "old picture that is longer");
  FILETIME written{0xD53E8000, 0x01D0B1A2};  // some time in 2015
  {
    HANDLE file = CreateFileA(In("a.jpg").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
  }
  ASSERT_TRUE(SetFileAttributesA(In("a.jpg").c_str(), FILE_ATTRIBUTE_READONLY));

  EXPECT_EQ(CopyFileReplacing(In("a.jpg"), In("b.jpg")), "");
  EXPECT_EQ(test::ReadFile(In("b.jpg")), "new picture");
  WIN32_FILE_ATTRIBUTE_DATA copy{};
  ASSERT_TRUE(GetFileAttributesExA(In("b.jpg").c_str(), GetFileExInfoStandard, &copy));
  EXPECT_TRUE(copy.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(CompareFileTime(&copy.ftLastWriteTime, &written), 0);
  EXPECT_EQ(test::CountEntries(dir.Path()), 2);  // no temporary file left
}

TEST_F(CopyTest, OtherNamesOfTheSourceAreRefusedAndLeftIntact) {
  test::WriteAnsiFile(In("a.jpg"), "picture");
  ASSERT_TRUE(CreateHardLinkA(In("b.jpg").c_str(), In("a.jpg").c_str(), nullptr));
  for (const char* target : {"a.jpg", "A.JPG", "b.jpg"}) {
    EXPECT_NE(CopyFileReplacing(In("a.jpg"), In(target)), "") << target;
    EXPECT_EQ(test::ReadFile(In("a.jpg")), "picture") << target;
  }
  EXPECT_EQ(test::CountEntries(dir.Path()), 2);
}

TEST_F(CopyTest, FailuresAreReportedAndLeaveTheTargetIntact) {
  test::WriteAnsiFile(In("target.jpg"), "keep me");
  test::WriteAnsiFile(In("a.jpg"), "source");
  test::MakeAnsiDir(In("folder"));
  EXPECT_NE(CopyFileReplacing(In("missing.jpg"), In("target.jpg")), "");
  EXPECT_NE(CopyFileReplacing(In("folder"), In("target.jpg")), "");
  EXPECT_NE(CopyFileReplacing(In("a.jpg"), In("no\\such\\folder\\x.jpg")), "");
  {
    test::HeldFile held(In("a.jpg"), GENERIC_WRITE, 0);
    EXPECT_NE(CopyFileReplacing(In("a.jpg"), In("target.jpg")), "");
  }
  ASSERT_TRUE(SetFileAttributesA(In("target.jpg").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(CopyFileReplacing(In("a.jpg"), In("target.jpg")), "");

  EXPECT_EQ(test::ReadFile(In("target.jpg")), "keep me");
  EXPECT_EQ(test::CountEntries(dir.Path()), 3);  // no temporary file left
}

TEST_F(CopyTest, ARangeOfAnOpenFileIsCopiedOnlyWhenItIsAllThere) {
  test::WriteAnsiFile(In("a.jpg"), "headerBODYtrailer");
  test::WriteAnsiFile(In("target.jpg"), "keep me");
  ReadOnlyFile source(In("a.jpg"));
  ASSERT_TRUE(source.IsOpen());
  EXPECT_EQ(source.Size(), 17u);
  const std::vector<FileRange> beyondTheEnd = {{6, 20}};
  EXPECT_NE(CopyFileRangesReplacing(source, beyondTheEnd, In("target.jpg")), "");
  EXPECT_EQ(test::ReadFile(In("target.jpg")), "keep me");
  const std::vector<FileRange> body = {{6, 4}};
  EXPECT_EQ(CopyFileRangesReplacing(source, body, In("target.jpg")), "");
  EXPECT_EQ(test::ReadFile(In("target.jpg")), "BODY");
  EXPECT_EQ(test::CountEntries(dir.Path()), 2);
}

TEST(QueryFileTest, AFileHeldWithoutSharingStillShowsItsSizeAndIdentity) {
  test::TempDir dir;
  std::string a = test::Join(dir.Path(), "a.mp3");
  std::string b = test::Join(dir.Path(), "b.mp3");
  test::WriteAnsiFile(a, std::string(3000, 'x'));
  ASSERT_TRUE(CreateHardLinkA(b.c_str(), a.c_str(), nullptr));
  test::HeldFile held(a, GENERIC_READ | GENERIC_WRITE, 0);

  FileInfo info = QueryFile(a);
  EXPECT_TRUE(info.exists);
  EXPECT_FALSE(info.isDirectory);
  EXPECT_EQ(info.size, 3000u);
  EXPECT_EQ(FileSizeOf(a), 3000);
  FileInfo link = QueryFile(b);
  EXPECT_EQ(link.device, info.device);
  EXPECT_EQ(link.inode, info.inode);
  EXPECT_TRUE(QueryFile(dir.Path()).isDirectory);
  EXPECT_FALSE(QueryFile(test::Join(dir.Path(), "missing")).exists);
}

TEST(QueryFileTest, SizesAreSixtyFourBit) {
  test::TempDir dir;
  std::string path = test::Join(dir.Path(), "sparse.avi");
  {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = 4294967296LL + 100;  // 4 GB + 100 bytes
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
  }
  EXPECT_EQ(QueryFile(path).size, 4294967396u);
  EXPECT_EQ(FileSizeOf(path), 4294967396LL);
}

TEST(TempDirTest, EachFolderIsNewAndEmpty) {
  std::string first = MakePrivateTempDir("ravo-");
  std::string second = MakePrivateTempDir("ravo-");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_TRUE(QueryFile(first).isDirectory);
  EXPECT_EQ(test::CountEntries(first), 0);
  RemoveDirectoryA(first.c_str());
  RemoveDirectoryA(second.c_str());
}

TEST(ProcessTest, ExecutableDirIsTheFolderOfTheTestWithItsBackSlash) {
  std::string dir = ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_TRUE(QueryFile(dir + "win32_test.exe").exists);
}

// A batch file stands in for the program associated with a file: it writes
// the folder it runs in beside itself.
TEST(ShellTest, OpensWithTheAssociatedProgramInTheWorkingDirectory) {
  test::TempDir dir;
  std::string media = test::Join(dir.Path(), "media");
  test::MakeAnsiDir(media);
  std::string script = test::Join(media, "open.cmd");
  test::WriteAnsiFile(script, "@cd > \"" + test::Join(media, "cwd.txt") + "\"\r\n");
  EXPECT_TRUE(ShellOpen(script, "", media + "\\"));
  EXPECT_TRUE(test::WaitFor([&] {
    return test::ReadFile(test::Join(media, "cwd.txt")) == media + "\r\n";
  })) << test::ReadFile(test::Join(media, "cwd.txt"));

  EXPECT_FALSE(ShellOpen(test::Join(media, "missing.mp3"), "", media + "\\"));
  test::WriteAnsiFile(test::Join(media, "a.ravo-unknown"), "x");
  EXPECT_FALSE(ShellOpen(test::Join(media, "a.ravo-unknown"), "", media + "\\"));
}

}  // namespace
}  // namespace ravo::platform
