#include <gtest/gtest.h>

#include <QEvent>
#include <QGridLayout>

#include "browser/BrowserPair.h"
#include "tests/browser/BrowserTestSupport.h"
#include "tests/support/QtTestSupport.h"

namespace ravo {
namespace {

using test::Page;

// Records the order in which watched widgets are shown and hidden.
class ShowHideLog : public QObject {
 public:
  std::vector<std::string> entries;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
      entries.push_back((event->type() == QEvent::Show ? "show " : "hide ") +
                        watched->objectName().toStdString());
    }
    return false;
  }
};

// The browsing page as the window lays it out: two panels over the same
// area, each filled by its pane, with the window's handlers forwarding to
// the pair.
class BrowserPairTest : public testing::Test {
 protected:
  BrowserPairTest() {
    auto* layout = new QGridLayout(&page_);
    layout->addWidget(panel1_, 0, 0);
    layout->addWidget(panel2_, 0, 0);
    (new QGridLayout(panel1_))->addWidget(web_);
    (new QGridLayout(panel2_))->addWidget(web2_);
    panel1_->setObjectName("Panel2");
    panel2_->setObjectName("Panel3");
    web_->OnNewWindow2 = [this](TVelWebBrowser& s, TDispatch& d, bool& c) {
      pair_.WebNewWindow2(s, d, c);
    };
    web2_->OnNewWindow2 = [this](TVelWebBrowser& s, TDispatch& d, bool& c) {
      pair_.Web2NewWindow2(s, d, c);
    };
    server_.Serve("/one.html", Page("One"));
    server_.Serve("/two.html", Page("Two"));
    server_.Serve("/opener.html", Page("Opener"));
    server_.Serve("/popup.html", Page("Popup"));
    page_.resize(800, 600);
    page_.show();
    pair_.StartUp();
    panel1_->installEventFilter(&showHide_);
    panel2_->installEventFilter(&showHide_);
  }

  static bool TitleBecomes(TVelWebBrowser* web, const QString& title) {
    return test::WaitForQt([&] { return web->title() == title; });
  }

  bool Pane1Shown() const { return !panel1_->isHidden() && panel2_->isHidden(); }
  bool Pane2Shown() const { return panel1_->isHidden() && !panel2_->isHidden(); }

  void ShowPane(int pane) {
    (pane == 1 ? panel1_ : panel2_)->show();
    (pane == 1 ? panel2_ : panel1_)->hide();
    showHide_.entries.clear();
  }

  // Loads the opener page into the pane.
  void LoadOpener(TVelWebBrowser* web) {
    web->Navigate(server_.Url("/opener.html"));
    ASSERT_TRUE(TitleBecomes(web, "Opener"));
  }

  void Run(TVelWebBrowser* web, const QString& script) { web->page()->runJavaScript(script); }

  test::LocalHttpServer server_;
  QWidget page_;
  QWidget* panel1_ = new QWidget(&page_);
  QWidget* panel2_ = new QWidget(&page_);
  TVelWebBrowser* web_ = new TVelWebBrowser(panel1_);
  TVelWebBrowser* web2_ = new TVelWebBrowser(panel2_);
  TBrowserPair pair_{*web_, *panel1_, *web2_, *panel2_};
  ShowHideLog showHide_;
};

TEST_F(BrowserPairTest, StartsWithBothPanesSilentAndBlankAndPane1Shown) {
  EXPECT_TRUE(web_->Silent());
  EXPECT_TRUE(web2_->Silent());
  EXPECT_TRUE(TitleBecomes(web_, "about:blank"));
  EXPECT_TRUE(TitleBecomes(web2_, "about:blank"));
  EXPECT_TRUE(Pane1Shown());
}

TEST_F(BrowserPairTest, EnterLoadsPane1AndShowsIt) {
  const struct {
    int key;
    const char* page;
  } kEnterKeys[] = {{Qt::Key_Return, "One"}, {Qt::Key_Enter, "Two"}};
  for (const auto& c : kEnterKeys) {
    ShowPane(2);
    pair_.AddressKeyUp(c.key, server_.Url(QStringLiteral("/%1.html").arg(c.page).toLower()));
    EXPECT_TRUE(Pane1Shown()) << c.page;
    EXPECT_TRUE(TitleBecomes(web_, c.page));
  }
  ShowPane(2);
  pair_.AddressKeyUp(Qt::Key_A, server_.Url("/one.html"));
  test::RunEventsFor(std::chrono::milliseconds(300));
  EXPECT_TRUE(Pane2Shown());
  EXPECT_EQ(web_->title(), "Two");
}

TEST_F(BrowserPairTest, BrowseLoadsPane1OutOfSightUntilEnter) {
  ShowPane(2);
  pair_.Navigate1(server_.Url("/one.html"));
  EXPECT_TRUE(TitleBecomes(web_, "One"));
  EXPECT_TRUE(Pane2Shown());
  pair_.AddressKeyUp(Qt::Key_Return, server_.Url("/two.html"));
  EXPECT_TRUE(TitleBecomes(web_, "Two"));
  EXPECT_TRUE(Pane1Shown());
  EXPECT_EQ(web2_->title(), "about:blank");
}

TEST_F(BrowserPairTest, EnterWithAnEmptyLineShowsPane1) {
  ShowPane(2);
  pair_.EnterPressed("");
  EXPECT_TRUE(Pane1Shown());
}

TEST_F(BrowserPairTest, RefusedAddressOnEnterLeavesTheShownPane) {
  ShowPane(2);
  EXPECT_THROW(pair_.EnterPressed("%"), std::runtime_error);
  EXPECT_TRUE(Pane2Shown());
}

// A link aimed at a new window and a script's window.open, from pane 1
// whichever pane is shown: pane 2 receives the window and is shown, its
// panel before pane 1's is hidden.
TEST_F(BrowserPairTest, NewWindowOfPane1OpensInPane2) {
  server_.Serve("/links.html", Page("Opener", "<a id=a target=_blank href=/popup.html>new</a>"));
  const struct {
    const char* opener;
    const char* script;
  } kRequests[] = {
      {"/links.html", "document.getElementById('a').click()"},
      {"/opener.html", "window.open('/popup.html')"},
  };
  for (const auto& c : kRequests) {
    SCOPED_TRACE(c.script);
    web2_->Navigate("about:blank");
    ASSERT_TRUE(TitleBecomes(web2_, "about:blank"));
    pair_.Navigate1(server_.Url(c.opener));
    ASSERT_TRUE(TitleBecomes(web_, "Opener"));
    ShowPane(1);
    Run(web_, c.script);
    EXPECT_TRUE(TitleBecomes(web2_, "Popup"));
    EXPECT_TRUE(Pane2Shown());
    EXPECT_EQ(showHide_.entries, (std::vector<std::string>{"show Panel3", "hide Panel2"}));
    EXPECT_EQ(web_->title(), "Opener");
  }
  // Already shown, pane 2 stays shown for the next window.
  Run(web_, "window.open('/one.html')");
  EXPECT_TRUE(TitleBecomes(web2_, "One"));
  EXPECT_TRUE(Pane2Shown());
}

TEST_F(BrowserPairTest, SecondWindowReplacesTheFirst) {
  LoadOpener(web_);
  Run(web_, "window.open('/one.html'); window.open('/two.html')");
  EXPECT_TRUE(TitleBecomes(web2_, "Two"));
  test::RunEventsFor(std::chrono::milliseconds(500));
  EXPECT_EQ(web2_->title(), "Two");
  EXPECT_TRUE(Pane2Shown());
  EXPECT_EQ(web_->title(), "Opener");
}

TEST_F(BrowserPairTest, WindowOfTheHiddenPaneGoesToTheShownOne) {
  LoadOpener(web2_);
  Run(web2_, "window.open('/popup.html')");
  EXPECT_TRUE(TitleBecomes(web_, "Popup"));
  EXPECT_TRUE(Pane1Shown());
}

TEST_F(BrowserPairTest, WindowOfPane2ShowsPane1) {
  ShowPane(2);
  LoadOpener(web2_);
  Run(web2_, "window.open('/popup.html')");
  EXPECT_TRUE(TitleBecomes(web_, "Popup"));
  EXPECT_TRUE(Pane1Shown());
  EXPECT_EQ(showHide_.entries, (std::vector<std::string>{"show Panel2", "hide Panel3"}));
}

}  // namespace
}  // namespace ravo
