#include "app/ThumbnailLoader.h"

#include <QBuffer>
#include <QImageReader>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "media/VideoFrame.h"

namespace ravo {
namespace {

QImage PictureThumbnail(const std::string& path, int maxEdge) {
  std::optional<std::string> bytes = PreviewBytes(path);
  if (!bytes) return {};
  QByteArray data = QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  QSize size = reader.size();
  if (size.isValid() && (size.width() > maxEdge || size.height() > maxEdge)) {
    reader.setScaledSize(size.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio));
  }
  QImage image = reader.read();
  if (image.isNull()) return {};
  if (image.width() > maxEdge || image.height() > maxEdge) {
    image = image.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  return image;
}

QImage VideoThumbnail(const std::string& path, int maxEdge) {
  std::optional<media::RgbFrame> frame = media::VideoFrameNear(path, media::kThumbnailSecond, maxEdge);
  if (!frame) return {};
  QImage image(frame->rgb.data(), frame->width, frame->height, frame->width * 3,
               QImage::Format_RGB888);
  return image.copy();
}

}  // namespace

QImage MakeThumbnail(const std::string& path, PreviewKind kind, int maxEdge) {
  switch (kind) {
    case PreviewKind::kPicture:
      return PictureThumbnail(path, maxEdge);
    case PreviewKind::kVideo:
      return VideoThumbnail(path, maxEdge);
    case PreviewKind::kNone:
      break;
  }
  return {};
}

struct TThumbnailLoader::Shared {
  struct Job {
    int ticket;
    std::string path;
    PreviewKind kind;
  };
  std::mutex mutex;
  std::condition_variable wake;
  std::optional<Job> pending;
  bool closing = false;
  // Set while the loader lives; called with the mutex held.
  std::function<void(int, QImage)> deliver;

  void Work() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return closing || pending; });
        if (closing) return;
        job = std::move(*pending);
        pending.reset();
      }
      QImage image = MakeThumbnail(job.path, job.kind);
      std::lock_guard lock(mutex);
      if (deliver) deliver(job.ticket, std::move(image));
    }
  }
};

TThumbnailLoader::TThumbnailLoader(QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
  shared_->deliver = [this](int ticket, QImage image) {
    QMetaObject::invokeMethod(
        this,
        [this, ticket, image = std::move(image)] {
          if (OnReady) OnReady(ticket, image);
        },
        Qt::QueuedConnection);
  };
  std::thread([shared = shared_] { shared->Work(); }).detach();
}

TThumbnailLoader::~TThumbnailLoader() {
  std::lock_guard lock(shared_->mutex);
  shared_->deliver = nullptr;
  shared_->closing = true;
  shared_->wake.notify_all();
}

void TThumbnailLoader::Request(int ticket, const std::string& path, PreviewKind kind) {
  std::lock_guard lock(shared_->mutex);
  shared_->pending = Shared::Job{ticket, path, kind};
  shared_->wake.notify_all();
}

}  // namespace ravo
