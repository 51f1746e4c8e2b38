#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>

namespace fq::app {
namespace {
constexpr char kRaise[] = "raise\n";
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      m_serverName(QDir(folder).filePath("fernquill.socket")),
      m_lock(QDir(folder).filePath("fernquill.lock")) {
  // Never stale by age: only a lock whose process is gone is taken over.
  m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::claim(int answerTimeoutMs) {
  if (!m_lock.tryLock(0))
    return askToRaise(m_serverName, answerTimeoutMs) ? Outcome::Raised : Outcome::NoAnswer;
  QLocalServer::removeServer(m_serverName);  // a socket left by a crash
  m_server = std::make_unique<QLocalServer>();
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  m_server->listen(m_serverName);
  connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) return;
        if (socket->readLine(64) == kRaise) {
          emit raiseRequested();
          socket->write(kRaise);
          socket->flush();
        }
        socket->disconnectFromServer();
      });
    }
  });
  return Outcome::First;
}

bool SingleInstance::askToRaise(const QString& serverName, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(serverName);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kRaise);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine())
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  return socket.readLine(64) == kRaise;
}

}  // namespace fq::app
