#include "tests/browser/BrowserTestSupport.h"

#include <QApplication>
#include <QDialog>

#include "browser/VelwebBrowser.h"

namespace ravo::test {

QString Page(const QString& title, const QString& body) {
  return QStringLiteral("<!doctype html><meta charset=utf-8><title>%1</title><body>%2</body>")
      .arg(title, body);
}

DialogWatcher::DialogWatcher() {
  timer_.callOnTimeout([this] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      ++seen_;
      dialog->reject();
    }
  });
  timer_.start(10);
}

}  // namespace ravo::test
