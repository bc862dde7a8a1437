// Whole runs over real folders, past every stage: a second run gives the
// same files, and bytes inside records come through unchanged.
#include <map>
#include <set>

#include "RunFixture.h"

using namespace testing_support;

TEST_F(Run, RunningTwiceGivesTheSameFiles) {
  Rec blank = R("00000003", "K3");
  blank.title = "";
  Write("a.txt", Lines({R("00000001", "K1"), R("00000002", "K1"), blank}));
  Write(".hidden.txt", Lines({R("00000009", "H1")}));
  std::filesystem::create_directory(dir_ / "sub");
  WriteBytes(dir_ / "sub" / "inner.txt", Lines({R("00000008", "S1")}));
  Convert();
  std::map<std::string, std::string> first;
  for (const char* name : {"取込用.txt", "重複エラー.txt", "書名なし.txt", "処理結果.txt"}) {
    first[name] = Out(name);
  }
  EXPECT_EQ(Block(" ファイルリスト（[×]は処理対象外ファイル）", " 全ファイル数:1個").size(), 3u);
  run_.Run();
  for (const auto& [name, bytes] : first) EXPECT_EQ(Out(name), bytes) << name;
  // The old import file the second run replaced is gone, under any name.
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_ / u8"処理後")) {
    names.insert(quenFile::PathBytes(e.path().filename()));
  }
  EXPECT_EQ(names, (std::set<std::string>{"取込用.txt", "重複エラー.txt", "書名なし.txt",
                                          "処理結果.txt"}));
}

TEST_F(Run, NulBytesInsideRecordsAreCarriedThrough) {
  using namespace std::string_literals;
  // Past the bytes the binary sniffing looks at.
  const std::string head = Lines({R("00000001", "K1"), R("00000002", "K2")});
  ASSERT_GT(head.size(), 512u);
  std::string line = RecordLine(R("00000003", "K3"));
  line.insert(line.size() - 1, "\0"s);
  Write("a.txt", head + line + "\r\n" + RecordLine(R("00000004", "K4")));
  Convert();
  EXPECT_EQ(Out("取込用.txt"), head + line + "\r\n" + RecordLine(R("00000004", "K4")) + "\r\n");
}

// Every output is a stored format other programs read: a run over the
// sample folder leaves, byte for byte, the files kept beside the tests.
TEST_F(Run, TheSampleFolderGivesTheStoredOutputsByteForByte) {
#ifndef TEXTCNV_SOURCE_DIR
  GTEST_SKIP() << "the sources are not at hand here";
#else
  const std::filesystem::path source(TEXTCNV_SOURCE_DIR);
  for (const auto& e : std::filesystem::directory_iterator(source / "samples" / "basic")) {
    WriteBytes(dir_.path() / e.path().filename(), ReadBytes(e.path()));
  }
  Convert();
  std::size_t compared = 0;
  for (const auto& e : std::filesystem::directory_iterator(source / "tests" / "golden" / "basic")) {
    SCOPED_TRACE(quenFile::PathBytes(e.path().filename()));
    EXPECT_EQ(Out(quenFile::PathBytes(e.path().filename())), ReadBytes(e.path()));
    ++compared;
  }
  EXPECT_EQ(compared, 4u);
#endif
}
