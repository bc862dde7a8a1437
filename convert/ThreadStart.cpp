#include "ThreadStart.h"

#include <exception>
#include <system_error>
#include <utility>

namespace {

std::jthread StartJThread(std::function<void()> work) { return std::jthread(std::move(work)); }

}  // namespace

ThreadStartPoint::ThreadStartPoint() : starter_(&StartJThread) {}

void ThreadStartPoint::Set(ThreadStarter starter) {
  starter_ = starter != nullptr ? starter : &StartJThread;
}

std::jthread ThreadStartPoint::TryStart(std::function<void()> work) const {
  try {
    return starter_.load()(std::move(work));
  } catch (const std::system_error&) {
    return {};
  }
}

HelperThread::HelperThread(const ThreadStartPoint& point, std::function<void()> work) {
  // An exception must not leave the helper's thread: it is kept for Join.
  thread_ = point.TryStart([this, work = std::move(work)] {
    try {
      work();
    } catch (...) {
      error_ = std::current_exception();
    }
  });
}

void HelperThread::Join() {
  if (thread_.joinable()) thread_.join();
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void BothAtOnce(const ThreadStartPoint& point, const std::function<void()>& first,
                const std::function<void()>& second) {
  HelperThread helper(point, second);
  if (!helper.Started()) {
    first();
    second();
    return;
  }
  std::exception_ptr firstError;
  try {
    first();
  } catch (...) {
    firstError = std::current_exception();
  }
  helper.Join();
  if (firstError) std::rethrow_exception(firstError);
}
