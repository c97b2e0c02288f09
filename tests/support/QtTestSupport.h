// Support for tests of Qt widgets and browser panes: waiting while the event
// loop runs, and a small web server on 127.0.0.1 that serves the test's own
// pages.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTcpServer>
#include <chrono>
#include <functional>

namespace ravo::test {

// Runs the event loop until the condition holds or the timeout passes.
bool WaitForQt(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Lets the event loop run for the given time.
void RunEventsFor(std::chrono::milliseconds time);

// An HTTP/1.0 server on 127.0.0.1 for the pages of one test. It runs in the
// event loop of the thread that made it; unknown paths answer 404.
class LocalHttpServer {
 public:
  struct Reply {
    QByteArray body;
    int status = 200;
    QByteArray headers;  // extra header lines, each ending in "\r\n"
    // When not negative: only so many bytes of the body are sent, and the
    // connection stays open (a download that stalls).
    qsizetype sendOnly = -1;
  };

  LocalHttpServer();

  // Serves an HTML page (UTF-8) under the request target, as sent on the
  // wire (so a non-ASCII path is given percent-encoded).
  void Serve(const QByteArray& target, const QString& html);
  void Serve(const QByteArray& target, const Reply& reply);

  // "http://127.0.0.1:<port>" followed by the path.
  QString Url(const QString& path) const;

  // How often the target was asked for.
  int Hits(const QByteArray& target) const { return hits_.value(target); }

 private:
  void Answer(class QTcpSocket* socket);

  QTcpServer server_;
  QMap<QByteArray, Reply> replies_;
  QMap<QByteArray, int> hits_;
};

}  // namespace ravo::test
