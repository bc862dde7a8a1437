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

void BothAtOnce(const ThreadStartPoint& point, const std::function<void()>& first,
                const std::function<void()>& second) {
  // An exception must not leave the helper's thread: it is kept for this one.
  std::exception_ptr secondError;
  std::jthread helper = point.TryStart([&] {
    try {
      second();
    } catch (...) {
      secondError = std::current_exception();
    }
  });
  if (!helper.joinable()) {
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
  helper.join();
  if (firstError) std::rethrow_exception(firstError);
  if (secondError) std::rethrow_exception(secondError);
}
