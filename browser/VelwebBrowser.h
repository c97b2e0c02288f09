// The browser pane: a web view whose page can be made silent and which hands
// a page's requests for a new window to a handler that names the receiving
// page.
#pragma once

#include <QString>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <exception>
#include <functional>

class QWebEngineProfile;

namespace ravo {

class TVelWebBrowser;

// The object a new window is handed to: the page that will show it.
using TDispatch = QWebEnginePage*;

// New-window request of a pane. The handler stores the page that receives
// the window in ppDisp; setting cancel refuses the window.
using TNewWindow2Event =
    std::function<void(TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel)>;

// Where an error raised inside a pane's event handler is reported.
using TErrorReport = std::function<void(const std::exception&)>;

// Process-wide engine set-up; call once before the QApplication is created.
// Shares the OpenGL contexts the engine needs, switches the engine's
// sandbox off when the process runs as root, where the sandbox cannot start,
// and makes the interface's language Chinese for the engine too (its own
// pages and the languages it asks sites for).
void InitBrowserEngine();

// Installs the Chinese translations of Qt's own dialogs and of the panes'
// menus and messages, where the system has them; call once the
// application object exists.
void InstallChineseTranslations();

// The profile every pane browses with: named, with a disk cache below the
// user's cache folder (XDG_CACHE_HOME, else ~/.cache). A page that does not
// say how its text is encoded is read as GBK, the code page of the Chinese
// sites the program is made for.
QWebEngineProfile* BrowserProfile();

// The page of a pane. In silent mode no dialog of the engine's own is shown:
// alert, confirm and prompt are answered without asking, a leave-page
// question lets the page go, and certificate errors, authentication and
// permission requests are refused.
class TVelWebPage : public QWebEnginePage {
 public:
  explicit TVelWebPage(TVelWebBrowser& owner);

  bool Silent() const { return silent_; }
  void SetSilent(bool silent) { silent_ = silent; }

 protected:
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                        QString* result) override;

 private:
  TVelWebBrowser& owner_;
  bool silent_ = false;
};

// One browser pane.
class TVelWebBrowser : public QWebEngineView {
 public:
  explicit TVelWebBrowser(QWidget* parent = nullptr);

  // Starts loading the address as the user typed it; the engine's reading
  // of user input supplies a missing scheme. An empty (or blank) address
  // loads nothing. Throws std::runtime_error when the address cannot be
  // read as one.
  void Navigate(const QString& address);

  // The page that a new window asked for elsewhere can be handed to.
  TDispatch Dispatch() { return page_; }

  bool Silent() const { return page_->Silent(); }
  void SetSilent(bool silent) { page_->SetSilent(silent); }

  TNewWindow2Event OnNewWindow2;
  TErrorReport OnError;

 private:
  friend class TVelWebPage;
  // Asks OnNewWindow2 where a new window goes; null refuses it.
  TDispatch NewWindowRequested();
  void Report(const std::exception& error);

  TVelWebPage* page_;  // a child of the view: unbound from it first, then deleted
};

// Puts the pane into silent mode.
void MakeSilent(TVelWebBrowser& browser);

}  // namespace ravo
