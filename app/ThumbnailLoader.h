// Thumbnails of captured files for the preview, made off the main thread:
// the engine reads the picture (or a cache entry's body) and Qt decodes it
// scaled down; a video gives a frame from its first seconds. Only the
// newest request counts: one not yet begun is replaced by the next.
//
// The worker shares nothing with the loader but a reference-counted state,
// so closing the window never waits for a slow disk: a worker still reading
// ends alone and delivers nothing.
#pragma once

#include <QImage>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "app/Preview.h"

namespace ravo {

// The largest edge of a thumbnail, in pixels.
inline constexpr int kThumbnailEdge = 240;

// The thumbnail of the file, or a null image when it cannot be decoded.
// Blocking: for the loader's worker and for tests.
QImage MakeThumbnail(const std::string& path, PreviewKind kind, int maxEdge = kThumbnailEdge);

class TThumbnailLoader : public QObject {
  Q_OBJECT
 public:
  explicit TThumbnailLoader(QObject* parent = nullptr);
  ~TThumbnailLoader() override;

  void Request(int ticket, const std::string& path, PreviewKind kind);

  // On the main thread, for each request that was worked on: its ticket and
  // the thumbnail (a null image when there is none).
  std::function<void(int ticket, const QImage& image)> OnReady;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace ravo
