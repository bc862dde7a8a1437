// Whole runs with one file-system call failing: every call of every kind in
// turn, a disk that fills up, and source files lost after the folder was
// read. Whatever fails, the run must end in one of its known ways and leave
// no temporary file, no torn output and untouched sources behind.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <iostream>
#include <memory>
#include <numeric>
#include <set>

#include "FaultFixture.h"
#include "SourceFolder.h"
#include "quenSaveAs.h"

namespace faulty {
void PrintTo(Op op, std::ostream* os) { *os << OpName(op); }
}  // namespace faulty

using namespace faultfix;
using faulty::FaultyFileSystem;
using faulty::Op;

namespace {

// Record files with repeated keys, a blank title, a blank reading, an
// over-long NDC and a last line without a break, and one file that is no
// record file.
const std::map<std::string, std::string>& SourceFiles() {
  static const std::map<std::string, std::string> files = {
      {"a.txt", Crlf({RecordLine("00000001", "K001", "吾輩は猫である", "ワガハイハネコデアル"),
                      RecordLine("00000002", "K002", "", "ヨミ"), RecordLine("00000003", "DUP1"),
                      RecordLine("00000004", "K004", "書名", "ショメイ", "913.6123456789"),
                      RecordLine("00000005", "K005")})},
      {"b.txt", Crlf({RecordLine("00000011", "K011"), RecordLine("00000012", "DUP1"),
                      RecordLine("00000013", "DUP2"), RecordLine("00000014", "DUP2")}) +
                    RecordLine("00000015", "K015")},
      {"c.txt", Crlf({RecordLine("00000021", "K021"), RecordLine("00000022", "K022", "本", "")})},
      {"memo.txt", quenText::FromUtf8("メモ：記録ファイルではありません\r\n")},
  };
  return files;
}

void MakeFolder(const fs::path& folder) {
  for (const auto& [name, bytes] : SourceFiles()) WriteBytes(folder / name, bytes);
}

// Every line of every source file, the last one with or without a break.
const std::set<std::string>& SourceLines() {
  static const std::set<std::string> lines = [] {
    std::set<std::string> all;
    for (const auto& [name, bytes] : SourceFiles()) {
      std::string_view rest = bytes;
      while (!rest.empty()) {
        const std::size_t br = rest.find("\r\n");
        all.emplace(rest.substr(0, br));
        rest.remove_prefix(br == std::string_view::npos ? rest.size() : br + 2);
      }
    }
    return all;
  }();
  return lines;
}

// The run without faults, under a counting file system.
struct Baseline {
  Outcome outcome;
  std::array<long, faulty::kOpCount> counts{};
  long long bytesWritten = 0;
  // Every version the run renamed into place, by output file name.
  std::map<std::string, std::vector<std::string>> committed;
};

const Baseline& Clean() {
  static const Baseline baseline = [] {
    Baseline b;
    TempDir dir;
    MakeFolder(dir.path());
    FaultyFileSystem counting;
    b.outcome = RunFolder(dir.path(), &counting);
    for (std::size_t k = 0; k < faulty::kOpCount; ++k) b.counts[k] = counting.Count(Op(k));
    b.bytesWritten = counting.BytesWritten();
    for (const auto& [target, versions] : counting.Committed()) {
      b.committed[quenFile::PathBytes(quenFile::PathFromBytes(target).filename())] = versions;
    }
    return b;
  }();
  return baseline;
}

long totalFaultPoints = 0;

void CountFaultPoints(const std::string& what, long n) {
  totalFaultPoints += n;
  std::cout << "[ faults   ] " << what << ": " << n << " fault points injected\n";
  testing::Test::RecordProperty("fault_points", static_cast<int>(n));
}

class FaultPointTotal : public testing::Environment {
 public:
  void TearDown() override {
    if (totalFaultPoints > 0) {
      std::cout << "[ faults   ] total: " << totalFaultPoints << " fault points injected\n";
    }
  }
};
[[maybe_unused]] const auto* const kTotal = testing::AddGlobalTestEnvironment(new FaultPointTotal);

// The log lines of problems a run notes and goes past.
const char* const kExpectedProblems[] = {" ファイル読み込みエラー:", "　ファイル読み込みエラー",
                                         "移動か削除されています", "開けません。処理を中断します",
                                         " 書名なし.txtが作成できませんでした"};

std::string Reason(int errorNumber) { return quenFile::ReasonText(errorNumber); }

bool NoHiddenFiles(const Outcome& o) {
  for (const auto& [name, bytes] : o.outputs) {
    if (name.starts_with('.')) {
      ADD_FAILURE() << "temporary file left in 処理後: " << name;
      return false;
    }
  }
  return true;
}

// Every output ends in CR LF; the import and duplicates files hold source
// lines only; a saved log is the run's log.
void ExpectNoTornOutput(const Outcome& o) {
  for (const auto& [name, bytes] : o.outputs) {
    if (name.starts_with('.')) continue;
    std::vector<std::string> lines;
    EXPECT_TRUE(SplitCrlf(bytes, lines)) << name << " is torn: it does not end in CR LF";
    if (name == "取込用.txt" || name == "重複エラー.txt") {
      for (const std::string& line : lines) {
        EXPECT_TRUE(SourceLines().contains(line))
            << name << " holds a line of no source file: " << quenText::ToUtf8(line);
      }
    }
    if (name == "処理結果.txt") {
      EXPECT_EQ(bytes, Crlf(o.log)) << "saved log differs from the log";
    }
  }
}

void ExpectSourcesUntouched(const fs::path& folder) {
  EXPECT_EQ(FilesIn(folder), SourceFiles()) << "source files changed";
}

// A later run without the fault gives exactly the clean result.
void ExpectCleanRerun(const fs::path& folder) {
  const Outcome again = RunFolder(folder);
  EXPECT_TRUE(again.Completed()) << "rerun: " << again.Describe();
  EXPECT_EQ(again.outputs, Clean().outcome.outputs) << "rerun outputs differ from a clean run";
  EXPECT_EQ(again.log, Clean().outcome.log) << "rerun log differs from a clean run";
}

// What a completed run did otherwise than the clean run, for the failure
// message of a fault the run went past without a word.
std::string Difference(const Outcome& o, const Outcome& clean) {
  if (!o.Completed()) return "";
  std::string d;
  for (const auto& [name, bytes] : clean.outputs) {
    const auto it = o.outputs.find(name);
    std::vector<std::string> lines;
    SplitCrlf(it == o.outputs.end() ? "" : it->second, lines);
    if (it == o.outputs.end() || it->second != bytes) {
      d += "\n  " + name + (it == o.outputs.end() ? " missing" : " differs") + " (" +
           std::to_string(lines.size()) + " lines)";
    }
  }
  for (const std::string& l : clean.log) {
    if (std::find(o.log.begin(), o.log.end(), l) == o.log.end()) {
      d += "\n  log lacks: " + quenText::ToUtf8(l);
    }
  }
  for (const std::string& l : o.log) {
    if (std::find(clean.log.begin(), clean.log.end(), l) == clean.log.end()) {
      d += "\n  log adds: " + quenText::ToUtf8(l);
    }
  }
  return d.empty() ? d : "; completed with no problem noted, yet unlike a clean run:" + d;
}

// How a run with a fault of errno errorNumber may end.
void ExpectKnownEnd(const fs::path& folder, const Outcome& o, int errorNumber) {
  const Outcome& clean = Clean().outcome;
  const bool asClean = o.Completed() && o.outputs == clean.outputs && o.log == clean.log;
  bool notedProblem = false;
  for (const char* p : kExpectedProblems) notedProblem = notedProblem || o.LogHas(p);
  // A record file read by the file check but not by the error check is
  // logged, and the closing box names it. A file that cannot be read is
  // never silently taken for one that is no record file.
  const bool completedWithNote =
      (o.Completed() || (o.CompletedWithUnreadFiles() && o.LogHas(" ファイル読み込みエラー:"))) &&
      notedProblem;
  const bool namedException = o.threw && o.boxes.empty() &&
                              o.what.find(quenFile::PathBytes(folder)) != std::string::npos &&
                              o.what.find(Reason(errorNumber)) != std::string::npos;
  EXPECT_TRUE(asClean || completedWithNote || o.EndedWithErrorBox() || namedException)
      << "unexpected end: " << o.Describe() << Difference(o, clean);
}

TEST(CleanRun, WritesImportDuplicatesReportAndLog) {
  const Outcome& o = Clean().outcome;
  ASSERT_TRUE(o.Completed()) << o.Describe();
  std::vector<std::string> imported, duplicates;
  ASSERT_TRUE(SplitCrlf(o.outputs.at("取込用.txt"), imported));
  ASSERT_TRUE(SplitCrlf(o.outputs.at("重複エラー.txt"), duplicates));
  // The over-long NDC first; blank titles, blank readings and repeated keys out.
  ASSERT_EQ(imported.size(), 6u);
  EXPECT_EQ(imported[0], RecordLine("00000004", "K004", "書名", "ショメイ", "913.6123456789"));
  EXPECT_EQ(
      std::set<std::string>(duplicates.begin(), duplicates.end()),
      (std::set<std::string>{RecordLine("00000003", "DUP1"), RecordLine("00000012", "DUP1"),
                             RecordLine("00000013", "DUP2"), RecordLine("00000014", "DUP2")}));
  EXPECT_TRUE(o.outputs.contains("書名なし.txt"));
  EXPECT_TRUE(o.LogHas(" [×]memo.txt"));
  EXPECT_TRUE(o.LogHas(" 重複エラー:4件"));
  ExpectNoTornOutput(o);
  for (Op op : {Op::kOpen, Op::kRead, Op::kWrite, Op::kSync, Op::kClose, Op::kRename, Op::kMkdir,
                Op::kList}) {
    EXPECT_GT(Clean().counts[static_cast<std::size_t>(op)], 0) << faulty::OpName(op);
  }
}

TEST(CleanRun, WritesEachOutputOnceAndWaitsForTheDiskBeforeItReplacesTheOld) {
  const Baseline& clean = Clean();
  for (const auto& [name, versions] : clean.committed) {
    EXPECT_EQ(versions.size(), 1u) << name;
  }
  EXPECT_EQ(clean.counts[static_cast<std::size_t>(Op::kSync)],
            static_cast<long>(clean.committed.size()));
}

TEST(FailureAfterTheMerge, LeavesNoHalfMadeImportFile) {
  // The duplicates file is the first file the run commits; had the merged
  // records been saved already, an operator could import them, duplicates,
  // blank titles and all.
  TempDir dir;
  MakeFolder(dir.path());
  FaultyFileSystem faults;
  faults.FailNth(Op::kRename, 1);
  const Outcome o = RunFolder(dir.path(), &faults);
  ASSERT_TRUE(o.threw) << o.Describe();
  EXPECT_NE(o.what.find("重複エラー.txt"), std::string::npos) << o.what;
  EXPECT_FALSE(o.outputs.contains("取込用.txt"));
  NoHiddenFiles(o);
}

class EveryFailingCall : public testing::TestWithParam<Op> {};

TEST_P(EveryFailingCall, EndsKnownWayWithoutTempFileTornOutputOrChangedSource) {
  const Op op = GetParam();
  const long count = Clean().counts[static_cast<std::size_t>(op)];
  for (long n = 1; n <= count; ++n) {
    SCOPED_TRACE(std::string(faulty::OpName(op)) + " call " + std::to_string(n) + " of " +
                 std::to_string(count) + " fails");
    TempDir dir;
    MakeFolder(dir.path());
    FaultyFileSystem faults;
    faults.FailNth(op, n);
    const Outcome o = RunFolder(dir.path(), &faults);
    ASSERT_TRUE(faults.Injected()) << "the fault point was never reached";
    ExpectKnownEnd(dir.path(), o, faults.InjectedErrno());
    NoHiddenFiles(o);
    ExpectSourcesUntouched(dir.path());
    ExpectNoTornOutput(o);
    ExpectCleanRerun(dir.path());
  }
  CountFaultPoints(faulty::OpName(op), count);
}

INSTANTIATE_TEST_SUITE_P(OfKind, EveryFailingCall,
                         testing::Values(Op::kOpen, Op::kRead, Op::kWrite, Op::kSync, Op::kClose,
                                         Op::kRename, Op::kUnlink, Op::kMkdir, Op::kList, Op::kStat,
                                         Op::kAccess, Op::kChmod, Op::kLock, Op::kSyncFolder,
                                         Op::kWriteBack),
                         [](const testing::TestParamInfo<Op>& info) {
                           return std::string(faulty::OpName(info.param));
                         });

TEST(DiskFull, RunFailsNamingTheFileAndLeavesNoPartialTargetOrTempFile) {
  const long long total = Clean().bytesWritten;
  ASSERT_GT(total, 200);
  const long long limits[] = {0, 1, 100, total / 2, total - 1};
  for (long long k : limits) {
    SCOPED_TRACE("writes stop after " + std::to_string(k) + " of " + std::to_string(total) +
                 " bytes");
    TempDir dir;
    MakeFolder(dir.path());
    FaultyFileSystem faults;
    faults.StopWritesAfter(k);
    const Outcome o = RunFolder(dir.path(), &faults);
    EXPECT_TRUE(o.threw) << o.Describe();
    EXPECT_NE(o.what.find(quenFile::PathBytes(OutputDir(dir.path()))), std::string::npos)
        << "message names no output file: " << o.what;
    EXPECT_NE(o.what.find(Reason(ENOSPC)), std::string::npos) << o.what;
    NoHiddenFiles(o);
    for (const auto& [name, bytes] : o.outputs) {
      const auto versions = Clean().committed.find(name);
      const bool whole = versions != Clean().committed.end() &&
                         std::find(versions->second.begin(), versions->second.end(), bytes) !=
                             versions->second.end();
      EXPECT_TRUE(whole) << name << " is partial: no complete version a clean run writes";
    }
    ExpectSourcesUntouched(dir.path());
    ExpectCleanRerun(dir.path());
  }
  CountFaultPoints("disk full", std::size(limits));
}

TEST(SourceLostAfterListing, RunStopsWithOpenFailureNamingTheFile) {
  struct Case {
    const char* what;
    void (FaultyFileSystem::*arrange)(std::string);
    int errorNumber;
  };
  const Case cases[] = {{"vanishes before its open", &FaultyFileSystem::VanishBeforeOpen, ENOENT},
                        {"cannot be opened", &FaultyFileSystem::MakeUnreadable, EACCES}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("b.txt ") + c.what);
    TempDir dir;
    MakeFolder(dir.path());
    const fs::path lost = dir.path() / "b.txt";
    FaultyFileSystem faults;
    (faults.*c.arrange)(lost.string());
    const Outcome o = RunFolder(dir.path(), &faults);
    EXPECT_TRUE(o.threw && o.boxes.empty()) << o.Describe();
    EXPECT_EQ(o.what,
              quenFile::FileError(quenFile::FileError::Kind::kOpen, lost, c.errorNumber).what());
    NoHiddenFiles(o);
    ExpectNoTornOutput(o);
    auto expected = SourceFiles();
    if (c.errorNumber == ENOENT) expected.erase("b.txt");
    EXPECT_EQ(FilesIn(dir.path()), expected);
  }
  CountFaultPoints("lost source", std::size(cases));
}

// A record file lost after the file check passed it, before the error check
// took its records: logged, and the run says in its closing box, and by its
// outcome, that it did not take everything it was given.
TEST(SourceLostBetweenTheChecks, IsLoggedAndTheClosingBoxNamesIt) {
  struct Case {
    const char* what;
    std::vector<std::string> lost;
    std::function<void(const fs::path&, FaultyFileSystem&)> lose;
    // Without b.txt, DUP1 is no longer repeated; without c.txt, K022's blank
    // reading is gone too.
    const char* counts = "取込用 5件 / 重複 0件 / 書名なし 2件 / ＮＤＣ桁数 1件";
  };
  const Case cases[] = {
      {"deleted", {"b.txt"}, [](const fs::path& f, FaultyFileSystem&) { fs::remove(f); }},
      {"unreadable",
       {"b.txt"},
       [](const fs::path& f, FaultyFileSystem& faults) { faults.MakeUnreadable(f.string()); }},
#ifndef _WIN32  // FIFOs are a POSIX notion
      {"a FIFO now",
       {"b.txt"},
       [](const fs::path& f, FaultyFileSystem&) {
         fs::remove(f);
         ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);
       }},
#endif
      {"a folder now",
       {"b.txt"},
       [](const fs::path& f, FaultyFileSystem&) {
         fs::remove(f);
         fs::create_directory(f);
       }},
      {"two deleted",
       {"b.txt", "c.txt"},
       [](const fs::path& f, FaultyFileSystem&) {
         fs::remove(f);
         fs::remove(f.parent_path() / "c.txt");
       },
       "取込用 4件 / 重複 0件 / 書名なし 1件 / ＮＤＣ桁数 1件"},
  };
  EXPECT_EQ(quenText::ToUtf8(Clean().outcome.boxes.at(0).text),
            "終了しました\r\n取込用 6件 / 重複 4件 / 書名なし 2件 / ＮＤＣ桁数 1件");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    MakeFolder(dir.path());
    FaultyFileSystem faults;
    bool lost = false;
    const Outcome o = RunFolder(dir.path(), &faults, [&](const std::string& line) {
      // The file check has passed every file; the error check reads them next.
      if (lost || line != "ファイルチェック　終了") return;
      lost = true;
      c.lose(dir.path() / c.lost[0], faults);
    });
    ASSERT_TRUE(o.CompletedWithUnreadFiles()) << o.Describe();
    std::string names;
    for (const std::string& name : c.lost) {
      names += (names.empty() ? "" : ", ") + name;
      EXPECT_TRUE(o.LogHas(" ファイル読み込みエラー:" + name));
      EXPECT_TRUE(o.LogHas(" " + name + "　ファイル読み込みエラー"));
    }
    EXPECT_EQ(quenText::ToUtf8(o.boxes[0].text),
              std::string("終了しました\r\n") + c.counts + "\r\n読めなかったファイル: " + names);
    EXPECT_TRUE(o.LogHas(" [○]b.txt"));
    NoHiddenFiles(o);
  }
}

// The run makes each output durable, and the folder too: its renames and
// the old import file's removal would otherwise be lost with a crash while
// every file's bytes survived.
TEST(Durability, TheFolderIsSyncedAfterTheOldImportFileGoesAndAfterTheLastRename) {
  class FolderEvents : public FaultyFileSystem {
   public:
    std::vector<std::string> events;
    int RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to) override {
      const int result = FaultyFileSystem::RenameAt(fromDirFd, from, toDirFd, to);
      if (result == 0) events.push_back(std::string("rename ") + to);
      return result;
    }
    int UnlinkAt(int dirFd, const char* name, int flags) override {
      const int result = FaultyFileSystem::UnlinkAt(dirFd, name, flags);
      if (result == 0) events.push_back(std::string("unlink ") + name);
      return result;
    }
    int SyncFolder(int dirFd) override {
      const int result = FaultyFileSystem::SyncFolder(dirFd);
      if (result == 0) events.push_back("sync");
      return result;
    }
  };
  TempDir dir;
  MakeFolder(dir.path());
  for (const bool again : {false, true}) {
    SCOPED_TRACE(again ? "over an earlier run" : "first run");
    FolderEvents fs;
    ASSERT_TRUE(RunFolder(dir.path(), &fs).Completed());
    const auto& e = fs.events;
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e.back(), "sync");
    EXPECT_EQ(e.end()[-2], "rename 処理結果.txt");
    const auto firstRename = std::find_if(
        e.begin(), e.end(), [](const std::string& x) { return x.starts_with("rename "); });
    const auto removed = std::find(e.begin(), e.end(), "unlink 取込用.txt");
    EXPECT_EQ(removed != e.end(), again);
    if (again) {
      // The contents kept aside go, then the folder is synced, before any
      // new output is renamed into place.
      ASSERT_LT(removed, firstRename);
      EXPECT_EQ(firstRename[-1], "sync");
      EXPECT_TRUE(firstRename[-2].starts_with("unlink .取込用.txt.tmp-")) << firstRename[-2];
    } else {
      EXPECT_EQ(std::count(e.begin(), e.end(), "sync"), 1);
    }
  }
}

// The old import file is removed beside the checks: when the removal cannot
// be made durable the run still fails, naming the folder, before any output
// of its own appears, and a later run goes through.
TEST(Durability, AnOldImportFileWhoseRemovalCannotReachTheDiskFailsTheRunBeforeAnyOutput) {
  TempDir dir;
  MakeFolder(dir.path());
  ASSERT_TRUE(RunFolder(dir.path()).Completed());
  for (const int error : {EIO, ENOSPC}) {
    SCOPED_TRACE(error);
    FaultyFileSystem faults;
    faults.FailNth(Op::kSyncFolder, 1, error);
    const Outcome o = RunFolder(dir.path(), &faults);
    EXPECT_TRUE(o.threw) << o.Describe();
    EXPECT_NE(o.what.find(quenFile::PathBytes(dir.path())), std::string::npos) << o.what;
    EXPECT_NE(o.what.find("処理後"), std::string::npos) << o.what;
    EXPECT_NE(o.what.find(Reason(error)), std::string::npos) << o.what;
    EXPECT_TRUE(faults.Committed().empty());
    EXPECT_FALSE(fs::exists(dir.path() / "処理後" / "取込用.txt"));
    NoHiddenFiles(o);
    ASSERT_TRUE(RunFolder(dir.path()).Completed());
  }
}

// Only a file's bytes make it no record file: a file the check cannot open,
// examine or read stops the run naming it, with the reason.
TEST(FileCheck, AFileThatCannotBeReadFailsNamingItInsteadOfPassingForNoRecordFile) {
  TempDir dir;
  const fs::path file = dir.path() / "a.txt";
  WriteBytes(file, SourceFiles().at("a.txt"));
  for (Op op : {Op::kOpen, Op::kStat, Op::kRead}) {
    // Each call of the kind on the file in turn, up to a second reading.
    for (long n = 1; n <= 4; ++n) {
      SCOPED_TRACE(std::string(faulty::OpName(op)) + " call " + std::to_string(n) + " fails");
      FolderHost host(dir.path());
      RunData data;
      ConversionRun run(host, data);
      FaultyFileSystem faults;
      faults.FailOnFile(file.string(), op, n);
      faulty::ScopedFileSystem installed(&faults);
      try {
        EXPECT_TRUE(run.IsTargetFile(file)) << "a record file judged no record file";
        EXPECT_FALSE(faults.Injected()) << "the fault went unnoticed";
      } catch (const quenFile::FileError& e) {
        EXPECT_EQ(e.path(), file);
        EXPECT_NE(std::string(e.what()).find(Reason(EIO)), std::string::npos) << e.what();
      }
    }
  }
}

}  // namespace

// A source that is gone or no longer opens when the report is made (another
// program locked or removed it after the check) is logged once per finding;
// its records, which have left the import file, are still shown as the run
// read them.
TEST(ReportSourceLost, IsLoggedAndItsRecordsAreStillShownAsRead) {
  class LostAfterImport : public FaultyFileSystem {
   public:
    LostAfterImport(std::string lost, bool deleted) : lost_(std::move(lost)), deleted_(deleted) {}
    int Open(const char* path, int flags, mode_t mode) override {
      if (imported_ && path == lost_) {
        errno = EACCES;
        return -1;
      }
      return FaultyFileSystem::Open(path, flags, mode);
    }
    int RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to) override {
      const int result = FaultyFileSystem::RenameAt(fromDirFd, from, toDirFd, to);
      if (result == 0 && std::string_view(to) == "取込用.txt") {
        imported_ = true;
        if (deleted_) ::unlink(lost_.c_str());
      }
      return result;
    }

   private:
    std::string lost_;
    bool deleted_;
    bool imported_ = false;
  };
  struct Case {
    const char* what;
    bool deleted;
    const char* logLine;
  };
  const Case cases[] = {{"locked", false, " a.txt開けません。処理を中断します"},
                        {"deleted", true, " a.txt移動か削除されています"}};
  const std::string cleanReport = Clean().outcome.outputs.at("書名なし.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    MakeFolder(dir.path());
    LostAfterImport faults(quenFile::PathBytes(dir.path() / "a.txt"), c.deleted);
    const Outcome o = RunFolder(dir.path(), &faults);
    EXPECT_TRUE(o.Completed()) << o.Describe();
    // a.txt has one blank title: one line.
    EXPECT_EQ(std::count(o.log.begin(), o.log.end(), quenText::FromUtf8(c.logLine)), 1);
    EXPECT_EQ(o.outputs.at("書名なし.txt"), cleanReport);
    EXPECT_EQ(o.outputs.at("取込用.txt"), Clean().outcome.outputs.at("取込用.txt"));
  }
}

// The no-title report is the only detailed copy of the records it lists,
// which have already left the import file: a disk that fills up while it is
// written fails the run, and the log still lists those records.
TEST(ReportDiskFull, FailsTheRunAndTheLogStillListsTheRecordsToRegisterAgain) {
  class ReportDiskFull : public FaultyFileSystem {
   public:
    int OpenAt(int dirFd, const char* name, int flags, mode_t mode) override {
      const int fd = FaultyFileSystem::OpenAt(dirFd, name, flags, mode);
      // Descriptors are reused: only the report's own open marks one.
      const bool report = std::string_view(name).starts_with(".書名なし.txt.tmp");
      if (report || fd == report_) report_ = report ? fd : -1;
      return fd;
    }
    ssize_t Write(int fd, const void* buffer, std::size_t size) override {
      if (fd == report_) return errno = ENOSPC, -1;
      return FaultyFileSystem::Write(fd, buffer, size);
    }

   private:
    int report_ = -1;
  };
  TempDir dir;
  MakeFolder(dir.path());
  ReportDiskFull faults;
  const Outcome o = RunFolder(dir.path(), &faults);

  EXPECT_TRUE(o.threw) << o.Describe();
  EXPECT_NE(o.what.find("書名なし.txt"), std::string::npos) << o.what;
  EXPECT_NE(o.what.find(Reason(ENOSPC)), std::string::npos) << o.what;
  EXPECT_TRUE(o.LogHas(" 書名なし.txtが作成できませんでした"));
  EXPECT_TRUE(o.LogHas("---------以下、要再登録-----------"));
  EXPECT_TRUE(o.LogHas("K002 :書名（ヨミ）空白:a.txt"));
  EXPECT_TRUE(o.LogHas("K022 :書名（ヨミ）空白:c.txt"));
  EXPECT_FALSE(o.outputs.contains("書名なし.txt"));
  ASSERT_TRUE(o.outputs.contains("処理結果.txt"));
  EXPECT_EQ(o.outputs.at("処理結果.txt"), Crlf(o.log));
  NoHiddenFiles(o);
}

#ifndef _WIN32  // a folder without search permission is a POSIX notion
// A folder whose entries cannot be examined is a folder that cannot be read,
// not a folder without files. Root is never refused, so the listing runs in
// a child that has become an ordinary user.
TEST(UnreadableFolder, IsReportedAsUnreadableWithTheReasonNotAsEmpty) {
  TempDir dir;
  const fs::path folder = dir / "no-search";
  fs::create_directory(folder);
  WriteBytes(folder / "a.txt", Crlf({RecordLine("00000001", "K1")}));
  fs::permissions(dir.path(), fs::perms::all);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::others_read);  // no search
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    try {
      ListFolderFiles(folder);
    } catch (const quenFile::FileError& e) {
      const bool told = e.kind() == quenFile::FileError::Kind::kFolderRead &&
                        std::string(e.what()).find(Reason(EACCES)) != std::string::npos;
      ::_exit(told ? 0 : 1);
    }
    ::_exit(2);  // listed as if it held no files
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  fs::permissions(folder, fs::perms::owner_all);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: another failure, 2: listed as empty, 3: no user";
}
#endif

// The findings file of the command line, saved over an older one through a
// link: whichever call fails, the old file or the new one is there, whole,
// and nothing beside it.
TEST(FindingsFileSave, EveryFailingCallLeavesTheOldFileOrTheNewOneAndNoTemporary) {
  class WithoutUnnamedFiles : public FaultyFileSystem {
   public:
    int OpenUnnamed(const char*, mode_t) override { return errno = EOPNOTSUPP, -1; }
  };
  const std::string bytes(3 << 20, 'n');  // more than one write's worth
  for (const bool unnamed : {true, false}) {
    const auto arrange = [](const fs::path& dir) {
      WriteBytes(dir / "old.csv", "old");
#ifndef _WIN32
      fs::create_symlink("old.csv", dir / "link.csv");
      return dir / "link.csv";
#else
      return dir / "old.csv";
#endif
    };
    const auto fileSystem = [unnamed]() -> std::unique_ptr<FaultyFileSystem> {
      if (unnamed) return std::make_unique<FaultyFileSystem>();
      return std::make_unique<WithoutUnnamedFiles>();
    };
    std::array<long, faulty::kOpCount> counts{};
    {
      TempDir dir;
      const fs::path path = arrange(dir.path());
      const auto counting = fileSystem();
      faulty::ScopedFileSystem installed(counting.get());
      quenFile::SaveAs(path, bytes);
      for (std::size_t k = 0; k < faulty::kOpCount; ++k) counts[k] = counting->Count(Op(k));
      // Without a fault, through the link into the file it leads to.
      EXPECT_EQ(ReadBytes(dir / "old.csv"), bytes) << (unnamed ? "unnamed" : "named");
    }
    for (std::size_t k = 0; k < faulty::kOpCount; ++k) {
      for (long n = 1; n <= counts[k]; ++n) {
        SCOPED_TRACE(std::string(unnamed ? "unnamed, " : "named, ") + faulty::OpName(Op(k)) +
                     " call " + std::to_string(n) + " fails");
        TempDir dir;
        const fs::path path = arrange(dir.path());
        const auto faults = fileSystem();
        faults->FailNth(Op(k), n);
        bool threw = false;
        {
          faulty::ScopedFileSystem installed(faults.get());
          try {
            quenFile::SaveAs(path, bytes);
          } catch (const quenFile::FileError& e) {
            threw = true;
            EXPECT_EQ(e.errorNumber(), faults->InjectedErrno()) << e.what();
          }
        }
        ASSERT_TRUE(faults->Injected());
        const std::string now = ReadBytes(dir / "old.csv");
        EXPECT_TRUE(now == bytes || (threw && now == "old")) << now.size() << " bytes";
        for (const auto& e : fs::directory_iterator(dir.path())) {
          EXPECT_FALSE(e.path().filename().string().starts_with('.')) << e.path();
        }
      }
    }
    CountFaultPoints(unnamed ? "findings file" : "findings file, named temporary",
                     std::accumulate(counts.begin(), counts.end(), 0L));
  }
}
