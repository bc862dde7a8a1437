// The error check's one pass per file: the lines it cuts file by file and
// the keys it takes must be those of one cut of the merged bytes and of
// KeyOf, and what it tells the run must not depend on how the files were
// shared out.
#include "FileChecks.h"
#include "KeyCollator.h"
#include "RunFixture.h"
#include "quenShow.h"
#include "quenUtil.h"

using namespace testing_support;

namespace {

struct Checked {
  std::vector<std::string> lines;
  std::vector<std::pair<std::size_t, std::string>> index;  // line and sort key, in order
};

Checked Of(const LineList& lines, KeyIndexList& index) {
  index.Sort();
  Checked c;
  for (const std::string_view line : lines) c.lines.emplace_back(line);
  for (std::size_t i = 0; i < index.size(); ++i) {
    c.index.emplace_back(index.LineIndex(i), std::string(index.SortKey(i)));
  }
  return c;
}

// The lines and keys as the duplicate check took them from the files' bytes
// end to end, CR LF added after a file whose last line lacked a break,
// before the pass took them.
Checked Unfused(const std::vector<std::string>& files) {
  std::string merged;
  for (const std::string& file : files) {
    merged += file;
    if (!merged.empty() && merged.back() != '\n' && merged.back() != '\r') merged += "\r\n";
  }
  LineList lines;
  lines.LoadFromBytes(std::move(merged));
  KeyIndexList index;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (quenUtil::IsBlank(lines[i])) continue;
    // KeyOf: what follows the second tab, up to the next.
    std::string_view key = lines[i];
    for (int skip = 0; skip < 2 && !key.empty(); ++skip) {
      const std::size_t at = key.find('\t');
      key = at == std::string_view::npos ? std::string_view() : key.substr(at + 1);
    }
    key = key.substr(0, key.find('\t'));
    index.Add(key, lines, i);
  }
  return Of(lines, index);
}

Checked Fused(SourceBytes& sources) {
  sources.lines.KeepBytes(std::move(sources.bytes));
  return Of(sources.lines, sources.index);
}

}  // namespace

TEST_F(Run, FusedPassCutsAndKeysAsOneCutOfTheMergedBytes) {
  const std::string a = RecordLine(1, "K1");
  const std::string b = RecordLine(2, "K2");
  struct Case {
    const char* name;
    std::vector<std::string> files;
  } cases[] = {
      {"lone CR, then LF", {a + "\r", "\n" + b + "\r\n"}},
      {"lone CR, empty file, LF", {a + "\r", "", "\n" + b}},
      {"CR CR, then LF", {a + "\r\r", "\n" + b + "\r\n"}},
      {"LF, then CR", {a + "\n", "\r" + b + "\r\n"}},
      {"no final breaks", {a, b, a}},
      {"blank lines", {"\r\n  \r\n\x81\x40\r\n" + a + "\n\n", "\r\n" + b + "\r\r\n"}},
      {"short lines", {"x\tK1\r\n", "x\ty\t\r\nx\ty\tK2\r\n\t\tK1\tz\r\nK3\r\n", "x\t\t\t\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempDir dir;
    std::vector<fs::path> files;
    for (std::size_t f = 0; f < c.files.size(); ++f) {
      files.push_back(dir / (std::to_string(f) + ".txt"));
      WriteBytes(files.back(), c.files[f]);
    }
    RunData data;
    RecordingHost host(dir.path());
    ConversionRun run(host, data);
    SourceBytes sources = run.CheckErrors(files);
    const Checked unfused = Unfused(c.files);
    const Checked fused = Fused(sources);
    EXPECT_EQ(fused.lines, unfused.lines);
    EXPECT_EQ(fused.index, unfused.index);
  }
}

namespace {

struct Told {
  std::vector<std::string> log;
  std::vector<std::string> errors;  // file, line and kind of each error-list entry
  std::string failure;
};

// Runs the error check over files and keeps what it told the run.
Told Tell(const std::vector<fs::path>& files, Checked* checked = nullptr) {
  RunData data;
  RecordingHost host(files.front().parent_path());
  ConversionRun run(host, data);
  Told told;
  try {
    SourceBytes sources = run.CheckErrors(files);
    if (checked) *checked = Fused(sources);
  } catch (const std::exception& e) {
    told.failure = e.what();
  }
  for (const std::string& l : run.Log().Lines()) told.log.push_back(quenText::ToUtf8(l));
  for (const ErrorEntryList::Entry& e : data.ErrorList) {
    told.errors.push_back(e.rec.FileName + ":" + std::to_string(e.rec.LineIndex) + ":" +
                          std::to_string(e.rec.Kind));
  }
  return told;
}

}  // namespace

TEST_F(Run, KeyTooLongInALaterFileEndsTheCheckAtItsFirstLine) {
  const std::string tooLong(KeyCollator::kMaxKeyBytes + 1, 'x');
  Write("0.txt", Crlf({RecordLine(1, "K1", ""), RecordLine(2, "K2")}));
  Write("1.txt", Crlf({RecordLine(3, "K3"), RecordLine(4, "K4", ""), RecordLine(5, tooLong),
                       RecordLine(6, tooLong + "y")}));
  Write("2.txt", Crlf({RecordLine(7, "K7", "")}));
  const Told told = Tell({dir_ / "0.txt", dir_ / "1.txt", dir_ / "2.txt"});
  EXPECT_EQ(
      told.failure,
      "ファイル \"" + quenShow::ForDisplay(quenFile::PathBytes(dir_ / "1.txt")) +
          "\" の 3 行目: " + KeyTooLongError(tooLong.size(), KeyCollator::kMaxKeyBytes).what());
  EXPECT_EQ(told.errors, (std::vector<std::string>{"0.txt:0:" + std::to_string(ekTitleBlank),
                                                   "1.txt:1:" + std::to_string(ekTitleBlank)}));
  // The log ends inside the failing file: its counts are never logged,
  // nor anything of the file after it.
  EXPECT_EQ(std::count(told.log.begin(), told.log.end(), " レコード数:2件"), 1);
  EXPECT_EQ(std::find(told.log.begin(), told.log.end(), " 2.txt"), told.log.end());
  EXPECT_NE(std::find(told.log.begin(), told.log.end(), " 1.txt"), told.log.end());
}

namespace {

std::jthread FailToStart(std::function<void()>) {
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

}  // namespace

// The helper thread's files are told after the first thread's, and a helper
// that cannot start leaves them to the calling thread: either way the run
// hears the same.
TEST_F(Run, FilesCheckedWithoutAHelperThreadTellTheSame) {
  const std::string a = RecordLine(1, "K1");
  Write("0.txt", Crlf({RecordLine(1, "K1", ""),
                       RecordLine(2, "K2", "書名", "ヨミ", "1234567890123456789012345")}));
  Write("1.txt", a + "\r");
  Write("2.txt", "\n" + Crlf({RecordLine(3, "K1", ""), "", RecordLine(4, "K4")}));
  Write("3.txt", Crlf({RecordLine(5, "K5", "", ""), RecordLine(6, "K2")}));
  const std::vector<fs::path> files{dir_ / "0.txt", dir_ / "1.txt", dir_ / "2.txt", dir_ / "3.txt"};
  Checked two;
  const Told withHelper = Tell(files, &two);
  SetFileCheckThreadStarter(&FailToStart);
  Checked one;
  const Told alone = Tell(files, &one);
  SetFileCheckThreadStarter(nullptr);
  EXPECT_EQ(alone.log, withHelper.log);
  EXPECT_EQ(alone.errors, withHelper.errors);
  EXPECT_EQ(one.lines, two.lines);
  EXPECT_EQ(one.index, two.index);
  // Every file's findings, in file order.
  EXPECT_EQ(alone.errors.size(), 4u);
  EXPECT_TRUE(std::is_sorted(alone.errors.begin(), alone.errors.end()));
  EXPECT_EQ(one.lines.size(), 8u);  // none for the LF that ends 1.txt's CR
}
