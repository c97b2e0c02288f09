#include "app/DownloadBar.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

#include "app/Downloads.h"
#include "app/QtText.h"
#include "fsutil/PathText.h"
#include "platform/Files.h"

namespace ravo {

TDownloadBar::TDownloadBar(QWebEngineProfile* profile, FolderFn folder, QWidget* parent)
    : QWidget(parent), folder_(std::move(folder)), rows_(new QWidget(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  auto* rowsLayout = new QVBoxLayout(rows_);
  rowsLayout->setContentsMargins(0, 0, 0, 0);
  rowsLayout->setSpacing(2);
  layout->addWidget(rows_, 1);
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setToolTip(QStringLiteral("不再显示已结束的下载"));
  layout->addWidget(close, 0, Qt::AlignTop);
  connect(close, &QPushButton::clicked, this, [this] { ClearFinished(); });
  connect(profile, &QWebEngineProfile::downloadRequested, this,
          [this](QWebEngineDownloadRequest* request) { Start(request); });
  hide();
}

QStringList TDownloadBar::Lines() const {
  QStringList lines;
  for (const auto& item : items_) lines << item->label->text();
  return lines;
}

void TDownloadBar::CancelAll() {
  for (const auto& item : items_) {
    if (item->request && !item->request->isFinished()) item->request->cancel();
  }
}

TDownloadBar::Item& TDownloadBar::AddRow(const QString& name) {
  auto item = std::make_unique<Item>();
  item->row = new QWidget(rows_);
  auto* layout = new QHBoxLayout(item->row);
  layout->setContentsMargins(0, 0, 0, 0);
  item->label = new QLabel(name, item->row);
  item->progress = new QProgressBar(item->row);
  item->progress->setFixedWidth(200);
  item->progress->setRange(0, 0);  // size not known yet
  item->cancel = new QPushButton(QStringLiteral("取消"), item->row);
  layout->addWidget(item->label, 1);
  layout->addWidget(item->progress);
  layout->addWidget(item->cancel);
  rows_->layout()->addWidget(item->row);
  items_.push_back(std::move(item));
  show();
  return *items_.back();
}

// The download goes into the folder under a name no file there has; when
// the folder cannot be made or holds every name, it is refused and says so.
void TDownloadBar::Start(QWebEngineDownloadRequest* request) {
  std::string folder = folder_();
  std::string name = Bytes(request->suggestedFileName());
  Item& item = AddRow(request->suggestedFileName());
  std::string error = folder.empty() ? "找不到下载文件夹" : platform::MakeFolders(folder);
  std::string free = error.empty() ? FreeSaveName(folder, name) : std::string();
  if (free.empty()) {
    request->cancel();
    item.label->setText(Text("下载失败：" + name + "（" +
                             (error.empty() ? "没有可用的文件名" : error) + "）"));
    Finish(item);
    return;
  }
  item.request = request;
  item.path = JoinPath(folder, free);
  request->setDownloadDirectory(Text(folder));
  request->setDownloadFileName(Text(free));
  Item* shown = &item;
  connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, item.row,
          [this, shown] { Show(*shown); });
  connect(request, &QWebEngineDownloadRequest::totalBytesChanged, item.row,
          [this, shown] { Show(*shown); });
  connect(request, &QWebEngineDownloadRequest::isFinishedChanged, item.row,
          [this, shown] { Finish(*shown); });
  connect(item.cancel, &QPushButton::clicked, request, &QWebEngineDownloadRequest::cancel);
  request->accept();
  Show(item);
}

void TDownloadBar::Show(Item& item) {
  QWebEngineDownloadRequest* request = item.request;
  if (!request || request->isFinished()) return;
  qint64 total = request->totalBytes();
  qint64 received = request->receivedBytes();
  if (total > 0) {
    item.progress->setRange(0, 1000);
    item.progress->setValue(static_cast<int>(received * 1000 / total));
  }
  item.label->setText(QStringLiteral("正在下载 %1（%2 KB）")
                          .arg(request->downloadFileName())
                          .arg(received / 1024));
}

void TDownloadBar::Finish(Item& item) {
  item.cancel->setEnabled(false);
  item.progress->setRange(0, 1000);
  QWebEngineDownloadRequest* request = item.request;
  if (!request) return;
  QString name = request->downloadFileName();
  switch (request->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
      item.progress->setValue(1000);
      item.label->setText(QStringLiteral("已下载 %1，保存在 %2")
                              .arg(name, QDir::toNativeSeparators(request->downloadDirectory())));
      return;
    case QWebEngineDownloadRequest::DownloadCancelled:
      item.label->setText(QStringLiteral("已取消下载 %1").arg(name));
      break;
    default:
      item.label->setText(
          QStringLiteral("下载失败：%1（%2）").arg(name, request->interruptReasonString()));
      break;
  }
  // What the download wrote so far is no file of the user's.
  platform::RemoveFile(item.path);
}

void TDownloadBar::ClearFinished() {
  std::erase_if(items_, [](const std::unique_ptr<Item>& item) {
    bool finished = !item->request || item->request->isFinished();
    if (finished) delete item->row;
    return finished;
  });
  setVisible(!items_.empty());
}

}  // namespace ravo
