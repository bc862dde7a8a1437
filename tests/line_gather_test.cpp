// Long lists written with a helper gathering every other block: the bytes
// are those of a Write per line and per CR LF, with the helper or without
// it, and a failing write ends the run as it did on one thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "FaultFixture.h"
#include "LineGather.h"
#include "quenOutputFolder.h"
#include "quenReason.h"

using faulty::Op;
using namespace testing_support;

namespace {

constexpr std::size_t kMiB = 1 << 20;

std::atomic<int> helpersStarted{0};

// Starts the helper, counted; or refuses as std::jthread refuses.
class Helpers {
 public:
  explicit Helpers(bool refuse) {
    helpersStarted = 0;
    SetLineGatherThreadStarter(refuse ? &Refuse : &Count);
  }
  ~Helpers() { SetLineGatherThreadStarter(nullptr); }

 private:
  static std::jthread Refuse(std::function<void()>) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  static std::jthread Count(std::function<void()> work) {
    ++helpersStarted;
    return std::jthread(std::move(work));
  }
};

// The writer's thread refused, for its lifetime: then the writer writes
// each chunk handed over on the caller's thread.
class WriterThread {
 public:
  explicit WriterThread(bool refuse) {
    if (!refuse) return;
    quenFile::ThreadedWriter::SetThreadStarter([](std::function<void()>) -> std::thread {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
  }
  ~WriterThread() { quenFile::ThreadedWriter::SetThreadStarter(nullptr); }
};

// count lines, line n of length(n) bytes of a letter that changes per line.
std::vector<std::string> MakeLines(std::size_t count,
                                   const std::function<std::size_t(std::size_t)>& length) {
  std::vector<std::string> lines;
  for (std::size_t n = 0; n < count; ++n)
    lines.emplace_back(length(n), static_cast<char>('a' + n % 26));
  return lines;
}

// The lines written through WriteLinesGathered, read back.
std::string Gathered(const std::vector<std::string>& lines) {
  static const TempDir dir;
  LineList list;
  for (const std::string& line : lines) list.Add(line);
  quenFile::OutputFolder folder(dir.path());
  quenFile::ThreadedWriter out(folder, "out.txt");
  WriteLinesGathered(list, out);
  out.Commit();
  return ReadBytes(dir / "out.txt");
}

}  // namespace

TEST(LineGather, WritesEachLineAndCrLfInOrderAcrossBlockEdgesWithOrWithoutTheHelper) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
  };
  auto withLong = [](std::size_t at, std::size_t length, std::vector<std::string> lines) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::string(length, 'L'));
    return lines;
  };
  const auto varied =
      MakeLines(200000, [](std::size_t n) { return n % 5 == 0 ? 0 : n * 7919 % 301; });
  const Case cases[] = {
      {"no line", {}},
      {"one empty line", {""}},
      {"one block exactly full", MakeLines(65536, [](std::size_t) { return 14; })},
      {"one line past a full block", MakeLines(65537, [](std::size_t) { return 14; })},
      {"a line short of a full block", MakeLines(65535, [](std::size_t) { return 14; })},
      {"varied lines, every fifth empty", varied},
      {"empty lines only", MakeLines(300000, [](std::size_t) { return 0; })},
      {"a long line in the middle", withLong(100000, 3 * kMiB, varied)},
      {"a line that fills a block alone", withLong(70001, kMiB - 2, varied)},
      {"a line one byte too long for a block", withLong(70001, kMiB - 1, varied)},
      {"long lines first, last and side by side",
       withLong(
           0, kMiB,
           withLong(1000, 2 * kMiB, withLong(1000, kMiB + 3, withLong(200000, 5 * kMiB, varied))))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string expected;
    for (const std::string& line : c.lines) expected += line + "\r\n";
    for (const int mode : {0, 1, 2}) {
      const bool refuse = mode == 1;
      SCOPED_TRACE(mode == 0 ? "helper runs" : mode == 1 ? "helper refused" : "writer's refused");
      Helpers helpers(refuse);
      WriterThread writerThread(mode == 2);
      EXPECT_TRUE(Gathered(c.lines) == expected) << "bytes differ";
      if (!refuse && expected.size() > 2 * kMiB && std::thread::hardware_concurrency() > 1) {
        EXPECT_EQ(helpersStarted, 1) << "written without the helper";
      }
    }
  }
}

namespace {

// A folder of distinct records whose import file is large enough to be
// gathered on two threads.
void MakeLargeFolder(const std::filesystem::path& folder) {
  std::string bytes;
  for (int id = 1; id <= 70000; ++id) {
    bytes += RecordLine(id, "K" + std::to_string(id)) + "\r\n";
  }
  WriteBytes(folder / "a.txt", bytes);
}

}  // namespace

TEST(LineGather, AWriteFailingMidImportFileFailsTheRunAsOneThreadDidAndLeavesNoImportFile) {
  std::vector<faultfix::Outcome> outcomes;
  TempDir dir;
  MakeLargeFolder(dir.path());
  for (const bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "helper refused" : "helper runs");
    std::filesystem::remove_all(faultfix::OutputDir(dir.path()));
    Helpers helpers(refuse);
    faulty::FaultyFileSystem faults;
    faults.FailNth(Op::kWrite, 4);
    outcomes.push_back(faultfix::RunFolder(dir.path(), &faults));
    const faultfix::Outcome& o = outcomes.back();
    if (!refuse && std::thread::hardware_concurrency() > 1) {
      EXPECT_EQ(helpersStarted, 1) << "written without the helper";
    }
    ASSERT_TRUE(o.threw) << o.Describe();
    const std::string import =
        quenFile::PathBytes(faultfix::OutputDir(dir.path()) / u8"取込用.txt");
    EXPECT_NE(o.what.find(import), std::string::npos) << o.what;
    EXPECT_NE(o.what.find(quenFile::ReasonText(ENOSPC)), std::string::npos) << o.what;
    for (const auto& [name, bytes] : o.outputs) {
      EXPECT_FALSE(name.starts_with(".")) << "temporary file left: " << name;
      EXPECT_NE(name, "取込用.txt");
    }
  }
  EXPECT_EQ(outcomes[0].what, outcomes[1].what);
  EXPECT_EQ(outcomes[0].log, outcomes[1].log);
  EXPECT_EQ(outcomes[0].outputs, outcomes[1].outputs);
}
