#include "app/StreamCaptureHost.h"

#include <QCoreApplication>
#include <algorithm>
#include <QFile>
#include <QPointer>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "app/QtText.h"
#include "media/StreamCaptureWorker.h"

namespace ravo {
namespace {

// A chunk larger than this is no media segment: it is not kept.
constexpr qsizetype kMaxChunkBase64 = 96 << 20;

QString ReadResource(const QString& name) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

// The page script, given Qt's QWebChannel without leaving it in the page.
QString PageScript() {
  QString channel = ReadResource(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  QString capture = ReadResource(QStringLiteral(":/scripts/stream-capture.js"));
  if (channel.isEmpty() || capture.isEmpty()) return {};
  return capture + QStringLiteral("((function () {\n") + channel +
         QStringLiteral("\nreturn QWebChannel;\n})());\n");
}

}  // namespace

TStreamCaptureHost::TStreamCaptureHost(QObject* parent)
    : QObject(parent), channel_(new QWebChannel(this)) {
  channel_->registerObject(QStringLiteral("ravoStreams"), this);
}

// The workers end (their files are made) before the host goes: the
// reports they send find no host then and are dropped.
TStreamCaptureHost::~TStreamCaptureHost() {
  worker_.reset();
  finishing_.clear();
}

void TStreamCaptureHost::Install(QWebEngineProfile* profile,
                                 const std::vector<QWebEnginePage*>& pages) {
  QString source = PageScript();
  if (source.isEmpty()) return;
  QWebEngineScript script;
  script.setName(QStringLiteral("ravo-stream-capture"));
  script.setSourceCode(source);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(true);
  profile->scripts()->insert(script);
  for (QWebEnginePage* page : pages) page->setWebChannel(channel_, QWebEngineScript::MainWorld);
}

void TStreamCaptureHost::SetRecording(bool on, const std::string& folder) {
  if (!on) {
    if (worker_) {
      // Ending a worker makes its files, which may take a while for a long
      // stream: it ends on a thread of its own.
      finishing_.emplace_back([worker = std::move(worker_)]() mutable { worker.reset(); });
    }
    return;
  }
  if (worker_) return;
  toldProtected_ = false;
  protectedFrames_.clear();
  QPointer<TStreamCaptureHost> self(this);
  worker_ = std::make_unique<media::StreamCaptureWorker>(
      media::StreamCapture::Settings{folder},
      [self](const media::StreamCapture::Ended& ended) {
        // From the worker thread to the main thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, ended] {
              if (!self || !self->OnNotice) return;
              if (!ended.notice.empty()) self->OnNotice(ended.notice);
              for (const std::string& file : ended.files) self->OnNotice("已保存网页视频 " + file);
            },
            Qt::QueuedConnection);
      });
}

// A player's id begins with the id of its frame.
bool TStreamCaptureHost::IsProtected(const QString& player) const {
  return std::any_of(protectedFrames_.begin(), protectedFrames_.end(), [&](const QString& frame) {
    return player.startsWith(frame + QLatin1Char('-'));
  });
}

void TStreamCaptureHost::addSourceBuffer(const QString& player, const QString& buffer,
                                         const QString& mime) {
  if (worker_ && !IsProtected(player)) {
    worker_->AddBuffer(Bytes(player), Bytes(buffer), mime.toStdString());
  }
}

void TStreamCaptureHost::appendBuffer(const QString& player, const QString& buffer,
                                      const QString& base64) {
  if (!worker_ || base64.size() > kMaxChunkBase64 || IsProtected(player)) return;
  QByteArray bytes = QByteArray::fromBase64(base64.toLatin1());
  worker_->Append(Bytes(player), Bytes(buffer), bytes.toStdString());
}

void TStreamCaptureHost::endOfStream(const QString& player) {
  if (worker_) worker_->End(Bytes(player));
}

// A frame that asks for protected media keeps none of its streams, those
// begun before and those to come.
void TStreamCaptureHost::protectedMedia(const QString& frame) {
  if (!worker_ || frame.isEmpty()) return;
  if (!protectedFrames_.contains(frame)) protectedFrames_ << frame;
  worker_->Discard(Bytes(frame + QLatin1Char('-')));
  if (!toldProtected_ && OnNotice) OnNotice("受保护的视频无法保存");
  toldProtected_ = true;
}

}  // namespace ravo
