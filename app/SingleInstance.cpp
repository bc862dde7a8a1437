#include "SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

namespace {

constexpr char kActivate[] = "activate\n";
constexpr char kDone[] = "ok\n";

// A folder where no other user can put, take or replace a file: ours, not a
// link, and writable by no one else. Any other would let another user hold
// the lock and keep every start from showing a window.
bool OnlyOursToChange(const QString& path) {
  struct stat st {};
  if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// One of the desktop's own folders (XDG_RUNTIME_DIR, XDG_CACHE_HOME), as the
// session sets it; the program has no variables of its own.
QString EnvironmentFolder(const char* name) {
  const QString path = qEnvironmentVariable(name);
  return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

// The user's cache folder, ~/.cache/TextCnv made for the lock and socket if
// need be: a cache, so that nothing lands among the user's settings.
QString CacheFolder() {
  QString cache = EnvironmentFolder("XDG_CACHE_HOME");
  if (cache.isEmpty()) cache = QDir::homePath() + QStringLiteral("/.cache");
  ::mkdir(QFile::encodeName(cache).constData(), 0700);
  if (!OnlyOursToChange(cache)) return {};
  const QString folder = cache + QStringLiteral("/TextCnv");
  ::mkdir(QFile::encodeName(folder).constData(), 0700);
  return OnlyOursToChange(folder) ? folder : QString();
}

// Where the lock and socket live: the runtime folder, else the cache folder;
// empty when neither is only ours.
QString InstanceFolder() {
  const QString runtime = EnvironmentFolder("XDG_RUNTIME_DIR");
  return OnlyOursToChange(runtime) ? runtime : CacheFolder();
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
    : QObject(parent), platform_(std::make_unique<Platform>()) {
  const QString folder = InstanceFolder();
  if (folder.isEmpty()) return;
  const QString base = folder + QLatin1Char('/') + name;
  platform_->lockPath = base + QStringLiteral(".lock");
  platform_->socketPath = base + QStringLiteral(".socket");
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim() {
  Platform& p = *platform_;
  // Nowhere safe for a guard: better two windows than none.
  if (p.lockPath.isEmpty()) return true;
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
  Listen();
  return true;
}

void TSingleInstance::Listen() {
  Platform& p = *platform_;
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
  // lock, gets no answer and opens a window of its own.
  p.server->listen(p.socketPath);
}

bool TSingleInstance::ActivateRunning(int timeoutMs) {
  if (platform_->socketPath.isEmpty()) return false;
  QLocalSocket socket;
  // The running one may still be starting and not listen yet.
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    socket.connectToServer(platform_->socketPath);
    if (socket.waitForConnected(int(deadline.remainingTime()))) break;
    if (deadline.hasExpired()) return false;
    QThread::msleep(100);
  }
  socket.write(kActivate);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine() == QByteArray(kDone);
}

// The socket finds the running instance; the window needs no mark.
TWindowMark TSingleInstance::MarkWindow(QWidget& /*window*/) { return TWindowMark(); }
