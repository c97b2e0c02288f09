#include "browser/VelwebBrowser.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QWebEngineCertificateError>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtGlobal>
#include <stdexcept>

#include "platform/Process.h"

namespace ravo {
namespace {

// The engine asks its leave-page question through javaScriptConfirm, with
// this text of its own; the text is what tells it from a page's confirm().
QString LeavePageQuestion() {
  return QCoreApplication::translate(
      "QWebEnginePage",
      "Are you sure you want to leave this page? Changes that you made may not be saved.");
}

}  // namespace

void InitBrowserEngine() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (platform::SandboxUnavailable()) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

void InstallChineseTranslations() {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* catalog : {"qt_zh_CN", "qtwebengine_zh_CN"}) {
    // Kept for as long as the application runs.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QString::fromLatin1(catalog), folder)) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
    }
  }
}

QWebEngineProfile* BrowserProfile() {
  // One profile for both panes, with its HTTP cache on disk in the user's
  // cache folder, so that what the panes load reaches the disk where
  // monitoring sees it. It lives as long as the application object.
  static QWebEngineProfile* const profile = [] {
    auto* made = new QWebEngineProfile(QStringLiteral("ravo"), QCoreApplication::instance());
    made->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    // The cache is the one thing kept: no cookies are stored between runs.
    made->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    made->settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    return made;
  }();
  return profile;
}

TVelWebPage::TVelWebPage(TVelWebBrowser& owner)
    : QWebEnginePage(BrowserProfile(), &owner), owner_(owner) {
  connect(this, &QWebEnginePage::certificateError, this, [this](QWebEngineCertificateError error) {
    if (silent_) error.rejectCertificate();
  });
  // An authenticator left empty refuses the request.
  connect(this, &QWebEnginePage::authenticationRequired, this,
          [this](const QUrl&, QAuthenticator* auth) {
            if (silent_) *auth = QAuthenticator();
          });
  connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
          [this](const QUrl&, QAuthenticator* auth, const QString&) {
            if (silent_) *auth = QAuthenticator();
          });
  connect(this, &QWebEnginePage::featurePermissionRequested, this,
          [this](const QUrl& origin, Feature feature) {
            if (silent_) setFeaturePermission(origin, feature, PermissionDeniedByUser);
          });
}

QWebEnginePage* TVelWebPage::createWindow(WebWindowType) { return owner_.NewWindowRequested(); }

void TVelWebPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg) {
  if (!silent_) QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

// Silently a script's question is answered "cancel", so that nothing is
// done on the user's behalf; the leave-page question is answered "leave",
// since the user asked for the navigation that raised it.
bool TVelWebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) {
  if (!silent_) return QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
  return msg == LeavePageQuestion();
}

bool TVelWebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                   const QString& defaultValue, QString* result) {
  if (!silent_) return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
  return false;
}

TVelWebBrowser::TVelWebBrowser(QWidget* parent)
    : QWebEngineView(parent), page_(new TVelWebPage(*this)) {
  setPage(page_);
}

void TVelWebBrowser::Navigate(const QString& address) {
  if (address.trimmed().isEmpty()) return;
  const QUrl url = QUrl::fromUserInput(address);
  if (!url.isValid()) throw std::runtime_error("无法打开网址：" + address.toLocal8Bit().toStdString());
  page_->load(url);
}

// An error of the handler is reported and never reaches the engine; the
// request then goes on with the answer as the handler left it.
TDispatch TVelWebBrowser::NewWindowRequested() {
  TDispatch target = nullptr;
  bool cancel = false;
  if (!OnNewWindow2) return nullptr;
  try {
    OnNewWindow2(*this, target, cancel);
  } catch (const std::exception& error) {
    Report(error);
  } catch (...) {
    Report(std::runtime_error("未知错误"));
  }
  return cancel ? nullptr : target;
}

void TVelWebBrowser::Report(const std::exception& error) {
  if (!OnError) {
    qWarning("%s", error.what());
    return;
  }
  try {
    OnError(error);
  } catch (...) {
    qWarning("%s", error.what());
  }
}

void MakeSilent(TVelWebBrowser& browser) { browser.SetSilent(true); }

}  // namespace ravo
