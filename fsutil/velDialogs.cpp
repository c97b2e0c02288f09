#include "fsutil/velDialogs.h"

#include <QMessageBox>

namespace ravo {

bool AskYesNo(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), QString::fromLocal8Bit(question),
                  QMessageBox::Yes | QMessageBox::No);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace ravo
