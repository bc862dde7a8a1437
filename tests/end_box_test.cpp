// The closing box of a completed run: "終了しました", then what the import file
// took and how many findings of each kind the operator has to act on.
#include <gtest/gtest.h>

#include "ConversionRun.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

Rec R(std::string id, std::string key, std::string title = "書名", std::string ndc = "913.6") {
  Rec r;
  r.id = "0000000" + id;  // the first field is 8 bytes
  r.key = std::move(key);
  r.title = std::move(title);
  r.ndc = std::move(ndc);
  return r;
}

std::size_t LinesIn(std::string_view bytes) {
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = bytes.find("\r\n", at)) != std::string_view::npos; at += 2)
    ++lines;
  return lines;
}

}  // namespace

TEST(EndBox, CountsWhatTheImportFileTookAndEachKindOfFinding) {
  struct Case {
    const char* name;
    std::vector<Rec> records;
    const char* counts;
  };
  const std::string longNdc = "913.6123456789";
  const std::vector<Case> cases = {
      {"one clean record", {R("1", "K1")}, "取込用 1件 / 重複 0件 / 書名なし 0件 / ＮＤＣ桁数 0件"},
      // The blank title stays out of the import file; the long NDC goes in.
      {"every kind",
       {R("1", "K1"), R("2", "K2"), R("3", "DUP"), R("4", "DUP"), R("5", "DUP"), R("6", "T1", ""),
        R("7", "N1", "書名", longNdc)},
       "取込用 3件 / 重複 3件 / 書名なし 1件 / ＮＤＣ桁数 1件"},
      // Each copy of a repeated key counts as a repeat, and its blank title
      // as a finding of its own, as the findings table lists them.
      {"a repeated key with a blank title",
       {R("1", "K1"), R("2", "DUP", ""), R("3", "DUP")},
       "取込用 1件 / 重複 2件 / 書名なし 1件 / ＮＤＣ桁数 0件"},
      {"nothing imported",
       {R("1", "T1", ""), R("2", "T2", "")},
       "取込用 0件 / 重複 0件 / 書名なし 2件 / ＮＤＣ桁数 0件"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::vector<std::string> lines;
    for (const Rec& r : c.records) lines.push_back(RecordLine(r));
    WriteBytes(dir / "a.txt", Crlf(lines));
    RecordingHost host(dir.path());
    RecordingPresenter boxes;
    RunData data;
    ConversionRun run(host, data);
    ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(quenText::ToUtf8(boxes.boxes[0].text), std::string("終了しました\r\n") + c.counts);
    // "取込用" is what the import file holds.
    const std::string imported =
        "取込用 " + std::to_string(LinesIn(ReadBytes(dir / u8"処理後" / u8"取込用.txt"))) + "件 ";
    EXPECT_EQ(std::string(c.counts).substr(0, imported.size()), imported);
  }
}
