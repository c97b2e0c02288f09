#include <QApplication>

#include "app/Unit_main.h"
#include "browser/VelwebBrowser.h"

int main(int argc, char* argv[]) {
  ravo::InitBrowserEngine();
  QApplication application(argc, argv);
  // The interface is Chinese: so are Qt's own dialogs and buttons and the
  // panes' menus, where the translations are installed.
  ravo::InstallChineseTranslations();
  ravo::TForm_main window;
  window.show();
  return application.exec();
}
