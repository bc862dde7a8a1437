// The records the operator registers again: held to the run's rules, the
// rest of each line kept byte for byte, saved beside the run's outputs.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "ConversionRun.h"
#include "Correction.h"
#include "KeyCollator.h"
#include "RecordContext.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

Rec R(std::string key, std::string title, std::string reading = "ヨミ", std::string ndc = "913.6") {
  Rec r;
  r.key = std::move(key);
  r.title = std::move(title);
  r.reading = std::move(reading);
  r.ndc = std::move(ndc);
  return r;
}

// A byte CP932 leaves unmapped, in a field nobody edits: it must survive.
std::string WithOddByte(std::string line) { return line.replace(line.find("f20-"), 1, "\xA0"); }

const std::string kT1 = WithOddByte(RecordLine(R("T1", "")));
const std::string kT2 = RecordLine(R("T2", "", ""));
const std::string kN1 = RecordLine(R("N1", "題", "ヨミ", "913.6123456789"));
const std::string kCopyA = RecordLine(R("D1", "甲"));
const std::string kCopyB = RecordLine(R("D1", "乙"));

// A run over a.txt: T1, T2 without title (T2 without reading too), N1 with
// a long NDC (it stays in 取込用.txt), two copies of D1 and K1.
class CorrectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir_ / "a.txt", Crlf({RecordLine(R("K1", "本")), kT1, kCopyA, kT2, kN1, kCopyB}));
    RecordingHost host(dir_.path());
    ConversionRun run(host, data_);
    ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
  }
  // The finding of the record on line of a.txt.
  std::size_t At(std::size_t line) const {
    for (std::size_t i = 0; i < data_.RunFindings.size(); ++i) {
      if (data_.RunFindings[i].line == line) return i;
    }
    ADD_FAILURE() << "no finding on line " << line;
    return 0;
  }
  fs::path Output() const { return dir_ / u8"処理後"; }

  RecordingPresenter boxes_;
  TempDir dir_;
  RunData data_;
};

Correction Edit(std::size_t finding, std::optional<std::string> title,
                std::optional<std::string> reading = {}, std::optional<std::string> ndc = {}) {
  return Correction{finding, std::move(title), std::move(reading), std::move(ndc)};
}

TEST_F(CorrectionTest, EachRuleOfTheRunRefusesWhatWouldBreakIt) {
  struct Case {
    const char* what;
    std::vector<Correction> corrections;
    std::string refusal;  // empty: accepted
  };
  const std::vector<Case> cases = {
      {"title left blank",
       {Edit(At(2), "　 ", "ヨミ")},
       "キー「T1」（a.txt 2行目）の書名が空白です"},
      {"reading not given", {Edit(At(4), "題")}, "キー「T2」（a.txt 4行目）のヨミが空白です"},
      {"NDC of 11 bytes", {Edit(At(2), "題", {}, "913.6000000")}, "のNDCが10バイトを超えています"},
      {"NDC of 10 bytes", {Edit(At(2), "題", {}, "913.600000")}, ""},
      {"emoji in the reading",
       {Edit(At(4), "題", "ヨミ😀")},
       "キー「T2」（a.txt 4行目）のヨミの文字「😀」はShift_JIS（CP932）で保存できません"},
      {"accented letter in the title", {Edit(At(2), "Café")}, "書名の文字「é」は"},
      {"TAB in the title", {Edit(At(2), "題\t名")}, "の書名にタブや改行は入れられません"},
      {"key already imported",
       {Edit(At(5), {}, {}, "913.6")},
       "キー「N1」（a.txt 5行目）のキーは取込用.txtにすでにあります"},
      {"both copies of a key", {Edit(At(3), {}), Edit(At(6), {})}, "はキーが同じです"},
      {"one copy of a key", {Edit(At(6), {})}, ""},
      {"no records", {}, "再登録する記録がありません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      EXPECT_EQ(SaveReRegistration(Output(), data_.RunFindings, c.corrections),
                c.corrections.size());
      EXPECT_EQ(c.refusal, "") << "accepted";
    } catch (const CorrectionRefused& e) {
      EXPECT_NE(c.refusal, "") << e.what();
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
  }
}

TEST_F(CorrectionTest, SavedRecordsKeepEveryByteButTheEditedFields) {
  const std::map<std::string, std::string> before = {
      {"取込用.txt", ReadBytes(Output() / u8"取込用.txt")},
      {"重複エラー.txt", ReadBytes(Output() / u8"重複エラー.txt")},
      {"書名なし.txt", ReadBytes(Output() / u8"書名なし.txt")},
      {"処理結果.txt", ReadBytes(Output() / u8"処理結果.txt")}};
  ASSERT_EQ(SaveReRegistration(Output(), data_.RunFindings,
                               {Edit(At(2), "新しい書名", "アタラシイショメイ", "913"),
                                Edit(At(4), "題", "ダイ"), Edit(At(3), {})}),
            3u);
  const std::string t1 =
      WithOddByte(RecordLine(R("T1", "新しい書名", "アタラシイショメイ", "913")));
  const std::string t2 = RecordLine(R("T2", "題", "ダイ"));
  EXPECT_EQ(ReadBytes(Output() / u8"再登録用.txt"), Crlf({t1, t2, kCopyA}));
  for (const auto& [name, bytes] : before) {
    EXPECT_EQ(ReadBytes(Output() / fs::path(std::u8string(name.begin(), name.end()))), bytes)
        << name;
  }
}

TEST_F(CorrectionTest, ALaterRunLeavesTheSavedFileAloneAndDoesNotMergeIt) {
  ASSERT_EQ(SaveReRegistration(Output(), data_.RunFindings, {Edit(At(6), {})}), 1u);
  const std::string saved = ReadBytes(Output() / u8"再登録用.txt");
  const std::string imported = ReadBytes(Output() / u8"取込用.txt");
  RecordingHost host(dir_.path());
  RunData again;
  ConversionRun run(host, again);
  ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
  EXPECT_EQ(ReadBytes(Output() / u8"再登録用.txt"), saved);
  EXPECT_EQ(ReadBytes(Output() / u8"取込用.txt"), imported);
}

TEST(Correction, KeysClashWithTheImportFileIgnoringCaseOnly) {
  Findings findings;
  findings.Add(FindingKind::kTitleBlank, "a.txt", 1, RecordLine(R("ab1", "")));
  const KeyCollator collator("ja");
  const auto refused = [&](std::string importKey) {
    try {
      CorrectedLines(findings, {Edit(0, "題")}, Crlf({RecordLine(R(importKey, "本"))}), collator);
      return false;
    } catch (const CorrectionRefused&) {
      return true;
    }
  };
  EXPECT_TRUE(refused("AB1"));
  EXPECT_FALSE(refused("ＡＢ１"));  // width is not folded
  EXPECT_FALSE(refused("ab2"));
}

TEST(RecordContext, ShowsTheLinesAroundAsTheReportDoesWhileTheFileIsWhatTheRunRead) {
  TempDir dir;
  std::vector<std::string> lines;
  for (int i = 1; i <= 20; ++i) lines.push_back(RecordLine(R("K" + std::to_string(i), "本")));
  lines[4] = "";
  WriteBytes(dir / "a.txt", Crlf(lines));
  Findings findings;
  findings.Add(FindingKind::kTitleBlank, "a.txt", 3, lines[2]);
  const auto context = ContextOf(dir / "a.txt", findings[0]);
  ASSERT_TRUE(context);
  ASSERT_EQ(context->size(), 9u);  // lines 1 to 9
  EXPECT_EQ(context->front().number, 1u);
  EXPECT_EQ(context->at(2).text,
            Cp932("    3行目:00000001\tK3\t本\tf6-00000001\t913.6\tf17-00000001"));
  EXPECT_EQ(context->at(4).text, Cp932("    5行目:"));
  lines[2] = RecordLine(R("K3", "変更"));
  WriteBytes(dir / "a.txt", Crlf(lines));
  EXPECT_FALSE(ContextOf(dir / "a.txt", findings[0]));
  EXPECT_FALSE(ContextOf(dir / "gone.txt", findings[0]));
}

}  // namespace
