#include <gtest/gtest.h>

#include <QTest>

#include "browser/VelwebBrowser.h"
#include "tests/browser/BrowserTestSupport.h"
#include "tests/support/QtTestSupport.h"

namespace ravo {
namespace {

using test::Page;

class PaneTest : public testing::Test {
 protected:
  PaneTest() {
    web_.resize(640, 480);
    web_.show();
  }

  bool TitleBecomes(const QString& title) {
    return test::WaitForQt([&] { return web_.title() == title; });
  }

  test::LocalHttpServer server_;
  TVelWebBrowser web_;
};

TEST_F(PaneTest, ScriptDialogsNeverShowInSilentMode) {
  server_.Serve("/dialogs.html", Page("Start",
                                      "<script>alert('a');"
                                      "document.title = [confirm('c'), prompt('p', 'd')].join();"
                                      "</script>"));
  for (bool silent : {true, false}) {
    SCOPED_TRACE(silent ? "silent" : "not silent");
    web_.SetSilent(silent);
    test::DialogWatcher dialogs;
    web_.Navigate(server_.Url("/dialogs.html"));
    // Unanswered, confirm is false and prompt is null.
    EXPECT_TRUE(TitleBecomes("false,"));
    if (silent) {
      EXPECT_EQ(dialogs.Seen(), 0);
    } else {
      EXPECT_EQ(dialogs.Seen(), 3);  // the watcher does see the engine's dialogs
    }
    web_.Navigate("about:blank");
    ASSERT_TRUE(TitleBecomes("about:blank"));
  }
}

// A page that asks before it is left: silently the pane leaves it.
TEST_F(PaneTest, LeavePageQuestionLetsTheSilentPaneGo) {
  server_.Serve("/stay.html", Page("Stay",
                                   "<script>addEventListener('beforeunload', e => {"
                                   "e.preventDefault(); e.returnValue = 'stay'; });</script>"));
  server_.Serve("/next.html", Page("Next"));
  for (bool silent : {true, false}) {
    SCOPED_TRACE(silent ? "silent" : "not silent");
    web_.SetSilent(silent);
    web_.Navigate(server_.Url("/stay.html"));
    ASSERT_TRUE(TitleBecomes("Stay"));
    // The question is only asked of a page the user has interacted with.
    bool active = false;
    ASSERT_TRUE(test::WaitForQt([&] {
      QTest::mouseClick(web_.focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
      web_.page()->runJavaScript("navigator.userActivation.hasBeenActive",
                                 [&](const QVariant& result) { active = result.toBool(); });
      test::RunEventsFor(std::chrono::milliseconds(50));
      return active;
    }));
    test::DialogWatcher dialogs;
    web_.Navigate(server_.Url("/next.html"));
    if (silent) {
      EXPECT_TRUE(TitleBecomes("Next"));
      EXPECT_EQ(dialogs.Seen(), 0);
    } else {
      // Rejected by the watcher, the question keeps the page.
      EXPECT_TRUE(test::WaitForQt([&] { return dialogs.Seen() == 1; }));
      test::RunEventsFor(std::chrono::milliseconds(300));
      EXPECT_EQ(web_.title(), "Stay");
    }
  }
}

// Requests that would wait for the user are refused at once.
TEST_F(PaneTest, SilentPaneRefusesPermissionsAndAuthentication) {
  MakeSilent(web_);
  server_.Serve("/notify.html", Page("Start",
                                     "<script>Notification.requestPermission()"
                                     ".then(r => document.title = r);</script>"));
  server_.Serve("/where.html", Page("Start",
                                    "<script>navigator.geolocation.getCurrentPosition("
                                    "p => document.title = 'granted',"
                                    "e => document.title = 'error ' + e.code);</script>"));
  server_.Serve("/secret.html",
                {Page("Refused").toUtf8(), 401,
                 "Content-Type: text/html\r\nWWW-Authenticate: Basic realm=\"ravo\"\r\n"});
  const struct {
    const char* path;
    const char* title;
  } kCases[] = {
      {"/notify.html", "denied"},
      {"/where.html", "error 1"},  // PERMISSION_DENIED
      {"/secret.html", "Refused"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    test::DialogWatcher dialogs;
    web_.Navigate(server_.Url(c.path));
    EXPECT_TRUE(TitleBecomes(c.title)) << web_.title().toStdString();
    EXPECT_EQ(dialogs.Seen(), 0);
  }
}

TEST_F(PaneTest, MakeSilentTwiceStaysSilent) {
  MakeSilent(web_);
  MakeSilent(web_);
  EXPECT_TRUE(web_.Silent());
}

// The engine's reading of what the user typed: a missing scheme is added,
// and a Chinese address goes out as its UTF-8 percent-encoding.
TEST_F(PaneTest, NavigateReadsTypedAddresses) {
  server_.Serve("/plain.html", Page("Plain"));
  server_.Serve("/%E4%B8%AD%E6%96%87.html", Page("中文"));
  web_.Navigate(server_.Url("/plain.html").mid(QStringLiteral("http://").size()));
  EXPECT_TRUE(TitleBecomes("Plain"));
  web_.Navigate(server_.Url("/中文.html"));
  EXPECT_TRUE(TitleBecomes("中文"));
  EXPECT_EQ(server_.Hits("/%E4%B8%AD%E6%96%87.html"), 1);
  EXPECT_EQ(web_.url().path(), "/中文.html");
}

TEST_F(PaneTest, NavigateRefusesWhatIsNoAddressAndIgnoresBlankText) {
  server_.Serve("/plain.html", Page("Plain"));
  web_.Navigate(server_.Url("/plain.html"));
  ASSERT_TRUE(TitleBecomes("Plain"));
  for (const char* address : {"%", "a\x01z"}) {
    EXPECT_THROW(web_.Navigate(QString::fromUtf8(address)), std::runtime_error) << address;
  }
  web_.Navigate("");
  web_.Navigate("  ");
  test::RunEventsFor(std::chrono::milliseconds(300));
  EXPECT_EQ(web_.url(), QUrl(server_.Url("/plain.html")));
}

// Where a new window goes is the handler's answer; its errors are reported
// and the request goes on with the answer as the handler left it.
class NewWindowTest : public PaneTest {
 protected:
  NewWindowTest() {
    other_.resize(320, 240);
    other_.show();
    server_.Serve("/opener.html", Page("Opener"));
    server_.Serve("/popup.html", Page("Popup"));
    web_.OnError = [this](const std::exception& e) { errors_.push_back(e.what()); };
    web_.Navigate(server_.Url("/opener.html"));
    other_.Navigate(server_.Url("/opener.html"));
    EXPECT_TRUE(TitleBecomes("Opener"));
    EXPECT_TRUE(test::WaitForQt([&] { return other_.title() == "Opener"; }));
  }

  void OpenWindow() { web_.page()->runJavaScript("window.open('/popup.html')"); }

  TVelWebBrowser other_;
  std::vector<std::string> errors_;
};

TEST_F(NewWindowTest, TheHandlersPageReceivesTheWindow) {
  TVelWebBrowser* sender = nullptr;
  web_.OnNewWindow2 = [&](TVelWebBrowser& s, TDispatch& ppDisp, bool& cancel) {
    EXPECT_EQ(ppDisp, nullptr);
    EXPECT_FALSE(cancel);
    sender = &s;
    ppDisp = other_.Dispatch();
  };
  OpenWindow();
  EXPECT_TRUE(test::WaitForQt([&] { return other_.title() == "Popup"; }));
  EXPECT_EQ(sender, &web_);
  EXPECT_EQ(web_.title(), "Opener");
  EXPECT_TRUE(errors_.empty());
}

TEST_F(NewWindowTest, CancelOrNoAnswerRefusesTheWindow) {
  const std::function<void(TDispatch&, bool&)> kHandlers[] = {
      [&](TDispatch& ppDisp, bool& cancel) {
        ppDisp = other_.Dispatch();
        cancel = true;
      },
      [](TDispatch&, bool&) {},
  };
  for (const auto& handler : kHandlers) {
    int calls = 0;
    web_.OnNewWindow2 = [&](TVelWebBrowser&, TDispatch& ppDisp, bool& cancel) {
      ++calls;
      handler(ppDisp, cancel);
    };
    OpenWindow();
    ASSERT_TRUE(test::WaitForQt([&] { return calls == 1; }));
    test::RunEventsFor(std::chrono::milliseconds(500));
    EXPECT_EQ(other_.title(), "Opener");
    EXPECT_EQ(web_.title(), "Opener");
  }
}

TEST_F(NewWindowTest, HandlerErrorIsReportedAndTheWindowStillOpens) {
  web_.OnNewWindow2 = [&](TVelWebBrowser&, TDispatch& ppDisp, bool&) {
    ppDisp = other_.Dispatch();
    throw std::runtime_error("handler failed");
  };
  OpenWindow();
  EXPECT_TRUE(test::WaitForQt([&] { return other_.title() == "Popup"; }));
  EXPECT_EQ(errors_, std::vector<std::string>{"handler failed"});
}

}  // namespace
}  // namespace ravo
