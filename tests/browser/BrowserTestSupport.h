// Helpers of the browser tests: pages with a title, and a watcher that
// notices (and dismisses) any modal dialog that shows up.
#pragma once

#include <QString>
#include <QTimer>

namespace ravo::test {

// An HTML page whose title tells the test that it has loaded.
QString Page(const QString& title, const QString& body = {});

// While it lives, every modal dialog that appears is counted and rejected,
// so that a dialog shows up as a count instead of blocking the test.
class DialogWatcher {
 public:
  DialogWatcher();
  int Seen() const { return seen_; }

 private:
  QTimer timer_;
  int seen_ = 0;
};

}  // namespace ravo::test
