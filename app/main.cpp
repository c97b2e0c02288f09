#include <QApplication>
#include <QIcon>

#include "app/Unit_main.h"
#include "browser/VelwebBrowser.h"

int main(int argc, char* argv[]) {
  ravo::InitBrowserEngine();
  QApplication application(argc, argv);
  // The desktop matches the window to its menu entry (ravo.desktop).
  QGuiApplication::setDesktopFileName(QStringLiteral("ravo"));
  QIcon icon;
  for (const char* size : {"32", "64", "256"}) {
    icon.addFile(QStringLiteral(":/icons/ravo-%1.png").arg(QLatin1String(size)));
  }
  QApplication::setWindowIcon(icon);
  // The interface is Chinese: so are Qt's own dialogs and buttons and the
  // panes' menus, where the translations are installed.
  ravo::InstallChineseTranslations();
  ravo::TForm_main window;
  window.show();
  return application.exec();
}
