// quenBackground: one piece of work run beside the caller, on a thread of
// its own: freeing or removing something large while the caller goes on.
#pragma once

#include <exception>
#include <functional>
#include <thread>

namespace quenThread {

// Starts work at once. Finish waits for it and rethrows what it threw;
// dropped unfinished, it is waited for and its failure dropped. When no
// thread can be started, the work is done in the constructor. The work,
// and whatever it holds, is destroyed on the thread that ran it.
class Background {
 public:
  explicit Background(std::function<void()> work);
  ~Background() = default;  // the thread, last member, is joined first
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  void Finish();

  // How a thread is started: a test can put in one that fails as
  // std::thread fails (std::system_error). Null restores std::jthread's.
  using ThreadStarter = std::jthread (*)(std::function<void()> work);
  static void SetThreadStarter(ThreadStarter starter);

 private:
  void Run() noexcept;

  std::function<void()> work_;
  std::exception_ptr failure_;
  std::jthread thread_;
};

}  // namespace quenThread
