// Whole runs over folders with hostile contents: files that only look like
// text, a record of a million fields, names CP932 cannot show, entries that
// are not files, and very many files. Each has one clear outcome.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <set>

#include "FaultFixture.h"
#include "KeyCollator.h"

using namespace faultfix;

namespace {

std::size_t CountLines(const Outcome& o, std::string_view utf8) {
  return static_cast<std::size_t>(std::count(o.log.begin(), o.log.end(), quenText::FromUtf8(utf8)));
}

std::vector<std::string> ImportLines(const Outcome& o) {
  std::vector<std::string> lines;
  EXPECT_TRUE(o.outputs.contains("取込用.txt")) << "no import file";
  if (o.outputs.contains("取込用.txt")) {
    EXPECT_TRUE(SplitCrlf(o.outputs.at("取込用.txt"), lines)) << "import file is torn";
  }
  return lines;
}

const std::string kGood = RecordLine("00000001", "GOOD");

// A folder of good.txt and a file named name, made by make: the file is
// rejected by the file check and the run completes without it.
void ExpectRejected(const char* name, const std::function<void(const fs::path&)>& make) {
  SCOPED_TRACE(name);
  TempDir dir;
  WriteBytes(dir.path() / "good.txt", Crlf({kGood}));
  make(dir.path() / name);
  const Outcome o = RunFolder(dir.path());
  ASSERT_TRUE(o.Completed()) << o.Describe();
  EXPECT_EQ(CountLines(o, std::string(" [×]") + name), 1u);
  EXPECT_EQ(CountLines(o, " [○]good.txt"), 1u);
  EXPECT_EQ(CountLines(o, "開始　エラーチェック"), 1u) << "the rejected file was checked";
  EXPECT_EQ(ImportLines(o), std::vector<std::string>{kGood});
}

TEST(NotRecordFiles, AreRejectedByTheFileCheckWhileTheRunCompletes) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
  };
  const Case cases[] = {
      {"only-breaks.txt", [](const fs::path& p) { WriteBytes(p, std::string(5000, '\n')); }},
      {"only-crlf.txt",
       [](const fs::path& p) {
         std::string bytes;
         for (int i = 0; i < 2000; ++i) bytes += "\r\n";
         WriteBytes(p, bytes);
       }},
  };
  for (const Case& c : cases) ExpectRejected(c.name, c.make);
}

TEST(NotRecordFiles, AHundredMegabyteLineIsRejectedLikeTheOthers) {
  ExpectRejected("huge-line.txt", [](const fs::path& p) {
    // 100 MB without a break, written in pieces to keep the test small.
    std::ofstream out(p, std::ios::binary);
    out << "00000009\t1\tHUGE\t";
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) out << chunk;
  });
}

TEST(RecordOfAMillionFields, IsCarriedIntoTheImportFileUnchanged) {
  TempDir dir;
  std::string wide = RecordLine("00000002", "WIDE");
  wide.reserve(wide.size() + 4 * 1000000);
  for (int f = 30; f < 1000000; ++f) wide += "\tv" + std::to_string(f % 10);
  WriteBytes(dir.path() / "wide.txt", Crlf({kGood, wide}));
  const Outcome o = RunFolder(dir.path());
  ASSERT_TRUE(o.Completed()) << o.Describe();
  const std::vector<std::string> imported = ImportLines(o);
  EXPECT_EQ(std::set<std::string>(imported.begin(), imported.end()),
            (std::set<std::string>{kGood, wide}));
  EXPECT_EQ(std::count(wide.begin(), wide.end(), '\t'), 999999);
  EXPECT_TRUE(o.LogHas("取込用.txtに2件出力しました"));
}

// A key longer than the collator takes ends the run before anything is
// written, naming its file and line, instead of crashing or comparing wrong.
TEST(KeyBeyondTheCollatorsLimit, EndsTheRunNamingTheFileAndLine) {
  TempDir dir;
  const std::string huge(KeyCollator::kMaxKeyBytes + 1, '9');
  WriteBytes(dir / "a.txt", Crlf({RecordLine("00000001", "K1"), RecordLine("00000002", "K2"),
                                  RecordLine("00000003", huge)}));
  const Outcome o = RunFolder(dir.path());
  EXPECT_TRUE(o.threw) << o.Describe();
  EXPECT_NE(o.what.find("a.txt\" の 3 行目: キーが長すぎるため照合できません"), std::string::npos)
      << o.what;
  EXPECT_FALSE(o.outputs.contains("取込用.txt"));
}

// Names are read by their real bytes, but shown so that each stays on its own
// line and none can pass for a line of the run's own.
TEST(OddFileNames, AreLoggedOnOneLineWithVisibleEscapesAndReadByRealPath) {
  struct Case {
    std::string name;    // on disk: UTF-8, or raw CP932 as copied from Windows media
    std::string logged;  // as the log shows it, UTF-8
  };
  const std::vector<Case> cases = {
      {"with space .txt", "with space .txt"},
      {"日本語の名前.txt", "日本語の名前.txt"},
      {"文件😀.txt", "文件?.txt"},
      {"zero\u200Bwidth\u200B.txt", "zero?width?.txt"},
      {"forged\r\n---------以下、要再登録-----------.txt",
       "forged\\r\\n---------以下、要再登録-----------.txt"},
      {"bare\nbreak.txt", "bare\\nbreak.txt"},
      {"tab\tand\x1b[2Jescape\x7f.txt", "tab\\tand\\x1B[2Jescape\\x7F.txt"},
      {"c1\u0085.txt", "c1\\u0085.txt"},
      {quenText::FromUtf8("旧名簿.txt"), "旧名簿.txt"},
      {quenText::FromUtf8("旧\r名簿.txt"), "旧\\r名簿.txt"},
  };
  TempDir dir;
  std::set<std::string> expectedImport;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string id = "0000001" + std::to_string(i);
    const std::string key = "ODD" + std::to_string(i);
    const std::string good = RecordLine(id, key);
    // A blank title puts the file's name in the report.
    WriteBytes(
        dir.path() / cases[i].name,
        Crlf({good, RecordLine("0000002" + std::to_string(i), "NT" + std::to_string(i), "")}));
    expectedImport.insert(good);
  }
  const Outcome o = RunFolder(dir.path());
  ASSERT_TRUE(o.Completed()) << o.Describe();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(CountLines(o, " [○]" + cases[i].logged), 1u);
    EXPECT_EQ(CountLines(o, "    2件(" + cases[i].logged + ")"), 1u) << "not merged";
    const std::string reportHead =
        quenText::FromUtf8("NT" + std::to_string(i) + " :" + cases[i].logged + ":2行目");
    EXPECT_NE(o.outputs.at("書名なし.txt").find(reportHead + "\r\n"), std::string::npos)
        << "report lacks the record of this file";
  }
  const std::vector<std::string> imported = ImportLines(o);
  EXPECT_EQ(std::set<std::string>(imported.begin(), imported.end()), expectedImport);
  for (const char* problem : {"読み込みエラー", "移動か削除されています", "開けません"}) {
    EXPECT_FALSE(o.LogHas(problem)) << problem;
  }
}

bool HasControl(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\t') || b == 0x7F;
  });
}

TEST(ControlCharactersInKeys, ReachNoLogLineButStayInTheDataFiles) {
  struct Case {
    std::string key;     // CP932 bytes as the record holds them
    std::string logged;  // CP932, as every log line shows it
  };
  const std::vector<Case> cases = {
      // Bytes below 8 or 0xFF would make the file look binary, and LF
      // ends a line.
      {"T\x1b]0;owned\x1b\\", "T\\x1B]0;owned\\x1B\\"},
      {"C\x1b[2J\x1b[32m", "C\\x1B[2J\\x1B[32m"},
      {"D\x7f\x1c\x1a", "D\\x7F\\x1C\\x1A"},
      // Bytes CP932 cannot decode round-trip; a lead byte never swallows
      // a control.
      {"B\x81\x1b\xfe\xfd\x80", "B\x81\\x1B\xfe\xfd\x80"},
      {quenText::FromUtf8("表") + "\x1b", quenText::FromUtf8("表") + "\\x1B"},
  };
  TempDir dir;
  std::vector<std::string> records;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    // An over-long NDC number has the key logged by the error check.
    // Built around a placeholder: the key's bytes are not UTF-8.
    std::string record =
        RecordLine("0000000" + std::to_string(i), "@KEY@", "書名", "ショメイ", "913.6123456789");
    record.replace(record.find("@KEY@"), 5, cases[i].key);
    records.push_back(record);
  }
  WriteBytes(dir.path() / "a.txt", Crlf(records));
  const Outcome o = RunFolder(dir.path());
  ASSERT_TRUE(o.Completed()) << o.Describe();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.logged);
    EXPECT_EQ(std::count_if(o.log.begin(), o.log.end(),
                            [&](const std::string& l) { return l.rfind(" " + c.logged, 0) == 0; }),
              1);
    EXPECT_EQ(std::count_if(o.shown.begin(), o.shown.end(),
                            [&](const std::string& l) {
                              return l.rfind(" " + quenText::ToUtf8(c.logged), 0) == 0;
                            }),
              1);
  }
  for (const std::string& l : o.log) EXPECT_FALSE(HasControl(l)) << l;
  for (const std::string& l : o.shown) EXPECT_FALSE(HasControl(l)) << l;
  std::string saved;
  for (const std::string& l : o.log) saved += l + "\r\n";
  EXPECT_EQ(o.outputs.at("処理結果.txt"), saved);
  // The import file keeps the records' own bytes.
  const std::vector<std::string> imported = ImportLines(o);
  EXPECT_EQ(std::set<std::string>(imported.begin(), imported.end()),
            std::set<std::string>(records.begin(), records.end()));
}

TEST(NamesCp932CannotHold, AreShownInFullWhileTheLogFileKeepsItsQuestionMarks) {
  TempDir dir;
  const fs::path folder = dir.path() / "naïve";
  fs::create_directory(folder);
  WriteBytes(folder / "naïve.txt", Crlf({RecordLine("00000001", "K1")}));
  WriteBytes(folder / "naive?.txt", Crlf({RecordLine("00000002", "K2")}));
  WriteBytes(folder / "文件😀.txt", Crlf({RecordLine("00000003", "K3", "")}));
  const Outcome o = RunFolder(folder);
  ASSERT_TRUE(o.Completed()) << o.Describe();
  const auto shown = [&](const std::string& line) {
    return std::count(o.shown.begin(), o.shown.end(), line);
  };
  for (const char* name : {"naïve.txt", "naive?.txt", "文件😀.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(shown(std::string(" [○]") + name), 1);
    EXPECT_EQ(shown(std::string(" ") + name), 1) << "error check";
    EXPECT_EQ(shown(std::string("    1件(") + name + ")"), 1) << "merge";
  }
  EXPECT_EQ(shown("K3 :書名（ヨミ）空白:文件😀.txt"), 1);
  // The CP932 log and its file keep the "?" of what CP932 cannot hold.
  EXPECT_EQ(CountLines(o, " [○]na?ve.txt"), 1u);
  EXPECT_EQ(CountLines(o, " [○]naive?.txt"), 1u);
  EXPECT_NE(o.outputs.at("処理結果.txt").find(quenText::FromUtf8(" [○]na?ve.txt\r\n")),
            std::string::npos);
  EXPECT_NE(o.outputs.at("書名なし.txt").find(quenText::FromUtf8("K3 :文件?.txt:1行目")),
            std::string::npos);
  for (std::size_t i = 0; i < o.log.size(); ++i) {
    EXPECT_EQ(quenText::FromUtf8(o.shown[i]), o.log[i]) << "the two forms differ beyond the names";
  }

  // A box names the folder in full too; its log line keeps the "?".
  fs::remove_all(folder / u8"処理後");
  WriteBytes(folder / u8"処理後", "a file");
  const Outcome refused = RunFolder(folder);
  ASSERT_TRUE(refused.EndedWithErrorBox()) << refused.Describe();
  const std::string path = (folder / u8"処理後").string();
  EXPECT_EQ(refused.boxes[0].Utf8Text(), " 処理後フォルダー" + path +
                                             "が作成できません\r\n処理を中断します。\r\n"
                                             "同じ名前のファイルがあります。");
  EXPECT_EQ(refused.shown.at(0), " 処理後フォルダー" + path + "が作成できません");
  EXPECT_EQ(
      quenText::ToUtf8(refused.log.at(0)),
      " 処理後フォルダー" + (dir.path() / "na?ve" / u8"処理後").string() + "が作成できません");
}

TEST(EntriesThatAreNotFiles, AreLeftOutOfTheListAndTheRunDoesNotHang) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
  };
  const Case cases[] = {
      {"broken-link.txt",
       [](const fs::path& p) { fs::create_symlink(p.parent_path() / "gone.txt", p); }},
      {"fifo.txt", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteBytes(dir.path() / "good.txt", Crlf({kGood}));
    c.make(dir.path() / c.name);
    // A run that hangs on the entry is ended by the test's time limit.
    const Outcome o = RunFolder(dir.path());
    ASSERT_TRUE(o.Completed()) << o.Describe();
    EXPECT_TRUE(o.LogHas(" 全ファイル数:1個"));
    EXPECT_FALSE(o.LogHas(c.name)) << "the entry was listed";
    EXPECT_EQ(ImportLines(o), std::vector<std::string>{kGood});
  }
}

TEST(TenThousandSmallFiles, AreAllMergedAndCountedInTheLog) {
  constexpr int kFiles = 10000;
  TempDir dir;
  std::set<std::string> records;
  for (int i = 0; i < kFiles; ++i) {
    char id[9];
    std::snprintf(id, sizeof id, "%08d", i);
    const std::string line = RecordLine(id, std::string("K") + id);
    WriteBytes(dir.path() / ("r" + std::string(id) + ".txt"), Crlf({line}));
    records.insert(line);
  }
  const Outcome o = RunFolder(dir.path());
  ASSERT_TRUE(o.Completed()) << o.Describe();
  EXPECT_TRUE(o.LogHas(" 全ファイル数:10000個"));
  EXPECT_TRUE(o.LogHas("  [○]ファイル数:10000個"));
  EXPECT_TRUE(o.LogHas("  [×]ファイル数:0個"));
  EXPECT_EQ(CountLines(o, "開始　エラーチェック"), std::size_t{kFiles});
  EXPECT_EQ(CountLines(o, " レコード数:1件"), std::size_t{kFiles});
  EXPECT_TRUE(o.LogHas(" 10000件:（トータル)"));
  EXPECT_TRUE(o.LogHas(" 重複エラーなし"));
  EXPECT_TRUE(o.LogHas("取込用.txtに10000件出力しました"));
  const std::vector<std::string> imported = ImportLines(o);
  EXPECT_EQ(imported.size(), std::size_t{kFiles});
  EXPECT_EQ(std::set<std::string>(imported.begin(), imported.end()), records);
}

}  // namespace
