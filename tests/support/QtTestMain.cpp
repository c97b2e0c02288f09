// main() for test programs that need a QApplication. Without a display the
// tests run on Qt's offscreen platform. The browser engine is set up first
// and the Chinese translations installed, as the program does, since windows
// under test may hold browser panes.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "browser/VelwebBrowser.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ravo::InitBrowserEngine();
  QApplication application(argc, argv);
  ravo::InstallChineseTranslations();
  return RUN_ALL_TESTS();
}
