// quenThreadedWriter: an AtomicWriter fed from a thread of its own, for the
// large files a run writes. The caller fills one chunk while the thread
// copies the ones before into the file and sets the disk to work, so the
// gathering of scattered lines and their way to the disk overlap.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "quenFile.h"

namespace quenFile {

// Through Write, the file gets the writes AtomicWriter alone would give it,
// cut where its buffer would cut them, whether or not the thread runs. A write
// that fails on the thread stops it; its FileError is thrown at the next
// Write that hands over a chunk, or at Commit. Dropped without Commit(), the
// thread stops and the temporary file is removed, as by AtomicWriter.
class ThreadedWriter {
 public:
  // Throws FileError (create). The folder must outlive the writer.
  ThreadedWriter(const OutputFolder& folder, std::string_view name);
  ~ThreadedWriter();
  ThreadedWriter(const ThreadedWriter&) = delete;
  ThreadedWriter& operator=(const ThreadedWriter&) = delete;

  void Write(std::string_view bytes);  // throws FileError (write)
  // Hands chunk's bytes over whole, as one write after everything written
  // before, and leaves in chunk an emptied buffer of the writer's to fill
  // next: callers that gather their own chunks copy nothing twice and hold
  // no more buffers than before. Throws FileError (write).
  void WriteChunk(std::string& chunk);
  void Commit();                       // throws FileError (write, create)

  // How the writing thread is started; for tests, one that throws as
  // std::thread does (std::system_error): then every chunk is written on the
  // caller's thread, as on a machine of one core. Null restores std::thread's.
  using ThreadStarter = std::thread (*)(std::function<void()> work);
  static void SetThreadStarter(ThreadStarter starter);

 private:
  void HandOver();
  // Queues chunk for the thread and gives it a free buffer back.
  void Queue(std::string& chunk);
  // Returns once every chunk handed over is written.
  void AwaitThread();
  void WriteChunks();  // the thread's loop
  AtomicWriter writer_;
  std::string current_;  // the chunk being filled
  std::mutex mutex_;
  std::condition_variable work_;  // a chunk to write, or the end
  std::condition_variable room_;  // a chunk free again, or a failure
  std::deque<std::string> full_;  // handed over, in file order
  std::vector<std::string> free_;
  bool closing_ = false;  // no chunk follows those handed over
  bool stop_ = false;     // dropped: write no more
  std::exception_ptr error_;
  std::thread thread_;  // last: started once all the rest is there
};

}  // namespace quenFile
