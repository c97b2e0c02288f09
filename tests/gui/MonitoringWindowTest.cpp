#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/AdvStringGrid.h"
#include "app/Unit_main.h"
#include "platform/Drives.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

const std::string kJpegHead = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(80, 'x');

// The window with drive C: pointed at a fresh temporary folder.
class WindowOnTempDriveTest : public testing::Test {
 protected:
  WindowOnTempDriveTest() {
    platform::SetDriveTable({platform::Drive{'C', drive.Path() + "/", platform::kDriveFixed}});
    window = std::make_unique<TForm_main>();
    window->reportError = [this](const std::string& message) { errors.push_back(message); };
    window->BitBtn1Click();
    window->show();
  }
  ~WindowOnTempDriveTest() override {
    window.reset();
    platform::ResetDriveTable();
  }

  std::string Cell(int col, int row) { return window->Captured().Grid().Cell(col, row); }

  bool WaitForRows(int count) {
    return test::WaitFor([&] { return window->Captured().CapturedCount() >= count; },
                         std::chrono::seconds(10), [] { QTest::qWait(10); });
  }

  test::TempDir drive;
  std::unique_ptr<TForm_main> window;
  std::vector<std::string> errors;
};

using MonitoringWindowTest = WindowOnTempDriveTest;

TEST_F(MonitoringWindowTest, CapturesByRealTypeWithTheAmberCellForHiddenTypes) {
  window->Button1->click();
  EXPECT_EQ(window->Button1->text(), QStringLiteral("中止监视"));
  ASSERT_TRUE(test::WaitFor([&] { return window->FileSystemWatcher1->Thread() != nullptr; }));
  QTest::qWait(200);  // let the watches come into force
  test::WriteFile(drive / "cache/photo.dat", kJpegHead);
  test::WriteFile(drive / "song.mp3", "just some text, long enough to fill the whole header......");
  ASSERT_TRUE(WaitForRows(2));
  QTest::qWait(300);
  std::map<std::string, std::string> typeOf;
  for (int row = 1; row <= window->Captured().CapturedCount(); ++row) typeOf[Cell(0, row)] = Cell(1, row);
  EXPECT_EQ(typeOf["photo.dat"], ".jpg");
  EXPECT_EQ(typeOf["song.mp3"], ".mp3");
  EXPECT_EQ(window->Captured().CapturedCount(), 2);
  int photoRow = window->Captured().RowOfPath(drive / "cache/photo.dat");
  EXPECT_EQ(window->Captured().CellColour(1, photoRow), kHiddenTypeColour);
  EXPECT_TRUE(errors.empty());
}

TEST_F(MonitoringWindowTest, AGrowingDownloadThatIsRenamedLeavesOneRowForTheNewName) {
  window->Button1->click();
  ASSERT_TRUE(test::WaitFor([&] { return window->FileSystemWatcher1->Thread() != nullptr; }));
  QTest::qWait(200);
  test::WriteFile(drive / "a.mp3", "ID3");
  ASSERT_TRUE(WaitForRows(1));
  test::WriteFile(drive / "a.mp3", "ID3" + std::string(5000, 'm'));
  std::filesystem::rename(drive / "a.mp3", drive / "b.mp3");
  ASSERT_TRUE(test::WaitFor([&] { return Cell(0, 1) == "b.mp3"; }, std::chrono::seconds(10),
                            [] { QTest::qWait(10); }));
  QTest::qWait(300);
  EXPECT_EQ(window->Captured().CapturedCount(), 1);
  EXPECT_EQ(window->Captured().PathOfRow(1), drive / "b.mp3");
}

TEST_F(MonitoringWindowTest, NothingIsListedWithNoBoxTicked) {
  for (QCheckBox* box : {window->CheckBox1, window->CheckBox2, window->CheckBox3, window->CheckBox4}) {
    box->setChecked(false);
  }
  window->Button1->click();
  ASSERT_TRUE(test::WaitFor([&] { return window->FileSystemWatcher1->Thread() != nullptr; }));
  QTest::qWait(200);
  test::WriteFile(drive / "photo.jpg", kJpegHead);
  QTest::qWait(800);
  EXPECT_EQ(window->Captured().CapturedCount(), 0);
}

TEST_F(MonitoringWindowTest, OnOffOnEmptiesTheListButOffKeepsIt) {
  window->Button1->click();
  ASSERT_TRUE(test::WaitFor([&] { return window->FileSystemWatcher1->Thread() != nullptr; }));
  QTest::qWait(200);
  test::WriteFile(drive / "photo.jpg", kJpegHead);
  ASSERT_TRUE(WaitForRows(1));
  window->Button1->click();
  EXPECT_EQ(window->Button1->text(), QStringLiteral("开始监视"));
  EXPECT_FALSE(window->Timer1->isActive());
  EXPECT_EQ(Cell(0, 1), "photo.jpg");
  window->Button1->click();
  EXPECT_EQ(window->Captured().CapturedCount(), 0);
  EXPECT_EQ(Cell(0, 1), "");
  EXPECT_TRUE(window->Timer1->isActive());
}

using SearchWindowTest = WindowOnTempDriveTest;

TEST_F(SearchWindowTest, ListsMediaAndDisguisedFilesOnlyWhenAskedTo) {
  test::WriteFile(drive / "movie.flv", "not really a video, but named as one");
  test::WriteFile(drive / "sub/photo.dat", kJpegHead);
  test::WriteFile(drive / "sub/readme.txt", "text");
  std::string question;
  window->askYesNo = [&](const std::string& q) {
    question = q;
    return false;
  };
  window->Button4->click();
  EXPECT_EQ(question, "是否搜索扩展名隐藏的文件？");
  EXPECT_EQ(window->Button4->text(), QStringLiteral("全盘搜索"));
  ASSERT_EQ(window->Captured().CapturedCount(), 1);
  EXPECT_EQ(Cell(1, 1), ".flv");
  EXPECT_FALSE(window->Timer1->isActive());
  EXPECT_EQ(window->StatusText(), "");

  window->askYesNo = [](const std::string&) { return true; };
  window->Button4->click();
  ASSERT_EQ(window->Captured().CapturedCount(), 2);
  EXPECT_EQ(window->Captured().RowOfPath(drive / "sub/photo.dat") > 0, true);
  EXPECT_TRUE(errors.empty());
}

TEST_F(SearchWindowTest, StopEndsTheWalkAndKeepsRowsFoundSoFar) {
  for (int i = 0; i < 3000; ++i) {
    test::WriteFile(drive / ("d" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".jpg"), "x");
  }
  window->Captured().AddCapturedRow(drive / "old.mp3", ".mp3");
  window->askYesNo = [](const std::string&) { return false; };
  // The first time the search lets events through, "停止搜索" is pressed.
  QTimer::singleShot(0, window.get(), [&] {
    EXPECT_EQ(window->Button4->text(), QStringLiteral("停止搜索"));
    window->Button4->click();
    EXPECT_EQ(window->Button4->text(), QStringLiteral("全盘搜索"));
  });
  window->Button4->click();
  EXPECT_FALSE(window->Search().IsRunning());
  EXPECT_LT(window->Captured().CapturedCount(), 3000);
  EXPECT_EQ(window->Button4->text(), QStringLiteral("全盘搜索"));
}

TEST_F(SearchWindowTest, RowsFromBeforeTheSearchKeepTheirTextsWithoutPaths) {
  window->Captured().AddCapturedRow(drive / "old.mp3", ".mp3");
  window->askYesNo = [](const std::string&) { return false; };
  window->Button4->click();  // finds nothing: the drive holds no media
  EXPECT_EQ(window->Captured().CapturedCount(), 0);
  EXPECT_EQ(Cell(0, 1), "old.mp3");
  EXPECT_FALSE(window->Captured().PathOfRow(1));
}

}  // namespace
}  // namespace ravo
