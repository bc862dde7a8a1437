// ThreadedWriter: the bytes, the calls on the file and the errors are those
// of AtomicWriter on the caller's thread; a failure leaves the target as it
// was.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
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

// Counts the calls and notes whether a write came from another thread. That
// thread's writes are slowed, so that chunks wait for it when one fails.
class WatchingFileSystem : public faulty::FaultyFileSystem {
 public:
  ssize_t Write(int fd, const void* buffer, std::size_t size) override {
    if (std::this_thread::get_id() != caller_) {
      offThread_ = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
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
template <typename Writer>
void WritePieces(Writer& out, std::string_view content) {
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

// AtomicWriter alone, the reference; ThreadedWriter with its thread; and
// with none to be had.
enum class Mode { kAtomic, kThread, kNoThread };
const char* Name(Mode m) {
  return m == Mode::kAtomic ? "AtomicWriter" : m == Mode::kThread ? "thread" : "no thread";
}

struct Outcome {
  std::string error;  // what() of the FileError thrown, or empty
  std::array<long, 3> calls;  // writes, write-backs, syncs
  bool offThread;
  std::string target;  // the file's bytes afterwards
  std::vector<std::string> hidden;
};

// Writes content over "old" in one folder by mode, with the fault that setUp
// installs: the messages name the same file whatever the mode.
Outcome Write(Mode mode, std::string_view content,
              const std::function<void(faulty::FaultyFileSystem&)>& setUp = {}) {
  static const TempDir dir;
  WriteBytes(dir / "out.txt", "old");
  quenFile::OutputFolder folder(dir.path());
  NoThreads noThreads(mode == Mode::kNoThread);
  WatchingFileSystem fs;
  if (setUp) setUp(fs);
  Outcome o{};
  {
    faulty::ScopedFileSystem installed(&fs);
    try {
      if (mode == Mode::kAtomic) {
        quenFile::AtomicWriter out(folder, "out.txt");
        WritePieces(out, content);
        out.Commit();
      } else {
        ThreadedWriter out(folder, "out.txt");
        WritePieces(out, content);
        out.Commit();
      }
    } catch (const FileError& e) {
      o.error = e.what();
    }
  }
  o.calls = {fs.Count(Op::kWrite), fs.Count(Op::kWriteBack), fs.Count(Op::kSync)};
  o.offThread = fs.WroteOffThread();
  o.target = ReadBytes(dir / "out.txt");
  o.hidden = HiddenNames(dir.path());
  return o;
}

}  // namespace

TEST(ThreadedWriter, WritesTheBytesWithTheCallsOfAtomicWriterWhetherOrNotItsThreadStarts) {
  const std::size_t sizes[] = {0,        1,           kMiB - 1,    kMiB,         kMiB + 1,
                               2 * kMiB, 4 * kMiB + 1, 8 * kMiB,   8 * kMiB + 1, 21 * kMiB + 5};
  for (const std::size_t size : sizes) {
    SCOPED_TRACE("size " + std::to_string(size));
    const std::string content = Content(size);
    const Outcome reference = Write(Mode::kAtomic, content);
    ASSERT_TRUE(reference.target == content);
    for (const Mode mode : {Mode::kThread, Mode::kNoThread}) {
      SCOPED_TRACE(Name(mode));
      const Outcome o = Write(mode, content);
      EXPECT_EQ(o.error, "");
      EXPECT_TRUE(o.target == content) << "bytes differ";
      EXPECT_EQ(o.calls, reference.calls) << "calls on the file differ from AtomicWriter's";
      EXPECT_TRUE(o.hidden.empty());
      const bool threadRuns = mode == Mode::kThread && std::thread::hardware_concurrency() > 1;
      EXPECT_EQ(o.offThread, threadRuns && size > 0) << "written on the wrong thread";
    }
  }
}

TEST(ThreadedWriter, AFailureMidFileIsAtomicWritersErrorAfterItsCallsAndLeavesTheTarget) {
  // 21 MiB in lines, with a piece of three in the middle.
  const std::string content = Content(21 * kMiB + 5);
  const std::array<long, 3> clean = Write(Mode::kAtomic, content).calls;
  long long longAt = 0;  // where the long piece starts
  for (std::size_t at = 0; at < content.size();) {
    const std::size_t end = std::min(content.find_first_not_of(content[at], at), content.size());
    if (end - at == 3 * kMiB) longAt = static_cast<long long>(at);
    at = end;
  }
  ASSERT_GT(longAt, 0);
  ASSERT_GE(clean[1], 3) << "too few write-backs to fail the middle one";
  struct Case {
    std::string what;
    std::function<void(faulty::FaultyFileSystem&)> setUp;
  };
  const Case cases[] = {
      {"third write", [](auto& fs) { fs.FailNth(Op::kWrite, 3); }},
      {"last write", [&](auto& fs) { fs.FailNth(Op::kWrite, clean[0]); }},
      {"first write-back", [](auto& fs) { fs.FailNth(Op::kWriteBack, 1); }},
      {"second write-back", [](auto& fs) { fs.FailNth(Op::kWriteBack, 2); }},
      {"write-back at Commit", [&](auto& fs) { fs.FailNth(Op::kWriteBack, clean[1]); }},
      {"sync", [](auto& fs) { fs.FailNth(Op::kSync, 1); }},
      {"disk full", [](auto& fs) { fs.StopWritesAfter(5 * kMiB + 7); }},
      {"disk full in the long piece", [&](auto& fs) { fs.StopWritesAfter(longAt + kMiB); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome reference = Write(Mode::kAtomic, content, c.setUp);
    ASSERT_NE(reference.error, "") << "the fault failed nothing";
    for (const Mode mode : {Mode::kThread, Mode::kNoThread}) {
      SCOPED_TRACE(Name(mode));
      const Outcome o = Write(mode, content, c.setUp);
      EXPECT_EQ(o.error, reference.error);
      EXPECT_EQ(o.calls, reference.calls) << "calls differ: the file was touched after the failure";
      EXPECT_EQ(o.target, "old");
      EXPECT_TRUE(o.hidden.empty()) << "temporary file left";
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
