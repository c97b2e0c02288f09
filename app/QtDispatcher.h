// Hands watcher work to the main thread through Qt's event loop, so that it
// also runs inside modal dialogs and while the search lets events through.
#pragma once

#include <QObject>

#include "watch/MainThreadDispatcher.h"

namespace ravo {

class QtDispatcher final : public QObject, public MainThreadDispatcher {
  Q_OBJECT
 public:
  explicit QtDispatcher(QObject* parent = nullptr) : QObject(parent) {}

  // Queues fn for this object's thread. When the object is destroyed first,
  // Qt destroys the queued call without running it, which lets a waiting
  // worker go.
  void Post(std::function<void()> fn) override;
};

}  // namespace ravo
