// The command-line front end: exit status, standard output and standard
// error for the ways a run can end.
#include <gtest/gtest.h>

#include <pty.h>
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
       "終了しました\n"},
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
  EXPECT_EQ(RunBatch("'" + folder.path().string() + "'", scratch).err, "終了しました\n");
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
