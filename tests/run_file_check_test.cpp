// The file check: which files of the folder are record files, and what the
// run logs about them.
#include "RunFixture.h"

using namespace testing_support;

TEST_F(Run, FileCheckLogsRecordFilesThenOthersWithCounts) {
  Write("a.txt", Lines({R("00000001", "A1")}));
  Write("b.txt", Lines({R("00000002", "B1")}));
  Write("c.jpg", std::string("\x89PNG\r\n\x1A\n\0\0", 10));
  Convert();
  EXPECT_EQ(Block("開始　ファイルチェック", "ファイルチェック　終了"),
            (std::vector<std::string>{
                "開始　ファイルチェック", " ファイルリスト（[×]は処理対象外ファイル）", " [○]a.txt",
                " [○]b.txt", " [×]c.jpg", " 全ファイル数:3個", "  [○]ファイル数:2個",
                "  [×]ファイル数:1個", "ファイルチェック　終了"}));
  EXPECT_EQ(outcome_, RunOutcome::kCompleted);
  EXPECT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(ReadBytes(dir_.path() / u8"処理後" / u8"処理結果.txt"), Crlf([&] {
              std::vector<std::string> raw = run_.Log().Lines();
              return raw;
            }()));
}

TEST_F(Run, FileCheckLooksAtTheFirstFourLinesOnly) {
  struct Case {
    std::string name;
    std::vector<std::string> lines;
    bool accepted;
  };
  Rec shortRec = R("00000009", "S");
  shortRec.fields = 24;
  Rec id7 = R("0000001", "X");
  Rec flag01 = R("00000001", "Y");
  const std::string flag01Line = [&] {
    std::string l = RecordLine(flag01);
    return l.replace(9, 1, "01");
  }();
  const std::string good = RecordLine(R("00000001", "G"));
  const std::vector<Case> cases = {
      {"fourth24.txt", {good, good, good, RecordLine(shortRec)}, false},
      {"fifth24.txt", {good, good, good, good, RecordLine(shortRec)}, true},
      {"id7.txt", {RecordLine(id7)}, false},
      {"flag01.txt", {flag01Line}, false},
      {"blank2nd.txt", {good, "  ", good}, false},
      {"two.txt", {good, good}, true},
      {"empty.txt", {}, false},
  };
  for (const Case& c : cases) Write(c.name, Crlf(c.lines));
  Convert();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run_.IsTargetFile(dir_ / c.name), c.accepted);
  }
  EXPECT_FALSE(run_.IsImportRecord(""));
}
