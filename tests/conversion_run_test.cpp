// Whole conversion runs over real folders: every log line, every output
// byte, the early ends, and the faults the run mends.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "ConversionRun.h"
#include "LineList.h"
#include "TestSupport.h"
#include "quenFile.h"
#include "quenOutputFolder.h"
#include "quenReason.h"
#include "quenUtil.h"

using namespace testing_support;

namespace {

class Run : public testing::Test {
 protected:
  Run() : host_(dir_.path()), run_(host_, data_) {}

  void Write(std::string_view name, std::string_view bytes) { WriteBytes(dir_ / name, bytes); }
  std::string Out(std::string_view name) const {
    return ReadBytes(dir_.path() / u8"処理後" / quenFile::PathFromBytes(name));
  }
  bool HasOut(std::string_view name) const {
    return std::filesystem::exists(dir_.path() / u8"処理後" / quenFile::PathFromBytes(name));
  }

  // Runs the conversion and returns the log, decoded for readable failures.
  std::vector<std::string> Convert() {
    outcome_ = RunConversion(run_);
    return Log();
  }
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    for (const std::string& l : run_.Log().Lines()) lines.push_back(quenText::ToUtf8(l));
    return lines;
  }
  // The log lines from the one equal to first up to the one equal to last.
  std::vector<std::string> Block(const std::string& first, const std::string& last) const {
    const auto log = Log();
    auto b = std::find(log.begin(), log.end(), first);
    auto e = std::find(b, log.end(), last);
    return e == log.end() ? std::vector<std::string>{} : std::vector<std::string>(b, e + 1);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes_.boxes) texts.push_back(quenText::ToUtf8(b.text));
    return texts;
  }

  TempDir dir_;
  RecordingHost host_;
  RecordingPresenter boxes_;
  RunData data_;
  ConversionRun run_;
  RunOutcome outcome_ = RunOutcome::kFailed;
};

std::string Lines(const std::vector<Rec>& recs) {
  std::vector<std::string> lines;
  for (const Rec& r : recs) lines.push_back(RecordLine(r));
  return Crlf(lines);
}

Rec R(std::string id, std::string key) {
  Rec r;
  r.id = std::move(id);
  r.key = std::move(key);
  return r;
}

}  // namespace

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

TEST_F(Run, ErrorCheckCountsBlankTitlesAndLongNdcNumbers) {
  std::vector<Rec> recs;
  for (int i = 0; i < 120; ++i)
    recs.push_back(R("1000" + std::to_string(1000 + i), "K" + std::to_string(2000 + i)));
  recs[10].title = "";
  recs[50].title = "";
  recs[70].key = "K0001";
  recs[70].ndc = "913.6000000";  // 11 bytes
  recs[71].ndc = "913.600000";   // 10 bytes pass
  recs[72].reading = "\u3000\u3000";
  recs[73].title = "-";                  // a hyphen is not blank
  recs[74].ndc = "９１３．６";           // five two-byte characters are 10 bytes
  Write("a.txt", Lines(recs) + "\r\n");  // a blank line is counted, never examined
  Convert();
  EXPECT_EQ(Block(" a.txt", "終了　エラーチェック"),
            (std::vector<std::string>{" a.txt", " K0001 :ＮＤＣ桁数", " レコード数:121件",
                                      " 書名（ヨミ）空白:3件", " ＮＤＣ桁数:1件",
                                      "終了　エラーチェック"}));
  ASSERT_EQ(data_.ErrorList.size(), 4u);
  EXPECT_EQ(data_.ErrorList[0].rec.LineIndex, 10);
  EXPECT_EQ(data_.ErrorList[2].key, "K0001");
  EXPECT_EQ(data_.ErrorList[2].rec.Kind, ekNdcLength);
  EXPECT_EQ(data_.ErrorList[3].rec.LineIndex, 72);
}

TEST_F(Run, ALineWithBothProblemsGetsBothFindingsAndIsDropped) {
  Rec both = R("00000001", "KB");
  both.title = "";
  both.ndc = "12345678901";
  Write("a.txt", Lines({both, R("00000002", "KK")}));
  Convert();
  ASSERT_EQ(data_.ErrorList.size(), 2u);
  EXPECT_EQ(data_.ErrorList[0].rec.Kind, ekTitleBlank);
  EXPECT_EQ(data_.ErrorList[1].rec.Kind, ekNdcLength);
  EXPECT_EQ(Out("取込用.txt"), Lines({R("00000002", "KK")}));
}

TEST_F(Run, MergeLogsPaddedCountsAndKeepsLinesApartAcrossFiles) {
  std::vector<Rec> five, seven;
  for (int i = 0; i < 5; ++i)
    five.push_back(R("1000000" + std::to_string(i), "A" + std::to_string(i)));
  for (int i = 0; i < 7; ++i)
    seven.push_back(R("2000000" + std::to_string(i), "B" + std::to_string(i)));
  std::string a = Lines(five);
  a.resize(a.size() - 2);  // no final line break
  Write("a.txt", a);
  Write("b.txt", Lines(seven));
  Convert();
  EXPECT_EQ(
      Block("開始　結合処理", "終了　結合処理"),
      (std::vector<std::string>{"開始　結合処理", "    5件(a.txt)", "    7件(b.txt)",
                                " --------------------", "   12件:（トータル)", "終了　結合処理"}));
  // The last line of a.txt did not swallow the first of b.txt.
  EXPECT_EQ(LineList::CountLines(Out("取込用.txt")), 12u);
  EXPECT_NE(Out("取込用.txt").find(RecordLine(seven[0]) + "\r\n"), std::string::npos);
}

// The merge joins the files as the error check read them: a line break after
// a file without one, nothing for an empty file, a log line for a file that
// could not be read.
TEST_F(Run, MergeJoinsTheFilesAsTheErrorCheckReadThem) {
  std::string a = Lines({R("10000001", "A1"), R("10000002", "A2")});
  a.resize(a.size() - 2);  // no final line break
  Write("a.txt", a);
  Write("b.txt", "");
  Write("c.txt", Lines({R("30000001", "C1")}));
  const fs::path missing = dir_ / "gone.txt";
  const std::vector<fs::path> files{dir_ / "a.txt", dir_ / "b.txt", missing, dir_ / "c.txt"};
  const std::vector<std::string> expectedLog{
      "    2件(a.txt)", "    0件(b.txt)",        " gone.txt　ファイル読み込みエラー",
      "    1件(c.txt)", " --------------------", "    3件:（トータル)"};

  RunData data;
  RecordingHost host(dir_.path());
  ConversionRun run(host, data);
  SourceBytes sources = run.CheckErrors(files);
  const std::size_t before = run.Log().Lines().size();

  EXPECT_EQ(run.MergeTargetFiles(std::move(sources)).bytes.view(),
            a + "\r\n" + Lines({R("30000001", "C1")}));
  std::vector<std::string> log;
  for (std::size_t i = before; i < run.Log().Lines().size(); ++i) {
    log.push_back(quenText::ToUtf8(run.Log().Lines()[i]));
  }
  EXPECT_EQ(log, expectedLog);
}

TEST_F(Run, MergeOfNoFilesWritesAnEmptyImportFile) {
  Write("notes.txt", "just a note\r\n");
  Convert();
  EXPECT_EQ(Block("開始　結合処理", "終了　結合処理"),
            (std::vector<std::string>{"開始　結合処理", " --------------------",
                                      "    0件:（トータル)", "終了　結合処理"}));
  EXPECT_EQ(Out("取込用.txt"), "");
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), " 重複エラーなし"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "取込用.txtに0件出力しました"), log.end());
  EXPECT_EQ(outcome_, RunOutcome::kCompleted);
  EXPECT_EQ(boxes_.boxes.size(), 1u);
}

TEST_F(Run, LongFilesAreCountedWithoutPadding) {
  std::vector<Rec> recs;
  for (int i = 0; i < 12345; ++i)
    recs.push_back(R(std::to_string(10000000 + i), "N" + std::to_string(i)));
  Write("big.txt", Lines(recs));
  Convert();
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), " 12345件(big.txt)"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "取込用.txtに12345件出力しました"), log.end());
}

TEST_F(Run, EveryRecordOfARepeatedKeyGoesToTheDuplicatesFileNewestFirst) {
  Rec k1a = R("00000001", "K1"), k1b = R("00000002", "k1"), k1c = R("00000003", "K1");
  Rec k2 = R("00000004", "K2");
  Rec wide = R("00000005", "Ｋ２");  // width differs: another key
  Write("a.txt", Lines({k1a, k2, k1b}));
  Write("b.txt", Lines({k1c, wide}));
  Convert();
  EXPECT_EQ(Out("重複エラー.txt"), Lines({k1c, k1b, k1a}));
  EXPECT_EQ(Out("取込用.txt"), Lines({k2, wide}));
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), " 重複エラー:3件"), log.end());
}

TEST_F(Run, AStaleDuplicatesFileIsRemovedWhenThereAreNoDuplicates) {
  std::filesystem::create_directory(dir_ / u8"処理後");
  WriteBytes(dir_ / u8"処理後" / u8"重複エラー.txt", "old\r\n");
  Write("a.txt", Lines({R("00000001", "K1")}));
  Convert();
  EXPECT_FALSE(HasOut("重複エラー.txt"));
}

TEST_F(Run, LongNdcRecordsGoFirstReversedAndBlankTitlesAreDropped) {
  Rec a = R("00000001", "A"), b = R("00000002", "B"), c = R("00000003", "C"),
      d = R("00000004", "D");
  a.ndc = b.ndc = "12345678901";
  c.title = "";
  Write("a.txt", Lines({d, b, c, a}));
  Convert();
  EXPECT_EQ(Out("取込用.txt"), Lines({b, a, d}));
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "取込用.txtに3件出力しました"), log.end());
}

// A finding belongs to its own key only: never to the key next to it in key
// order, nor to a kept record when its key went to the duplicates file.
TEST(ImportFilter, AFindingMovesOrDropsOnlyTheRecordsOfItsKey) {
  struct Case {
    const char* what;
    std::vector<std::string> keys;   // in file order
    std::vector<std::string> kinds;  // per record: "" fine, "ndc", "title"
    std::vector<int> imported;       // record numbers, in import order
  };
  const Case cases[] = {
      {"a repeated key with a long NDC before a fine key", {"A", "B", "a"}, {"ndc", "", ""}, {1}},
      {"a repeated key with a blank title before a fine key",
       {"A", "a", "B"},
       {"", "title", ""},
       {2}},
      {"long NDC keys first and last in key order, fine ones between",
       {"Z", "M", "A", "N"},
       {"ndc", "", "ndc", ""},
       {0, 2, 1, 3}},
      {"a blank title and a long NDC on neighbouring keys",
       {"B", "C", "A"},
       {"title", "ndc", ""},
       {1, 2}},
      {"one record with both problems and one fine", {"B", "A"}, {"both", ""}, {1}},
      {"a long NDC after a repeated key with a blank title",
       {"A", "a", "B", "C"},
       {"title", "", "", "ndc"},
       {3, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<Rec> recs;
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      Rec r = R("0000000" + std::to_string(i), c.keys[i]);
      if (c.kinds[i] == "ndc" || c.kinds[i] == "both") r.ndc = "12345678901";
      if (c.kinds[i] == "title" || c.kinds[i] == "both") r.title = "";
      recs.push_back(r);
    }
    WriteBytes(dir / "a.txt", Lines(recs));
    RecordingHost host(dir.path());
    RunData data;
    ConversionRun run(host, data);
    ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
    std::vector<Rec> expected;
    for (int n : c.imported) expected.push_back(recs[static_cast<std::size_t>(n)]);
    EXPECT_EQ(ReadBytes(dir.path() / u8"処理後" / u8"取込用.txt"), Lines(expected));
  }
}

TEST_F(Run, NoTitleReportShowsEachFindingWithItsNeighbours) {
  std::vector<Rec> first(8), last(5);
  for (int i = 0; i < 8; ++i) first[i] = R("1000000" + std::to_string(i), "F" + std::to_string(i));
  for (int i = 0; i < 5; ++i) last[i] = R("2000000" + std::to_string(i), "L" + std::to_string(i));
  first[0].title = "";
  last[4].reading = "";
  // Past the four lines the file check reads: a blank line and a short one.
  std::vector<std::string> firstLines;
  for (const Rec& r : first) firstLines.push_back(RecordLine(r));
  Rec seventeen = first[5];
  seventeen.fields = 17;
  firstLines[4] = "";
  firstLines[5] = RecordLine(seventeen);
  Write("a.txt", Crlf(firstLines));
  Write("b.txt", Lines(last));
  // The report must find its files from the chosen folder, wherever the
  // process happens to be.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path("/");
  Convert();
  std::filesystem::current_path(cwd);

  auto context = [](int n, const std::string& line) {
    std::string text = quenUtil::PadLeft(std::to_string(n), 5, " ") + Cp932("行目:");
    if (line.empty()) return text;
    std::vector<std::string> f;
    quenUtil::Split('\t', line, &f);
    if (f.size() < 18) return text;
    return text + f[0] + "\t" + f[2] + "\t" + f[3] + "\t" + f[6] + "\t" + f[9] + "\t" + f[17];
  };
  std::vector<std::string> expected = {Cp932("F0 :a.txt:1行目")};
  for (int i = 0; i < 7; ++i) expected.push_back(context(i + 1, firstLines[i]));
  expected.push_back(Cp932("L4 :b.txt:5行目"));
  for (int i = 0; i < 5; ++i) expected.push_back(context(i + 1, RecordLine(last[i])));
  EXPECT_EQ(Out("書名なし.txt"), Crlf(expected));
  EXPECT_EQ(expected[5], Cp932("    5行目:"));  // a blank line shows its prefix alone
  EXPECT_EQ(expected[6], Cp932("    6行目:"));  // so does a line of 17 fields

  const auto log = Log();
  const std::vector<std::string> tail(log.end() - 6, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "", "---------以下、要再登録-----------", "書名なし.txtを参考にして下さい",
                      "", "F0 :書名（ヨミ）空白:a.txt", "L4 :書名（ヨミ）空白:b.txt"}));
}

// The report shows a record's neighbours from its own file only, wherever
// the file stands among the merged ones and however its last line ends.
TEST(NoTitleReport, NeighboursNeverComeFromTheFileBeforeOrAfter) {
  struct Case {
    const char* what;
    int file;         // of three, each of 9 records; the middle one has no final break
    int line;         // 0-based
    int first, last;  // the 1-based lines shown, 6 each side at most
  };
  const Case cases[] = {
      {"last line of the first file", 0, 8, 3, 9},
      {"first line of the middle file", 1, 0, 1, 7},
      {"last line of the middle file, which has no break", 1, 8, 3, 9},
      {"first line of the last file", 2, 0, 1, 7},
      {"middle of the last file", 2, 4, 1, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const char* names[] = {"a.txt", "b.txt", "c.txt"};
    std::vector<std::vector<std::string>> files(3);
    for (int f = 0; f < 3; ++f) {
      for (int i = 0; i < 9; ++i) {
        Rec r = R(std::to_string(f + 1) + "000000" + std::to_string(i),
                  "K" + std::to_string(f) + std::to_string(i));
        if (f == c.file && i == c.line) r.title = "";
        files[f].push_back(RecordLine(r));
      }
      std::string bytes = Crlf(files[f]);
      if (f == 1) bytes.resize(bytes.size() - 2);
      WriteBytes(dir / names[f], bytes);
    }
    RecordingHost host(dir.path());
    RunData data;
    ConversionRun run(host, data);
    ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
    std::vector<std::string> shown;
    quenUtil::Split('\n', ReadBytes(dir.path() / u8"処理後" / u8"書名なし.txt"), &shown);
    for (std::string& line : shown) line.pop_back();  // its CR
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(c.last - c.first + 2));
    EXPECT_EQ(shown[0], Cp932("K" + std::to_string(c.file) + std::to_string(c.line) + " :" +
                              names[c.file] + ":" + std::to_string(c.line + 1) + "行目"));
    for (int n = c.first; n <= c.last; ++n) {
      const std::string& line = shown[static_cast<std::size_t>(n - c.first + 1)];
      const std::string id = std::to_string(c.file + 1) + "000000" + std::to_string(n - 1);
      EXPECT_EQ(line.substr(0, line.find('\t')),
                quenUtil::PadLeft(std::to_string(n), 5, " ") + Cp932("行目:") + id);
    }
  }
}

TEST_F(Run, NoBlankTitlesLeaveNoReportEvenIfAnEarlierRunWroteOne) {
  std::filesystem::create_directory(dir_ / u8"処理後");
  WriteBytes(dir_ / u8"処理後" / u8"書名なし.txt", "old\r\n");
  Write("a.txt", Lines({R("00000001", "K1")}));
  Convert();
  EXPECT_FALSE(HasOut("書名なし.txt"));
  EXPECT_EQ(Log().back(), "取込用.txtに1件出力しました");
}

TEST_F(Run, RunningTwiceGivesTheSameFiles) {
  Rec blank = R("00000003", "K3");
  blank.title = "";
  Write("a.txt", Lines({R("00000001", "K1"), R("00000002", "K1"), blank}));
  Write(".hidden.txt", Lines({R("00000009", "H1")}));
  std::filesystem::create_directory(dir_ / "sub");
  WriteBytes(dir_ / "sub" / "inner.txt", Lines({R("00000008", "S1")}));
  Convert();
  std::map<std::string, std::string> first;
  for (const char* name : {"取込用.txt", "重複エラー.txt", "書名なし.txt", "処理結果.txt"}) {
    first[name] = Out(name);
  }
  EXPECT_EQ(Block(" ファイルリスト（[×]は処理対象外ファイル）", " 全ファイル数:1個").size(), 3u);
  run_.Run();
  for (const auto& [name, bytes] : first) EXPECT_EQ(Out(name), bytes) << name;
  // The old import file the second run replaced is gone, under any name.
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_ / u8"処理後")) {
    names.insert(quenFile::PathBytes(e.path().filename()));
  }
  EXPECT_EQ(names, (std::set<std::string>{"取込用.txt", "重複エラー.txt", "書名なし.txt",
                                          "処理結果.txt"}));
}

// Each box that ends a run early keeps its text and says why on a line of
// its own; nothing is written, and nothing outside the output folder moves.
TEST(EarlyEnd, EndsTheRunWithItsBoxAndTheReason) {
  struct Case {
    std::string name;
    std::function<void(const fs::path& folder)> setUp;
    std::string box;  // UTF-8; <out> stands for the output folder's path
    bool logged;      // the box's text is also the log
  };
  const std::string cannotMake = " 処理後フォルダー<out>が作成できません\r\n処理を中断します。";
#ifdef _WIN32
  constexpr int kDeletingAFolder = EACCES;
#else
  constexpr int kDeletingAFolder = EISDIR;
#endif
  std::optional<quenFile::OutputFolder> otherRun;
  const std::vector<Case> cases = {
      {"a file in the way", [](const fs::path& f) { WriteBytes(f / u8"処理後", "a file"); },
       cannotMake + "\r\n同じ名前のファイルがあります。", true},
#ifndef _WIN32  // links need a privilege there
      {"a link in the way",
       [](const fs::path& f) { fs::create_directory_symlink(".", f / u8"処理後"); },
       cannotMake + "\r\nシンボリックリンクのため書き込めません。", true},
#endif
      {"an old import file that is a folder",
       [](const fs::path& f) { fs::create_directories(f / u8"処理後" / u8"取込用.txt" / "x"); },
       "ファイルをメモ帳等で開いている時は閉じて、再度処理をして下さい\r\n" +
           // Windows will not delete a folder as a file, and says so.
           quenFile::ReasonText(kDeletingAFolder),
       false},
#ifndef _WIN32
      {"an output that is a link",
       [](const fs::path& f) {
         fs::create_directory(f / u8"処理後");
         fs::create_symlink("../a.txt", f / u8"処理後" / u8"重複エラー.txt");
       },
       " <out>/重複エラー.txt"
       "はシンボリックリンクのため書き込めません\r\n処理を中断します。",
       false},
#endif
      {"another run on the folder",
       [&](const fs::path& f) {
         otherRun.emplace(f / u8"処理後");
         ASSERT_TRUE(otherRun->TryLock());
       },
       "このフォルダーは別の変換処理が処理中です\r\n処理を中断します。", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string source = Crlf({RecordLine(R("00000001", "K1"))});
    WriteBytes(dir / "a.txt", source);
    c.setUp(dir.path());
    RecordingHost host(dir.path());
    RecordingPresenter boxes;
    RunData data;
    ConversionRun run(host, data);
    EXPECT_EQ(RunConversion(run), RunOutcome::kEndedEarly);

    std::string box = c.box;
    if (const std::size_t at = box.find("<out>"); at != std::string::npos) {
      box.replace(at, 5, quenFile::PathBytes(dir / u8"処理後"));
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(quenText::ToUtf8(boxes.boxes[0].text), box);
    EXPECT_EQ(boxes.boxes[0].flags, unsigned{MBox::kIconError});
    std::vector<std::string> log;
    for (const std::string& l : run.Log().Lines()) log.push_back(quenText::ToUtf8(l));
    // The log has the box's text without the reason, as two lines.
    std::vector<std::string> expectedLog;
    if (c.logged) {
      const std::string text = box.substr(0, box.rfind("\r\n"));
      const std::size_t br = text.find("\r\n");
      expectedLog = {text.substr(0, br), text.substr(br + 2)};
    }
    EXPECT_EQ(log, expectedLog);
    EXPECT_TRUE(host.busyChanges.empty());
    EXPECT_FALSE(fs::exists(dir / u8"処理後" / u8"処理結果.txt"));
    EXPECT_EQ(ReadBytes(dir / "a.txt"), source);
    otherRun.reset();
  }
}

// Choosing a run's output folder as the source would merge its import and
// duplicates files into a new import file: such a folder is refused before
// anything is touched. A folder that only shares the name is not.
TEST(EarlyEnd, AnOutputFolderChosenAsTheSourceIsRefusedUntouched) {
  struct Case {
    std::string name;
    std::vector<std::string> files;  // put into the chosen "処理後"; empty: an earlier run's
    bool refused;
  };
  const std::vector<Case> cases = {
      {"an earlier run's output folder", {}, true},
      {"only its run log left", {"処理結果.txt"}, true},
      {"only its import file left", {"取込用.txt"}, true},
      {"a source folder named like it", {"a.txt"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path chosen = dir / u8"処理後";
    const std::string source =
        Crlf({RecordLine(R("00000001", "K1")), RecordLine(R("00000002", "K1"))});
    if (c.files.empty()) {
      WriteBytes(dir / "a.txt", source);
      RecordingHost host(dir.path());
      RecordingPresenter boxes;
      RunData data;
      ConversionRun run(host, data);
      ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
    } else {
      fs::create_directory(chosen);
      for (const std::string& name : c.files)
        WriteBytes(chosen / quenFile::PathFromBytes(name), source);
    }
    std::map<std::string, std::string> before;
    for (const auto& e : fs::directory_iterator(chosen)) {
      before[quenFile::PathBytes(e.path().filename())] = ReadBytes(e.path());
    }
    RecordingHost host(chosen);
    RecordingPresenter boxes;
    RunData data;
    ConversionRun run(host, data);
    const RunOutcome outcome = RunConversion(run);
    if (!c.refused) {
      EXPECT_EQ(outcome, RunOutcome::kCompleted);
      EXPECT_TRUE(fs::exists(chosen / u8"処理後" / u8"取込用.txt"));
      continue;
    }
    EXPECT_EQ(outcome, RunOutcome::kEndedEarly);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(quenText::ToUtf8(boxes.boxes[0].text),
              "選択したフォルダーは変換結果の出力フォルダー（処理後）です\r\n"
              "元のファイルのあるフォルダーを選択して下さい");
    EXPECT_EQ(boxes.boxes[0].flags, unsigned{MBox::kIconError});
    EXPECT_TRUE(host.busyChanges.empty());
    std::map<std::string, std::string> after;
    for (const auto& e : fs::directory_iterator(chosen)) {
      after[quenFile::PathBytes(e.path().filename())] = ReadBytes(e.path());
    }
    EXPECT_EQ(after, before);
  }
}

TEST_F(Run, AFolderThatVanishedFailsBeforeTheLogIsCleared) {
  Write("a.txt", Lines({R("00000001", "K1")}));
  Convert();
  const auto before = Log();
  std::filesystem::remove_all(dir_.path());
  boxes_.boxes.clear();
  EXPECT_EQ(RunConversion(run_), RunOutcome::kFailed);
  EXPECT_EQ(Log(), before);
  // A folder that is gone is said to be one, with one full stop.
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  const std::string box = boxes_.boxes[0].Utf8Text();
  EXPECT_TRUE(box.ends_with(" 指定されたフォルダーが見つかりません。")) << box;
}

TEST_F(Run, NulBytesInsideRecordsAreCarriedThrough) {
  using namespace std::string_literals;
  // Past the bytes the binary sniffing looks at.
  const std::string head = Lines({R("00000001", "K1"), R("00000002", "K2")});
  ASSERT_GT(head.size(), 512u);
  std::string line = RecordLine(R("00000003", "K3"));
  line.insert(line.size() - 1, "\0"s);
  Write("a.txt", head + line + "\r\n" + RecordLine(R("00000004", "K4")));
  Convert();
  EXPECT_EQ(Out("取込用.txt"), head + line + "\r\n" + RecordLine(R("00000004", "K4")) + "\r\n");
}

TEST_F(Run, ExceptionBoxAddsAFullStopOnlyAfterCharactersThatSortAfterIt) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"abc", "abc."},
      {"abc.", "abc."},
      {"(x)", "(x)"},
      {"エラー", Cp932("エラー.")},
      {"", ""},
      // Already ended by a full stop: no second one.
      {"失敗。", Cp932("失敗。")},
      {"失敗．", Cp932("失敗．")},
      {"ｼｯﾊﾟｲ｡", Cp932("ｼｯﾊﾟｲ｡")},
  };
  for (const auto& [message, box] : cases) EXPECT_EQ(ExceptionBoxText(message), box) << message;
  RecordingPresenter shown;
  ShowException(std::runtime_error("abc"));
  ASSERT_EQ(shown.boxes.size(), 1u);
  EXPECT_EQ(shown.boxes[0].caption, MBox::ApplicationTitle());
  EXPECT_EQ(shown.boxes[0].flags, unsigned{MBox::kIconError});
}

// Generated folders: every non-blank line of the record files ends in
// exactly one of the import file, the duplicates file or the dropped
// blank-title records, and the sources are never touched.
TEST(RunProperty, EveryRecordLineEndsUpInExactlyOnePlace) {
  std::mt19937 rng(99);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    TempDir dir;
    std::map<std::string, std::string> sources;
    std::vector<std::string> recordLines;
    const int files = 1 + rng() % 3;
    for (int f = 0; f < files; ++f) {
      std::vector<std::string> lines;
      const int n = 1 + rng() % 12;
      for (int i = 0; i < n; ++i) {
        Rec r = R(std::to_string(10000000 + rng() % 90000000), "K" + std::to_string(rng() % 15));
        if (rng() % 6 == 0) r.title = "\u3000";
        if (rng() % 7 == 0) r.ndc = "123456789012";
        if (rng() % 5 == 0) r.key[0] = 'k';
        lines.push_back(RecordLine(r));
      }
      // A blank line, but not among the four lines the file check reads.
      if (lines.size() > 4 && rng() % 3 == 0)
        lines.insert(lines.begin() + 4 + rng() % (lines.size() - 4), "");
      std::string bytes = Crlf(lines);
      if (rng() % 3 == 0) bytes.resize(bytes.size() - 2);
      const std::string name = "f" + std::to_string(f) + ".txt";
      WriteBytes(dir / name, bytes);
      sources[name] = bytes;
      for (const std::string& l : lines) {
        if (!quenUtil::IsBlank(l)) recordLines.push_back(l);
      }
    }
    RecordingHost host(dir.path());
    RecordingPresenter boxes;
    RunData data;
    ConversionRun run(host, data);
    run.Run();

    std::multiset<std::string> placed;
    auto add = [&](const std::string& bytes) {
      LineList l;
      l.LoadFromBytes(bytes);
      placed.insert(l.begin(), l.end());
    };
    add(ReadBytes(dir.path() / u8"処理後" / u8"取込用.txt"));
    if (std::filesystem::exists(dir.path() / u8"処理後" / u8"重複エラー.txt")) {
      add(ReadBytes(dir.path() / u8"処理後" / u8"重複エラー.txt"));
    }
    // Dropped: unique-key lines with a blank title (the generator never
    // blanks the reading).
    const KeyCollator& collator = KeyCollator::Default();
    for (const std::string& l : recordLines) {
      std::vector<std::string> f;
      quenUtil::Split('\t', l, &f);
      const auto sameKey =
          std::count_if(recordLines.begin(), recordLines.end(), [&](const std::string& o) {
            std::vector<std::string> g;
            quenUtil::Split('\t', o, &g);
            return collator.Equal(g[2], f[2]);
          });
      if (sameKey == 1 && quenUtil::IsBlank(f[3])) placed.insert(l);
    }
    EXPECT_EQ(placed, std::multiset<std::string>(recordLines.begin(), recordLines.end()));
    for (const auto& [name, bytes] : sources) EXPECT_EQ(ReadBytes(dir / name), bytes) << name;
  }
}
