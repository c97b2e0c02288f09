// The main window: two page buttons on top, and three pages without tabs —
// the capture page, the browser page and the start picture.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "app/CaptureList.h"
#include "app/StringGrid.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTimer;

namespace ravo {

class TAdvStringGrid;

class TForm_main : public QWidget {
  Q_OBJECT
 public:
  explicit TForm_main(QWidget* parent = nullptr);
  ~TForm_main() override;

  // Pages of RzPageControl1.
  static constexpr int kCapturePage = 0;
  static constexpr int kBrowserPage = 1;
  static constexpr int kStartPage = 2;

  // Handlers.
  void FormCreate();
  void BitBtn1Click();
  void BitBtn2Click();
  void Timer1Timer();
  void AdvStringGrid1ClickCell(int row, int col);
  void AdvStringGrid1DblClick();
  void Button2Click();
  void AdvStringGrid1GetCellColor(int row, int col, QBrush& brush);

  // Status panel 0 of StatusBar1.
  void SetStatusText(const std::string& text);
  std::string StatusText() const;

  CaptureList& Captured() { return captured_; }

  // Dialogs, replaceable so that tests answer them.
  std::function<std::optional<std::string>(const std::string& suggestedName)> askSaveName;
  std::function<void(const std::string& message)> reportError;

  // Components.
  QWidget* Panel4;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QStackedWidget* RzPageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QWidget* TabSheet3;
  QLabel* Image1;
  TAdvStringGrid* AdvStringGrid1;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox4;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button4;
  QLabel* HyperLabel1;
  QLabel* HyperLabel2;
  QStatusBar* StatusBar1;
  QWidget* Panel1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button3;
  QWidget* Panel2;
  QWidget* Panel3;
  QTimer* Timer1;

 private:
  void BuildTopBar();
  void BuildCapturePage();
  void BuildBrowserPage();
  void BuildStartPage();
  void ConnectHandlers();
  // Runs a handler through the standard error report.
  void Run(const std::function<void()>& handler);

  StringGrid grid_;
  CaptureList captured_;
  QLabel* statusPanel_;
};

}  // namespace ravo
