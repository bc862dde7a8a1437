// TRunWorker: runs one piece of work on a thread of its own and reports its
// end on the GUI thread, carrying back an exception that escaped the work.
#pragma once

#include <exception>
#include <functional>
#include <memory>

#include <QObject>
#include <QThread>

class TRunWorker : public QObject {
  Q_OBJECT
 public:
  explicit TRunWorker(QObject* parent = nullptr) : QObject(parent) {}
  ~TRunWorker() override { Wait(); }

  // Waits for the work, serving the GUI thread's events meanwhile so work
  // that waits for the GUI thread can still end. No Finished follows.
  void Wait();

  void Start(std::function<void()> work);
  // The exception the last work ended with, if any; taken once.
  std::exception_ptr TakeError() { return std::exchange(error_, nullptr); }

 signals:
  // Emitted on the GUI thread after the work's thread has ended.
  void Finished();

 private:
  void ThreadFinished();

  std::unique_ptr<QThread> thread_;
  std::exception_ptr error_;
};
