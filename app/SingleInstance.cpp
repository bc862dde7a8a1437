#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace {

constexpr char kActivate[] = "activate\n";
constexpr char kDone[] = "ok\n";

// Where the lock and socket live: the runtime folder, else the temporary one.
QString InstanceFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

bool Answers(const QString& socketPath) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  return socket.waitForConnected(1000);
}

}  // namespace

struct TSingleInstance::Platform {
  QString lockPath;
  QString socketPath;
  std::unique_ptr<QLockFile> lock;
  QLocalServer* server = nullptr;
};

TSingleInstance::TSingleInstance(const QString& name, QObject* parent)
    : QObject(parent),
      platform_(std::make_unique<Platform>(Platform{
          InstanceFolder() + QLatin1Char('/') + name + QStringLiteral(".lock"),
          InstanceFolder() + QLatin1Char('/') + name + QStringLiteral(".socket"), nullptr})) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim() {
  Platform& p = *platform_;
  p.lock = std::make_unique<QLockFile>(p.lockPath);
  // The lock is held for the program's whole life: only a dead owner makes
  // it stale, never its age.
  p.lock->setStaleLockTime(0);
  if (!p.lock->tryLock(0)) {
    // A lock that cannot even be made (no writable folder) guards nothing;
    // refusing to start over it would be worse.
    if (p.lock->error() == QLockFile::LockFailedError) return false;
  }
  if (Answers(p.socketPath)) {
    p.lock.reset();
    return false;
  }
  QLocalServer::removeServer(p.socketPath);
  p.server = new QLocalServer(this);
  p.server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(p.server, &QLocalServer::newConnection, this, [this, server = p.server] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
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
  });
  // Without the socket the program still runs; a later start then finds the
  // lock, gets no answer and ends quietly.
  p.server->listen(p.socketPath);
  return true;
}

bool TSingleInstance::ActivateRunning(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(platform_->socketPath);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kActivate);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine() == QByteArray(kDone);
}

// The socket finds the running instance; the window needs no mark.
TWindowMark TSingleInstance::MarkWindow(QWidget& /*window*/) { return TWindowMark(); }
