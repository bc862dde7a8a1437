// TSingleInstance: one TextCnv at a time. A later start finds the running
// instance, brings its window forward and ends.
//
// Linux (SingleInstance.cpp): one per user. The first process holds a lock
// file and listens on a local socket, both named after the instance name in
// the user's runtime folder ($XDG_RUNTIME_DIR), else in ~/.cache/TextCnv
// (made 0700), and only in a folder no other user can change; a later start
// finds the lock taken, asks the first over the socket to come forward
// (ActivationRequested) and ends once it answered. Where nothing answers, or
// no such folder exists, the start opens its own window: no start ends
// without one unless a running window came forward. A killed process leaves
// its lock and socket behind: the lock is stale once its process is gone
// (QLockFile checks), and the socket is only removed after nothing answered
// on it.
//
// Windows (SingleInstanceWin32.cpp): one per session. The first process
// creates the named mutex and marks its main window with a window property
// of the same name; a later start finds the mutex, looks through the
// top-level windows for the marked one, restores and raises it itself and
// ends.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <QObject>
#include <QString>

class QWidget;

// Keeps a window marked as the running instance's; the mark goes with it.
class TWindowMark {
 public:
  explicit TWindowMark(std::function<void()> unmark = {}) : unmark_(std::move(unmark)) {}
  ~TWindowMark() {
    if (unmark_) unmark_();
  }
  TWindowMark(const TWindowMark&) = delete;
  TWindowMark& operator=(const TWindowMark&) = delete;

 private:
  std::function<void()> unmark_;
};

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit TSingleInstance(const QString& name, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // True when no other instance runs: this one then is the running one
  // (also when no guard can be placed). False when another instance was
  // there first.
  bool Claim();
  // Brings the running instance forward; false when none was found (or,
  // where it is asked, none answered within timeoutMs, the time it may
  // still need to start listening).
  bool ActivateRunning(int timeoutMs = 3000);
  // Makes window the one a later start brings forward, for as long as the
  // returned mark lives; it must not outlive the window.
  [[nodiscard]] TWindowMark MarkWindow(QWidget& window);

 signals:
  // A later start asked this instance to come forward (Linux only: on
  // Windows the later start raises the window itself).
  void ActivationRequested();

 private:
  struct Platform;
  void Listen();
  std::unique_ptr<Platform> platform_;
};
