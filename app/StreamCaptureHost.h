// The program's side of the script the panes run in every page: it takes
// what pages append to their media sources while monitoring is on and hands
// it to a worker that keeps the streams as files in the user's videos
// folder. Reached from the pages through Qt WebChannel as "ravoStreams".
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QWebEnginePage;
class QWebEngineProfile;
class QWebChannel;

namespace ravo {
namespace media {
class StreamCaptureWorker;
}

class TStreamCaptureHost : public QObject {
  Q_OBJECT
 public:
  // What the user is told (a protected video, a full disk) and the files
  // made, on the main thread.
  using NoticeFn = std::function<void(const std::string& text)>;

  explicit TStreamCaptureHost(QObject* parent = nullptr);
  ~TStreamCaptureHost() override;

  // The script into every page and frame of the profile, the channel into
  // each of the pages.
  void Install(QWebEngineProfile* profile, const std::vector<QWebEnginePage*>& pages);

  // On: streams go into the folder. Off: nothing more is written, and what
  // was being recorded is made into files in the background (the window
  // does not wait for it; closing the program does).
  void SetRecording(bool on, const std::string& folder);
  bool Recording() const { return worker_ != nullptr; }

  NoticeFn OnNotice;

  // Called by the pages' script.
  Q_INVOKABLE void addSourceBuffer(const QString& player, const QString& buffer,
                                   const QString& mime);
  Q_INVOKABLE void appendBuffer(const QString& player, const QString& buffer,
                                const QString& base64);
  Q_INVOKABLE void endOfStream(const QString& player);
  Q_INVOKABLE void protectedMedia(const QString& frame);

 private:
  std::unique_ptr<media::StreamCaptureWorker> worker_;
  std::vector<std::jthread> finishing_;  // workers ending their last streams
  bool IsProtected(const QString& player) const;

  QWebChannel* channel_;
  QStringList protectedFrames_;  // frames that asked for protected media
  bool toldProtected_ = false;
};

}  // namespace ravo
