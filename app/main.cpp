#include <QApplication>

#include "app/Unit_main.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  ravo::TForm_main window;
  window.show();
  return application.exec();
}
