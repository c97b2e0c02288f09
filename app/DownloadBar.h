// The downloads of the browser panes: every download a page starts (a link
// with "download", an attachment, a type the engine cannot show) is saved
// into the user's download folder under the name the page suggests, never
// over a file that is there, and shown in a bar below the panes with its
// progress, a way to cancel it, and how it ended. A download that fails or
// is cancelled leaves no file behind.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace ravo {

class TDownloadBar : public QWidget {
 public:
  // Where downloads go; asked at each download (the folder may change).
  using FolderFn = std::function<std::string()>;

  TDownloadBar(QWebEngineProfile* profile, FolderFn folder, QWidget* parent);

  // What each download's line says, oldest first (for tests).
  QStringList Lines() const;

  // Cancels every download that is running (as its cancel button does).
  void CancelAll();

 private:
  struct Item {
    QPointer<QWebEngineDownloadRequest> request;
    std::string path;
    QWidget* row = nullptr;
    QLabel* label = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* cancel = nullptr;
  };

  void Start(QWebEngineDownloadRequest* request);
  Item& AddRow(const QString& name);
  void Show(Item& item);
  void Finish(Item& item);
  void ClearFinished();

  FolderFn folder_;
  std::vector<std::unique_ptr<Item>> items_;
  QWidget* rows_;
};

}  // namespace ravo
