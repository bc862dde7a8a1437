// The error check: blank titles and long classification numbers, counted
// and logged per file.
#include "RunFixture.h"

using namespace testing_support;

TEST_F(Run, ErrorCheckCountsBlankTitlesAndLongNdcNumbers) {
  std::vector<Rec> recs;
  for (int i = 0; i < 120; ++i)
    recs.push_back(R("1000" + std::to_string(1000 + i), "K" + std::to_string(2000 + i)));
  recs[10].title = "";
  recs[50].title = "";
  recs[70].key = "K0001";
  recs[70].ndc = "913.6000000";  // 11 bytes
  recs[71].ndc = "913.600000";   // 10 bytes pass
  recs[72].reading = "\u3000\u3000";
  recs[73].title = "-";                  // a hyphen is not blank
  recs[74].ndc = "９１３．６";           // five two-byte characters are 10 bytes
  Write("a.txt", Lines(recs) + "\r\n");  // a blank line is counted, never examined
  Convert();
  EXPECT_EQ(Block(" a.txt", "終了　エラーチェック"),
            (std::vector<std::string>{" a.txt", " K0001 :ＮＤＣ桁数", " レコード数:121件",
                                      " 書名（ヨミ）空白:3件", " ＮＤＣ桁数:1件",
                                      "終了　エラーチェック"}));
  ASSERT_EQ(data_.ErrorList.size(), 4u);
  EXPECT_EQ(data_.ErrorList[0].rec.LineIndex, 10);
  EXPECT_EQ(data_.ErrorList[2].key, "K0001");
  EXPECT_EQ(data_.ErrorList[2].rec.Kind, ekNdcLength);
  EXPECT_EQ(data_.ErrorList[3].rec.LineIndex, 72);
}

TEST_F(Run, ALineWithBothProblemsGetsBothFindingsAndIsDropped) {
  Rec both = R("00000001", "KB");
  both.title = "";
  both.ndc = "12345678901";
  Write("a.txt", Lines({both, R("00000002", "KK")}));
  Convert();
  ASSERT_EQ(data_.ErrorList.size(), 2u);
  EXPECT_EQ(data_.ErrorList[0].rec.Kind, ekTitleBlank);
  EXPECT_EQ(data_.ErrorList[1].rec.Kind, ekNdcLength);
  EXPECT_EQ(Out("取込用.txt"), Lines({R("00000002", "KK")}));
}
