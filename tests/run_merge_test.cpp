// The merge and the duplicate check: the record files joined into one, the
// counts logged, and every record of a repeated key in the duplicates file.
#include <functional>
#include <system_error>
#include <thread>

#include "KeyIndexList.h"
#include "LineList.h"
#include "RunFixture.h"

using namespace testing_support;

namespace {

// One run over the record files, for comparing two runs.
struct Sitting : Run {
  void TestBody() override {}
  // Everything the run leaves: its log, its outputs and its findings.
  std::vector<std::string> Leaves(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, bytes] : files) Write(name, bytes);
    std::vector<std::string> leaves = Convert();
    for (const char* name : {"取込用.txt", "重複エラー.txt", "書名なし.txt", "処理結果.txt"}) {
      leaves.push_back(HasOut(name) ? Out(name) : "(none)");
    }
    for (const Finding& f : data_.RunFindings) {
      leaves.push_back(std::to_string(static_cast<int>(f.kind)) + " " + std::string(f.file) + " " +
                       std::to_string(f.line) + " " + std::to_string(f.copies) + " " +
                       std::string(f.text));
    }
    return leaves;
  }
};

}  // namespace

// A long index is walked in two halves at once, the second's kept lines,
// errors and findings appended after the first's. With a helper or without,
// the run must leave the same bytes and findings, in the same order: runs of
// copies spread over the files, one of them across the middle of the index,
// and records with errors on both sides.
TEST(RunWalk, TheTwoHalvesOfTheWalkLeaveWhatOneThreadLeaves) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: the walk is not split";
  const std::size_t unique = KeyIndexList::kEntriesPerWalkThread + 1000;
  std::vector<std::vector<Rec>> recs(3);
  Rec middle;
  for (std::size_t k = 0; k < unique; ++k) {
    Rec r = R(std::to_string(10000000 + k), "978-4-" + std::to_string(100000 + k));
    if (k % 50 == 7) r.reading = "";  // an error the import file filters
    recs[k % 3].push_back(r);
    if (k == unique / 2) middle = r;
    if (k % 97 == 0) recs[(k + 1) % 3].push_back(r);
  }
  // The key in the middle has a thousand copies more: its run holds the
  // index's middle entry.
  for (std::size_t c = 0; c < 1000; ++c) recs[c % 3].push_back(middle);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.txt", Lines(recs[0])}, {"b.txt", Lines(recs[1])}, {"empty.txt", ""}, {"c.txt", Lines(recs[2])}};
  Sitting helped;
  const std::vector<std::string> expected = helped.Leaves(files);
  struct Restore {
    ~Restore() { KeyIndexList::SetThreadStarter(nullptr); }
  } restore;
  KeyIndexList::SetThreadStarter([](std::function<void()>) -> std::jthread {
    throw std::system_error(EAGAIN, std::generic_category());
  });
  Sitting alone;
  const std::vector<std::string> leaves = alone.Leaves(files);
  ASSERT_EQ(leaves.size(), expected.size());
  for (std::size_t i = 0; i < leaves.size(); ++i) EXPECT_EQ(leaves[i], expected[i]) << i;
  // The findings: the copies and the errors.
  EXPECT_GT(expected.size(), 3000u);
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

// The merge takes the files as the error check read them: each file's bytes
// at its place, a line break in the gap after a file without one, nothing
// for an empty file, a log line for a file that could not be read.
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

  const SourceBytes merged = run.MergeTargetFiles(std::move(sources));
  std::vector<std::string> bytes;
  for (const SourceFile& file : merged.files) {
    bytes.emplace_back(merged.bytes.view().substr(file.start, file.size));
  }
  EXPECT_EQ(bytes, (std::vector<std::string>{a, "", "", Lines({R("30000001", "C1")})}));
  // The gap after a.txt holds the break a finding reads its last line up to.
  EXPECT_EQ(merged.bytes.view().substr(merged.files[0].start + a.size(), 2), "\r\n");
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
