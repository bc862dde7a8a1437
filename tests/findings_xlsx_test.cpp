// The findings as a workbook, read back from the sheet's XML as it is stored
// (tests/tools/xlsx_cells.py): what a spreadsheet turns into numbers in a
// CSV stays text there.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "FindingsXlsx.h"
#include "TestSupport.h"
#include "quenFile.h"

using namespace testing_support;

namespace {

// The facts the reader prints, by their first word and place ("cell G2").
std::map<std::string, std::string> Read(const fs::path& workbook) {
  const std::string command =
      "python3 '" TEXTCNV_TESTS_DIR "/tools/xlsx_cells.py' '" + workbook.string() + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0) << out;
  std::map<std::string, std::string> facts;
  for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = out.substr(at, end - at);
    const std::size_t first = line.find(' ');
    const std::size_t second =
        line.starts_with("cell ") || line.starts_with("col ") ? line.find(' ', first + 1) : first;
    facts[line.substr(0, second)] = line.substr(second + 1);
  }
  return facts;
}

Rec R(std::string key, std::string title, std::string ndc) {
  Rec r;
  r.key = std::move(key);
  r.title = std::move(title);
  r.ndc = std::move(ndc);
  return r;
}

}  // namespace

TEST(FindingsXlsx, RecordValuesAreTextCellsAndTheLineANumber) {
  struct Case {
    const char* what;
    Rec rec;
    FindingKind kind;
    std::size_t line;
  };
  const std::vector<Case> cases = {
      {"leading zeros", R("0012345", "書名", "913.6"), FindingKind::kDuplicateKey, 27},
      {"13 digits", R("9784567890123", "書名", "913.6000000"), FindingKind::kNdcLength, 123456},
      {"spaces kept", R("K3", "", "913.6      "), FindingKind::kTitleBlank, 3},
      {"full-width digits", R("１２３４５６", "=1+2", "-1"), FindingKind::kDuplicateKey, 4},
      {"a date", R("2024-01-02", "@title", "1/2"), FindingKind::kNdcLength, 5},
  };
  Findings findings;
  for (const Case& c : cases) findings.Add(c.kind, "a.txt", c.line, RecordLine(c.rec), 2);
  TempDir dir;
  const fs::path file = dir / u8"一覧.xlsx";
  SaveFindingsXlsx(findings, file);
  auto facts = Read(file);

  EXPECT_EQ(facts["sheet"], kFindingsSheetName);
  EXPECT_EQ(facts["pane"], "1 frozen");
  EXPECT_EQ(facts["filter"], "A1:G" + std::to_string(cases.size() + 1));
  const char* const header[] = {"種類", "キー", "書名", "ヨミ", "NDC", "ファイル", "行"};
  for (int c = 0; c < 7; ++c) {
    EXPECT_EQ(facts["cell " + std::string(1, char('A' + c)) + "1"],
              std::string("str ") + header[c]);
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    const std::string row = std::to_string(i + 2);
    EXPECT_EQ(facts["cell B" + row], "str " + c.rec.key);
    // An empty value is an empty cell, which no spreadsheet reads as anything.
    EXPECT_EQ(facts["cell C" + row], c.rec.title.empty() ? "" : "str " + c.rec.title);
    EXPECT_EQ(facts["cell E" + row], "str " + c.rec.ndc);
    EXPECT_EQ(facts["cell F" + row], "str a.txt");
    EXPECT_EQ(facts["cell G" + row], "num " + std::to_string(c.line));
  }
  EXPECT_EQ(facts["cell A2"], "str 重複キー（2件）");
  // Every column is wider than its header, and 行 takes its widest number.
  for (int c = 1; c <= 7; ++c) {
    const std::string col = facts["col " + std::to_string(c)];
    ASSERT_FALSE(col.empty()) << c;
    EXPECT_GE(std::stod(col.substr(col.find(' ') + 1)), 6.0) << c;
  }
  EXPECT_GE(std::stod(facts["col 2"].substr(facts["col 2"].find(' ') + 1)), 13.0);
}

// Saved as the CSV is: the file's permission bits kept, nothing left beside
// it or in the temporary folder, and failures named after the file the user
// gave.
TEST(FindingsXlsx, IsSavedAsTheOtherOutputsAre) {
  Findings findings;
  findings.Add(FindingKind::kTitleBlank, "a.txt", 1, RecordLine(R("K1", "", "913.6")));
  TempDir dir;
  TempDir temporary;
  const char* const tmpdir = std::getenv("TMPDIR");
  const std::string previous = tmpdir ? tmpdir : "";
  ::setenv("TMPDIR", temporary.path().c_str(), 1);
  const fs::path file = dir / "out.xlsx";
  WriteBytes(file, "old");
  ::chmod(file.c_str(), 0640);
  SaveFindingsXlsx(findings, file);
  EXPECT_EQ(ReadBytes(file).substr(0, 2), "PK");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Read(file)["cell B2"], "str K1");
  // Only out.xlsx: nothing of the workbook's making is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  // And the scratch folder has gone.
  EXPECT_TRUE(fs::is_empty(temporary.path()));

  const fs::path missing = dir / "no-such-folder" / "out.xlsx";
  try {
    SaveFindingsXlsx(findings, missing);
    ADD_FAILURE() << "saved into a folder that is not there";
  } catch (const quenFile::FileError& e) {
    EXPECT_EQ(e.path(), missing);
    EXPECT_EQ(e.errorNumber(), ENOENT);
  }
  EXPECT_TRUE(fs::is_empty(temporary.path()));
  if (tmpdir) {
    ::setenv("TMPDIR", previous.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}
