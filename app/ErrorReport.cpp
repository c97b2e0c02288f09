#include "app/ErrorReport.h"

#include <QMessageBox>
#include <exception>

#include "app/ErrorText.h"

namespace ravo {

void ShowErrorReport(QWidget* parent, const std::string& message) {
  QMessageBox::critical(parent, QString::fromLocal8Bit(kAppTitle),
                        QString::fromLocal8Bit(ErrorReportText(message)));
}

void Guarded(const std::function<void()>& handler,
             const std::function<void(const std::string&)>& report) {
  try {
    handler();
  } catch (const std::exception& error) {
    report(error.what());
  } catch (...) {
    report("未知错误");
  }
}

}  // namespace ravo
