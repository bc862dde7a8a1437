// The import filter: what the findings do to the import file's records.
#include "RunFixture.h"

using namespace testing_support;

TEST_F(Run, LongNdcRecordsGoFirstReversedAndBlankTitlesAreDropped) {
  Rec a = R("00000001", "A"), b = R("00000002", "B"), c = R("00000003", "C"),
      d = R("00000004", "D");
  a.ndc = b.ndc = "12345678901";
  c.title = "";
  Write("a.txt", Lines({d, b, c, a}));
  Convert();
  EXPECT_EQ(Out("取込用.txt"), Lines({b, a, d}));
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "取込用.txtに3件出力しました"), log.end());
}

// A finding belongs to its own key only: never to the key next to it in key
// order, nor to a kept record when its key went to the duplicates file.
TEST(ImportFilter, AFindingMovesOrDropsOnlyTheRecordsOfItsKey) {
  struct Case {
    const char* what;
    std::vector<std::string> keys;   // in file order
    std::vector<std::string> kinds;  // per record: "" fine, "ndc", "title"
    std::vector<int> imported;       // record numbers, in import order
  };
  const Case cases[] = {
      {"a repeated key with a long NDC before a fine key", {"A", "B", "a"}, {"ndc", "", ""}, {1}},
      {"a repeated key with a blank title before a fine key",
       {"A", "a", "B"},
       {"", "title", ""},
       {2}},
      {"long NDC keys first and last in key order, fine ones between",
       {"Z", "M", "A", "N"},
       {"ndc", "", "ndc", ""},
       {0, 2, 1, 3}},
      {"a blank title and a long NDC on neighbouring keys",
       {"B", "C", "A"},
       {"title", "ndc", ""},
       {1, 2}},
      {"one record with both problems and one fine", {"B", "A"}, {"both", ""}, {1}},
      {"a long NDC after a repeated key with a blank title",
       {"A", "a", "B", "C"},
       {"title", "", "", "ndc"},
       {3, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<Rec> recs;
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      Rec r = R("0000000" + std::to_string(i), c.keys[i]);
      if (c.kinds[i] == "ndc" || c.kinds[i] == "both") r.ndc = "12345678901";
      if (c.kinds[i] == "title" || c.kinds[i] == "both") r.title = "";
      recs.push_back(r);
    }
    WriteBytes(dir / "a.txt", Lines(recs));
    RecordingHost host(dir.path());
    RunData data;
    ConversionRun run(host, data);
    ASSERT_EQ(RunConversion(run), RunOutcome::kCompleted);
    std::vector<Rec> expected;
    for (int n : c.imported) expected.push_back(recs[static_cast<std::size_t>(n)]);
    EXPECT_EQ(ReadBytes(dir.path() / u8"処理後" / u8"取込用.txt"), Lines(expected));
  }
}
