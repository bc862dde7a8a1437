// ThreadedWriter: the bytes, the calls on the file and the errors are those
// of writing on the caller's thread; a failure leaves the target as it was.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "FaultyFileSystem.h"
#include "TestSupport.h"
#include "quenOutputFolder.h"
#include "quenThreadedWriter.h"

using faulty::Op;
using quenFile::FileError;
using quenFile::ThreadedWriter;
using namespace testing_support;

namespace {

constexpr std::size_t kMiB = 1 << 20;

// Counts the calls and notes whether a write came from another thread.
class WatchingFileSystem : public faulty::FaultyFileSystem {
 public:
  ssize_t Write(int fd, const void* buffer, std::size_t size) override {
    if (std::this_thread::get_id() != caller_) offThread_ = true;
    return FaultyFileSystem::Write(fd, buffer, size);
  }
  bool WroteOffThread() const { return offThread_; }

 private:
  std::thread::id caller_ = std::this_thread::get_id();
  std::atomic<bool> offThread_{false};
};

// With threads refused as std::thread refuses them, for its lifetime.
class NoThreads {
 public:
  explicit NoThreads(bool refuse) {
    if (!refuse) return;
    ThreadedWriter::SetThreadStarter([](std::function<void()>) -> std::thread {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
  }
  ~NoThreads() { ThreadedWriter::SetThreadStarter(nullptr); }
};

// size bytes as lines of varied length, with one piece of three megabytes
// in the middle when they fit: a piece that spans chunks.
std::string Content(std::size_t size) {
  std::string bytes;
  bytes.reserve(size);
  for (std::size_t n = 0; bytes.size() < size; ++n) {
    const bool big = bytes.size() > size / 3 && size > 4 * kMiB && n % 1000 == 7;
    const std::size_t length = big ? 3 * kMiB : 1 + n * 7919 % 301;
    bytes.append(std::min(length, size - bytes.size()), static_cast<char>('a' + n % 26));
  }
  return bytes;
}

// Writes content as the lines Content made, one Write per run of a letter.
void WritePieces(ThreadedWriter& out, std::string_view content) {
  while (!content.empty()) {
    const std::size_t run = content.find_first_not_of(content[0]);
    out.Write(content.substr(0, run));
    content.remove_prefix(run == std::string_view::npos ? content.size() : run);
  }
}

std::vector<std::string> HiddenNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().filename().string().starts_with('.')) names.push_back(e.path().filename().string());
  }
  return names;
}

struct Calls {
  long writes, writeBacks, syncs;
  bool operator==(const Calls&) const = default;
};
Calls CallsOf(const faulty::FaultyFileSystem& fs) {
  return {fs.Count(Op::kWrite), fs.Count(Op::kWriteBack), fs.Count(Op::kSync)};
}

}  // namespace

TEST(ThreadedWriter, WritesEveryByteInOrderWithTheSameCallsWhetherOrNotItsThreadStarts) {
  const std::size_t sizes[] = {0,          1,           kMiB - 1,     kMiB,       kMiB + 1,
                               2 * kMiB - 1, 2 * kMiB,  2 * kMiB + 1, 8 * kMiB,   8 * kMiB + 1,
                               16 * kMiB + 3, 21 * kMiB + 5};
  for (const std::size_t size : sizes) {
    SCOPED_TRACE("size " + std::to_string(size));
    const std::string content = Content(size);
    std::optional<Calls> threaded;
    for (const bool refuse : {false, true}) {
      SCOPED_TRACE(refuse ? "no thread" : "thread");
      TempDir dir;
      quenFile::OutputFolder folder(dir.path());
      NoThreads noThreads(refuse);
      WatchingFileSystem fs;
      {
        faulty::ScopedFileSystem installed(&fs);
        ThreadedWriter out(folder, "out.txt");
        WritePieces(out, content);
        out.Commit();
      }
      EXPECT_TRUE(ReadBytes(dir / "out.txt") == content) << "bytes differ";
      EXPECT_TRUE(HiddenNames(dir.path()).empty());
      // A file of up to a megabyte waits in AtomicWriter's buffer for Commit.
      EXPECT_EQ(fs.WroteOffThread(), !refuse && size > kMiB) << "written on the wrong thread";
      if (!threaded) threaded = CallsOf(fs);
      EXPECT_TRUE(CallsOf(fs) == *threaded) << "calls on the file differ";
    }
  }
}

TEST(ThreadedWriter, AFailureMidFileIsTheCallersErrorStopsTheWritesAndLeavesTheTarget) {
  struct Case {
    const char* what;
    Op op;
    long nth;         // 0: the disk fills up after fullAfter bytes
    long long fullAfter;
    int errorNumber;  // what the error names
    long writes;      // write calls made, the failing one too
  };
  // 21 MiB go out as ten chunks of two and a tail; write-back every fourth.
  const Case cases[] = {
      {"third write", Op::kWrite, 3, -1, ENOSPC, 3},
      {"tail write", Op::kWrite, 11, -1, ENOSPC, 11},
      {"first write-back", Op::kWriteBack, 1, -1, EIO, 4},
      {"second write-back", Op::kWriteBack, 2, -1, EIO, 8},
      {"tail write-back", Op::kWriteBack, 3, -1, EIO, 11},
      {"sync", Op::kSync, 1, -1, EIO, 11},
      {"disk full", Op::kWrite, 0, 5 * kMiB + 7, ENOSPC, 4},
  };
  const std::string content = Content(21 * kMiB + 5);
  for (const Case& c : cases) {
    for (const bool refuse : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (refuse ? ", no thread" : ", thread"));
      TempDir dir;
      WriteBytes(dir / "out.txt", "old");
      quenFile::OutputFolder folder(dir.path());
      NoThreads noThreads(refuse);
      faulty::FaultyFileSystem fs;
      if (c.nth > 0) fs.FailNth(c.op, c.nth);
      if (c.fullAfter >= 0) fs.StopWritesAfter(c.fullAfter);
      {
        faulty::ScopedFileSystem installed(&fs);
        try {
          ThreadedWriter out(folder, "out.txt");
          WritePieces(out, content);
          out.Commit();
          ADD_FAILURE() << "no failure";
        } catch (const FileError& e) {
          const FileError expected(FileError::Kind::kWrite, dir / "out.txt", c.errorNumber);
          EXPECT_STREQ(e.what(), expected.what());
          EXPECT_EQ(e.kind(), FileError::Kind::kWrite);
        }
      }
      EXPECT_EQ(fs.Count(Op::kWrite), c.writes) << "writes after the failure";
      EXPECT_EQ(fs.Count(Op::kRename), 0);
      EXPECT_EQ(ReadBytes(dir / "out.txt"), "old");
      EXPECT_TRUE(HiddenNames(dir.path()).empty()) << "temporary file left";
    }
  }
}

TEST(ThreadedWriter, DroppedWithoutCommitStopsAndRemovesTheTemporary) {
  TempDir dir;
  WriteBytes(dir / "out.txt", "old");
  quenFile::OutputFolder folder(dir.path());
  {
    ThreadedWriter out(folder, "out.txt");
    WritePieces(out, Content(9 * kMiB));
  }
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "old");
  EXPECT_TRUE(HiddenNames(dir.path()).empty()) << "temporary file left";
}
