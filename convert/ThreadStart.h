// ThreadStart: how the engine starts its helper threads. A helper that
// cannot be started (a process out of threads, or of room for a stack)
// leaves its work to the thread that asked for it; tests put in a starter
// that fails as std::jthread fails to see that it does.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

// Starts a thread running work, or throws std::system_error as std::jthread does.
using ThreadStarter = std::jthread (*)(std::function<void()> work);

// Where one part of the engine takes its starter from.
class ThreadStartPoint {
 public:
  ThreadStartPoint();
  // Null restores std::jthread's.
  void Set(ThreadStarter starter);
  // A thread running work, or one that is not joinable when none could be
  // had (work then has not run).
  std::jthread TryStart(std::function<void()> work) const;

 private:
  std::atomic<ThreadStarter> starter_;
};

// Work on a helper thread from point, when one can be had. Dropped, it
// waits for the work to end.
class HelperThread {
 public:
  HelperThread(const ThreadStartPoint& point, std::function<void()> work);
  // False when no thread could be had: the work has not run.
  bool Started() const { return thread_.joinable(); }
  // Waits for the work to end and throws what it threw.
  void Join();

 private:
  std::exception_ptr error_;
  std::jthread thread_;  // last: started once the rest is there
};

// Runs first here and second on a helper from point at once, and returns
// when both are done. A helper that cannot be started leaves second to this
// thread, after first. An exception from either is thrown here once both
// have ended, first's before second's.
void BothAtOnce(const ThreadStartPoint& point, const std::function<void()>& first,
                const std::function<void()>& second);
