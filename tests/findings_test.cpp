// The findings a run keeps for the operator: what, in which file, on which
// line, counted as the run counts lines.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <utility>

#include "ConversionRun.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

Rec R(std::string key, std::string title = "書名", std::string ndc = "913.6") {
  Rec r;
  r.key = std::move(key);
  r.title = std::move(title);
  r.ndc = std::move(ndc);
  return r;
}

using Row = std::tuple<FindingKind, std::string, std::string, std::size_t, std::size_t>;

}  // namespace

TEST(Findings, NameEveryCopyOfARepeatedKeyAndEachErrorWithItsFileAndLine) {
  TempDir dir;
  std::string withNul = RecordLine(R("NUL"));
  withNul.replace(withNul.find("f5-"), 1, std::string(1, '\0'));
  // Lines of a.txt: 1 K1, 2 DUP, 3 T1, 4 N1 (ends in CR alone), 5 empty,
  // 6 the NUL-bearing line (ends in LF alone), 7 DUP2 (no final break).
  WriteBytes(dir / "a.txt", RecordLine(R("K1")) + "\r\n" + RecordLine(R("DUP")) + "\r\n" +
                                RecordLine(R("T1", "")) + "\r\n" +
                                RecordLine(R("N1", "書名", "913.6123456789")) + "\r\r\n" + withNul +
                                "\n" + RecordLine(R("DUP2")));
  WriteBytes(dir / "b.txt",
             Crlf({RecordLine(R("X1")), RecordLine(R("dup")), RecordLine(R("DUP2"))}));

  RecordingHost host(dir.path());
  RecordingPresenter boxes;
  RunData data;
  ConversionRun run(host, data);
  ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);

  std::vector<Row> rows;
  for (const Finding& f : data.RunFindings) {
    rows.emplace_back(f.kind, f.key, f.file, f.line, f.copies);
  }
  using K = FindingKind;
  // Errors in the order found, then the key groups in key order, the later
  // copy of each first, as the duplicates file has them.
  const std::vector<Row> expected = {
      {K::kTitleBlank, "T1", "a.txt", 3, 0},     {K::kNdcLength, "N1", "a.txt", 4, 0},
      {K::kDuplicateKey, "dup", "b.txt", 2, 2},  {K::kDuplicateKey, "DUP", "a.txt", 2, 2},
      {K::kDuplicateKey, "DUP2", "b.txt", 3, 2}, {K::kDuplicateKey, "DUP2", "a.txt", 7, 2},
  };
  EXPECT_EQ(rows, expected);
  ASSERT_EQ(data.RunFindings.size(), expected.size());
  EXPECT_EQ(data.RunFindings[1].text, RecordLine(R("N1", "書名", "913.6123456789")));
  EXPECT_EQ(data.RunFindings[5].text, RecordLine(R("DUP2")));
}

TEST(Findings, CsvHasAByteOrderMarkAHeaderAndQuotesWhatNeedsIt) {
  Findings f;
  f.Add(FindingKind::kDuplicateKey, "名簿.txt", 12, RecordLine(R("K,1", "書名 \"上\"")), 2);
  EXPECT_EQ(FindingsCsv(f),
            "\xEF\xBB\xBF種類,キー,書名,ヨミ,NDC,ファイル,行\r\n"
            "重複キー（2件）,\"K,1\",\"書名 \"\"上\"\"\",ショメイ,913.6,名簿.txt,12\r\n");
}

// Record fields and file names come from suppliers: a cell a spreadsheet
// would evaluate must reach it as text.
TEST(Findings, CsvCellsFromRecordsNeverStartAFormula) {
  struct Case {
    const char* what;
    std::string key, title, reading, ndc, file;
    std::string row;  // the CSV row after the kind
  };
  const std::vector<Case> cases = {
      {"formula key", "=1+1", "書名", "ヨミ", "913.6", "a.txt", "'=1+1,書名,ヨミ,913.6,a.txt,5"},
      {"plus, minus, at", "K", "+SUM(A1)", "-2", "@cmd", "a.txt", "K,'+SUM(A1),'-2,'@cmd,a.txt,5"},
      // TAB parts the fields of a record and CR ends its line: only a file
      // name can start with one.
      {"tab", "K", "書名", "ヨミ", "913.6", "\tb.txt", "K,書名,ヨミ,913.6,'\tb.txt,5"},
      {"CR", "K", "書名", "ヨミ", "913.6", "\rb.txt", "K,書名,ヨミ,913.6,\"'\rb.txt\",5"},
      {"file name", "K", "書名", "ヨミ", "913.6", "=HYPERLINK(x).txt",
       "K,書名,ヨミ,913.6,'=HYPERLINK(x).txt,5"},
      {"quoted and neutralised", "=A,B", "書名", "ヨミ", "913.6", "a.txt",
       "\"'=A,B\",書名,ヨミ,913.6,a.txt,5"},
      {"inside a cell is harmless", "K=1", "a-b", "ヨミ@", "913.6", "a.txt",
       "K=1,a-b,ヨミ@,913.6,a.txt,5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rec rec;
    rec.key = c.key;
    rec.title = c.title;
    rec.reading = c.reading;
    rec.ndc = c.ndc;
    Findings f;
    f.Add(FindingKind::kTitleBlank, c.file, 5, RecordLine(rec), 0);
    EXPECT_EQ(FindingsCsv(f),
              "\xEF\xBB\xBF種類,キー,書名,ヨミ,NDC,ファイル,行\r\n"
              "書名（ヨミ）空白," +
                  c.row + "\r\n");
  }
}

TEST(Findings, NameTheRunsBytesWhileItWorksAndKeepOnlyTheFlaggedLinesAfter) {
  TempDir dir;
  std::vector<std::string> lines;
  for (int i = 0; i < 200; ++i) lines.push_back(RecordLine(R("K" + std::to_string(i))));
  const std::string blank = RecordLine(R("T1", ""));
  lines.push_back(blank);
  for (int i = 0; i < 3; ++i) lines.push_back("a");  // tiny lines: three copies of the empty key
  WriteBytes(dir / "a.txt", Crlf(lines));

  RecordingHost host(dir.path());
  RecordingPresenter boxes;
  RunData data;
  ConversionRun run(host, data);
  const SourceBytes sources = run.CheckErrors({dir / "a.txt"});
  // The error check's finding names its line where the run read it, and
  // copies nothing of it.
  EXPECT_EQ(data.RunFindings.Pending(), 1u);
  EXPECT_EQ(data.RunFindings.size(), 0u);
  EXPECT_LT(data.RunFindings.OwnBytes(), blank.size());

  ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
  ASSERT_EQ(data.RunFindings.size(), 4u);
  EXPECT_EQ(data.RunFindings.Pending(), 0u);
  // After the run the findings hold their own lines, and nothing else of
  // the run's bytes: the blank-title line, three "a" and the file name.
  EXPECT_EQ(data.RunFindings[0].text, blank);
  EXPECT_EQ(data.RunFindings[3].text, "a");
  EXPECT_LE(data.RunFindings.OwnBytes(), blank.size() + 1 + 3 * 2 + 2 * 16);
}

// A finding's line ends at its first CR or LF, however far into the line
// that is and whichever comes first, or at the end of the bytes.
TEST(Findings, KeepTheirLineUpToItsFirstBreakWhereverItFalls) {
  const std::string x511(511, 'x'), x512(512, 'x'), x1500(1500, 'x');
  const struct Case {
    std::string bytes;
    std::string line;
  } cases[] = {
      {"abc\r\nnext", "abc"},
      {"abc\nnext\r", "abc"},
      {"abc\rnext\n", "abc"},
      {x511 + "\n\r", x511},
      {x512 + "\r" + x511 + "\n", x512},
      {x512 + "\n" + x511 + "\r", x512},
      {x1500 + "\r", x1500},
      {x1500, x1500},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    const std::string bytes = "head\r\n" + c.bytes;
    Findings findings;
    findings.Refer(FindingKind::kDuplicateKey, 6, findings.FileNumber("a.txt"), 2, 2);
    findings.Keep(bytes);
    EXPECT_EQ(findings[0].text, c.line);
  }
}

// Files can change between the file check and the error check: emptied,
// gone, or now starting with blank lines. Each copy of a repeated key still
// names the file it is in and its line there.
TEST(Findings, DuplicatesNameTheirFileAndLineAroundEmptyGoneAndBlankStartedFiles) {
  struct Case {
    const char* what;
    std::vector<std::vector<std::string>> keys;   // a.txt, b.txt, ... as checked
    std::function<void(const fs::path&)> change;  // at the error check's start
    std::vector<Row> expected;
  };
  using K = FindingKind;
  const Case cases[] = {
      {"b.txt emptied, c.txt gone",
       {{"K1", "DUP"}, {"K2"}, {"K3"}, {"X", "DUP"}},
       [](const fs::path& dir) {
         WriteBytes(dir / "b.txt", "");
         fs::remove(dir / "c.txt");
       },
       {{K::kDuplicateKey, "DUP", "d.txt", 2, 2}, {K::kDuplicateKey, "DUP", "a.txt", 2, 2}}},
      {"b.txt starts with blank lines",
       {{"DUP", "K1"}, {"K2"}},
       [](const fs::path& dir) {
         WriteBytes(dir / "b.txt", "\r\n\n" + Crlf({RecordLine(R("DUP")), RecordLine(R("K2"))}));
       },
       {{K::kDuplicateKey, "DUP", "b.txt", 3, 2}, {K::kDuplicateKey, "DUP", "a.txt", 1, 2}}},
      {"the first file emptied",
       {{"K1"}, {"DUP"}, {"K2", "DUP", "DUP"}},
       [](const fs::path& dir) { WriteBytes(dir / "a.txt", ""); },
       {{K::kDuplicateKey, "DUP", "c.txt", 3, 3},
        {K::kDuplicateKey, "DUP", "c.txt", 2, 3},
        {K::kDuplicateKey, "DUP", "b.txt", 1, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (std::size_t f = 0; f < c.keys.size(); ++f) {
      std::vector<std::string> lines;
      for (const std::string& key : c.keys[f]) lines.push_back(RecordLine(R(key)));
      WriteBytes(dir / (std::string(1, static_cast<char>('a' + f)) + ".txt"), Crlf(lines));
    }
    struct ChangingHost : RecordingHost {
      using RecordingHost::RecordingHost;
      std::function<void()> atErrorCheck;
      void LogAppended(std::string_view line, std::string_view utf8) override {
        RecordingHost::LogAppended(line, utf8);
        // The file check has passed every file; the error check reads them next.
        if (atErrorCheck && utf8 == "ファイルチェック　終了") std::exchange(atErrorCheck, {})();
      }
    } host(dir.path());
    host.atErrorCheck = [&] { c.change(dir.path()); };
    RecordingPresenter boxes;
    RunData data;
    ConversionRun run(host, data);
    ASSERT_NE(RunConversion(run), RunOutcome::kFailed);

    std::vector<Row> rows;
    for (const Finding& f : data.RunFindings) {
      if (f.kind == K::kDuplicateKey) rows.emplace_back(f.kind, f.key, f.file, f.line, f.copies);
    }
    EXPECT_EQ(rows, c.expected);
  }
}
