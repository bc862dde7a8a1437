#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace {

constexpr char kActivate[] = "activate\n";
constexpr char kDone[] = "ok\n";

QString InstanceFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

}  // namespace

TSingleInstance::TSingleInstance(const QString& name, QObject* parent)
    : QObject(parent),
      lockPath_(InstanceFolder() + QLatin1Char('/') + name + QStringLiteral(".lock")),
      socketPath_(InstanceFolder() + QLatin1Char('/') + name + QStringLiteral(".socket")) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim() {
  lock_ = std::make_unique<QLockFile>(lockPath_);
  // The lock is held for the program's whole life: only a dead owner makes
  // it stale, never its age.
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    // A lock that cannot even be made (no writable folder) guards nothing;
    // refusing to start over it would be worse.
    if (lock_->error() == QLockFile::LockFailedError) return false;
  }
  if (Answers()) {
    lock_.reset();
    return false;
  }
  QLocalServer::removeServer(socketPath_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::Serve);
  // Without the socket the program still runs; a later start then finds the
  // lock, gets no answer and ends quietly.
  server_->listen(socketPath_);
  return true;
}

bool TSingleInstance::Answers() const {
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  return socket.waitForConnected(1000);
}

bool TSingleInstance::ActivateRunning(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kActivate);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine() == QByteArray(kDone);
}

void TSingleInstance::Serve() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        if (socket->readLine() != QByteArray(kActivate)) continue;
        emit ActivationRequested();
        socket->write(kDone);
        socket->flush();
      }
    });
  }
}
