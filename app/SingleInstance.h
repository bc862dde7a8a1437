// TSingleInstance: one TextCnv per user. The first process holds a lock file
// and listens on a local socket, both named after the instance name in the
// user's runtime folder; a later start finds the lock taken, asks the first
// over the socket to come forward and ends.
//
// A process that was killed leaves its lock and socket behind. The lock is
// stale once its process is gone (QLockFile checks), and the socket is only
// removed after nothing answered on it.
#pragma once

#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;
class QLockFile;

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  // Where the lock and socket live: the runtime folder, else the temporary
  // one.
  explicit TSingleInstance(const QString& name, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // True when no other instance runs: this one then holds the lock and
  // listens. False when another instance holds the lock or answers.
  bool Claim();
  // Asks the running instance to come forward; false when none answered
  // within timeoutMs.
  bool ActivateRunning(int timeoutMs = 3000);

  QString LockPath() const { return lockPath_; }
  QString SocketPath() const { return socketPath_; }

 signals:
  // A later start asked this instance to come forward.
  void ActivationRequested();

 private:
  bool Answers() const;
  void Serve();

  QString lockPath_;
  QString socketPath_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};
