#include "quenThreadedWriter.h"

#include <atomic>
#include <system_error>
#include <utility>

namespace quenFile {
namespace {

// As AtomicWriter's own buffer, filled and handed on by its rule, so that
// the file gets the very writes AtomicWriter would give it. Chunks of
// exactly a megabyte at megabyte boundaries measured now and then ten times
// the system time (the page cache takes large pages for them); cut where a
// piece ends, as AtomicWriter's buffer cuts them, they did not.
constexpr std::size_t kChunkBytes = 1 << 20;
// Chunks in all, the one being filled among them: what the writer holds
// stays bounded however far the thread falls behind. With four, on a busy
// machine the caller kept waiting for a thread that waited for a core.
constexpr std::size_t kChunks = 16;

std::thread StartThread(std::function<void()> work) { return std::thread(std::move(work)); }
std::atomic<ThreadedWriter::ThreadStarter> threadStarter{&StartThread};

}  // namespace

void ThreadedWriter::SetThreadStarter(ThreadStarter starter) {
  threadStarter = starter != nullptr ? starter : &StartThread;
}

ThreadedWriter::ThreadedWriter(const OutputFolder& folder, std::string_view name)
    : writer_(folder, name) {
  current_.reserve(kChunkBytes);
  // On one core the thread would only take turns with the caller.
  if (std::thread::hardware_concurrency() < 2) return;
  try {
    thread_ = threadStarter.load()([this] { WriteChunks(); });
  } catch (const std::system_error&) {
    // No thread to be had: HandOver writes each chunk here, as on one core.
    return;
  }
  free_.resize(kChunks - 1);
  for (std::string& chunk : free_) chunk.reserve(kChunkBytes);
}

ThreadedWriter::~ThreadedWriter() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_one();
  thread_.join();
  // writer_ goes next and removes the temporary file.
}

void ThreadedWriter::Write(std::string_view bytes) {
  if (current_.size() + bytes.size() > kChunkBytes) {
    if (!current_.empty()) HandOver();
    if (bytes.size() >= kChunkBytes) {
      // Written from where it is, once the thread has written the rest.
      AwaitThread();
      writer_.WriteUnbuffered(bytes);
      return;
    }
  }
  current_.append(bytes);
}

void ThreadedWriter::HandOver() { Queue(current_); }

void ThreadedWriter::WriteChunk(std::string& chunk) {
  if (chunk.empty()) return;
  if (!current_.empty()) HandOver();
  Queue(chunk);
}

void ThreadedWriter::Queue(std::string& chunk) {
  if (!thread_.joinable()) {
    writer_.WriteUnbuffered(chunk);
    chunk.clear();
    return;
  }
  std::unique_lock lock(mutex_);
  // Until the thread frees a chunk, the caller waits.
  room_.wait(lock, [this] { return error_ || !free_.empty(); });
  if (error_) std::rethrow_exception(error_);
  full_.push_back(std::move(chunk));
  chunk = std::move(free_.back());
  free_.pop_back();
  // Woken for two chunks at a time, the thread sleeps half as often.
  const bool wake = full_.size() > 1;
  lock.unlock();
  if (wake) work_.notify_one();
}

void ThreadedWriter::AwaitThread() {
  if (!thread_.joinable()) return;
  work_.notify_one();
  std::unique_lock lock(mutex_);
  room_.wait(lock, [this] { return error_ || free_.size() == kChunks - 1; });
  if (error_) std::rethrow_exception(error_);
}

void ThreadedWriter::Commit() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      if (!current_.empty()) full_.push_back(std::move(current_));
      closing_ = true;
    }
    work_.notify_one();
    thread_.join();
    if (error_) std::rethrow_exception(error_);
  } else if (!current_.empty()) {
    writer_.WriteUnbuffered(current_);
  }
  current_.clear();
  writer_.Commit();
}

void ThreadedWriter::WriteChunks() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stop_ || closing_ || !full_.empty(); });
    if (stop_ || full_.empty()) return;
    std::string chunk = std::move(full_.front());
    full_.pop_front();
    lock.unlock();
    std::exception_ptr error;
    try {
      writer_.WriteUnbuffered(chunk);
    } catch (...) {
      error = std::current_exception();
    }
    chunk.clear();
    lock.lock();
    free_.push_back(std::move(chunk));
    error_ = error;
    room_.notify_one();
    // After a failure nothing more touches the file: the caller meets the
    // error and drops the writer, which removes the temporary file.
    if (error_) return;
  }
}

}  // namespace quenFile
