// The main window: two page buttons on top, and three pages without tabs —
// the capture page, the browser page and the start picture.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/BatchSave.h"
#include "app/CaptureList.h"
#include "app/CaptureMonitor.h"
#include "app/Categories.h"
#include "app/FullDiskSearch.h"
#include "app/OpenableCopies.h"
#include "app/QtDispatcher.h"
#include "app/StringGrid.h"
#include "app/DownloadBar.h"
#include "app/StreamCaptureHost.h"
#include "browser/VelwebBrowser.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QProgressDialog;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTimer;

namespace ravo {

class TAdvStringGrid;
class TBrowserPair;
class TThumbnailLoader;
class THyperLabel;

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
  void Button1Click();
  void FileSystemWatcher5Change(TFileOperation operation, const std::string& fileName1,
                                const std::string& fileName2);
  void Button4Click();
  void Button3Click();
  void Edit1KeyUp(int key);
  // The rows' context menu.
  void OpenFolderOfRow();
  void CopyPaths();
  void ExportList();
  void webNewWindow2(TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel);
  void web2NewWindow2(TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel);

  // Status panel 0 of StatusBar1.
  void SetStatusText(const std::string& text);
  std::string StatusText() const;
  // The watchers' lasting warnings, as shown.
  std::string WarningText() const;

  CaptureList& Captured() { return captured_; }
  // True while a batch started by "另存为" is saving.
  bool SavingBatch() const { return batch_ != nullptr; }
  const FullDiskSearch& Search() const { return search_; }

  // The check boxes, as the capture rules read them.
  CategorySelection Ticked() const;

  // Dialogs, replaceable so that tests answer them.
  std::function<bool(const std::string& question)> askYesNo;
  std::function<std::optional<std::string>(const std::string& suggestedName)> askSaveName;
  std::function<std::optional<std::string>()> askFolder;
  std::function<std::optional<std::string>(const std::string& suggestedName)> askExportName;
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
  QMenu* PopupMenu1;
  QAction* MenuOpen;
  QAction* MenuOpenFolder;
  QAction* MenuCopyPath;
  QAction* MenuSaveAs;
  QAction* MenuExport;
  QLabel* Preview1;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox4;
  QCheckBox* CheckBox5;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button4;
  THyperLabel* HyperLabel1;
  THyperLabel* HyperLabel2;
  QStatusBar* StatusBar1;
  QWidget* Panel1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button3;
  QWidget* Panel2;
  TVelWebBrowser* web;
  QWidget* Panel3;
  TVelWebBrowser* web2;
  TDownloadBar* DownloadBar1;
  TStreamCaptureHost* StreamCapture1;
  QTimer* Timer1;
  TFileSystemWatcher* FileSystemWatcher1;
  TFileSystemWatcher* FileSystemWatcher2;
  TFileSystemWatcher* FileSystemWatcher3;
  TFileSystemWatcher* FileSystemWatcher4;
  TFileSystemWatcher* FileSystemWatcher5;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildTopBar();
  void BuildCapturePage();
  void BuildBrowserPage();
  void BuildStartPage();
  void BuildWatchers();
  void ConnectHandlers();
  void BuildRowMenu();
  void SetWarning(std::size_t watcher, const std::string& text);
  // The selected rows that have a file behind them.
  std::vector<int> SelectedCapturedRows() const;
  void SaveRows(const std::vector<int>& rows);
  void FinishBatch(const BatchSaveResult& result, const std::string& folder);
  void PreviewRow(int row, QPoint globalPos);
  void ShowPreview(int ticket, const QImage& image);
  void HidePreview();
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Runs a handler through the standard error report.
  void Run(const std::function<void()>& handler);

  // Declared in the order they may be destroyed in reverse: the watchers go
  // first, then what their reports reach, the dispatcher last.
  QtDispatcher dispatcher_;
  StringGrid grid_;
  CaptureList captured_;
  CaptureMonitor monitor_;
  FullDiskSearch search_;
  QLabel* statusPanel_;
  // Warnings of the watchers (a part of a drive cannot be watched), one per
  // watcher, shown beside the status text until monitoring is switched off.
  QLabel* warningPanel_;
  std::array<std::string, 5> warnings_;
  QTimer* recheckTimer_;
  std::unique_ptr<TBrowserPair> browsers_;
  OpenableCopies openable_;
  std::array<std::unique_ptr<TFileSystemWatcher>, 5> watchers_;
  // A batch of "另存为" and its progress; posts through dispatcher_.
  std::unique_ptr<BatchSave> batch_;
  QProgressDialog* batchDialog_ = nullptr;
  TThumbnailLoader* thumbnails_;
  // The newest preview asked for; older answers are dropped.
  int previewTicket_ = 0;
  QPoint previewPos_;
};

}  // namespace ravo
