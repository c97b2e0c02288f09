// The application's standard error report: every handler of the window runs
// through Guarded, and whatever it throws is shown, never swallowed.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

namespace ravo {

inline constexpr char kAppTitle[] = "Ravo上网自动下载工具";

// Shows the error in a critical message box captioned with the program's title.
void ShowErrorReport(QWidget* parent, const std::string& message);

// Runs the handler; an exception it throws goes to `report`.
void Guarded(const std::function<void()>& handler,
             const std::function<void(const std::string&)>& report);

}  // namespace ravo
