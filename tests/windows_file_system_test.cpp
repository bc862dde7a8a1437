// What the Windows file-system seam adds to the POSIX behaviour: listings by
// attribute, hidden temporary files that become ordinary outputs, and a file
// another program holds open without sharing.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ConversionRun.h"
#include "RecordFormat.h"
#include "SourceFolder.h"
#include "TestSupport.h"
#include "quenFile.h"
#include "quenReason.h"
#include "quenText.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

void SetAttributes(const fs::path& path, DWORD attributes) {
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes));
}

}  // namespace

TEST(WindowsListing, LeavesOutHiddenAndSystemFilesButNotReadOnlyOrArchived) {
  struct Case {
    const char8_t* name;
    DWORD attributes;
    bool listed;
  };
  const std::vector<Case> cases = {
      {u8"普通.txt", FILE_ATTRIBUTE_NORMAL, true},
      {u8"読取専用.txt", FILE_ATTRIBUTE_READONLY, true},
      {u8"アーカイブ.txt", FILE_ATTRIBUTE_ARCHIVE, true},
      {u8"隠し.txt", FILE_ATTRIBUTE_HIDDEN, false},
      {u8"システム.txt", FILE_ATTRIBUTE_SYSTEM, false},
  };
  TempDir dir;
  std::vector<fs::path> expected;
  for (const Case& c : cases) {
    WriteBytes(dir / c.name, "x");
    SetAttributes(dir / c.name, c.attributes);
    if (c.listed) expected.push_back(dir / c.name);
  }
  fs::create_directory(dir / u8"フォルダー");
  std::vector<fs::path> listed = ListFolderFiles(dir.path());
  std::sort(listed.begin(), listed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
  for (const Case& c : cases) SetAttributes(dir / c.name, FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsOutputs, AreNotHiddenAndNoTemporaryFileIsLeft) {
  TempDir dir;
  quenFile::WriteAll(dir / u8"出力.txt", "bytes");
  const DWORD attributes = ::GetFileAttributesW((dir / u8"出力.txt").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(ReadBytes(dir / u8"出力.txt"), "bytes");
  std::vector<fs::path> left;
  for (const auto& e : fs::directory_iterator(dir.path())) left.push_back(e.path().filename());
  EXPECT_EQ(left, std::vector<fs::path>{u8"出力.txt"});
}

// The box's advice was written for this: the old import file open in
// another program that shares nothing.
TEST(WindowsOldImportFile, HeldOpenByAnotherProgramEndsTheRunWithTheSharingViolation) {
  TempDir dir;
  WriteBytes(dir / "a.txt", Crlf({RecordLine(Rec{})}));
  fs::create_directory(dir / u8"処理後");
  const fs::path old = dir / u8"処理後" / u8"取込用.txt";
  WriteBytes(old, "old\r\n");
  const HANDLE held = ::CreateFileW(old.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  RecordingHost host(dir.path());
  RecordingPresenter boxes;
  RunData data;
  ConversionRun run(host, data);
  const RunOutcome outcome = RunConversion(run);
  ::CloseHandle(held);
  EXPECT_EQ(outcome, RunOutcome::kEndedEarly);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(quenText::ToUtf8(boxes.boxes[0].text),
            "ファイルをメモ帳等で開いている時は閉じて、再度処理をして下さい\r\n" +
                quenFile::ReasonText(ETXTBSY));
  EXPECT_EQ(ReadBytes(old), "old\r\n");
}
