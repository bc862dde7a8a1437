// The command-line front end: exit status, standard output and standard
// error for the ways a run can end.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>

#include "TestSupport.h"

using namespace testing_support;

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunBatch(const std::string& args, const TempDir& scratch) {
  const std::string out = (scratch / "stdout").string();
  const std::string err = (scratch / "stderr").string();
  const std::string command =
      std::string(TEXTCNV_BATCH) + " " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
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
  };
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
       "が作成できません 処理を中断します。\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = RunBatch(c.args, scratch);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out.substr(0, c.outStart.size()), c.outStart);
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
  }
  // No progress line when standard error is not a terminal.
  EXPECT_EQ(RunBatch("'" + folder.path().string() + "'", scratch).err, "終了しました\n");
}
