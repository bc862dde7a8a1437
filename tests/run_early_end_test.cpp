// Runs that end early or fail: the box each shows, what the log keeps, and
// that nothing is written or moved.
#include <functional>
#include <map>
#include <optional>

#include "RunFixture.h"
#include "quenOutputFolder.h"
#include "quenReason.h"

using namespace testing_support;

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
