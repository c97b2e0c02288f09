// What the user does with many rows in the real window: "另存为" on a
// selection saves them all into a folder, the rows' menu copies paths and
// exports the list, and resting the pointer on a picture or a video shows
// a thumbnail made off the main thread.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/AdvStringGrid.h"
#include "app/CaptureCsv.h"
#include "app/Unit_main.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/ShellCommand.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

class CaptureListActionsTest : public testing::Test {
 protected:
  CaptureListActionsTest() {
    window.reportError = [this](const std::string& message) { errors.push_back(message); };
    window.askSaveName = [this](const std::string&) -> std::optional<std::string> {
      ++saveQuestions;
      return std::nullopt;
    };
    window.askFolder = [this]() -> std::optional<std::string> {
      ++folderQuestions;
      return target;
    };
    std::filesystem::create_directory(target);
    window.show();
    window.BitBtn1Click();
  }

  std::size_t FilesIn(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), {}));
  }

  // Rests the pointer on a row, as the user does until a tool tip would show.
  void RestOn(int row) {
    QWidget* viewport = window.AdvStringGrid1->viewport();
    QPoint at = window.AdvStringGrid1->visualRect(
                    window.AdvStringGrid1->model()->index(row - 1, 0)).center();
    QHelpEvent event(QEvent::ToolTip, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
  }

  TForm_main window;
  std::vector<std::string> errors;
  int saveQuestions = 0;
  int folderQuestions = 0;
  test::TempDir dir;
  std::string target = dir / "kept";
};

TEST_F(CaptureListActionsTest, SaveAsOnTwoHundredRowsSavesThemAllWithoutAQuestionEach) {
  for (int i = 0; i < 200; ++i) {
    // Half of them share a name, as cache entries of one site do.
    std::string name = i % 2 ? "image" : "clip" + std::to_string(i) + ".mp4";
    std::string path = dir.Write("cache/" + std::to_string(i) + "/" + name, std::to_string(i));
    window.Captured().AddCapturedRow(path, i % 2 ? ".jpg" : ".mp4");
  }
  window.AdvStringGrid1->selectAll();
  window.Button2->click();
  ASSERT_TRUE(test::WaitForQt([&] { return !window.SavingBatch(); }, std::chrono::seconds(60)));
  EXPECT_EQ(folderQuestions, 1);
  EXPECT_EQ(saveQuestions, 0);
  EXPECT_EQ(FilesIn(target), 200u);
  EXPECT_EQ(test::ReadFile(target + "/image.jpg"), "1");
  EXPECT_EQ(test::ReadFile(target + "/image (99).jpg"), "199");
  EXPECT_EQ(test::ReadFile(target + "/clip0.mp4"), "0");
  EXPECT_EQ(window.StatusText(), "已保存 200 个文件到 " + target);
  EXPECT_TRUE(errors.empty());
}

TEST_F(CaptureListActionsTest, FailuresAreListedAtTheEndAndTheRestSaved) {
  window.Captured().AddCapturedRow(dir.Write("a.mp3", "a"), ".mp3");
  window.Captured().AddCapturedRow(dir / "gone.mp3", ".mp3");
  window.Captured().AddCapturedRow(dir.Write("b.mp3", "b"), ".mp3");
  window.AdvStringGrid1->selectAll();
  window.Button2->click();
  ASSERT_TRUE(test::WaitForQt([&] { return !window.SavingBatch(); }));
  EXPECT_EQ(FilesIn(target), 2u);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("已保存 2 个文件"), std::string::npos) << errors[0];
  EXPECT_NE(errors[0].find("\ngone.mp3："), std::string::npos) << errors[0];
}

TEST_F(CaptureListActionsTest, OneSelectedRowIsSavedAsBeforeAndACancelledFolderSavesNothing) {
  window.Captured().AddCapturedRow(dir.Write("a.mp3", "a"), ".mp3");
  window.Captured().AddCapturedRow(dir.Write("b.mp3", "b"), ".mp3");
  window.AdvStringGrid1->SelectRow(2);
  window.Button2->click();
  EXPECT_EQ(saveQuestions, 1);
  EXPECT_EQ(folderQuestions, 0);

  window.askFolder = [] { return std::optional<std::string>(); };
  window.AdvStringGrid1->selectAll();
  window.MenuSaveAs->trigger();
  EXPECT_FALSE(window.SavingBatch());
  EXPECT_EQ(FilesIn(target), 0u);
  EXPECT_TRUE(errors.empty());
}

TEST_F(CaptureListActionsTest, TheMenuCopiesSelectedPathsAndExportsTheWholeList) {
  window.Captured().AddCapturedRow(dir.Write("照片.dat", "jpeg"), ".jpg");
  window.Captured().AddCapturedRow(dir.Write("歌.mp3", "mp3"), ".mp3");
  window.Captured().AddCapturedRow(dir.Write("c.flv", "flv"), ".flv");
  window.AdvStringGrid1->selectAll();
  window.MenuCopyPath->trigger();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            (dir / "照片.dat") + "\n" + (dir / "歌.mp3") + "\n" + (dir / "c.flv"));

  std::string suggested;
  window.askExportName = [&](const std::string& name) -> std::optional<std::string> {
    suggested = name;
    return dir / "list.csv";
  };
  window.MenuExport->trigger();
  EXPECT_TRUE(suggested.ends_with("/捕获列表.csv")) << suggested;
  EXPECT_EQ(test::ReadFile(dir / "list.csv"), CaptureListCsv(window.Captured()));
  EXPECT_NE(test::ReadFile(dir / "list.csv").find("照片.dat,.jpg,4\r\n"), std::string::npos);
  EXPECT_TRUE(errors.empty());
}

TEST_F(CaptureListActionsTest, RestingOnAPictureOrVideoShowsAThumbnailAndOtherRowsNone) {
  QImage picture(800, 400, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(QString::fromStdString(dir / "photo.jpg"), "JPEG"));
  ASSERT_TRUE(picture.save(QString::fromStdString(dir / "cached"), "WEBP")) << "WebP plugin";
  window.Captured().AddCapturedRow(dir / "photo.jpg", ".jpg");
  window.Captured().AddCapturedRow(dir / "cached", ".webp");
  window.Captured().AddCapturedRow(dir.Write("broken.jpg", std::string(3000, 'x')), ".jpg");
  window.Captured().AddCapturedRow(dir.Write("song.mp3", "ID3"), ".mp3");
  bool video = test::Shell("ffmpeg -v error -y -f lavfi -i testsrc=s=320x240:d=2 -c:v libx264 '" +
                           (dir / "clip.mp4") + "'");
  window.Captured().AddCapturedRow(dir / "clip.mp4", ".mp4");

  for (int row : {1, 2}) {
    RestOn(row);
    ASSERT_TRUE(test::WaitForQt([&] { return window.Preview1->isVisible(); })) << row;
    QSize shown = window.Preview1->pixmap().size();
    EXPECT_EQ(shown, QSize(240, 120)) << row;
    EXPECT_EQ(window.Preview1->pixmap().toImage().pixelColor(120, 60).red() > 200, true) << row;
    RestOn(4);  // a song: the thumbnail goes at once
    EXPECT_FALSE(window.Preview1->isVisible());
  }
  if (video) {
    RestOn(5);
    ASSERT_TRUE(test::WaitForQt([&] { return window.Preview1->isVisible(); }));
    EXPECT_EQ(window.Preview1->pixmap().size(), QSize(240, 180));
    RestOn(4);
  }
  // An undecodable picture shows nothing and reports nothing.
  RestOn(3);
  test::RunEventsFor(std::chrono::milliseconds(1000));
  EXPECT_FALSE(window.Preview1->isVisible());
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace ravo
