// The command-line front end: exit status, standard output and standard
// error for the ways a run can end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "TestSupport.h"

using namespace testing_support;

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// prefix is shell text run first, in the same shell.
Result RunBatch(const std::string& args, const TempDir& scratch, const std::string& prefix = "") {
  const std::string out = (scratch / "stdout").string();
  const std::string err = (scratch / "stderr").string();
  const std::string command = prefix + std::string(TEXTCNV_BATCH) + " " + args + " >'" + out +
                              "' 2>'" + err + "' </dev/null";
  const int raw = std::system(command.c_str());
  return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(out), ReadBytes(err)};
}

}  // namespace

TEST(Batch, ExitStatusTellsHowTheRunEnded) {
  TempDir scratch;
  TempDir folder;
  WriteBytes(folder / "a.txt", Crlf({RecordLine(Rec{}), "second line\tnot a record"}));
  TempDir blocked;
  WriteBytes(blocked / "a.txt", Crlf({RecordLine(Rec{})}));
  WriteBytes(blocked / "処理後", "a file, not a folder");

  struct Case {
    std::string name;
    std::string args;
    int status;
    std::string outStart;  // UTF-8
    std::string errHas;
    std::string prefix = "";
  };
  TempDir gone;
  const std::string longLocale(300, 'a');
  const std::vector<Case> cases = {
      {"completed", "'" + folder.path().string() + "'", 0, "開始　ファイルチェック\n",
       "終了しました 取込用 0件 / 重複 0件 / 書名なし 0件 / ＮＤＣ桁数 0件\n"},
      {"no folder given", "", 2, "", "usage"},
      {"two folders", "a b", 2, "", "usage"},
      {"unknown option", "--frobnicate", 2, "", "usage"},
      {"help", "--help", 0, "使い方", ""},
      {"folder missing", "'" + (folder / "nope").string() + "'", 1, "", "nope"},
      {"output folder blocked", "'" + blocked.path().string() + "'", 1,
       " 処理後フォルダー" + blocked.path().string() +
           "/処理後が作成できません\n処理を中断します。\n",
       "が作成できません 処理を中断します。 "},
      // Failures before the run starts end like the run's own, not in an abort.
      {"unusable locale", Quoted(folder.path()), 1, "", longLocale, "LC_ALL=" + longLocale + " "},
      {"current folder removed", "relative", 1, "", "\"relative\"",
       "cd " + Quoted(gone.path()) + " && rmdir " + Quoted(gone.path()) + " && "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = RunBatch(c.args, scratch, c.prefix);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out.substr(0, c.outStart.size()), c.outStart);
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
  }
  // No progress line when standard error is not a terminal.
  // The box's lines are one line there.
  EXPECT_EQ(RunBatch("'" + folder.path().string() + "'", scratch).err,
            "終了しました 取込用 0件 / 重複 0件 / 書名なし 0件 / ＮＤＣ桁数 0件\n");
}

// ".." after a symbolic link is the parent of the link's target, as the
// shell and the kernel see it, not the folder that holds the link.
TEST(Batch, FolderIsResolvedAsTheSystemResolvesIt) {
  TempDir scratch;
  TempDir root;
  fs::create_directories(root / "real" / "sub");
  fs::create_directories(root / "links");
  fs::create_directory_symlink(root / "real" / "sub", root / "links" / "link");
  WriteBytes(root / "real" / "a.txt", Crlf({RecordLine(Rec{})}));

  const Result r = RunBatch(Quoted(root / "links" / "link" / ".."), scratch);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(root / "real" / "処理後" / "取込用.txt"));
  EXPECT_FALSE(fs::exists(root / "処理後"));
}

// What a terminal shows of the run: control characters of file names and
// record bytes as escapes, never as themselves.
TEST(Batch, TerminalGetsNoControlCharactersFromTheRecords) {
  TempDir folder;
  Rec rec;
  rec.key = "K\x1b]0;title\x1b\\";
  rec.ndc = "913.6123456789";  // an over-long NDC number has its key logged
  WriteBytes(folder / "clear\x1b[2J.txt", Crlf({RecordLine(rec), RecordLine(rec)}));

  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::execl(TEXTCNV_BATCH, TEXTCNV_BATCH, folder.path().c_str(), nullptr);
    ::_exit(127);
  }
  std::string shown;
  char buffer[4096];
  for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, n);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(terminal);
  ASSERT_TRUE(WIFEXITED(status)) << shown;
  EXPECT_NE(shown.find("clear\\x1B[2J.txt"), std::string::npos) << shown;
  EXPECT_NE(shown.find("K\\x1B]0;title\\x1B\\"), std::string::npos) << shown;
  // The progress line's own erase sequence is the only escape sequence.
  std::string rest = shown;
  for (std::size_t at; (at = rest.find("\r\x1b[K")) != std::string::npos;) rest.erase(at, 4);
  EXPECT_EQ(rest.find('\x1b'), std::string::npos) << shown;
}

TEST(Batch, VersionAndQuietLeaveTheRunAndItsLogAsTheyWere) {
  TempDir scratch;
  const Result version = RunBatch("--version", scratch);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("textcnv-batch ") + TEXTCNV_VERSION + "\n");
  // Both halves of the help, Japanese and English, tell of each option.
  const std::string help = RunBatch("--help", scratch).out;
  const std::size_t english = help.find("Usage:");
  ASSERT_NE(english, std::string::npos);
  for (const char* option : {"--quiet", "--version", "--findings", "'", ".xlsx", "130"}) {
    EXPECT_LT(help.find(option), english) << option;
    EXPECT_NE(help.find(option, english), std::string::npos) << option;
  }

  TempDir folder;
  WriteBytes(folder / "a.txt", Crlf({RecordLine(Rec{}), RecordLine(Rec{}), RecordLine([] {
                                       Rec blank;
                                       blank.key = "K2";
                                       blank.title = "";
                                       return blank;
                                     }())}));
  const Result loud = RunBatch(Quoted(folder.path()), scratch);
  const std::string log = ReadBytes(folder / "処理後" / "処理結果.txt");
  const Result quiet = RunBatch("--quiet " + Quoted(folder.path()), scratch);
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  const std::size_t summary = loud.out.find("取込用.txtに");
  ASSERT_NE(summary, std::string::npos) << loud.out;
  EXPECT_EQ(quiet.out, loud.out.substr(summary));
  EXPECT_NE(quiet.out.find("書名なし.txtを参考にして下さい"), std::string::npos);
  EXPECT_EQ(quiet.err, loud.err);
  EXPECT_EQ(ReadBytes(folder / "処理後" / "処理結果.txt"), log);
  EXPECT_EQ(RunBatch("--quiet --quiet " + Quoted(folder.path()), scratch).status, 2);
  // A problem the run logs is kept.
  TempDir blocked;
  WriteBytes(blocked / "a.txt", Crlf({RecordLine(Rec{})}));
  WriteBytes(blocked / "処理後", "a file, not a folder");
  const Result problem = RunBatch("--quiet " + Quoted(blocked.path()), scratch);
  EXPECT_EQ(problem.status, 1);
  EXPECT_EQ(problem.out, " 処理後フォルダー" + blocked.path().string() +
                             "/処理後が作成できません\n処理を中断します。\n");
}

// A findings file that would overwrite a source, an output or a folder is
// refused before the run touches anything.
TEST(Batch, FindingsFileThatIsASourceAnOutputOrAFolderIsRefused) {
  TempDir scratch;
  TempDir folder;
  const std::string source = Crlf({RecordLine(Rec{})});
  WriteBytes(folder / "a.txt", source);
  WriteBytes(folder / "b.xlsx", "PK: not a record file");
  fs::create_directory(folder / "処理後");
  WriteBytes(folder / "処理後" / "取込用.txt", "old import");
  fs::create_directory_symlink(folder.path(), scratch / "spelt");
  fs::create_hard_link(folder / "a.txt", scratch / "hard.txt");
  fs::create_directory_symlink(folder / "処理後", scratch / "out");
  struct Case {
    const char* what;
    fs::path file;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"a source", folder / "a.txt", "変換するフォルダーのファイル"},
      {"a source spelt otherwise", scratch / "spelt" / "." / "a.txt",
       "変換するフォルダーのファイル"},
      {"a hard link to a source", scratch / "hard.txt", "変換するフォルダーのファイル"},
      {"the import file", folder / "処理後" / "取込用.txt", "処理後 の中"},
      {"a new file in the output folder", folder / "処理後" / "new.csv", "処理後 の中"},
      {"a workbook in the output folder", folder / "処理後" / "new.xlsx", "処理後 の中"},
      {"a workbook of the folder", folder / "b.xlsx", "変換するフォルダーのファイル"},
      {"the output folder through a link", scratch / "out" / "new.csv", "処理後 の中"},
      {"a folder", scratch.path(), "はフォルダーです"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Result r =
        RunBatch("--findings " + Quoted(c.file) + " " + Quoted(folder.path()), scratch);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(folder / "a.txt"), source);
    EXPECT_EQ(ReadBytes(folder / "b.xlsx"), "PK: not a record file");
    EXPECT_EQ(ReadBytes(folder / "処理後" / "取込用.txt"), "old import");
    EXPECT_FALSE(fs::exists(folder / "処理後" / "new.csv"));
    EXPECT_FALSE(fs::exists(folder / "処理後" / "new.xlsx"));
  }
}

// The name of the findings file picks its format: a workbook for .xlsx, in
// any case; the CSV for any other.
TEST(Batch, FindingsFileNameEndingInXlsxGetsAWorkbook) {
  TempDir scratch;
  TempDir folder;
  WriteBytes(folder / "a.txt", Crlf({RecordLine(Rec{})}));
  const std::string csv = "\xEF\xBB\xBF種類";
  const std::string zip = "PK\x03\x04";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"f.csv", csv}, {"f.xlsx", zip},     {"F.XLSX", zip},    {"f", csv},
      {"f.txt", csv}, {"f.xlsx.csv", csv}, {"一覧.Xlsx", zip},
  };
  for (const auto& [name, starts] : cases) {
    SCOPED_TRACE(name);
    const Result r =
        RunBatch("--findings " + Quoted(scratch / name) + " " + Quoted(folder.path()), scratch);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(scratch / name).substr(0, starts.size()), starts);
  }
}

namespace {

// A pipe that holds at most one page and is filled but for room bytes: a
// child writing more into it waits.
struct FullPipe {
  explicit FullPipe(std::size_t room) {
    EXPECT_EQ(::pipe(fds), 0);
    EXPECT_EQ(::fcntl(fds[1], F_SETPIPE_SZ, 4096), 4096);
    const std::string fill(4096 - room, '#');
    EXPECT_EQ(::write(fds[1], fill.data(), fill.size()), static_cast<ssize_t>(fill.size()));
  }
  // Everything in it until every writer is gone.
  std::string Drain() {
    ::close(fds[1]);
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, n);
    ::close(fds[0]);
    return got;
  }
  int fds[2] = {-1, -1};
};

// Waits until the process waits in a pipe write; false after ten seconds.
bool WaitsInPipeWrite(pid_t pid) {
  for (int i = 0; i < 1000; ++i) {
    if (ReadBytes("/proc/" + std::to_string(pid) + "/wchan").find("pipe_write") !=
        std::string::npos) {
      return true;
    }
    ::usleep(10000);
  }
  return false;
}

pid_t StartBatch(const fs::path& folder, int out, int err) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execl(TEXTCNV_BATCH, TEXTCNV_BATCH, folder.c_str(), nullptr);
    ::_exit(127);
  }
  return pid;
}

}  // namespace

// Interrupted, the command line says what it left in 処理後, and ends by the
// signal as before.
TEST(Batch, InterruptedRunSaysWhatItLeftInTheOutputFolder) {
#ifndef __linux__
  GTEST_SKIP() << "tells a process waiting in a pipe write by /proc";
#endif
  TempDir scratch;
  TempDir folder;
  WriteBytes(folder / "a.txt", Crlf({RecordLine(Rec{}), RecordLine([] {
                                       Rec blank;
                                       blank.key = "K2";
                                       blank.title = "";
                                       return blank;
                                     }())}));
  const std::string log = RunBatch(Quoted(folder.path()), scratch).out;
  const std::size_t first = log.find('\n') + 1;
  const std::size_t summary = log.find('\n', log.find("取込用.txtに")) + 1;
  ASSERT_LT(summary, 4096u);
  const fs::path errFile = scratch / "stderr";

  struct Case {
    const char* what;
    int sig;
    std::string says;
    bool importThere;
  };
  const std::vector<Case> cases = {
      {"another run holds the folder", SIGINT, "処理後 の出力ファイルは前回のままです", true},
      {"the old import file is gone", SIGTERM, "処理後/取込用.txt はありません", false},
      {"the import file is written", SIGHUP, "処理後/取込用.txt は今回の変換結果ですが", true},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    WriteBytes(folder / "処理後" / "取込用.txt", "old import");
    std::string err;
    pid_t pid = -1;
    if (i == 0) {
      // The box that says so waits on a full standard error.
      const int lock = ::open((folder / "処理後").c_str(), O_RDONLY | O_DIRECTORY);
      ASSERT_EQ(::flock(lock, LOCK_EX), 0);
      FullPipe errPipe(0);
      const int out = ::open((scratch / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      pid = StartBatch(folder.path(), out, errPipe.fds[1]);
      ::close(out);
      ASSERT_TRUE(WaitsInPipeWrite(pid));
      ::kill(pid, c.sig);
      err = errPipe.Drain();
      ::close(lock);
    } else {
      // The run waits on a full standard output after the first line, or
      // after the import file's line.
      FullPipe outPipe(i == 1 ? first : summary);
      const int errFd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      pid = StartBatch(folder.path(), outPipe.fds[1], errFd);
      ::close(errFd);
      ASSERT_TRUE(WaitsInPipeWrite(pid));
      ::kill(pid, c.sig);
      outPipe.Drain();
      err = ReadBytes(errFile);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << status;
    EXPECT_NE(err.find("中断しました。"), std::string::npos) << err;
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_EQ(fs::exists(folder / "処理後" / "取込用.txt"), c.importThere);
    for (const auto& e : fs::directory_iterator(folder / "処理後")) {
      EXPECT_FALSE(e.path().filename().string().starts_with('.')) << e.path();
    }
  }
}

TEST(Batch, PipesAndFilesGetNoControlCharactersEither) {
  TempDir folder;
  TempDir scratch;
  Rec rec;
  rec.key = "K\x1b]0;title\x1b\\\x1b[2J";
  rec.ndc = "913.6123456789";  // an over-long NDC number has its key logged
  WriteBytes(folder / "clear\x1b[2J.txt", Crlf({RecordLine(rec), RecordLine(rec)}));
  for (const char* pipe : {"", "| cat "}) {
    SCOPED_TRACE(pipe);
    const std::string out = (scratch / "piped").string();
    const std::string command = std::string(TEXTCNV_BATCH) + " " + Quoted(folder.path()) +
                                " </dev/null 2>&1 " + pipe + ">'" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string shown = ReadBytes(out);
    EXPECT_NE(shown.find("K\\x1B]0;title\\x1B\\\\x1B[2J"), std::string::npos) << shown;
    EXPECT_NE(shown.find("clear\\x1B[2J.txt"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
  }
  EXPECT_EQ(ReadBytes(folder / u8"処理後" / u8"処理結果.txt").find('\x1b'), std::string::npos);
  EXPECT_NE(ReadBytes(folder / u8"処理後" / u8"重複エラー.txt").find(rec.key), std::string::npos);
}
