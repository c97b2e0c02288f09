#include "tests/support/QtTestSupport.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <stdexcept>

#include "tests/support/TestSupport.h"

namespace ravo::test {

bool WaitForQt(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  return WaitFor(condition, timeout,
                 [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
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
  const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
  socket->setProperty("head", head);
  if (!head.contains("\r\n\r\n")) return;
  const QByteArray target = head.left(head.indexOf("\r\n")).split(' ').value(1);
  ++hits_[target];
  const Reply reply = replies_.value(target, Reply{"not found", 404, {}});
  const QByteArray body = reply.sendOnly < 0 ? reply.body : reply.body.left(reply.sendOnly);
  socket->write("HTTP/1.0 " + QByteArray::number(reply.status) + " Reply\r\n" + reply.headers +
                "Content-Length: " + QByteArray::number(reply.body.size()) +
                "\r\nConnection: close\r\n\r\n" + body);
  if (reply.sendOnly < 0) socket->disconnectFromHost();
}

}  // namespace ravo::test
