// Times the full-disk search of the real window (offscreen, drive C:
// pointed at DIR) against ravo-scan over the same tree, in the same run.
//
//   build/bin/ravo-bench-window-search DIR [RUNS]
//
// Prints the best time of each over RUNS runs (default 3, after one warm-up)
// and their ratio, without and with the disguised-file question answered yes.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/Unit_main.h"
#include "browser/VelwebBrowser.h"
#include "platform/Drives.h"
#include "platform/Process.h"

namespace {

double BestOf(int runs, const std::function<void()>& work) {
  work();  // warm-up
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    work();
    best = std::min(best, timer.nsecsElapsed() / 1e9);
  }
  return best;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [RUNS]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ravo::InitBrowserEngine();
  QApplication application(argc, argv);
  ravo::platform::SetDriveTable({ravo::platform::Drive{'C', dir, ravo::platform::kDriveFixed}});
  ravo::TForm_main window;
  const QString scan = QString::fromStdString(ravo::platform::ExecutableDir() + "ravo-scan");

  for (bool disguised : {false, true}) {
    window.askYesNo = [disguised](const std::string&) { return disguised; };
    double inWindow = BestOf(runs, [&] { window.Button4->click(); });
    int rows = window.Captured().CapturedCount();
    QStringList arguments;
    if (disguised) arguments << "--disguised";
    arguments << QString::fromStdString(dir);
    double tool = BestOf(runs, [&] {
      QProcess process;
      process.setStandardOutputFile(QProcess::nullDevice());
      process.setStandardErrorFile(QProcess::nullDevice());
      process.start(scan, arguments);
      process.waitForFinished(-1);
    });
    std::printf("%-12s window %.3f s (%d rows), ravo-scan %.3f s, window/ravo-scan %.2f\n",
                disguised ? "disguised" : "extensions", inWindow, rows, tool, inWindow / tool);
  }
  return 0;
}
