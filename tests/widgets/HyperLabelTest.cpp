#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <sys/stat.h>

#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <cstdlib>

#include "app/LinkTargets.h"
#include "tests/support/TestSupport.h"
#include "widgets/HyperLabel.h"

namespace ravo {
namespace {

TEST(HyperLabelTest, URLKeepsItsTextOnACaseOnlyChange) {
  const struct {
    const char* before;
    const char* set;
    const char* after;
  } kCases[] = {
      {"", "www.ravo-soft.example", "www.ravo-soft.example"},
      {"http://ravo-soft.example/Page", "HTTP://RAVO-SOFT.EXAMPLE/PAGE",
       "http://ravo-soft.example/Page"},
      {"http://ravo-soft.example/page", "http://ravo-soft.example/other",
       "http://ravo-soft.example/other"},
      {"http://ravo-soft.example/page", "", ""},
      // Only ASCII letters are compared without case.
      {"http://ravo-soft.example/é", "http://ravo-soft.example/É", "http://ravo-soft.example/É"},
  };
  for (const auto& c : kCases) {
    THyperLabel label;
    label.SetURL(QString::fromUtf8(c.before));
    label.SetURL(QString::fromUtf8(c.set));
    EXPECT_EQ(label.URL(), QString::fromUtf8(c.after)) << c.before << " <- " << c.set;
  }
}

TEST(HyperLabelTest, OnlyAddressesBeginningWithHttpColonGoToTheWebBrowser) {
  const struct {
    const char* url;
    TLinkRoute route;
  } kCases[] = {
      {"", TLinkRoute::kNone},
      {"http://ravo-soft.example", TLinkRoute::kWebBrowser},
      {"HtTp://ravo-soft.example", TLinkRoute::kWebBrowser},
      {"HTTP:ravo", TLinkRoute::kWebBrowser},
      {"https://ravo-soft.example", TLinkRoute::kShell},
      {" http://ravo-soft.example", TLinkRoute::kShell},
      {"http", TLinkRoute::kShell},  // shorter than five characters
      {"www.ravo-soft.example", TLinkRoute::kShell},
      {kMakerHomePage, TLinkRoute::kShell},
      {kMakerContactPage, TLinkRoute::kWebBrowser},
  };
  for (const auto& c : kCases) EXPECT_EQ(LinkRouteOf(c.url), c.route) << c.url;
}

// Clicks open through the desktop opener, which the test replaces by a
// recorder of its arguments.
class HyperLabelClickTest : public testing::Test {
 protected:
  HyperLabelClickTest() {
    std::string recorder = dir_ / "opener.sh";
    test::WriteFile(recorder, "#!/bin/sh\necho \"$1\" >> \"" + dir_.Path() + "/opened\"\n");
    chmod(recorder.c_str(), 0755);
    setenv("RAVO_OPENER", recorder.c_str(), 1);
    label_.resize(120, 19);
    label_.OnClick = [this](QObject* sender) {
      EXPECT_EQ(sender, &label_);
      ++clicks_;
    };
  }
  ~HyperLabelClickTest() override { unsetenv("RAVO_OPENER"); }

  // Clicks with the URL; true once the opener has recorded `opened` lines.
  bool ClickOpens(const char* url, const std::string& opened) {
    label_.SetURL(url);
    QTest::mouseClick(&label_, Qt::LeftButton);
    return Recorded(opened);
  }
  // True once the opener has recorded exactly `opened`.
  bool Recorded(const std::string& opened) {
    return test::WaitFor([&] { return test::ReadFile(dir_ / "opened") == opened; });
  }

  test::TempDir dir_;
  THyperLabel label_{"联系作者"};
  int clicks_ = 0;
};

TEST_F(HyperLabelClickTest, ClickOpensTheURLByItsRoute) {
  EXPECT_TRUE(ClickOpens(kMakerHomePage, "http://www.ravo-soft.example\n"));
  EXPECT_TRUE(ClickOpens("HTTP://contact.ravo-soft.example/?to=ravo",
                         "http://www.ravo-soft.example\n"
                         "HTTP://contact.ravo-soft.example/?to=ravo\n"));
  EXPECT_EQ(clicks_, 2);
}

// Nothing opens for an empty URL (the click event still fires), a right
// click, or a press released away from the label; the next click opens
// only its own target.
TEST_F(HyperLabelClickTest, NoTargetOpensWithoutALeftClickOnAURL) {
  label_.SetURL("");
  QTest::mouseClick(&label_, Qt::LeftButton);
  EXPECT_EQ(clicks_, 1);
  label_.SetURL("www.ravo-soft.example");
  QTest::mouseClick(&label_, Qt::RightButton);
  QTest::mousePress(&label_, Qt::LeftButton);
  QTest::mouseRelease(&label_, Qt::LeftButton, {}, QPoint(500, 500));
  EXPECT_EQ(clicks_, 1);
  EXPECT_TRUE(ClickOpens("www.last.example", "http://www.last.example\n"));
}

// A double click is the first click and a second press that is no new
// click: the target opens once.
TEST_F(HyperLabelClickTest, ADoubleClickOpensTheTargetOnce) {
  label_.SetURL("www.once.example");
  QPointF at(5, 5);
  auto send = [&](QEvent::Type type) {
    QMouseEvent event(type, at, label_.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&label_, &event);
  };
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    send(type);
  }
  EXPECT_EQ(clicks_, 1);
  // Each open is a process of its own, so the next click waits until the
  // first has been recorded; a second open of the target would then show
  // as a line too many.
  EXPECT_TRUE(Recorded("http://www.once.example\n"));
  EXPECT_TRUE(ClickOpens("www.next.example", "http://www.once.example\nhttp://www.next.example\n"));
}

// Hovering over a label inside a parent whose font and palette it inherits.
class HyperLabelHoverTest : public testing::Test {
 protected:
  HyperLabelHoverTest() {
    QFont parentFont("Noto Sans CJK SC");
    parentFont.setPixelSize(12);
    parent_.setFont(parentFont);
    label_->OnMouseEnter = [this](QObject* sender) {
      events_.push_back(sender == label_ ? "enter" : "?");
    };
    label_->OnMouseLeave = [this](QObject* sender) {
      events_.push_back(sender == label_ ? "leave" : "?");
    };
  }

  void Enter() {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(label_, &enter);
  }
  void Leave() {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label_, &leave);
  }

  QWidget parent_;
  THyperLabel* label_ = new THyperLabel("了解定做软件", &parent_);
  std::vector<std::string> events_;
};

TEST_F(HyperLabelHoverTest, HoverShowsTheHoverLookByDefault) {
  const QFont own = label_->font();
  Enter();
  QFont expected = own;
  expected.setUnderline(true);
  EXPECT_EQ(label_->font(), expected);
  EXPECT_EQ(label_->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(label_->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Button));
  EXPECT_TRUE(label_->autoFillBackground());
  EXPECT_EQ(label_->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(events_, std::vector<std::string>{"enter"});
}

TEST_F(HyperLabelHoverTest, HoverShowsAHoverLookOfItsOwn) {
  QFont hover("Noto Serif CJK SC");
  hover.setPixelSize(16);
  label_->SetHoverFont(hover);
  label_->SetHoverTextColor(Qt::darkGreen);
  label_->SetHoverColor(Qt::yellow);
  Enter();
  EXPECT_EQ(label_->font(), hover);
  EXPECT_FALSE(label_->font().underline());
  EXPECT_EQ(label_->palette().color(QPalette::WindowText), QColor(Qt::darkGreen));
  EXPECT_EQ(label_->palette().color(QPalette::Window), QColor(Qt::yellow));
}

TEST_F(HyperLabelHoverTest, LeaveRestoresExactlyTheOwnLook) {
  // Inherited font, palette and cursor stay inherited after a hover.
  Enter();
  Leave();
  EXPECT_FALSE(label_->testAttribute(Qt::WA_SetFont));
  EXPECT_FALSE(label_->testAttribute(Qt::WA_SetPalette));
  EXPECT_FALSE(label_->testAttribute(Qt::WA_SetCursor));
  EXPECT_FALSE(label_->autoFillBackground());
  QFont bigger = parent_.font();
  bigger.setPixelSize(30);
  parent_.setFont(bigger);
  EXPECT_EQ(label_->font().pixelSize(), 30);

  // A look of the label's own, set between two hovers, comes back.
  QFont own("Noto Sans CJK SC");
  own.setPixelSize(19);
  own.setBold(true);
  label_->setFont(own);
  QPalette red = label_->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  label_->setPalette(red);
  label_->setCursor(Qt::IBeamCursor);
  Enter();
  Enter();  // a repeated enter must not take the hover look for the label's own
  Leave();
  EXPECT_EQ(label_->font(), own);
  EXPECT_EQ(label_->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_EQ(label_->cursor().shape(), Qt::IBeamCursor);
  EXPECT_FALSE(label_->autoFillBackground());
  Leave();  // a leave without enter changes nothing
  EXPECT_EQ(label_->font(), own);
  EXPECT_EQ(events_, (std::vector<std::string>{"enter", "leave", "enter", "leave"}));
}

}  // namespace
}  // namespace ravo
