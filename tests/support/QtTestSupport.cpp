#include "tests/support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTcpSocket>
#include <QtGlobal>

#include "tests/support/TestSupport.h"

namespace ravo::test {

int RunQtTests(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Listing the tests (as the build does to register them) needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}

bool WaitForQt(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  return WaitFor(condition, timeout, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

void RunEventsFor(std::chrono::milliseconds time) {
  WaitForQt([] { return false; }, time);
}

LocalHttpServer::LocalHttpServer() {
  if (!server_.listen(QHostAddress::LocalHost)) throw std::runtime_error("cannot listen");
  QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
    }
  });
}

void LocalHttpServer::Serve(const QByteArray& target, const QString& html) {
  Serve(target, Reply{html.toUtf8(), 200, "Content-Type: text/html; charset=utf-8\r\n"});
}

void LocalHttpServer::Serve(const QByteArray& target, const Reply& reply) {
  replies_[target] = reply;
}

QString LocalHttpServer::Url(const QString& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
}

// Answers once the whole request head has arrived, then closes.
void LocalHttpServer::Answer(QTcpSocket* socket) {
  QByteArray& head = socket->property("head").isValid() ? *new QByteArray : *new QByteArray;
  (void)head;
}

}  // namespace ravo::test
