#include <gtest/gtest.h>
#include <unistd.h>

#include "app/CaptureList.h"
#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"

namespace ravo {
namespace {

class CaptureListTest : public testing::Test {
 protected:
  StringGrid grid{3, 1};
  CaptureList list{grid};
  test::TempDir dir;
};

TEST_F(CaptureListTest, StartsWithHeaderAndNineEmptyRows) {
  EXPECT_EQ(grid.RowCount(), 10);
  EXPECT_EQ(grid.Cell(0, 0), "文件名");
  EXPECT_EQ(grid.Cell(1, 0), "类型");
  EXPECT_EQ(grid.Cell(2, 0), "大小");
  EXPECT_EQ(list.CapturedCount(), 0);
  EXPECT_FALSE(list.PathOfRow(1));
}

TEST_F(CaptureListTest, AppendsSetRowCountNameTypeAndSize) {
  test::WriteFile(dir / "a.dat", std::string(1536, 'x'));
  list.AddCapturedRow(dir / "a.dat", ".jpg");
  list.AddCapturedRow(dir / "a.dat", ".jpg");  // no duplicate check
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cell(0, 2), "a.dat");
  EXPECT_EQ(grid.Cell(1, 2), ".jpg");
  EXPECT_EQ(grid.Cell(2, 2), "1.50kB");
  EXPECT_EQ(list.PathOfRow(2), dir / "a.dat");
  EXPECT_EQ(list.RowOfPath(dir / "a.dat"), 2);
}

TEST_F(CaptureListTest, RefreshFollowsAFileThatIsDeletedAndCreatedAgain) {
  test::WriteFile(dir / "first.mp3", "12345");
  test::WriteFile(dir / "last.mp3", "");
  list.AddCapturedRow(dir / "first.mp3", ".mp3");
  list.AddCapturedRow(dir.Path(), ".mp3");  // a directory shows "0"
  list.AddCapturedRow(dir / "last.mp3", ".mp3");
  test::WriteFile(dir / "last.mp3", std::string(2048, 'y'));
  list.RefreshSizes();
  EXPECT_EQ(grid.Cell(2, 1), "5B");
  EXPECT_EQ(grid.Cell(2, 2), "0");
  EXPECT_EQ(grid.Cell(2, 3), "2.00kB");
  unlink((dir / "first.mp3").c_str());
  list.RefreshSizes();
  EXPECT_EQ(grid.Cell(2, 1), "0");
  test::WriteFile(dir / "first.mp3", "123");
  list.RefreshSizes();
  EXPECT_EQ(grid.Cell(2, 1), "3B");
}

#ifndef _WIN32
// A size that cannot be taken for another reason than a missing file is
// unknown, not 0: a loop of symbolic links fails like an unsearchable folder
// (which root could still search) or an I/O error would.
TEST_F(CaptureListTest, ASizeThatCannotBeTakenIsUnknown) {
  ASSERT_EQ(symlink((dir / "loop2.mp3").c_str(), (dir / "loop1.mp3").c_str()), 0);
  ASSERT_EQ(symlink((dir / "loop1.mp3").c_str(), (dir / "loop2.mp3").c_str()), 0);
  list.AddCapturedRow(dir / "loop1.mp3", ".mp3");
  list.AddCapturedRow(dir / "gone.mp3", ".mp3");
  list.RefreshSizes();
  EXPECT_EQ(grid.Cell(2, 1), "未知");
  EXPECT_EQ(grid.Cell(2, 2), "0");
}
#endif

TEST_F(CaptureListTest, ResetKeepsTheGridButDropsThePaths) {
  list.AddCapturedRow(dir / "a.mp3", ".mp3");
  list.Reset();
  EXPECT_EQ(grid.Cell(0, 1), "a.mp3");
  EXPECT_FALSE(list.PathOfRow(1));
  list.RefreshSizes();  // rows without a path are left alone
  EXPECT_EQ(grid.Cell(2, 1), "");
  list.AddCapturedRow(dir / "b.mp3", ".mp3");
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cell(0, 1), "b.mp3");
}

TEST_F(CaptureListTest, ColourRules) {
  struct Case {
    std::string name, type, size;
    std::optional<Rgb> typeColour, sizeColour;
  } cases[] = {
      {"a.mp3", ".mp3", "1.50kB", std::nullopt, kKiloColour},
      {"a.MP3", ".mp3", "5.00MB", std::nullopt, kMegaColour},
      {"movie.dat", ".flv", "1.50GB", kHiddenTypeColour, kGigaColour},
      {"a.mp3", ".mp3", "1024B", std::nullopt, std::nullopt},
      {"a.mp3", ".mp3", "0", std::nullopt, std::nullopt},
      {"a.mp3", ".mp3", "未知", std::nullopt, std::nullopt},
      {"", "", "", kHiddenTypeColour, std::nullopt},  // empty row: an empty type never occurs
  };
  for (const Case& c : cases) {
    grid.SetCell(0, 1, c.name);
    grid.SetCell(1, 1, c.type);
    grid.SetCell(2, 1, c.size);
    EXPECT_EQ(list.CellColour(1, 1), c.typeColour) << c.name << c.type;
    EXPECT_EQ(list.CellColour(2, 1), c.sizeColour) << c.size;
    EXPECT_EQ(list.CellColour(0, 1), std::nullopt);
  }
  EXPECT_EQ(list.CellColour(1, 0), kHiddenTypeColour);  // "类型" is not in "文件名"
}

TEST_F(CaptureListTest, SaveNameAppendsTheTypeCaseSensitively) {
  list.AddCapturedRow(dir / "a.MP3", ".mp3");
  list.AddCapturedRow(dir / "b.mp3", ".mp3");
  list.AddCapturedRow(dir / "photo.dat", ".jpg");
  EXPECT_EQ(list.SuggestedSaveName(1), "a.MP3.mp3");
  EXPECT_EQ(list.SuggestedSaveName(2), "b.mp3");
  EXPECT_EQ(list.SuggestedSaveName(3), "photo.dat.jpg");
}

TEST_F(CaptureListTest, ReplaceAndRemoveKeepRowsAndPathsInStep) {
  for (const char* n : {"a.part", "b.mp3", "c.mp3"}) list.AddCapturedRow(dir / n, ".mp3");
  list.ReplaceRow(1, dir / "a.mp3", ".mp3");
  EXPECT_EQ(grid.Cell(0, 1), "a.mp3");
  list.RemoveRow(2);
  EXPECT_EQ(list.CapturedCount(), 2);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cell(0, 2), "c.mp3");
  EXPECT_EQ(list.PathOfRow(2), dir / "c.mp3");
}

TEST_F(CaptureListTest, MovingAFolderMovesOnlyThePathsInsideIt) {
  list.AddCapturedRow(dir / "dl/a.jpg", ".jpg");
  list.AddCapturedRow(dir / "dl2/b.jpg", ".jpg");  // shares the prefix, not the folder
  list.AddCapturedRow(dir / "dl/sub/c.jpg", ".jpg");
  list.MoveFolder(dir / "dl", dir / "done");
  EXPECT_EQ(list.PathOfRow(1), dir / "done/a.jpg");
  EXPECT_EQ(list.PathOfRow(2), dir / "dl2/b.jpg");
  EXPECT_EQ(list.PathOfRow(3), dir / "done/sub/c.jpg");
  EXPECT_EQ(grid.Cell(0, 1), "a.jpg");
}

}  // namespace
}  // namespace ravo
