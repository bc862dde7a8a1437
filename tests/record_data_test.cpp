// Line lists, atomic saves, and the run lists that order and look up keys.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cctype>
#include <csignal>
#include <thread>

#include "KeyIndexList.h"
#include "LineList.h"
#include "RunData.h"
#include "TestSupport.h"
#include "quenFile.h"
#include "quenText.h"

using namespace testing_support;

TEST(LineList, EveryLineBreakRuleLoadsAndSavesAsCrLf) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  using namespace std::string_literals;
  const std::vector<Case> cases = {
      {"a\r\nb", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n", {"a"}},
      {"", {}},
      {"\r\n", {""}},
      {"\n\n", {"", ""}},
      {"a\0b\nc"s, {"a\0b"s, "c"}},  // NUL is an ordinary byte
      {"\0"s, {"\0"s}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    WriteBytes(dir / "in.txt", c.bytes);
    LineList list;
    list.LoadFromFile(dir / "in.txt");
    ASSERT_EQ(std::vector<std::string>(list.begin(), list.end()), c.lines);
    EXPECT_EQ(LineList::CountLines(c.bytes), c.lines.size());
    list.SaveToFile(dir / "out.txt");
    EXPECT_EQ(ReadBytes(dir / "out.txt"), Crlf(c.lines));
  }
}

TEST(LineList, SharedLinesOutliveTheListTheyCameFrom) {
  LineList copy;
  {
    LineList source;
    source.LoadFromBytes("one\r\ntwo\r\n");
    source.Add("three");
    copy.AddFrom(source, 1);
    copy.AddFrom(source, 2);
    source.Clear();
    source.LoadFromBytes("overwritten\r\n");
  }
  copy.Add(std::string(100000, 'x'));  // a new storage block
  ASSERT_EQ(copy.size(), 3u);
  EXPECT_EQ(copy[0], "two");
  EXPECT_EQ(copy[1], "three");
  EXPECT_EQ(copy[2].size(), 100000u);
}

// Lines of every kind: empty, with each break, long enough to span blocks.
std::string MixedLines(std::size_t n) {
  std::string bytes;
  const char* const breaks[] = {"\r\n", "\n", "\r", "\r\r\n"};
  for (std::size_t i = 0; i < n; ++i) {
    bytes += std::string(i % 7 == 0 ? 0 : i % 300, static_cast<char>('a' + i % 26));
    bytes += breaks[i % 4];
  }
  return bytes;
}

TEST(LineList, TakenLinesShareTheSourceBytesWithoutCopying) {
  LineList source;
  source.LoadFromBytes(MixedLines(1000));
  LineList taken;
  for (std::size_t i = 0; i < source.size(); i += 3) taken.AddFrom(source, i);
  for (std::size_t k = 0; k < taken.size(); ++k) {
    ASSERT_EQ(taken[k].data(), source[3 * k].data()) << k;
    ASSERT_EQ(taken[k].size(), source[3 * k].size()) << k;
  }
  EXPECT_EQ(taken.StorageBytes(), source.StorageBytes());

  // The key index takes every record and hands it on, still not copying.
  const KeyCollator collator("ja");
  KeyIndexList index(collator);
  for (std::size_t i = 0; i < source.size(); ++i) index.Add(source[i].substr(0, 2), source, i);
  LineList handedOn;
  for (std::size_t i = 0; i < index.size(); ++i) index.AppendLineTo(i, handedOn);
  for (std::size_t i = 0; i < source.size(); ++i) ASSERT_EQ(handedOn[i].data(), source[i].data());

  // A list with storage of its own copies instead, and keeps the copies.
  LineList own;
  own.Add("own");
  own.AddFrom(source, 1);
  const std::string line1(source[1]);
  source.Clear();
  EXPECT_EQ(own[1], line1);
  EXPECT_EQ(taken[0], handedOn[0]);
}

TEST(LineList, EveryLineCostsOneEightByteEntryAfterLoading) {
  const std::vector<std::string> files = {MixedLines(10007), std::string(20000, '\n'),
                                          std::string(2 * 30011, '\r') + "x", [] {
                                            std::string s;
                                            for (int i = 0; i < 5003; ++i) s += "\r\n";
                                            return s;
                                          }()};
  for (const std::string& bytes : files) {
    LineList list;
    list.LoadFromBytes(bytes);
    ASSERT_EQ(list.size(), LineList::CountLines(bytes));
    EXPECT_EQ(list.EntryBytes(), list.size() * 8);
  }
}

TEST(LineList, ClearLetsGoOfEntriesAndStorage) {
  LineList list;
  list.LoadFromBytes(MixedLines(100));
  list.Add("added");
  LineList sharer;
  sharer.AddFrom(list, 5);
  const std::string line5(list[5]);
  ASSERT_GT(list.StorageBytes(), 0u);
  list.Clear();
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(list.EntryBytes(), 0u);
  EXPECT_EQ(list.StorageBytes(), 0u);
  // Storage another list still uses stays with that list.
  EXPECT_GT(sharer.StorageBytes(), 0u);
  EXPECT_EQ(sharer[0], line5);
  sharer.Clear();
  EXPECT_EQ(sharer.StorageBytes(), 0u);
}

// Lines past what an entry packs take another route and come out the same,
// shared alike. The limits are lowered to get there without gigabytes.
TEST(LineList, LinesBeyondThePackedFieldsComeOutWhole) {
  struct Case {
    const char* route;
    uint64_t offsetEnd;
    uint64_t lengthEnd;
  };
  const std::vector<Case> cases = {
      {"long lines", LineList::kOffsetEnd, 40},
      {"storage past the offset range", 3 * LineArena::kChunkBytes, LineList::kLongMark},
      {"both", 2 * LineArena::kChunkBytes, 1},
  };
  const std::string bytes = MixedLines(3000);  // about 450 KB: several chunks
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    LineList loaded(c.offsetEnd, c.lengthEnd);
    loaded.LoadFromBytes(bytes);
    LineList added(c.offsetEnd, c.lengthEnd);
    LineList shared;
    for (std::size_t i = 0; i < loaded.size(); ++i) {
      added.Add(loaded[i]);
      shared.AddFrom(loaded, i);
    }
    LineList plain;
    plain.LoadFromBytes(bytes);
    ASSERT_EQ(loaded.size(), plain.size());
    ASSERT_EQ(added.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
      ASSERT_EQ(loaded[i], plain[i]) << i;
      ASSERT_EQ(added[i], plain[i]) << i;
      ASSERT_EQ(shared[i].data(), loaded[i].data()) << i;
    }
    EXPECT_EQ(loaded.EntryBytes(), loaded.size() * 8);
  }
}

TEST(LineList, ALineAsLongAsTheLengthFieldIsNotCutShort) {
  const std::size_t longest = LineList::kLongMark;  // the first length that does not pack
  for (const std::size_t length : {longest - 1, longest, longest + 1}) {
    SCOPED_TRACE(length);
    LineList list;
    list.LoadFromBytes("a\r\n" + std::string(length, 'x') + "\r\nb");
    list.Add(std::string(length, 'y'));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], "a");
    EXPECT_EQ(list[1].size(), length);
    EXPECT_EQ(list[1].find_first_not_of('x'), std::string_view::npos);
    EXPECT_EQ(list[2], "b");
    EXPECT_EQ(list[3].size(), length);
    EXPECT_EQ(list[3].find_first_not_of('y'), std::string_view::npos);
  }
}

TEST(LineList, WriteToLeavesTheCommitToTheCaller) {
  TempDir dir;
  LineList list;
  list.LoadFromBytes("a\nb\r\rc");
  {
    quenFile::AtomicWriter out(dir / "out.txt");
    out.Write("head\r\n");
    list.WriteTo(out);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
    out.Write("tail");
    out.Commit();
  }
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "head\r\na\r\nb\r\n\r\nc\r\ntail");
}

#ifndef _WIN32  // file-size limits are POSIX
// Files no larger than limit can be written while it lives, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int);
};

TEST(LineList, ASaveThatFailsPartWayLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  WriteBytes(dir / "target.txt", "old\r\n");
  LineList big;
  for (int i = 0; i < 2000; ++i) big.Add(std::string(50, 'a' + i % 26));
  {
    FileSizeLimit limit(4096);
    EXPECT_THROW(big.SaveToFile(dir / "target.txt"), quenFile::FileError);
  }
  EXPECT_EQ(ReadBytes(dir / "target.txt"), "old\r\n");
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(quenFile::PathBytes(e.path().filename()));
  }
  EXPECT_EQ(names, std::vector<std::string>{"target.txt"});

  EXPECT_THROW(big.SaveToFile(dir / "missing" / "x.txt"), quenFile::FileError);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}
#endif

TEST(LineList, CodesThatDoNotSurviveConversionComeOutByteIdentical) {
  // Every double-byte code that a decode and re-encode would change, plus
  // unmapped single bytes: a save must never pass text through a conversion.
  std::vector<std::string> codes;
  auto lead = [](unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
  for (unsigned l = 0x81; l <= 0xFC; ++l) {
    if (!lead(l)) continue;
    for (unsigned t = 0x40; t <= 0xFC; ++t) {
      if (t == 0x7F) continue;
      const std::string code{static_cast<char>(l), static_cast<char>(t)};
      if (quenText::Encode(quenText::Decode(code)) != code) codes.push_back(code);
    }
  }
  ASSERT_GE(codes.size(), 398u);
  std::string line;
  for (const std::string& c : codes) line += c;
  line += "\x80\xA0\xFD\xFE\xFF\x87\x9C\xED\x40";
  const std::string bytes = line + "\r\n" + line + "\r\n";

  TempDir dir;
  WriteBytes(dir / "in.txt", bytes);
  LineList list;
  list.LoadFromFile(dir / "in.txt");
  list.SaveToFile(dir / "out.txt");
  EXPECT_EQ(ReadBytes(dir / "out.txt"), bytes);
}

// The runs of equal keys found once, as bits, are the runs a walk by
// comparison finds: across the bits' words, for keys told apart only past
// the entries' heads, for equal keys that share no bytes.
TEST(KeyIndex, GroupsFoundOnceAreTheRunsOfEqualSortKeys) {
  const KeyCollator collator("ja");
  const std::vector<std::vector<std::size_t>> layouts = {
      {1}, {2}, {64}, {63, 1, 1}, {1, 63, 2, 64, 1, 65, 3, 1, 1, 128}};
  for (const std::vector<std::size_t>& sizes : layouts) {
    std::vector<std::string> keys;
    for (std::size_t g = 0; g < sizes.size(); ++g) {
      for (std::size_t n = 0; n < sizes[g]; ++n) {
        keys.push_back(std::string(g % 2 ? "A" : "B") + std::string(40, 'x') + std::to_string(g));
      }
    }
    // Added out of order, so that equal keys are not added in a row.
    LineList lines;
    for (std::size_t i = 0; i < keys.size(); ++i) lines.Add(keys[i * 37 % keys.size()]);
    KeyIndexList index(collator);
    for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i], lines, i);
    index.Sort();
    std::vector<std::pair<std::size_t, std::size_t>> expected;
    std::size_t repeated = 0;
    for (std::size_t i = 0; i < index.size();) {
      std::size_t end = i + 1;
      while (end < index.size() && index.SortKey(end) == index.SortKey(i)) ++end;
      expected.emplace_back(i, end);
      if (end - i > 1) repeated += end - i;
      i = end;
    }
    const KeyIndexList::Groups groups = index.FindGroups();
    std::vector<std::pair<std::size_t, std::size_t>> found;
    groups.ForEach([&](std::size_t b, std::size_t e) { found.emplace_back(b, e); });
    EXPECT_EQ(found, expected) << keys.size() << " keys";
    EXPECT_EQ(groups.Repeated(), repeated) << keys.size() << " keys";
    EXPECT_EQ(expected.size(), sizes.size());
  }
}

TEST(KeyIndex, EqualKeysStandNewestFirstAndLookupsFindTheFirstOfThem) {
  const KeyCollator collator("ja");
  LineList lines;
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"K1", "a"}, {"K2", "x"}, {"k1", "b"}, {"K1", "c"}};
  for (const auto& [key, tag] : rows) lines.Add(key + "\t" + tag);
  KeyIndexList index(collator);
  for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i].substr(0, 2), lines, i);
  index.Sort();
  std::vector<std::string> order;
  for (std::size_t i = 0; i < index.size(); ++i) order.emplace_back(index.Line(i));
  EXPECT_EQ(order, (std::vector<std::string>{"K1\tc", "k1\tb", "K1\ta", "K2\tx"}));
  EXPECT_TRUE(index.SameKey(0, 2));
  EXPECT_FALSE(index.SameKey(2, 3));
  EXPECT_EQ(index.IndexOfSortKey(collator.SortKey("k1")), 0);
  EXPECT_EQ(index.IndexOfSortKey(collator.SortKey("K2")), 3);
  EXPECT_EQ(index.IndexOfSortKey(collator.SortKey("K3")), -1);

  // A later batch still goes in front of the equal keys already there.
  lines.Add("K2\ty");
  index.Add(lines[4].substr(0, 2), lines, 4);
  index.Sort();
  EXPECT_EQ(index.Line(3), "K2\ty");
  EXPECT_EQ(index.Line(4), "K2\tx");
}

TEST(KeyIndex, ALargeSortReportsRisingProgressOnTheCallingThread) {
  // Large enough to be shared among threads where there are several.
  const KeyCollator collator("ja");
  LineList lines;
  for (int i = 0; i < 100000; ++i) lines.Add("978-4-" + std::to_string(7919L * i % 100000));
  KeyIndexList index(collator);
  for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i], lines, i);
  std::vector<int> reported;
  const std::thread::id caller = std::this_thread::get_id();
  bool elsewhere = false;
  index.Sort([&](int percent) {
    elsewhere |= std::this_thread::get_id() != caller;
    reported.push_back(percent);
  });
  EXPECT_FALSE(elsewhere);
  ASSERT_GE(reported.size(), 5u);
  EXPECT_EQ(reported.front(), 0);
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_LE(reported.back(), 100);
  for (std::size_t i = 1; i < index.size(); ++i) {
    ASSERT_LE(index.SortKey(i - 1), index.SortKey(i));
  }
}

// Sort keys written by Add (the shortcut's keys, once Reserve has learned it)
// and by Sort (the rest) make one order: the order of an index that makes
// every sort key through ICU.
TEST(KeyIndex, KeysWrittenAsTheyAreAddedSortAsKeysCollatedLater) {
  struct Case {
    const char* what;
    bool reserve;  // so that Add writes the keys the shortcut covers
  };
  const Case cases[] = {{"reserved", true}, {"not reserved", false}};
  LineList lines;
  // ISBN-like keys the shortcut covers, in both cases, among keys it leaves
  // to ICU: kana, a long key and a key with a space; some repeated.
  for (int i = 0; i < 30000; ++i) {
    std::string key = "978-4-" + std::to_string(7919L * i % 20011);
    if (i % 7 == 0)
      key =
          "\x83" + std::string(1, static_cast<char>(0x40 + i % 20)) + "-" + std::to_string(i % 50);
    if (i % 11 == 0) key = std::string(45, '9') + std::to_string(i % 30);
    if (i % 13 == 0) key = "ISBN " + std::to_string(i % 40);
    if (i % 17 == 0) key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    lines.Add(key);
  }
  const KeyCollator reference("ja", KeyCollator::Shortcut::kOff);
  KeyIndexList expected(reference);
  for (std::size_t i = 0; i < lines.size(); ++i) expected.Add(lines[i], lines, i);
  expected.Sort();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const KeyCollator collator("ja");
    KeyIndexList index(collator);
    if (c.reserve) index.Reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i], lines, i);
    index.Sort();
    ASSERT_FALSE(collator.ShortcutCharacters().empty() && c.reserve) << "nothing learned";
    ASSERT_EQ(index.size(), expected.size());
    for (std::size_t i = 0; i < index.size(); ++i) {
      ASSERT_EQ(index.Line(i), expected.Line(i)) << "at " << i;
      ASSERT_EQ(index.SortKey(i), expected.SortKey(i)) << "at " << i;
      if (i > 0) {
        ASSERT_EQ(index.SameKey(i - 1, i), expected.SameKey(i - 1, i)) << "at " << i;
      }
    }
  }
}

TEST(ErrorList, LookupFindsTheFirstEntryInListOrderIgnoringCase) {
  const KeyCollator collator("ja");
  ErrorEntryList list(collator);
  EXPECT_EQ(list.IndexOfSortKey(collator.SortKey("K1")), -1);
  list.Add("K2", TMyRec{"a.txt", 0, ekNdcLength, {}});
  list.Add("k1", TMyRec{"a.txt", 1, ekTitleBlank, {}});
  list.Add("K1", TMyRec{"a.txt", 1, ekNdcLength, {}});
  EXPECT_EQ(list.IndexOfSortKey(collator.SortKey("K1")), 1);
  EXPECT_EQ(list.IndexOfSortKey(collator.SortKey("k2")), 0);
  EXPECT_EQ(list.IndexOfSortKey(collator.SortKey("\x82\x6A\x82\x50")), -1);  // Ｋ１ is another key
  list.Clear();
  EXPECT_EQ(list.IndexOfSortKey(collator.SortKey("K1")), -1);
  list.Add("K1", TMyRec{"b.txt", 5, ekNdcLength, {}});
  EXPECT_EQ(list.IndexOfSortKey(collator.SortKey("k1")), 0);
}

TEST(RunData, AddErrorEntryCopiesWhereTheFindingIsButNoLine) {
  RunData data;
  data.AddErrorEntry("K9", TMyRec{"b.txt", 7, ekTitleBlank, "whole line"});
  ASSERT_EQ(data.ErrorList.size(), 1u);
  const auto& e = data.ErrorList[0];
  EXPECT_EQ(e.key, "K9");
  EXPECT_EQ(e.rec.FileName, "b.txt");
  EXPECT_EQ(e.rec.LineIndex, 7);
  EXPECT_EQ(e.rec.Kind, ekTitleBlank);
  EXPECT_EQ(e.rec.Line, "");
  const std::string delimiter(1, static_cast<char>(std::filesystem::path::preferred_separator));
  EXPECT_EQ(quenFile::PathBytes(OutputFolderOf("/x")), "/x" + delimiter + "処理後" + delimiter);
  EXPECT_EQ(quenFile::PathBytes(OutputFolderOf("/x/")), "/x/処理後" + delimiter);
  EXPECT_EQ(ErrorKindNames()[ekNdcLength], Cp932("ＮＤＣ桁数"));
}

// The kinds' names are bytes of the log, the report and the CSV: each kind
// has one row, found by either of its numbers, with the names it always had.
TEST(RecordFormat, EveryKindHasOneRowWithItsStoredNames) {
  struct Case {
    FindingKind finding;
    ErrorKind error;
    std::string_view cp932;
  };
  const Case cases[] = {
      {FindingKind::kDuplicateKey, ekNone, "\x8F\x64\x95\xA1\x83\x4C\x81\x5B"},
      {FindingKind::kTitleBlank, ekTitleBlank,
       "\x8F\x91\x96\xBC\x81\x69\x83\x88\x83\x7E\x81\x6A\x8B\xF3\x94\x92"},
      {FindingKind::kNdcLength, ekNdcLength, "\x82\x6D\x82\x63\x82\x62\x8C\x85\x90\x94"},
  };
  ASSERT_EQ(Kinds().size(), std::size(cases));
  std::vector<std::string> errorNames(1);  // ekNone has none
  for (const Case& c : cases) {
    const KindRow& row = KindOf(c.finding);
    EXPECT_EQ(row.error, c.error) << c.cp932;
    EXPECT_EQ(Cp932Name(row), c.cp932);
    EXPECT_EQ(quenText::ToUtf8(c.cp932), row.name);
    if (c.error == ekNone) continue;
    EXPECT_EQ(KindOf(c.error), &row) << c.cp932;
    errorNames.emplace_back(c.cp932);
  }
  EXPECT_EQ(ErrorKindNames(), errorNames);
  EXPECT_EQ(KindOf(ekNone), nullptr);
  EXPECT_EQ(KindOf(static_cast<int32_t>(ErrorKindNames().size())), nullptr);
}
