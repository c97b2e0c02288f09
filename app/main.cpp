#include <QApplication>

#include "app/Unit_main.h"
#include "browser/VelwebBrowser.h"

int main(int argc, char* argv[]) {
  ravo::InitBrowserEngine();
  QApplication application(argc, argv);
  ravo::TForm_main window;
  window.show();
  return application.exec();
}
