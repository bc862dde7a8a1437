// The record files laid out in one range: their lines as the run once cut
// the files run together, mapped or read alike, and a run over a file that
// changes under it failing without an import file.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "FaultFixture.h"
#include "quenFileRegion.h"

using namespace faultfix;
using faulty::FaultyFileSystem;

namespace {

// Maps every file with bytes while it lives, however small.
class MapAll {
 public:
  MapAll() : previous_(quenFile::SetMapAtLeast(1)) {}
  ~MapAll() { quenFile::SetMapAtLeast(previous_); }
  MapAll(const MapAll&) = delete;
  MapAll& operator=(const MapAll&) = delete;

 private:
  std::size_t previous_;
};

// Where each merged line stands, as the duplicate findings name it: the
// index of its file (npos before any) and its line number in that file.
std::vector<std::pair<std::size_t, std::size_t>> Places(const MergedLines& merged) {
  std::vector<std::pair<std::size_t, std::size_t>> places;
  const auto& files = merged.files;
  for (std::size_t i = 0; i < merged.lines.size(); ++i) {
    const std::size_t offset = merged.OffsetOf(merged.lines[i]);
    auto file = std::upper_bound(files.begin(), files.end(), offset,
                                 [](std::size_t o, const SourceFile& s) { return o < s.start; });
    while (file != files.begin() && (file - 1)->size == 0) --file;
    if (file == files.begin()) {
      places.emplace_back(std::string::npos, 0);
      continue;
    }
    const SourceFile& f = *(file - 1);
    places.emplace_back(static_cast<std::size_t>(file - files.begin()) - 1,
                        i - merged.FirstLineFrom(f.start) + 1);
  }
  return places;
}

// The lines as the run cut them from the files' bytes end to end, CR LF
// added after a file whose last line lacked a break.
MergedLines RunTogether(const std::vector<std::optional<std::string>>& contents,
                        std::vector<SourceFile> files) {
  std::string all;
  for (std::size_t k = 0; k < contents.size(); ++k) {
    files[k].start = all.size();
    if (!contents[k]) continue;
    all += *contents[k];
    if (!all.empty() && all.back() != '\n' && all.back() != '\r') all += "\r\n";
  }
  MergedLines merged;
  merged.lines.LoadFromBytes(all);
  merged.files = std::move(files);
  if (!merged.lines.empty()) merged.bytes = std::string_view(merged.lines[0].data(), all.size());
  return merged;
}

std::vector<std::string> Texts(const LineList& lines) {
  return std::vector<std::string>(lines.begin(), lines.end());
}

struct CutCase {
  const char* what;
  std::vector<std::optional<std::string>> files;  // nullopt: cannot be read
};

const CutCase kCutCases[] = {
    {"CR LF breaks", {"a\tb\tK1\r\nc\r\n", "d\r\ne\r\n"}},
    {"LF breaks", {"a\n\nb\n", "\nc\n"}},
    {"missing final break", {"a\tb\tK1\r\nlast", "next\r\n", "end"}},
    {"lone CR, then LF", {"a\r", "\nb\r\n"}},
    {"lone CR, empty file, LF", {"a\r\r", "", "\nb"}},
    {"lone CR, unread file, LF", {"a\r", std::nullopt, "\nb\r\n"}},
    {"lone CR, a file of one LF, LF", {"a\r", "\n", "\nc"}},
    {"CR breaks and CR CR LF", {"a\rb\r\r\n", "\r\r\nc\r\rd"}},
    {"LF CR", {"a\n\r", "\nb\n\r"}},
    {"empty files only", {"", ""}},
    {"unread first, lone CR last", {std::nullopt, "a\r\nb", "c\r"}},
};

class Cut : public testing::TestWithParam<bool> {};

TEST_P(Cut, LinesAndTheirPlacesAreThoseOfTheFilesRunTogether) {
  std::optional<MapAll> mapAll;
  if (GetParam()) mapAll.emplace();
  for (const CutCase& c : kCutCases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<fs::path> paths;
    for (std::size_t k = 0; k < c.files.size(); ++k) {
      paths.push_back(dir / ("f" + std::to_string(k) + ".txt"));
      if (c.files[k]) WriteBytes(paths.back(), *c.files[k]);
    }
    FolderHost host(dir.path());
    BoxRecorder boxes;
    RunData data;
    ConversionRun run(host, data);
    SourceBytes sources = run.CheckErrors(paths);
    const MergedLines old = RunTogether(c.files, sources.files);
    const MergedLines merged = MergedLines::Load(std::move(sources));
    EXPECT_EQ(Texts(merged.lines), Texts(old.lines));
    EXPECT_EQ(Places(merged), Places(old));
  }
}

INSTANTIATE_TEST_SUITE_P(ReadOrMapped, Cut, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Mapped" : "Read");
                         });

// Record files with repeated keys across them and a last line without a break.
void MakeRecords(const fs::path& folder) {
  WriteBytes(folder / "a.txt", Crlf({RecordLine("00000001", "K001"), RecordLine("00000002", "DUP"),
                                     RecordLine("00000003", "K003", "", "ヨミ")}));
  WriteBytes(folder / "b.txt",
             Crlf({RecordLine("00000011", "DUP"), RecordLine("00000012", "K012")}) +
                 RecordLine("00000013", "K013"));
}

TEST(MappedSources, AFailingMapIsReadInsteadWithTheSameResult) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows reads every file into the program's own pages";
#endif
  TempDir dir;
  MakeRecords(dir.path());
  const Outcome clean = RunFolder(dir.path());
  ASSERT_TRUE(clean.Completed()) << clean.Describe();
  MapAll mapAll;
  FaultyFileSystem counting;
  const Outcome mapped = RunFolder(dir.path(), &counting);
  ASSERT_EQ(counting.Count(faulty::Op::kMap), 2);
  EXPECT_EQ(mapped.outputs, clean.outputs);
  EXPECT_EQ(mapped.log, clean.log);
  for (long n = 1; n <= 2; ++n) {
    SCOPED_TRACE("map " + std::to_string(n) + " fails");
    FaultyFileSystem faults;
    faults.FailNth(faulty::Op::kMap, n, ENODEV);
    const Outcome o = RunFolder(dir.path(), &faults);
    ASSERT_TRUE(faults.Injected());
    EXPECT_EQ(o.outputs, clean.outputs);
    EXPECT_EQ(o.log, clean.log);
  }
}

// What another program does to a.txt once its error check is done.
struct Change {
  const char* what;
  void (*apply)(const fs::path& file);
};

const Change kChanges[] = {
    // The mapped pages are gone: reading them raises SIGBUS.
    {"cut short", [](const fs::path& file) { fs::resize_file(file, 0); }},
    {"rewritten in place",
     [](const fs::path& file) {
       std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
       out.put('9');
     }},
    {"replaced", [](const fs::path& file) {
       const fs::path other = file.parent_path() / "new.tmp";
       WriteBytes(other, ReadBytes(file));
       fs::rename(other, file);
     }}};

TEST(MappedSources, AFileChangedDuringTheRunFailsItWithoutAnImportFile) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows reads every file into the program's own pages";
#endif
  for (const Change& change : kChanges) {
    SCOPED_TRACE(change.what);
    TempDir dir;
    MakeRecords(dir.path());
    const fs::path a = dir / "a.txt";
    // Its times from long ago: a change within the same clock tick as the
    // writing still shows.
    fs::last_write_time(a, fs::last_write_time(a) - std::chrono::hours(24));
    MapAll mapAll;
    bool changed = false;
    const Outcome o = RunFolder(dir.path(), nullptr, [&](const std::string& line) {
      if (!changed && line == "終了　エラーチェック") {
        change.apply(a);
        changed = true;
      }
    });
    ASSERT_TRUE(changed);
    ASSERT_TRUE(o.threw) << o.Describe();
    EXPECT_NE(o.what.find("a.txt\" は読み込み中に変更されました"), std::string::npos) << o.what;
    EXPECT_FALSE(o.outputs.contains("取込用.txt"));
    EXPECT_FALSE(o.outputs.contains("重複エラー.txt"));
    for (const auto& [name, bytes] : o.outputs) EXPECT_FALSE(name.starts_with('.')) << name;
  }
}

// Cuts file short right after its mapping passed both looks at its status:
// its pages are not read in yet, and the second share reads them in and
// cuts its lines on a thread of its own.
class CutAfterMapping : public quenFile::FileSystem {
 public:
  explicit CutAfterMapping(fs::path file) : file_(std::move(file)) {}
  int Map(int fd, void* at, std::size_t length) override {
    const int result = FileSystem::Map(fd, at, length);
    ++maps_;
    mappedFd_ = fd;
    return result;
  }
  int FileStatus(int fd, struct stat* st) override {
    const int result = FileSystem::FileStatus(fd, st);
    if (fd == mappedFd_ && maps_ == 2) fs::resize_file(file_, 0);
    mappedFd_ = -1;
    return result;
  }

 private:
  fs::path file_;
  int maps_ = 0;
  int mappedFd_ = -1;
};

TEST(MappedSources, AFileCutShortBeforeItsPagesAreReadInFailsTheRun) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows reads every file into the program's own pages";
#endif
  TempDir dir;
  MakeRecords(dir.path());
  // Pages of its own, ending in a break: nothing but the read-in and the
  // pass touches them.
  std::vector<std::string> lines;
  for (int i = 0; i < 400; ++i) lines.push_back(RecordLine(std::to_string(20000000 + i), "B"));
  WriteBytes(dir / "b.txt", Crlf(lines));
  MapAll mapAll;
  CutAfterMapping cut(dir / "b.txt");
  const Outcome o = RunFolder(dir.path(), &cut);
  ASSERT_TRUE(o.threw) << o.Describe();
  EXPECT_NE(o.what.find("b.txt\" は読み込み中に変更されました"), std::string::npos) << o.what;
  EXPECT_FALSE(o.outputs.contains("取込用.txt"));
  EXPECT_FALSE(o.outputs.contains("重複エラー.txt"));
}

}  // namespace
