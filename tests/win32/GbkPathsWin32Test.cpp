// Paths in the ANSI code page 936 (GBK). "乗" is 81 5C: its trail byte is a
// back slash, which must never be taken for a separator.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fsutil/PathText.h"
#include "fsutil/velFile.h"
#include "fsutil/velFindFile.h"
#include "platform/DirSearch.h"
#include "tests/support/TestSupport.h"
#include "tests/win32/Win32TestSupport.h"
#include "typedb/DetectFileType.h"

namespace ravo {
namespace {

class GbkPathTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!test::AnsiCodePageIs936()) {
      GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936 (GBK)";
    }
    folder = test::Join(dir.Path(), "资料乗");
    test::MakeAnsiDir(folder);
    picture = test::Join(folder, "图片乗.dat");
    test::WriteAnsiFile(picture, test::JpegBytes(300));
  }

  test::TempDir dir;
  std::string folder;
  std::string picture;
};

TEST_F(GbkPathTest, PathPartsStopAtRealSeparatorsOnly) {
  EXPECT_EQ(NameOf(folder), "资料乗");
  EXPECT_EQ(FolderOf(picture), folder + "\\");
  EXPECT_EQ(ExtOf(picture), ".dat");
  EXPECT_EQ(ExtOf(folder + "\\x.mp3乗"), ".mp3乗");
  EXPECT_EQ(WithTrailingSeparator(folder), folder + "\\");
}

TEST_F(GbkPathTest, TheFinderWalksAFolderWhoseNameEndsInATrailBackSlash) {
  std::vector<std::pair<std::string, int>> calls;
  int count = FindFiles(dir.Path() + "\\", ".dat", [&](const std::string& path, int kind, bool&) {
    calls.emplace_back(path, kind);
  });
  EXPECT_EQ(count, 1);
  std::vector<std::pair<std::string, int>> expected{{dir.Path(), kFoundDirectory},
                                                    {folder, kFoundDirectory},
                                                    {picture, kFoundFile},
                                                    {picture, kFoundMatch},
                                                    {dir.Path(), kFoundDirectory}};
  EXPECT_EQ(calls, expected);

  // Given as the start, without a back slash of its own.
  calls.clear();
  EXPECT_EQ(
      FindFiles(folder, ".dat",
                [&](const std::string& path, int kind, bool&) { calls.emplace_back(path, kind); }),
      1);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), std::make_pair(folder, int{kFoundDirectory}));
}

TEST_F(GbkPathTest, FilesAreSizedAndIdentifiedByTheirAnsiNames) {
  EXPECT_EQ(FileSizeOf(picture), 300);
  EXPECT_EQ(DetectFileType(picture, test::ShippedDatabase()), ".jpg");
}

}  // namespace
}  // namespace ravo
