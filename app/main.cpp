#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/Unit_main.h"
#include "browser/VelwebBrowser.h"

int main(int argc, char* argv[]) {
  ravo::InitBrowserEngine();
  QApplication application(argc, argv);
  // The interface is Chinese: so are Qt's own dialogs and buttons, where the
  // translations are installed.
  QTranslator translator;
  if (translator.load(QStringLiteral("qt_zh_CN"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    application.installTranslator(&translator);
  }
  ravo::TForm_main window;
  window.show();
  return application.exec();
}
