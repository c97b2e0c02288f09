#include "app/QtDispatcher.h"

namespace ravo {

void QtDispatcher::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

}  // namespace ravo
