#include "RunWorker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

void TRunWorker::Wait() {
  while (thread_ && !thread_->wait(QDeadlineTimer(20))) QCoreApplication::processEvents();
  thread_.reset();
}

void TRunWorker::Start(std::function<void()> work) {
  error_ = nullptr;
  thread_.reset(QThread::create([this, work = std::move(work)] {
    try {
      work();
    } catch (...) {
      error_ = std::current_exception();
    }
  }));
  // finished is emitted on the worker thread; the connection queues it here,
  // behind everything the work has posted before it ended.
  connect(thread_.get(), &QThread::finished, this, &TRunWorker::ThreadFinished);
  thread_->start();
}

void TRunWorker::ThreadFinished() {
  if (!thread_) return;
  thread_->wait();
  thread_.reset();
  emit Finished();
}
