#include "fsutil/velDialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace ravo {

bool AskYesNo(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), QString::fromLocal8Bit(question),
                  QMessageBox::Yes | QMessageBox::No);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
  box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
  return box.exec() == QMessageBox::Yes;
}

}  // namespace ravo
