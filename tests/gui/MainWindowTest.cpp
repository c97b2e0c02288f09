#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <sys/stat.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "app/AdvStringGrid.h"
#include "app/Unit_main.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() {
    window.reportError = [this](const std::string& message) { errors.push_back(message); };
    window.show();
  }

  QModelIndex Cell(int row, int col) {
    return window.AdvStringGrid1->model()->index(row - 1, col);
  }

  void ClickCell(int row, int col) {
    QRect rect = window.AdvStringGrid1->visualRect(Cell(row, col));
    QTest::mouseClick(window.AdvStringGrid1->viewport(), Qt::LeftButton, {}, rect.center());
  }

  TForm_main window;
  std::vector<std::string> errors;
  test::TempDir dir;
};

TEST_F(MainWindowTest, StartsOnTheStartPictureWithEverythingInPlace) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Ravo上网自动下载工具"));
  EXPECT_EQ(window.RzPageControl1->currentIndex(), TForm_main::kStartPage);
  ASSERT_NE(window.Image1->pixmap().toImage().size(), QSize(0, 0));
  EXPECT_EQ(window.Image1->pixmap().size(), QSize(1200, 800));
  EXPECT_EQ(window.Button1->text(), QStringLiteral("开始监视"));
  EXPECT_EQ(window.Button4->text(), QStringLiteral("全盘搜索"));
  EXPECT_EQ(window.Button2->text(), QStringLiteral("另存为"));
  for (QCheckBox* box : {window.CheckBox1, window.CheckBox2, window.CheckBox3, window.CheckBox4}) {
    EXPECT_TRUE(box->isChecked());
  }
  EXPECT_EQ(window.AdvStringGrid1->model()->rowCount(), 9);
  EXPECT_EQ(window.AdvStringGrid1->model()->headerData(1, Qt::Horizontal),
            QStringLiteral("类型"));
  EXPECT_TRUE(window.Timer1->isActive());
  EXPECT_EQ(window.Timer1->interval(), 1000);
  EXPECT_FALSE(window.Panel2->isHidden());
  EXPECT_TRUE(window.Panel3->isHidden());
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, TopButtonsSwitchPagesAndTheStartPageNeverReturns) {
  QTest::mouseClick(window.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(window.RzPageControl1->currentIndex(), TForm_main::kCapturePage);
  QTest::mouseClick(window.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(window.RzPageControl1->currentIndex(), TForm_main::kCapturePage);
  QTest::mouseClick(window.BitBtn2, Qt::LeftButton);
  EXPECT_EQ(window.RzPageControl1->currentIndex(), TForm_main::kBrowserPage);
  QTest::mouseClick(window.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(window.RzPageControl1->currentIndex(), TForm_main::kCapturePage);
}

TEST_F(MainWindowTest, ResizingKeepsGridOnTopAndStatusBarAtTheBottom) {
  window.BitBtn1Click();
  window.resize(1400, 900);
  QTest::qWait(50);
  QWidget* page = window.TabSheet1;
  EXPECT_EQ(window.AdvStringGrid1->geometry(), QRect(0, 0, page->width(), 289));
  EXPECT_EQ(window.StatusBar1->geometry(), QRect(0, page->height() - 27, page->width(), 27));
  EXPECT_EQ(window.Button1->geometry(), QRect(327, 365, 133, 57));
}

TEST_F(MainWindowTest, ClickShowsTheRowsFileNameWhicheverColumn) {
  window.BitBtn1Click();
  window.Captured().AddCapturedRow(dir / "a.mp3", ".mp3");
  window.Captured().AddCapturedRow(dir / "photo.dat", ".jpg");
  ClickCell(2, 2);
  EXPECT_EQ(window.StatusText(), "photo.dat");
  ClickCell(1, 1);
  EXPECT_EQ(window.StatusText(), "a.mp3");
}

TEST_F(MainWindowTest, GridColoursComeFromTheColourRules) {
  test::WriteFile(dir / "movie.dat", std::string(1536, 'x'));
  window.Captured().AddCapturedRow(dir / "movie.dat", ".flv");
  auto background = [&](int row, int col) {
    return window.AdvStringGrid1->model()->data(Cell(row, col), Qt::BackgroundRole);
  };
  EXPECT_EQ(background(1, 1).value<QBrush>().color(), QColor(249, 193, 47));
  EXPECT_EQ(background(1, 2).value<QBrush>().color(), QColor(203, 254, 254));
  EXPECT_FALSE(background(1, 0).isValid());
}

TEST_F(MainWindowTest, TimerRefreshesSizes) {
  window.Captured().AddCapturedRow(dir / "grow.mp3", ".mp3");
  test::WriteFile(dir / "grow.mp3", std::string(2048, 'x'));
  EXPECT_TRUE(test::WaitFor(
      [&] { return window.AdvStringGrid1->model()->data(Cell(1, 2)).toString() == "2.00kB"; },
      std::chrono::seconds(5), [] { QTest::qWait(20); }));
}

TEST_F(MainWindowTest, DoubleClickOpensTheCurrentRowsFile) {
  std::string recorder = dir / "opener.sh";
  test::WriteFile(recorder, "#!/bin/sh\necho \"$1\" > \"" + dir.Path() + "/opened\"\n");
  chmod(recorder.c_str(), 0755);
  setenv("RAVO_OPENER", recorder.c_str(), 1);
  window.BitBtn1Click();
  window.Captured().AddCapturedRow(dir / "first.mp3", ".mp3");
  window.Captured().AddCapturedRow(dir / "last.mp3", ".mp3");
  QRect rect = window.AdvStringGrid1->visualRect(Cell(2, 0));
  QTest::mouseClick(window.AdvStringGrid1->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(window.AdvStringGrid1->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_TRUE(test::WaitFor([&] { return test::ReadFile(dir / "opened") == dir / "last.mp3\n"; }));
  unsetenv("RAVO_OPENER");
}

TEST_F(MainWindowTest, SaveAsSuggestsTheNameWithTypeAndCopies) {
  test::WriteFile(dir / "a.MP3", "music");
  window.Captured().AddCapturedRow(dir / "a.MP3", ".mp3");
  window.AdvStringGrid1->SelectRow(1);
  std::string suggested;
  window.askSaveName = [&](const std::string& name) -> std::optional<std::string> {
    suggested = name;
    return dir / "copy.mp3";
  };
  window.Button2->click();
  EXPECT_EQ(suggested, "a.MP3.mp3");
  EXPECT_EQ(test::ReadFile(dir / "copy.mp3"), "music");
  EXPECT_TRUE(errors.empty());

  // A failed copy is reported with its reason, not swallowed.
  window.askSaveName = [&](const std::string&) -> std::optional<std::string> {
    return dir / "a.MP3";
  };
  window.Button2->click();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(test::ReadFile(dir / "a.MP3"), "music");
}

TEST_F(MainWindowTest, SaveAsCopiesTheRowChosenEvenWhenRowsMoveMeanwhile) {
  test::WriteFile(dir / "first.mp3", "first");
  test::WriteFile(dir / "second.mp3", "second");
  window.Captured().AddCapturedRow(dir / "first.mp3", ".mp3");
  window.Captured().AddCapturedRow(dir / "second.mp3", ".mp3");
  window.AdvStringGrid1->SelectRow(2);
  window.askSaveName = [&](const std::string&) -> std::optional<std::string> {
    window.Captured().RemoveRow(1);  // a report handled while the dialog is open
    return dir / "copy.mp3";
  };
  window.Button2->click();
  EXPECT_EQ(test::ReadFile(dir / "copy.mp3"), "second");
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, SaveAsOnARowWithoutAFileDoesNothing) {
  bool asked = false;
  window.askSaveName = [&](const std::string&) -> std::optional<std::string> {
    asked = true;
    return dir / "x";
  };
  window.AdvStringGrid1->SelectRow(3);
  window.Button2->click();
  EXPECT_FALSE(asked);
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, EnterInTheAddressLineShowsPaneOneAgain) {
  window.BitBtn2Click();
  window.Panel3->show();
  window.Panel2->hide();
  window.Edit1->setText(QStringLiteral("about:blank"));
  // A held key sends repeated releases on X11: only the real one counts.
  QTest::keyPress(window.Edit1, Qt::Key_Return);
  QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(window.Edit1, &repeated);
  EXPECT_TRUE(window.Panel2->isHidden());
  QTest::keyRelease(window.Edit1, Qt::Key_Return);
  EXPECT_FALSE(window.Panel2->isHidden());
  EXPECT_TRUE(window.Panel3->isHidden());
  window.Panel3->show();
  window.Panel2->hide();
  window.Button3->click();  // "浏览" loads pane 1 out of sight
  EXPECT_TRUE(window.Panel2->isHidden());
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace ravo
