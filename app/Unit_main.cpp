#include "app/Unit_main.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QWebEngineProfile>
#include <QTimer>
#include <QVBoxLayout>

#include "app/AdvStringGrid.h"
#include "app/CaptureCsv.h"
#include "app/ThumbnailLoader.h"
#include "app/CapturedFile.h"
#include "app/ErrorReport.h"
#include "app/JpegImage.h"
#include "app/LinkTargets.h"
#include "browser/BrowserPair.h"
#include "widgets/HyperLabel.h"
#include "fsutil/velDialogs.h"
#include "fsutil/velwindows.h"
#include "app/BrowsingFolders.h"
#include "fsutil/PathText.h"
#include "app/DownloadBar.h"
#include "app/Downloads.h"
#include "app/QtText.h"
#include "platform/Drives.h"

namespace ravo {
namespace {

// "宋体" where it exists, else the CJK fonts a Linux desktop has.
QFont SongTi(int pixelSize, bool bold = false) {
  QFont font;
  font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                    QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("WenQuanYi Zen Hei")});
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

// A page whose top child fills its width at a fixed height and whose bottom
// child is aligned to the bottom edge; other children keep their design place.
class TopBottomPage : public QWidget {
 public:
  using QWidget::QWidget;
  void Align(QWidget* top, int topHeight, QWidget* bottom, int bottomHeight) {
    top_ = top;
    topHeight_ = topHeight;
    bottom_ = bottom;
    bottomHeight_ = bottomHeight;
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (top_) top_->setGeometry(0, 0, width(), topHeight_);
    if (bottom_) bottom_->setGeometry(0, height() - bottomHeight_, width(), bottomHeight_);
  }

 private:
  QWidget* top_ = nullptr;
  int topHeight_ = 0;
  QWidget* bottom_ = nullptr;
  int bottomHeight_ = 0;
};

QPushButton* MakeButton(QWidget* parent, const char* caption, QRect place) {
  auto* button = new QPushButton(Text(caption), parent);
  button->setGeometry(place);
  return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* caption, int left) {
  auto* box = new QCheckBox(Text(caption), parent);
  box->setGeometry(left, 316, 141, 23);
  box->setChecked(true);
  return box;
}

QPixmap StartPicture() {
  QFile file(QStringLiteral(":/pictures/start.jpg"));
  if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("start picture missing");
  QByteArray bytes = file.readAll();
  std::string error;
  RgbImage image =
      DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size(), error);
  if (image.width == 0) throw std::runtime_error("start picture: " + error);
  QImage picture(image.rgb.data(), image.width, image.height, image.width * 3,
                 QImage::Format_RGB888);
  return QPixmap::fromImage(picture.copy());
}

}  // namespace

constexpr char kStartMonitoring[] = "开始监视";
constexpr char kStopMonitoring[] = "中止监视";
constexpr char kStartSearch[] = "全盘搜索";
constexpr char kStopSearch[] = "停止搜索";

TForm_main::TForm_main(QWidget* parent)
    : QWidget(parent),
      grid_(3, 10),
      captured_(grid_),
      monitor_(captured_, [this] { return Ticked(); }),
      search_(captured_) {
  setWindowTitle(Text(kAppTitle));
  setFont(SongTi(16));
  setAutoFillBackground(true);
  reportError = [this](const std::string& message) { ShowErrorReport(this, message); };
  askYesNo = AskYesNo;
  askSaveName = [this](const std::string& suggested) -> std::optional<std::string> {
    QString chosen = QFileDialog::getSaveFileName(this, QString(), Text(suggested), QString(),
                                                  nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return std::nullopt;
    return Bytes(chosen);
  };
  askFolder = [this]() -> std::optional<std::string> {
    QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("保存到文件夹"), Text(DownloadFolder(CurrentUserEnvironment())));
    if (chosen.isEmpty()) return std::nullopt;
    return Bytes(chosen);
  };
  askExportName = [this](const std::string& suggested) -> std::optional<std::string> {
    QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("导出列表"), Text(suggested),
                                                  QStringLiteral("CSV 文件 (*.csv)"));
    if (chosen.isEmpty()) return std::nullopt;
    return Bytes(chosen);
  };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  BuildTopBar();
  RzPageControl1 = new QStackedWidget(this);
  layout->addWidget(Panel4);
  layout->addWidget(RzPageControl1, 1);
  BuildCapturePage();
  BuildBrowserPage();
  BuildStartPage();
  RzPageControl1->setCurrentIndex(kStartPage);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  // Files reported before their head was written are looked at again while
  // monitoring is on, whatever the size refresh is doing.
  recheckTimer_ = new QTimer(this);
  recheckTimer_->setInterval(250);
  BuildWatchers();
  ConnectHandlers();
  Timer1->start();

  // The design size: the pages get 1045 x 528 below the 85-pixel top bar.
  resize(1045, 613);
  if (QScreen* screen = this->screen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  Run([this] { FormCreate(); });
}

TForm_main::~TForm_main() {
  // The grid view goes before the grid it shows, which is a member.
  delete AdvStringGrid1;
}

void TForm_main::BuildTopBar() {
  Panel4 = new QWidget(this);
  Panel4->setFixedHeight(85);
  BitBtn1 = MakeButton(Panel4, "下载资源", {57, 9, 162, 66});
  BitBtn2 = MakeButton(Panel4, "浏览网页", {255, 10, 162, 66});
  BitBtn1->setIcon(QIcon(QStringLiteral(":/pictures/capture.png")));
  BitBtn2->setIcon(QIcon(QStringLiteral(":/pictures/browse.png")));
  BitBtn1->setIconSize({32, 32});
  BitBtn2->setIconSize({32, 32});
}

void TForm_main::BuildCapturePage() {
  auto* page = new TopBottomPage(RzPageControl1);
  TabSheet1 = page;
  AdvStringGrid1 = new TAdvStringGrid(grid_, page);
  AdvStringGrid1->setFont(SongTi(14));
  AdvStringGrid1->horizontalHeader()->setFont(SongTi(14, true));
  AdvStringGrid1->verticalHeader()->setDefaultSectionSize(21);
  AdvStringGrid1->setColumnWidth(0, 681);
  AdvStringGrid1->setColumnWidth(1, 145);
  AdvStringGrid1->setColumnWidth(2, 180);

  CheckBox1 = MakeCheckBox(page, "监视音乐资源", 88);
  CheckBox2 = MakeCheckBox(page, "监视频资源", 276);
  CheckBox3 = MakeCheckBox(page, "监视动画资源", 464);
  CheckBox4 = MakeCheckBox(page, "监视图片资源", 652);
  CheckBox5 = MakeCheckBox(page, "监视新格式资源", 840);
  Button4 = MakeButton(page, "全盘搜索", {127, 365, 133, 57});
  Button1 = MakeButton(page, "开始监视", {327, 365, 133, 57});
  Button2 = MakeButton(page, "另存为", {528, 365, 133, 57});

  HyperLabel1 = new THyperLabel(QStringLiteral("了解定做软件"), page);
  HyperLabel1->setGeometry(698, 378, 120, 19);
  HyperLabel1->SetURL(Text(kMakerHomePage));
  HyperLabel2 = new THyperLabel(QStringLiteral("联系作者"), page);
  HyperLabel2->setGeometry(703, 423, 80, 19);
  HyperLabel2->SetURL(Text(kMakerContactPage));
  for (THyperLabel* link : {HyperLabel1, HyperLabel2}) {
    link->setFont(SongTi(19, true));
    QFont hover = SongTi(16);
    hover.setUnderline(true);
    link->SetHoverFont(hover);
  }

  StatusBar1 = new QStatusBar(page);
  StatusBar1->setSizeGripEnabled(false);
  statusPanel_ = new QLabel(StatusBar1);
  StatusBar1->addWidget(statusPanel_, 1);
  warningPanel_ = new QLabel(StatusBar1);
  warningPanel_->setStyleSheet(QStringLiteral("color: #b00000"));
  warningPanel_->setWordWrap(false);
  warningPanel_->hide();
  StatusBar1->addPermanentWidget(warningPanel_);
  page->Align(AdvStringGrid1, 289, StatusBar1, 27);
  BuildRowMenu();

  QWidget::setTabOrder(AdvStringGrid1, CheckBox1);
  QWidget::setTabOrder(CheckBox1, CheckBox2);
  QWidget::setTabOrder(CheckBox2, CheckBox3);
  QWidget::setTabOrder(CheckBox3, CheckBox4);
  QWidget::setTabOrder(CheckBox4, CheckBox5);
  QWidget::setTabOrder(CheckBox5, Button1);
  QWidget::setTabOrder(Button1, Button2);
  QWidget::setTabOrder(Button2, Button4);
  RzPageControl1->addWidget(page);
}

void TForm_main::BuildRowMenu() {
  PopupMenu1 = new QMenu(AdvStringGrid1);
  MenuOpen = PopupMenu1->addAction(QStringLiteral("打开"));
  MenuOpenFolder = PopupMenu1->addAction(QStringLiteral("打开所在文件夹"));
  MenuCopyPath = PopupMenu1->addAction(QStringLiteral("复制路径"));
  PopupMenu1->addSeparator();
  MenuSaveAs = PopupMenu1->addAction(QStringLiteral("另存为…"));
  MenuExport = PopupMenu1->addAction(QStringLiteral("导出列表…"));
  AdvStringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
  // A picture or a video shows a thumbnail while the pointer rests on it.
  Preview1 = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
  Preview1->setStyleSheet(QStringLiteral("background: white; border: 1px solid #808080; padding: 2px"));
  Preview1->hide();
  thumbnails_ = new TThumbnailLoader(this);
}

void TForm_main::BuildBrowserPage() {
  TabSheet2 = new QWidget(RzPageControl1);
  auto* layout = new QGridLayout(TabSheet2);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  Panel1 = new QWidget(TabSheet2);
  Panel1->setFixedHeight(71);
  Label1 = new QLabel(QStringLiteral("网址"), Panel1);
  Label1->setGeometry(12, 22, 32, 16);
  Edit1 = new QLineEdit(Panel1);
  Edit1->setGeometry(54, 17, 849, 24);
  Button3 = MakeButton(Panel1, "浏览", {918, 8, 82, 40});
  // The two panes lie on top of each other; one is visible at a time.
  Panel2 = new QWidget(TabSheet2);
  Panel3 = new QWidget(TabSheet2);
  for (QWidget* panel : {Panel2, Panel3}) {
    auto* fill = new QVBoxLayout(panel);
    fill->setContentsMargins(0, 0, 0, 0);
  }
  web = new TVelWebBrowser(Panel2);
  web2 = new TVelWebBrowser(Panel3);
  Panel2->layout()->addWidget(web);
  Panel3->layout()->addWidget(web2);
  browsers_ = std::make_unique<TBrowserPair>(*web, *Panel2, *web2, *Panel3);
  // Downloads that pages start are shown below the panes while there are any.
  DownloadBar1 = new TDownloadBar(
      BrowserProfile(), [] { return DownloadFolder(CurrentUserEnvironment()); }, TabSheet2);
  layout->addWidget(Panel1, 0, 0);
  layout->addWidget(Panel2, 1, 0);
  layout->addWidget(Panel3, 1, 0);
  layout->addWidget(DownloadBar1, 2, 0);
  layout->setRowStretch(1, 1);
  // Videos that pages stream to their players are kept while monitoring is on.
  StreamCapture1 = new TStreamCaptureHost(this);
  StreamCapture1->Install(BrowserProfile(), {web->page(), web2->page()});
  StreamCapture1->OnNotice = [this](const std::string& text) { SetStatusText(text); };
  RzPageControl1->addWidget(TabSheet2);
}

void TForm_main::BuildStartPage() {
  TabSheet3 = new QWidget(RzPageControl1);
  auto* layout = new QVBoxLayout(TabSheet3);
  layout->setContentsMargins(0, 0, 0, 0);
  Image1 = new QLabel(TabSheet3);
  Image1->setScaledContents(true);  // stretched, proportions not kept
  Image1->setMinimumSize(1, 1);
  layout->addWidget(Image1);
  RzPageControl1->addWidget(TabSheet3);
  Run([this] { Image1->setPixmap(StartPicture()); });
}

void TForm_main::BuildWatchers() {
  for (std::size_t i = 0; i < watchers_.size(); ++i) {
    watchers_[i] = std::make_unique<TFileSystemWatcher>(dispatcher_);
    TFileSystemWatcher& watcher = *watchers_[i];
    watcher.SetWatchedDir(platform::DriveRoot(static_cast<char>('C' + i)));
    watcher.SetWatchSubTree(true);
    watcher.SetNotifyFilters({nfFileNameChange, nfDirNameChange});
    watcher.SetOnStatus([this](const std::string& text) { SetStatusText(text); });
    watcher.SetOnWarning([this, i](const std::string& text) { SetWarning(i, text); });
    watcher.SetOnChange([this](TFileOperation operation, const std::string& fileName1,
                               const std::string& fileName2) {
      FileSystemWatcher5Change(operation, fileName1, fileName2);
    });
  }
  FileSystemWatcher1 = watchers_[0].get();
  FileSystemWatcher2 = watchers_[1].get();
  FileSystemWatcher3 = watchers_[2].get();
  FileSystemWatcher4 = watchers_[3].get();
  FileSystemWatcher5 = watchers_[4].get();
}

void TForm_main::ConnectHandlers() {
  connect(Button1, &QPushButton::clicked, this, [this] { Run([this] { Button1Click(); }); });
  connect(Button4, &QPushButton::clicked, this, [this] { Run([this] { Button4Click(); }); });
  connect(recheckTimer_, &QTimer::timeout, this, [this] {
    Run([this] {
      std::string status = monitor_.Tick();
      if (!status.empty()) SetStatusText(status);
    });
  });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { Run([this] { BitBtn1Click(); }); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { Run([this] { BitBtn2Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Run([this] { Button2Click(); }); });
  connect(Timer1, &QTimer::timeout, this, [this] { Run([this] { Timer1Timer(); }); });
  AdvStringGrid1->OnClickCell = [this](int row, int col) {
    Run([=, this] { AdvStringGrid1ClickCell(row, col); });
  };
  AdvStringGrid1->OnDblClick = [this] { Run([this] { AdvStringGrid1DblClick(); }); };
  connect(AdvStringGrid1, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
    HidePreview();
    bool captured = !SelectedCapturedRows().empty();
    for (QAction* action : {MenuOpen, MenuOpenFolder, MenuCopyPath, MenuSaveAs}) {
      action->setEnabled(captured);
    }
    MenuExport->setEnabled(captured_.CapturedCount() > 0);
    PopupMenu1->popup(AdvStringGrid1->viewport()->mapToGlobal(at));
  });
  connect(MenuOpen, &QAction::triggered, this, [this] { Run([this] { AdvStringGrid1DblClick(); }); });
  connect(MenuOpenFolder, &QAction::triggered, this, [this] { Run([this] { OpenFolderOfRow(); }); });
  connect(MenuCopyPath, &QAction::triggered, this, [this] { Run([this] { CopyPaths(); }); });
  connect(MenuSaveAs, &QAction::triggered, this, [this] { Run([this] { Button2Click(); }); });
  connect(MenuExport, &QAction::triggered, this, [this] { Run([this] { ExportList(); }); });
  AdvStringGrid1->OnRestOnRow = [this](int row, QPoint at) { PreviewRow(row, at); };
  AdvStringGrid1->OnLeaveRow = [this] { HidePreview(); };
  thumbnails_->OnReady = [this](int ticket, const QImage& image) { ShowPreview(ticket, image); };
  connect(Button3, &QPushButton::clicked, this, [this] { Run([this] { Button3Click(); }); });
  Edit1->installEventFilter(this);
  web->OnNewWindow2 = [this](TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel) {
    webNewWindow2(sender, ppDisp, cancel);
  };
  web2->OnNewWindow2 = [this](TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel) {
    web2NewWindow2(sender, ppDisp, cancel);
  };
  for (TVelWebBrowser* pane : {web, web2}) {
    pane->OnError = [this](const std::exception& error) { reportError(error.what()); };
  }
  AdvStringGrid1->OnGetCellColor = [this](int row, int col, QBrush& brush) {
    AdvStringGrid1GetCellColor(row, col, brush);
  };
}

bool TForm_main::eventFilter(QObject* watched, QEvent* event) {
  // A held key repeats its release on X11 (Windows sends one): only the
  // real release counts.
  if (watched == Edit1 && event->type() == QEvent::KeyRelease &&
      !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
    int key = static_cast<QKeyEvent*>(event)->key();
    Run([this, key] { Edit1KeyUp(key); });
  }
  return QWidget::eventFilter(watched, event);
}

void TForm_main::Run(const std::function<void()>& handler) {
  Guarded(handler, [this](const std::string& message) { reportError(message); });
}

void TForm_main::FormCreate() {
  browsers_->StartUp();
  RzPageControl1->setCurrentIndex(kStartPage);
}

void TForm_main::BitBtn1Click() { RzPageControl1->setCurrentIndex(kCapturePage); }

void TForm_main::BitBtn2Click() { RzPageControl1->setCurrentIndex(kBrowserPage); }

void TForm_main::Timer1Timer() { captured_.RefreshSizes(); }

void TForm_main::AdvStringGrid1ClickCell(int row, int /*col*/) {
  SetStatusText(grid_.Cell(CaptureList::kNameCol, row));
}

void TForm_main::AdvStringGrid1DblClick() {
  if (std::optional<std::string> path = captured_.PathOfRow(grid_.CurrentRow())) {
    ShellOpenFile(openable_.PathToOpen(*path), "");
  }
}

CategorySelection TForm_main::Ticked() const {
  return {CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked(),
          CheckBox4->isChecked(), CheckBox5->isChecked()};
}

void TForm_main::Button1Click() {
  if (Bytes(Button1->text()) == kStartMonitoring) {
    monitor_.Start();
    Timer1->start();
    Button1->setText(Text(kStopMonitoring));
    // Where the panes and the user's browsers put what is browsed is
    // watched first on whichever drive holds it.
    std::vector<std::string> first =
        BrowsingFolders(CurrentUserEnvironment(), Bytes(BrowserProfile()->cachePath()));
    for (std::size_t i = 0; i < watchers_.size(); ++i) {
      // Drives may have come or gone since the window was made.
      watchers_[i]->SetWatchedDir(platform::DriveRoot(static_cast<char>('C' + i)));
      watchers_[i]->SetWatchFirst(first);
    }
    for (auto& watcher : watchers_) watcher->SetActived(true);
    recheckTimer_->start();
    StreamCapture1->SetRecording(
        true, JoinPath(UserFolder(CurrentUserEnvironment(), "VIDEOS", "Videos"), "Ravo上网自动下载工具"));
  } else {
    Timer1->stop();
    Button1->setText(Text(kStartMonitoring));
    for (auto& watcher : watchers_) watcher->SetActived(false);
    for (std::size_t i = 0; i < watchers_.size(); ++i) SetWarning(i, "");
    recheckTimer_->stop();
    StreamCapture1->SetRecording(false, {});
    monitor_.Stop();
  }
}

void TForm_main::FileSystemWatcher5Change(TFileOperation operation, const std::string& fileName1,
                                          const std::string& fileName2) {
  std::string status = monitor_.OnChange(operation, fileName1, fileName2);
  if (!status.empty()) SetStatusText(status);
}

void TForm_main::Button4Click() {
  if (Bytes(Button4->text()) != kStartSearch) {
    search_.RequestStop();
    Button4->setText(Text(kStartSearch));
    return;
  }
  // A stopped walk that is still unwinding finishes before a new one starts.
  if (search_.IsRunning()) return;
  bool disguised = askYesNo("是否搜索扩展名隐藏的文件？");
  Button4->setText(Text(kStopSearch));
  Timer1->stop();
  SearchHooks hooks;
  hooks.pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
  hooks.status = [this](const std::string& path) { SetStatusText(path); };
  search_.Start(Ticked(), disguised, hooks);
  Button4->setText(Text(kStartSearch));
}

void TForm_main::closeEvent(QCloseEvent* event) {
  // A search runs inside its button's handler: end it so that the program
  // can end as soon as the walk has unwound.
  search_.RequestStop();
  QWidget::closeEvent(event);
}

std::vector<int> TForm_main::SelectedCapturedRows() const {
  std::vector<int> rows;
  for (int row : AdvStringGrid1->SelectedRows()) {
    if (captured_.PathOfRow(row)) rows.push_back(row);
  }
  return rows;
}

void TForm_main::Button2Click() {
  if (std::vector<int> rows = SelectedCapturedRows(); rows.size() > 1) {
    SaveRows(rows);
    return;
  }
  int row = grid_.CurrentRow();
  // A row left over from before a reset has no file behind it: nothing to
  // save. The file is taken before the dialog: reports handled while it is
  // open may move the rows.
  std::optional<std::string> source = captured_.PathOfRow(row);
  if (!source) return;
  std::optional<std::string> target = askSaveName(captured_.SuggestedSaveName(row));
  if (!target) return;
  std::string error = SaveCapturedFile(*source, *target);
  if (!error.empty()) throw std::runtime_error(error);
}

void TForm_main::SaveRows(const std::vector<int>& rows) {
  if (batch_) return;
  // Files and names are taken before the dialog: reports handled while it
  // is open may move the rows.
  std::vector<SaveItem> items;
  for (int row : rows) items.push_back({*captured_.PathOfRow(row), captured_.SuggestedSaveName(row)});
  std::optional<std::string> folder = askFolder();
  if (!folder) return;
  const int total = static_cast<int>(items.size());
  batchDialog_ = new QProgressDialog(QStringLiteral("正在保存…"), QStringLiteral("停止"), 0, total, this);
  batchDialog_->setWindowTitle(Text(kAppTitle));
  batchDialog_->setWindowModality(Qt::WindowModal);
  batchDialog_->setMinimumDuration(500);
  batchDialog_->setAutoClose(false);
  batchDialog_->setAutoReset(false);
  batchDialog_->setValue(0);
  connect(batchDialog_, &QProgressDialog::canceled, this, [this] {
    if (batch_) batch_->RequestStop();
  });
  auto progress = [this](const BatchSaveProgress& p) {
    if (!batchDialog_) return;
    batchDialog_->setLabelText(Text("正在保存 " + std::to_string(p.done + 1) + "/" +
                                    std::to_string(p.total) + "：" + p.name));
    batchDialog_->setValue(static_cast<int>(p.done));
  };
  auto done = [this, folder = *folder](const BatchSaveResult& result) {
    FinishBatch(result, folder);
  };
  batch_ = std::make_unique<BatchSave>(dispatcher_, std::move(items), *folder, progress, done);
}

void TForm_main::FinishBatch(const BatchSaveResult& result, const std::string& folder) {
  if (batchDialog_) {
    // Reset first: that stops the timer that would show it again inside the
    // event loop of the report below. Deleted later, since a modal dialog's
    // setValue lets events in and may be on the stack here.
    batchDialog_->reset();
    batchDialog_->hide();
    batchDialog_->deleteLater();
    batchDialog_ = nullptr;
  }
  // The batch is in the middle of calling this: it goes once that is over.
  QTimer::singleShot(0, this, [this] { batch_.reset(); });
  std::string summary = BatchSaveSummary(result, folder);
  if (result.failures.empty()) {
    SetStatusText(summary);
  } else {
    reportError(summary);
  }
}

void TForm_main::OpenFolderOfRow() {
  if (std::optional<std::string> path = captured_.PathOfRow(grid_.CurrentRow())) {
    ShellOpenFile(FolderOf(*path), "");
  }
}

void TForm_main::CopyPaths() {
  std::string text;
  for (int row : SelectedCapturedRows()) {
    if (!text.empty()) text += '\n';
    text += *captured_.PathOfRow(row);
  }
  if (!text.empty()) QGuiApplication::clipboard()->setText(Text(text));
}

void TForm_main::ExportList() {
  std::optional<std::string> target =
      askExportName(JoinPath(DownloadFolder(CurrentUserEnvironment()), "捕获列表.csv"));
  if (!target) return;
  std::string error = ExportCaptureList(captured_, *target);
  if (!error.empty()) throw std::runtime_error(error);
  SetStatusText("已导出 " + std::to_string(captured_.CapturedCount()) + " 行到 " + *target);
}

void TForm_main::PreviewRow(int row, QPoint globalPos) {
  std::optional<std::string> path = captured_.PathOfRow(row);
  PreviewKind kind =
      path ? PreviewKindOf(grid_.Cell(CaptureList::kTypeCol, row)) : PreviewKind::kNone;
  ++previewTicket_;
  if (kind == PreviewKind::kNone) {
    Preview1->hide();
    return;
  }
  previewPos_ = globalPos;
  thumbnails_->Request(previewTicket_, *path, kind);
}

void TForm_main::ShowPreview(int ticket, const QImage& image) {
  // An answer for a row the pointer has left, or a file that could not be
  // decoded, shows nothing.
  if (ticket != previewTicket_ || image.isNull()) return;
  Preview1->setPixmap(QPixmap::fromImage(image));
  Preview1->adjustSize();
  Preview1->move(previewPos_ + QPoint(16, 16));
  Preview1->show();
}

void TForm_main::HidePreview() {
  ++previewTicket_;
  Preview1->hide();
}

void TForm_main::AdvStringGrid1GetCellColor(int row, int col, QBrush& brush) {
  if (std::optional<Rgb> colour = captured_.CellColour(col, row)) {
    brush = QBrush(QColor(colour->r, colour->g, colour->b));
  }
}

void TForm_main::Button3Click() { browsers_->Navigate1(Edit1->text()); }

void TForm_main::Edit1KeyUp(int key) { browsers_->AddressKeyUp(key, Edit1->text()); }

void TForm_main::webNewWindow2(TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel) {
  browsers_->WebNewWindow2(sender, ppDisp, cancel);
}

void TForm_main::web2NewWindow2(TVelWebBrowser& sender, TDispatch& ppDisp, bool& cancel) {
  browsers_->Web2NewWindow2(sender, ppDisp, cancel);
}

void TForm_main::SetStatusText(const std::string& text) { statusPanel_->setText(Text(text)); }

std::string TForm_main::StatusText() const { return Bytes(statusPanel_->text()); }

// The widest the watchers' warnings are shown, in pixels.
constexpr int kWarningPanelWidth = 800;

void TForm_main::SetWarning(std::size_t watcher, const std::string& text) {
  warnings_[watcher] = text;
  std::string shown;
  for (const std::string& w : warnings_) {
    if (w.empty()) continue;
    if (!shown.empty()) shown += "；";
    shown += w;
  }
  // Long texts are shortened in the middle to leave room for the status
  // text; the whole text is the panel's tool tip.
  QString full = Text(shown);
  warningPanel_->setText(
      warningPanel_->fontMetrics().elidedText(full, Qt::ElideMiddle, kWarningPanelWidth));
  warningPanel_->setToolTip(full);
  warningPanel_->setVisible(!shown.empty());
}

std::string TForm_main::WarningText() const { return Bytes(warningPanel_->toolTip()); }

}  // namespace ravo
