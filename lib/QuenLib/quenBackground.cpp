#include "quenBackground.h"

#include <atomic>
#include <system_error>
#include <utility>

namespace quenThread {

namespace {

std::jthread StartThread(std::function<void()> work) { return std::jthread(std::move(work)); }
std::atomic<Background::ThreadStarter> threadStarter{&StartThread};

}  // namespace

void Background::SetThreadStarter(ThreadStarter starter) {
  threadStarter = starter != nullptr ? starter : &StartThread;
}

Background::Background(std::function<void()> work) : work_(std::move(work)) {
  try {
    thread_ = threadStarter.load()([this] { Run(); });
  } catch (const std::system_error&) {
    Run();
  }
}

void Background::Finish() {
  if (thread_.joinable()) thread_.join();
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void Background::Run() noexcept {
  try {
    work_();
  } catch (...) {
    failure_ = std::current_exception();
  }
  // What the work holds goes here, not on the caller's thread.
  work_ = nullptr;
}

}  // namespace quenThread
