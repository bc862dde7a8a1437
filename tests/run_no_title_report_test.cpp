// The report of blank titles (書名なし.txt): each finding with the lines
// around it from its own file, and the closing lines of the log.
#include "RunFixture.h"
#include "quenUtil.h"

using namespace testing_support;

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
